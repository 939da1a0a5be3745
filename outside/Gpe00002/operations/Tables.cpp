#include "operations/Tables.h"

#include "core/Numbers.h"
#include "core/Refusal.h"

#include <algorithm>

namespace Gpe00002 {

namespace {

TableState tableOf(const SqlRow& row) {
    TableState table;
    table.numero = rowKey(row, "NRMESA");
    table.nome = rowText(row, "NMMESA");
    table.sala = rowText(row, "CDSALA");
    table.estadoMesa = rowKey(row, "IDSTMESAAUX");
    table.grupo = rowKey(row, "NRJUNMESA");
    table.vendaAberta = row.value(QStringLiteral("VENDAS")).toDouble() > 0;
    table.reservada = row.value(QStringLiteral("RESERVAS")).toDouble() > 0;
    table.pendente = row.value(QStringLiteral("PENDENTES")).toDouble() > 0;
    // Computed by a subquery, the time may come as text.
    const QVariant value = row.value(QStringLiteral("PROXIMA"));
    const QDateTime next = value.typeId() == QMetaType::QString
                               ? QDateTime::fromString(value.toString().trimmed().replace(u' ', u'T'), Qt::ISODate)
                               : value.toDateTime();
    // The database keeps the wall-clock time; the driver hands it over labelled UTC.
    if (next.isValid()) table.proxima = QDateTime(next.date(), next.time());
    table.proximoCliente = rowText(row, "PROXIMOCLIENTE");
    table.estado = table.estadoMesa;
    if (table.estadoMesa == kLivre && table.reservada && !table.vendaAberta)
        table.estado = kReservada;
    else if (table.estadoMesa == kReservada && !table.reservada && table.pendente)
        table.estado = kLivre;
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

QString groupingNumber(const QString& nrJunMesa) { return withoutLeadingZeros(nrJunMesa.trimmed()); }

std::vector<TableState> loadTables(PackageDatabase& db, const QString& filial, const QString& loja,
                                   const QDateTime& now) {
    std::vector<TableState> tables;
    QVariantMap parameters = storeParameters(filial, loja);
    // To the second, as the times are kept.
    parameters.insert(QStringLiteral("P_AGORA"),
                      QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second())));
    // A table found in two groupings (bad data) shows the lower number.
    for (const SqlRow& row : db.select("storeTables", parameters)) tables.push_back(tableOf(row));
    return tables;
}

std::map<QString, TableState> lockTables(PackageDatabase& db, const QString& filial, const QString& loja,
                                         QStringList numbers, const QDateTime& now) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const QString& number : numbers) {
        QVariantMap table = storeParameters(filial, loja);
        table.insert(QStringLiteral("P_NRMESA"), number);
        db.lock("lockTable", table);
    }
    // The state is read by a statement of its own once the rows are held: on PostgreSQL a
    // statement that waited for a lock still sees the other tables (groupings, sales,
    // reservations) as they were when it began, before the terminal it waited for committed.
    std::map<QString, TableState> found;
    for (TableState& table : loadTables(db, filial, loja, now))
        if (std::binary_search(numbers.begin(), numbers.end(), table.numero))
            found.emplace(table.numero, std::move(table));
    for (const QString& number : numbers)
        if (!found.count(number)) throw ERefusal(QStringLiteral("Mesa %1 não existe mais nesta loja").arg(number));
    return found;
}

bool lockGrouping(PackageDatabase& db, const QString& filial, const QString& loja, const QString& grupo) {
    QVariantMap parameters = storeParameters(filial, loja);
    parameters.insert(QStringLiteral("P_NRJUNMESA"), grupo);
    return !db.select("lockGrouping", parameters).empty();
}

void lockStore(PackageDatabase& db, const QString& filial, const QString& loja) {
    db.lock("lockStore", storeParameters(filial, loja));
}

QString tableChanged(const QString& numero) {
    return QStringLiteral("Mesa %1 foi alterada por outro terminal; tente de novo").arg(numero);
}

void expectUnchanged(const TableState& seen, const TableState& now) {
    if (!seen.sameAs(now)) throw ERefusal(tableChanged(now.numero));
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
