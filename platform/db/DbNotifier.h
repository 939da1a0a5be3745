#pragma once
// Tells a screen that shows the database live when other connections committed something. On
// PostgreSQL it LISTENs on named channels over a connection of its own; on SQLite it watches
// "PRAGMA data_version" on a timer. Everything runs in the Qt event loop of the thread that
// owns it, without blocking it: a lost connection is opened again in the background, after a
// pause that grows from 0.5 s to 5 s, and caughtUp() says when it listens again.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class DbNotifier : public QObject {
    Q_OBJECT
public:
    // `connectionString` as TADOConnection takes it (its Provider picks the engine, else
    // `provider`). Throws EDatabaseError when it cannot be parsed or names no known provider.
    DbNotifier(const QString& connectionString, const QStringList& channels, QObject* parent = nullptr,
               const QString& provider = {});
    ~DbNotifier() override;

    // Starts listening and returns at once; caughtUp() follows when it listens. Failures to
    // connect are logged and retried, never thrown.
    void start();
    void stop();
    // Connected and listening now.
    bool isListening() const;

    // SQLite: how often data_version is read (250 ms by default). Takes effect at once.
    void setPollInterval(int milliseconds);
    int pollInterval() const;

signals:
    // A notification: its channel, its payload and the server process of the sender. SQLite
    // sends one with an empty channel and payload (and pid 0) for any number of commits seen
    // at once.
    void notified(const QString& channel, const QString& payload, int senderPid);
    // Listening (again): what happened while it did not must be read afresh.
    void caughtUp();

private:
    class Backend;
    class PostgresBackend;
    class SqliteBackend;
    std::unique_ptr<Backend> m_backend;
};
