#pragma once
// A question answered with "Confirma" (Enter, Return) or "Cancela" (Esc).

#include <QDialog>

namespace Gpe00002 {

// The question is the label "question"; the buttons are "confirm" and "cancel".
class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    ConfirmDialog(const QString& title, const QString& question);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace Gpe00002
