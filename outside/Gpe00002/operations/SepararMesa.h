#pragma once
// Separating a table from its grouping. The table leaves the grouping; a grouping left with
// fewer than two tables goes with its last member. No sale, ticket or item changes: a grouping
// only decides what is listed together.

#include "operations/Tables.h"

#include <QJsonObject>

namespace Gpe00002 {

struct Station;

// `seen` is the table as the map showed it. Answers what changed:
// {"grouping":"0000000003","table":"0021","remaining":["0020","0022"]}, with "removed":true and
// no remaining tables when the grouping went. Raises ERefusal, changing nothing, when the table
// is in no grouping or was changed by another terminal.
GPE00002_EXPORT QJsonObject separarMesa(PackageDatabase& db, const Station& station, const QString& filial,
                                        const QString& loja, const TableState& seen);

}  // namespace Gpe00002
