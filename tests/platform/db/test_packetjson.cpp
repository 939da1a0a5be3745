#include "PacketJson.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <bit>
#include <limits>

namespace {

TFieldValue S(std::string text) { return TFieldValue(std::in_place_index<1>, std::move(text)); }
TFieldValue I(std::int32_t value) { return TFieldValue(std::in_place_index<2>, value); }
TFieldValue F(double value) { return TFieldValue(std::in_place_index<3>, value); }
TFieldValue B(bool value) { return TFieldValue(std::in_place_index<4>, value); }
TFieldValue D(std::int64_t msecs) { return TFieldValue(std::in_place_index<5>, TDateTimeValue{msecs}); }
const TFieldValue N{};

// Milliseconds from Qt's own calendar, independent of the code under test.
std::int64_t utcMsecs(int y, int mo, int d, int h, int mi, int s, int ms) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC).toMSecsSinceEpoch();
}

void expectSameTable(const TPacketTable& actual, const TPacketTable& expected) {
    ASSERT_EQ(actual.fields, expected.fields);
    ASSERT_EQ(actual.rows.size(), expected.rows.size());
    for (std::size_t r = 0; r < expected.rows.size(); ++r) {
        ASSERT_EQ(actual.rows[r].size(), expected.rows[r].size());
        for (std::size_t f = 0; f < expected.rows[r].size(); ++f) {
            const TFieldValue& a = actual.rows[r][f];
            const TFieldValue& e = expected.rows[r][f];
            if (e.index() == 3 && a.index() == 3)  // bitwise, so that -0.0 counts
                EXPECT_EQ(std::bit_cast<std::uint64_t>(std::get<3>(a)), std::bit_cast<std::uint64_t>(std::get<3>(e)))
                    << "row " << r << " field " << f << ": " << std::get<3>(a);
            else
                EXPECT_EQ(a, e) << "row " << r << " field " << f;
        }
    }
}

const std::vector<TFieldDesc> kMesaFields{
    {"NRMESA", TFieldType::ftString, 4}, {"NOME", TFieldType::ftString, 20},  {"QTD", TFieldType::ftInteger, 0},
    {"PRECO", TFieldType::ftFloat, 0},   {"ATIVO", TFieldType::ftBoolean, 0}, {"ABERTURA", TFieldType::ftDateTime, 0},
};

TEST(PacketJson, WritesTheExactForm) {
    const TPacketTable table{
        kMesaFields,
        {
            {S("0012"), S("Mesa 12  "), I(3), F(12.5), B(true), D(utcMsecs(2026, 12, 8, 10, 15, 0, 0))},
            {S("0013"), S("Garçom \"X\"\\\n\x01/"), I(-7), F(0.1), B(false), D(utcMsecs(2026, 12, 8, 10, 15, 0, 250))},
            {N, N, N, N, N, N},
        }};
    const QByteArray expected =
        R"({"fields":[{"name":"NRMESA","type":"string","size":4},{"name":"NOME","type":"string","size":20},)"
        R"({"name":"QTD","type":"integer","size":0},{"name":"PRECO","type":"float","size":0},)"
        R"({"name":"ATIVO","type":"boolean","size":0},{"name":"ABERTURA","type":"datetime","size":0}],)"
        R"("rows":[["0012","Mesa 12  ",3,12.5,true,"2026-12-08T10:15:00"],)"
        R"(["0013","Garçom \"X\"\\\n\u0001/",-7,0.1,false,"2026-12-08T10:15:00.250"],)"
        R"([null,null,null,null,null,null]]})";
    const QByteArray json = packetToJson(table);
    EXPECT_EQ(json, expected);
    expectSameTable(packetFromJson(json), table);
    EXPECT_EQ(packetToJson(TPacketTable{}), R"({"fields":[],"rows":[]})");
}

TEST(PacketJson, RoundTripsHardValues) {
    std::string controls;
    for (char c = 0; c < 0x20; ++c) controls += c;
    controls += "\x7F\"\\𝄞€";
    const TPacketTable table{
        {{"\xEF\xBB\xBF"
          "Função",
          TFieldType::ftString, 0},
         {"N", TFieldType::ftInteger, 0},
         {"F", TFieldType::ftFloat, 0},
         {"D", TFieldType::ftDateTime, 0}},
        {
            {S(controls), I(std::numeric_limits<std::int32_t>::min()), F(-0.0), D(utcMsecs(1, 1, 1, 0, 0, 0, 0))},
            {S(""), I(std::numeric_limits<std::int32_t>::max()), F(5e-324), D(utcMsecs(9999, 12, 31, 23, 59, 59, 999))},
            {N, I(0), F(std::numeric_limits<double>::max()), D(-1)},
            {N, N, F(1e20), D(0)},
            {N, N, F(123456789012345680.0), D(utcMsecs(2024, 2, 29, 12, 0, 0, 1))},
            {S("\xEF\xBB\xBF\t"), N, F(-1.5e-7), N},  // a leading U+FEFF is text, also where escapes follow
            {N, N, F(0.30000000000000004), N},
        }};
    const QByteArray json = packetToJson(table);
    expectSameTable(packetFromJson(json), table);
    EXPECT_EQ(packetToJson(packetFromJson(json)), json);
    EXPECT_NE(json.indexOf(R"(,-0,"0001-01-01T00:00:00"])"), -1) << json.toStdString();
    EXPECT_NE(json.indexOf(R"(,"9999-12-31T23:59:59.999"])"), -1) << json.toStdString();
    EXPECT_NE(json.indexOf(R"(,"1969-12-31T23:59:59.999"])"), -1) << json.toStdString();
}

TEST(PacketJson, ReaderAcceptsOtherWritersSpelling) {
    const QByteArray json =
        " {\n  \"fields\" : [\n"
        "    {\"type\": \"integer\", \"name\": \"QTD\"},\n"
        "    {\"size\": 6, \"name\": \"T\\u00edtulo\", \"type\": \"string\"},\n"
        "    {\"name\": \"D\", \"type\": \"datetime\", \"size\": 0}\n"
        "  ],\n  \"rows\" : [ [ 1 , \"\\ud834\\udd1e\\/\\u0041\" , \"2026-12-08T10:15:00.000\" ] ]\n}\n";
    const TPacketTable expected{
        {{"QTD", TFieldType::ftInteger, 0}, {"Título", TFieldType::ftString, 6}, {"D", TFieldType::ftDateTime, 0}},
        {{I(1), S("𝄞/A"), D(utcMsecs(2026, 12, 8, 10, 15, 0, 0))}}};
    expectSameTable(packetFromJson(json), expected);
}

TEST(PacketJson, WriterRejectsWhatTheFormCannotHold) {
    const std::vector<TFieldDesc> fields{
        {"NOME", TFieldType::ftString, 4}, {"PRECO", TFieldType::ftFloat, 0}, {"DATA", TFieldType::ftDateTime, 0}};
    struct Case {
        TRecord row;
        const char* error;
    } const cases[] = {
        {{N, F(std::numeric_limits<double>::quiet_NaN()), N},
         "row 0, field 1 \"PRECO\": float value NaN has no JSON form"},
        {{N, F(-std::numeric_limits<double>::infinity()), N},
         "field 1 \"PRECO\": float value infinity has no JSON form"},
        {{N, N, D(utcMsecs(9999, 12, 31, 23, 59, 59, 999) + 1)},
         "row 0, field 2 \"DATA\": datetime value 253402300800000 ms lies outside the years 1 to 9999"},
        {{N, N, D(utcMsecs(1, 1, 1, 0, 0, 0, 0) - 1)}, "field 2 \"DATA\": datetime value -62135596800001 ms"},
        {{S("Mesa 1"), N, N}, "row 0, field 0 \"NOME\": string of 6 characters is longer than its field (size 4)"},
        {{S("\xC3"), N, N}, "row 0, field 0 \"NOME\": string is not valid UTF-8"},
        {{I(1), N, N}, "row 0, field 0 \"NOME\": value of type integer in a string field"},
        {{N, N}, "row 0: has 2 values for 3 fields"},
    };
    for (const Case& c : cases) {
        try {
            packetToJson({fields, {c.row}});
            ADD_FAILURE() << "no error, expected " << c.error;
        } catch (const EPacketError& error) {
            EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
        }
    }
}

TEST(PacketJson, ReaderRejectsBadDocuments) {
    const std::string head = R"({"fields":[{"name":"NOME","type":"string","size":4},{"name":"QTD","type":"integer"},)"
                             R"({"name":"PRECO","type":"float"},{"name":"OK","type":"boolean"},)"
                             R"({"name":"DATA","type":"datetime"}],"rows":[)";
    auto row = [&](const std::string& values) { return head + "[" + values + "]]}"; };
    struct Case {
        std::string json;
        const char* error;
    } const cases[] = {
        {"", "offset 0: expected '{' opening the document, found the end of the input"},
        {"[]", "offset 0: expected '{' opening the document, found an array"},
        {R"({"fields":[],"rows":[]} x)", "offset 24: unexpected data after the document"},
        {R"({"fields":[],"rows":[])", "offset 22: expected ',' or '}' in the document object, found the end"},
        {R"({"rows":[]})", "offset 1: \"fields\" must come before \"rows\""},
        {R"({"fields":[]})", "missing key \"rows\""},
        {R"({"fields":[],"fields":[],"rows":[]})", "offset 13: duplicate key \"fields\""},
        {R"({"fields":[],"rows":[],"extra":1})", "unknown key \"extra\""},
        {R"({"fields":[],"rows":[[]]})", "offset 21: rows but no fields"},
        {R"({"fields":[{"name":"A","type":"money"}],"rows":[]})",
         "offset 30: field 0: unknown type \"money\" (expected string, integer, float, boolean or datetime)"},
        {R"({"fields":[{"name":"A","type":"string"}],"rows":[]})",
         "offset 11: field 0 \"A\": missing key \"size\" for a string field"},
        {R"({"fields":[{"type":"integer"}],"rows":[]})", "field 0: missing key \"name\""},
        {R"({"fields":[{"name":"A"}],"rows":[]})", "field 0 \"A\": missing key \"type\""},
        {R"({"fields":[{"name":"A","type":"integer","size":4}],"rows":[]})",
         "field 0 \"A\": size 4 not allowed for type integer (must be 0)"},
        {R"({"fields":[{"name":"A","type":"string","size":-1}],"rows":[]})",
         "field 0 \"A\": string size -1 out of range (0 to 1048576)"},
        {R"({"fields":[{"name":"A","type":"string","size":2.5}],"rows":[]})", "\"size\" must be a whole number"},
        {R"({"fields":[{"name":"A","type":"string","size":"4"}],"rows":[]})",
         "field 0: \"size\" must be a number, found a string"},
        {R"({"fields":[{"name":"","type":"integer"}],"rows":[]})", "field 0 \"\": empty field name"},
        {R"({"fields":[{"name":"A","type":"integer","nmae":"B"}],"rows":[]})", "field 0: unknown key \"nmae\""},
        {R"({"fields":[{"name":"Nome","type":"integer"},{"name":"NOME","type":"integer"}],"rows":[]})",
         "field 1 \"NOME\": duplicate field name (same as field 0 \"Nome\")"},
        {row(R"("ab",1,1.5,true)"), "row 0 has 4 values for 5 fields"},
        {row(R"("ab",1,1.5,true,null,null)"), "row 0 has more values than the 5 fields"},
        {row(R"("Mesa 1",1,1.5,true,null)"),
         "row 0, field 0 \"NOME\": string of 6 characters is longer than its field (size 4)"},
        {row(R"(12,1,1.5,true,null)"), "row 0, field 0 \"NOME\": expected a string or null, found a number"},
        {row(R"("ab",2147483648,1.5,true,null)"), "row 0, field 1 \"QTD\": integer 2147483648 out of range"},
        {row(R"("ab",1.0,1.5,true,null)"), "row 0, field 1 \"QTD\": expected an integer, found 1.0"},
        {row(R"("ab","1",1.5,true,null)"), "field 1 \"QTD\": expected an integer or null, found a string"},
        {row(R"("ab",1,1e999,true,null)"), "row 0, field 2 \"PRECO\": number 1e999 out of range"},
        {row(R"("ab",1,01,true,null)"), "offset 199: row 0: expected ',' or ']' after a value, found a number"},
        {row(R"("ab",1,-,true,null)"), "invalid number"},
        {row(R"("ab",1,NaN,true,null)"), "field 2 \"PRECO\": expected a number or null, found an unexpected character"},
        {row(R"("ab",1,1.5,1,null)"), "row 0, field 3 \"OK\": expected true, false or null, found a number"},
        {row(R"("ab",1,1.5,tru,null)"), "invalid literal (expected true)"},
        {row(R"("ab",1,1.5,true,"2026-02-30T00:00:00")"),
         "row 0, field 4 \"DATA\": invalid date-time \"2026-02-30T00:00:00\" (expected YYYY-MM-DDTHH:MM:SS[.zzz])"},
        {row(R"("ab",1,1.5,true,"2026-12-08 10:15:00")"), "invalid date-time \"2026-12-08 10:15:00\""},
        {row(R"("ab",1,1.5,true,"2026-12-08T24:00:00")"), "invalid date-time"},
        {row(R"("ab",1,1.5,true,"0000-01-01T00:00:00")"), "invalid date-time"},
        {row(R"("ab",1,1.5,true,"2026-12-08T10:15:00.25")"), "invalid date-time"},
        {row(R"("\ud800x",1,1.5,true,null)"), "unpaired surrogate in a \\u escape"},
        {row(R"("\udc00",1,1.5,true,null)"), "unpaired surrogate in a \\u escape"},
        {row(R"("\x41",1,1.5,true,null)"), "invalid escape in a string"},
        {row("\"a\tb\",1,1.5,true,null"), "unescaped control character in a string"},
        {row("\"a\xC0\xAF\",1,1.5,true,null"), "invalid UTF-8 in a string"},
        {row(R"("ab)"), "unterminated string"},
    };
    for (const Case& c : cases) {
        try {
            packetFromJson(QByteArray::fromStdString(c.json));
            ADD_FAILURE() << "no error for " << c.json;
        } catch (const EPacketError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.error), std::string::npos) << c.json << "\n  -> " << message;
            EXPECT_EQ(message.rfind("invalid packet JSON at offset ", 0), 0u) << message;
        }
    }
}

TEST(PacketJson, DateTimeText) {
    struct Case {
        std::int64_t msecs;
        const char* text;
    } const cases[] = {
        {0, "1970-01-01T00:00:00"},
        {-1, "1969-12-31T23:59:59.999"},
        {utcMsecs(2026, 12, 8, 10, 15, 0, 250), "2026-12-08T10:15:00.250"},
        {utcMsecs(2000, 2, 29, 23, 59, 59, 0), "2000-02-29T23:59:59"},
        {utcMsecs(1600, 3, 1, 0, 0, 0, 7), "1600-03-01T00:00:00.007"},
        {utcMsecs(1, 1, 1, 0, 0, 0, 0), "0001-01-01T00:00:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dateTimeToText({c.msecs}), std::optional<std::string>(c.text));
        EXPECT_EQ(dateTimeFromText(c.text), std::optional<TDateTimeValue>(TDateTimeValue{c.msecs})) << c.text;
    }
    EXPECT_EQ(dateTimeToText({std::numeric_limits<std::int64_t>::min()}), std::nullopt);
    EXPECT_EQ(dateTimeFromText("1900-02-29T00:00:00"), std::nullopt);
    EXPECT_EQ(dateTimeFromText("2026-12-08T10:60:00"), std::nullopt);
}

}  // namespace
