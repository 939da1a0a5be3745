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

private:
    QMap<QString, QString> m_values;  // lower-case key -> value
};
