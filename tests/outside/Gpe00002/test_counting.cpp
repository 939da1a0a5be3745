// One rule for what counts (store/Counting.h), on both engines: the same odd rows, each on a table
// and with a waiter of its own, read by every reader of the tables' sales (the moves' item list
// and tickets, the reprint, the groupings' totals and the waiters' report), which all take the
// same items, with the same names and amounts.
#include "OperationsFixture.h"

#include "operations/Groupings.h"
#include "operations/Items.h"
#include "operations/ReimprimePedido.h"
#include "operations/WaiterReport.h"

#include <functional>
#include <map>
#include <optional>

namespace {

using namespace opstest;

// One odd row: a sale of its own on table `mesa`, one ticket, one item for waiter `mesa`.
struct Case {
    const char* mesa;
    const char* what;
    Ticket ticket;
    Item item;
    const char* loja = "0001";
    const char* fechamento = nullptr;
    // What counts of it: its name and its amount in cents; nothing counts when the name is null.
    const char* nome = nullptr;
    qint64 cents = 0;
};

const Case kCases[] = {
    {"0031", "a plain item, weighed, with discount and surcharge: its own name over its fiscal one",
     Ticket{.status = "1"},
     Item{.produto = "P1", .quantidade = "0.452", .preco = "119.9", .desconto = "1", .acrescimo = "0.5"}, "0001",
     nullptr, "Picanha", 5369},
    {"0032", "a ticket without a status is open", Ticket{.status = nullptr}, Item{.produto = "P1"}, "0001", nullptr,
     "Picanha", 1000},
    {"0033", "a cancelled ticket", Ticket{.status = "4"}, Item{.produto = "P1"}},
    {"0034", "a refill", Ticket{}, Item{.produto = "P1", .refil = "S"}},
    {"0035", "an item without the refill indicator", Ticket{}, Item{.produto = "P1", .refil = nullptr}, "0001", nullptr,
     "Picanha", 1000},
    {"0036", "a product without a name shows its fiscal name", Ticket{}, Item{.produto = "P2"}, "0001", nullptr,
     "SUCO FISCAL", 1000},
    {"0037", "a product without names shows its code", Ticket{}, Item{.produto = "P3", .quantidade = "3"}, "0001",
     nullptr, "Produto P3", 3000},
    {"0038", "a product the database does not know", Ticket{},
     Item{.produto = "P9", .quantidade = nullptr, .acrescimo = "2"}, "0001", nullptr, "Produto P9", 200},
    {"0039", "another store's sale on a table of the same number", Ticket{}, Item{.produto = "P1"}, "0002"},
    {"0040", "a closed sale", Ticket{}, Item{.produto = "P1"}, "0001", "2024-06-14 21:00:00"},
};

// What a reader tells of a case's table: the items it takes, their names and their amount.
struct Seen {
    std::optional<int> itens;
    std::optional<QStringList> nomes;
    std::optional<qint64> cents;
};
using Reader = std::function<std::map<QString, Seen>(Gpe00002::PackageDatabase&)>;

const QString kFilial = QStringLiteral("0001"), kLoja = QStringLiteral("0001");

const std::pair<const char*, Reader> kReaders[] = {
    {"the moves' item list",
     [](Gpe00002::PackageDatabase& db) {
         std::map<QString, Seen> seen;
         for (const Case& c : kCases) {
             QStringList names;
             for (const Gpe00002::TableItem& item : Gpe00002::loadTableItems(db, kFilial, kLoja, c.mesa))
                 names << item.nome;
             seen[c.mesa] = {static_cast<int>(names.size()), names, std::nullopt};
         }
         return seen;
     }},
    {"the moves' tickets",
     [](Gpe00002::PackageDatabase& db) {
         std::map<QString, Seen> seen;
         for (const Case& c : kCases) seen[c.mesa].itens = 0;
         for (const auto& [mesa, tickets] : Gpe00002::loadOpenTickets(db, kFilial, kLoja))
             for (const Gpe00002::Ticket& ticket : tickets) *seen[mesa].itens += ticket.itens;
         return seen;
     }},
    {"the reprint",
     [](Gpe00002::PackageDatabase& db) {
         std::map<QString, Seen> seen;
         for (const Case& c : kCases) {
             const Gpe00002::Order order = Gpe00002::loadOrder(db, kFilial, kLoja, c.mesa);
             QStringList names;
             Gpe00002::Money total;
             for (const Gpe00002::OrderTicket& ticket : order.comandas) {
                 for (const Gpe00002::OrderItem& item : ticket.itens) names << item.nome;
                 total += ticket.total();
             }
             seen[c.mesa] = {static_cast<int>(names.size()), names, total.cents()};
         }
         return seen;
     }},
    {"the groupings' totals",
     [](Gpe00002::PackageDatabase& db) {
         std::map<QString, Seen> seen;
         for (const Gpe00002::Grouping& grouping : Gpe00002::loadGroupings(db, kFilial, kLoja, {}).grupos)
             for (const Gpe00002::GroupingTable& table : grouping.mesas)
                 seen[table.mesa.numero].cents = table.total.cents();
         return seen;
     }},
    {"the waiters' report",
     [](Gpe00002::PackageDatabase& db) {
         std::map<QString, Seen> seen;
         for (const Case& c : kCases) seen[c.mesa] = {0, std::nullopt, 0};
         const Gpe00002::WaiterReport report = Gpe00002::loadWaiterReport(db, kFilial, kLoja, QDate(2024, 6, 14));
         for (const Gpe00002::WaiterTotal& waiter : report.abertas.vendedores)
             seen[waiter.vendedor] = {waiter.itens, std::nullopt, waiter.valor.cents()};
         return seen;
     }},
};

class CountingTest : public OperationsTest {
protected:
    void SetUp() override {
        OperationsTest::SetUp();
        if (HasFatalFailure()) return;
        QString sql = insert(Product{.codigo = "P1", .nome = "Picanha", .nomeFiscal = "PICANHA FISCAL"}) +
                      insert(Product{.codigo = "P2", .nomeFiscal = "SUCO FISCAL"}) + insert(Product{.codigo = "P3"}) +
                      juncaoMesa("0001", "0001", "0000000001");
        for (const Case& c : kCases) {
            const QByteArray venda = QByteArray("V") + c.mesa;
            sql += insert(Table{.mesa = c.mesa, .estado = "O"}) + mesaJuncao("0001", "0001", "0000000001", c.mesa) +
                   insert(Sale{.venda = venda.constData(), .loja = c.loja, .mesa = c.mesa, .fechamento = c.fechamento});
            Ticket ticket = c.ticket;
            ticket.venda = venda.constData();
            ticket.comanda = "C1";
            ticket.descricao = "PKR_1";
            Item item = c.item;
            item.venda = venda.constData();
            item.comanda = "C1";
            item.item = "000001";
            item.vendedor = c.mesa;  // the waiters' report tells the cases apart by their waiter
            sql += insert(ticket) + insert(item);
        }
        fill(sql);
    }
};

TEST_P(CountingTest, EveryReaderTakesTheSameItemsWithTheSameNamesAndAmounts) {
    for (const auto& [reader, read] : kReaders) {
        const std::map<QString, Seen> seen = read(*m_ops);
        for (const Case& c : kCases) {
            SCOPED_TRACE(std::string(reader) + ", " + c.what);
            const auto found = seen.find(QString::fromLatin1(c.mesa));
            ASSERT_NE(found, seen.end());
            const Seen& what = found->second;
            // A reader is held to what it tells.
            const int itens = c.nome ? 1 : 0;
            const QStringList nomes = c.nome ? QStringList{QString::fromUtf8(c.nome)} : QStringList();
            EXPECT_EQ(what.itens.value_or(itens), itens);
            EXPECT_EQ(what.nomes.value_or(nomes), nomes);
            EXPECT_EQ(what.cents.value_or(c.cents), c.cents);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, CountingTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
