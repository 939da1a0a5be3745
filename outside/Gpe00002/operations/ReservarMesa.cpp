#include "operations/ReservarMesa.h"

#include "store/Journal.h"
#include "core/Numbers.h"
#include "core/Refusal.h"
#include "core/Station.h"

#include <algorithm>

namespace Gpe00002 {

namespace {

constexpr int kGuestNameLength = 50;  // GPERESERVA.NMCLIENTE

QVariantMap tableParameters(const QString& filial, const QString& loja, const QString& mesa) {
    return {
        {QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}, {QStringLiteral("P_NRMESA"), mesa}};
}

QVariant textOrNull(const QString& value) { return value.isEmpty() ? QVariant() : QVariant(value); }

// The refusal for a table the reservation cannot take.
QString notFree(const TableState& table) {
    const ReservationOffer offer = reservationOffer(table);
    if (offer.action == ReservationAction::End) return QStringLiteral("Mesa %1 já está reservada").arg(table.numero);
    return QStringLiteral("Mesa %1 está %2").arg(table.numero, offer.reason);
}

}  // namespace

ReservationOffer reservationOffer(const TableState& table) {
    if (table.vendaAberta || table.estado == kOcupada) return {ReservationAction::None, QStringLiteral("ocupada")};
    if (table.estado == kFechando) return {ReservationAction::None, QStringLiteral("em fechamento")};
    // A free table that still has an active reservation (freed by something else than this
    // package) is offered for ending it: otherwise that reservation would keep it from ever
    // being reserved again.
    if (table.estado == kReservada || (table.estado == kLivre && table.reservada)) return {ReservationAction::End, {}};
    if (table.estado == kLivre) return {ReservationAction::Reserve, {}};
    return {ReservationAction::None, QStringLiteral("indisponível")};
}

std::optional<QString> guestName(const QString& typed) {
    QString name = typed;
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control) c = u' ';
    name = name.simplified();
    if (name.isEmpty() || name.size() > kGuestNameLength) return std::nullopt;
    return name;
}

std::optional<QDateTime> reservationTime(const QString& hhmm, const QDateTime& now) {
    const QString typed = hhmm.trimmed();
    if (typed.size() != 4 || !allDigits(typed)) return std::nullopt;
    const QTime time(typed.left(2).toInt(), typed.mid(2).toInt());
    if (!time.isValid()) return std::nullopt;
    QDateTime at = now;
    at.setTime(time);
    QDateTime thisMinute = now;
    thisMinute.setTime(QTime(now.time().hour(), now.time().minute()));
    if (at < thisMinute) at = at.addDays(1);
    return at;
}

std::optional<QString> reservationPeople(const QString& typed) {
    QString digits = typed.trimmed();
    if (!allDigits(digits)) return std::nullopt;
    digits = withoutLeadingZeros(digits);
    if (digits.size() > 3 || digits == QLatin1String("0")) return std::nullopt;
    return digits;
}

std::optional<Reserva> activeReservation(PackageDatabase& db, const QString& filial, const QString& loja,
                                         const QString& mesa) {
    const std::vector<SqlRow> rows = db.select("activeReservation", tableParameters(filial, loja, mesa));
    if (rows.empty()) return std::nullopt;
    const SqlRow& row = rows.front();
    // The database keeps the wall-clock time; the driver hands it over labelled UTC.
    const QDateTime stored = row.value(QStringLiteral("DTHRRESERVA")).toDateTime();
    return Reserva{rowKey(row, "NMCLIENTE"), QDateTime(stored.date(), stored.time()), rowText(row, "NRPESSOAS")};
}

QJsonObject reservationJson(const Reserva& reserva) {
    return {{QStringLiteral("guest"), reserva.cliente},
            {QStringLiteral("at"), reserva.horario.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"))},
            {QStringLiteral("people"), reserva.pessoas}};
}

QJsonObject reservarMesa(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                         const TableState& seen, const Reserva& reserva) {
    if (reservationOffer(seen).action != ReservationAction::Reserve) throw ERefusal(notFree(seen));
    const std::optional<QString> cliente = guestName(reserva.cliente);
    if (!cliente)
        throw ERefusal(QStringLiteral("Informe o nome do cliente, com até %1 caracteres").arg(kGuestNameLength));
    const std::optional<QString> pessoas = reservationPeople(reserva.pessoas);
    if (!pessoas) throw ERefusal(QStringLiteral("O número de pessoas da reserva vai de 1 a 999"));
    if (!reserva.horario.isValid()) throw ERefusal(QStringLiteral("Informe o horário da reserva"));
    const Reserva kept{*cliente, reserva.horario, *pessoas};

    QJsonObject result;
    db.transaction(busyMessage({seen.numero}), [&] {
        const TableState now = lockTables(db, filial, loja, {seen.numero}).at(seen.numero);
        if (!now.sameAs(seen) && reservationOffer(now).action == ReservationAction::End) throw ERefusal(notFree(now));
        expectUnchanged(seen, now);

        const QVariantMap table = tableParameters(filial, loja, seen.numero);
        db.execute("reserveTable", table);
        QVariantMap row = table;
        row.insert(QStringLiteral("P_NMCLIENTE"), kept.cliente);
        row.insert(QStringLiteral("P_DTHRRESERVA"), kept.horario);
        row.insert(QStringLiteral("P_NRPESSOAS"), kept.pessoas);
        row.insert(QStringLiteral("P_DTHRINCLUSAO"), QDateTime::currentDateTime());
        row.insert(QStringLiteral("P_CDOPERADOR"), textOrNull(station.operador));
        // The unique index on the active reservations refuses a second one (as "tente de novo").
        db.execute("insertReservation", row);

        result = {{QStringLiteral("table"), seen.numero}, {QStringLiteral("reservation"), reservationJson(kept)}};
        writeJournal(db, station,
                     {QStringLiteral("RESERVAR"),
                      filial,
                      loja,
                      seen.numero,
                      {},
                      seen.grupo,
                      {{QStringLiteral("state"), now.estado}},
                      {{QStringLiteral("state"), kReservada}, {QStringLiteral("reservation"), reservationJson(kept)}}});
    });
    return result;
}

QJsonObject encerrarReserva(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                            const TableState& seen, ReservationEnd end) {
    if (reservationOffer(seen).action != ReservationAction::End)
        throw ERefusal(QStringLiteral("Mesa %1 não está reservada").arg(seen.numero));
    const bool seat = end == ReservationEnd::Seat;
    QJsonObject result;
    db.transaction(busyMessage({seen.numero}), [&] {
        const TableState now = lockTables(db, filial, loja, {seen.numero}).at(seen.numero);
        expectUnchanged(seen, now);

        const std::optional<Reserva> reserva = activeReservation(db, filial, loja, seen.numero);
        const QJsonValue reservation = reserva ? QJsonValue(reservationJson(*reserva)) : QJsonValue();
        QVariantMap parameters = tableParameters(filial, loja, seen.numero);
        parameters.insert(QStringLiteral("P_IDSTRESERVA"), seat ? QStringLiteral("S") : QStringLiteral("C"));
        parameters.insert(QStringLiteral("P_DTHRFIM"), QDateTime::currentDateTime());
        db.execute("endReservation", parameters);
        db.execute("freeTable", tableParameters(filial, loja, seen.numero));

        const QString ended = seat ? QStringLiteral("seated") : QStringLiteral("cancelled");
        result = {{QStringLiteral("table"), seen.numero},
                  {QStringLiteral("ended"), ended},
                  {QStringLiteral("reservation"), reservation}};
        writeJournal(db, station,
                     {seat ? QStringLiteral("SENTARRESERVA") : QStringLiteral("CANCRESERVA"),
                      filial,
                      loja,
                      seen.numero,
                      {},
                      seen.grupo,
                      {{QStringLiteral("state"), now.estado}, {QStringLiteral("reservation"), reservation}},
                      {{QStringLiteral("state"), kLivre}, {QStringLiteral("ended"), ended}}});
    });
    return result;
}

}  // namespace Gpe00002
