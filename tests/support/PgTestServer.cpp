#include "PgTestServer.h"

#include "TADOConnection.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString& message) {
    ADD_FAILURE() << message.toStdString();
    throw std::runtime_error(message.toStdString());
}

// A value for the connection string, quoted when it holds a separator or a quote.
QString connectionValue(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('"')) && value.trimmed() == value)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QString pgTestConnectionString(const QString& schemaName) {
    const QString path = qEnvironmentVariable("RES_PG_CONNECTION_FILE");
    if (path.isEmpty())
        fail(
            QStringLiteral("RES_PG_CONNECTION_FILE is not set: run this test through ctest, whose fixture "
                           "pg_server_start starts the PostgreSQL test server"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1 (%2): the PostgreSQL test server is not running "
                            "(ctest runs pg_server_start first)")
                 .arg(path, file.errorString()));
    const QString base = QString::fromUtf8(file.readLine()).trimmed();
    if (base.isEmpty()) fail(QStringLiteral("%1 holds no connection string").arg(path));

    static const QRegularExpression identifier(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!identifier.match(schemaName).hasMatch())
        fail(QStringLiteral("'%1' is not a usable schema name (lower-case letters, digits and '_')").arg(schemaName));

    try {
        TADOConnection admin(QStringLiteral("PgTestAdmin"));
        admin.setConnectionString(base);
        admin.Open();
        admin.Execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE; CREATE SCHEMA %1").arg(schemaName));
    } catch (const EDatabaseError& error) {
        fail(QStringLiteral("cannot prepare schema %1 on the PostgreSQL test server: %2")
                 .arg(schemaName, error.message()));
    }
    return base + QStringLiteral(";Schema=") + schemaName;
}

QString sqliteTestConnectionString(const QTemporaryDir& dir, const QString& fileName) {
    if (!dir.isValid())
        fail(QStringLiteral("the temporary directory for the SQLite database could not be made: %1")
                 .arg(dir.errorString()));
    return QStringLiteral("Provider=SQLite;Data Source=%1;Create=yes").arg(connectionValue(dir.filePath(fileName)));
}

QString pgTestSchemaForCurrentTest(const QString& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString test =
        QStringLiteral("%1.%2").arg(QString::fromLatin1(info->test_suite_name()), QString::fromLatin1(info->name()));
    QString start = QString::fromLatin1(info->name()).toLower().left(36);
    start.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
    const QByteArray hash = QCryptographicHash::hash(test.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("%1_%2_%3").arg(prefix, start, QString::fromLatin1(hash));
}
