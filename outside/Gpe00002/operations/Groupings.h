#pragma once
// The groupings of a store as the consultation shows them: each grouping with its tables, each
// table's state and, for an occupied one, its open sale's waiter, people and the total of its
// counted items (store/Counting.h). Read-only.

#include "core/Money.h"
#include "operations/Tables.h"

#include <functional>
#include <vector>

namespace Gpe00002 {

struct GroupingTable {
    TableState mesa;
    // Of the open sale, when there is one (several: the first by sale number; totals add up).
    QString vendedor, nomeVendedor, pessoas;
    Money total;  // the amounts of the open sales' counted items
};

struct Grouping {
    QString numero;  // NRJUNMESA
    std::vector<GroupingTable> mesas;
};

struct GroupingOverview {
    QString filial, loja;
    std::vector<Grouping> grupos;  // the one `argumento` named first, then by number
    int selecionado = -1;          // index of the grouping `argumento` named, -1 when none

    // For a consultation that follows the floor: the overview read again as it was read first
    // (may throw EDatabaseError), and the package's connection string, for the store's
    // notifications. Empty for one that shows only what it was given.
    std::function<GroupingOverview()> reread = {};
    QString connectionString = {};
};

// `argumento` may name a table ("0021", or "21") or a grouping number ("0000000003", or "3"): up
// to four characters name a table (its grouping), or a grouping number when no grouped table
// has it; longer texts name a grouping number only. Numbers match with or without their zeros.
GPE00002_EXPORT GroupingOverview loadGroupings(PackageDatabase& db, const QString& filial, const QString& loja,
                                               const QString& argumento);

}  // namespace Gpe00002
