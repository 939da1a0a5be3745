// A primary and its synchronous standby: which of the two a connection takes, and what an open
// connection does when the primary stops and the standby is promoted.
#include "support/PgTestServer.h"

#include "DbNotifier.h"
#include "TADOCommand.h"
#include "TADOQuery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> rowsOf(TADOConnection& connection, const QString& sql) {
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(sql);
    query.Open();
    std::vector<std::string> rows;
    for (query.First(); !query.Eof(); query.Next()) {
        std::string row;
        for (int i = 0; i < query.FieldCount(); ++i) row += (i ? "|" : "") + query.Fields(i).AsString().toStdString();
        rows.push_back(row);
    }
    return rows;
}

class Failover : public ::testing::Test {
protected:
    // A test that failed over leaves a fresh pair to the next.
    void TearDown() override {
        if (m_pair.failedOver()) m_pair.restart();
    }

    PgTestPair m_pair;
};

TEST_F(Failover, AConnectionTakesThePrimaryWhicheverHostComesFirst) {
    for (const bool standbyFirst : {true, false}) {
        SCOPED_TRACE(standbyFirst ? "standby first" : "primary first");
        TADOConnection connection;
        connection.setConnectionString(m_pair.connectionString(QStringLiteral("failover_takes"), standbyFirst));
        connection.Open();
        EXPECT_EQ(rowsOf(connection, QStringLiteral("SELECT inet_server_port(), pg_is_in_recovery()")),
                  (std::vector<std::string>{std::to_string(m_pair.primaryPort()) + "|False"}));
        EXPECT_NO_THROW(connection.Execute(QStringLiteral("CREATE TABLE W (N INTEGER)")));
    }
}

TEST_F(Failover, TheStatementAfterTheLossReconnectsToThePromotedStandbyWithEveryCommittedRow) {
    constexpr int kConnectSeconds = 2;
    TADOConnection connection;
    // The dead primary comes first: the reconnect has to pass over it.
    connection.setConnectionString(m_pair.connectionString(QStringLiteral("failover_rows"), false) +
                                   QStringLiteral(";Connect Timeout=%1").arg(kConnectSeconds));
    connection.Open();
    connection.Execute(QStringLiteral("CREATE TABLE R (N INTEGER PRIMARY KEY)"));
    TADOCommand insert;
    insert.setConnection(&connection);
    insert.setCommandText(QStringLiteral("INSERT INTO R VALUES (:P_N)"));
    auto insertRow = [&insert](int n) {
        insert.Parameters().ParamByName("P_N").setValue(n);
        insert.Execute();
    };
    for (int n = 1; n <= 50; ++n) insertRow(n);  // each its own transaction
    connection.BeginTrans();
    for (int n = 51; n <= 100; ++n) insertRow(n);
    connection.CommitTrans();

    m_pair.failOver();
    QElapsedTimer timer;
    timer.start();
    try {
        rowsOf(connection, QStringLiteral("SELECT COUNT(*) FROM R"));
        ADD_FAILURE() << "the statement under way fails with the primary";
    } catch (const EADOError& e) {
        EXPECT_EQ(e.failure(), TDbFailure::Lost) << e.what();
    }
    EXPECT_LT(timer.restart(), 1000) << "a primary that is gone is noticed at once";
    EXPECT_EQ(rowsOf(connection, QStringLiteral("SELECT inet_server_port(), pg_is_in_recovery(), COUNT(*) FROM R")),
              (std::vector<std::string>{std::to_string(m_pair.standbyPort()) + "|False|100"}));
    EXPECT_LT(timer.elapsed(), 2 * kConnectSeconds * 1000) << "each host within the connect time-out";
    EXPECT_NO_THROW(insertRow(101)) << "the promoted standby takes writes";
}

TEST_F(Failover, ANotifierListensAgainOnThePromotedStandby) {
    static int argc = 1;
    static char name[] = "test_failover";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    const QString connectionString = m_pair.connectionString(QStringLiteral("failover_notify"), true);
    DbNotifier notifier(connectionString, {QStringLiteral("mesas")});
    QSignalSpy caughtUp(&notifier, &DbNotifier::caughtUp);
    QSignalSpy notified(&notifier, &DbNotifier::notified);
    notifier.start();
    ASSERT_TRUE(caughtUp.wait(5000));

    m_pair.failOver();
    ASSERT_TRUE(caughtUp.wait(10000)) << "no caught-up from the promoted standby";
    TADOConnection sender;
    sender.setConnectionString(connectionString);
    sender.Open();
    sender.Execute(QStringLiteral("NOTIFY mesas, '0012'"));
    ASSERT_TRUE(notified.wait(5000));
    EXPECT_EQ(notified.at(0).at(1).toString(), QStringLiteral("0012"));
}

}  // namespace
