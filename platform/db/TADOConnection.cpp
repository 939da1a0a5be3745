#include "TADOConnection.h"

#include "ConnectionString.h"

const char* dialectName(TSqlDialect dialect) {
    switch (dialect) {
    case TSqlDialect::SQLite: return "SQLite";
    case TSqlDialect::PostgreSQL: return "PostgreSQL";
    case TSqlDialect::Oracle: return "Oracle";
    case TSqlDialect::MSSQL: return "Microsoft SQL Server";
    }
    return "";
}

TADOConnection::TADOConnection(QString name) : TComponent(std::move(name)) {}

TADOConnection::~TADOConnection() { m_driver.reset(); }

void TADOConnection::setConnected(bool connected) {
    if (connected)
        Open();
    else
        Close();
}

void TADOConnection::Open() {
    if (m_driver) return;
    if (BeforeConnect) BeforeConnect(this);
    const ::ConnectionString options = ::ConnectionString::parse(m_connectionString);
    const QString provider = options.value(QStringLiteral("Provider"), m_provider).trimmed();
    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        m_driver = openSqliteDriver(options);
    else if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0)
        m_driver = openPostgresDriver(options);
    else if (provider.isEmpty())
        throw EADOError(QStringLiteral("%1: the connection string names no provider").arg(Name()));
    else
        throw EADOError(QStringLiteral("%1: provider '%2' is not available (use SQLite or PostgreSQL)").arg(Name(), provider));
    m_driver->onReconnected = [this] {
        if (AfterConnect) AfterConnect(this);
    };
    if (AfterConnect) AfterConnect(this);
}

void TADOConnection::Close() {
    if (!m_driver) return;
    if (BeforeDisconnect) BeforeDisconnect(this);
    m_driver.reset();
    if (AfterDisconnect) AfterDisconnect(this);
}

DbDriver& TADOConnection::driver() const {
    if (!m_driver) throw EDatabaseError(QStringLiteral("%1: connection is not open").arg(Name().isEmpty() ? QStringLiteral("Connection") : Name()));
    return *m_driver;
}

TSqlDialect TADOConnection::Dialect() const { return driver().dialect(); }

void TADOConnection::Execute(const QString& sql) { driver().executeScript(sql); }
void TADOConnection::BeginTrans() { driver().executeScript(QStringLiteral("BEGIN")); }
void TADOConnection::CommitTrans() { driver().executeScript(QStringLiteral("COMMIT")); }
void TADOConnection::RollbackTrans() { driver().executeScript(QStringLiteral("ROLLBACK")); }
