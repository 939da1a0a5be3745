#pragma once
// The common look of the package's dialogs: modal, borderless, white with an accent frame and
// title, large fonts and touch-sized buttons, for a touch terminal.

#include <QColor>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace Gpe00002::Style {

inline const QColor kAccent{204, 91, 44};
constexpr int kFontPoints = 16;
constexpr int kTitlePoints = 18;
constexpr int kButtonMinWidth = 64;
constexpr int kButtonMinHeight = 56;

// Makes `dialog` modal and borderless, gives it the white background, the accent frame and the
// large font, and adds the title; answers the layout inside the frame, below the title, that
// takes the dialog's content. The title label is named "title".
QVBoxLayout* frameDialog(QDialog& dialog, const QString& title);

// A touch-sized push button named `objectName`. It never takes the keyboard focus, so the keys
// always reach the dialog, which decides what Enter and Esc do.
QPushButton* touchButton(const QString& text, const QString& objectName, QWidget* parent);

// A word-wrapped label in the dialog's font, named `objectName`.
QLabel* textLabel(const QString& text, const QString& objectName, QWidget* parent);

}  // namespace Gpe00002::Style
