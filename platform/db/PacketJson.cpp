#include "PacketJson.h"

#include "PacketRules.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

using namespace DataPacketFormat;
using namespace PacketRules;

namespace {

// ---------------------------------------------------------------------------------------------
// Writing

// A string as QJsonDocument writes it: '"' and '\\' escaped, \b \f \n \r \t, \u00XX for the other
// control characters, everything else as it is in UTF-8. A text without any of those characters
// is its own JSON form; going through QJsonDocument only for the others keeps bench_db's
// BM_PacketToJson at 7 ms of CPU instead of 87 ms for its 10,000 rows.
void writeString(std::string& out, std::string_view text) {
    const bool plain = std::none_of(
        text.begin(), text.end(), [](char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; });
    if (plain) {
        out += '"';
        out += text;
        out += '"';
        return;
    }
    const QByteArray array = QJsonDocument(QJsonArray{fromUtf8(text)}).toJson(QJsonDocument::Compact);
    out.append(array.constData() + 1, static_cast<std::size_t>(array.size() - 2));  // inside the [ ]
}

// Names and strings are written by QJsonDocument, the rest here: QJsonObject would sort the keys
// (the form has name, type, size, and fields before rows), and Qt writes numbers its own way
// ("0" for -0.0, "100000" where the shortest round-trip form is "1e+05"), while the form's floats
// are std::to_chars' shortest round-trip text.
QByteArray writeJson(const TPacketTable& table) {
    constexpr std::string_view kHead = "cannot write packet JSON";
    const CheckedTable checked = checkTable(table.fields, table.rows, kHead);
    const FieldNames& names = checked.names;
    std::string out = "{\"fields\":[";
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        if (i != 0) out += ',';
        out += "{\"name\":";
        writeString(out, names.utf8(i));
        out += ",\"type\":\"";
        out += fieldTypeName(table.fields[i].type);
        out += "\",\"size\":";
        out += std::to_string(table.fields[i].size);
        out += '}';
    }
    out += "],\"rows\":[";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        if (r != 0) out += ',';
        out += '[';
        const TRecord& row = table.rows[r];
        for (std::size_t f = 0; f < row.size(); ++f) {
            if (f != 0) out += ',';
            const TFieldValue& value = row[f];
            auto failAt = [&](const std::string& what) {
                fail(kHead, ": ", static_cast<std::int64_t>(r), static_cast<std::int64_t>(f), names, what);
            };
            char buffer[40];
            switch (value.index()) {
            case 0: out += "null"; break;
            case 1: writeString(out, std::get<1>(value)); break;
            case 2: out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, std::get<2>(value)).ptr); break;
            case 3: {
                const double number = std::get<3>(value);
                if (!std::isfinite(number))
                    failAt(std::string("float value ") + (std::isnan(number) ? "NaN" : "infinity") +
                           " has no JSON form");
                out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, number).ptr);
                break;
            }
            case 4: out += std::get<4>(value) ? "true" : "false"; break;
            case 5: {
                const std::optional<std::string> text = dateTimeToText(std::get<5>(value));
                if (!text) {
                    failAt("datetime value " + std::to_string(std::get<5>(value).msecs) +
                           " ms lies outside the years 1 to 9999");
                }
                out += '"';
                out += *text;
                out += '"';
                break;
            }
            }
        }
        out += ']';
    }
    out += "]}";
    return QByteArray::fromStdString(out);
}

// ---------------------------------------------------------------------------------------------
// Reading

// Not QJsonDocument::fromJson (Qt 6.4): it stores every whole number as an integer, so "-0" reads
// back as 0 (the writer's own -0.0 would not survive the round trip) and "1.0" cannot be told
// from "1"; it also takes "\x41" as "x41", raw control characters in strings, and a repeated
// key (the last one wins), all refused here. It is slower as well: on bench_db's 10,000-row
// packet its parse alone takes 1.6 times the instructions of this whole reader.
class JsonReader {
public:
    explicit JsonReader(const QByteArray& json)
        : m_begin(json.constData()), m_pos(m_begin), m_end(m_begin + json.size()) {}

    TPacketTable read() {
        TPacketTable table;
        expect('{', "'{' opening the document");
        bool haveFields = false;
        bool haveRows = false;
        if (!peekIs('}')) {
            do {
                const char* keyAt = m_pos;
                const std::string key = readKey();
                if (key == "fields") {
                    if (haveFields) fail(keyAt, "duplicate key \"fields\"");
                    if (haveRows) fail(keyAt, "\"fields\" must come before \"rows\"");
                    readFields(table.fields);
                    haveFields = true;
                } else if (key == "rows") {
                    if (haveRows) fail(keyAt, "duplicate key \"rows\"");
                    if (!haveFields) fail(keyAt, "\"fields\" must come before \"rows\"");
                    readRows(table.fields, table.rows);
                    haveRows = true;
                } else {
                    fail(keyAt, "unknown key " + quoted(key) + " (expected \"fields\" and \"rows\")");
                }
            } while (consume(','));
        }
        expect('}', "',' or '}' in the document object");
        if (!haveFields) fail(m_pos, "missing key \"fields\"");
        if (!haveRows) fail(m_pos, "missing key \"rows\"");
        skipSpace();
        if (m_pos != m_end) fail(m_pos, "unexpected data after the document");
        return table;
    }

private:
    enum class Token { String, Number, True, False, Null, Object, Array, Other, End };

    [[noreturn]] void fail(const char* at, const std::string& what) const {
        throw EPacketError("invalid packet JSON at offset " + std::to_string(at - m_begin) + ": " + what);
    }

    [[noreturn]] void failValue(const char* at, std::size_t row, std::size_t field, const std::string& what) const {
        PacketRules::fail("invalid packet JSON at offset " + std::to_string(at - m_begin), ": ",
                          static_cast<std::int64_t>(row), static_cast<std::int64_t>(field), m_names, what);
    }

    void skipSpace() {
        while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\n' || *m_pos == '\r' || *m_pos == '\t')) ++m_pos;
    }

    bool peekIs(char c) {
        skipSpace();
        return m_pos < m_end && *m_pos == c;
    }

    bool consume(char c) {
        if (!peekIs(c)) return false;
        ++m_pos;
        return true;
    }

    void expect(char c, const char* what) {
        if (!consume(c)) fail(m_pos, std::string("expected ") + what + ", found " + describe(peek()));
    }

    Token peek() {
        skipSpace();
        if (m_pos == m_end) return Token::End;
        switch (*m_pos) {
        case '"': return Token::String;
        case 't': return Token::True;
        case 'f': return Token::False;
        case 'n': return Token::Null;
        case '{': return Token::Object;
        case '[': return Token::Array;
        case '-': return Token::Number;
        default: return *m_pos >= '0' && *m_pos <= '9' ? Token::Number : Token::Other;
        }
    }

    static std::string describe(Token token) {
        switch (token) {
        case Token::String: return "a string";
        case Token::Number: return "a number";
        case Token::True:
        case Token::False: return "a boolean";
        case Token::Null: return "null";
        case Token::Object: return "an object";
        case Token::Array: return "an array";
        case Token::Other: return "an unexpected character";
        case Token::End: return "the end of the input";
        }
        return {};
    }

    void literal(std::string_view word) {
        if (static_cast<std::size_t>(m_end - m_pos) < word.size() ||
            std::memcmp(m_pos, word.data(), word.size()) != 0) {
            fail(m_pos, "invalid literal (expected " + std::string(word) + ")");
        }
        m_pos += word.size();
    }

    std::string readKey() {
        if (peek() != Token::String) fail(m_pos, "expected a key string, found " + describe(peek()));
        std::string key = readString();
        expect(':', "':' after a key");
        return key;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    char32_t readHex4() {
        if (m_end - m_pos < 4) fail(m_pos, "truncated \\u escape");
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(m_pos[i]);
            if (digit < 0) fail(m_pos, "invalid \\u escape");
            value = value * 16 + static_cast<char32_t>(digit);
        }
        m_pos += 4;
        return value;
    }

    // Reads the string token at m_pos (which is '"').
    std::string readString() {
        std::string out;
        ++m_pos;
        for (;;) {
            const char* run = m_pos;
            while (m_pos < m_end && static_cast<unsigned char>(*m_pos) >= 0x20 && *m_pos != '"' && *m_pos != '\\')
                ++m_pos;
            if (!isValidUtf8(std::string_view(run, static_cast<std::size_t>(m_pos - run))))
                fail(run, "invalid UTF-8 in a string");
            out.append(run, m_pos);
            if (m_pos == m_end) fail(m_pos, "unterminated string");
            const auto c = static_cast<unsigned char>(*m_pos);
            if (c == '"') {
                ++m_pos;
                return out;
            }
            if (c < 0x20) fail(m_pos, "unescaped control character in a string");
            const char* escapeAt = m_pos++;  // backslash
            if (m_pos == m_end) fail(escapeAt, "unterminated string");
            switch (*m_pos++) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                char32_t cp = readHex4();
                if (cp >= 0xDC00 && cp <= 0xDFFF) fail(escapeAt, "unpaired surrogate in a \\u escape");
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (m_end - m_pos < 2 || m_pos[0] != '\\' || m_pos[1] != 'u')
                        fail(escapeAt, "unpaired surrogate in a \\u escape");
                    m_pos += 2;
                    const char32_t low = readHex4();
                    if (low < 0xDC00 || low > 0xDFFF) fail(escapeAt, "unpaired surrogate in a \\u escape");
                    cp = QChar::surrogateToUcs4(static_cast<char16_t>(cp), static_cast<char16_t>(low));
                }
                out += QStringView(QChar::fromUcs4(cp)).toUtf8().toStdString();
                break;
            }
            default: fail(escapeAt, "invalid escape in a string");
            }
        }
    }

    // Reads a number token per the JSON grammar; `integral` tells whether it has no fraction
    // and no exponent.
    std::string_view readNumber(bool& integral) {
        const char* start = m_pos;
        auto digits = [&] {
            const char* first = m_pos;
            while (m_pos < m_end && *m_pos >= '0' && *m_pos <= '9') ++m_pos;
            if (m_pos == first) fail(m_pos, "invalid number");
        };
        if (*m_pos == '-') ++m_pos;
        if (m_pos < m_end && *m_pos == '0')
            ++m_pos;
        else
            digits();
        integral = true;
        if (m_pos < m_end && *m_pos == '.') {
            ++m_pos;
            digits();
            integral = false;
        }
        if (m_pos < m_end && (*m_pos == 'e' || *m_pos == 'E')) {
            ++m_pos;
            if (m_pos < m_end && (*m_pos == '+' || *m_pos == '-')) ++m_pos;
            digits();
            integral = false;
        }
        return {start, static_cast<std::size_t>(m_pos - start)};
    }

    void readFields(std::vector<TFieldDesc>& fields) {
        expect('[', "'[' opening \"fields\"");
        if (consume(']')) return;
        do {
            if (fields.size() == kMaxFields) fail(m_pos, tooManyFields(kMaxFields + 1));
            readField(fields);
        } while (consume(','));
        expect(']', "',' or ']' in \"fields\"");
    }

    void readField(std::vector<TFieldDesc>& fields) {
        skipSpace();
        const char* fieldAt = m_pos;
        const std::string label = "field " + std::to_string(fields.size());
        expect('{', "'{' opening a field");
        TFieldDesc desc;
        std::optional<std::string> name;
        bool haveType = false;
        bool haveSize = false;
        if (!peekIs('}')) {
            do {
                const char* keyAt = m_pos;
                const std::string key = readKey();
                const Token token = peek();
                const char* valueAt = m_pos;
                if (key == "name") {
                    if (name) fail(keyAt, label + ": duplicate key \"name\"");
                    if (token != Token::String)
                        fail(valueAt, label + ": \"name\" must be a string, found " + describe(token));
                    name = readString();
                } else if (key == "type") {
                    if (haveType) fail(keyAt, label + ": duplicate key \"type\"");
                    if (token != Token::String)
                        fail(valueAt, label + ": \"type\" must be a string, found " + describe(token));
                    const std::string type = readString();
                    unsigned code = static_cast<unsigned>(TFieldType::ftString);
                    while (code <= static_cast<unsigned>(TFieldType::ftDateTime) &&
                           type != fieldTypeName(static_cast<TFieldType>(code)))
                        ++code;
                    if (code > static_cast<unsigned>(TFieldType::ftDateTime)) {
                        fail(valueAt, label + ": unknown type " + quoted(type) +
                                          " (expected string, integer, float, boolean or datetime)");
                    }
                    desc.type = static_cast<TFieldType>(code);
                    haveType = true;
                } else if (key == "size") {
                    if (haveSize) fail(keyAt, label + ": duplicate key \"size\"");
                    if (token != Token::Number)
                        fail(valueAt, label + ": \"size\" must be a number, found " + describe(token));
                    bool integral = false;
                    const std::string_view number = readNumber(integral);
                    int size = 0;
                    const auto result = std::from_chars(number.data(), number.data() + number.size(), size);
                    if (!integral || result.ec != std::errc())
                        fail(valueAt, label + ": \"size\" must be a whole number");
                    desc.size = size;
                    haveSize = true;
                } else {
                    fail(keyAt, label + ": unknown key " + quoted(key) + " (expected \"name\", \"type\", \"size\")");
                }
            } while (consume(','));
        }
        expect('}', "',' or '}' in a field");
        if (!name) fail(fieldAt, label + ": missing key \"name\"");
        const std::string nameLabel = label + " " + quoted(*name);
        if (!haveType) fail(fieldAt, nameLabel + ": missing key \"type\"");
        if (!haveSize && desc.type == TFieldType::ftString)
            fail(fieldAt, nameLabel + ": missing key \"size\" for a string field");
        if (const auto problem = descriptorProblem(static_cast<unsigned>(desc.type), desc.size, name->size()))
            fail(fieldAt, nameLabel + ": " + problem->what);
        desc.name = PacketRules::fromUtf8(*name);
        if (const std::string duplicate = m_names.add(desc.name, std::move(*name)); !duplicate.empty())
            fail(fieldAt, nameLabel + ": " + duplicate);
        fields.push_back(std::move(desc));
    }

    void readRows(const std::vector<TFieldDesc>& fields, std::vector<TRecord>& rows) {
        expect('[', "'[' opening \"rows\"");
        if (consume(']')) return;
        do {
            const std::size_t r = rows.size();
            skipSpace();
            if (fields.empty()) fail(m_pos, "rows but no fields");
            if (r == kMaxRows) fail(m_pos, "too many rows");
            const char* rowAt = m_pos;
            expect('[', "'[' opening a row");
            TRecord& row = rows.emplace_back();
            row.reserve(fields.size());
            for (std::size_t f = 0; f < fields.size(); ++f) {
                if (f != 0 && !consume(',')) {
                    if (peekIs(']')) {
                        fail(m_pos, "row " + std::to_string(r) + " has " + std::to_string(f) + " values for " +
                                        std::to_string(fields.size()) + " fields");
                    }
                    fail(m_pos,
                         "row " + std::to_string(r) + ": expected ',' or ']' after a value, found " + describe(peek()));
                }
                row.push_back(readValue(fields[f], r, f));
            }
            if (!consume(']')) {
                if (peekIs(',')) {
                    fail(rowAt, "row " + std::to_string(r) + " has more values than the " +
                                    std::to_string(fields.size()) + " fields");
                }
                fail(m_pos, "row " + std::to_string(r) + ": expected ']' closing the row, found " + describe(peek()));
            }
        } while (consume(','));
        expect(']', "',' or ']' in \"rows\"");
    }

    TFieldValue readValue(const TFieldDesc& field, std::size_t r, std::size_t f) {
        const Token token = peek();
        const char* at = m_pos;
        if (token == Token::Null) {
            literal("null");
            return {};
        }
        switch (field.type) {
        case TFieldType::ftString: {
            if (token != Token::String) failValue(at, r, f, "expected a string or null, found " + describe(token));
            std::string text = readString();
            if (!stringFits(text, static_cast<std::size_t>(field.size)))
                failValue(at, r, f, stringProblem(text, static_cast<std::size_t>(field.size)));
            return TFieldValue(std::in_place_index<1>, std::move(text));
        }
        case TFieldType::ftInteger: {
            if (token != Token::Number) failValue(at, r, f, "expected an integer or null, found " + describe(token));
            bool integral = false;
            const std::string_view number = readNumber(integral);
            std::int32_t value = 0;
            const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
            if (!integral) failValue(at, r, f, "expected an integer, found " + std::string(number));
            if (result.ec != std::errc()) failValue(at, r, f, "integer " + std::string(number) + " out of range");
            return TFieldValue(std::in_place_index<2>, value);
        }
        case TFieldType::ftFloat: {
            if (token != Token::Number) failValue(at, r, f, "expected a number or null, found " + describe(token));
            bool integral = false;
            const std::string_view number = readNumber(integral);
            double value = 0;
            const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
            if (result.ec != std::errc() || !std::isfinite(value))
                failValue(at, r, f, "number " + std::string(number) + " out of range");
            return TFieldValue(std::in_place_index<3>, value);
        }
        case TFieldType::ftBoolean:
            if (token == Token::True) {
                literal("true");
                return TFieldValue(std::in_place_index<4>, true);
            }
            if (token == Token::False) {
                literal("false");
                return TFieldValue(std::in_place_index<4>, false);
            }
            failValue(at, r, f, "expected true, false or null, found " + describe(token));
        case TFieldType::ftDateTime: {
            if (token != Token::String)
                failValue(at, r, f, "expected a date-time string or null, found " + describe(token));
            const std::string text = readString();
            const std::optional<TDateTimeValue> value = dateTimeFromText(text);
            if (!value) {
                failValue(at, r, f, "invalid date-time " + quoted(text) + " (expected YYYY-MM-DDTHH:MM:SS[.zzz])");
            }
            return TFieldValue(std::in_place_index<5>, *value);
        }
        }
        failValue(at, r, f, "unknown field type");
    }

    const char* m_begin;
    const char* m_pos;
    const char* m_end;
    FieldNames m_names;
};

}  // namespace

QByteArray packetToJson(const TPacketTable& table) { return writeJson(table); }

TPacketTable packetFromJson(const QByteArray& json) { return JsonReader(json).read(); }
