#pragma once
// What the table map is asked to show: the store's tables, each offered or not with the reason,
// and how many may be chosen; and, for a map that follows the floor live, how to read them again.

#include "operations/Tables.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace Gpe00002 {

// One table on the map: offered, or shown but disabled with the reason ("ocupada").
struct MapTable {
    TableState mesa;
    bool enabled = true;
    QString reason;
};

struct TableMapRequest {
    QString title;                 // the operation, e.g. "Agrupar mesas"
    QString prompt;                // what to choose, e.g. "Escolha as mesas a agrupar"
    std::vector<MapTable> tables;  // every active table of the store, by number
    bool multiple = false;         // several tables may be chosen
    int minimum = 1;               // the least number of tables to confirm
    QStringList marked = {};       // the user's previous choice, when they came back to this map

    // The tables as the operation offers them now; empty for a map that shows only `tables`.
    // May throw EDatabaseError or ERefusal.
    std::function<std::vector<MapTable>()> reread = {};
    // The store shown and the package's connection string, for the store's notifications.
    QString filial = {}, loja = {};
    QString connectionString = {};
};

}  // namespace Gpe00002
