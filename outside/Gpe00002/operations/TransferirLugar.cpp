#include "operations/TransferirLugar.h"

#include "store/Journal.h"
#include "core/Numbers.h"
#include "core/Refusal.h"
#include "core/Station.h"

#include <QJsonArray>
#include <algorithm>

namespace Gpe00002 {

namespace {

std::vector<TableItem> onSeat(const std::vector<TableItem>& items, const QString& lugar) {
    std::vector<TableItem> found;
    std::copy_if(items.begin(), items.end(), std::back_inserter(found),
                 [&](const TableItem& item) { return item.lugar == lugar; });
    return found;
}

QJsonObject key(const QString& venda, const QString& comanda, const QString& numero) {
    return {{QStringLiteral("sale"), venda}, {QStringLiteral("ticket"), comanda}, {QStringLiteral("item"), numero}};
}

}  // namespace

std::vector<std::pair<QString, int>> seatsOf(const std::vector<TableItem>& items) {
    std::map<QString, int> seats;
    for (const TableItem& item : items) ++seats[item.lugar];
    return {seats.begin(), seats.end()};
}

std::optional<QString> seatNumber(const QString& typed, const QString& lugarOrigem) {
    const auto seat = [](const QString& text) { return allDigits(text) && text.size() <= 4; };
    if (!seat(typed) || typed.toInt() == 0) return std::nullopt;
    const int width = seat(lugarOrigem) ? static_cast<int>(lugarOrigem.size()) : 0;
    return typed.rightJustified(width, QLatin1Char('0'));
}

QJsonObject transferirLugar(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                            const TableState& origem, const QString& lugar, const std::vector<TableItem>& seen,
                            const TableState& destino, const QString& lugarDestino, const std::optional<Ticket>& alvo) {
    const std::vector<TableItem> seat = onSeat(seen, lugar);
    if (seat.empty()) throw ERefusal(QStringLiteral("Mesa %1 não tem itens no lugar %2").arg(origem.numero, lugar));
    const bool sameTable = destino.numero == origem.numero;
    if (sameTable && lugarDestino == lugar)
        throw ERefusal(QStringLiteral("Escolha um lugar de destino diferente do lugar %1").arg(lugar));
    if (lugarDestino.isEmpty() || lugarDestino.size() > 4)
        throw ERefusal(QStringLiteral("Informe o lugar de destino, de um a quatro dígitos"));
    refuseUnfitForItems(origem);
    refuseUnfitForItems(destino);
    if (!sameTable && !alvo) throw ERefusal(QStringLiteral("Escolha a comanda da mesa %1").arg(destino.numero));

    QStringList tables{origem.numero};
    if (!sameTable) tables << destino.numero;
    QJsonObject result;
    db.transaction(busyMessage(tables), [&] {
        const std::optional<Ticket> target = sameTable ? std::nullopt : alvo;
        const std::vector<TableItem> now =
            onSeat(items::lockForMove(db, filial, loja, origem, destino, seat, target), lugar);
        // Exactly the items the user saw on the seat move: one more, one less or one changed and
        // the user decides again.
        if (now.size() != seat.size())
            throw ERefusal(QStringLiteral("Lugar %1 da mesa %2 foi alterado por outro terminal; tente de novo")
                               .arg(lugar, origem.numero));
        QJsonArray antes, depois, moved;
        for (const TableItem& item : seat) {
            const TableItem& current = items::currentItem(now, item, origem.numero);
            if (sameTable) {
                antes.append(items::itemRow(db, filial, item.comanda.venda, item.comanda.numero, item.numero));
                db.execute("changeItemSeat", {{QStringLiteral("P_LUGAR"), lugarDestino},
                                              {QStringLiteral("P_CDFILIAL"), filial},
                                              {QStringLiteral("P_NRVENDAREST"), item.comanda.venda},
                                              {QStringLiteral("P_NRCOMANDA"), item.comanda.numero},
                                              {QStringLiteral("P_NRPRODCOMVEN"), item.numero}});
                depois.append(items::itemRow(db, filial, item.comanda.venda, item.comanda.numero, item.numero));
                const QJsonObject same = key(item.comanda.venda, item.comanda.numero, item.numero);
                moved.append(QJsonObject{{QStringLiteral("from"), same}, {QStringLiteral("to"), same}});
            } else {
                const items::Moved done =
                    items::moveItem(db, filial, current, milli(current.quantidade), *alvo, lugarDestino);
                antes.append(done.antes);
                depois.append(done.destino);
                moved.append(
                    QJsonObject{{QStringLiteral("from"), key(item.comanda.venda, item.comanda.numero, item.numero)},
                                {QStringLiteral("to"), key(alvo->venda, alvo->numero, done.numero)}});
            }
        }
        const QJsonObject from{{QStringLiteral("table"), origem.numero}, {QStringLiteral("seat"), lugar}};
        const QJsonObject to{{QStringLiteral("table"), destino.numero}, {QStringLiteral("seat"), lugarDestino}};
        result = {{QStringLiteral("from"), from}, {QStringLiteral("to"), to}, {QStringLiteral("items"), moved}};
        QJsonObject before = from, after = to;
        before.insert(QStringLiteral("items"), antes);
        after.insert(QStringLiteral("items"), depois);
        writeJournal(db, station,
                     {QStringLiteral("TRANSFLUGAR"), filial, loja, origem.numero, destino.numero, {}, before, after});
    });
    return result;
}

}  // namespace Gpe00002
