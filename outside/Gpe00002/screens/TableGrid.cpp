#include "screens/TableGrid.h"

#include <QStyleOptionTabWidgetFrame>
#include <algorithm>

namespace Gpe00002 {

namespace {

constexpr int kSpacing = 6;  // between tiles
constexpr int kLegendGap = 14;

QSizePolicy heightForWidthPolicy() {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    return policy;
}

}  // namespace

TableGrid::TableGrid(QWidget* parent) : QWidget(parent) { setSizePolicy(heightForWidthPolicy()); }

int TableGrid::columnsFor(int width) {
    return std::max(1, (width - 2 * kGridMargin + kSpacing) / (kTileWidth + kSpacing));
}

int TableGrid::heightForWidth(int width) const {
    const int count = static_cast<int>(m_buttons.size());
    const int columns = columnsFor(width);
    const int rows = (count + columns - 1) / columns;
    return 2 * kGridMargin + rows * kTileHeight + std::max(0, rows - 1) * kSpacing;
}

QSize TableGrid::sizeHint() const {
    const int width = 2 * kGridMargin + 6 * kTileWidth + 5 * kSpacing;
    return {width, heightForWidth(width)};
}

QSize TableGrid::minimumSizeHint() const { return {2 * kGridMargin + kTileWidth, 2 * kGridMargin + kTileHeight}; }

void TableGrid::resizeEvent(QResizeEvent*) {
    const int columns = this->columns();
    const int cellWidth = std::max(kTileWidth, (width() - 2 * kGridMargin - (columns - 1) * kSpacing) / columns);
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const int row = static_cast<int>(i) / columns, column = static_cast<int>(i) % columns;
        m_buttons[i]->setGeometry(kGridMargin + column * (cellWidth + kSpacing),
                                  kGridMargin + row * (kTileHeight + kSpacing), cellWidth, kTileHeight);
    }
}

FlowRow::FlowRow(QWidget* parent) : QWidget(parent) { setSizePolicy(heightForWidthPolicy()); }

QSize FlowRow::sizeHint() const {
    int width = 0;
    for (const QWidget* item : m_items) width += item->sizeHint().width() + kLegendGap;
    return {width, place(width, false)};
}

QSize FlowRow::minimumSizeHint() const {
    int widest = 0;
    for (const QWidget* item : m_items) widest = std::max(widest, item->sizeHint().width());
    return {widest, place(sizeHint().width(), false)};
}

int FlowRow::place(int width, bool move) const {
    int x = 0, y = 0, line = 0;
    for (QWidget* item : m_items) {
        const QSize size = item->sizeHint();
        if (x > 0 && x + size.width() > width) {
            x = 0;
            y += line + 4;
            line = 0;
        }
        if (move) item->setGeometry(x, y, size.width(), size.height());
        x += size.width() + kLegendGap;
        line = std::max(line, size.height());
    }
    return y + line;
}

QSize RoomTabs::pageArea() const {
    if (isVisible() && currentWidget()) return currentWidget()->size();
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).size();
}

}  // namespace Gpe00002
