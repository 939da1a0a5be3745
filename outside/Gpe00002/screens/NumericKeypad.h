#pragma once
// The numeric keypad: a dialog with keys 0-9, "Apaga" (erase the last digit), "Limpa" (clear),
// "OK" and "Cancela", also driven by the keyboard's digits, Backspace, Enter/Return and Esc.
// A starting text is shown selected: the first digit typed replaces it, as in a text field.

#include "core/Export.h"

#include <QDialog>
#include <QString>

class QLabel;

namespace Gpe00002 {

// What the keypad holds: starts with the value it is given, selected whole, and takes digits up
// to a maximum number of characters (0 or less: no maximum).
class GPE00002_EXPORT KeypadBuffer {
public:
    enum class Typed { Digit, NotADigit, Full };

    KeypadBuffer(QString initial, int maxDigits);

    const QString& text() const { return m_text; }
    // The whole text is selected (a starting text nothing was typed over yet): the next digit
    // replaces it, and erasing removes it.
    bool isSelected() const { return m_selected; }
    bool isFull() const;
    int maxDigits() const { return m_maxDigits; }
    // Nothing changes for anything but a digit 0-9, or when the buffer is full.
    Typed type(QChar digit);
    void erase();  // the last character, or the selected text
    void clear();

private:
    QString m_text;
    int m_maxDigits;
    bool m_selected;
};

// Keys are push buttons named "key0" ... "key9", "keyApaga", "keyLimpa", "keyOK" and
// "keyCancela"; the typed value is shown in the label named "display" (in the selection's colours
// while selected), and a digit refused because the value is full is told in the label "aviso",
// whose line is kept free while it is hidden, so that the keys never move. The second prompt is
// shown only when it adds something to the first.
class NumericKeypadDialog : public QDialog {
    Q_OBJECT
public:
    NumericKeypadDialog(const QString& caption, const QString& prompt, const QString& prompt2, const QString& value,
                        int maxDigits);

    QString value() const { return m_buffer.text(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void typeDigit(QChar digit);
    void erase();
    void clear();
    void refresh();
    QString warningText() const;

    KeypadBuffer m_buffer;
    QLabel* m_display = nullptr;
    QLabel* m_warning = nullptr;
};

}  // namespace Gpe00002
