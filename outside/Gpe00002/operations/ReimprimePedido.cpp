#include "operations/ReimprimePedido.h"

#include "core/Numbers.h"
#include "core/Station.h"
#include "operations/Tables.h"
#include "store/Journal.h"

#include <QJsonArray>
#include <set>

namespace Gpe00002 {

namespace {

// "0003" -> "3"; a code that is not a number stays as it is.
QString withoutZeros(const QString& code) { return allDigits(code) ? withoutLeadingZeros(code) : code; }

}  // namespace

Money OrderTicket::total() const {
    Money sum;
    for (const OrderItem& item : itens) sum += item.valor();
    return sum;
}

QStringList Order::numeros() const {
    QStringList numbers;
    for (const OrderTicket& ticket : comandas) numbers << ticket.comanda;
    return numbers;
}

Order Order::only(const QString& comanda) const {
    Order order = *this;
    std::erase_if(order.comandas, [&](const OrderTicket& ticket) { return ticket.comanda != comanda; });
    return order;
}

Order loadOrder(PackageDatabase& db, const QString& filial, const QString& loja, const QString& mesa) {
    Order order{filial, loja, mesa, {}, {}};
    for (const SqlRow& row : db.select("tableOrder", {{QStringLiteral("P_CDFILIAL"), filial},
                                                      {QStringLiteral("P_CDLOJA"), loja},
                                                      {QStringLiteral("P_NRMESA"), mesa}})) {
        order.nomeMesa = rowText(row, "NMMESA");
        const QString venda = rowText(row, "NRVENDAREST"), comanda = rowText(row, "NRCOMANDA");
        if (order.comandas.empty() || order.comandas.back().venda != venda || order.comandas.back().comanda != comanda)
            order.comandas.push_back(
                {venda, comanda, rowText(row, "DSCOMANDA"), rowText(row, "CDVENDVENDA"), rowText(row, "NMFANVEN"), {}});
        if (row.value(QStringLiteral("NRPRODCOMVEN")).isNull()) continue;  // a ticket without items
        OrderItem item;
        static_cast<Counting::ItemAmount&>(item) = Counting::ItemAmount::of(row);
        item.item = rowText(row, "NRPRODCOMVEN");
        item.produto = rowText(row, "CDPRODUTO");
        item.nome = Counting::productName(row);
        item.pesado = rowText(row, "IDPESAPROD") == QLatin1String("S");
        item.lugar = rowText(row, "NRLUGARMESA");
        item.texto = rowText(row, "TXPRODCOMVEN");
        order.comandas.back().itens.push_back(std::move(item));
    }
    return order;
}

PrintDocument reprintDocument(const Order& order, const Station& station, const QDateTime& now) {
    using Style = PrintLine::Style;
    using Align = PrintLine::Align;
    PrintDocument doc;
    doc.title = QStringLiteral("Reimpressão mesa %1").arg(order.mesa);
    doc.add(QStringLiteral("REIMPRESSÃO"), Style::Large, Align::Center);
    doc.add(QStringLiteral("Loja %1 · Filial %2").arg(order.loja, order.filial), Style::Normal, Align::Center);
    doc.rule();
    // The table's name when it says more than its number.
    doc.add(order.nomeMesa.isEmpty() || order.nomeMesa == QStringLiteral("Mesa %1").arg(withoutZeros(order.mesa))
                ? QStringLiteral("Mesa %1").arg(order.mesa)
                : QStringLiteral("Mesa %1 (%2)").arg(order.mesa, order.nomeMesa),
            Style::Bold);
    if (order.comandas.size() == 1)
        doc.add(QStringLiteral("Comanda %1 %2").arg(order.comandas.front().comanda, order.comandas.front().descricao));
    else
        doc.add(QStringLiteral("Comandas: todas (%1)").arg(order.comandas.size()));
    QStringList waiters;
    std::set<QString> seen;
    for (const OrderTicket& ticket : order.comandas)
        if (!ticket.vendedor.isEmpty() && seen.insert(ticket.vendedor).second)
            waiters << (ticket.vendedor + QLatin1Char(' ') + ticket.nomeVendedor).trimmed();
    if (!waiters.isEmpty())
        doc.add((waiters.size() == 1 ? QStringLiteral("Garçom ") : QStringLiteral("Garçons ")) +
                waiters.join(QStringLiteral(", ")));
    doc.add(QStringLiteral("Reimpresso em %1").arg(now.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    QStringList by;
    if (!station.operador.isEmpty()) by << QStringLiteral("Operador %1").arg(station.operador);
    if (!station.caixa.isEmpty()) by << QStringLiteral("Caixa %1").arg(station.caixa);
    if (!by.isEmpty()) doc.add(by.join(QStringLiteral(" · ")));

    Money subtotal, descontos, acrescimos;
    int itens = 0;
    for (const OrderTicket& ticket : order.comandas) {
        doc.rule();
        if (order.comandas.size() > 1)
            doc.add(QStringLiteral("Comanda %1 %2").arg(ticket.comanda, ticket.descricao).trimmed(), Style::Bold);
        if (ticket.itens.empty()) doc.add(QStringLiteral("  (sem itens)"));
        for (const OrderItem& item : ticket.itens) {
            ++itens;
            subtotal += item.bruto();
            descontos += item.desconto;
            acrescimos += item.acrescimo;
            doc.addColumns(item.pesado ? QStringLiteral("%1 kg %2").arg(quantityText(item.quantidade), item.nome)
                                       : QStringLiteral("%1 x %2").arg(quantityText(item.quantidade), item.nome),
                           item.bruto().text());
            QStringList details{item.pesado ? QStringLiteral("%1/kg").arg(item.preco.text())
                                            : QStringLiteral("un. %1").arg(item.preco.text())};
            if (!item.lugar.isEmpty()) details << QStringLiteral("lugar %1").arg(withoutZeros(item.lugar));
            doc.add(QStringLiteral("   ") + details.join(QStringLiteral(" · ")));
            if (!item.desconto.isZero())
                doc.addColumns(QStringLiteral("   desconto"), QLatin1Char('-') + item.desconto.text());
            if (!item.acrescimo.isZero())
                doc.addColumns(QStringLiteral("   acréscimo"), QLatin1Char('+') + item.acrescimo.text());
            if (!item.texto.isEmpty()) doc.add(QStringLiteral("   obs.: ") + item.texto);
        }
        if (order.comandas.size() > 1)
            doc.addColumns(QStringLiteral("Total da comanda %1").arg(ticket.comanda), ticket.total().text());
    }
    doc.rule();
    doc.addColumns(QStringLiteral("Itens"), QString::number(itens));
    doc.addColumns(QStringLiteral("Subtotal"), subtotal.text());
    if (!descontos.isZero()) doc.addColumns(QStringLiteral("Descontos"), QLatin1Char('-') + descontos.text());
    if (!acrescimos.isZero()) doc.addColumns(QStringLiteral("Acréscimos"), QLatin1Char('+') + acrescimos.text());
    doc.addColumns(QStringLiteral("TOTAL"), QStringLiteral("R$ ") + (subtotal - descontos + acrescimos).text(),
                   Style::Bold);
    doc.rule();
    doc.add(QStringLiteral("Não é documento fiscal"), Style::Normal, Align::Center);
    return doc;
}

void journalReprint(PackageDatabase& db, const Station& station, const Order& order, const QString& printed) {
    db.transaction(busyMessage({order.mesa}), [&] {
        writeJournal(db, station,
                     {QStringLiteral("REIMPRESSAO"),
                      order.filial,
                      order.loja,
                      order.mesa,
                      {},
                      {},
                      {},
                      {{QStringLiteral("tickets"), QJsonArray::fromStringList(order.numeros())},
                       {QStringLiteral("printed"), printed}}});
    });
}

}  // namespace Gpe00002
