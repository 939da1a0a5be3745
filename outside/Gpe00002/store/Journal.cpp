#include "store/Journal.h"

#include "store/FloorWatch.h"
#include "core/Numbers.h"

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

// The descriptions speak as the operations' own messages do: tables by their numbers, groupings as
// the map's badge shows them, reservations by guest, tables and time.

QString groupingText(const QString& grupo) { return withoutLeadingZeros(grupo.trimmed()); }

// "0020", "0020 e 0021", "0020, 0021 e 0022".
QString listed(const QStringList& numbers) {
    if (numbers.size() < 2) return numbers.join(QString());
    return numbers.mid(0, numbers.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" e ") + numbers.back();
}

// "Mesa 0011", "Mesas 0011 e 0012".
QString tablesText(const QStringList& mesas) {
    return (mesas.size() > 1 ? QStringLiteral("Mesas ") : QStringLiteral("Mesa ")) + listed(mesas);
}

// "a mesa 0011", "as mesas 0011 e 0012".
QString theTables(const QStringList& mesas) {
    return (mesas.size() > 1 ? QStringLiteral("as mesas ") : QStringLiteral("a mesa ")) + listed(mesas);
}

QStringList stringsOf(const QJsonValue& value) {
    QStringList strings;
    for (const QJsonValue item : value.toArray())
        if (item.isString()) strings << item.toString();
    return strings;
}

// Reservations keep their time as the restaurant's wall clock in ISO form.
QString when(const QString& iso) {
    const QDateTime at = QDateTime::fromString(iso, Qt::ISODate);
    return at.isValid() ? at.toString(QStringLiteral("dd/MM/yyyy 'às' HH:mm")) : iso;
}

QString people(const QString& count) {
    return count == QLatin1String("1") ? QStringLiteral("1 pessoa") : QStringLiteral("%1 pessoas").arg(count);
}

// A journalled reservation: its tables (the row's own table when the JSON lacks them), guest,
// time and party, each only when it is there.
struct Booking {
    QStringList mesas;
    QString cliente, horario, pessoas;
    qint64 numero = 0;

    Booking(const QJsonObject& reservation, const QString& mesa)
        : mesas(stringsOf(reservation.value(QStringLiteral("tables")))),
          cliente(reservation.value(QStringLiteral("guest")).toString()),
          horario(reservation.value(QStringLiteral("at")).toString()),
          pessoas(reservation.value(QStringLiteral("people")).toString()),
          numero(reservation.value(QStringLiteral("id")).toInteger()) {
        if (mesas.isEmpty() && !mesa.isEmpty()) mesas << mesa;
    }
    // ", em 14/06/2024 às 20:30, 4 pessoas"
    QString timeAndPeople() const {
        QString text;
        if (!horario.isEmpty()) text += QStringLiteral(", em ") + when(horario);
        if (!pessoas.isEmpty()) text += QStringLiteral(", ") + people(pessoas);
        return text;
    }
    QString guest() const { return cliente.isEmpty() ? QString() : QStringLiteral(" de ") + cliente; }
    QString number() const { return numero > 0 ? QStringLiteral(" (reserva %1)").arg(numero) : QString(); }
};

QString describeGrouping(const JournalRow& row) {
    const QStringList before = stringsOf(row.antes.value(QStringLiteral("tables")));
    const QStringList after = stringsOf(row.depois.value(QStringLiteral("tables")));
    const QString grupo = groupingText(row.grupo);
    if (before.isEmpty()) return QStringLiteral("%1 agrupadas no agrupamento %2").arg(tablesText(after), grupo);
    QStringList added;
    for (const QString& mesa : after)
        if (!before.contains(mesa)) added << mesa;
    return QStringLiteral("%1 %2 no agrupamento %3")
        .arg(tablesText(added), added.size() == 1 ? QStringLiteral("incluída") : QStringLiteral("incluídas"), grupo);
}

QString describeSeparation(const JournalRow& row) {
    const QString grupo = groupingText(row.grupo);
    if (row.depois.value(QStringLiteral("tables")).toArray().isEmpty())
        return QStringLiteral("Mesa %1 separada; o agrupamento %2 foi desfeito").arg(row.mesaOrigem, grupo);
    return QStringLiteral("Mesa %1 separada do agrupamento %2").arg(row.mesaOrigem, grupo);
}

// The item by its product and number, the quantity that moved and where it went.
QString describeProductMove(const JournalRow& row) {
    const QJsonObject from = row.antes.value(QStringLiteral("from")).toObject();
    const QJsonObject to = row.depois.value(QStringLiteral("to")).toObject();
    const QJsonValue moved = to.value(QStringLiteral("quantity"));
    QString what = moved.isDouble() ? quantityText(moved.toDouble()) + QStringLiteral(" × ") : QString();
    const QString produto = from.value(QStringLiteral("product")).toString();
    what += produto.isEmpty() ? QStringLiteral("item") : QStringLiteral("produto ") + produto;
    const QString item = from.value(QStringLiteral("item")).toString();
    if (!item.isEmpty()) what += QStringLiteral(" (item %1)").arg(item);
    QString where = QStringLiteral("a mesa %1").arg(row.mesaDestino);
    const QString ticket = to.value(QStringLiteral("ticket")).toString();
    if (!ticket.isEmpty()) where += QStringLiteral(", comanda %1").arg(ticket);
    return QStringLiteral("Transferido %1 da mesa %2 para %3").arg(what, row.mesaOrigem, where);
}

QString describeSeatMove(const JournalRow& row) {
    const qsizetype count = row.antes.value(QStringLiteral("items")).toArray().size();
    const QString items = count == 1  ? QStringLiteral(" (1 item)")
                          : count > 1 ? QStringLiteral(" (%1 itens)").arg(count)
                                      : QString();
    return QStringLiteral("Lugar %1 da mesa %2 transferido para o lugar %3 da mesa %4%5")
        .arg(row.antes.value(QStringLiteral("seat")).toString(), row.mesaOrigem,
             row.depois.value(QStringLiteral("seat")).toString(), row.mesaDestino, items);
}

QString describeReservation(const JournalRow& row) {
    const QString reservation = QStringLiteral("reservation");
    if (row.operacao == QLatin1String("RESERVAR")) {
        const Booking made(row.depois.value(reservation).toObject(), row.mesaOrigem);
        return QStringLiteral("%1 %2 para %3%4%5")
            .arg(tablesText(made.mesas),
                 made.mesas.size() > 1 ? QStringLiteral("reservadas") : QStringLiteral("reservada"), made.cliente,
                 made.timeAndPeople(), made.number());
    }
    const Booking was(row.antes.value(reservation).toObject(), row.mesaOrigem);
    if (row.operacao == QLatin1String("ALTRESERVA")) {
        const Booking now(row.depois.value(reservation).toObject(), row.mesaOrigem);
        return QStringLiteral("Reserva%1 alterada: %2%3%4")
            .arg(was.guest(), theTables(now.mesas), now.timeAndPeople(), was.number());
    }
    if (row.operacao == QLatin1String("CANCRESERVA")) {
        // A table reserved with no reservation of the package's is freed without one.
        if (!row.antes.value(reservation).isObject())
            return QStringLiteral("Reserva da mesa %1 cancelada; a mesa está livre").arg(row.mesaOrigem);
        return QStringLiteral("Reserva%1 cancelada: %2%3%4")
            .arg(was.guest(), theTables(was.mesas), was.timeAndPeople(), was.number());
    }
    if (row.operacao == QLatin1String("NAOCOMPARECEU"))
        return QStringLiteral("Reserva%1 encerrada sem comparecimento: %2%3%4")
            .arg(was.guest(), theTables(was.mesas), was.timeAndPeople(), was.number());
    // SENTARRESERVA
    const QString grupo = row.depois.value(QStringLiteral("grouping")).toString();
    return QStringLiteral("%1 %2 para os clientes da reserva%3%4%5%6")
        .arg(tablesText(was.mesas), was.mesas.size() > 1 ? QStringLiteral("liberadas") : QStringLiteral("liberada"),
             was.guest(), was.timeAndPeople(),
             grupo.isEmpty() ? QString() : QStringLiteral(", no agrupamento %1").arg(groupingText(grupo)),
             was.number());
}

QString describeUnknown(const JournalRow& row) {
    QStringList parts;
    if (!row.mesaOrigem.isEmpty()) parts << QStringLiteral("mesa %1").arg(row.mesaOrigem);
    if (!row.mesaDestino.isEmpty()) parts << QStringLiteral("mesa de destino %1").arg(row.mesaDestino);
    if (!row.grupo.isEmpty()) parts << QStringLiteral("agrupamento %1").arg(groupingText(row.grupo));
    return parts.isEmpty() ? row.operacao : row.operacao + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

}  // namespace

QString describeOperation(const JournalRow& row) {
    const QString& kind = row.operacao;
    if (kind == QLatin1String("AGRUPAR")) return describeGrouping(row);
    if (kind == QLatin1String("SEPARAR")) return describeSeparation(row);
    if (kind == QLatin1String("TRANSFMESA"))
        return QStringLiteral("Mesa %1 transferida para a mesa %2").arg(row.mesaOrigem, row.mesaDestino);
    if (kind == QLatin1String("TRANSFPRODUTO")) return describeProductMove(row);
    if (kind == QLatin1String("TRANSFLUGAR")) return describeSeatMove(row);
    if (kind == QLatin1String("RESERVAR") || kind == QLatin1String("ALTRESERVA") ||
        kind == QLatin1String("CANCRESERVA") || kind == QLatin1String("SENTARRESERVA") ||
        kind == QLatin1String("NAOCOMPARECEU"))
        return describeReservation(row);
    if (kind == QLatin1String("REIMPRESSAO")) {
        const QString printed = row.depois.value(QStringLiteral("printed")).toString();
        return QStringLiteral("Pedido da mesa %1 reimpresso").arg(row.mesaOrigem) +
               (printed.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(printed));
    }
    if (kind == QLatin1String("DESFAZER") && row.desfaz > 0)
        return QStringLiteral("Desfeita a operação %1").arg(row.desfaz);
    return describeUnknown(row);
}

QString describeOperation(const JournalRow& row, const JournalRow& undone) {
    if (row.operacao != QLatin1String("DESFAZER") || row.desfaz != undone.numero) return describeOperation(row);
    return QStringLiteral("Desfeita a operação %1 (%2)").arg(row.desfaz).arg(describeOperation(undone));
}

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
