#include "screens/TableTile.h"

#include "TouchStyle.h"
#include "screens/TableLook.h"

#include <QPainter>
#include <QTimer>
#include <algorithm>

namespace Gpe00002 {

namespace {

// The gap around a tile, where the keyboard cursor's ring is drawn.
constexpr qreal kRing = 5;

// `text` in at most two lines of `width`, broken between words; what does not fit is elided.
QStringList twoLines(const QString& text, const QFontMetricsF& metrics, qreal width) {
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString first;
    qsizetype used = 0;
    for (; used < words.size(); ++used) {
        const QString longer = first.isEmpty() ? words[used] : first + QLatin1Char(' ') + words[used];
        if (!first.isEmpty() && metrics.horizontalAdvance(longer) > width) break;
        first = longer;
    }
    QStringList lines{metrics.elidedText(first, Qt::ElideRight, width)};
    if (used < words.size()) lines << metrics.elidedText(words.mid(used).join(QLatin1Char(' ')), Qt::ElideRight, width);
    return lines;
}

}  // namespace

QString nextReservationText(const TableState& table, const QDate& today) {
    if (!table.proxima.isValid()) return {};
    const QString time =
        table.proxima.toString(table.proxima.date() == today ? QStringLiteral("HH:mm") : QStringLiteral("dd/MM HH:mm"));
    return time + QLatin1Char(' ') + table.proximoCliente;
}

QFont mapFont(int points, bool bold) {
    QFont font(Style::kFontFamily);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

TableButton::TableButton(const MapTable& table, QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("mesa") + table.mesa.numero);
    setFocusPolicy(Qt::NoFocus);
    setProperty("escolhida", false);
    setProperty("sobCursor", false);
    setProperty("piscando", false);
    setTable(table);
}

void TableButton::setTable(const MapTable& table) {
    m_table = table;
    setEnabled(table.enabled);
    setProperty("oferecida", table.enabled);
    const StateLook look = stateLook(table.mesa.estado);
    QString tip = QStringLiteral("Mesa %1").arg(table.mesa.numero);
    if (!table.mesa.nome.isEmpty()) tip += QStringLiteral(" (%1)").arg(table.mesa.nome);
    tip += QStringLiteral(": ") + look.name.toLower();
    if (!table.mesa.grupo.isEmpty()) tip += QStringLiteral(", agrupamento %1").arg(groupingNumber(table.mesa.grupo));
    const QString next = nextReservationText(table.mesa, QDate::currentDate());
    if (!next.isEmpty()) tip += QStringLiteral(", próxima reserva %1").arg(next);
    if (!table.enabled) tip += QStringLiteral(". Indisponível: %1").arg(table.reason);
    setToolTip(tip);
    setAccessibleName(tip);
    update();
}

void TableButton::flash() {
    constexpr int kFlashMs = 900;
    ++m_flashes;
    setProperty("piscando", true);
    update();
    QTimer::singleShot(kFlashMs, this, [this] {
        if (--m_flashes > 0) return;
        setProperty("piscando", false);
        update();
    });
}

void TableButton::setChosen(bool chosen) {
    setProperty("escolhida", chosen);
    update();
}

void TableButton::setUnderCursor(bool under) {
    setProperty("sobCursor", under);
    update();
}

void TableButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool offered = m_table.enabled;
    const StateLook look = stateLook(m_table.mesa.estado);
    const QRectF tile = QRectF(rect()).adjusted(kRing, kRing, -kRing, -kRing);
    paintTile(painter, tile, look.fill, offered);
    const QColor ink = tileText(look, offered);
    const bool chosen = property("escolhida").toBool();

    // A chosen tile's rings take part of its edge: its text moves in.
    const QRectF inside = chosen ? tile.adjusted(12, 8, -12, -8) : tile.adjusted(9, 5, -9, -5);
    // Number, top left; the grouping's badge, top right.
    painter.setFont(mapFont(18, true));
    const QFontMetricsF numberMetrics(painter.font());
    const QRectF numberBox(inside.left(), inside.top(), inside.width(), numberMetrics.height());
    qreal badgeWidth = 0;
    if (!m_table.mesa.grupo.isEmpty()) {
        const QFont badgeFont = mapFont(11, true);
        const QFontMetricsF badgeMetrics(badgeFont);
        const QString text = groupingNumber(m_table.mesa.grupo);
        badgeWidth = std::max(badgeMetrics.horizontalAdvance(text) + 12, badgeMetrics.height() + 4);
        const QRectF badge(inside.right() - badgeWidth + 4, tile.top() + 5, badgeWidth, badgeMetrics.height() + 4);
        painter.setPen(QPen(Qt::black, 1.5));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(badge, badge.height() / 2, badge.height() / 2);
        painter.setFont(badgeFont);
        painter.setPen(Qt::black);
        painter.drawText(badge, Qt::AlignCenter, text);
        painter.setFont(mapFont(18, true));
    }
    painter.setPen(ink);
    painter.drawText(numberBox.adjusted(0, 0, -badgeWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     numberMetrics.elidedText(m_table.mesa.numero, Qt::ElideRight, numberBox.width() - badgeWidth));

    // The name under it, the state or the reason on the last line.
    painter.setFont(mapFont(11, false));
    const QFontMetricsF nameMetrics(painter.font());
    const QRectF nameBox(inside.left(), numberBox.bottom(), inside.width(), nameMetrics.height());
    painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
                     nameMetrics.elidedText(m_table.mesa.nome, Qt::ElideRight, nameBox.width()));

    painter.setFont(mapFont(10, !offered));
    const QFontMetricsF lastMetrics(painter.font());
    const qreal checkSize = 22;
    // The reason may take two lines; the state always fits one.
    const QStringList lines =
        twoLines(offered ? look.name : m_table.reason, lastMetrics, inside.width() - (chosen ? checkSize + 4 : 0));
    qreal y = inside.bottom() - lastMetrics.height() * static_cast<qreal>(lines.size());
    // The next reservation above it, where the name leaves room for it.
    const QString next = nextReservationText(m_table.mesa, QDate::currentDate());
    if (!next.isEmpty() && y - lastMetrics.height() >= nameBox.bottom() - 1)
        painter.drawText(QRectF(inside.left(), y - lastMetrics.height(), inside.width(), lastMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         lastMetrics.elidedText(next, Qt::ElideRight, inside.width()));
    for (const QString& line : lines) {
        painter.drawText(QRectF(inside.left(), y, inside.width(), lastMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lastMetrics.height();
    }

    if (chosen) {
        // A black and white ring inside the tile and a check mark: visible on every colour.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 3));
        painter.drawRoundedRect(tile.adjusted(1.5, 1.5, -1.5, -1.5), 7, 7);
        painter.setPen(QPen(Qt::white, 3));
        painter.drawRoundedRect(tile.adjusted(4.5, 4.5, -4.5, -4.5), 5, 5);
        const QRectF check(tile.right() - checkSize - 7, tile.bottom() - checkSize - 7, checkSize, checkSize);
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(Qt::black);
        painter.drawEllipse(check);
        QPen tick(Qt::white, 3);
        tick.setCapStyle(Qt::RoundCap);
        tick.setJoinStyle(Qt::RoundJoin);
        painter.setPen(tick);
        const QPointF points[] = {{check.left() + 5.5, check.center().y()},
                                  {check.left() + 9.5, check.bottom() - 6},
                                  {check.right() - 5, check.top() + 6}};
        painter.drawPolyline(points, 3);
    }
    if (property("piscando").toBool()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0xFF, 0xD6, 0x00), 5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 10, 10);
    }
    if (property("sobCursor").toBool()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Style::kAccent, 4));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 10, 10);
    }
}

}  // namespace Gpe00002
