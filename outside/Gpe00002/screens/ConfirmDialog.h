#pragma once
// A question answered with "Confirma" or "Cancela" (Esc). Enter and Return give the answer that
// stands out: "Confirma", or "Cancela" for a question where a wrong Enter would do harm.

#include <QDialog>
#include <memory>

namespace Gpe00002 {

// The question is the label "question"; the buttons are "confirm" and "cancel".
class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    ConfirmDialog(const QString& title, const QString& question, bool enterConfirms = true);
    // A notice of a change done: "OK" (cancel, Enter) where Confirma stood on the question before
    // it, so that a second tap on Confirma closes the notice, and "Desfazer" (confirm) on the left.
    static std::unique_ptr<ConfirmDialog> undoNotice(const QString& title, const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    ConfirmDialog(const QString& title, const QString& question, bool enterConfirms, const QString& confirmText,
                  const QString& cancelText, bool confirmFirst);
    bool m_enterConfirms;
};

}  // namespace Gpe00002
