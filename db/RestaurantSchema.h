#pragma once
// The restaurant tables that the table-operations module reads, as one DDL script per engine
// (db/sqlite/schema.sql and db/postgresql/schema.sql, built into this library).

#include "drivers/DbDriver.h"

#include <QStringList>

class TADOConnection;

// The DDL script for an engine; throws EDatabaseError for an engine without one.
QString restaurantSchemaScript(TSqlDialect dialect);
// Runs the script of the connection's engine on the open connection (in its current schema on
// PostgreSQL); throws EDatabaseError / EADOError.
void createRestaurantSchema(TADOConnection& connection);
// The tables the script creates, upper case, in the order it creates them.
const QStringList& restaurantTableNames();

// The operations package's own tables (journal, reservations; db/<engine>/operations.sql): a
// script that may run again on a database that holds them already. Throws EDatabaseError for an
// engine without one.
QString operationsSchemaScript(TSqlDialect dialect);
// The version of those tables that the script writes into GPEVERSAO.
constexpr int kOperationsSchemaVersion = 3;
// What must run before that script to bring tables of version `version` - 1 to `version` (2 or
// 3): SQLite's added columns (it cannot add a column only when missing); empty for PostgreSQL,
// whose script adds them itself.
QString operationsUpgradeScript(TSqlDialect dialect, int version);

// The history of waiter changes (db/<engine>/history.sql): the table GPEHISTVENDEDOR and the
// triggers on ITCOMANDAVEN and VENDAREST that fill it. Unlike the package's own tables it is
// never created on the way: it adds triggers to the restaurant's tables, so it is installed by
// the schema scripts' users (the sample-data generator's --create-schema) and on request only.
// Throws EDatabaseError for an engine without one.
QString historySchemaScript(TSqlDialect dialect);
// Runs that script on the open connection, in one transaction (rolled back when it fails, then
// throws EDatabaseError / EADOError). It may run again on a database that has it.
void installWaiterHistory(TADOConnection& connection);
