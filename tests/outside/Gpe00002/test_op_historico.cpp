// The history of waiter changes on both engines: installed on request only, then one row for
// every change of an item's or a sale's waiter, however it is made, and for nothing else.
#include "TerminalFixture.h"

#include "Srv_res00011.h"
#include "TADOCommand.h"
#include "store/History.h"

namespace {

using namespace opstest;

class HistoricoTest : public TerminalTest {
protected:
    void SetUp() override {
        TerminalTest::SetUp();
        if (HasFatalFailure()) return;
        fill(insert(Product{.codigo = "P1", .nome = "Água"}) + insert(Sale{.venda = "01", .mesa = "0012"}) +
             insert(Ticket{.venda = "01", .comanda = "C1", .descricao = "PKR_0012"}) +
             insert(Item{.venda = "01", .comanda = "C1", .item = "1", .produto = "P1"}) +
             insert(Item{.venda = "01", .comanda = "C1", .item = "2", .produto = "P1"}) +
             insert(Item{.venda = "01", .comanda = "C1", .item = "3", .produto = "P1", .vendedor = nullptr}) +
             insert(Sale{.venda = "02", .mesa = "0013", .vendedor = "0002"}));
    }

    // The history: table, store, table number, sale, ticket, item, product, from, to.
    Rows history() {
        return select(QStringLiteral(
            "SELECT NMTABELA || ' ' || CDLOJA || ' ' || NRMESA || ' ' || NRVENDAREST || ' ' || "
            "COALESCE(NRCOMANDA, '-') || ' ' || COALESCE(NRPRODCOMVEN, '-') || ' ' || COALESCE(CDPRODUTO, '-') || ' ' "
            "|| COALESCE(CDVENDEDORANT, '-') || ' ' || COALESCE(CDVENDEDORNOV, '-') FROM GPEHISTVENDEDOR "
            "ORDER BY NRHISTORICO"));
    }
};

TEST_P(HistoricoTest, IsInstalledOnRequestOnlyAndOnce) {
    // The package made its own tables when it connected, and nothing on the restaurant's.
    EXPECT_FALSE(Gpe00002::waiterHistoryInstalled(*m_ops));
    fill(QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0002' WHERE NRPRODCOMVEN = '1';\n"));

    Gpe00002::installWaiterHistory(*m_ops);
    Gpe00002::installWaiterHistory(*m_ops);
    EXPECT_TRUE(Gpe00002::waiterHistoryInstalled(*m_ops));
    fill(QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0003' WHERE NRPRODCOMVEN = '1';\n"));
    EXPECT_EQ(history(), (Rows{{"ITCOMANDAVEN 0001 0012 01 C1 1 P1 0002 0003"}}));

    // A trigger gone is a history no longer kept.
    m_db.Execute(postgres() ? QStringLiteral("DROP TRIGGER TR_VENDAREST_GPEHIST ON VENDAREST")
                            : QStringLiteral("DROP TRIGGER TR_VENDAREST_GPEHIST"));
    EXPECT_FALSE(Gpe00002::waiterHistoryInstalled(*m_ops));
}

TEST_P(HistoricoTest, RecordsEveryChangeOfAWaiterAndNothingElse) {
    Gpe00002::installWaiterHistory(*m_ops);
    qputenv("QOR_CONNECTION", m_connectionString.toUtf8());
    TrdmMenu menu;
    Srv_res00011::rdmMenu = &menu;
    menu.adcMenu.setConnected(true);
    struct Forget {
        ~Forget() {
            Srv_res00011::rdmMenu = nullptr;
            qunsetenv("QOR_CONNECTION");
        }
    } forget;
    const auto update = [this](const char* sql) { return [this, sql] { fill(QString::fromLatin1(sql)); }; };
    struct Case {
        const char* name;
        std::function<void()> change;
        Rows recorded;
    };
    const Case cases[] = {
        {"the menu's change of an item",
         [] { EXPECT_TRUE(Srv_res00011::setVendedorItem("0002", "0001", "P1", "C1", "01", "1")); },
         {{"ITCOMANDAVEN 0001 0012 01 C1 1 P1 0001 0002"}}},
        {"the same waiter again",
         [] { EXPECT_TRUE(Srv_res00011::setVendedorItem("0002", "0001", "P1", "C1", "01", "1")); },
         {}},
        {"an item that is not there", [] { Srv_res00011::setVendedorItem("0003", "0001", "P1", "C1", "01", "9"); }, {}},
        {"the menu's change of a sale",
         [] { EXPECT_TRUE(Srv_res00011::setVendedorVenda("0002", "0001", "0012", "01")); },
         {{"VENDAREST 0001 0012 01 - - - 0001 0002"}}},
        {"several items at once, one without a waiter",
         update("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0003' WHERE NRVENDAREST = '01';\n"),
         {{"ITCOMANDAVEN 0001 0012 01 C1 1 P1 0002 0003"},
          {"ITCOMANDAVEN 0001 0012 01 C1 2 P1 0001 0003"},
          {"ITCOMANDAVEN 0001 0012 01 C1 3 P1 - 0003"}}},
        {"to no waiter",
         update("UPDATE ITCOMANDAVEN SET CDVENDEDOR = NULL WHERE NRPRODCOMVEN = '2';\n"),
         {{"ITCOMANDAVEN 0001 0012 01 C1 2 P1 0003 -"}}},
        {"other columns, an item moved, a sale moved",
         update("UPDATE ITCOMANDAVEN SET QTPRODCOMVEN = 2, NRLUGARMESA = '02';\n"
                "UPDATE ITCOMANDAVEN SET NRPRODCOMVEN = '4' WHERE NRPRODCOMVEN = '1';\n"
                "UPDATE VENDAREST SET NRPESMESAVEN = '5', NRMESA = '0014', CDVENDEDOR = CDVENDEDOR;\n"),
         {}},
        {"new rows",
         update("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, CDVENDEDOR) VALUES "
                "('0001', '03', '0001', '0001');\n"),
         {}},
        {"a change rolled back",
         [this] {
             m_db.Execute(QStringLiteral("BEGIN"));
             m_db.Execute(QStringLiteral("UPDATE VENDAREST SET CDVENDEDOR = '0009'"));
             m_db.Execute(QStringLiteral("ROLLBACK"));
         },
         {}},
        {"the sale's store and table as they are now",
         update("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0001' WHERE NRPRODCOMVEN = '4';\n"),
         {{"ITCOMANDAVEN 0001 0014 01 C1 4 P1 0003 0001"}}},
    };
    std::size_t before = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        // The rows one statement changes come in no particular order.
        const Rows all = history();
        Rows added(all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end());
        std::sort(added.begin(), added.end());
        EXPECT_EQ(added, c.recorded);
        before = all.size();
    }

    // Who: as the client says, on PostgreSQL; the menu's session calls itself res00011. The time is
    // the terminal's wall clock, to the second.
    const Rows who = select(QStringLiteral(
        "SELECT COALESCE(NMAPLICACAO, '-') || ' ' || COALESCE(DSENDERECO, '-') || ' ' || COALESCE(NMUSUARIO, '-') "
        "FROM GPEHISTVENDEDOR ORDER BY NRHISTORICO"));
    ASSERT_EQ(who.size(), 7u);
    EXPECT_EQ(who[0][0], postgres() ? "res00011 127.0.0.1 postgres" : "- - -");  // the menu
    EXPECT_EQ(who[2][0], postgres() ? " 127.0.0.1 postgres" : "- - -");          // a program that says nothing
    const QDateTime now = QDateTime::currentDateTime();
    for (const Row& row : select(QStringLiteral("SELECT DTHRALTERACAO FROM GPEHISTVENDEDOR"))) {
        const QDateTime at =
            QDateTime::fromString(QString::fromStdString(row[0]), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        EXPECT_LE(std::abs(at.secsTo(now)), 60) << row[0];
    }
}

TEST_P(HistoricoTest, ChangesOfOneItemAtOnceAreRecordedInTheOrderTheyWereMade) {
    Gpe00002::installWaiterHistory(*m_ops);
    const auto changeTo = [](const char* waiter) -> Operation {
        return [waiter](Gpe00002::PackageDatabase& db) {
            db.transaction(QStringLiteral("ocupado"), [&] {
                TADOCommand change;
                change.setConnection(&db.connection());
                change.setCommandText(
                    QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = :P_V WHERE NRPRODCOMVEN = '1'"));
                change.Parameters().ParamByName(QStringLiteral("P_V")).setValue(QString::fromLatin1(waiter));
                change.Execute();
            });
            return QJsonObject{};
        };
    };
    for (const Outcome& outcome : race(QStringLiteral("SELECT * FROM ITCOMANDAVEN WHERE NRPRODCOMVEN = '1' FOR UPDATE"),
                                       {changeTo("0002"), changeTo("0003")}))
        EXPECT_EQ(outcome.refusal, "");
    // Each change starts from where the one before left the item, and the last is what it holds.
    const Rows changes =
        select(QStringLiteral("SELECT CDVENDEDORANT, CDVENDEDORNOV FROM GPEHISTVENDEDOR ORDER BY NRHISTORICO"));
    const Rows item = select(QStringLiteral("SELECT CDVENDEDOR FROM ITCOMANDAVEN WHERE NRPRODCOMVEN = '1'"));
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0][0], "0001");
    EXPECT_EQ(changes[1][0], changes[0][1]);
    EXPECT_EQ(Row{changes[1][1]}, item.at(0));
    if (postgres()) {
        EXPECT_EQ(changes, (Rows{{"0001", "0002"}, {"0002", "0003"}}));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, HistoricoTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

// PostgreSQL alone: schemas, and triggers that catch their own failures.
class PgHistoricoTest : public HistoricoTest {};

TEST_P(PgHistoricoTest, IsInstalledOnlyBesideTheRestaurantsTablesAndNeverFailsAChange) {
    // A current schema other than the tables' would take the history away from the triggers.
    const QString own = scalar(m_db, QStringLiteral("SELECT current_schema()"));
    const QString other = own + QStringLiteral("_outro");
    m_db.Execute(QStringLiteral("CREATE SCHEMA %1").arg(other));
    m_ops->connection().Execute(QStringLiteral("SET search_path = %1, %2").arg(other, own));
    EXPECT_TRUE(refusal([this] {
                    Gpe00002::installWaiterHistory(*m_ops);
                }).contains(QStringLiteral("table ITCOMANDAVEN is not in the current schema (%1)").arg(other)));
    m_ops->connection().Execute(QStringLiteral("SET search_path = %1").arg(own));
    m_db.Execute(QStringLiteral("DROP SCHEMA %1").arg(other));
    EXPECT_FALSE(Gpe00002::waiterHistoryInstalled(*m_ops));

    // With its history gone, the triggers let the change through.
    Gpe00002::installWaiterHistory(*m_ops);
    m_db.Execute(QStringLiteral("DROP TABLE GPEHISTVENDEDOR"));
    fill(
        QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0003' WHERE NRPRODCOMVEN = '1';\n"
                       "UPDATE VENDAREST SET CDVENDEDOR = '0003' WHERE NRVENDAREST = '02';\n"));
    EXPECT_EQ(select(QStringLiteral("SELECT CDVENDEDOR FROM ITCOMANDAVEN WHERE NRPRODCOMVEN = '1' UNION ALL "
                                    "SELECT CDVENDEDOR FROM VENDAREST WHERE NRVENDAREST = '02'")),
              (Rows{{"0003"}, {"0003"}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, PgHistoricoTest, ::testing::Values(Engine::PostgreSQL), engineName);

}  // namespace
