// CriaConsultaJuncao: the groupings of a store, read-only.
#include "routines/Flow.h"

namespace Gpe00002 {

QJsonValue consultaJuncao(const std::string& argumento, const std::string& filial, const std::string& loja) {
    return runFlow(false, [&](Flow& flow) -> QJsonValue {
        const QString asked = QString::fromStdString(argumento);
        GroupingOverview overview =
            loadGroupings(*flow.db, QString::fromStdString(filial), QString::fromStdString(loja), asked);
        // The menu asks only when a grouping exists; another terminal may have undone the last one
        // since.
        if (overview.grupos.empty())
            flow.notify(QStringLiteral("Não há mesas agrupadas nesta loja (filial %1, loja %2).")
                            .arg(overview.filial, overview.loja));
        else {
            // The screen follows the store while it is open, read as it was read now.
            overview.connectionString = flow.db->connection().ConnectionString();
            overview.reread = [&flow, filial = overview.filial, loja = overview.loja, asked] {
                return loadGroupings(*flow.db, filial, loja, asked);
            };
            ExibeAgrupamentos(overview);
        }
        return QJsonValue::Null;
    });
}

}  // namespace Gpe00002
