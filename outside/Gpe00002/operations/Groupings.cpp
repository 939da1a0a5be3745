#include "operations/Groupings.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace Gpe00002 {

namespace {

// The open sales of the store with their waiter, by table and then by sale number. A waiter code
// without a VENDEDOR row still shows its code.
const QString kSalesSql = QStringLiteral(
    "SELECT V.NRMESA, V.NRVENDAREST, V.CDVENDEDOR, D.NMFANVEN, V.NRPESMESAVEN "
    "FROM VENDAREST V LEFT JOIN VENDEDOR D ON D.CDVENDEDOR = V.CDVENDEDOR "
    "WHERE V.CDFILIAL = :P_CDFILIAL AND V.CDLOJA = :P_CDLOJA AND V.DTHRFECHMESA IS NULL "
    "ORDER BY V.NRMESA, V.NRVENDAREST");

// Per table, the total of the items its open sales list where the waiter of an item is changed:
// tickets not cancelled ("4") whose description starts with PKR_ or RES_, items of a known
// product that are not refills. A missing value counts as 0.
const QString kTotalsSql = QStringLiteral(
    "SELECT V.NRMESA, SUM(COALESCE(I.QTPRODCOMVEN, 0) * COALESCE(I.VRPRECCOMVEN, 0) - COALESCE(I.VRDESCCOMVEN, 0) "
    "+ COALESCE(I.VRACRCOMVEN, 0)) AS TOTAL "
    "FROM VENDAREST V "
    "JOIN COMANDAVEN C ON C.CDFILIAL = V.CDFILIAL AND C.NRVENDAREST = V.NRVENDAREST "
    "JOIN ITCOMANDAVEN I ON I.CDFILIAL = C.CDFILIAL AND I.NRVENDAREST = C.NRVENDAREST AND I.NRCOMANDA = C.NRCOMANDA "
    "WHERE V.CDFILIAL = :P_CDFILIAL AND V.CDLOJA = :P_CDLOJA AND V.DTHRFECHMESA IS NULL "
    "AND C.IDSTCOMANDA <> '4' AND SUBSTR(C.DSCOMANDA, 1, 4) IN ('PKR_', 'RES_') AND I.IDPRODREFIL = 'N' "
    "AND EXISTS (SELECT 1 FROM PRODUTO P WHERE P.CDPRODUTO = I.CDPRODUTO) "
    "GROUP BY V.NRMESA");

// The store's groupings with their member tables; a grouping without members is listed empty.
const QString kGroupingsSql = QStringLiteral(
    "SELECT J.NRJUNMESA, M.NRMESA FROM JUNCAOMESA J "
    "LEFT JOIN MESAJUNCAO M ON M.CDFILIAL = J.CDFILIAL AND M.CDLOJA = J.CDLOJA AND M.NRJUNMESA = J.NRJUNMESA "
    "WHERE J.CDFILIAL = :P_CDFILIAL AND J.CDLOJA = :P_CDLOJA ORDER BY J.NRJUNMESA, M.NRMESA");

bool allDigits(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString withoutLeadingZeros(const QString& digits) {
    qsizetype i = 0;
    while (i + 1 < digits.size() && digits[i] == u'0') ++i;
    return digits.mid(i);
}

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
    for (const SqlRow& row : db.select(kSalesSql, store)) {
        const QString mesa = row.value(QStringLiteral("NRMESA")).toString();
        if (occupied.count(mesa)) continue;
        GroupingTable& sale = occupied[mesa];
        sale.vendedor = row.value(QStringLiteral("CDVENDEDOR")).toString().trimmed();
        sale.nomeVendedor = row.value(QStringLiteral("NMFANVEN")).toString().trimmed();
        sale.pessoas = row.value(QStringLiteral("NRPESMESAVEN")).toString().trimmed();
    }
    for (const SqlRow& row : db.select(kTotalsSql, store)) {
        const auto sale = occupied.find(row.value(QStringLiteral("NRMESA")).toString());
        // Whole cents: the sum of floating-point amounts is not exact.
        if (sale != occupied.end())
            sale->second.total = std::round(row.value(QStringLiteral("TOTAL")).toDouble() * 100) / 100;
    }

    GroupingOverview overview{filial, loja, {}, -1};
    for (const SqlRow& row : db.select(kGroupingsSql, store)) {
        const QString numero = row.value(QStringLiteral("NRJUNMESA")).toString();
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
