#pragma once
// The operations journal (table GPEJORNAL): one row for every operation that changed something,
// written inside the operation's own transaction, so that it exists exactly when the change does.
// On PostgreSQL the same transaction notifies the store's floor channel (store/FloorWatch.h) with
// the operation, its tables and the journal row: sent at commit, never for a rolled-back one.

#include "store/PackageDatabase.h"
#include "core/Station.h"

#include <QJsonObject>

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

}  // namespace Gpe00002
