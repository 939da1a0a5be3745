#pragma once
// The tables of a store as the operations see them, and their locking.
//
// Every operation that changes something locks, inside its transaction and always in this order,
// the store's row (LOJA, only when it numbers a new grouping), the grouping's row (JUNCAOMESA) and
// the tables' rows (MESA) in table-number order, then reads them again and goes on only when they
// are as the user saw them on the map.
//
// A table's state is the one the package shows and enforces: MESA.IDSTMESAAUX, but reserved ("R")
// while one of its reservations holds it (from its hold's start until its guests are seated, it
// is cancelled, or it becomes a no-show) and free ("L") when MESA says "R" for a reservation of
// the package that holds it no longer. It follows from GPERESERVA and the clock alone, so that no
// terminal needs to run anything for it to be right; MESA is brought in line with it by the
// first terminal or command that reads the store's tables afterwards (operations/ReservarMesa.h,
// alignReservations), for the host's order screens that read MESA. A table with an open sale is
// never made reserved: its reservation waits for it, and becomes a no-show if the table is not
// free by then. Two terminals thus never wait on each other in a circle,
// and never act on what the other changed meanwhile. The operations on items go on from there to
// the sales, tickets and items they touch (Items.h). On PostgreSQL the rows are locked with
// SELECT ... FOR UPDATE; on SQLite the transaction already holds the whole database.

#include "store/PackageDatabase.h"

#include <QDateTime>
#include <QStringList>
#include <map>
#include <vector>

namespace Gpe00002 {

// IDSTMESAAUX codes.
inline const QString kLivre = QStringLiteral("L");
inline const QString kOcupada = QStringLiteral("O");
inline const QString kReservada = QStringLiteral("R");
inline const QString kFechando = QStringLiteral("P");

struct GPE00002_EXPORT TableState {
    QString numero, nome, sala;
    QString estado;            // the state the package shows and enforces (above)
    QString estadoMesa;        // IDSTMESAAUX as MESA holds it
    QString grupo;             // NRJUNMESA of its grouping; empty when it is in none
    bool vendaAberta = false;  // an open sale (DTHRFECHMESA null) is on the table
    bool reservada = false;    // a reservation of the package holds the table now
    bool pendente = false;     // the table has an active reservation of the package, held or not
    // The next active reservation of the table that has not run out (it may hold the table now):
    // its time and guest, for the map's tiles ("20:30 Silva"); invalid when there is none.
    QDateTime proxima;
    QString proximoCliente;

    // What the operations decide on: state, grouping, sale and reservation (not name nor room).
    bool sameAs(const TableState& other) const;
};

// A grouping's number as the map's badge and every message show it: without its leading zeros
// ("0000000003" is "3").
GPE00002_EXPORT QString groupingNumber(const QString& nrJunMesa);

// The store's active tables (IDSTMESA 'A'), by number, in their state at `now`.
GPE00002_EXPORT std::vector<TableState> loadTables(PackageDatabase& db, const QString& filial, const QString& loja,
                                                   const QDateTime& now = QDateTime::currentDateTime());

// Inside a transaction: locks the rows of the tables `numbers` (in number order, whatever the
// order given) and answers their state now, by number. A table that is no longer there, or no
// longer active, raises ERefusal ("Mesa 0014 não existe mais nesta loja").
GPE00002_EXPORT std::map<QString, TableState> lockTables(PackageDatabase& db, const QString& filial,
                                                         const QString& loja, QStringList numbers,
                                                         const QDateTime& now = QDateTime::currentDateTime());
// Inside a transaction, before lockTables: locks the grouping's row; false when it is gone.
GPE00002_EXPORT bool lockGrouping(PackageDatabase& db, const QString& filial, const QString& loja,
                                  const QString& grupo);
// Inside a transaction, before the other locks: locks the store's row.
GPE00002_EXPORT void lockStore(PackageDatabase& db, const QString& filial, const QString& loja);

// "Mesa 0012 foi alterada por outro terminal; tente de novo": what a table the user decided on
// and another terminal changed meanwhile ends in.
GPE00002_EXPORT QString tableChanged(const QString& numero);
// ERefusal tableChanged() when the table is not as the user saw it.
GPE00002_EXPORT void expectUnchanged(const TableState& seen, const TableState& now);
// "Mesa 0012 está em uso em outro terminal; tente de novo": what a lock that could not be had
// within the time limit ends in.
GPE00002_EXPORT QString busyMessage(const QStringList& numbers);

}  // namespace Gpe00002
