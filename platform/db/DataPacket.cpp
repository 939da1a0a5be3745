#include "DataPacket.h"

#include "PacketRules.h"

#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

using namespace DataPacketFormat;
using namespace PacketRules;

namespace {

// ---------------------------------------------------------------------------------------------
// Decoding

class PacketReader {
public:
    PacketReader(const char* data, std::size_t size)
        : m_begin(reinterpret_cast<const unsigned char*>(data)), m_pos(m_begin), m_end(m_begin + size) {}

    TPacketTable read() {
        TPacketTable table;
        const std::uint32_t rowCount = readHeader();
        readDescriptors(table.fields);
        if (table.fields.empty() && rowCount != 0)
            fail(8, -1, -1, "rows but no fields: row count " + std::to_string(rowCount));
        readRows(table.fields, rowCount, table.rows);
        if (m_pos != m_end) {
            fail(offset(), -1, -1, "trailing bytes after the last row: " + std::to_string(m_end - m_pos));
        }
        return table;
    }

private:
    std::size_t offset() const { return static_cast<std::size_t>(m_pos - m_begin); }
    std::size_t remaining() const { return static_cast<std::size_t>(m_end - m_pos); }

    [[noreturn]] Q_NEVER_INLINE Q_DECL_COLD_FUNCTION void fail(std::size_t at, std::int64_t row, std::int64_t field,
                                                               const std::string& what) const {
        PacketRules::fail("invalid data packet at offset " + std::to_string(at), ", ", row, field, m_names, what);
    }

    [[noreturn]] Q_NEVER_INLINE Q_DECL_COLD_FUNCTION void failTruncated(std::int64_t row, std::int64_t field,
                                                                        const char* item, std::size_t needed) const {
        fail(offset(), row, field,
             std::string("truncated in ") + item + ": " + std::to_string(remaining()) + " of " +
                 std::to_string(needed) + " bytes present");
    }

    void need(std::size_t bytes, std::int64_t row, std::int64_t field, const char* item) const {
        if (remaining() < bytes) [[unlikely]]
            failTruncated(row, field, item, bytes);
    }

    std::uint32_t readHeader() {
        if (remaining() < kHeaderSize) {
            fail(0, -1, -1,
                 "truncated header: " + std::to_string(remaining()) + " bytes, a packet needs at least " +
                     std::to_string(kHeaderSize));
        }
        if (std::memcmp(m_pos, kMagic, sizeof kMagic) != 0) fail(0, -1, -1, "bad magic, expected \"RDPK\"");
        const auto version = qFromLittleEndian<std::uint16_t>(m_pos + 4);
        if (version != kVersion) {
            fail(4, -1, -1,
                 "unsupported format version " + std::to_string(version) + " (expected " + std::to_string(kVersion) +
                     ")");
        }
        m_fieldCount = qFromLittleEndian<std::uint16_t>(m_pos + 6);
        if (m_fieldCount > kMaxFields) fail(6, -1, -1, tooManyFields(m_fieldCount));
        const auto rowCount = qFromLittleEndian<std::uint32_t>(m_pos + 8);
        m_pos += kHeaderSize;
        return rowCount;
    }

    void readDescriptors(std::vector<TFieldDesc>& fields) {
        fields.reserve(m_fieldCount);  // at most kMaxFields
        for (std::size_t i = 0; i < m_fieldCount; ++i) {
            const auto index = static_cast<std::int64_t>(i);
            need(7, -1, index, "field descriptor");
            const unsigned code = m_pos[0];
            const auto size = qFromLittleEndian<std::uint32_t>(m_pos + 1);
            const std::size_t nameBytes = qFromLittleEndian<std::uint16_t>(m_pos + 5);
            if (const auto problem = descriptorProblem(code, size, nameBytes)) {
                constexpr std::size_t kPartOffset[] = {0, 1, 5};  // type code, size, name length
                fail(offset() + kPartOffset[static_cast<int>(problem->part)], -1, index, problem->what);
            }
            m_pos += 7;
            need(nameBytes, -1, index, "field name");
            const std::string_view name(reinterpret_cast<const char*>(m_pos), nameBytes);
            if (!isValidUtf8(name)) fail(offset(), -1, index, "field name is not valid UTF-8");
            TFieldDesc desc{fromUtf8(name), static_cast<TFieldType>(code), static_cast<int>(size)};
            if (const std::string duplicate = m_names.add(desc.name, std::string(name)); !duplicate.empty())
                fail(offset(), -1, index, duplicate);
            m_pos += nameBytes;
            fields.push_back(std::move(desc));
        }
    }

    void readRows(const std::vector<TFieldDesc>& fields, std::uint32_t rowCount, std::vector<TRecord>& rows) {
        if (rowCount == 0) return;
        struct Column {
            TFieldType type;
            std::uint32_t size;
        };
        std::vector<Column> columns;
        columns.reserve(fields.size());
        for (const TFieldDesc& field : fields) columns.push_back({field.type, static_cast<std::uint32_t>(field.size)});

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
                case TFieldType::ftString: readString(row, columns[f].size, rowIndex, f); break;
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
                    row.emplace_back(std::in_place_index<5>, TDateTimeValue{qFromLittleEndian<std::int64_t>(m_pos)});
                    m_pos += 8;
                    break;
                }
            }
        }
    }

    void readString(TRecord& row, std::uint32_t size, std::int64_t rowIndex, std::size_t f) {
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
        const std::string_view text(reinterpret_cast<const char*>(m_pos), length);
        if (!stringFits(text, size)) fail(offset(), rowIndex, field, stringProblem(text, size));
        row.emplace_back(std::in_place_index<1>, text);
        m_pos += length;
    }

    const unsigned char* m_begin;
    const unsigned char* m_pos;
    const unsigned char* m_end;
    std::size_t m_fieldCount = 0;
    FieldNames m_names;
};

// ---------------------------------------------------------------------------------------------
// Encoding

template <typename T>
char* put(char* out, T value) {
    qToLittleEndian(value, out);
    return out + sizeof(T);
}

}  // namespace

namespace {

constexpr std::string_view kEncodeHead = "cannot encode data packet";

// Writes a table whose fields and rows have been checked; rowBytes is what its rows take.
QByteArray writePacket(const std::vector<TFieldDesc>& fields, const FieldNames& names, const std::vector<TRecord>& rows,
                       std::size_t rowBytes) {
    std::size_t total = kHeaderSize + rowBytes;
    for (std::size_t i = 0; i < fields.size(); ++i) total += 7 + names.utf8(i).size();

    QByteArray bytes(static_cast<qsizetype>(total), Qt::Uninitialized);
    char* out = bytes.data();
    std::memcpy(out, kMagic, sizeof kMagic);
    out += sizeof kMagic;
    out = put<std::uint16_t>(out, kVersion);
    out = put<std::uint16_t>(out, static_cast<std::uint16_t>(fields.size()));
    out = put<std::uint32_t>(out, static_cast<std::uint32_t>(rows.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& name = names.utf8(i);
        *out++ = static_cast<char>(fields[i].type);
        out = put<std::uint32_t>(out, static_cast<std::uint32_t>(fields[i].size));
        out = put<std::uint16_t>(out, static_cast<std::uint16_t>(name.size()));
        std::memcpy(out, name.data(), name.size());
        out += name.size();
    }

    const std::size_t bitmapBytes = (fields.size() + 7) / 8;
    for (const TRecord& row : rows) {
        char* bitmap = out;
        std::memset(bitmap, 0, bitmapBytes);
        out += bitmapBytes;
        for (std::size_t f = 0; f < row.size(); ++f) {
            const TFieldValue& value = row[f];
            switch (value.index()) {
            case 0: bitmap[f >> 3] = static_cast<char>(bitmap[f >> 3] | (1u << (f & 7))); break;
            case 1: {
                const std::string& text = std::get<1>(value);
                out = put<std::uint32_t>(out, static_cast<std::uint32_t>(text.size()));
                std::memcpy(out, text.data(), text.size());
                out += text.size();
                break;
            }
            case 2: out = put<std::int32_t>(out, std::get<2>(value)); break;
            case 3: out = put<std::uint64_t>(out, std::bit_cast<std::uint64_t>(std::get<3>(value))); break;
            case 4: *out++ = std::get<4>(value) ? 1 : 0; break;
            case 5: out = put<std::int64_t>(out, std::get<5>(value).msecs); break;
            }
        }
    }
    Q_ASSERT(out == bytes.data() + bytes.size());
    return bytes;
}

}  // namespace

TPacketFields::TPacketFields(std::vector<TFieldDesc> fields)
    : m_fields(std::move(fields)), m_names(std::make_unique<FieldNames>(checkFields(m_fields, kEncodeHead))) {}

TPacketFields::~TPacketFields() = default;

QByteArray encodePacket(const TPacketTable& table) { return encodePacket(table.fields, table.rows); }

QByteArray encodePacket(const std::vector<TFieldDesc>& fields, const std::vector<TRecord>& rows) {
    const CheckedTable checked = checkTable(fields, rows, kEncodeHead);
    return writePacket(fields, checked.names, rows, checked.binaryRowBytes);
}

QByteArray encodePacket(const TPacketFields& fields, const std::vector<TRecord>& rows) {
    const std::size_t rowBytes = checkRows(fields.fields(), fields.names(), rows, kEncodeHead);
    return writePacket(fields.fields(), fields.names(), rows, rowBytes);
}

TPacketTable decodePacket(const QByteArray& bytes) {
    return decodePacket(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

TPacketTable decodePacket(const char* data, std::size_t size) {
    if (data == nullptr && size != 0) throw EPacketError("invalid data packet: no data");
    return PacketReader(data, size).read();
}

QString savePacketFile(const QString& fileName, const QByteArray& packet) {
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(packet) == packet.size() && file.commit()) return {};
    return file.errorString();
}
