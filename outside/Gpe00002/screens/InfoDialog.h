#pragma once
// A small message dialog: a title, one or more lines of text and a single button. Enter, Return
// and Esc close it as the button does.

#include <QDialog>
#include <QStringList>

namespace Gpe00002 {

class InfoDialog : public QDialog {
    Q_OBJECT
public:
    // Each line is a label of its own, named "line1", "line2", ...; the button is named "close".
    InfoDialog(const QString& title, const QStringList& lines, const QString& buttonText);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace Gpe00002
