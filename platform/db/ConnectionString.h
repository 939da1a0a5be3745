#pragma once
// A connection string in the "key=value;" manner: keys are case-insensitive, values may be
// enclosed in double quotes (a doubled quote inside stands for one). Throws EDatabaseError for
// an entry without '=' or an unterminated quote.

#include <QList>
#include <QMap>
#include <QString>

class ConnectionString {
public:
    static ConnectionString parse(const QString& text);

    bool contains(const QString& key) const { return m_values.contains(key.toLower()); }
    QString value(const QString& key, const QString& fallback = {}) const {
        return m_values.value(key.toLower(), fallback);
    }
    // A time limit in whole seconds: `fallback` when the key is absent or empty; 0 or more than
    // `cap` takes the cap, so that no wait is without end. Throws EDatabaseError naming the key
    // for a value that is not a whole number.
    int seconds(const QString& key, int fallback, int cap) const;

    // A server to try: a host (empty for the client library's default) and its port (empty for
    // the default port).
    struct Server {
        QString host;
        QString port;
        bool operator==(const Server&) const = default;
    };
    // The servers that "Data Source" and "Port" name, in order: "db1,db2" lists hosts, and
    // "Port" gives either one port for all of them or one per host ("5432,5433"). Blanks around
    // each entry do not count. Throws EDatabaseError for an empty entry ("db1,,db2"), a port that
    // is not a number from 1 to 65535, or as many ports as neither one nor the hosts.
    QList<Server> servers() const;

    // `text` with the value of every Password (or Pwd) entry replaced by "****", for messages and
    // logs that show a connection string. Nothing else of the text changes.
    static QString maskPasswords(const QString& text);

private:
    QMap<QString, QString> m_values;  // lower-case key -> value
};
