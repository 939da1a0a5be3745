#pragma once
// A filled rectangle with an outline drawn inside its bounds: the frame of a borderless form.

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor BrushColor READ BrushColor WRITE setBrushColor)
    Q_PROPERTY(QColor PenColor READ PenColor WRITE setPenColor)
    Q_PROPERTY(int PenWidth READ PenWidth WRITE setPenWidth)
public:
    explicit TShape(QWidget* parent = nullptr);

    QColor BrushColor() const { return m_brush; }
    void setBrushColor(const QColor& color);
    QColor PenColor() const { return m_pen; }
    void setPenColor(const QColor& color);
    int PenWidth() const { return m_penWidth; }
    void setPenWidth(int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_brush{Qt::white};
    QColor m_pen{Qt::black};
    int m_penWidth = 1;
};
