#include "TField.h"

#include "PacketRules.h"
#include "TDataSet.h"

#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool parseInteger(std::string_view text, std::int32_t& out) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool parseFloat(std::string_view text, double& out) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::string copy;
    if (text.find(',') != std::string_view::npos && text.find('.') == std::string_view::npos) {
        copy.assign(text);  // a decimal comma, as Portuguese texts write it
        copy[copy.find(',')] = '.';
        text = copy;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

bool textAsBoolean(std::string_view text) {
    if (text.empty()) return false;
    switch (text.front()) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
    case 'S':
    case 's':
    case '1': return true;
    default: return false;
    }
}

std::string floatText(double value) {
    QString text = QString::number(value, 'g', 15);
    return text.toStdString();
}

}  // namespace

QDateTime toQDateTime(TDateTimeValue value) { return QDateTime::fromMSecsSinceEpoch(value.msecs, QTimeZone::utc()); }

TDateTimeValue fromQDateTime(const QDateTime& value) {
    return {QDateTime(value.date(), value.time(), QTimeZone::utc()).toMSecsSinceEpoch()};
}

QString valueToString(const TFieldValue& value) {
    switch (value.index()) {
    case 1: return QString::fromStdString(std::get<std::string>(value));
    case 2: return QString::number(std::get<std::int32_t>(value));
    case 3: return QString::fromStdString(floatText(std::get<double>(value)));
    case 4: return std::get<bool>(value) ? QStringLiteral("True") : QStringLiteral("False");
    case 5: return formatDateTimeText(std::get<TDateTimeValue>(value));
    default: return {};
    }
}

TField::TField(TDataSet& dataSet, TFieldDesc desc) : m_dataSet(dataSet), m_desc(std::move(desc)) {}

int TField::Index() const { return m_dataSet.indexOfField(this); }

int TField::DisplayWidth() const {
    if (m_displayWidth >= 0) return m_displayWidth;
    return m_desc.type == TFieldType::ftString && m_desc.size > 0 ? m_desc.size : 10;
}

const TFieldValue& TField::rawValue() const { return m_dataSet.fieldValue(Index()); }

bool TField::IsNull() const { return rawValue().index() == 0; }

QString TField::AsString() const { return valueToString(rawValue()); }

std::int32_t TField::AsInteger() const {
    const TFieldValue& value = rawValue();
    switch (value.index()) {
    case 1: {
        std::int32_t out;
        if (!parseInteger(std::get<std::string>(value), out))
            conversionError(QStringLiteral("'%1' is not a valid integer value").arg(AsString()));
        return out;
    }
    case 2: return std::get<std::int32_t>(value);
    case 3: {
        const double d = std::round(std::get<double>(value));
        if (!(d >= std::numeric_limits<std::int32_t>::min() && d <= std::numeric_limits<std::int32_t>::max()))
            conversionError(QStringLiteral("%1 is out of the integer range").arg(AsString()));
        return static_cast<std::int32_t>(d);
    }
    case 4: return std::get<bool>(value) ? 1 : 0;
    case 5: conversionError(QStringLiteral("a date-time cannot be read as an integer"));
    default: return 0;
    }
}

double TField::AsFloat() const {
    const TFieldValue& value = rawValue();
    switch (value.index()) {
    case 1: {
        double out;
        if (!parseFloat(std::get<std::string>(value), out))
            conversionError(QStringLiteral("'%1' is not a valid floating point value").arg(AsString()));
        return out;
    }
    case 2: return std::get<std::int32_t>(value);
    case 3: return std::get<double>(value);
    case 4: return std::get<bool>(value) ? 1.0 : 0.0;
    case 5: conversionError(QStringLiteral("a date-time cannot be read as a number"));
    default: return 0.0;
    }
}

bool TField::AsBoolean() const {
    const TFieldValue& value = rawValue();
    switch (value.index()) {
    case 1: return textAsBoolean(std::get<std::string>(value));
    case 2: return std::get<std::int32_t>(value) != 0;
    case 3: return std::get<double>(value) != 0.0;
    case 4: return std::get<bool>(value);
    case 5: conversionError(QStringLiteral("a date-time cannot be read as a boolean"));
    default: return false;
    }
}

QDateTime TField::AsDateTime() const {
    const TFieldValue& value = rawValue();
    switch (value.index()) {
    case 1: {
        TDateTimeValue out;
        if (!parseDateTimeText(std::get<std::string>(value), out))
            conversionError(QStringLiteral("'%1' is not a valid date and time").arg(AsString()));
        return toQDateTime(out);
    }
    case 5: return toQDateTime(std::get<TDateTimeValue>(value));
    case 0: return {};
    default: conversionError(QStringLiteral("the value cannot be read as a date and time"));
    }
}

QVariant TField::Value() const {
    const TFieldValue& value = rawValue();
    switch (value.index()) {
    case 1: return QString::fromStdString(std::get<std::string>(value));
    case 2: return std::get<std::int32_t>(value);
    case 3: return std::get<double>(value);
    case 4: return std::get<bool>(value);
    case 5: return toQDateTime(std::get<TDateTimeValue>(value));
    default: return {};
    }
}

TFieldValue TField::convert(TFieldValue&& value) const {
    if (value.index() != static_cast<std::size_t>(m_desc.type)) return convert(static_cast<const TFieldValue&>(value));
    if (auto* text = std::get_if<std::string>(&value);
        text && m_desc.size > 0 && text->size() > static_cast<std::size_t>(m_desc.size))
        utf8Truncate(*text, static_cast<std::size_t>(m_desc.size));
    return std::move(value);
}

TFieldValue TField::convert(const TFieldValue& value) const {
    if (value.index() == 0) return value;
    if (value.index() == static_cast<std::size_t>(m_desc.type)) {
        if (m_desc.type == TFieldType::ftString && m_desc.size > 0) {
            const std::string& text = std::get<std::string>(value);
            if (text.size() > static_cast<std::size_t>(m_desc.size)) {
                std::string cut = text;
                utf8Truncate(cut, static_cast<std::size_t>(m_desc.size));
                return cut;
            }
        }
        return value;
    }
    switch (m_desc.type) {
    case TFieldType::ftString: {
        std::string text = valueToString(value).toStdString();
        if (m_desc.size > 0) utf8Truncate(text, static_cast<std::size_t>(m_desc.size));
        return text;
    }
    case TFieldType::ftInteger:
        switch (value.index()) {
        case 1: {
            std::int32_t out;
            if (!parseInteger(std::get<std::string>(value), out))
                conversionError(QStringLiteral("'%1' is not a valid integer value").arg(valueToString(value)));
            return out;
        }
        case 3: {
            const double d = std::get<double>(value);
            if (d != std::trunc(d) || d < std::numeric_limits<std::int32_t>::min() ||
                d > std::numeric_limits<std::int32_t>::max())
                conversionError(QStringLiteral("%1 is not a valid integer value").arg(valueToString(value)));
            return static_cast<std::int32_t>(d);
        }
        case 4: return std::int32_t(std::get<bool>(value) ? 1 : 0);
        default: break;
        }
        break;
    case TFieldType::ftFloat:
        switch (value.index()) {
        case 1: {
            double out;
            if (!parseFloat(std::get<std::string>(value), out))
                conversionError(QStringLiteral("'%1' is not a valid floating point value").arg(valueToString(value)));
            return out;
        }
        case 2: return static_cast<double>(std::get<std::int32_t>(value));
        case 4: return std::get<bool>(value) ? 1.0 : 0.0;
        default: break;
        }
        break;
    case TFieldType::ftBoolean:
        switch (value.index()) {
        case 1: return textAsBoolean(std::get<std::string>(value));
        case 2: return std::get<std::int32_t>(value) != 0;
        case 3: return std::get<double>(value) != 0.0;
        default: break;
        }
        break;
    case TFieldType::ftDateTime:
        if (value.index() == 1) {
            TDateTimeValue out;
            if (!parseDateTimeText(std::get<std::string>(value), out))
                conversionError(QStringLiteral("'%1' is not a valid date and time").arg(valueToString(value)));
            return out;
        }
        break;
    }
    conversionError(QStringLiteral("a %1 value cannot be stored in a %2 field")
                        .arg(QString::fromLatin1(fieldTypeName(static_cast<TFieldType>(value.index()))),
                             QString::fromLatin1(fieldTypeName(m_desc.type))));
}

void TField::assign(TFieldValue value) {
    if (m_readOnly) throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(m_desc.name));
    m_dataSet.setFieldValue(Index(), convert(std::move(value)));
}

void TField::setAsString(const QString& value) { assign(value.toStdString()); }

void TField::setAsStringFrom(const TField& source) {
    // Valid UTF-8 reads back unchanged from its UTF-16 form, except a leading byte order mark,
    // which QString::fromUtf8 drops: such a text, and every other value, takes the trip.
    if (const auto* text = std::get_if<std::string>(&source.rawValue());
        text && PacketRules::isValidUtf8(*text) && !text->starts_with("\xEF\xBB\xBF"))
        return assign(*text);
    setAsString(source.AsString());
}
void TField::setAsInteger(std::int32_t value) { assign(value); }
void TField::setAsFloat(double value) { assign(value); }
void TField::setAsBoolean(bool value) { assign(value); }
void TField::setAsDateTime(const QDateTime& value) {
    assign(value.isValid() ? TFieldValue(fromQDateTime(value)) : TFieldValue());
}
void TField::Clear() { assign(std::monostate{}); }

void TField::setValue(const QVariant& value) {
    if (value.isNull() || !value.isValid()) return Clear();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar: return setAsInteger(value.toInt());
    case QMetaType::Double:
    case QMetaType::Float: return setAsFloat(value.toDouble());
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
        // Wide integers keep every digit in a text field and are range-checked for an integer one.
        if (m_desc.type == TFieldType::ftFloat) return setAsFloat(value.toDouble());
        if (m_desc.type == TFieldType::ftBoolean) return setAsBoolean(value.toLongLong() != 0);
        return setAsString(value.toString());
    case QMetaType::Bool: return setAsBoolean(value.toBool());
    case QMetaType::QDateTime: return setAsDateTime(value.toDateTime());
    case QMetaType::QDate: return setAsDateTime(QDateTime(value.toDate(), QTime(0, 0), QTimeZone::utc()));
    default: return setAsString(value.toString());
    }
}

void TField::conversionError(const QString& what) const {
    throw EDatabaseError(QStringLiteral("Field '%1': %2").arg(m_desc.name, what));
}
