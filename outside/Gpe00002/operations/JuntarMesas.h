#pragma once
// Grouping tables: two or more tables that are not closing and in no grouping become a new
// grouping, numbered after the store's highest; or tables join an existing grouping when one of
// its members is chosen with them. Afterwards every chosen table is in exactly one grouping. No
// sale, ticket or item changes: a grouping only decides what is listed together.

#include "operations/Tables.h"

#include <QJsonObject>

namespace Gpe00002 {

struct Station;

// What grouping `seen` (the tables chosen, as the map showed them) would do.
struct GroupingPlan {
    QString grupo;      // the grouping the tables join; empty for a new one
    QStringList mesas;  // every table chosen, by number
    QStringList novas;  // those that join (all of them for a new grouping)
};

// Raises ERefusal naming the table and the reason when `seen` cannot be grouped: fewer than two
// tables, a table closing, tables of two groupings, or nothing to add to the grouping chosen.
// Inside a transaction that holds the store's row: the number after the highest one the store
// uses, in the groupings or in their members (a member row left without its grouping keeps its
// number taken); numbers that are not numbers count for nothing.
GPE00002_EXPORT QString nextGroupingNumber(PackageDatabase& db, const QVariantMap& store);
GPE00002_EXPORT GroupingPlan planGrouping(const std::vector<TableState>& seen);

// Groups `seen` in one transaction that re-checks them under their locks. Answers what changed:
// {"grouping":"0000000002","tables":["0020","0021"],"added":["0020","0021"],"new":true}, where
// "tables" are the grouping's members afterwards and "added" those that joined. Raises
// ERefusal, changing nothing, as planGrouping does, or when a table was changed by another
// terminal meanwhile ("Mesa 0012 foi alterada por outro terminal; tente de novo").
GPE00002_EXPORT QJsonObject agruparMesas(PackageDatabase& db, const Station& station, const QString& filial,
                                         const QString& loja, const std::vector<TableState>& seen);

}  // namespace Gpe00002
