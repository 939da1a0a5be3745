#pragma once
// A table on the map: a touch button drawn as a tile in its state's colour, with its number, its
// name, its grouping's badge and a last line with the state, or the reason when it is not
// offered; ringed when chosen and when under the keyboard's cursor.

#include "screens/TableMapRequest.h"

#include <QAbstractButton>
#include <QFont>

namespace Gpe00002 {

inline constexpr int kTileWidth = 112;  // the least a tile takes; a grid widens it to fill a row
inline constexpr int kTileHeight = 100;

// The map's font at `points`.
QFont mapFont(int points, bool bold);

// The line a tile shows for the table's next reservation: "20:30 Silva" on `today`, "15/06 20:30
// Silva" another day; empty when it has none.
GPE00002_EXPORT QString nextReservationText(const TableState& table, const QDate& today);

// The button "mesa" + the table's number ("mesa0021"), with the dynamic properties "oferecida",
// "escolhida", "sobCursor" and "piscando".
class TableButton : public QAbstractButton {
public:
    TableButton(const MapTable& table, QWidget* parent);

    const MapTable& table() const { return m_table; }
    // The table as read again: its state, whether it is offered and why not.
    void setTable(const MapTable& table);
    // A short ring in a bright colour: the table was changed by another terminal. The dynamic
    // property "piscando" is true meanwhile.
    void flash();
    void setChosen(bool chosen);
    void setUnderCursor(bool under);
    QSize sizeHint() const override { return {kTileWidth, kTileHeight}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    MapTable m_table;
    int m_flashes = 0;  // flashes still running: the last one to end clears the ring
};

}  // namespace Gpe00002
