#pragma once
// The history of waiter changes (table GPEHISTVENDEDOR): written by the database itself, through
// triggers on ITCOMANDAVEN and VENDAREST, for every change of an item's or a sale's waiter
// however it is made. The package only reads it, tells whether it is installed, and installs it
// when asked to: never on its own, since that adds triggers to the restaurant's tables.

#include "store/PackageDatabase.h"

namespace Gpe00002 {

// True when the history table and both triggers are on the connection's database (its current
// schema, on PostgreSQL) and the triggers are enabled.
GPE00002_EXPORT bool waiterHistoryInstalled(PackageDatabase& db);

// Installs (or installs again) the table and the triggers, in one transaction. Raises ERefusal
// with the database's reason when it cannot (a user without the right to add triggers, say).
GPE00002_EXPORT void installWaiterHistory(PackageDatabase& db);

}  // namespace Gpe00002
