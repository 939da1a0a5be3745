#include "screens/InfoDialog.h"

#include "TouchStyle.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Gpe00002 {

InfoDialog::InfoDialog(const QString& title, const QStringList& lines, const QString& buttonText) {
    QVBoxLayout* content = Style::frameDialog(*this, title);
    for (int i = 0; i < lines.size(); ++i)
        content->addWidget(Style::textLabel(lines[i], QStringLiteral("line%1").arg(i + 1), this));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* close = Style::touchButton(buttonText, QStringLiteral("close"), this);
    close->setMinimumWidth(140);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    content->addLayout(buttons);
    setMinimumWidth(420);
}

void InfoDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Escape: accept(); break;
    default: QDialog::keyPressEvent(event);
    }
}

}  // namespace Gpe00002
