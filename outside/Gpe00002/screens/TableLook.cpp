#include "screens/TableLook.h"

#include "operations/Tables.h"

#include <QPainter>
#include <QPainterPath>

namespace Gpe00002 {

namespace {
constexpr qreal kTileRadius = 8;
// The share of the state's colour left in a faded tile.
constexpr qreal kFadedShare = 0.35;
const QColor kFadedBase{0xD9, 0xD9, 0xD9};

QColor mix(const QColor& a, const QColor& b, qreal shareOfA) {
    return QColor::fromRgbF(static_cast<float>(a.redF() * shareOfA + b.redF() * (1 - shareOfA)),
                            static_cast<float>(a.greenF() * shareOfA + b.greenF() * (1 - shareOfA)),
                            static_cast<float>(a.blueF() * shareOfA + b.blueF() * (1 - shareOfA)));
}
}  // namespace

StateLook stateLook(const QString& estado) {
    if (estado == kLivre) return {QStringLiteral("Livre"), QColor(0x2E, 0x7D, 0x32), Qt::white};
    if (estado == kOcupada) return {QStringLiteral("Ocupada"), QColor(0xC6, 0x28, 0x28), Qt::white};
    if (estado == kReservada) return {QStringLiteral("Reservada"), QColor(0x15, 0x65, 0xC0), Qt::white};
    if (estado == kFechando) return {QStringLiteral("Fechando"), QColor(0xF9, 0xA8, 0x25), Qt::black};
    const QString code = estado.trimmed();
    return {code.isEmpty() ? QStringLiteral("Sem estado") : QStringLiteral("Estado %1").arg(code),
            QColor(0xB0, 0xBE, 0xC5), Qt::black};
}

QStringList knownStates() { return {kLivre, kOcupada, kReservada, kFechando}; }

void paintTile(QPainter& painter, const QRectF& tile, const QColor& fill, bool offered) {
    QPainterPath shape;
    shape.addRoundedRect(tile, kTileRadius, kTileRadius);
    const QColor face = offered ? fill : mix(fill, kFadedBase, kFadedShare);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, face);
    if (!offered) {
        painter.setClipPath(shape);
        painter.setPen(QPen(QColor(0, 0, 0, 40), 2));
        const qreal step = 10;
        for (qreal x = tile.left() - tile.height(); x < tile.right(); x += step)
            painter.drawLine(QPointF(x, tile.bottom()), QPointF(x + tile.height(), tile.top()));
        painter.setClipping(false);
    }
    painter.setPen(QPen(face.darker(140), 1));
    painter.drawPath(shape);
    painter.restore();
}

QColor tileText(const StateLook& look, bool offered) { return offered ? look.text : QColor(0x30, 0x30, 0x30); }

}  // namespace Gpe00002
