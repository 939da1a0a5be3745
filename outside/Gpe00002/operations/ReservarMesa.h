#pragma once
// Reserving a table, and ending its reservation. A reservation makes a free table reserved ("R")
// and is kept in GPERESERVA (IDSTRESERVA "A", at most one active per table); cancelling it ("C")
// or seating its guests ("S") ends it and frees the table ("L"), where the host's order screens
// open the sale: no sale is opened here.

#include "operations/Tables.h"

#include <QDateTime>
#include <QJsonObject>
#include <optional>

namespace Gpe00002 {

struct Station;

// What the reservation's map does with a table: reserve a free one (status "L", no open sale, no
// active reservation), end the reservation of a reserved one (status "R", or a free one that
// still has an active reservation; never one with an open sale), or nothing, with the reason
// the map shows ("ocupada").
enum class ReservationAction { Reserve, End, None };
struct ReservationOffer {
    ReservationAction action;
    QString reason;  // empty unless action is None
};
GPE00002_EXPORT ReservationOffer reservationOffer(const TableState& table);

struct Reserva {
    QString cliente;    // NMCLIENTE
    QDateTime horario;  // DTHRRESERVA, the restaurant's wall-clock time
    QString pessoas;    // NRPESSOAS, "1" to "999"
};

// The guest's name as it is kept: blanks and line breaks collapsed, control characters dropped;
// nullopt when nothing is left or it is longer than 50 characters.
GPE00002_EXPORT std::optional<QString> guestName(const QString& typed);
// The time typed as HHMM (four digits): that time today, or tomorrow when it has already passed
// today (the current minute still counts as today); nullopt for anything else ("2575", "930").
GPE00002_EXPORT std::optional<QDateTime> reservationTime(const QString& hhmm, const QDateTime& now);
// The number of people typed, 1 to 999, without leading zeros; nullopt otherwise.
GPE00002_EXPORT std::optional<QString> reservationPeople(const QString& typed);

// The table's active reservation, if it has one.
GPE00002_EXPORT std::optional<Reserva> activeReservation(PackageDatabase& db, const QString& filial,
                                                         const QString& loja, const QString& mesa);
// {"guest":"Silva","at":"2024-06-14T20:30:00","people":"4"}
GPE00002_EXPORT QJsonObject reservationJson(const Reserva& reserva);

// Reserves the free table `seen` (as the map showed it). Answers
// {"table":"0014","reservation":{"guest":...,"at":...,"people":...}}. Raises ERefusal, changing
// nothing, when the table is not free, was changed by another terminal, or the name or the
// number of people do not hold.
GPE00002_EXPORT QJsonObject reservarMesa(PackageDatabase& db, const Station& station, const QString& filial,
                                         const QString& loja, const TableState& seen, const Reserva& reserva);

// How a reservation ends: cancelled, or its guests seated.
enum class ReservationEnd { Cancel, Seat };

// Ends the reservation of the reserved table `seen` and frees the table. A table reserved
// without a GPERESERVA row (a database the package was not on before) is freed all the same.
// Answers {"table":"0014","ended":"cancelled"|"seated","reservation":{...}|null}. Raises
// ERefusal, changing nothing, when the table is not reserved or was changed by another terminal.
GPE00002_EXPORT QJsonObject encerrarReserva(PackageDatabase& db, const Station& station, const QString& filial,
                                            const QString& loja, const TableState& seen, ReservationEnd end);

}  // namespace Gpe00002
