#include "TBlendedBitBtn.h"

#include <QPainter>
#include <QRegularExpression>

namespace {

// Caption lines: '\r' breaks the caption (a '\n' after it, or on its own, too).
QStringList captionLines(const QString& caption) {
    static const QRegularExpression breaks(QStringLiteral("\r\n?|\n"));
    return caption.split(breaks);
}

}  // namespace

TBlendedBitBtn::TBlendedBitBtn(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::NoFocus); }

void TBlendedBitBtn::setCaption(const QString& caption) {
    m_caption = caption;
    setText(caption);  // registers the '&' letter as the button's shortcut
    updateGeometry();
    update();
}

void TBlendedBitBtn::setGlyph(const QIcon& glyph) {
    m_glyph = glyph;
    update();
}

void TBlendedBitBtn::setGlyphDisabled(const QIcon& glyph) {
    m_glyphDisabled = glyph;
    update();
}

void TBlendedBitBtn::setFaceColor(const QColor& c) {
    m_face = c;
    update();
}

void TBlendedBitBtn::setFontColor(const QColor& c) {
    m_font = c;
    update();
}

void TBlendedBitBtn::setPressedColor(const QColor& c) {
    m_pressed = c;
    update();
}

void TBlendedBitBtn::setPressedFontColor(const QColor& c) {
    m_pressedFont = c;
    update();
}

void TBlendedBitBtn::setDisabledColor(const QColor& c) {
    m_disabled = c;
    update();
}

void TBlendedBitBtn::setDisabledFontColor(const QColor& c) {
    m_disabledFont = c;
    update();
}

void TBlendedBitBtn::setMargin(int margin) {
    m_margin = margin;
    updateGeometry();
    update();
}

void TBlendedBitBtn::setSpacing(int spacing) {
    m_spacing = spacing;
    updateGeometry();
    update();
}

void TBlendedBitBtn::setGlyphSize(int size) {
    m_glyphSize = qMax(0, size);
    updateGeometry();
    update();
}

void TBlendedBitBtn::setRadius(int radius) {
    m_radius = qMax(0, radius);
    update();
}

QSize TBlendedBitBtn::sizeHint() const {
    const QFontMetrics metrics(font());
    const QStringList lines = m_caption.isEmpty() ? QStringList() : captionLines(m_caption);
    int textWidth = 0;
    for (const QString& line : lines) textWidth = qMax(textWidth, metrics.size(Qt::TextShowMnemonic, line).width());
    const int textHeight = static_cast<int>(lines.size()) * metrics.height();
    const int side = qMax(m_margin, 0) + m_radius / 2;  // keep the text off the rounded corners
    const bool hasGlyph = !m_glyph.isNull() && m_glyphSize > 0;
    int width = textWidth + 2 * side;
    if (hasGlyph) width += m_glyphSize + (lines.isEmpty() ? 0 : m_spacing);
    const int height = qMax(textHeight, hasGlyph ? m_glyphSize : 0) + 2 * qMax(m_radius / 2, 4);
    return {width, height};
}

namespace {

// A caption line wider than the space for it breaks at blanks, as many words on a line as fit.
QStringList wrapLines(const QStringList& lines, const QFontMetrics& metrics, int width) {
    const auto shown = [](QString text) {
        return text.replace(QLatin1String("&&"), QLatin1String("\x01")).remove('&');
    };
    QStringList wrapped;
    for (const QString& line : lines) {
        if (metrics.horizontalAdvance(shown(line)) <= width) {
            wrapped << line;
            continue;
        }
        QString current;
        for (const QString& word : line.split(' ', Qt::SkipEmptyParts)) {
            const QString candidate = current.isEmpty() ? word : current + ' ' + word;
            if (!current.isEmpty() && metrics.horizontalAdvance(shown(candidate)) > width) {
                wrapped << current;
                current = word;
            } else {
                current = candidate;
            }
        }
        if (!current.isEmpty()) wrapped << current;
    }
    return wrapped;
}

}  // namespace

void TBlendedBitBtn::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const bool enabled = isEnabled();
    const bool down = enabled && isDown();
    const QColor face = !enabled ? m_disabled : down ? m_pressed : m_face;
    const QColor fontColor = !enabled ? m_disabledFont : down ? m_pressedFont : m_font;

    const QRectF area(rect());
    const qreal radius = qMin<qreal>(m_radius, qMin(area.width(), area.height()) / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    painter.drawRoundedRect(area, radius, radius);

    // The glyph: its right edge Margin pixels from the button's, or centred.
    QRect textArea = rect();
    const QIcon glyph = enabled || m_glyphDisabled.isNull() ? m_glyph : m_glyphDisabled;
    if (!glyph.isNull() && m_glyphSize > 0) {
        const int top = (height() - m_glyphSize) / 2;
        const bool centred = m_margin < 0 || m_caption.isEmpty();
        const int left = centred ? (width() - m_glyphSize) / 2 : width() - m_margin - m_glyphSize;
        const QRect glyphRect(left, top, m_glyphSize, m_glyphSize);
        // Without a glyph of its own for the disabled state the normal one is drawn greyed.
        const QIcon::Mode mode = enabled || !m_glyphDisabled.isNull() ? QIcon::Normal : QIcon::Disabled;
        glyph.paint(&painter, glyphRect, Qt::AlignCenter, mode);
        textArea.setRight(glyphRect.left() - m_spacing - 1);
    }

    if (m_caption.isEmpty() || textArea.width() <= 0) return;
    // Caption lines centred in the area left of the glyph; '&' marks the underlined letter.
    const QFontMetrics metrics(font());
    const QStringList lines = wrapLines(captionLines(m_caption), metrics, textArea.width());
    const int lineHeight = metrics.height();
    const int total = static_cast<int>(lines.size()) * lineHeight;
    int y = textArea.top() + (textArea.height() - total) / 2;
    painter.setPen(fontColor);
    painter.setFont(font());
    for (const QString& line : lines) {
        painter.drawText(QRect(textArea.left(), y, textArea.width(), lineHeight),
                         Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic, line);
        y += lineHeight;
    }
}
