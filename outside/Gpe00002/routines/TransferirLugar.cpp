// The dialogue of moving a seat position (CriaTrComanN kind "3"): the table on the map, one of the
// seats its items carry in the search list, the target table on a second map (the same table or
// another one with an open sale), the target seat on the keypad, the ticket when that other table
// has several, a confirmation, the operation and a notice.
#include "../operations/TransferirLugar.h"
#include "ItemChoices.h"

namespace Gpe00002 {

namespace {

const QString kTitle = QStringLiteral("Transferir posição");

std::optional<QString> askSeat(Flow& flow, const TableState& origem, const QString& lugar, const TableState& destino) {
    for (;;) {
        std::string typed;
        if (!TecladoNumerico(typed, kTitle.toStdString(),
                             QStringLiteral("Lugar de destino na mesa %1").arg(destino.numero).toStdString(),
                             "De 1 a 9999", 4, 0, 0, 0, 0, 0))
            return std::nullopt;
        const std::optional<QString> seat = seatNumber(QString::fromStdString(typed), lugar);
        if (!seat)
            flow.refuse(QStringLiteral("Digite o número do lugar, de 1 a 9999."));
        else if (destino.numero == origem.numero && *seat == lugar)
            flow.refuse(QStringLiteral("Escolha um lugar de destino diferente do lugar %1").arg(lugar));
        else
            return seat;
    }
}

}  // namespace

QJsonValue transferirLugar(Flow& flow) {
    PackageDatabase& db = *flow.db;
    const QString& filial = flow.station.filial;
    const QString& loja = flow.station.loja;
    const std::map<QString, std::vector<Ticket>> tickets = loadOpenTickets(db, filial, loja);
    const std::vector<MapTable> sources =
        flow.map(filial, loja, [&](const TableState& table) { return sourceReason(table, tickets); });
    if (!anyEnabled(sources)) throw ERefusal(QStringLiteral("Não há mesas com itens para transferir nesta loja"));
    const TableState* origem = chooseTable(sources, kTitle, QStringLiteral("Escolha a mesa de onde sai o lugar"));
    if (!origem) return QJsonValue::Null;

    const std::vector<TableItem> items = loadTableItems(db, filial, loja, origem->numero);
    if (items.empty()) throw ERefusal(QStringLiteral("Mesa %1 não tem itens para transferir").arg(origem->numero));
    const std::vector<std::pair<QString, int>> seats = seatsOf(items);
    const std::optional<QString> lugar = chooseSeat(seats, kTitle);
    if (!lugar) return QJsonValue::Null;
    const int count =
        std::find_if(seats.begin(), seats.end(), [&](const auto& seat) { return seat.first == *lugar; })->second;

    const std::vector<MapTable> targets = flow.map(filial, loja, [&](const TableState& table) {
        return table.numero == origem->numero ? QString() : targetReason(table, tickets, std::nullopt);
    });
    const TableState* destino = chooseTable(
        targets, kTitle, QStringLiteral("Escolha a mesa que recebe o lugar %1 da mesa %2").arg(*lugar, origem->numero));
    if (!destino) return QJsonValue::Null;
    const std::optional<QString> lugarDestino = askSeat(flow, *origem, *lugar, *destino);
    if (!lugarDestino) return QJsonValue::Null;
    std::optional<Ticket> alvo;
    if (destino->numero != origem->numero) {
        alvo = chooseTicket(targetTickets(destino->numero, tickets, std::nullopt), kTitle);
        if (!alvo) return QJsonValue::Null;
    }
    const QString what = count == 1 ? QStringLiteral("o item") : QStringLiteral("os %1 itens").arg(count);
    if (!Confirma(kTitle, QStringLiteral("Transferir %1 do lugar %2 da mesa %3 para o lugar %4 da mesa %5?")
                              .arg(what, *lugar, origem->numero, *lugarDestino, destino->numero)))
        return QJsonValue::Null;
    const QJsonObject result =
        transferirLugar(db, flow.station, filial, loja, *origem, *lugar, items, *destino, *lugarDestino, alvo);
    flow.notify(QStringLiteral("Lugar %1 da mesa %2 transferido para o lugar %3 da mesa %4.")
                    .arg(*lugar, origem->numero, *lugarDestino, destino->numero));
    return result;
}

}  // namespace Gpe00002
