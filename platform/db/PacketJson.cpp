#include "PacketJson.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

using namespace DataPacketFormat;

namespace {

const char* const kTypeNames[] = {"string", "integer", "float", "boolean", "datetime"};

// A name or text for an error message, in quotes, with control characters escaped so that a
// hostile input cannot garble the terminal that shows the message.
std::string quoted(std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            result += "\\x";
            result += kHex[byte >> 4];
            result += kHex[byte & 0xF];
        } else {
            result += c;
        }
    }
    result += '"';
    return result;
}

// Length of the strictly valid UTF-8 sequence (lead byte >= 0x80) at p, or 0.
std::size_t utf8Sequence(const unsigned char* p, std::size_t available)
{
    const unsigned lead = p[0];
    std::size_t length;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // overlong
        high = lead == 0xED ? 0x9F : 0xBF;  // UTF-16 surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;   // overlong
        high = lead == 0xF4 ? 0x8F : 0xBF;  // above U+10FFFF
    } else {
        return 0;
    }
    if (available < length || p[1] < low || p[1] > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Index of the first field with this name, compared case-insensitively; `index` for a new name.
std::size_t firstWithName(QHash<QString, std::size_t>& seen, const QString& name, std::size_t index)
{
    const QString folded = name.toCaseFolded();
    const auto it = seen.constFind(folded);
    if (it != seen.constEnd())
        return *it;
    seen.insert(folded, index);
    return index;
}

QString decodeName(std::string_view utf8)
{
    // A leading U+FEFF is part of the name, not a byte order mark to drop.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

// What is wrong with a field descriptor, or an empty string.
std::string descriptorProblem(const TFieldDesc& field, std::size_t nameBytes)
{
    if (nameBytes == 0)
        return "empty field name";
    if (nameBytes > kMaxNameBytes) {
        return "field name of " + std::to_string(nameBytes) + " bytes is too long (at most " +
               std::to_string(kMaxNameBytes) + ")";
    }
    const auto code = static_cast<unsigned>(field.type);
    if (code < 1 || code > 5)
        return "unknown type code " + std::to_string(code);
    if (field.type == TFieldType::ftString) {
        if (field.size < 0 || field.size > kMaxStringSize) {
            return "string size " + std::to_string(field.size) + " out of range (0 to " +
                   std::to_string(kMaxStringSize) + ")";
        }
    } else if (field.size != 0) {
        return "size " + std::to_string(field.size) + " not allowed for type " + fieldTypeName(field.type) +
               " (must be 0)";
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Writing

class JsonWriter {
public:
    QByteArray write(const TPacketTable& table)
    {
        m_out.reserve(256);
        m_out += "{\"fields\":[";
        writeFields(table.fields);
        m_out += "],\"rows\":[";
        if (table.fields.empty() && !table.rows.empty())
            fail(-1, -1, "rows but no fields: " + std::to_string(table.rows.size()) + " rows");
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            if (r != 0)
                m_out += ',';
            writeRow(table.fields, table.rows[r], static_cast<std::int64_t>(r));
        }
        m_out += "]}";
        return QByteArray::fromStdString(m_out);
    }

private:
    [[noreturn]] void fail(std::int64_t row, std::int64_t field, const std::string& what) const
    {
        std::string message = "cannot write packet JSON";
        if (row >= 0)
            message += ": row " + std::to_string(row);
        if (field >= 0) {
            message += row >= 0 ? ", field " : ": field ";
            message += std::to_string(field);
            if (static_cast<std::size_t>(field) < m_names.size())
                message += ' ' + quoted(m_names[static_cast<std::size_t>(field)]);
        }
        message += ": ";
        message += what;
        throw EPacketError(message);
    }

    void writeFields(const std::vector<TFieldDesc>& fields)
    {
        if (fields.size() > kMaxFields) {
            fail(-1, -1,
                 "too many fields: " + std::to_string(fields.size()) + " (at most " +
                     std::to_string(kMaxFields) + ")");
        }
        QHash<QString, std::size_t> seen;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const TFieldDesc& field = fields[i];
            m_names.push_back(field.name.toStdString());
            const auto index = static_cast<std::int64_t>(i);
            if (!field.name.isValidUtf16())
                fail(-1, index, "field name holds an unpaired surrogate");
            if (const std::string problem = descriptorProblem(field, m_names.back().size()); !problem.empty())
                fail(-1, index, problem);
            const std::size_t first = firstWithName(seen, field.name, i);
            if (first != i) {
                fail(-1, index,
                     "duplicate field name (same as field " + std::to_string(first) + " " +
                         quoted(m_names[first]) + ")");
            }
            if (i != 0)
                m_out += ',';
            m_out += "{\"name\":";
            writeString(m_names.back(), -1, index);
            m_out += ",\"type\":\"";
            m_out += fieldTypeName(field.type);
            m_out += "\",\"size\":";
            m_out += std::to_string(field.size);
            m_out += '}';
        }
    }

    void writeRow(const std::vector<TFieldDesc>& fields, const TRecord& row, std::int64_t r)
    {
        if (row.size() != fields.size()) {
            fail(r, -1,
                 "has " + std::to_string(row.size()) + " values for " + std::to_string(fields.size()) +
                     " fields");
        }
        m_out += '[';
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (f != 0)
                m_out += ',';
            const TFieldValue& value = row[f];
            const auto index = static_cast<std::int64_t>(f);
            if (value.index() == 0) {
                m_out += "null";
                continue;
            }
            if (value.index() != static_cast<std::size_t>(fields[f].type)) {
                fail(r, index,
                     std::string("value of type ") + fieldTypeName(static_cast<TFieldType>(value.index())) +
                         " in a " + fieldTypeName(fields[f].type) + " field");
            }
            char buffer[40];
            switch (value.index()) {
            case 1: {
                const std::size_t chars = writeString(std::get<1>(value), r, index);
                if (fields[f].size != 0 && chars > static_cast<std::size_t>(fields[f].size)) {
                    fail(r, index,
                         "string of " + std::to_string(chars) + " characters is longer than its field (size " +
                             std::to_string(fields[f].size) + ")");
                }
                break;
            }
            case 2: {
                const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::get<2>(value)).ptr;
                m_out.append(buffer, end);
                break;
            }
            case 3: {
                const double number = std::get<3>(value);
                if (!std::isfinite(number)) {
                    fail(r, index,
                         std::string("float value ") + (std::isnan(number) ? "NaN" : "infinity") +
                             " has no JSON form");
                }
                const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
                m_out.append(buffer, end);
                break;
            }
            case 4:
                m_out += std::get<4>(value) ? "true" : "false";
                break;
            case 5: {
                const std::optional<std::string> text = dateTimeToText(std::get<5>(value));
                if (!text) {
                    fail(r, index,
                         "datetime value " + std::to_string(std::get<5>(value).msecs) +
                             " ms lies outside the years 1 to 9999");
                }
                m_out += '"';
                m_out += *text;
                m_out += '"';
                break;
            }
            }
        }
        m_out += ']';
    }

    // Writes a JSON string and returns its number of characters.
    std::size_t writeString(const std::string& text, std::int64_t r, std::int64_t f)
    {
        static const char kHex[] = "0123456789abcdef";
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        const auto* end = p + text.size();
        std::size_t chars = 0;
        m_out += '"';
        while (p < end) {
            const auto* run = p;
            while (p < end && *p >= 0x20 && *p < 0x80 && *p != '"' && *p != '\\')
                ++p;
            chars += static_cast<std::size_t>(p - run);
            m_out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
            if (p == end)
                break;
            const unsigned char c = *p;
            ++chars;
            if (c >= 0x80) {
                const std::size_t length = utf8Sequence(p, static_cast<std::size_t>(end - p));
                if (length == 0)
                    fail(r, f, r >= 0 ? "string is not valid UTF-8" : "field name is not valid UTF-8");
                m_out.append(reinterpret_cast<const char*>(p), length);
                p += length;
                continue;
            }
            ++p;
            switch (c) {
            case '"': m_out += "\\\""; break;
            case '\\': m_out += "\\\\"; break;
            case '\b': m_out += "\\b"; break;
            case '\f': m_out += "\\f"; break;
            case '\n': m_out += "\\n"; break;
            case '\r': m_out += "\\r"; break;
            case '\t': m_out += "\\t"; break;
            default:
                m_out += "\\u00";
                m_out += kHex[c >> 4];
                m_out += kHex[c & 0xF];
                break;
            }
        }
        m_out += '"';
        return chars;
    }

    std::string m_out;
    std::vector<std::string> m_names;
};

// ---------------------------------------------------------------------------------------------
// Reading

class JsonReader {
public:
    explicit JsonReader(const QByteArray& json)
        : m_begin(json.constData()), m_pos(m_begin), m_end(m_begin + json.size())
    {
    }

    TPacketTable read()
    {
        TPacketTable table;
        expect('{', "'{' opening the document");
        bool haveFields = false;
        bool haveRows = false;
        if (!peekIs('}')) {
            do {
                const char* keyAt = m_pos;
                const std::string key = readKey();
                if (key == "fields") {
                    if (haveFields)
                        fail(keyAt, "duplicate key \"fields\"");
                    if (haveRows)
                        fail(keyAt, "\"fields\" must come before \"rows\"");
                    readFields(table.fields);
                    haveFields = true;
                } else if (key == "rows") {
                    if (haveRows)
                        fail(keyAt, "duplicate key \"rows\"");
                    if (!haveFields)
                        fail(keyAt, "\"fields\" must come before \"rows\"");
                    readRows(table.fields, table.rows);
                    haveRows = true;
                } else {
                    fail(keyAt, "unknown key " + quoted(key) + " (expected \"fields\" and \"rows\")");
                }
            } while (consume(','));
        }
        expect('}', "',' or '}' in the document object");
        if (!haveFields)
            fail(m_pos, "missing key \"fields\"");
        if (!haveRows)
            fail(m_pos, "missing key \"rows\"");
        skipSpace();
        if (m_pos != m_end)
            fail(m_pos, "unexpected data after the document");
        return table;
    }

private:
    enum class Token { String, Number, True, False, Null, Object, Array, Other, End };

    [[noreturn]] void fail(const char* at, const std::string& what) const
    {
        throw EPacketError("invalid packet JSON at offset " + std::to_string(at - m_begin) + ": " + what);
    }

    [[noreturn]] void failValue(const char* at, std::size_t row, std::size_t field, const std::string& what) const
    {
        fail(at, "row " + std::to_string(row) + ", field " + std::to_string(field) + " " +
                     quoted(m_names[field]) + ": " + what);
    }

    void skipSpace()
    {
        while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\n' || *m_pos == '\r' || *m_pos == '\t'))
            ++m_pos;
    }

    bool peekIs(char c)
    {
        skipSpace();
        return m_pos < m_end && *m_pos == c;
    }

    bool consume(char c)
    {
        if (!peekIs(c))
            return false;
        ++m_pos;
        return true;
    }

    void expect(char c, const char* what)
    {
        if (!consume(c))
            fail(m_pos, std::string("expected ") + what + ", found " + describe(peek()));
    }

    Token peek()
    {
        skipSpace();
        if (m_pos == m_end)
            return Token::End;
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

    static std::string describe(Token token)
    {
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

    void literal(std::string_view word)
    {
        if (static_cast<std::size_t>(m_end - m_pos) < word.size() ||
            std::memcmp(m_pos, word.data(), word.size()) != 0) {
            fail(m_pos, "invalid literal (expected " + std::string(word) + ")");
        }
        m_pos += word.size();
    }

    std::string readKey()
    {
        if (peek() != Token::String)
            fail(m_pos, "expected a key string, found " + describe(peek()));
        std::string key = readString();
        expect(':', "':' after a key");
        return key;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    char32_t readHex4()
    {
        if (m_end - m_pos < 4)
            fail(m_pos, "truncated \\u escape");
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(m_pos[i]);
            if (digit < 0)
                fail(m_pos, "invalid \\u escape");
            value = value * 16 + static_cast<char32_t>(digit);
        }
        m_pos += 4;
        return value;
    }

    // Reads the string token at m_pos (which is '"').
    std::string readString()
    {
        std::string out;
        ++m_pos;
        for (;;) {
            const char* run = m_pos;
            while (m_pos < m_end && static_cast<unsigned char>(*m_pos) >= 0x20 &&
                   static_cast<unsigned char>(*m_pos) < 0x80 && *m_pos != '"' && *m_pos != '\\')
                ++m_pos;
            out.append(run, m_pos);
            if (m_pos == m_end)
                fail(m_pos, "unterminated string");
            const auto c = static_cast<unsigned char>(*m_pos);
            if (c == '"') {
                ++m_pos;
                return out;
            }
            if (c < 0x20)
                fail(m_pos, "unescaped control character in a string");
            if (c >= 0x80) {
                const std::size_t length = utf8Sequence(reinterpret_cast<const unsigned char*>(m_pos),
                                                        static_cast<std::size_t>(m_end - m_pos));
                if (length == 0)
                    fail(m_pos, "invalid UTF-8 in a string");
                out.append(m_pos, length);
                m_pos += length;
                continue;
            }
            const char* escapeAt = m_pos++;  // backslash
            if (m_pos == m_end)
                fail(escapeAt, "unterminated string");
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
                if (cp >= 0xDC00 && cp <= 0xDFFF)
                    fail(escapeAt, "unpaired surrogate in a \\u escape");
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (m_end - m_pos < 2 || m_pos[0] != '\\' || m_pos[1] != 'u')
                        fail(escapeAt, "unpaired surrogate in a \\u escape");
                    m_pos += 2;
                    const char32_t low = readHex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        fail(escapeAt, "unpaired surrogate in a \\u escape");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                fail(escapeAt, "invalid escape in a string");
            }
        }
    }

    // Reads a number token per the JSON grammar; `integral` tells whether it has no fraction
    // and no exponent.
    std::string_view readNumber(bool& integral)
    {
        const char* start = m_pos;
        auto digits = [&] {
            const char* first = m_pos;
            while (m_pos < m_end && *m_pos >= '0' && *m_pos <= '9')
                ++m_pos;
            if (m_pos == first)
                fail(m_pos, "invalid number");
        };
        if (*m_pos == '-')
            ++m_pos;
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
            if (m_pos < m_end && (*m_pos == '+' || *m_pos == '-'))
                ++m_pos;
            digits();
            integral = false;
        }
        return {start, static_cast<std::size_t>(m_pos - start)};
    }

    void readFields(std::vector<TFieldDesc>& fields)
    {
        expect('[', "'[' opening \"fields\"");
        if (consume(']'))
            return;
        QHash<QString, std::size_t> seen;
        do {
            if (fields.size() == kMaxFields)
                fail(m_pos, "too many fields (at most " + std::to_string(kMaxFields) + ")");
            const char* fieldAt = m_pos;
            readField(fields);
            const std::size_t first = firstWithName(seen, fields.back().name, fields.size() - 1);
            if (first != fields.size() - 1) {
                fail(fieldAt, "field " + std::to_string(fields.size() - 1) + " " + quoted(m_names.back()) +
                                  ": duplicate field name (same as field " + std::to_string(first) + " " +
                                  quoted(m_names[first]) + ")");
            }
        } while (consume(','));
        expect(']', "',' or ']' in \"fields\"");
    }

    void readField(std::vector<TFieldDesc>& fields)
    {
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
                    if (name)
                        fail(keyAt, label + ": duplicate key \"name\"");
                    if (token != Token::String)
                        fail(valueAt, label + ": \"name\" must be a string, found " + describe(token));
                    name = readString();
                } else if (key == "type") {
                    if (haveType)
                        fail(keyAt, label + ": duplicate key \"type\"");
                    if (token != Token::String)
                        fail(valueAt, label + ": \"type\" must be a string, found " + describe(token));
                    const std::string type = readString();
                    const auto* found = std::find(std::begin(kTypeNames), std::end(kTypeNames), type);
                    if (found == std::end(kTypeNames)) {
                        fail(valueAt, label + ": unknown type " + quoted(type) +
                                          " (expected string, integer, float, boolean or datetime)");
                    }
                    desc.type = static_cast<TFieldType>(found - std::begin(kTypeNames) + 1);
                    haveType = true;
                } else if (key == "size") {
                    if (haveSize)
                        fail(keyAt, label + ": duplicate key \"size\"");
                    if (token != Token::Number)
                        fail(valueAt, label + ": \"size\" must be a number, found " + describe(token));
                    bool integral = false;
                    const std::string_view number = readNumber(integral);
                    int size = 0;
                    const auto result = std::from_chars(number.data(), number.data() + number.size(), size);
                    if (!integral || result.ec != std::errc() || size < 0 || size > kMaxStringSize) {
                        fail(valueAt, label + ": \"size\" must be a whole number from 0 to " +
                                          std::to_string(kMaxStringSize));
                    }
                    desc.size = size;
                    haveSize = true;
                } else {
                    fail(keyAt, label + ": unknown key " + quoted(key) + " (expected \"name\", \"type\", \"size\")");
                }
            } while (consume(','));
        }
        expect('}', "',' or '}' in a field");
        if (!name)
            fail(fieldAt, label + ": missing key \"name\"");
        const std::string nameLabel = label + " " + quoted(*name);
        if (!haveType)
            fail(fieldAt, nameLabel + ": missing key \"type\"");
        if (!haveSize && desc.type == TFieldType::ftString)
            fail(fieldAt, nameLabel + ": missing key \"size\" for a string field");
        desc.name = decodeName(*name);
        if (const std::string problem = descriptorProblem(desc, name->size()); !problem.empty())
            fail(fieldAt, nameLabel + ": " + problem);
        m_names.push_back(std::move(*name));
        fields.push_back(std::move(desc));
    }

    void readRows(const std::vector<TFieldDesc>& fields, std::vector<TRecord>& rows)
    {
        expect('[', "'[' opening \"rows\"");
        if (consume(']'))
            return;
        do {
            const std::size_t r = rows.size();
            skipSpace();
            if (fields.empty())
                fail(m_pos, "rows but no fields");
            if (r == std::numeric_limits<std::uint32_t>::max())
                fail(m_pos, "too many rows");
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
                    fail(m_pos, "row " + std::to_string(r) + ": expected ',' or ']' after a value, found " +
                                    describe(peek()));
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

    TFieldValue readValue(const TFieldDesc& field, std::size_t r, std::size_t f)
    {
        const Token token = peek();
        const char* at = m_pos;
        if (token == Token::Null) {
            literal("null");
            return {};
        }
        switch (field.type) {
        case TFieldType::ftString: {
            if (token != Token::String)
                failValue(at, r, f, "expected a string or null, found " + describe(token));
            std::string text = readString();
            if (field.size != 0) {
                const std::size_t chars = utf8Length(text);
                if (chars > static_cast<std::size_t>(field.size)) {
                    failValue(at, r, f,
                              "string of " + std::to_string(chars) + " characters is longer than its field (size " +
                                  std::to_string(field.size) + ")");
                }
            }
            return TFieldValue(std::in_place_index<1>, std::move(text));
        }
        case TFieldType::ftInteger: {
            if (token != Token::Number)
                failValue(at, r, f, "expected an integer or null, found " + describe(token));
            bool integral = false;
            const std::string_view number = readNumber(integral);
            std::int32_t value = 0;
            const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
            if (!integral)
                failValue(at, r, f, "expected an integer, found " + std::string(number));
            if (result.ec != std::errc())
                failValue(at, r, f, "integer " + std::string(number) + " out of range");
            return TFieldValue(std::in_place_index<2>, value);
        }
        case TFieldType::ftFloat: {
            if (token != Token::Number)
                failValue(at, r, f, "expected a number or null, found " + describe(token));
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
                failValue(at, r, f,
                          "invalid date-time " + quoted(text) + " (expected YYYY-MM-DDTHH:MM:SS[.zzz])");
            }
            return TFieldValue(std::in_place_index<5>, *value);
        }
        }
        failValue(at, r, f, "unknown field type");
    }

    const char* m_begin;
    const char* m_pos;
    const char* m_end;
    std::vector<std::string> m_names;  // field names as UTF-8, for messages
};

}  // namespace

QByteArray packetToJson(const TPacketTable& table)
{
    return JsonWriter().write(table);
}

TPacketTable packetFromJson(const QByteArray& json)
{
    return JsonReader(json).read();
}
