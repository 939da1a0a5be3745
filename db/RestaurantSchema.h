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
constexpr int kOperationsSchemaVersion = 1;
