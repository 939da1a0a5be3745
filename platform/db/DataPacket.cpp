#include "DataPacket.h"

#include <QHash>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string_view>

using namespace DataPacketFormat;

namespace {

constexpr std::size_t kNotUtf8 = std::numeric_limits<std::size_t>::max();
// Up to this many fields, names are compared pairwise when the encoder checks them.
constexpr std::size_t kPairwiseNames = 64;

// Number of code points of a strictly valid UTF-8 text (no overlong forms, no surrogates,
// nothing above U+10FFFF), or kNotUtf8. ASCII runs are skipped eight bytes at a time.
std::size_t utf8Chars(const char* text, std::size_t size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    std::size_t count = 0;
    while (i < size) {
        if (size - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                count += 8;
                continue;
            }
        }
        const unsigned lead = p[i];
        if (lead < 0x80) {
            ++i;
            ++count;
            continue;
        }
        std::size_t length;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;  // overlong
            else if (lead == 0xED)
                high = 0x9F;  // UTF-16 surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;  // overlong
            else if (lead == 0xF4)
                high = 0x8F;  // above U+10FFFF
        } else {
            return kNotUtf8;
        }
        if (size - i < length || p[i + 1] < low || p[i + 1] > high)
            return kNotUtf8;
        for (std::size_t k = 2; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return kNotUtf8;
        }
        i += length;
        ++count;
    }
    return count;
}

// Plain ASCII (most codes and names): valid, one character a byte. A loop the compiler turns
// into wide operations, much cheaper for short texts than the full check.
inline bool allAscii(const std::string& text)
{
    unsigned char seen = 0;
    for (const char c : text)
        seen |= static_cast<unsigned char>(c);
    return seen < 0x80;
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

// Whether every field name is plain ASCII, as in nearly every packet.
bool asciiNames(const std::vector<TFieldDesc>& fields)
{
    for (const TFieldDesc& field : fields) {
        for (const QChar c : field.name) {
            if (c.unicode() >= 0x80)
                return false;
        }
    }
    return true;
}

bool isKnownType(unsigned code)
{
    return code >= static_cast<unsigned>(TFieldType::ftString) &&
           code <= static_cast<unsigned>(TFieldType::ftDateTime);
}

// Bytes of a non-null value of a fixed-width type.
std::size_t fixedWidth(TFieldType type)
{
    switch (type) {
    case TFieldType::ftInteger: return 4;
    case TFieldType::ftFloat: return 8;
    case TFieldType::ftBoolean: return 1;
    case TFieldType::ftDateTime: return 8;
    case TFieldType::ftString: break;
    }
    return 0;
}

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

// ---------------------------------------------------------------------------------------------
// Decoding

class PacketReader {
public:
    PacketReader(const char* data, std::size_t size)
        : m_begin(reinterpret_cast<const unsigned char*>(data)), m_pos(m_begin), m_end(m_begin + size)
    {
    }

    TPacketTable read()
    {
        TPacketTable table;
        const std::uint32_t rowCount = readHeader();
        readDescriptors(table.fields);
        if (table.fields.empty() && rowCount != 0)
            fail(8, -1, -1, "rows but no fields: row count " + std::to_string(rowCount));
        readRows(table.fields, rowCount, table.rows);
        if (m_pos != m_end) {
            fail(offset(), -1, -1,
                 "trailing bytes after the last row: " + std::to_string(m_end - m_pos));
        }
        return table;
    }

private:
    std::size_t offset() const { return static_cast<std::size_t>(m_pos - m_begin); }
    std::size_t remaining() const { return static_cast<std::size_t>(m_end - m_pos); }

    [[noreturn]] Q_NEVER_INLINE Q_DECL_COLD_FUNCTION void fail(std::size_t at, std::int64_t row, std::int64_t field,
                                                               const std::string& what) const
    {
        std::string message = "invalid data packet at offset " + std::to_string(at);
        if (row >= 0)
            message += ", row " + std::to_string(row);
        if (field >= 0) {
            message += ", field " + std::to_string(field);
            if (static_cast<std::size_t>(field) < m_names.size())
                message += ' ' + quoted(m_names[static_cast<std::size_t>(field)]);
        }
        message += ": ";
        message += what;
        throw EPacketError(message);
    }

    [[noreturn]] Q_NEVER_INLINE Q_DECL_COLD_FUNCTION void failTruncated(std::int64_t row, std::int64_t field,
                                                                        const char* item, std::size_t needed) const
    {
        fail(offset(), row, field,
             std::string("truncated in ") + item + ": " + std::to_string(remaining()) + " of " +
                 std::to_string(needed) + " bytes present");
    }

    void need(std::size_t bytes, std::int64_t row, std::int64_t field, const char* item) const
    {
        if (remaining() < bytes) [[unlikely]]
            failTruncated(row, field, item, bytes);
    }

    std::uint32_t readHeader()
    {
        if (remaining() < kHeaderSize) {
            fail(0, -1, -1,
                 "truncated header: " + std::to_string(remaining()) + " bytes, a packet needs at least " +
                     std::to_string(kHeaderSize));
        }
        if (std::memcmp(m_pos, kMagic, sizeof kMagic) != 0)
            fail(0, -1, -1, "bad magic, expected \"RDPK\"");
        const auto version = qFromLittleEndian<std::uint16_t>(m_pos + 4);
        if (version != kVersion) {
            fail(4, -1, -1,
                 "unsupported format version " + std::to_string(version) + " (expected " +
                     std::to_string(kVersion) + ")");
        }
        m_fieldCount = qFromLittleEndian<std::uint16_t>(m_pos + 6);
        if (m_fieldCount > kMaxFields) {
            fail(6, -1, -1,
                 "too many fields: " + std::to_string(m_fieldCount) + " (at most " +
                     std::to_string(kMaxFields) + ")");
        }
        const auto rowCount = qFromLittleEndian<std::uint32_t>(m_pos + 8);
        m_pos += kHeaderSize;
        return rowCount;
    }

    void readDescriptors(std::vector<TFieldDesc>& fields)
    {
        fields.reserve(m_fieldCount);  // at most kMaxFields
        m_names.reserve(m_fieldCount);
        QHash<QString, std::size_t> seen;
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        for (std::size_t i = 0; i < m_fieldCount; ++i) {
            const auto index = static_cast<std::int64_t>(i);
            need(7, -1, index, "field descriptor");
            const unsigned code = m_pos[0];
            if (!isKnownType(code))
                fail(offset(), -1, index, "unknown type code " + std::to_string(code));
            const auto type = static_cast<TFieldType>(code);
            const auto size = qFromLittleEndian<std::uint32_t>(m_pos + 1);
            if (type == TFieldType::ftString && size > static_cast<std::uint32_t>(kMaxStringSize)) {
                fail(offset() + 1, -1, index,
                     "string size " + std::to_string(size) + " too large (at most " +
                         std::to_string(kMaxStringSize) + ")");
            }
            if (type != TFieldType::ftString && size != 0) {
                fail(offset() + 1, -1, index,
                     std::string("size ") + std::to_string(size) + " not allowed for type " + fieldTypeName(type) +
                         " (must be 0)");
            }
            const std::size_t nameBytes = qFromLittleEndian<std::uint16_t>(m_pos + 5);
            if (nameBytes == 0)
                fail(offset() + 5, -1, index, "name length 0");
            if (nameBytes > kMaxNameBytes) {
                fail(offset() + 5, -1, index,
                     "name length " + std::to_string(nameBytes) + " too large (at most " +
                         std::to_string(kMaxNameBytes) + ")");
            }
            m_pos += 7;
            need(nameBytes, -1, index, "field name");
            const char* nameData = reinterpret_cast<const char*>(m_pos);
            if (utf8Chars(nameData, nameBytes) == kNotUtf8)
                fail(offset(), -1, index, "field name is not valid UTF-8");
            TFieldDesc desc;
            desc.name = utf8.decode(QByteArrayView(nameData, static_cast<qsizetype>(nameBytes)));
            desc.type = type;
            desc.size = static_cast<int>(size);
            m_names.emplace_back(nameData, nameBytes);
            const std::size_t first = firstWithName(seen, desc.name, i);
            if (first != i) {
                fail(offset(), -1, index,
                     "duplicate field name (same as field " + std::to_string(first) + " " +
                         quoted(m_names[first]) + ")");
            }
            m_pos += nameBytes;
            fields.push_back(std::move(desc));
        }
    }

    void readRows(const std::vector<TFieldDesc>& fields, std::uint32_t rowCount, std::vector<TRecord>& rows)
    {
        if (rowCount == 0)
            return;
        struct Column {
            TFieldType type;
            std::uint32_t size;
        };
        std::vector<Column> columns;
        columns.reserve(fields.size());
        for (const TFieldDesc& field : fields)
            columns.push_back({field.type, static_cast<std::uint32_t>(field.size)});

        const std::size_t fieldCount = fields.size();
        const std::size_t bitmapBytes = (fieldCount + 7) / 8;
        const unsigned unusedBits = fieldCount % 8 ? (0xFFu << (fieldCount % 8)) & 0xFFu : 0u;
        // Each row takes at least its null bitmap, so the input bounds how many rows can follow.
        rows.reserve(std::min<std::size_t>(rowCount, remaining() / bitmapBytes));

        for (std::size_t r = 0; r < rowCount; ++r) {
            const auto rowIndex = static_cast<std::int64_t>(r);
            need(bitmapBytes, rowIndex, -1, "null bitmap");
            const unsigned char* bitmap = m_pos;
            if (bitmap[bitmapBytes - 1] & unusedBits)
                fail(offset() + bitmapBytes - 1, rowIndex, -1, "unused null-bitmap bits set");
            m_pos += bitmapBytes;

            TRecord& row = rows.emplace_back();
            row.reserve(fieldCount);
            for (std::size_t f = 0; f < fieldCount; ++f) {
                if ((bitmap[f >> 3] >> (f & 7)) & 1u) {
                    row.emplace_back();
                    continue;
                }
                switch (columns[f].type) {
                case TFieldType::ftString:
                    readString(row, columns[f].size, rowIndex, f);
                    break;
                case TFieldType::ftInteger:
                    need(4, rowIndex, static_cast<std::int64_t>(f), "integer value");
                    row.emplace_back(std::in_place_index<2>, qFromLittleEndian<std::int32_t>(m_pos));
                    m_pos += 4;
                    break;
                case TFieldType::ftFloat:
                    need(8, rowIndex, static_cast<std::int64_t>(f), "float value");
                    row.emplace_back(std::in_place_index<3>,
                                     std::bit_cast<double>(qFromLittleEndian<std::uint64_t>(m_pos)));
                    m_pos += 8;
                    break;
                case TFieldType::ftBoolean:
                    need(1, rowIndex, static_cast<std::int64_t>(f), "boolean value");
                    if (*m_pos > 1) {
                        fail(offset(), rowIndex, static_cast<std::int64_t>(f),
                             "boolean value " + std::to_string(*m_pos) + " (must be 0 or 1)");
                    }
                    row.emplace_back(std::in_place_index<4>, *m_pos != 0);
                    m_pos += 1;
                    break;
                case TFieldType::ftDateTime:
                    need(8, rowIndex, static_cast<std::int64_t>(f), "datetime value");
                    row.emplace_back(std::in_place_index<5>,
                                     TDateTimeValue{qFromLittleEndian<std::int64_t>(m_pos)});
                    m_pos += 8;
                    break;
                }
            }
        }
    }

    void readString(TRecord& row, std::uint32_t size, std::int64_t rowIndex, std::size_t f)
    {
        const auto field = static_cast<std::int64_t>(f);
        need(4, rowIndex, field, "string length");
        const std::size_t length = qFromLittleEndian<std::uint32_t>(m_pos);
        // A character takes at most 4 bytes, so this rejects a huge length before looking further.
        if (size != 0 && length > 4 * std::size_t{size}) {
            fail(offset(), rowIndex, field,
                 "string of " + std::to_string(length) + " bytes is longer than its field (size " +
                     std::to_string(size) + ")");
        }
        m_pos += 4;
        need(length, rowIndex, field, "string value");
        const char* text = reinterpret_cast<const char*>(m_pos);
        const std::size_t chars = utf8Chars(text, length);
        if (chars == kNotUtf8)
            fail(offset(), rowIndex, field, "string is not valid UTF-8");
        if (size != 0 && chars > size) {
            fail(offset(), rowIndex, field,
                 "string of " + std::to_string(chars) + " characters is longer than its field (size " +
                     std::to_string(size) + ")");
        }
        row.emplace_back(std::in_place_index<1>, text, length);
        m_pos += length;
    }

    const unsigned char* m_begin;
    const unsigned char* m_pos;
    const unsigned char* m_end;
    std::size_t m_fieldCount = 0;
    std::vector<std::string_view> m_names;  // raw field names, for messages
};

// ---------------------------------------------------------------------------------------------
// Encoding

[[noreturn]] void encodeFail(std::int64_t row, std::int64_t field, const std::vector<QByteArray>& names,
                             const std::string& what)
{
    std::string message = "cannot encode data packet";
    if (row >= 0)
        message += ": row " + std::to_string(row);
    if (field >= 0) {
        message += row >= 0 ? ", field " : ": field ";
        message += std::to_string(field);
        if (static_cast<std::size_t>(field) < names.size())
            message += ' ' + quoted(names[static_cast<std::size_t>(field)].toStdString());
    }
    message += ": ";
    message += what;
    throw EPacketError(message);
}

std::vector<QByteArray> checkedFieldNames(const std::vector<TFieldDesc>& fields)
{
    std::vector<QByteArray> names;
    if (fields.size() > kMaxFields) {
        encodeFail(-1, -1, names,
                   "too many fields: " + std::to_string(fields.size()) + " (at most " +
                       std::to_string(kMaxFields) + ")");
    }
    names.reserve(fields.size());
    // The few ASCII names of a usual packet are compared with the earlier ones in place, which
    // costs much less than hashing a case-folded copy of each; any other character may fold
    // onto an ASCII one (the Kelvin sign onto k), so then all names are folded.
    const bool pairwise = fields.size() <= kPairwiseNames && asciiNames(fields);
    QHash<QString, std::size_t> seen;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const TFieldDesc& field = fields[i];
        const auto index = static_cast<std::int64_t>(i);
        names.push_back(field.name.toUtf8());
        const auto code = static_cast<unsigned>(field.type);
        if (!isKnownType(code))
            encodeFail(-1, index, names, "unknown type code " + std::to_string(code));
        if (field.type == TFieldType::ftString) {
            if (field.size < 0 || field.size > kMaxStringSize) {
                encodeFail(-1, index, names,
                           "string size " + std::to_string(field.size) + " out of range (0 to " +
                               std::to_string(kMaxStringSize) + ")");
            }
        } else if (field.size != 0) {
            encodeFail(-1, index, names,
                       "size " + std::to_string(field.size) + " not allowed for type " + fieldTypeName(field.type) +
                           " (must be 0)");
        }
        const auto nameBytes = static_cast<std::size_t>(names.back().size());
        if (nameBytes == 0)
            encodeFail(-1, index, names, "empty field name");
        if (nameBytes > kMaxNameBytes) {
            encodeFail(-1, index, names,
                       "field name of " + std::to_string(nameBytes) + " bytes is too long (at most " +
                           std::to_string(kMaxNameBytes) + ")");
        }
        if (!field.name.isValidUtf16())
            encodeFail(-1, index, names, "field name holds an unpaired surrogate");
        std::size_t first = i;
        if (pairwise) {
            for (std::size_t j = 0; j < i && first == i; ++j) {
                if (names[j].size() == names[i].size() &&
                    qstrnicmp(names[j].constData(), names[i].constData(), static_cast<std::size_t>(names[i].size())) == 0)
                    first = j;
            }
        } else {
            first = firstWithName(seen, field.name, i);
        }
        if (first != i) {
            encodeFail(-1, index, names,
                       "duplicate field name (same as field " + std::to_string(first) + " " +
                           quoted(names[first].toStdString()) + ")");
        }
    }
    return names;
}

// Checks every value against its field and returns the number of bytes the rows take.
std::size_t checkedRowBytes(const std::vector<TFieldDesc>& fields, const std::vector<TRecord>& rows,
                            const std::vector<QByteArray>& names)
{
    const std::size_t fieldCount = fields.size();
    if (fieldCount == 0 && !rows.empty())
        encodeFail(-1, -1, names, "rows but no fields: " + std::to_string(rows.size()) + " rows");
    if (rows.size() > std::numeric_limits<std::uint32_t>::max())
        encodeFail(-1, -1, names, "too many rows: " + std::to_string(rows.size()));
    const std::size_t bitmapBytes = (fieldCount + 7) / 8;
    std::size_t total = rows.size() * bitmapBytes;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TRecord& row = rows[r];
        const auto rowIndex = static_cast<std::int64_t>(r);
        if (row.size() != fieldCount) {
            encodeFail(rowIndex, -1, names,
                       "has " + std::to_string(row.size()) + " values for " + std::to_string(fieldCount) +
                           " fields");
        }
        for (std::size_t f = 0; f < fieldCount; ++f) {
            const TFieldValue& value = row[f];
            if (value.index() == 0)
                continue;
            const TFieldDesc& field = fields[f];
            if (value.index() != static_cast<std::size_t>(field.type)) {
                encodeFail(rowIndex, static_cast<std::int64_t>(f), names,
                           std::string("value of type ") + fieldTypeName(static_cast<TFieldType>(value.index())) + " in a " +
                               fieldTypeName(field.type) + " field");
            }
            if (field.type != TFieldType::ftString) {
                total += fixedWidth(field.type);
                continue;
            }
            const std::string& text = std::get<1>(value);
            if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
                encodeFail(rowIndex, static_cast<std::int64_t>(f), names,
                           "string of " + std::to_string(text.size()) + " bytes is too long");
            }
            const std::size_t chars = allAscii(text) ? text.size() : utf8Chars(text.data(), text.size());
            if (chars == kNotUtf8)
                encodeFail(rowIndex, static_cast<std::int64_t>(f), names, "string is not valid UTF-8");
            if (field.size != 0 && chars > static_cast<std::size_t>(field.size)) {
                encodeFail(rowIndex, static_cast<std::int64_t>(f), names,
                           "string of " + std::to_string(chars) + " characters is longer than its field (size " +
                               std::to_string(field.size) + ")");
            }
            total += 4 + text.size();
        }
    }
    return total;
}

template <typename T>
char* put(char* out, T value)
{
    qToLittleEndian(value, out);
    return out + sizeof(T);
}

}  // namespace

QByteArray encodePacket(const TPacketTable& table)
{
    return encodePacket(table.fields, table.rows);
}

QByteArray encodePacket(const std::vector<TFieldDesc>& fields, const std::vector<TRecord>& rows)
{
    const std::vector<QByteArray> names = checkedFieldNames(fields);
    std::size_t total = kHeaderSize;
    for (const QByteArray& name : names)
        total += 7 + static_cast<std::size_t>(name.size());
    total += checkedRowBytes(fields, rows, names);

    QByteArray bytes(static_cast<qsizetype>(total), Qt::Uninitialized);
    char* out = bytes.data();
    std::memcpy(out, kMagic, sizeof kMagic);
    out += sizeof kMagic;
    out = put<std::uint16_t>(out, kVersion);
    out = put<std::uint16_t>(out, static_cast<std::uint16_t>(fields.size()));
    out = put<std::uint32_t>(out, static_cast<std::uint32_t>(rows.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        *out++ = static_cast<char>(fields[i].type);
        out = put<std::uint32_t>(out, static_cast<std::uint32_t>(fields[i].size));
        out = put<std::uint16_t>(out, static_cast<std::uint16_t>(names[i].size()));
        std::memcpy(out, names[i].constData(), static_cast<std::size_t>(names[i].size()));
        out += names[i].size();
    }

    const std::size_t bitmapBytes = (fields.size() + 7) / 8;
    for (const TRecord& row : rows) {
        char* bitmap = out;
        std::memset(bitmap, 0, bitmapBytes);
        out += bitmapBytes;
        for (std::size_t f = 0; f < row.size(); ++f) {
            const TFieldValue& value = row[f];
            switch (value.index()) {
            case 0:
                bitmap[f >> 3] = static_cast<char>(bitmap[f >> 3] | (1u << (f & 7)));
                break;
            case 1: {
                const std::string& text = std::get<1>(value);
                out = put<std::uint32_t>(out, static_cast<std::uint32_t>(text.size()));
                std::memcpy(out, text.data(), text.size());
                out += text.size();
                break;
            }
            case 2:
                out = put<std::int32_t>(out, std::get<2>(value));
                break;
            case 3:
                out = put<std::uint64_t>(out, std::bit_cast<std::uint64_t>(std::get<3>(value)));
                break;
            case 4:
                *out++ = std::get<4>(value) ? 1 : 0;
                break;
            case 5:
                out = put<std::int64_t>(out, std::get<5>(value).msecs);
                break;
            }
        }
    }
    Q_ASSERT(out == bytes.data() + bytes.size());
    return bytes;
}

TPacketTable decodePacket(const QByteArray& bytes)
{
    return decodePacket(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

TPacketTable decodePacket(const char* data, std::size_t size)
{
    if (data == nullptr && size != 0)
        throw EPacketError("invalid data packet: no data");
    return PacketReader(data, size).read();
}
