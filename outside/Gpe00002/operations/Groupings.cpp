#include "operations/Groupings.h"

#include "core/Numbers.h"
#include "store/Counting.h"

#include <algorithm>
#include <map>

namespace Gpe00002 {

namespace {

// "21" and "0021" are the same number; texts that are not numbers only equal themselves.
bool sameNumber(const QString& a, const QString& b) {
    if (a == b) return true;
    return allDigits(a) && allDigits(b) && withoutLeadingZeros(a) == withoutLeadingZeros(b);
}

// Numbers in numeric order (legacy rows may lack the zeros), anything else after them.
bool numberBefore(const QString& a, const QString& b) {
    const bool na = allDigits(a), nb = allDigits(b);
    if (na != nb) return na;
    if (na) {
        const QString sa = withoutLeadingZeros(a), sb = withoutLeadingZeros(b);
        if (sa.size() != sb.size()) return sa.size() < sb.size();
        if (sa != sb) return sa < sb;
    }
    return a < b;
}

// The grouping `argumento` names: up to four characters name a table (the first grouping it is
// in) or, failing that, a grouping number; longer texts name a grouping number only. -1 for none.
int namedGrouping(const std::vector<Grouping>& grupos, const QString& argumento) {
    const QString named = argumento.trimmed();
    if (named.isEmpty()) return -1;
    if (named.size() <= 4) {
        for (std::size_t g = 0; g < grupos.size(); ++g)
            for (const GroupingTable& table : grupos[g].mesas)
                if (sameNumber(table.mesa.numero, named)) return static_cast<int>(g);
    }
    for (std::size_t g = 0; g < grupos.size(); ++g)
        if (sameNumber(grupos[g].numero, named)) return static_cast<int>(g);
    return -1;
}

}  // namespace

GroupingOverview loadGroupings(PackageDatabase& db, const QString& filial, const QString& loja,
                               const QString& argumento) {
    const QVariantMap store{{QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}};

    std::map<QString, TableState> tables;
    for (TableState& table : loadTables(db, filial, loja)) tables.emplace(table.numero, std::move(table));

    std::map<QString, GroupingTable> occupied;  // the first open sale of each table, and its total
    for (const SqlRow& row : db.select("openSalesWaiters", store)) {
        const QString mesa = rowKey(row, "NRMESA");
        if (occupied.count(mesa)) continue;
        GroupingTable& sale = occupied[mesa];
        sale.vendedor = rowText(row, "CDVENDEDOR");
        sale.nomeVendedor = rowText(row, "NMFANVEN");
        sale.pessoas = rowText(row, "NRPESMESAVEN");
    }
    for (const SqlRow& row : db.select("openSaleItems", store)) {
        const auto sale = occupied.find(rowKey(row, "NRMESA"));
        if (sale != occupied.end()) sale->second.total += Counting::ItemAmount::of(row).valor();
    }

    GroupingOverview overview{filial, loja, {}, -1};
    for (const SqlRow& row : db.select("storeGroupings", store)) {
        const QString numero = rowKey(row, "NRJUNMESA");
        if (overview.grupos.empty() || overview.grupos.back().numero != numero) overview.grupos.push_back({numero, {}});
        const QVariant member = row.value(QStringLiteral("NRMESA"));
        if (member.isNull()) continue;
        const QString mesa = member.toString();
        GroupingTable entry;
        if (const auto sale = occupied.find(mesa); sale != occupied.end()) entry = sale->second;
        if (const auto table = tables.find(mesa); table != tables.end()) {
            entry.mesa = table->second;
        } else {
            // A member that is no longer an active table of the store: listed with no state.
            entry.mesa.numero = mesa;
            entry.mesa.grupo = numero;
        }
        overview.grupos.back().mesas.push_back(std::move(entry));
    }

    std::stable_sort(overview.grupos.begin(), overview.grupos.end(),
                     [](const Grouping& a, const Grouping& b) { return numberBefore(a.numero, b.numero); });
    for (Grouping& grouping : overview.grupos)
        std::stable_sort(
            grouping.mesas.begin(), grouping.mesas.end(),
            [](const GroupingTable& a, const GroupingTable& b) { return numberBefore(a.mesa.numero, b.mesa.numero); });
    if (const int named = namedGrouping(overview.grupos, argumento); named >= 0) {
        std::rotate(overview.grupos.begin(), overview.grupos.begin() + named, overview.grupos.begin() + named + 1);
        overview.selecionado = 0;
    }
    return overview;
}

}  // namespace Gpe00002
