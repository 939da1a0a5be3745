#include "PgTestServer.h"

#include "TADOConnection.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
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

// Drops and re-creates a schema through the connection string `base`.
static void makeEmptySchema(const QString& base, const QString& schemaName) {
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
}

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

    makeEmptySchema(base, schemaName);
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

PgTestPair::PgTestPair() : m_dir(qEnvironmentVariable("RES_PG_PAIR_DIR")) {
    if (m_dir.isEmpty())
        fail(
            QStringLiteral("RES_PG_PAIR_DIR is not set: run this test through ctest, whose "
                           "fixture pg_pair_start starts the primary and its standby"));
    readPorts();
}

void PgTestPair::readPorts() {
    auto port = [this](const char* member) {
        QFile file(QStringLiteral("%1/%2/port").arg(m_dir, QLatin1String(member)));
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("cannot read %1 (%2): the pair is not running")
                     .arg(file.fileName(), file.errorString()));
        bool ok = false;
        const int number = QString::fromUtf8(file.readAll()).trimmed().toInt(&ok);
        if (!ok) fail(QStringLiteral("%1 holds no port").arg(file.fileName()));
        return number;
    };
    m_primaryPort = port("primary");
    m_standbyPort = port("standby");
}

QString PgTestPair::connectionString(const QString& schemaName, bool standbyFirst) const {
    const int first = standbyFirst ? m_standbyPort : m_primaryPort;
    const int second = standbyFirst ? m_primaryPort : m_standbyPort;
    const QString base = QStringLiteral(
                             "Provider=PostgreSQL;Data Source=127.0.0.1,127.0.0.1;Port=%1,%2;Initial Catalog=postgres;"
                             "User ID=postgres;Password=")
                             .arg(first)
                             .arg(second);
    makeEmptySchema(base, schemaName);
    return base + QStringLiteral(";Schema=") + schemaName;
}

void PgTestPair::run(const char* action) {
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"), {QStringLiteral(RES_PG_TEST_SCRIPT), QString::fromLatin1(action), m_dir});
    if (!script.waitForFinished(120000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        fail(QStringLiteral("pg-test-server.sh %1 failed: %2")
                 .arg(QLatin1String(action), QString::fromUtf8(script.readAll())));
}

void PgTestPair::failOver() {
    m_failedOver = true;
    run("stop-primary");
    run("promote");
}

void PgTestPair::restart() {
    run("start-pair");
    readPorts();
    m_failedOver = false;
}
