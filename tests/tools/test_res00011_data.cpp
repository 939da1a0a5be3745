// res00011-data end to end: a packet, a boolean-free error, usage errors, on a SQLite file.
#include "RestaurantSchema.h"
#include "TADOConnection.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode;
    std::string out, err;
};

ToolRun run(const QStringList& arguments, const QString& connectionFromEnvironment = {}) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QOR_CONNECTION"));
    if (!connectionFromEnvironment.isEmpty())
        environment.insert(QStringLiteral("QOR_CONNECTION"), connectionFromEnvironment);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(RES00011_DATA_PATH), arguments);
    if (!tool.waitForFinished(60000)) return {-1, {}, "timed out"};
    return {tool.exitCode(), tool.readAllStandardOutput().toStdString(), tool.readAllStandardError().toStdString()};
}

class DataToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_connection =
            QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + m_dir.filePath(QStringLiteral("r.db"));
        TADOConnection connection;
        connection.setConnectionString(m_connection);
        connection.Open();
        createRestaurantSchema(connection);
        connection.Execute(
            QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA, NRMESAPADRAO) VALUES ('0001', '0001', NULL);"
                           "INSERT INTO MESA (CDFILIAL, CDLOJA, NRMESA, NMMESA, CDSALA, IDSTMESA, IDSTMESAAUX) "
                           "VALUES ('0001', '0001', '0012', 'Mesa 12  ', 'SAL01', 'A', 'P');"
                           "INSERT INTO ITMENUCONFTE (CDFILIAL, NRCONFTELA, NRBUTTON, IDTPBUTTON, IDTPBUTONAUX, "
                           "NRPGCONFTAUX, CDIDENTBUTON) "
                           "VALUES ('0001', '0001', '00001', '3', '4', '1', '0012');"));
    }
    QTemporaryDir m_dir;
    QString m_connection;
};

TEST_F(DataToolTest, PrintsAPacketAsJsonWithBlanksKept) {
    const ToolRun result = run({QStringLiteral("--connection"), m_connection, QStringLiteral("getStatusMesa"),
                                QStringLiteral("0001"), QStringLiteral("0001"), QStringLiteral("0001")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(
        result.out,
        "{\"fields\":[{\"name\":\"NRMESA\",\"type\":\"string\",\"size\":4},{\"name\":\"NMMESA\",\"type\":\"string\","
        "\"size\":30},{\"name\":\"CDSALA\",\"type\":\"string\",\"size\":5},{\"name\":\"IDSTMESAAUX\",\"type\":"
        "\"string\",\"size\":0}],\"rows\":[[\"0012\",\"Mesa 12  \",\"SAL01\",\"S\"]]}\n");

    // The connection as the module gets it, and an empty argument.
    const ToolRun empty = run({QStringLiteral("getNrJuncao"), QStringLiteral("0001"), QString()}, m_connection);
    EXPECT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_EQ(empty.out, "{\"fields\":[{\"name\":\"NRJUNMESA\",\"type\":\"string\",\"size\":10}],\"rows\":[]}\n");

    // After the function nothing is an option, not even an argument that begins with '-'.
    const ToolRun dash =
        run({QStringLiteral("getNrJuncao"), QStringLiteral("-1"), QStringLiteral("--help")}, m_connection);
    EXPECT_EQ(dash.exitCode, 0) << dash.err;
    EXPECT_EQ(dash.out, empty.out);
}

TEST_F(DataToolTest, PrintsAnErrorTextAsJsonWithExitStatus3) {
    TADOConnection connection;
    connection.setConnectionString(m_connection);
    connection.Open();
    connection.Execute(QStringLiteral("DROP TABLE JUNCAOMESA"));
    const ToolRun result = run({QStringLiteral("--connection"), m_connection, QStringLiteral("getNrJuncao"),
                                QStringLiteral("0001"), QStringLiteral("0001")});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "{\"error\":\"Erro de banco de dados: SQLite: no such table: JUNCAOMESA\"}\n");

    const ToolRun unreachable =
        run({QStringLiteral("--connection"),
             QStringLiteral("Provider=SQLite;Data Source=") + m_dir.filePath(QStringLiteral("none.db")),
             QStringLiteral("getNrJuncao"), QStringLiteral("0001"), QStringLiteral("0001")});
    EXPECT_EQ(unreachable.exitCode, 3);
    EXPECT_EQ(unreachable.out.rfind("{\"error\":\"SQLite: cannot open database", 0), 0u) << unreachable.out;
}

TEST_F(DataToolTest, RefusesAnUnknownFunctionOrAWrongArgumentCount) {
    struct Case {
        const char* name;
        QStringList arguments;
        const char* message;
    };
    const Case cases[] = {
        {"no function", {}, "usage: res00011-data"},
        {"--connection without its value", {QStringLiteral("--connection")}, "Missing value after '--connection'."},
        {"an unknown option",
         {QStringLiteral("--verbose"), QStringLiteral("getNrJuncao")},
         "Unknown option 'verbose'."},
        {"unknown function", {QStringLiteral("getMesas"), QStringLiteral("1")}, "unknown function 'getMesas'"},
        {"too few",
         {QStringLiteral("getStatusMesa"), QStringLiteral("0001"), QStringLiteral("0001")},
         "getStatusMesa takes 3 arguments, 2 given"},
        {"too many",
         {QStringLiteral("getNrJuncao"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
         "getNrJuncao takes 2 arguments, 3 given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun result = run(c.arguments, m_connection);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    const ToolRun help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: res00011-data", 0), 0u) << help.out;
}

}  // namespace
