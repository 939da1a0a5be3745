// The dialogue of moving a seat position (CriaTrComanN kind "3"): the table on the map, one of the
// seats its items carry in a list, the target table on a second map (the same table or another
// one with an open sale), the target seat on the keypad, the ticket when that other table has
// several, a confirmation, the operation and a notice. Cancela goes back to the screen before,
// which shows again what was chosen or typed there.
#include "operations/TransferirLugar.h"
#include "routines/ItemChoices.h"

namespace Gpe00002 {

namespace {

const QString kTitle = QStringLiteral("Transferir posição");

// The keypad starts with what was typed before (`typed`, which keeps what is typed now).
std::optional<QString> askSeat(Flow& flow, const TableState& origem, const QString& lugar, const TableState& destino,
                               std::string& typed) {
    for (;;) {
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
    enum class Step { Source, Seat, Target, TargetSeat, Ticket, Question } step = Step::Source;
    std::map<QString, std::vector<Ticket>> tickets;
    std::optional<TableState> origem, destino;
    std::vector<TableItem> items;
    std::vector<std::pair<QString, int>> seats;
    std::optional<QString> lugar, lugarDestino;
    std::string typedSeat;
    std::optional<Ticket> alvo;
    bool ticketAsked = false;
    for (;;) {
        switch (step) {
        case Step::Source: {
            tickets = loadOpenTickets(db, filial, loja);
            const std::vector<MapTable> sources =
                flow.map(filial, loja, [&](const TableState& table) { return sourceReason(table, tickets); });
            if (!anyEnabled(sources))
                throw ERefusal(QStringLiteral("Não há mesas com itens para transferir nesta loja"));
            const QStringList marked = numberOf(origem);
            origem = flow.chooseTable(
                {kTitle, QStringLiteral("Escolha a mesa de onde sai o lugar"), sources, false, 1, marked});
            if (!origem) return QJsonValue::Null;
            items = loadTableItems(db, filial, loja, origem->numero);
            if (items.empty()) {
                flow.refuse(QStringLiteral("Mesa %1 não tem itens para transferir").arg(origem->numero));
                break;
            }
            seats = seatsOf(items);
            step = Step::Seat;
            break;
        }
        case Step::Seat: {
            // The list follows the table while it is open; what it read last is what the move
            // goes on with.
            const LiveRows<std::pair<QString, int>> live{filial, loja, db.connection().ConnectionString(),
                                                         [&, numero = origem->numero] {
                                                             items = loadTableItems(db, filial, loja, numero);
                                                             seats = seatsOf(items);
                                                             return seats;
                                                         }};
            const std::vector<std::pair<QString, int>> shown = seats;
            lugar = chooseSeat(shown, origem->numero, lugar, live);
            step = lugar ? Step::Target : Step::Source;
            break;
        }
        case Step::Target: {
            const std::vector<MapTable> targets = flow.map(filial, loja, [&](const TableState& table) {
                return table.numero == origem->numero ? QString() : targetReason(table, tickets, std::nullopt);
            });
            const QStringList marked = numberOf(destino);
            destino = flow.chooseTable(
                {kTitle, QStringLiteral("Escolha a mesa que recebe o lugar %1 da mesa %2").arg(*lugar, origem->numero),
                 targets, false, 1, marked});
            step = destino ? Step::TargetSeat : Step::Seat;
            break;
        }
        case Step::TargetSeat:
            lugarDestino = askSeat(flow, *origem, *lugar, *destino, typedSeat);
            step = lugarDestino ? Step::Ticket : Step::Target;
            break;
        case Step::Ticket: {
            ticketAsked = false;
            if (destino->numero == origem->numero) {
                alvo.reset();
                step = Step::Question;
                break;
            }
            const std::vector<Ticket> choices = targetTickets(destino->numero, tickets, std::nullopt);
            ticketAsked = choices.size() > 1;
            alvo = chooseTicket(choices,
                                QStringLiteral("A mesa %1 tem várias comandas: escolha a que recebe o lugar %2")
                                    .arg(destino->numero, *lugar),
                                alvo);
            step = alvo ? Step::Question : Step::TargetSeat;
            break;
        }
        case Step::Question: {
            const int count = std::find_if(seats.begin(), seats.end(), [&](const auto& seat) {
                                  return seat.first == *lugar;
                              })->second;
            const QString what = count == 1 ? QStringLiteral("o item") : QStringLiteral("os %1 itens").arg(count);
            if (!Confirma(kTitle, QStringLiteral("Transferir %1 do lugar %2 da mesa %3 para o lugar %4 da mesa %5?")
                                      .arg(what, *lugar, origem->numero, *lugarDestino, destino->numero))) {
                step = ticketAsked ? Step::Ticket : Step::TargetSeat;
                break;
            }
            const QJsonObject result =
                transferirLugar(db, flow.station, filial, loja, *origem, *lugar, items, *destino, *lugarDestino, alvo);
            return flow.done(QStringLiteral("Lugar %1 da mesa %2 transferido para o lugar %3 da mesa %4.")
                                 .arg(*lugar, origem->numero, *lugarDestino, destino->numero),
                             result);
        }
        }
    }
}

}  // namespace Gpe00002
