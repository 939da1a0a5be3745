// The host's scripted mode: the example script on the demo data, and the scripts that do not
// fit what waits. The host runs as a separate process on a fresh demo database; the station
// files beside it (parameters, access store) may or may not be there, so nothing here depends
// on the operator, the access codes or the cash register they hold.
#include "DataPacket.h"
#include "PacketJson.h"
#include "SampleData.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct HostRun {
    int exitCode = -1;
    QString error;
    std::vector<QJsonObject> transcript;
    std::vector<QByteArray> lines;

    std::vector<std::string> calls() const {
        std::vector<std::string> names;
        for (const QJsonObject& entry : transcript)
            names.push_back(entry.value(QStringLiteral("call")).toString().toStdString());
        return names;
    }
    std::vector<QJsonObject> of(const char* call) const {
        std::vector<QJsonObject> found;
        for (const QJsonObject& entry : transcript)
            if (entry.value(QStringLiteral("call")).toString() == QLatin1String(call)) found.push_back(entry);
        return found;
    }
};

class ScriptedHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_connection =
            QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + m_dir.filePath(QStringLiteral("r.db"));
        m_database.setConnectionString(m_connection);
        m_database.Open();
        SampleDataOptions options;
        options.items = 10;
        options.createSchema = true;
        generateSampleData(m_database, options);
    }

    HostRun run(const QByteArray& script) {
        const QString scriptPath = m_dir.filePath(QStringLiteral("test.script"));
        QFile file(scriptPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(script);
        file.close();
        return runFile(scriptPath);
    }

    HostRun runFile(const QString& scriptPath) {
        const QString transcriptPath = m_dir.filePath(QStringLiteral("transcript.jsonl"));
        QProcess host;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QOR_CONNECTION"), m_connection);
        host.setProcessEnvironment(environment);
        QStringList arguments{QStringLiteral("--script"),     scriptPath,
                              QStringLiteral("--transcript"), transcriptPath,
                              QStringLiteral("0001"),         QStringLiteral("0001"),
                              QStringLiteral("0001"),         QString()};
        if (m_station) arguments = QStringList{QStringLiteral("--station"), m_dir.path()} + arguments;
        host.start(QStringLiteral(RES_HOST_PATH), arguments);
        HostRun result;
        if (!host.waitForFinished(60000)) {
            host.kill();
            host.waitForFinished();
            ADD_FAILURE() << "the host did not finish";
            return result;
        }
        result.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -2;
        result.error = QString::fromUtf8(host.readAllStandardError());
        QFile transcript(transcriptPath);
        if (transcript.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : transcript.readAll().split('\n')) {
                if (line.isEmpty()) continue;
                result.lines.push_back(line);
                QJsonParseError parseError;
                const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
                EXPECT_EQ(parseError.error, QJsonParseError::NoError) << line.toStdString();
                result.transcript.push_back(document.object());
            }
        }
        return result;
    }

    std::string itemWaiter(const char* ticket, const char* item) {
        TADOQuery query;
        query.setConnection(&m_database);
        query.setSQL(QStringLiteral("SELECT CDVENDEDOR FROM ITCOMANDAVEN WHERE CDFILIAL = '0001' AND NRCOMANDA = '%1' "
                                    "AND NRPRODCOMVEN = '%2'")
                         .arg(QLatin1String(ticket), QLatin1String(item)));
        query.Open();
        return query.Eof() ? std::string("(none)") : query.Fields(0).AsString().toStdString();
    }

    // The demo station's parameters (branch and store 0001) in the test's folder, the host's
    // station from then on; no access store, so that every operation is allowed.
    void writeStation() {
        QFile json(QStringLiteral(RES_SCRIPT_DIR "/PARAMETROSQOR.json"));
        ASSERT_TRUE(json.open(QIODevice::ReadOnly));
        QFile packet(m_dir.filePath(QStringLiteral("PARAMETROSQOR.CDS")));
        ASSERT_TRUE(packet.open(QIODevice::WriteOnly));
        packet.write(encodePacket(packetFromJson(json.readAll())));
        m_station = true;
    }

    QTemporaryDir m_dir;
    QString m_connection;
    TADOConnection m_database;
    bool m_station = false;
};

using Names = std::vector<std::string>;
const Names kStart(5, "ControleAcess");  // the five gated buttons, when the menu opens

Names operator+(Names left, const Names& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

TEST_F(ScriptedHostTest, ExampleScriptChangesOneItemOnTheDemoDataAndRecordsTheDialogue) {
    ASSERT_EQ(itemWaiter("0000000001", "000001"), "0001");
    const HostRun result = runFile(QStringLiteral(RES_SCRIPT_DIR "/altera-garcom.script"));
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_EQ(result.calls(),
              (kStart + Names{"VerificaAcesso", "TecladoNumerico", "MensagemMetodo", "MensagemMetodo", "MensagemMetodo",
                              "Pesquisa", "TecladoNumerico", "MensagemMetodo", "MensagemMetodo", "Pesquisa"}));
    ASSERT_EQ(result.lines.size(), 15u);
    // Every line starts with the call and its arguments.
    for (const QByteArray& line : result.lines) EXPECT_TRUE(line.startsWith("{\"call\":\"")) << line.toStdString();
    for (const QByteArray& line : result.lines) EXPECT_NE(line.indexOf("\",\"args\":["), -1) << line.toStdString();

    EXPECT_TRUE(result.lines[5].startsWith(R"({"call":"VerificaAcesso","args":[-1,")"))
        << result.lines[5].toStdString();
    EXPECT_TRUE(result.lines[5].endsWith(R"(",""],"result":true,"value":"S"})")) << result.lines[5].toStdString();
    EXPECT_EQ(result.lines[6].toStdString(),
              R"({"call":"TecladoNumerico","args":["","Altera Garçom por Item","Escolha o número da mesa",)"
              R"("Escolha o número da mesa",4,0,0,0,0,0],"result":true,"value":"12"})");
    const QJsonArray status = result.transcript[7]["args"].toArray();
    EXPECT_EQ(status[3], QJsonValue(QStringLiteral("getStatusMesa")));
    EXPECT_EQ(status[5], QJsonValue(QStringLiteral("0001-0001-0001")));
    EXPECT_EQ(result.transcript[8]["args"].toArray()[5], QJsonValue(QStringLiteral("0012-0001-0001")));
    EXPECT_EQ(result.lines[9].toStdString(),
              R"({"call":"MensagemMetodo","args":[{"packet":5},true,0,"getitemMesa","Cli_Res00420",)"
              R"("0001-0000000001-RES","002"]})");

    const QJsonObject list = result.transcript[10];
    EXPECT_EQ(list["args"].toArray(), (QJsonArray{QJsonValue(), 0, 0, 11776174, 13684686, 4407615, 8487297, 0}));
    EXPECT_EQ(list["columns"].toArray(),
              (QJsonArray{QStringLiteral("Nome"), QStringLiteral("Garçom"), QStringLiteral("Quantidade")}));
    EXPECT_EQ(list["rows"].toArray().size(), 5);
    EXPECT_EQ(list["result"], QJsonValue(true));
    const int picked = list["picked"].toInt(-1);
    ASSERT_GE(picked, 0);
    const QJsonArray pickedRow = list["rows"].toArray()[picked].toArray();
    ASSERT_EQ(pickedRow.size(), 3);
    EXPECT_EQ(pickedRow[0], QJsonValue(QStringLiteral("AGUA MINERAL 500ML")));
    EXPECT_EQ(pickedRow[1], QJsonValue(QStringLiteral("0001")));

    EXPECT_EQ(result.lines[11].toStdString(),
              R"({"call":"TecladoNumerico","args":["","Alterar Garçom","Informe o numero do Garçom",)"
              R"("Informe o numero do Garçom",4,0,0,0,0,0],"result":true,"value":"2"})");
    const QJsonArray validation = result.transcript[12]["args"].toArray();
    EXPECT_EQ(validation[3], QJsonValue(QStringLiteral("getValidaGarcom")));
    EXPECT_TRUE(validation[5].toString().startsWith(QLatin1String("0002 - 0001 - ")))
        << validation[5].toString().toStdString();
    EXPECT_TRUE(validation[5].toString().endsWith(QLatin1String(" - 1")));
    const QJsonArray update = result.transcript[13]["args"].toArray();
    EXPECT_EQ(update[0], QJsonValue(true));
    EXPECT_EQ(update[3], QJsonValue(QStringLiteral("setVendedorItem")));
    EXPECT_EQ(update[5], QJsonValue(QStringLiteral(
                             "stVendedor0002stFilial0001CDPRODUTO0000000001NRCOMANDA0000000001NRVENDAREST0000000001"
                             "NRPRODCOMVEN000001")));

    // The list again, with the new waiter, closed by the script.
    const QJsonObject again = result.transcript[14];
    EXPECT_EQ(again["result"], QJsonValue(false));
    EXPECT_EQ(again["picked"], QJsonValue(QJsonValue::Null));
    EXPECT_EQ(again["rows"].toArray()[picked].toArray()[1], QJsonValue(QStringLiteral("0002")));
    EXPECT_EQ(itemWaiter("0000000001", "000001"), "0002");
    EXPECT_EQ(itemWaiter("0000000001", "000002"), "0001");
}

TEST_F(ScriptedHostTest, ScriptsThatDoNotFitWhatWaitsStopTheRunWithExitOne) {
    struct Case {
        const char* name;
        QByteArray script;
        const char* stderrText;
        Names calls;
    };
    const Case cases[] = {
        {"a pick while the table keypad waits", "press BlendedBitBtn1\n# comment\n\npick NRCOMANDA=0000000001\n",
         "res00011-host: the script stopped: line 4: 'pick' while a keypad waits\n", kStart + Names{"VerificaAcesso"}},
        {"a keypad line while the list waits", "press BlendedBitBtn1\nkeypad 12\nkeypad 2\n",
         "res00011-host: the script stopped: line 3: 'keypad' while the search list waits\n",
         kStart + Names{"VerificaAcesso", "TecladoNumerico", "MensagemMetodo", "MensagemMetodo", "MensagemMetodo"}},
        {"a button the menu does not have", "press NoSuchButton\n",
         "res00011-host: the script stopped: line 1: the menu has no button NoSuchButton\n", kStart},
        {"a pick of a row the list does not hold", "press BlendedBitBtn1\nkeypad 12\npick NRCOMANDA=0000000009\n",
         "res00011-host: the script stopped: line 3: no row of the list holds NRCOMANDA=0000000009\n",
         kStart + Names{"VerificaAcesso", "TecladoNumerico", "MensagemMetodo", "MensagemMetodo", "MensagemMetodo"}},
        {"lines left when the menu closed", "key ESC\npress BlendedBitBtn1\n",
         "res00011-host: the menu closed with 1 script lines left\n", kStart},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HostRun result = run(c.script);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.error.endsWith(QString::fromUtf8(c.stderrText))) << result.error.toStdString();
        EXPECT_EQ(result.calls(), c.calls);
    }
    EXPECT_EQ(itemWaiter("0000000001", "000001"), "0001");
}

// The package's own screens answer the verbs that fit them, and Cancela goes back one step: a
// table that is not there is refused and the map comes back; the map, the reservation's choice
// and its question each go back to the screen before them when cancelled.
TEST_F(ScriptedHostTest, TheOperationsScreensTakeTheirVerbsAndGoBackOneStepOnCancel) {
    writeStation();
    const HostRun result =
        run("press spbReservarMesa\npick OPCAO=NOVA\ntables 0099\ncancel\npick CLIENTE=Família Souza\n"
            "pick OPCAO=CANCELAR\ncancel\npick OPCAO=VOLTAR\npick cancel\n");
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_EQ(result.calls(),
              (kStart + Names{"VerificaAcesso", "Escolha", "MapaMesas", "Mensagem", "MapaMesas", "Escolha", "Escolha",
                              "ConfirmaCancelaPadrao", "Escolha", "Escolha", "CriaFReservaMesa"}));
    const std::vector<QJsonObject> maps = result.of("MapaMesas");
    ASSERT_EQ(maps.size(), 2u);
    EXPECT_FALSE(maps[1].contains(QStringLiteral("marked")));
    EXPECT_EQ(result.of("Mensagem").at(0)["args"].toArray().at(0),
              QJsonValue(QStringLiteral("Mesa 0099 não existe nesta loja")));
    // The demo's reservation follows the clock: its time is left out.
    const QJsonArray choice = result.of("Escolha").at(2)["args"].toArray();
    EXPECT_EQ(choice.at(1), QJsonValue(QStringLiteral("Escolha o que fazer com a reserva")));
    EXPECT_TRUE(choice.at(2).toString().startsWith(QStringLiteral("Mesa 0002: Família Souza, ")));
    EXPECT_TRUE(choice.at(2).toString().endsWith(QStringLiteral(", 6 pessoas")));
    EXPECT_EQ(result.of("Escolha").at(2)["columns"].toArray(), QJsonArray{QStringLiteral("Opção")});
    EXPECT_TRUE(result.of("ConfirmaCancelaPadrao")
                    .at(0)["args"]
                    .toArray()
                    .at(1)
                    .toString()
                    .startsWith(QStringLiteral("Cancelar a reserva da mesa 0002 para Família Souza ")));
    EXPECT_EQ(result.of("CriaFReservaMesa").at(0)["result"], QJsonValue(QJsonValue::Null));
}

// A script that stops inside an operation, after a change was committed, still leaves that change
// in the transcript.
TEST_F(ScriptedHostTest, ACommittedChangeIsInTheTranscriptWhateverTheScriptDoesNext) {
    writeStation();
    const HostRun result =
        run("press spbTrProduto\ntables 0012\npick NRCOMANDA=0000000001,NRPRODCOMVEN=000001\n"
            "keypad 1\ntables 0015\nconfirm\nkeypad 2\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.error.contains(QStringLiteral("'keypad' while the search list waits")))
        << result.error.toStdString();
    const std::vector<QJsonObject> committed = result.of("Committed");
    ASSERT_EQ(committed.size(), 1u);
    EXPECT_EQ(committed[0]["args"].toArray(), (QJsonArray{QStringLiteral("TRANSFPRODUTO"), QStringLiteral("0012"),
                                                          QStringLiteral("0015"), QJsonValue()}));
    EXPECT_TRUE(committed[0]["result"].toObject().contains(QStringLiteral("to")));
}

TEST_F(ScriptedHostTest, AnEmptyScriptOnlyOpensAndClosesTheMenu) {
    for (const QByteArray& script : {QByteArray(), QByteArray("# nothing to do\n\n   \n")}) {
        const HostRun result = run(script);
        EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();
        EXPECT_EQ(result.calls(), kStart);
    }
    // The command's own end leaves the menu open for the next line, and the keypad the script
    // did not answer is cancelled.
    const HostRun result = run("press BlendedBitBtn1\n");
    EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_EQ(result.calls(), (kStart + Names{"VerificaAcesso", "TecladoNumerico"}));
    ASSERT_EQ(result.lines.size(), 7u);
    EXPECT_TRUE(result.lines[6].endsWith(R"("result":false,"value":""})")) << result.lines[6].toStdString();
}

}  // namespace
