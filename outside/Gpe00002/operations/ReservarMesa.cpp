#include "operations/ReservarMesa.h"

#include "operations/JuntarMesas.h"
#include "store/Journal.h"
#include "core/Numbers.h"
#include "core/Refusal.h"
#include "core/Station.h"

#include <QJsonArray>
#include <algorithm>

namespace Gpe00002 {

namespace {

constexpr int kGuestNameLength = 50;  // GPERESERVA.NMCLIENTE
constexpr int kPhoneLength = 20;      // GPERESERVA.NRTELEFONE
constexpr int kNoteLength = 200;      // GPERESERVA.DSOBSERVACAO

QVariantMap storeParameters(const QString& filial, const QString& loja) {
    return {{QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}};
}

QVariant textOrNull(const QString& value) { return value.isEmpty() ? QVariant() : QVariant(value); }

QDateTime toMinute(const QDateTime& at) { return QDateTime(at.date(), QTime(at.time().hour(), at.time().minute())); }

// The database keeps the wall-clock time; the driver hands it over labelled UTC.
// A value a statement computed (a subquery) may come as text.
QDateTime wallClock(const QVariant& value) {
    const QDateTime stored = value.typeId() == QMetaType::QString
                                 ? QDateTime::fromString(value.toString().trimmed().replace(u' ', u'T'), Qt::ISODate)
                                 : value.toDateTime();
    return stored.isValid() ? QDateTime(stored.date(), stored.time()) : QDateTime();
}

QString hhmm(const QDateTime& at) { return at.toString(QStringLiteral("HH:mm")); }

QString isoText(const QDateTime& at) {
    return at.isValid() ? at.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) : QString();
}

// Blanks for every control character (line breaks, tabs, escapes), then collapsed.
QString plainText(const QString& typed) {
    QString text = typed;
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) c = u' ';
    return text.simplified();
}

Reserva reservaOf(const SqlRow& row) {
    Reserva reserva;
    reserva.numero = row.value(QStringLiteral("NRRESERVA")).toLongLong();
    reserva.cliente = rowText(row, "NMCLIENTE");
    reserva.horario = wallClock(row.value(QStringLiteral("DTHRRESERVA")));
    reserva.pessoas = rowText(row, "NRPESSOAS");
    reserva.situacao = rowText(row, "IDSTRESERVA");
    reserva.retencao = wallClock(row.value(QStringLiteral("DTHRRETENCAO")));
    reserva.fim = wallClock(row.value(QStringLiteral("DTHRFIMPREV")));
    reserva.limite = wallClock(row.value(QStringLiteral("DTHRLIMITE")));
    reserva.telefone = rowText(row, "NRTELEFONE");
    reserva.observacao = rowText(row, "DSOBSERVACAO");
    return reserva;
}

QVariantMap reservationNumber(qint64 numero) { return {{QStringLiteral("P_NRRESERVA"), numero}}; }

QStringList tablesOf(PackageDatabase& db, qint64 numero) {
    QStringList mesas;
    for (const SqlRow& row : db.select("reservationTables", reservationNumber(numero))) mesas << rowKey(row, "NRMESA");
    return mesas;
}

QStringList sortedUnique(QStringList numbers) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

// Ends the active reservation `numero` with `status` ("C", "S", "N"); false when another terminal
// ended it first.
bool endReservation(PackageDatabase& db, qint64 numero, const QString& status, const QDateTime& now) {
    QVariantMap parameters = reservationNumber(numero);
    parameters.insert(QStringLiteral("P_IDSTRESERVA"), status);
    QVariantMap reservation = parameters;
    reservation.insert(QStringLiteral("P_DTHRFIM"), toMinute(now).addSecs(now.time().second()));
    if (db.execute("endReservation", reservation) == 0) return false;
    db.execute("endReservationTables", parameters);
    return true;
}

// What a transaction of the reservations holds: every table it locked as it is now, and the
// no-shows it ended on the way (with their tables).
struct Held {
    std::map<QString, TableState> tables;
    QStringList ended;
    QJsonArray noShows;
};

// Inside a transaction: locks the store's row, then the tables `required` and `optional` and
// those of the store's no-shows, by number; ends the no-shows (each once, with its journal row).
// A table of `required` that is not an active table of the store is refused.
Held holdTables(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                const QStringList& required, const QStringList& optional, const QDateTime& now) {
    lockStore(db, filial, loja);
    QVariantMap store = storeParameters(filial, loja);
    store.insert(QStringLiteral("P_AGORA"), now);
    // Read once the store is held: a terminal that waited for it sees the no-shows the other
    // one ended.
    std::vector<Reserva> noShows;
    QStringList numbers = required + optional;
    for (const SqlRow& row : db.select("expiredReservations", store)) {
        const std::optional<Reserva> reserva =
            reservaDaLoja(db, filial, loja, row.value(QStringLiteral("NRRESERVA")).toLongLong());
        if (!reserva) continue;
        numbers += reserva->mesas;
        noShows.push_back(*reserva);
    }
    numbers = sortedUnique(numbers);
    for (const QString& number : numbers) {
        QVariantMap table = storeParameters(filial, loja);
        table.insert(QStringLiteral("P_NRMESA"), number);
        db.lock("lockTable", table);
    }
    Held held;
    for (TableState& table : loadTables(db, filial, loja, now))
        if (std::binary_search(numbers.begin(), numbers.end(), table.numero))
            held.tables.emplace(table.numero, std::move(table));
    for (const QString& number : required)
        if (!held.tables.count(number))
            throw ERefusal(QStringLiteral("Mesa %1 não existe nesta loja ou não está ativa").arg(number));
    for (const Reserva& reserva : noShows) {
        if (!endReservation(db, reserva.numero, kReservaNaoCompareceu, now)) continue;
        held.ended += reserva.mesas;
        held.noShows.append(reserva.numero);
        writeJournal(db, station,
                     {QStringLiteral("NAOCOMPARECEU"),
                      filial,
                      loja,
                      reserva.mesas.value(0),
                      {},
                      {},
                      {{QStringLiteral("reservation"), reservationJson(reserva)}},
                      {{QStringLiteral("state"), kReservaNaoCompareceu}}});
    }
    return held;
}

// Inside the transaction of holdTables: MESA of the tables held made what their state says now,
// and those of reservations that ended here (`ended`) freed unless another reservation holds
// them. Answers the tables made reserved and those freed.
std::pair<QJsonArray, QJsonArray> bringInLine(PackageDatabase& db, const QString& filial, const QString& loja,
                                              const Held& held, const QStringList& ended, const QDateTime& now) {
    QJsonArray reserved, freed;
    for (const TableState& table : loadTables(db, filial, loja, now)) {
        if (!held.tables.count(table.numero)) continue;
        const bool endedHere = ended.contains(table.numero) || held.ended.contains(table.numero);
        QVariantMap parameters = storeParameters(filial, loja);
        parameters.insert(QStringLiteral("P_NRMESA"), table.numero);
        if (table.estadoMesa == kLivre && table.estado == kReservada) {
            db.execute("reserveTable", parameters);
            reserved.append(table.numero);
        } else if (table.estadoMesa == kReservada &&
                   (table.estado == kLivre || (endedHere && !table.reservada && !table.vendaAberta))) {
            db.execute("freeTable", parameters);
            freed.append(table.numero);
        }
    }
    return {reserved, freed};
}

// Another active reservation of one of the tables whose period overlaps this one's is refused,
// naming it.
void refuseOverlaps(PackageDatabase& db, const QString& filial, const QString& loja, const Reserva& reserva) {
    for (const QString& mesa : reserva.mesas) {
        QVariantMap parameters = storeParameters(filial, loja);
        parameters.insert(QStringLiteral("P_NRMESA"), mesa);
        parameters.insert(QStringLiteral("P_NRRESERVA"), reserva.numero);
        parameters.insert(QStringLiteral("P_INICIO"), reserva.horario);
        parameters.insert(QStringLiteral("P_FIM"), reserva.fim);
        const std::vector<SqlRow> rows = db.select("overlappingReservations", parameters);
        if (rows.empty()) continue;
        const Reserva other = reservaOf(rows.front());
        throw ERefusal(QStringLiteral("Mesa %1 já reservada das %2 às %3 para %4")
                           .arg(mesa, hhmm(other.horario), hhmm(other.fim), other.cliente));
    }
}

void insertTables(PackageDatabase& db, const QString& filial, const QString& loja, const Reserva& reserva) {
    for (const QString& mesa : reserva.mesas) {
        QVariantMap row = storeParameters(filial, loja);
        row.insert(QStringLiteral("P_NRRESERVA"), reserva.numero);
        row.insert(QStringLiteral("P_NRMESA"), mesa);
        row.insert(QStringLiteral("P_DTHRRESERVA"), reserva.horario);
        row.insert(QStringLiteral("P_DTHRFIMPREV"), reserva.fim);
        db.execute("insertReservationTable", row);
    }
}

QVariantMap reservationRow(const QString& filial, const QString& loja, const Reserva& reserva) {
    QVariantMap row = storeParameters(filial, loja);
    row.insert(QStringLiteral("P_NRRESERVA"), reserva.numero);
    row.insert(QStringLiteral("P_NRMESA"), reserva.mesas.value(0));
    row.insert(QStringLiteral("P_NMCLIENTE"), reserva.cliente);
    row.insert(QStringLiteral("P_DTHRRESERVA"), reserva.horario);
    row.insert(QStringLiteral("P_NRPESSOAS"), reserva.pessoas);
    row.insert(QStringLiteral("P_DTHRRETENCAO"), reserva.retencao);
    row.insert(QStringLiteral("P_DTHRFIMPREV"), reserva.fim);
    row.insert(QStringLiteral("P_DTHRLIMITE"), reserva.limite);
    row.insert(QStringLiteral("P_NRTELEFONE"), textOrNull(reserva.telefone));
    row.insert(QStringLiteral("P_DSOBSERVACAO"), textOrNull(reserva.observacao));
    return row;
}

// The active reservation `numero`, read again under the locks: refused when it is gone or ended,
// or its tables are not those locked for it.
Reserva stillActive(PackageDatabase& db, const QString& filial, const QString& loja, const Reserva& seen) {
    const std::optional<Reserva> now = reservaDaLoja(db, filial, loja, seen.numero);
    if (!now) throw ERefusal(QStringLiteral("A reserva %1 não existe nesta loja").arg(seen.numero));
    if (now->situacao != kReservaAtiva)
        throw ERefusal(QStringLiteral("A reserva %1 de %2 já foi encerrada").arg(seen.numero).arg(now->cliente));
    if (now->mesas != seen.mesas)
        throw ERefusal(QStringLiteral("A reserva %1 foi alterada por outro terminal; tente de novo").arg(seen.numero));
    return *now;
}

Reserva activeReservation(PackageDatabase& db, const QString& filial, const QString& loja, qint64 numero) {
    const std::optional<Reserva> reserva = reservaDaLoja(db, filial, loja, numero);
    if (!reserva) throw ERefusal(QStringLiteral("A reserva %1 não existe nesta loja").arg(numero));
    if (reserva->situacao != kReservaAtiva)
        throw ERefusal(QStringLiteral("A reserva %1 de %2 já foi encerrada").arg(numero).arg(reserva->cliente));
    return *reserva;
}

}  // namespace

std::optional<QString> guestName(const QString& typed) {
    const QString name = plainText(typed);
    if (name.isEmpty() || name.size() > kGuestNameLength) return std::nullopt;
    return name;
}

std::optional<QDateTime> reservationTimeOn(const QDate& day, const QString& typed, const QDateTime& now) {
    const QString text = typed.trimmed();
    if (text.size() != 4 || !allDigits(text) || !day.isValid()) return std::nullopt;
    const QTime time(text.left(2).toInt(), text.mid(2).toInt());
    if (!time.isValid()) return std::nullopt;
    QDateTime at(day, time);
    if (day == now.date() && at < toMinute(now)) at = at.addDays(1);
    return at;
}

std::optional<QDateTime> reservationTime(const QString& typed, const QDateTime& now) {
    return reservationTimeOn(now.date(), typed, now);
}

std::optional<QString> reservationPeople(const QString& typed) {
    QString digits = typed.trimmed();
    if (!allDigits(digits)) return std::nullopt;
    digits = withoutLeadingZeros(digits);
    if (digits.size() > 3 || digits == QLatin1String("0")) return std::nullopt;
    return digits;
}

std::optional<QString> reservationPhone(const QString& typed) {
    const QString phone = typed.simplified();
    if (phone.size() > kPhoneLength) return std::nullopt;
    for (const QChar c : phone)
        if (!c.isDigit() && !QStringLiteral(" +-()").contains(c)) return std::nullopt;
    return phone;
}

std::optional<QString> reservationNote(const QString& typed) {
    const QString note = plainText(typed);
    if (note.size() > kNoteLength) return std::nullopt;
    return note;
}

Reserva checkedReservation(const PedidoReserva& pedido, const Station& station, const QDateTime& now) {
    Reserva reserva;
    const std::optional<QString> cliente = guestName(pedido.cliente);
    if (!cliente)
        throw ERefusal(QStringLiteral("Informe o nome do cliente, com até %1 caracteres").arg(kGuestNameLength));
    const std::optional<QString> pessoas = reservationPeople(pedido.pessoas);
    if (!pessoas) throw ERefusal(QStringLiteral("O número de pessoas da reserva vai de 1 a 999"));
    if (!pedido.horario.isValid()) throw ERefusal(QStringLiteral("Informe o horário da reserva"));
    reserva.horario = toMinute(pedido.horario);
    if (reserva.horario < toMinute(now))
        throw ERefusal(QStringLiteral("O horário da reserva (%1) já passou")
                           .arg(reserva.horario.toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
    for (const QString& mesa : pedido.mesas)
        if (!mesa.trimmed().isEmpty()) reserva.mesas << mesa.trimmed();
    reserva.mesas = sortedUnique(reserva.mesas);
    if (reserva.mesas.isEmpty()) throw ERefusal(QStringLiteral("Escolha ao menos uma mesa para a reserva"));
    const std::optional<QString> telefone = reservationPhone(pedido.telefone);
    if (!telefone)
        throw ERefusal(
            QStringLiteral("O telefone tem até %1 caracteres: algarismos, espaços, +, -, ( e )").arg(kPhoneLength));
    const std::optional<QString> observacao = reservationNote(pedido.observacao);
    if (!observacao) throw ERefusal(QStringLiteral("A observação tem até %1 caracteres").arg(kNoteLength));
    reserva.cliente = *cliente;
    reserva.pessoas = *pessoas;
    reserva.telefone = *telefone;
    reserva.observacao = *observacao;
    reserva.retencao = reserva.horario.addSecs(-60LL * station.minResAntes);
    reserva.fim = reserva.horario.addSecs(60LL * station.minResDuracao);
    reserva.limite = reserva.horario.addSecs(60LL * station.minResTolerancia);
    return reserva;
}

QJsonObject reservationJson(const Reserva& reserva) {
    return {{QStringLiteral("id"), reserva.numero},
            {QStringLiteral("tables"), QJsonArray::fromStringList(reserva.mesas)},
            {QStringLiteral("guest"), reserva.cliente},
            {QStringLiteral("at"), isoText(reserva.horario)},
            {QStringLiteral("until"), isoText(reserva.fim)},
            {QStringLiteral("people"), reserva.pessoas},
            {QStringLiteral("phone"), reserva.telefone},
            {QStringLiteral("note"), reserva.observacao},
            {QStringLiteral("state"), reserva.situacao}};
}

QString tablesText(const QStringList& mesas) {
    if (mesas.size() <= 1) return QStringLiteral("Mesa %1").arg(mesas.value(0));
    return QStringLiteral("Mesas %1 e %2").arg(mesas.mid(0, mesas.size() - 1).join(QStringLiteral(", ")), mesas.last());
}

std::vector<Reserva> reservasDoDia(PackageDatabase& db, const QString& filial, const QString& loja, const QDate& day) {
    QVariantMap parameters = storeParameters(filial, loja);
    parameters.insert(QStringLiteral("P_DE"), QDateTime(day, QTime(0, 0)));
    parameters.insert(QStringLiteral("P_ATE"), QDateTime(day.addDays(1), QTime(0, 0)));
    std::vector<Reserva> reservas;
    std::map<qint64, std::size_t> index;
    for (const SqlRow& row : db.select("dayReservations", parameters)) {
        index.emplace(row.value(QStringLiteral("NRRESERVA")).toLongLong(), reservas.size());
        reservas.push_back(reservaOf(row));
    }
    for (const SqlRow& row : db.select("dayReservationTables", parameters)) {
        const auto found = index.find(row.value(QStringLiteral("NRRESERVA")).toLongLong());
        if (found != index.end()) reservas[found->second].mesas << rowKey(row, "NRMESA");
    }
    return reservas;
}

std::optional<Reserva> reservaDaLoja(PackageDatabase& db, const QString& filial, const QString& loja, qint64 numero) {
    QVariantMap parameters = storeParameters(filial, loja);
    parameters.insert(QStringLiteral("P_NRRESERVA"), numero);
    const std::vector<SqlRow> rows = db.select("reservation", parameters);
    if (rows.empty()) return std::nullopt;
    Reserva reserva = reservaOf(rows.front());
    reserva.mesas = tablesOf(db, numero);
    return reserva;
}

QJsonObject alignReservations(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                              const QDateTime& now) {
    QJsonObject result{{QStringLiteral("noShows"), QJsonArray()},
                       {QStringLiteral("reserved"), QJsonArray()},
                       {QStringLiteral("freed"), QJsonArray()}};
    QStringList behind;
    for (const TableState& table : loadTables(db, filial, loja, now))
        if (table.estado != table.estadoMesa) behind << table.numero;
    QVariantMap store = storeParameters(filial, loja);
    store.insert(QStringLiteral("P_AGORA"), now);
    if (behind.isEmpty() && db.select("expiredReservations", store).empty()) return result;
    const QString busy = behind.isEmpty()
                             ? QStringLiteral("As reservas da loja estão em uso em outro terminal; tente de novo")
                             : busyMessage(behind);
    db.transaction(busy, [&] {
        const Held held = holdTables(db, station, filial, loja, {}, behind, now);
        const auto [reserved, freed] = bringInLine(db, filial, loja, held, {}, now);
        result = {{QStringLiteral("noShows"), held.noShows},
                  {QStringLiteral("reserved"), reserved},
                  {QStringLiteral("freed"), freed}};
    });
    return result;
}

QJsonObject reservarMesas(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                          const PedidoReserva& pedido, const QDateTime& now) {
    Reserva reserva = checkedReservation(pedido, station, now);
    QJsonObject result;
    db.transaction(busyMessage(reserva.mesas), [&] {
        const Held held = holdTables(db, station, filial, loja, reserva.mesas, {}, now);
        refuseOverlaps(db, filial, loja, reserva);
        QVariantMap row = reservationRow(filial, loja, reserva);
        row.remove(QStringLiteral("P_NRRESERVA"));
        row.insert(QStringLiteral("P_DTHRINCLUSAO"), now);
        row.insert(QStringLiteral("P_CDOPERADOR"), textOrNull(station.operador));
        reserva.numero = db.select("insertReservation", row).at(0).value(QStringLiteral("NRRESERVA")).toLongLong();
        insertTables(db, filial, loja, reserva);
        bringInLine(db, filial, loja, held, {}, now);
        result = {{QStringLiteral("reservation"), reservationJson(reserva)}};
        writeJournal(db, station,
                     {QStringLiteral("RESERVAR"), filial, loja, reserva.mesas.front(), {}, {}, {}, result});
    });
    return result;
}

QJsonObject alterarReserva(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                           qint64 numero, const PedidoReserva& pedido, const QDateTime& now) {
    const Reserva before = activeReservation(db, filial, loja, numero);
    PedidoReserva changed = pedido;
    changed.cliente = before.cliente;
    Reserva reserva = checkedReservation(changed, station, now);
    reserva.numero = numero;
    QJsonObject result;
    db.transaction(busyMessage(sortedUnique(before.mesas + reserva.mesas)), [&] {
        const Held held = holdTables(db, station, filial, loja, reserva.mesas, before.mesas, now);
        const Reserva found = stillActive(db, filial, loja, before);
        refuseOverlaps(db, filial, loja, reserva);
        QVariantMap row = reservationRow(filial, loja, reserva);
        row.remove(QStringLiteral("P_CDFILIAL"));
        row.remove(QStringLiteral("P_CDLOJA"));
        row.remove(QStringLiteral("P_NMCLIENTE"));
        db.execute("updateReservation", row);
        db.execute("deleteReservationTables", reservationNumber(numero));
        insertTables(db, filial, loja, reserva);
        bringInLine(db, filial, loja, held, found.mesas, now);
        result = {{QStringLiteral("reservation"), reservationJson(reserva)},
                  {QStringLiteral("before"), reservationJson(found)}};
        writeJournal(db, station,
                     {QStringLiteral("ALTRESERVA"),
                      filial,
                      loja,
                      reserva.mesas.front(),
                      {},
                      {},
                      {{QStringLiteral("reservation"), reservationJson(found)},
                       {QStringLiteral("hold"), isoText(found.retencao)},
                       {QStringLiteral("limit"), isoText(found.limite)}},
                      {{QStringLiteral("reservation"), reservationJson(reserva)}}});
    });
    return result;
}

QJsonObject cancelarReserva(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                            qint64 numero, const QDateTime& now) {
    const Reserva before = activeReservation(db, filial, loja, numero);
    QJsonObject result;
    db.transaction(busyMessage(before.mesas), [&] {
        const Held held = holdTables(db, station, filial, loja, {}, before.mesas, now);
        Reserva reserva = stillActive(db, filial, loja, before);
        endReservation(db, numero, kReservaCancelada, now);
        bringInLine(db, filial, loja, held, reserva.mesas, now);
        const QJsonObject was = reservationJson(reserva);
        reserva.situacao = kReservaCancelada;
        result = {{QStringLiteral("reservation"), reservationJson(reserva)}};
        writeJournal(db, station,
                     {QStringLiteral("CANCRESERVA"),
                      filial,
                      loja,
                      reserva.mesas.value(0),
                      {},
                      {},
                      {{QStringLiteral("reservation"), was}},
                      {{QStringLiteral("state"), kReservaCancelada}}});
    });
    return result;
}

QJsonObject sentarReserva(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                          qint64 numero, const QDateTime& now) {
    const Reserva before = activeReservation(db, filial, loja, numero);
    // The groupings the tables are in, as seen before the locks: their rows are locked between
    // the store's and the tables', the order every operation keeps.
    std::map<QString, QString> groupsSeen;
    for (const TableState& table : loadTables(db, filial, loja, now))
        if (before.mesas.contains(table.numero)) groupsSeen.emplace(table.numero, table.grupo);
    QJsonObject result;
    db.transaction(busyMessage(before.mesas), [&] {
        lockStore(db, filial, loja);
        QStringList groups;
        for (const auto& [mesa, grupo] : groupsSeen)
            if (!grupo.isEmpty()) groups << grupo;
        for (const QString& grupo : sortedUnique(groups)) lockGrouping(db, filial, loja, grupo);
        const Held held = holdTables(db, station, filial, loja, {}, before.mesas, now);
        Reserva reserva = stillActive(db, filial, loja, before);
        std::vector<TableState> tables;
        for (const QString& mesa : reserva.mesas) {
            const auto found = held.tables.find(mesa);
            if (found == held.tables.end())
                throw ERefusal(QStringLiteral("Mesa %1 não existe nesta loja ou não está ativa").arg(mesa));
            const TableState& table = found->second;
            if (table.vendaAberta || table.estado == kOcupada)
                throw ERefusal(QStringLiteral("Mesa %1 está ocupada").arg(mesa));
            if (table.estado == kFechando) throw ERefusal(QStringLiteral("Mesa %1 está em fechamento").arg(mesa));
            const auto seen = groupsSeen.find(mesa);
            if (seen == groupsSeen.end() || seen->second != table.grupo) throw ERefusal(tableChanged(mesa));
            tables.push_back(table);
        }
        endReservation(db, numero, kReservaSentada, now);
        bringInLine(db, filial, loja, held, reserva.mesas, now);

        // A party on several tables sits together: the tables are grouped as "Agrupar Mesas"
        // groups them, unless they already are.
        QJsonValue grouping;
        QJsonArray groupingBefore;  // the members of the grouping the party joined, none for a new one
        const bool together = std::all_of(tables.begin(), tables.end(), [&](const TableState& table) {
            return !table.grupo.isEmpty() && table.grupo == tables.front().grupo;
        });
        if (tables.size() > 1 && !together) {
            const GroupingPlan plan = planGrouping(tables);
            QVariantMap group = storeParameters(filial, loja);
            group.insert(QStringLiteral("P_NRJUNMESA"),
                         plan.grupo.isEmpty() ? nextGroupingNumber(db, storeParameters(filial, loja)) : plan.grupo);
            if (plan.grupo.isEmpty())
                db.execute("insertGrouping", group);
            else
                for (const SqlRow& row : db.select("groupingMembers", group))
                    groupingBefore.append(rowKey(row, "NRMESA"));
            for (const QString& mesa : plan.novas) {
                QVariantMap member = group;
                member.insert(QStringLiteral("P_NRMESA"), mesa);
                db.execute("insertGroupingMember", member);
            }
            grouping = group.value(QStringLiteral("P_NRJUNMESA")).toString();
        }
        const QJsonObject was = reservationJson(reserva);
        reserva.situacao = kReservaSentada;
        result = {{QStringLiteral("reservation"), reservationJson(reserva)}, {QStringLiteral("grouping"), grouping}};
        writeJournal(db, station,
                     {QStringLiteral("SENTARRESERVA"),
                      filial,
                      loja,
                      reserva.mesas.value(0),
                      {},
                      grouping.toString(),
                      {{QStringLiteral("reservation"), was}, {QStringLiteral("groupingTables"), groupingBefore}},
                      {{QStringLiteral("state"), kReservaSentada}, {QStringLiteral("grouping"), grouping}}});
    });
    return result;
}

bool reservedWithoutReservation(const TableState& table) {
    return table.estadoMesa == kReservada && !table.pendente && !table.vendaAberta;
}

QJsonObject liberarMesaReservada(PackageDatabase& db, const Station& station, const QString& filial,
                                 const QString& loja, const TableState& seen, const QDateTime& now) {
    if (!reservedWithoutReservation(seen))
        throw ERefusal(QStringLiteral("Mesa %1 não está reservada sem reserva registrada").arg(seen.numero));
    QJsonObject result;
    db.transaction(busyMessage({seen.numero}), [&] {
        const Held held = holdTables(db, station, filial, loja, {seen.numero}, {}, now);
        expectUnchanged(seen, held.tables.at(seen.numero));
        QVariantMap table = storeParameters(filial, loja);
        table.insert(QStringLiteral("P_NRMESA"), seen.numero);
        db.execute("freeTable", table);
        result = {{QStringLiteral("table"), seen.numero},
                  {QStringLiteral("ended"), QStringLiteral("cancelled")},
                  {QStringLiteral("reservation"), QJsonValue()}};
        writeJournal(db, station,
                     {QStringLiteral("CANCRESERVA"),
                      filial,
                      loja,
                      seen.numero,
                      {},
                      seen.grupo,
                      {{QStringLiteral("state"), kReservada}, {QStringLiteral("reservation"), QJsonValue()}},
                      {{QStringLiteral("state"), kLivre}, {QStringLiteral("ended"), QStringLiteral("cancelled")}}});
    });
    return result;
}

}  // namespace Gpe00002
