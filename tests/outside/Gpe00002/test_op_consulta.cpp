// The consultation of a store's groupings, on both engines: members, states, the open sale's
// waiter, people and the total of its listed items, the order and the grouping `argumento`
// names, and the routine that shows them.
#include "DialogueFixture.h"

#include "operations/Groupings.h"

#include <array>

namespace {

using namespace opstest;

class ConsultaTest : public DialogueTest {
protected:
    void SetUp() override {
        DialogueTest::SetUp();
        if (HasFatalFailure()) return;
        QString sql = insert(Product{.codigo = "P1"}) + insert(Product{.codigo = "P2"}) +
                      insert(Waiter{.codigo = "0001", .nome = "Ana"}) + insert(Waiter{.codigo = "0002", .nome = "Bia"});
        for (const char* table : {"0002L", "0020O", "0021L", "0030O", "0031R", "0040O", "0041P", "0050O"})
            sql += insert(Table{.mesa = QByteArray(table, 4).constData(), .estado = table + 4});
        // 0099 is a member that is no longer a table; "12" an old grouping number without zeros.
        for (const char* grouping : {"0000000003", "0000000001", "0000000002", "12"})
            sql += juncaoMesa("0001", "0001", grouping);
        for (const char* member : {"1:0020", "1:0021", "2:0040", "2:0041", "2:0099", "3:0002", "3:0030", "3:0031"})
            sql += mesaJuncao("0001", "0001", (QByteArray("000000000") + member[0]).constData(), member + 2);
        // 0020 counts 2 x 10 - 1 + 0.5, 1 x 5, a missing quantity (0 x 7 + 2), an unknown product
        // (100) and a ticket of another kind (100); not a refill, a cancelled ticket nor a closed sale.
        sql +=
            insert(Sale{.venda = "01", .mesa = "0020"}) +
            insert(Ticket{.venda = "01", .comanda = "C1", .descricao = "PKR_1"}) +
            insert(Item{.venda = "01",
                        .comanda = "C1",
                        .item = "1",
                        .produto = "P1",
                        .quantidade = "2",
                        .preco = "10",
                        .desconto = "1",
                        .acrescimo = "0.5"}) +
            insert(Item{.venda = "01", .comanda = "C1", .item = "2", .produto = "P2", .preco = "5"}) +
            insert(Item{.venda = "01",
                        .comanda = "C1",
                        .item = "3",
                        .produto = "P1",
                        .quantidade = nullptr,
                        .preco = "7",
                        .acrescimo = "2"}) +
            insert(Item{.venda = "01", .comanda = "C1", .item = "4", .produto = "P1", .refil = "S", .preco = "100"}) +
            insert(Item{.venda = "01", .comanda = "C1", .item = "5", .produto = "P9", .preco = "100"}) +
            insert(Sale{.venda = "02", .mesa = "0020", .fechamento = "2024-06-14 21:00:00", .vendedor = "0002"});
        for (const auto& [venda, comanda, descricao, status] :
             {std::array{"01", "C2", "RES_2", "4"}, std::array{"01", "C3", "MESA 20", "1"},
              std::array{"02", "C4", "PKR_4", "1"}})
            sql += insert(Ticket{.venda = venda, .comanda = comanda, .descricao = descricao, .status = status}) +
                   insert(Item{.venda = venda, .comanda = comanda, .item = "1", .produto = "P1", .preco = "100"});
        // 0030: a waiter without a VENDEDOR row; 0040: two open sales, the first one's waiter and
        // people, both totals; 0050 is in no grouping.
        for (const auto& [venda, mesa, vendedor, pessoas, quantidade, preco] :
             {std::array{"03", "0030", "0007", "2", "3", "1.1"}, std::array{"05", "0040", "0002", "2", "1", "10"},
              std::array{"04", "0040", "0001", "3", "2", "2.25"}, std::array{"06", "0050", "0001", "1", "1", "10"}})
            sql += insert(Sale{.venda = venda, .mesa = mesa, .vendedor = vendedor, .pessoas = pessoas}) +
                   insert(Ticket{.venda = venda, .comanda = "C1", .descricao = "RES_1", .status = "2"}) +
                   insert(Item{.venda = venda,
                               .comanda = "C1",
                               .item = "1",
                               .produto = "P2",
                               .quantidade = quantidade,
                               .preco = preco});
        fill(sql);
    }

    // Each grouping as "number: table state waiter/name/people/total; ...", in the order given.
    static QStringList describe(const Gpe00002::GroupingOverview& overview) {
        QStringList groupings;
        for (const Gpe00002::Grouping& grouping : overview.grupos) {
            QStringList tables;
            for (const Gpe00002::GroupingTable& t : grouping.mesas)
                tables << t.mesa.numero + " " + (t.mesa.estado.isEmpty() ? "?" : t.mesa.estado) +
                              (t.vendedor.isEmpty() ? QString()
                                                    : QStringLiteral(" %1/%2/%3/%4")
                                                          .arg(t.vendedor, t.nomeVendedor, t.pessoas)
                                                          .arg(t.total.toDouble()));
            groupings << grouping.numero + ": " + tables.join("; ");
        }
        return groupings;
    }
    QString order(const char* argumento) {
        const Gpe00002::GroupingOverview overview = Gpe00002::loadGroupings(*m_ops, "0001", "0001", argumento);
        QStringList numbers;
        for (const Gpe00002::Grouping& grouping : overview.grupos) numbers << grouping.numero.right(2);
        return numbers.join(",") + (overview.selecionado == 0 ? " selected" : "");
    }
};

TEST_P(ConsultaTest, ListsEveryGroupingWithItsTablesSalesAndTotals) {
    const Gpe00002::GroupingOverview overview = Gpe00002::loadGroupings(*m_ops, "0001", "0001", "");
    EXPECT_EQ(describe(overview), (QStringList{"0000000001: 0020 O 0001/Ana/4/226.5; 0021 L",
                                               "0000000002: 0040 O 0001/Ana/3/14.5; 0041 P; 0099 ?",
                                               "0000000003: 0002 L; 0030 O 0007//2/3.3; 0031 R", "12: "}));
    EXPECT_EQ(overview.selecionado, -1);
}

TEST_P(ConsultaTest, TheGroupingTheArgumentNamesComesFirstAndIsSelected) {
    const std::pair<const char*, const char*> cases[] = {
        {"0030", "03,01,02,12 selected"},       {"30", "03,01,02,12 selected"},
        {" 0021 ", "01,02,03,12 selected"},     {"0099", "02,01,03,12 selected"},
        {"2", "03,01,02,12 selected"},  // table 0002 before grouping 2
        {"0000000002", "02,01,03,12 selected"}, {"12", "12,01,02,03 selected"},
        {"0000000012", "12,01,02,03 selected"}, {"0050", "01,02,03,12"},
        {"0000000030", "01,02,03,12"},          {"abc", "01,02,03,12"}};
    for (const auto& [argumento, expected] : cases) EXPECT_EQ(order(argumento), expected) << argumento;
}

TEST_P(ConsultaTest, TheRoutineShowsTheGroupingsOrSaysThereAreNoneAndChangesNothing) {
    std::vector<Gpe00002::GroupingOverview> shown;
    Gpe00002::ExibeAgrupamentos = [&](const Gpe00002::GroupingOverview& overview) {
        calls << "ExibeAgrupamentos";
        shown.push_back(overview);
    };
    Gpe00002::CriaConsultaJuncao("0030", "0001", "0001");
    Gpe00002::CriaConsultaJuncao("", "0001", "0002");
    EXPECT_EQ(calls, (QStringList{"ExibeAgrupamentos",
                                  "Mensagem 0 Não há mesas agrupadas nesta loja (filial 0001, loja 0002)."}));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(describe(shown.front()).front(), "0000000003: 0002 L; 0030 O 0007//2/3.3; 0031 R");
    EXPECT_EQ(shown.front().selecionado, 0);
    EXPECT_EQ(journal(), Rows{});
}

INSTANTIATE_TEST_SUITE_P(Engines, ConsultaTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
