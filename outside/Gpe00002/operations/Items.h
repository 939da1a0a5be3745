#pragma once
// The items of a table's open sales as the item operations (moving a product, moving a seat
// position) see them, the tickets that may take them, and moving an item to another ticket.
//
// Listed are the counted items (store/Counting.h) of the table's own tickets (PKR_, RES_) of its
// open sales; the tickets that may receive items are the same tickets.
//
// Inside their transaction the item operations lock, after the tables (Tables.h), the sales, the
// tickets and then the items they touch, each in key order (on PostgreSQL with SELECT ... FOR
// UPDATE; on SQLite the transaction holds the whole database), and then read them again in
// statements of their own before they decide.
//
// Quantities are handled in thousandths and the amounts that are split in cents, so that the two
// parts of a split item add up exactly to what it was.

#include "core/Numbers.h"
#include "operations/Tables.h"

#include <QJsonObject>
#include <map>
#include <optional>
#include <vector>

namespace Gpe00002 {

struct GPE00002_EXPORT Ticket {
    QString venda, numero;  // NRVENDAREST, NRCOMANDA
    QString descricao;      // DSCOMANDA
    int itens = 0;          // its listed items

    bool sameKey(const Ticket& other) const { return venda == other.venda && numero == other.numero; }
};

struct GPE00002_EXPORT TableItem {
    Ticket comanda;
    QString numero;           // NRPRODCOMVEN
    QString produto, nome;    // CDPRODUTO; the name it shows
    QString vendedor, lugar;  // CDVENDEDOR, NRLUGARMESA (empty when null)
    double quantidade = 0;
    bool pesado = false;  // PRODUTO.IDPESAPROD 'S': sold by weight

    bool sameKey(const TableItem& other) const { return comanda.sameKey(other.comanda) && numero == other.numero; }
};

// The listed items of the table's open sales, by sale, ticket and item number.
GPE00002_EXPORT std::vector<TableItem> loadTableItems(PackageDatabase& db, const QString& filial, const QString& loja,
                                                      const QString& mesa);
// The tickets of the store's open sales that list items, by table, then sale and ticket.
GPE00002_EXPORT std::map<QString, std::vector<Ticket>> loadOpenTickets(PackageDatabase& db, const QString& filial,
                                                                       const QString& loja);

// Why items may not leave or reach `table`: "sem venda aberta", "fechando" (its bill is being
// settled); empty when they may.
GPE00002_EXPORT QString itemTableUnfitReason(const TableState& table);
// Raises ERefusal naming `table` and that reason ("Mesa 0014 não tem venda aberta", "Mesa 0012
// está fechando") when items may not leave or reach it.
void refuseUnfitForItems(const TableState& table);

// What the operations share inside their transaction.
namespace items {

// Locks the tables `origem` and `destino` (expecting them as seen), then the sales, the tickets
// and the items of `seen` and the ticket `alvo`, and answers the listed items of `origem` now.
// Raises ERefusal when a table or the target ticket is not as seen.
std::vector<TableItem> lockForMove(PackageDatabase& db, const QString& filial, const QString& loja,
                                   const TableState& origem, const TableState& destino,
                                   const std::vector<TableItem>& seen, const std::optional<Ticket>& alvo);

// The item as it is now among `now`, with the product and quantity it had when seen; ERefusal
// "Item Água da mesa 0012 foi alterado por outro terminal; tente de novo" otherwise.
const TableItem& currentItem(const std::vector<TableItem>& now, const TableItem& seen, const QString& mesa);

// An item's row as the journal keeps it: sale, ticket, item, product, quantity, price, discount,
// surcharge, seat, waiter and origin.
QJsonObject itemRow(PackageDatabase& db, const QString& filial, const QString& venda, const QString& comanda,
                    const QString& numero);

struct Moved {
    QString numero;       // the item's number on the target ticket
    QJsonObject antes;    // the source row before
    QJsonValue restante;  // the source row after, null when the item moved whole
    QJsonObject destino;  // the target row
};

// Moves `quantidade` thousandths of `item` (all of it when that is its whole quantity) to the
// next free item number of `alvo`, on seat `lugar` when given. An item that moves whole is the
// same row with its new key (one UPDATE, never a delete and an insert); part of it is a new row
// beside the rest.
Moved moveItem(PackageDatabase& db, const QString& filial, const TableItem& item, qint64 quantidade, const Ticket& alvo,
               const std::optional<QString>& lugar = std::nullopt);

}  // namespace items

}  // namespace Gpe00002
