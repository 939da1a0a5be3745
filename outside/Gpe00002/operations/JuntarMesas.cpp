#include "operations/JuntarMesas.h"

#include "store/Journal.h"
#include "core/Refusal.h"
#include "core/Station.h"

#include <QJsonArray>
#include <algorithm>

namespace Gpe00002 {

namespace {

QStringList members(PackageDatabase& db, const QVariantMap& grouping) {
    QStringList numbers;
    for (const SqlRow& row : db.select("groupingMembers", grouping)) numbers << rowKey(row, "NRMESA");
    return numbers;
}

}  // namespace

QString nextGroupingNumber(PackageDatabase& db, const QVariantMap& store) {
    constexpr qlonglong kHighestGrouping = 9999999999LL;  // NRJUNMESA holds ten digits
    qlonglong highest = 0;
    for (const SqlRow& row : db.select("groupingNumbers", store)) {
        bool ok = false;
        const qlonglong number = rowText(row, "NRJUNMESA").toLongLong(&ok);
        if (ok) highest = std::max(highest, number);
    }
    if (highest >= kHighestGrouping)
        throw ERefusal(QStringLiteral("Não há mais números de agrupamento livres nesta loja"));
    return QString::number(highest + 1).rightJustified(10, QLatin1Char('0'));
}

GroupingPlan planGrouping(const std::vector<TableState>& seen) {
    std::vector<TableState> tables = seen;
    std::sort(tables.begin(), tables.end(),
              [](const TableState& a, const TableState& b) { return a.numero < b.numero; });
    tables.erase(std::unique(tables.begin(), tables.end(),
                             [](const TableState& a, const TableState& b) { return a.numero == b.numero; }),
                 tables.end());
    if (tables.size() < 2) throw ERefusal(QStringLiteral("Escolha duas ou mais mesas para agrupar"));
    GroupingPlan plan;
    for (const TableState& table : tables) {
        if (table.estado == kFechando) throw ERefusal(QStringLiteral("Mesa %1 está fechando").arg(table.numero));
        plan.mesas << table.numero;
        if (table.grupo.isEmpty()) {
            plan.novas << table.numero;
        } else if (plan.grupo.isEmpty()) {
            plan.grupo = table.grupo;
        } else if (table.grupo != plan.grupo) {
            // The grouping of the lowest table chosen is the one joined; the first table of
            // another is named.
            throw ERefusal(
                QStringLiteral("Mesa %1 já pertence ao agrupamento %2").arg(table.numero, groupingNumber(table.grupo)));
        }
    }
    if (plan.novas.isEmpty())
        throw ERefusal(
            QStringLiteral("Escolha ao menos uma mesa fora do agrupamento %1").arg(groupingNumber(plan.grupo)));
    return plan;
}

QJsonObject agruparMesas(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                         const std::vector<TableState>& seen) {
    const GroupingPlan plan = planGrouping(seen);
    QJsonObject result;
    db.transaction(busyMessage(plan.mesas), [&] {
        if (plan.grupo.isEmpty()) {
            lockStore(db, filial, loja);
        } else if (!lockGrouping(db, filial, loja, plan.grupo)) {
            const auto member = std::find_if(seen.begin(), seen.end(),
                                             [&](const TableState& table) { return table.grupo == plan.grupo; });
            throw ERefusal(tableChanged(member->numero));
        }
        const std::map<QString, TableState> now = lockTables(db, filial, loja, plan.mesas);
        for (const TableState& table : seen) expectUnchanged(table, now.at(table.numero));

        const QVariantMap store{{QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}};
        // The map shows one grouping per table; bad data may hold a table in another one too,
        // and joining this one would leave it in two.
        for (const QString& numero : plan.mesas) {
            QVariantMap table = store;
            table.insert(QStringLiteral("P_NRMESA"), numero);
            for (const SqlRow& row : db.select("tableGroupings", table)) {
                const QString grupo = rowKey(row, "NRJUNMESA");
                if (grupo != plan.grupo)
                    throw ERefusal(
                        QStringLiteral("Mesa %1 já pertence ao agrupamento %2").arg(numero, groupingNumber(grupo)));
            }
        }

        const bool created = plan.grupo.isEmpty();
        QVariantMap grouping = store;
        grouping.insert(QStringLiteral("P_NRJUNMESA"), created ? nextGroupingNumber(db, store) : plan.grupo);
        const QStringList before = created ? QStringList() : members(db, grouping);
        if (created) db.execute("insertGrouping", grouping);
        for (const QString& numero : plan.novas) {
            QVariantMap member = grouping;
            member.insert(QStringLiteral("P_NRMESA"), numero);
            db.execute("insertGroupingMember", member);
        }
        const QStringList after = members(db, grouping);
        const QString numero = grouping.value(QStringLiteral("P_NRJUNMESA")).toString();
        result = {{QStringLiteral("grouping"), numero},
                  {QStringLiteral("tables"), QJsonArray::fromStringList(after)},
                  {QStringLiteral("added"), QJsonArray::fromStringList(plan.novas)},
                  {QStringLiteral("new"), created}};
        writeJournal(db, station,
                     {QStringLiteral("AGRUPAR"),
                      filial,
                      loja,
                      plan.mesas.front(),
                      {},
                      numero,
                      {{QStringLiteral("tables"), QJsonArray::fromStringList(before)}},
                      {{QStringLiteral("tables"), QJsonArray::fromStringList(after)}}});
    });
    return result;
}

}  // namespace Gpe00002
