// res00011-report end to end on a SQLite file: the report as a table and as JSON, the history
// installed by its command only, and the exit status of usage and database errors.
#include "RestaurantSchema.h"
#include "TADOConnection.h"
#include "support/RestaurantRows.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace menutest;

struct ToolRun {
    int exitCode;
    std::string out, err;
};

ToolRun run(const QStringList& arguments, const QString& station = {}) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QOR_CONNECTION"));
    environment.insert(QStringLiteral("RES00011_STATION"), station);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(RES00011_REPORT_PATH), arguments);
    if (!tool.waitForFinished(60000)) return {-1, {}, "timed out"};
    return {tool.exitCode(), tool.readAllStandardOutput().toStdString(), tool.readAllStandardError().toStdString()};
}

class ReportToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_connection =
            QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + m_dir.filePath(QStringLiteral("r.db"));
        m_db.setConnectionString(m_connection);
        m_db.Open();
        createRestaurantSchema(m_db);
        // Waiter 0002 has no VENDEDOR row; the sale is waiter 0001's.
        m_db.Execute(
            QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('0001', '0001');") +
            insert(Waiter{.codigo = "0001", .nome = "Ana"}) + insert(Sale{.venda = "01", .mesa = "0012"}) +
            insert(Ticket{.venda = "01", .comanda = "C1", .descricao = "PKR_0012"}) +
            insert(Item{
                .venda = "01", .comanda = "C1", .item = "1", .produto = "P1", .quantidade = "2", .preco = "1234.5"}) +
            insert(Item{.venda = "01", .comanda = "C1", .item = "2", .produto = "P1", .vendedor = "0002"}));
    }
    QStringList arguments(const QStringList& more) const { return QStringList{"--connection", m_connection} + more; }

    QTemporaryDir m_dir;
    QString m_connection;
    TADOConnection m_db{QStringLiteral("adcTest")};
};

TEST_F(ReportToolTest, PrintsTheReportAsATableOrAsJson) {
    const ToolRun table = run(arguments({"--day", "2024-06-14", "0001", "0001"}));
    EXPECT_EQ(table.exitCode, 0) << table.err;
    EXPECT_EQ(table.out,
              "RELATÓRIO DE GARÇONS\n"
              "Filial 0001  Loja 0001  Dia 14/06/2024\n"
              "----------------------------------------------------------------\n"
              "VENDAS ABERTAS\n"
              "Garçom                                       Itens         Valor\n"
              "0001 Ana                                         1      2.469,00\n"
              "0002                                             1         10,00\n"
              "Total                                            2      2.479,00\n"
              "----------------------------------------------------------------\n"
              "VENDAS DO DIA 14/06/2024\n"
              "Garçom                                       Itens         Valor\n"
              "0001 Ana                                         1      2.469,00\n"
              "0002                                             1         10,00\n"
              "Total                                            2      2.479,00\n"
              "----------------------------------------------------------------\n"
              "ALTERAÇÕES DE GARÇOM EM 14/06/2024\n"
              "O histórico de alterações de garçom não está instalado neste\n"
              "banco de dados (res00011-report --install-history).\n");

    const ToolRun json = run(arguments({"--json", "--day", "2024-06-15", "0001", "0001"}));
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out, R"({"branch":"0001","day":"2024-06-15","daySales":{"amount":0,"items":0,"waiters":[]},)"
                        R"("history":{"changes":[],"installed":false},"openSales":{"amount":2479,"items":2,"waiters":[)"
                        R"({"amount":2469,"items":1,"name":"Ana","waiter":"0001"},{"amount":10,"items":1,"name":"",)"
                        R"("waiter":"0002"}]},"store":"0001"})"
                        "\n");
}

TEST_F(ReportToolTest, InstallsTheHistoryWhenAskedAndThenReportsTheDaysChanges) {
    const ToolRun install = run(arguments({"--install-history"}));
    EXPECT_EQ(install.exitCode, 0) << install.err;
    EXPECT_EQ(install.out, "res00011-report: the history of waiter changes is installed\n");
    m_db.Execute(QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0001' WHERE NRPRODCOMVEN = '2'"));

    const ToolRun json = run(arguments({"--json", "0001", "0001"}));
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString();
    EXPECT_NE(json.out.find(R"("history":{"changes":[{"at":")" + today + "T"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find(R"("from":"0002","item":"2","product":"P1","productName":"","sale":"01","table":"0012",)"
                            R"("ticket":"C1","to":"0001"}],"installed":true})"),
              std::string::npos)
        << json.out;
}

TEST_F(ReportToolTest, ExitStatusTellsUsageAndDatabaseErrors) {
    struct Case {
        const char* name;
        QStringList arguments;
        int exitCode;
        const char* message;  // on stderr
    };
    const Case cases[] = {
        {"no store", arguments({"0001"}), 2, "BRANCH and STORE are wanted, 1 argument(s) given"},
        {"a day not in ISO form", arguments({"--day", "14/06/2024", "0001", "0001"}), 2,
         "res00011-report: --day: 14/06/2024 is not a date: use YYYY-MM-DD\nusage:"},
        {"a year alone", arguments({"--day", "2599", "0001", "0001"}), 2,
         "res00011-report: --day: 2599 is not a date: use YYYY-MM-DD\n"},
        {"a day the calendar lacks", arguments({"--day", "2024-02-31", "0001", "0001"}), 2,
         "res00011-report: --day: 2024-02-31 is not a day\n"},
        {"an unknown store", arguments({"0001", "9999"}), 3,
         "res00011-report: the database knows no store 9999 of branch 0001 (LOJA)\n"},
        {"an unknown branch", arguments({"0002", "0001"}), 3,
         "res00011-report: the database knows no branch 0002 (it has no store in LOJA)\n"},
        {"installing with a store", arguments({"--install-history", "0001", "0001"}), 2,
         "--install-history takes no branch, store, --day nor --json"},
        {"an unknown option", arguments({"--verbose", "0001", "0001"}), 2, "Unknown option 'verbose'."},
        {"a database that is not there",
         {"--connection", "Provider=SQLite;Data Source=" + m_dir.filePath("none.db"), "0001", "0001"},
         3,
         "res00011-report: Não foi possível acessar o banco de dados"},
        // The module's own connection, from a station whose conexao.ini names no database.
        {"a broken conexao.ini", {"0001", "0001"}, 3, "/conexao.ini: ConnectionString is empty)\n"},
    };
    QFile ini(m_dir.filePath(QStringLiteral("conexao.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("ConnectionString=\n");
    ini.close();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun result = run(c.arguments, m_dir.path());
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: res00011-report", 0), 0u) << help.out;
}

}  // namespace
