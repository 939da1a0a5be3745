// The connection, queries, commands and provider against real engines: a SQLite file and the
// PostgreSQL test server.
#include "support/PgTestServer.h"
#include "support/SilentServer.h"

#include "ConnectionString.h"
#include "DataPacket.h"
#include "TADOCommand.h"
#include "TADOQuery.h"
#include "TDataSetProvider.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <utility>

namespace {

enum class Engine { SQLite, PostgreSQL };

class AdoTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam() == Engine::SQLite) {
            m_connectionString = sqliteTestConnectionString(m_dir);
        } else {
            m_connectionString = pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("ado")));
        }
        m_connection.setConnectionString(m_connectionString);
        m_connection.Open();
        const bool pg = GetParam() == Engine::PostgreSQL;
        m_connection.Execute(
            QStringLiteral("CREATE TABLE T (CD VARCHAR(4) NOT NULL, NM VARCHAR(30), VR DOUBLE PRECISION, QT INTEGER, "
                           "DTHR %1, TX VARCHAR(2000));"
                           "INSERT INTO T VALUES ('0001', 'Mesa 1', 12.5, 3, '2026-12-08 10:15:00', NULL);"
                           "INSERT INTO T VALUES ('0002', 'Garçom Zé', NULL, 0, '2026-12-08 23:59:59.250', 'x');"
                           "INSERT INTO T VALUES ('0003', NULL, -1.25, 7, NULL, '');")
                .arg(pg ? "TIMESTAMP" : "DATETIME"));
    }

    QString m_connectionString;
    QTemporaryDir m_dir;
    TADOConnection m_connection{QStringLiteral("adcTest")};
};

std::vector<std::string> column(TDataSet& dataSet, const char* field) {
    std::vector<std::string> values;
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next())
        values.push_back(dataSet.FieldByName(field).IsNull() ? "<null>"
                                                             : dataSet.FieldByName(field).AsString().toStdString());
    return values;
}

TEST_P(AdoTest, ReportsColumnNamesTypesAndDeclaredWidths) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(QStringLiteral("SELECT CD, NM, VR, QT, DTHR, TX, 'S' AS FLAG FROM T ORDER BY CD"));
    TDataSetProvider provider;
    provider.setDataSet(&query);
    const TPacketTable packet = decodePacket(provider.GetData());
    const std::vector<TFieldDesc> expected = {
        {"CD", TFieldType::ftString, 4},   {"NM", TFieldType::ftString, 30},    {"VR", TFieldType::ftFloat, 0},
        {"QT", TFieldType::ftFloat, 0},    {"DTHR", TFieldType::ftDateTime, 0}, {"TX", TFieldType::ftString, 2000},
        {"FLAG", TFieldType::ftString, 0},
    };
    EXPECT_EQ(packet.fields, expected);
    ASSERT_EQ(packet.rows.size(), 3u);
    EXPECT_EQ(std::get<std::string>(packet.rows[1][1]), "Garçom Zé");
    EXPECT_EQ(std::get<double>(packet.rows[2][2]), -1.25);
    EXPECT_EQ(std::get<double>(packet.rows[0][3]), 3.0);
    EXPECT_EQ(packet.rows[1][2].index(), 0u) << "a null stays null";
    EXPECT_EQ(formatDateTimeText(std::get<TDateTimeValue>(packet.rows[1][4])), "2026-12-08 23:59:59.250");
    EXPECT_EQ(packet.rows[2][4].index(), 0u);
    EXPECT_EQ(std::get<std::string>(packet.rows[2][5]), "") << "an empty text is not a null";
    EXPECT_EQ(std::get<std::string>(packet.rows[0][6]), "S");
    EXPECT_FALSE(query.Active()) << "the provider closes again what it opened";

    // An open query is packed as it stands, and stays open.
    query.Open();
    query.Next();
    EXPECT_EQ(decodePacket(provider.GetData()).rows.size(), 3u);
    EXPECT_TRUE(query.Active());
}

TEST_P(AdoTest, BindsANameAtEveryOccurrenceAndIgnoresColonsInLiteralsAndComments) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(
        QStringLiteral("SELECT CD, ':P_NAO' AS LIT FROM T -- :P_COMMENT\n"
                       "WHERE (CD = :P_CD OR NM = :P_NM) /* :P_BLOCK */ OR (CD = :P_CD2 AND :P_CD2 <> :P_CD) "
                       "ORDER BY CD"));
    ASSERT_EQ(query.Parameters().Count(), 5);
    EXPECT_EQ(query.Parameters().Items(4).Name(), "P_CD");
    query.Parameters().ParamByName("P_CD").setValue(QStringLiteral("0001"));
    query.Parameters().ParamByName("P_NM").setValue(QStringLiteral("Garçom Zé"));
    query.Parameters().ParamByName("P_CD2").setAsString("0003");
    query.Open();
    EXPECT_EQ(column(query, "CD"), (std::vector<std::string>{"0001", "0002", "0003"}));
    EXPECT_EQ(column(query, "LIT"), (std::vector<std::string>{":P_NAO", ":P_NAO", ":P_NAO"}));

    // A second run with other values returns the rows of the new values only.
    query.Close();
    query.Parameters().ParamByName("P_CD").setValue(QStringLiteral("0002"));
    query.Parameters().ParamByName("P_NM").setValue(QStringLiteral("nobody"));
    query.Parameters().ParamByName("P_CD2").setValue(QStringLiteral("0002"));
    query.Open();
    EXPECT_EQ(column(query, "CD"), (std::vector<std::string>{"0002"}));
}

TEST_P(AdoTest, UnboundParametersAreNullAndLongValuesAreNotCut) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(QStringLiteral("SELECT COUNT(*) AS N FROM T WHERE CD = :P_CD OR TX = :P_TX"));
    query.Open();
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 0) << "a null parameter matches nothing";
    EXPECT_EQ(query.FieldByName("N").DataType(), TFieldType::ftFloat) << "numbers always arrive as floats";

    const QString longText(40, QChar('y'));
    m_connection.Execute(QStringLiteral("UPDATE T SET TX = '%1' WHERE CD = '0003'").arg(longText));
    query.Close();
    query.Parameters().ParamByName("P_TX").setValue(longText);
    query.Open();
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 1) << "the declared size 16 must not cut a 40-character value";
}

TEST_P(AdoTest, PersistentFieldsChooseOrderAndConvertColumns) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(QStringLiteral("SELECT CD, NM, VR, TX FROM T ORDER BY CD"));
    query.AddField("VR", TFieldType::ftFloat);
    query.AddField("CD", TFieldType::ftString, 4);
    query.AddField("NM", TFieldType::ftString, 5);
    TDataSetProvider provider;
    provider.setDataSet(&query);
    const TPacketTable packet = decodePacket(provider.GetData());
    const std::vector<TFieldDesc> expected = {
        {"VR", TFieldType::ftFloat, 0}, {"CD", TFieldType::ftString, 4}, {"NM", TFieldType::ftString, 5}};
    EXPECT_EQ(packet.fields, expected);
    ASSERT_EQ(packet.rows.size(), 3u);
    EXPECT_EQ(std::get<std::string>(packet.rows[1][2]), "Garço") << "cut to the persistent width";

    TADOQuery missing;
    missing.setConnection(&m_connection);
    missing.setName(QStringLiteral("adqMissing"));
    missing.setSQL(QStringLiteral("SELECT CD FROM T"));
    missing.AddField("CD", TFieldType::ftString, 4);
    missing.AddField("NRMESA", TFieldType::ftString, 4);
    try {
        missing.Open();
        FAIL() << "a persistent field without a column must fail";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "adqMissing: Field 'NRMESA' not found in the data");
    }
    EXPECT_FALSE(missing.Active());
}

TEST_P(AdoTest, QueriesAreReadOnly) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(QStringLiteral("SELECT CD FROM T"));
    query.Open();
    EXPECT_THROW(query.Edit(), EDatabaseError);
    EXPECT_THROW(query.Append(), EDatabaseError);
}

TEST_P(AdoTest, CommandsAnswerTheRowsTheyChanged) {
    TADOCommand command;
    command.setConnection(&m_connection);
    command.setCommandText(
        QStringLiteral("UPDATE T SET NM = :P_NM WHERE CD = :P_CD OR (CD = '0003' AND :P_CD = 'all')"));
    command.Parameters().ParamByName("P_NM").setValue(QStringLiteral("novo"));
    command.Parameters().ParamByName("P_CD").setValue(QStringLiteral("0001"));
    EXPECT_EQ(command.Execute(), 1);
    command.Parameters().ParamByName("P_CD").setValue(QStringLiteral("9999"));
    EXPECT_EQ(command.Execute(), 0);
    command.Parameters().ParamByName("P_CD").setValue(QStringLiteral("all"));
    EXPECT_EQ(command.Execute(), 1);
    command.Parameters().ParamByName("P_CD").setValue(QStringLiteral("0001"));
    EXPECT_EQ(command.Execute(), 1) << "the same update again still matches its row";

    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(QStringLiteral("SELECT NM FROM T ORDER BY CD"));
    query.Open();
    EXPECT_EQ(column(query, "NM"), (std::vector<std::string>{"novo", "Garçom Zé", "novo"}));
}

TEST_P(AdoTest, DatabaseErrorsCarryTheDatabaseMessageAndLeaveTheConnectionUsable) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(QStringLiteral("SELECT X FROM NOUSUCH"));
    try {
        query.Open();
        FAIL() << "expected a database error";
    } catch (const EADOError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String("nousuch"), Qt::CaseInsensitive)) << e.what();
    }
    TADOCommand command;
    command.setConnection(&m_connection);
    command.setCommandText(QStringLiteral("UPDATE T SET NOCOLUMN = 1"));
    EXPECT_THROW(command.Execute(), EADOError);

    query.setSQL(QStringLiteral("SELECT CD FROM T WHERE CD = :P_CD"));
    query.Parameters().ParamByName("P_CD").setValue(QStringLiteral("0002"));
    query.Open();
    EXPECT_EQ(column(query, "CD"), (std::vector<std::string>{"0002"}));
}

TEST_P(AdoTest, FailuresSayWhatKindTheyAre) {
    const bool pg = GetParam() == Engine::PostgreSQL;
    m_connection.Execute(QStringLiteral("CREATE UNIQUE INDEX UX_T ON T (CD)"));
    TADOConnection other(QStringLiteral("adcOther"));
    other.setConnectionString(m_connectionString + QStringLiteral(";Command Timeout=1"));
    other.Open();
    const auto failureOf = [&other](const char* sql) {
        try {
            other.Execute(QString::fromLatin1(sql));
        } catch (const EADOError& e) {
            return e.failure();
        }
        ADD_FAILURE() << sql << " did not fail";
        return TDbFailure::Other;
    };
    EXPECT_EQ(failureOf("INSERT INTO T (CD) VALUES ('0001')"), TDbFailure::Duplicate);
    EXPECT_EQ(failureOf("SELECT NOCOLUMN FROM T"), TDbFailure::Other);
    m_connection.Execute(pg ? QStringLiteral("BEGIN; SELECT * FROM T FOR UPDATE") : QStringLiteral("BEGIN EXCLUSIVE"));
    EXPECT_EQ(failureOf("UPDATE T SET NM = 'x'"), TDbFailure::Busy);
    m_connection.Execute(QStringLiteral("ROLLBACK"));
}

TEST_P(AdoTest, ConnectHandlersRunOncePerConnect) {
    TADOConnection connection(QStringLiteral("adcMenu"));
    connection.setProvider(QStringLiteral("MSDAORA.1"));
    connection.setLoginPrompt(false);
    int before = 0, after = 0;
    connection.BeforeConnect = [&](TComponent* sender) {
        ++before;
        EXPECT_EQ(sender, &connection);
        EXPECT_EQ(after, before - 1) << "BeforeConnect runs before the connection opens";
        connection.setConnectionString(m_connectionString);
    };
    connection.AfterConnect = [&](TComponent*) {
        ++after;
        EXPECT_TRUE(connection.Connected());
    };
    connection.setConnected(true);
    connection.setConnected(true);  // already connected: nothing happens
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    connection.setConnected(false);
    EXPECT_FALSE(connection.Connected());
    connection.Open();
    EXPECT_EQ(before, 2);
    EXPECT_EQ(after, 2);
    EXPECT_EQ(connection.Dialect(), GetParam() == Engine::SQLite ? TSqlDialect::SQLite : TSqlDialect::PostgreSQL);
    EXPECT_EQ(connection.Provider(), "MSDAORA.1") << "the stored provider is kept";
}

// Statements are prepared once per connection and kept; what follows is where a kept statement
// could go wrong.

std::vector<std::string> rowsOf(TADOConnection& connection, const QString& sql,
                                const QString& cd = QStringLiteral("0001")) {
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(sql);
    if (query.Parameters().Count() > 0) query.Parameters().ParamByName("P_CD").setValue(cd);
    query.Open();
    std::vector<std::string> rows;
    for (query.First(); !query.Eof(); query.Next()) {
        std::string row;
        for (int i = 0; i < query.FieldCount(); ++i)
            row += (i ? "|" : "") +
                   (query.Fields(i).IsNull() ? std::string("<null>") : query.Fields(i).AsString().toStdString());
        rows.push_back(row);
    }
    return rows;
}

TEST_P(AdoTest, AKeptStatementFollowsTheTableWhenItChanges) {
    const QString all = QStringLiteral("SELECT * FROM T WHERE CD = :P_CD");
    EXPECT_EQ(rowsOf(m_connection, all), (std::vector<std::string>{"0001|Mesa 1|12.5|3|2026-12-08 10:15:00|<null>"}));
    m_connection.Execute(QStringLiteral("ALTER TABLE T ADD COLUMN EXTRA VARCHAR(3)"));
    EXPECT_EQ(rowsOf(m_connection, all),
              (std::vector<std::string>{"0001|Mesa 1|12.5|3|2026-12-08 10:15:00|<null>|<null>"}));

    m_connection.Execute(QStringLiteral("DROP TABLE T"));
    try {
        rowsOf(m_connection, all);
        FAIL() << "the table is gone";
    } catch (const EADOError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(GetParam() == Engine::SQLite
                                                             ? QStringLiteral("no such table: T")
                                                             : QStringLiteral("relation \"t\" does not exist")))
            << e.what();
    }
    m_connection.Execute(
        QStringLiteral("CREATE TABLE T (CD VARCHAR(4), NM VARCHAR(30)); INSERT INTO T VALUES ('0001', 'back')"));
    EXPECT_EQ(rowsOf(m_connection, all), (std::vector<std::string>{"0001|back"}));
}

TEST_P(AdoTest, StatementsOfARolledBackOrFailedTransactionRunAfterIt) {
    const bool pg = GetParam() == Engine::PostgreSQL;
    const QString before = QStringLiteral("SELECT NM FROM T WHERE CD = :P_CD");
    const QString after = QStringLiteral("SELECT CD FROM T WHERE NM = :P_CD");
    m_connection.BeginTrans();
    EXPECT_EQ(rowsOf(m_connection, before), (std::vector<std::string>{"Mesa 1"}));
    EXPECT_THROW(rowsOf(m_connection, QStringLiteral("SELECT X FROM NOUSUCH")), EADOError);
    // PostgreSQL refuses everything in a failed transaction, SQLite goes on.
    if (pg)
        EXPECT_THROW(rowsOf(m_connection, after, QStringLiteral("Mesa 1")), EADOError);
    else
        EXPECT_EQ(rowsOf(m_connection, after, QStringLiteral("Mesa 1")), (std::vector<std::string>{"0001"}));
    m_connection.RollbackTrans();
    // In the next transaction, where a statement that failed could not be run again.
    m_connection.BeginTrans();
    EXPECT_EQ(rowsOf(m_connection, before), (std::vector<std::string>{"Mesa 1"}));
    EXPECT_EQ(rowsOf(m_connection, after, QStringLiteral("Mesa 1")), (std::vector<std::string>{"0001"}));
    m_connection.CommitTrans();
}

TEST_P(AdoTest, ManyDifferentStatementsAreReleasedAndTheFirstRunsAgain) {
    const bool pg = GetParam() == Engine::PostgreSQL;
    const int texts = 200;
    const auto text = [](int i) { return QStringLiteral("SELECT NM, %1 AS N FROM T WHERE CD = :P_CD").arg(i); };
    for (const bool inTransaction : {false, true}) {
        SCOPED_TRACE(inTransaction ? "inside a transaction" : "outside a transaction");
        if (inTransaction) m_connection.BeginTrans();
        for (int i = 0; i < texts; ++i)
            ASSERT_EQ(rowsOf(m_connection, text(i)), (std::vector<std::string>{"Mesa 1|" + std::to_string(i)}));
        if (inTransaction) m_connection.CommitTrans();
        EXPECT_EQ(rowsOf(m_connection, text(0)), (std::vector<std::string>{"Mesa 1|0"}));
        if (pg) {
            const std::vector<std::string> held =
                rowsOf(m_connection, QStringLiteral("SELECT COUNT(*) FROM pg_prepared_statements"));
            EXPECT_LT(std::stoi(held.at(0)), texts / 2) << "statements let go are deallocated on the server";
        }
    }
}

TEST_P(AdoTest, EveryRunTakesItsOwnTextAndValues) {
    // The driver keeps its statements and the texts bound to them from one run to the next.
    DbDriver& driver = m_connection.driver();
    const auto firstColumn = [&driver](const QString& sql, const QVariant& value) {
        std::vector<std::string> values;
        for (const TRecord& row : driver.query(sql, {value}, 5000).rows)
            values.push_back(row[0].index() == 0 ? "<null>" : valueToString(row[0]).toStdString());
        return values;
    };
    using Rows = std::vector<std::string>;

    // A text changed in place, to one of the same length, runs as changed.
    QString text = QStringLiteral("SELECT NM FROM T WHERE CD = %1").arg(driver.placeholder(0));
    EXPECT_EQ(firstColumn(text, QStringLiteral("0002")), Rows{"Garçom Zé"});
    text.replace(7, 2, QStringLiteral("CD"));
    EXPECT_EQ(firstColumn(text, QStringLiteral("0002")), Rows{"0002"});

    // Values of every length and kind, one after the other on the same statement.
    const QString byName = QStringLiteral("SELECT CD FROM T WHERE NM = %1").arg(driver.placeholder(0));
    const std::pair<QVariant, Rows> values[] = {
        {QStringLiteral("Mesa 1"), {"0001"}},
        {QStringLiteral("Garçom Zé"), {"0002"}},
        {QString(40, QChar(u'y')), {}},
        {QStringLiteral("Mesa 1"), {"0001"}},
        {QString(), {}},
        {QVariant(), {}},
        {QByteArray("Garçom Zé"), {"0002"}},
        {QStringLiteral("Mesa"), {}},
    };
    for (const auto& [value, rows] : values)
        EXPECT_EQ(firstColumn(byName, value), rows) << value.toString().toStdString();

    // More statements in turn than are kept at hand, each time round.
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 12; ++i)
            ASSERT_EQ(
                firstColumn(QStringLiteral("SELECT %1 AS N FROM T WHERE CD = %2").arg(i).arg(driver.placeholder(0)),
                            QStringLiteral("0001")),
                Rows{std::to_string(i)});
}

TEST_P(AdoTest, ARunAgainKeepsNothingOfTheLastOne) {
    // A query's records are used again for its next run: nulls, fewer rows and narrower fields
    // show nothing of the run before, with the columns as they come and mapped onto persistent
    // fields in another order.
    for (const bool persistent : {false, true}) {
        SCOPED_TRACE(persistent ? "persistent fields" : "fields of the columns");
        TADOQuery query;
        query.setConnection(&m_connection);
        query.setSQL(QStringLiteral("SELECT CD, NM, TX FROM T WHERE CD >= :P_CD ORDER BY CD"));
        if (persistent) {
            query.AddField("TX", TFieldType::ftString, 2000);
            query.AddField("NM", TFieldType::ftString, 30);
            query.AddField("CD", TFieldType::ftString, 4);
        }
        const std::pair<const char*, std::vector<std::string>> runs[] = {
            {"0001", {"0001|Mesa 1|<null>", "0002|Garçom Zé|x", "0003|<null>|"}},
            {"0003", {"0003|<null>|"}},
            {"0002", {"0002|Garçom Zé|x", "0003|<null>|"}},
            {"9999", {}},
            {"0001", {"0001|Mesa 1|<null>", "0002|Garçom Zé|x", "0003|<null>|"}},
        };
        for (const auto& [from, rows] : runs) {
            query.Close();
            query.Parameters().ParamByName("P_CD").setValue(QString::fromLatin1(from));
            query.Open();
            std::vector<std::string> seen;
            for (query.First(); !query.Eof(); query.Next()) {
                std::string row;
                for (const char* name : {"CD", "NM", "TX"})
                    row += (row.empty() ? "" : "|") + (query.FieldByName(name).IsNull()
                                                           ? std::string("<null>")
                                                           : query.FieldByName(name).AsString().toStdString());
                seen.push_back(row);
            }
            EXPECT_EQ(seen, rows) << "from " << from;
        }
    }
}

TEST_P(AdoTest, AStatementThatRunsPastTheTimeLimitEndsThere) {
    TADOConnection limited(QStringLiteral("adcLimited"));
    limited.setConnectionString(m_connectionString + QStringLiteral(";Command Timeout=1"));
    limited.Open();
    TADOQuery query;
    query.setConnection(&limited);
    // Minutes of work on either engine.
    query.setSQL(GetParam() == Engine::PostgreSQL
                     ? QStringLiteral("SELECT COUNT(*) AS N FROM generate_series(1, 2000000000)")
                     : QStringLiteral("WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C WHERE X < "
                                      "2000000000) SELECT COUNT(*) AS N FROM C"));
    QElapsedTimer timer;
    timer.start();
    try {
        query.Open();
        ADD_FAILURE() << "the statement ran to its end";
    } catch (const EADOError& e) {
        EXPECT_EQ(e.failure(), TDbFailure::Busy) << e.what();
    }
    EXPECT_GE(timer.elapsed(), 900);
    EXPECT_LT(timer.elapsed(), 1000 + 1500);
    query.setSQL(QStringLiteral("SELECT COUNT(*) AS N FROM T"));
    query.Open();
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 3) << "the connection goes on";
}

TEST_P(AdoTest, APacketCarriesTheFieldsOfItsOwnRun) {
    TADOQuery query;
    query.setConnection(&m_connection);
    TDataSetProvider provider;
    provider.setDataSet(&query);
    // Fields as the columns make them, on every run; a field's attributes set in one run are not
    // those of the next.
    struct Case {
        const char* sql;
        std::vector<TFieldDesc> fields;
        const char* error;  // for fields no packet can carry
    } const cases[] = {
        {"SELECT CD, NM FROM T", {{"CD", TFieldType::ftString, 4}, {"NM", TFieldType::ftString, 30}}, nullptr},
        {"SELECT CD, NM FROM T", {{"CD", TFieldType::ftString, 4}, {"NM", TFieldType::ftString, 30}}, nullptr},
        {"SELECT NM AS CD, CD AS NM FROM T",
         {{"CD", TFieldType::ftString, 30}, {"NM", TFieldType::ftString, 4}},
         nullptr},
        {"SELECT CD, NM AS cd FROM T", {}, "duplicate field name"},
        {"SELECT CD, NM AS cd FROM T", {}, "duplicate field name"},
        {"SELECT VR AS CD FROM T", {{"CD", TFieldType::ftFloat, 0}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        query.setSQL(QString::fromUtf8(c.sql));
        if (c.error) {
            query.Open();
            const std::string expected = [&] {
                try {
                    encodePacket(query.fieldDescs(), query.records());
                } catch (const EPacketError& e) {
                    return std::string(e.what());
                }
                return std::string("no error");
            }();
            query.Close();
            try {
                provider.GetData();
                ADD_FAILURE() << "a packet of these fields was made";
            } catch (const EPacketError& e) {
                EXPECT_EQ(std::string(e.what()), expected);
                EXPECT_NE(expected.find("field 1 "), std::string::npos) << expected;
                EXPECT_NE(expected.find(c.error), std::string::npos) << expected;
            }
            continue;
        }
        EXPECT_EQ(decodePacket(provider.GetData()).fields, c.fields);
        query.Open();
        EXPECT_EQ(query.Fields(0).DisplayLabel(), query.Fields(0).FieldName());
        EXPECT_TRUE(query.Fields(0).Visible());
        query.Fields(0).setDisplayLabel(QStringLiteral("Código"));
        query.Fields(0).setVisible(false);
        query.Close();
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, AdoTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& testCase) {
                             return testCase.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
                         });

// A SQLite file has no connection to lose: the server engine only.
class AdoServerTest : public AdoTest {};

TEST_P(AdoServerTest, StatementsArePreparedAgainOnTheNewConnectionAfterOneIsLost) {
    const QString sql = QStringLiteral("SELECT NM FROM T WHERE CD = :P_CD");
    EXPECT_EQ(rowsOf(m_connection, sql), (std::vector<std::string>{"Mesa 1"}));
    const std::string pid = rowsOf(m_connection, QStringLiteral("SELECT pg_backend_pid()")).at(0);
    TADOConnection other;
    other.setConnectionString(m_connectionString);
    other.Open();
    ASSERT_EQ(rowsOf(other, QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(QString::fromStdString(pid))),
              (std::vector<std::string>{"True"}));
    EXPECT_THROW(rowsOf(m_connection, sql), EADOError) << "the statement under way fails with its connection";
    // Inside a transaction a statement the new session does not know could not be run again.
    m_connection.BeginTrans();
    EXPECT_EQ(rowsOf(m_connection, sql), (std::vector<std::string>{"Mesa 1"}));
    m_connection.CommitTrans();
}

TEST_P(AdoServerTest, AConnectionLostDuringCommitIsLostWithAnUnknownOutcomeAndTheNextStatementReconnects) {
    // A deferred trigger ends the session while the server commits.
    m_connection.Execute(
        QStringLiteral("CREATE FUNCTION END_SESSION() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NULL; END $$;"
                       "CREATE CONSTRAINT TRIGGER T_AT_COMMIT AFTER INSERT ON T DEFERRABLE INITIALLY DEFERRED "
                       "FOR EACH ROW EXECUTE FUNCTION END_SESSION()"));
    m_connection.BeginTrans();
    m_connection.Execute(QStringLiteral("INSERT INTO T (CD) VALUES ('0009')"));
    try {
        m_connection.CommitTrans();
        FAIL() << "the commit lost its connection";
    } catch (const EADOError& e) {
        EXPECT_EQ(e.failure(), TDbFailure::Lost) << e.what();
        EXPECT_TRUE(
            QString::fromUtf8(e.what()).contains(QLatin1String("whether the transaction was committed is not known")))
            << e.what();
    }
    EXPECT_EQ(rowsOf(m_connection, QStringLiteral("SELECT COUNT(*) FROM T WHERE CD = '0009'")),
              (std::vector<std::string>{"0"}));
}

// The warnings logged while it lives.
class LoggedWarnings {
public:
    LoggedWarnings() { s_previous = qInstallMessageHandler(&LoggedWarnings::keep); }
    ~LoggedWarnings() { qInstallMessageHandler(s_previous); }
    QStringList take() { return std::exchange(s_warnings, {}); }

private:
    static void keep(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtWarningMsg) s_warnings.append(text);
        s_previous(type, context, text);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QStringList s_warnings;
};

TEST_P(AdoServerTest, AServerProcessThatStoppedAnsweringIsEndedOnItsOwnServerNotTheFirstOfTheList) {
    // A list whose first host accepts and never answers: the connection takes the second, and the
    // process given up must be ended there, without going through the list again.
    SilentServer silent;
    const ConnectionString options = ConnectionString::parse(m_connectionString);
    TADOConnection connection;
    connection.setConnectionString(QStringLiteral("%1;Data Source=127.0.0.1,%2;Port=%3,%4;Connect Timeout=2;"
                                                  "Command Timeout=1")
                                       .arg(m_connectionString, options.value(QStringLiteral("Data Source")))
                                       .arg(silent.port())
                                       .arg(options.value(QStringLiteral("Port"))));
    connection.Open();
    const pid_t backend = std::stoi(rowsOf(connection, QStringLiteral("SELECT pg_backend_pid()")).at(0));
    ASSERT_EQ(::kill(backend, SIGSTOP), 0) << "the test signals the server's process for this connection";
    LoggedWarnings warnings;
    try {
        rowsOf(connection, QStringLiteral("SELECT 1"));
        ADD_FAILURE() << "a stopped server process does not answer";
    } catch (const EADOError& e) {
        EXPECT_EQ(e.failure(), TDbFailure::Lost) << e.what();
    }
    ::kill(backend, SIGCONT);
    for (const QString& warning : warnings.take())
        EXPECT_FALSE(warning.contains(QLatin1String("could not end the server process"))) << warning.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, AdoServerTest, ::testing::Values(Engine::PostgreSQL),
                         [](const auto&) { return "PostgreSQL"; });

TEST(AdoConnection, ProviderComesFromTheStringOrElseTheStoredProperty) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.db"));
    TADOConnection connection(QStringLiteral("adcMenu"));
    connection.setProvider(QStringLiteral("SQLite"));
    connection.setConnectionString(QStringLiteral("Data Source=\"%1\";Create=yes").arg(path));
    connection.Open();
    EXPECT_EQ(connection.Dialect(), TSqlDialect::SQLite);
    connection.Close();

    connection.setProvider(QStringLiteral("MSDAORA.1"));
    try {
        connection.Open();
        FAIL() << "an unavailable provider must fail";
    } catch (const EADOError& e) {
        EXPECT_STREQ(e.what(), "adcMenu: provider 'MSDAORA.1' is not available (use SQLite or PostgreSQL)");
    }
    EXPECT_FALSE(connection.Connected());
    connection.setConnectionString(QStringLiteral("provider = sqlite ; DATA SOURCE=%1").arg(path));
    EXPECT_NO_THROW(connection.Open()) << "keys and provider names are case-insensitive";
}

TEST(AdoConnection, SqliteRefusesAMissingFileUnlessAskedToCreateItAndKnowsNvl) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing.db"));
    TADOConnection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1").arg(path));
    try {
        connection.Open();
        FAIL() << "a missing database file must not be created silently";
    } catch (const EADOError& e) {
        EXPECT_TRUE(
            QString::fromUtf8(e.what()).startsWith(QStringLiteral("SQLite: cannot open database '%1'").arg(path)))
            << e.what();
    }
    EXPECT_FALSE(QFile::exists(path));

    connection.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=%1").arg(path));
    connection.Open();
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(QStringLiteral("SELECT NVL(NULL, 'x') AS A, NVL('y', 'x') AS B, NVL(NULL, NULL) AS C"));
    query.Open();
    EXPECT_EQ(query.FieldByName("A").AsString(), "x");
    EXPECT_EQ(query.FieldByName("B").AsString(), "y");
    EXPECT_TRUE(query.FieldByName("C").IsNull());
}

TEST(AdoConnection, PostgresFailsFastOnAnUnreachableServerWithoutShowingThePassword) {
    SilentServer silent;
    struct Case {
        const char* name;
        QString connectionString;
    };
    const Case cases[] = {
        {"server that never answers",
         QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=%1;Initial Catalog=x;User ID=u;"
                        "Password=s3cr3t-Senha;Connect Timeout=2")
             .arg(silent.port())},
        // A password that is also a letter of the message leaves the message as it is.
        {"closed port",
         QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;Initial Catalog=x;User ID=u;Password=o")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TADOConnection connection;
        connection.setConnectionString(c.connectionString);
        QElapsedTimer timer;
        timer.start();
        try {
            connection.Open();
            ADD_FAILURE() << "connecting must fail";
        } catch (const EADOError& e) {
            const QString message = QString::fromUtf8(e.what());
            EXPECT_TRUE(message.startsWith(QLatin1String("PostgreSQL: cannot connect to 127.0.0.1:"))) << e.what();
            EXPECT_FALSE(message.contains(QLatin1String("s3cr3t"))) << e.what();
            EXPECT_FALSE(message.contains(QLatin1String("****"))) << e.what();
        }
        EXPECT_LT(timer.elapsed(), 8000) << "the connect time limit must end the attempt";
        EXPECT_FALSE(connection.Connected());
    }
}

}  // namespace
