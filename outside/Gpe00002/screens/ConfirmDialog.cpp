#include "screens/ConfirmDialog.h"

#include "TouchStyle.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

namespace Gpe00002 {

ConfirmDialog::ConfirmDialog(const QString& title, const QString& question, bool enterConfirms)
    : ConfirmDialog(title, question, enterConfirms, QStringLiteral("Confirma"), QStringLiteral("Cancela"), false) {}

std::unique_ptr<ConfirmDialog> ConfirmDialog::undoNotice(const QString& title, const QString& text) {
    return std::unique_ptr<ConfirmDialog>(
        new ConfirmDialog(title, text, false, QStringLiteral("Desfazer"), QStringLiteral("OK"), true));
}

ConfirmDialog::ConfirmDialog(const QString& title, const QString& question, bool enterConfirms,
                             const QString& confirmText, const QString& cancelText, bool confirmFirst)
    : m_enterConfirms(enterConfirms) {
    QVBoxLayout* content = Style::frameDialog(*this, title);
    QLabel* text = Style::textLabel(question, QStringLiteral("question"), this);
    text->setMinimumHeight(2 * QFontMetrics(text->font()).height());
    content->addWidget(text);
    content->addSpacing(6);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    QPushButton* cancel = Style::touchButton(cancelText, QStringLiteral("cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QPushButton* confirm = Style::touchButton(confirmText, QStringLiteral("confirm"), this);
    // The answer that Enter gives stands out.
    (enterConfirms ? confirm : cancel)
        ->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; }"
                                       "QPushButton:pressed { background: %2; }")
                            .arg(Style::kAccent.name(), Style::kAccent.darker(130).name()));
    connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
    const std::array<QPushButton*, 2> order =
        confirmFirst ? std::array<QPushButton*, 2>{confirm, cancel} : std::array<QPushButton*, 2>{cancel, confirm};
    for (QPushButton* button : order) {
        button->setMinimumSize(std::max(button->minimumWidth(), 180), 64);
        buttons->addWidget(button);
    }
    content->addLayout(buttons);
    setMinimumWidth(560);
}

void ConfirmDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return: m_enterConfirms ? accept() : reject(); break;
    case Qt::Key_Escape: reject(); break;
    default: QDialog::keyPressEvent(event);
    }
}

}  // namespace Gpe00002
