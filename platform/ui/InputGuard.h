#pragma once
// Keeps a hurried finger from acting on a screen it has not seen. A guarded window ignores every
// press (mouse press, double click, touch begin) and key press that began before it was shown or
// within its first settle time, together with the release (and the moves and key repeats) that
// belong to such a press; afterwards its input acts as usual. Buttons act on release inside the
// button, as Qt's do, so a press that is ignored never clicks.
//
// One application event filter, installed with the first guarded window, watches the input of
// the whole application and notes when each guarded window is shown. Times are taken from the
// events' timestamps (the window system's clock), so that input that waited in the queue while
// the application was busy building a screen counts from when it happened, not from when it was
// read. Events the program sends itself (not spontaneous) are never held back.
//
// The settle time is settleMs(): kDefaultSettleMs (300 ms). The environment variable
// RES00011_SETTLE_MS sets another for the process (0 turns the guard off), and setSettleMs sets
// one for tests. On the "offscreen" platform (tests, pictures, scripted runs: no finger) it is 0
// unless the variable or setSettleMs says otherwise, so that widget tests that click at once keep
// working; tests of the guard set it themselves.

#include <QtGlobal>

class QInputEvent;
class QWidget;

namespace InputGuard {

constexpr int kDefaultSettleMs = 300;

// The settle time in milliseconds; 0 when the guard is off.
int settleMs();
// Sets the settle time (tests); a negative value goes back to the default. The input is watched
// from then on, so that the clock is known before the first guarded window is shown (until
// then, a window that is shown before any input was seen counts its time from when it was shown).
void setSettleMs(int ms);

// Starts watching the input now, without guarding anything: the window that opens the first
// guarded screen (the menu) calls it, so that the clock is known before that screen is shown.
void watch();

// Guards a top-level window from now on, each time it is shown. The menu form is not guarded:
// its fixed layout is its own.
void guard(QWidget& window);
bool isGuarded(const QWidget& window);

// The present moment in milliseconds on the window system's clock, as the last input tells it:
// its timestamp and the time since it was read.
qint64 now();
// When `event` happened, on the same clock: its timestamp, or for one that carries none, now().
qint64 eventTime(const QInputEvent& event);

}  // namespace InputGuard
