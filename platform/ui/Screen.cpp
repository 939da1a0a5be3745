#include "Screen.h"

#include <QCursor>
#include <QDialog>
#include <QGuiApplication>

namespace {
int current = Screen::crDefault;
}

namespace Screen {

void setCursor(int cursor) {
    if (cursor == current) return;
    // The hourglass is an override cursor of the application; the default removes it.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (current != crDefault) QGuiApplication::restoreOverrideCursor();
        if (cursor == crHourGlass) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    current = cursor;
}

int cursor() { return current; }

int showModal(QDialog& dialog) {
    const int before = current;
    setCursor(crDefault);
    struct Restore {
        int cursor;
        ~Restore() { setCursor(cursor); }
    } restore{before};
    return dialog.exec();
}

}  // namespace Screen
