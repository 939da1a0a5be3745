#pragma once
// The common look of the dialogs of the terminal's screens: modal, borderless, white with an
// accent frame and title, large fonts in one named family and touch-sized buttons.

#include <QColor>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace Style {

inline const QColor kAccent{204, 91, 44};
// The dialogs' face, from the fonts the installation brings (fonts-liberation2), so that they
// never fall to whatever the machine's default face is (a monospace one, on a minimal system).
inline const QString kFontFamily = QStringLiteral("Liberation Sans");
constexpr int kFontPoints = 16;
constexpr int kTitlePoints = 18;
constexpr int kButtonMinWidth = 64;
constexpr int kButtonMinHeight = 56;

// Maps the face names of the screens' layouts ("MS Sans Serif", "Tahoma", "Arial") to
// kFontFamily where the machine has no such face. Done once; frameDialog does it too.
void installFontSubstitutes();

// Makes `dialog` modal and borderless, gives it the white background, the accent frame and the
// large font of kFontFamily, and adds the title; answers the layout inside the frame, below
// the title, that takes the dialog's content. The title label is named "title".
QVBoxLayout* frameDialog(QDialog& dialog, const QString& title);

// A touch-sized push button named `objectName`. It never takes the keyboard focus, so the keys
// always reach the dialog, which decides what Enter and Esc do.
QPushButton* touchButton(const QString& text, const QString& objectName, QWidget* parent);

// A word-wrapped label in the dialog's font, named `objectName`.
QLabel* textLabel(const QString& text, const QString& objectName, QWidget* parent);

}  // namespace Style
