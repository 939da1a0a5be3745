// Named placeholders of statements, the parameters built from them, and connection strings.

#include "support/TestValues.h"
#include "ConnectionString.h"
#include "SqlPlaceholders.h"
#include "TParameters.h"
#include "drivers/PostgresDriver.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

QString dollar(int i) { return "$" + QString::number(i + 1); }

// --- Placeholders ---------------------------------------------------------------------------

struct PlaceholderCase {
    const char* name;
    const char* sql;
    QStringList names;
    const char* rendered;
};

const PlaceholderCase kPlaceholderCases[] = {
    {"single", "SELECT * FROM MESA WHERE NRMESA = :NRMESA", {"NRMESA"}, "SELECT * FROM MESA WHERE NRMESA = $1"},
    {"repeated name",
     "UPDATE MESA SET A = :A, B = :B WHERE A <> :a",
     {"A", "B", "a"},
     "UPDATE MESA SET A = $1, B = $2 WHERE A <> $3"},
    {"name characters", "VALUES (:NR_MESA2,:x)", {"NR_MESA2", "x"}, "VALUES ($1,$2)"},
    {"at the end", "WHERE A=:last", {"last"}, "WHERE A=$1"},
    {"inside a literal", "WHERE X = ':NOT' AND Y = :Y", {"Y"}, "WHERE X = ':NOT' AND Y = $1"},
    {"doubled quote in a literal", "WHERE X = 'it''s :no' AND Y = :Y", {"Y"}, "WHERE X = 'it''s :no' AND Y = $1"},
    {"quoted identifier", "SELECT \":col\" FROM T WHERE A = :a", {"a"}, "SELECT \":col\" FROM T WHERE A = $1"},
    {"line comment", "SELECT 1 -- :c 'x\nWHERE A = :a", {"a"}, "SELECT 1 -- :c 'x\nWHERE A = $1"},
    {"block comment", "SELECT /* :x\n:y ' */ :z", {"z"}, "SELECT /* :x\n:y ' */ $1"},
    {"cast", "SELECT A::text FROM T WHERE B = :b::int", {"b"}, "SELECT A::text FROM T WHERE B = $1::int"},
    {"colon without a name", "SELECT ':' || A : B, :(C), :", {}, "SELECT ':' || A : B, :(C), :"},
    {"none", "SELECT 1", {}, "SELECT 1"},
};

void PrintTo(const PlaceholderCase& c, std::ostream* os) { *os << c.name; }

class Placeholders : public ::testing::TestWithParam<PlaceholderCase> {};

TEST_P(Placeholders, FindsAndRendersOccurrences) {
    const PlaceholderCase& c = GetParam();
    const SqlPlaceholders statement(QString::fromUtf8(c.sql));
    EXPECT_EQ(statement.names(), c.names);
    EXPECT_EQ(statement.render(dollar), QString::fromUtf8(c.rendered));
}

INSTANTIATE_TEST_SUITE_P(Statements, Placeholders, ::testing::ValuesIn(kPlaceholderCases),
                         [](const ::testing::TestParamInfo<PlaceholderCase>& testCase) {
                             return caseName(testCase.param.name);
                         });

// --- Parameters -----------------------------------------------------------------------------

TEST(TParameters, OneParameterPerNameSharedByItsOccurrences) {
    TParameters params;
    params.assign(SqlPlaceholders("UPDATE MESA SET A = :A, B = :B WHERE A <> :a").names());
    ASSERT_EQ(params.Count(), 3);
    EXPECT_EQ(&params.Items(0), &params.Items(2));
    EXPECT_NE(&params.Items(0), &params.Items(1));
    EXPECT_EQ(&params.ParamByName("a"), &params.Items(0));
    EXPECT_EQ(params.FindParam("b"), &params.Items(1));
    EXPECT_EQ(params.Items(1).Name(), "B");

    for (int i = 0; i < params.Count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(params.Items(i).DataType(), TFieldType::ftString);
        EXPECT_EQ(params.Items(i).Size(), 16);
        EXPECT_TRUE(params.Items(i).IsNull());
    }

    params.ParamByName("A").setValue(QString("Varanda"));
    const std::vector<QVariant> values = params.values();
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], QVariant(QString("Varanda")));
    EXPECT_TRUE(values[1].isNull());
    EXPECT_EQ(values[2], QVariant(QString("Varanda")));
}

TEST(TParameters, ValueLongerThanTheDeclaredSizeIsKeptWhole) {
    TParameters params;
    params.assign({"OBS", "OBS"});
    const std::string text(40, 'x');
    params.ParamByName("OBS").setAsString(text);
    const std::vector<QVariant> values = params.values();
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].toString(), QString::fromStdString(text));
    EXPECT_EQ(values[1].toString(), QString::fromStdString(text));
}

TEST(TParameters, UnknownNameThrowsNamingIt) {
    TParameters params;
    params.assign({"NRMESA"});
    EXPECT_EQ(params.FindParam("GARCOM"), nullptr);
    const QString message = dbError([&] { params.ParamByName("GARCOM"); });
    EXPECT_TRUE(message.contains("GARCOM")) << message.toStdString();
    EXPECT_THROW(params.Items(1), EDatabaseError);
    EXPECT_THROW(params.Items(-1), EDatabaseError);
}

TEST(TParameters, AssignRebuildsTheList) {
    TParameters params;
    params.assign({"A", "B"});
    params.ParamByName("A").setValue(1);
    params.assign({"C", "A"});
    ASSERT_EQ(params.Count(), 2);
    EXPECT_EQ(params.FindParam("B"), nullptr);
    EXPECT_TRUE(params.ParamByName("A").IsNull());
    EXPECT_EQ(params.Items(0).Name(), "C");

    params.assign({});
    EXPECT_EQ(params.Count(), 0);
    EXPECT_TRUE(params.values().empty());
}

TEST(TParameters, NamesMatchAsQtComparesThemIgnoringCase) {
    const QString kelvin = QString(QChar(0x212A)) + QStringLiteral("M");
    struct Case {
        QString a, b;
    } const cases[] = {
        {"P_CDFILIAL", "P_CDFILIAL"},
        {"P_CDFILIAL", "p_cdFilial"},
        {"P_CDFILIAL", "P_CDLOJA"},
        {"P_CD", "P_CDX"},
        {"P_CD1", "P_CD2"},
        {"A@", "a`"},
        {"[", "{"},
        {"Ação", "AÇÃO"},
        {"ação", "acao"},
        {"ÉX", "éy"},
        {kelvin, "km"},
        {"K", QString(QChar(0x212A))},
        {"", ""},
        {"a", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a.toStdString() + " / " + c.b.toStdString());
        const bool qt = c.a.compare(c.b, Qt::CaseInsensitive) == 0;
        EXPECT_EQ(sameName(c.a, c.b), qt);
        EXPECT_EQ(sameName(c.b, c.a), qt);
        TParameters params;
        params.assign({c.a});
        EXPECT_EQ(params.FindParam(c.b) != nullptr, qt);
    }
}

// --- Connection strings ---------------------------------------------------------------------

TEST(ConnectionString, ParsesEntries) {
    struct Case {
        const char* name;
        const char* text;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"plain", "Provider=SQLite;Data Source=mesas.db", "data source", "mesas.db"},
        {"key case", "Provider=SQLite;Data Source=mesas.db", "PROVIDER", "SQLite"},
        {"trimmed", "  Host =  10.0.0.5  ;Port=5432", "host", "10.0.0.5"},
        {"key after blank", "Host=a; User ID = caixa ", "user id", "caixa"},
        {"quoted", "Password=\" a;b=c d \";Host=x", "password", " a;b=c d "},
        {"doubled quote", "Password=\"say \"\"hi\"\"\"", "password", "say \"hi\""},
        {"empty segments", ";;Host=x;;", "host", "x"},
        {"empty value", "Host=;Port=1", "host", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ConnectionString cs = ConnectionString::parse(c.text);
        EXPECT_TRUE(cs.contains(c.key));
        EXPECT_EQ(cs.value(c.key, "fallback"), c.value);
    }

    const ConnectionString cs = ConnectionString::parse("Host=x");
    EXPECT_FALSE(cs.contains("port"));
    EXPECT_EQ(cs.value("port", "5432"), "5432");
}

TEST(ConnectionString, MalformedTextThrowsNamingTheEntryButNeverAPasswordsRest) {
    const char* cases[][2] = {
        {"Host=x;Port", "entry 'Port' has no '='"},
        {"Password=\"abc", "unterminated quote in the value of 'password'"},
        {"Host=x;Password=\"a;b", "unterminated quote in the value of 'password'"},
        {"Host=x;Password=s3;cr3t;Port=1", "the entry after the password has no '='"},
        {"Pwd=s3;cr3t", "the entry after the password has no '='"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        try {
            ConnectionString::parse(c[0]);
            ADD_FAILURE() << "no error";
        } catch (const EDatabaseError& e) {
            const QString message = e.message();
            EXPECT_TRUE(message.contains(QString::fromUtf8(c[1]))) << e.what();
            EXPECT_FALSE(message.contains(QStringLiteral("cr3t"))) << e.what();
        }
    }
}

TEST(ConnectionString, TimeLimitsHaveADefaultAndACapAndRefuseWhatIsNoNumber) {
    struct Case {
        const char* text;
        int seconds;  // -1: refused
    };
    const Case cases[] = {
        {"Host=x", 5},
        {"Command Timeout=", 5},
        {"Command Timeout=12", 12},
        {"Command Timeout=0", 60},
        {"Command Timeout=600", 60},
        {"command timeout= 3 ", 3},
        {"Command Timeout=abc", -1},
        {"Command Timeout=-1", -1},
        {"Command Timeout=1.5", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ConnectionString cs = ConnectionString::parse(c.text);
        if (c.seconds < 0)
            EXPECT_THROW(cs.seconds("Command Timeout", 5, 60), EDatabaseError);
        else
            EXPECT_EQ(cs.seconds("Command Timeout", 5, 60), c.seconds);
    }
}

TEST(ConnectionString, HostListsGiveLibpqItsServersOrAreRefusedWithTheReason) {
    struct Case {
        const char* text;
        const char* settings;  // what libpq is given, or the message of the refusal
    };
    const Case cases[] = {
        {"Data Source=db1", "host=db1"},
        {"Data Source=db1;Port=5433", "host=db1 port=5433"},
        {"Port=5433", "port=5433"},
        {"Data Source=", ""},
        {"Data Source=db1,db2", "host=db1,db2 target_session_attrs=read-write"},
        {"Data Source= db1 , db2 ;Port= 5432 ", "host=db1,db2 port=5432,5432 target_session_attrs=read-write"},
        {"Data Source=db1,db2,db3;Port=5432,5433,5434",
         "host=db1,db2,db3 port=5432,5433,5434 target_session_attrs=read-write"},
        {"Data Source=db1,,db2", "Connection string: Data Source 'db1,,db2' has an empty host in its list"},
        {"Data Source=db1,db2,", "Connection string: Data Source 'db1,db2,' has an empty host in its list"},
        {"Data Source=db1,db2;Port=5432,", "Connection string: Port '5432,' has an empty port in its list"},
        {"Data Source=db1;Port=5432,5433",
         "Connection string: 2 ports for 1 hosts (give one port for all hosts, "
         "or one port for each)"},
        {"Data Source=db1,db2,db3;Port=5432,5433",
         "Connection string: 2 ports for 3 hosts (give one port for all "
         "hosts, or one port for each)"},
        {"Data Source=db1,db2;Port=5432,x", "Connection string: Port 'x' is not a number from 1 to 65535"},
        {"Data Source=db1;Port=70000", "Connection string: Port '70000' is not a number from 1 to 65535"},
        {"Data Source=db1;Port=0", "Connection string: Port '0' is not a number from 1 to 65535"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QStringList given;
        try {
            for (const auto& [keyword, value] : postgresServerSettings(ConnectionString::parse(c.text)))
                given.append(QString::fromUtf8(keyword + '=' + value));
        } catch (const EDatabaseError& e) {
            given.append(e.message());
        }
        EXPECT_EQ(given.join(u' '), QString::fromUtf8(c.settings));
    }
}

TEST(ConnectionString, MaskingHidesThePasswordsOwnValueOnly) {
    const char* cases[][2] = {
        {"PostgreSQL: connection refused", "PostgreSQL: connection refused"},
        {"Data Source=db;Password=o;Port=1", "Data Source=db;Password=****;Port=1"},
        {"User ID=o;PWD = s3cr3t", "User ID=o;PWD = ****"},
        {"cannot use Password=\"a;b\"\"c\";Host=x", "cannot use Password=****;Host=x"},
        {"password=x", "password=****"},
        {"NoPassword=x;Host=o", "NoPassword=x;Host=o"},
    };
    for (const auto& [text, masked] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ConnectionString::maskPasswords(QString::fromUtf8(text)), QString::fromUtf8(masked));
    }
}

}  // namespace
