#pragma once
// The item operations (moving a product, moving a seat position) against a real database: a store
// whose tables hold open sales, tickets and items to move, and readers of the items and of what
// every move must keep.
#include "TerminalFixture.h"

#include "operations/Items.h"

#include <cmath>
#include <map>

namespace opstest {

class ItemsTest : public TerminalTest {
protected:
    void SetUp() override {
        TerminalTest::SetUp();
        if (HasFatalFailure()) return;
        // 0010 free; 0011 with two tickets; 0012 with one (its items numbered up to 000007);
        // 0013 closing; 0014 open without a ticket; 0015 with two empty tickets, one of another
        // kind and one in status 4.
        QString sql = QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('0001', '0001');\n") +
                      insert(Product{.codigo = "P1", .nome = "Água"}) +
                      insert(Product{.codigo = "P2", .nome = "Picanha", .pesado = "S"}) +
                      insert(Product{.codigo = "P3", .nome = "Suco"}) + insert(Table{.mesa = "0010"});
        for (const auto& [mesa, estado, venda] : {std::tuple{"0011", "O", "V11"},
                                                  {"0012", "O", "V12"},
                                                  {"0013", "P", "V13"},
                                                  {"0014", "O", "V14"},
                                                  {"0015", "O", "V15"}})
            sql += insert(Table{.mesa = mesa, .estado = estado}) + insert(Sale{.venda = venda, .mesa = mesa});
        for (const auto& [venda, comanda, descricao, status] : {std::tuple{"V11", "C1", "PKR_0011", "1"},
                                                                {"V11", "C2", "RES_ANA", "1"},
                                                                {"V12", "C3", "PKR_0012", "1"},
                                                                {"V13", "C4", "PKR_0013", "1"},
                                                                {"V15", "C5", "PKR_0015", "1"},
                                                                {"V15", "C6", "RES_BIA", "2"},
                                                                {"V15", "C7", "BALCAO", "1"},
                                                                {"V15", "C8", "PKR_0015", "4"}})
            sql += insert(Ticket{.venda = venda, .comanda = comanda, .descricao = descricao, .status = status});
        sql += insert(Item{.venda = "V11",
                           .comanda = "C1",
                           .item = "000001",
                           .produto = "P1",
                           .quantidade = "3",
                           .desconto = "1",
                           .acrescimo = "0.5",
                           .texto = "sem gelo"}) +
               insert(Item{.venda = "V11",
                           .comanda = "C1",
                           .item = "000002",
                           .produto = "P2",
                           .lugar = "02",
                           .quantidade = "0.452",
                           .preco = "89.9"}) +
               insert(Item{.venda = "V11",
                           .comanda = "C1",
                           .item = "000003",
                           .produto = "P3",
                           .lugar = "02",
                           .preco = "7",
                           .dsComandaOri = "PKR_0099",
                           .nrComandaOri = "0000000099",
                           .nrProdComOri = "000009"}) +
               insert(Item{
                   .venda = "V11", .comanda = "C1", .item = "000004", .produto = "P1", .lugar = "02", .refil = "S"}) +
               insert(Item{.venda = "V11",
                           .comanda = "C2",
                           .item = "000001",
                           .produto = "P3",
                           .vendedor = "0002",
                           .quantidade = "2",
                           .preco = "7",
                           .desconto = "0.01"}) +
               insert(Item{.venda = "V12", .comanda = "C3", .item = "000001", .produto = "P1"}) +
               insert(Item{.venda = "V12", .comanda = "C3", .item = "000007", .produto = "P1"}) +
               insert(Item{.venda = "V13", .comanda = "C4", .item = "000001", .produto = "P1"});
        fill(sql);
    }

    // The item as the list shows it now.
    Gpe00002::TableItem item(const char* mesa, const char* comanda, const char* numero) {
        for (const Gpe00002::TableItem& found : Gpe00002::loadTableItems(*m_ops, "0001", "0001", mesa))
            if (found.comanda.numero == QLatin1String(comanda) && found.numero == QLatin1String(numero)) return found;
        ADD_FAILURE() << "no item " << comanda << "/" << numero << " on table " << mesa;
        return {};
    }
    std::vector<Gpe00002::TableItem> items(const char* mesa) {
        return Gpe00002::loadTableItems(*m_ops, "0001", "0001", mesa);
    }
    // The ticket as the tickets' list shows it now; one that is not listed, by its numbers.
    Gpe00002::Ticket ticket(const char* mesa, const char* comanda) {
        const auto tickets = Gpe00002::loadOpenTickets(*m_ops, "0001", "0001");
        if (const auto of = tickets.find(mesa); of != tickets.end())
            for (const Gpe00002::Ticket& found : of->second)
                if (found.numero == QLatin1String(comanda)) return found;
        return {QStringLiteral("V%1").arg(QLatin1String(mesa).mid(2)), comanda, {}, 0};
    }

    // One item's row: product, quantity, price, discount, surcharge, seat, waiter, text, time,
    // status and origin; no row when there is no such item.
    Rows row(const char* venda, const char* comanda, const char* numero) {
        return select(QStringLiteral("SELECT CDPRODUTO, QTPRODCOMVEN, VRPRECCOMVEN, VRDESCCOMVEN, VRACRCOMVEN, "
                                     "NRLUGARMESA, CDVENDEDOR, TXPRODCOMVEN, DTHRINCOMVEN, IDSTPRCOMVEN, "
                                     "DSCOMANDAORI, NRCOMANDAORI, NRPRODCOMORI FROM ITCOMANDAVEN WHERE NRVENDAREST = "
                                     "'%1' AND NRCOMANDA = '%2' AND NRPRODCOMVEN = '%3'")
                          .arg(venda, comanda, numero));
    }
    // Every item: sale/ticket/item, product, quantity, seat, by key.
    Rows allItems() {
        return select(QStringLiteral(
            "SELECT NRVENDAREST || '/' || NRCOMANDA || '/' || NRPRODCOMVEN, CDPRODUTO, QTPRODCOMVEN, NRLUGARMESA, "
            "VRDESCCOMVEN, VRACRCOMVEN FROM ITCOMANDAVEN ORDER BY NRVENDAREST, NRCOMANDA, NRPRODCOMVEN"));
    }

    // What a move keeps over all the sales: the amount (quantity x price), the discounts and the
    // surcharges, in cents, and each product's quantity, in thousandths.
    std::map<std::string, long long> sums() {
        std::map<std::string, long long> totals;
        for (const Row& r :
             select("SELECT CDPRODUTO, QTPRODCOMVEN, VRPRECCOMVEN, VRDESCCOMVEN, VRACRCOMVEN FROM ITCOMANDAVEN")) {
            const auto number = [](const std::string& text) { return text == "<null>" ? 0.0 : std::stod(text); };
            totals["amount"] += std::llround(number(r[1]) * number(r[2]) * 100);
            totals["discount"] += std::llround(number(r[3]) * 100);
            totals["surcharge"] += std::llround(number(r[4]) * 100);
            totals[r[0]] += std::llround(number(r[1]) * 1000);
        }
        return totals;
    }
};

}  // namespace opstest
