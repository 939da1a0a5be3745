// Two terminals (or a terminal and the host's order screens) on the same rows, played step by step
// in every order their locks allow (support/StepRace.h), on both engines. On PostgreSQL a terminal
// stops after each lock it takes; on SQLite, where BEGIN IMMEDIATE holds the whole database, after
// its transaction began, so that the other one waits, or, in one more run, is told it is busy.
// After every run the invariants below must hold, and the database and what each terminal was
// told must be those of the sessions that went through, run one after the other.
#include "TerminalFixture.h"

#include "Srv_res00011.h"
#include "operations/Items.h"
#include "operations/JuntarMesas.h"
#include "operations/ReimprimePedido.h"
#include "operations/ReservarMesa.h"
#include "operations/SepararMesa.h"
#include "operations/TransferirLugar.h"
#include "operations/TransferirMesa.h"
#include "operations/TransferirProduto.h"
#include "support/StepRace.h"

#include "TADOCommand.h"

#include <QJsonArray>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <map>
#include <set>

namespace {

using namespace opstest;
using steprace::Pause;
using steprace::Session;

// The rows the sessions may change, one text a row, without the columns a run sets on its own
// (numbers drawn from a sequence, times of the clock).
const char* const kSnapshotTables[] = {"MESA",         "JUNCAOMESA", "MESAJUNCAO",     "VENDAREST", "COMANDAVEN",
                                       "ITCOMANDAVEN", "GPERESERVA", "GPERESERVAMESA", "GPEJORNAL"};
// A reservation's time for the pairs that reserve: half an hour from now, so that its hold has begun.
QDateTime soon() {
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())).addSecs(1800);
}

// Columns that differ from run to run: numbers drawn from sequences, times, identities.
const QStringList kClockColumns = {"NRJORNAL", "DTHROPERACAO", "NRRESERVA", "DTHRINCLUSAO", "DTHRFIM", "CDUUID"};

// What the host's order screens do, as statements: each session's statements in one transaction,
// stopping after each.
struct HostStep {
    const char* point;
    QString sql;
};

// Log lines of the package (res.ops), for the runs that must leave one.
QMutex g_logMutex;
QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;
void keepLog(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && QLatin1String(context.category) == QLatin1String("res.ops")) {
        QMutexLocker locker(&g_logMutex);
        g_log << message;
    }
    if (type != QtWarningMsg && g_previousHandler) g_previousHandler(type, context, message);
}

// The pairs below build their sessions through the fixture's members.
class RaceTest : public TerminalTest {
public:
    void SetUp() override {
        TerminalTest::SetUp();
        if (HasFatalFailure()) return;
        reset();
        g_previousHandler = qInstallMessageHandler(keepLog);
    }
    void TearDown() override {
        qInstallMessageHandler(g_previousHandler);
        delete Srv_res00011::rdmMenu;
        Srv_res00011::rdmMenu = nullptr;
        qunsetenv("QOR_CONNECTION");
        TerminalTest::TearDown();
    }

    // 0010, 0011 and 0014 free; 0012 with sale V12, ticket C12, items 000001 (3 × 10,00, seat 01)
    // and 000002 (1 × 25,00, seat 02); 0013 and 0015 with a sale, a ticket and an item each;
    // 0020 (with sale V20), 0021 and 0022 in grouping 1.
    void reset() {
        QString sql;
        for (const char* table : {"GPEJORNAL", "GPERESERVAMESA", "GPERESERVA", "MESAJUNCAO", "JUNCAOMESA",
                                  "ITCOMANDAVEN", "COMANDAVEN", "VENDAREST", "MESA", "PRODUTO", "LOJA"})
            sql += QStringLiteral("DELETE FROM %1;\n").arg(QLatin1String(table));
        sql += QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('0001', '0001');\n") +
               insert(Product{.codigo = "P1", .nome = "Água"}) + insert(Product{.codigo = "P2", .nome = "Suco"});
        for (const char* mesa : {"0010", "0011", "0014", "0021", "0022"}) sql += insert(Table{.mesa = mesa});
        for (const auto& [mesa, venda, comanda] : {std::tuple{"0012", "V12", "C12"},
                                                   {"0013", "V13", "C13"},
                                                   {"0015", "V15", "C15"},
                                                   {"0020", "V20", "C20"}}) {
            sql += insert(Table{.mesa = mesa, .estado = "O"}) + insert(Sale{.venda = venda, .mesa = mesa}) +
                   insert(Ticket{.venda = venda,
                                 .comanda = comanda,
                                 .descricao = QByteArray("PKR_" + QByteArray(mesa)).constData()});
            sql +=
                insert(Item{.venda = venda, .comanda = comanda, .item = "000001", .produto = "P1", .quantidade = "3"});
        }
        sql += insert(Item{.venda = "V12",
                           .comanda = "C12",
                           .item = "000002",
                           .produto = "P2",
                           .lugar = "02",
                           .quantidade = "1",
                           .preco = "25"});
        sql += juncaoMesa("0001", "0001", "0000000001");
        for (const char* mesa : {"0020", "0021", "0022"}) sql += mesaJuncao("0001", "0001", "0000000001", mesa);
        fill(sql);
    }

    std::set<QString> snapshot() {
        std::set<QString> rows;
        for (const char* table : kSnapshotTables) {
            TADOQuery query;
            query.setConnection(&m_db);
            query.setSQL(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table)));
            query.Open();
            for (query.First(); !query.Eof(); query.Next()) {
                QString row = QLatin1String(table) + QLatin1Char(':');
                for (int i = 0; i < query.FieldCount(); ++i) {
                    const TField& field = query.Fields(i);
                    if (kClockColumns.contains(field.FieldName().toUpper())) continue;
                    row += QLatin1Char(' ') + (field.IsNull() ? QStringLiteral("<null>") : field.AsString());
                }
                rows.insert(withoutIds(row));
            }
        }
        return rows;
    }
    // A reservation's number, drawn from a sequence that runs on from run to run, left out of
    // the texts that are compared.
    static QString withoutIds(QString text) {
        static const QRegularExpression id(QStringLiteral("\"id\":\\s*\\d+"));
        return text.replace(id, QStringLiteral("\"id\":#"));
    }

    // A terminal of its own; on PostgreSQL a deadlock is found within a tenth of a second.
    Gpe00002::PackageDatabase& terminal() {
        m_terminals.push_back(std::make_unique<Gpe00002::PackageDatabase>(terminalConnection(postgres() ? 10 : 1)));
        if (postgres()) {
            TADOConnection& connection = m_terminals.back()->connection();
            m_pids[&connection] = scalar(connection, QStringLiteral("SELECT pg_backend_pid()"));
            try {
                connection.Execute(QStringLiteral("SET deadlock_timeout = '100ms'"));
            } catch (const EDatabaseError&) {
                // Not a superuser: the server's own second.
            }
        }
        return *m_terminals.back();
    }

    Gpe00002::PackageDatabase& ops() { return *m_ops; }
    Gpe00002::TableState seen(const char* mesa) { return table(mesa); }
    Gpe00002::TableItem item(const char* mesa, const char* numero) {
        for (const Gpe00002::TableItem& i : Gpe00002::loadTableItems(*m_ops, "0001", "0001", mesa))
            if (i.numero == QLatin1String(numero)) return i;
        ADD_FAILURE() << "no item " << numero << " on " << mesa;
        return {};
    }
    Gpe00002::Ticket ticketOf(const char* mesa) {
        return Gpe00002::loadOpenTickets(*m_ops, "0001", "0001")[mesa].at(0);
    }

    // A session of the package: the operation on a terminal of its own, stopping at its locks.
    using Operation = std::function<QJsonObject(Gpe00002::PackageDatabase&, const Gpe00002::Station&)>;
    Session operation(const QString& name, Operation op) {
        Gpe00002::PackageDatabase& db = terminal();
        Gpe00002::Station station = m_station;
        station.host = QStringLiteral("terminal-") + name;
        const bool pg = postgres();
        m_connections.push_back(&db.connection());
        return {name, [&db, station, op, pg](const Pause& pause) {
                    QString previous;
                    db.setStepHook([&](const char* step) {
                        const QString point = QLatin1String(step);
                        // A lock (a run of the same lock is one step), or the transaction's
                        // beginning where that takes the whole database.
                        const bool lockPoint =
                            pg ? point.startsWith(QLatin1String("lock")) || point == QLatin1String("tableOpenSales")
                               : point == QLatin1String("begin");
                        if (lockPoint && point != previous) pause(point);
                        if (lockPoint) previous = point;
                    });
                    QString outcome;
                    try {
                        outcome = withoutIds(compact(op(db, station)));
                    } catch (const Gpe00002::ERefusal& e) {
                        outcome = QStringLiteral("refused: ") + e.message();
                    }
                    db.setStepHook(nullptr);
                    return outcome;
                }};
    }

    // A session of the host's order screens: its statements in one transaction on a connection of
    // its own, stopping after each; answers the rows each changed, or how it failed.
    Session host(const QString& name, const std::vector<HostStep>& steps) {
        auto& connection = *m_hosts.emplace_back(std::make_unique<TADOConnection>(QStringLiteral("adcHost")));
        connection.setConnectionString(terminalConnection(postgres() ? 10 : 1));
        connection.Open();
        if (postgres()) {
            m_pids[&connection] = scalar(connection, QStringLiteral("SELECT pg_backend_pid()"));
            try {
                connection.Execute(QStringLiteral("SET deadlock_timeout = '100ms'"));
            } catch (const EDatabaseError&) {}
        }
        m_connections.push_back(&connection);
        const bool pg = postgres();
        return {name, [&connection, steps, pg](const Pause& pause) {
                    QStringList changed;
                    try {
                        // On SQLite the beginning takes the database; on PostgreSQL the statements
                        // take the rows.
                        connection.Execute(pg ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
                        if (!pg) pause(QStringLiteral("begin"));
                        for (const HostStep& step : steps) {
                            TADOCommand command;
                            command.setConnection(&connection);
                            command.setCommandText(step.sql);
                            changed << QString::number(command.Execute());
                            if (pg) pause(QLatin1String(step.point));
                        }
                        connection.Execute(QStringLiteral("COMMIT"));
                        return QStringLiteral("rows ") + changed.join(QLatin1Char(','));
                    } catch (const EADOError& e) {
                        try {
                            connection.Execute(QStringLiteral("ROLLBACK"));
                        } catch (const EDatabaseError&) {}
                        return QStringLiteral("failed: %1").arg(e.failure() == TDbFailure::Busy ? "busy" : e.what());
                    }
                }};
    }

    // The change of waiter of an item through the data module, as the menu makes it.
    Session waiterChange(const QString& name) {
        qputenv("QOR_CONNECTION", terminalConnection(postgres() ? 10 : 1).toUtf8());
        Srv_res00011::rdmMenu = new TrdmMenu(nullptr);
        TADOConnection& connection = Srv_res00011::rdmMenu->adcMenu;
        connection.setConnected(true);
        if (postgres()) m_pids[&connection] = scalar(connection, QStringLiteral("SELECT pg_backend_pid()"));
        m_connections.push_back(&connection);
        return {name, [](const Pause&) {
                    return Srv_res00011::setVendedorItem("0009", "0001", "P1", "C12", "V12", "000001")
                               ? QStringLiteral("changed")
                               : QStringLiteral("unchanged");
                }};
    }

    // Whether session `index` waits for a lock: on PostgreSQL the server says so; on SQLite, a
    // session that has not begun yet waits while another one is inside its transaction.
    steprace::Waiting waiting() {
        return [this](int index, const std::vector<QString>& last) {
            if (!postgres()) {
                const auto inside = [](const QString& point) {
                    return point != QLatin1String("start") && point != QLatin1String("read") &&
                           point != QLatin1String("end");
                };
                if (inside(last[static_cast<std::size_t>(index)])) return false;
                for (std::size_t other = 0; other < last.size(); ++other)
                    if (static_cast<int>(other) != index && inside(last[other])) return true;
                return false;
            }
            TADOConnection& watcher = *m_watcher;
            return scalar(watcher, QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE pid = %1 AND "
                                                  "wait_event_type = 'Lock'")
                                       .arg(m_pids.at(m_connections.at(static_cast<std::size_t>(index)))))
                       .toInt() > 0;
        };
    }

    std::vector<std::unique_ptr<Gpe00002::PackageDatabase>> m_terminals;
    std::vector<std::unique_ptr<TADOConnection>> m_hosts;
    std::vector<TADOConnection*> m_connections;  // each session's, by index
    std::map<TADOConnection*, QString> m_pids;
    std::unique_ptr<TADOConnection> m_watcher;
};

// What a session was told, reduced to whether it went through.
bool refused(const QString& outcome) {
    return outcome.startsWith(QLatin1String("refused: ")) || outcome.startsWith(QLatin1String("failed: "));
}
bool toldBusy(const QString& outcome) {
    return outcome.contains(QLatin1String("em uso em outro terminal; tente de novo")) ||
           outcome == QLatin1String("failed: busy");
}

struct Pair {
    const char* name;
    std::function<std::vector<Session>(RaceTest&)> sessions;
    // A session is the host's: the package's locks may meet another order (on PostgreSQL some
    // order then ends in a deadlock), and the host may take an item away.
    bool withHost = false;
    bool deadlocks = false;
};

// Each pair's sessions, from the rows as the screens showed them before either began.
const Pair kPairs[] = {
    {"GroupGroupSharedTable",
     [](RaceTest& t) {
         const auto group = [](std::vector<Gpe00002::TableState> seen) {
             return [seen](Gpe00002::PackageDatabase& db, const Gpe00002::Station& s) {
                 return Gpe00002::agruparMesas(db, s, "0001", "0001", seen);
             };
         };
         return std::vector<Session>{t.operation("A", group({t.seen("0010"), t.seen("0011")})),
                                     t.operation("B", group({t.seen("0011"), t.seen("0014")}))};
     }},
    {"GroupTransferTable",
     [](RaceTest& t) {
         const std::vector<Gpe00002::TableState> pair{t.seen("0011"), t.seen("0012")};
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0011");
         return std::vector<Session>{
             t.operation("A",
                         [pair](auto& db, auto& s) { return Gpe00002::agruparMesas(db, s, "0001", "0001", pair); }),
             t.operation("B", [from, to](auto& db, auto& s) {
                 return Gpe00002::transferirMesa(db, s, "0001", "0001", from, to);
             })};
     }},
    {"SeparateTransferTable",
     [](RaceTest& t) {
         const Gpe00002::TableState grouped = t.seen("0020"), to = t.seen("0010");
         return std::vector<Session>{
             t.operation(
                 "A", [grouped](auto& db, auto& s) { return Gpe00002::separarMesa(db, s, "0001", "0001", grouped); }),
             t.operation("B", [grouped, to](auto& db, auto& s) {
                 return Gpe00002::transferirMesa(db, s, "0001", "0001", grouped, to);
             })};
     }},
    {"TransferTableReserve",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0014");
         return std::vector<Session>{
             t.operation(
                 "A",
                 [from, to](auto& db, auto& s) { return Gpe00002::transferirMesa(db, s, "0001", "0001", from, to); }),
             t.operation("B", [to, at = soon()](auto& db, auto& s) {
                 return Gpe00002::reservarMesas(db, s, "0001", "0001", {{to.numero}, "Silva", at, "4"},
                                                QDateTime::currentDateTime());
             })};
     }},
    {"ReserveReserve",
     [](RaceTest& t) {
         const Gpe00002::TableState free = t.seen("0014");
         const auto reserve = [free, at = soon()](const char* guest) {
             return [free, guest, at](Gpe00002::PackageDatabase& db, const Gpe00002::Station& s) {
                 return Gpe00002::reservarMesas(db, s, "0001", "0001", {{free.numero}, QLatin1String(guest), at, "2"},
                                                QDateTime::currentDateTime());
             };
         };
         return std::vector<Session>{t.operation("A", reserve("Silva")), t.operation("B", reserve("Costa"))};
     }},
    {"ProductPartProductWhole",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to15 = t.seen("0015"), to13 = t.seen("0013");
         const Gpe00002::TableItem it = t.item("0012", "000001");
         const Gpe00002::Ticket c15 = t.ticketOf("0015"), c13 = t.ticketOf("0013");
         return std::vector<Session>{
             t.operation("A",
                         [=](auto& db, auto& s) {
                             return Gpe00002::transferirProduto(db, s, "0001", "0001", from, it, 1, to15, c15);
                         }),
             t.operation("B", [=](auto& db, auto& s) {
                 return Gpe00002::transferirProduto(db, s, "0001", "0001", from, it, 3, to13, c13);
             })};
     }},
    {"ProductWaiterChange",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0015");
         const Gpe00002::TableItem it = t.item("0012", "000001");
         const Gpe00002::Ticket c15 = t.ticketOf("0015");
         return std::vector<Session>{t.operation("A",
                                                 [=](auto& db, auto& s) {
                                                     return Gpe00002::transferirProduto(db, s, "0001", "0001", from, it,
                                                                                        3, to, c15);
                                                 }),
                                     t.waiterChange("B")};
     },
     true},
    {"ProductSeatSameSeat",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to15 = t.seen("0015"), to13 = t.seen("0013");
         const Gpe00002::TableItem it = t.item("0012", "000002");
         const std::vector<Gpe00002::TableItem> items = Gpe00002::loadTableItems(t.ops(), "0001", "0001", "0012");
         const Gpe00002::Ticket c15 = t.ticketOf("0015"), c13 = t.ticketOf("0013");
         return std::vector<Session>{
             t.operation("A",
                         [=](auto& db, auto& s) {
                             return Gpe00002::transferirProduto(db, s, "0001", "0001", from, it, 1, to15, c15);
                         }),
             t.operation("B", [=](auto& db, auto& s) {
                 return Gpe00002::transferirLugar(db, s, "0001", "0001", from, "02", items, to13, "03", c13);
             })};
     }},
    {"TransferTableSaleClosedByHost",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0014");
         return std::vector<Session>{
             t.operation("A",
                         [=](auto& db, auto& s) { return Gpe00002::transferirMesa(db, s, "0001", "0001", from, to); }),
             t.host("H", {{"close",
                           "UPDATE VENDAREST SET DTHRFECHMESA = '2024-06-14 22:00:00' WHERE CDFILIAL = "
                           "'0001' AND NRVENDAREST = 'V12' AND NRMESA = '0012' AND DTHRFECHMESA IS NULL"}})};
     },
     true},
    {"ProductItemCancelledByHost",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0015");
         const Gpe00002::TableItem it = t.item("0012", "000001");
         const Gpe00002::Ticket c15 = t.ticketOf("0015");
         return std::vector<Session>{
             t.operation("A",
                         [=](auto& db, auto& s) {
                             return Gpe00002::transferirProduto(db, s, "0001", "0001", from, it, 1, to, c15);
                         }),
             t.host("H", {{"cancel",
                           "DELETE FROM ITCOMANDAVEN WHERE CDFILIAL = '0001' AND NRVENDAREST = 'V12' AND "
                           "NRCOMANDA = 'C12' AND NRPRODCOMVEN = '000001'"}})};
     },
     true},
    {"ReprintTransferProduct",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0015");
         const Gpe00002::TableItem it = t.item("0012", "000001");
         const Gpe00002::Ticket c15 = t.ticketOf("0015");
         Session reprint = t.operation("A", [](auto& db, auto& s) {
             const Gpe00002::Order order = Gpe00002::loadOrder(db, "0001", "0001", "0012");
             QJsonArray lines;
             for (const Gpe00002::PrintLine& line :
                  Gpe00002::reprintDocument(order, s, QDateTime(QDate(2024, 6, 14), QTime(21, 0))).lines)
                 lines.append(line.text + QLatin1Char('|') + line.right);
             Gpe00002::journalReprint(db, s, order, QStringLiteral("file:slip"));
             return QJsonObject{{QStringLiteral("slip"), lines}};
         });
         // The reprint reads without a lock: it is given a step of its own before it reads.
         reprint.run = [run = reprint.run](const Pause& pause) {
             pause(QStringLiteral("read"));
             return run(pause);
         };
         return std::vector<Session>{reprint, t.operation("B", [=](auto& db, auto& s) {
                                         return Gpe00002::transferirProduto(db, s, "0001", "0001", from, it, 3, to,
                                                                            c15);
                                     })};
     }},
    // The host's order screens lock an item, then its table: against each operation on that
    // table, the one the server picks as a deadlock's victim is told to try again.
    {"HostItemThenTableTransferProduct",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0015");
         const Gpe00002::TableItem it = t.item("0012", "000001");
         const Gpe00002::Ticket c15 = t.ticketOf("0015");
         return std::vector<Session>{
             t.operation("A",
                         [=](auto& db, auto& s) {
                             return Gpe00002::transferirProduto(db, s, "0001", "0001", from, it, 3, to, c15);
                         }),
             t.host("H", {{"item",
                           "UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0009' WHERE CDFILIAL = '0001' AND "
                           "NRVENDAREST = 'V12' AND NRCOMANDA = 'C12' AND NRPRODCOMVEN = '000001'"},
                          {"table",
                           "UPDATE MESA SET IDSTMESAAUX = IDSTMESAAUX WHERE CDFILIAL = '0001' AND CDLOJA = "
                           "'0001' AND NRMESA = '0012'"}})};
     },
     true, true},
    {"HostItemThenTableTransferSeat",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0013");
         const std::vector<Gpe00002::TableItem> items = Gpe00002::loadTableItems(t.ops(), "0001", "0001", "0012");
         const Gpe00002::Ticket c13 = t.ticketOf("0013");
         return std::vector<Session>{
             t.operation("A",
                         [=](auto& db, auto& s) {
                             return Gpe00002::transferirLugar(db, s, "0001", "0001", from, "02", items, to, "03", c13);
                         }),
             t.host("H", {{"item",
                           "UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0009' WHERE CDFILIAL = '0001' AND "
                           "NRVENDAREST = 'V12' AND NRCOMANDA = 'C12' AND NRPRODCOMVEN = '000002'"},
                          {"table",
                           "UPDATE MESA SET IDSTMESAAUX = IDSTMESAAUX WHERE CDFILIAL = '0001' AND CDLOJA = "
                           "'0001' AND NRMESA = '0012'"}})};
     },
     true, true},
    {"HostSaleThenTableTransferTable",
     [](RaceTest& t) {
         const Gpe00002::TableState from = t.seen("0012"), to = t.seen("0014");
         return std::vector<Session>{
             t.operation("A",
                         [=](auto& db, auto& s) { return Gpe00002::transferirMesa(db, s, "0001", "0001", from, to); }),
             t.host("H", {{"sale",
                           "UPDATE VENDAREST SET CDVENDEDOR = '0009' WHERE CDFILIAL = '0001' AND "
                           "NRVENDAREST = 'V12'"},
                          {"table",
                           "UPDATE MESA SET IDSTMESAAUX = IDSTMESAAUX WHERE CDFILIAL = '0001' AND CDLOJA = "
                           "'0001' AND NRMESA = '0012'"}})};
     },
     true, true},
};

// What must hold after every run, whatever the order: each answers what it found wrong.
struct Invariant {
    const char* name;
    QString sql;  // rows that break it
};
const Invariant kInvariants[] = {
    {"a table in at most one grouping",
     "SELECT NRMESA FROM MESAJUNCAO GROUP BY CDFILIAL, CDLOJA, NRMESA HAVING COUNT(*) > 1"},
    {"a grouping of two tables or more",
     "SELECT NRJUNMESA FROM JUNCAOMESA J WHERE (SELECT COUNT(*) FROM MESAJUNCAO M WHERE M.CDFILIAL = J.CDFILIAL AND "
     "M.CDLOJA = J.CDLOJA AND M.NRJUNMESA = J.NRJUNMESA) < 2"},
    {"no two active reservations of a table overlap",
     "SELECT A.NRMESA FROM GPERESERVAMESA A JOIN GPERESERVAMESA B ON B.CDFILIAL = A.CDFILIAL AND "
     "B.CDLOJA = A.CDLOJA AND B.NRMESA = A.NRMESA AND B.NRRESERVA > A.NRRESERVA WHERE A.IDSTRESERVA = 'A' "
     "AND B.IDSTRESERVA = 'A' AND A.DTHRRESERVA < B.DTHRFIMPREV AND B.DTHRRESERVA < A.DTHRFIMPREV"},
    {"every open sale on an occupied table",
     "SELECT NRVENDAREST FROM VENDAREST V WHERE DTHRFECHMESA IS NULL AND NOT EXISTS (SELECT 1 FROM MESA M WHERE "
     "M.CDFILIAL = V.CDFILIAL AND M.CDLOJA = V.CDLOJA AND M.NRMESA = V.NRMESA AND M.IDSTMESAAUX = 'O')"},
    {"an item on a ticket of its sale",
     "SELECT NRPRODCOMVEN FROM ITCOMANDAVEN I WHERE NOT EXISTS (SELECT 1 FROM COMANDAVEN C WHERE C.CDFILIAL = "
     "I.CDFILIAL AND C.NRVENDAREST = I.NRVENDAREST AND C.NRCOMANDA = I.NRCOMANDA)"},
    // Moves keep what was sold: per product, the quantity and the quantity × price of the store
    // (3 × 10 on each of the four tickets and 1 × 25), unless the host took the item away.
    {"no item lost or doubled",
     "SELECT CDPRODUTO FROM ITCOMANDAVEN GROUP BY CDPRODUTO HAVING NOT ((CDPRODUTO = 'P2' AND SUM(QTPRODCOMVEN) = 1 "
     "AND SUM(QTPRODCOMVEN * VRPRECCOMVEN) = 25) OR (CDPRODUTO = 'P1' AND SUM(QTPRODCOMVEN) {P1} AND "
     "SUM(QTPRODCOMVEN * VRPRECCOMVEN) = 10 * SUM(QTPRODCOMVEN)))"},
};

// A run as the serial runs would have it: the sessions that went through, their outcomes and
// the database they left.
struct Serial {
    std::vector<int> through;  // the sessions that ran, in order
    std::vector<QString> outcomes;
    std::set<QString> rows;
};

TEST_P(RaceTest, EveryOrderTheLocksAllowKeepsTheInvariants) {
    if (postgres()) {
        m_watcher = std::make_unique<TADOConnection>(QStringLiteral("adcWatcher"));
        m_watcher->setConnectionString(m_connectionString);
        m_watcher->Open();
    }
    int total = 0;
    for (const Pair& pair : kPairs) {
        SCOPED_TRACE(pair.name);
        reset();
        std::vector<Session> sessions = pair.sessions(*this);
        steprace::Explorer explorer(sessions, waiting());

        // The serial runs: none, each alone, both in each order.
        std::vector<Serial> serials{{{}, {QString(), QString()}, snapshot()}};
        for (const std::vector<int>& order : std::vector<std::vector<int>>{{0}, {1}, {0, 1}, {1, 0}}) {
            reset();
            const steprace::Run run = explorer.serial(order);
            serials.push_back({order, run.outcomes, snapshot()});
        }

        int runs = 0, deadlocks = 0;
        const auto check = [&](const steprace::Run& run) {
            ++runs;
            const std::string trace = run.trace.join(' ').toStdString();
            SCOPED_TRACE(trace);
            for (const QString& outcome : run.outcomes)
                EXPECT_FALSE(outcome.startsWith(QLatin1String("unexpected"))) << outcome.toStdString();
            for (const Invariant& invariant : kInvariants)
                EXPECT_EQ(select(QString(invariant.sql).replace("{P1}", pair.withHost ? "<= 12" : "= 12")), Rows{})
                    << invariant.name;
            // A refusal says why; a failure of the database is never what a terminal is told.
            for (const QString& outcome : run.outcomes)
                EXPECT_TRUE(
                    !outcome.contains(QLatin1String("Erro de banco de dados")) &&
                    (!outcome.startsWith(QLatin1String("failed: ")) || outcome == QLatin1String("failed: busy")))
                    << outcome.toStdString();
            // Serializable: some serial run left this database and told the sessions that went
            // through the same, and every other session was refused.
            const std::set<QString> rows = snapshot();
            const bool matches = std::any_of(serials.begin(), serials.end(), [&](const Serial& serial) {
                if (serial.rows != rows) return false;
                for (int i = 0; i < 2; ++i) {
                    const bool ran = std::count(serial.through.begin(), serial.through.end(), i) > 0;
                    if (ran ? run.outcomes[i] != serial.outcomes[i] : !refused(run.outcomes[i])) return false;
                }
                return true;
            });
            EXPECT_TRUE(matches) << "told " << run.outcomes[0].toStdString() << " / " << run.outcomes[1].toStdString();
            EXPECT_FALSE(refused(run.outcomes[0]) && refused(run.outcomes[1]) && toldBusy(run.outcomes[0]) &&
                         toldBusy(run.outcomes[1]))
                << "neither went through";
            QMutexLocker locker(&g_logMutex);
            // The package's own operations lock in one order and never wait for each other in a
            // circle; a terminal told it is busy has its cause logged.
            const bool logged = !g_log.filter(QStringLiteral("deadlock"), Qt::CaseInsensitive).isEmpty();
            const bool deadlock = logged || std::count(run.outcomes.begin(), run.outcomes.end(), "failed: busy") > 0;
            EXPECT_FALSE(logged && !pair.withHost) << g_log.join('\n').toStdString();
            deadlocks += deadlock ? 1 : 0;
            const bool causeLogged = !g_log.filter(QStringLiteral("rolled back")).isEmpty() ||
                                     !g_log.filter(QStringLiteral("cannot begin")).isEmpty();
            for (const QString& outcome : run.outcomes)
                EXPECT_TRUE(causeLogged || !toldBusy(outcome) || !outcome.startsWith(QLatin1String("refused")))
                    << "no cause logged for " << outcome.toStdString();
            g_log.clear();
        };
        {
            QMutexLocker locker(&g_logMutex);
            g_log.clear();
        }
        explorer.exploreAll([this] { reset(); }, check);
        // On SQLite a terminal is also told it is busy when the other keeps the database past its
        // time limit: the second begins, and the first goes until it has to wait.
        if (!postgres() && !pair.withHost) {
            steprace::Explorer impatient(sessions, {});
            reset();
            const steprace::Run run = impatient.scheduled({1, 0, 0});
            check(run);
            EXPECT_TRUE(toldBusy(run.outcomes[0])) << run.outcomes[0].toStdString();
        }
        if (postgres() && pair.deadlocks) {
            EXPECT_GT(deadlocks, 0) << "no order ended in a deadlock";
        }
        std::printf("[ races    ] %s: %d orders, %d deadlocks\n", pair.name, runs, deadlocks);
        total += runs;
        m_terminals.clear();
        m_hosts.clear();
        m_connections.clear();
        m_pids.clear();
        delete Srv_res00011::rdmMenu;
        Srv_res00011::rdmMenu = nullptr;
        if (HasFatalFailure()) return;
    }
    std::printf("[ races    ] %d pairs, %d orders in all\n", static_cast<int>(std::size(kPairs)), total);
}

INSTANTIATE_TEST_SUITE_P(Engines, RaceTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
