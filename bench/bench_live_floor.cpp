// How soon an open table map shows another terminal's operation, and what an open map costs
// while nothing happens. Two terminals on one database: the first reserves a table and cancels
// the reservation, in turns over 200 tables; the second has a map of those 200 tables open,
// following the floor. For each change, the time from the first terminal's commit to the second
// one's repaint of the tile; then, with the map open and nothing changing, the processor time
// the process takes per second, as a share of one core. On SQLite always, on PostgreSQL when
// RES_BENCH_PG_CONNECTION names a server (scripts/bench.sh starts one).
//
//   bench_live_floor [--changes N] [--idle-seconds S]      (defaults 200 and 60)
#include "DbTypes.h"
#include "RestaurantSchema.h"
#include "TADOConnection.h"
#include "core/Station.h"
#include "operations/ReservarMesa.h"
#include "screens/TableMap.h"
#include "store/FloorWatch.h"
#include "store/PackageDatabase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kTables = 200;
const QString kFilial = QStringLiteral("0001"), kLoja = QStringLiteral("0001");

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop until `done` (looked at every millisecond) or `ms` pass; false on the time.
template <typename Done>
bool waitFor(Done done, int ms) {
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (done()) return true;
    look.start(1);
    limit.start(ms);
    loop.exec();
    return done();
}

// Runs the event loop, and nothing else, for `ms`.
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void fillStore(const QString& connectionString) {
    TADOConnection db(QStringLiteral("adcBench"));
    db.setConnectionString(connectionString);
    db.Open();
    createRestaurantSchema(db);
    QString sql = QStringLiteral("BEGIN;\n");
    for (int i = 1; i <= kTables; ++i)
        sql += QStringLiteral(
                   "INSERT INTO MESA (CDFILIAL, CDLOJA, NRMESA, NMMESA, CDSALA, IDSTMESA, IDSTMESAAUX) "
                   "VALUES ('0001', '0001', '%1', 'Mesa %2', '%3', 'A', 'L');\n")
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .arg(i)
                   .arg(1 + (i - 1) / 50, 5, 10, QLatin1Char('0'));
    db.Execute(sql + QStringLiteral("COMMIT;\n"));
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

void run(const char* engine, const QString& connectionString, int changes, int idleSeconds) {
    fillStore(connectionString);
    Gpe00002::PackageDatabase first(connectionString), second(connectionString);
    const Gpe00002::Station station{"0001", "0001", "001", "000000000005", "002", "bench"};

    const auto read = [&] {
        std::vector<Gpe00002::MapTable> tables;
        for (Gpe00002::TableState& table : Gpe00002::loadTables(second, kFilial, kLoja))
            tables.push_back({std::move(table), true, QString()});
        return tables;
    };
    Gpe00002::TableMapRequest request{QStringLiteral("Reservar mesa"), QStringLiteral("Escolha"), read(), false, 1};
    request.reread = read;
    request.filial = kFilial;
    request.loja = kLoja;
    request.connectionString = connectionString;
    Gpe00002::TableMapDialog map(request);
    map.show();
    auto* watch = map.findChild<Gpe00002::FloorWatch*>();
    if (!watch || !waitFor([&] { return watch->isListening(); }, 10000)) {
        std::printf("%s: the map does not follow the floor\n", engine);
        return;
    }
    idle(500);  // the first read after listening

    std::vector<double> latencies;
    QHash<QString, qint64> reservations;
    for (int i = 0; i < changes; ++i) {
        const QString numero = QStringLiteral("%1").arg(1 + i % kTables, 4, 10, QLatin1Char('0'));
        Gpe00002::TableState seen;
        for (const Gpe00002::MapTable& table : map.map()->tables())
            if (table.mesa.numero == numero) seen = table.mesa;
        const bool reserve = seen.estado == Gpe00002::kLivre;
        // Ten minutes ahead, so that the table is held at once; cancelled by its number.
        const QDateTime now = QDateTime::currentDateTime();
        if (reserve)
            reservations[numero] =
                Gpe00002::reservarMesas(first, station, kFilial, kLoja,
                                        {{numero}, QStringLiteral("Bench"), now.addSecs(600), "2"}, now)
                    .value(QLatin1String("reservation"))
                    .toObject()
                    .value(QLatin1String("id"))
                    .toInteger();
        else
            Gpe00002::cancelarReserva(first, station, kFilial, kLoja, reservations.value(numero), now);
        QElapsedTimer sinceCommit;
        sinceCommit.start();
        const QString wanted = reserve ? Gpe00002::kReservada : Gpe00002::kLivre;
        auto* tile = map.findChild<QAbstractButton*>(QStringLiteral("mesa") + numero);
        const bool shown = waitFor(
            [&] {
                for (const Gpe00002::MapTable& table : map.map()->tables())
                    if (table.mesa.numero == numero) return table.mesa.estado == wanted;
                return false;
            },
            5000);
        if (!shown) {
            std::printf("%s: change %d not shown within 5 s\n", engine, i);
            continue;
        }
        tile->repaint();  // the paint the event loop would do next
        latencies.push_back(static_cast<double>(sinceCommit.nsecsElapsed()) / 1e6);
        // Changes a little apart, as terminals make them: each one its own coalescing window.
        idle(Gpe00002::FloorWatch::kCoalesceMs + 50 + (i * 37) % 100);
    }

    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    idle(idleSeconds * 1000);
    const double idleShare = (cpuSeconds() - cpuBefore) / (static_cast<double>(wall.elapsed()) / 1000.0);

    if (latencies.empty()) return;
    std::printf(
        "%-10s  changes %3zu  commit->repaint median %7.1f ms  p95 %7.1f ms  max %7.1f ms  "
        "idle map %5.2f %% of one core\n",
        engine, latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.95), percentile(latencies, 1.0),
        idleShare * 100.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int changes = 200, idleSeconds = 60;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--changes")) changes = args[i + 1].toInt();
        if (args[i] == QLatin1String("--idle-seconds")) idleSeconds = args[i + 1].toInt();
    }
    try {
        QTemporaryDir dir;
        run("SQLite", QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + dir.filePath(QStringLiteral("f.db")),
            changes, idleSeconds);
        const QString pg = qEnvironmentVariable("RES_BENCH_PG_CONNECTION");
        if (!pg.isEmpty()) {
            TADOConnection admin(QStringLiteral("adcBenchAdmin"));
            admin.setConnectionString(pg);
            admin.Open();
            admin.Execute(
                QStringLiteral("DROP SCHEMA IF EXISTS bench_live_floor CASCADE; CREATE SCHEMA bench_live_floor;"));
            run("PostgreSQL", pg + QStringLiteral(";Schema=bench_live_floor"), changes, idleSeconds);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_live_floor: %s\n", e.what());
        return 1;
    }
    return 0;
}
