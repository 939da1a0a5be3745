#include "operations/TransferirMesa.h"

#include "store/Journal.h"
#include "core/Refusal.h"
#include "core/Station.h"

#include <QJsonArray>

namespace Gpe00002 {

namespace {

// Nothing changes when the source or the target does not fit; the user reads which and why.
void refuseUnfit(const TableState& origem, const TableState& destino) {
    if (origem.numero == destino.numero)
        throw ERefusal(QStringLiteral("Escolha uma mesa de destino diferente da mesa %1").arg(origem.numero));
    if (!origem.vendaAberta) throw ERefusal(QStringLiteral("Mesa %1 não tem venda aberta").arg(origem.numero));
    const QString reason = notFreeReason(destino);
    if (reason.isEmpty()) return;
    if (!destino.grupo.isEmpty())
        throw ERefusal(
            QStringLiteral("Mesa %1 já pertence ao agrupamento %2").arg(destino.numero, groupingNumber(destino.grupo)));
    if (reason == QStringLiteral("indisponível"))
        throw ERefusal(QStringLiteral("Mesa %1 não está livre").arg(destino.numero));
    throw ERefusal(QStringLiteral("Mesa %1 está %2").arg(destino.numero, reason));
}

QJsonObject side(const QString& numero, const QString& estado, const QString& grupo, const QJsonArray& vendas) {
    return {{QStringLiteral("table"), numero},
            {QStringLiteral("state"), estado},
            {QStringLiteral("grouping"), grupo.isEmpty() ? QJsonValue() : QJsonValue(grupo)},
            {QStringLiteral("sales"), vendas}};
}

}  // namespace

QString notFreeReason(const TableState& table) {
    if (!table.grupo.isEmpty()) return QStringLiteral("agrupada");
    if (table.estado == kFechando) return QStringLiteral("fechando");
    if (table.reservada || table.estado == kReservada) return QStringLiteral("reservada");
    if (table.vendaAberta || table.estado == kOcupada) return QStringLiteral("ocupada");
    if (table.estado != kLivre) return QStringLiteral("indisponível");
    return {};
}

QJsonObject transferirMesa(PackageDatabase& db, const Station& station, const QString& filial, const QString& loja,
                           const TableState& origem, const TableState& destino) {
    refuseUnfit(origem, destino);
    QJsonObject result;
    db.transaction(busyMessage({origem.numero, destino.numero}), [&] {
        if (!origem.grupo.isEmpty() && !lockGrouping(db, filial, loja, origem.grupo))
            throw ERefusal(tableChanged(origem.numero));
        const std::map<QString, TableState> now = lockTables(db, filial, loja, {origem.numero, destino.numero});
        expectUnchanged(origem, now.at(origem.numero));
        expectUnchanged(destino, now.at(destino.numero));

        const QVariantMap store{{QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}};
        const auto with = [&store](std::initializer_list<std::pair<const char*, QString>> more) {
            QVariantMap parameters = store;
            for (const auto& [name, value] : more) parameters.insert(QLatin1String(name), value);
            return parameters;
        };
        // The sales are held too: the order screens write them without the table's lock, and
        // exactly those read here move.
        QJsonArray vendas;
        for (const SqlRow& row : db.select("tableOpenSales", with({{"P_NRMESA", origem.numero}})))
            vendas.append(rowKey(row, "NRVENDAREST"));
        if (vendas.isEmpty()) throw ERefusal(tableChanged(origem.numero));
        for (const QJsonValue& venda : vendas)
            db.execute("moveSale", {{QStringLiteral("P_CDFILIAL"), filial},
                                    {QStringLiteral("P_NRVENDAREST"), venda.toString()},
                                    {QStringLiteral("P_DESTINO"), destino.numero}});
        const QVariantMap both = with({{"P_ORIGEM", origem.numero}, {"P_DESTINO", destino.numero}});
        // MESA's states as stored (a null kept as null), for the undo to put back exactly.
        QJsonObject stored;
        for (const QString& numero : {origem.numero, destino.numero}) {
            const std::vector<SqlRow> rows = db.select("undoTableState", with({{"P_NRMESA", numero}}));
            const QVariant value = rows.empty() ? QVariant() : rows.front().value(QStringLiteral("IDSTMESAAUX"));
            stored.insert(numero, value.isNull() ? QJsonValue() : QJsonValue(value.toString()));
        }
        // The target takes the source's state as stored (a copy in the statement keeps even a
        // null as it is), then the source is free.
        db.execute("copyTableState", both);
        db.execute("freeTable", with({{"P_NRMESA", origem.numero}}));
        if (!origem.grupo.isEmpty()) db.execute("moveGroupingMember", both);

        const QJsonValue grupo = origem.grupo.isEmpty() ? QJsonValue() : QJsonValue(origem.grupo);
        result = {{QStringLiteral("from"), origem.numero},
                  {QStringLiteral("to"), destino.numero},
                  {QStringLiteral("sales"), vendas},
                  {QStringLiteral("grouping"), grupo}};
        writeJournal(db, station,
                     {QStringLiteral("TRANSFMESA"),
                      filial,
                      loja,
                      origem.numero,
                      destino.numero,
                      origem.grupo,
                      {{QStringLiteral("from"), side(origem.numero, origem.estado, origem.grupo, vendas)},
                       {QStringLiteral("to"), side(destino.numero, destino.estado, {}, {})},
                       {QStringLiteral("stored"), stored}},
                      {{QStringLiteral("from"), side(origem.numero, kLivre, {}, {})},
                       {QStringLiteral("to"), side(destino.numero, origem.estado, origem.grupo, vendas)}}});
    });
    return result;
}

}  // namespace Gpe00002
