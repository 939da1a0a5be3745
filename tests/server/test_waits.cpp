// What the data service does when the database makes it wait or is given unsafe keys, on a
// SQLite file and on the PostgreSQL test server: a lock held by another terminal ends the call
// within the command time-out and nothing is written afterwards, a terminal killed while it
// waits writes nothing, a stopped server does not hold a call, a key with a NUL character is
// refused, and every failure is logged with its cause.
#include "DataModuleFixture.h"

#include "ConnectionString.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QThread>
#include <csignal>

namespace {

using namespace menutest;
using Srv_res00011::getItemMesa;
using Srv_res00011::getStatusMesa;
using Srv_res00011::rdmMenu;
using Srv_res00011::setVendedorItem;
using Srv_res00011::setVendedorVenda;

constexpr qint64 kTimeoutMs = 1000;  // the data module's Command Timeout below
// What a call may take beyond the time-out: the driver gives the server two seconds to say the
// time is up before it gives the connection up itself.
constexpr qint64 kSlackMs = 2500;

QString oneSaleAndItem() {
    return insert(Product{.codigo = "0000000001", .nome = "Picanha"}) +
           insert(Sale{.venda = "0000000001", .mesa = "0012"}) +
           insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012"}) +
           insert(Item{.venda = "0000000001", .comanda = "0000000001", .item = "000001", .produto = "0000000001"});
}

// Collects what the data service and the database layer log.
struct LogCapture {
    LogCapture() {
        s_lines = &lines;
        QLoggingCategory::setFilterRules(QStringLiteral("res.*.info=true"));
        s_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
            s_lines->push_back(QString::fromLatin1(context.category) + QStringLiteral(": ") + text);
        });
    }
    ~LogCapture() {
        qInstallMessageHandler(s_previous);
        QLoggingCategory::setFilterRules({});
        s_lines = nullptr;
    }
    bool has(const QString& category, const QString& part) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& line) { return line.startsWith(category + ':') && line.contains(part); });
    }
    std::vector<QString> lines;
    static inline std::vector<QString>* s_lines = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
};

class WaitsTest : public DataModuleTest {
protected:
    void SetUp() override {
        DataModuleTest::SetUp();
        if (HasFatalFailure()) return;
        fill(oneSaleAndItem());
        // The data module as a terminal gets it, with a short time limit.
        qputenv("QOR_CONNECTION", (m_connectionString + QStringLiteral(";Command Timeout=1")).toUtf8());
        rdmMenu->adcMenu.Close();
        rdmMenu->adcMenu.Open();
        m_locker.setConnectionString(m_connectionString);
        m_locker.Open();
    }

    std::string storedWaiters() {
        const Rows item = select(QStringLiteral("SELECT CDVENDEDOR FROM ITCOMANDAVEN"));
        const Rows sale = select(QStringLiteral("SELECT CDVENDEDOR FROM VENDAREST"));
        return item.at(0).at(0) + "/" + sale.at(0).at(0);
    }

    TADOConnection m_locker{QStringLiteral("adcLocker")};  // another terminal
};

TEST_P(WaitsTest, ALockHeldByAnotherTerminalEndsTheCallInTimeAndNothingIsWrittenAfterIt) {
    struct Case {
        const char* name;
        const char* pgLock;  // SQLite: the other terminal holds the whole database
        std::function<bool()> failed;
    };
    const Case cases[] = {
        {"setVendedorItem", "SELECT * FROM ITCOMANDAVEN FOR UPDATE",
         [] { return !setVendedorItem("0002", "0001", "0000000001", "0000000001", "0000000001", "000001"); }},
        {"setVendedorVenda", "SELECT * FROM VENDAREST FOR UPDATE",
         [] { return !setVendedorVenda("0002", "0001", "0012", "0000000001"); }},
        {"getItemMesa", "LOCK TABLE ITCOMANDAVEN IN ACCESS EXCLUSIVE MODE",
         [] { return getItemMesa("0001", "0000000001", "RES", "", "", "").typeId() == QMetaType::QString; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_locker.Execute(postgres() ? QStringLiteral("BEGIN; %1").arg(QLatin1String(c.pgLock))
                                    : QStringLiteral("BEGIN EXCLUSIVE"));
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(c.failed());
        EXPECT_LT(timer.elapsed(), kTimeoutMs + kSlackMs);
        m_locker.Execute(QStringLiteral("COMMIT"));
        QThread::msleep(300);
        EXPECT_EQ(storedWaiters(), "0001/0001") << "nothing is written once the call has answered";
    }
    // Once the lock is gone the same calls go through.
    EXPECT_TRUE(setVendedorItem("0002", "0001", "0000000001", "0000000001", "0000000001", "000001"));
    EXPECT_TRUE(setVendedorVenda("0002", "0001", "0012", "0000000001"));
    EXPECT_EQ(storedWaiters(), "0002/0002");
}

TEST_P(WaitsTest, AKeyWithANulCharacterIsRefusedAndMatchesNothing) {
    const QString injected = QStringLiteral("0001") + QChar(0) + QStringLiteral("' OR '1'='1");
    EXPECT_FALSE(setVendedorItem("0002", injected, "0000000001", "0000000001", "0000000001", "000001"));
    EXPECT_FALSE(setVendedorVenda("0002", injected, "0012", "0000000001"));
    EXPECT_FALSE(
        setVendedorItem("0002", "0001", "0000000001", "0000000001", "0000000001", QStringLiteral("000001") + QChar(0)));
    EXPECT_EQ(storedWaiters(), "0001/0001");
    EXPECT_TRUE(errorOf(getStatusMesa(injected, "0001", "0001")).contains(QLatin1String("NUL character")));
}

TEST_P(WaitsTest, EveryFailureIsLoggedWithItsCause) {
    LogCapture log;
    m_db.Execute(QStringLiteral("ALTER TABLE ITCOMANDAVEN RENAME TO ITCOMANDAVEN_AWAY"));
    EXPECT_FALSE(setVendedorItem("0002", "0001", "0000000001", "0000000001", "0000000001", "000001"));
    EXPECT_TRUE(getItemMesa("0001", "0000000001", "RES", "", "", "").typeId() == QMetaType::QString);
    m_db.Execute(QStringLiteral("ALTER TABLE ITCOMANDAVEN_AWAY RENAME TO ITCOMANDAVEN"));
    EXPECT_FALSE(setVendedorVenda("0002", "0001", "0099", "0000000001"));
    const QString missing = postgres() ? QStringLiteral("relation \"itcomandaven\" does not exist")
                                       : QStringLiteral("no such table: ITCOMANDAVEN");
    EXPECT_TRUE(log.has(QStringLiteral("res.data"), QStringLiteral("setVendedorItem failed: ")));
    EXPECT_TRUE(log.has(QStringLiteral("res.data"), missing));
    EXPECT_TRUE(log.has(QStringLiteral("res.data"), QStringLiteral("getItemMesa failed: ")));
    EXPECT_TRUE(log.has(QStringLiteral("res.data"), QStringLiteral("setVendedorVenda changed no row")));

    // A connect is logged with its connection string, the password masked and nothing else.
    TADOConnection connection(QStringLiteral("adcLogged"));
    connection.setConnectionString(m_connectionString + QStringLiteral(";Password=o"));
    connection.Open();
    EXPECT_TRUE(log.has(QStringLiteral("res.db"), QStringLiteral("adcLogged connecting: ")));
    EXPECT_TRUE(log.has(QStringLiteral("res.db"), QStringLiteral(";Password=****")));
    const QString base = ConnectionString::maskPasswords(m_connectionString);
    EXPECT_TRUE(log.has(QStringLiteral("res.db"), base)) << "only the password's own value is masked";
}

INSTANTIATE_TEST_SUITE_P(Engines, WaitsTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

// PostgreSQL alone: the server side of a terminal that dies or a server that stops.
class PgWaitsTest : public WaitsTest {};

TEST_P(PgWaitsTest, ATerminalKilledWhileWaitingForALockWritesNothingWhenTheLockGoes) {
    m_locker.Execute(QStringLiteral("BEGIN; SELECT * FROM ITCOMANDAVEN FOR UPDATE"));
    QProcess terminal;
    terminal.start(QStringLiteral(RES00011_DATA_PATH),
                   {QStringLiteral("--connection"), m_connectionString + QStringLiteral(";Command Timeout=60"),
                    QStringLiteral("setVendedorItem"), QStringLiteral("0002"), QStringLiteral("0001"),
                    QStringLiteral("0000000001"), QStringLiteral("0000000001"), QStringLiteral("0000000001"),
                    QStringLiteral("000001")});
    ASSERT_TRUE(terminal.waitForStarted());
    // Wait until its update waits for the lock, then kill it.
    const QString waiting = QStringLiteral(
        "SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
        "AND query LIKE 'update ITCOMANDAVEN%'");
    QElapsedTimer timer;
    timer.start();
    while (select(waiting).at(0).at(0) == "0" && timer.elapsed() < 10000) QThread::msleep(50);
    ASSERT_NE(select(waiting).at(0).at(0), "0") << "the terminal's update never waited for the lock";
    terminal.kill();
    terminal.waitForFinished();
    QThread::msleep(2500);  // the server looks at its clients once a second
    m_locker.Execute(QStringLiteral("COMMIT"));
    QThread::msleep(500);
    EXPECT_EQ(storedWaiters(), "0001/0001");
}

TEST_P(PgWaitsTest, AStoppedServerDoesNotHoldACallLongerThanTheTimeOut) {
    const Rows pid = rowsOf(decodePacket([] {
        TADOQuery query;
        query.setConnection(&rdmMenu->adcMenu);
        query.setSQL(QStringLiteral("SELECT pg_backend_pid() AS PID"));
        query.Open();
        return query.toPacket();
    }()));
    const pid_t backend = static_cast<pid_t>(std::stoll(pid.at(0).at(0)));
    ASSERT_EQ(::kill(backend, SIGSTOP), 0) << "the test signals the server's process for this connection";
    QElapsedTimer timer;
    timer.start();
    const bool written = setVendedorItem("0002", "0001", "0000000001", "0000000001", "0000000001", "000001");
    const qint64 elapsed = timer.elapsed();
    ::kill(backend, SIGCONT);
    EXPECT_FALSE(written);
    EXPECT_LT(elapsed, kTimeoutMs + kSlackMs);
    // The next call opens a new connection and works; the stopped one wrote nothing.
    QThread::msleep(500);
    EXPECT_EQ(storedWaiters(), "0001/0001");
    EXPECT_TRUE(setVendedorItem("0003", "0001", "0000000001", "0000000001", "0000000001", "000001"));
    EXPECT_EQ(storedWaiters(), "0003/0001");
}

INSTANTIATE_TEST_SUITE_P(Engines, PgWaitsTest, ::testing::Values(Engine::PostgreSQL), engineName);

}  // namespace
