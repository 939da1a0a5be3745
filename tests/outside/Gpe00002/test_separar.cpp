// Separating a table from its grouping, on both engines: what it leaves, what it refuses, the
// journal, and a terminal holding the grouping.
#include "OperationsFixture.h"

#include "operations/SepararMesa.h"

#include <QElapsedTimer>
#include <QJsonDocument>

namespace {

using namespace opstest;

class SepararTest : public OperationsTest {
protected:
    void SetUp() override {
        OperationsTest::SetUp();
        if (HasFatalFailure()) return;
        // Grouping 1: 0020, 0021, 0022; grouping 2: 0030, 0031; 0040 in none.
        QString sql;
        for (const char* number : {"0020", "0021", "0022", "0030", "0031", "0040"})
            sql += insert(Table{.mesa = number, .estado = "O"});
        sql += juncaoMesa("0001", "0001", "0000000001") + juncaoMesa("0001", "0001", "0000000002");
        for (const char* number : {"0020", "0021", "0022"}) sql += mesaJuncao("0001", "0001", "0000000001", number);
        for (const char* number : {"0030", "0031"}) sql += mesaJuncao("0001", "0001", "0000000002", number);
        fill(sql);
    }

    QJsonObject separar(const char* number) {
        return Gpe00002::separarMesa(*m_ops, m_station, "0001", "0001", table(number));
    }
};

TEST_P(SepararTest, TheTableLeavesAndAGroupingOfOneGoesWithItsLastTable) {
    EXPECT_EQ(QJsonDocument(separar("0021")).toJson(QJsonDocument::Compact),
              R"({"grouping":"0000000001","remaining":["0020","0022"],"table":"0021"})");
    EXPECT_EQ(QJsonDocument(separar("0031")).toJson(QJsonDocument::Compact),
              R"({"grouping":"0000000002","remaining":[],"removed":true,"table":"0031"})");
    EXPECT_EQ(groupings(), (Rows{{"0000000001", "0020"}, {"0000000001", "0022"}}));
    EXPECT_EQ(select(QStringLiteral("SELECT NRJUNMESA FROM JUNCAOMESA ORDER BY NRJUNMESA")), (Rows{{"0000000001"}}));
    EXPECT_EQ(journal(),
              (Rows{{"SEPARAR", "0021", "<null>", "0000000001"}, {"SEPARAR", "0031", "<null>", "0000000002"}}));
}

TEST_P(SepararTest, RefusesWhatIsNotAsSeenAndChangesNothing) {
    struct Case {
        const char* name;
        const char* table;
        const char* otherTerminal;  // what changes between the map and the confirmation
        QString message;
    };
    const Case cases[] = {
        {"a table in no grouping", "0040", nullptr, "Mesa 0040 não pertence a nenhum agrupamento"},
        {"a table another terminal separated meanwhile", "0021", "DELETE FROM MESAJUNCAO WHERE NRMESA = '0021'",
         "Mesa 0021 foi alterada por outro terminal; tente de novo"},
        {"a grouping another terminal undid meanwhile", "0030",
         "DELETE FROM MESAJUNCAO WHERE NRJUNMESA = '0000000002'; DELETE FROM JUNCAOMESA WHERE NRJUNMESA = '0000000002'",
         "Mesa 0030 foi alterada por outro terminal; tente de novo"},
        {"a table that is gone", "0022", "UPDATE MESA SET IDSTMESA = 'I' WHERE NRMESA = '0022'",
         "Mesa 0022 não existe mais nesta loja"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Gpe00002::TableState seen = table(c.table);
        if (c.otherTerminal) m_db.Execute(QString::fromLatin1(c.otherTerminal));
        const Rows before = groupings();
        EXPECT_EQ(refusal([&] { Gpe00002::separarMesa(*m_ops, m_station, "0001", "0001", seen); }), c.message);
        EXPECT_EQ(groupings(), before);
    }
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(SepararTest, AGroupingAnotherTerminalHoldsEndsInTryAgainWithinTheTimeLimit) {
    const Gpe00002::TableState seen = table("0030");
    m_db.Execute(postgres() ? QStringLiteral("BEGIN; SELECT * FROM JUNCAOMESA FOR UPDATE")
                            : QStringLiteral("BEGIN IMMEDIATE"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(refusal([&] { Gpe00002::separarMesa(*m_ops, m_station, "0001", "0001", seen); }),
              "Mesa 0030 está em uso em outro terminal; tente de novo");
    EXPECT_LT(timer.elapsed(), 4000);
    m_db.Execute(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(groupings().size(), 5u);
    EXPECT_EQ(journal(), Rows{});
}

INSTANTIATE_TEST_SUITE_P(Engines, SepararTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
