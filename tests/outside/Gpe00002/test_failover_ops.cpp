// The package's operations on a primary and its synchronous standby (label "failover"): they go
// on on the promoted standby, and an operation whose connection breaks at its commit is settled
// by its identity: told done when the commit is there, told not done when it is not, never done
// twice. A proxy in front of the primary cuts a connection at the moment the server answers.
#include "support/PgTestServer.h"
#include "support/RestaurantRows.h"

#include "core/Refusal.h"
#include "core/Station.h"
#include "operations/JuntarMesas.h"
#include "operations/Tables.h"
#include "operations/TransferirMesa.h"
#include "store/PackageDatabase.h"
#include "TADOQuery.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace menutest;

// Forwards 127.0.0.1:port() to the server at `target`. Once cut() is armed, the next bytes the
// server sends are dropped, `then` runs, and every connection through the proxy is closed: the
// client's statement reached the server, its answer never comes back. After refuse() the port
// refuses connections, as a host whose server is gone does.
class CuttingProxy {
public:
    explicit CuttingProxy(int target) : m_target(target) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_listener, 8) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the proxy cannot listen");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~CuttingProxy() {
        m_stop = true;
        m_thread.join();
        closeListener();
        for (const auto& [client, server] : m_pairs) ::close(client), ::close(server);
    }
    int port() const { return m_port; }
    void refuse() {
        if (std::this_thread::get_id() == m_thread.get_id()) return closeListener();
        m_refuse = true;
        while (m_listening) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    void cut(std::function<void()> then) {
        std::lock_guard lock(m_mutex);
        m_then = std::move(then);
        m_armed = true;
    }

private:
    static bool forward(int from, int to) {
        char buffer[16384];
        const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
        return got > 0 && ::send(to, buffer, static_cast<size_t>(got), MSG_NOSIGNAL) == got;
    }
    int connectToTarget() const {
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(m_target));
        if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return server;
        ::close(server);
        return -1;
    }
    void closeListener() {
        if (m_listening) ::close(m_listener);
        m_listening = false;
    }
    void run() {
        while (!m_stop) {
            if (m_refuse) closeListener();
            std::vector<pollfd> fds{{m_listening ? m_listener : -1, POLLIN, 0}};
            for (const auto& [client, server] : m_pairs)
                fds.push_back({client, POLLIN, 0}), fds.push_back({server, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
            // The pairs polled, each once: closed when either side ends, or all at a cut.
            std::vector<std::pair<int, int>> kept;
            bool cutAll = false;
            for (std::size_t i = 0; i < m_pairs.size() && !cutAll; ++i) {
                const auto [client, server] = m_pairs[i];
                bool open = true;
                if (fds[1 + 2 * i].revents) open = forward(client, server);
                if (open && fds[2 + 2 * i].revents) {
                    std::function<void()> then;
                    {
                        std::lock_guard lock(m_mutex);
                        if (m_armed) then = std::move(m_then), m_armed = false, cutAll = true;
                    }
                    if (cutAll && then) then();
                    if (!cutAll) open = forward(server, client);
                }
                if (open && !cutAll)
                    kept.emplace_back(client, server);
                else
                    ::close(client), ::close(server);
                if (cutAll) {
                    for (const auto& [c, s] : kept) ::close(c), ::close(s);
                    for (std::size_t j = i + 1; j < m_pairs.size(); ++j)
                        ::close(m_pairs[j].first), ::close(m_pairs[j].second);
                    kept.clear();
                }
            }
            m_pairs = std::move(kept);
            if (m_listening && (fds[0].revents & POLLIN)) {
                const int client = ::accept(m_listener, nullptr, nullptr);
                const int server = client < 0 ? -1 : connectToTarget();
                if (server >= 0)
                    m_pairs.emplace_back(client, server);
                else if (client >= 0)
                    ::close(client);  // the server is gone
            }
        }
    }

    int m_target;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_refuse{false};
    std::atomic<bool> m_listening{true};
    std::vector<std::pair<int, int>> m_pairs;  // client, server
    std::mutex m_mutex;
    bool m_armed = false;
    std::function<void()> m_then;
};

class PackageFailover : public ::testing::Test {
protected:
    void SetUp() override {
        // The primary is reached through the proxy, the standby directly.
        const QString pair = m_pair.connectionString(QStringLiteral("failover_ops"), false);
        m_proxy = std::make_unique<CuttingProxy>(m_pair.primaryPort());
        m_connectionString = QString(pair).replace(QStringLiteral("Port=%1,").arg(m_pair.primaryPort()),
                                                   QStringLiteral("Port=%1,").arg(m_proxy->port())) +
                             QStringLiteral(";Connect Timeout=2;Command Timeout=5");
        TADOConnection setup;
        setup.setConnectionString(m_connectionString);
        setup.Open();
        createRestaurantSchema(setup);
        QString sql = QStringLiteral("BEGIN;\n");
        for (const char* mesa : {"0011", "0012", "0013", "0014", "0015"}) sql += insert(Table{.mesa = mesa});
        sql += insert(Sale{.venda = "0000000001", .mesa = "0011"});
        setup.Execute(sql + QStringLiteral("UPDATE MESA SET IDSTMESAAUX = 'O' WHERE NRMESA = '0011';\nCOMMIT;\n"));
        m_ops = std::make_unique<Gpe00002::PackageDatabase>(m_connectionString);
    }
    void TearDown() override {
        m_ops.reset();
        m_proxy.reset();
        if (m_pair.failedOver()) m_pair.restart();
    }

    // The primary stops at once, the standby is promoted, and the primary's port refuses.
    void failOver() {
        m_pair.failOver();
        m_proxy->refuse();
    }

    Gpe00002::TableState table(const char* numero) {
        for (const Gpe00002::TableState& t : Gpe00002::loadTables(*m_ops, "0001", "0001"))
            if (t.numero == QLatin1String(numero)) return t;
        ADD_FAILURE() << "no table " << numero;
        return {};
    }
    QJsonObject transfer(const char* from, const char* to) {
        return Gpe00002::transferirMesa(*m_ops, m_station, "0001", "0001", table(from), table(to));
    }
    // What the server that takes writes now holds: the journal's operations, the sale's table.
    std::vector<std::string> held() {
        TADOConnection reader;
        reader.setConnectionString(m_connectionString);
        reader.Open();
        TADOQuery query;
        query.setConnection(&reader);
        query.setSQL(
            QStringLiteral("SELECT IDOPERACAO FROM GPEJORNAL UNION ALL SELECT 'sale on ' || NRMESA FROM "
                           "VENDAREST ORDER BY 1"));
        query.Open();
        std::vector<std::string> rows;
        for (query.First(); !query.Eof(); query.Next()) rows.push_back(query.Fields(0).AsString().toStdString());
        return rows;
    }

    PgTestPair m_pair;
    std::unique_ptr<CuttingProxy> m_proxy;
    QString m_connectionString;
    std::unique_ptr<Gpe00002::PackageDatabase> m_ops;
    Gpe00002::Station m_station{"0001", "0001", "001", "000000000005", "002", "terminal-1"};
};

TEST_F(PackageFailover, OperationsGoOnOnThePromotedStandbyAndNothingReportedDoneIsLost) {
    Gpe00002::agruparMesas(*m_ops, m_station, "0001", "0001", {table("0012"), table("0013")});
    failOver();
    QElapsedTimer timer;
    timer.start();
    // The map's reading and the operation after it: the first statement finds the primary gone
    // and runs again on the standby.
    EXPECT_NO_THROW(transfer("0011", "0014"));
    EXPECT_LT(timer.elapsed(), 2 * 2000) << "within the connect time-out of each host";
    EXPECT_EQ(held(), (std::vector<std::string>{"AGRUPAR", "TRANSFMESA", "sale on 0014"}));
}

// Where the connection breaks: after the server answered the commit (it is on the standby too:
// the commit waits for it), with or without the primary dying then; or before the commit left.
TEST_F(PackageFailover, AnOperationCutAtItsCommitIsSettledByItsIdentityAndNeverDoneTwice) {
    struct Case {
        const char* name;
        bool afterCommit;  // the server committed before the connection broke
        bool failOver;
    };
    for (const Case& c : {Case{"answer lost, primary alive", true, false},
                          Case{"answer lost, primary dead and standby promoted", true, true},
                          Case{"primary dead before the commit", false, true}}) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        m_ops->setStepHook([&](const char* step) {
            if (qstrcmp(step, "commit") != 0) return;
            if (!c.afterCommit)
                failOver();
            else
                m_proxy->cut([&] {
                    if (c.failOver) failOver();
                });
        });
        QString refusal;
        try {
            transfer("0011", "0014");
        } catch (const Gpe00002::ERefusal& e) {
            refusal = e.message();
        }
        m_ops->setStepHook({});
        if (c.afterCommit) {
            EXPECT_EQ(refusal.toStdString(), "") << "told done";
            EXPECT_TRUE(m_ops->recovered());
            ASSERT_EQ(m_ops->lastCommitted().size(), 1u);
            EXPECT_EQ(m_ops->journalled(m_ops->lastCommitted().front().id), std::optional<bool>(true));
            EXPECT_EQ(held(), (std::vector<std::string>{"TRANSFMESA", "sale on 0014"}));
            // Doing it again is refused: the table was moved.
            EXPECT_THROW(transfer("0011", "0015"), Gpe00002::ERefusal);
        } else {
            EXPECT_EQ(refusal, QStringLiteral("A conexão com o banco de dados foi perdida; a operação não foi feita e "
                                              "nada foi alterado. Tente de novo."));
            EXPECT_EQ(held(), (std::vector<std::string>{"sale on 0011"}));
            EXPECT_NO_THROW(transfer("0011", "0014")) << "done once when tried again";
        }
        EXPECT_EQ(held(), (std::vector<std::string>{"TRANSFMESA", "sale on 0014"}));
    }
}

}  // namespace
