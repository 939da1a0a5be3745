// res00011-journal end to end on both engines: a day of operations listed as text and as JSON, one
// operation shown by identity or number, the undo's answer and refusals, and the exit status of a
// bad command line and of a database that cannot be reached.
#include "outside/Gpe00002/OperationsFixture.h"

#include "operations/Desfazer.h"
#include "operations/JuntarMesas.h"
#include "operations/TransferirMesa.h"
#include "store/Journal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

using namespace opstest;

struct ToolRun {
    int exitCode;
    std::string out, err;
};

class JournalToolTest : public OperationsTest {
protected:
    void SetUp() override {
        OperationsTest::SetUp();
        if (HasFatalFailure()) return;
        fill(QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('0001', '0001');\n") +
             insert(Table{.mesa = "0011"}) + insert(Table{.mesa = "0012"}) +
             insert(Table{.mesa = "0013", .estado = "O"}) + insert(Sale{.venda = "0000000001", .mesa = "0013"}) +
             insert(Table{.mesa = "0014"}) + insert(Table{.mesa = "0015", .estado = "O"}) +
             insert(Sale{.venda = "0000000002", .mesa = "0015"}) + insert(Table{.mesa = "0016"}));
        Gpe00002::agruparMesas(*m_ops, m_station, "0001", "0001", {table("0011"), table("0012")});
        Gpe00002::transferirMesa(*m_ops, m_station, "0001", "0001", table("0013"), table("0014"));
        m_rows = Gpe00002::journalOfDay(*m_ops, QDate::currentDate());
        ASSERT_EQ(m_rows.size(), 2u);
        // An undo of the transfer, as the undo journals one.
        m_ops->transaction(QString(), [&] {
            Gpe00002::writeJournal(*m_ops, m_station,
                                   {"DESFAZER", "0001", "0001", "0013", "0014", {}, {}, {}, m_rows[1].numero});
        });
        m_rows = Gpe00002::journalOfDay(*m_ops, QDate::currentDate());
    }

    ToolRun run(const QStringList& arguments) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QOR_CONNECTION"));
        environment.insert(QStringLiteral("RES00011_STATION"), m_dir.path());
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(RES00011_JOURNAL_PATH), QStringList{"--connection", m_connectionString} + arguments);
        if (!tool.waitForFinished(60000)) return {-1, {}, "timed out"};
        return {tool.exitCode(), tool.readAllStandardOutput().toStdString(), tool.readAllStandardError().toStdString()};
    }

    QString number(std::size_t row) const { return QString::number(m_rows.at(row).numero); }

    std::vector<Gpe00002::JournalRow> m_rows;
};

TEST_P(JournalToolTest, ListsTheDayAsTextAndAsJson) {
    ASSERT_EQ(m_rows.size(), 3u);
    const auto line = [&](std::size_t row, const char* kind, const QString& description, const QString& undo) {
        const Gpe00002::JournalRow& r = m_rows[row];
        return QStringLiteral("%1  %2  %3  %4  terminal-1/000000000005  %5%6\n")
            .arg(r.numero, 6)
            .arg(QDateTime(r.quando.date(), r.quando.time()).toString("HH:mm:ss"), QString(kind).leftJustified(13),
                 description, r.id, undo.isEmpty() ? QString() : "  " + undo);
    };
    const QString transfer = QStringLiteral("Mesa 0013 transferida para a mesa 0014");
    const ToolRun text = run({"list"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out,
              (line(0, "AGRUPAR", "Mesas 0011 e 0012 agrupadas no agrupamento 1", "") +
               line(1, "TRANSFMESA", transfer, "desfeita por " + number(2)) +
               line(2, "DESFAZER", "Desfeita a operação " + number(1) + " (" + transfer + ")", "desfaz " + number(1)))
                  .toStdString());

    const ToolRun json = run({"list", "--day", QDate::currentDate().toString("yyyy-MM-dd"), "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array();
    ASSERT_EQ(all.size(), 3);
    const QJsonObject moved = all[1].toObject();
    EXPECT_EQ(moved.value("number").toInteger(), m_rows[1].numero);
    EXPECT_EQ(moved.value("id").toString(), m_rows[1].id);
    EXPECT_EQ(moved.value("operation").toString(), "TRANSFMESA");
    EXPECT_EQ(moved.value("description").toString(), transfer);
    EXPECT_EQ(moved.value("station").toString(), "terminal-1");
    EXPECT_EQ(moved.value("operator").toString(), "000000000005");
    EXPECT_EQ(moved.value("undoneBy").toInteger(), m_rows[2].numero);
    EXPECT_TRUE(moved.value("undoes").isNull());
    EXPECT_EQ(moved.value("antes").toObject().value("from").toObject().value("sales").toArray(),
              QJsonArray{"0000000001"});
    EXPECT_EQ(all[2].toObject().value("undoes").toInteger(), m_rows[1].numero);
    EXPECT_EQ(run({"list", "--day", "2001-01-01", "--json"}).out, "[]\n");
    EXPECT_EQ(run({"list", "--day", "2001-01-01"}).out, "");
}

TEST_P(JournalToolTest, ShowsOneOperationByIdentityOrNumber) {
    const Gpe00002::JournalRow& moved = m_rows.at(1);
    for (const QString& id : {moved.id, number(1)}) {
        SCOPED_TRACE(id.toStdString());
        const ToolRun shown = run({"show", id});
        EXPECT_EQ(shown.exitCode, 0) << shown.err;
        const QString out = QString::fromStdString(shown.out);
        for (const QString& field :
             {"Operação: " + number(1) + " TRANSFMESA\n", "Identidade: " + moved.id + "\n",
              QStringLiteral("Descrição: Mesa 0013 transferida para a mesa 0014\n"),
              QStringLiteral("Estação: terminal-1/000000000005 (caixa 001)\n"), QStringLiteral("Mesas: 0013 → 0014\n"),
              "Desfazer: desfeita por " + number(2) + "\n"})
            EXPECT_TRUE(out.contains(field)) << field.toStdString() << " in\n" << shown.out;
        const ToolRun json = run({"show", id, "--json"});
        EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object().value("number").toInteger(),
                  moved.numero);
    }
    for (const char* unknown : {"99999", "3f2504e0-4f89-11d3-9a0c-0305e82c3301"}) {
        const ToolRun missing = run({"show", unknown});
        EXPECT_EQ(missing.exitCode, 3);
        EXPECT_EQ(missing.err, std::string("res00011-journal: Operação ") + unknown + " não encontrada no diário\n");
        EXPECT_EQ(missing.out, "");
    }
}

// A refusal is the undo's own message; an unknown operation is named before any undo is tried.
TEST_P(JournalToolTest, AnUndoRefusedExitsThreeWithItsReason) {
    QString refusal;
    try {
        Gpe00002::desfazerOperacao(*m_ops, m_station, number(1));
        FAIL() << "an undone operation was undone again";
    } catch (const Gpe00002::ERefusal& e) {
        refusal = e.message();
    }
    const std::pair<QString, QString> cases[] = {
        {number(1), refusal},
        {"99999", QStringLiteral("Operação 99999 não encontrada no diário")},
    };
    for (const auto& [id, message] : cases) {
        const ToolRun undo = run({"undo", id});
        EXPECT_EQ(undo.exitCode, 3) << id.toStdString();
        // The refusal's last line is the tool's; the package's log may come before it.
        EXPECT_TRUE(QString::fromStdString(undo.err).endsWith("res00011-journal: " + message + "\n")) << undo.err;
        EXPECT_EQ(undo.out, "");
    }
}

TEST_P(JournalToolTest, AnUndoDoneNamesWhatItUndid) {
    Gpe00002::transferirMesa(*m_ops, m_station, "0001", "0001", table("0015"), table("0016"));
    const std::vector<Gpe00002::JournalRow> rows = Gpe00002::journalOfDay(*m_ops, QDate::currentDate());
    const QString id = rows.back().id;
    const ToolRun undo = run({"undo", id});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(undo.out, "Desfeita a operação " + std::to_string(rows.back().numero) +
                            " (Mesa 0015 transferida para a mesa 0016)\n");
    const std::optional<Gpe00002::JournalRow> undone = Gpe00002::journalRow(*m_ops, id);
    ASSERT_TRUE(undone);
    EXPECT_GT(undone->desfeitaPor, 0);
    EXPECT_EQ(run({"undo", id}).exitCode, 3);
}

TEST_P(JournalToolTest, BadCommandLinesExitTwoAndAnUnreachableDatabaseThree) {
    const std::string usage = "res00011-journal: ";
    const std::pair<QStringList, std::string> cases[] = {
        {{}, "a command is wanted: list, show or undo"},
        {{"erase", "1"}, "a command is wanted: list, show or undo"},
        {{"list", "1"}, "list takes no argument"},
        {{"show"}, "show takes the operation's identity or number"},
        {{"undo", " "}, "undo takes the operation's identity or number"},
        {{"show", "1", "2"}, "show takes the operation's identity or number"},
        {{"undo", "1", "--json"}, "--json is for list and show"},
        {{"show", "1", "--day", "2024-06-14"}, "--day is for list"},
        {{"list", "--day", "2024-02-31"}, "--day: 2024-02-31 is not a day"},
        {{"list", "--day", "14/06/2024"}, "--day: 14/06/2024 is not a date: use YYYY-MM-DD"},
        {{"list", "--bogus"}, "Unknown option 'bogus'."},
    };
    for (const auto& [arguments, problem] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), usage + problem);
        EXPECT_EQ(result.out, "");
    }
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.substr(0, 24), "usage: res00011-journal ");

    QProcess tool;
    tool.start(QStringLiteral(RES00011_JOURNAL_PATH),
               {"--connection", "Provider=SQLite;Data Source=" + m_dir.filePath("none/none.db"), "list"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 3);
    EXPECT_TRUE(tool.readAllStandardError().contains("res00011-journal: Não foi possível acessar o banco de dados"));
}

INSTANTIATE_TEST_SUITE_P(Engines, JournalToolTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
