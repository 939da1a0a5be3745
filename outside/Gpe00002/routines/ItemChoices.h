#pragma once
// What the dialogues of the item operations (moving a product, moving a seat position) ask with
// the package's dialogue variables: an item, a seat or a ticket in the titled list, the previous
// choice current when the user comes back to it. Each answers nullopt when the user cancels.

#include "operations/Items.h"
#include "routines/Flow.h"

#include <functional>
#include <optional>

namespace Gpe00002 {

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

// For a list that follows the floor while it is open: the store, the package's connection string
// and how to read the list's rows again (may throw).
template <typename Row>
struct LiveRows {
    QString filial, loja, connectionString;
    std::function<std::vector<Row>()> reread;
};

// The list of the items of table `mesa` (fields named after their columns: NRVENDAREST,
// NRCOMANDA, NRPRODCOMVEN, NMPRODUTO, QTPRODCOMVEN, NRLUGARMESA, CDVENDEDOR, DSCOMANDA...).
GPE00002_EXPORT std::optional<TableItem> chooseItem(const std::vector<TableItem>& items, const QString& mesa,
                                                    const std::optional<TableItem>& previous,
                                                    const LiveRows<TableItem>& live = {});
// The list of the seats of table `mesa` (NRLUGARMESA, QTITENS).
std::optional<QString> chooseSeat(const std::vector<std::pair<QString, int>>& seats, const QString& mesa,
                                  const std::optional<QString>& previous,
                                  const LiveRows<std::pair<QString, int>>& live = {});
// The ticket among `tickets`: the only one without asking, else the list (NRVENDAREST,
// NRCOMANDA, DSCOMANDA, QTITENS) under `prompt`.
std::optional<Ticket> chooseTicket(const std::vector<Ticket>& tickets, const QString& prompt,
                                   const std::optional<Ticket>& previous);

}  // namespace Gpe00002
