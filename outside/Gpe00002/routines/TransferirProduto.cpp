// The dialogue of moving a product (CriaTrComanN kind "2"): the source table on one map, then,
// until the list is closed, an item of its list, the quantity on the keypad (not for a product
// sold by weight, which moves whole), the target table on a second map and, when it has several
// tickets, the ticket. Each item moves in a transaction of its own; the list comes back for the
// next one.
#include "../operations/TransferirProduto.h"
#include "ItemChoices.h"

#include <QJsonArray>

namespace Gpe00002 {

namespace {

const QString kTitle = QStringLiteral("Transferir produto");

// The keypad starts with the whole quantity, selected, so that a typed digit replaces it.
std::optional<double> askQuantity(Flow& flow, const TableItem& item) {
    if (item.pesado) return item.quantidade;
    const QString whole = quantityText(item.quantidade);
    for (;;) {
        std::string typed = whole.toStdString();
        if (!TecladoNumerico(typed, kTitle.toStdString(),
                             QStringLiteral("Quantidade de %1 a transferir").arg(item.nome).toStdString(),
                             QStringLiteral("Confirme %1 para transferir tudo, ou digite unidades inteiras")
                                 .arg(whole)
                                 .toStdString(),
                             6, 0, 0, 0, 0, 0))
            return std::nullopt;
        const std::optional<double> quantidade = typedQuantity(QString::fromStdString(typed), item);
        const QString why = quantidade ? quantityRefusal(item, *quantidade)
                                       : QStringLiteral(
                                             "Digite a quantidade em unidades inteiras, ou confirme %1 "
                                             "para transferir tudo")
                                             .arg(whole);
        if (why.isEmpty()) return quantidade;
        flow.refuse(why);
    }
}

// The source table as it is now, or nullopt (with the reason shown) when items may no longer
// leave it.
std::optional<TableState> current(Flow& flow, const QString& numero) {
    for (const TableState& table : loadTables(*flow.db, flow.station.filial, flow.station.loja))
        if (table.numero == numero) {
            if (itemTableUnfitReason(table).isEmpty()) return table;
            flow.refuse(table.vendaAberta ? QStringLiteral("Mesa %1 está fechando").arg(numero)
                                          : QStringLiteral("Mesa %1 não tem venda aberta").arg(numero));
            return std::nullopt;
        }
    flow.refuse(QStringLiteral("Mesa %1 não existe mais nesta loja").arg(numero));
    return std::nullopt;
}

}  // namespace

QJsonValue transferirProduto(Flow& flow) {
    PackageDatabase& db = *flow.db;
    const QString& filial = flow.station.filial;
    const QString& loja = flow.station.loja;
    std::map<QString, std::vector<Ticket>> tickets = loadOpenTickets(db, filial, loja);
    const std::vector<MapTable> sources =
        flow.map(filial, loja, [&](const TableState& table) { return sourceReason(table, tickets); });
    if (!anyEnabled(sources)) throw ERefusal(QStringLiteral("Não há mesas com itens para transferir nesta loja"));
    const TableState* chosen = chooseTable(sources, kTitle, QStringLiteral("Escolha a mesa de onde sai o produto"));
    if (!chosen) return QJsonValue::Null;
    const QString numero = chosen->numero;

    QJsonArray moves;
    for (;;) {
        const std::optional<TableState> origem = current(flow, numero);
        if (!origem) break;
        const std::vector<TableItem> items = loadTableItems(db, filial, loja, numero);
        if (items.empty()) {
            flow.notify(QStringLiteral("Mesa %1 não tem mais itens para transferir.").arg(numero));
            break;
        }
        const std::optional<TableItem> item = chooseItem(items, kTitle);
        if (!item) break;
        const std::optional<double> quantidade = askQuantity(flow, *item);
        if (!quantidade) continue;

        tickets = loadOpenTickets(db, filial, loja);
        const std::vector<MapTable> targets = flow.map(
            filial, loja, [&](const TableState& table) { return targetReason(table, tickets, item->comanda); });
        if (!anyEnabled(targets)) {
            flow.refuse(QStringLiteral("Não há mesas com comanda aberta para receber o item"));
            continue;
        }
        const TableState* destino =
            chooseTable(targets, kTitle,
                        QStringLiteral("Escolha a mesa que recebe %1 × %2").arg(quantityText(*quantidade), item->nome));
        if (!destino) continue;
        const std::optional<Ticket> alvo = chooseTicket(targetTickets(destino->numero, tickets, item->comanda), kTitle);
        if (!alvo) continue;
        try {
            moves.append(
                transferirProduto(db, flow.station, filial, loja, *origem, *item, *quantidade, *destino, *alvo));
        } catch (const ERefusal& refusal) {
            // The list comes back, as it is now, for the user to try again.
            flow.refuse(refusal.message());
        }
    }
    return moves.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QJsonObject{{QStringLiteral("moves"), moves}});
}

}  // namespace Gpe00002
