#pragma once
// Encoding of a self-describing table (a "data packet") to bytes and back.
//
// Byte layout, version 1. All integers are little-endian; texts are UTF-8 without terminator
// (strictly valid: no overlong forms, surrogates or code points above U+10FFFF).
//
// | Offset | Size        | Meaning                                                          |
// |--------|-------------|------------------------------------------------------------------|
// | 0      | 4           | magic "RDPK"                                                     |
// | 4      | 2           | format version, 1                                                |
// | 6      | 2           | field count F, at most kMaxFields                                |
// | 8      | 4           | row count R                                                      |
// | 12     | per field   | F field descriptors, in field order:                             |
// |        | 1           |   type code (1 string, 2 integer, 3 float, 4 boolean, 5 datetime)|
// |        | 4           |   size: string width in characters (0 = no fixed width), at most |
// |        |             |   kMaxStringSize; 0 for every other type                         |
// |        | 2           |   name length N, 1 to kMaxNameBytes                              |
// |        | N           |   field name; names are unique, compared case-insensitively      |
// | ...    | per row     | R rows, each:                                                    |
// |        | ceil(F/8)   |   null bitmap: bit (i % 8) of byte (i / 8) set = field i is null |
// |        | per value   |   the value of every non-null field, in field order:             |
// |        |             |     string:   4-byte byte length L, then L bytes; at most the    |
// |        |             |               field's size in characters when the size is set    |
// |        |             |     integer:  4 bytes, signed                                    |
// |        |             |     float:    8 bytes, IEEE 754 double                           |
// |        |             |     boolean:  1 byte, 0 or 1                                     |
// |        |             |     datetime: 8 bytes, signed milliseconds since                 |
// |        |             |               1970-01-01T00:00:00, no time zone                  |
//
// The packet ends exactly after the last row. decodePacket throws EPacketError, naming what is
// wrong and where, for truncated, oversized or inconsistent input (bad magic or version,
// unknown type, duplicate or empty name, unused bitmap bits set, a string longer than its
// field, a name or string that is not valid UTF-8, a boolean other than 0 or 1, rows without
// fields, bytes after the last row).

#include "DbTypes.h"

#include <QByteArray>
#include <memory>

struct TPacketTable {
    std::vector<TFieldDesc> fields;
    std::vector<TRecord> rows;  // every row has fields.size() values of the fields' types
};

namespace DataPacketFormat {
constexpr char kMagic[4] = {'R', 'D', 'P', 'K'};
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxFields = 4096;
constexpr std::size_t kMaxRows = 0xFFFFFFFF;  // the row count's 4 bytes
constexpr std::size_t kMaxNameBytes = 255;
constexpr int kMaxStringSize = 1 << 20;
}  // namespace DataPacketFormat

namespace PacketRules {
class FieldNames;
}

// Field descriptors checked once, for writing many packets of the same fields (a query run
// again and again): the constructor throws EPacketError for what encodePacket would refuse in
// them, in the same words.
class TPacketFields {
public:
    explicit TPacketFields(std::vector<TFieldDesc> fields);
    ~TPacketFields();
    TPacketFields(const TPacketFields&) = delete;
    TPacketFields& operator=(const TPacketFields&) = delete;
    const std::vector<TFieldDesc>& fields() const { return m_fields; }
    const PacketRules::FieldNames& names() const { return *m_names; }

private:
    std::vector<TFieldDesc> m_fields;
    std::unique_ptr<PacketRules::FieldNames> m_names;
};

// Throws EPacketError when the table breaks the format's rules (a value of the wrong type, a
// string longer than its field, an invalid descriptor).
QByteArray encodePacket(const TPacketTable& table);
QByteArray encodePacket(const std::vector<TFieldDesc>& fields, const std::vector<TRecord>& rows);
QByteArray encodePacket(const TPacketFields& fields, const std::vector<TRecord>& rows);
TPacketTable decodePacket(const QByteArray& bytes);
TPacketTable decodePacket(const char* data, std::size_t size);

// Replaces a packet file at once (QSaveFile: a new file beside it, synced to disk, then put in
// its place), so that it holds the old packet or the new one, never a part. Answers why it could
// not, empty when it did.
QString savePacketFile(const QString& fileName, const QByteArray& packet);
