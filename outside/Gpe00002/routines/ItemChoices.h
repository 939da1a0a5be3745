#pragma once
// What the dialogues of the item operations (moving a product, moving a seat position) ask with
// the package's dialogue variables: a table on the map, an item, a seat or a ticket in the search
// list. Each answers nullopt (or null) when the user cancels.

#include "../operations/Items.h"
#include "Flow.h"

#include <optional>

namespace Gpe00002 {

bool anyEnabled(const std::vector<MapTable>& tables);
// The table chosen on the map among `tables`, as the map showed it.
const TableState* chooseTable(const std::vector<MapTable>& tables, const QString& title, const QString& prompt);

// Why items may not be taken from `table`: its state, or "sem itens" when none of its tickets
// lists one.
QString sourceReason(const TableState& table, const std::map<QString, std::vector<Ticket>>& tickets);
// The tickets of `table` that may take an item of ticket `own` (none: every one).
std::vector<Ticket> targetTickets(const QString& table, const std::map<QString, std::vector<Ticket>>& tickets,
                                  const std::optional<Ticket>& own);
// Why `table` may not take items: its state, "sem comanda", or "comanda do item" when its only
// ticket is the item's own.
QString targetReason(const TableState& table, const std::map<QString, std::vector<Ticket>>& tickets,
                     const std::optional<Ticket>& own);

// The search list over the items (fields named after their columns: NRVENDAREST, NRCOMANDA,
// NRPRODCOMVEN, NMPRODUTO, QTPRODCOMVEN, NRLUGARMESA, CDVENDEDOR, DSCOMANDA...).
std::optional<TableItem> chooseItem(const std::vector<TableItem>& items, const QString& title);
// The search list over the seats (NRLUGARMESA, QTITENS).
std::optional<QString> chooseSeat(const std::vector<std::pair<QString, int>>& seats, const QString& title);
// The ticket among `tickets`: the only one without asking, else the search list (NRVENDAREST,
// NRCOMANDA, DSCOMANDA, QTITENS).
std::optional<Ticket> chooseTicket(const std::vector<Ticket>& tickets, const QString& title);

}  // namespace Gpe00002
