// The dialogue of the table transfer (CriaTrComanN kind "1"): the table to transfer on one map,
// the free table to take it on a second one, a confirmation, the operation, a notice.
#include "../operations/TransferirMesa.h"
#include "Flow.h"

#include <algorithm>

namespace Gpe00002 {

namespace {

const TableState* chooseOne(const std::vector<MapTable>& tables, const QString& prompt) {
    const std::optional<QStringList> chosen = MapaMesas({QStringLiteral("Transferir mesa"), prompt, tables});
    if (!chosen || chosen->isEmpty()) return nullptr;
    const auto found = std::find_if(tables.begin(), tables.end(),
                                    [&](const MapTable& table) { return table.mesa.numero == chosen->front(); });
    if (found == tables.end()) throw ERefusal(QStringLiteral("Mesa %1 não existe nesta loja").arg(chosen->front()));
    return &found->mesa;
}

bool anyEnabled(const std::vector<MapTable>& tables) {
    return std::any_of(tables.begin(), tables.end(), [](const MapTable& table) { return table.enabled; });
}

}  // namespace

QJsonValue transferirMesa(Flow& flow) {
    const QString& filial = flow.station.filial;
    const QString& loja = flow.station.loja;
    const std::vector<MapTable> sources = flow.map(filial, loja, [](const TableState& table) {
        return table.vendaAberta ? QString() : QStringLiteral("sem venda aberta");
    });
    if (!anyEnabled(sources)) throw ERefusal(QStringLiteral("Não há mesas com venda aberta nesta loja"));
    const TableState* origem = chooseOne(sources, QStringLiteral("Escolha a mesa a transferir"));
    if (!origem) return QJsonValue::Null;

    const std::vector<MapTable> targets = flow.map(filial, loja, [&](const TableState& table) {
        return table.numero == origem->numero ? QStringLiteral("origem") : notFreeReason(table);
    });
    if (!anyEnabled(targets))
        throw ERefusal(QStringLiteral("Não há mesas livres para receber a mesa %1").arg(origem->numero));
    const TableState* destino =
        chooseOne(targets, QStringLiteral("Escolha a mesa livre que recebe a mesa %1").arg(origem->numero));
    if (!destino) return QJsonValue::Null;

    if (!Confirma(QStringLiteral("Transferir mesa"),
                  QStringLiteral("Transferir a mesa %1 para a mesa %2?").arg(origem->numero, destino->numero)))
        return QJsonValue::Null;
    const QJsonObject result = transferirMesa(*flow.db, flow.station, filial, loja, *origem, *destino);
    flow.notify(QStringLiteral("Mesa %1 transferida para a mesa %2.").arg(origem->numero, destino->numero));
    return result;
}

}  // namespace Gpe00002
