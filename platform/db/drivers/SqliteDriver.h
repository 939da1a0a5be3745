#pragma once
// SQLite engine over the sqlite3 C API. Registers NVL(a, b) (and "ISNULL"(a, b)) on every
// connection. Column types
// follow the declared type of the column: CHAR/TEXT/CLOB with their width, DATE/TIME as
// date-times (stored as 'YYYY-MM-DD HH:MM:SS[.fff]' text), BOOL as booleans, other numeric
// types as floats; a computed column takes the type of its values (numbers as floats).

#include "DbDriver.h"

std::unique_ptr<DbDriver> openSqliteDriver(const ConnectionString& options);

// How many SQLite connections of this process are waiting for another connection's lock right
// now: what a test that lines up terminals behind a lock waits for, instead of a pause.
int sqliteConnectionsWaiting();
