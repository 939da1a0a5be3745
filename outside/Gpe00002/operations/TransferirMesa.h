#pragma once
// Transferring a table: the open sales of an occupied table move to a free one, which takes the
// source's state and its place in its grouping; the source becomes free. Nothing else of the
// sales changes (tickets, items and their waiters stay).

#include "operations/Tables.h"

#include <QJsonObject>

namespace Gpe00002 {

struct Station;

// Why `table` cannot receive a transferred table, in the map's words ("ocupada", "reservada",
// "fechando", "agrupada", "indisponível"); empty when it is free: state "L", no open sale, no
// grouping, no active reservation.
GPE00002_EXPORT QString notFreeReason(const TableState& table);

// Moves the open sales of `origem` to `destino` (both as the maps showed them) in one
// transaction that re-checks both under their locks. Answers what changed:
// {"from":"0012","to":"0014","sales":["0000000001"],"grouping":"0000000001"} ("grouping" null when
// the source was in none). Raises ERefusal, changing nothing, when the source has no open sale,
// the target is not free ("Mesa 0014 está ocupada") or either was changed by another terminal.
GPE00002_EXPORT QJsonObject transferirMesa(PackageDatabase& db, const Station& station, const QString& filial,
                                           const QString& loja, const TableState& origem, const TableState& destino);

}  // namespace Gpe00002
