#pragma once
// A field of a dataset: typed access to the value of the current record, plus the display
// attributes that lists use. Reading never throws for a null (it reads as "", 0, 0.0, false or
// an invalid date-time); conversions that make no sense throw EDatabaseError naming the field.
// Writing requires the dataset to be in edit or insert state.

#include "DbTypes.h"

#include <QDateTime>
#include <QVariant>

class TDataSet;

class TField {
public:
    TField(TDataSet& dataSet, TFieldDesc desc);

    const QString& FieldName() const { return m_desc.name; }
    TFieldType DataType() const { return m_desc.type; }
    int Size() const { return m_desc.size; }
    const TFieldDesc& desc() const { return m_desc; }
    TDataSet& DataSet() const { return m_dataSet; }
    int Index() const;

    // Display attributes, used by lists that show the dataset.
    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_desc.name : m_displayLabel; }
    void setDisplayLabel(const QString& label) { m_displayLabel = label; }
    int DisplayWidth() const;
    void setDisplayWidth(int width) { m_displayWidth = width; }
    bool Visible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // Back to the attributes of a new field.
    void resetAttributes() {
        m_displayLabel.clear();
        m_displayWidth = -1;
        m_visible = true;
        m_readOnly = false;
    }

    bool IsNull() const;
    QString AsString() const;
    std::int32_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    QDateTime AsDateTime() const;  // UTC-spec value whose date() and time() are the stored ones
    QVariant Value() const;        // null as an invalid QVariant
    const TFieldValue& rawValue() const;

    void setAsString(const QString& value);  // a longer text is cut to the field's size
    // setAsString(source.AsString()), without the trip through UTF-16 where the text allows it.
    void setAsStringFrom(const TField& source);
    void setAsInteger(std::int32_t value);
    void setAsFloat(double value);
    void setAsBoolean(bool value);
    void setAsDateTime(const QDateTime& value);  // takes date() and time() as they are
    void setValue(const QVariant& value);        // an invalid or null QVariant clears
    void Clear();

    // Converts a value to this field's type, applying its size; throws EDatabaseError.
    TFieldValue convert(const TFieldValue& value) const;
    TFieldValue convert(TFieldValue&& value) const;  // a value of the field's type is moved

private:
    void assign(TFieldValue value);
    [[noreturn]] void conversionError(const QString& what) const;

    TDataSet& m_dataSet;
    TFieldDesc m_desc;
    QString m_displayLabel;
    int m_displayWidth = -1;
    bool m_visible = true;
    bool m_readOnly = false;
};

// Text form of a stored value, as AsString gives it.
QString valueToString(const TFieldValue& value);
QDateTime toQDateTime(TDateTimeValue value);
TDateTimeValue fromQDateTime(const QDateTime& value);
