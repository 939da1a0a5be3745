#pragma once
// How a table's state looks on the screens: its name and colours, the same on the table map, its
// legend and the groupings' list. Strong fills with white or black text, readable in a dim room.

#include <QColor>
#include <QString>
#include <QStringList>

class QPainter;
class QRectF;

namespace Gpe00002 {

struct StateLook {
    QString name;  // "Livre", "Ocupada", ...
    QColor fill;
    QColor text;
};

// Free "L", occupied "O", reserved "R" and closing "P" have colours of their own; any other state
// is neutral grey and named by its code.
StateLook stateLook(const QString& estado);
// The states with colours of their own, in the legend's order.
QStringList knownStates();

// Paints a table's tile: a rounded rectangle in `fill`; one that is not offered is faded and
// hatched, so that its state still shows but it reads as unavailable.
void paintTile(QPainter& painter, const QRectF& tile, const QColor& fill, bool offered);
// The text colour on a tile painted by paintTile.
QColor tileText(const StateLook& look, bool offered);

}  // namespace Gpe00002
