#pragma once
// The rounded push button of the screens: caption (a '\r' breaks it into lines, '&' marks the
// accelerator letter), a glyph drawn right of the caption and a second one for the disabled
// state, and colours for the normal, pressed and disabled faces and texts.

#include "QorExport.h"

#include <QAbstractButton>
#include <QColor>
#include <QIcon>

class QOR_EXPORT TBlendedBitBtn : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QIcon Glyph READ Glyph WRITE setGlyph)
    Q_PROPERTY(QIcon GlyphDisabled READ GlyphDisabled WRITE setGlyphDisabled)
    Q_PROPERTY(QColor FaceColor READ FaceColor WRITE setFaceColor)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(QColor PressedColor READ PressedColor WRITE setPressedColor)
    Q_PROPERTY(QColor PressedFontColor READ PressedFontColor WRITE setPressedFontColor)
    Q_PROPERTY(QColor DisabledColor READ DisabledColor WRITE setDisabledColor)
    Q_PROPERTY(QColor DisabledFontColor READ DisabledFontColor WRITE setDisabledFontColor)
    Q_PROPERTY(int Margin READ Margin WRITE setMargin)
    Q_PROPERTY(int Spacing READ Spacing WRITE setSpacing)
    Q_PROPERTY(int GlyphSize READ GlyphSize WRITE setGlyphSize)
    Q_PROPERTY(int Radius READ Radius WRITE setRadius)

public:
    explicit TBlendedBitBtn(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QIcon Glyph() const { return m_glyph; }
    void setGlyph(const QIcon& glyph);
    QIcon GlyphDisabled() const { return m_glyphDisabled; }
    void setGlyphDisabled(const QIcon& glyph);
    QColor FaceColor() const { return m_face; }
    void setFaceColor(const QColor& c);
    QColor FontColor() const { return m_font; }
    void setFontColor(const QColor& c);
    QColor PressedColor() const { return m_pressed; }
    void setPressedColor(const QColor& c);
    QColor PressedFontColor() const { return m_pressedFont; }
    void setPressedFontColor(const QColor& c);
    QColor DisabledColor() const { return m_disabled; }
    void setDisabledColor(const QColor& c);
    QColor DisabledFontColor() const { return m_disabledFont; }
    void setDisabledFontColor(const QColor& c);
    int Margin() const { return m_margin; }  // glyph distance from the right edge; -1 centres
    void setMargin(int margin);
    int Spacing() const { return m_spacing; }
    void setSpacing(int spacing);
    int GlyphSize() const { return m_glyphSize; }
    void setGlyphSize(int size);
    int Radius() const { return m_radius; }
    void setRadius(int radius);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
    QIcon m_glyph, m_glyphDisabled;
    QColor m_face{128, 128, 128}, m_font{Qt::white}, m_pressed{128, 128, 128}, m_pressedFont{Qt::white};
    QColor m_disabled{204, 204, 204}, m_disabledFont{Qt::white};
    int m_margin = 10;
    int m_spacing = 4;
    int m_glyphSize = 34;
    int m_radius = 10;
};
