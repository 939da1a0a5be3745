// Reprinting an order, on both engines: the slip's content, the choice of a ticket or all of
// them, the journal only once printed, and a printer that is not there.
#include "DialogueFixture.h"
#include "EscPosDecoder.h"
#include "PrinterDouble.h"

#include "operations/ReimprimePedido.h"
#include "printing/Printer.h"
#include "routines/Flow.h"

namespace {

using namespace opstest;

TEST(PrintedPlace, SaysWhereADocumentWentInWords) {
    QTemporaryDir station;
    Process::setExecutableFolderForTests(station.path());
    const std::pair<QString, QString> cases[] = {
        {"", "em PDF na pasta impressos"},
        {"pdf:saida/pdfs", "em PDF na pasta saida/pdfs"},
        {"pdf:/var/spool/pdfs/", "em PDF na pasta /var/spool/pdfs"},
        {"tcp:192.168.0.50", "na impressora 192.168.0.50"},
        {"tcp:192.168.0.50:9101", "na impressora 192.168.0.50, porta 9101"},
        {"printer:Cozinha 2", "na impressora do sistema Cozinha 2"},
        {"file:/dev/usb/lp0", "no arquivo /dev/usb/lp0"},
        {"file:relatorio.prn", "no arquivo relatorio.prn"},
    };
    for (const auto& [setting, words] : cases)
        EXPECT_EQ(Gpe00002::printedPlace(Gpe00002::PrintTarget::fromSetting(setting)), words) << setting.toStdString();
    Process::setExecutableFolderForTests({});
}

class ReimprimirTest : public DialogueTest {
protected:
    void SetUp() override {
        DialogueTest::SetUp();
        if (HasFatalFailure()) return;
        QString sql = insert(Table{.mesa = "0012", .estado = "O"}) + insert(Table{.mesa = "0013", .estado = "O"}) +
                      insert(Waiter{.codigo = "0001", .nome = "Ana"}) +
                      insert(Product{.codigo = "0000000001", .nome = "Água Mineral"}) +
                      insert(Product{.codigo = "0000000007", .nome = "Picanha (kg)", .pesado = "S"}) +
                      insert(Sale{.venda = "0000000001", .mesa = "0012"}) +
                      insert(Sale{.venda = "0000000002", .mesa = "0012", .fechamento = "2024-06-13 22:00:00"}) +
                      insert(Sale{.venda = "0000000003", .mesa = "0013"});
        // Table 12: tickets 1, 2 and 4 (4 without items); 3 is cancelled; 5 is of yesterday's sale.
        for (const auto& [venda, comanda, descricao, status] : {std::tuple{"0000000001", "0000000001", "PKR_0012", "1"},
                                                                {"0000000001", "0000000002", "RES_SILVA", "2"},
                                                                {"0000000001", "0000000003", "PKR_0099", "4"},
                                                                {"0000000001", "0000000004", "BALCAO", "1"},
                                                                {"0000000002", "0000000005", "PKR_0012", "3"},
                                                                {"0000000003", "0000000006", "PKR_0013", "1"}})
            sql += insert(Ticket{.venda = venda, .comanda = comanda, .descricao = descricao, .status = status});
        sql += insert(Item{.venda = "0000000001",
                           .comanda = "0000000001",
                           .item = "000001",
                           .produto = "0000000001",
                           .quantidade = "2",
                           .preco = "5.5"}) +
               insert(Item{.venda = "0000000001",
                           .comanda = "0000000001",
                           .item = "000002",
                           .produto = "0000000007",
                           .lugar = "0003",
                           .quantidade = "0.452",
                           .preco = "119.9",
                           .desconto = "1",
                           .texto = "bem passada"}) +
               insert(Item{.venda = "0000000001",
                           .comanda = "0000000002",
                           .item = "000001",
                           .produto = "0000000099",
                           .acrescimo = "1.5"});
        for (const char* comanda : {"0000000003", "0000000005", "0000000006"})
            sql += insert(Item{.venda = comanda == QLatin1String("0000000006")   ? "0000000003"
                                        : comanda == QLatin1String("0000000005") ? "0000000002"
                                                                                 : "0000000001",
                               .comanda = comanda,
                               .item = "000001",
                               .produto = "0000000001"});
        fill(sql);
    }

    // Each line as "SA text | right" (style N, B, L or - for a rule; alignment < ^ >).
    static QStringList lines(const Gpe00002::PrintDocument& doc) {
        QStringList out;
        for (const Gpe00002::PrintLine& line : doc.lines) {
            if (line.rule) {
                out << "---";
                continue;
            }
            const char style = line.style == Gpe00002::PrintLine::Style::Large  ? 'L'
                               : line.style == Gpe00002::PrintLine::Style::Bold ? 'B'
                                                                                : 'N';
            const char align = "<^>"[static_cast<int>(line.align)];
            out << QString(QLatin1Char(style)) + QLatin1Char(align) + line.text +
                       (line.right.isEmpty() ? QString() : " | " + line.right);
        }
        return out;
    }

    // Prints the order of `mesa` through the dialogue, picking `ticket` in the list when one is
    // shown (nullptr closes it, and then the map that comes back), to `setting`; answers what was
    // asked and said.
    QStringList reprint(const char* mesa, const char* ticket, const QString& setting) {
        writeStation(setting);
        Gpe00002::MapaMesas = [&](const Gpe00002::TableMapRequest& request) -> std::optional<QStringList> {
            calls << "MapaMesas" + (request.marked.isEmpty() ? QString() : " [" + request.marked.join(',') + "]");
            if (!request.marked.isEmpty()) return std::nullopt;
            return QStringList{mesa};
        };
        Gpe00002::Escolha = [&](TClientDataSet& list, const QString& title, const QString& prompt) {
            QStringList shown;
            for (list.First(); !list.Eof(); list.Next())
                shown << list.FieldByName("NRCOMANDA").AsString() + " " + list.FieldByName("VRTOTAL").AsString();
            calls << title + " / " + prompt + ": " + shown.join(", ");
            if (!ticket) return false;
            for (list.First(); list.FieldByName("NRCOMANDA").AsString() != QLatin1String(ticket); list.Next()) {}
            return true;
        };
        calls.clear();
        Gpe00002::ReimprimePedido();
        return calls;
    }
};

TEST_P(ReimprimirTest, TheSlipListsEveryTicketsItemsAndTotalsUnderAReprintHeader) {
    const Gpe00002::Order order = Gpe00002::loadOrder(*m_ops, "0001", "0001", "0012");
    EXPECT_EQ(order.numeros(), (QStringList{"0000000001", "0000000002", "0000000004"}));
    const QDateTime now(QDate(2024, 6, 14), QTime(20, 5));
    EXPECT_EQ(lines(Gpe00002::reprintDocument(order, m_station, now)),
              (QStringList{"L^REIMPRESSÃO",
                           "N^Loja 0001 · Filial 0001",
                           "---",
                           "B<Mesa 0012",
                           "N<Comandas: todas (3)",
                           "N<Garçom 0001 Ana",
                           "N<Reimpresso em 14/06/2024 20:05:00",
                           "N<Operador 000000000005 · Caixa 001",
                           "---",
                           "B<Comanda 0000000001 PKR_0012",
                           "N<2 x Água Mineral | 11,00",
                           "N<   un. 5,50 · lugar 1",
                           "N<0,452 kg Picanha (kg) | 54,19",
                           "N<   119,90/kg · lugar 3",
                           "N<   desconto | -1,00",
                           "N<   obs.: bem passada",
                           "N<Total da comanda 0000000001 | 64,19",
                           "---",
                           "B<Comanda 0000000002 RES_SILVA",
                           "N<1 x Produto 0000000099 | 10,00",
                           "N<   un. 10,00 · lugar 1",
                           "N<   acréscimo | +1,50",
                           "N<Total da comanda 0000000002 | 11,50",
                           "---",
                           "B<Comanda 0000000004 BALCAO",
                           "N<  (sem itens)",
                           "N<Total da comanda 0000000004 | 0,00",
                           "---",
                           "N<Itens | 3",
                           "N<Subtotal | 75,19",
                           "N<Descontos | -1,00",
                           "N<Acréscimos | +1,50",
                           "B<TOTAL | R$ 75,69",
                           "---",
                           "N^Não é documento fiscal"}));
    const QStringList one = lines(Gpe00002::reprintDocument(order.only("0000000002"), m_station, now));
    EXPECT_EQ(one.mid(3, 2), (QStringList{"B<Mesa 0012", "N<Comanda 0000000002 RES_SILVA"}));
    EXPECT_EQ(one.mid(9, 3),
              (QStringList{"N<1 x Produto 0000000099 | 10,00", "N<   un. 10,00 · lugar 1", "N<   acréscimo | +1,50"}));
    EXPECT_EQ(one.filter("TOTAL"), QStringList{"B<TOTAL | R$ 11,50"});
}

TEST_P(ReimprimirTest, PrintsTheTicketChosenOrAllAndJournalsOnlyWhatWasPrinted) {
    QTemporaryDir out;
    const QString slip = out.filePath("slip.bin");
    struct Case {
        const char* name;
        const char* mesa;
        const char* ticket;
        QString setting;
        QStringList calls;
        QString ticketLine;  // on the slip; empty when nothing was printed
    };
    const QString list =
        "Escolha a comanda a reimprimir / Comandas da mesa 0012: Todas 75,69, 0000000001 64,19, "
        "0000000002 11,50, 0000000004 0,00";
    const QString printed = "Mensagem 0 Pedido da mesa %1 reimpresso no arquivo " + slip + ".";
    const QString missing = out.filePath("nada/lp0");
    const QString map = "MapaMesas";
    const Case cases[] = {
        {"all tickets", "0012", "Todas", "file:" + slip, {map, list, printed.arg("0012")}, "Comandas: todas (3)"},
        {"one ticket",
         "0012",
         "0000000002",
         "file:" + slip,
         {map, list, printed.arg("0012")},
         "Comanda 0000000002 RES_SILVA"},
        {"a table with one ticket: no list",
         "0013",
         nullptr,
         "file:" + slip,
         {map, printed.arg("0013")},
         "Comanda 0000000006 PKR_0013"},
        {"the list closed: the map again", "0012", nullptr, "file:" + slip, {map, list, "MapaMesas [0012]"}, {}},
        {"a printer that is not there",
         "0012",
         "Todas",
         "file:" + missing,
         {map, list, "Mensagem 3 A impressora file:" + missing + " não existe; nada foi impresso"},
         {}},
        {"a setting that names no printer",
         "0012",
         "Todas",
         "impressora",
         {"Mensagem 3 Impressora \"impressora\" não reconhecida (use tcp:, file:, printer: ou pdf:)"},
         {}},
    };
    Rows journaled;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(slip);
        EXPECT_EQ(reprint(c.mesa, c.ticket, c.setting), c.calls);
        QFile file(slip);
        const QStringList rows = file.open(QIODevice::ReadOnly) ? decodeEscPos(file.readAll()).rows : QStringList();
        if (c.ticketLine.isEmpty()) {
            EXPECT_EQ(rows, QStringList());
            continue;
        }
        EXPECT_EQ(rows.mid(0, 1), QStringList{"L^ REIMPRESSÃO"});
        EXPECT_EQ(rows.filter(c.ticketLine).size(), 1) << rows.join('\n').toStdString();
        journaled.push_back({"REIMPRESSAO", c.mesa, "<null>", "<null>"});
    }
    EXPECT_EQ(journal(), journaled);
}

// What a receipt printer answers before and after the document decides whether the reprint
// counts: only an answer that is a printer's status, on line both times, is journalled.
TEST_P(ReimprimirTest, OnlyAPrinterThatConfirmsTheSlipGetsItJournalled) {
    using Double = PrinterDouble;
    const QString notConfirmed =
        "Mensagem 3 A impressora tcp:127.0.0.1:{port} %1; confira o papel: a impressão não "
        "foi registrada";
    const QString notPrinted = "Mensagem 3 A impressora tcp:127.0.0.1:{port} %1; nada foi impresso";
    struct Case {
        const char* name;
        std::vector<Double::Reply> replies;
        QString message;
        bool journalled;
    };
    const Case cases[] = {
        {"on line before and after",
         {Double::status(Double::kOnLine)},
         "Mensagem 0 Pedido da mesa 0012 reimpresso na impressora 127.0.0.1, porta {port}.",
         true},
        {"off line after the document",
         {Double::status(Double::kOnLine), Double::status(Double::kOffLine)},
         notConfirmed.arg("ficou fora de linha durante a impressão (tampa aberta ou sem papel?)"),
         false},
        {"the connection closed mid-document",
         {Double::status(Double::kOnLine), Double::closeMidDocument()},
         notConfirmed.arg("encerrou a conexão"),
         false},
        {"an echo of the request",
         {Double::bytes(QByteArray("\x10\x04\x01", 3))},
         notPrinted.arg("respondeu algo que não é o estado de uma impressora ESC/POS (10 04 01)"),
         false},
        {"a zero byte",
         {Double::status(0x00)},
         notPrinted.arg("respondeu algo que não é o estado de uma impressora ESC/POS (00)"),
         false},
        {"a banner ending in a",
         {Double::bytes("220 ready, a")},
         notPrinted.arg("respondeu algo que não é o estado de uma impressora ESC/POS (32 32 30 20 72 65 61 64)"),
         false},
        {"a web server",
         {Double::bytes("HTTP/1.1 400 Bad Request\r\n\r\n")},
         notPrinted.arg("respondeu como um servidor web (HTTP), não como impressora"),
         false},
        {"silent after the document",
         {Double::status(Double::kOnLine), Double::silent()},
         notConfirmed.arg("não confirmou o recebimento em 10 s"),
         false},
    };
    Rows journaled;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Double printer(c.replies);
        const QString port = QString::number(printer.port());
        const QStringList said = reprint("0012", "Todas", "tcp:127.0.0.1:" + port);
        EXPECT_EQ(said.value(said.size() - 1).toStdString(), QString(c.message).replace("{port}", port).toStdString());
        if (c.journalled) journaled.push_back({"REIMPRESSAO", "0012", "<null>", "<null>"});
        EXPECT_EQ(journal(), journaled);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, ReimprimirTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
