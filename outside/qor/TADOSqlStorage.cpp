#include "TADOSqlStorage.h"

TADOSqlStorage::TADOSqlStorage(QString name) : TComponent(std::move(name)) {}

QString TADOSqlStorage::Texts::textFor(TSqlDialect dialect) const {
    switch (dialect) {
    case TSqlDialect::MSSQL: return mssql;
    // On purpose: SQLite and PostgreSQL run the Oracle text. It is the one written with NVL and
    // SUBSTR, which both engines answer here (the SQLite driver registers NVL, the PostgreSQL
    // schema defines nvl); the other text's ISNULL(a, b) and CONVERT they do not.
    case TSqlDialect::Oracle:
    case TSqlDialect::SQLite:
    case TSqlDialect::PostgreSQL: return oracle;
    }
    return oracle;
}

QString TADOSqlStorage::textFor(TSqlDialect dialect) const { return m_texts->textFor(dialect); }

void TADOSqlStorage::setADOQuery(TADOQuery* query) {
    m_query = query;
    if (!query) return;
    // The query keeps the shared texts, not this component: nothing dangles whichever of the
    // two goes first.
    std::shared_ptr<const Texts> texts = m_texts;
    query->setDialectTexts([texts](TSqlDialect dialect) { return texts->textFor(dialect); });
}
