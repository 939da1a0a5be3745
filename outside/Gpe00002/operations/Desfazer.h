#pragma once
// The undo of a journalled operation: an operation of its own, which locks what the original
// locked, goes on only when every row the original changed is still as it left it, restores
// what it found, and journals one DESFAZER row naming the original (at most one per operation).

#include "core/Export.h"
#include "core/Station.h"
#include "store/PackageDatabase.h"

#include <QJsonObject>

namespace Gpe00002 {

// Whether operations of kind `operacao` (IDOPERACAO) can be undone.
GPE00002_EXPORT bool undoable(const QString& operacao);

// Undoes the journalled operation `id` (its CDUUID, or its NRJORNAL in digits) in one transaction
// of its own; answers what it did ({"undone": NRJORNAL, "operation": IDOPERACAO}). ERefusal with
// the reason when it cannot.
GPE00002_EXPORT QJsonObject desfazerOperacao(PackageDatabase& db, const Station& station, const QString& id);

}  // namespace Gpe00002
