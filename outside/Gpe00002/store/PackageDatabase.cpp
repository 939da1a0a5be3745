#include "store/PackageDatabase.h"

#include "core/Log.h"
#include "core/Refusal.h"
#include "store/Statements.h"
#include "Geralqor.h"
#include "Qor_trelvix.h"
#include "RestaurantSchema.h"
#include "TADOCommand.h"
#include "TADOQuery.h"

namespace Gpe00002 {

namespace {

void bind(TParameters& bound, const QVariantMap& parameters) {
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) bound.ParamByName(it.key()).setValue(it.value());
}

}  // namespace

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
    } catch (const EDatabaseError& e) {
        qCWarning(lcOps).noquote() << "cannot open the database:" << e.what();
        throw ERefusal(
            QStringLiteral("Não foi possível acessar o banco de dados; nada foi alterado. (%1)").arg(e.message()));
    }
}

namespace {

// The version of the package's tables in GPEVERSAO; 0 where there is none yet.
int ownTablesVersion(TADOConnection& connection) {
    TADOQuery version;
    version.setConnection(&connection);
    version.setSQL(Statements::text(QStringLiteral("packageVersion"), connection.Dialect()));
    try {
        version.Open();
        return version.IsEmpty() ? 0 : version.Fields(0).AsInteger();
    } catch (const EADOError&) {
        // No version table yet: a database the package has not been on. (On PostgreSQL the
        // failed statement ended nothing: it ran outside any transaction.)
        return 0;
    }
}

}  // namespace

void PackageDatabase::ensureOwnTables(TADOConnection& connection) {
    const int found = ownTablesVersion(connection);
    if (found >= kOperationsSchemaVersion) return;
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
        if (now < kOperationsSchemaVersion) {
            if (now >= 1) connection.Execute(operationsUpgradeScript(connection.Dialect()));
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

std::vector<SqlRow> PackageDatabase::select(const char* statement, const QVariantMap& parameters) {
    TADOQuery query;
    query.setConnection(&m_connection);
    query.setSQL(Statements::text(QLatin1String(statement), m_connection.Dialect()));
    bind(query.Parameters(), parameters);
    query.Open();
    std::vector<SqlRow> rows;
    rows.reserve(static_cast<std::size_t>(query.RecordCount()));
    for (query.First(); !query.Eof(); query.Next()) {
        SqlRow& row = rows.emplace_back();
        for (int i = 0; i < query.FieldCount(); ++i)
            row.insert(query.Fields(i).FieldName().toUpper(), query.Fields(i).Value());
    }
    return rows;
}

qint64 PackageDatabase::execute(const char* statement, const QVariantMap& parameters) {
    TADOCommand command;
    command.setConnection(&m_connection);
    command.setCommandText(Statements::text(QLatin1String(statement), m_connection.Dialect()));
    bind(command.Parameters(), parameters);
    return command.Execute();
}

void PackageDatabase::lock(const char* statement, const QVariantMap& parameters) {
    if (postgres()) select(statement, parameters);
}

void PackageDatabase::transaction(const QString& busy, const std::function<void()>& work) {
    try {
        m_connection.Execute(Statements::text(QStringLiteral("beginTransaction"), m_connection.Dialect()));
    } catch (const EADOError& e) {
        qCWarning(lcOps).noquote() << "cannot begin a transaction:" << e.what();
        if (e.failure() == TDbFailure::Busy) throw ERefusal(busy);
        throw ERefusal(
            QStringLiteral("Não foi possível acessar o banco de dados; nada foi alterado. (%1)").arg(e.message()));
    }
    try {
        work();
        m_connection.CommitTrans();
    } catch (...) {
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
            if (e.failure() == TDbFailure::Lost)
                throw ERefusal(
                    QStringLiteral("A conexão com o banco de dados foi perdida; confira a mesa e tente de novo."));
            throw ERefusal(QStringLiteral("Erro de banco de dados; nada foi alterado. (%1)").arg(e.message()));
        }
    }
}

}  // namespace Gpe00002
