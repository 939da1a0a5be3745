#include "operations/Desfazer.h"

#include "core/Log.h"
#include "core/Refusal.h"
#include "operations/Items.h"
#include "operations/ReservarMesa.h"
#include "operations/Tables.h"
#include "store/Journal.h"

#include "DbTypes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <functional>
#include <set>
#include <tuple>

namespace Gpe00002 {

namespace {

const QString kDesfazer = QStringLiteral("DESFAZER");

// Why an operation of this kind is not undone; empty for the kinds that are.
QString notUndoableReason(const QString& operacao) {
    static const QStringList undoableKinds{
        QStringLiteral("AGRUPAR"),       QStringLiteral("SEPARAR"),     QStringLiteral("TRANSFMESA"),
        QStringLiteral("TRANSFPRODUTO"), QStringLiteral("TRANSFLUGAR"), QStringLiteral("RESERVAR"),
        QStringLiteral("ALTRESERVA"),    QStringLiteral("CANCRESERVA"), QStringLiteral("SENTARRESERVA")};
    if (undoableKinds.contains(operacao)) return {};
    if (operacao == kDesfazer) return QStringLiteral("Uma operação desfeita não se refaz; faça a operação de novo");
    if (operacao == QLatin1String("REIMPRESSAO"))
        return QStringLiteral("Uma reimpressão não se desfaz: ela não alterou nada");
    if (operacao == QLatin1String("NAOCOMPARECEU"))
        return QStringLiteral("Um não comparecimento não se desfaz: ele é marcado pelo relógio, não por um usuário");
    return QStringLiteral("Uma operação %1 não se desfaz").arg(operacao);
}

[[noreturn]] void changedSince(const QString& what) {
    throw ERefusal(QStringLiteral("Não é possível desfazer: %1 foi alterad%2 depois")
                       .arg(what, what.startsWith(QLatin1String("a ")) ? QStringLiteral("a") : QStringLiteral("o")));
}
[[noreturn]] void tableChangedSince(const QString& mesa) { changedSince(QStringLiteral("a mesa %1").arg(mesa)); }
[[noreturn]] void itemChangedSince(const QString& item) { changedSince(QStringLiteral("o item %1").arg(item)); }
[[noreturn]] void groupingChangedSince(const QString& grupo) {
    changedSince(QStringLiteral("o agrupamento %1").arg(groupingNumber(grupo)));
}
[[noreturn]] void reservationChangedSince(qint64 numero) { changedSince(QStringLiteral("a reserva %1").arg(numero)); }

// Two JSON values alike as the journal writes them (a whole number read back is a double).
bool sameJson(const QJsonValue& a, const QJsonValue& b) {
    const auto text = [](const QJsonValue& value) {
        return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    };
    return text(a) == text(b);
}

QVariant variantOf(const QJsonValue& value) { return value.isNull() ? QVariant() : value.toVariant(); }

QStringList stringsOf(const QJsonValue& array) {
    QStringList list;
    for (const QJsonValue& value : array.toArray()) list << value.toString();
    return list;
}

QStringList sortedUnique(QStringList numbers) {
    numbers.removeAll(QString());
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

// What an undo runs with: the journal row it undoes and the call that says, once everything is
// locked, whether another terminal undid it first.
struct Undo {
    PackageDatabase& db;
    const JournalRow& row;
    std::function<void()> stillNotUndone;

    QVariantMap store() const {
        return {{QStringLiteral("P_CDFILIAL"), row.filial}, {QStringLiteral("P_CDLOJA"), row.loja}};
    }
    QVariantMap table(const QString& numero) const {
        QVariantMap parameters = store();
        parameters.insert(QStringLiteral("P_NRMESA"), numero);
        return parameters;
    }
    QVariantMap grouping(const QString& grupo) const {
        QVariantMap parameters = store();
        parameters.insert(QStringLiteral("P_NRJUNMESA"), grupo);
        return parameters;
    }
    QStringList members(const QString& grupo) const {
        QStringList numbers;
        for (const SqlRow& found : db.select("groupingMembers", grouping(grupo))) numbers << rowKey(found, "NRMESA");
        return numbers;
    }
    QStringList groupingsOf(const QString& mesa) const {
        QStringList numbers;
        for (const SqlRow& found : db.select("tableGroupings", table(mesa))) numbers << rowKey(found, "NRJUNMESA");
        return numbers;
    }
};

// What the undo found and what it put back, for its journal row.
struct Done {
    QJsonObject antes, depois;
};

// ---- Groupings --------------------------------------------------------------------------------

Done undoAgrupar(Undo& undo) {
    const QString grupo = undo.row.grupo;
    const QStringList before = stringsOf(undo.row.antes.value(QStringLiteral("tables")));
    const QStringList after = stringsOf(undo.row.depois.value(QStringLiteral("tables")));
    const bool created = before.isEmpty();
    if (created) lockStore(undo.db, undo.row.filial, undo.row.loja);
    const bool exists = lockGrouping(undo.db, undo.row.filial, undo.row.loja, grupo);
    lockTables(undo.db, undo.row.filial, undo.row.loja, after);
    undo.stillNotUndone();
    if (!exists || undo.members(grupo) != after) groupingChangedSince(grupo);

    for (const QString& mesa : after) {
        if (before.contains(mesa)) continue;
        QVariantMap member = undo.grouping(grupo);
        member.insert(QStringLiteral("P_NRMESA"), mesa);
        undo.db.execute("deleteGroupingMember", member);
    }
    if (created) undo.db.execute("deleteGrouping", undo.grouping(grupo));
    return {undo.row.depois, undo.row.antes};
}

Done undoSeparar(Undo& undo) {
    const QString grupo = undo.row.grupo;
    const QStringList before = stringsOf(undo.row.antes.value(QStringLiteral("tables")));
    const QStringList remaining = stringsOf(undo.row.depois.value(QStringLiteral("tables")));
    // A grouping that went with its last member comes back under its own number.
    const bool removed = remaining.isEmpty();
    if (removed) lockStore(undo.db, undo.row.filial, undo.row.loja);
    const bool exists = lockGrouping(undo.db, undo.row.filial, undo.row.loja, grupo);
    lockTables(undo.db, undo.row.filial, undo.row.loja, before);
    undo.stillNotUndone();
    if (removed ? exists || !undo.members(grupo).isEmpty() : !exists || undo.members(grupo) != remaining)
        groupingChangedSince(grupo);
    for (const QString& mesa : before)
        if (!remaining.contains(mesa) && !undo.groupingsOf(mesa).isEmpty()) tableChangedSince(mesa);

    if (removed) undo.db.execute("insertGrouping", undo.grouping(grupo));
    for (const QString& mesa : before) {
        if (remaining.contains(mesa)) continue;
        QVariantMap member = undo.grouping(grupo);
        member.insert(QStringLiteral("P_NRMESA"), mesa);
        undo.db.execute("insertGroupingMember", member);
    }
    return {undo.row.depois, undo.row.antes};
}

// ---- Tables -----------------------------------------------------------------------------------

QVariant storedState(Undo& undo, const QString& mesa) {
    const std::vector<SqlRow> rows = undo.db.select("undoTableState", undo.table(mesa));
    return rows.empty() ? QVariant() : rows.front().value(QStringLiteral("IDSTMESAAUX"));
}

bool sameState(const QVariant& stored, const QJsonValue& expected) {
    return stored.isNull() ? expected.isNull() : expected.isString() && stored.toString() == expected.toString();
}

Done undoTransferirMesa(Undo& undo) {
    const QJsonObject from = undo.row.antes.value(QStringLiteral("from")).toObject();
    const QJsonObject to = undo.row.antes.value(QStringLiteral("to")).toObject();
    const QString origem = from.value(QStringLiteral("table")).toString();
    const QString destino = to.value(QStringLiteral("table")).toString();
    const QString grupo = undo.row.grupo;
    const QStringList vendas = stringsOf(from.value(QStringLiteral("sales")));
    // MESA's states before, as stored; rows journalled without them give the states shown.
    const QJsonObject stored = undo.row.antes.value(QStringLiteral("stored")).toObject();
    const QJsonValue origemBefore =
        stored.contains(origem) ? stored.value(origem) : from.value(QStringLiteral("state"));
    const QJsonValue destinoBefore =
        stored.contains(destino) ? stored.value(destino) : to.value(QStringLiteral("state"));

    const bool grouped = !grupo.isEmpty() && lockGrouping(undo.db, undo.row.filial, undo.row.loja, grupo);
    lockTables(undo.db, undo.row.filial, undo.row.loja, {origem, destino});
    undo.stillNotUndone();
    if (!grupo.isEmpty() && !grouped) groupingChangedSince(grupo);
    const auto openSales = [&undo](const QString& mesa) {
        QStringList found;
        for (const SqlRow& sale : undo.db.select("tableOpenSales", undo.table(mesa)))
            found << rowKey(sale, "NRVENDAREST");
        return found;
    };
    if (!openSales(origem).isEmpty() || !sameState(storedState(undo, origem), QJsonValue(kLivre)) ||
        !undo.groupingsOf(origem).isEmpty())
        tableChangedSince(origem);
    if (openSales(destino) != vendas || !sameState(storedState(undo, destino), origemBefore) ||
        undo.groupingsOf(destino) != (grupo.isEmpty() ? QStringList() : QStringList{grupo}))
        tableChangedSince(destino);

    for (const QString& venda : vendas)
        undo.db.execute("moveSale", {{QStringLiteral("P_CDFILIAL"), undo.row.filial},
                                     {QStringLiteral("P_NRVENDAREST"), venda},
                                     {QStringLiteral("P_DESTINO"), origem}});
    for (const auto& [mesa, estado] : {std::pair{origem, origemBefore}, std::pair{destino, destinoBefore}}) {
        QVariantMap parameters = undo.table(mesa);
        parameters.insert(QStringLiteral("P_ESTADO"), variantOf(estado));
        undo.db.execute("undoSetTableState", parameters);
    }
    if (!grupo.isEmpty()) {
        QVariantMap both = undo.store();
        both.insert(QStringLiteral("P_ORIGEM"), destino);
        both.insert(QStringLiteral("P_DESTINO"), origem);
        undo.db.execute("moveGroupingMember", both);
    }
    return {undo.row.depois, undo.row.antes};
}

// ---- Items ------------------------------------------------------------------------------------

struct ItemKey {
    QString venda, comanda, numero;
    static ItemKey of(const QJsonObject& row) {
        return {row.value(QStringLiteral("sale")).toString(), row.value(QStringLiteral("ticket")).toString(),
                row.value(QStringLiteral("item")).toString()};
    }
    bool operator<(const ItemKey& other) const {
        return std::tie(venda, comanda, numero) < std::tie(other.venda, other.comanda, other.numero);
    }
    bool operator==(const ItemKey& other) const = default;
    QVariantMap parameters(const QString& filial) const {
        return {{QStringLiteral("P_CDFILIAL"), filial},
                {QStringLiteral("P_NRVENDAREST"), venda},
                {QStringLiteral("P_NRCOMANDA"), comanda},
                {QStringLiteral("P_NRPRODCOMVEN"), numero}};
    }
};

// A move of one item's row: where it was (`antes`) and what the move left where it went (`depois`),
// or, for part of an item, the rest left on the source row (`restante`) beside a new row.
struct ItemMove {
    QJsonObject antes;
    QJsonObject depois;
    std::optional<QJsonObject> restante;  // set when only part of the item moved
};

// Locks the tables, then the sales, tickets and items of `moves` in key order, as the item
// operations lock them, and checks every row is as the moves left it and the tables still take
// items.
void lockAndCheckItems(Undo& undo, const std::vector<ItemMove>& moves) {
    const QStringList mesas = sortedUnique({undo.row.mesaOrigem, undo.row.mesaDestino});
    const std::map<QString, TableState> tables = lockTables(undo.db, undo.row.filial, undo.row.loja, mesas);
    std::set<QStringList> sales, tickets, items;
    for (const ItemMove& move : moves)
        for (const QJsonObject* row : {&move.antes, &move.depois}) {
            const ItemKey key = ItemKey::of(*row);
            sales.insert({key.venda});
            tickets.insert({key.venda, key.comanda});
            items.insert({key.venda, key.comanda, key.numero});
        }
    const auto lockRows = [&undo](const char* statement, const QStringList& columns,
                                  const std::set<QStringList>& keys) {
        for (const QStringList& key : keys) {
            QVariantMap parameters{{QStringLiteral("P_CDFILIAL"), undo.row.filial}};
            for (int c = 0; c < columns.size(); ++c) parameters.insert(columns[c], key[c]);
            undo.db.lock(statement, parameters);
        }
    };
    lockRows("lockSale", {QStringLiteral("P_NRVENDAREST")}, sales);
    lockRows("lockTicket", {QStringLiteral("P_NRVENDAREST"), QStringLiteral("P_NRCOMANDA")}, tickets);
    lockRows("lockItem",
             {QStringLiteral("P_NRVENDAREST"), QStringLiteral("P_NRCOMANDA"), QStringLiteral("P_NRPRODCOMVEN")}, items);
    undo.stillNotUndone();

    // Items go back only to a table whose sale is still open and not being settled.
    for (const auto& [mesa, table] : tables)
        if (!itemTableUnfitReason(table).isEmpty()) tableChangedSince(mesa);
    const auto rowNow = [&undo](const ItemKey& key) {
        return items::itemRow(undo.db, undo.row.filial, key.venda, key.comanda, key.numero);
    };
    for (const ItemMove& move : moves) {
        const ItemKey from = ItemKey::of(move.antes), to = ItemKey::of(move.depois);
        if (!sameJson(rowNow(to), move.depois)) itemChangedSince(to.numero);
        if (move.restante) {
            if (!sameJson(rowNow(from), *move.restante)) itemChangedSince(from.numero);
        } else if (!(from == to) && !rowNow(from).isEmpty()) {
            // Its number was taken again meanwhile.
            itemChangedSince(from.numero);
        }
    }
}

void restoreItems(Undo& undo, const std::vector<ItemMove>& moves) {
    for (const ItemMove& move : moves) {
        const ItemKey from = ItemKey::of(move.antes), to = ItemKey::of(move.depois);
        if (move.restante) {
            undo.db.execute("undoDeleteItem", to.parameters(undo.row.filial));
            QVariantMap rest = from.parameters(undo.row.filial);
            rest.insert(QStringLiteral("P_QT"), variantOf(move.antes.value(QStringLiteral("quantity"))));
            rest.insert(QStringLiteral("P_DESC"), variantOf(move.antes.value(QStringLiteral("discount"))));
            rest.insert(QStringLiteral("P_ACR"), variantOf(move.antes.value(QStringLiteral("surcharge"))));
            undo.db.execute("keepItemRest", rest);
            continue;
        }
        // The row itself takes back its key, seat and origin: every other column stayed with it.
        const QJsonObject origin = move.antes.value(QStringLiteral("origin")).toObject();
        QVariantMap parameters = to.parameters(undo.row.filial);
        parameters.insert(QStringLiteral("P_VENDA"), from.venda);
        parameters.insert(QStringLiteral("P_COMANDA"), from.comanda);
        parameters.insert(QStringLiteral("P_ITEM"), from.numero);
        parameters.insert(QStringLiteral("P_LUGAR"), variantOf(move.antes.value(QStringLiteral("seat"))));
        parameters.insert(QStringLiteral("P_DSORI"), variantOf(origin.value(QStringLiteral("description"))));
        parameters.insert(QStringLiteral("P_NRCOMORI"), variantOf(origin.value(QStringLiteral("ticket"))));
        parameters.insert(QStringLiteral("P_NRPRODORI"), variantOf(origin.value(QStringLiteral("item"))));
        if (undo.db.execute("undoItemRow", parameters) != 1) itemChangedSince(to.numero);
    }
}

Done undoTransferirProduto(Undo& undo) {
    ItemMove move{undo.row.antes.value(QStringLiteral("from")).toObject(),
                  undo.row.depois.value(QStringLiteral("to")).toObject(), std::nullopt};
    if (const QJsonValue rest = undo.row.depois.value(QStringLiteral("from")); rest.isObject())
        move.restante = rest.toObject();
    lockAndCheckItems(undo, {move});
    restoreItems(undo, {move});
    return {undo.row.depois, undo.row.antes};
}

Done undoTransferirLugar(Undo& undo) {
    const QJsonArray antes = undo.row.antes.value(QStringLiteral("items")).toArray();
    const QJsonArray depois = undo.row.depois.value(QStringLiteral("items")).toArray();
    if (antes.size() != depois.size() || antes.isEmpty())
        throw ERefusal(QStringLiteral("Não é possível desfazer: o diário desta operação está incompleto"));
    std::vector<ItemMove> moves;
    for (qsizetype i = 0; i < antes.size(); ++i)
        moves.push_back({antes.at(i).toObject(), depois.at(i).toObject(), std::nullopt});
    lockAndCheckItems(undo, moves);
    restoreItems(undo, moves);
    return {undo.row.depois, undo.row.antes};
}

// ---- Reservations -----------------------------------------------------------------------------

QDateTime timeOf(const QJsonValue& iso) { return QDateTime::fromString(iso.toString(), Qt::ISODate); }

// The reservation `numero` as reservationJson writes it now, with its state as `situacao`
// (to compare a reservation that ended with what it was while active); null when it is gone.
QJsonValue reservationNow(Undo& undo, qint64 numero, std::optional<QString> situacao = std::nullopt) {
    std::optional<Reserva> reserva = reservaDaLoja(undo.db, undo.row.filial, undo.row.loja, numero);
    if (!reserva) return QJsonValue();
    QJsonObject json = reservationJson(*reserva);
    if (situacao) {
        if (reserva->situacao != *situacao) return QJsonValue();
        json.insert(QStringLiteral("state"), kReservaAtiva);
    }
    return json;
}

// Locks the store's row, the grouping's when there is one, then the tables, as the reservation
// operations do; answers the tables' state read once they are held.
std::map<QString, TableState> lockReservationTables(Undo& undo, const QStringList& mesas, const QString& grupo = {}) {
    lockStore(undo.db, undo.row.filial, undo.row.loja);
    if (!grupo.isEmpty()) lockGrouping(undo.db, undo.row.filial, undo.row.loja, grupo);
    for (const QString& mesa : sortedUnique(mesas)) undo.db.lock("lockTable", undo.table(mesa));
    // Read once the rows are held (see lockTables).
    std::map<QString, TableState> tables;
    for (TableState& table : loadTables(undo.db, undo.row.filial, undo.row.loja))
        if (mesas.contains(table.numero)) tables.emplace(table.numero, std::move(table));
    undo.stillNotUndone();
    return tables;
}

// A reservation that becomes active again must not overlap one made meanwhile on its tables.
void refuseOverlaps(Undo& undo, const QJsonObject& reservation) {
    for (const QString& mesa : stringsOf(reservation.value(QStringLiteral("tables")))) {
        QVariantMap parameters = undo.table(mesa);
        parameters.insert(QStringLiteral("P_NRRESERVA"), reservation.value(QStringLiteral("id")).toInteger());
        parameters.insert(QStringLiteral("P_INICIO"), timeOf(reservation.value(QStringLiteral("at"))));
        parameters.insert(QStringLiteral("P_FIM"), timeOf(reservation.value(QStringLiteral("until"))));
        if (!undo.db.select("overlappingReservations", parameters).empty()) tableChangedSince(mesa);
    }
}

// MESA of the reservation's tables brought in line with the reservations as they are after the
// undo, as every reservation operation leaves it: a table a reservation holds now is reserved,
// and one that only this reservation held is free again. `heldBefore` are the tables a
// reservation held before the undo.
void bringInLine(Undo& undo, const QStringList& mesas, const std::map<QString, TableState>& heldBefore) {
    for (const TableState& table : loadTables(undo.db, undo.row.filial, undo.row.loja)) {
        if (!mesas.contains(table.numero)) continue;
        const auto before = heldBefore.find(table.numero);
        const bool wasHeld = before != heldBefore.end() && before->second.reservada;
        if (table.estadoMesa == kLivre && table.estado == kReservada)
            undo.db.execute("reserveTable", undo.table(table.numero));
        else if (table.estadoMesa == kReservada &&
                 (table.estado == kLivre || (wasHeld && !table.reservada && !table.vendaAberta)))
            undo.db.execute("freeTable", undo.table(table.numero));
    }
}

void reopen(Undo& undo, qint64 numero, const QString& situacao) {
    const QVariantMap parameters{{QStringLiteral("P_NRRESERVA"), numero}, {QStringLiteral("P_IDSTRESERVA"), situacao}};
    if (undo.db.execute("undoReopenReservation", parameters) != 1) reservationChangedSince(numero);
    undo.db.execute("endReservationTables",
                    {{QStringLiteral("P_NRRESERVA"), numero}, {QStringLiteral("P_IDSTRESERVA"), kReservaAtiva}});
}

Done withTables(Done done, const QStringList& mesas) {
    done.depois.insert(QStringLiteral("tables"), QJsonArray::fromStringList(mesas));
    return done;
}

Done undoReservar(Undo& undo) {
    const QJsonObject made = undo.row.depois.value(QStringLiteral("reservation")).toObject();
    const qint64 numero = made.value(QStringLiteral("id")).toInteger();
    const QStringList mesas = stringsOf(made.value(QStringLiteral("tables")));
    const std::map<QString, TableState> held = lockReservationTables(undo, mesas);
    if (!sameJson(reservationNow(undo, numero), made)) reservationChangedSince(numero);

    undo.db.execute("deleteReservationTables", {{QStringLiteral("P_NRRESERVA"), numero}});
    if (undo.db.execute("undoDeleteReservation", {{QStringLiteral("P_NRRESERVA"), numero}}) != 1)
        reservationChangedSince(numero);
    bringInLine(undo, mesas, held);
    return withTables({undo.row.depois, {}}, mesas);
}

Done undoAlterarReserva(Undo& undo) {
    const QJsonObject before = undo.row.antes.value(QStringLiteral("reservation")).toObject();
    const QJsonObject after = undo.row.depois.value(QStringLiteral("reservation")).toObject();
    const qint64 numero = after.value(QStringLiteral("id")).toInteger();
    const QStringList mesasBefore = stringsOf(before.value(QStringLiteral("tables")));
    const QStringList mesas = sortedUnique(mesasBefore + stringsOf(after.value(QStringLiteral("tables"))));
    const std::map<QString, TableState> held = lockReservationTables(undo, mesas);
    const std::optional<Reserva> now = reservaDaLoja(undo.db, undo.row.filial, undo.row.loja, numero);
    if (!now || !sameJson(reservationJson(*now), after)) reservationChangedSince(numero);
    refuseOverlaps(undo, before);

    const QDateTime horario = timeOf(before.value(QStringLiteral("at")));
    // Rows journalled without the hold and the limit keep them as far from the time as they are.
    const QDateTime retencao = undo.row.antes.contains(QStringLiteral("hold"))
                                   ? timeOf(undo.row.antes.value(QStringLiteral("hold")))
                                   : horario.addSecs(now->horario.secsTo(now->retencao));
    const QDateTime limite = undo.row.antes.contains(QStringLiteral("limit"))
                                 ? timeOf(undo.row.antes.value(QStringLiteral("limit")))
                                 : horario.addSecs(now->horario.secsTo(now->limite));
    const auto textOrNull = [&before](const char* key) {
        const QString text = before.value(QLatin1String(key)).toString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    };
    undo.db.execute("updateReservation",
                    {{QStringLiteral("P_NRRESERVA"), numero},
                     {QStringLiteral("P_NRMESA"), mesasBefore.value(0)},
                     {QStringLiteral("P_DTHRRESERVA"), horario},
                     {QStringLiteral("P_NRPESSOAS"), before.value(QStringLiteral("people")).toString()},
                     {QStringLiteral("P_DTHRRETENCAO"), retencao},
                     {QStringLiteral("P_DTHRFIMPREV"), timeOf(before.value(QStringLiteral("until")))},
                     {QStringLiteral("P_DTHRLIMITE"), limite},
                     {QStringLiteral("P_NRTELEFONE"), textOrNull("phone")},
                     {QStringLiteral("P_DSOBSERVACAO"), textOrNull("note")}});
    undo.db.execute("deleteReservationTables", {{QStringLiteral("P_NRRESERVA"), numero}});
    for (const QString& mesa : mesasBefore) {
        QVariantMap row = undo.table(mesa);
        row.insert(QStringLiteral("P_NRRESERVA"), numero);
        row.insert(QStringLiteral("P_DTHRRESERVA"), horario);
        row.insert(QStringLiteral("P_DTHRFIMPREV"), timeOf(before.value(QStringLiteral("until"))));
        undo.db.execute("insertReservationTable", row);
    }
    bringInLine(undo, mesas, held);
    return withTables({undo.row.depois, undo.row.antes}, mesas);
}

Done undoCancelarReserva(Undo& undo) {
    const QJsonValue was = undo.row.antes.value(QStringLiteral("reservation"));
    if (!was.isObject()) {
        // A table reserved without a reservation of the package, freed: reserved again.
        const QString mesa = undo.row.mesaOrigem;
        lockStore(undo.db, undo.row.filial, undo.row.loja);
        const TableState table = lockTables(undo.db, undo.row.filial, undo.row.loja, {mesa}).at(mesa);
        undo.stillNotUndone();
        if (table.estadoMesa != kLivre || table.vendaAberta || table.estado != kLivre) tableChangedSince(mesa);
        undo.db.execute("reserveTable", undo.table(mesa));
        return {undo.row.depois, undo.row.antes};
    }
    const QJsonObject reservation = was.toObject();
    const qint64 numero = reservation.value(QStringLiteral("id")).toInteger();
    const QStringList mesas = stringsOf(reservation.value(QStringLiteral("tables")));
    const std::map<QString, TableState> held = lockReservationTables(undo, mesas);
    if (!sameJson(reservationNow(undo, numero, kReservaCancelada), reservation)) reservationChangedSince(numero);
    refuseOverlaps(undo, reservation);
    reopen(undo, numero, kReservaCancelada);
    bringInLine(undo, mesas, held);
    return withTables({undo.row.depois, undo.row.antes}, mesas);
}

Done undoSentarReserva(Undo& undo) {
    const QJsonObject reservation = undo.row.antes.value(QStringLiteral("reservation")).toObject();
    const qint64 numero = reservation.value(QStringLiteral("id")).toInteger();
    const QStringList mesas = stringsOf(reservation.value(QStringLiteral("tables")));
    const QString grupo = undo.row.grupo;
    if (!grupo.isEmpty() && !undo.row.antes.contains(QStringLiteral("groupingTables")))
        throw ERefusal(QStringLiteral("Não é possível desfazer: o diário desta operação não guarda o agrupamento"));
    const QStringList groupingBefore = stringsOf(undo.row.antes.value(QStringLiteral("groupingTables")));
    const std::map<QString, TableState> held = lockReservationTables(undo, mesas, grupo);
    if (!sameJson(reservationNow(undo, numero, kReservaSentada), reservation)) reservationChangedSince(numero);
    // Guests who sat down since were served: their tables are no longer as the seating left them.
    for (const QString& mesa : mesas) {
        const auto table = held.find(mesa);
        if (table == held.end() || table->second.vendaAberta || table->second.estadoMesa != kLivre)
            tableChangedSince(mesa);
    }
    if (!grupo.isEmpty()) {
        const QStringList expected = sortedUnique(groupingBefore + mesas);
        if (!lockGrouping(undo.db, undo.row.filial, undo.row.loja, grupo) || undo.members(grupo) != expected)
            groupingChangedSince(grupo);
        for (const QString& mesa : expected) {
            if (groupingBefore.contains(mesa)) continue;
            QVariantMap member = undo.grouping(grupo);
            member.insert(QStringLiteral("P_NRMESA"), mesa);
            undo.db.execute("deleteGroupingMember", member);
        }
        if (groupingBefore.isEmpty()) undo.db.execute("deleteGrouping", undo.grouping(grupo));
    }
    refuseOverlaps(undo, reservation);
    reopen(undo, numero, kReservaSentada);
    bringInLine(undo, mesas, held);
    return withTables({undo.row.depois, undo.row.antes}, mesas);
}

// The tables the undo of `row` waits for when another terminal holds them.
QStringList tablesOf(const JournalRow& row) {
    QStringList mesas{row.mesaOrigem, row.mesaDestino};
    for (const QJsonObject* side : {&row.antes, &row.depois}) {
        mesas += stringsOf(side->value(QStringLiteral("tables")));
        mesas += stringsOf(side->value(QStringLiteral("reservation")).toObject().value(QStringLiteral("tables")));
    }
    return sortedUnique(mesas);
}

}  // namespace

bool undoable(const QString& operacao) { return notUndoableReason(operacao).isEmpty(); }

QJsonObject desfazerOperacao(PackageDatabase& db, const Station& station, const QString& id) {
    try {
        const std::optional<JournalRow> found = journalRow(db, id);
        if (!found) throw ERefusal(QStringLiteral("Operação %1 não encontrada no diário").arg(id.trimmed()));
        const JournalRow& row = *found;
        if (const QString why = notUndoableReason(row.operacao); !why.isEmpty()) throw ERefusal(why);
        const QString alreadyUndone = QStringLiteral("A operação %1 já foi desfeita").arg(row.numero);
        if (row.desfeitaPor != 0) throw ERefusal(alreadyUndone);

        const QStringList mesas = tablesOf(row);
        const QString busy =
            mesas.isEmpty()
                ? QStringLiteral("A operação %1 está em uso em outro terminal; tente de novo").arg(row.numero)
                : busyMessage(mesas);
        db.transaction(busy, [&] {
            // Read again once everything the original changed is held: a terminal that waited for
            // another's undo sees it here, before it compares rows the other put back.
            Undo undo{db, row, [&] {
                          const std::optional<JournalRow> now = journalRow(db, QString::number(row.numero));
                          if (!now || now->desfeitaPor != 0) throw ERefusal(alreadyUndone);
                      }};
            Done done;
            const QString& kind = row.operacao;
            if (kind == QLatin1String("AGRUPAR"))
                done = undoAgrupar(undo);
            else if (kind == QLatin1String("SEPARAR"))
                done = undoSeparar(undo);
            else if (kind == QLatin1String("TRANSFMESA"))
                done = undoTransferirMesa(undo);
            else if (kind == QLatin1String("TRANSFPRODUTO"))
                done = undoTransferirProduto(undo);
            else if (kind == QLatin1String("TRANSFLUGAR"))
                done = undoTransferirLugar(undo);
            else if (kind == QLatin1String("RESERVAR"))
                done = undoReservar(undo);
            else if (kind == QLatin1String("ALTRESERVA"))
                done = undoAlterarReserva(undo);
            else if (kind == QLatin1String("CANCRESERVA"))
                done = undoCancelarReserva(undo);
            else
                done = undoSentarReserva(undo);
            done.antes.insert(QStringLiteral("undoes"), row.numero);
            done.depois.insert(QStringLiteral("undoes"), row.numero);
            done.depois.insert(QStringLiteral("operation"), row.operacao);
            try {
                writeJournal(db, station,
                             {kDesfazer, row.filial, row.loja, row.mesaOrigem, row.mesaDestino, row.grupo, done.antes,
                              done.depois, row.numero});
            } catch (const EADOError& e) {
                // The unique index on the undone row's number: another terminal's undo committed
                // between the check and this row.
                if (e.failure() == TDbFailure::Duplicate) throw ERefusal(alreadyUndone);
                throw;
            }
        });
        return {{QStringLiteral("undone"), row.numero}, {QStringLiteral("operation"), row.operacao}};
    } catch (const ERefusal& refusal) {
        qCWarning(lcOps).noquote() << "undo of" << id << "refused:" << refusal.message();
        throw;
    }
}

}  // namespace Gpe00002
