// The waiter updates of the data service (setVendedorItem, setVendedorVenda) on a SQLite file
// and on the PostgreSQL test server: what they write, what they answer, and two terminals on
// the same database.
#include "DataModuleFixture.h"

namespace {

using namespace menutest;
using Srv_res00011::getItemMesa;
using Srv_res00011::rdmMenu;
using Srv_res00011::setVendedorItem;
using Srv_res00011::setVendedorVenda;

// Branch 0001, store 0001: open sale 1 on table 0012 (tickets 1 and 2), open sale 2 on table
// 0013 (ticket 5, one item without product code), closed sale 3 on table 0012 (ticket 6), open
// sale 4 without table number; branch 0002: open sale 1 on table 0012. Every waiter is 0001.
QString salesAndItems() {
    return insert(Product{.codigo = "0000000001", .nome = "Picanha"}) +
           insert(Product{.codigo = "0000000003", .nome = "Suco"}) +
           insert(Sale{.venda = "0000000001", .mesa = "0012"}) + insert(Sale{.venda = "0000000002", .mesa = "0013"}) +
           insert(Sale{.venda = "0000000003", .mesa = "0012", .fechamento = "2024-06-13 23:10:00"}) +
           insert(Sale{.venda = "0000000004", .mesa = ""}) +
           insert(Sale{.filial = "0002", .venda = "0000000001", .mesa = "0012"}) +
           insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012"}) +
           insert(Ticket{.venda = "0000000001", .comanda = "0000000002", .descricao = "RES_SILVA"}) +
           insert(Ticket{.venda = "0000000002", .comanda = "0000000005", .descricao = "PKR_0013"}) +
           insert(Ticket{.venda = "0000000003", .comanda = "0000000006", .descricao = "PKR_0012"}) +
           insert(Ticket{.filial = "0002", .venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012"}) +
           insert(Item{.venda = "0000000001", .comanda = "0000000001", .item = "000001", .produto = "0000000001"}) +
           insert(Item{.venda = "0000000001", .comanda = "0000000001", .item = "000002", .produto = "0000000003"}) +
           insert(Item{.venda = "0000000001", .comanda = "0000000002", .item = "000001", .produto = "0000000001"}) +
           insert(Item{.venda = "0000000002", .comanda = "0000000005", .item = "000001", .produto = ""}) +
           insert(Item{.venda = "0000000003", .comanda = "0000000006", .item = "000001", .produto = "0000000001"}) +
           insert(Item{.filial = "0002",
                       .venda = "0000000001",
                       .comanda = "0000000001",
                       .item = "000001",
                       .produto = "0000000001"});
}

// ITCOMANDAVEN as salesAndItems() fills it: branch, sale, ticket, item, product, waiter.
const Rows kItems = {
    {"0001", "0000000001", "0000000001", "000001", "0000000001", "0001"},  // 0
    {"0001", "0000000001", "0000000001", "000002", "0000000003", "0001"},  // 1
    {"0001", "0000000001", "0000000002", "000001", "0000000001", "0001"},  // 2
    {"0001", "0000000002", "0000000005", "000001", "", "0001"},            // 3
    {"0001", "0000000003", "0000000006", "000001", "0000000001", "0001"},  // 4: closed sale
    {"0002", "0000000001", "0000000001", "000001", "0000000001", "0001"},  // 5
};
// VENDAREST: branch, sale, table, waiter.
const Rows kSales = {
    {"0001", "0000000001", "0012", "0001"},  // 0
    {"0001", "0000000002", "0013", "0001"},  // 1
    {"0001", "0000000003", "0012", "0001"},  // 2: closed
    {"0001", "0000000004", "", "0001"},      // 3
    {"0002", "0000000001", "0012", "0001"},  // 4
};

// The rows with the waiter of row `changed` (none for -1) replaced.
Rows withWaiter(Rows rows, int changed, const char* waiter) {
    if (changed >= 0) rows[static_cast<std::size_t>(changed)].back() = waiter;
    return rows;
}

class UpdatesTest : public DataModuleTest {
protected:
    void SetUp() override {
        DataModuleTest::SetUp();
        if (!HasFatalFailure()) fill(salesAndItems());
    }

    Rows storedItems() {
        return select(QStringLiteral("SELECT CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, %1 "
                                     "FROM ITCOMANDAVEN ORDER BY CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN")
                          .arg(kWholeWaiter));
    }
    Rows storedSales() {
        return select(
            QStringLiteral("SELECT CDFILIAL, NRVENDAREST, NRMESA, %1 FROM VENDAREST ORDER BY CDFILIAL, NRVENDAREST")
                .arg(kWholeWaiter));
    }
    // The waiter as stored: as an expression, not a column, it is not read cut to the column's
    // width (SQLite holds wider texts).
    static inline const QString kWholeWaiter = QStringLiteral("CDVENDEDOR || '' AS CDVENDEDOR");
    void refill() {
        fill(QStringLiteral("DELETE FROM ITCOMANDAVEN; DELETE FROM COMANDAVEN; DELETE FROM VENDAREST; "
                            "DELETE FROM PRODUTO;\n") +
             salesAndItems());
    }

    // The calls, never raising.
    bool item(const char* vendedor, const char* filial, const char* produto, const char* comanda, const char* venda,
              const char* nrItem) {
        bool written = false;
        EXPECT_NO_THROW(written = setVendedorItem(QString::fromUtf8(vendedor), QString::fromUtf8(filial),
                                                  QString::fromUtf8(produto), QString::fromUtf8(comanda),
                                                  QString::fromUtf8(venda), QString::fromUtf8(nrItem)));
        return written;
    }
    bool sale(const char* vendedor, const char* filial, const char* mesa, const char* venda) {
        bool written = false;
        EXPECT_NO_THROW(written = setVendedorVenda(QString::fromUtf8(vendedor), QString::fromUtf8(filial),
                                                   QString::fromUtf8(mesa), QString::fromUtf8(venda)));
        return written;
    }
};

TEST_P(UpdatesTest, VendedorItemWritesTheWaiterOfTheOneItemOfTheKeys) {
    struct Case {
        const char* name;
        const char* vendedor;
        const char* filial;
        const char* produto;
        const char* comanda;
        const char* venda;
        const char* nrItem;
        bool written;
        int changed;  // row of kItems, -1 for none
    };
    const Case cases[] = {
        {"the item of the keys", "0002", "0001", "0000000001", "0000000001", "0000000001", "000001", true, 0},
        {"another item of the same ticket", "0002", "0001", "0000000003", "0000000001", "0000000001", "000002", true,
         1},
        {"the same item number on another ticket", "0002", "0001", "0000000001", "0000000002", "0000000001", "000001",
         true, 2},
        {"the same keys in another branch", "0002", "0002", "0000000001", "0000000001", "0000000001", "000001", true,
         5},
        {"an item of a closed sale", "0002", "0001", "0000000001", "0000000006", "0000000003", "000001", true, 4},
        {"an empty product code matches the item without one", "0002", "0001", "", "0000000005", "0000000002", "000001",
         true, 3},
        {"the waiter it already has", "0001", "0001", "0000000001", "0000000001", "0000000001", "000001", true, 0},
        {"an empty waiter is written as an empty text", "", "0001", "0000000001", "0000000001", "0000000001", "000001",
         true, 0},
        // No row matches: nothing written, false.
        {"another branch", "0002", "0003", "0000000001", "0000000001", "0000000001", "000001", false, -1},
        {"another product", "0002", "0001", "0000000003", "0000000001", "0000000001", "000001", false, -1},
        {"another ticket", "0002", "0001", "0000000001", "0000000005", "0000000001", "000001", false, -1},
        {"another sale", "0002", "0001", "0000000001", "0000000001", "0000000002", "000001", false, -1},
        {"another item number", "0002", "0001", "0000000001", "0000000001", "0000000001", "000003", false, -1},
        {"an item number without its zeros", "0002", "0001", "0000000001", "0000000001", "0000000001", "1", false, -1},
        {"a ticket number with a trailing blank", "0002", "0001", "0000000001", "0000000001 ", "0000000001", "000001",
         false, -1},
        {"a product code of blanks is not the empty one", "0002", "0001", " ", "0000000005", "0000000002", "000001",
         false, -1},
        {"every key empty", "0002", "", "", "", "", "", false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        refill();
        EXPECT_EQ(item(c.vendedor, c.filial, c.produto, c.comanda, c.venda, c.nrItem), c.written);
        EXPECT_EQ(storedItems(), withWaiter(kItems, c.changed, c.vendedor));
        // The same call again matches the same row: the same answer, the same table.
        EXPECT_EQ(item(c.vendedor, c.filial, c.produto, c.comanda, c.venda, c.nrItem), c.written);
        EXPECT_EQ(storedItems(), withWaiter(kItems, c.changed, c.vendedor));
        EXPECT_EQ(storedSales(), kSales) << "the sales are not touched";
    }
}

TEST_P(UpdatesTest, VendedorVendaWritesTheWaiterOfTheOneSaleOfTheKeys) {
    struct Case {
        const char* name;
        const char* vendedor;
        const char* filial;
        const char* mesa;
        const char* venda;
        bool written;
        int changed;  // row of kSales, -1 for none
    };
    const Case cases[] = {
        {"the sale of the keys", "0002", "0001", "0012", "0000000001", true, 0},
        {"another sale", "0002", "0001", "0013", "0000000002", true, 1},
        {"a closed sale", "0002", "0001", "0012", "0000000003", true, 2},
        {"the same keys in another branch", "0002", "0002", "0012", "0000000001", true, 4},
        {"an empty table number matches the sale without one", "0002", "0001", "", "0000000004", true, 3},
        {"the waiter it already has", "0001", "0001", "0012", "0000000001", true, 0},
        {"an empty waiter is written as an empty text", "", "0001", "0012", "0000000001", true, 0},
        // No row matches: nothing written, false.
        {"the sale is on another table", "0002", "0001", "0013", "0000000001", false, -1},
        {"another branch", "0002", "0003", "0012", "0000000001", false, -1},
        {"an unknown sale", "0002", "0001", "0012", "0000000009", false, -1},
        {"a table number without its zeros", "0002", "0001", "12", "0000000001", false, -1},
        {"a table number of blanks is not the empty one", "0002", "0001", " ", "0000000004", false, -1},
        {"every key empty", "0002", "", "", "", false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        refill();
        EXPECT_EQ(sale(c.vendedor, c.filial, c.mesa, c.venda), c.written);
        EXPECT_EQ(storedSales(), withWaiter(kSales, c.changed, c.vendedor));
        EXPECT_EQ(sale(c.vendedor, c.filial, c.mesa, c.venda), c.written);
        EXPECT_EQ(storedSales(), withWaiter(kSales, c.changed, c.vendedor));
        EXPECT_EQ(storedItems(), kItems) << "the items are not touched";
    }
}

TEST_P(UpdatesTest, ADatabaseErrorAnswersFalseAndTheNextCallWorks) {
    struct Case {
        const char* table;
        std::function<bool()> call;
        std::function<Rows()> stored;
        Rows expected;  // after the call that works
    };
    const Case cases[] = {
        {"ITCOMANDAVEN", [&] { return item("0002", "0001", "0000000001", "0000000001", "0000000001", "000001"); },
         [&] { return storedItems(); }, withWaiter(kItems, 0, "0002")},
        {"VENDAREST", [&] { return sale("0002", "0001", "0012", "0000000001"); }, [&] { return storedSales(); },
         withWaiter(kSales, 0, "0002")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        m_db.Execute(QStringLiteral("ALTER TABLE %1 RENAME TO %1_AWAY").arg(QLatin1String(c.table)));
        EXPECT_FALSE(c.call());
        m_db.Execute(QStringLiteral("ALTER TABLE %1_AWAY RENAME TO %1").arg(QLatin1String(c.table)));
        EXPECT_TRUE(c.call());
        EXPECT_EQ(c.stored(), c.expected);
    }

    // A waiter code wider than the column: the server engine refuses it, and nothing is
    // written; SQLite holds texts wider than their column and writes it whole.
    refill();
    EXPECT_EQ(item("00002", "0001", "0000000001", "0000000001", "0000000001", "000001"), !postgres());
    EXPECT_EQ(storedItems(), withWaiter(kItems, 0, postgres() ? "0001" : "00002"));
    EXPECT_EQ(sale("00002", "0001", "0012", "0000000001"), !postgres());
    EXPECT_EQ(storedSales(), withWaiter(kSales, 0, postgres() ? "0001" : "00002"));
    EXPECT_TRUE(item("0003", "0001", "0000000001", "0000000001", "0000000001", "000001"));
    EXPECT_TRUE(sale("0003", "0001", "0012", "0000000001"));
    EXPECT_EQ(storedItems(), withWaiter(kItems, 0, "0003"));
    EXPECT_EQ(storedSales(), withWaiter(kSales, 0, "0003"));
}

// Two terminals on the same database, each with its own data module and connection: what one
// removes or moves, the other's update does not write, and says so.
TEST_P(UpdatesTest, AnUpdateOfARowAnotherTerminalRemovedOrMovedAnswersFalse) {
    TrdmMenu* const terminalA = rdmMenu;
    const std::unique_ptr<TrdmMenu> terminalB = openTerminal();
    ASSERT_TRUE(terminalB->adcMenu.Connected());
    struct Restore {  // terminal A is the data module again when the test ends, however it ends
        TrdmMenu* module;
        ~Restore() { rdmMenu = module; }
    } restore{terminalA};

    // Terminal A lists ticket 1.
    const TPacketTable listed = packetOf(getItemMesa("0001", "0000000001", "", "", "", ""));
    ASSERT_EQ(sorted(columnsOf(listed, {QStringLiteral("NRPRODCOMVEN"), QStringLiteral("CDPRODUTO")})),
              (Rows{{"000001", "0000000001"}, {"000002", "0000000003"}}));

    // Terminal B removes item 2, and moves sale 1 to table 0013.
    terminalB->adcMenu.Execute(QStringLiteral(
        "DELETE FROM ITCOMANDAVEN WHERE CDFILIAL = '0001' AND NRVENDAREST = '0000000001' AND NRCOMANDA = '0000000001' "
        "AND NRPRODCOMVEN = '000002'"));
    terminalB->adcMenu.Execute(
        QStringLiteral("UPDATE VENDAREST SET NRMESA = '0013' WHERE CDFILIAL = '0001' AND NRVENDAREST = '0000000001'"));

    // Terminal A's updates of what it listed: the removed item and the moved sale are not
    // written; the item still there is.
    ASSERT_EQ(rdmMenu, terminalA);
    EXPECT_FALSE(item("0002", "0001", "0000000003", "0000000001", "0000000001", "000002"));
    EXPECT_FALSE(sale("0002", "0001", "0012", "0000000001"));
    EXPECT_TRUE(item("0002", "0001", "0000000001", "0000000001", "0000000001", "000001"));
    Rows items = withWaiter(kItems, 0, "0002");
    items.erase(items.begin() + 1);
    EXPECT_EQ(storedItems(), items);
    Rows sales = kSales;
    sales[0][2] = "0013";
    EXPECT_EQ(storedSales(), sales);

    // Terminal B, through its own data module, sees A's write and writes over it.
    rdmMenu = terminalB.get();
    EXPECT_EQ(sorted(columnsOf(packetOf(getItemMesa("0001", "0000000001", "", "", "", "")),
                               {QStringLiteral("NRPRODCOMVEN"), QStringLiteral("CDVENDEDOR")})),
              (Rows{{"000001", "0002"}}));
    EXPECT_TRUE(item("0003", "0001", "0000000001", "0000000001", "0000000001", "000001"));
    EXPECT_TRUE(sale("0003", "0001", "0013", "0000000001"));
    rdmMenu = terminalA;
    EXPECT_EQ(storedItems(), withWaiter(items, 0, "0003"));
    sales[0][3] = "0003";
    EXPECT_EQ(storedSales(), sales);
}

INSTANTIATE_TEST_SUITE_P(Engines, UpdatesTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

// Without the data module the updates answer false.
TEST(UpdatesWithoutDataModule, AnswerFalse) {
    ASSERT_EQ(rdmMenu, nullptr);
    bool written = true;
    EXPECT_NO_THROW(written = setVendedorItem("0002", "0001", "0000000001", "0000000001", "0000000001", "000001"));
    EXPECT_FALSE(written);
    written = true;
    EXPECT_NO_THROW(written = setVendedorVenda("0002", "0001", "0012", "0000000001"));
    EXPECT_FALSE(written);
}

}  // namespace
