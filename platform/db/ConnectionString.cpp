#include "ConnectionString.h"

#include "DbTypes.h"

#include <QRegularExpression>
#include <QStringList>

ConnectionString ConnectionString::parse(const QString& text) {
    ConnectionString result;
    const int n = static_cast<int>(text.size());
    int pos = 0;
    QString previousKey;
    // An entry without '=' is named in the message, unless it follows a password: then it is
    // most likely the rest of a password that holds ';' and was not quoted.
    const auto noEquals = [&previousKey](const QString& entry) {
        if (previousKey == QLatin1String("password") || previousKey == QLatin1String("pwd"))
            return EDatabaseError(
                QStringLiteral("Connection string: the entry after the password has no '=' (a password that holds ';' "
                               "is written in double quotes)"));
        return EDatabaseError(QStringLiteral("Connection string: entry '%1' has no '='").arg(entry));
    };
    while (pos < n) {
        const int eq = static_cast<int>(text.indexOf(u'=', pos));
        const int semi = static_cast<int>(text.indexOf(u';', pos));
        if (semi >= 0 && (eq < 0 || semi < eq)) {
            if (!text.mid(pos, semi - pos).trimmed().isEmpty()) throw noEquals(text.mid(pos, semi - pos).trimmed());
            pos = semi + 1;
            continue;
        }
        if (eq < 0) {
            if (!text.mid(pos).trimmed().isEmpty()) throw noEquals(text.mid(pos).trimmed());
            break;
        }
        const QString key = text.mid(pos, eq - pos).trimmed().toLower();
        if (key.isEmpty()) throw EDatabaseError(QStringLiteral("Connection string: an entry has no key"));
        pos = eq + 1;
        while (pos < n && text[pos].isSpace()) ++pos;
        QString value;
        if (pos < n && text[pos] == u'"') {
            ++pos;
            for (;;) {
                if (pos >= n)
                    throw EDatabaseError(
                        QStringLiteral("Connection string: unterminated quote in the value of '%1'").arg(key));
                if (text[pos] == u'"') {
                    if (pos + 1 < n && text[pos + 1] == u'"') {
                        value += u'"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                value += text[pos++];
            }
            while (pos < n && text[pos].isSpace()) ++pos;
            if (pos < n && text[pos] != u';')
                throw EDatabaseError(QStringLiteral("Connection string: text after the quoted value of '%1'").arg(key));
            if (pos < n) ++pos;
        } else {
            const int end = static_cast<int>(text.indexOf(u';', pos));
            value = text.mid(pos, end < 0 ? -1 : end - pos).trimmed();
            pos = end < 0 ? n : end + 1;
        }
        result.m_values.insert(key, value);
        previousKey = key;
    }
    return result;
}

int ConnectionString::seconds(const QString& key, int fallback, int cap) const {
    const QString text = value(key).trimmed();
    if (text.isEmpty()) return fallback;
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 0)
        throw EDatabaseError(QStringLiteral("Connection string: %1 '%2' is not a number of seconds").arg(key, text));
    return number == 0 || number > cap ? cap : number;
}

QList<ConnectionString::Server> ConnectionString::servers() const {
    auto entries = [this](const QString& key, const char* what) {
        const QString text = value(key).trimmed();
        QStringList list;
        if (text.isEmpty()) return list;
        for (const QString& entry : text.split(u',')) {
            list.append(entry.trimmed());
            if (list.last().isEmpty())
                throw EDatabaseError(QStringLiteral("Connection string: %1 '%2' has an empty %3 in its list")
                                         .arg(key, text, QLatin1String(what)));
        }
        return list;
    };
    QStringList hosts = entries(QStringLiteral("Data Source"), "host");
    const QStringList ports = entries(QStringLiteral("Port"), "port");
    for (const QString& port : ports) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            throw EDatabaseError(
                QStringLiteral("Connection string: Port '%1' is not a number from 1 to 65535").arg(port));
    }
    if (hosts.isEmpty()) hosts.append(QString());
    if (ports.size() > 1 && ports.size() != hosts.size())
        throw EDatabaseError(QStringLiteral("Connection string: %1 ports for %2 hosts (give one port for all "
                                            "hosts, or one port for each)")
                                 .arg(ports.size())
                                 .arg(hosts.size()));
    QList<Server> servers;
    for (qsizetype i = 0; i < hosts.size(); ++i)
        servers.append({hosts[i], ports.isEmpty() ? QString() : ports[ports.size() == 1 ? 0 : i]});
    return servers;
}

QString ConnectionString::maskPasswords(const QString& text) {
    // The key where a word starts, then its value: quoted (with doubled quotes inside) or up to
    // the next ';'.
    static const QRegularExpression entry(
        QStringLiteral(R"((^|\W)(\s*(?:password|pwd)\s*=\s*)("(?:[^"]|"")*"?|[^;]*))"),
        QRegularExpression::CaseInsensitiveOption);
    QString masked = text;
    masked.replace(entry, QStringLiteral("\\1\\2****"));
    return masked;
}
