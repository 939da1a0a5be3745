#pragma once
// A line of text typed on the keyboard or on the screen's own keyboard: letters with the
// Portuguese accents, digits, a few signs, space, "Apaga" (erase), "Limpa" (clear) and
// "Maiúsc" (upper or lower case letters), with "OK" (Enter) and "Cancela" (Esc). It starts
// empty and takes at most a maximum number of characters: a character refused for that is told
// under the field.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Gpe00002 {

// The field is the QLineEdit "texto"; the count of characters the label "contador" and a
// refusal the label "aviso". Keys are push buttons named "key" + their upper-case character
// ("keyA", "keyÇ", "key1", "key-"), "keyEspaco", "keyApaga", "keyLimpa", "keyMaiusc"; the
// answers "ok" and "cancel".
class TextEntryDialog : public QDialog {
    Q_OBJECT
public:
    // `maxLength` 0 or less: no maximum.
    TextEntryDialog(const QString& title, const QString& prompt, int maxLength);

    // What was typed, without spaces at either end.
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void type(const QString& characters);
    void erase();
    void clear();
    void setUpperCase(bool upper);
    void refresh();
    bool full() const;
    void refuse();

    QLineEdit* m_field = nullptr;
    QLabel* m_counter = nullptr;
    QLabel* m_warning = nullptr;
    QPushButton* m_shift = nullptr;
    std::vector<QPushButton*> m_letters;
    int m_maxLength;
    bool m_upper = true;
};

}  // namespace Gpe00002
