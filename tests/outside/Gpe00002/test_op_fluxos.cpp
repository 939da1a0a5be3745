// What every operation's dialogue shares, on both engines: a station set up for another store
// than the open menu's is refused before anything is shown, a table number that is no table of
// the store is named and the map comes back, and the separation goes back one step on Cancela.
#include "ItemsFixture.h"

#include "Gpe00002.h"
#include "TClientDataSet.h"
#include "routines/Dialogues.h"

#include <QApplication>
#include <QDialog>

namespace {

using namespace opstest;

// The menu's form while an operation runs: a shown top-level dialog "frmMenu" carrying the
// branch and the store it was opened for.
class OpenMenu {
public:
    OpenMenu(const char* filial, const char* loja) {
        if (!QApplication::instance()) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "test_gpe00002_operations";
            static char* argv[] = {name, nullptr};
            // Kept for the rest of the process: a second QApplication is not to be made.
            new QApplication(argc, argv);
        }
        m_form = std::make_unique<QDialog>();
        m_form->setObjectName(QStringLiteral("frmMenu"));
        m_form->setProperty("stFilial", QString::fromLatin1(filial));
        m_form->setProperty("stLoja", QString::fromLatin1(loja));
        m_form->show();
    }

private:
    std::unique_ptr<QDialog> m_form;  // made once the application is there
};

class FluxosTest : public ItemsTest {
protected:
    void SetUp() override {
        ItemsTest::SetUp();
        if (HasFatalFailure()) return;
        // 0011 and 0012 in grouping 7; 0016 reserved.
        fill(juncaoMesa("0001", "0001", "0000000007") + mesaJuncao("0001", "0001", "0000000007", "0011") +
             mesaJuncao("0001", "0001", "0000000007", "0012") + insert(Table{.mesa = "0016", .estado = "R"}));
    }

    Rows everything() {
        Rows rows = allItems();
        for (const Rows& more : {select("SELECT NRMESA, IDSTMESAAUX FROM MESA ORDER BY NRMESA"), groupings(),
                                 select("SELECT NRVENDAREST, NRMESA FROM VENDAREST ORDER BY NRVENDAREST")})
            rows.insert(rows.end(), more.begin(), more.end());
        return rows;
    }
};

struct FlowCase {
    const char* name;
    std::function<void()> run;
};
const FlowCase kStationFlows[] = {
    {"table transfer", [] { Gpe00002::CriaTrComanN("1", "S", "S"); }},
    {"product transfer", [] { Gpe00002::CriaTrComanN("2", "N", "S"); }},
    {"seat transfer", [] { Gpe00002::CriaTrComanN("3", "S", "S"); }},
    {"reservation", [] { Gpe00002::CriaFReservaMesa(); }},
    {"reprint", [] { Gpe00002::ReimprimePedido(); }},
    {"waiters' report", [] { Gpe00002::RelFiscais(); }},
};

TEST_P(FluxosTest, AStationOfAnotherStoreThanTheOpenMenusIsRefusedNamingBothAndChangesNothing) {
    const Rows before = everything();
    const QString store =
        "message 3 Este terminal está configurado para a loja 0001, o menu foi aberto para a loja 0002";
    for (const FlowCase& flow : kStationFlows) {
        SCOPED_TRACE(flow.name);
        OpenMenu menu("0001", "0002");
        EXPECT_EQ(dialogue(flow.run, {"tables 0011", "confirm"}), QStringList{store});
    }
    const struct {
        const char* filial;
        const char* loja;
        const char* message;
    } menus[] = {
        {"0002", "0001", "Este terminal está configurado para a filial 0001, o menu foi aberto para a filial 0002"},
        {"0002", "0003",
         "Este terminal está configurado para a filial 0001 e a loja 0001, o menu foi aberto para a filial 0002 e a "
         "loja 0003"},
    };
    for (const auto& m : menus) {
        SCOPED_TRACE(m.message);
        OpenMenu menu(m.filial, m.loja);
        EXPECT_EQ(dialogue(kStationFlows[0].run, {"tables 0011"}), QStringList{"message 3 " + QString(m.message)});
    }
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(journal(), Rows{});

    // The menu's own store, or no menu: the operation goes on. The grouping operations act on the
    // store the menu gives them, whatever the station says.
    const QString first = "map Escolha a mesa a transferir: 0011,0012,0013,0014,0015";
    {
        OpenMenu menu("0001", "0001");
        EXPECT_EQ(dialogue(kStationFlows[0].run, {}), QStringList{first});
    }
    EXPECT_EQ(dialogue(kStationFlows[0].run, {}), QStringList{first});
    OpenMenu other("0002", "0002");
    EXPECT_EQ(dialogue([] { Gpe00002::CriaJuntarMesas("S", "0001", "0001"); }, {}),
              QStringList{"map Escolha a mesa a separar do seu agrupamento: 0011,0012"});
}

TEST_P(FluxosTest, ATableNumberThatIsNoTableOfTheStoreIsNamedAndTheMapComesBack) {
    // The reservation's screen opens on the day's list, not on the map (its map is tested with
    // the reservations).
    const FlowCase flows[] = {
        kStationFlows[0],
        kStationFlows[1],
        kStationFlows[2],
        kStationFlows[4],
        {"separation", [] { Gpe00002::CriaJuntarMesas("S", "0001", "0001"); }},
    };
    for (const FlowCase& flow : flows) {
        SCOPED_TRACE(flow.name);
        const QStringList calls = dialogue(flow.run, {"tables 0099"});
        ASSERT_EQ(calls.size(), 3);
        EXPECT_EQ(calls[1], "message 3 Mesa 0099 não existe nesta loja");
        EXPECT_EQ(calls[2], calls[0]);
    }
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(FluxosTest, TheSeparationAsksNamingTheGroupingAsItsBadgeShowsItAndGoesBackToTheMap) {
    const QString map = "map Escolha a mesa a separar do seu agrupamento: 0011,0012";
    const QString question = "confirm Separar a mesa 0011 do agrupamento 7?";
    const auto separar = [] { Gpe00002::CriaJuntarMesas("S", "0001", "0001"); };
    EXPECT_EQ(dialogue(separar, {"tables 0011", "cancel"}), (QStringList{map, question, map + " [0011]"}));
    EXPECT_EQ(journal(), Rows{});
    EXPECT_EQ(dialogue(separar, {"tables 0011", "confirm"}),
              (QStringList{map, question, "notice Mesa 0011 separada; o agrupamento 7 foi desfeito."}));
    EXPECT_EQ(groupings(), Rows{});
}

// The notice offers Desfazer; with the station's access code (CTDESFAZER) it needs the operator's
// access, and it asks first. Cancela on the question, or no access, shows the notice again.
TEST_P(FluxosTest, TheNoticeUndoesTheChangeOnlyWhenTheOperatorMayAndConfirms) {
    {
        TClientDataSet file;
        for (const char* column : {"CDFILIAL", "CDLOJA", "CDCAIXA", "CDOPERADORLOGIN", "CTDESFAZER"})
            file.FieldDefs().push_back({column, TFieldType::ftString, 12});
        file.CreateDataSet();
        file.Append();
        for (int i = 0; i < 5; ++i)
            file.Fields(i).setAsString(QStringList{"0001", "0001", "001", "000000000005", "77"}[i]);
        file.Post();
        file.SaveToFile(m_dir.filePath(QStringLiteral("PARAMETROSQOR.CDS")));
    }
    const Gpe00002::TAcesso acesso = Gpe00002::Acesso;
    const QString done = "Mesa 0011 separada; o agrupamento 7 foi desfeito.";
    const QString undo = "confirm Desfazer a operação? " + done;
    const Rows before = groupings();
    struct Case {
        const char* name;
        bool allowed;
        std::deque<QString> answers;  // after the separation's map and question
        QStringList shown;            // after its notice
        bool undone;
    };
    const Case cases[] = {
        {"closed with OK", true, {}, {}, false},
        {"no access", false, {"undo"}, {"access 77 000000000005", "notice " + done}, false},
        {"question cancelled", true, {"undo", "cancel"}, {"access 77 000000000005", undo, "notice " + done}, false},
        {"undone",
         true,
         {"undo", "confirm"},
         {"access 77 000000000005", undo, "message 0 Operação desfeita: " + done},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fill(QStringLiteral("DELETE FROM MESAJUNCAO; DELETE FROM JUNCAOMESA;\n") +
             juncaoMesa("0001", "0001", "0000000007") + mesaJuncao("0001", "0001", "0000000007", "0011") +
             mesaJuncao("0001", "0001", "0000000007", "0012"));
        QStringList asked;
        Gpe00002::Acesso = [&](int codigo, const QString& operador) {
            asked << QStringLiteral("access %1 %2").arg(codigo).arg(operador);
            return c.allowed;
        };
        std::deque<QString> answers{"tables 0011", "confirm"};
        answers.insert(answers.end(), c.answers.begin(), c.answers.end());
        QStringList calls = dialogue([] { Gpe00002::CriaJuntarMesas("S", "0001", "0001"); }, answers);
        Gpe00002::Acesso = acesso;
        ASSERT_GE(calls.size(), 3);
        EXPECT_EQ(calls[2], "notice " + done);
        calls = calls.mid(3);
        // The access asked is recorded apart: put it where it was asked, after the notice.
        if (!asked.isEmpty()) calls.prepend(asked.front());
        EXPECT_EQ(calls, c.shown);
        EXPECT_EQ(groupings(), c.undone ? before : Rows{});
        EXPECT_EQ(select("SELECT IDOPERACAO FROM GPEJORNAL WHERE NRJORNAL = (SELECT MAX(NRJORNAL) FROM GPEJORNAL)"),
                  (Rows{{c.undone ? "DESFAZER" : "SEPARAR"}}));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, FluxosTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
