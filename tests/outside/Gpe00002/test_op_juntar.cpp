// Grouping tables, on both engines: a new grouping and its number, joining an existing one, what
// is refused, two terminals numbering at once, and the dialogue around it.
#include "TerminalFixture.h"

#include "Gpe00002.h"
#include "operations/JuntarMesas.h"

namespace {

using namespace opstest;

class JuntarTest : public TerminalTest {
protected:
    void SetUp() override {
        TerminalTest::SetUp();
        if (HasFatalFailure()) return;
        // Free, occupied, reserved and closing tables; grouping 1: 0020, 0021; grouping 3: 0030,
        // 0031 (2 is gone: numbers are not reused).
        QString sql = QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('0001', '0001');\n");
        for (const auto& [number, state] : {std::pair{"0010", "L"},
                                            {"0011", "O"},
                                            {"0012", "R"},
                                            {"0013", "L"},
                                            {"0014", "P"},
                                            {"0015", "L"},
                                            {"0016", "L"},
                                            {"0020", "O"},
                                            {"0021", "O"},
                                            {"0030", "O"},
                                            {"0031", "O"}})
            sql += insert(Table{.mesa = number, .estado = state});
        sql += juncaoMesa("0001", "0001", "0000000001") + juncaoMesa("0001", "0001", "0000000003");
        for (const char* number : {"0020", "0021"}) sql += mesaJuncao("0001", "0001", "0000000001", number);
        for (const char* number : {"0030", "0031"}) sql += mesaJuncao("0001", "0001", "0000000003", number);
        fill(sql);
    }

    std::vector<Gpe00002::TableState> seen(const std::vector<const char*>& numbers) {
        std::vector<Gpe00002::TableState> tables;
        for (const char* number : numbers) tables.push_back(table(number));
        return tables;
    }
    QJsonObject agrupar(Gpe00002::PackageDatabase& db, const std::vector<Gpe00002::TableState>& tables) {
        return Gpe00002::agruparMesas(db, m_station, "0001", "0001", tables);
    }
};

TEST_P(JuntarTest, ANewGroupingTakesTheNextNumberAndAMemberChosenBringsTheOthersIntoItsGrouping) {
    EXPECT_EQ(compact(agrupar(*m_ops, seen({"0011", "0010"}))),
              R"({"added":["0010","0011"],"grouping":"0000000004","new":true,"tables":["0010","0011"]})");
    EXPECT_EQ(
        compact(agrupar(*m_ops, seen({"0012", "0021", "0013"}))),
        R"({"added":["0012","0013"],"grouping":"0000000001","new":false,"tables":["0012","0013","0020","0021"]})");
    EXPECT_EQ(groupings(), (Rows{{"0000000001", "0012"},
                                 {"0000000001", "0013"},
                                 {"0000000001", "0020"},
                                 {"0000000001", "0021"},
                                 {"0000000003", "0030"},
                                 {"0000000003", "0031"},
                                 {"0000000004", "0010"},
                                 {"0000000004", "0011"}}));
    EXPECT_EQ(journal(),
              (Rows{{"AGRUPAR", "0010", "<null>", "0000000004"}, {"AGRUPAR", "0012", "<null>", "0000000001"}}));
    EXPECT_EQ(select(QStringLiteral("SELECT TXANTES, TXDEPOIS FROM GPEJORNAL ORDER BY NRJORNAL")),
              (Rows{{R"({"tables":[]})", R"({"tables":["0010","0011"]})"},
                    {R"({"tables":["0020","0021"]})", R"({"tables":["0012","0013","0020","0021"]})"}}));
}

TEST_P(JuntarTest, RefusesWhatCannotBeGroupedNamingTheTableAndChangesNothing) {
    struct Case {
        const char* name;
        std::vector<const char*> tables;
        QString otherTerminal;  // between the map and the confirmation
        QString message;
        QString before = {};  // what is there before the map
    };
    const Case cases[] = {
        {"one table", {"0010"}, {}, "Escolha duas ou mais mesas para agrupar"},
        {"a closing table", {"0010", "0014"}, {}, "Mesa 0014 está fechando"},
        {"tables of two groupings", {"0020", "0030", "0010"}, {}, "Mesa 0030 já pertence ao agrupamento 3"},
        {"nothing to add", {"0021", "0020"}, {}, "Escolha ao menos uma mesa fora do agrupamento 1"},
        {"a table another terminal changed",
         {"0015", "0016"},
         "UPDATE MESA SET IDSTMESAAUX = 'O' WHERE NRMESA = '0016'",
         "Mesa 0016 foi alterada por outro terminal; tente de novo"},
        {"a table another terminal grouped",
         {"0010", "0011"},
         juncaoMesa("0001", "0001", "0000000009") + mesaJuncao("0001", "0001", "0000000009", "0011"),
         "Mesa 0011 foi alterada por outro terminal; tente de novo"},
        {"a grouping another terminal undid",
         {"0010", "0030"},
         "DELETE FROM MESAJUNCAO WHERE NRJUNMESA = '0000000003'; DELETE FROM JUNCAOMESA WHERE NRJUNMESA = '0000000003'",
         "Mesa 0030 foi alterada por outro terminal; tente de novo"},
        {"a table that is gone",
         {"0010", "0012"},
         "UPDATE MESA SET IDSTMESA = 'I' WHERE NRMESA = '0012'",
         "Mesa 0012 não existe mais nesta loja"},
        {"a member that bad data keeps in a second grouping",
         {"0020", "0010"},
         {},
         "Mesa 0020 já pertence ao agrupamento 9",
         mesaJuncao("0001", "0001", "0000000009", "0020")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.before.isEmpty()) m_db.Execute(c.before);
        const std::vector<Gpe00002::TableState> tables = seen(c.tables);
        if (!c.otherTerminal.isEmpty()) m_db.Execute(c.otherTerminal);
        const Rows before = groupings();
        EXPECT_EQ(refusal([&] { agrupar(*m_ops, tables); }), c.message);
        EXPECT_EQ(groupings(), before);
    }
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(JuntarTest, TwoTerminalsCreatingGroupingsAtOnceTakeDifferentNumbers) {
    const auto first = seen({"0010", "0011"}), second = seen({"0015", "0016"});
    const std::vector<Outcome> outcomes =
        race(QStringLiteral("SELECT * FROM LOJA FOR UPDATE"),
             {[&](auto& db) { return agrupar(db, first); }, [&](auto& db) { return agrupar(db, second); }});
    QStringList numbers;
    for (const Outcome& outcome : outcomes) {
        EXPECT_EQ(outcome.refusal, QString());
        numbers << QJsonDocument::fromJson(outcome.result.toUtf8()).object().value("grouping").toString();
    }
    numbers.sort();
    EXPECT_EQ(numbers, QStringList({"0000000004", "0000000005"}));
    EXPECT_EQ(groupings().size(), 8u);
    expectConsistent();
}

TEST_P(JuntarTest, TheDialogueOffersTablesAsksAndTellsWhatHappened) {
    const QString map =
        QStringLiteral("map Escolha as mesas a agrupar, ou uma mesa de um agrupamento e as mesas a incluir nele: ");
    const QString all = map + "0010,0011,0012,0013,0015,0016,0020,0021,0030,0031";
    struct Case {
        const char* name;
        std::deque<QString> answers;
        const char* meanwhile;
        QStringList calls;
    };
    const Case cases[] = {
        {"a cancelled map", {"cancel"}, nullptr, {all}},
        {"a cancelled question: the map again with the choice marked",
         {"tables 0010,0011", "cancel"},
         nullptr,
         {all, "confirm Agrupar as mesas 0010 e 0011?", all + " [0010,0011]"}},
        {"a refusal before the question: the map again",
         {"tables 0020,0030"},
         nullptr,
         {all, "message 3 Mesa 0030 já pertence ao agrupamento 3", all + " [0020,0030]"}},
        {"a table that does not exist",
         {"tables 0010,0099"},
         nullptr,
         {all, "message 3 Mesa 0099 não existe nesta loja", all}},
        {"a refusal after it",
         {"tables 0010,0011", "confirm"},
         "UPDATE MESA SET IDSTMESAAUX = 'P' WHERE NRMESA = '0011'",
         {all, "confirm Agrupar as mesas 0010 e 0011?",
          "message 3 Mesa 0011 foi alterada por outro terminal; tente de novo"}},
        {"joining a grouping",
         {"tables 0021,0010,0013", "confirm"},
         nullptr,
         {map + "0010,0012,0013,0015,0016,0020,0021,0030,0031",
          "confirm Incluir as mesas 0010 e 0013 no agrupamento 1?",
          "notice Mesas 0010 e 0013 incluídas no agrupamento 1."}},
        {"a new grouping",
         {"tables 0012,0015,0016", "confirm"},
         nullptr,
         {map + "0010,0012,0013,0015,0016,0020,0021,0030,0031", "confirm Agrupar as mesas 0012, 0015 e 0016?",
          "notice Mesas 0012, 0015 e 0016 agrupadas no agrupamento 4."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dialogue([] { Gpe00002::CriaJuntarMesas("J", "0001", "0001"); }, c.answers,
                           QString::fromLatin1(c.meanwhile)),
                  c.calls);
    }
    EXPECT_EQ(journal(),
              (Rows{{"AGRUPAR", "0010", "<null>", "0000000001"}, {"AGRUPAR", "0012", "<null>", "0000000004"}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, JuntarTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
