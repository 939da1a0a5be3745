#include "SqliteDriver.h"

#include "../ConnectionString.h"
#include "../TField.h"

#include <QDateTime>
#include <algorithm>
#include <atomic>
#include <array>
#include <charconv>
#include <ctime>
#include <limits>
#include <sqlite3.h>
#include <unordered_map>

namespace {

// How the values of a result column are read.
enum class ColumnKind { Text, Float, DateTime, Boolean, Inferred };

ColumnKind kindOfDeclaredType(const char* declared, int& size) {
    size = 0;
    if (!declared) return ColumnKind::Inferred;
    const QString type = QString::fromUtf8(declared).toUpper();
    if (type.contains(QLatin1String("DATE")) || type.contains(QLatin1String("TIME"))) return ColumnKind::DateTime;
    if (type.contains(QLatin1String("BOOL"))) return ColumnKind::Boolean;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("TEXT")) ||
        type.contains(QLatin1String("CLOB"))) {
        const int open = static_cast<int>(type.indexOf(u'('));
        const int close = static_cast<int>(type.indexOf(u')', open));
        if (open >= 0 && close > open) size = type.mid(open + 1, close - open - 1).trimmed().toInt();
        return ColumnKind::Text;
    }
    if (type.contains(QLatin1String("INT")) || type.contains(QLatin1String("REAL")) ||
        type.contains(QLatin1String("FLOA")) || type.contains(QLatin1String("DOUB")) ||
        type.contains(QLatin1String("NUM")) || type.contains(QLatin1String("DEC")))
        return ColumnKind::Float;
    return ColumnKind::Text;
}

void nvl(sqlite3_context* context, int, sqlite3_value** args) {
    sqlite3_result_value(context, sqlite3_value_type(args[0]) != SQLITE_NULL ? args[0] : args[1]);
}

// Milliseconds of a clock that never goes back. The coarse clock is read from memory the
// kernel keeps up to date, without asking the hardware: the deadline is read at the start of
// every statement and every few thousand steps, and a few milliseconds of slack mean nothing
// against a time limit of seconds.
// SQLite connections waiting for another's lock now (sqliteConnectionsWaiting()).
std::atomic<int> g_waiting{0};

std::int64_t nowMs() {
    timespec now{};
#ifdef CLOCK_MONOTONIC_COARSE
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
#else
    clock_gettime(CLOCK_MONOTONIC, &now);
#endif
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// The UTF-8 form of a text into a buffer kept from one call to the next. Codes and numbers are
// plain ASCII and are copied as they are; any other text takes Qt's conversion.
void utf8Into(QStringView text, std::string& out) {
    out.resize(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            const QByteArray utf8 = text.toUtf8();
            out.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
            return;
        }
        out[static_cast<std::size_t>(i)] = static_cast<char>(c);
    }
}

std::string numberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

class SqliteDriver final : public DbDriver {
public:
    explicit SqliteDriver(const ConnectionString& options) {
        const QString path = options.value(QStringLiteral("Data Source"));
        if (path.isEmpty()) throw EADOError(QStringLiteral("SQLite: the connection string names no Data Source"));
        const QString create = options.value(QStringLiteral("Create")).toLower();
        // One connection serves one thread at a time, so the per-call connection mutex is
        // dropped (it cost about a fifth of the time of reading a result).
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
        if (create == QLatin1String("yes") || create == QLatin1String("true") || create == QLatin1String("1"))
            flags |= SQLITE_OPEN_CREATE;
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
            sqlite3_close(m_db);
            m_db = nullptr;
            throw EADOError(QStringLiteral("SQLite: cannot open database '%1': %2").arg(path, message));
        }
        sqlite3_extended_result_codes(m_db, 1);
        // Every few thousand steps of a statement the deadline is looked at, so that no
        // statement runs past its time limit. A statement of the data functions takes from a
        // handful to a few hundred thousand steps: one look costs a clock read.
        sqlite3_progress_handler(m_db, kProgressSteps, &SqliteDriver::onProgress, this);
        sqlite3_create_function(m_db, "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nvl, nullptr, nullptr);
        // The same under its other dialect's name, so that texts of that dialect can be tried
        // here too; ISNULL is a keyword of SQLite, so such a text has to quote it.
        sqlite3_create_function(m_db, "ISNULL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nvl, nullptr, nullptr);
    }

    ~SqliteDriver() override {
        for (auto& [sql, entry] : m_cache) sqlite3_finalize(entry.statement);
        sqlite3_close_v2(m_db);
    }
    SqliteDriver(const SqliteDriver&) = delete;
    SqliteDriver& operator=(const SqliteDriver&) = delete;

    TSqlDialect dialect() const override { return TSqlDialect::SQLite; }
    QString placeholder(int) const override { return QStringLiteral("?"); }

    TQueryResult query(const QString& sql, const std::vector<QVariant>& params, int timeoutMs) override {
        TQueryResult result;
        std::vector<TRecord> none;
        queryInto(sql, params, timeoutMs, result, none);
        return result;
    }

    void queryInto(const QString& sql, const std::vector<QVariant>& params, int timeoutMs, TQueryResult& result,
                   std::vector<TRecord>& spare) override {
        result.rows.clear();
        limitTo(timeoutMs);
        const WaitScope waitScope{this};
        Statement& entry = prepare(sql, params);
        sqlite3_stmt* statement = entry.statement;
        Guard guard{statement};
        describe(entry);
        int count = static_cast<int>(entry.columns.size());
        result.columns = entry.columns;
        // Room for as many rows as the last run gave, so that the list is not moved as it grows.
        result.rows.reserve(std::min(entry.lastRows, kRowsReserved));
        for (bool first = true;; first = false) {
            const int rc = sqlite3_step(statement);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) fail(rc);
            if (first && sqlite3_column_count(statement) != count) {
                // The schema changed since the statement was described; the engine prepared
                // it again on this step.
                entry.described = false;
                describe(entry);
                count = static_cast<int>(entry.columns.size());
                result.columns = entry.columns;
            }
            const std::vector<ColumnKind>& kinds = entry.kinds;
            if (spare.empty()) {
                result.rows.emplace_back(static_cast<std::size_t>(count));
            } else {
                result.rows.push_back(std::move(spare.back()));
                spare.pop_back();
                result.rows.back().resize(static_cast<std::size_t>(count));
            }
            TRecord& row = result.rows.back();
            for (int c = 0; c < count; ++c) {
                TFieldValue& value = row[static_cast<std::size_t>(c)];
                if (kinds[static_cast<std::size_t>(c)] == ColumnKind::Text) {
                    // sqlite3_column_text answers a null pointer for NULL alone.
                    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
                    if (!data) continue;
                    std::string& text =
                        value.emplace<std::string>(data, static_cast<std::size_t>(sqlite3_column_bytes(statement, c)));
                    // SQLite does not hold texts to their declared width; the column's readers may
                    // rely on it, so a wider text is cut as a field of that width would cut it.
                    const auto width = static_cast<std::size_t>(result.columns[static_cast<std::size_t>(c)].size);
                    if (width > 0 && text.size() > width) utf8Truncate(text, width);
                    continue;
                }
                const int storage = sqlite3_column_type(statement, c);
                if (storage == SQLITE_NULL) continue;
                switch (kinds[static_cast<std::size_t>(c)]) {
                case ColumnKind::Text: break;
                case ColumnKind::Float: value = sqlite3_column_double(statement, c); break;
                case ColumnKind::Boolean: value = sqlite3_column_int64(statement, c) != 0; break;
                case ColumnKind::DateTime: {
                    TDateTimeValue when;
                    if (storage != SQLITE_TEXT || !parseDateTimeText(text(statement, c), when))
                        throw EADOError(QStringLiteral("SQLite: column %1 holds '%2', which is not a date and time")
                                            .arg(result.columns[static_cast<std::size_t>(c)].name,
                                                 QString::fromStdString(text(statement, c))));
                    value = when;
                    break;
                }
                case ColumnKind::Inferred:
                    if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                        value = sqlite3_column_double(statement, c);
                    else
                        value = text(statement, c);
                    break;
                }
            }
        }
        settleInferredColumns(result, entry.kinds);
        entry.lastRows = result.rows.size();
    }

    qint64 execute(const QString& sql, const std::vector<QVariant>& params, int timeoutMs) override {
        limitTo(timeoutMs);
        const WaitScope waitScope{this};
        sqlite3_stmt* statement = prepare(sql, params).statement;
        Guard guard{statement};
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {}
        if (rc != SQLITE_DONE) fail(rc);
        return sqlite3_changes64(m_db);
    }

    void executeScript(const QString& sql, int timeoutMs) override {
        limitTo(timeoutMs);
        const WaitScope waitScope{this};
        char* error = nullptr;
        const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(m_db));
            sqlite3_free(error);
            throw EADOError(QStringLiteral("SQLite: %1").arg(explained(rc, message)), failureOf(rc));
        }
    }

private:
    // A statement, with every wait for another connection's lock inside it, ends `timeoutMs`
    // after it began: the busy handler and the progress handler answer to the same deadline, so
    // that a wait for a lock and the work after it never add up to more than the limit.
    void limitTo(int timeoutMs) {
        if (m_timeoutMs < 0) sqlite3_busy_handler(m_db, &SqliteDriver::onBusy, this);
        m_timeoutMs = timeoutMs;
        m_deadlineMs = nowMs() + timeoutMs;
    }

    // Waits a little for the lock to go, longer as the wait goes on, never past the deadline.
    static int onBusy(void* self, int attempt) {
        auto* driver = static_cast<SqliteDriver*>(self);
        const std::int64_t left = driver->m_deadlineMs - nowMs();
        if (left <= 0) {
            driver->endWait();
            return 0;
        }
        if (!driver->m_waiting) {
            driver->m_waiting = true;
            ++g_waiting;
        }
        const std::int64_t pause = std::min<std::int64_t>(left, attempt < 10 ? 1 + attempt : 20);
        sqlite3_sleep(static_cast<int>(pause));
        return 1;
    }

    void endWait() {
        if (!m_waiting) return;
        m_waiting = false;
        --g_waiting;
    }
    // Ends the statement's wait for a lock, if it waited, however the statement ends.
    struct WaitScope {
        SqliteDriver* driver;
        ~WaitScope() { driver->endWait(); }
    };

    static TDbFailure failureOf(int rc) {
        // SQLITE_BUSY_SNAPSHOT (a read transaction that another connection's commit overtook)
        // and SQLITE_LOCKED_SHAREDCACHE come as extended codes of the same primary ones.
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED || rc == SQLITE_INTERRUPT)
            return TDbFailure::Busy;
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) return TDbFailure::Duplicate;
        return TDbFailure::Other;
    }

    static int onProgress(void* self) { return nowMs() >= static_cast<SqliteDriver*>(self)->m_deadlineMs ? 1 : 0; }

    // The engine's text, with what it means for the user when the time limit ended the wait.
    QString explained(int rc, const QString& message) const {
        const int seconds = (m_timeoutMs + 999) / 1000;
        if ((rc & 0xff) == SQLITE_BUSY)
            return QStringLiteral("%1 (another connection kept it locked for %2 s)").arg(message).arg(seconds);
        if (rc == SQLITE_INTERRUPT) return QStringLiteral("the statement did not end within %1 s").arg(seconds);
        return message;
    }

    // Leaves a cached statement reset whatever happens while it runs. Its texts stay bound to
    // the statement's own buffers until the next run binds new ones.
    struct Guard {
        sqlite3_stmt* statement;
        ~Guard() { sqlite3_reset(statement); }
    };

    static std::string text(sqlite3_stmt* statement, int column) {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                    : std::string();
    }

    // A computed column is a float when every value is a number, otherwise a string.
    static void settleInferredColumns(TQueryResult& result, const std::vector<ColumnKind>& kinds) {
        for (std::size_t c = 0; c < kinds.size(); ++c) {
            if (kinds[c] != ColumnKind::Inferred) continue;
            bool numbers = false, texts = false;
            for (const TRecord& row : result.rows) {
                numbers |= row[c].index() == 3;
                texts |= row[c].index() == 1;
            }
            if (numbers && !texts) {
                result.columns[c].type = TFieldType::ftFloat;
            } else if (numbers) {
                for (TRecord& row : result.rows)
                    if (row[c].index() == 3) row[c] = numberText(std::get<double>(row[c]));
            }
        }
    }

    // A prepared statement with the description of its result columns, made once, and the
    // UTF-8 texts bound to its placeholders (bound without a copy: they live as long as it).
    struct Statement {
        sqlite3_stmt* statement = nullptr;
        bool described = false;
        std::vector<TFieldDesc> columns;
        std::vector<ColumnKind> kinds;
        std::vector<std::string> texts;
        std::size_t lastRows = 0;  // rows of the last run
    };

    static void describe(Statement& entry) {
        if (entry.described) return;
        const int count = sqlite3_column_count(entry.statement);
        entry.kinds.resize(static_cast<std::size_t>(count));
        entry.columns.resize(static_cast<std::size_t>(count));
        for (int c = 0; c < count; ++c) {
            TFieldDesc& column = entry.columns[static_cast<std::size_t>(c)];
            column.name = QString::fromUtf8(sqlite3_column_name(entry.statement, c));
            int size = 0;
            ColumnKind& kind = entry.kinds[static_cast<std::size_t>(c)];
            kind = kindOfDeclaredType(sqlite3_column_decltype(entry.statement, c), size);
            switch (kind) {
            case ColumnKind::Text:
                column.type = TFieldType::ftString;
                column.size = size;
                break;
            case ColumnKind::Float: column.type = TFieldType::ftFloat; break;
            case ColumnKind::DateTime: column.type = TFieldType::ftDateTime; break;
            case ColumnKind::Boolean: column.type = TFieldType::ftBoolean; break;
            case ColumnKind::Inferred: column.type = TFieldType::ftString; break;
            }
        }
        entry.described = true;
    }

    // The cached statement of a text. The texts of the last statements run are kept with their
    // entries and found by the address of their characters: a caller runs the same QString
    // again and again, and comparing two addresses costs nothing beside hashing a statement of
    // a thousand characters. The copy kept holds the characters, so that no other text can
    // come to live at that address; only texts that own their characters take this way.
    Statement* cached(const QString& sql) {
        const bool owned = sql.data_ptr().isMutable();
        if (owned)
            for (const Recent& recent : m_recent)
                if (recent.entry && recent.text.constData() == sql.constData() && recent.text.size() == sql.size())
                    return recent.entry;
        const auto found = m_cache.find(sql);
        if (found == m_cache.end()) return nullptr;
        if (owned) {
            m_recent[m_nextRecent] = Recent{sql, &found->second};
            m_nextRecent = (m_nextRecent + 1) % m_recent.size();
        }
        return &found->second;
    }

    Statement& prepare(const QString& sql, const std::vector<QVariant>& params) {
        Statement* entry = cached(sql);
        if (!entry) {
            sqlite3_stmt* prepared = nullptr;
            const QByteArray utf8 = sql.toUtf8();
            if (sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &prepared, nullptr) !=
                SQLITE_OK)
                fail(sqlite3_errcode(m_db));
            if (!prepared) throw EADOError(QStringLiteral("SQLite: the statement is empty"));
            if (m_cache.size() >= kCacheLimit) {
                m_recent.fill({});
                for (auto& [text, cachedEntry] : m_cache) sqlite3_finalize(cachedEntry.statement);
                m_cache.clear();
            }
            entry = &m_cache.emplace(sql, Statement{prepared, false, {}, {}, {}, 0}).first->second;
        }
        sqlite3_stmt* statement = entry->statement;
        const int expected = sqlite3_bind_parameter_count(statement);
        if (expected != static_cast<int>(params.size()))
            throw EADOError(
                QStringLiteral("SQLite: the statement takes %1 parameters, %2 given").arg(expected).arg(params.size()));
        entry->texts.resize(static_cast<std::size_t>(expected));
        for (int i = 0; i < expected; ++i) bind(*entry, i + 1, params[static_cast<std::size_t>(i)]);
        return *entry;
    }

    void bind(Statement& entry, int index, const QVariant& value) {
        sqlite3_stmt* statement = entry.statement;
        int rc;
        if (value.isNull()) {
            rc = sqlite3_bind_null(statement, index);
        } else {
            switch (value.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Short: rc = sqlite3_bind_int64(statement, index, value.toLongLong()); break;
            case QMetaType::Double:
            case QMetaType::Float: rc = sqlite3_bind_double(statement, index, value.toDouble()); break;
            case QMetaType::Bool: rc = sqlite3_bind_int(statement, index, value.toBool() ? 1 : 0); break;
            default: {
                std::string& text = entry.texts[static_cast<std::size_t>(index - 1)];
                switch (value.typeId()) {
                case QMetaType::QString: utf8Into(*static_cast<const QString*>(value.constData()), text); break;
                case QMetaType::QByteArray: {
                    const auto* bytes = static_cast<const QByteArray*>(value.constData());
                    text.assign(bytes->constData(), static_cast<std::size_t>(bytes->size()));
                    break;
                }
                case QMetaType::QDateTime: utf8Into(formatDateTimeText(fromQDateTime(value.toDateTime())), text); break;
                default: utf8Into(value.toString(), text);
                }
                rc = sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
            }
            }
        }
        if (rc != SQLITE_OK) fail(rc);
    }

    [[noreturn]] void fail(int rc) const {
        throw EADOError(QStringLiteral("SQLite: %1").arg(explained(rc, QString::fromUtf8(sqlite3_errmsg(m_db)))),
                        failureOf(rc));
    }

    static constexpr std::size_t kCacheLimit = 64;
    static constexpr int kProgressSteps = 10000;
    static constexpr std::size_t kRowsReserved = 4096;  // at most, ahead of a run
    sqlite3* m_db = nullptr;
    int m_timeoutMs = -1;
    std::int64_t m_deadlineMs = std::numeric_limits<std::int64_t>::max();
    bool m_waiting = false;  // counted in g_waiting
    std::unordered_map<QString, Statement> m_cache;
    struct Recent {
        QString text;
        Statement* entry = nullptr;
    };
    std::array<Recent, 8> m_recent;
    std::size_t m_nextRecent = 0;
};

}  // namespace

std::unique_ptr<DbDriver> openSqliteDriver(const ConnectionString& options) {
    return std::make_unique<SqliteDriver>(options);
}

int sqliteConnectionsWaiting() { return g_waiting.load(); }
