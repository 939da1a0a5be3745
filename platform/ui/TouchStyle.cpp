#include "TouchStyle.h"

#include "InputGuard.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace Style {

namespace {

QString accentName() { return kAccent.name(); }

// A label that breaks its text between words and, for a word longer than the line, inside it;
// what still does not fit its height (or, unwrapped, its width) ends in an ellipsis. QLabel
// would cut a long name off at the frame without a sign that there is more.
class TextLabel : public QLabel {
public:
    using QLabel::QLabel;

    int heightForWidth(int width) const override {
        if (!wordWrap()) return QLabel::heightForWidth(width);
        const QMargins margins = contentsMargins();
        QTextLayout layout(shownText(), font());
        const qreal height = layOut(layout, width - margins.left() - margins.right() - 2 * margin());
        return static_cast<int>(std::ceil(height)) + margins.top() + margins.bottom() + 2 * margin();
    }

    // Never wider than a few characters: a long word is broken, not given the whole screen.
    QSize minimumSizeHint() const override {
        const QSize hint = QLabel::minimumSizeHint();
        const QMargins margins = contentsMargins();
        const int least = 6 * fontMetrics().averageCharWidth() + margins.left() + margins.right() + 2 * margin();
        return {std::min(hint.width(), least), hint.height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const QString text = shownText();
        if (text.isEmpty()) return;
        QTextLayout layout(text, font());
        const qreal total = layOut(layout, area.width());
        if (layout.lineCount() == 0) return;
        const QFontMetricsF metrics(font());

        // The lines that fit, at least one; the last of them takes the rest of the text, elided.
        int shown = layout.lineCount();
        qreal used = total;
        if (total > area.height() + 0.5) {
            shown = 0;
            used = 0;
            while (shown < layout.lineCount() && used + layout.lineAt(shown).height() <= area.height() + 0.5)
                used += layout.lineAt(shown++).height();
            if (shown == 0) {
                shown = 1;
                used = layout.lineAt(0).height();
            }
        }
        qreal y = area.top();
        if (alignment() & Qt::AlignVCenter) y += (area.height() - used) / 2;
        if (alignment() & Qt::AlignBottom) y += area.height() - used;

        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
        painter.setFont(font());
        for (int i = 0; i < shown; ++i) {
            const QTextLine line = layout.lineAt(i);
            QString piece = text.mid(line.textStart(), line.textLength());
            const bool last = i == shown - 1;
            if (last && (shown < layout.lineCount() || line.naturalTextWidth() > area.width() + 0.5)) {
                piece = text.mid(line.textStart());
                piece.replace(QChar::LineSeparator, QLatin1Char(' '));
                piece = metrics.elidedText(piece.simplified(), Qt::ElideRight, area.width());
            }
            while (piece.endsWith(QLatin1Char(' ')) || piece.endsWith(QChar::LineSeparator)) piece.chop(1);
            const qreal width = metrics.horizontalAdvance(piece);
            qreal x = area.left();
            if (alignment() & Qt::AlignRight) x = area.right() + 1 - width;
            if (alignment() & Qt::AlignHCenter) x = area.left() + (area.width() - width) / 2;
            painter.drawText(QPointF(x, y + metrics.ascent()), piece);
            y += line.height();
        }
    }

private:
    // The text with its line breaks as the layout takes them.
    QString shownText() const {
        QString text = this->text();
        text.replace(QLatin1Char('\n'), QChar::LineSeparator);
        return text;
    }

    // Lays `layout` out in lines of `width`; answers their height.
    qreal layOut(QTextLayout& layout, qreal width) const {
        QTextOption option;
        option.setWrapMode(wordWrap() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.setCacheEnabled(true);
        qreal height = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max<qreal>(1, width));
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout.endLayout();
        return height;
    }
};

// Places its dialog each time the dialog is shown: the show event comes after the dialog's layout
// has taken its size and before the window appears.
class Placement : public QObject {
public:
    explicit Placement(QDialog& dialog) : QObject(&dialog), m_dialog(dialog) { dialog.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_dialog && event->type() == QEvent::Show && !event->spontaneous()) place();
        return false;
    }

private:
    void place() {
        QRect area(QPoint(0, 0), m_dialog.size());
        if (const QScreen* screen = operatorScreen()) area = screen->availableGeometry();
        const QRect placed = placeDialog(m_dialog.geometry(), area, m_dialog.testAttribute(Qt::WA_Moved));
        // Held at its size while it is open: a text that changes squeezes its neighbours inside
        // the frame instead of moving the window's edges.
        m_dialog.setFixedSize(placed.size());
        m_dialog.move(placed.topLeft());
    }

    QDialog& m_dialog;
};

}  // namespace

void installFontSubstitutes() {
    static const bool installed = [] {
        for (const char* face : {"MS Sans Serif", "Tahoma", "Arial"})
            QFont::insertSubstitution(QString::fromLatin1(face), kFontFamily);
        return true;
    }();
    (void)installed;
}

QScreen* operatorScreen() {
    if (const QWidget* active = QApplication::activeWindow())
        if (QScreen* screen = active->screen()) return screen;
    return QGuiApplication::primaryScreen();
}

QRect placeDialog(const QRect& dialog, const QRect& area, bool keepPosition) {
    QRect placed(dialog.topLeft(), dialog.size().boundedTo(area.size()));
    if (!keepPosition) placed.moveCenter(area.center());
    placed.moveLeft(std::clamp(placed.left(), area.left(), area.right() + 1 - placed.width()));
    placed.moveTop(std::clamp(placed.top(), area.top(), area.bottom() + 1 - placed.height()));
    return placed;
}

QVBoxLayout* frameDialog(QDialog& dialog, const QString& title) {
    installFontSubstitutes();
    dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setModal(true);
    InputGuard::guard(dialog);
    new Placement(dialog);
    dialog.setWindowTitle(title);
    QFont font(kFontFamily);
    font.setPointSize(kFontPoints);
    dialog.setFont(font);

    // A QDialog draws no border of its own: the frame is a child that fills it.
    auto* outer = new QVBoxLayout(&dialog);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QFrame(&dialog);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setStyleSheet(QStringLiteral("QFrame#frame { background: white; border: 3px solid %1; }"
                                        "QLabel { background: transparent; border: none; color: black; }"
                                        "QLabel#title { color: %1; }"
                                        "QPushButton { background: white; color: black; border: 2px solid %1;"
                                        " border-radius: 6px; padding: 6px 12px; }"
                                        "QPushButton:pressed { background: %1; color: white; }")
                             .arg(accentName()));
    outer->addWidget(frame);

    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(16, 12, 16, 16);
    inner->setSpacing(10);
    auto* titleLabel = new TextLabel(title, frame);
    titleLabel->setObjectName(QStringLiteral("title"));
    QFont titleFont = font;
    titleFont.setPointSize(kTitlePoints);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    titleLabel->setWordWrap(true);
    titleLabel->setTextFormat(Qt::PlainText);
    inner->addWidget(titleLabel);

    auto* content = new QVBoxLayout;
    content->setSpacing(10);
    inner->addLayout(content);
    return content;
}

QPushButton* touchButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    QFont font(kFontFamily);
    font.setPointSize(kFontPoints);
    font.setBold(true);
    button->setFont(font);
    // Never narrower than its text with the frame's padding around it.
    const int textWidth = QFontMetrics(font).horizontalAdvance(text) + 32;
    button->setMinimumSize(std::max(kButtonMinWidth, textWidth), kButtonMinHeight);
    return button;
}

QLabel* textLabel(const QString& text, const QString& objectName, QWidget* parent) {
    auto* label = new TextLabel(text, parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QFont font(kFontFamily);
    font.setPointSize(kFontPoints);
    label->setFont(font);
    return label;
}

QLabel* promptLabel(const QString& text, QWidget* parent) {
    QLabel* label = textLabel(text, QStringLiteral("prompt"), parent);
    label->setStyleSheet(QStringLiteral("QLabel#prompt { color: #424242; }"));
    return label;
}

}  // namespace Style
