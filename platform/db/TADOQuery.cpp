#include "TADOQuery.h"

TADOQuery::TADOQuery(QString name) : TDataSet(std::move(name)) {}

void TADOQuery::setSQL(const QString& text) {
    Close();
    m_sql = text;
    m_statement = std::make_unique<SqlPlaceholders>(text);
    m_parameters.assign(m_statement->names());
}

void TADOQuery::setDialectTexts(DialectTexts texts) {
    m_dialectTexts = std::move(texts);
    m_textDialect.reset();
}

void TADOQuery::selectDialectText() {
    if (!m_dialectTexts || !m_connection || !m_connection->Connected()) return;
    const TSqlDialect dialect = m_connection->Dialect();
    if (m_textDialect == dialect) return;
    setSQL(m_dialectTexts(dialect));
    m_textDialect = dialect;
}

TParameters& TADOQuery::Parameters() {
    selectDialectText();
    return m_parameters;
}

void TADOQuery::doOpen() {
    if (!m_connection) fail(QStringLiteral("Missing connection"));
    selectDialectText();
    if (!m_statement || m_sql.trimmed().isEmpty()) fail(QStringLiteral("No statement to run"));
    DbDriver& driver = m_connection->driver();
    const QString sql = m_statement->render([&driver](int i) { return driver.placeholder(i); });
    TQueryResult result = driver.query(sql, m_parameters.values());
    setContent(result.columns, std::move(result.rows));
}
