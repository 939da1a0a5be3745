#pragma once
// The groupings of a store, read-only: each grouping as a heading with its number, its tables'
// count and their sales' total, then its tables with their state in the map's colours and, for
// one with an open sale, the waiter, the people and the total ("1.234,50"). The grouping the
// consultation named comes first and is selected. "Fechar", Enter, Return and Esc close it.

#include "operations/Groupings.h"

#include <QDialog>

class QTreeWidget;

namespace Gpe00002 {

// The list is the QTreeWidget "agrupamentos" (one top-level item per grouping, its tables as
// children); the store's line is the label "loja", the line shown when there is no grouping
// "nenhum"; the button "close".
class GroupingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GroupingsDialog(const GroupingOverview& overview);

    // Column texts of the table rows: Mesa, Nome, Estado, Garçom, Pessoas, Total.
    enum Column { Mesa, Nome, Estado, Garcom, Pessoas, Total, ColumnCount };

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QTreeWidget* m_tree = nullptr;
};

}  // namespace Gpe00002
