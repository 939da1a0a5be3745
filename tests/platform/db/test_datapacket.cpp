#include "DataPacket.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <limits>
#include <new>

// Records the largest single allocation while a test watches, to prove that lengths read from a
// packet are never trusted for allocation.
namespace {
thread_local bool t_watchAllocations = false;
thread_local std::size_t t_largestAllocation = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (t_watchAllocations && size > t_largestAllocation) t_largestAllocation = size;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

TFieldValue S(std::string text) { return TFieldValue(std::in_place_index<1>, std::move(text)); }
TFieldValue I(std::int32_t value) { return TFieldValue(std::in_place_index<2>, value); }
TFieldValue F(double value) { return TFieldValue(std::in_place_index<3>, value); }
TFieldValue B(bool value) { return TFieldValue(std::in_place_index<4>, value); }
TFieldValue D(std::int64_t msecs) { return TFieldValue(std::in_place_index<5>, TDateTimeValue{msecs}); }
const TFieldValue N{};

// Little-endian byte writer for hand-made packets.
struct Bytes {
    QByteArray data;
    Bytes& u8(unsigned v) {
        data.append(static_cast<char>(v));
        return *this;
    }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8(v >> 8 & 0xFF); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& u64(std::uint64_t v) { return u32(static_cast<std::uint32_t>(v)).u32(static_cast<std::uint32_t>(v >> 32)); }
    Bytes& raw(std::string_view s) {
        data.append(s.data(), static_cast<qsizetype>(s.size()));
        return *this;
    }
    Bytes& str(std::string_view s) { return u32(static_cast<std::uint32_t>(s.size())).raw(s); }
    Bytes& header(unsigned fields, std::uint32_t rows, unsigned version = 1) {
        return raw("RDPK").u16(version).u16(fields).u32(rows);
    }
    Bytes& field(unsigned type, std::uint32_t size, std::string_view name) {
        return u8(type).u32(size).u16(static_cast<unsigned>(name.size())).raw(name);
    }
};

// Values compare bitwise for floats, so that NaN and -0.0 must survive exactly.
void expectSameTable(const TPacketTable& actual, const TPacketTable& expected) {
    ASSERT_EQ(actual.fields, expected.fields);
    ASSERT_EQ(actual.rows.size(), expected.rows.size());
    for (std::size_t r = 0; r < expected.rows.size(); ++r) {
        ASSERT_EQ(actual.rows[r].size(), expected.rows[r].size()) << "row " << r;
        for (std::size_t f = 0; f < expected.rows[r].size(); ++f) {
            const TFieldValue& a = actual.rows[r][f];
            const TFieldValue& e = expected.rows[r][f];
            if (e.index() == 3 && a.index() == 3)
                EXPECT_EQ(std::bit_cast<std::uint64_t>(std::get<3>(a)), std::bit_cast<std::uint64_t>(std::get<3>(e)))
                    << "row " << r << " field " << f;
            else
                EXPECT_EQ(a, e) << "row " << r << " field " << f;
        }
    }
}

std::string decodeError(const QByteArray& bytes) {
    try {
        decodePacket(bytes);
    } catch (const EPacketError& error) {
        return error.what();
    }
    return "(decoded)";
}

std::string encodeError(const TPacketTable& table) {
    try {
        encodePacket(table);
    } catch (const EPacketError& error) {
        return error.what();
    }
    return "(encoded)";
}

TEST(DataPacket, EncodesTheDocumentedLayout) {
    const TPacketTable table{{{"S", TFieldType::ftString, 3},
                              {"I", TFieldType::ftInteger, 0},
                              {"F", TFieldType::ftFloat, 0},
                              {"B", TFieldType::ftBoolean, 0},
                              {"D", TFieldType::ftDateTime, 0}},
                             {{S("ab"), I(1), F(1.0), B(true), D(1000)}, {N, I(-2), N, B(false), D(-1)}}};
    const QByteArray expected = Bytes()
                                    .header(5, 2)
                                    .field(1, 3, "S")
                                    .field(2, 0, "I")
                                    .field(3, 0, "F")
                                    .field(4, 0, "B")
                                    .field(5, 0, "D")
                                    .u8(0x00)
                                    .str("ab")
                                    .u32(1)
                                    .u64(0x3FF0000000000000)
                                    .u8(1)
                                    .u64(1000)
                                    .u8(0x05)
                                    .u32(0xFFFFFFFE)
                                    .u8(0)
                                    .u64(~0ull)
                                    .data;
    EXPECT_EQ(encodePacket(table), expected);
    expectSameTable(decodePacket(expected), table);
}

TEST(DataPacket, RoundTripsEveryTypeWithNulls) {
    std::string cedillas;
    for (int i = 0; i < 2000; ++i) cedillas += "ç";
    const TPacketTable table{{{"NOME", TFieldType::ftString, 7},
                              {"OBS", TFieldType::ftString, 0},
                              {"QTD", TFieldType::ftInteger, 0},
                              {"PRECO", TFieldType::ftFloat, 0},
                              {"ATIVO", TFieldType::ftBoolean, 0},
                              {"ABERTURA", TFieldType::ftDateTime, 0},
                              {"Função", TFieldType::ftString, 2000}},
                             {
                                 {S("Garçom"), S(std::string(2000, 'x')), I(std::numeric_limits<std::int32_t>::min()),
                                  F(-0.0), B(true), D(std::numeric_limits<std::int64_t>::min()), S(cedillas)},
                                 {S("Funções"), S(""), I(std::numeric_limits<std::int32_t>::max()),
                                  F(std::numeric_limits<double>::quiet_NaN()), B(false),
                                  D(std::numeric_limits<std::int64_t>::max()), S("𝄞\t\n")},
                                 {S("    "), N, I(0), F(std::numeric_limits<double>::infinity()), N, D(-1), N},
                                 {N, N, N, F(std::numeric_limits<double>::denorm_min()), N, N, N},
                                 {N, N, N, N, N, N, N},
                             }};
    expectSameTable(decodePacket(encodePacket(table)), table);
}

TEST(DataPacket, RoundTripsEdgeShapes) {
    std::vector<TFieldDesc> tenFields;
    for (int i = 0; i < 10; ++i) tenFields.push_back({QString("C%1").arg(i), TFieldType::ftInteger, 0});
    TRecord alternating;
    for (int i = 0; i < 10; ++i) alternating.push_back(i % 3 ? I(i) : N);
    const TPacketTable cases[] = {
        {},                                           // no fields, no rows
        {{{"NRMESA", TFieldType::ftString, 4}}, {}},  // fields, no rows
        {tenFields, {TRecord(10), alternating}},      // two bitmap bytes
        {{{"\xEF\xBB\xBF"
           "BOM",
           TFieldType::ftString, 2}},
         {{S("𝄞𝄞")}}},  // 8 bytes in 2 chars
        // Names that differ only after a NUL are two names.
        {{{QString::fromLatin1("A\0B", 3), TFieldType::ftInteger, 0},
          {QString::fromLatin1("a\0C", 3), TFieldType::ftInteger, 0}},
         {}},
    };
    for (const TPacketTable& table : cases) {
        const QByteArray bytes = encodePacket(table);
        expectSameTable(decodePacket(bytes), table);
        EXPECT_EQ(encodePacket(decodePacket(bytes)), bytes);
    }
}

TEST(DataPacket, RejectsMalformedInput) {
    const QByteArray valid = encodePacket({{{"N", TFieldType::ftInteger, 0}}, {{I(1)}}});
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* error;
    } const cases[] = {
        {"empty", {}, "offset 0: truncated header: 0 bytes, a packet needs at least 12"},
        {"truncated header", Bytes().raw("RDPK").u8(1).data, "offset 0: truncated header: 5 bytes"},
        {"bad magic", Bytes().raw("RDPX").u16(1).u16(0).u32(0).data, "offset 0: bad magic"},
        {"version 2", Bytes().header(0, 0, 2).data, "offset 4: unsupported format version 2 (expected 1)"},
        {"too many fields", Bytes().header(4097, 0).data, "offset 6: too many fields: 4097 (at most 4096)"},
        {"unknown type", Bytes().header(1, 0).field(9, 0, "X").data, "offset 12, field 0: unknown type code 9"},
        {"type 0", Bytes().header(1, 0).field(0, 0, "X").data, "offset 12, field 0: unknown type code 0"},
        {"name length 0", Bytes().header(1, 0).field(2, 0, "").data, "offset 17, field 0: empty field name"},
        {"name too long", Bytes().header(1, 0).u8(1).u32(0).u16(256).data,
         "offset 17, field 0: field name of 256 bytes is too long (at most 255)"},
        {"name not UTF-8", Bytes().header(1, 0).field(1, 0, "\xC3(").data,
         "offset 19, field 0: field name is not valid UTF-8"},
        {"duplicate names", Bytes().header(2, 0).field(1, 4, "NOME").field(1, 4, "nome").data,
         "offset 30, field 1 \"nome\": duplicate field name (same as field 0 \"NOME\")"},
        {"control characters in a name", Bytes().header(2, 0).field(2, 0, "A\nB").field(2, 0, "a\nb").data,
         "field 1 \"a\\x0ab\": duplicate field name (same as field 0 \"A\\x0aB\")"},
        {"string size too large", Bytes().header(1, 0).field(1, 2000000, "S").data,
         "offset 13, field 0: string size 2000000 out of range (0 to 1048576)"},
        {"size on an integer", Bytes().header(1, 0).field(2, 4, "N").data,
         "offset 13, field 0: size 4 not allowed for type integer (must be 0)"},
        {"truncated descriptor", Bytes().header(1, 0).u8(1).u32(4).data,
         "offset 12, field 0: truncated in field descriptor: 5 of 7 bytes present"},
        {"truncated name", Bytes().header(1, 0).u8(1).u32(4).u16(4).raw("NO").data,
         "offset 19, field 0: truncated in field name: 2 of 4 bytes present"},
        {"rows but no fields", Bytes().header(0, 3).data, "offset 8: rows but no fields: row count 3"},
        {"truncated integer", Bytes().header(2, 1).field(1, 4, "NOME").field(2, 0, "QTD").u8(0).str("ab").u16(7).data,
         "offset 40, row 0, field 1 \"QTD\": truncated in integer value: 2 of 4 bytes present"},
        {"truncated string length", Bytes().header(1, 1).field(1, 0, "OBS").u8(0).u16(1).data,
         "offset 23, row 0, field 0 \"OBS\": truncated in string length: 2 of 4 bytes present"},
        {"truncated bitmap", Bytes().header(1, 2).field(2, 0, "N").u8(0).u32(5).data,
         "offset 25, row 1: truncated in null bitmap: 0 of 1 bytes present"},
        {"4 GB string, no width", Bytes().header(1, 1).field(1, 0, "OBS").u8(0).u32(0xFFFFFFFF).raw("abc").data,
         "offset 27, row 0, field 0 \"OBS\": truncated in string value: 3 of 4294967295 bytes present"},
        {"4 GB string, width 10", Bytes().header(1, 1).field(1, 10, "OBS").u8(0).u32(0xFFFFFFFF).raw("abc").data,
         "offset 23, row 0, field 0 \"OBS\": string of 4294967295 bytes is longer than its field (size 10)"},
        {"string longer than field", Bytes().header(1, 1).field(1, 4, "NOME").u8(0).str("Mesa 1").data,
         "offset 28, row 0, field 0 \"NOME\": string of 6 characters is longer than its field (size 4)"},
        {"non-ASCII longer than field", Bytes().header(1, 1).field(1, 6, "NOME").u8(0).str("Funções").data,
         "string of 7 characters is longer than its field (size 6)"},
        {"overlong UTF-8", Bytes().header(1, 1).field(1, 0, "S").u8(0).str("\xC0\xAF").data,
         "offset 25, row 0, field 0 \"S\": string is not valid UTF-8"},
        {"UTF-8 surrogate", Bytes().header(1, 1).field(1, 0, "S").u8(0).str("\xED\xA0\x80").data,
         "string is not valid UTF-8"},
        {"UTF-8 above U+10FFFF", Bytes().header(1, 1).field(1, 0, "S").u8(0).str("\xF4\x90\x80\x80").data,
         "string is not valid UTF-8"},
        {"cut UTF-8 sequence", Bytes().header(1, 1).field(1, 0, "S").u8(0).str("abcdefgh\xE2\x82").data,
         "string is not valid UTF-8"},
        {"boolean 2", Bytes().header(1, 1).field(4, 0, "ATIVO").u8(0).u8(2).data,
         "offset 25, row 0, field 0 \"ATIVO\": boolean value 2 (must be 0 or 1)"},
        {"unused bitmap bit", Bytes().header(1, 1).field(2, 0, "N").u8(0x02).u32(1).data,
         "offset 20, row 0: unused null-bitmap bits set"},
        {"unused bit in 2nd bitmap byte",
         Bytes()
             .header(9, 1)
             .field(2, 0, "A")
             .field(2, 0, "B")
             .field(2, 0, "C")
             .field(2, 0, "D")
             .field(2, 0, "E")
             .field(2, 0, "F")
             .field(2, 0, "G")
             .field(2, 0, "H")
             .field(2, 0, "I")
             .u8(0xFF)
             .u8(0x03)
             .data,
         "offset 85, row 0: unused null-bitmap bits set"},
        {"trailing bytes", valid + "x", "offset 25: trailing bytes after the last row: 1"},
    };
    for (const Case& c : cases) {
        const std::string message = decodeError(c.bytes);
        EXPECT_NE(message.find(c.error), std::string::npos) << c.what << ": " << message;
        EXPECT_EQ(message.rfind("invalid data packet at offset ", 0), 0u) << c.what << ": " << message;
    }
}

TEST(DataPacket, HugeRowCountDoesNotAllocateFromIt) {
    Bytes bytes;
    bytes.header(1, 0xFFFFFFFF).field(2, 0, "N");
    for (std::uint32_t i = 0; i < 3; ++i) bytes.u8(0).u32(i);
    t_largestAllocation = 0;
    t_watchAllocations = true;
    const std::string message = decodeError(bytes.data);
    t_watchAllocations = false;
    EXPECT_NE(message.find("offset 35, row 3: truncated in null bitmap"), std::string::npos) << message;
    EXPECT_LT(t_largestAllocation, 4096u);
}

TEST(DataPacket, EncoderRejectsRuleBreakingTables) {
    std::string tooLong;
    for (int i = 0; i < 2001; ++i) tooLong += "ç";
    const std::vector<TFieldDesc> nome{{"NOME", TFieldType::ftString, 4}};
    struct Case {
        TPacketTable table;
        const char* error;
    } const cases[] = {
        {{nome, {{S("ok")}, {I(5)}}}, "row 1, field 0 \"NOME\": value of type integer in a string field"},
        {{nome, {{S("Mesa 1")}}}, "row 0, field 0 \"NOME\": string of 6 characters is longer than its field (size 4)"},
        {{{{"T", TFieldType::ftString, 2000}}, {{S(tooLong)}}}, "string of 2001 characters is longer than its field"},
        {{nome, {{S("\xFF")}}}, "row 0, field 0 \"NOME\": string is not valid UTF-8"},
        {{nome, {{S("a"), S("b")}}}, "row 0: has 2 values for 1 fields"},
        {{{}, {{}}}, "rows but no fields: 1 rows"},
        {{{{"", TFieldType::ftInteger, 0}}, {}}, "field 0 \"\": empty field name"},
        {{{{"NOME", TFieldType::ftString, 4}, {"Nome", TFieldType::ftInteger, 0}}, {}},
         "field 1 \"Nome\": duplicate field name (same as field 0 \"NOME\")"},
        {{{{"AÇÃO", TFieldType::ftInteger, 0}, {"ação", TFieldType::ftInteger, 0}}, {}},
         "field 1 \"ação\": duplicate field name (same as field 0 \"AÇÃO\")"},
        // The Kelvin sign folds to the ASCII k.
        {{{{"K", TFieldType::ftInteger, 0},
           {"B", TFieldType::ftInteger, 0},
           {QString(QChar(0x212A)), TFieldType::ftInteger, 0}},
          {}},
         "field 2 \"\u212A\": duplicate field name (same as field 0 \"K\")"},
        {{{{"N", TFieldType::ftInteger, 4}}, {}}, "field 0 \"N\": size 4 not allowed for type integer (must be 0)"},
        {{{{"S", TFieldType::ftString, -1}}, {}}, "field 0 \"S\": string size -1 out of range"},
        {{{{"X", static_cast<TFieldType>(9), 0}}, {}}, "field 0 \"X\": unknown type code 9"},
        {{{{QString(256, 'a'), TFieldType::ftInteger, 0}}, {}}, "field name of 256 bytes is too long (at most 255)"},
        {{std::vector<TFieldDesc>(4097), {}}, "too many fields: 4097 (at most 4096)"},
    };
    for (const Case& c : cases) {
        const std::string message = encodeError(c.table);
        EXPECT_NE(message.find(c.error), std::string::npos) << message;
        EXPECT_EQ(message.rfind("cannot encode data packet: ", 0), 0u) << message;
    }
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST(Utf8, LengthAndTruncate) {
    struct Case {
        std::string text;
        std::size_t length;
        std::size_t cut;
        std::string truncated;
    } const cases[] = {
        {"", 0, 0, ""},
        {"abc", 3, 5, "abc"},
        {"abc", 3, 0, ""},
        {"Garçom", 6, 4, "Garç"},
        {"Funções", 7, 5, "Funçõ"},
        {"ação", 4, 1, "a"},
        {"𝄞x", 2, 1, "𝄞"},
        {"€€€", 3, 2, "€€"},
        // Long texts, counted in blocks of bytes: accents across the blocks, past a round of
        // 255 blocks, and stray continuation bytes, which start no character.
        {repeat("Observação ", 200), 2200, 2000, repeat("Observação ", 181) + "Observaçã"},
        {repeat("é", 3000), 3000, 2040, repeat("é", 2040)},
        {repeat("é", 3000), 3000, 3000, repeat("é", 3000)},
        {repeat("a\x80\xbf", 700), 700, 600, repeat("a\x80\xbf", 600)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8Length(c.text), c.length) << c.text;
        std::string text = c.text;
        utf8Truncate(text, c.cut);
        EXPECT_EQ(text, c.truncated) << c.text << " cut to " << c.cut;
    }
}

}  // namespace
