#pragma once
// The waiters' report of a store. Per waiter, the items attributed to them (the item's own
// waiter, not its sale's) with their count and amount, over the store's open sales and over the
// sales opened on a day (open or closed since); and the changes of waiter made that day, from
// the history of waiter changes where it is installed (store/History.h). Read-only.
//
// The items are the counted items (store/Counting.h), on tickets of every kind: what the waiter
// sold, with its amount as Counting values it.

#include "core/Money.h"
#include "store/PackageDatabase.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <functional>
#include <vector>

namespace Gpe00002 {

struct WaiterTotal {
    QString vendedor;  // CDVENDEDOR of the items; empty for items without a waiter
    QString nome;      // NMFANVEN; empty when the code has no VENDEDOR row
    int itens = 0;     // items (rows, whatever their quantity)
    Money valor;
};

struct WaiterTotals {
    std::vector<WaiterTotal> vendedores;  // by waiter code, items without a waiter last
    int itens = 0;
    Money valor;
};

struct WaiterChange {
    QDateTime quando;
    bool item = true;  // an item's waiter (ITCOMANDAVEN), otherwise a sale's (VENDAREST)
    QString mesa, venda, comanda, numeroItem, produto, nomeProduto;
    QString de, nomeDe, para, nomePara;    // the waiter before and after, with their names
    QString aplicacao, endereco, usuario;  // who, where the database knows (PostgreSQL)
};

struct WaiterReport {
    QString filial, loja;
    QDate dia;
    WaiterTotals abertas;                  // the store's open sales
    WaiterTotals doDia;                    // the store's sales opened on `dia`
    bool historico = false;                // the history of waiter changes is installed
    std::vector<WaiterChange> alteracoes;  // those of `dia`, in the order they were made

    // For a screen that follows the floor: the report read again as it was read first (may throw
    // EDatabaseError), and the package's connection string, for the store's notifications.
    std::function<WaiterReport()> reread = {};
    QString connectionString = {};
};

// Reads the report. Database failures raise EDatabaseError.
GPE00002_EXPORT WaiterReport loadWaiterReport(PackageDatabase& db, const QString& filial, const QString& loja,
                                              const QDate& dia);

// The report as JSON: {"branch","store","day","openSales":{"items","amount","waiters":[{"waiter",
// "name","items","amount"}]},"daySales":{...},"history":{"installed",
// "changes":[{"at","table","sale","ticket","item","product","productName","from","to",
// "application","address","user"}]}}; a sale's change has no ticket, item nor product, and who
// made it only where it is known.
GPE00002_EXPORT QJsonObject waiterReportJson(const WaiterReport& report);

// The report as lines of text at most `width` characters wide, headings marked, for paper and
// for the terminal; amounts as in Portuguese ("1.234,50").
struct ReportLine {
    QString text;
    bool heading = false;
};
GPE00002_EXPORT std::vector<ReportLine> waiterReportLines(const WaiterReport& report, int width);

// A waiter as shown: "0001 Ana", "0099" without a name, "(sem garçom)" without a code.
GPE00002_EXPORT QString waiterText(const QString& code, const QString& name);

}  // namespace Gpe00002
