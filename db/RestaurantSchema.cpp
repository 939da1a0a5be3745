#include "RestaurantSchema.h"

#include "TADOConnection.h"

#include <QFile>

// The resources live in this static library; registering them explicitly keeps them even when
// the linker would otherwise drop the unreferenced initialiser.
static int registerSchemaResources() {
    Q_INIT_RESOURCE(restaurant_schema);
    return 0;
}

static void initSchemaResources() {
    static const int registered = registerSchemaResources();
    (void)registered;
}

// The script `name` (schema, operations, history) of an engine.
static QString schemaScript(TSqlDialect dialect, const char* name) {
    QString folder;
    switch (dialect) {
    case TSqlDialect::SQLite: folder = QStringLiteral("sqlite"); break;
    case TSqlDialect::PostgreSQL: folder = QStringLiteral("postgresql"); break;
    case TSqlDialect::Oracle:
    case TSqlDialect::MSSQL: break;
    }
    if (folder.isEmpty())
        throw EDatabaseError(QStringLiteral("there is no %1 script for %2")
                                 .arg(QLatin1String(name), QString::fromLatin1(dialectName(dialect))));
    initSchemaResources();
    const QString path = QStringLiteral(":/res00011/db/%1/%2.sql").arg(folder, QLatin1String(name));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("the schema script %1 is missing from the build").arg(path));
    return QString::fromUtf8(file.readAll());
}

QString restaurantSchemaScript(TSqlDialect dialect) { return schemaScript(dialect, "schema"); }

QString operationsSchemaScript(TSqlDialect dialect) { return schemaScript(dialect, "operations"); }

QString operationsUpgradeScript(TSqlDialect dialect, int version) {
    if (dialect != TSqlDialect::SQLite) return {};
    const QByteArray name = "operations-upgrade-" + QByteArray::number(version);
    return schemaScript(dialect, name.constData());
}

QString historySchemaScript(TSqlDialect dialect) { return schemaScript(dialect, "history"); }

void installWaiterHistory(TADOConnection& connection) {
    const QString script = historySchemaScript(connection.Dialect());
    try {
        connection.Execute(script);
    } catch (const EDatabaseError&) {
        // The script stopped inside its transaction: end it, so that the connection is usable.
        try {
            connection.Execute(QStringLiteral("ROLLBACK"));
        } catch (const EDatabaseError&) {}
        throw;
    }
}

void createRestaurantSchema(TADOConnection& connection) {
    connection.Execute(restaurantSchemaScript(connection.Dialect()));
}

const QStringList& restaurantTableNames() {
    static const QStringList names{
        QStringLiteral("MESA"),       QStringLiteral("LOJA"),         QStringLiteral("ITMENUCONFTE"),
        QStringLiteral("JUNCAOMESA"), QStringLiteral("MESAJUNCAO"),   QStringLiteral("VENDAREST"),
        QStringLiteral("COMANDAVEN"), QStringLiteral("ITCOMANDAVEN"), QStringLiteral("PRODUTO"),
        QStringLiteral("VENDEDOR"),   QStringLiteral("OPERADOR"),     QStringLiteral("FILIOPER"),
    };
    return names;
}
