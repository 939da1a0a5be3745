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
