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

// The primary and its synchronous standby started by the CTest fixture "pgpair"
// (pg-test-server.sh start-pair in the directory RES_PG_PAIR_DIR names). Tests that use it carry
// res_pg_pair_test_properties, which also keeps them from running at the same time: a failover changes the pair for
// every test. Every member reports a test failure and throws when the pair or the script is not there.
class PgTestPair {
public:
    PgTestPair();
    int primaryPort() const { return m_primaryPort; }
    int standbyPort() const { return m_standbyPort; }
    // A connection string naming both servers, the standby first when `standbyFirst`, on a
    // schema of its own made empty for the test (rules as for pgTestConnectionString).
    QString connectionString(const QString& schemaName, bool standbyFirst) const;
    // Stops the primary at once and promotes the standby.
    void failOver();
    // A fresh pair in place of one that failed over (its ports may differ).
    void restart();
    bool failedOver() const { return m_failedOver; }

private:
    void run(const char* action);
    void readPorts();
    QString m_dir;
    int m_primaryPort = 0;
    int m_standbyPort = 0;
    bool m_failedOver = false;
};
