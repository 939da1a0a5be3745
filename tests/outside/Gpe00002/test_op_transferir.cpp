// Transferring a table, on both engines: what moves and what stays, what is refused, two
// terminals at once, a terminal killed in the middle, and the dialogue around it.
#include "TerminalFixture.h"

#include "Gpe00002.h"
#include "operations/JuntarMesas.h"
#include "operations/TransferirMesa.h"

#include <QProcess>

namespace {

using namespace opstest;

class TransferirTest : public TerminalTest {
protected:
    void SetUp() override {
        TerminalTest::SetUp();
        if (HasFatalFailure()) return;
        // Grouping 1: 0011 and 0012, occupied; 0013 with two open sales; 0018 closing; free tables
        // 0014 and 0015; tables that cannot receive one: 0016 and 0017 reserved, 0019 free but
        // with an open sale, 0020 and 0021 in grouping 2, 0022 in a state of its own.
        QString sql = QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('0001', '0001');\n");
        for (const auto& [number, state] : {std::pair{"0011", "O"},
                                            {"0012", "O"},
                                            {"0013", "O"},
                                            {"0014", "L"},
                                            {"0015", "L"},
                                            {"0016", "R"},
                                            {"0017", "L"},
                                            {"0018", "P"},
                                            {"0019", "L"},
                                            {"0020", "L"},
                                            {"0021", "L"},
                                            {"0022", "X"}})
            sql += insert(Table{.mesa = number, .estado = state});
        for (const auto& [sale, number] : {std::pair{"0000000001", "0011"},
                                           {"0000000002", "0012"},
                                           {"0000000003", "0013"},
                                           {"0000000004", "0013"},
                                           {"0000000005", "0018"},
                                           {"0000000006", "0019"}})
            sql += insert(Sale{.venda = sale, .mesa = number});
        sql += insert(Sale{.venda = "0000000009", .mesa = "0011", .fechamento = "2024-06-14 18:00:00"});
        sql += insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0011"}) +
               insert(Item{.venda = "0000000001", .comanda = "0000000001", .item = "000001", .produto = "0000000001"});
        sql += juncaoMesa("0001", "0001", "0000000001") + juncaoMesa("0001", "0001", "0000000002");
        for (const char* number : {"0011", "0012"}) sql += mesaJuncao("0001", "0001", "0000000001", number);
        for (const char* number : {"0020", "0021"}) sql += mesaJuncao("0001", "0001", "0000000002", number);
        // A reservation whose hold has begun: the table is reserved although MESA says free.
        sql += reservation(1, {"0017"}, "Ana", QDateTime::currentDateTime().addSecs(600));
        fill(sql);
    }

    QJsonObject transferir(Gpe00002::PackageDatabase& db, const Gpe00002::TableState& from,
                           const Gpe00002::TableState& to) {
        return Gpe00002::transferirMesa(db, m_station, "0001", "0001", from, to);
    }
    QJsonObject transferir(const char* from, const char* to) { return transferir(*m_ops, table(from), table(to)); }

    // Every table's state, every sale's table and close, every grouping's member.
    Rows state() {
        Rows rows = select(QStringLiteral("SELECT NRMESA, IDSTMESAAUX FROM MESA ORDER BY NRMESA"));
        for (const Rows& more :
             {select(QStringLiteral("SELECT NRVENDAREST, NRMESA, DTHRFECHMESA FROM VENDAREST ORDER BY NRVENDAREST")),
              groupings()})
            rows.insert(rows.end(), more.begin(), more.end());
        return rows;
    }
};

TEST_P(TransferirTest, TheOpenSalesStateAndGroupingPlaceMoveAndNothingElseOfTheSales) {
    const auto salesAsTheyAre = [this] {
        return std::vector<Rows>{
            select(QStringLiteral(
                "SELECT NRVENDAREST, CDLOJA, DTHRABERMESA, CDOPERADOR, CDVENDEDOR, NRPESMESAVEN FROM VENDAREST "
                "ORDER BY NRVENDAREST")),
            select(QStringLiteral("SELECT * FROM COMANDAVEN")), select(QStringLiteral("SELECT * FROM ITCOMANDAVEN"))};
    };
    const std::vector<Rows> sales = salesAsTheyAre();
    EXPECT_EQ(compact(transferir("0011", "0014")),
              R"({"from":"0011","grouping":"0000000001","sales":["0000000001"],"to":"0014"})");
    EXPECT_EQ(compact(transferir("0013", "0015")),
              R"({"from":"0013","grouping":null,"sales":["0000000003","0000000004"],"to":"0015"})");
    EXPECT_EQ(compact(transferir("0018", "0011")),
              R"({"from":"0018","grouping":null,"sales":["0000000005"],"to":"0011"})");
    EXPECT_EQ(
        select(QStringLiteral("SELECT NRMESA, IDSTMESAAUX FROM MESA WHERE NRMESA IN ('0011', '0013', '0014', '0015', "
                              "'0018') ORDER BY NRMESA")),
        (Rows{{"0011", "P"}, {"0013", "L"}, {"0014", "O"}, {"0015", "O"}, {"0018", "L"}}));
    EXPECT_EQ(select(QStringLiteral("SELECT NRVENDAREST, NRMESA FROM VENDAREST ORDER BY NRVENDAREST")),
              (Rows{{"0000000001", "0014"},
                    {"0000000002", "0012"},
                    {"0000000003", "0015"},
                    {"0000000004", "0015"},
                    {"0000000005", "0011"},
                    {"0000000006", "0019"},
                    {"0000000009", "0011"}}));
    EXPECT_EQ(groupings(),
              (Rows{{"0000000001", "0012"}, {"0000000001", "0014"}, {"0000000002", "0020"}, {"0000000002", "0021"}}));
    EXPECT_EQ(salesAsTheyAre(), sales);
    EXPECT_EQ(journal(), (Rows{{"TRANSFMESA", "0011", "0014", "0000000001"},
                               {"TRANSFMESA", "0013", "0015", "<null>"},
                               {"TRANSFMESA", "0018", "0011", "<null>"}}));
    EXPECT_EQ(select(QStringLiteral("SELECT TXANTES, TXDEPOIS FROM GPEJORNAL ORDER BY NRJORNAL")).at(0),
              (Row{R"({"from":{"grouping":"0000000001","sales":["0000000001"],"state":"O","table":"0011"},)"
                   R"("stored":{"0011":"O","0014":"L"},"to":{"grouping":null,"sales":[],"state":"L","table":"0014"}})",
                   R"({"from":{"grouping":null,"sales":[],"state":"L","table":"0011"},)"
                   R"("to":{"grouping":"0000000001","sales":["0000000001"],"state":"O","table":"0014"}})"}));
}

TEST_P(TransferirTest, RefusesNamingTheTableAndTheReasonAndChangesNothing) {
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        QString otherTerminal;  // between the maps and the confirmation
        QString message;
    };
    const Case cases[] = {
        {"the same table", "0011", "0011", {}, "Escolha uma mesa de destino diferente da mesa 0011"},
        {"a source without an open sale", "0014", "0015", {}, "Mesa 0014 não tem venda aberta"},
        {"an occupied target", "0011", "0013", {}, "Mesa 0013 está ocupada"},
        {"a free target with an open sale", "0011", "0019", {}, "Mesa 0019 está ocupada"},
        {"a reserved target", "0011", "0016", {}, "Mesa 0016 está reservada"},
        {"a free target with an active reservation", "0011", "0017", {}, "Mesa 0017 está reservada"},
        {"a closing target", "0011", "0018", {}, "Mesa 0018 está fechando"},
        {"a grouped target", "0011", "0020", {}, "Mesa 0020 já pertence ao agrupamento 2"},
        {"a target in another state", "0011", "0022", {}, "Mesa 0022 não está livre"},
        {"a target another terminal took", "0011", "0014", insert(Sale{.venda = "0000000007", .mesa = "0014"}),
         "Mesa 0014 foi alterada por outro terminal; tente de novo"},
        {"a sale another terminal closed", "0013", "0015",
         "UPDATE VENDAREST SET DTHRFECHMESA = '2024-06-14 22:00:00' WHERE NRMESA = '0013'",
         "Mesa 0013 foi alterada por outro terminal; tente de novo"},
        {"a grouping another terminal undid", "0012", "0015",
         "DELETE FROM MESAJUNCAO WHERE NRJUNMESA = '0000000001'; DELETE FROM JUNCAOMESA WHERE NRJUNMESA = '0000000001'",
         "Mesa 0012 foi alterada por outro terminal; tente de novo"},
        {"a target that is gone", "0011", "0015", "UPDATE MESA SET IDSTMESA = 'I' WHERE NRMESA = '0015'",
         "Mesa 0015 não existe mais nesta loja"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Gpe00002::TableState from = table(c.from), to = table(c.to);
        if (!c.otherTerminal.isEmpty()) m_db.Execute(c.otherTerminal);
        const Rows before = state();
        EXPECT_EQ(refusal([&] { transferir(*m_ops, from, to); }), c.message);
        EXPECT_EQ(state(), before);
    }
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(TransferirTest, OfTwoTerminalsTransferringIntoTheSameFreeTableOneWins) {
    const auto first = table("0011"), second = table("0013"), target = table("0014");
    const std::vector<Outcome> outcomes = race(QStringLiteral("SELECT * FROM MESA WHERE NRMESA = '0014' FOR UPDATE"),
                                               {[&](auto& db) { return transferir(db, first, target); },
                                                [&](auto& db) { return transferir(db, second, target); }});
    const Outcome& winner = outcomes[0].refusal.isEmpty() ? outcomes[0] : outcomes[1];
    const Outcome& loser = outcomes[0].refusal.isEmpty() ? outcomes[1] : outcomes[0];
    if (postgres()) {
        EXPECT_EQ(&winner, &outcomes[0]) << "the server lets them go in the order they came";
    }
    EXPECT_NE(winner.result, QString());
    EXPECT_EQ(loser.refusal, "Mesa 0014 foi alterada por outro terminal; tente de novo");
    EXPECT_EQ(journal().size(), 1u);
    const Rows moved =
        select(QStringLiteral("SELECT NRVENDAREST FROM VENDAREST WHERE NRMESA = '0014' ORDER BY NRVENDAREST"));
    EXPECT_EQ(moved, &winner == &outcomes[0] ? Rows{{"0000000001"}} : (Rows{{"0000000003"}, {"0000000004"}}));
    expectConsistent();
}

TEST_P(TransferirTest, GroupingAndTransferringTheSameTableAtOnceLeaveOneOfThem) {
    struct Case {
        const char* name;
        bool groupingFirst;
        const char* member;  // of grouping 2, chosen to bring the target into it
        const char* target;  // free; the transfer's source is in grouping 1
        const char* source;
    };
    const Case cases[] = {{"grouping first", true, "0020", "0014", "0011"},
                          {"transfer first", false, "0021", "0015", "0012"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Gpe00002::TableState> grouped{table(c.member), table(c.target)};
        const auto source = table(c.source), target = table(c.target);
        const TerminalTest::Operation group = [&](auto& db) {
            return Gpe00002::agruparMesas(db, m_station, "0001", "0001", grouped);
        };
        const TerminalTest::Operation transfer = [&](auto& db) { return transferir(db, source, target); };
        const std::size_t journalBefore = journal().size();
        const std::vector<Outcome> outcomes =
            race(QStringLiteral("SELECT * FROM MESA WHERE NRMESA = '%1' FOR UPDATE").arg(c.target),
                 c.groupingFirst ? std::vector{group, transfer} : std::vector{transfer, group});
        const int winners =
            std::count_if(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.refusal.isEmpty(); });
        ASSERT_EQ(winners, 1);
        const bool firstWon = outcomes[0].refusal.isEmpty();
        if (postgres()) {
            EXPECT_TRUE(firstWon);
        }
        EXPECT_EQ(outcomes[firstWon ? 1 : 0].refusal,
                  QStringLiteral("Mesa %1 foi alterada por outro terminal; tente de novo").arg(c.target));
        const bool groupingWon = firstWon == c.groupingFirst;
        const Rows journalRows = journal();
        ASSERT_EQ(journalRows.size(), journalBefore + 1);
        EXPECT_EQ(journalRows.back().at(0), groupingWon ? "AGRUPAR" : "TRANSFMESA");
        expectConsistent();
    }
}

TEST_P(TransferirTest, TheDialogueTakesTwoMapsAConfirmationAndTellsWhatHappened) {
    const QString sources = QStringLiteral("map Escolha a mesa a transferir: 0011,0012,0013,0018,0019");
    const QString targets = QStringLiteral("map Escolha a mesa livre que recebe a mesa 0011: 0014,0015");
    const QString question = QStringLiteral("confirm Transferir a mesa 0011 para a mesa 0014?");
    struct Case {
        const char* name;
        std::deque<QString> answers;
        QString meanwhile;
        QStringList calls;
    };
    const Case cases[] = {
        {"a cancelled first map", {"cancel"}, {}, {sources}},
        {"a cancelled second map: the first one again",
         {"tables 0011", "cancel"},
         {},
         {sources, targets, sources + " [0011]"}},
        {"a cancelled question: back to the second map, then the first",
         {"tables 0011", "tables 0014", "cancel"},
         {},
         {sources, targets, question, targets + " [0014]", sources + " [0011]"}},
        {"a refusal",
         {"tables 0011", "tables 0014", "confirm"},
         insert(Sale{.venda = "0000000007", .mesa = "0014"}),
         {sources, targets, question, "message 3 Mesa 0014 foi alterada por outro terminal; tente de novo"}},
        {"a transfer",
         {"tables 0013", "tables 0015", "confirm"},
         {},
         {"map Escolha a mesa a transferir: 0011,0012,0013,0014,0018,0019",
          "map Escolha a mesa livre que recebe a mesa 0013: 0015", "confirm Transferir a mesa 0013 para a mesa 0015?",
          "notice Mesa 0013 transferida para a mesa 0015."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dialogue([] { Gpe00002::CriaTrComanN("1", "S", "S"); }, c.answers, c.meanwhile), c.calls);
    }
    EXPECT_EQ(journal(), (Rows{{"TRANSFMESA", "0013", "0015", "<null>"}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, TransferirTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

// PostgreSQL alone: the server ends the transaction of a terminal that died.
class PgTransferirTest : public TransferirTest {};

TEST_P(PgTransferirTest, ATerminalKilledInTheMiddleOfATransferLeavesNothingOfIt) {
    const Rows before = state();
    // The grouping's row is the transfer's last change: it waits there with the rest written.
    TADOConnection locker(QStringLiteral("adcLocker"));
    locker.setConnectionString(m_connectionString);
    locker.Open();
    const QString blocked = QStringLiteral("%1 = ANY(pg_blocking_pids(pid)) AND query LIKE 'UPDATE MESAJUNCAO%'")
                                .arg(scalar(locker, QStringLiteral("SELECT pg_backend_pid()")));
    locker.Execute(QStringLiteral("BEGIN; SELECT * FROM MESAJUNCAO WHERE NRMESA = '0011' FOR UPDATE"));
    QProcess terminal;
    terminal.start(QStringLiteral(GPE_OP_TERMINAL_PATH), {terminalConnection(60), QStringLiteral("transfer"),
                                                          QStringLiteral("0011"), QStringLiteral("0014")});
    ASSERT_TRUE(terminal.waitForStarted());
    awaitWaiting(1, blocked);
    const QString backend = scalar(m_db, QStringLiteral("SELECT pid FROM pg_stat_activity WHERE ") + blocked);
    terminal.kill();
    terminal.waitForFinished();
    const QString connected = QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE pid = ") + backend;
    QElapsedTimer timer;
    timer.start();
    while (scalar(m_db, connected) != "0" && timer.elapsed() < 10000) QThread::msleep(50);
    EXPECT_EQ(scalar(m_db, connected), "0") << "the server never noticed the terminal had gone";
    locker.Execute(QStringLiteral("COMMIT"));
    EXPECT_EQ(state(), before);
    EXPECT_EQ(journal(), Rows{});
    // Nothing of it is left holding the tables either.
    EXPECT_EQ(compact(transferir("0011", "0014")),
              R"({"from":"0011","grouping":"0000000001","sales":["0000000001"],"to":"0014"})");
}

INSTANTIATE_TEST_SUITE_P(Engines, PgTransferirTest, ::testing::Values(Engine::PostgreSQL), engineName);

}  // namespace
