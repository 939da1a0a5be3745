#pragma once
// Reprinting a table's order: the order as it stands (read only, nothing is locked), the slip
// that says it is a reprint, and the journal row written once it has been printed.

#include "core/Money.h"
#include "core/PrintDocument.h"
#include "store/PackageDatabase.h"

#include <QDateTime>
#include <QStringList>
#include <vector>

namespace Gpe00002 {

struct Station;

struct OrderItem {
    QString item;           // NRPRODCOMVEN
    QString produto, nome;  // CDPRODUTO and the product's name (its code when it has none)
    QString lugar, texto;   // NRLUGARMESA, TXPRODCOMVEN
    double quantidade = 0;
    Money preco, desconto, acrescimo;  // the unit price (per kg when weighed)
    bool pesado = false;               // IDPESAPROD "S": the quantity is a weight in kg
    Money bruto() const { return preco.times(quantidade); }
    Money valor() const { return bruto() - desconto + acrescimo; }
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

// The order of table `mesa`: the tickets of its open sales but cancelled ones (status "4"),
// each with its items, read in one statement. No tickets when the table has none.
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
