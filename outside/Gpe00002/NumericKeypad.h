#pragma once
// The numeric keypad: a dialog with keys 0-9, "Apaga" (erase the last digit), "Limpa" (clear),
// "OK" and "Cancela", also driven by the keyboard's digits, Backspace, Enter/Return and Esc.

#include "Gpe00002.h"

#include <QDialog>
#include <QString>

class QLabel;

namespace Gpe00002 {

// What the keypad holds: starts with the value it is given and takes digits up to a maximum
// number of characters (0 or less: no maximum).
class KeypadBuffer {
public:
    KeypadBuffer(QString initial, int maxDigits);

    const QString& text() const { return m_text; }
    bool isFull() const;
    // False, and nothing changes, for anything but a digit 0-9 or when the buffer is full.
    bool type(QChar digit);
    void erase();  // the last character
    void clear();

private:
    QString m_text;
    int m_maxDigits;
};

// Keys are push buttons named "key0" ... "key9", "keyApaga", "keyLimpa", "keyOK" and
// "keyCancela"; the typed value is shown in the label named "display".
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

    KeypadBuffer m_buffer;
    QLabel* m_display = nullptr;
};

}  // namespace Gpe00002
