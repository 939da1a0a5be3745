#include "PostgresDriver.h"

#include "../ConnectionString.h"
#include "../DbLog.h"
#include "../TField.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <libpq-fe.h>
#include <poll.h>
#include <string_view>
#include <unordered_map>

namespace {

// Type identifiers of the built-in types (pg_type.oid), fixed since the first releases.
enum : Oid {
    kBool = 16,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700,
};

TFieldType typeOf(Oid oid) {
    switch (oid) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
    case kFloat4:
    case kFloat8:
    case kNumeric: return TFieldType::ftFloat;
    case kBool: return TFieldType::ftBoolean;
    case kDate:
    case kTimestamp:
    case kTimestampTz: return TFieldType::ftDateTime;
    default: return TFieldType::ftString;
    }
}

QString columnName(const char* name) {
    const QString text = QString::fromUtf8(name);
    // Unquoted identifiers arrive folded to lower case; the statements and their readers
    // name them in upper case.
    return text == text.toLower() ? text.toUpper() : text;
}

class PostgresDriver final : public DbDriver {
public:
    explicit PostgresDriver(const ConnectionString& options) {
        const TTimeouts timeouts = TTimeouts::from(options);
        for (const ConnectionString::Server& server : options.servers())
            m_servers.append(
                QStringLiteral("%1:%2").arg(server.host.isEmpty() ? QStringLiteral("localhost") : server.host,
                                            server.port.isEmpty() ? QStringLiteral("5432") : server.port));
        m_settings = postgresServerSettings(options);
        auto add = [&](const char* keyword, const QString& value) {
            if (!value.isEmpty()) m_settings.emplace_back(keyword, value.toUtf8());
        };
        add("dbname", options.value(QStringLiteral("Initial Catalog")));
        add("user", options.value(QStringLiteral("User ID")));
        add("password", options.value(QStringLiteral("Password")));
        add("connect_timeout", QString::number(timeouts.connectSeconds));
        add("application_name", options.value(QStringLiteral("Application Name")));
        add("client_encoding", QStringLiteral("UTF8"));
        // A dead peer is noticed by the keep-alives even while nothing is sent.
        add("keepalives_idle", QStringLiteral("10"));
        add("keepalives_interval", QStringLiteral("5"));
        add("keepalives_count", QStringLiteral("3"));
        // The server ends a statement (and a wait for a lock) at the command time-out, ends a
        // transaction left idle by a terminal that froze, and stops a statement whose client went
        // away, so that a killed terminal writes nothing afterwards.
        m_sessionTimeoutMs = timeouts.commandSeconds * 1000;
        QString serverOptions = QStringLiteral(
                                    "-c statement_timeout=%1 -c lock_timeout=%1 "
                                    "-c idle_in_transaction_session_timeout=%2 "
                                    "-c client_connection_check_interval=1000")
                                    .arg(m_sessionTimeoutMs)
                                    .arg(kIdleTransactionMs);
        const QString schema = options.value(QStringLiteral("Schema"));
        if (!schema.isEmpty()) serverOptions += QStringLiteral(" -c search_path=%1").arg(schema);
        add("options", serverOptions);
        m_timeoutMs = m_sessionTimeoutMs;
        connect();
    }

    ~PostgresDriver() override { PQfinish(m_conn); }

    TSqlDialect dialect() const override { return TSqlDialect::PostgreSQL; }
    QString placeholder(int index) const override { return QStringLiteral("$%1").arg(index + 1); }

    TQueryResult query(const QString& sql, const std::vector<QVariant>& params, int timeoutMs) override {
        Prepared* statement = nullptr;
        Result result(run(sql, params, timeoutMs, &statement));
        TQueryResult out;
        const int columns = PQnfields(result.get());
        const int rows = PQntuples(result.get());
        // A prepared statement's columns stay what they were (the server refuses to run it
        // otherwise), so they are described at its first run only.
        if (!statement->described || statement->columns.size() != static_cast<std::size_t>(columns)) {
            statement->columns = describe(result.get());
            statement->described = true;
        }
        out.columns = statement->columns;
        out.rows.resize(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            TRecord& row = out.rows[static_cast<std::size_t>(r)];
            row.resize(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result.get(), r, c)) continue;
                const char* data = PQgetvalue(result.get(), r, c);
                const std::string_view text(data, static_cast<std::size_t>(PQgetlength(result.get(), r, c)));
                TFieldValue& value = row[static_cast<std::size_t>(c)];
                switch (out.columns[static_cast<std::size_t>(c)].type) {
                case TFieldType::ftFloat: {
                    double number = 0;
                    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
                    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
                        throw EADOError(
                            QStringLiteral("PostgreSQL: column %1 holds '%2', which is not a number")
                                .arg(out.columns[static_cast<std::size_t>(c)].name, QString::fromUtf8(data)));
                    value = number;
                    break;
                }
                case TFieldType::ftBoolean: value = text == "t"; break;
                case TFieldType::ftDateTime: {
                    TDateTimeValue when;
                    // A time zone suffix (timestamptz) is dropped: the wall-clock time counts.
                    std::string_view wallClock = text.substr(0, std::min<std::size_t>(text.size(), 26));
                    const auto zone = wallClock.find_first_of("+-", 19);
                    if (zone != std::string_view::npos) wallClock = wallClock.substr(0, zone);
                    if (!parseDateTimeText(wallClock, when))
                        throw EADOError(
                            QStringLiteral("PostgreSQL: column %1 holds '%2', which is not a date and time")
                                .arg(out.columns[static_cast<std::size_t>(c)].name, QString::fromUtf8(data)));
                    value = when;
                    break;
                }
                default: value = std::string(text); break;
                }
            }
        }
        return out;
    }

    qint64 execute(const QString& sql, const std::vector<QVariant>& params, int timeoutMs) override {
        Prepared* statement = nullptr;
        Result result(run(sql, params, timeoutMs, &statement));
        const char* affected = PQcmdTuples(result.get());
        return affected && *affected ? QByteArray(affected).toLongLong() : 0;
    }

    void executeScript(const QString& sql, int timeoutMs) override {
        const QString statement = sql.trimmed();
        const bool commit = statement.compare(QLatin1String("COMMIT"), Qt::CaseInsensitive) == 0;
        if (m_transactionLost) {
            // The server rolled the transaction back when the connection went; a rollback asked
            // for now has nothing left to do, anything else must not run outside it.
            if (statement.compare(QLatin1String("ROLLBACK"), Qt::CaseInsensitive) == 0) {
                m_transactionLost = false;
                return;
            }
            throw EADOError(
                QStringLiteral("PostgreSQL: the connection was lost during a transaction, which was rolled back"),
                TDbFailure::Lost);
        }
        try {
            prepareToSend(timeoutMs);
            if (!PQsendQuery(m_conn, sql.toUtf8().constData())) failSend();
            Result result(awaitResult(timeoutMs));
            check(result.get());
        } catch (const EADOError& error) {
            if (!commit || error.failure() != TDbFailure::Lost) throw;
            // The transaction ended with the COMMIT, committed or not: the server may have
            // committed it just before the connection went. Nothing is left to roll back, and
            // the caller is told that the outcome is not known.
            m_transactionLost = false;
            throw EADOError(error.message() + QStringLiteral(" (the connection was lost during COMMIT: whether the "
                                                             "transaction was committed is not known)"),
                            TDbFailure::Lost);
        }
    }

private:
    // A statement prepared on the current connection, and what its result looks like.
    struct Prepared {
        QByteArray name;
        int parameters = 0;
        quint64 lastUse = 0;
        bool described = false;
        std::vector<TFieldDesc> columns;
    };
    using PreparedMap = std::unordered_map<QString, Prepared>;

    static std::vector<TFieldDesc> describe(const PGresult* result) {
        std::vector<TFieldDesc> columns(static_cast<std::size_t>(PQnfields(result)));
        for (int c = 0; c < PQnfields(result); ++c) {
            TFieldDesc& column = columns[static_cast<std::size_t>(c)];
            column.name = columnName(PQfname(result, c));
            const Oid oid = PQftype(result, c);
            column.type = typeOf(oid);
            const int modifier = PQfmod(result, c);
            if ((oid == kVarchar || oid == kBpchar) && modifier >= 4) column.size = modifier - 4;
        }
        return columns;
    }

    struct Result {
        explicit Result(PGresult* r) : result(r) {}
        ~Result() { PQclear(result); }
        Result(const Result&) = delete;
        Result& operator=(const Result&) = delete;
        PGresult* get() const { return result; }
        PGresult* result;
    };

    // The stored settings as libpq takes them, each list ending with a null.
    struct Settings {
        std::vector<const char*> keywords, values;
    };
    Settings settings() const { return settingsOf(m_settings); }
    static Settings settingsOf(const std::vector<std::pair<QByteArray, QByteArray>>& list) {
        Settings out;
        for (const auto& [keyword, value] : list) {
            out.keywords.push_back(keyword.constData());
            out.values.push_back(value.constData());
        }
        out.keywords.push_back(nullptr);
        out.values.push_back(nullptr);
        return out;
    }

    // Opens the connection with the stored settings; throws EADOError when it cannot.
    void connect() {
        const Settings options = settings();
        m_conn = PQconnectdbParams(options.keywords.data(), options.values.data(), 0);
        if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
            const QString message = m_conn ? errorText(PQerrorMessage(m_conn)) : QStringLiteral("out of memory");
            PQfinish(m_conn);
            m_conn = nullptr;
            throw EADOError(QStringLiteral("PostgreSQL: cannot connect to %1: %2")
                                .arg(m_servers.join(QStringLiteral(", ")), message));
        }
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
        m_timeoutMs = m_sessionTimeoutMs;
    }

    // Closes a connection that can no longer be trusted; the next statement opens a new one.
    void dropConnection(const QString& why) {
        if (!m_conn) return;
        m_transactionLost = m_inTransaction;
        qCWarning(lcDatabase).noquote() << "PostgreSQL: closing the connection:" << why;
        PQfinish(m_conn);
        m_conn = nullptr;
        // Prepared statements live in the server's session: the next one starts without any.
        forgetAll();
    }

    // Gives up a connection whose server process stopped answering. That process may still hold
    // the statement sent last, unread: were it to go on later, it would run it after the caller
    // was told it failed. So the server is asked, on a connection of its own, to end it; a
    // process that is stopped ends as soon as it runs again, before it reads anything more.
    // Best effort, within kCleanupMs: a server that does not answer at all cannot run it either.
    void abandonConnection(const QString& why) {
        const int backend = m_conn ? PQbackendPID(m_conn) : 0;
        // The process lives on the server this connection reached, which need not be the first
        // of a list: the cleanup goes to that one only, whatever it now accepts.
        std::vector<std::pair<QByteArray, QByteArray>> sameServer;
        if (m_conn) {
            const QByteArray host = PQhost(m_conn), port = PQport(m_conn);
            for (const auto& setting : m_settings)
                if (setting.first != "host" && setting.first != "port" && setting.first != "target_session_attrs")
                    sameServer.push_back(setting);
            if (!host.isEmpty()) sameServer.emplace_back("host", host);
            if (!port.isEmpty()) sameServer.emplace_back("port", port);
        }
        dropConnection(why);
        if (backend <= 0) return;
        const Settings options = settingsOf(sameServer);
        PGconn* cleanup = PQconnectStartParams(options.keywords.data(), options.values.data(), 0);
        const QDeadlineTimer deadline(kCleanupMs);
        bool ended = false;
        for (PostgresPollingStatusType state = PGRES_POLLING_WRITING; cleanup && state != PGRES_POLLING_FAILED;) {
            if (state == PGRES_POLLING_OK) {
                const QByteArray sql = QByteArray("SELECT pg_terminate_backend(") + QByteArray::number(backend) + ')';
                if (!PQsendQuery(cleanup, sql.constData())) break;
                while (PQisBusy(cleanup) && waitFor(cleanup, POLLIN, deadline) && PQconsumeInput(cleanup)) {}
                while (PGresult* result = PQisBusy(cleanup) ? nullptr : PQgetResult(cleanup)) {
                    ended = ended || PQresultStatus(result) == PGRES_TUPLES_OK;
                    PQclear(result);
                }
                break;
            }
            if (!waitFor(cleanup, state == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline)) break;
            state = PQconnectPoll(cleanup);
        }
        PQfinish(cleanup);
        if (!ended) qCWarning(lcDatabase) << "PostgreSQL: could not end the server process" << backend << "given up";
    }

    // Before a statement is sent: a connection that was dropped is opened again (the session is
    // then prepared again, as after a connect), and the statement's time limit is put in force.
    void prepareToSend(int timeoutMs) {
        if (!m_conn) {
            connect();
            qCWarning(lcDatabase).noquote() << "PostgreSQL: connection opened again";
            if (onReconnected) onReconnected();
        }
        const PGTransactionStatusType status = PQtransactionStatus(m_conn);
        m_inTransaction = status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
        if (timeoutMs != m_timeoutMs) {
            const QByteArray set =
                QStringLiteral("SET statement_timeout = %1; SET lock_timeout = %1").arg(timeoutMs).toUtf8();
            if (!PQsendQuery(m_conn, set.constData())) failSend();
            Result result(awaitResult(m_timeoutMs));
            check(result.get());
            m_timeoutMs = timeoutMs;
        }
    }

    [[noreturn]] void failSend() {
        const QString text = errorText(PQerrorMessage(m_conn));
        dropConnection(text);
        throw EADOError(QStringLiteral("PostgreSQL: %1").arg(text), TDbFailure::Lost);
    }

    // Waits for the answer to what was sent, at most a little longer than the server's own time
    // limit: past that the server itself is not answering (stopped, or the network is gone), and
    // the connection is given up. Answers the first failed result, else the last one.
    PGresult* awaitResult(int timeoutMs) { return awaitResult(timeoutMs, QDeadlineTimer(timeoutMs + kAnswerGraceMs)); }

    // The same within a deadline shared by the several exchanges of one statement.
    PGresult* awaitResult(int timeoutMs, const QDeadlineTimer& deadline) {
        PGresult* kept = nullptr;
        for (;;) {
            while (PQisBusy(m_conn)) {
                if (!waitFor(m_conn, POLLIN, deadline)) {
                    PQclear(kept);
                    const QString text =
                        QStringLiteral("the server did not answer within %1 s").arg((timeoutMs + 999) / 1000);
                    abandonConnection(text);
                    throw EADOError(QStringLiteral("PostgreSQL: %1").arg(text), TDbFailure::Lost);
                }
                if (!PQconsumeInput(m_conn)) {
                    PQclear(kept);
                    failSend();
                }
            }
            PGresult* next = PQgetResult(m_conn);
            if (!next) break;
            const bool failed = kept && PQresultStatus(kept) == PGRES_FATAL_ERROR;
            if (failed) {
                PQclear(next);
            } else {
                PQclear(kept);
                kept = next;
            }
        }
        return kept;
    }

    // Waits until the connection's socket is ready for `events`; false when the deadline came
    // first. An error of the socket counts as ready: libpq then reports what is wrong.
    static bool waitFor(PGconn* connection, short events, const QDeadlineTimer& deadline) {
        pollfd socket{PQsocket(connection), events, 0};
        if (socket.fd < 0) return true;
        for (;;) {
            const int rc = ::poll(&socket, 1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), INT_MAX)));
            if (rc > 0) return true;
            if (rc == 0) return false;
            if (errno != EINTR) return true;
        }
    }

    // Runs the statement prepared; `statement` is set to its entry.
    PGresult* run(const QString& sql, const std::vector<QVariant>& params, int timeoutMs, Prepared** statement) {
        if (m_transactionLost)
            throw EADOError(
                QStringLiteral("PostgreSQL: the connection was lost during a transaction, which was rolled back"),
                TDbFailure::Lost);
        std::vector<QByteArray> texts(params.size());
        std::vector<const char*> values(params.size(), nullptr);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const QVariant& value = params[i];
            if (value.isNull()) continue;
            switch (value.typeId()) {
            case QMetaType::QDateTime: texts[i] = formatDateTimeText(fromQDateTime(value.toDateTime())).toUtf8(); break;
            case QMetaType::Bool: texts[i] = value.toBool() ? "t" : "f"; break;
            case QMetaType::Double:
            case QMetaType::Float: texts[i] = QByteArray::number(value.toDouble(), 'g', 17); break;
            case QMetaType::QByteArray: texts[i] = value.toByteArray(); break;
            default: texts[i] = value.toString().toUtf8(); break;
            }
            values[i] = texts[i].constData();
        }
        prepareToSend(timeoutMs);
        // Preparing and running share the statement's one time limit.
        const QDeadlineTimer deadline(timeoutMs + kAnswerGraceMs);
        const int count = static_cast<int>(params.size());
        for (bool retried = false;; retried = true) {
            *statement = &prepared(sql, count, timeoutMs, deadline);
            if (!PQsendQueryPrepared(m_conn, (*statement)->name.constData(), count, values.data(), nullptr, nullptr, 0))
                failSend();
            PGresult* result = awaitResult(timeoutMs, deadline);
            const Staleness staleness = stalenessOf(result);
            if (staleness != Staleness::Current) {
                forget(sql, staleness);
                // Such a statement failed before it ran. Outside a transaction it is prepared
                // again and run once more; inside one the failure has spoilt the transaction, and
                // the caller hears of it like of any other failure.
                if (!retried && !m_inTransaction) {
                    PQclear(result);
                    continue;
                }
            }
            try {
                check(result);
            } catch (...) {
                PQclear(result);
                throw;
            }
            return result;
        }
    }

    // The statement prepared on this connection: each text is parsed once and planned by the
    // server's plan cache, instead of both at every call, which cost many times the run itself.
    // The cache chooses between plans made for the values and a generic one as the server is
    // set (plan_cache_mode); the restaurant's statements run as fast on their generic plans,
    // the sample data's skew included. A text that fails to prepare is not remembered, so that
    // it is tried again (and fails with its own error) at the next call. Prepared statements
    // outlive a rollback: one prepared inside a transaction stays usable after it.
    Prepared& prepared(const QString& sql, int parameters, int timeoutMs, const QDeadlineTimer& deadline) {
        deallocateRetired(timeoutMs, deadline);
        if (PreparedMap::value_type* found = lookup(sql)) {
            if (found->second.parameters == parameters) {
                found->second.lastUse = ++m_uses;
                return found->second;
            }
            // Another number of values binds a statement of its own, as it did unprepared.
            retire(found);
        }
        if (m_prepared.size() >= kCacheLimit)
            retire(&*std::min_element(m_prepared.begin(), m_prepared.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            }));
        const QByteArray name = QByteArrayLiteral("res_") + QByteArray::number(++m_names);
        // No parameter types are given: the server infers them from the text, as for an
        // unprepared statement.
        if (!PQsendPrepare(m_conn, name.constData(), sql.toUtf8().constData(), parameters, nullptr)) failSend();
        Result result(awaitResult(timeoutMs, deadline));
        check(result.get());
        PreparedMap::value_type& entry =
            *m_prepared.emplace(sql, Prepared{name, parameters, ++m_uses, false, {}}).first;
        m_byAddress[entry.first.constData()] = &entry;
        deallocateRetired(timeoutMs, deadline);
        return entry.second;
    }

    // A query passes the very same string at every call: the text is then found by the address
    // of its characters, which the entry's own copy keeps alive, without reading it through.
    PreparedMap::value_type* lookup(const QString& sql) {
        const auto same = m_byAddress.find(sql.constData());
        if (same != m_byAddress.end() && same->second->first.size() == sql.size()) return same->second;
        const auto found = m_prepared.find(sql);
        return found == m_prepared.end() ? nullptr : &*found;
    }

    // Why a prepared statement failed: for a reason of its own, or because the server's copy is
    // out of date (the tables under it changed so that its result or its text's meaning did)
    // or gone (the session's prepared statements were discarded).
    enum class Staleness { Current, Statement, Session };
    static Staleness stalenessOf(const PGresult* result) {
        if (!result || PQresultStatus(result) != PGRES_FATAL_ERROR) return Staleness::Current;
        const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        const std::string_view code = state ? state : "";
        if (code == "26000") return Staleness::Session;  // invalid_sql_statement_name
        // feature_not_supported: at this point "cached plan must not change result type" (a
        // column added or retyped). Any other such failure comes back the same way once more.
        if (code == "0A000") return Staleness::Statement;
        // The text no longer fits the tables (one was dropped, say). Preparing it again reports
        // the error against the text, as an unprepared statement would.
        if (code.starts_with("42") && PQresultErrorField(result, PG_DIAG_STATEMENT_POSITION))
            return Staleness::Statement;
        return Staleness::Current;
    }

    void forget(const QString& sql, Staleness staleness) {
        if (staleness == Staleness::Session) {
            forgetAll();
        } else if (PreparedMap::value_type* found = lookup(sql)) {
            retire(found);
        }
    }

    // No statement is known any more (the session is gone, or its statements are).
    void forgetAll() {
        m_byAddress.clear();
        m_prepared.clear();
        m_retired.clear();
    }

    // The server keeps a statement until it is deallocated; that is done when no transaction is
    // open, so that a failure of it can never spoil one of the caller's.
    void retire(PreparedMap::value_type* entry) {
        m_retired.push_back(entry->second.name);
        m_byAddress.erase(entry->first.constData());
        const QString sql = entry->first;
        m_prepared.erase(sql);
    }

    void deallocateRetired(int timeoutMs, const QDeadlineTimer& deadline) {
        if (m_retired.empty() || PQtransactionStatus(m_conn) != PQTRANS_IDLE) return;
        const std::vector<QByteArray> names = std::move(m_retired);
        m_retired.clear();
        // One by one: in a single query, the first that failed would keep the others.
        for (const QByteArray& name : names) {
            if (!PQsendQuery(m_conn, ("DEALLOCATE " + name).constData())) failSend();
            Result result(awaitResult(timeoutMs, deadline));
            if (PQresultStatus(result.get()) == PGRES_COMMAND_OK) continue;
            if (PQstatus(m_conn) == CONNECTION_BAD) check(result.get());
            // A name someone else deallocated already: nothing is left to release.
            qCInfo(lcDatabase).noquote() << "PostgreSQL: releasing prepared statement" << name << ":"
                                         << errorText(PQresultErrorMessage(result.get()));
        }
    }

    void check(PGresult* result) {
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) return;
        const char* message = result ? PQresultErrorMessage(result) : nullptr;
        const QString text = errorText(message && *message ? message : PQerrorMessage(m_conn));
        // A connection the server dropped is opened again for the next statement; this one
        // has failed all the same.
        if (PQstatus(m_conn) == CONNECTION_BAD) {
            dropConnection(text);
            throw EADOError(QStringLiteral("PostgreSQL: %1").arg(text), TDbFailure::Lost);
        }
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        throw EADOError(QStringLiteral("PostgreSQL: %1").arg(text), failureOf(state ? state : ""));
    }

    // The kind of failure an error state (SQLSTATE) stands for.
    static TDbFailure failureOf(std::string_view state) {
        // lock_not_available (lock_timeout), query_canceled (statement_timeout), deadlock,
        // serialization failure: another terminal was in the way.
        if (state == "55P03" || state == "57014" || state == "40P01" || state == "40001") return TDbFailure::Busy;
        // A unique key, or an exclusion constraint (a period overlapping another), already held.
        if (state == "23505" || state == "23P01") return TDbFailure::Duplicate;
        if (state.substr(0, 2) == "08") return TDbFailure::Lost;
        return TDbFailure::Other;
    }

    // The server's message on one line, never with a password in it.
    static QString errorText(const char* message) {
        QString text = QString::fromUtf8(message).trimmed();
        text.replace(u'\n', u' ');
        return ConnectionString::maskPasswords(text);
    }

    static constexpr int kAnswerGraceMs = 1500;
    static constexpr int kCleanupMs = 1500;
    static constexpr int kIdleTransactionMs = 60000;
    PGconn* m_conn = nullptr;
    std::vector<std::pair<QByteArray, QByteArray>> m_settings;  // libpq keyword, value
    QStringList m_servers;                                      // "host:port" of each server tried, for messages
    int m_sessionTimeoutMs = 0;                                 // what the connection's options set
    int m_timeoutMs = 0;                                        // what is in force on the session now
    bool m_inTransaction = false;                               // when the statement under way was sent
    bool m_transactionLost = false;                             // the connection went inside a transaction
    static constexpr std::size_t kCacheLimit = 64;
    PreparedMap m_prepared;  // by statement text, on the current connection
    std::unordered_map<const QChar*, PreparedMap::value_type*> m_byAddress;  // by the address of that text
    std::vector<QByteArray> m_retired;                                       // names to deallocate
    quint64 m_uses = 0;                                                      // stamps of use, the oldest goes first
    quint64 m_names = 0;  // a name is never given twice on one connection
};

}  // namespace

std::vector<std::pair<QByteArray, QByteArray>> postgresServerSettings(const ConnectionString& options) {
    const QList<ConnectionString::Server> servers = options.servers();
    QStringList hosts, ports;
    for (const ConnectionString::Server& server : servers) {
        hosts.append(server.host);
        if (!server.port.isEmpty()) ports.append(server.port);
    }
    std::vector<std::pair<QByteArray, QByteArray>> settings;
    if (!hosts.join(QString()).isEmpty()) settings.emplace_back("host", hosts.join(u',').toUtf8());
    if (!ports.isEmpty()) settings.emplace_back("port", ports.join(u',').toUtf8());
    // Of several servers, one is the primary and the others are standbys that refuse writes;
    // which one is the primary changes when a standby is promoted.
    if (servers.size() > 1) settings.emplace_back("target_session_attrs", "read-write");
    return settings;
}

std::unique_ptr<DbDriver> openPostgresDriver(const ConnectionString& options) {
    return std::make_unique<PostgresDriver>(options);
}
