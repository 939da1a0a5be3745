// Notifications of what other connections commit: LISTEN/NOTIFY on the PostgreSQL test server,
// data_version on a SQLite file. Every wait is a bounded wait for a signal.
#include "support/PgTestServer.h"
#include "support/SilentServer.h"

#include "DbNotifier.h"
#include "TADOCommand.h"
#include "TADOQuery.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Signals are waited for in an event loop, which wants an application object.
void ensureApplication() {
    static int argc = 1;
    static char name[] = "test_notifier";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

using Received = std::vector<std::tuple<QString, QString, int>>;

Received received(const QSignalSpy& spy) {
    Received out;
    for (const QList<QVariant>& signal : spy)
        out.emplace_back(signal.at(0).toString(), signal.at(1).toString(), signal.at(2).toInt());
    return out;
}

// Waits until `spy` holds `count` signals or `ms` have passed.
bool waitForCount(QSignalSpy& spy, qsizetype count, int ms) {
    const QDeadlineTimer deadline(ms);
    while (spy.count() < count && !deadline.hasExpired()) spy.wait(static_cast<int>(deadline.remainingTime()));
    return spy.count() >= count;
}

class PgNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        m_schema = pgTestSchemaForCurrentTest(QStringLiteral("notify"));
        m_connectionString = pgTestConnectionString(m_schema);
        m_sender.setConnectionString(m_connectionString);
        m_sender.Open();
    }

    // The notifier, listening: its caught-up signal has come.
    std::unique_ptr<DbNotifier> listen(const QStringList& channels) {
        auto notifier = std::make_unique<DbNotifier>(
            m_connectionString + QStringLiteral(";Application Name=%1").arg(m_schema), channels);
        QSignalSpy caughtUp(notifier.get(), &DbNotifier::caughtUp);
        notifier->start();
        EXPECT_TRUE(caughtUp.wait(5000)) << "the notifier did not listen";
        EXPECT_TRUE(notifier->isListening());
        return notifier;
    }

    // Channels are the whole database's: each test names its own.
    QString channel(const char* name) const { return m_schema.right(12) + u'_' + QString::fromUtf8(name); }

    // Sends through a query's parameters, or through a command's.
    void send(const char* name, const QString& payload, bool asCommand = false) {
        const QString sql = QStringLiteral("SELECT pg_notify(:P_CANAL, :P_TEXTO)");
        if (asCommand) {
            TADOCommand command;
            command.setConnection(&m_sender);
            command.setCommandText(sql);
            command.Parameters().ParamByName("P_CANAL").setValue(channel(name));
            command.Parameters().ParamByName("P_TEXTO").setValue(payload);
            command.Execute();
        } else {
            TADOQuery query;
            query.setConnection(&m_sender);
            query.setSQL(sql);
            query.Parameters().ParamByName("P_CANAL").setValue(channel(name));
            query.Parameters().ParamByName("P_TEXTO").setValue(payload);
            query.Open();
        }
    }

    int senderPid() {
        TADOQuery query;
        query.setConnection(&m_sender);
        query.setSQL(QStringLiteral("SELECT pg_backend_pid() AS PID"));
        query.Open();
        return query.FieldByName("PID").AsInteger();
    }

    QString m_schema;
    QString m_connectionString;
    TADOConnection m_sender{QStringLiteral("adcSender")};
};

TEST_F(PgNotifierTest, OnlyCommittedNotificationsOfItsChannelsArriveWithPayloadAndSender) {
    const auto notifier = listen({channel("mesas"), channel("Pedidos Já")});
    QSignalSpy spy(notifier.get(), &DbNotifier::notified);
    m_sender.BeginTrans();
    send("mesas", QStringLiteral("rolled back"));
    m_sender.RollbackTrans();
    send("outro", QStringLiteral("not listened to"));
    m_sender.BeginTrans();
    send("Pedidos Já", QStringLiteral("mesa 12; pão"), true);
    m_sender.CommitTrans();
    send("mesas", QStringLiteral("0012"));
    ASSERT_TRUE(waitForCount(spy, 2, 5000));
    // Anything sent before arrives before the last one: one more wait shows nothing else comes.
    EXPECT_FALSE(spy.wait(200));
    EXPECT_EQ(received(spy), (Received{{channel("Pedidos Já"), QStringLiteral("mesa 12; pão"), senderPid()},
                                       {channel("mesas"), QStringLiteral("0012"), senderPid()}}));
}

TEST_F(PgNotifierTest, ABurstArrivesWhole) {
    const auto notifier = listen({channel("burst")});
    QSignalSpy spy(notifier.get(), &DbNotifier::notified);
    for (int i = 0; i < 50; ++i) send("burst", QString::number(i));
    m_sender.BeginTrans();
    for (int i = 50; i < 200; ++i) send("burst", QString::number(i));
    m_sender.CommitTrans();
    ASSERT_TRUE(waitForCount(spy, 200, 10000)) << spy.count() << " arrived";
    for (int i = 0; i < 200; ++i) EXPECT_EQ(spy.at(i).at(1).toString(), QString::number(i));
}

TEST_F(PgNotifierTest, WithoutChannelsItStillCatchesUp) { listen({}); }

TEST_F(PgNotifierTest, ALostConnectionIsOpenedAgainAndCaughtUpFollows) {
    const auto notifier = listen({channel("mesas")});
    QSignalSpy caughtUp(notifier.get(), &DbNotifier::caughtUp);
    QSignalSpy spy(notifier.get(), &DbNotifier::notified);
    TADOQuery terminate;
    terminate.setConnection(&m_sender);
    terminate.setSQL(
        QStringLiteral("SELECT COUNT(pg_terminate_backend(pid, 5000)) AS N FROM pg_stat_activity "
                       "WHERE application_name = :P_NAME"));
    terminate.Parameters().ParamByName("P_NAME").setValue(m_schema);
    terminate.Open();
    ASSERT_EQ(terminate.FieldByName("N").AsInteger(), 1);
    ASSERT_TRUE(caughtUp.wait(5000)) << "the notifier did not come back";
    EXPECT_TRUE(notifier->isListening());
    send("mesas", QStringLiteral("after"));
    ASSERT_TRUE(spy.wait(5000)) << "the notifier does not listen again";
    EXPECT_EQ(spy.at(0).at(1).toString(), QStringLiteral("after"));
}

TEST(PgNotifierOffline, AServerThatIsDownOrSilentNeverHoldsUpTheEventLoop) {
    ensureApplication();
    SilentServer silent;
    const std::pair<const char*, int> servers[] = {{"closed port", 1}, {"silent server", silent.port()}};
    for (const auto& [name, port] : servers) {
        SCOPED_TRACE(name);
        DbNotifier notifier(QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=%1;Initial Catalog=x;"
                                           "User ID=u;Connect Timeout=1")
                                .arg(port),
                            {QStringLiteral("mesas")});
        QSignalSpy caughtUp(&notifier, &DbNotifier::caughtUp);
        QElapsedTimer timer;
        timer.start();
        notifier.start();
        EXPECT_LT(timer.elapsed(), 200) << "start returns at once";
        // A ticking timer measures the longest time the loop was held up, over several attempts.
        QTimer tick;
        qint64 last = timer.elapsed(), longest = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, timer.elapsed() - last);
            last = timer.elapsed();
        });
        tick.start(20);
        EXPECT_FALSE(caughtUp.wait(1500));
        EXPECT_LT(longest, 250);
        EXPECT_FALSE(notifier.isListening());
    }
}

TEST(SqliteNotifier, SeesAnotherConnectionsCommitWithinOnePeriodAndNothingWhenNobodyWrote) {
    ensureApplication();
    QTemporaryDir dir;
    const QString connectionString = sqliteTestConnectionString(dir);
    TADOConnection writer;
    writer.setConnectionString(connectionString);
    writer.Open();
    writer.Execute(QStringLiteral("CREATE TABLE T (N INTEGER)"));

    constexpr int kPeriodMs = 200;
    DbNotifier notifier(connectionString, {});
    EXPECT_EQ(notifier.pollInterval(), 250);
    notifier.setPollInterval(kPeriodMs);
    QSignalSpy caughtUp(&notifier, &DbNotifier::caughtUp);
    QSignalSpy spy(&notifier, &DbNotifier::notified);
    notifier.start();
    ASSERT_TRUE(caughtUp.wait(1000));
    EXPECT_FALSE(spy.wait(3 * kPeriodMs)) << "nobody wrote";

    struct Case {
        const char* name;
        const char* sql;
        bool seen;
    };
    const Case cases[] = {
        {"commit", "INSERT INTO T VALUES (1)", true},
        {"rollback", "BEGIN; INSERT INTO T VALUES (2); ROLLBACK", false},
        {"read", "SELECT COUNT(*) FROM T", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        spy.clear();
        QElapsedTimer timer;
        writer.Execute(QString::fromLatin1(c.sql));
        timer.start();
        EXPECT_EQ(spy.wait(2 * kPeriodMs), c.seen);
        if (c.seen) {
            EXPECT_LT(timer.elapsed(), kPeriodMs + 150);
            EXPECT_EQ(received(spy), (Received{{QString(), QString(), 0}}));
        }
    }
}

}  // namespace
