#pragma once
// Finds the named placeholders (":NAME") of a statement outside quoted literals, quoted
// identifiers and comments, and renders the statement with positional placeholders.
// "::" (a PostgreSQL cast) and a colon not followed by a name are left as they are.

#include <QString>
#include <QStringList>
#include <functional>

class SqlPlaceholders {
public:
    explicit SqlPlaceholders(const QString& sql);

    const QStringList& names() const { return m_names; }  // one per occurrence, in order
    // The statement with occurrence i (0-based) replaced by placeholder(i).
    QString render(const std::function<QString(int)>& placeholder) const;

private:
    QStringList m_segments;  // text around the placeholders: names().size() + 1 pieces
    QStringList m_names;
};
