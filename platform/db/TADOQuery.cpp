#include "TADOQuery.h"

TADOQuery::TADOQuery(QString name) : TDataSet(std::move(name)) {
    // Run again and again: the records of one run serve the next.
    m_reuseRecords = true;
}

void TADOQuery::setSQL(const QString& text) {
    Close();
    m_sql = text;
    m_blank = text.trimmed().isEmpty();
    m_rendered.clear();
    m_statement = std::make_unique<SqlPlaceholders>(text);
    m_parameters.assign(m_statement->names());
}

void TADOQuery::setDialectTexts(DialectTexts texts) {
    m_dialectTexts = std::move(texts);
    m_textDialect.reset();
}

void TADOQuery::selectDialectText() {
    if (!m_dialectTexts) return;
    if (!m_connection || !m_connection->Connected()) {
        // Until the connection says otherwise, the first dialect's text is in force, so that
        // binding works and opening fails on the connection itself.
        if (m_sql.isEmpty()) setSQL(m_dialectTexts(TSqlDialect::Oracle));
        return;
    }
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
    if (!m_statement || m_blank) fail(QStringLiteral("No statement to run"));
    DbDriver& driver = m_connection->driver();
    if (m_rendered.isEmpty() || m_renderedFor != driver.dialect()) {
        m_rendered = m_statement->render([&driver](int i) { return driver.placeholder(i); });
        m_renderedFor = driver.dialect();
    }
    m_parameters.values(m_values);
    TQueryResult result;
    driver.queryInto(m_rendered, m_values, m_connection->statementTimeoutMs(m_commandTimeout), result, m_spareRecords);
    setContent(result.columns, std::move(result.rows));
}
