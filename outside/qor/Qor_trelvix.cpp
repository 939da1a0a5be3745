#include "Qor_trelvix.h"

#include "TADOConnection.h"

#include <QRegularExpression>

namespace Qor_trelvix {

void SetADODBSession(TADOConnection& connection) {
    switch (connection.Dialect()) {
    case TSqlDialect::SQLite:
        // Enforce the references between tables, which SQLite leaves off by default per
        // connection. (How long a lock is waited for is the connection's command time-out.)
        connection.Execute(QStringLiteral("PRAGMA foreign_keys = ON;"));
        break;
    case TSqlDialect::PostgreSQL:
        connection.Execute(QStringLiteral("SET client_encoding TO 'UTF8'; SET application_name TO 'res00011';"));
        break;
    case TSqlDialect::Oracle:
    case TSqlDialect::MSSQL: break;  // no session settings of ours
    }
}

std::string ADOExceptionMessage(const std::exception& error, TADOConnection& /*connection*/,
                                const std::string& complemento) {
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    QString text = QString::fromUtf8(error.what());
    text.replace(lineBreaks, QStringLiteral(" "));
    text = text.trimmed();
    if (dynamic_cast<const EDatabaseError*>(&error)) text = QStringLiteral("Erro de banco de dados: ") + text;
    if (!complemento.empty()) text += QStringLiteral(" (") + QString::fromStdString(complemento) + QLatin1Char(')');
    return text.toStdString();
}

bool TryConnect(TADOConnection& connection) {
    try {
        connection.Open();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace Qor_trelvix
