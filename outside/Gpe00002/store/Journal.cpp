#include "store/Journal.h"

#include <QDateTime>
#include <QJsonDocument>

namespace Gpe00002 {

void writeJournal(PackageDatabase& db, const Station& station, const JournalEntry& entry) {
    const auto json = [](const QJsonObject& object) {
        return object.isEmpty() ? QVariant()
                                : QVariant(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    };
    const auto text = [](const QString& value) { return value.isEmpty() ? QVariant() : QVariant(value); };
    db.execute("insertJournal",
               {{QStringLiteral("P_DTHR"), QDateTime::currentDateTime()},  // wall-clock time, as the restaurant's
                {QStringLiteral("P_CDCAIXA"), text(station.caixa)},
                {QStringLiteral("P_NMESTACAO"), text(station.host.left(64))},
                {QStringLiteral("P_CDOPERADOR"), text(station.operador)},
                {QStringLiteral("P_IDOPERACAO"), entry.operacao},
                {QStringLiteral("P_CDFILIAL"), text(entry.filial)},
                {QStringLiteral("P_CDLOJA"), text(entry.loja)},
                {QStringLiteral("P_NRMESAORIG"), text(entry.mesaOrigem)},
                {QStringLiteral("P_NRMESADEST"), text(entry.mesaDestino)},
                {QStringLiteral("P_NRJUNMESA"), text(entry.grupo)},
                {QStringLiteral("P_TXANTES"), json(entry.antes)},
                {QStringLiteral("P_TXDEPOIS"), json(entry.depois)}});
}

}  // namespace Gpe00002
