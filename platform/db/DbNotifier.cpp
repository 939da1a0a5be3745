#include "DbNotifier.h"

#include "ConnectionString.h"
#include "DbLog.h"
#include "drivers/DbDriver.h"
#include "drivers/PostgresDriver.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <libpq-fe.h>
#include <sqlite3.h>

class DbNotifier::Backend {
public:
    explicit Backend(DbNotifier* owner) : m_owner(owner) {}
    virtual ~Backend() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool listening() const = 0;
    virtual void setPollInterval(int) {}
    virtual int pollInterval() const { return 0; }

protected:
    DbNotifier* m_owner;
};

namespace {

QString pgErrorText(const char* message) {
    QString text = QString::fromUtf8(message).trimmed();
    text.replace(u'\n', u' ');
    return ConnectionString::maskPasswords(text);
}

}  // namespace

// The listening connection goes through libpq's non-blocking calls only: connecting
// (PQconnectStart/PQconnectPoll), sending the LISTENs and reading are each driven by the
// socket's readiness, so that a server that is slow or gone never holds up the event loop.
class DbNotifier::PostgresBackend final : public DbNotifier::Backend {
public:
    PostgresBackend(DbNotifier* owner, const ConnectionString& options, const QStringList& channels)
        : Backend(owner), m_channels(channels) {
        const TTimeouts timeouts = TTimeouts::from(options);
        m_settings = postgresServerSettings(options);
        // libpq's connect_timeout counts for each host, and only for a blocking connect: a
        // timer of ours stands for it, the hosts' times added up.
        m_connectMs = timeouts.connectSeconds * 1000 * static_cast<int>(options.servers().size());
        auto add = [&](const char* keyword, const QString& value) {
            if (!value.isEmpty()) m_settings.emplace_back(keyword, value.toUtf8());
        };
        add("dbname", options.value(QStringLiteral("Initial Catalog")));
        add("user", options.value(QStringLiteral("User ID")));
        add("password", options.value(QStringLiteral("Password")));
        add("connect_timeout", QString::number(timeouts.connectSeconds));
        add("application_name", options.value(QStringLiteral("Application Name"), QStringLiteral("res00011")));
        add("client_encoding", QStringLiteral("UTF8"));
        // A server gone without a word is noticed by the keep-alives while nothing arrives.
        add("keepalives_idle", QStringLiteral("10"));
        add("keepalives_interval", QStringLiteral("5"));
        add("keepalives_count", QStringLiteral("3"));
        for (const auto& [keyword, value] : m_settings) {
            m_keywords.push_back(keyword.constData());
            m_values.push_back(value.constData());
        }
        m_keywords.push_back(nullptr);
        m_values.push_back(nullptr);

        m_retry.setSingleShot(true);
        QObject::connect(&m_retry, &QTimer::timeout, owner, [this] { connectStart(); });
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, owner,
                         [this] { lose(QStringLiteral("no connection within %1 ms").arg(m_connectMs)); });
    }

    ~PostgresBackend() override { close(); }

    void start() override {
        if (m_running) return;
        m_running = true;
        m_attempt = 0;
        connectStart();
    }

    void stop() override {
        m_running = false;
        m_retry.stop();
        close();
    }

    bool listening() const override { return m_state == State::Listening; }

private:
    enum class State { Idle, Connecting, Subscribing, Listening };

    void connectStart() {
        close();
        if (!m_running) return;
        m_conn = PQconnectStartParams(m_keywords.data(), m_values.data(), 0);
        if (!m_conn || PQstatus(m_conn) == CONNECTION_BAD) {
            lose(m_conn ? pgErrorText(PQerrorMessage(m_conn)) : QStringLiteral("out of memory"));
            return;
        }
        m_state = State::Connecting;
        m_polling = PGRES_POLLING_WRITING;
        m_deadline.start(m_connectMs);
        watch();
    }

    // Points the socket notifiers at the connection's current socket (libpq opens a new one for
    // each host it tries) and enables the direction that is waited for.
    void watch() {
        const int fd = PQsocket(m_conn);
        if (fd != m_fd) {
            dropNotifiers();
            m_fd = fd;
            if (fd < 0) return;
            m_read = new QSocketNotifier(fd, QSocketNotifier::Read, m_owner);
            m_write = new QSocketNotifier(fd, QSocketNotifier::Write, m_owner);
            QObject::connect(m_read, &QSocketNotifier::activated, m_owner, [this] { advance(true); });
            QObject::connect(m_write, &QSocketNotifier::activated, m_owner, [this] { advance(false); });
        }
        const bool connecting = m_state == State::Connecting;
        m_read->setEnabled(!connecting || m_polling == PGRES_POLLING_READING);
        m_write->setEnabled(connecting ? m_polling == PGRES_POLLING_WRITING : m_unsent);
    }

    void advance(bool readable) {
        if (!m_conn) return;
        if (m_state == State::Connecting) {
            m_polling = PQconnectPoll(m_conn);
            if (m_polling == PGRES_POLLING_FAILED) return lose(pgErrorText(PQerrorMessage(m_conn)));
            if (m_polling == PGRES_POLLING_OK) return subscribe();
            return watch();
        }
        if (readable && !PQconsumeInput(m_conn)) return lose(pgErrorText(PQerrorMessage(m_conn)));
        if (!flush()) return;
        if (PQstatus(m_conn) == CONNECTION_BAD) return lose(pgErrorText(PQerrorMessage(m_conn)));
        if (m_state == State::Subscribing) {
            while (!PQisBusy(m_conn)) {
                PGresult* result = PQgetResult(m_conn);
                if (!result) {
                    m_state = State::Listening;
                    m_attempt = 0;
                    qCInfo(lcDatabase).noquote() << "notifications: listening on" << m_channels.join(u',');
                    // Notifications that came with the answer are for after the catch-up.
                    const quint64 generation = m_generation;
                    emit m_owner->caughtUp();
                    if (generation != m_generation) return;
                    break;
                }
                const bool ok =
                    PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_EMPTY_QUERY;
                const QString text = pgErrorText(PQresultErrorMessage(result));
                PQclear(result);
                // A refused LISTEN would be refused again at once: it is retried like a lost
                // connection, with growing pauses, and logged each time.
                if (!ok) return lose(text);
            }
        }
        deliver();
        if (m_conn) watch();
    }

    void subscribe() {
        m_deadline.stop();
        if (PQsetnonblocking(m_conn, 1) != 0) return lose(pgErrorText(PQerrorMessage(m_conn)));
        QByteArray sql;
        for (const QString& channel : m_channels) {
            const QByteArray name = channel.toUtf8();
            char* quoted = PQescapeIdentifier(m_conn, name.constData(), static_cast<size_t>(name.size()));
            if (!quoted) return lose(pgErrorText(PQerrorMessage(m_conn)));
            sql += QByteArrayLiteral("LISTEN ") + quoted + ';';
            PQfreemem(quoted);
        }
        // No channel at all still ends in a caught-up: the answer to an empty query.
        if (!PQsendQuery(m_conn, sql.constData())) return lose(pgErrorText(PQerrorMessage(m_conn)));
        m_state = State::Subscribing;
        if (flush()) watch();
    }

    // Sends what libpq still holds; false (after giving the connection up) on failure.
    bool flush() {
        const int rc = PQflush(m_conn);
        if (rc < 0) {
            lose(pgErrorText(PQerrorMessage(m_conn)));
            return false;
        }
        m_unsent = rc == 1;
        return true;
    }

    void deliver() {
        const quint64 generation = m_generation;
        while (m_conn && generation == m_generation) {
            PGnotify* notify = PQnotifies(m_conn);
            if (!notify) break;
            const QString channel = QString::fromUtf8(notify->relname);
            const QString payload = QString::fromUtf8(notify->extra);
            const int pid = notify->be_pid;
            PQfreemem(notify);
            emit m_owner->notified(channel, payload, pid);
        }
    }

    // The connection failed or was lost: nothing is shown, the attempt is logged and repeated
    // after a pause that grows with each failure in a row.
    void lose(const QString& why) {
        const bool wasListening = m_state == State::Listening;
        close();
        static constexpr int kPausesMs[] = {500, 1000, 2000, 4000, 5000};
        const int pause = kPausesMs[std::min<std::size_t>(m_attempt, std::size(kPausesMs) - 1)];
        ++m_attempt;
        if (wasListening)
            qCWarning(lcDatabase).noquote() << "notifications: connection lost:" << why;
        else
            qCInfo(lcDatabase).noquote() << "notifications: cannot listen:" << why;
        if (m_running) m_retry.start(pause);
    }

    void dropNotifiers() {
        // A notifier may be the one whose signal is being handled: it goes when that is done.
        for (QSocketNotifier* notifier : {m_read, m_write}) {
            if (!notifier) continue;
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
        m_read = m_write = nullptr;
        m_fd = -1;
    }

    void close() {
        ++m_generation;
        m_deadline.stop();
        dropNotifiers();
        if (m_conn) PQfinish(m_conn);
        m_conn = nullptr;
        m_state = State::Idle;
        m_unsent = false;
    }

    QStringList m_channels;
    std::vector<std::pair<QByteArray, QByteArray>> m_settings;
    std::vector<const char*> m_keywords, m_values;
    int m_connectMs = 0;
    PGconn* m_conn = nullptr;
    State m_state = State::Idle;
    PostgresPollingStatusType m_polling = PGRES_POLLING_WRITING;
    bool m_running = false;
    bool m_unsent = false;      // libpq holds part of a query the socket did not take yet
    std::size_t m_attempt = 0;  // failures in a row
    quint64 m_generation = 0;   // changes when the connection goes, for callbacks that outlive it
    int m_fd = -1;
    QSocketNotifier* m_read = nullptr;
    QSocketNotifier* m_write = nullptr;
    QTimer m_retry;
    QTimer m_deadline;
};

// SQLite has no notifications: data_version, read on a connection of its own, changes when
// another connection committed. The file is opened read-only and never waited on: a read that
// meets a writer's lock is skipped until the next tick.
class DbNotifier::SqliteBackend final : public DbNotifier::Backend {
public:
    SqliteBackend(DbNotifier* owner, const ConnectionString& options)
        : Backend(owner), m_path(options.value(QStringLiteral("Data Source"))) {
        if (m_path.isEmpty())
            throw EDatabaseError(QStringLiteral("SQLite: the connection string names no Data Source"));
        m_timer.setInterval(kDefaultPollMs);
        QObject::connect(&m_timer, &QTimer::timeout, owner, [this] { tick(); });
    }

    ~SqliteBackend() override { close(); }

    void start() override {
        if (m_timer.isActive()) return;
        m_timer.start();
        // The first look comes from the event loop too, as the server's caught-up does.
        QTimer::singleShot(0, m_owner, [this] {
            if (m_timer.isActive() && !m_statement) tick();
        });
    }

    void stop() override {
        m_timer.stop();
        close();
    }

    bool listening() const override { return m_statement != nullptr; }
    void setPollInterval(int milliseconds) override { m_timer.setInterval(std::max(1, milliseconds)); }
    int pollInterval() const override { return m_timer.interval(); }

private:
    static constexpr int kDefaultPollMs = 250;

    void tick() {
        if (!m_statement) {
            if (!open()) return;
            m_version = m_read;
            emit m_owner->caughtUp();
            return;
        }
        const int rc = read();
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) return;
        if (rc != SQLITE_OK) {
            qCWarning(lcDatabase).noquote() << "notifications: cannot read" << m_path << ":" << m_error;
            close();
            return;
        }
        if (m_read == m_version) return;
        m_version = m_read;
        emit m_owner->notified(QString(), QString(), 0);
    }

    bool open() {
        const int rc = sqlite3_open_v2(m_path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr);
        if (rc == SQLITE_OK) sqlite3_prepare_v2(m_db, "PRAGMA data_version", -1, &m_statement, nullptr);
        if (rc != SQLITE_OK || !m_statement || read() != SQLITE_OK) {
            const QString why = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
            if (why != m_lastFailure)
                qCInfo(lcDatabase).noquote() << "notifications: cannot watch" << m_path << ":" << why;
            m_lastFailure = why;
            close();
            return false;
        }
        m_lastFailure.clear();
        return true;
    }

    // Reads data_version into m_read.
    int read() {
        int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW) {
            m_read = sqlite3_column_int64(m_statement, 0);
            rc = SQLITE_OK;
        } else {
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        }
        sqlite3_reset(m_statement);
        return rc;
    }

    void close() {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        sqlite3_close(m_db);
        m_db = nullptr;
    }

    QString m_path;
    QTimer m_timer;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    sqlite3_int64 m_version = 0, m_read = 0;
    QString m_error, m_lastFailure;
};

DbNotifier::DbNotifier(const QString& connectionString, const QStringList& channels, QObject* parent,
                       const QString& provider)
    : QObject(parent) {
    const ConnectionString options = ConnectionString::parse(connectionString);
    const QString engine = options.value(QStringLiteral("Provider"), provider).trimmed();
    if (engine.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0)
        m_backend = std::make_unique<PostgresBackend>(this, options, channels);
    else if (engine.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        m_backend = std::make_unique<SqliteBackend>(this, options);
    else
        throw EDatabaseError(
            QStringLiteral("notifications: provider '%1' is not available (use SQLite or PostgreSQL)").arg(engine));
}

DbNotifier::~DbNotifier() = default;

void DbNotifier::start() { m_backend->start(); }
void DbNotifier::stop() { m_backend->stop(); }
bool DbNotifier::isListening() const { return m_backend->listening(); }
void DbNotifier::setPollInterval(int milliseconds) { m_backend->setPollInterval(milliseconds); }
int DbNotifier::pollInterval() const { return m_backend->pollInterval(); }
