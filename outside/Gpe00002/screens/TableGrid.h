#pragma once
// How the table map lays itself out: the tiles of a room in rows (TableGrid), the legend's items
// in a row that wraps (FlowRow) and the rooms' tabs (RoomTabs). Each answers the size it takes
// before it is shown, so that the map's dialog is sized once.

#include "screens/TableTile.h"

#include <QTabWidget>
#include <QWidget>
#include <vector>

namespace Gpe00002 {

// The margin around a room's tiles.
inline constexpr int kGridMargin = 4;

// The tiles of one room in rows, as many columns as the width takes; the tiles widen to fill a
// row.
class TableGrid : public QWidget {
public:
    explicit TableGrid(QWidget* parent);

    void add(TableButton* button) { m_buttons.push_back(button); }
    int columns() const { return columnsFor(width()); }
    static int columnsFor(int width);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    std::vector<TableButton*> m_buttons;
};

// The legend's items side by side, wrapping to another line when the width runs out.
class FlowRow : public QWidget {
public:
    explicit FlowRow(QWidget* parent);

    void add(QWidget* item) { m_items.push_back(item); }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return place(width, false); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent*) override { place(width(), true); }

private:
    // Answers the height the items take in `width`; with `move`, puts them there.
    int place(int width, bool move) const;

    std::vector<QWidget*> m_items;
};

// The rooms' tabs. A tab widget places its pages only when it is shown: pageArea() answers the
// size they take at its present size, as the layout gives it, also before.
class RoomTabs : public QTabWidget {
public:
    using QTabWidget::QTabWidget;

    QSize pageArea() const;
};

}  // namespace Gpe00002
