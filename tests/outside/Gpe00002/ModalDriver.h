#pragma once
// Drives the modal dialogs the routines open: the action runs inside the dialog's own event
// loop, on the dialog that is then modal.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <functional>

// Retries every 10 ms while no dialog is modal yet, and fails after `attemptsLeft` tries.
inline void onModal(std::function<void(QWidget*)> action, int attemptsLeft = 100, int delayMs = 0) {
    QTimer::singleShot(delayMs, [action = std::move(action), attemptsLeft]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) return action(modal);
        if (attemptsLeft > 0) return onModal(std::move(action), attemptsLeft - 1, 10);
        ADD_FAILURE() << "no modal dialog was shown";
    });
}

inline QString labelText(QWidget* dialog, const char* name) {
    auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QString::fromLatin1(name));
}

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
