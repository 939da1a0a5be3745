#pragma once
// Reservations of tables: made for a time, on one table or several (a party), kept in GPERESERVA
// (one row each, NRRESERVA its number) and GPERESERVAMESA (its tables). A reservation is active
// ("A") until its guests are seated ("S"), it is cancelled ("C"), or it becomes a no-show ("N")
// when not seated by its limit. It holds its tables, which then read as reserved ("R"), from its
// hold's start until it ends; before that they are free for everything. The windows come from
// the station's settings when the reservation is made or changed: held from MINRESANTES minutes
// before its time, its period (which no other active reservation of the same table may overlap)
// MINRESDURACAO minutes long, a no-show MINRESTOLERANCIA minutes after its time.
//
// Nothing runs in the background: the tables' state follows from the reservations and the clock
// (operations/Tables.h), and alignReservations, which every reading of the store's tables by the
// package's screens and commands runs first, ends the no-shows (journal NAOCOMPARECEU) and brings
// MESA.IDSTMESAAUX in line for the host's order screens. Every change locks the store's row, then
// the tables by number, and re-reads under the locks, so that two terminals (or a terminal and the
// back office's command) at the same moment end a no-show once and never overlap two periods.
//
// Every operation takes `now`, the terminal's wall clock (QDateTime::currentDateTime()), and
// raises ERefusal with the reason, changing nothing, when it cannot do what it was asked.

#include "operations/Tables.h"

#include <QDateTime>
#include <QJsonObject>
#include <optional>

namespace Gpe00002 {

struct Station;

// Status codes of a reservation (IDSTRESERVA).
inline const QString kReservaAtiva = QStringLiteral("A");
inline const QString kReservaCancelada = QStringLiteral("C");
inline const QString kReservaSentada = QStringLiteral("S");
inline const QString kReservaNaoCompareceu = QStringLiteral("N");

struct Reserva {
    qint64 numero = 0;  // NRRESERVA
    QString cliente;    // NMCLIENTE
    QDateTime horario;  // DTHRRESERVA, the restaurant's wall-clock time
    QString pessoas;    // NRPESSOAS, "1" to "999"
    QStringList mesas;  // its tables, by number
    QString telefone, observacao;
    QString situacao = kReservaAtiva;  // IDSTRESERVA
    QDateTime retencao, fim, limite;   // the hold's start, the period's end, the no-show's limit
};

// What a reservation is made or changed with (a change keeps the guest's name).
struct PedidoReserva {
    QStringList mesas;
    QString cliente;
    QDateTime horario;
    QString pessoas;
    QString telefone = {}, observacao = {};
};

// The guest's name as it is kept: blanks and line breaks collapsed, control characters dropped;
// nullopt when nothing is left or it is longer than 50 characters.
GPE00002_EXPORT std::optional<QString> guestName(const QString& typed);
// The time typed as HHMM (four digits): that time on `day`, or, when `day` is today and the time
// has already passed today, tomorrow (the current minute still counts as today); nullopt for
// anything else ("2575", "930", and "2400": midnight is typed 0000).
GPE00002_EXPORT std::optional<QDateTime> reservationTime(const QString& hhmm, const QDateTime& now);
GPE00002_EXPORT std::optional<QDateTime> reservationTimeOn(const QDate& day, const QString& hhmm, const QDateTime& now);
// The number of people typed, 1 to 999, without leading zeros; nullopt otherwise.
GPE00002_EXPORT std::optional<QString> reservationPeople(const QString& typed);
// A phone number: digits, blanks, "+", "-", "(" and ")", at most 20 characters, kept with its
// blanks collapsed (empty is none); nullopt for anything else.
GPE00002_EXPORT std::optional<QString> reservationPhone(const QString& typed);
// A note of at most 200 characters, line breaks and control characters made blanks and blanks
// collapsed (empty is none); nullopt when longer.
GPE00002_EXPORT std::optional<QString> reservationNote(const QString& typed);

// The request checked and made what is kept, its windows from the station's settings; raises
// ERefusal saying what does not hold (the name, the people, a time that has passed, no table, the
// phone, the note).
GPE00002_EXPORT Reserva checkedReservation(const PedidoReserva& pedido, const Station& station, const QDateTime& now);

// {"id":7,"tables":["0011"],"guest":"Silva","at":"2024-06-14T20:30:00","until":"2024-06-14T22:30:00",
//  "people":"4","phone":"","note":"","state":"A"}
GPE00002_EXPORT QJsonObject reservationJson(const Reserva& reserva);
// "Mesa 0011", "Mesas 0011, 0012 e 0013".
GPE00002_EXPORT QString tablesText(const QStringList& mesas);

// The store's reservations made for `day` (any status), by time; and one of them by number.
GPE00002_EXPORT std::vector<Reserva> reservasDoDia(PackageDatabase& db, const QString& filial, const QString& loja,
                                                   const QDate& day);
GPE00002_EXPORT std::optional<Reserva> reservaDaLoja(PackageDatabase& db, const QString& filial, const QString& loja,
                                                     qint64 numero);

// Ends the store's no-shows and brings MESA in line with the tables' state at `now`, in one short
// transaction, only when there is something to do. Answers {"noShows":[7],"reserved":["0011"],
// "freed":["0012"]} (empty arrays when nothing changed).
GPE00002_EXPORT QJsonObject alignReservations(PackageDatabase& db, const Station& station, const QString& filial,
                                              const QString& loja, const QDateTime& now);

// Makes a reservation. Refused, besides what checkedReservation refuses, for a table that is not
// an active table of the store, and for a table that another active reservation holds in an
// overlapping period ("Mesa 0011 já reservada das 19:00 às 21:00 para Costa"). When its hold has
// begun, its free tables become reserved at once. Answers {"reservation":{...}}.
GPE00002_EXPORT QJsonObject reservarMesas(PackageDatabase& db, const Station& station, const QString& filial,
                                          const QString& loja, const PedidoReserva& pedido, const QDateTime& now);
// Changes the time, people, tables, phone and note of the active reservation `numero`, under the
// same rules. Answers {"reservation":{...},"before":{...}}.
GPE00002_EXPORT QJsonObject alterarReserva(PackageDatabase& db, const Station& station, const QString& filial,
                                           const QString& loja, qint64 numero, const PedidoReserva& pedido,
                                           const QDateTime& now);
// Cancels the active reservation `numero`; its tables that it held are free again.
// Answers {"reservation":{...}} with the state "C".
GPE00002_EXPORT QJsonObject cancelarReserva(PackageDatabase& db, const Station& station, const QString& filial,
                                            const QString& loja, qint64 numero, const QDateTime& now);
// Seats the guests of the active reservation `numero`: it ends ("S"), its tables are free for the
// host's order screens (no sale is opened here) and, when there are several, grouped as "Agrupar
// Mesas" groups them, in the same transaction. Refused when one of them has an open sale or is
// closing. Answers {"reservation":{...},"grouping":"0000000003"|null}.
GPE00002_EXPORT QJsonObject sentarReserva(PackageDatabase& db, const Station& station, const QString& filial,
                                          const QString& loja, qint64 numero, const QDateTime& now);

// Frees a table reserved ("R" in MESA) without a reservation of the package (made by another
// program, or before the package kept reservations), as `seen` showed it. Refused when the table
// is not such a table or was changed meanwhile. Answers {"table":"0005","ended":"cancelled",
// "reservation":null}.
GPE00002_EXPORT QJsonObject liberarMesaReservada(PackageDatabase& db, const Station& station, const QString& filial,
                                                 const QString& loja, const TableState& seen, const QDateTime& now);
// Whether `table` is such a table.
GPE00002_EXPORT bool reservedWithoutReservation(const TableState& table);

}  // namespace Gpe00002
