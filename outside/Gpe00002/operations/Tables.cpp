#include "operations/Tables.h"

#include "core/Refusal.h"

#include <algorithm>

namespace Gpe00002 {

namespace {

// Every active table with what the operations decide on. A table found in two groupings (bad
// data) shows the lower number.
const QString kTablesSql = QStringLiteral(
    "SELECT M.NRMESA, M.NMMESA, M.CDSALA, M.IDSTMESAAUX, "
    "(SELECT MIN(J.NRJUNMESA) FROM MESAJUNCAO J WHERE J.CDFILIAL = M.CDFILIAL AND J.CDLOJA = M.CDLOJA "
    "AND J.NRMESA = M.NRMESA) AS NRJUNMESA, "
    "(SELECT COUNT(*) FROM VENDAREST V WHERE V.CDFILIAL = M.CDFILIAL AND V.CDLOJA = M.CDLOJA "
    "AND V.NRMESA = M.NRMESA AND V.DTHRFECHMESA IS NULL) AS VENDAS, "
    "(SELECT COUNT(*) FROM GPERESERVA R WHERE R.CDFILIAL = M.CDFILIAL AND R.CDLOJA = M.CDLOJA "
    "AND R.NRMESA = M.NRMESA AND R.IDSTRESERVA = 'A') AS RESERVAS "
    "FROM MESA M WHERE M.CDFILIAL = :P_CDFILIAL AND M.CDLOJA = :P_CDLOJA AND M.IDSTMESA = 'A'");

TableState tableOf(const SqlRow& row) {
    TableState table;
    table.numero = row.value(QStringLiteral("NRMESA")).toString();
    table.nome = row.value(QStringLiteral("NMMESA")).toString().trimmed();
    table.sala = row.value(QStringLiteral("CDSALA")).toString().trimmed();
    table.estado = row.value(QStringLiteral("IDSTMESAAUX")).toString();
    table.grupo = row.value(QStringLiteral("NRJUNMESA")).toString();
    table.vendaAberta = row.value(QStringLiteral("VENDAS")).toDouble() > 0;
    table.reservada = row.value(QStringLiteral("RESERVAS")).toDouble() > 0;
    return table;
}

QVariantMap storeParameters(const QString& filial, const QString& loja) {
    return {{QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}};
}

}  // namespace

bool TableState::sameAs(const TableState& other) const {
    return estado == other.estado && grupo == other.grupo && vendaAberta == other.vendaAberta &&
           reservada == other.reservada;
}

QString groupingNumber(const QString& nrJunMesa) {
    QString text = nrJunMesa.trimmed();
    while (text.size() > 1 && text.front() == QLatin1Char('0')) text.remove(0, 1);
    return text;
}

std::vector<TableState> loadTables(PackageDatabase& db, const QString& filial, const QString& loja) {
    std::vector<TableState> tables;
    for (const SqlRow& row :
         db.select(kTablesSql + QStringLiteral(" ORDER BY M.NRMESA"), storeParameters(filial, loja)))
        tables.push_back(tableOf(row));
    return tables;
}

std::map<QString, TableState> lockTables(PackageDatabase& db, const QString& filial, const QString& loja,
                                         QStringList numbers) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    QVariantMap parameters = storeParameters(filial, loja);
    QStringList placeholders;
    for (int i = 0; i < numbers.size(); ++i) {
        const QString name = QStringLiteral("P_NRMESA%1").arg(i);
        placeholders << QLatin1Char(':') + name;
        parameters.insert(name, numbers[i]);
    }
    std::map<QString, TableState> found;
    if (numbers.isEmpty()) return found;
    const QString chosen = QStringLiteral(" AND M.NRMESA IN (%1) ORDER BY M.NRMESA").arg(placeholders.join(", "));
    // On PostgreSQL the state is read by a statement of its own once the rows are held: a
    // statement that waited for a lock still sees the other tables (groupings, sales,
    // reservations) as they were when it began, before the terminal it waited for committed.
    if (db.postgres())
        db.select(
            QStringLiteral("SELECT M.NRMESA FROM MESA M WHERE M.CDFILIAL = :P_CDFILIAL AND M.CDLOJA = :P_CDLOJA") +
                chosen + QStringLiteral(" FOR UPDATE"),
            parameters);
    for (const SqlRow& row : db.select(kTablesSql + chosen, parameters)) {
        TableState table = tableOf(row);
        found.emplace(table.numero, std::move(table));
    }
    for (const QString& number : numbers)
        if (!found.count(number)) throw ERefusal(QStringLiteral("Mesa %1 não existe mais nesta loja").arg(number));
    return found;
}

bool lockGrouping(PackageDatabase& db, const QString& filial, const QString& loja, const QString& grupo) {
    QVariantMap parameters = storeParameters(filial, loja);
    parameters.insert(QStringLiteral("P_NRJUNMESA"), grupo);
    return !db.select(
                  QStringLiteral("SELECT NRJUNMESA FROM JUNCAOMESA WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA "
                                 "AND NRJUNMESA = :P_NRJUNMESA") +
                      (db.postgres() ? QStringLiteral(" FOR UPDATE") : QString()),
                  parameters)
                .empty();
}

void lockStore(PackageDatabase& db, const QString& filial, const QString& loja) {
    db.select(QStringLiteral("SELECT CDLOJA FROM LOJA WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA") +
                  (db.postgres() ? QStringLiteral(" FOR UPDATE") : QString()),
              storeParameters(filial, loja));
}

void expectUnchanged(const TableState& seen, const TableState& now) {
    if (!seen.sameAs(now))
        throw ERefusal(QStringLiteral("Mesa %1 foi alterada por outro terminal; tente de novo").arg(now.numero));
}

QString busyMessage(const QStringList& numbers) {
    QStringList sorted = numbers;
    std::sort(sorted.begin(), sorted.end());
    return sorted.size() == 1
               ? QStringLiteral("Mesa %1 está em uso em outro terminal; tente de novo").arg(sorted.front())
               : QStringLiteral("Mesas %1 estão em uso em outro terminal; tente de novo")
                     .arg(sorted.join(QStringLiteral(", ")));
}

}  // namespace Gpe00002
