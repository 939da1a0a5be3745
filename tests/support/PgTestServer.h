#pragma once
// Databases for tests that talk to a real engine.
//
// PostgreSQL: the throwaway server started by the CTest fixture "pgserver" (tests
// pg_server_start / pg_server_stop, see CMakeLists.txt here). A test that uses it must carry
// the fixture's properties (res_pg_test_properties); each test works in a schema of its own.
// A missing server fails the test: these tests never skip.
//
// SQLite: a database file in a temporary directory.

#include "RestaurantSchema.h"  // createRestaurantSchema(TADOConnection&), restaurantSchemaScript

#include <QString>

class QTemporaryDir;

// The test server's connection string (read from the file that RES_PG_CONNECTION_FILE names)
// with ";Schema=<schemaName>" appended, after dropping and re-creating that schema, so the
// test starts from an empty one. schemaName: lower-case letters, digits and '_', starting with
// a letter or '_', at most 63 characters. Reports a test failure and throws when the variable
// is unset, the file is missing or empty, the name is unfit or the server cannot be reached.
QString pgTestConnectionString(const QString& schemaName);

// A schema name of the running test's own: `prefix`, the start of the test's name and a hash of
// its whole name (suite and parameter included), within PostgreSQL's 63 characters.
QString pgTestSchemaForCurrentTest(const QString& prefix);

// "Provider=SQLite;Data Source=<dir>/<fileName>;Create=yes". Reports a failure and throws when
// the directory is not valid.
QString sqliteTestConnectionString(const QTemporaryDir& dir, const QString& fileName = QStringLiteral("test.db"));
