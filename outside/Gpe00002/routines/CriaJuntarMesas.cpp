// CriaJuntarMesas: "J" groups tables, "S" separates one from its grouping.
#include "../operations/JuntarMesas.h"
#include "../operations/SepararMesa.h"
#include "Flow.h"

#include <algorithm>

namespace Gpe00002 {

namespace {

// Several tables as the user reads them: "0020", "0020 e 0021", "0020, 0021 e 0022".
QString listed(const QStringList& numbers) {
    if (numbers.size() < 2) return numbers.join(QString());
    return numbers.mid(0, numbers.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" e ") + numbers.back();
}

QJsonValue agrupar(Flow& flow, const QString& filial, const QString& loja) {
    const QString title = QStringLiteral("Agrupar mesas");
    const std::vector<MapTable> tables = flow.map(filial, loja, [](const TableState& table) {
        return table.estado == kFechando ? QStringLiteral("fechando") : QString();
    });
    if (std::count_if(tables.begin(), tables.end(), [](const MapTable& table) { return table.enabled; }) < 2)
        throw ERefusal(QStringLiteral("Não há mesas para agrupar nesta loja"));
    // Adding to a grouping takes one of its members and at least one other table: two at least
    // either way.
    const std::optional<QStringList> chosen = MapaMesas(
        {title, QStringLiteral("Escolha as mesas a agrupar, ou uma mesa de um agrupamento e as mesas a incluir nele"),
         tables, true, 2});
    if (!chosen || chosen->isEmpty()) return QJsonValue::Null;
    std::vector<TableState> seen;
    for (const QString& numero : *chosen) {
        const auto found = std::find_if(tables.begin(), tables.end(),
                                        [&](const MapTable& table) { return table.mesa.numero == numero; });
        if (found == tables.end()) throw ERefusal(QStringLiteral("Mesa %1 não existe nesta loja").arg(numero));
        seen.push_back(found->mesa);
    }
    const GroupingPlan plan = planGrouping(seen);
    const QString question =
        plan.grupo.isEmpty() ? QStringLiteral("Agrupar as mesas %1?").arg(listed(plan.mesas))
                             : QStringLiteral("Incluir %1 %2 no agrupamento %3?")
                                   .arg(plan.novas.size() == 1 ? QStringLiteral("a mesa") : QStringLiteral("as mesas"),
                                        listed(plan.novas), plan.grupo);
    if (!Confirma(title, question)) return QJsonValue::Null;
    const QJsonObject result = agruparMesas(*flow.db, flow.station, filial, loja, seen);
    const QString grupo = result.value(QStringLiteral("grouping")).toString();
    flow.notify(
        plan.grupo.isEmpty()
            ? QStringLiteral("Mesas %1 agrupadas no agrupamento %2.").arg(listed(plan.mesas), grupo)
            : QStringLiteral("%1 %2 %3 no agrupamento %4.")
                  .arg(plan.novas.size() == 1 ? QStringLiteral("Mesa") : QStringLiteral("Mesas"), listed(plan.novas),
                       plan.novas.size() == 1 ? QStringLiteral("incluída") : QStringLiteral("incluídas"), grupo));
    return result;
}

QJsonValue separar(Flow& flow, const QString& filial, const QString& loja) {
    const std::vector<MapTable> tables = flow.map(filial, loja, [](const TableState& table) {
        return table.grupo.isEmpty() ? QStringLiteral("sem agrupamento") : QString();
    });
    const std::optional<QStringList> chosen = MapaMesas(
        {QStringLiteral("Separar mesa"), QStringLiteral("Escolha a mesa a separar do seu agrupamento"), tables});
    if (!chosen || chosen->isEmpty()) return QJsonValue::Null;
    const auto seen = std::find_if(tables.begin(), tables.end(),
                                   [&](const MapTable& table) { return table.mesa.numero == chosen->front(); });
    if (seen == tables.end()) return QJsonValue::Null;
    if (!Confirma(QStringLiteral("Separar mesa"),
                  QStringLiteral("Separar a mesa %1 do agrupamento %2?").arg(seen->mesa.numero, seen->mesa.grupo)))
        return QJsonValue::Null;
    const QJsonObject result = separarMesa(*flow.db, flow.station, filial, loja, seen->mesa);
    flow.notify(result.value(QStringLiteral("removed")).toBool()
                    ? QStringLiteral("Mesa %1 separada; o agrupamento %2 foi desfeito.")
                          .arg(seen->mesa.numero, seen->mesa.grupo)
                    : QStringLiteral("Mesa %1 separada do agrupamento %2.").arg(seen->mesa.numero, seen->mesa.grupo));
    return result;
}

}  // namespace

QJsonValue juntarMesas(const std::string& modo, const std::string& filial, const std::string& loja) {
    return runFlow(false, [&](Flow& flow) -> QJsonValue {
        const QString f = QString::fromStdString(filial), l = QString::fromStdString(loja);
        if (modo == "J") return agrupar(flow, f, l);
        if (modo == "S") return separar(flow, f, l);
        throw ERefusal(QStringLiteral("Modo de agrupamento desconhecido: %1").arg(QString::fromStdString(modo)));
    });
}

}  // namespace Gpe00002
