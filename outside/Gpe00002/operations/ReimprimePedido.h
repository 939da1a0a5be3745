#pragma once
// Reprinting a table's order: the order as it stands (read only, nothing is locked), the slip
// that says it is a reprint, and the journal row written once it has been printed.

#include "core/PrintDocument.h"
#include "store/Counting.h"
#include "store/PackageDatabase.h"

#include <QDateTime>
#include <QStringList>
#include <vector>

namespace Gpe00002 {

struct Station;

// An item on the slip: its quantity and amounts, and what the slip says of it.
struct OrderItem : Counting::ItemAmount {
    QString item;           // NRPRODCOMVEN
    QString produto, nome;  // CDPRODUTO and the name it shows
    QString lugar, texto;   // NRLUGARMESA, TXPRODCOMVEN
    bool pesado = false;    // IDPESAPROD "S": the quantity is a weight in kg
};

struct GPE00002_EXPORT OrderTicket {
    QString venda, comanda, descricao;  // NRVENDAREST, NRCOMANDA, DSCOMANDA
    QString vendedor, nomeVendedor;     // the sale's waiter
    std::vector<OrderItem> itens;       // by item number
    Money total() const;
};

struct GPE00002_EXPORT Order {
    QString filial, loja, mesa, nomeMesa;
    std::vector<OrderTicket> comandas;  // by sale and ticket number

    QStringList numeros() const;               // the tickets' NRCOMANDA, in order
    Order only(const QString& comanda) const;  // the order with that ticket alone
};

// The order of table `mesa`: the counted tickets of its open sales (store/Counting.h), each with
// its counted items, read in one statement. No tickets when the table has none.
GPE00002_EXPORT Order loadOrder(PackageDatabase& db, const QString& filial, const QString& loja, const QString& mesa);

// The slip: REIMPRESSÃO, store, table, ticket(s), waiter(s), when it is reprinted and by whom;
// each ticket's items with quantity, name, unit price, seat, discount or surcharge and note;
// and the totals.
GPE00002_EXPORT PrintDocument reprintDocument(const Order& order, const Station& station, const QDateTime& now);

// The journal row REIMPRESSAO of the tickets printed at `printed` ("pdf:/.../x.pdf"), in a
// transaction of its own. Raises ERefusal when the database is busy past its time limit.
GPE00002_EXPORT void journalReprint(PackageDatabase& db, const Station& station, const Order& order,
                                    const QString& printed);

}  // namespace Gpe00002
