#include "store/History.h"

#include "core/Log.h"
#include "core/Refusal.h"
#include "RestaurantSchema.h"

namespace Gpe00002 {

bool waiterHistoryInstalled(PackageDatabase& db) {
    // Trigger names as the scripts create them (PostgreSQL folds them to lower case).
    const QString sql =
        db.postgres()
            ? QStringLiteral(
                  "SELECT COUNT(*) AS N FROM pg_trigger T JOIN pg_class C ON C.oid = T.tgrelid "
                  "JOIN pg_namespace S ON S.oid = C.relnamespace "
                  "WHERE S.nspname = current_schema() AND NOT T.tgisinternal AND T.tgenabled <> 'D' AND "
                  "((C.relname = 'itcomandaven' AND T.tgname = 'tr_itcomandaven_gpehist') OR "
                  "(C.relname = 'vendarest' AND T.tgname = 'tr_vendarest_gpehist')) AND EXISTS (SELECT 1 FROM "
                  "pg_class H WHERE H.relnamespace = S.oid AND H.relname = 'gpehistvendedor' AND H.relkind = 'r')")
            : QStringLiteral(
                  "SELECT COUNT(*) AS N FROM sqlite_master WHERE type = 'trigger' AND "
                  "((UPPER(tbl_name) = 'ITCOMANDAVEN' AND UPPER(name) = 'TR_ITCOMANDAVEN_GPEHIST') OR "
                  "(UPPER(tbl_name) = 'VENDAREST' AND UPPER(name) = 'TR_VENDAREST_GPEHIST')) AND EXISTS (SELECT 1 "
                  "FROM sqlite_master WHERE type = 'table' AND UPPER(name) = 'GPEHISTVENDEDOR')");
    const std::vector<SqlRow> rows = db.select(sql);
    return !rows.empty() && rows.front().value(QStringLiteral("N")).toInt() == 2;
}

void installWaiterHistory(PackageDatabase& db) {
    try {
        ::installWaiterHistory(db.connection());
    } catch (const EDatabaseError& e) {
        qCWarning(lcOps).noquote() << "cannot install the history of waiter changes:" << e.what();
        throw ERefusal(QStringLiteral("Não foi possível instalar o histórico de garçons; nada foi alterado. (%1)")
                           .arg(e.message()));
    }
    qCInfo(lcOps) << "installed the history of waiter changes";
}

}  // namespace Gpe00002
