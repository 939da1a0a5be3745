#include "Qor_trelvix.h"

#include "DbLog.h"
#include "TADOConnection.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace Qor_trelvix {

void SetADODBSession(TADOConnection& connection) {
    switch (connection.Dialect()) {
    case TSqlDialect::SQLite:
        // Enforce the references between tables, which SQLite leaves off by default per
        // connection. (How long a lock is waited for is the connection's command time-out.)
        connection.Execute(QStringLiteral("PRAGMA foreign_keys = ON;"));
        break;
    case TSqlDialect::PostgreSQL: {
        connection.Execute(QStringLiteral("SET client_encoding TO 'UTF8'; SET application_name TO 'res00011';"));
        // The server's clock read in the terminal's time zone (the history of waiter changes, say),
        // like every time the terminal writes. A zone the server does not know leaves its own.
        static const QRegularExpression zoneName(QStringLiteral("^[A-Za-z0-9_+/-]+$"));
        const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
        if (zoneName.match(zone).hasMatch()) {
            try {
                connection.Execute(QStringLiteral("SET TimeZone TO '%1'").arg(zone));
            } catch (const EDatabaseError& e) {
                qCWarning(lcDatabase).noquote() << "PostgreSQL: the session keeps the server's time zone:" << e.what();
            }
        }
        break;
    }
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
