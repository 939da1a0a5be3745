#include "store/PackageDatabase.h"

#include "core/Log.h"
#include "core/Refusal.h"
#include "store/Statements.h"
#include "Geralqor.h"
#include "Qor_trelvix.h"
#include "RestaurantSchema.h"
#include "TADOCommand.h"
#include "TADOQuery.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace Gpe00002 {

namespace {

void bind(TParameters& bound, const QVariantMap& parameters) {
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) bound.ParamByName(it.key()).setValue(it.value());
}

std::function<void(const PackageDatabase::Committed&)>& commitObserver() {
    static std::function<void(const PackageDatabase::Committed&)> observer;
    return observer;
}

const QString kUnreachable = QStringLiteral("Não foi possível acessar o banco de dados; nada foi alterado. (%1)");

// The tables the set-up script creates, by name.
QStringList ownTables(TSqlDialect dialect) {
    static const QRegularExpression created(QStringLiteral("CREATE TABLE IF NOT EXISTS\\s+(\\w+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    for (const QRegularExpressionMatch& match : created.globalMatch(operationsSchemaScript(dialect)))
        names << match.captured(1);
    return names;
}

}  // namespace

void PackageDatabase::setCommitObserver(std::function<void(const Committed&)> observer) {
    commitObserver() = std::move(observer);
}

void PackageDatabase::step(const char* name) {
    if (m_stepHook && m_inTransaction) m_stepHook(name);
}

QString rowKey(const SqlRow& row, const char* column) { return row.value(QLatin1String(column)).toString(); }

QString rowText(const SqlRow& row, const char* column) { return rowKey(row, column).trimmed(); }

PackageDatabase::PackageDatabase(const QString& connectionString) {
    try {
        m_connection.setLoginPrompt(false);
        m_connection.setConnectionString(
            connectionString.isEmpty() ? QString::fromStdString(Geralqor::_GetStringConexQor("")) : connectionString);
        m_connection.AfterConnect = [](TComponent* sender) {
            Qor_trelvix::SetADODBSession(*static_cast<TADOConnection*>(sender));
        };
        m_connection.Open();
        ensureOwnTables(m_connection);
    } catch (const EADOError& e) {
        qCWarning(lcOps).noquote() << "cannot open the database:" << e.what();
        // Another terminal holding the whole database (a SQLite file being written) is a moment's
        // matter, not a database out of reach.
        if (e.failure() == TDbFailure::Busy)
            throw ERefusal(QStringLiteral("O banco de dados está em uso em outro terminal; tente de novo"));
        throw ERefusal(kUnreachable.arg(e.message()));
    } catch (const EDatabaseError& e) {
        qCWarning(lcOps).noquote() << "cannot open the database:" << e.what();
        throw ERefusal(kUnreachable.arg(e.message()));
    }
}

namespace {

// The first column of the first row of `sql` (0 without rows); none when the statement fails
// because what it reads is not there. A database that is busy or gone is reported as such.
std::optional<int> probe(TADOConnection& connection, const QString& sql) {
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(sql);
    try {
        query.Open();
        return query.IsEmpty() ? 0 : query.Fields(0).AsInteger();
    } catch (const EADOError& e) {
        // On PostgreSQL the failed statement ended nothing: it ran outside any transaction.
        if (e.failure() != TDbFailure::Other) throw;
        return std::nullopt;
    }
}

// Each table is looked for by itself: a version row says nothing of a table dropped since.
bool ownTablesComplete(TADOConnection& connection) {
    for (const QString& table : ownTables(connection.Dialect()))
        if (!probe(connection, QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(table))) return false;
    return true;
}

// The version of the package's tables in GPEVERSAO; 0 where there is none yet.
int ownTablesVersion(TADOConnection& connection) {
    return probe(connection, Statements::text(QStringLiteral("packageVersion"), connection.Dialect())).value_or(0);
}

}  // namespace

void PackageDatabase::ensureOwnTables(TADOConnection& connection) {
    const int found = ownTablesVersion(connection);
    if (found >= kOperationsSchemaVersion && ownTablesComplete(connection)) return;
    qCInfo(lcOps) << "bringing the package's own tables from version" << found << "to" << kOperationsSchemaVersion;
    if (connection.Dialect() != TSqlDialect::SQLite) {
        // The script takes its own transaction and turns, and may run again.
        connection.Execute(operationsSchemaScript(connection.Dialect()));
        return;
    }
    // SQLite adds the columns of a newer version only once: the version is read again under the
    // write lock, so that a terminal that waited for another's upgrade does not repeat it.
    connection.Execute(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        const int now = ownTablesVersion(connection);
        if (now < kOperationsSchemaVersion || !ownTablesComplete(connection)) {
            for (int version = std::max(now, 1) + 1; now >= 1 && version <= kOperationsSchemaVersion; ++version)
                connection.Execute(operationsUpgradeScript(connection.Dialect(), version));
            connection.Execute(operationsSchemaScript(connection.Dialect()));
        }
        connection.Execute(QStringLiteral("COMMIT"));
    } catch (...) {
        try {
            connection.Execute(QStringLiteral("ROLLBACK"));
        } catch (const EDatabaseError& e) {
            qCWarning(lcOps).noquote() << "rollback of the upgrade failed:" << e.what();
        }
        throw;
    }
}

std::vector<SqlRow> PackageDatabase::read(const char* statement, const QVariantMap& parameters) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(Statements::text(QLatin1String(statement), m_connection.Dialect()));
    bind(query.Parameters(), parameters);
    query.Open();
    step(statement);
    std::vector<SqlRow> rows;
    rows.reserve(static_cast<std::size_t>(query.RecordCount()));
    for (query.First(); !query.Eof(); query.Next()) {
        SqlRow& row = rows.emplace_back();
        for (int i = 0; i < query.FieldCount(); ++i)
            row.insert(query.Fields(i).FieldName().toUpper(), query.Fields(i).Value());
    }
    return rows;
}

std::vector<SqlRow> PackageDatabase::select(const char* statement, const QVariantMap& parameters) {
    try {
        return read(statement, parameters);
    } catch (const EADOError& e) {
        // A reading outside a transaction may run again: the statement that met the connection
        // gone changed nothing, and the next one connects anew (to a promoted standby, say).
        if (m_inTransaction || e.failure() != TDbFailure::Lost) throw;
        qCWarning(lcOps).noquote() << "connection lost, reading again:" << e.what();
        return read(statement, parameters);
    }
}

qint64 PackageDatabase::execute(const char* statement, const QVariantMap& parameters) {
    TADOCommand command;
    command.setConnection(&m_connection);
    command.setCommandText(Statements::text(QLatin1String(statement), m_connection.Dialect()));
    bind(command.Parameters(), parameters);
    const qint64 changed = command.Execute();
    if (m_inTransaction && qstrcmp(statement, "insertJournal") == 0) {
        const auto value = [&parameters](const char* name) { return parameters.value(QLatin1String(name)); };
        m_journalled.push_back({value("P_IDOPERACAO").toString(), value("P_NRMESAORIG"), value("P_NRMESADEST"),
                                value("P_NRJUNMESA"), value("P_TXDEPOIS").toString(), value("P_CDUUID").toString()});
    }
    step(statement);
    return changed;
}

void PackageDatabase::lock(const char* statement, const QVariantMap& parameters) {
    if (postgres())
        select(statement, parameters);
    else
        step(statement);
}

std::optional<bool> PackageDatabase::journalled(const QString& id) {
    // Each attempt reconnects through the connection string's hosts, within its connect time-out:
    // a standby being promoted may take a moment to accept writes.
    constexpr int kAttempts = 3;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        try {
            return !select("journalById", {{QStringLiteral("P_CDUUID"), id}}).empty();
        } catch (const EADOError& e) {
            qCWarning(lcOps).noquote() << "looking up operation" << id << "attempt" << attempt << "failed:" << e.what();
            if (e.failure() != TDbFailure::Lost && e.failure() != TDbFailure::Busy) return std::nullopt;
        }
    }
    return std::nullopt;
}

void PackageDatabase::transaction(const QString& busy, const std::function<void()>& work) {
    const QString begin = Statements::text(QStringLiteral("beginTransaction"), m_connection.Dialect());
    try {
        try {
            m_connection.Execute(begin);
        } catch (const EADOError& e) {
            // Nothing was done yet: a connection found gone is opened again, once.
            if (e.failure() != TDbFailure::Lost) throw;
            qCWarning(lcOps).noquote() << "connection lost, beginning again:" << e.what();
            m_connection.Execute(begin);
        }
    } catch (const EADOError& e) {
        qCWarning(lcOps).noquote() << "cannot begin a transaction:" << e.what();
        if (e.failure() == TDbFailure::Busy) throw ERefusal(busy);
        throw ERefusal(kUnreachable.arg(e.message()));
    }
    m_inTransaction = true;
    m_journalled.clear();
    m_lastCommitted.clear();
    m_recovered = false;
    try {
        step("begin");
        work();
        step("commit");
        m_inTransaction = false;
        m_connection.CommitTrans();
    } catch (...) {
        m_inTransaction = false;
        std::vector<Committed> written = std::move(m_journalled);
        m_journalled.clear();
        try {
            m_connection.RollbackTrans();
        } catch (const EDatabaseError& e) {
            qCWarning(lcOps).noquote() << "rollback failed:" << e.what();
        }
        try {
            throw;
        } catch (const ERefusal& refusal) {
            qCInfo(lcOps).noquote() << "refused:" << refusal.what();
            throw;
        } catch (const EADOError& e) {
            qCWarning(lcOps).noquote() << "operation failed, rolled back:" << e.what();
            if (e.failure() == TDbFailure::Busy || e.failure() == TDbFailure::Duplicate) throw ERefusal(busy);
            if (e.failure() != TDbFailure::Lost)
                throw ERefusal(QStringLiteral("Erro de banco de dados; nada foi alterado. (%1)").arg(e.message()));
            // Without a journal row written the work never reached its commit. With one, the
            // commit may have happened before the connection went: its identity says.
            const std::optional<bool> done = written.empty() ? false : journalled(written.front().id);
            if (!done)
                throw ERefusal(
                    QStringLiteral("A conexão com o banco de dados foi perdida e não foi possível saber se a "
                                   "operação foi feita (código %1); confira a mesa antes de tentar de novo.")
                        .arg(written.front().id));
            if (!*done) {
                qCWarning(lcOps).noquote() << "operation not done after the connection was lost";
                throw ERefusal(QStringLiteral(
                    "A conexão com o banco de dados foi perdida; a operação não foi feita e nada foi alterado. "
                    "Tente de novo."));
            }
            qCWarning(lcOps).noquote() << "operation" << written.front().id
                                       << "was committed before the connection was lost";
            m_recovered = true;
            m_journalled = std::move(written);
        }
    }
    m_lastCommitted = std::move(m_journalled);
    m_journalled.clear();
    if (commitObserver())
        for (const Committed& committed : m_lastCommitted) commitObserver()(committed);
}

}  // namespace Gpe00002
