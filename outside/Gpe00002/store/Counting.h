#pragma once
// Which tickets and items count, and how an item is named and valued: one rule for every reader
// of the tables' sales (the moves' item list and their tickets, the reprint, the groupings'
// totals and the waiters' report).
//
//  - The sales are the store's own (the sale's CDFILIAL and CDLOJA) and open (DTHRFECHMESA
//    null); the report's day takes the sales opened that day instead.
//  - A ticket counts unless it is cancelled (IDSTCOMANDA "4"); one without a status is open.
//  - An item of a counted ticket counts unless it is a refill (IDPRODREFIL "S"); one without the
//    indicator is no refill. Its own status (IDSTPRCOMVEN) is not looked at: none of its codes
//    means cancelled. An item whose product has no PRODUTO row counts too.
//  - The moves take the counted items of the table's own tickets (PKR_, RES_): a ticket of
//    another kind on the table's sale, such as a counter's, neither gives nor takes items.
//  - An item shows its product's name (NMPRODUTO), else its fiscal name (NMPRODIMPFIS), else
//    "Produto" and its code.
//  - An item's amount is quantity x unit price - discount + surcharge, each amount read in cents
//    (a missing one is 0) and the product of quantity and price rounded to the cent; a ticket's
//    own discount and surcharge are not spread over its items.
//
// The statements take their half of the rule from sql/fragments: {countedTicket} (alias CO),
// {countedItem} (alias IT), {tableTicket} (CO) and {countedItems}, the sales VE joined with their
// counted tickets CO and those tickets' counted items IT.

#include "core/Money.h"
#include "store/PackageDatabase.h"

namespace Gpe00002::Counting {

// The name an item shows, from its product's NMPRODUTO, NMPRODIMPFIS and the item's CDPRODUTO.
GPE00002_EXPORT QString productName(const SqlRow& row);

// An item's quantity and amounts: QTPRODCOMVEN, VRPRECCOMVEN, VRDESCCOMVEN and VRACRCOMVEN.
struct GPE00002_EXPORT ItemAmount {
    double quantidade = 0;
    Money preco, desconto, acrescimo;  // the unit price (per kg for a product sold by weight)

    static ItemAmount of(const SqlRow& row);
    Money bruto() const { return preco.times(quantidade); }  // quantity x price
    Money valor() const { return bruto() - desconto + acrescimo; }
};

}  // namespace Gpe00002::Counting
