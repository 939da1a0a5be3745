#pragma once
// The common look of the dialogs of the terminal's screens: modal, borderless, white with an
// accent frame and title, large fonts in one named family and touch-sized buttons.

#include <QColor>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QRect;
class QScreen;
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
//
// The dialog is also made fit for a hurried finger: input that began before it was shown or in
// its first moments does not act on it (InputGuard), and each time it is shown it is placed once,
// before it appears: at the size it has then, within the screen (placeDialog), and held at that
// size until it closes, so that nothing in it moves under a finger. A dialog decides its size
// before it is shown; one given a position before it is shown keeps it.
QVBoxLayout* frameDialog(QDialog& dialog, const QString& title);

// The screen the operator is using: that of the active window, else the primary one.
QScreen* operatorScreen();
// The geometry `dialog` takes on `area` (a screen's available geometry): its size bounded by the
// area, centred on it, or where it is when `keepPosition`, moved as little as it takes to be
// wholly inside the area.
QRect placeDialog(const QRect& dialog, const QRect& area, bool keepPosition);

// A touch-sized push button named `objectName`. It never takes the keyboard focus, so the keys
// always reach the dialog, which decides what Enter and Esc do.
QPushButton* touchButton(const QString& text, const QString& objectName, QWidget* parent);

// A word-wrapped label in the dialog's font, named `objectName`. A word longer than the line is
// broken inside it, and a text taller than the label ends in an ellipsis, as does a label that
// is not word-wrapped and too narrow for its text.
QLabel* textLabel(const QString& text, const QString& objectName, QWidget* parent);
// The line under a dialog's title that says what to do: the dialog's font, in a dark grey.
QLabel* promptLabel(const QString& text, QWidget* parent);

}  // namespace Style
