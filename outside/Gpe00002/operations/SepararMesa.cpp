#include "operations/SepararMesa.h"

#include "store/Journal.h"
#include "core/Refusal.h"
#include "core/Station.h"

#include <QJsonArray>

namespace Gpe00002 {

QJsonObject separarMesa(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                        const TableState& seen) {
    if (seen.grupo.isEmpty())
        throw ERefusal(QStringLiteral("Mesa %1 não pertence a nenhum agrupamento").arg(seen.numero));
    QJsonObject result;
    db.transaction(busyMessage({seen.numero}), [&] {
        if (!lockGrouping(db, filial, loja, seen.grupo)) throw ERefusal(tableChanged(seen.numero));
        expectUnchanged(seen, lockTables(db, filial, loja, {seen.numero}).at(seen.numero));

        const QVariantMap grouping{{QStringLiteral("P_CDFILIAL"), filial},
                                   {QStringLiteral("P_CDLOJA"), loja},
                                   {QStringLiteral("P_NRJUNMESA"), seen.grupo}};
        QJsonArray before;
        for (const SqlRow& row : db.select("groupingMembers", grouping)) before.append(rowKey(row, "NRMESA"));

        QVariantMap member = grouping;
        member.insert(QStringLiteral("P_NRMESA"), seen.numero);
        db.execute("deleteGroupingMember", member);
        QJsonArray remaining = before;
        remaining.removeAt(before.toVariantList().indexOf(seen.numero));
        const bool removed = remaining.size() < 2;
        if (removed) {
            // A grouping of one table is none: it goes, with its last member.
            db.execute("deleteGroupingMembers", grouping);
            db.execute("deleteGrouping", grouping);
            remaining = {};
        }
        result = {{QStringLiteral("grouping"), seen.grupo},
                  {QStringLiteral("table"), seen.numero},
                  {QStringLiteral("remaining"), remaining}};
        if (removed) result.insert(QStringLiteral("removed"), true);
        writeJournal(db, station,
                     {QStringLiteral("SEPARAR"),
                      filial,
                      loja,
                      seen.numero,
                      {},
                      seen.grupo,
                      {{QStringLiteral("tables"), before}},
                      {{QStringLiteral("tables"), remaining}}});
    });
    return result;
}

}  // namespace Gpe00002
