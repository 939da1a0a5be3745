// The example scripts beside the host, each played by the host on a fresh demo database and the
// demo station, on SQLite and on PostgreSQL: the run ends well, the operation's transcript line
// says what changed, and the database changed exactly that (every row of the tables the
// operations touch is compared before and after); what it printed reads back with pdftotext.
#include "support/PgTestServer.h"

#include "DataPacket.h"
#include "PacketJson.h"
#include "SampleData.h"
#include "TADOQuery.h"
#include "support/TestValues.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

enum class Engine { SQLite, PostgreSQL };

struct Example {
    const char* script;
    const char* consultValue;       // the host's fourth argument
    const char* operation;          // the call whose line carries the result
    const char* result;             // that line's "result", as compact JSON
    std::set<std::string> changes;  // "+TABLE: row" and "-TABLE: row"
    // Lines of the PDF the example prints in the station's folder "impressos" (its path stands
    // for {pdf} in the result), each with its spaces simplified.
    std::vector<QString> printed = {};
};

// What the example scripts do on the demo (db/README.md describes it).
const Example kExamples[] = {
    // A reservation ahead leaves its tables free; {at} and {until} stand for the demo's reservation
    // of 0002, which follows the clock.
    {"reservar-mesa.script",
     "",
     "CriaFReservaMesa",
     R"({"reservation":{"at":"2030-12-24T20:30:00","guest":"Silva","id":2,"note":"Janela","people":"4",)"
     R"("phone":"11 5555-0000","state":"A","tables":["0011"],"until":"2030-12-24T22:30:00"}})",
     {"+GPERESERVA: 0011 Silva 4 A", "+GPERESERVAMESA: 2 0011 A", "+GPEJORNAL: RESERVAR 0011 <null> <null>"}},
    {"reservar-grupo.script",
     "",
     "CriaFReservaMesa",
     R"({"reservation":{"at":"2030-12-24T21:00:00","guest":"Lima","id":2,"note":"Aniversário","people":"12",)"
     R"("phone":"","state":"A","tables":["0011","0017","0018"],"until":"2030-12-24T23:00:00"}})",
     {"+GPERESERVA: 0011 Lima 12 A", "+GPERESERVAMESA: 2 0011 A", "+GPERESERVAMESA: 2 0017 A",
      "+GPERESERVAMESA: 2 0018 A", "+GPEJORNAL: RESERVAR 0011 <null> <null>"}},
    {"sentar-reserva.script",
     "",
     "CriaFReservaMesa",
     R"({"grouping":null,"reservation":{"at":"{at}","guest":"Família Souza","id":1,"note":"Aniversário",)"
     R"("people":"6","phone":"11 5555-0101","state":"S","tables":["0002"],"until":"{until}"}})",
     {"-MESA: 0001 0001 0002 AR", "+MESA: 0001 0001 0002 AL", "-GPERESERVA: 0002 Família Souza 6 A",
      "+GPERESERVA: 0002 Família Souza 6 S", "-GPERESERVAMESA: 1 0002 A", "+GPERESERVAMESA: 1 0002 S",
      "+GPEJORNAL: SENTARRESERVA 0002 <null> <null>"}},
    {"cancelar-reserva.script",
     "",
     "CriaFReservaMesa",
     R"({"reservation":{"at":"{at}","guest":"Família Souza","id":1,"note":"Aniversário","people":"6",)"
     R"("phone":"11 5555-0101","state":"C","tables":["0002"],"until":"{until}"}})",
     {"-MESA: 0001 0001 0002 AR", "+MESA: 0001 0001 0002 AL", "-GPERESERVA: 0002 Família Souza 6 A",
      "+GPERESERVA: 0002 Família Souza 6 C", "-GPERESERVAMESA: 1 0002 A", "+GPERESERVAMESA: 1 0002 C",
      "+GPEJORNAL: CANCRESERVA 0002 <null> <null>"}},
    {"consultar-agrupamentos.script", "21", "CriaConsultaJuncao", "null", {}},
    {"agrupar-mesas.script",
     "",
     "CriaJuntarMesas",
     R"({"added":["0017","0018"],"grouping":"0000000003","new":true,"tables":["0017","0018"]})",
     {"+JUNCAOMESA: 0001 0001 0000000003", "+MESAJUNCAO: 0001 0001 0000000003 0017",
      "+MESAJUNCAO: 0001 0001 0000000003 0018", "+GPEJORNAL: AGRUPAR 0017 <null> 0000000003"}},
    {"esperar-mesa.script",
     "",
     "CriaJuntarMesas",
     R"({"added":["0017","0018"],"grouping":"0000000003","new":true,"tables":["0017","0018"]})",
     {"+JUNCAOMESA: 0001 0001 0000000003", "+MESAJUNCAO: 0001 0001 0000000003 0017",
      "+MESAJUNCAO: 0001 0001 0000000003 0018", "+GPEJORNAL: AGRUPAR 0017 <null> 0000000003"}},
    {"transferir-mesa.script",
     "",
     "CriaTrComanN",
     R"({"from":"0020","grouping":"0000000001","sales":["0000000004"],"to":"0014"})",
     {"-MESA: 0001 0001 0020 AO", "+MESA: 0001 0001 0020 AL", "-MESA: 0001 0001 0014 AL", "+MESA: 0001 0001 0014 AO",
      "-MESAJUNCAO: 0001 0001 0000000001 0020", "+MESAJUNCAO: 0001 0001 0000000001 0014",
      "-VENDAREST: 0001 0000000004 0020 0004", "+VENDAREST: 0001 0000000004 0014 0004",
      "+GPEJORNAL: TRANSFMESA 0020 0014 0000000001"}},
    // Undone from its notice: only the journal changed.
    {"desfazer-transferencia.script",
     "",
     "CriaTrComanN",
     R"({"from":"0020","grouping":"0000000001","sales":["0000000004"],"to":"0014","undone":true})",
     {"+GPEJORNAL: TRANSFMESA 0020 0014 0000000001", "+GPEJORNAL: DESFAZER 0020 0014 0000000001"}},
    {"relatorio-garcons.script",
     "",
     "RelFiscais",
     R"({"branch":"0001","day":"2024-06-14","daySales":{"amount":165,"items":7,"waiters":[{"amount":151,"items":6,)"
     R"("name":"Ana","waiter":"0001"},{"amount":14,"items":1,"name":"Bruno","waiter":"0002"}]},"history":{"changes":[],)"
     R"("installed":true},"openSales":{"amount":165,"items":7,"waiters":[{"amount":151,"items":6,"name":"Ana",)"
     R"("waiter":"0001"},{"amount":14,"items":1,"name":"Bruno","waiter":"0002"}]},"printed":"pdf:{pdf}","store":"0001"})",
     {},
     {"RELATÓRIO DE GARÇONS", "Filial 0001 Loja 0001 Dia 14/06/2024", "0001 Ana 6 151,00", "0002 Bruno 1 14,00",
      "Total 7 165,00", "Nenhuma alteração neste dia."}},
    {"transferir-produto.script",
     "",
     "CriaTrComanN",
     R"({"moves":[{"from":{"item":"000001","remaining":1,"sale":"0000000001","table":"0012","ticket":"0000000001"},)"
     R"("quantity":1,"to":{"item":"000001","sale":"0000000005","table":"0015","ticket":"0000000007"}},)"
     R"({"from":{"item":"000003","remaining":0,"sale":"0000000001","table":"0012","ticket":"0000000001"},)"
     R"("quantity":0.452,"to":{"item":"000003","sale":"0000000001","table":"0012","ticket":"0000000002"}}]})",
     {"-ITCOMANDAVEN: 0001 0000000001 0000000001 000001 0001 0001 2000 -/-",
      "+ITCOMANDAVEN: 0001 0000000001 0000000001 000001 0001 0001 1000 -/-",
      "+ITCOMANDAVEN: 0001 0000000005 0000000007 000001 0001 0001 1000 0000000001/000001",
      "-ITCOMANDAVEN: 0001 0000000001 0000000001 000003 0001 0003 452 -/-",
      "+ITCOMANDAVEN: 0001 0000000001 0000000002 000003 0001 0003 452 0000000001/000003",
      "+GPEJORNAL: TRANSFPRODUTO 0012 0015 <null>", "+GPEJORNAL: TRANSFPRODUTO 0012 0012 <null>"}},
    {"transferir-lugar.script",
     "",
     "CriaTrComanN",
     R"({"from":{"seat":"0001","table":"0012"},"items":[)"
     R"({"from":{"item":"000001","sale":"0000000001","ticket":"0000000001"},)"
     R"("to":{"item":"000001","sale":"0000000005","ticket":"0000000007"}},)"
     R"({"from":{"item":"000001","sale":"0000000001","ticket":"0000000002"},)"
     R"("to":{"item":"000002","sale":"0000000005","ticket":"0000000007"}}],"to":{"seat":"0003","table":"0015"}})",
     {"-ITCOMANDAVEN: 0001 0000000001 0000000001 000001 0001 0001 2000 -/-",
      "+ITCOMANDAVEN: 0001 0000000005 0000000007 000001 0001 0003 2000 0000000001/000001",
      "-ITCOMANDAVEN: 0001 0000000001 0000000002 000001 0001 0001 1000 -/-",
      "+ITCOMANDAVEN: 0001 0000000005 0000000007 000002 0001 0003 1000 0000000002/000001",
      "+GPEJORNAL: TRANSFLUGAR 0012 0015 <null>"}},
    {"separar-mesa.script",
     "",
     "CriaJuntarMesas",
     R"({"grouping":"0000000001","remaining":["0020","0022"],"table":"0021"})",
     {"-MESAJUNCAO: 0001 0001 0000000001 0021", "+GPEJORNAL: SEPARAR 0021 <null> 0000000001"}},
    {"reimprimir-pedido.script",
     "",
     "ReimprimePedido",
     R"({"printed":"pdf:{pdf}","table":"0012","tickets":["0000000001"]})",
     {"+GPEJORNAL: REIMPRESSAO 0012 <null> <null>"},
     {"REIMPRESSÃO", "Mesa 0012", "Comanda 0000000001 PKR_0012", "Garçom 0001 Ana", "2 x Água Mineral 500ml 11,00",
      "0,452 kg Picanha na Brasa (kg) 54,19", "119,90/kg · lugar 3", "TOTAL R$ 124,50"}},
};

// The rows the operations may change, one text per row; the journal and the history of waiter
// changes without their time and id.
const char* const kSnapshot[][2] = {
    {"MESA", "SELECT CDFILIAL || ' ' || CDLOJA || ' ' || NRMESA || ' ' || IDSTMESA || IDSTMESAAUX FROM MESA"},
    {"JUNCAOMESA", "SELECT CDFILIAL || ' ' || CDLOJA || ' ' || NRJUNMESA FROM JUNCAOMESA"},
    {"MESAJUNCAO", "SELECT CDFILIAL || ' ' || CDLOJA || ' ' || NRJUNMESA || ' ' || NRMESA FROM MESAJUNCAO"},
    {"VENDAREST",
     "SELECT CDFILIAL || ' ' || NRVENDAREST || ' ' || COALESCE(NRMESA, '-') || ' ' || "
     "COALESCE(CDVENDEDOR, '-') FROM VENDAREST"},
    // The quantity in thousandths (the engines write a number as text each in their own way), and
    // the item's origin.
    {"ITCOMANDAVEN",
     "SELECT CDFILIAL || ' ' || NRVENDAREST || ' ' || NRCOMANDA || ' ' || NRPRODCOMVEN || ' ' || "
     "COALESCE(CDVENDEDOR, '-') || ' ' || COALESCE(NRLUGARMESA, '-') || ' ' || "
     "CAST(CAST(ROUND(QTPRODCOMVEN * 1000) AS INTEGER) AS VARCHAR(30)) || ' ' || COALESCE(NRCOMANDAORI, '-') || "
     "'/' || COALESCE(NRPRODCOMORI, '-') FROM ITCOMANDAVEN"},
    {"GPERESERVA", "SELECT NRMESA || ' ' || NMCLIENTE || ' ' || NRPESSOAS || ' ' || IDSTRESERVA FROM GPERESERVA"},
    {"GPERESERVAMESA",
     "SELECT CAST(NRRESERVA AS VARCHAR(20)) || ' ' || NRMESA || ' ' || IDSTRESERVA FROM GPERESERVAMESA"},
    {"GPEJORNAL",
     "SELECT IDOPERACAO || ' ' || COALESCE(NRMESAORIG, '<null>') || ' ' || COALESCE(NRMESADEST, '<null>') "
     "|| ' ' || COALESCE(NRJUNMESA, '<null>') FROM GPEJORNAL"},
    {"GPEHISTVENDEDOR",
     "SELECT NMTABELA || ' ' || NRVENDAREST || ' ' || COALESCE(NRCOMANDA, '-') || ' ' || COALESCE(NRPRODCOMVEN, '-') "
     "|| ' ' || COALESCE(CDVENDEDORANT, '-') || ' ' || COALESCE(CDVENDEDORNOV, '-') FROM GPEHISTVENDEDOR"},
};

class ExampleScriptTest : public ::testing::TestWithParam<std::tuple<Engine, Example>> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const bool pg = std::get<0>(GetParam()) == Engine::PostgreSQL;
        m_connection =
            pg ? pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("example")))
               : QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + m_dir.filePath(QStringLiteral("r.db"));
        m_database.setConnectionString(m_connection);
        m_database.Open();
        SampleDataOptions options;
        options.items = kDemoItems;
        options.createSchema = true;
        generateSampleData(m_database, options);
        // The demo station, as scripts/run.sh writes it.
        for (const char* file :
             {"PARAMETROSQOR.json:PARAMETROSQOR.CDS", "ControleAcess.json:Dados/Cadastros/ControleAcess.cds",
              "AcessoOperacoes.json:Dados/Cadastros/AcessoOperacoes.cds"}) {
            const QStringList names = QString::fromLatin1(file).split(QLatin1Char(':'));
            QFile json(QStringLiteral(RES_SCRIPT_DIR "/") + names[0]);
            ASSERT_TRUE(json.open(QIODevice::ReadOnly)) << names[0].toStdString();
            const QString target = m_dir.filePath(names[1]);
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile packet(target);
            ASSERT_TRUE(packet.open(QIODevice::WriteOnly));
            packet.write(encodePacket(packetFromJson(json.readAll())));
        }
        TADOQuery souza;
        souza.setConnection(&m_database);
        souza.setSQL(QStringLiteral("SELECT DTHRRESERVA FROM GPERESERVA WHERE NRRESERVA = 1"));
        souza.Open();
        const QDateTime stored = souza.Fields(0).AsDateTime();
        m_souza = QDateTime(stored.date(), stored.time());
    }

    std::set<std::string> snapshot() {
        std::set<std::string> rows;
        for (const auto& [table, sql] : kSnapshot) {
            TADOQuery query;
            query.setConnection(&m_database);
            query.setSQL(QString::fromLatin1(sql));
            query.Open();
            for (query.First(); !query.Eof(); query.Next())
                rows.insert(std::string(table) + ": " + query.Fields(0).AsString().toStdString());
        }
        return rows;
    }

    QTemporaryDir m_dir;
    QString m_connection;
    TADOConnection m_database{QStringLiteral("adcExample")};
    QDateTime m_souza;  // the time of the demo's reservation of 0002
};

TEST_P(ExampleScriptTest, ChangesExactlyWhatItsTranscriptSays) {
    const Example& example = std::get<1>(GetParam());
    const std::set<std::string> before = snapshot();

    QProcess host;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QOR_CONNECTION"), m_connection);
    host.setProcessEnvironment(environment);
    const QString transcriptPath = m_dir.filePath(QStringLiteral("transcript.jsonl"));
    host.start(QStringLiteral(RES_HOST_PATH),
               {QStringLiteral("--station"), m_dir.path(), QStringLiteral("--script"),
                QStringLiteral(RES_SCRIPT_DIR "/") + QLatin1String(example.script), QStringLiteral("--transcript"),
                transcriptPath, QStringLiteral("0001"), QStringLiteral("0001"), QStringLiteral("0001"),
                QString::fromLatin1(example.consultValue)});
    ASSERT_TRUE(host.waitForFinished(60000));
    ASSERT_EQ(host.exitCode(), 0) << host.readAllStandardError().toStdString();

    QFile transcript(transcriptPath);
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    QJsonValue result = QJsonValue::Undefined;
    for (const QByteArray& line : transcript.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value(QStringLiteral("call")).toString() == QLatin1String(example.operation))
            result = entry.value(QStringLiteral("result"));
    }
    ASSERT_FALSE(result.isUndefined()) << "no " << example.operation << " line in the transcript";
    const QByteArray resultText =
        result.isObject() ? QJsonDocument(result.toObject()).toJson(QJsonDocument::Compact) : QByteArray("null");
    QString expected = QString::fromUtf8(example.result);
    expected.replace(QStringLiteral("{at}"), m_souza.toString(Qt::ISODate));
    expected.replace(QStringLiteral("{until}"), m_souza.addSecs(7200).toString(Qt::ISODate));
    const QDir printedFolder(m_dir.filePath(QStringLiteral("impressos")));
    const QStringList pdfs = printedFolder.entryList({QStringLiteral("*.pdf")}, QDir::Files);
    ASSERT_EQ(pdfs.size(), example.printed.empty() ? 0 : 1) << pdfs.join(' ').toStdString();
    if (!pdfs.isEmpty()) expected.replace(QStringLiteral("{pdf}"), printedFolder.filePath(pdfs.front()));
    EXPECT_EQ(QString::fromUtf8(resultText), expected);

    if (!pdfs.isEmpty()) {
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"),
                        {QStringLiteral("-layout"), printedFolder.filePath(pdfs.front()), QStringLiteral("-")});
        ASSERT_TRUE(pdftotext.waitForFinished(20000)) << "pdftotext (poppler-utils) is needed";
        QStringList text;
        for (const QString& line : QString::fromUtf8(pdftotext.readAllStandardOutput()).split(QLatin1Char('\n')))
            text << line.simplified();
        for (const QString& line : example.printed)
            EXPECT_TRUE(text.contains(line)) << line.toStdString() << " not in\n" << text.join('\n').toStdString();
    }

    const std::set<std::string> after = snapshot();
    std::set<std::string> changes;
    for (const std::string& row : before)
        if (!after.count(row)) changes.insert("-" + row);
    for (const std::string& row : after)
        if (!before.count(row)) changes.insert("+" + row);
    EXPECT_EQ(changes, example.changes);
}

std::string exampleName(const ::testing::TestParamInfo<std::tuple<Engine, Example>>& testCase) {
    QString script = QString::fromLatin1(std::get<1>(testCase.param).script);
    script.chop(static_cast<int>(qstrlen(".script")));
    script.replace(QLatin1Char('-'), QLatin1Char('_'));
    return script.toStdString() + (std::get<0>(testCase.param) == Engine::SQLite ? "_SQLite" : "_PostgreSQL");
}

INSTANTIATE_TEST_SUITE_P(Demo, ExampleScriptTest,
                         ::testing::Combine(::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                                            ::testing::ValuesIn(kExamples)),
                         exampleName);

// An expect line on the demo: it waits on the open map for another terminal's change, or stops
// the run when the time passes first.
class ExpectLineTest : public ExampleScriptTest {
protected:
    // Runs `script` to its end, answering the host's exit code; the refresh lines of the
    // transcript in `refreshes` ("TABLE STATE" each) and the host's error output in `error`.
    int play(const QString& script, const std::function<void(const QStringList&)>& whileWaiting = {}) {
        QFile file(m_dir.filePath(QStringLiteral("expect.script")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script.toUtf8());
        file.close();
        QProcess host;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QOR_CONNECTION"), m_connection);
        host.setProcessEnvironment(environment);
        const QString transcriptPath = m_dir.filePath(QStringLiteral("transcript.jsonl"));
        host.start(QStringLiteral(RES_HOST_PATH),
                   {QStringLiteral("--station"), m_dir.path(), QStringLiteral("--script"), file.fileName(),
                    QStringLiteral("--transcript"), transcriptPath, QStringLiteral("0001"), QStringLiteral("0001"),
                    QStringLiteral("0001"), QString()});
        const auto readRefreshes = [&] {
            refreshes.clear();
            QFile transcript(transcriptPath);
            if (!transcript.open(QIODevice::ReadOnly)) return;
            for (const QByteArray& line : transcript.readAll().split('\n')) {
                const QJsonObject entry = QJsonDocument::fromJson(line).object();
                if (entry.value(QStringLiteral("call")).toString() != QLatin1String("refresh")) continue;
                refreshes << entry.value(QStringLiteral("args")).toArray().at(0).toString() + QLatin1Char(' ') +
                                 entry.value(QStringLiteral("state")).toString();
                EXPECT_GE(entry.value(QStringLiteral("ms")).toInteger(-1), 0);
            }
        };
        bool acted = !whileWaiting;
        while (!host.waitForFinished(50)) {
            readRefreshes();
            if (!acted && !refreshes.isEmpty()) {
                whileWaiting(refreshes);
                acted = true;
            }
        }
        readRefreshes();
        error = QString::fromUtf8(host.readAllStandardError());
        return host.exitCode();
    }
    QStringList refreshes;
    QString error;
};

TEST_P(ExpectLineTest, WaitsForAnotherTerminalOrStopsTheRun) {
    const bool pg = std::get<0>(GetParam()) == Engine::PostgreSQL;
    EXPECT_EQ(
        play(QStringLiteral("press spbUnirMesa\nexpect 0017 ocupada 20\ncancel\n"),
             [&](const QStringList&) {
                 // Another terminal: on PostgreSQL the package's operations notify with it.
                 m_database.Execute(
                     QStringLiteral("BEGIN;\nUPDATE MESA SET IDSTMESAAUX = 'O' WHERE NRMESA = '0017';\n%1COMMIT;\n")
                         .arg(pg ? QStringLiteral("SELECT pg_notify('res00011_mesas_0001_0001', "
                                                  "'{\"operacao\":\"X\",\"mesas\":[\"0017\"],\"jornal\":1}');\n")
                                 : QString()));
             }),
        0)
        << error.toStdString();
    ASSERT_FALSE(refreshes.isEmpty());
    EXPECT_EQ(refreshes.front(), QStringLiteral("0017 livre"));
    EXPECT_EQ(refreshes.back(), QStringLiteral("0017 ocupada"));

    EXPECT_EQ(play(QStringLiteral("press spbUnirMesa\nexpect 0018 reservada 0.5\ncancel\n")), 1);
    EXPECT_TRUE(error.contains(QStringLiteral("line 2: table 0018 is not reservada after 0.5 s: it is livre")))
        << error.toStdString();
}

const Example kExpectExample[] = {{"esperar-mesa.script", "", "CriaJuntarMesas", "", {}}};

INSTANTIATE_TEST_SUITE_P(Demo, ExpectLineTest,
                         ::testing::Combine(::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                                            ::testing::ValuesIn(kExpectExample)),
                         exampleName);

}  // namespace
