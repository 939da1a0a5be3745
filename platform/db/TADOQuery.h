#pragma once
// A query: its statement text with named parameters, run on a connection; Open reads the
// whole result into memory. Read-only: editing throws. Optional persistent fields choose and
// order the columns kept (see TDataSet).

#include "SqlPlaceholders.h"
#include "TADOConnection.h"
#include "TDataSet.h"
#include "TParameters.h"

#include <optional>

enum class TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };
enum class TADOLockType { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic };

class TADOQuery : public TDataSet {
public:
    explicit TADOQuery(QString name = {});

    TADOConnection* Connection() const { return m_connection; }
    void setConnection(TADOConnection* connection) { m_connection = connection; }

    const QString& SQL() const { return m_sql; }
    void setSQL(const QString& text);  // closes the query and rebuilds its parameters
    TParameters& Parameters();
    const TParameters& Parameters() const { return m_parameters; }

    // A statement held in several SQL dialects: once the connection is open, the text for its
    // dialect is put in force before the parameters are first touched or the query opens, and
    // again whenever the connection's dialect changes.
    using DialectTexts = std::function<QString(TSqlDialect)>;
    void setDialectTexts(DialectTexts texts);

    // Settings kept as declared; results are always read whole into memory.
    TCursorType CursorType() const { return m_cursorType; }
    void setCursorType(TCursorType type) { m_cursorType = type; }
    TADOLockType LockType() const { return m_lockType; }
    void setLockType(TADOLockType type) { m_lockType = type; }
    bool EnableBCD() const { return m_enableBCD; }
    void setEnableBCD(bool enable) { m_enableBCD = enable; }
    // Seconds; 0 sets no limit of its own, and the connection's command time-out applies.
    int CommandTimeout() const { return m_commandTimeout; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }

protected:
    void doOpen() override;
    bool canModify() const override { return false; }

private:
    void selectDialectText();

    TADOConnection* m_connection = nullptr;
    DialectTexts m_dialectTexts;
    std::optional<TSqlDialect> m_textDialect;  // the dialect whose text is in force
    QString m_sql;
    bool m_blank = true;  // the statement text holds nothing but blanks
    std::unique_ptr<SqlPlaceholders> m_statement;
    QString m_rendered;  // the statement with the driver's positional placeholders
    std::optional<TSqlDialect> m_renderedFor;
    TParameters m_parameters;
    std::vector<QVariant> m_values;  // the values of the last run, kept for their storage
    TCursorType m_cursorType = TCursorType::ctKeyset;
    TADOLockType m_lockType = TADOLockType::ltOptimistic;
    bool m_enableBCD = true;
    int m_commandTimeout = 0;  // the connection's command time-out
};
