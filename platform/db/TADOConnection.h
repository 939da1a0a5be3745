#pragma once
// The database connection. Its connection string picks the engine with its "Provider" key:
//   Provider=SQLite;Data Source=PATH[;Create=yes]
//   Provider=PostgreSQL;Data Source=HOST;Port=N;Initial Catalog=DB;User ID=U;Password=P
//     [;Schema=SEARCH_PATH][;Application Name=NAME]
// and, for both, [;Connect Timeout=SECONDS][;Command Timeout=SECONDS] (5 each by default, at
// most 30 and 60; 0 takes the most). Every statement on the connection ends within the command
// time-out, or sooner where the query or command sets a shorter one of its own; a lock held by
// another terminal or a server that stopped answering makes it fail with EADOError then.
// The stored Provider property is used only when the string names none. BeforeConnect runs
// before every connect (it may still change the connection string), AfterConnect after every
// successful one. Failures throw EADOError with the database's text, never the password.

#include "TComponent.h"
#include "drivers/DbDriver.h"

class TADOConnection : public TComponent {
public:
    explicit TADOConnection(QString name = {});
    ~TADOConnection() override;

    const QString& ConnectionString() const { return m_connectionString; }
    void setConnectionString(const QString& text) { m_connectionString = text; }
    const QString& Provider() const { return m_provider; }
    void setProvider(const QString& provider) { m_provider = provider; }
    // There is no log-in dialogue in this layer: the setting is kept for the components that
    // declare it and has no other effect.
    bool LoginPrompt() const { return m_loginPrompt; }
    void setLoginPrompt(bool prompt) { m_loginPrompt = prompt; }

    TNotifyEvent BeforeConnect;
    TNotifyEvent AfterConnect;
    TNotifyEvent BeforeDisconnect;
    TNotifyEvent AfterDisconnect;

    bool Connected() const { return m_driver != nullptr; }
    void setConnected(bool connected);
    void Open();
    void Close();

    TSqlDialect Dialect() const;  // throws when not connected
    // The limits in force since the last connect.
    const TTimeouts& Timeouts() const { return m_timeouts; }
    // Milliseconds a statement may take: the connection's command time-out, or the statement's
    // own (`ownSeconds`) when that is shorter; 0 or less means the statement sets none.
    int statementTimeoutMs(int ownSeconds) const;
    // Runs a script of statements without parameters (schema set-up, session settings).
    void Execute(const QString& sql);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    DbDriver& driver() const;  // throws when not connected

private:
    QString m_connectionString;
    QString m_provider;
    bool m_loginPrompt = true;
    TTimeouts m_timeouts;
    std::unique_ptr<DbDriver> m_driver;
};
