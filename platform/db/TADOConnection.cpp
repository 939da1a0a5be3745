#include "TADOConnection.h"

#include "ConnectionString.h"
#include "DbLog.h"

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
    m_timeouts = TTimeouts::from(options);
    qCInfo(lcDatabase).noquote() << Name() << "connecting:" << ::ConnectionString::maskPasswords(m_connectionString);
    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        m_driver = openSqliteDriver(options);
    else if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0)
        m_driver = openPostgresDriver(options);
    else if (provider.isEmpty())
        throw EADOError(QStringLiteral("%1: the connection string names no provider").arg(Name()));
    else
        throw EADOError(
            QStringLiteral("%1: provider '%2' is not available (use SQLite or PostgreSQL)").arg(Name(), provider));
    m_driver->onReconnected = [this] {
        if (AfterConnect) AfterConnect(this);
    };
    qCInfo(lcDatabase).noquote() << Name() << "connected to" << dialectName(m_driver->dialect());
    if (AfterConnect) AfterConnect(this);
}

TTimeouts TTimeouts::from(const ::ConnectionString& options) {
    TTimeouts timeouts;
    timeouts.connectSeconds = options.seconds(QStringLiteral("Connect Timeout"), kDefaultSeconds, kMaxConnectSeconds);
    timeouts.commandSeconds = options.seconds(QStringLiteral("Command Timeout"), kDefaultSeconds, kMaxCommandSeconds);
    return timeouts;
}

int TADOConnection::statementTimeoutMs(int ownSeconds) const {
    const int seconds = ownSeconds > 0 ? std::min(ownSeconds, m_timeouts.commandSeconds) : m_timeouts.commandSeconds;
    return seconds * 1000;
}

void TADOConnection::Close() {
    if (!m_driver) return;
    if (BeforeDisconnect) BeforeDisconnect(this);
    m_driver.reset();
    if (AfterDisconnect) AfterDisconnect(this);
}

DbDriver& TADOConnection::driver() const {
    if (!m_driver)
        throw EDatabaseError(
            QStringLiteral("%1: connection is not open").arg(Name().isEmpty() ? QStringLiteral("Connection") : Name()));
    return *m_driver;
}

TSqlDialect TADOConnection::Dialect() const { return driver().dialect(); }

void TADOConnection::Execute(const QString& sql) { driver().executeScript(sql, statementTimeoutMs(0)); }
void TADOConnection::BeginTrans() { Execute(QStringLiteral("BEGIN")); }
void TADOConnection::CommitTrans() { Execute(QStringLiteral("COMMIT")); }
void TADOConnection::RollbackTrans() { Execute(QStringLiteral("ROLLBACK")); }
