#include "Geralqor.h"

#include "Process.h"

#include <QFile>
#include <QSettings>
#include <QTextStream>

namespace {

const QString kKey = QStringLiteral("ConnectionString");

// The key ConnectionString of the top-level (General) section of an ini file; empty when the
// file or the key is missing. QSettings reads an unquoted ';' as the start of a comment and an
// unquoted ',' as a list separator, which would cut "Provider=SQLite;Data Source=..." down to
// "Provider=SQLite". So an unquoted value is taken as the whole rest of its line, and only a
// quoted one (as QSettings itself writes it) is left to QSettings to unescape.
QString iniConnectionString(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&file);
    bool topLevel = true;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            topLevel = close > 0 && line.mid(1, close - 1).trimmed() == QLatin1String("General");
            continue;
        }
        if (!topLevel || line.startsWith(QLatin1Char(';'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || line.left(eq).trimmed() != kKey) continue;
        const QString value = line.mid(eq + 1).trimmed();
        if (!value.startsWith(QLatin1Char('"'))) return value;
        return QSettings(path, QSettings::IniFormat).value(kKey).toString().trimmed();
    }
    return {};
}

// A connection-string value: quoted (with doubled quotes) when it would not read back as is.
QString connectionValue(const QString& value) {
    const bool plain =
        !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('"')) && value == value.trimmed();
    if (plain) return value;
    QString quoted = value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

namespace Geralqor {

std::string _GetStringConexQor(const std::string& /*unused*/) {
    const QString fromEnvironment = qEnvironmentVariable("QOR_CONNECTION");
    if (!fromEnvironment.trimmed().isEmpty()) return fromEnvironment.toStdString();

    const QString folder = Process::executableFolder();
    const QString fromIni = iniConnectionString(folder + QStringLiteral("/conexao.ini"));
    if (!fromIni.isEmpty()) return fromIni.toStdString();

    return (QStringLiteral("Provider=SQLite;Data Source=") +
            connectionValue(folder + QStringLiteral("/restaurante.db")))
        .toStdString();
}

}  // namespace Geralqor
