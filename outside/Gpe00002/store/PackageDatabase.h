#pragma once
// The operations package's connection to the restaurant database, opened with the runtime
// library's connection string like the menu's data module, its session prepared the same way,
// and the package's own tables made sure of (created, or brought to the current version, where
// they are missing: never a change to the restaurant's tables).
//
// Statements are named, not written here: select("storeTables", ...) runs sql/storeTables.sql
// (store/Statements.h). They take named parameters (:P_NAME) and answer their rows as name ->
// value maps.
// Every change is one transaction: transaction() begins it (on SQLite taking the write lock at
// once, BEGIN IMMEDIATE, so that two terminals never both decide on what the other then
// changes), commits when the work returns and rolls back when it throws. A lock held by another
// terminal past the connection's time limit ends it as ERefusal with the caller's "tente de novo"
// text. A connection lost while the work ran or committed is settled by the operation's identity
// (the journal row's CDUUID): the next statement reconnects (through the connection string's hosts,
// a promoted standby among them) and looks it up. Found, the transaction counts as committed
// (recovered() says so); not found, ERefusal says that nothing was done; unreachable, ERefusal
// says that the outcome is not known and names the identity. Failures are logged under "res.ops".

#include "core/Export.h"
#include "TADOConnection.h"

#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

namespace Gpe00002 {

using SqlRow = QVariantMap;  // column name (upper case) -> value; null values are null QVariants

// A column's text as stored, empty for null: for the keys that go back into statements.
GPE00002_EXPORT QString rowKey(const SqlRow& row, const char* column);
// A column's text without its surrounding blanks, empty for null: for what is shown.
GPE00002_EXPORT QString rowText(const SqlRow& row, const char* column);

class GPE00002_EXPORT PackageDatabase {
public:
    // Connects with `connectionString`, or the runtime library's when it is empty. Raises
    // ERefusal saying that the database cannot be reached, with the reason.
    explicit PackageDatabase(const QString& connectionString = {});

    TADOConnection& connection() { return m_connection; }
    bool postgres() const { return m_connection.Dialect() == TSqlDialect::PostgreSQL; }

    // Outside a transaction a reading that finds the connection lost runs once more, on a new one.
    std::vector<SqlRow> select(const char* statement, const QVariantMap& parameters = {});
    qint64 execute(const char* statement, const QVariantMap& parameters = {});
    // Inside a transaction on PostgreSQL: runs `statement` (a SELECT ... FOR UPDATE, which has a
    // PostgreSQL text only) to hold its rows until the transaction ends. On SQLite the
    // transaction already holds the whole database, and nothing runs.
    void lock(const char* statement, const QVariantMap& parameters);

    // Runs `work` in one transaction. `busy` is the message when another terminal holds what it
    // needs ("Mesa 0012 está em uso em outro terminal; tente de novo").
    void transaction(const QString& busy, const std::function<void()>& work);

    // Makes sure the package's own tables exist in their current version: every one of them is
    // looked for, and the set-up script runs when one is missing or the version is older. Throws
    // EADOError (Busy) when another terminal holds the database past the time limit.
    static void ensureOwnTables(TADOConnection& connection);

    // Called inside a transaction with "begin" once it has begun, the name of every statement
    // once it has run, and "commit" just before it commits. Tests set it to pause a terminal
    // between its locks; nothing sets it otherwise.
    using StepHook = std::function<void(const char* step)>;
    void setStepHook(StepHook hook) { m_stepHook = std::move(hook); }

    // What a committed transaction journalled: per row its IDOPERACAO, NRMESAORIG, NRMESADEST,
    // NRJUNMESA (as written, null when none), TXDEPOIS (the object it left) and CDUUID.
    struct Committed {
        QString operacao;
        QVariant origem, destino, grupo;
        QString depois;
        QString id;
    };
    // What the last transaction that committed journalled, and whether its commit was found by
    // its identity after the connection was lost during it.
    const std::vector<Committed>& lastCommitted() const { return m_lastCommitted; }
    bool recovered() const { return m_recovered; }
    // Whether the journal holds the operation `id`, reconnecting when the connection was lost
    // (a few attempts, each within the connect time-out); none when the database cannot say.
    std::optional<bool> journalled(const QString& id);
    // Told of every journalled operation the moment its transaction has committed, on any
    // connection of the process (the scripted run's transcript). Null by default.
    static void setCommitObserver(std::function<void(const Committed&)> observer);

private:
    void step(const char* name);
    std::vector<SqlRow> read(const char* statement, const QVariantMap& parameters);

    TADOConnection m_connection{QStringLiteral("adcOperacoes")};
    StepHook m_stepHook;
    bool m_inTransaction = false;
    std::vector<Committed> m_journalled;  // of the transaction running
    std::vector<Committed> m_lastCommitted;
    bool m_recovered = false;
};

}  // namespace Gpe00002
