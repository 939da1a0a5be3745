// ReimprimePedido: a table with an open sale on the map, then one of its tickets or all of them
// (no list when it has one), printed again where the station prints; the journal once printed.
// Closing the list brings the map back; closing the map ends.
#include "operations/ReimprimePedido.h"
#include "core/Log.h"
#include "printing/Printer.h"
#include "routines/Flow.h"
#include "TClientDataSet.h"

#include <QJsonArray>
#include <QJsonObject>

namespace Gpe00002 {

namespace {

const QString kTitle = QStringLiteral("Reimprimir pedido");
const QString kAll = QStringLiteral("Todas");

// The list of the table's tickets with "Todas" first; the ticket picked (or "Todas"), nullopt
// when the list is closed.
std::optional<QString> chooseTicket(const Order& order) {
    TClientDataSet list(QStringLiteral("cdsComandas"));
    list.FieldDefs() = {{QStringLiteral("NRCOMANDA"), TFieldType::ftString, 10},
                        {QStringLiteral("DSCOMANDA"), TFieldType::ftString, 50},
                        {QStringLiteral("QTITENS"), TFieldType::ftInteger, 0},
                        {QStringLiteral("VRTOTAL"), TFieldType::ftString, 16},
                        {QStringLiteral("NRVENDAREST"), TFieldType::ftString, 10}};
    list.CreateDataSet();
    const auto append = [&list](const QString& comanda, const QString& descricao, qsizetype itens, Money total,
                                const QString& venda) {
        list.Append();
        list.FieldByName(QStringLiteral("NRCOMANDA")).setAsString(comanda);
        list.FieldByName(QStringLiteral("DSCOMANDA")).setAsString(descricao);
        list.FieldByName(QStringLiteral("QTITENS")).setAsInteger(static_cast<int>(itens));
        list.FieldByName(QStringLiteral("VRTOTAL")).setAsString(total.text());
        list.FieldByName(QStringLiteral("NRVENDAREST")).setAsString(venda);
        list.Post();
    };
    qsizetype itens = 0;
    Money total;
    for (const OrderTicket& ticket : order.comandas) {
        itens += static_cast<qsizetype>(ticket.itens.size());
        total += ticket.total();
    }
    append(kAll, QStringLiteral("Todas as comandas da mesa %1").arg(order.mesa), itens, total, {});
    for (const OrderTicket& ticket : order.comandas)
        append(ticket.comanda, ticket.descricao, static_cast<qsizetype>(ticket.itens.size()), ticket.total(),
               ticket.venda);
    for (const auto& [field, label] : {std::pair<const char*, const char*>{"NRCOMANDA", "Comanda"},
                                       {"DSCOMANDA", "Descrição"},
                                       {"QTITENS", "Itens"},
                                       {"VRTOTAL", "Total"}})
        list.FieldByName(QLatin1String(field)).setDisplayLabel(QString::fromUtf8(label));
    list.FieldByName(QStringLiteral("DSCOMANDA")).setDisplayWidth(30);
    list.FieldByName(QStringLiteral("NRVENDAREST")).setVisible(false);
    list.First();
    if (!Escolha(list, QStringLiteral("Escolha a comanda a reimprimir"),
                 QStringLiteral("Comandas da mesa %1").arg(order.mesa)))
        return std::nullopt;
    return list.FieldByName(QStringLiteral("NRCOMANDA")).AsString();
}

}  // namespace

QJsonValue reimprimePedido() {
    return runFlow(true, [](Flow& flow) -> QJsonValue {
        // A setting that names no printer is said before anything is chosen.
        const PrintTarget target = PrintTarget::fromSetting(flow.station.impressora);
        const std::vector<MapTable> tables = flow.map(flow.station.filial, flow.station.loja, [](const TableState& t) {
            return t.vendaAberta ? QString() : QStringLiteral("sem venda aberta");
        });
        if (std::none_of(tables.begin(), tables.end(), [](const MapTable& table) { return table.enabled; }))
            throw ERefusal(QStringLiteral("Não há mesas com venda aberta nesta loja"));
        std::optional<TableState> mesa;
        Order order;
        for (;;) {
            const QStringList marked = numberOf(mesa);
            mesa = flow.chooseTable(
                {kTitle, QStringLiteral("Escolha a mesa do pedido a reimprimir"), tables, false, 1, marked});
            if (!mesa) return QJsonValue::Null;
            order = loadOrder(*flow.db, flow.station.filial, flow.station.loja, mesa->numero);
            if (order.comandas.empty()) {
                flow.refuse(QStringLiteral("Mesa %1 não tem pedido aberto").arg(mesa->numero));
                continue;
            }
            if (order.comandas.size() == 1) break;
            const std::optional<QString> ticket = chooseTicket(order);
            if (!ticket) continue;
            if (*ticket != kAll) order = order.only(*ticket);
            break;
        }

        const QString mesaNumero = order.mesa;
        const QString printed = printedAt(
            target, printDocument(reprintDocument(order, flow.station, QDateTime::currentDateTime()), target));
        QJsonObject result{{QStringLiteral("table"), mesaNumero},
                           {QStringLiteral("tickets"), QJsonArray::fromStringList(order.numeros())},
                           {QStringLiteral("printed"), printed}};
        try {
            journalReprint(*flow.db, flow.station, order, printed);
        } catch (const std::exception& e) {
            // The slip is out: say so, and that the journal lacks it.
            qCWarning(lcOps).noquote() << "reprint of table" << mesaNumero << "printed at" << printed
                                       << "but not journaled:" << e.what();
            flow.refuse(QStringLiteral("Pedido da mesa %1 reimpresso %2, mas não registrado no diário de "
                                       "operações: %3")
                            .arg(mesaNumero, printedPlace(target), QString::fromUtf8(e.what())));
            result.insert(QStringLiteral("journaled"), false);
            return result;
        }
        return flow.done(QStringLiteral("Pedido da mesa %1 reimpresso %2.").arg(mesaNumero, printedPlace(target)),
                         result);
    });
}

}  // namespace Gpe00002
