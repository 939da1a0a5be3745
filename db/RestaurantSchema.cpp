#include "RestaurantSchema.h"

#include "TADOConnection.h"

#include <QFile>

// The resources live in this static library; registering them explicitly keeps them even when
// the linker would otherwise drop the unreferenced initialiser.
static int registerSchemaResources()
{
    Q_INIT_RESOURCE(restaurant_schema);
    return 0;
}

static void initSchemaResources()
{
    static const int registered = registerSchemaResources();
    (void)registered;
}

QString restaurantSchemaScript(TSqlDialect dialect)
{
    QString path;
    switch (dialect) {
    case TSqlDialect::SQLite: path = QStringLiteral(":/res00011/db/sqlite/schema.sql"); break;
    case TSqlDialect::PostgreSQL: path = QStringLiteral(":/res00011/db/postgresql/schema.sql"); break;
    case TSqlDialect::Oracle:
    case TSqlDialect::MSSQL: break;
    }
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("there is no restaurant schema script for %1")
                                 .arg(QString::fromLatin1(dialectName(dialect))));
    initSchemaResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("the restaurant schema script %1 is missing from the build").arg(path));
    return QString::fromUtf8(file.readAll());
}

void createRestaurantSchema(TADOConnection& connection)
{
    connection.Execute(restaurantSchemaScript(connection.Dialect()));
}

const QStringList& restaurantTableNames()
{
    static const QStringList names{
        QStringLiteral("MESA"),       QStringLiteral("LOJA"),       QStringLiteral("ITMENUCONFTE"),
        QStringLiteral("JUNCAOMESA"), QStringLiteral("MESAJUNCAO"), QStringLiteral("VENDAREST"),
        QStringLiteral("COMANDAVEN"), QStringLiteral("ITCOMANDAVEN"), QStringLiteral("PRODUTO"),
        QStringLiteral("VENDEDOR"),   QStringLiteral("OPERADOR"),   QStringLiteral("FILIOPER"),
    };
    return names;
}
