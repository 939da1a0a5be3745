// What kind of failure each engine's refusal is (another terminal in the way is Busy, whatever
// the engine's own code for it), and how long a statement may wait for a lock.
#include "support/PgTestServer.h"

#include "TADOCommand.h"
#include "TADOQuery.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TDbFailure failureOf(TADOConnection& connection, const QString& sql) {
    try {
        connection.Execute(sql);
    } catch (const EADOError& e) {
        return e.failure();
    }
    ADD_FAILURE() << sql.toStdString() << " did not fail";
    return TDbFailure::Other;
}

class FailureKindsTest : public ::testing::Test {
protected:
    void open(TADOConnection& connection, const QString& connectionString, int timeoutSeconds = 1) {
        connection.setConnectionString(connectionString + QStringLiteral(";Command Timeout=%1").arg(timeoutSeconds));
        connection.Open();
    }
    QTemporaryDir m_dir;
};

// Every state the server uses for a terminal in the way (a deadlock, a serialization failure, a
// lock or statement time-out) is Busy; a duplicate key is Duplicate; the rest Other.
TEST_F(FailureKindsTest, PostgresStatesOfContentionAreBusy) {
    TADOConnection connection;
    open(connection, pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("kinds"))));
    const std::pair<const char*, TDbFailure> cases[] = {
        {"40P01", TDbFailure::Busy},  {"40001", TDbFailure::Busy},      {"55P03", TDbFailure::Busy},
        {"57014", TDbFailure::Busy},  {"23505", TDbFailure::Duplicate}, {"42P01", TDbFailure::Other},
        {"22012", TDbFailure::Other},
    };
    for (const auto& [state, kind] : cases) {
        SCOPED_TRACE(state);
        EXPECT_EQ(failureOf(connection, QStringLiteral("DO $$ BEGIN RAISE EXCEPTION 'x' USING ERRCODE = '%1'; END $$")
                                            .arg(QLatin1String(state))),
                  kind);
    }
}

// A write lock held by another connection and a read transaction overtaken by another's commit
// (SQLITE_BUSY_SNAPSHOT) are Busy; the wait for the lock ends within the command time-out.
TEST_F(FailureKindsTest, SqliteLocksAreBusyWithinTheTimeLimit) {
    const QString file = sqliteTestConnectionString(m_dir);
    TADOConnection holder, waiter;
    open(holder, file);
    holder.Execute(QStringLiteral("PRAGMA journal_mode = WAL; CREATE TABLE T (CD INTEGER); INSERT INTO T VALUES (1)"));
    open(waiter, file);

    holder.Execute(QStringLiteral("BEGIN EXCLUSIVE"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(failureOf(waiter, QStringLiteral("BEGIN IMMEDIATE")), TDbFailure::Busy);
    EXPECT_GE(timer.elapsed(), 900);
    EXPECT_LT(timer.elapsed(), 1500);
    holder.Execute(QStringLiteral("ROLLBACK"));

    waiter.Execute(QStringLiteral("BEGIN; SELECT COUNT(*) FROM T"));
    holder.Execute(QStringLiteral("UPDATE T SET CD = 2"));
    try {
        waiter.Execute(QStringLiteral("UPDATE T SET CD = 3"));
        ADD_FAILURE() << "an overtaken snapshot wrote";
    } catch (const EADOError& e) {
        EXPECT_EQ(e.failure(), TDbFailure::Busy) << e.what();
    }
    waiter.Execute(QStringLiteral("ROLLBACK"));
}

// A Command Timeout of 0 is the most, 60 s, and so is 60: a query or command without a limit of
// its own takes the connection's, on the server too.
TEST_F(FailureKindsTest, TheCommandTimeoutGovernsEveryStatement) {
    const QString pg = pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("limits")));
    for (const auto& [seconds, expected] : {std::pair{0, "1min"}, std::pair{60, "1min"}, std::pair{7, "7s"}}) {
        SCOPED_TRACE(seconds);
        TADOConnection connection;
        open(connection, pg, seconds);
        TADOQuery query;
        query.setConnection(&connection);
        query.setSQL(QStringLiteral("SHOW statement_timeout"));
        query.Open();
        EXPECT_EQ(query.Fields(0).AsString(), QLatin1String(expected));
        TADOCommand command;
        EXPECT_EQ(connection.statementTimeoutMs(command.CommandTimeout()), (seconds ? seconds : 60) * 1000);
    }
}

}  // namespace
