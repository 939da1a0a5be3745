#include "operations/Items.h"

#include "core/Money.h"
#include "core/Refusal.h"
#include "store/Counting.h"

#include <algorithm>
#include <cmath>

namespace Gpe00002 {

namespace {

Ticket ticketOf(const SqlRow& row) {
    return {rowKey(row, "NRVENDAREST"), rowKey(row, "NRCOMANDA"), rowKey(row, "DSCOMANDA"),
            static_cast<int>(row.value(QStringLiteral("ITENS")).toDouble())};
}

QJsonValue number(const QVariant& value) { return value.isNull() ? QJsonValue() : QJsonValue(value.toDouble()); }
QJsonValue textOrNull(const QVariant& value) { return value.isNull() ? QJsonValue() : QJsonValue(value.toString()); }

// Locks the rows with the keys `keys` (values of the parameters `columns`, the branch aside), one
// statement a row, in key order.
void lockRows(PackageDatabase& db, const char* statement, const QStringList& columns, const QString& filial,
              std::vector<QStringList> keys) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (const QStringList& key : keys) {
        QVariantMap parameters{{QStringLiteral("P_CDFILIAL"), filial}};
        for (int c = 0; c < columns.size(); ++c) parameters.insert(columns[c], key[c]);
        db.lock(statement, parameters);
    }
}

QVariantMap itemKey(const QString& filial, const QString& venda, const QString& comanda, const QString& numero) {
    return {{QStringLiteral("P_CDFILIAL"), filial},
            {QStringLiteral("P_NRVENDAREST"), venda},
            {QStringLiteral("P_NRCOMANDA"), comanda},
            {QStringLiteral("P_NRPRODCOMVEN"), numero}};
}

QString itemChanged(const TableItem& item) {
    return QStringLiteral("Item %1 da comanda %2 foi alterado por outro terminal; tente de novo")
        .arg(item.nome, item.comanda.numero);
}

// The number after the highest one the ticket uses, six digits wide, as the restaurant's own
// numbering does. A number freed by moving away the ticket's last item is therefore taken again:
// an origin (NRCOMANDAORI, NRPRODCOMORI) names where an item was, not an item that stays there.
QString nextItemNumber(PackageDatabase& db, const QString& filial, const Ticket& alvo) {
    qint64 highest = 0;
    for (const SqlRow& row : db.select("ticketItemNumbers", {{QStringLiteral("P_CDFILIAL"), filial},
                                                             {QStringLiteral("P_NRVENDAREST"), alvo.venda},
                                                             {QStringLiteral("P_NRCOMANDA"), alvo.numero}})) {
        bool ok = false;
        const qint64 value = rowKey(row, "NRPRODCOMVEN").trimmed().toLongLong(&ok);
        if (ok) highest = std::max(highest, value);
    }
    if (highest >= 999999)
        throw ERefusal(QStringLiteral("Comanda %1 não tem mais números de item livres").arg(alvo.numero));
    return QString::number(highest + 1).rightJustified(6, QLatin1Char('0'));
}

// `amount` split for `moved` of `whole` thousandths: the part that moves and the part that stays.
// In whole cents, so that the two add up to the amount exactly; an amount that is no whole number
// of cents keeps its odd fraction on the source row.
std::pair<QVariant, QVariant> splitAmount(const QVariant& amount, qint64 moved, qint64 whole) {
    if (amount.isNull()) return {QVariant(), QVariant()};
    const double value = amount.toDouble();
    const Money all = Money::fromDouble(value);
    if (std::fabs(value - all.toDouble()) > 1e-8) {
        // Kept as stored: the source keeps the fraction below the cent.
        const Money part = Money::fromDouble(value * static_cast<double>(moved) / static_cast<double>(whole));
        return {part.toDouble(), value - part.toDouble()};
    }
    const Money part = all.share(moved, whole);
    return {part.toDouble(), (all - part).toDouble()};
}

}  // namespace

std::vector<TableItem> loadTableItems(PackageDatabase& db, const QString& filial, const QString& loja,
                                      const QString& mesa) {
    std::vector<TableItem> items;
    for (const SqlRow& row : db.select("tableItems", {{QStringLiteral("P_CDFILIAL"), filial},
                                                      {QStringLiteral("P_CDLOJA"), loja},
                                                      {QStringLiteral("P_NRMESA"), mesa}})) {
        TableItem item;
        item.comanda = ticketOf(row);
        item.numero = rowKey(row, "NRPRODCOMVEN");
        item.produto = rowKey(row, "CDPRODUTO");
        item.nome = Counting::productName(row);
        item.vendedor = rowKey(row, "CDVENDEDOR");
        item.lugar = rowKey(row, "NRLUGARMESA");
        item.quantidade = row.value(QStringLiteral("QTPRODCOMVEN")).toDouble();
        item.pesado = rowKey(row, "IDPESAPROD") == QLatin1String("S");
        items.push_back(std::move(item));
    }
    return items;
}

std::map<QString, std::vector<Ticket>> loadOpenTickets(PackageDatabase& db, const QString& filial,
                                                       const QString& loja) {
    std::map<QString, std::vector<Ticket>> tickets;
    for (const SqlRow& row :
         db.select("openTickets", {{QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}}))
        tickets[rowKey(row, "NRMESA")].push_back(ticketOf(row));
    return tickets;
}

QString itemTableUnfitReason(const TableState& table) {
    if (!table.vendaAberta) return QStringLiteral("sem venda aberta");
    if (table.estado == kFechando) return QStringLiteral("fechando");
    return {};
}

void refuseUnfitForItems(const TableState& table) {
    const QString reason = itemTableUnfitReason(table);
    if (reason.isEmpty()) return;
    if (!table.vendaAberta) throw ERefusal(QStringLiteral("Mesa %1 não tem venda aberta").arg(table.numero));
    throw ERefusal(QStringLiteral("Mesa %1 está %2").arg(table.numero, reason));
}

namespace items {

std::vector<TableItem> lockForMove(PackageDatabase& db, const QString& filial, const QString& loja,
                                   const TableState& origem, const TableState& destino,
                                   const std::vector<TableItem>& seen, const std::optional<Ticket>& alvo) {
    const std::map<QString, TableState> tables = lockTables(db, filial, loja, {origem.numero, destino.numero});
    Gpe00002::expectUnchanged(origem, tables.at(origem.numero));
    Gpe00002::expectUnchanged(destino, tables.at(destino.numero));

    std::vector<QStringList> sales, tickets, rows;
    for (const TableItem& item : seen) {
        sales.push_back({item.comanda.venda});
        tickets.push_back({item.comanda.venda, item.comanda.numero});
        rows.push_back({item.comanda.venda, item.comanda.numero, item.numero});
    }
    if (alvo) {
        sales.push_back({alvo->venda});
        tickets.push_back({alvo->venda, alvo->numero});
    }
    lockRows(db, "lockSale", {QStringLiteral("P_NRVENDAREST")}, filial, sales);
    lockRows(db, "lockTicket", {QStringLiteral("P_NRVENDAREST"), QStringLiteral("P_NRCOMANDA")}, filial, tickets);
    lockRows(db, "lockItem",
             {QStringLiteral("P_NRVENDAREST"), QStringLiteral("P_NRCOMANDA"), QStringLiteral("P_NRPRODCOMVEN")}, filial,
             rows);

    // Read once everything is held (see lockTables): the target ticket still takes items on the
    // target table, and the source's items as they are now.
    if (alvo) {
        const std::map<QString, std::vector<Ticket>> open = loadOpenTickets(db, filial, loja);
        const auto found = open.find(destino.numero);
        if (found == open.end() || std::none_of(found->second.begin(), found->second.end(),
                                                [&](const Ticket& ticket) { return ticket.sameKey(*alvo); }))
            throw ERefusal(tableChanged(destino.numero));
    }
    return loadTableItems(db, filial, loja, origem.numero);
}

const TableItem& currentItem(const std::vector<TableItem>& now, const TableItem& seen, const QString& mesa) {
    const auto found = std::find_if(now.begin(), now.end(), [&](const TableItem& item) { return item.sameKey(seen); });
    if (found == now.end() || found->produto != seen.produto || milli(found->quantidade) != milli(seen.quantidade))
        throw ERefusal(
            QStringLiteral("Item %1 da mesa %2 foi alterado por outro terminal; tente de novo").arg(seen.nome, mesa));
    return *found;
}

QJsonObject itemRow(PackageDatabase& db, const QString& filial, const QString& venda, const QString& comanda,
                    const QString& numero) {
    const std::vector<SqlRow> rows = db.select("itemRow", itemKey(filial, venda, comanda, numero));
    if (rows.empty()) return {};
    const SqlRow& row = rows.front();
    return {{QStringLiteral("sale"), rowKey(row, "NRVENDAREST")},
            {QStringLiteral("ticket"), rowKey(row, "NRCOMANDA")},
            {QStringLiteral("item"), rowKey(row, "NRPRODCOMVEN")},
            {QStringLiteral("product"), textOrNull(row.value(QStringLiteral("CDPRODUTO")))},
            {QStringLiteral("quantity"), number(row.value(QStringLiteral("QTPRODCOMVEN")))},
            {QStringLiteral("price"), number(row.value(QStringLiteral("VRPRECCOMVEN")))},
            {QStringLiteral("discount"), number(row.value(QStringLiteral("VRDESCCOMVEN")))},
            {QStringLiteral("surcharge"), number(row.value(QStringLiteral("VRACRCOMVEN")))},
            {QStringLiteral("seat"), textOrNull(row.value(QStringLiteral("NRLUGARMESA")))},
            {QStringLiteral("waiter"), textOrNull(row.value(QStringLiteral("CDVENDEDOR")))},
            {QStringLiteral("origin"),
             QJsonObject{{QStringLiteral("description"), textOrNull(row.value(QStringLiteral("DSCOMANDAORI")))},
                         {QStringLiteral("ticket"), textOrNull(row.value(QStringLiteral("NRCOMANDAORI")))},
                         {QStringLiteral("item"), textOrNull(row.value(QStringLiteral("NRPRODCOMORI")))}}}};
}

Moved moveItem(PackageDatabase& db, const QString& filial, const TableItem& item, qint64 quantidade, const Ticket& alvo,
               const std::optional<QString>& lugar) {
    const QVariantMap source = itemKey(filial, item.comanda.venda, item.comanda.numero, item.numero);
    const std::vector<SqlRow> rows = db.select("itemToMove", source);
    if (rows.size() != 1) throw ERefusal(itemChanged(item));
    const SqlRow& row = rows.front();
    Moved moved;
    moved.antes = itemRow(db, filial, item.comanda.venda, item.comanda.numero, item.numero);
    moved.numero = nextItemNumber(db, filial, alvo);

    QVariantMap parameters = source;
    parameters.insert(QStringLiteral("P_DESTVENDA"), alvo.venda);
    parameters.insert(QStringLiteral("P_DESTCOMANDA"), alvo.numero);
    parameters.insert(QStringLiteral("P_DESTITEM"), moved.numero);
    // The first origin survives later moves: an item that came from elsewhere keeps saying so.
    const bool hasOrigin = !rowKey(row, "NRCOMANDAORI").trimmed().isEmpty();
    parameters.insert(QStringLiteral("P_DSORI"), hasOrigin ? row.value(QStringLiteral("DSCOMANDAORI"))
                                                           : QVariant(item.comanda.descricao.left(10)));
    parameters.insert(QStringLiteral("P_NRCOMORI"),
                      hasOrigin ? row.value(QStringLiteral("NRCOMANDAORI")) : QVariant(item.comanda.numero));
    parameters.insert(QStringLiteral("P_NRPRODORI"),
                      hasOrigin ? row.value(QStringLiteral("NRPRODCOMORI")) : QVariant(item.numero));
    // Null keeps the item's own seat.
    parameters.insert(QStringLiteral("P_LUGAR"), lugar ? QVariant(*lugar) : QVariant());

    const qint64 whole = milli(row.value(QStringLiteral("QTPRODCOMVEN")).toDouble());
    if (quantidade == whole) {
        // The row itself takes its new key: it cannot be lost nor counted twice, and every column
        // travels with it, those this package does not know included.
        const qint64 changed = db.execute("moveItem", parameters);
        if (changed != 1) throw ERefusal(itemChanged(item));
        moved.restante = QJsonValue::Null;
    } else {
        const auto [discountMoved, discountLeft] =
            splitAmount(row.value(QStringLiteral("VRDESCCOMVEN")), quantidade, whole);
        const auto [surchargeMoved, surchargeLeft] =
            splitAmount(row.value(QStringLiteral("VRACRCOMVEN")), quantidade, whole);
        parameters.insert(QStringLiteral("P_QTDEST"), static_cast<double>(quantidade) / 1000.0);
        parameters.insert(QStringLiteral("P_DESCDEST"), discountMoved);
        parameters.insert(QStringLiteral("P_ACRDEST"), surchargeMoved);
        const qint64 inserted = db.execute("copyItemPart", parameters);
        QVariantMap rest = source;
        // From the quantity as stored, which may hold more than thousandths (a third of a pizza).
        rest.insert(QStringLiteral("P_QT"),
                    row.value(QStringLiteral("QTPRODCOMVEN")).toDouble() - static_cast<double>(quantidade) / 1000.0);
        rest.insert(QStringLiteral("P_DESC"), discountLeft);
        rest.insert(QStringLiteral("P_ACR"), surchargeLeft);
        const qint64 updated = db.execute("keepItemRest", rest);
        if (inserted != 1 || updated != 1) throw ERefusal(itemChanged(item));
        moved.restante = itemRow(db, filial, item.comanda.venda, item.comanda.numero, item.numero);
    }
    moved.destino = itemRow(db, filial, alvo.venda, alvo.numero, moved.numero);
    return moved;
}

}  // namespace items

}  // namespace Gpe00002
