#include "TShape.h"

#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void TShape::setBrushColor(const QColor& color) {
    m_brush = color;
    update();
}

void TShape::setPenColor(const QColor& color) {
    m_pen = color;
    update();
}

void TShape::setPenWidth(int width) {
    m_penWidth = std::max(0, width);
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, m_pen);
    // The outline lies wholly inside the widget, so every edge shows all of its width.
    painter.fillRect(all.adjusted(m_penWidth, m_penWidth, -m_penWidth, -m_penWidth), m_brush);
}
