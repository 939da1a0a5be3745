#pragma once
// Holds a query's statement in two dialects and puts the one for the database in use in force:
// SQLORACLE for Oracle, SQLite and PostgreSQL, SQLMSSQL for SQL Server.

#include "QorExport.h"

#include "TADOQuery.h"

#include <memory>

class QOR_EXPORT TADOSqlStorage : public TComponent {
public:
    explicit TADOSqlStorage(QString name = {});

    TADOQuery* ADOQuery() const { return m_query; }
    // Makes the query take its statement from here. The query shares the texts with this
    // component, so either may be destroyed first. A text changed after the query has put one
    // in force is taken up when its dialect changes or when the query is set here again.
    void setADOQuery(TADOQuery* query);
    const QString& SQLORACLE() const { return m_texts->oracle; }
    void setSQLORACLE(const QString& text) { m_texts->oracle = text; }
    const QString& SQLMSSQL() const { return m_texts->mssql; }
    void setSQLMSSQL(const QString& text) { m_texts->mssql = text; }

    QString textFor(TSqlDialect dialect) const;

private:
    struct Texts {
        QString oracle;
        QString mssql;
        QString textFor(TSqlDialect dialect) const;
    };

    TADOQuery* m_query = nullptr;
    std::shared_ptr<Texts> m_texts = std::make_shared<Texts>();
};
