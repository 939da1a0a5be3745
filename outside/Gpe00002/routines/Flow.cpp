#include "Flow.h"

#include "../OpsLog.h"
#include "Mensagemqor.h"

namespace Gpe00002 {

void Flow::notify(const QString& text) const {
    Mensagemqor::Mensagem(text.toStdString(), "", "N", "N", tmInformacao, "", station.esquema.toStdString(), 0,
                          nullptr);
}

void Flow::refuse(const QString& text) const {
    Mensagemqor::Mensagem(text.toStdString(), "", "N", "N", tmErro, "", station.esquema.toStdString(), 0, nullptr);
}

std::vector<MapTable> Flow::map(const QString& filial, const QString& loja,
                                const std::function<QString(const TableState&)>& reasonNotOffered) {
    std::vector<MapTable> tables;
    for (TableState& table : loadTables(*db, filial, loja)) {
        QString reason = reasonNotOffered(table);
        const bool enabled = reason.isEmpty();
        tables.push_back({std::move(table), enabled, std::move(reason)});
    }
    return tables;
}

QJsonValue runFlow(bool needBranchAndStore, const std::function<QJsonValue(Flow&)>& dialogue) {
    Flow flow;
    try {
        flow.station = Station::read(needBranchAndStore);
        flow.db = std::make_unique<PackageDatabase>();
        return dialogue(flow);
    } catch (const ERefusal& refusal) {
        qCInfo(lcOps).noquote() << "operation refused:" << refusal.what();
        flow.refuse(refusal.message());
        return QJsonValue::Null;
    } catch (const EDatabaseError& e) {
        // A failure outside a transaction (reading the map, say): nothing was changed.
        qCWarning(lcOps).noquote() << "operation failed:" << e.what();
        flow.refuse(QStringLiteral("Erro de banco de dados; nada foi alterado. (%1)").arg(e.message()));
        return QJsonValue::Null;
    }
}

}  // namespace Gpe00002
