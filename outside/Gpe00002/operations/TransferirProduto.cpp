#include "operations/TransferirProduto.h"

#include "store/Journal.h"
#include "core/Refusal.h"
#include "core/Station.h"

namespace Gpe00002 {

QString quantityRefusal(const TableItem& item, double quantidade) {
    const qint64 whole = milli(item.quantidade), moved = milli(quantidade);
    if (moved == whole) return {};
    if (item.pesado)
        return QStringLiteral("%1 é vendido por peso e só pode ser transferido inteiro (%2)")
            .arg(item.nome, quantityText(item.quantidade));
    if (moved <= 0) return QStringLiteral("Informe uma quantidade maior que zero");
    if (moved > whole)
        return QStringLiteral("A quantidade a transferir (%1) é maior que a do item (%2)")
            .arg(quantityText(quantidade), quantityText(item.quantidade));
    return {};
}

std::optional<double> typedQuantity(const QString& typed, const TableItem& item) {
    if (typed == quantityText(item.quantidade)) return item.quantidade;
    if (!allDigits(typed) || typed.size() > 6) return std::nullopt;
    return typed.toDouble();
}

QJsonObject transferirProduto(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                              const TableState& origem, const TableItem& item, double quantidade,
                              const TableState& destino, const Ticket& alvo) {
    if (alvo.sameKey(item.comanda))
        throw ERefusal(
            QStringLiteral("Item %1 já está na comanda %2; escolha outra comanda").arg(item.nome, alvo.numero));
    refuseUnfitForItems(origem);
    refuseUnfitForItems(destino);
    if (const QString why = quantityRefusal(item, quantidade); !why.isEmpty()) throw ERefusal(why);

    QStringList tables{origem.numero};
    if (destino.numero != origem.numero) tables << destino.numero;
    QJsonObject result;
    db.transaction(busyMessage(tables), [&] {
        const std::vector<TableItem> now = items::lockForMove(db, filial, loja, origem, destino, {item}, alvo);
        const TableItem& current = items::currentItem(now, item, origem.numero);
        const items::Moved moved = items::moveItem(db, filial, current, milli(quantidade), alvo);
        const double remaining =
            moved.restante.isObject() ? moved.restante.toObject().value(QStringLiteral("quantity")).toDouble() : 0.0;
        result = {{QStringLiteral("from"), QJsonObject{{QStringLiteral("table"), origem.numero},
                                                       {QStringLiteral("sale"), item.comanda.venda},
                                                       {QStringLiteral("ticket"), item.comanda.numero},
                                                       {QStringLiteral("item"), item.numero},
                                                       {QStringLiteral("remaining"), remaining}}},
                  {QStringLiteral("to"), QJsonObject{{QStringLiteral("table"), destino.numero},
                                                     {QStringLiteral("sale"), alvo.venda},
                                                     {QStringLiteral("ticket"), alvo.numero},
                                                     {QStringLiteral("item"), moved.numero}}},
                  {QStringLiteral("quantity"), static_cast<double>(milli(quantidade)) / 1000.0}};
        writeJournal(db, station,
                     {QStringLiteral("TRANSFPRODUTO"),
                      filial,
                      loja,
                      origem.numero,
                      destino.numero,
                      {},
                      {{QStringLiteral("from"), moved.antes}},
                      {{QStringLiteral("from"), moved.restante}, {QStringLiteral("to"), moved.destino}}});
    });
    return result;
}

}  // namespace Gpe00002
