// Client dataset: fields and their conversions, cursor movement, editing, persistent fields,
// packet export and packet files.

#include "support/TestValues.h"
#include "DataPacket.h"
#include "TClientDataSet.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const TFieldValue Null{};

TFieldValue S(const char* text) { return std::string(text); }

TDateTimeValue DT(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return {QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC).toMSecsSinceEpoch()};
}

QByteArray packet(const std::vector<TFieldDesc>& fields, const std::vector<TRecord>& rows) {
    return encodePacket(TPacketTable{fields, rows});
}

// The ID of every record, visited with the First / Next / Eof loop.
std::vector<int> visitIds(TDataSet& ds, const QString& key = "ID") {
    std::vector<int> ids;
    ds.First();
    while (!ds.Eof()) {
        ids.push_back(ds.FieldByName(key).AsInteger());
        ds.Next();
    }
    return ids;
}

// Four dining-room tables: ID, NOME (string 20), VALOR (float).
const std::vector<TFieldDesc> kMesaFields = {
    {"ID", TFieldType::ftInteger, 0},
    {"NOME", TFieldType::ftString, 20},
    {"VALOR", TFieldType::ftFloat, 0},
};

QByteArray mesas() {
    return packet(kMesaFields,
                  {{1, S("Varanda"), 10.5}, {2, S("Salão"), Null}, {3, S("Bar"), 0.0}, {4, S("Terraço"), 99.9}});
}

// A dataset with a single one-field record holding `value`, open for reading.
void loadSingle(TClientDataSet& ds, const TFieldDesc& desc, const TFieldValue& value) {
    ds.setData(packet({desc}, {{value}}));
}

// --- Field reading -------------------------------------------------------------------------

TEST(TFieldRead, NullReadsAsEmptyValueOfEveryType) {
    const TFieldType types[] = {TFieldType::ftString, TFieldType::ftInteger, TFieldType::ftFloat, TFieldType::ftBoolean,
                                TFieldType::ftDateTime};
    for (const TFieldType type : types) {
        SCOPED_TRACE(fieldTypeName(type));
        TClientDataSet ds("cdsNull");
        loadSingle(ds, {"F", type, type == TFieldType::ftString ? 10 : 0}, Null);
        const TField& f = ds.Fields(0);
        EXPECT_TRUE(f.IsNull());
        EXPECT_EQ(f.AsString(), "");
        EXPECT_EQ(f.AsInteger(), 0);
        EXPECT_EQ(f.AsFloat(), 0.0);
        EXPECT_FALSE(f.AsBoolean());
        EXPECT_FALSE(f.AsDateTime().isValid());
        EXPECT_FALSE(f.Value().isValid());
    }
}

TEST(TFieldRead, AsStringOfEveryType) {
    struct Case {
        const char* name;
        TFieldDesc desc;
        TFieldValue value;
        QString expected;
    };
    const Case cases[] = {
        {"string", {"F", TFieldType::ftString, 10}, S("Garçom"), "Garçom"},
        {"integer", {"F", TFieldType::ftInteger, 0}, -42, "-42"},
        {"integer max", {"F", TFieldType::ftInteger, 0}, 2147483647, "2147483647"},
        {"float half", {"F", TFieldType::ftFloat, 0}, 2.5, "2.5"},
        {"float whole", {"F", TFieldType::ftFloat, 0}, -3.0, "-3"},
        {"float price", {"F", TFieldType::ftFloat, 0}, 12.9, "12.9"},
        {"float large", {"F", TFieldType::ftFloat, 0}, 1234567.25, "1234567.25"},
        {"boolean true", {"F", TFieldType::ftBoolean, 0}, true, "True"},
        {"boolean false", {"F", TFieldType::ftBoolean, 0}, false, "False"},
        {"datetime", {"F", TFieldType::ftDateTime, 0}, DT(2024, 3, 5, 7, 8, 9), "2024-03-05 07:08:09"},
        {"datetime ms", {"F", TFieldType::ftDateTime, 0}, DT(2024, 3, 5, 7, 8, 9, 45), "2024-03-05 07:08:09.045"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TClientDataSet ds;
        loadSingle(ds, c.desc, c.value);
        EXPECT_EQ(ds.Fields(0).AsString(), c.expected);
        EXPECT_FALSE(ds.Fields(0).IsNull());
    }
}

TEST(TFieldRead, NumericConversions) {
    struct Case {
        const char* name;
        TFieldDesc desc;
        TFieldValue value;
        std::int32_t asInteger;
        double asFloat;
    };
    const Case cases[] = {
        {"integer text", {"F", TFieldType::ftString, 0}, S("12"), 12, 12.0},
        {"negative text", {"F", TFieldType::ftString, 0}, S("-7"), -7, -7.0},
        {"integer", {"F", TFieldType::ftInteger, 0}, 5, 5, 5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TClientDataSet ds;
        loadSingle(ds, c.desc, c.value);
        EXPECT_EQ(ds.Fields(0).AsInteger(), c.asInteger);
        EXPECT_EQ(ds.Fields(0).AsFloat(), c.asFloat);
    }

    TClientDataSet ds;
    loadSingle(ds, {"F", TFieldType::ftString, 0}, S("1.5"));
    EXPECT_EQ(ds.Fields(0).AsFloat(), 1.5);
    loadSingle(ds, {"F", TFieldType::ftFloat, 0}, 2.25);
    EXPECT_EQ(ds.Fields(0).AsFloat(), 2.25);
}

TEST(TFieldRead, TextThatIsNoNumberThrowsNamingTheField) {
    const char* texts[] = {"abc", "12abc", "2147483648", "-2147483649"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        TClientDataSet ds("cdsConta");
        loadSingle(ds, {"NRMESA", TFieldType::ftString, 0}, S(text));
        const QString message = dbError([&] { ds.Fields(0).AsInteger(); });
        EXPECT_TRUE(message.contains("NRMESA")) << message.toStdString();
    }
    TClientDataSet ds("cdsConta");
    loadSingle(ds, {"VALOR", TFieldType::ftString, 0}, S("abc"));
    const QString message = dbError([&] { ds.Fields(0).AsFloat(); });
    EXPECT_TRUE(message.contains("VALOR")) << message.toStdString();
}

TEST(TFieldRead, AsBooleanOfTextLooksAtTheFirstCharacter) {
    const std::pair<const char*, bool> cases[] = {
        {"T", true},  {"true", true}, {"Y", true},    {"yes", true}, {"S", true}, {"sim", true}, {"1", true},
        {"F", false}, {"N", false},   {"não", false}, {"0", false},  {"", false}, {"x", false},  {" T", false},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        TClientDataSet ds;
        loadSingle(ds, {"F", TFieldType::ftString, 0}, S(text));
        EXPECT_EQ(ds.Fields(0).AsBoolean(), expected);
    }
}

TEST(TFieldRead, DateTimeAndValue) {
    TClientDataSet ds;
    loadSingle(ds, {"ABERTURA", TFieldType::ftDateTime, 0}, DT(2024, 12, 31, 23, 59, 58, 7));
    const QDateTime value = ds.Fields(0).AsDateTime();
    EXPECT_EQ(value.date(), QDate(2024, 12, 31));
    EXPECT_EQ(value.time(), QTime(23, 59, 58, 7));
    EXPECT_EQ(value.offsetFromUtc(), 0);
    EXPECT_EQ(value.toMSecsSinceEpoch(), DT(2024, 12, 31, 23, 59, 58, 7).msecs);

    loadSingle(ds, {"F", TFieldType::ftInteger, 0}, 7);
    EXPECT_EQ(ds.Fields(0).Value(), QVariant(7));
    loadSingle(ds, {"F", TFieldType::ftString, 0}, S("Garçom"));
    EXPECT_EQ(ds.Fields(0).Value(), QVariant(QString("Garçom")));
}

// --- Field writing -------------------------------------------------------------------------

class TFieldWrite : public ::testing::Test {
protected:
    void SetUp() override {
        ds.setData(packet({{"NOME", TFieldType::ftString, 4},
                           {"LIVRE", TFieldType::ftString, 0},
                           {"NRMESA", TFieldType::ftInteger, 0},
                           {"VALOR", TFieldType::ftFloat, 0},
                           {"ATIVO", TFieldType::ftBoolean, 0},
                           {"ABERTURA", TFieldType::ftDateTime, 0}},
                          {{S("Ana"), S("x"), 1, 1.0, false, DT(2024, 1, 1, 0, 0, 0)}}));
        ds.Edit();
    }
    TField& f(const char* name) { return ds.FieldByName(name); }
    TClientDataSet ds{"cdsMesa"};
};

TEST_F(TFieldWrite, TextLongerThanTheSizeIsCutByCharacters) {
    f("NOME").setAsString("Garçom");
    EXPECT_EQ(f("NOME").AsString(), "Garç");
    EXPECT_EQ(f("NOME").rawValue(), S("Garç"));

    const QString longText(300, QChar(u'é'));
    f("LIVRE").setAsString(longText);
    EXPECT_EQ(f("LIVRE").AsString(), longText);

    ds.Post();
    EXPECT_EQ(ds.records()[0][0], S("Garç"));
}

TEST_F(TFieldWrite, TextCopiedFromAnotherFieldIsWhatItsAsStringGives) {
    // Values no packet could carry come straight from a database: stray bytes, a leading byte
    // order mark.
    const TFieldValue sources[] = {
        S("0001"),
        S("Garçom Zé"),
        S("\xEF\xBB\xBF"
          "ab"),
        S("a\xFF"
          "b"),
        S("x\xC3"),
        TFieldValue(std::string("a\0b", 3)),
        S(""),
        Null,
        TFieldValue(2.5),
        TFieldValue(7),
        TFieldValue(true),
        DT(2024, 1, 2, 3, 4, 5),
    };
    TClientDataSet source;
    source.AddField("S", TFieldType::ftString, 0);
    source.CreateDataSet();
    source.Append();
    for (const char* target : {"NOME", "LIVRE"})
        for (const TFieldValue& value : sources) {
            source.setFieldValue(0, value);
            SCOPED_TRACE(std::string(target) + " from " + valueToString(value).toStdString());
            f(target).setAsString(source.Fields(0).AsString());
            const TFieldValue expected = f(target).rawValue();
            f(target).Clear();
            f(target).setAsStringFrom(source.Fields(0));
            EXPECT_EQ(f(target).rawValue(), expected);
        }
}

TEST_F(TFieldWrite, SettersConvertToTheFieldType) {
    f("NRMESA").setAsString("7");
    EXPECT_EQ(f("NRMESA").rawValue(), TFieldValue(7));
    f("VALOR").setAsString("2.5");
    EXPECT_EQ(f("VALOR").rawValue(), TFieldValue(2.5));
    f("LIVRE").setAsInteger(3);
    EXPECT_EQ(f("LIVRE").rawValue(), S("3"));
    f("LIVRE").setAsBoolean(true);
    EXPECT_EQ(f("LIVRE").rawValue(), S("True"));
    f("VALOR").setAsFloat(-0.75);
    EXPECT_EQ(f("VALOR").AsFloat(), -0.75);
    f("ATIVO").setAsBoolean(true);
    EXPECT_TRUE(f("ATIVO").AsBoolean());
    f("NRMESA").setValue(QVariant(15));
    EXPECT_EQ(f("NRMESA").AsInteger(), 15);

    const QString message = dbError([&] { f("NRMESA").setAsString("x"); });
    EXPECT_TRUE(message.contains("NRMESA")) << message.toStdString();
    EXPECT_EQ(f("NRMESA").AsInteger(), 15);
}

TEST_F(TFieldWrite, SetValueFollowsTheVariantType) {
    struct Case {
        const char* name;
        const char* field;
        QVariant value;
        TFieldValue stored;
    };
    const Case cases[] = {
        {"int into integer", "NRMESA", QVariant(9), 9},
        {"text into integer", "NRMESA", QVariant(QString("10")), 10},
        {"whole long long into integer", "NRMESA", QVariant(qlonglong(11)), 11},
        {"double into float", "VALOR", QVariant(12.75), 12.75},
        {"bool into boolean", "ATIVO", QVariant(true), true},
        {"date-time into date-time", "ABERTURA", QVariant(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC)),
         DT(2024, 5, 6, 7, 8, 9)},
        {"long long into text", "LIVRE", QVariant(qlonglong(12345678901234567)), S("12345678901234567")},
        {"double into text", "LIVRE", QVariant(0.1), S("0.1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f(c.field).setValue(c.value);
        EXPECT_EQ(f(c.field).rawValue(), c.stored);
    }
}

TEST_F(TFieldWrite, DateTimeKeepsDateAndTimeAsGiven) {
    // 03:04:05 three hours behind UTC is stored as 03:04:05, not shifted to 06:04:05.
    f("ABERTURA").setAsDateTime(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::OffsetFromUTC, -3 * 3600));
    EXPECT_EQ(f("ABERTURA").rawValue(), TFieldValue(DT(2024, 1, 2, 3, 4, 5)));
    EXPECT_EQ(f("ABERTURA").AsString(), "2024-01-02 03:04:05");
}

TEST_F(TFieldWrite, ClearingMakesNull) {
    f("NRMESA").setValue(QVariant());
    EXPECT_TRUE(f("NRMESA").IsNull());
    f("NOME").Clear();
    EXPECT_TRUE(f("NOME").IsNull());
    ds.Post();
    EXPECT_EQ(ds.records()[0][0], Null);
    EXPECT_EQ(ds.records()[0][2], Null);
}

TEST_F(TFieldWrite, WritingOutsideEditOrReadOnlyFieldThrows) {
    ds.Cancel();
    EXPECT_THROW(f("NOME").setAsString("Bia"), EDatabaseError);
    EXPECT_EQ(f("NOME").AsString(), "Ana");

    f("NOME").setReadOnly(true);
    ds.Edit();
    const QString message = dbError([&] { f("NOME").setAsString("Bia"); });
    EXPECT_TRUE(message.contains("cannot be modified")) << message.toStdString();
    EXPECT_TRUE(message.contains("NOME")) << message.toStdString();
    EXPECT_EQ(f("NOME").AsString(), "Ana");
}

TEST(TFieldAttributes, Defaults) {
    TClientDataSet ds;
    ds.setData(mesas());
    TField& nome = ds.FieldByName("NOME");
    EXPECT_EQ(nome.DisplayLabel(), "NOME");
    EXPECT_TRUE(nome.Visible());
    EXPECT_FALSE(nome.ReadOnly());
    EXPECT_EQ(nome.Index(), 1);
    nome.setDisplayLabel("Mesa");
    EXPECT_EQ(nome.DisplayLabel(), "Mesa");
}

// --- Field lookup ----------------------------------------------------------------------------

TEST(TClientDataSetFields, LookupIsCaseInsensitive) {
    TClientDataSet ds("cdsMesas");
    ds.setData(mesas());
    EXPECT_EQ(ds.FieldCount(), 3);
    EXPECT_EQ(&ds.FieldByName("nome"), &ds.Fields(1));
    EXPECT_EQ(ds.FindField("Valor"), &ds.Fields(2));
    EXPECT_EQ(ds.FindField("GARCOM"), nullptr);
    EXPECT_EQ(ds.fieldDescs(), kMesaFields);

    const QString message = dbError([&] { ds.FieldByName("GARCOM"); });
    EXPECT_TRUE(message.contains("GARCOM")) << message.toStdString();
    EXPECT_TRUE(message.contains("cdsMesas")) << message.toStdString();
}

TEST(TClientDataSetFields, IndexOutOfRangeThrows) {
    TClientDataSet ds;
    ds.setData(mesas());
    EXPECT_THROW(ds.Fields(3), EDatabaseError);
    EXPECT_THROW(ds.Fields(-1), EDatabaseError);
}

// --- Cursor ---------------------------------------------------------------------------------

TEST(TClientDataSetCursor, LoadingOpensOnTheFirstRecord) {
    TClientDataSet ds;
    ds.setData(mesas());
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_FALSE(ds.IsEmpty());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("NOME").AsString(), "Varanda");
}

TEST(TClientDataSetCursor, ForwardLoopVisitsEveryRecordOnceAndStopsOnTheLast) {
    TClientDataSet ds;
    ds.setData(mesas());
    EXPECT_EQ(visitIds(ds), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 4);
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 4);

    ds.Next();  // stays put
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 4);

    ds.First();
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST(TClientDataSetCursor, BackwardLoopVisitsEveryRecordOnceAndStopsOnTheFirst) {
    TClientDataSet ds;
    ds.setData(mesas());
    std::vector<int> ids;
    ds.Last();
    EXPECT_EQ(ds.RecNo(), 4);
    EXPECT_FALSE(ds.Bof());
    while (!ds.Bof()) {
        ids.push_back(ds.FieldByName("ID").AsInteger());
        ds.Prior();
    }
    EXPECT_EQ(ids, (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);

    ds.Next();
    EXPECT_FALSE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 2);
}

TEST(TClientDataSetCursor, SingleRecord) {
    TClientDataSet ds;
    ds.setData(packet(kMesaFields, {{7, S("Único"), 1.0}}));
    EXPECT_EQ(visitIds(ds), std::vector<int>{7});
    EXPECT_EQ(ds.RecNo(), 1);
    ds.Last();
    EXPECT_FALSE(ds.Bof());
    ds.Prior();
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 7);
}

TEST(TClientDataSetCursor, EmptyDataSet) {
    TClientDataSet ds;
    ds.setData(packet(kMesaFields, {}));
    EXPECT_TRUE(ds.Active());
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_EQ(ds.RecNo(), 0);
    ds.First();
    ds.Last();
    ds.Next();
    ds.Prior();
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.Bof());
    EXPECT_TRUE(ds.FieldByName("NOME").IsNull());
    EXPECT_EQ(ds.FieldByName("NOME").AsString(), "");
    EXPECT_EQ(visitIds(ds), std::vector<int>{});
    EXPECT_THROW(ds.Delete(), EDatabaseError);
}

TEST(TClientDataSetCursor, ClosedDataSetRefusesWork) {
    TClientDataSet ds("cdsFechado");
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.State(), TDataSetState::dsInactive);
    EXPECT_THROW(ds.First(), EDatabaseError);
    EXPECT_THROW(ds.Next(), EDatabaseError);
    EXPECT_THROW(ds.Append(), EDatabaseError);
    EXPECT_THROW(ds.Edit(), EDatabaseError);

    ds.setData(mesas());
    ds.Close();
    EXPECT_FALSE(ds.Active());
    EXPECT_THROW(ds.Edit(), EDatabaseError);
}

// --- Editing --------------------------------------------------------------------------------

class TClientDataSetEditing : public ::testing::Test {
protected:
    void SetUp() override { ds.setData(mesas()); }
    std::vector<int> storedIds() const {
        std::vector<int> ids;
        for (const TRecord& r : ds.records()) ids.push_back(std::get<std::int32_t>(r[0]));
        return ids;
    }
    int currentId() const { return ds.FieldByName("ID").AsInteger(); }
    TClientDataSet ds{"cdsMesas"};
};

TEST_F(TClientDataSetEditing, InsertGoesBeforeTheCurrentRecord) {
    ds.Next();
    ds.Insert();
    EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
    EXPECT_TRUE(ds.FieldByName("NOME").IsNull());
    ds.FieldByName("ID").setAsInteger(9);
    ds.FieldByName("NOME").setAsString("Nova");
    ds.Post();
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(storedIds(), (std::vector<int>{1, 9, 2, 3, 4}));
    EXPECT_EQ(ds.records()[1], (TRecord{9, S("Nova"), Null}));
    EXPECT_EQ(currentId(), 9);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(TClientDataSetEditing, AppendGoesAtTheEnd) {
    ds.Append();
    ds.FieldByName("ID").setAsInteger(5);
    ds.Post();
    EXPECT_EQ(storedIds(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(currentId(), 5);
    EXPECT_EQ(ds.RecNo(), 5);
}

TEST_F(TClientDataSetEditing, InsertIntoAnEmptyDataSet) {
    ds.setData(packet(kMesaFields, {}));
    ds.Insert();
    ds.FieldByName("ID").setAsInteger(1);
    ds.Post();
    EXPECT_EQ(storedIds(), std::vector<int>{1});
    EXPECT_FALSE(ds.IsEmpty());
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_FALSE(ds.Eof());
}

TEST_F(TClientDataSetEditing, EditChangesOnlyOnPost) {
    ds.Next();
    ds.Edit();
    EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
    ds.FieldByName("NOME").setAsString("Salão 2");
    EXPECT_EQ(ds.FieldByName("NOME").AsString(), "Salão 2");
    EXPECT_EQ(ds.records()[1][1], S("Salão"));
    ds.Post();
    EXPECT_EQ(ds.records()[1], (TRecord{2, S("Salão 2"), Null}));
    EXPECT_EQ(currentId(), 2);
    EXPECT_EQ(ds.RecNo(), 2);
}

TEST_F(TClientDataSetEditing, CancelRestoresTheRecord) {
    ds.Edit();
    ds.FieldByName("VALOR").setAsFloat(1.0);
    ds.Cancel();
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds.FieldByName("VALOR").AsFloat(), 10.5);
    EXPECT_EQ(ds.records()[0][2], TFieldValue(10.5));
}

TEST_F(TClientDataSetEditing, CancelOfAnInsertDiscardsIt) {
    ds.Next();
    ds.Insert();
    ds.FieldByName("ID").setAsInteger(9);
    ds.Cancel();
    EXPECT_EQ(storedIds(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(currentId(), 2);

    ds.Append();
    ds.Cancel();
    EXPECT_EQ(storedIds(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(TClientDataSetEditing, NavigationPostsPendingChanges) {
    ds.Edit();
    ds.FieldByName("NOME").setAsString("Varanda A");
    ds.Next();
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds.records()[0][1], S("Varanda A"));
    EXPECT_EQ(currentId(), 2);

    ds.Append();
    ds.FieldByName("ID").setAsInteger(5);
    ds.First();
    EXPECT_EQ(storedIds(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(currentId(), 1);
}

TEST_F(TClientDataSetEditing, DeleteMovesToTheFollowingRecord) {
    ds.Next();
    ds.Delete();
    EXPECT_EQ(storedIds(), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(currentId(), 3);
    EXPECT_EQ(ds.RecNo(), 2);

    ds.Last();
    ds.Delete();
    EXPECT_EQ(storedIds(), (std::vector<int>{1, 3}));
    EXPECT_EQ(currentId(), 3);
    EXPECT_EQ(ds.RecNo(), 2);

    ds.Delete();
    ds.Delete();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.RecNo(), 0);
}

// --- Persistent fields ------------------------------------------------------------------------

// A packet with the columns in another order, names in another case, an extra column and
// types other than the declared ones.
QByteArray cardapio() {
    return packet(
        {{"nrmesa", TFieldType::ftString, 0}, {"EXTRA", TFieldType::ftInteger, 0}, {"Nome", TFieldType::ftString, 0}},
        {{S("12"), 1, S("Garçom")}, {S("7"), 2, S("Bia")}, {Null, 3, Null}});
}

TEST(TClientDataSetPersistent, LoadingMapsColumnsOntoDeclaredFields) {
    TClientDataSet ds("cdsMesas");
    TField& nome = ds.AddField("NOME", TFieldType::ftString, 4);
    TField& mesa = ds.AddField("NRMESA", TFieldType::ftInteger);
    EXPECT_TRUE(ds.hasPersistentFields());
    ds.setData(cardapio());

    ASSERT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(&ds.Fields(0), &nome);
    EXPECT_EQ(&ds.Fields(1), &mesa);
    EXPECT_EQ(ds.FindField("EXTRA"), nullptr);
    EXPECT_EQ(ds.fieldDescs(),
              (std::vector<TFieldDesc>{{"NOME", TFieldType::ftString, 4}, {"NRMESA", TFieldType::ftInteger, 0}}));
    EXPECT_EQ(ds.records(), (std::vector<TRecord>{{S("Garç"), 12}, {S("Bia"), 7}, {Null, Null}}));
    EXPECT_EQ(mesa.AsInteger(), 12);

    const TPacketTable exported = decodePacket(ds.Data());
    EXPECT_EQ(exported.fields, ds.fieldDescs());
    EXPECT_EQ(exported.rows, ds.records());
}

TEST(TClientDataSetPersistent, MissingColumnThrowsNamingTheField) {
    TClientDataSet ds("cdsMesas");
    ds.AddField("NRMESA", TFieldType::ftInteger);
    ds.AddField("GARCOM", TFieldType::ftString, 30);
    const QString message = dbError([&] { ds.setData(cardapio()); });
    EXPECT_TRUE(message.contains("GARCOM")) << message.toStdString();
}

TEST(TClientDataSetPersistent, UnconvertibleValueThrowsNamingTheField) {
    TClientDataSet ds("cdsMesas");
    ds.AddField("NOME", TFieldType::ftInteger);
    const QString message = dbError([&] { ds.setData(cardapio()); });
    EXPECT_TRUE(message.contains("NOME")) << message.toStdString();
}

TEST(TClientDataSetPersistent, FieldsAndAttributesSurviveClose) {
    TClientDataSet ds;
    TField& nome = ds.AddField("NOME", TFieldType::ftString, 10);
    ds.setData(mesas());
    nome.setDisplayLabel("Mesa");
    nome.setVisible(false);
    nome.setReadOnly(true);
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 1);
    EXPECT_EQ(&ds.FieldByName("nome"), &nome);

    ds.setData(cardapio());
    EXPECT_EQ(&ds.Fields(0), &nome);
    EXPECT_EQ(nome.DisplayLabel(), "Mesa");
    EXPECT_FALSE(nome.Visible());
    EXPECT_TRUE(nome.ReadOnly());
    EXPECT_EQ(nome.AsString(), "Garçom");
}

TEST(TClientDataSetPersistent, DeclaringOnAnOpenDataSetThrows) {
    TClientDataSet ds;
    ds.setData(mesas());
    EXPECT_THROW(ds.AddField("GARCOM", TFieldType::ftString, 10), EDatabaseError);
    EXPECT_EQ(ds.FieldCount(), 3);
}

TEST(TClientDataSetPersistent, ContentDecidesFieldsWithoutDeclarations) {
    TClientDataSet ds;
    ds.setData(mesas());
    ds.setData(cardapio());
    EXPECT_FALSE(ds.hasPersistentFields());
    EXPECT_EQ(ds.fieldDescs(), (std::vector<TFieldDesc>{{"nrmesa", TFieldType::ftString, 0},
                                                        {"EXTRA", TFieldType::ftInteger, 0},
                                                        {"Nome", TFieldType::ftString, 0}}));
    EXPECT_EQ(ds.FieldByName("NOME").AsString(), "Garçom");
}

TEST(TClientDataSetCreate, EmptyWithDeclaredFieldsOrFieldDefs) {
    TClientDataSet declared;
    declared.AddField("ID", TFieldType::ftInteger);
    declared.AddField("NOME", TFieldType::ftString, 3);
    declared.FieldDefs().push_back({"IGNORADO", TFieldType::ftFloat, 0});
    declared.CreateDataSet();
    EXPECT_TRUE(declared.Active());
    EXPECT_TRUE(declared.IsEmpty());
    EXPECT_EQ(declared.fieldDescs(),
              (std::vector<TFieldDesc>{{"ID", TFieldType::ftInteger, 0}, {"NOME", TFieldType::ftString, 3}}));
    declared.Append();
    declared.FieldByName("ID").setAsInteger(1);
    declared.FieldByName("NOME").setAsString("Varanda");
    declared.Post();
    EXPECT_EQ(declared.records(), (std::vector<TRecord>{{1, S("Var")}}));

    TClientDataSet defs;
    defs.FieldDefs() = {{"ID", TFieldType::ftInteger, 0}, {"ABERTURA", TFieldType::ftDateTime, 0}};
    defs.CreateDataSet();
    EXPECT_TRUE(defs.Active());
    EXPECT_EQ(defs.RecordCount(), 0);
    EXPECT_EQ(defs.fieldDescs(), defs.FieldDefs());
    EXPECT_EQ(decodePacket(defs.Data()).fields, defs.FieldDefs());
}

// --- Packets and files -------------------------------------------------------------------------

const std::vector<TFieldDesc> kAllTypes = {
    {"ID", TFieldType::ftInteger, 0},    {"NOME", TFieldType::ftString, 8},       {"VALOR", TFieldType::ftFloat, 0},
    {"ATIVO", TFieldType::ftBoolean, 0}, {"ABERTURA", TFieldType::ftDateTime, 0},
};
const std::vector<TRecord> kAllRows = {
    {1, S("Garçom"), 12.9, true, DT(2024, 3, 5, 19, 30, 0, 125)},
    {2, Null, Null, Null, Null},
    {-3, S(""), -0.5, false, DT(1969, 12, 31, 23, 59, 59)},
};

TEST(TClientDataSetPacket, ExportHoldsEveryRecordWhateverTheFilter) {
    TClientDataSet ds;
    ds.setData(packet(kAllTypes, kAllRows));
    ds.setFilter("ID = 2");
    ds.setFiltered(true);
    ASSERT_EQ(ds.RecordCount(), 1);

    const TPacketTable exported = decodePacket(ds.Data());
    EXPECT_EQ(exported.fields, kAllTypes);
    EXPECT_EQ(exported.rows, kAllRows);

    TClientDataSet copy;
    copy.setData(ds.Data());
    EXPECT_EQ(copy.fieldDescs(), kAllTypes);
    EXPECT_EQ(copy.records(), kAllRows);
}

TEST(TClientDataSetPacket, BadPacketThrows) {
    TClientDataSet ds;
    EXPECT_THROW(ds.setData(QByteArray("RDPK\x01")), EPacketError);
    EXPECT_FALSE(ds.Active());
}

TEST(TClientDataSetFile, SaveAndLoad) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("mesas.rdp");

    TClientDataSet ds;
    ds.setData(packet(kAllTypes, kAllRows));
    ds.SaveToFile(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), ds.Data());
    file.close();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mesas.rdp"});

    TClientDataSet loaded;
    loaded.LoadFromFile(path);
    EXPECT_TRUE(loaded.Active());
    EXPECT_EQ(loaded.RecNo(), 1);
    EXPECT_EQ(loaded.fieldDescs(), kAllTypes);
    EXPECT_EQ(loaded.records(), kAllRows);

    // Saving again replaces the file.
    ds.Delete();
    ds.SaveToFile(path);
    loaded.LoadFromFile(path);
    EXPECT_EQ(loaded.records(), (std::vector<TRecord>{kAllRows[1], kAllRows[2]}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mesas.rdp"});
}

TEST(TClientDataSetFile, FailuresThrow) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TClientDataSet ds;
    ds.setData(mesas());

    const QString missing = dir.filePath("ausente.rdp");
    const QString message = dbError([&] { ds.LoadFromFile(missing); });
    EXPECT_TRUE(message.contains("ausente.rdp")) << message.toStdString();

    EXPECT_THROW(ds.SaveToFile(dir.filePath("nao/existe/mesas.rdp")), EDatabaseError);

    const QString corrupt = dir.filePath("corrompido.rdp");
    QFile file(corrupt);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(mesas().chopped(3));
    file.close();
    const QString corruptMessage = dbError([&] { ds.LoadFromFile(corrupt); });
    EXPECT_TRUE(corruptMessage.contains("corrompido.rdp")) << corruptMessage.toStdString();
}

}  // namespace
