// The rounded button, checked by its pixels, and its use from a Designer form.
#include "TBlendedBitBtn.h"
#include "ui_blendedbitbtn_form.h"

#include <QPixmap>
#include <gtest/gtest.h>

namespace {

const QColor kGrey(128, 128, 128);
const QColor kLightGrey(204, 204, 204);

QIcon solidIcon(const QColor& color) {
    QPixmap pixmap(34, 34);
    pixmap.fill(color);
    return QIcon(pixmap);
}

QImage render(TBlendedBitBtn& button) { return button.grab().toImage().convertToFormat(QImage::Format_RGB32); }

QColor at(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// The bounding box of the pixels painted exactly in `color`.
// The box of the pixels of `color`, in rows up to `lastRow` (all rows by default).
QRect pixelsOf(const QImage& image, const QColor& color, int lastRow = -1) {
    QRect box;
    for (int y = 0; y < (lastRow < 0 ? image.height() : lastRow + 1); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color) box |= QRect(x, y, 1, 1);
    return box;
}

class BlendedBitBtnTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_button.resize(153, 55);
        // A face the project installs, not the machine's default one (a monospace face on a
        // minimal system), so that the measures below hold everywhere.
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(16);
        font.setBold(true);
        m_button.setFont(font);
    }
    TBlendedBitBtn m_button;
};

TEST_F(BlendedBitBtnTest, PaintsARoundedFaceInTheColourOfItsState) {
    m_button.setCaption(QStringLiteral("Agrupar"));
    m_button.setPressedColor(QColor(0, 100, 0));
    const struct {
        const char* state;
        bool enabled, down;
        QColor face;
    } cases[] = {
        {"normal", true, false, kGrey},
        {"pressed", true, true, QColor(0, 100, 0)},
        {"disabled", false, false, kLightGrey},
        {"disabled and down", false, true, kLightGrey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        m_button.setEnabled(c.enabled);
        m_button.setDown(c.down);
        const QImage image = render(m_button);
        ASSERT_EQ(image.size(), QSize(153, 55));
        for (const QPoint& p : {QPoint(3, 27), QPoint(76, 2), QPoint(150, 27), QPoint(76, 52), QPoint(6, 6)})
            EXPECT_EQ(at(image, p.x(), p.y()), c.face) << p.x() << "," << p.y();
        for (const QPoint& corner : {QPoint(0, 0), QPoint(152, 0), QPoint(0, 54), QPoint(152, 54)})
            EXPECT_NE(at(image, corner.x(), corner.y()), c.face) << corner.x() << "," << corner.y();
    }
}

TEST_F(BlendedBitBtnTest, CentresTheCaptionLeftOfTheGlyphInTheColourOfItsState) {
    m_button.setCaption(QStringLiteral("Mesa"));
    m_button.setFontColor(QColor(255, 0, 0));
    m_button.setPressedFontColor(QColor(0, 255, 0));
    m_button.setDisabledFontColor(QColor(0, 0, 255));
    m_button.setGlyph(solidIcon(QColor(255, 255, 0)));

    // The glyph sits from x = 153 - 10 - 34 = 109 to 142, y = 10 to 43; the text in 0..104.
    const struct {
        const char* state;
        bool enabled, down;
        QColor text;
    } cases[] = {
        {"normal", true, false, QColor(255, 0, 0)},
        {"pressed", true, true, QColor(0, 255, 0)},
        {"disabled", false, false, QColor(0, 0, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        m_button.setEnabled(c.enabled);
        m_button.setDown(c.down);
        const QRect text = pixelsOf(render(m_button), c.text);
        ASSERT_FALSE(text.isEmpty());
        EXPECT_NEAR(text.center().x(), 52, 3);
        EXPECT_NEAR(text.center().y(), 27, 3);
        EXPECT_LT(text.right(), 105);
    }

    m_button.setEnabled(true);
    m_button.setDown(false);
    m_button.setGlyph(QIcon());
    EXPECT_NEAR(pixelsOf(render(m_button), QColor(255, 0, 0)).center().x(), 76, 3);  // no glyph: whole width
}

TEST_F(BlendedBitBtnTest, DrawsTheGlyphMarginFromTheRightOrCentred) {
    const QColor yellow(255, 255, 0), cyan(0, 255, 255);
    m_button.setGlyph(solidIcon(yellow));
    m_button.setGlyphDisabled(solidIcon(cyan));
    const struct {
        const char* name;
        QString caption;
        int margin;
        bool enabled;
        QColor glyph;
        QRect expected;
    } cases[] = {
        {"margin 10", QStringLiteral("Mesa"), 10, true, yellow, QRect(109, 10, 34, 34)},
        {"margin 0", QStringLiteral("Mesa"), 0, true, yellow, QRect(119, 10, 34, 34)},
        {"margin -1", QStringLiteral("Mesa"), -1, true, yellow, QRect(59, 10, 34, 34)},
        {"no caption", QString(), 10, true, yellow, QRect(59, 10, 34, 34)},
        {"disabled glyph", QStringLiteral("Mesa"), 10, false, cyan, QRect(109, 10, 34, 34)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_button.setCaption(c.caption);
        m_button.setMargin(c.margin);
        m_button.setEnabled(c.enabled);
        EXPECT_EQ(pixelsOf(render(m_button), c.glyph), c.expected);
    }

    m_button.setGlyphSize(20);
    m_button.setMargin(10);
    m_button.setEnabled(true);
    EXPECT_EQ(pixelsOf(render(m_button), yellow), QRect(123, 17, 20, 20));
}

// Pixels of `rows` below `box` (within its columns) that are not the face colour.
int paintedBelow(const QImage& image, const QRect& box, int rows) {
    int count = 0;
    for (int y = box.bottom() + 1; y <= box.bottom() + rows; ++y)
        for (int x = box.left(); x <= box.right(); ++x) count += image.pixelColor(x, y) != kGrey;
    return count;
}

TEST_F(BlendedBitBtnTest, BreaksTheCaptionAtCarriageReturnsAndUnderlinesTheAcceleratorLetter) {
    const QColor red(255, 0, 0);
    m_button.setFontColor(red);
    m_button.setCaption(QStringLiteral("Mesa"));
    const QImage plainImage = render(m_button);
    const QRect plain = pixelsOf(plainImage, red);
    m_button.setCaption(QStringLiteral("&Mesa"));
    const QImage acceleratedImage = render(m_button);
    // The letters only: the underline below them spans the whole advance of the 'M', which may
    // reach left of its ink.
    const QRect accelerated = pixelsOf(acceleratedImage, red, plain.bottom());
    m_button.setCaption(QStringLiteral("Mesa\rMesa"));
    const QRect twoLines = pixelsOf(render(m_button), red);

    EXPECT_EQ(m_button.text(), QStringLiteral("Mesa\rMesa"));
    EXPECT_EQ(accelerated.left(), plain.left());  // the '&' itself is not drawn
    EXPECT_EQ(accelerated.top(), plain.top());
    EXPECT_EQ(accelerated.width(), plain.width());
    // The underline below the 'M' only: "Mesa" has no descender.
    EXPECT_EQ(paintedBelow(plainImage, plain, 4), 0);
    const int mWidth = QFontMetrics(m_button.font()).horizontalAdvance(QLatin1Char('M'));
    EXPECT_GE(paintedBelow(acceleratedImage, QRect(plain.left(), plain.top(), mWidth, plain.height()), 4), mWidth - 2);
    EXPECT_EQ(
        paintedBelow(acceleratedImage,
                     QRect(plain.left() + mWidth + 1, plain.top(), plain.width() - mWidth - 1, plain.height()), 4),
        0);
    EXPECT_GT(twoLines.height(), 2 * plain.height() - 2);
    EXPECT_EQ(twoLines.width(), plain.width());
    EXPECT_NEAR(twoLines.center().y(), 27, 3);
}

TEST(BlendedBitBtnForm, TakesItsPropertiesFromADesignerForm) {
    QWidget form;
    Ui::BlendedBitBtnForm ui;
    ui.setupUi(&form);
    TBlendedBitBtn* button = ui.btnAgrupar;
    EXPECT_EQ(button->Caption(), QStringLiteral("&Agrupar"));
    EXPECT_EQ(button->FaceColor(), QColor(10, 20, 30));
    EXPECT_EQ(button->PressedColor(), QColor(40, 50, 60));
    EXPECT_EQ(button->DisabledFontColor(), QColor(70, 80, 90));
    EXPECT_EQ(button->FontColor(), QColor(Qt::white));
    EXPECT_EQ(button->Margin(), 5);
    EXPECT_EQ(button->GlyphSize(), 24);
    EXPECT_EQ(button->Radius(), 6);
    EXPECT_EQ(button->size(), QSize(153, 55));
    EXPECT_EQ(at(render(*button), 3, 27), QColor(10, 20, 30));
}

}  // namespace
