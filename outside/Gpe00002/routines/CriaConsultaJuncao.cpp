// CriaConsultaJuncao: the groupings of a store, read-only.
#include "Flow.h"

namespace Gpe00002 {

QJsonValue consultaJuncao(const std::string& argumento, const std::string& filial, const std::string& loja) {
    return runFlow(false, [&](Flow& flow) -> QJsonValue {
        ExibeAgrupamentos(loadGroupings(*flow.db, QString::fromStdString(filial), QString::fromStdString(loja),
                                        QString::fromStdString(argumento)));
        return QJsonValue::Null;
    });
}

}  // namespace Gpe00002
