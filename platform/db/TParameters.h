#pragma once
// The parameters of a query or command: one entry per occurrence of a named placeholder, in
// order; every occurrence of a name is the same parameter, so binding a name once sets them
// all. Each is declared as a string of size 16 and is null until bound; the declared size is
// informative and never cuts a value.

#include "DbTypes.h"

#include <QVariant>
#include <memory>

class TParameter {
public:
    explicit TParameter(QString name) : m_name(std::move(name)) {}

    const QString& Name() const { return m_name; }
    TFieldType DataType() const { return TFieldType::ftString; }
    int Size() const { return 16; }

    const QVariant& Value() const { return m_value; }
    void setValue(const QVariant& value) { m_value = value; }  // wide text, number, date-time...
    void setAsString(const std::string& value) { m_value = QString::fromStdString(value); }  // 8-bit text
    void Clear() { m_value = QVariant(); }
    bool IsNull() const { return m_value.isNull(); }

private:
    QString m_name;
    QVariant m_value;
};

class TParameters {
public:
    // Rebuilds the list for a statement's placeholder names (one per occurrence).
    void assign(const QStringList& occurrenceNames);

    int Count() const { return static_cast<int>(m_occurrences.size()); }
    TParameter& Items(int index) const;                  // the parameter of occurrence `index`
    TParameter& ParamByName(const QString& name) const;  // case-insensitive; throws when absent
    TParameter* FindParam(const QString& name) const;
    // One per occurrence, in order; throws EDatabaseError for a text holding a NUL character.
    std::vector<QVariant> values() const;
    void values(std::vector<QVariant>& out) const;  // the same into `out`, keeping its storage

private:
    std::vector<std::unique_ptr<TParameter>> m_params;  // one per distinct name
    std::vector<int> m_occurrences;                     // index into m_params per occurrence
};
