// Session set-up, database error messages, connecting and the dialect-aware statement holder
// against real engines; and the message of a run without screen.
#include "support/PgTestServer.h"

#include "Mensagemqor.h"
#include "Qor_trelvix.h"
#include "TADOSqlStorage.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString single(TADOConnection& connection, const QString& sql) {
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(sql);
    query.Open();
    return query.Fields(0).AsString();
}

TEST(SetADODBSession, SqliteWaitsForOtherWritersAndEnforcesForeignKeys) {
    QTemporaryDir dir;
    TADOConnection connection, other;
    connection.setConnectionString(sqliteTestConnectionString(dir) + QStringLiteral(";Command Timeout=1"));
    connection.Open();
    connection.Execute(
        QStringLiteral("CREATE TABLE MESA (NR INTEGER PRIMARY KEY);"
                       "CREATE TABLE PEDIDO (NR INTEGER, MESA INTEGER REFERENCES MESA(NR));"));
    EXPECT_EQ(single(connection, QStringLiteral("PRAGMA foreign_keys")), QStringLiteral("0"));

    Qor_trelvix::SetADODBSession(connection);

    // Another writer is waited for, until the command time-out.
    other.setConnectionString(sqliteTestConnectionString(dir));
    other.Open();
    other.Execute(QStringLiteral("BEGIN IMMEDIATE"));
    QElapsedTimer waited;
    waited.start();
    EXPECT_THROW(connection.Execute(QStringLiteral("INSERT INTO MESA VALUES (1)")), EADOError);
    EXPECT_GE(waited.elapsed(), 900);
    other.Execute(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(single(connection, QStringLiteral("PRAGMA foreign_keys")), QStringLiteral("1"));
    EXPECT_THROW(connection.Execute(QStringLiteral("INSERT INTO PEDIDO VALUES (1, 99)")), EADOError);
}

TEST(SetADODBSession, PostgresNamesTheApplicationTalksUtf8AndTakesTheTerminalsTimeZone) {
    const QByteArray tz = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    TADOConnection connection;
    connection.setConnectionString(pgTestConnectionString(QStringLiteral("qor_session")) +
                                   QStringLiteral(";Application Name=outra"));
    connection.Open();
    Qor_trelvix::SetADODBSession(connection);
    EXPECT_EQ(single(connection, QStringLiteral("SHOW application_name")), QStringLiteral("res00011"));
    EXPECT_EQ(single(connection, QStringLiteral("SHOW client_encoding")), QStringLiteral("UTF8"));
    EXPECT_EQ(single(connection,
                     QStringLiteral("SELECT application_name FROM pg_stat_activity WHERE pid = pg_backend_pid()")),
              QStringLiteral("res00011"));
    EXPECT_EQ(single(connection, QStringLiteral("SHOW TimeZone")), QStringLiteral("America/Sao_Paulo"));
    if (tz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", tz);
}

TEST(SetADODBSession, RaisesOnAClosedConnection) {
    TADOConnection connection;
    EXPECT_THROW(Qor_trelvix::SetADODBSession(connection), EDatabaseError);
}

TEST(ADOExceptionMessage, IsOneLineWithTheDatabasesText) {
    TADOConnection connection;
    const struct {
        std::exception_ptr error;
        std::string complemento;
        std::string expected;
    } cases[] = {
        {std::make_exception_ptr(EADOError("no such table: MESA")), "", "Erro de banco de dados: no such table: MESA"},
        {std::make_exception_ptr(EADOError("ERROR:  syntax error\nLINE 1: SELEC\r\n        ^\n")), "",
         "Erro de banco de dados: ERROR:  syntax error LINE 1: SELEC         ^"},
        {std::make_exception_ptr(EDatabaseError("connection is not open")), "mesa 12",
         "Erro de banco de dados: connection is not open (mesa 12)"},
        {std::make_exception_ptr(std::runtime_error("sem memória\nagora")), "", "sem memória agora"},
    };
    for (const auto& c : cases) {
        try {
            std::rethrow_exception(c.error);
        } catch (const std::exception& e) {
            EXPECT_EQ(Qor_trelvix::ADOExceptionMessage(e, connection, c.complemento), c.expected);
        }
    }
}

TEST(ADOExceptionMessage, CarriesARealDatabaseError) {
    const struct {
        const char* engine;
        bool sqlite;
        const char* wanted;
    } cases[] = {{"sqlite", true, "no such table"}, {"postgresql", false, "nao_existe"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        QTemporaryDir dir;
        TADOConnection connection;
        connection.setConnectionString(c.sqlite ? sqliteTestConnectionString(dir)
                                                : pgTestConnectionString(QStringLiteral("qor_error")));
        connection.Open();
        try {
            single(connection, QStringLiteral("SELECT X FROM nao_existe"));
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            const std::string message = Qor_trelvix::ADOExceptionMessage(e, connection, "");
            EXPECT_EQ(message.rfind("Erro de banco de dados: ", 0), 0u) << message;
            EXPECT_NE(message.find(c.wanted), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
            EXPECT_EQ(message.find('\r'), std::string::npos) << message;
        }
    }
}

TEST(TryConnect, AnswersWhetherTheConnectionOpened) {
    QTemporaryDir dir;
    const struct {
        QString connectionString;
        bool expected;
    } cases[] = {
        {sqliteTestConnectionString(dir), true},
        {QStringLiteral("Provider=SQLite;Data Source=%1/falta.db").arg(dir.path()), false},  // no Create=yes
        {QStringLiteral("Data Source=x.db"), false},                                         // no provider
        {QStringLiteral("Provider=SQLite;Data Source=\"x.db"), false},                       // unparsable
    };
    for (const auto& c : cases) {
        TADOConnection connection;
        connection.setConnectionString(c.connectionString);
        EXPECT_EQ(Qor_trelvix::TryConnect(connection), c.expected) << c.connectionString.toStdString();
        EXPECT_EQ(connection.Connected(), c.expected);
    }
    TADOConnection aborting;
    aborting.setConnectionString(sqliteTestConnectionString(dir));
    aborting.BeforeConnect = [](TComponent*) { throw 42; };
    EXPECT_FALSE(Qor_trelvix::TryConnect(aborting));
}

TEST(TADOSqlStorage, AnswersTheOracleTextForEveryEngineButSqlServer) {
    TADOSqlStorage storage;
    storage.setSQLORACLE(QStringLiteral("oracle"));
    storage.setSQLMSSQL(QStringLiteral("mssql"));
    const struct {
        TSqlDialect dialect;
        const char* expected;
    } cases[] = {{TSqlDialect::Oracle, "oracle"},
                 {TSqlDialect::SQLite, "oracle"},
                 {TSqlDialect::PostgreSQL, "oracle"},
                 {TSqlDialect::MSSQL, "mssql"}};
    for (const auto& c : cases) EXPECT_EQ(storage.textFor(c.dialect), QString::fromLatin1(c.expected));
}

class SqlStorageOnSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        m_connection.setConnectionString(sqliteTestConnectionString(m_dir));
        m_connection.Open();
        m_connection.Execute(
            QStringLiteral("CREATE TABLE MESA (NR VARCHAR(4), SITUACAO VARCHAR(1));"
                           "INSERT INTO MESA VALUES ('0001', 'A'), ('0002', 'L'), ('0003', 'A');"));
        m_query.setConnection(&m_connection);
    }
    static constexpr auto kOracle = "SELECT NR FROM MESA WHERE SITUACAO = :SITUACAO AND NR <> :NR ORDER BY NR";
    static constexpr auto kMssql = "SELECT TOP 1 NR FROM MESA WITH (NOLOCK) WHERE SITUACAO = :SITUACAO";

    QTemporaryDir m_dir;
    TADOConnection m_connection;
    TADOQuery m_query;
};

TEST_F(SqlStorageOnSqlite, PutsTheOracleTextInForceAndTakesItsParameters) {
    TADOSqlStorage storage;
    storage.setSQLORACLE(QString::fromLatin1(kOracle));
    storage.setSQLMSSQL(QString::fromLatin1(kMssql));
    storage.setADOQuery(&m_query);
    EXPECT_EQ(storage.ADOQuery(), &m_query);

    ASSERT_EQ(m_query.Parameters().Count(), 2);
    EXPECT_EQ(m_query.Parameters().Items(0).Name(), QStringLiteral("SITUACAO"));
    EXPECT_EQ(m_query.Parameters().Items(1).Name(), QStringLiteral("NR"));
    m_query.Parameters().ParamByName(QStringLiteral("SITUACAO")).setValue(QStringLiteral("A"));
    m_query.Parameters().ParamByName(QStringLiteral("NR")).setValue(QStringLiteral("0001"));
    m_query.Open();
    EXPECT_EQ(m_query.SQL(), QString::fromLatin1(kOracle));
    ASSERT_EQ(m_query.RecordCount(), 1);
    EXPECT_EQ(m_query.FieldByName(QStringLiteral("NR")).AsString(), QStringLiteral("0003"));
}

TEST_F(SqlStorageOnSqlite, TheQueryKeepsItsTextsWhenTheStorageGoesFirst) {
    {
        TADOSqlStorage storage;
        storage.setSQLORACLE(QStringLiteral("SELECT COUNT(*) AS N FROM MESA WHERE SITUACAO = :S"));
        storage.setADOQuery(&m_query);
    }
    m_query.Parameters().ParamByName(QStringLiteral("S")).setValue(QStringLiteral("A"));
    m_query.Open();
    EXPECT_EQ(m_query.FieldByName(QStringLiteral("N")).AsInteger(), 2);
}

TEST(Mensagem, WithoutScreenGoesToStandardError) {
    ::testing::internal::CaptureStderr();
    Mensagemqor::Mensagem("Mesa 12 não está aberta", "", "N", "N", tmAviso, "", "002", 0, nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Mesa 12 não está aberta\n");
}

}  // namespace
