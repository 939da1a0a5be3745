#pragma once
// A question answered with "Confirma" or "Cancela" (Esc). Enter and Return give the answer that
// stands out: "Confirma", or "Cancela" for a question where a wrong Enter would do harm.

#include <QDialog>

namespace Gpe00002 {

// The question is the label "question"; the buttons are "confirm" and "cancel".
class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    ConfirmDialog(const QString& title, const QString& question, bool enterConfirms = true);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_enterConfirms;
};

}  // namespace Gpe00002
