#pragma once
// A connection string in the "key=value;" manner: keys are case-insensitive, values may be
// enclosed in double quotes (a doubled quote inside stands for one). Throws EDatabaseError for
// an entry without '=' or an unterminated quote.

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

    // `text` with the value of every Password (or Pwd) entry replaced by "****", for messages and
    // logs that show a connection string. Nothing else of the text changes.
    static QString maskPasswords(const QString& text);

private:
    QMap<QString, QString> m_values;  // lower-case key -> value
};
