#include "InputGuard.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPointer>
#include <QSet>
#include <QTouchEvent>
#include <QWidget>

// Input that a guarded window ignored (debug level: QT_LOGGING_RULES="res.ui.input.debug=true").
Q_LOGGING_CATEGORY(lcInput, "res.ui.input", QtWarningMsg)

namespace InputGuard {

namespace {

int settleOverride = -1;

// A press stamped this long before its window was shown is not early input but a clock that went
// back (the window system's milliseconds wrap after 49 days on X11): it is let through.
constexpr qint64 kClockJumpMs = 60000;

bool isPointerOrKey(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::Wheel: return true;
    default: return false;
    }
}

class Filter : public QObject {
public:
    explicit Filter(QObject* parent) : QObject(parent) { m_started.start(); }

    void guard(QWidget& window) {
        if (m_windows.contains(&window)) return;
        m_windows.insert(&window, {});
        connect(&window, &QObject::destroyed, this, [this](QObject* gone) { m_windows.remove(gone); });
    }

    bool isGuarded(const QWidget& window) const { return m_windows.contains(&window); }

    // The present moment on the window system's clock: the last stamp seen and the time since it
    // was read. An input read late makes it a little early, never late.
    qint64 now() const { return m_stamped ? m_lastStamp + m_sinceStamp.elapsed() : m_started.elapsed(); }

    qint64 eventTime(const QInputEvent& event) const {
        return event.timestamp() ? static_cast<qint64>(event.timestamp()) : now();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show) {
            if (const auto found = m_windows.find(watched); found != m_windows.end()) {
                found->stamped = m_stamped;
                found->at = now();
                found->since.start();
            }
            return false;
        }
        // A shortcut is tried before its key is delivered: one taken here reaches the key press
        // below, which is then ignored.
        if (type == QEvent::ShortcutOverride) {
            if (!watched->isWidgetType() || !settling(static_cast<QWidget*>(watched), event)) return false;
            event->accept();
            return true;
        }
        if (!isPointerOrKey(type) || !event->spontaneous()) return false;
        const auto* input = static_cast<const QInputEvent*>(event);
        if (input->timestamp()) {
            m_stamped = true;
            m_lastStamp = static_cast<qint64>(input->timestamp());
            m_sinceStamp.start();
        }
        // Qt delivers the window system's input to the window first, then to the widget under
        // it: only the widget's delivery is held back, so that Qt's own bookkeeping stays whole.
        if (!watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);

        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const Qt::MouseButton button = static_cast<const QMouseEvent*>(event)->button();
            // The double click Qt makes of a second press follows that press at once.
            if (type == QEvent::MouseButtonDblClick && (m_pressedButtons & button)) return true;
            if (!settling(widget, event)) {
                m_pressedButtons &= ~button;
                return false;
            }
            m_pressedButtons |= button;
            return ignored(widget, event);
        }
        case QEvent::MouseButtonRelease: {
            const Qt::MouseButton button = static_cast<const QMouseEvent*>(event)->button();
            if (!(m_pressedButtons & button)) return false;
            m_pressedButtons &= ~button;
            return ignored(widget, event);
        }
        case QEvent::MouseMove:
            // A finger held down since before the screen does not drag on it either.
            return (static_cast<const QMouseEvent*>(event)->buttons() & m_pressedButtons) != 0;
        case QEvent::KeyPress: {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (key->isAutoRepeat() && m_pressedKeys.contains(key->key())) return true;
            if (!settling(widget, event)) {
                m_pressedKeys.remove(key->key());
                return false;
            }
            m_pressedKeys.insert(key->key());
            return ignored(widget, event);
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (!m_pressedKeys.contains(key->key())) return false;
            if (!key->isAutoRepeat()) m_pressedKeys.remove(key->key());
            return true;
        }
        case QEvent::TouchBegin:
            m_touching = settling(widget, event);
            if (!m_touching) return false;
            event->accept();
            return ignored(widget, event);
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
            if (!m_touching) return false;
            if (type != QEvent::TouchUpdate) m_touching = false;
            event->accept();
            return true;
        default: return false;
        }
    }

private:
    struct Shown {
        bool stamped = false;  // some input had been seen: `at` is on the window system's clock
        qint64 at = 0;
        QElapsedTimer since;
    };

    // Whether `event` began before the window of `widget` was shown or within its settle time.
    bool settling(const QWidget* widget, const QEvent* event) const {
        const int settle = settleMs();
        if (settle <= 0) return false;
        const auto found = m_windows.constFind(widget->window());
        if (found == m_windows.constEnd() || !found->since.isValid()) return false;
        const auto* input = static_cast<const QInputEvent*>(event);
        // An event without a stamp (a program's) is taken as happening when it is read.
        const qint64 age = found->stamped && input->timestamp() ? static_cast<qint64>(input->timestamp()) - found->at
                                                                : found->since.elapsed();
        return age > -kClockJumpMs && age < settle;
    }

    static bool ignored(const QWidget* widget, const QEvent* event) {
        qCDebug(lcInput) << "ignored" << event->type() << "on" << widget->objectName() << "in"
                         << widget->window()->objectName() << widget->window()->windowTitle();
        return true;
    }

    QHash<const QObject*, Shown> m_windows;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceStamp;
    qint64 m_lastStamp = 0;
    bool m_stamped = false;
    Qt::MouseButtons m_pressedButtons;  // pressed while ignored: their releases are ignored too
    QSet<int> m_pressedKeys;
    bool m_touching = false;
};

Filter* filter() {
    static QPointer<Filter> instance;
    if (!instance && QCoreApplication::instance()) {
        instance = new Filter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(instance);
    }
    return instance;
}

}  // namespace

int settleMs() {
    if (settleOverride >= 0) return settleOverride;
    bool set = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("RES00011_SETTLE_MS", &set);
    if (set && fromEnvironment >= 0) return fromEnvironment;
    return QGuiApplication::platformName() == QLatin1String("offscreen") ? 0 : kDefaultSettleMs;
}

void setSettleMs(int ms) {
    settleOverride = ms < 0 ? -1 : ms;
    filter();
}

void watch() { filter(); }

void guard(QWidget& window) {
    if (Filter* f = filter()) f->guard(window);
}

bool isGuarded(const QWidget& window) {
    const Filter* f = filter();
    return f && f->isGuarded(window);
}

qint64 now() {
    if (const Filter* f = filter()) return f->now();
    return 0;
}

qint64 eventTime(const QInputEvent& event) {
    if (const Filter* f = filter()) return f->eventTime(event);
    return static_cast<qint64>(event.timestamp());
}

}  // namespace InputGuard
