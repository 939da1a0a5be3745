#pragma once
// Moving a seat position: every listed item of one seat (NRLUGARMESA) of a table goes, whole, to a
// seat of the same table, where only its seat changes, or to a seat of another table with an open
// sale, on one of its tickets, as a product moves (next free item number, first origin kept).

#include "operations/Items.h"

#include <QJsonObject>
#include <optional>
#include <utility>

namespace Gpe00002 {

struct Station;

// The seats the items carry, each with its number of items, by seat.
GPE00002_EXPORT std::vector<std::pair<QString, int>> seatsOf(const std::vector<TableItem>& items);

// The seat the keypad's digits name, as wide as the source seat's number when that is digits
// alone ("1" on a table whose seats read "0002" is "0001"), at most four characters; nullopt for
// anything but one to four digits that are not all zeros.
GPE00002_EXPORT std::optional<QString> seatNumber(const QString& typed, const QString& lugarOrigem);

// Moves the items of seat `lugar` of table `origem` (among `seen`, the table's items as the list
// showed them) to seat `lugarDestino` of `destino`: on the same table their seat changes; on
// another one they go to its ticket `alvo`. One transaction that re-checks the tables, the
// seat's items and the ticket under their locks. Answers what changed:
// {"from":{"table":"0012","seat":"0002"},"to":{"table":"0015","seat":"0001"},
//  "items":[{"from":{"sale":…,"ticket":…,"item":…},"to":{"sale":…,"ticket":…,"item":…}}]}.
// Raises ERefusal, changing nothing, when the seat has no items, the target is the same seat, a
// table has no open sale or is closing, another table comes without a ticket, or anything is not
// as seen.
GPE00002_EXPORT QJsonObject transferirLugar(PackageDatabase& db, const Station& station, const QString& filial,
                                            const QString& loja, const TableState& origem, const QString& lugar,
                                            const std::vector<TableItem>& seen, const TableState& destino,
                                            const QString& lugarDestino, const std::optional<Ticket>& alvo);

}  // namespace Gpe00002
