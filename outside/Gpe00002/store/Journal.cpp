#include "store/Journal.h"

#include "store/FloorWatch.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace Gpe00002 {

namespace {

// The tables an entry names, for the screens that follow the floor: its source and target and
// the "tables" its before and after list.
QJsonArray tablesOf(const JournalEntry& entry) {
    QStringList numbers;
    for (const QString& numero : {entry.mesaOrigem, entry.mesaDestino})
        if (!numero.isEmpty()) numbers << numero;
    for (const QJsonObject* side : {&entry.antes, &entry.depois})
        for (const QJsonValue numero : side->value(QLatin1String("tables")).toArray())
            if (numero.isString()) numbers << numero.toString();
    numbers.removeDuplicates();
    numbers.sort();
    // A notification holds at most 8000 bytes and one too long would fail the operation; the
    // screens re-read the whole store anyway, the list only says what changed.
    if (numbers.size() > 200) numbers.clear();
    return QJsonArray::fromStringList(numbers);
}

JournalRow journalRowOf(const SqlRow& row) {
    const auto object = [&row](const char* column) {
        return QJsonDocument::fromJson(rowKey(row, column).toUtf8()).object();
    };
    JournalRow journal;
    journal.numero = row.value(QStringLiteral("NRJORNAL")).toLongLong();
    journal.id = rowKey(row, "CDUUID");
    journal.operacao = rowText(row, "IDOPERACAO");
    journal.quando = row.value(QStringLiteral("DTHROPERACAO")).toDateTime();
    journal.caixa = rowText(row, "CDCAIXA");
    journal.estacao = rowText(row, "NMESTACAO");
    journal.operador = rowText(row, "CDOPERADOR");
    journal.filial = rowKey(row, "CDFILIAL");
    journal.loja = rowKey(row, "CDLOJA");
    journal.mesaOrigem = rowKey(row, "NRMESAORIG");
    journal.mesaDestino = rowKey(row, "NRMESADEST");
    journal.grupo = rowKey(row, "NRJUNMESA");
    journal.antes = object("TXANTES");
    journal.depois = object("TXDEPOIS");
    journal.desfaz = row.value(QStringLiteral("NRJORNALDESF")).toLongLong();
    journal.desfeitaPor = row.value(QStringLiteral("NRDESFEITAPOR")).toLongLong();
    return journal;
}

}  // namespace

std::optional<JournalRow> journalRow(PackageDatabase& db, const QString& id) {
    bool digits = false;
    const qlonglong numero = id.trimmed().toLongLong(&digits);
    const std::vector<SqlRow> rows =
        db.select("journalRow", {{QStringLiteral("P_CDUUID"), id.trimmed().toLower()},
                                 {QStringLiteral("P_NRJORNAL"), digits && numero > 0 ? numero : qlonglong(-1)}});
    if (rows.empty()) return std::nullopt;
    return journalRowOf(rows.front());
}

std::vector<JournalRow> journalOfDay(PackageDatabase& db, const QDate& day) {
    std::vector<JournalRow> rows;
    for (const SqlRow& row : db.select("journalOfDay", {{QStringLiteral("P_DE"), day.startOfDay()},
                                                        {QStringLiteral("P_ATE"), day.addDays(1).startOfDay()}}))
        rows.push_back(journalRowOf(row));
    return rows;
}

QString writeJournal(PackageDatabase& db, const Station& station, const JournalEntry& entry) {
    const auto json = [](const QJsonObject& object) {
        return object.isEmpty() ? QVariant()
                                : QVariant(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    };
    const auto text = [](const QString& value) { return value.isEmpty() ? QVariant() : QVariant(value); };
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
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
                {QStringLiteral("P_TXDEPOIS"), json(entry.depois)},
                {QStringLiteral("P_CDUUID"), id},
                {QStringLiteral("P_NRJORNALDESF"), entry.desfaz}});
    // Inside the operation's transaction: the server delivers it at commit, and never when the
    // operation is rolled back. SQLite's screens see the commit itself.
    if (db.postgres())
        db.select("notifyFloor", {{QStringLiteral("P_CANAL"), floorChannel(entry.filial, entry.loja)},
                                  {QStringLiteral("P_OPERACAO"), entry.operacao},
                                  {QStringLiteral("P_MESAS"),
                                   QString::fromUtf8(QJsonDocument(tablesOf(entry)).toJson(QJsonDocument::Compact))}});
    return id;
}

}  // namespace Gpe00002
