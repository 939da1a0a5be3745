#pragma once
// The waiters' report on screen: the store and the day, then per waiter the count and amount of
// their items ("1.234,50") over the open sales and over the sales of the day, each with its
// total, and below the changes of waiter of that day (time, table, item, from -> to, who), or why
// there are none. "Imprimir" (or Alt+I) closes it asking for paper; "Fechar", Enter and Esc close it.

#include "operations/WaiterReport.h"

#include <QDialog>

class QTreeWidget;

namespace Gpe00002 {

// The totals are the QTreeWidget "totais" (one top-level item per kind of sale, its waiters as
// children); the changes the QTreeWidget "alteracoes", or the label "historico" saying that the
// history is not installed or that the day has none; the store's line is the label "loja"; the
// buttons "print" and "close". Accepted when the user asked to print.
class WaiterReportDialog : public QDialog {
    Q_OBJECT
public:
    explicit WaiterReportDialog(const WaiterReport& report);

    enum TotalsColumn { Garcom, Itens, Valor, TotalsColumnCount };
    enum ChangesColumn { Hora, Mesa, Item, Troca, Quem, ChangesColumnCount };

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace Gpe00002
