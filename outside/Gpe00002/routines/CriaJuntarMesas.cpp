// CriaJuntarMesas: "J" groups tables, "S" separates one from its grouping: the map, then a
// question; Cancela on the question brings the map back with the choice, on the map ends.
#include "operations/JuntarMesas.h"
#include "operations/SepararMesa.h"
#include "routines/Flow.h"

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
    QStringList marked;
    for (;;) {
        const std::vector<MapTable> tables = flow.map(filial, loja, [](const TableState& table) {
            return table.estado == kFechando ? QStringLiteral("fechando") : QString();
        });
        if (std::count_if(tables.begin(), tables.end(), [](const MapTable& table) { return table.enabled; }) < 2)
            throw ERefusal(QStringLiteral("Não há mesas para agrupar nesta loja"));
        // Adding to a grouping takes one of its members and at least one other table: two at
        // least either way.
        const std::optional<std::vector<TableState>> seen = flow.chooseTables(
            {title,
             QStringLiteral("Escolha as mesas a agrupar, ou uma mesa de um agrupamento e as mesas a incluir nele"),
             tables, true, 2, marked});
        if (!seen) return QJsonValue::Null;
        marked.clear();
        for (const TableState& table : *seen) marked << table.numero;
        // A choice that cannot be grouped is said, and the map comes back with it.
        GroupingPlan plan;
        try {
            plan = planGrouping(*seen);
        } catch (const ERefusal& refusal) {
            flow.refuse(refusal.message());
            continue;
        }
        const QString question = plan.grupo.isEmpty() ? QStringLiteral("Agrupar as mesas %1?").arg(listed(plan.mesas))
                                                      : QStringLiteral("Incluir %1 %2 no agrupamento %3?")
                                                            .arg(plan.novas.size() == 1 ? QStringLiteral("a mesa")
                                                                                        : QStringLiteral("as mesas"),
                                                                 listed(plan.novas), groupingNumber(plan.grupo));
        if (!Confirma(title, question)) continue;
        const QJsonObject result = agruparMesas(*flow.db, flow.station, filial, loja, *seen);
        const QString grupo = groupingNumber(result.value(QStringLiteral("grouping")).toString());
        return flow.done(
            plan.grupo.isEmpty()
                ? QStringLiteral("Mesas %1 agrupadas no agrupamento %2.").arg(listed(plan.mesas), grupo)
                : QStringLiteral("%1 %2 %3 no agrupamento %4.")
                      .arg(plan.novas.size() == 1 ? QStringLiteral("Mesa") : QStringLiteral("Mesas"),
                           listed(plan.novas),
                           plan.novas.size() == 1 ? QStringLiteral("incluída") : QStringLiteral("incluídas"), grupo),
            result);
    }
}

QJsonValue separar(Flow& flow, const QString& filial, const QString& loja) {
    const QString title = QStringLiteral("Separar mesa");
    std::optional<TableState> mesa;
    for (;;) {
        const std::vector<MapTable> tables = flow.map(filial, loja, [](const TableState& table) {
            return table.grupo.isEmpty() ? QStringLiteral("sem agrupamento") : QString();
        });
        const QStringList marked = numberOf(mesa);
        mesa = flow.chooseTable(
            {title, QStringLiteral("Escolha a mesa a separar do seu agrupamento"), tables, false, 1, marked});
        if (!mesa) return QJsonValue::Null;
        const QString grupo = groupingNumber(mesa->grupo);
        if (!Confirma(title, QStringLiteral("Separar a mesa %1 do agrupamento %2?").arg(mesa->numero, grupo))) continue;
        const QJsonObject result = separarMesa(*flow.db, flow.station, filial, loja, *mesa);
        return flow.done(
            result.value(QStringLiteral("removed")).toBool()
                ? QStringLiteral("Mesa %1 separada; o agrupamento %2 foi desfeito.").arg(mesa->numero, grupo)
                : QStringLiteral("Mesa %1 separada do agrupamento %2.").arg(mesa->numero, grupo),
            result);
    }
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
