#include "TouchStyle.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace Style {

namespace {
QString accentName() { return kAccent.name(); }
}  // namespace

void installFontSubstitutes() {
    static const bool installed = [] {
        for (const char* face : {"MS Sans Serif", "Tahoma", "Arial"})
            QFont::insertSubstitution(QString::fromLatin1(face), kFontFamily);
        return true;
    }();
    (void)installed;
}

QVBoxLayout* frameDialog(QDialog& dialog, const QString& title) {
    installFontSubstitutes();
    dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setModal(true);
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
    auto* titleLabel = new QLabel(title, frame);
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
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QFont font(kFontFamily);
    font.setPointSize(kFontPoints);
    label->setFont(font);
    return label;
}

}  // namespace Style
