#include "screens/ConfirmDialog.h"

#include "TouchStyle.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Gpe00002 {

ConfirmDialog::ConfirmDialog(const QString& title, const QString& question, bool enterConfirms)
    : m_enterConfirms(enterConfirms) {
    QVBoxLayout* content = Style::frameDialog(*this, title);
    QLabel* text = Style::textLabel(question, QStringLiteral("question"), this);
    text->setMinimumHeight(2 * QFontMetrics(text->font()).height());
    content->addWidget(text);
    content->addSpacing(6);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    QPushButton* cancel = Style::touchButton(QStringLiteral("Cancela"), QStringLiteral("cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QPushButton* confirm = Style::touchButton(QStringLiteral("Confirma"), QStringLiteral("confirm"), this);
    // The answer that Enter gives stands out.
    (enterConfirms ? confirm : cancel)
        ->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; }"
                                       "QPushButton:pressed { background: %2; }")
                            .arg(Style::kAccent.name(), Style::kAccent.darker(130).name()));
    connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
    for (QPushButton* button : {cancel, confirm}) {
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
