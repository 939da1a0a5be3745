#pragma once
// The groupings of a store, read-only: each grouping as a heading with its number, its tables'
// count and their sales' total, then its tables with their state in the map's colours and, for
// one with an open sale, the waiter, the people and the total ("1.234,50"). The grouping the
// consultation named comes first and is selected. "Fechar", Enter, Return and Esc close it.
// Given a way to read again, it follows the store's floor: only what changed is rewritten, and
// flashes; the chosen grouping and the scroll position stay, and a chosen grouping that was undone
// is un-chosen with a line saying so. It only shows.

#include "operations/Groupings.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace Gpe00002 {

class FloorWatch;

// The list is the QTreeWidget "agrupamentos" (one top-level item per grouping, its tables as
// children); the store's line is the label "loja", the line shown when there is no grouping
// "nenhum"; the line that says what another terminal changed "info"; the button "close".
class GPE00002_EXPORT GroupingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GroupingsDialog(const GroupingOverview& overview);

    // Column texts of the table rows: Mesa, Nome, Estado, Garçom, Pessoas, Total.
    enum Column { Mesa, Nome, Estado, Garcom, Pessoas, Total, ColumnCount };
    // Item data, true on every column of a row while it flashes after a change.
    static constexpr int FlashRole = Qt::UserRole + 1;

    // Reads the overview again and shows it; false, the list unchanged, when there is nothing to
    // read with or the read failed.
    bool refresh();
    // Shows `overview` over what is shown; answers how many rows (headings and tables) changed.
    int apply(const GroupingOverview& overview);

signals:
    void refreshed(int changed);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int fill(const GroupingOverview& overview, bool flash);
    QTreeWidgetItem* heading(const QString& numero) const;
    void follow();

    GroupingOverview m_overview;
    QTreeWidget* m_tree = nullptr;
    QLabel* m_store = nullptr;
    QLabel* m_none = nullptr;
    QLabel* m_info = nullptr;
    QTimer m_flashEnd;
    FloorWatch* m_watch = nullptr;
};

}  // namespace Gpe00002
