#pragma once
// What the connection needs of a database engine: run statements with positional parameters
// and hand back whole results with their columns' names, types and declared widths.
// Every failure throws EADOError carrying the database's own message. Every statement runs
// within a time limit: waiting for a lock or for the server ends with EADOError when it is up.

#include "DbTypes.h"

#include <QVariant>
#include <functional>
#include <memory>

class ConnectionString;

enum class TSqlDialect { SQLite, PostgreSQL, Oracle, MSSQL };
const char* dialectName(TSqlDialect dialect);

struct TQueryResult {
    std::vector<TFieldDesc> columns;
    std::vector<TRecord> rows;
};

class DbDriver {
public:
    virtual ~DbDriver() = default;
    virtual TSqlDialect dialect() const = 0;
    // The positional placeholder for occurrence `index` (0-based) in this engine's syntax.
    virtual QString placeholder(int index) const = 0;
    // Runs a statement that returns rows; numeric columns come back as floats, date and
    // time columns as date-times, everything else as strings.
    virtual TQueryResult query(const QString& sql, const std::vector<QVariant>& params, int timeoutMs) = 0;
    // The same into `result`; the engine may take emptied records of an earlier result from
    // `spare` for the new rows instead of allocating them (those it does not take stay there).
    virtual void queryInto(const QString& sql, const std::vector<QVariant>& params, int timeoutMs, TQueryResult& result,
                           std::vector<TRecord>& spare) {
        (void)spare;
        result = query(sql, params, timeoutMs);
    }
    // Runs a statement and answers the number of rows it changed.
    virtual qint64 execute(const QString& sql, const std::vector<QVariant>& params, int timeoutMs) = 0;
    // Runs a script of one or more statements without parameters.
    virtual void executeScript(const QString& sql, int timeoutMs) = 0;

    // Called after the driver opened again a connection the server had dropped, so that the
    // session can be prepared again as after a connect.
    std::function<void()> onReconnected;
};

// Time limits read from a connection string: "Connect Timeout" and "Command Timeout", in
// seconds, 5 each by default. 0, or more than the cap, takes the cap: a terminal never waits
// without end.
struct TTimeouts {
    static constexpr int kDefaultSeconds = 5;
    static constexpr int kMaxConnectSeconds = 30;
    static constexpr int kMaxCommandSeconds = 60;
    int connectSeconds = kDefaultSeconds;
    int commandSeconds = kDefaultSeconds;
    static TTimeouts from(const ConnectionString& options);  // throws EDatabaseError for a bad value
};

// Opens a driver for the connection string's "Provider"; throws EADOError.
std::unique_ptr<DbDriver> openSqliteDriver(const ConnectionString& options);
std::unique_ptr<DbDriver> openPostgresDriver(const ConnectionString& options);
