// The dialogue of moving a product (CriaTrComanN kind "2"): the source table on one map, then,
// until the list is closed, an item of its list, the quantity on the keypad (not for a product
// sold by weight, which moves whole), the target table on a second map, the ticket when it has
// several, and a question naming what goes where. Each item moves in a transaction of its own,
// told in a notice; the list comes back for the next one. Cancela goes back to the screen
// before, showing again what was chosen or typed there; closing the list goes back to the map.
#include "operations/TransferirProduto.h"
#include "routines/ItemChoices.h"

#include <QJsonArray>

namespace Gpe00002 {

namespace {

const QString kTitle = QStringLiteral("Transferir produto");

// The keypad starts with `typed` (the whole quantity, selected, so that a typed digit replaces
// it; or what was typed before), which keeps what is typed now.
std::optional<double> askQuantity(Flow& flow, const TableItem& item, std::string& typed) {
    const QString whole = quantityText(item.quantidade);
    for (;;) {
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

QJsonValue moved(const QJsonArray& moves) {
    return moves.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QJsonObject{{QStringLiteral("moves"), moves}});
}

}  // namespace

QJsonValue transferirProduto(Flow& flow) {
    PackageDatabase& db = *flow.db;
    const QString& filial = flow.station.filial;
    const QString& loja = flow.station.loja;
    enum class Step { Source, Item, Quantity, Target, Ticket, Question } step = Step::Source;
    std::map<QString, std::vector<Ticket>> tickets;
    std::optional<TableState> origem, destino;
    std::optional<TableItem> item;
    std::optional<double> quantidade;
    std::string typedQuantity;
    std::optional<Ticket> alvo;
    bool ticketAsked = false;
    QJsonArray moves;
    for (;;) {
        switch (step) {
        case Step::Source: {
            tickets = loadOpenTickets(db, filial, loja);
            const std::vector<MapTable> sources =
                flow.map(filial, loja, [&](const TableState& table) { return sourceReason(table, tickets); });
            if (!anyEnabled(sources)) {
                const QString none = QStringLiteral("Não há mesas com itens para transferir nesta loja");
                if (moves.isEmpty()) throw ERefusal(none);
                flow.refuse(none);
                return moved(moves);
            }
            const QStringList marked = numberOf(origem);
            origem = flow.chooseTable(
                {kTitle, QStringLiteral("Escolha a mesa de onde sai o produto"), sources, false, 1, marked});
            if (!origem) return moved(moves);
            item.reset();
            step = Step::Item;
            break;
        }
        case Step::Item: {
            const std::optional<TableState> now = current(flow, origem->numero);
            if (!now) {
                step = Step::Source;
                break;
            }
            origem = now;
            const std::vector<TableItem> items = loadTableItems(db, filial, loja, origem->numero);
            if (items.empty()) {
                flow.notify(QStringLiteral("Mesa %1 não tem mais itens para transferir.").arg(origem->numero));
                step = Step::Source;
                break;
            }
            const std::optional<TableItem> previous = item;
            item = chooseItem(
                items, origem->numero, previous,
                {filial, loja, db.connection().ConnectionString(),
                 [&db, &filial, &loja, numero = origem->numero] { return loadTableItems(db, filial, loja, numero); }});
            if (!item) {
                step = Step::Source;
                break;
            }
            if (!previous || !previous->sameKey(*item) || previous->quantidade != item->quantidade)
                typedQuantity = quantityText(item->quantidade).toStdString();
            quantidade = item->quantidade;
            step = item->pesado ? Step::Target : Step::Quantity;
            break;
        }
        case Step::Quantity:
            quantidade = askQuantity(flow, *item, typedQuantity);
            step = quantidade ? Step::Target : Step::Item;
            break;
        case Step::Target: {
            tickets = loadOpenTickets(db, filial, loja);
            const std::vector<MapTable> targets = flow.map(
                filial, loja, [&](const TableState& table) { return targetReason(table, tickets, item->comanda); });
            if (!anyEnabled(targets)) {
                flow.refuse(QStringLiteral("Não há mesas com comanda aberta para receber o item"));
                step = Step::Item;
                break;
            }
            const QStringList marked = numberOf(destino);
            destino = flow.chooseTable(
                {kTitle, QStringLiteral("Escolha a mesa que recebe %1 × %2").arg(quantityText(*quantidade), item->nome),
                 targets, false, 1, marked});
            step = destino ? Step::Ticket : item->pesado ? Step::Item : Step::Quantity;
            break;
        }
        case Step::Ticket: {
            const std::vector<Ticket> choices = targetTickets(destino->numero, tickets, item->comanda);
            ticketAsked = choices.size() > 1;
            alvo = chooseTicket(choices,
                                QStringLiteral("A mesa %1 tem várias comandas: escolha a que recebe %2 × %3")
                                    .arg(destino->numero, quantityText(*quantidade), item->nome),
                                alvo);
            step = alvo ? Step::Question : Step::Target;
            break;
        }
        case Step::Question: {
            const QString what = QStringLiteral("%1 × %2").arg(quantityText(*quantidade), item->nome);
            const QString where =
                ticketAsked ? QStringLiteral("a mesa %1, comanda %2")
                                  .arg(destino->numero, alvo->descricao.isEmpty() ? alvo->numero : alvo->descricao)
                            : QStringLiteral("a mesa %1").arg(destino->numero);
            if (!Confirma(kTitle,
                          QStringLiteral("Transferir %1 da mesa %2 para %3?").arg(what, origem->numero, where))) {
                step = ticketAsked ? Step::Ticket : Step::Target;
                break;
            }
            try {
                const QJsonObject moved =
                    transferirProduto(db, flow.station, filial, loja, *origem, *item, *quantidade, *destino, *alvo);
                moves.append(flow.done(
                    QStringLiteral("Transferido %1 da mesa %2 para %3.").arg(what, origem->numero, where), moved));
            } catch (const ERefusal& refusal) {
                // The list comes back, as it is now, for the user to try again.
                flow.refuse(refusal.message());
            }
            item.reset();
            step = Step::Item;
            break;
        }
        }
    }
}

}  // namespace Gpe00002
