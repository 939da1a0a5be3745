#pragma once
// A statement that returns no rows (an update), with named parameters, run on a connection.

#include "SqlPlaceholders.h"
#include "TADOConnection.h"
#include "TParameters.h"

#include <optional>

class TADOCommand : public TComponent {
public:
    explicit TADOCommand(QString name = {});

    TADOConnection* Connection() const { return m_connection; }
    void setConnection(TADOConnection* connection) { m_connection = connection; }
    const QString& CommandText() const { return m_commandText; }
    void setCommandText(const QString& text);  // rebuilds the parameters
    TParameters& Parameters() { return m_parameters; }
    // Seconds; 0 sets no limit of its own, and the connection's command time-out applies.
    int CommandTimeout() const { return m_commandTimeout; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }

    // Runs the statement once with the bound values; answers the rows it changed.
    qint64 Execute();

private:
    TADOConnection* m_connection = nullptr;
    QString m_commandText;
    std::unique_ptr<SqlPlaceholders> m_statement;
    QString m_rendered;  // the statement with the driver's positional placeholders
    std::optional<TSqlDialect> m_renderedFor;
    TParameters m_parameters;
    std::vector<QVariant> m_values;  // the values of the last run, kept for their storage
    int m_commandTimeout = 0;        // the connection's command time-out
};
