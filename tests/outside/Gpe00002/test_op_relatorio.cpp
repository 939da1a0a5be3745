// The waiters' report on both engines: per waiter the items that carry their code (not the
// sale's), over the open sales and the sales opened on a day, with the day's changes of waiter
// or why there are none; and RelFiscais, which asks the day, shows it and prints it on request.
#include "DialogueFixture.h"
#include "EscPosDecoder.h"

#include "operations/WaiterReport.h"
#include "store/History.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <array>

namespace {

using namespace opstest;

std::string compact(const QJsonValue& value) {
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).chopped(1).mid(1).toStdString();
}

std::vector<std::string> texts(const QStringList& lines) {
    std::vector<std::string> out;
    for (const QString& line : lines) out.push_back(line.toStdString());
    return out;
}

class RelatorioTest : public DialogueTest {
protected:
    void SetUp() override {
        DialogueTest::SetUp();
        if (HasFatalFailure()) return;
        QString sql = insert(Product{.codigo = "P1", .nome = "Água"}) +
                      insert(Waiter{.codigo = "0001", .nome = "Ana"}) + insert(Waiter{.codigo = "0002", .nome = "Bia"});
        // Sale 01, open, opened on the 14th by waiter 0001: its items carry other waiters. Counted:
        // 2 x 10 - 1 + 0.5, a missing quantity (0 x 7 + 2), an item without a waiter, a ticket of
        // another kind; not a refill nor a cancelled ticket.
        sql +=
            insert(Sale{.venda = "01", .mesa = "0012", .abertura = "2024-06-14 19:00:00"}) +
            insert(Ticket{.venda = "01", .comanda = "C1", .descricao = "PKR_0012"}) +
            insert(Ticket{.venda = "01", .comanda = "C2", .descricao = "PKR_0012", .status = "4"}) +
            insert(Ticket{.venda = "01", .comanda = "C3", .descricao = "BALCAO"}) +
            insert(Item{.venda = "01",
                        .comanda = "C1",
                        .item = "1",
                        .produto = "P1",
                        .vendedor = "0002",
                        .quantidade = "2",
                        .preco = "10",
                        .desconto = "1",
                        .acrescimo = "0.5"}) +
            insert(Item{.venda = "01",
                        .comanda = "C1",
                        .item = "2",
                        .produto = "P1",
                        .quantidade = nullptr,
                        .preco = "7",
                        .acrescimo = "2"}) +
            insert(Item{.venda = "01",
                        .comanda = "C1",
                        .item = "3",
                        .produto = "P1",
                        .refil = "S",
                        .vendedor = "0002",
                        .preco = "100"}) +
            insert(Item{
                .venda = "01", .comanda = "C1", .item = "4", .produto = "P1", .vendedor = nullptr, .preco = "3.33"}) +
            insert(Item{.venda = "01", .comanda = "C2", .item = "1", .produto = "P1", .preco = "100"}) +
            insert(
                Item{.venda = "01", .comanda = "C3", .item = "1", .produto = "P9", .quantidade = "3", .preco = "1.1"});
        // The day's edges, and other stores and branches.
        for (const auto& [filial, venda, loja, fechamento, abertura, vendedor, preco] :
             {std::array{"0001", "02", "0001", "2024-06-14 23:00:00", "2024-06-14 00:00:00", "0001", "5"},
              std::array{"0001", "03", "0001", "", "2024-06-13 23:59:59", "0002", "8"},
              std::array{"0001", "04", "0001", "2024-06-15 01:00:00", "2024-06-15 00:00:00", "0001", "4"},
              std::array{"0001", "05", "0002", "", "2024-06-14 12:00:00", "0001", "1000"},
              std::array{"0002", "06", "0001", "", "2024-06-14 12:00:00", "0001", "1000"}})
            sql += insert(Sale{.filial = filial,
                               .venda = venda,
                               .loja = loja,
                               .mesa = "0020",
                               .fechamento = *fechamento ? fechamento : nullptr,
                               .vendedor = "0009",
                               .abertura = abertura}) +
                   insert(Ticket{.filial = filial, .venda = venda, .comanda = "C1", .descricao = "PKR_0020"}) +
                   insert(Item{.filial = filial,
                               .venda = venda,
                               .comanda = "C1",
                               .item = "1",
                               .produto = "P1",
                               .vendedor = vendedor,
                               .preco = preco});
        fill(sql);
    }

    Gpe00002::WaiterReport report(const char* day) {
        return Gpe00002::loadWaiterReport(*m_ops, "0001", "0001", QDate::fromString(day, Qt::ISODate));
    }
};

TEST_P(RelatorioTest, SumsTheItemsByTheirOwnWaiterOverTheOpenSalesAndTheDay) {
    const std::string open =
        R"({"amount":36.13,"items":5,"waiters":[{"amount":5.3,"items":2,"name":"Ana","waiter":"0001"},)"
        R"({"amount":27.5,"items":2,"name":"Bia","waiter":"0002"},{"amount":3.33,"items":1,"name":"","waiter":""}]})";
    const std::pair<const char*, std::string> days[] = {
        {"2024-06-14",
         R"({"amount":33.13,"items":5,"waiters":[{"amount":10.3,"items":3,"name":"Ana","waiter":"0001"},)"
         R"({"amount":19.5,"items":1,"name":"Bia","waiter":"0002"},{"amount":3.33,"items":1,"name":"","waiter":""}]})"},
        {"2024-06-13", R"({"amount":8,"items":1,"waiters":[{"amount":8,"items":1,"name":"Bia","waiter":"0002"}]})"},
        {"2024-06-15", R"({"amount":4,"items":1,"waiters":[{"amount":4,"items":1,"name":"Ana","waiter":"0001"}]})"},
        {"2024-06-16", R"({"amount":0,"items":0,"waiters":[]})"},
    };
    for (const auto& [day, expected] : days) {
        SCOPED_TRACE(day);
        const QJsonObject json = Gpe00002::waiterReportJson(report(day));
        EXPECT_EQ(compact(json["openSales"]), open);
        EXPECT_EQ(compact(json["daySales"]), expected);
    }
}

TEST_P(RelatorioTest, ListsTheChangesOfWaiterOfTheDayInOrder) {
    Gpe00002::installWaiterHistory(*m_ops);
    fill(
        QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0001' WHERE NRVENDAREST = '01' AND NRCOMANDA = 'C1' "
                       "AND NRPRODCOMVEN = '1';\n"
                       "UPDATE VENDAREST SET CDVENDEDOR = '0002' WHERE NRVENDAREST = '01';\n"
                       "UPDATE VENDAREST SET CDVENDEDOR = '0002' WHERE NRVENDAREST = '05';\n"));
    const QDate today = QDate::currentDate();
    const Gpe00002::WaiterReport now = Gpe00002::loadWaiterReport(*m_ops, "0001", "0001", today);
    QJsonArray changes = Gpe00002::waiterReportJson(now)["history"].toObject()["changes"].toArray();
    for (QJsonValueRef change : changes) {
        QJsonObject entry = change.toObject();
        EXPECT_EQ(QDateTime::fromString(entry.take("at").toString(), Qt::ISODate).date(), today);
        entry.remove("application");
        entry.remove("address");
        entry.remove("user");
        change = entry;
    }
    EXPECT_EQ(compact(changes),
              R"([{"from":"0002","item":"1","product":"P1","productName":"Água","sale":"01","table":"0012",)"
              R"("ticket":"C1","to":"0001"},{"from":"0001","sale":"01","table":"0012","to":"0002"}])");
    QStringList lines;
    for (const Gpe00002::ReportLine& line : Gpe00002::waiterReportLines(now, 48)) lines << line.text;
    const QString time = now.alteracoes.at(0).quando.toString("HH:mm:ss");
    const qsizetype heading =
        lines.indexOf(QStringLiteral("ALTERAÇÕES DE GARÇOM EM %1").arg(today.toString("dd/MM/yyyy")));
    EXPECT_EQ(texts(lines.mid(heading + 1, 3)),
              texts({time + " Mesa 0012 Água", "  Comanda C1 item 1", "  0002 Bia -> 0001 Ana"}));
    // Who made it, where the database knows.
    EXPECT_EQ(lines.at(heading + 4).toStdString(),
              postgres() ? "  por 127.0.0.1 postgres" : time.toStdString() + " Mesa 0012 Venda 01");

    const Gpe00002::WaiterReport before = report("2024-06-14");
    EXPECT_TRUE(before.historico);
    EXPECT_TRUE(before.alteracoes.empty());
    EXPECT_EQ(Gpe00002::waiterReportLines(before, 48).back().text, "Nenhuma alteração neste dia.");
}

TEST_P(RelatorioTest, RelFiscaisAsksTheDayShowsTheReportAndPrintsOnRequest) {
    const QString today = QDate::currentDate().toString("ddMMyyyy");
    struct Case {
        const char* name;
        std::vector<const char*> keypad;  // "cancel", or what is typed
        bool print;
        QStringList calls;
    };
    const Case cases[] = {
        {"shown", {"14062024"}, false, {"keypad " + today, "report 2024-06-14: 5 itens, 33.13"}},
        {"a day that is none, seven digits, then a day",
         {"31022024", "1306202", "13062024"},
         false,
         {"keypad " + today, "Mensagem 3 31/02/2024 não existe; digite o dia como DDMMAAAA", "keypad 31022024",
          "Mensagem 3 Data inválida: \"1306202\". Digite o dia com oito algarismos, DDMMAAAA (por exemplo "
          "14062024).",
          "keypad 1306202", "report 2024-06-13: 1 itens, 8"}},
        {"cancelled", {"cancel"}, false, {"keypad " + today}},
        {"printed", {"14062024"}, true, {"keypad " + today, "report 2024-06-14: 5 itens, 33.13", "Mensagem 0 printed"}},
    };
    writeStation("file:relatorio.prn");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        std::size_t typed = 0;
        Gpe00002::TecladoNumerico = [&](std::string& valor, const std::string&, const std::string&, const std::string&,
                                        int, int, int, int, int, int) {
            calls << QStringLiteral("keypad ") + QString::fromStdString(valor);
            const std::string answer = c.keypad.at(typed++);
            if (answer == "cancel") return false;
            valor = answer;
            return true;
        };
        Gpe00002::ExibeRelatorioGarcons = [&](const Gpe00002::WaiterReport& shown) {
            calls << QStringLiteral("report %1: %2 itens, %3")
                         .arg(shown.dia.toString(Qt::ISODate))
                         .arg(shown.doDia.itens)
                         .arg(shown.doDia.valor.toDouble());
            return c.print;
        };
        Gpe00002::RelFiscais();
        QFile slip(Process::executableFolder() + "/relatorio.prn");
        if (c.print) {
            ASSERT_TRUE(slip.open(QIODevice::ReadOnly)) << calls.join(QLatin1Char('\n')).toStdString();
            const QStringList rows = decodeEscPos(slip.readAll()).rows;
            EXPECT_TRUE(rows.filter("Bia").size() > 0) << rows.join(QLatin1Char('\n')).toStdString();
            const QString notice = QStringLiteral("Mensagem 0 Relatório de garçons impresso no arquivo relatorio.prn.");
            if (calls.size() == 3 && calls[2] == notice) calls[2] = "Mensagem 0 printed";
            slip.remove();
        } else {
            EXPECT_FALSE(slip.exists());
        }
        EXPECT_EQ(texts(calls), texts(c.calls));
    }
    EXPECT_EQ(journal(), Rows{});
}

INSTANTIATE_TEST_SUITE_P(Engines, RelatorioTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
