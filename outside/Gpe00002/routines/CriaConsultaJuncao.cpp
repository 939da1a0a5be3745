// CriaConsultaJuncao: the groupings of a store, read-only.
#include "routines/Flow.h"

namespace Gpe00002 {

QJsonValue consultaJuncao(const std::string& argumento, const std::string& filial, const std::string& loja) {
    return runFlow(false, [&](Flow& flow) -> QJsonValue {
        const GroupingOverview overview = loadGroupings(
            *flow.db, QString::fromStdString(filial), QString::fromStdString(loja), QString::fromStdString(argumento));
        // The menu asks only when a grouping exists; another terminal may have undone the last one
        // since.
        if (overview.grupos.empty())
            flow.notify(QStringLiteral("Não há mesas agrupadas nesta loja (filial %1, loja %2).")
                            .arg(overview.filial, overview.loja));
        else
            ExibeAgrupamentos(overview);
        return QJsonValue::Null;
    });
}

}  // namespace Gpe00002
