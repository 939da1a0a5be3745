// The menu's commands: start-up gating by the operator's rights, the guarded hand-overs, the
// consultation of groupings, the keys and the close button. The operations package's routines
// are replaced by recording fakes; the data comes from a real SQLite database.
#include "Cli_res00011.h"
#include "support/FakeRoutines.h"
#include "outside/Gpe00002/ModalDriver.h"
#include "EventGuard.h"
#include "Gpe00002.h"
#include "Screen.h"
#include "TableMap.h"
#include "Mensagemqor.h"
#include "Process.h"
#include "RestaurantSchema.h"
#include "Srv_res00011.h"
#include "TBlendedBitBtn.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using Cli_res00011::frmMenu;

const char* kOperator = "000000000005";

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        Process::setExecutableFolderForTests(m_dir.path());
        qunsetenv("QOR_CONNECTION");
        m_database.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=") +
                                       m_dir.filePath(QStringLiteral("restaurante.db")));
        m_database.Open();
        createRestaurantSchema(m_database);
        writeParameters("S", false);

        Gpe00002::ControleAcess = [this](int code, const std::string& op) {
            record("ControleAcess(" + std::to_string(code) + "," + op + ")");
            const auto answer = m_rights.find(code);
            return answer == m_rights.end() ? std::string("S") : answer->second;
        };
        Gpe00002::VerificaAcesso = [this](int code, const std::string& op, std::string& text) {
            record("VerificaAcesso(" + std::to_string(code) + "," + op + "," + text + ")");
            const bool granted = m_granted;
            text = granted ? "T" + std::to_string(code) : "R" + std::to_string(code);
            return granted;
        };
        Gpe00002::CriaJuntarMesas = [this](const std::string& m, const std::string& f, const std::string& l) {
            record("CriaJuntarMesas(" + m + "," + f + "," + l + ")");
            if (m_operationThrows) throw std::runtime_error("falha na operação");
        };
        Gpe00002::CriaTrComanN = [this](const std::string& k, const std::string& f, const std::string& t) {
            record("CriaTrComanN(" + k + "," + f + "," + t + ")");
        };
        Gpe00002::CriaFReservaMesa = [this] { record("CriaFReservaMesa()"); };
        Gpe00002::ReimprimePedido = [this] { record("ReimprimePedido()"); };
        Gpe00002::CriaConsultaJuncao = [this](const std::string& a, const std::string& f, const std::string& l) {
            record("CriaConsultaJuncao(" + a + "," + f + "," + l + ")");
        };
        Gpe00002::RelFiscais = [this] { record("RelFiscais()"); };
        m_fakes.recordDialogues();
    }

    void TearDown() override { Process::setExecutableFolderForTests({}); }

    void writeParameters(const std::string& lugarMesa, bool impFis) {
        TClientDataSet data;
        const std::pair<const char*, TFieldType> columns[] = {
            {"IDESQUEMA", TFieldType::ftString},        {"CDOPERADORLOGIN", TFieldType::ftString},
            {"ctAgrupMesa", TFieldType::ftInteger},     {"ctCancAgrupMesa", TFieldType::ftInteger},
            {"ctTransfProduto", TFieldType::ftInteger}, {"ctTransfMesa", TFieldType::ftInteger},
            {"ctReservMesa", TFieldType::ftInteger},    {"IDLUGARMESA", TFieldType::ftString},
            {"UTILIZAIMPFIS", TFieldType::ftBoolean},   {"CDCAIXA", TFieldType::ftString},
            {"ctReiVenSatNFCe", TFieldType::ftInteger}};
        for (const auto& [name, type] : columns) data.FieldDefs().push_back({name, type, 0});
        data.CreateDataSet();
        data.Append();
        const QVariant values[] = {QStringLiteral("002"),
                                   QString::fromLatin1(kOperator),
                                   11,
                                   12,
                                   13,
                                   14,
                                   15,
                                   QString::fromStdString(lugarMesa),
                                   impFis,
                                   QStringLiteral("001"),
                                   16};
        for (int i = 0; i < data.FieldCount(); ++i) data.Fields(i).setValue(values[i]);
        data.Post();
        data.SaveToFile(m_dir.filePath(QStringLiteral("PARAMETROSQOR.CDS")));
    }

    void record(const std::string& call) { m_fakes.record(call); }

    // Runs the menu for branch 0001, store 0002; `whileShown` acts on it, and the test learns
    // whether the menu was still open afterwards. The close button closes what is left.
    bool runMenu(const std::function<void()>& whileShown) {
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            m_calls.clear();
            whileShown();
            stillOpen = frmMenu && frmMenu->isVisible();
            if (stillOpen) frmMenu->lblSairClick();
        });
        Cli_res00011::CriaMenuMesa("0001", "0002", "0003", "ARG");
        return stillOpen;
    }

    static void click(TBlendedBitBtn* button) { QTest::mouseClick(button, Qt::LeftButton); }

    QTemporaryDir m_dir;
    TADOConnection m_database;
    FakeRoutines m_fakes;
    std::vector<std::string>& m_calls = m_fakes.calls;
    std::map<int, std::string> m_rights;
    bool m_granted = true;
    bool m_operationThrows = false;
};

using Calls = std::vector<std::string>;

TEST_F(CommandsTest, GatesFiveButtonsByTheExactAnswerNAndTheSeatTransferByTheOption) {
    m_rights = {{11, "N"}, {12, "n"}, {13, ""}, {14, "S"}, {15, "N "}};
    std::map<std::string, bool> enabled;
    Calls gating;
    QTimer::singleShot(0, [&] {
        for (TBlendedBitBtn* button : frmMenu->findChildren<TBlendedBitBtn*>())
            enabled[button->objectName().toStdString()] = button->isEnabled();
        frmMenu->lblSairClick();
    });
    m_calls.clear();
    Cli_res00011::CriaMenuMesa("0001", "0002", "0003", "ARG");
    EXPECT_EQ(m_calls, (Calls{"ControleAcess(11,000000000005)", "ControleAcess(12,000000000005)",
                              "ControleAcess(13,000000000005)", "ControleAcess(14,000000000005)",
                              "ControleAcess(15,000000000005)"}));
    const std::map<std::string, bool> expected = {
        {"spbUnirMesa", false},        {"spbSepararMesa", true}, {"spbTrProduto", true},     {"spbTranferirMesa", true},
        {"spbReservarMesa", true},     {"spbTrPosicao", true},   {"sbtConsultaAgrup", true}, {"BlendedBitBtn1", true},
        {"spbReimprimirPedido", true}, {"lblSair", true},
    };
    EXPECT_EQ(enabled, expected);

    // Refused everything: only the five gated buttons go grey.
    m_rights = {{11, "N"}, {12, "N"}, {13, "N"}, {14, "N"}, {15, "N"}, {16, "N"}};
    runMenu([&] {
        EXPECT_FALSE(frmMenu->spbSepararMesa->isEnabled());
        EXPECT_TRUE(frmMenu->spbTrPosicao->isEnabled()) << "not asked of the access control";
        EXPECT_TRUE(frmMenu->spbReimprimirPedido->isEnabled()) << "checked only when pressed";
        EXPECT_TRUE(frmMenu->sbtConsultaAgrup->isEnabled());
        EXPECT_TRUE(frmMenu->BlendedBitBtn1->isEnabled());
    });

    for (const char* option : {"s", " S", "S ", "", "N"}) {
        SCOPED_TRACE(std::string("IDLUGARMESA '") + option + "'");
        writeParameters(option, false);
        runMenu([&] { EXPECT_FALSE(frmMenu->spbTrPosicao->isEnabled()); });
    }
}

TEST_F(CommandsTest, GuardedButtonsAskAgainAndHandOverOrStayOpen) {
    struct Case {
        const char* button;
        std::function<TBlendedBitBtn*()> find;
        int code;
        const char* operation;  // with the text the access check left
    };
    const Case cases[] = {
        {"spbUnirMesa", [] { return frmMenu->spbUnirMesa; }, 11, "CriaJuntarMesas(J,0001,0002)"},
        {"spbSepararMesa", [] { return frmMenu->spbSepararMesa; }, 12, "CriaJuntarMesas(S,0001,0002)"},
        {"spbTranferirMesa", [] { return frmMenu->spbTranferirMesa; }, 14, "CriaTrComanN(1,S,T14)"},
        {"spbTrProduto", [] { return frmMenu->spbTrProduto; }, 13, "CriaTrComanN(2,N,T13)"},
        {"spbTrPosicao", [] { return frmMenu->spbTrPosicao; }, 14, "CriaTrComanN(3,S,T14)"},
        {"spbReservarMesa", [] { return frmMenu->spbReservarMesa; }, 15, "CriaFReservaMesa()"},
        {"spbReimprimirPedido", [] { return frmMenu->spbReimprimirPedido; }, 16, "ReimprimePedido()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        const std::string check = "VerificaAcesso(" + std::to_string(c.code) + ",000000000005,";
        m_granted = true;
        EXPECT_FALSE(runMenu([&] { click(c.find()); })) << "a granted command closes the menu";
        EXPECT_EQ(m_calls, (Calls{check + ")", c.operation}));

        m_granted = false;
        EXPECT_TRUE(runMenu([&] {
            click(c.find());
            click(c.find());  // the text left by the first check goes into the second
        })) << "a refused command leaves the menu open";
        const std::string left = "R" + std::to_string(c.code);
        EXPECT_EQ(m_calls, (Calls{check + ")", check + left + ")"}));
    }
}

TEST_F(CommandsTest, ADisabledButtonDoesNothingAndAFailingOperationEndsOnlyTheCommand) {
    m_rights = {{11, "N"}};
    EXPECT_TRUE(runMenu([&] { click(frmMenu->spbUnirMesa); }));
    EXPECT_EQ(m_calls, Calls{});

    m_operationThrows = true;
    EXPECT_TRUE(runMenu([&] { click(frmMenu->spbSepararMesa); }));
    EXPECT_EQ(m_calls,
              (Calls{"VerificaAcesso(12,000000000005,)", "CriaJuntarMesas(S,0001,0002)", "Erro(falha na operação)"}));
}

TEST_F(CommandsTest, ADoubleTapOnAButtonLeavesTheMapItOpensUntouched) {
    const SettleTime settle(300);
    struct Case {
        const char* button;
        std::function<TBlendedBitBtn*()> find;
    };
    const Case cases[] = {
        {"spbUnirMesa", [] { return frmMenu->spbUnirMesa; }},
        {"spbSepararMesa", [] { return frmMenu->spbSepararMesa; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        std::optional<QStringList> chosen;
        bool stillOpen = false;
        // The menu's own operation, over three tables: it shows the map under the finger.
        Gpe00002::CriaJuntarMesas = [&](const std::string& modo, const std::string&, const std::string&) {
            Gpe00002::TableMapRequest request{QStringLiteral("Mesas"), QStringLiteral("Escolha"), {}, modo == "J", 2};
            for (const char* numero : {"0012", "0014", "0016"}) {
                Gpe00002::MapTable table;
                table.mesa.numero = QString::fromLatin1(numero);
                table.mesa.estado = QStringLiteral("L");
                request.tables.push_back(table);
            }
            Gpe00002::TableMapDialog map(request);
            onModal([&](QWidget*) {
                // The second tap of the double tap, 150 ms after the map appeared, on the table
                // under the finger.
                Finger::sync();
                Finger::tap(map.findChild<QWidget*>(QStringLiteral("mesa0014")), 150, true);
                stillOpen = map.isVisible();
                map.reject();
            });
            if (Screen::showModal(map) == QDialog::Accepted) chosen = map.chosen();
            if (!chosen) chosen = map.map()->chosen();
        };
        runMenu([&] { Finger::tap(c.find(), 1000); });
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(chosen, QStringList());
    }
}

TEST_F(CommandsTest, ConsultationShowsTheMessageWithoutGroupingsAndHandsOverWithOne) {
    EXPECT_TRUE(runMenu([&] { click(frmMenu->sbtConsultaAgrup); }));
    EXPECT_EQ(m_calls, (Calls{"MensagemMetodo(getNrJuncao,Cli_Res00011,0001-0002,002)",
                              "Mensagem(Não existe nenhum agrupamento de mesas.,0,002)"}));

    m_database.Execute(
        QStringLiteral("INSERT INTO JUNCAOMESA (CDFILIAL, CDLOJA, NRJUNMESA) VALUES ('0001', '0003', '0000000009');"
                       "INSERT INTO JUNCAOMESA (CDFILIAL, CDLOJA, NRJUNMESA) VALUES ('0002', '0002', '0000000008')"));
    EXPECT_TRUE(runMenu([&] { click(frmMenu->sbtConsultaAgrup); })) << "groupings of other stores do not count";

    m_database.Execute(
        QStringLiteral("INSERT INTO JUNCAOMESA (CDFILIAL, CDLOJA, NRJUNMESA) VALUES ('0001', '0002', '0000000001')"));
    EXPECT_FALSE(runMenu([&] { click(frmMenu->sbtConsultaAgrup); }));
    EXPECT_EQ(m_calls,
              (Calls{"MensagemMetodo(getNrJuncao,Cli_Res00011,0001-0002,002)", "CriaConsultaJuncao(ARG,0001,0002)"}));

    // A database failure is reported once, by the event guard, and the menu stays open.
    m_database.Execute(QStringLiteral("DROP TABLE JUNCAOMESA"));
    EXPECT_TRUE(runMenu([&] { click(frmMenu->sbtConsultaAgrup); }));
    ASSERT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(m_calls[0], "MensagemMetodo(getNrJuncao,Cli_Res00011,0001-0002,002) -> text");
    EXPECT_EQ(m_calls[1].rfind("Erro(Erro em getNrJuncao (0001-0002): Erro de banco de dados:", 0), 0u) << m_calls[1];
    EXPECT_NE(m_calls[1].find("JUNCAOMESA"), std::string::npos) << m_calls[1];
}

TEST_F(CommandsTest, KeysF1WithAFiscalPrinterAndEscWhateverTheShiftState) {
    struct Case {
        const char* name;
        bool impFis;
        Qt::Key key;
        Qt::KeyboardModifiers shift;
        bool stillOpen;
        Calls calls;
    };
    const Case cases[] = {
        {"F1 with a fiscal printer", true, Qt::Key_F1, Qt::NoModifier, true, {"RelFiscais()"}},
        {"Shift+F1 with a fiscal printer", true, Qt::Key_F1, Qt::ShiftModifier, true, {"RelFiscais()"}},
        {"F1 without a fiscal printer", false, Qt::Key_F1, Qt::NoModifier, true, {}},
        {"Esc", false, Qt::Key_Escape, Qt::NoModifier, false, {}},
        {"Ctrl+Esc with a fiscal printer", true, Qt::Key_Escape, Qt::ControlModifier, false, {}},
        {"another key", true, Qt::Key_F2, Qt::NoModifier, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeParameters("S", c.impFis);
        EXPECT_EQ(runMenu([&] { QTest::keyClick(frmMenu, c.key, c.shift); }), c.stillOpen);
        EXPECT_EQ(m_calls, c.calls);
    }
}

}  // namespace
