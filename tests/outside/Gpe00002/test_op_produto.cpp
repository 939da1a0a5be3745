// Moving a product, on both engines: whole and in part, what the item keeps and where it came
// from, the sums that no move changes, what is refused, two terminals at once, and the dialogue.
#include "ItemsFixture.h"

#include "Gpe00002.h"
#include "store/History.h"
#include "operations/TransferirProduto.h"

namespace {

using namespace opstest;

TEST(ProductQuantity, WhatTheKeypadTakesAndWhatMayMove) {
    Gpe00002::TableItem agua, pizza, picanha;
    agua.nome = "Água";
    agua.quantidade = 3;
    pizza.nome = "Pizza";
    pizza.quantidade = 1.5;
    picanha.nome = "Picanha";
    picanha.quantidade = 0.452;
    picanha.pesado = true;
    const struct {
        const Gpe00002::TableItem& item;
        const char* typed;
        std::optional<double> quantity;
        const char* refusal;
    } cases[] = {
        {agua, "3", 3, ""},
        {agua, "1", 1, ""},
        {agua, "0", 0, "Informe uma quantidade maior que zero"},
        {agua, "4", 4, "A quantidade a transferir (4) é maior que a do item (3)"},
        {agua, "1,5", std::nullopt, ""},
        {agua, "", std::nullopt, ""},
        {pizza, "1,5", 1.5, ""},
        {pizza, "1", 1, ""},
        {pizza, "2", 2, "A quantidade a transferir (2) é maior que a do item (1,5)"},
        {picanha, "0,452", 0.452, ""},
        {picanha, "0", 0, "Picanha é vendido por peso e só pode ser transferido inteiro (0,452)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item.nome.toStdString() + " " + c.typed);
        const std::optional<double> quantity = Gpe00002::typedQuantity(c.typed, c.item);
        EXPECT_EQ(quantity, c.quantity);
        EXPECT_EQ(quantity ? Gpe00002::quantityRefusal(c.item, *quantity) : QString(), c.refusal);
    }
}

class ProdutoTest : public ItemsTest {
protected:
    QJsonObject mover(Gpe00002::PackageDatabase& db, const char* from, const Gpe00002::TableItem& what, double quantity,
                      const char* to, const Gpe00002::Ticket& into) {
        return Gpe00002::transferirProduto(db, m_station, "0001", "0001", table(from), what, quantity, table(to), into);
    }
    QJsonObject mover(const char* from, const char* comanda, const char* numero, double quantity, const char* to,
                      const char* into) {
        return mover(*m_ops, from, item(from, comanda, numero), quantity, to, ticket(to, into));
    }
};

TEST_P(ProdutoTest, MovesWholeOrInPartKeepingTheItemItsFirstOriginAndEverySum) {
    struct Case {
        const char* name;
        const char* from;
        const char* comanda;
        const char* numero;
        double quantity;
        const char* to;
        const char* into;
        const char* result;
        Rows source;  // the source row after, none when the item moved whole
        Rows target;
    };
    const Row kept = {"2024-06-14 19:30:00", "P"};
    const auto with = [&](Row r) {
        r.insert(r.begin() + 8, kept.begin(), kept.end());
        return Rows{r};
    };
    const Case cases[] = {
        {"part of an item: discount and surcharge split in cents", "0011", "C1", "000001", 1, "0015", "C5",
         R"({"from":{"item":"000001","remaining":2,"sale":"V11","table":"0011","ticket":"C1"},"quantity":1,)"
         R"("to":{"item":"000001","sale":"V15","table":"0015","ticket":"C5"}})",
         with({"P1", "2", "10", "0.67", "0.33", "01", "0001", "sem gelo", "<null>", "<null>", "<null>"}),
         with({"P1", "1", "10", "0.33", "0.17", "01", "0001", "sem gelo", "PKR_0011", "C1", "000001"})},
        {"a weighed product, whole, to the ticket's next free number",
         "0011",
         "C1",
         "000002",
         0.452,
         "0012",
         "C3",
         R"({"from":{"item":"000002","remaining":0,"sale":"V11","table":"0011","ticket":"C1"},"quantity":0.452,)"
         R"("to":{"item":"000008","sale":"V12","table":"0012","ticket":"C3"}})",
         {},
         with({"P2", "0.452", "89.9", "<null>", "<null>", "02", "0001", "<null>", "PKR_0011", "C1", "000002"})},
        {"half of a cent that does not split: the moved part takes it", "0011", "C2", "000001", 1, "0012", "C3",
         R"({"from":{"item":"000001","remaining":1,"sale":"V11","table":"0011","ticket":"C2"},"quantity":1,)"
         R"("to":{"item":"000009","sale":"V12","table":"0012","ticket":"C3"}})",
         with({"P3", "1", "7", "0", "<null>", "01", "0002", "<null>", "<null>", "<null>", "<null>"}),
         with({"P3", "1", "7", "0.01", "<null>", "01", "0002", "<null>", "RES_ANA", "C2", "000001"})},
        {"to another ticket of the same table, keeping the origin it had",
         "0011",
         "C1",
         "000003",
         1,
         "0011",
         "C2",
         R"({"from":{"item":"000003","remaining":0,"sale":"V11","table":"0011","ticket":"C1"},"quantity":1,)"
         R"("to":{"item":"000002","sale":"V11","table":"0011","ticket":"C2"}})",
         {},
         with({"P3", "1", "7", "<null>", "<null>", "02", "0001", "<null>", "PKR_0099", "0000000099", "000009"})},
        {"moved a second time: the first origin stays",
         "0015",
         "C5",
         "000001",
         1,
         "0012",
         "C3",
         R"({"from":{"item":"000001","remaining":0,"sale":"V15","table":"0015","ticket":"C5"},"quantity":1,)"
         R"("to":{"item":"000010","sale":"V12","table":"0012","ticket":"C3"}})",
         {},
         with({"P1", "1", "10", "0.33", "0.17", "01", "0001", "sem gelo", "PKR_0011", "C1", "000001"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = sums();
        const std::size_t rows = allItems().size();
        const QJsonObject result = mover(c.from, c.comanda, c.numero, c.quantity, c.to, c.into);
        EXPECT_EQ(compact(result), c.result);
        const QJsonObject to = result.value("to").toObject();
        EXPECT_EQ(row(qPrintable(QString::fromLatin1(c.from).replace(0, 2, "V")), c.comanda, c.numero), c.source);
        EXPECT_EQ(row(qPrintable(to.value("sale").toString()), c.into, qPrintable(to.value("item").toString())),
                  c.target);
        EXPECT_EQ(sums(), before);
        EXPECT_EQ(allItems().size(), rows + (c.source.empty() ? 0 : 1));
    }
    EXPECT_EQ(journal(), (Rows{{"TRANSFPRODUTO", "0011", "0015", "<null>"},
                               {"TRANSFPRODUTO", "0011", "0012", "<null>"},
                               {"TRANSFPRODUTO", "0011", "0012", "<null>"},
                               {"TRANSFPRODUTO", "0011", "0011", "<null>"},
                               {"TRANSFPRODUTO", "0015", "0012", "<null>"}}));
    const std::string origin = R"("origin":{"description":"PKR_0011","item":"000001","ticket":"C1"},)";
    EXPECT_EQ(select("SELECT TXANTES, TXDEPOIS FROM GPEJORNAL ORDER BY NRJORNAL").front(),
              (Row{R"({"from":{"discount":1,"item":"000001",)"
                   R"("origin":{"description":null,"item":null,"ticket":null},"price":10,"product":"P1",)"
                   R"("quantity":3,"sale":"V11","seat":"01","surcharge":0.5,"ticket":"C1","waiter":"0001"}})",
                   R"({"from":{"discount":0.67,"item":"000001",)"
                   R"("origin":{"description":null,"item":null,"ticket":null},"price":10,"product":"P1",)"
                   R"("quantity":2,"sale":"V11","seat":"01","surcharge":0.33,"ticket":"C1","waiter":"0001"},)"
                   R"("to":{"discount":0.33,"item":"000001",)" +
                       origin +
                       R"("price":10,"product":"P1","quantity":1,"sale":"V15","seat":"01","surcharge":0.17,)"
                       R"("ticket":"C5","waiter":"0001"}})"}));

    // A quantity finer than thousandths leaves exactly the rest.
    fill(insert(Item{.venda = "V12", .comanda = "C3", .item = "000020", .produto = "P1", .quantidade = "2.3333"}));
    mover("0012", "C3", "000020", 1, "0015", "C5");
    const Rows rest =
        select("SELECT QTPRODCOMVEN FROM ITCOMANDAVEN WHERE NRCOMANDA = 'C3' AND NRPRODCOMVEN = '000020'");
    EXPECT_NEAR(std::stod(rest.at(0).at(0)), 1.3333, 1e-9);
}

TEST_P(ProdutoTest, RefusesNamingWhyAndChangesNothing) {
    struct Case {
        const char* name;
        const char* from;
        const char* comanda;
        const char* numero;
        double quantity;
        const char* to;
        const char* into;
        const char* otherTerminal;  // between the choices and the move
        const char* message;
    };
    const Case cases[] = {
        {"its own ticket", "0011", "C1", "000001", 1, "0011", "C1", nullptr,
         "Item Água já está na comanda C1; escolha outra comanda"},
        {"part of a weighed product", "0011", "C1", "000002", 0.2, "0012", "C3", nullptr,
         "Picanha é vendido por peso e só pode ser transferido inteiro (0,452)"},
        {"more than the item holds", "0011", "C1", "000001", 4, "0012", "C3", nullptr,
         "A quantidade a transferir (4) é maior que a do item (3)"},
        {"nothing", "0011", "C1", "000001", 0, "0012", "C3", nullptr, "Informe uma quantidade maior que zero"},
        {"a closing table", "0011", "C1", "000001", 1, "0013", "C4", nullptr, "Mesa 0013 está fechando"},
        {"a table without a sale", "0011", "C1", "000001", 1, "0010", "C0", nullptr, "Mesa 0010 não tem venda aberta"},
        {"a quantity changed meanwhile", "0011", "C1", "000001", 1, "0012", "C3",
         "UPDATE ITCOMANDAVEN SET QTPRODCOMVEN = 2 WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000001'",
         "Item Água da mesa 0011 foi alterado por outro terminal; tente de novo"},
        {"an item moved meanwhile", "0011", "C1", "000003", 1, "0012", "C3",
         "UPDATE ITCOMANDAVEN SET NRCOMANDA = 'C2' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000003'",
         "Item Suco da mesa 0011 foi alterado por outro terminal; tente de novo"},
        {"a target ticket closed meanwhile", "0011", "C2", "000001", 1, "0015", "C5",
         "UPDATE COMANDAVEN SET IDSTCOMANDA = '4' WHERE NRCOMANDA = 'C5'",
         "Mesa 0015 foi alterada por outro terminal; tente de novo"},
        {"a source table closing meanwhile", "0011", "C2", "000001", 1, "0012", "C3",
         "UPDATE MESA SET IDSTMESAAUX = 'P' WHERE NRMESA = '0011'",
         "Mesa 0011 foi alterada por outro terminal; tente de novo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Gpe00002::TableItem what = item(c.from, c.comanda, c.numero);
        const Gpe00002::TableState from = table(c.from), to = table(c.to);
        const Gpe00002::Ticket into = ticket(c.to, c.into);
        if (c.otherTerminal) m_db.Execute(QString::fromUtf8(c.otherTerminal));
        const Rows before = allItems();
        EXPECT_EQ(refusal([&] {
                      Gpe00002::transferirProduto(*m_ops, m_station, "0001", "0001", from, what, c.quantity, to, into);
                  }),
                  QString::fromUtf8(c.message));
        EXPECT_EQ(allItems(), before);
    }
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(ProdutoTest, OfTwoTerminalsMovingTheSameItemAtOnceOneMovesIt) {
    const struct {
        const char* comanda;
        double quantity;
        const char* nome;
    } cases[] = {{"C1", 3, "Água"}, {"C2", 1, "Suco"}};
    const auto before = sums();
    const Gpe00002::Ticket c5 = ticket("0015", "C5"), c3 = ticket("0012", "C3");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nome);
        const Gpe00002::TableItem what = item("0011", c.comanda, "000001");
        const std::vector<Outcome> outcomes =
            race(QStringLiteral("SELECT * FROM ITCOMANDAVEN WHERE NRCOMANDA = '%1' AND NRPRODCOMVEN = '000001' FOR "
                                "UPDATE")
                     .arg(c.comanda),
                 {[&](auto& db) { return mover(db, "0011", what, c.quantity, "0015", c5); },
                  [&](auto& db) { return mover(db, "0011", what, c.quantity, "0012", c3); }});
        EXPECT_EQ(std::count_if(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.refusal.isEmpty(); }),
                  1);
        const Outcome& lost = outcomes[0].refusal.isEmpty() ? outcomes[1] : outcomes[0];
        EXPECT_EQ(lost.refusal,
                  QStringLiteral("Item %1 da mesa 0011 foi alterado por outro terminal; tente de novo").arg(c.nome));
    }
    EXPECT_EQ(sums(), before);
    // 0012 had two of P1 already.
    EXPECT_EQ(select("SELECT CDPRODUTO, SUM(QTPRODCOMVEN) FROM ITCOMANDAVEN WHERE NRVENDAREST IN ('V12', 'V15') "
                     "GROUP BY CDPRODUTO ORDER BY CDPRODUTO"),
              (Rows{{"P1", "5"}, {"P3", "1"}}));
    EXPECT_EQ(journal().size(), 2u);
}

TEST_P(ProdutoTest, AnItemAnotherTerminalHoldsEndsInTryAgainWithinTheTimeLimit) {
    const Gpe00002::TableItem what = item("0011", "C1", "000001");
    m_db.Execute(postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    m_db.Execute("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0002' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000001'");
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(refusal([&] {
                  mover(*m_ops, "0011", what, 1, "0015", {"V15", "C5", {}, 0});
              }),
              "Mesas 0011, 0015 estão em uso em outro terminal; tente de novo");
    EXPECT_LT(timer.elapsed(), 5000);
    m_db.Execute("ROLLBACK");
    EXPECT_EQ(journal(), Rows{});
}

// The change of waiter writes the item without the tables' locks: the move waits for the item and
// then carries the waiter that change left, on both parts; the history has the change, made
// before the move that the journal has (both clocks are this machine's here).
TEST_P(ProdutoTest, AMoveWaitingForAChangeOfWaiterCarriesTheNewWaiter) {
    Gpe00002::installWaiterHistory(*m_ops);
    const Gpe00002::TableItem what = item("0011", "C1", "000001");
    const Gpe00002::TableState from = table("0011"), to = table("0015");
    const Gpe00002::Ticket into = ticket("0015", "C5");
    Gpe00002::PackageDatabase terminal(terminalConnection());
    const QString backend = postgres() ? scalar(terminal.connection(), "SELECT pg_backend_pid()") : QString();
    // The waiter changes on a connection of its own: the test's connection watches the server's
    // activity, which a session in a transaction would see frozen.
    TADOConnection waiter(QStringLiteral("adcWaiter"));
    waiter.setConnectionString(m_connectionString);
    waiter.Open();
    waiter.Execute(postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    waiter.Execute("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0002' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000001'");
    QString result;
    std::thread move([&] {
        result = compact(Gpe00002::transferirProduto(terminal, m_station, "0001", "0001", from, what, 1, to, into));
    });
    awaitWaiting(1, QStringLiteral("pid = %1").arg(backend));
    waiter.Execute("COMMIT");
    move.join();
    EXPECT_NE(result, QString());
    EXPECT_EQ(select("SELECT NRCOMANDA, NRPRODCOMVEN, QTPRODCOMVEN, CDVENDEDOR FROM ITCOMANDAVEN WHERE CDPRODUTO = "
                     "'P1' AND NRCOMANDA IN ('C1', 'C5') AND IDPRODREFIL = 'N' ORDER BY NRCOMANDA"),
              (Rows{{"C1", "000001", "2", "0002"}, {"C5", "000001", "1", "0002"}}));
    EXPECT_EQ(select("SELECT NRCOMANDA, NRPRODCOMVEN, CDVENDEDORANT, CDVENDEDORNOV FROM GPEHISTVENDEDOR"),
              (Rows{{"C1", "000001", "0001", "0002"}}));
    const Rows when = select(
        "SELECT (SELECT MAX(DTHRALTERACAO) FROM GPEHISTVENDEDOR) || '' AS CHANGED, "
        "(SELECT MIN(DTHROPERACAO) FROM GPEJORNAL WHERE IDOPERACAO = 'TRANSFPRODUTO') || '' AS MOVED");
    EXPECT_EQ(journal(), (Rows{{"TRANSFPRODUTO", "0011", "0015", "<null>"}}));
    EXPECT_LE(when.at(0).at(0), when.at(0).at(1));
}

// Each move asks, naming what goes where, and tells; Cancela goes back one screen, which shows
// again what was typed or chosen there; the list comes back for the next item.
TEST_P(ProdutoTest, TheDialogueAsksBeforeEachMoveTellsAfterItAndGoesBackOneStepOnCancel) {
    const QString list =
        "list Escolha o produto a transferir / Produtos da mesa 0011 / Nome,Quantidade,Lugar,Garçom,"
        "Comanda: Água|%1|01|0001|PKR_0011; Picanha|0,452|02|0001|PKR_0011; Suco|1|02|0001|PKR_0011; "
        "Suco|2|01|0002|RES_ANA";
    const QString keypad = "keypad Quantidade de Água a transferir: ";
    const QString source = "map Escolha a mesa de onde sai o produto: 0011,0012";
    const QString water = "map Escolha a mesa que recebe 1 × Água: 0011,0012,0015";
    const QString meat = "map Escolha a mesa que recebe 0,452 × Picanha: 0011,0012,0015";
    const QStringList calls =
        dialogue([] { Gpe00002::CriaTrComanN("2", "N", "S"); },
                 {"tables 0011", "pick NRCOMANDA=C1,NRPRODCOMVEN=000001", "keypad 5", "keypad 1", "cancel", "keypad 1",
                  "tables 0015", "cancel", "tables 0015", "pick NRCOMANDA=C6", "confirm",
                  "pick NRCOMANDA=C1,NRPRODCOMVEN=000002", "tables 0011", "cancel", "tables 0011", "confirm"});
    EXPECT_EQ(calls.join('\n').toStdString(),
              (QStringList{source,
                           list.arg(3),
                           keypad + "3",
                           "message 3 A quantidade a transferir (5) é maior que a do item (3)",
                           keypad + "5",
                           water,
                           keypad + "1",
                           water,
                           "list Escolha a comanda / A mesa 0015 tem várias comandas: escolha a que recebe 1 × Água / "
                           "Comanda,Descrição,Itens: C5|PKR_0015|0; C6|RES_BIA|0",
                           water + " [0015]",
                           "list Escolha a comanda / A mesa 0015 tem várias comandas: escolha a que recebe 1 × Água / "
                           "Comanda,Descrição,Itens: C5|PKR_0015|0; C6|RES_BIA|0",
                           "confirm Transferir 1 × Água da mesa 0011 para a mesa 0015, comanda RES_BIA?",
                           "notice Transferido 1 × Água da mesa 0011 para a mesa 0015, comanda RES_BIA.",
                           list.arg(2),
                           meat + " [0015]",
                           "confirm Transferir 0,452 × Picanha da mesa 0011 para a mesa 0011?",
                           meat + " [0011]",
                           "confirm Transferir 0,452 × Picanha da mesa 0011 para a mesa 0011?",
                           "notice Transferido 0,452 × Picanha da mesa 0011 para a mesa 0011.",
                           "list Escolha o produto a transferir / Produtos da mesa 0011 / Nome,Quantidade,Lugar,Garçom,"
                           "Comanda: Água|2|01|0001|PKR_0011; Suco|1|02|0001|PKR_0011; Suco|2|01|0002|RES_ANA; "
                           "Picanha|0,452|02|0001|RES_ANA",
                           "map Escolha a mesa de onde sai o produto: 0011,0012,0015 [0011]"})
                  .join('\n')
                  .toStdString());
    EXPECT_EQ(journal(),
              (Rows{{"TRANSFPRODUTO", "0011", "0015", "<null>"}, {"TRANSFPRODUTO", "0011", "0011", "<null>"}}));
    EXPECT_EQ(row("V15", "C6", "000001").size(), 1u);
    EXPECT_EQ(row("V11", "C2", "000002").at(0).at(0), "P2");
}

INSTANTIATE_TEST_SUITE_P(Engines, ProdutoTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
