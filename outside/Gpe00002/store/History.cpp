#include "store/History.h"

#include "core/Log.h"
#include "core/Refusal.h"
#include "RestaurantSchema.h"

namespace Gpe00002 {

bool waiterHistoryInstalled(PackageDatabase& db) {
    // Trigger names as the scripts create them (PostgreSQL folds them to lower case).
    const std::vector<SqlRow> rows = db.select("waiterHistoryInstalled");
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
