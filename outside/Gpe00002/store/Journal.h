#pragma once
// The operations journal (table GPEJORNAL): one row for every operation that changed something,
// written inside the operation's own transaction, so that it exists exactly when the change does.
// On PostgreSQL the same transaction notifies the store's floor channel (store/FloorWatch.h) with
// the operation, its tables and the journal row: sent at commit, never for a rolled-back one.

#include "store/PackageDatabase.h"
#include "core/Station.h"

#include <QDateTime>
#include <QJsonObject>
#include <optional>

namespace Gpe00002 {

struct JournalEntry {
    QString operacao;  // AGRUPAR, SEPARAR, TRANSFMESA, RESERVAR, CANCRESERVA, SENTARRESERVA, ...
    QString filial, loja;
    QString mesaOrigem, mesaDestino, grupo;
    QJsonObject antes, depois;  // what the operation found and what it left
    QVariant desfaz{};          // on a DESFAZER row: the NRJORNAL of the row it undoes
};

// Writes the row with a fresh identity (CDUUID, a UUID) and answers it. The identity is unique:
// the same operation can never be journalled twice.
GPE00002_EXPORT QString writeJournal(PackageDatabase& db, const Station& station, const JournalEntry& entry);

// A journal row as stored.
struct GPE00002_EXPORT JournalRow {
    qint64 numero = 0;  // NRJORNAL
    QString id;         // CDUUID; empty on rows written before operations had one
    QString operacao;
    QDateTime quando;
    QString caixa, estacao, operador;
    QString filial, loja, mesaOrigem, mesaDestino, grupo;
    QJsonObject antes, depois;
    qint64 desfaz = 0;       // on a DESFAZER row, the row it undid
    qint64 desfeitaPor = 0;  // the DESFAZER row that undid this one, 0 while none did
};

// The row `id` names: its CDUUID, or its NRJORNAL in digits; none when there is no such row.
GPE00002_EXPORT std::optional<JournalRow> journalRow(PackageDatabase& db, const QString& id);
// The rows of `day` (by the time they were written), in the order they were written.
GPE00002_EXPORT std::vector<JournalRow> journalOfDay(PackageDatabase& db, const QDate& day);

// What the row did, in one line as the operation's own message words it ("Mesa 0012 transferida
// para a mesa 0014"), from its columns and its before and after; a kind it does not know, by its
// kind and tables. A DESFAZER row names the row it undid, and what that did when `undone` is it.
GPE00002_EXPORT QString describeOperation(const JournalRow& row);
GPE00002_EXPORT QString describeOperation(const JournalRow& row, const JournalRow& undone);

}  // namespace Gpe00002
