#pragma once
// Field types, values and the exception family shared by the whole database layer.

#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

enum class TFieldType : std::uint8_t {
    ftString = 1,
    ftInteger = 2,  // 32-bit signed
    ftFloat = 3,    // double
    ftBoolean = 4,
    ftDateTime = 5,  // naive date and time, millisecond precision
};

const char* fieldTypeName(TFieldType type);  // "string", "integer", "float", "boolean", "datetime"

// A date and time without time zone, kept as milliseconds since 1970-01-01T00:00:00 counted as
// if it were UTC, so that no local-time rule can shift a stored value.
struct TDateTimeValue {
    std::int64_t msecs = 0;
    bool operator==(const TDateTimeValue&) const = default;
};

// One stored value. The alternative index equals the TFieldType code of the field that holds
// it; std::monostate is null. Strings are UTF-8.
using TFieldValue = std::variant<std::monostate, std::string, std::int32_t, double, bool, TDateTimeValue>;
using TRecord = std::vector<TFieldValue>;

// The description of one field of a table: what a packet carries for it.
struct TFieldDesc {
    QString name;
    TFieldType type = TFieldType::ftString;
    int size = 0;  // strings: width in characters, 0 for no fixed width; other types: 0
    bool operator==(const TFieldDesc&) const = default;
};

// Any failure of the database layer. The message is UTF-8 and says what went wrong.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const QString& message) : std::runtime_error(message.toStdString()) {}
    explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
    explicit EDatabaseError(const char* message) : std::runtime_error(message) {}
    QString message() const { return QString::fromUtf8(what()); }
};

// A data packet that cannot be decoded.
class EPacketError : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// What kind of failure a driver reports, for callers that act on it rather than only show it.
enum class TDbFailure {
    Other,
    Busy,       // a lock held by another connection, or the statement's time limit, ran out; or a deadlock
    Duplicate,  // a unique key already holds the value
    Lost,       // the connection was lost, or the server stopped answering
};

// A failure reported by a database driver; the text holds the database's own message.
class EADOError : public EDatabaseError {
public:
    explicit EADOError(const QString& message, TDbFailure failure = TDbFailure::Other)
        : EDatabaseError(message), m_failure(failure) {}
    TDbFailure failure() const { return m_failure; }

private:
    TDbFailure m_failure;
};

// Number of characters (code points) of a valid UTF-8 text: the bytes that start a character
// (of an invalid text, the bytes that are no continuation byte).
std::size_t utf8Length(std::string_view text);
// Cuts a UTF-8 text to at most `chars` characters, never splitting a character.
void utf8Truncate(std::string& text, std::size_t chars);

// Whether two names of fields or parameters are the same, compared case-insensitively as
// QString::compare(..., Qt::CaseInsensitive) compares them. Qt compares one UTF-16 unit with
// the other, so names of different lengths differ; lookups mostly meet those, and the same text.
bool sameNameOfSameLength(QStringView a, QStringView b);
inline bool sameName(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    return a.data() == b.data() || sameNameOfSameLength(a, b);
}

// The text without the blanks and tabs around it, as value texts are read.
std::string_view trimBlanks(std::string_view text);

// Date-time texts as databases and users write them: "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS[.fff]]",
// with ' ' or 'T' between date and time and blanks around; more than three fraction digits are
// cut to milliseconds.
bool parseDateTimeText(std::string_view text, TDateTimeValue& out);
// "YYYY-MM-DD HH:MM:SS" (the separator given), plus ".zzz" only when the milliseconds are not zero.
QString formatDateTimeText(TDateTimeValue value, char separator = ' ');

// The one spelling of a packet's JSON form: "YYYY-MM-DDTHH:MM:SS", plus ".zzz" when the
// milliseconds are not zero; nullopt when the value falls outside the years 1 to 9999.
std::optional<std::string> dateTimeToText(TDateTimeValue value);
// The inverse of dateTimeToText; also accepts ".000". nullopt for anything else.
std::optional<TDateTimeValue> dateTimeFromText(std::string_view text);
