#include "TADOCommand.h"

TADOCommand::TADOCommand(QString name) : TComponent(std::move(name)) {}

void TADOCommand::setCommandText(const QString& text) {
    m_commandText = text;
    m_rendered.clear();
    m_renderedFor.reset();
    m_statement = std::make_unique<SqlPlaceholders>(text);
    m_parameters.assign(m_statement->names());
}

qint64 TADOCommand::Execute() {
    if (!m_connection) throw EDatabaseError(QStringLiteral("%1: missing connection").arg(Name()));
    if (!m_statement || m_commandText.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("%1: no statement to run").arg(Name()));
    DbDriver& driver = m_connection->driver();
    if (m_renderedFor != driver.dialect()) {
        m_rendered = m_statement->render([&driver](int i) { return driver.placeholder(i); });
        m_renderedFor = driver.dialect();
    }
    m_parameters.values(m_values);
    return driver.execute(m_rendered, m_values, m_connection->statementTimeoutMs(m_commandTimeout));
}
