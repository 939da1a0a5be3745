#pragma once
// Drives the modal dialogs the routines open: the action runs inside the dialog's own event
// loop, on the dialog that is then modal.

#include "InputGuard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
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

// The input guard's settle time for one test.
struct SettleTime {
    explicit SettleTime(int ms) { InputGuard::setSettleMs(ms); }
    ~SettleTime() { InputGuard::setSettleMs(-1); }
    SettleTime(const SettleTime&) = delete;
    SettleTime& operator=(const SettleTime&) = delete;
};

// A finger on the touch screen, as the window system reports it: events stamped on its clock,
// which these tests keep on QTest's mouse clock, each `afterMs` after the input before.
namespace Finger {

inline ulong after(int ms) {
    QTest::lastMouseTimestamp += ms;
    return static_cast<ulong>(QTest::lastMouseTimestamp);
}

// Brings the clock to the present as the input guard reckons it, which the building of a screen
// has moved on: the input that follows is timed from the moment the screen appeared.
inline void sync() { QTest::lastMouseTimestamp = static_cast<int>(InputGuard::now()); }

inline void send(QWidget* widget, QEvent::Type type, int afterMs, QPoint at = {}) {
    if (at.isNull()) at = widget->rect().center();
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    event.setTimestamp(after(afterMs));
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(widget, &event);
}

inline void press(QWidget* widget, int afterMs, QPoint at = {}) { send(widget, QEvent::MouseButtonPress, afterMs, at); }
inline void release(QWidget* widget, int afterMs, QPoint at = {}) {
    send(widget, QEvent::MouseButtonRelease, afterMs, at);
}

// A tap: its press, or for the second tap of a double tap the double click Qt delivers in its
// place, and its release.
inline void tap(QWidget* widget, int afterMs, bool secondOfDouble = false, QPoint at = {}) {
    send(widget, secondOfDouble ? QEvent::MouseButtonDblClick : QEvent::MouseButtonPress, afterMs, at);
    release(widget, 1, at);
}

}  // namespace Finger
