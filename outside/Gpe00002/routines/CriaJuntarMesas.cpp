// CriaJuntarMesas: "J" groups tables, "S" separates one from its grouping.
#include "../operations/SepararMesa.h"
#include "Flow.h"

namespace Gpe00002 {

namespace {

QJsonValue separar(Flow& flow, const QString& filial, const QString& loja) {
    const std::vector<MapTable> tables = flow.map(filial, loja, [](const TableState& table) {
        return table.grupo.isEmpty() ? QStringLiteral("sem agrupamento") : QString();
    });
    const std::optional<QStringList> chosen =
        MapaMesas({QStringLiteral("Separar mesa"), QStringLiteral("Escolha a mesa a separar do seu agrupamento"), tables});
    if (!chosen || chosen->isEmpty()) return QJsonValue::Null;
    const auto seen = std::find_if(tables.begin(), tables.end(),
                                   [&](const MapTable& table) { return table.mesa.numero == chosen->front(); });
    if (seen == tables.end()) return QJsonValue::Null;
    if (!Confirma(QStringLiteral("Separar mesa"), QStringLiteral("Separar a mesa %1 do agrupamento %2?")
                                                      .arg(seen->mesa.numero, seen->mesa.grupo)))
        return QJsonValue::Null;
    const QJsonObject result = separarMesa(*flow.db, flow.station, filial, loja, seen->mesa);
    flow.notify(result.value(QStringLiteral("removed")).toBool()
                    ? QStringLiteral("Mesa %1 separada; o agrupamento %2 foi desfeito.").arg(seen->mesa.numero, seen->mesa.grupo)
                    : QStringLiteral("Mesa %1 separada do agrupamento %2.").arg(seen->mesa.numero, seen->mesa.grupo));
    return result;
}

}  // namespace

QJsonValue juntarMesas(const std::string& modo, const std::string& filial, const std::string& loja) {
    return runFlow(false, [&](Flow& flow) -> QJsonValue {
        const QString f = QString::fromStdString(filial), l = QString::fromStdString(loja);
        if (modo == "S") return separar(flow, f, l);
        throw ERefusal(QStringLiteral("Modo de agrupamento desconhecido: %1").arg(QString::fromStdString(modo)));
    });
}

}  // namespace Gpe00002
