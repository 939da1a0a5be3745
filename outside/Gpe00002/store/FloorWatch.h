#pragma once
// Tells an open screen that the floor of one store changed: the package's notifications on the
// store's channel (PostgreSQL, over a listening connection of its own) or any commit seen through
// PRAGMA data_version (SQLite). Notifications that are not the package's are logged and dropped;
// a burst of them is one changed() per coalescing window; a listening connection that comes back
// is one changed() too, since what happened meanwhile was not heard. It only tells: the screen
// re-reads. Nothing here throws once constructed; failures to listen are logged and retried.

#include "core/Export.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class DbNotifier;

namespace Gpe00002 {

class PackageDatabase;

// The channel of a store's floor: "res00011_mesas_<filial>_<loja>", lower case, blanks and any
// character other than letters and digits left out (a channel is an identifier).
GPE00002_EXPORT QString floorChannel(const QString& filial, const QString& loja);

// Whether `payload` is one the package sends on a floor channel: a JSON object with the text
// "operacao", the array of table numbers "mesas" and "jornal" (the journal row, null when the
// change came from outside the package).
GPE00002_EXPORT bool floorPayloadIsOurs(const QString& payload);

// Installs (or installs again) the triggers that notify the floor's channels of changes made
// outside the package, on PostgreSQL; never on its own. False on SQLite, whose screens see every
// commit without them. Raises ERefusal with the database's reason when it cannot (the
// restaurant's tables outside the current schema, a user without the right to add triggers).
GPE00002_EXPORT bool installLiveFloor(PackageDatabase& db);

// Milliseconds on the monotonic clock that heardAt() uses.
GPE00002_EXPORT qint64 monotonicMs();

class GPE00002_EXPORT FloorWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kCoalesceMs = 200;

    // Watches the floor of `filial`/`loja` on the database of `connectionString` (the package's,
    // as PackageDatabase takes it). Throws EDatabaseError when the string cannot be parsed.
    FloorWatch(const QString& connectionString, const QString& filial, const QString& loja, QObject* parent = nullptr);
    // A watch fed only through take(): for screens driven by hand.
    explicit FloorWatch(QObject* parent = nullptr);
    ~FloorWatch() override;

    void start();
    bool isListening() const;
    // SQLite: how often the database is looked at.
    void setPollInterval(int milliseconds);

    // A notification as it arrived: the package's own, or SQLite's empty one, asks for a re-read;
    // anything else is logged and dropped.
    void take(const QString& channel, const QString& payload);
    // Asks for a re-read as a notification would (a connection that is back).
    void poke();

    // On monotonicMs()'s clock, when the first change that the coming or last changed() reports
    // was heard: for measuring the time to the repaint.
    qint64 heardAt() const { return m_heardAt; }

signals:
    // Something on the floor changed: re-read. At most once per kCoalesceMs.
    void changed();

private:
    void fire();

    QString m_channel;
    DbNotifier* m_notifier = nullptr;
    QTimer m_coalesce;
    QElapsedTimer m_lastFired;
    QElapsedTimer m_lastIgnoredLog;
    int m_ignored = 0;
    qint64 m_heardAt = 0;
    bool m_pending = false;
};

}  // namespace Gpe00002
