// The open tickets of a table (getComandaInd) and the items of a ticket or of its table
// (getItemMesa), on a SQLite file and on the PostgreSQL test server. Every test fills a database
// of its own and calls the functions on the data module, as the menu does.
#include "DataModuleFixture.h"

namespace {

using namespace menutest;
using Srv_res00011::getComandaInd;
using Srv_res00011::getItemMesa;

// Sale, ticket and item numbers as stored: zero-padded to their column's width.
std::string nr(int number, int width = 10) {
    std::string text = std::to_string(number);
    return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(text.size()))), '0') + text;
}

const Fields kTicketFields = {
    {"NRVENDAREST", TFieldType::ftString, 10}, {"NRCOMANDA", TFieldType::ftString, 10},
    {"DSCOMANDA", TFieldType::ftString, 50},   {"IDSTCOMANDA", TFieldType::ftString, 1},
    {"VRDESCOMANDA", TFieldType::ftFloat, 0},  {"VRCOMISVENDE", TFieldType::ftFloat, 0},
    {"VRACRCOMANDA", TFieldType::ftFloat, 0},  {"NRPESMESAVEN", TFieldType::ftString, 3},
    {"CDVENDEDOR", TFieldType::ftString, 4},   {"NMFANVEN", TFieldType::ftString, 50},
    {"CDCLIENTE", TFieldType::ftString, 15},
};

const Fields kItemFields = {
    {"NRPRODCOMVEN", TFieldType::ftString, 6},  {"QTPRODCOMVEN", TFieldType::ftFloat, 0},
    {"VRPRECCOMVEN", TFieldType::ftFloat, 0},   {"TXPRODCOMVEN", TFieldType::ftString, 2000},
    {"IDSTPRCOMVEN", TFieldType::ftString, 1},  {"VRDESCCOMVEN", TFieldType::ftFloat, 0},
    {"CDARVPROD", TFieldType::ftString, 20},    {"NMPRODUTO", TFieldType::ftString, 50},
    {"CDPRODUTO", TFieldType::ftString, 10},    {"DTHRINCOMVEN", TFieldType::ftDateTime, 0},
    {"NRCOMANDA", TFieldType::ftString, 10},    {"IDPRODIMPFIS", TFieldType::ftString, 1},
    {"NRSEQPRODCOM", TFieldType::ftString, 3},  {"VRACRCOMVEN", TFieldType::ftFloat, 0},
    {"VRACRCOMANDA", TFieldType::ftFloat, 0},   {"IDPESAPROD", TFieldType::ftString, 1},
    {"DSCOMANDAORI", TFieldType::ftString, 10}, {"NRPRODCOMORI", TFieldType::ftString, 6},
    {"NRCOMANDAORI", TFieldType::ftString, 10}, {"CDVENDEDOR", TFieldType::ftString, 4},
    {"NRVENDAREST", TFieldType::ftString, 10},  {"NRLUGARMESA", TFieldType::ftString, 4},
    {"IDCHECK", TFieldType::ftString, 1},       {"NRSEQBENECONSIT", TFieldType::ftString, 10},
};

// What identifies a listed item, and the seat it is listed with.
const std::vector<QString> kItemKey = {QStringLiteral("NRVENDAREST"), QStringLiteral("NRCOMANDA"),
                                       QStringLiteral("NRPRODCOMVEN"), QStringLiteral("NRLUGARMESA")};

// The consumption, women's consumption and cover charge products of the store.
constexpr const char* kConsum = "0000000090";
constexpr const char* kConsFem = "0000000091";
constexpr const char* kCouver = "0000000092";

QString products() {
    return insert(Product{
               .codigo = "0000000001", .nome = "Picanha", .nomeFiscal = "PICANHA GRELHADA", .arvore = "01.02.003"}) +
           insert(Product{.codigo = "0000000003", .nome = "Suco de laranja", .arvore = "02.01.001"}) +
           insert(Product{
               .codigo = "0000000007", .nome = "Queijo", .nomeFiscal = "QUEIJO KG", .arvore = "03.01", .pesado = "S"}) +
           insert(Product{.codigo = kConsum, .nome = "Consumação"}) +
           insert(Product{.codigo = kConsFem, .nome = "Consumação feminina"}) +
           insert(Product{.codigo = kCouver, .nome = "Couvert"}) + insert(Product{.codigo = "X", .nome = "Produto X"});
}

// Branch 0001, store 0001 unless said otherwise:
//   table 0012: open sale 1 (waiter 0001) with tickets 1 PKR_0012, 2 RES_SILVA, 3 BALCAO,
//     4 PKR_0099 in status 4, 13 pkr_0012, 14 PKR, 15 PKR_, 16 without description,
//     17 " RES_X", 18 PKR_0012 without status, 19 RES-0012; open sale 12 of waiter 0099, who
//     has no VENDEDOR row (ticket 22 PKR_0012B); closed sale 3 (ticket 6 PKR_0012);
//   table 0013: open sale 2 (waiter 0002), ticket 5;
//   grouping 0000000001 of tables 0020, 0021, 0022: sale 4 on 0020 (ticket 7), sale 6 on 0021
//     (ticket 8), 0022 free;
//   grouping 0000000002 of tables 0030 and 0031 without its JUNCAOMESA row: sale 7 on 0030
//     (ticket 9), sale 8 on 0031 (ticket 10);
//   table 0023, grouped with none: sale 10, ticket 20;
//   table 0050, grouped in store 0002 only (grouping 0000000001 of that store, with that
//     store's 0012): sale 11, ticket 21.
// Store 0002: table 0012, open sale 9, ticket 11. Branch 0002: table 0012, open sale 1, ticket 1.
QString restaurant() {
    QString sql = insert(Waiter{.codigo = "0001", .nome = "Ana"}) + insert(Waiter{.codigo = "0002", .nome = "Bruno"});
    sql += insert(Sale{.venda = "0000000001", .mesa = "0012", .cliente = "C001"}) +
           insert(Sale{.venda = "0000000003", .mesa = "0012", .fechamento = "2024-06-13 23:10:00"}) +
           insert(Sale{.venda = "0000000012", .mesa = "0012", .vendedor = "0099"}) +
           insert(Sale{.venda = "0000000002", .mesa = "0013", .vendedor = "0002", .pessoas = "2"}) +
           insert(Sale{.venda = "0000000004", .mesa = "0020", .vendedor = "0002", .pessoas = "6"}) +
           insert(Sale{.venda = "0000000006", .mesa = "0021", .pessoas = "3"}) +
           insert(Sale{.venda = "0000000007", .mesa = "0030"}) + insert(Sale{.venda = "0000000008", .mesa = "0031"}) +
           insert(Sale{.venda = "0000000010", .mesa = "0023"}) + insert(Sale{.venda = "0000000011", .mesa = "0050"}) +
           insert(Sale{.venda = "0000000009", .loja = "0002", .mesa = "0012"}) +
           insert(Sale{.filial = "0002", .venda = "0000000001", .mesa = "0012"});
    const auto ticket = [](const char* venda, const char* comanda, const char* descricao, const char* status = "1") {
        return insert(Ticket{.venda = venda, .comanda = comanda, .descricao = descricao, .status = status});
    };
    sql += ticket("0000000001", "0000000001", "PKR_0012") + ticket("0000000001", "0000000002", "RES_SILVA", "2") +
           ticket("0000000001", "0000000003", "BALCAO") + ticket("0000000001", "0000000004", "PKR_0099", "4") +
           ticket("0000000001", "0000000013", "pkr_0012") + ticket("0000000001", "0000000014", "PKR") +
           ticket("0000000001", "0000000015", "PKR_") + ticket("0000000001", "0000000016", nullptr) +
           ticket("0000000001", "0000000017", " RES_X") + ticket("0000000001", "0000000018", "PKR_0012", nullptr) +
           ticket("0000000001", "0000000019", "RES-0012") + ticket("0000000012", "0000000022", "PKR_0012B") +
           ticket("0000000003", "0000000006", "PKR_0012") + ticket("0000000002", "0000000005", "PKR_0013") +
           ticket("0000000004", "0000000007", "PKR_0020") + ticket("0000000006", "0000000008", "RES_0021") +
           ticket("0000000007", "0000000009", "PKR_0030") + ticket("0000000008", "0000000010", "PKR_0031") +
           ticket("0000000010", "0000000020", "PKR_0023") + ticket("0000000011", "0000000021", "PKR_0050") +
           ticket("0000000009", "0000000011", "PKR_0012") +
           insert(Ticket{.filial = "0002", .venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012"});
    sql += juncaoMesa("0001", "0001", "0000000001") + mesaJuncao("0001", "0001", "0000000001", "0020") +
           mesaJuncao("0001", "0001", "0000000001", "0021") + mesaJuncao("0001", "0001", "0000000001", "0022") +
           mesaJuncao("0001", "0001", "0000000002", "0030") + mesaJuncao("0001", "0001", "0000000002", "0031") +
           juncaoMesa("0001", "0002", "0000000001") + mesaJuncao("0001", "0002", "0000000001", "0050") +
           mesaJuncao("0001", "0002", "0000000001", "0012");
    return sql;
}

// The items of restaurant(): one of product 0000000001 on every ticket, and on ticket 1 one of
// every kind that is or is not listed.
QString restaurantItems() {
    QString sql = products();
    const auto item = [](const char* venda, const char* comanda, const char* nrItem,
                         const char* produto = "0000000001") {
        return insert(Item{.venda = venda, .comanda = comanda, .item = nrItem, .produto = produto});
    };
    sql +=
        insert(Item{
            .venda = "0000000001", .comanda = "0000000001", .item = "000001", .produto = "0000000001", .lugar = "02"}) +
        insert(Item{
            .venda = "0000000001", .comanda = "0000000001", .item = "000002", .produto = "0000000003", .lugar = "03"}) +
        insert(Item{
            .venda = "0000000001", .comanda = "0000000001", .item = "000003", .produto = "0000000007", .refil = "S"}) +
        item("0000000001", "0000000001", "000004", kConsum) + item("0000000001", "0000000001", "000005", kConsFem) +
        item("0000000001", "0000000001", "000006", kCouver) + item("0000000001", "0000000001", "000007", "X") +
        item("0000000001", "0000000001", "000008", "0000000999") +  // no PRODUTO row
        insert(Item{.venda = "0000000001",
                    .comanda = "0000000001",
                    .item = "000009",
                    .produto = "0000000001",
                    .refil = nullptr}) +
        insert(Item{
            .venda = "0000000001", .comanda = "0000000001", .item = "000010", .produto = "0000000001", .refil = "n"});
    sql += insert(Item{
        .venda = "0000000001", .comanda = "0000000002", .item = "000001", .produto = "0000000001", .lugar = nullptr});
    for (const char* comanda : {"0000000003", "0000000004", "0000000013", "0000000014", "0000000015", "0000000016",
                                "0000000017", "0000000018", "0000000019"})
        sql += item("0000000001", comanda, "000001");
    sql +=
        item("0000000012", "0000000022", "000001") + item("0000000003", "0000000006", "000001") +
        item("0000000002", "0000000005", "000001") + item("0000000004", "0000000007", "000001") +
        insert(Item{
            .venda = "0000000004", .comanda = "0000000007", .item = "000002", .produto = "0000000007", .lugar = "02"}) +
        insert(Item{
            .venda = "0000000006", .comanda = "0000000008", .item = "000001", .produto = "0000000003", .lugar = "04"}) +
        item("0000000007", "0000000009", "000001") + item("0000000008", "0000000010", "000001") +
        item("0000000010", "0000000020", "000001") + item("0000000011", "0000000021", "000001") +
        item("0000000009", "0000000011", "000001") +
        insert(Item{.filial = "0002",
                    .venda = "0000000001",
                    .comanda = "0000000001",
                    .item = "000001",
                    .produto = "0000000001"});
    return sql;
}

class TicketsItemsTest : public DataModuleTest {
protected:
    QVariant items(const char* filial, const char* comanda, const char* modo, const char* consum = kConsum,
                   const char* consFem = kConsFem, const char* couver = kCouver) {
        QVariant answer;
        EXPECT_NO_THROW(answer = getItemMesa(QString::fromUtf8(filial), QString::fromUtf8(comanda),
                                             QString::fromUtf8(modo), QString::fromUtf8(consum),
                                             QString::fromUtf8(consFem), QString::fromUtf8(couver)));
        return answer;
    }
    QVariant tickets(const char* mesa, const char* filial = "0001", const char* loja = "0001") {
        QVariant answer;
        EXPECT_NO_THROW(answer =
                            getComandaInd(QString::fromUtf8(mesa), QString::fromUtf8(filial), QString::fromUtf8(loja)));
        return answer;
    }
};

// ---------------------------------------------------------------------------------------------
// getComandaInd

TEST_P(TicketsItemsTest, ComandaIndListsTheOpenTicketsOfTheTableAndItsGrouping) {
    fill(restaurant());
    struct Case {
        const char* name;
        const char* mesa;
        const char* filial;
        const char* loja;
        Rows expected;  // NRVENDAREST, NRCOMANDA in the answer's order
    };
    const Case cases[] = {
        {"a table alone: PKR_/RES_ tickets not in status 4 of its open sales whose waiter exists",
         "0012",
         "0001",
         "0001",
         {{nr(1), nr(1)}, {nr(1), nr(2)}, {nr(1), nr(15)}}},
        {"a grouped table: the tickets of every table of its grouping",
         "0021",
         "0001",
         "0001",
         {{nr(4), nr(7)}, {nr(6), nr(8)}}},
        {"another member of the same grouping", "0020", "0001", "0001", {{nr(4), nr(7)}, {nr(6), nr(8)}}},
        {"a free member of the grouping", "0022", "0001", "0001", {{nr(4), nr(7)}, {nr(6), nr(8)}}},
        {"a grouping without its JUNCAOMESA row groups nothing", "0030", "0001", "0001", {{nr(7), nr(9)}}},
        {"its other member", "0031", "0001", "0001", {{nr(8), nr(10)}}},
        {"a table grouped with none", "0023", "0001", "0001", {{nr(10), nr(20)}}},
        {"a grouping of another store does not count", "0050", "0001", "0001", {{nr(11), nr(21)}}},
        {"the other waiter's table", "0013", "0001", "0001", {{nr(2), nr(5)}}},
        {"a table without sales", "0099", "0001", "0001", {}},
        {"the same table number in another store, grouped there with a table that has no sale",
         "0012",
         "0001",
         "0002",
         {{nr(9), nr(11)}}},
        {"the same table number in another branch", "0012", "0002", "0001", {{nr(1), nr(1)}}},
        {"a table number without its zeros matches nothing", "12", "0001", "0001", {}},
        {"a table number with a trailing blank matches nothing", "0012 ", "0001", "0001", {}},
        {"a store code with a trailing blank matches nothing", "0012", "0001", "0001 ", {}},
        {"a branch code without its zeros matches nothing", "0012", "1", "0001", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TPacketTable packet = packetOf(tickets(c.mesa, c.filial, c.loja));
        EXPECT_EQ(packet.fields, kTicketFields);
        EXPECT_EQ(columnsOf(packet, {QStringLiteral("NRVENDAREST"), QStringLiteral("NRCOMANDA")}), c.expected);
    }
}

TEST_P(TicketsItemsTest, ComandaIndDeliversEveryColumnOnceInSaleAndTicketOrder) {
    // Tables 0040 and 0041 grouped; ticket numbers of different lengths order as texts.
    fill(
        insert(Waiter{.codigo = "0001", .nome = "Ana Souza"}) + insert(Waiter{.codigo = "0002", .nome = "Bruno"}) +
        juncaoMesa("0001", "0001", "0000000005") + mesaJuncao("0001", "0001", "0000000005", "0040") +
        mesaJuncao("0001", "0001", "0000000005", "0041") +
        insert(Sale{
            .venda = "0000000031", .mesa = "0040", .vendedor = "0002", .pessoas = "12", .cliente = "000000000000042"}) +
        insert(Sale{.venda = "0000000030", .mesa = "0041", .pessoas = nullptr}) +
        insert(Ticket{.venda = "0000000031",
                      .comanda = "0000000002",
                      .descricao = "RES_ANA",
                      .status = "2",
                      .desconto = "5",
                      .comissao = "3.5"}) +
        insert(Ticket{.venda = "0000000031", .comanda = "0000000001", .descricao = "PKR_0040", .acrescimo = "0.1"}) +
        insert(Ticket{.venda = "0000000030",
                      .comanda = "900",
                      .descricao = "PKR_0041",
                      .status = "3",
                      .desconto = "0",
                      .comissao = "0",
                      .acrescimo = "0"}) +
        insert(Ticket{.venda = "0000000030", .comanda = "1000", .descricao = "RES_1000"}));
    const Rows expected = {
        {"0000000030", "1000", "RES_1000", "1", kNull, kNull, kNull, kNull, "0001", "Ana Souza", kNull},
        {"0000000030", "900", "PKR_0041", "3", "0", "0", "0", kNull, "0001", "Ana Souza", kNull},
        {"0000000031", "0000000001", "PKR_0040", "1", kNull, kNull, "0.1", "12", "0002", "Bruno", "000000000000042"},
        {"0000000031", "0000000002", "RES_ANA", "2", "5", "3.5", kNull, "12", "0002", "Bruno", "000000000000042"},
    };
    for (const char* mesa : {"0040", "0041"}) {
        SCOPED_TRACE(mesa);
        // The table's own tickets are found by both halves of the statement: each comes once.
        const TPacketTable packet = packetOf(tickets(mesa));
        EXPECT_EQ(packet.fields, kTicketFields);
        EXPECT_EQ(rowsOf(packet), expected);
    }
}

TEST_P(TicketsItemsTest, ComandaIndLeavesOutTheSalesOfAWaiterWithoutVendedorRow) {
    fill(insert(Waiter{.codigo = "0001", .nome = "Ana"}) + insert(Sale{.venda = "0000000001", .mesa = "0012"}) +
         insert(Sale{.venda = "0000000002", .mesa = "0012", .vendedor = "0099"}) +
         insert(Sale{.venda = "0000000003", .mesa = "0012", .vendedor = nullptr}) +
         insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_1"}) +
         insert(Ticket{.venda = "0000000002", .comanda = "0000000002", .descricao = "PKR_2"}) +
         insert(Ticket{.venda = "0000000003", .comanda = "0000000003", .descricao = "PKR_3"}));
    EXPECT_EQ(rowsOf(packetOf(tickets("0012"))),
              (Rows{{nr(1), nr(1), "PKR_1", "1", kNull, kNull, kNull, "4", "0001", "Ana", kNull}}));

    // Once the waiter has a row, the sale's tickets are listed with the sale's waiter.
    fill(insert(Waiter{.codigo = "0099", .nome = "Novo"}));
    EXPECT_EQ(rowsOf(packetOf(tickets("0012"))),
              (Rows{{nr(1), nr(1), "PKR_1", "1", kNull, kNull, kNull, "4", "0001", "Ana", kNull},
                    {nr(2), nr(2), "PKR_2", "1", kNull, kNull, kNull, "4", "0099", "Novo", kNull}}));
}

// ---------------------------------------------------------------------------------------------
// getItemMesa

TEST_P(TicketsItemsTest, ItemMesaListsTheTicketOrTheTableByMode) {
    fill(restaurant() + restaurantItems());
    // Table 0012 of store 0001 in mode RES: tickets 1, 2 and 15 of sale 1 and ticket 22 of sale
    // 12 (whose waiter has no VENDEDOR row: the item list does not read VENDEDOR), each item on
    // its own seat.
    const Rows table12 = {{nr(1), nr(1), nr(1, 6), "02"},  {nr(1), nr(1), nr(2, 6), "03"},
                          {nr(1), nr(1), nr(7, 6), "01"},  {nr(1), nr(2), nr(1, 6), kNull},
                          {nr(1), nr(15), nr(1, 6), "01"}, {nr(12), nr(22), nr(1, 6), "01"}};
    const Rows ticket1 = {
        {nr(1), nr(1), nr(1, 6), "01"}, {nr(1), nr(1), nr(2, 6), "01"}, {nr(1), nr(1), nr(7, 6), "01"}};
    const Rows grouping1 = {
        {nr(4), nr(7), nr(1, 6), "01"}, {nr(4), nr(7), nr(2, 6), "02"}, {nr(6), nr(8), nr(1, 6), "04"}};
    struct Case {
        const char* name;
        const char* filial;
        const char* comanda;
        const char* modo;
        Rows expected;  // any order
    };
    const Case cases[] = {
        // One ticket: items not refills, of a product that exists and is none of the three.
        {"one ticket: refills, the three products and items without product left out", "0001", "0000000001", "",
         ticket1},
        {"one ticket: an item without seat is reported on seat 01",
         "0001",
         "0000000002",
         "",
         {{nr(1), nr(2), nr(1, 6), "01"}}},
        {"one ticket: the description is not looked at", "0001", "0000000003", "", {{nr(1), nr(3), nr(1, 6), "01"}}},
        {"one ticket: nor its case", "0001", "0000000013", "", {{nr(1), nr(13), nr(1, 6), "01"}}},
        {"one ticket: status 4 lists nothing", "0001", "0000000004", "", {}},
        {"one ticket: a ticket without status lists nothing", "0001", "0000000018", "", {}},
        {"one ticket: a closed sale lists nothing", "0001", "0000000006", "", {}},
        {"one ticket: the store is not looked at", "0001", "0000000011", "", {{nr(9), nr(11), nr(1, 6), "01"}}},
        {"one ticket: the ticket of another branch", "0002", "0000000001", "", {{nr(1), nr(1), nr(1, 6), "01"}}},
        {"one ticket: unknown", "0001", "0000000099", "", {}},
        {"one ticket: a number without its zeros matches nothing", "0001", "1", "", {}},
        // Mode RES: the open PKR_/RES_ tickets of the ticket's table and of its grouping.
        {"RES: the ticket's table", "0001", "0000000001", "RES", table12},
        {"RES: from another ticket of the table", "0001", "0000000002", "RES", table12},
        {"RES: from a ticket whose own items are not listed (BALCAO)", "0001", "0000000003", "RES", table12},
        {"RES: from a ticket in status 4", "0001", "0000000004", "RES", table12},
        {"RES: from a ticket of the table's closed sale", "0001", "0000000006", "RES", table12},
        {"RES: from the ticket of the sale without VENDEDOR row", "0001", "0000000022", "RES", table12},
        {"RES: a grouped table", "0001", "0000000007", "RES", grouping1},
        {"RES: another table of the grouping", "0001", "0000000008", "RES", grouping1},
        {"RES: a grouping without its JUNCAOMESA row groups nothing",
         "0001",
         "0000000009",
         "RES",
         {{nr(7), nr(9), nr(1, 6), "01"}}},
        {"RES: its other member", "0001", "0000000010", "RES", {{nr(8), nr(10), nr(1, 6), "01"}}},
        {"RES: a table grouped with none", "0001", "0000000020", "RES", {{nr(10), nr(20), nr(1, 6), "01"}}},
        {"RES: a grouping of another store does not count",
         "0001",
         "0000000021",
         "RES",
         {{nr(11), nr(21), nr(1, 6), "01"}}},
        {"RES: the same table number in another store", "0001", "0000000011", "RES", {{nr(9), nr(11), nr(1, 6), "01"}}},
        {"RES: the other branch", "0002", "0000000001", "RES", {{nr(1), nr(1), nr(1, 6), "01"}}},
        {"RES: an unknown ticket lists nothing", "0001", "0000000099", "RES", {}},
        {"RES: the ticket of another branch is not found", "0002", "0000000005", "RES", {}},
        // Only "RES" itself is the table mode.
        {"mode res", "0001", "0000000001", "res", ticket1},
        {"mode Res", "0001", "0000000001", "Res", ticket1},
        {"mode RES with a trailing blank", "0001", "0000000001", "RES ", ticket1},
        {"mode RES with a leading blank", "0001", "0000000001", " RES", ticket1},
        {"mode RESERVA", "0001", "0000000001", "RESERVA", ticket1},
        {"mode 1", "0001", "0000000001", "1", ticket1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TPacketTable packet = packetOf(items(c.filial, c.comanda, c.modo));
        EXPECT_EQ(packet.fields, kItemFields);
        EXPECT_EQ(sorted(columnsOf(packet, kItemKey)), sorted(c.expected));
    }
}

TEST_P(TicketsItemsTest, ItemMesaDeliversEveryFieldOfAnItemInBothModes) {
    // 2000 characters, 2800 bytes.
    const QByteArray note = QByteArrayLiteral("ação-").repeated(400);
    ASSERT_EQ(QString::fromUtf8(note).size(), 2000);
    fill(products() + insert(Waiter{.codigo = "0001", .nome = "Ana"}) +
         insert(Sale{.venda = "0000000001", .mesa = "0012"}) +
         insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012", .acrescimo = "1.25"}) +
         insert(Item{.venda = "0000000001",
                     .comanda = "0000000001",
                     .item = "000001",
                     .produto = "0000000001",
                     .lugar = "03",
                     .vendedor = "0002",
                     .quantidade = "1.5",
                     .preco = "89.9",
                     .desconto = "2.25",
                     .acrescimo = "0.5",
                     .texto = note.constData(),
                     .status = "E",
                     .inclusao = "2024-06-14 19:31:05",
                     .impressoFiscal = "S",
                     .sequencia = "002",
                     .dsComandaOri = "BALCAO",
                     .nrComandaOri = "0000000005",
                     .nrProdComOri = "000007",
                     .beneficio = "0000000042"}) +
         insert(Item{.venda = "0000000001",
                     .comanda = "0000000001",
                     .item = "000002",
                     .produto = "0000000003",
                     .lugar = nullptr,
                     .vendedor = nullptr,
                     .quantidade = "2",
                     .preco = "7",
                     .status = nullptr,
                     .inclusao = nullptr,
                     .impressoFiscal = nullptr,
                     .sequencia = nullptr}) +
         insert(Item{.venda = "0000000001",
                     .comanda = "0000000001",
                     .item = "000003",
                     .produto = "0000000007",
                     .quantidade = "0.35",
                     .preco = "59.9"}));
    const auto rows = [&](const char* seat1, const char* seat2, const char* seat3) {
        return Rows{
            {"000001",     "1.5",
             "89.9",       note.toStdString(),
             "E",          "2.25",
             "01.02.003",  "PICANHA GRELHADA",
             "0000000001", "2024-06-14 19:31:05",
             "0000000001", "S",
             "002",        "0.5",
             "1.25",       "N",
             "BALCAO",     "000007",
             "0000000005", "0002",
             "0000000001", seat1,
             "U",          "0000000042"},
            // Without fiscal name: the product's name.
            {"000002",     "2",   "7",          kNull, kNull,        kNull, "02.01.001", "Suco de laranja",
             "0000000003", kNull, "0000000001", kNull, kNull,        kNull, "1.25",      "N",
             kNull,        kNull, kNull,        kNull, "0000000001", seat2, "U",         kNull},
            {"000003",     "0.35",  "59.9",      kNull,        "P",
             kNull,        "03.01", "QUEIJO KG", "0000000007", "2024-06-14 19:30:00",
             "0000000001", "N",     "001",       kNull,        "1.25",
             "S",          kNull,   kNull,       kNull,        "0001",
             "0000000001", seat3,   "U",         kNull},
        };
    };
    {
        SCOPED_TRACE("one ticket: every item on seat 01");
        const TPacketTable packet = packetOf(items("0001", "0000000001", ""));
        EXPECT_EQ(packet.fields, kItemFields);
        EXPECT_EQ(sorted(rowsOf(packet)), rows("01", "01", "01"));
    }
    {
        SCOPED_TRACE("RES: every item on its own seat");
        const TPacketTable packet = packetOf(items("0001", "0000000001", "RES"));
        EXPECT_EQ(packet.fields, kItemFields);
        EXPECT_EQ(sorted(rowsOf(packet)), rows("03", kNull, "01"));
    }
}

TEST_P(TicketsItemsTest, ItemMesaLeavesOutTheThreeProductsAndTakesAnEmptyCodeForX) {
    fill(products() + insert(Product{.codigo = "   ", .nome = "Em branco"}) +
         insert(Product{.codigo = "x", .nome = "x minusculo"}) + insert(Waiter{.codigo = "0001", .nome = "Ana"}) +
         insert(Sale{.venda = "0000000001", .mesa = "0012"}) +
         insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012"}));
    int number = 0;
    for (const char* produto : {"0000000001", kConsum, kConsFem, kCouver, "X", "   ", "x"}) {
        const std::string nrItem = nr(++number, 6);
        fill(insert(Item{.venda = "0000000001", .comanda = "0000000001", .item = nrItem.c_str(), .produto = produto}));
    }
    struct Case {
        const char* name;
        const char* consum;
        const char* consFem;
        const char* couver;
        Rows expected;  // CDPRODUTO, sorted
    };
    const Case cases[] = {
        {"the three codes", kConsum, kConsFem, kCouver, {{"   "}, {"0000000001"}, {"X"}, {"x"}}},
        {"no codes: X alone is left out",
         "",
         "",
         "",
         {{"   "}, {"0000000001"}, {kConsum}, {kConsFem}, {kCouver}, {"x"}}},
        {"consumption only", kConsum, "", "", {{"   "}, {"0000000001"}, {kConsFem}, {kCouver}, {"x"}}},
        {"women's consumption only", "", kConsFem, "", {{"   "}, {"0000000001"}, {kConsum}, {kCouver}, {"x"}}},
        {"cover charge only", "", "", kCouver, {{"   "}, {"0000000001"}, {kConsum}, {kConsFem}, {"x"}}},
        {"the same code three times",
         kConsum,
         kConsum,
         kConsum,
         {{"   "}, {"0000000001"}, {kConsFem}, {kCouver}, {"X"}, {"x"}}},
        {"a code of blanks is taken as it is", "   ", kConsFem, kCouver, {{"0000000001"}, {kConsum}, {"X"}, {"x"}}},
        {"one blank is not three", " ", kConsFem, kCouver, {{"   "}, {"0000000001"}, {kConsum}, {"X"}, {"x"}}},
        {"codes compare with their case",
         "x",
         "x",
         "x",
         {{"   "}, {"0000000001"}, {kConsum}, {kConsFem}, {kCouver}, {"X"}}},
        {"a code with a trailing blank leaves out nothing",
         "0000000090 ",
         kConsFem,
         kCouver,
         {{"   "}, {"0000000001"}, {kConsum}, {"X"}, {"x"}}},
    };
    for (const Case& c : cases) {
        for (const char* modo : {"", "RES"}) {
            SCOPED_TRACE(std::string(c.name) + ", mode '" + modo + "'");
            const TPacketTable packet = packetOf(items("0001", "0000000001", modo, c.consum, c.consFem, c.couver));
            EXPECT_EQ(sorted(columnsOf(packet, {QStringLiteral("CDPRODUTO")})), c.expected);
        }
    }
}

TEST_P(TicketsItemsTest, ItemMesaForOneTicketListsTheTicketNumberInEveryOpenSaleOfTheBranch) {
    // Ticket 1 is open in store 0001 (table 0012) and in store 0002 (table 0005), and was used
    // in a closed sale too.
    fill(products() + insert(Sale{.venda = "0000000001", .mesa = "0012"}) +
         insert(Sale{.venda = "0000000002", .loja = "0002", .mesa = "0005"}) +
         insert(Sale{.venda = "0000000003", .mesa = "0007", .fechamento = "2024-06-13 22:00:00"}) +
         insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012"}) +
         insert(Ticket{.venda = "0000000002", .comanda = "0000000001", .descricao = "BALCAO"}) +
         insert(Ticket{.venda = "0000000003", .comanda = "0000000001", .descricao = "PKR_0007"}) +
         insert(Item{.venda = "0000000001", .comanda = "0000000001", .item = "000001", .produto = "0000000001"}) +
         insert(Item{.venda = "0000000002", .comanda = "0000000001", .item = "000001", .produto = "0000000003"}) +
         insert(Item{.venda = "0000000003", .comanda = "0000000001", .item = "000001", .produto = "0000000007"}));
    EXPECT_EQ(sorted(columnsOf(packetOf(items("0001", "0000000001", "")), kItemKey)),
              (Rows{{nr(1), nr(1), nr(1, 6), "01"}, {nr(2), nr(1), nr(1, 6), "01"}}));
}

// Ticket card 1 (PKR_0001) is on table 0012 in today's open sale 4, and was on table 0007 in
// yesterday's closed sale 3; table 0007 has a new open sale 5 with another ticket. Mode RES
// must list the items of the table the ticket is on now, whichever of the two is stored first.
TEST_P(TicketsItemsTest, ItemMesaInModeResFindsTheTableOfTheOpenSaleOfAReusedTicketNumber) {
    for (const bool closedFirst : {true, false}) {
        SCOPED_TRACE(closedFirst ? "the closed sale stored first" : "the open sale stored first");
        fill(QStringLiteral("DELETE FROM ITCOMANDAVEN; DELETE FROM COMANDAVEN; DELETE FROM VENDAREST; "
                            "DELETE FROM PRODUTO;") +
             products());
        const QString closed =
            insert(Sale{.venda = "0000000003", .mesa = "0007", .fechamento = "2024-06-13 22:00:00"}) +
            insert(Ticket{.venda = "0000000003", .comanda = "0000000001", .descricao = "PKR_0001"}) +
            insert(Sale{.venda = "0000000005", .mesa = "0007"}) +
            insert(Ticket{.venda = "0000000005", .comanda = "0000000009", .descricao = "PKR_0007"}) +
            insert(Item{.venda = "0000000005", .comanda = "0000000009", .item = "000001", .produto = "0000000003"});
        const QString open =
            insert(Sale{.venda = "0000000004", .mesa = "0012"}) +
            insert(Ticket{.venda = "0000000004", .comanda = "0000000001", .descricao = "PKR_0001"}) +
            insert(Item{.venda = "0000000004", .comanda = "0000000001", .item = "000001", .produto = "0000000001"});
        fill(closedFirst ? closed + open : open + closed);
        EXPECT_EQ(sorted(columnsOf(packetOf(items("0001", "0000000001", "RES")), kItemKey)),
                  (Rows{{nr(4), nr(1), nr(1, 6), "01"}}));
    }
}

// ---------------------------------------------------------------------------------------------
// A table recorded in two groupings

TEST_P(TicketsItemsTest, ATableInTwoGroupings) {
    // Table 0021 is in grouping 1 (with 0020) and in grouping 2 (with 0022); each table has an
    // open sale with one ticket of one item.
    QString sql = insert(Waiter{.codigo = "0001", .nome = "Ana"}) + products() +
                  juncaoMesa("0001", "0001", "0000000001") + juncaoMesa("0001", "0001", "0000000002");
    int venda = 0;
    for (const char* mesa : {"0020", "0021", "0022"}) {
        const std::string number = nr(++venda);
        const std::string description = std::string("PKR_") + mesa;
        sql +=
            insert(Sale{.venda = number.c_str(), .mesa = mesa}) +
            insert(Ticket{.venda = number.c_str(), .comanda = number.c_str(), .descricao = description.c_str()}) +
            insert(Item{.venda = number.c_str(), .comanda = number.c_str(), .item = "000001", .produto = "0000000001"});
    }
    fill(sql);
    const QString grouping1 =
        mesaJuncao("0001", "0001", "0000000001", "0020") + mesaJuncao("0001", "0001", "0000000001", "0021");
    const QString grouping2 =
        mesaJuncao("0001", "0001", "0000000002", "0021") + mesaJuncao("0001", "0001", "0000000002", "0022");
    const std::vector<QString> key = {QStringLiteral("NRVENDAREST"), QStringLiteral("NRCOMANDA")};

    for (const bool grouping2First : {false, true}) {
        SCOPED_TRACE(grouping2First ? "grouping 2 stored first" : "grouping 1 stored first");
        fill(QStringLiteral("DELETE FROM MESAJUNCAO;") +
             (grouping2First ? grouping2 + grouping1 : grouping1 + grouping2));

        // The tables in one grouping are answered as usual.
        EXPECT_EQ(columnsOf(packetOf(tickets("0020")), key), (Rows{{nr(1), nr(1)}, {nr(2), nr(2)}}));
        EXPECT_EQ(columnsOf(packetOf(tickets("0022")), key), (Rows{{nr(2), nr(2)}, {nr(3), nr(3)}}));
        EXPECT_EQ(sorted(columnsOf(packetOf(items("0001", nr(1).c_str(), "RES")), key)),
                  (Rows{{nr(1), nr(1)}, {nr(2), nr(2)}}));

        const QVariant ticketAnswer = tickets("0021");
        const QVariant itemAnswer = items("0001", nr(2).c_str(), "RES");
        if (postgres()) {
            const QString error = QStringLiteral(
                "Erro de banco de dados: PostgreSQL: ERROR:  more than one row returned by a subquery used as an "
                "expression");
            EXPECT_EQ(errorOf(ticketAnswer), error);
            EXPECT_EQ(errorOf(itemAnswer), error);
        } else {
            // SQLite answers without a word, from one of the two groupings only: the first row of
            // the look-up of the table's grouping, which it reads through MESAJUNCAO's primary
            // key, so the grouping of the lowest number whatever the order of storage. Tables
            // 0020 and 0021 of grouping 1; table 0022, grouped with 0021 too, is missing.
            const Rows expected = {{nr(1), nr(1)}, {nr(2), nr(2)}};
            EXPECT_EQ(columnsOf(packetOf(ticketAnswer), key), expected);
            EXPECT_EQ(sorted(columnsOf(packetOf(itemAnswer), key)), expected);
        }
        // The single-ticket list does not look at groupings.
        EXPECT_EQ(columnsOf(packetOf(items("0001", nr(2).c_str(), "")), key), (Rows{{nr(2), nr(2)}}));
    }
}

// ---------------------------------------------------------------------------------------------
// Failures

TEST_P(TicketsItemsTest, AMissingTableAnswersTheErrorTextAndTheNextCallWorksOnceItIsBack) {
    fill(restaurant() + restaurantItems());
    const Rows ticket1 = {
        {nr(1), nr(1), nr(1, 6), "01"}, {nr(1), nr(1), nr(2, 6), "01"}, {nr(1), nr(1), nr(7, 6), "01"}};
    ASSERT_EQ(sorted(columnsOf(packetOf(items("0001", "0000000001", "")), kItemKey)), ticket1);

    struct Case {
        const char* table;
        std::function<QVariant()> call;
    };
    const Case cases[] = {
        {"PRODUTO", [&] { return items("0001", "0000000001", ""); }},
        {"PRODUTO", [&] { return items("0001", "0000000001", "RES"); }},
        {"COMANDAVEN", [&] { return items("0001", "0000000001", "RES"); }},  // the ticket's look-up
        {"VENDEDOR", [&] { return tickets("0012"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        m_db.Execute(QStringLiteral("ALTER TABLE %1 RENAME TO %1_AWAY").arg(QLatin1String(c.table)));
        const QString error = errorOf(c.call());
        if (postgres())
            EXPECT_TRUE(pgMissingTable(c.table).match(error).hasMatch()) << error.toStdString();
        else
            EXPECT_EQ(error,
                      QStringLiteral("Erro de banco de dados: SQLite: no such table: %1").arg(QLatin1String(c.table)));
        m_db.Execute(QStringLiteral("ALTER TABLE %1_AWAY RENAME TO %1").arg(QLatin1String(c.table)));

        EXPECT_EQ(sorted(columnsOf(packetOf(items("0001", "0000000001", "")), kItemKey)), ticket1);
        EXPECT_EQ(columnsOf(packetOf(tickets("0012")), {QStringLiteral("NRCOMANDA")}),
                  (Rows{{nr(1)}, {nr(2)}, {nr(15)}}));
        EXPECT_EQ(sorted(columnsOf(packetOf(items("0001", "0000000001", "RES")), {QStringLiteral("NRCOMANDA")})),
                  (Rows{{nr(1)}, {nr(1)}, {nr(1)}, {nr(2)}, {nr(15)}, {nr(22)}}));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, TicketsItemsTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
