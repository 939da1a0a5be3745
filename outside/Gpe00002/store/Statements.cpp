#include "store/Statements.h"

#include "drivers/DbDriver.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <stdexcept>

namespace Gpe00002::Statements {

namespace {

const QString kFolder = QStringLiteral(":/gpe00002/sql/");

QString engine(TSqlDialect dialect) {
    return dialect == TSqlDialect::PostgreSQL ? QStringLiteral("postgresql") : QStringLiteral("sqlite");
}

[[noreturn]] void missing(const QString& what) {
    throw std::logic_error(QStringLiteral("the operations package has no %1").arg(what).toStdString());
}

// The file's text without its surrounding blanks; a null string when there is no such file.
QString read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

QString expand(const QString& name, QString text) {
    static const QRegularExpression piece(QStringLiteral("\\{([A-Za-z0-9_]+)\\}"));
    for (QRegularExpressionMatch match = piece.match(text); match.hasMatch(); match = piece.match(text)) {
        const QString fragment =
            read(kFolder + QStringLiteral("fragments/") + match.captured(1) + QStringLiteral(".sql"));
        if (fragment.isNull()) missing(QStringLiteral("piece {%1} of statement %2").arg(match.captured(1), name));
        text.replace(match.capturedStart(), match.capturedLength(), fragment);
    }
    return text;
}

}  // namespace

QString text(const QString& name, TSqlDialect dialect) {
    // Read once per engine: the operations run the same statements again and again.
    static QMutex guard;
    static QHash<QString, QString> known;
    const QString key = engine(dialect) + QLatin1Char('/') + name;
    const QMutexLocker lock(&guard);
    if (const auto found = known.constFind(key); found != known.constEnd()) return *found;
    QString sql = read(kFolder + name + QLatin1Char('.') + engine(dialect) + QStringLiteral(".sql"));
    if (sql.isNull()) sql = read(kFolder + name + QStringLiteral(".sql"));
    if (sql.isNull()) missing(QStringLiteral("statement %1 for %2").arg(name, engine(dialect)));
    sql = expand(name, sql);
    known.insert(key, sql);
    return sql;
}

QStringList names(TSqlDialect dialect) {
    const QString own = QLatin1Char('.') + engine(dialect) + QStringLiteral(".sql");
    QStringList found;
    for (const QString& file : QDir(kFolder).entryList(QDir::Files, QDir::Name)) {
        const QString stem = file.chopped(4);  // ".sql"
        if (!stem.contains(QLatin1Char('.')))
            found << stem;
        else if (file.endsWith(own))
            found << file.chopped(own.size());
    }
    found.sort();
    found.removeDuplicates();
    return found;
}

}  // namespace Gpe00002::Statements
