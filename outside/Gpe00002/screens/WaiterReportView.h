#pragma once
// The waiters' report on screen: the store and the day, then per waiter the count and amount of
// their items ("1.234,50") over the open sales and over the sales of the day, each with its
// total, and below the changes of waiter of that day (time, table, item, from -> to, who), or why
// there are none. "Imprimir" (or Alt+I) closes it asking for paper; "Fechar", Enter and Esc close it.
// Given a way to read again, it follows the store's floor: only the lines that changed are
// rewritten, and flash; the scroll positions stay. It only shows.

#include "operations/WaiterReport.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QTreeWidget;

namespace Gpe00002 {

class FloorWatch;

// The totals are the QTreeWidget "totais" (one top-level item per kind of sale, its waiters as
// children); the changes the QTreeWidget "alteracoes", or the label "historico" saying that the
// history is not installed or that the day has none; the store's line is the label "loja"; the
// buttons "print" and "close". Accepted when the user asked to print.
class GPE00002_EXPORT WaiterReportDialog : public QDialog {
    Q_OBJECT
public:
    explicit WaiterReportDialog(const WaiterReport& report);

    enum TotalsColumn { Garcom, Itens, Valor, TotalsColumnCount };
    enum ChangesColumn { Hora, Mesa, Item, Troca, Quem, ChangesColumnCount };
    // Item data, true on every column of a line while it flashes after a change.
    static constexpr int FlashRole = Qt::UserRole + 1;

    // Reads the report again and shows it; false, the report unchanged, when it cannot.
    bool refresh();
    // Shows `report` over what is shown; answers how many lines changed.
    int apply(const WaiterReport& report);

signals:
    void refreshed(int changed);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int fill(const WaiterReport& report, bool flash);

    WaiterReport m_report;
    QTreeWidget* m_totals = nullptr;
    QTreeWidget* m_changes = nullptr;
    QLabel* m_none = nullptr;
    QTimer m_flashEnd;
    FloorWatch* m_watch = nullptr;
};

}  // namespace Gpe00002
