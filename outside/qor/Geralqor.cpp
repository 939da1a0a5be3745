#include "Geralqor.h"

#include "ConnectionString.h"
#include "DbTypes.h"
#include "Process.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kKey = QStringLiteral("ConnectionString");

[[noreturn]] void fail(const QString& path, const QString& problem) {
    throw EDatabaseError(QStringLiteral("Connection file %1: %2").arg(path, problem));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("a directory");
    if (S_ISFIFO(mode)) return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

// The whole file as text. Opened without waiting, so that a FIFO in its place is refused at once
// rather than holding the start-up until somebody writes to it.
QString readText(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(path, QStringLiteral("cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        fail(path, QStringLiteral("it is %1").arg(kindOf(status.st_mode)));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        fail(path, QStringLiteral("cannot be opened: %1").arg(file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) fail(path, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    // UTF-8, or UTF-16/32 when a byte-order mark says so, as editors save it.
    const QStringConverter::Encoding encoding =
        QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        fail(path, QStringLiteral("it is not text (its bytes are not valid %1)")
                       .arg(QLatin1String(QStringConverter::nameForEncoding(encoding))));
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r')
            fail(path, QStringLiteral("it is not text (it holds the control character U+%1)")
                           .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
    }
    if (text.startsWith(QChar::ByteOrderMark)) text.remove(0, 1);
    return text;
}

// The key ConnectionString of the top-level (General) section of the ini text; nothing when the
// key is missing. QSettings reads an unquoted ';' as the start of a comment and an unquoted ','
// as a list separator, which would cut "Provider=SQLite;Data Source=..." down to
// "Provider=SQLite". So an unquoted value is taken as the whole rest of its line, and only a
// quoted one (as QSettings itself writes it) is left to QSettings to unescape.
std::optional<QString> iniConnectionString(const QString& path, const QString& text) {
    bool topLevel = true;
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    for (const QString& rawLine : text.split(lineEnd)) {
        const QString line = rawLine.trimmed();
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
    return std::nullopt;
}

// Refuses a connection string that could only fail later, or worse, connect elsewhere: the
// message then names the file to fix instead of a driver's complaint.
void checkConnectionString(const QString& path, const QString& value) {
    if (value.isEmpty()) fail(path, QStringLiteral("%1 is empty").arg(kKey));
    ConnectionString options;
    try {
        options = ConnectionString::parse(value);
    } catch (const EDatabaseError& e) {
        fail(path, QStringLiteral("%1 cannot be read: %2").arg(kKey, e.message()));
    }
    // The providers the database layer has drivers for (TADOConnection::Open).
    const QString provider = options.value(QStringLiteral("Provider")).trimmed();
    if (provider.isEmpty()) fail(path, QStringLiteral("%1 names no Provider (SQLite or PostgreSQL)").arg(kKey));
    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0 &&
        provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) != 0)
        fail(path, QStringLiteral("%1 names the provider '%2', which is not available (use SQLite or PostgreSQL)")
                       .arg(kKey, provider));
    if (options.value(QStringLiteral("Data Source")).trimmed().isEmpty())
        fail(path, QStringLiteral("%1 names no Data Source").arg(kKey));
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
    const QString ini = folder + QStringLiteral("/conexao.ini");
    // Only a file that is not there at all means the local database; anything in its place that
    // does not name a database is an error.
    if (Process::FileExists(ini)) {
        const std::optional<QString> value = iniConnectionString(ini, readText(ini));
        if (!value) fail(ini, QStringLiteral("it has no %1 key").arg(kKey));
        checkConnectionString(ini, *value);
        return value->toStdString();
    }

    return (QStringLiteral("Provider=SQLite;Data Source=") +
            connectionValue(folder + QStringLiteral("/restaurante.db")))
        .toStdString();
}

}  // namespace Geralqor
