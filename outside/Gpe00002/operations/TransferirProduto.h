#pragma once
// Moving a product: an item of a table's open sales, whole or part of its quantity, to a ticket of
// an open sale of the same or another table. On the target ticket it takes the next free item
// number and keeps its product, price, waiter, seat, time and text, and where it first came from
// (DSCOMANDAORI, NRCOMANDAORI, NRPRODCOMORI). Part of the quantity leaves the rest on the source
// row, with the discount and the surcharge split in proportion; a product sold by weight moves
// whole only.

#include "operations/Items.h"

#include <QJsonObject>
#include <optional>

namespace Gpe00002 {

struct Station;

// Why `quantidade` of `item` may not move ("A quantidade a transferir (3) é maior que a do item
// (2)"); empty when it may: its whole quantity, or more than none and less than it (in
// thousandths), and never a part of a product sold by weight.
GPE00002_EXPORT QString quantityRefusal(const TableItem& item, double quantidade);

// The quantity the keypad's text stands for. The keypad starts with the item's whole quantity as
// the lists write it ("2", "1,5"), and that text confirmed unchanged moves it all; typed digits are
// whole units. Anything else is nullopt.
GPE00002_EXPORT std::optional<double> typedQuantity(const QString& typed, const TableItem& item);

// Moves `quantidade` of `item` (as the list showed it, on table `origem`) to the ticket `alvo` of
// table `destino`, in one transaction that re-checks the tables, the item and the ticket under
// their locks. Answers what changed:
// {"from":{"table":"0012","sale":"…","ticket":"…","item":"000001","remaining":1},
//  "to":{"table":"0015","sale":"…","ticket":"…","item":"000001"},"quantity":1}
// ("remaining" 0 when the item moved whole). Raises ERefusal, changing nothing, when the target is
// the item's own ticket, the quantity does not fit, a table has no open sale or is closing, or
// the item, a table or the ticket is not as seen.
GPE00002_EXPORT QJsonObject transferirProduto(PackageDatabase& db, const Station& station, const QString& filial,
                                              const QString& loja, const TableState& origem, const TableItem& item,
                                              double quantidade, const TableState& destino, const Ticket& alvo);

}  // namespace Gpe00002
