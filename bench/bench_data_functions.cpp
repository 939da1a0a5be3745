// The seven data functions at 10,000 and at 1,000,000 order items, on SQLite and on PostgreSQL,
// each against the engine's own C API (sqlite3, libpq) running the same statement texts,
// prepared once, with the same values and reading every column. The SQLite databases are
// generated once (deterministic seed) and kept in RES_BENCH_DIR (default /tmp/res00011-bench).
// PostgreSQL runs when RES_BENCH_PG_CONNECTION holds a connection string (scripts/bench.sh
// starts a server for it): the databases are generated once per server, in the schemas
// items_10000 and items_1000000. After the runs a table gives each function's time over the
// raw driver's (median real time when the runs are repeated).
#include "ConnectionString.h"
#include "SampleData.h"
#include "SqlPlaceholders.h"
#include "Srv_res00011.h"
#include "TADOQuery.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <map>

namespace {

enum class Engine { SQLite, PostgreSQL };
const char* engineName(Engine engine) { return engine == Engine::SQLite ? "SQLite" : "PostgreSQL"; }

void fill(TADOConnection& connection, qint64 items) {
    SampleDataOptions options;
    options.items = items;
    options.createSchema = true;
    generateSampleData(connection, options);
}

QString sqlitePath(qint64 items) {
    const QString dir = qEnvironmentVariable("RES_BENCH_DIR", QStringLiteral("/tmp/res00011-bench"));
    QDir().mkpath(dir);
    const QString path = QStringLiteral("%1/items-%2.db").arg(dir).arg(items);
    if (!QFile::exists(path)) {
        const QString building = path + QStringLiteral(".new");
        QFile::remove(building);
        TADOConnection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + building);
        connection.Open();
        fill(connection, items);
        connection.Execute(QStringLiteral("ANALYZE"));
        connection.Close();
        QFile::rename(building, path);
    }
    return path;
}

QString pgServer() { return qEnvironmentVariable("RES_BENCH_PG_CONNECTION"); }

// The schema that holds the database of `items` items on the server, generated when missing.
// A schema is renamed into place once complete, so that an interrupted run leaves none half full.
QString pgSchema(qint64 items) {
    const QString schema = QStringLiteral("items_%1").arg(items);
    TADOConnection server;
    server.setConnectionString(pgServer());
    server.Open();
    TADOQuery exists;
    exists.setConnection(&server);
    exists.setSQL(QStringLiteral("SELECT COUNT(*) AS N FROM pg_namespace WHERE nspname = :P_SCHEMA"));
    exists.Parameters().ParamByName(QStringLiteral("P_SCHEMA")).setValue(schema);
    exists.Open();
    if (exists.FieldByName(QStringLiteral("N")).AsInteger() == 0) {
        const QString building = schema + QStringLiteral("_new");
        server.Execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE; CREATE SCHEMA %1").arg(building));
        {
            TADOConnection connection;
            connection.setConnectionString(pgServer() + QStringLiteral(";Schema=") + building);
            connection.Open();
            fill(connection, items);
        }
        // Settled pages and fresh statistics, as a database that has been in use has them.
        server.Execute(QStringLiteral("SET search_path = %1").arg(building));
        server.Execute(QStringLiteral("VACUUM ANALYZE"));
        server.Execute(QStringLiteral("ALTER SCHEMA %1 RENAME TO %2").arg(building, schema));
    }
    return schema;
}

QString connectionString(Engine engine, qint64 items) {
    if (engine == Engine::SQLite) return QStringLiteral("Provider=SQLite;Data Source=") + sqlitePath(items);
    return pgServer() + QStringLiteral(";Schema=") + pgSchema(items);
}

// One data module per engine and database size, connected, for the whole run.
TrdmMenu& dataModule(Engine engine, qint64 items) {
    static std::map<std::pair<Engine, qint64>, std::unique_ptr<TrdmMenu>> modules;
    auto& module = modules[{engine, items}];
    if (!module) {
        qputenv("QOR_CONNECTION", connectionString(engine, items).toUtf8());
        module = std::make_unique<TrdmMenu>();
        module->adcMenu.Open();
    }
    return *module;
}

// A statement text with its named values.
struct RawStatement {
    QString text;
    std::map<QString, QString> values;
};

// What the raw driver runs: the text with the engine's placeholders and the values in the order
// of their occurrences, made once, before the timing.
struct Bound {
    QByteArray sql;
    std::vector<QByteArray> values;
};

Bound bind(const RawStatement& statement, Engine engine) {
    const SqlPlaceholders parsed(statement.text);
    Bound bound;
    bound.sql = parsed
                    .render([engine](int i) {
                        return engine == Engine::SQLite ? QStringLiteral("?") : QStringLiteral("$%1").arg(i + 1);
                    })
                    .toUtf8();
    for (const QString& name : parsed.names()) bound.values.push_back(statement.values.at(name).toUtf8());
    return bound;
}

void nvl(sqlite3_context* context, int, sqlite3_value** args) {
    sqlite3_result_value(context, sqlite3_value_type(args[0]) != SQLITE_NULL ? args[0] : args[1]);
}

// The raw runs stay out of line, so that a profile (callgrind) shows their cost per call.
[[gnu::noinline]] bool runRaw(sqlite3* db, sqlite3_stmt* prepared, const Bound& statement) {
    sqlite3_reset(prepared);
    for (std::size_t i = 0; i < statement.values.size(); ++i)
        sqlite3_bind_text(prepared, static_cast<int>(i + 1), statement.values[i].constData(),
                          static_cast<int>(statement.values[i].size()), SQLITE_STATIC);
    const int columns = sqlite3_column_count(prepared);
    std::size_t bytes = 0;
    int rc;
    while ((rc = sqlite3_step(prepared)) == SQLITE_ROW)
        for (int c = 0; c < columns; ++c) {
            const unsigned char* text = sqlite3_column_text(prepared, c);
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(prepared, c)) + (text ? 1 : 0);
        }
    benchmark::DoNotOptimize(bytes);
    return rc == SQLITE_DONE || sqlite3_errcode(db) == SQLITE_OK;
}

[[gnu::noinline]] bool runRaw(PGconn* connection, const char* name, const Bound& statement) {
    std::vector<const char*> values;
    for (const QByteArray& value : statement.values) values.push_back(value.constData());
    PGresult* result =
        PQexecPrepared(connection, name, static_cast<int>(values.size()), values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    const int rows = PQntuples(result), columns = PQnfields(result);
    std::size_t bytes = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const char* text = PQgetvalue(result, r, c);
            bytes += static_cast<std::size_t>(PQgetlength(result, r, c)) + (PQgetisnull(result, r, c) ? 0 : 1);
            benchmark::DoNotOptimize(text);
        }
    benchmark::DoNotOptimize(bytes);
    PQclear(result);
    return status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
}

struct Case {
    std::function<QVariant()> call;
    std::vector<RawStatement> raw;  // what the function runs, in order
};

const QString S(const char* text) { return QString::fromUtf8(text); }

std::map<std::string, Case> cases() {
    using Srv_res00011::statementText;
    const std::map<QString, QString> table = {
        {S("P_CDFILIAL"), S("0001")}, {S("P_CDLOJA"), S("0001")}, {S("P_NRMESA"), S("0012")}};
    auto with = [](std::map<QString, QString> base, std::map<QString, QString> more) {
        base.insert(more.begin(), more.end());
        return base;
    };
    const std::map<QString, QString> products = {
        {S("P_CDPRODCONSUM"), S("X")}, {S("P_CDPRODCONSFEM"), S("X")}, {S("P_CDPRODCOUVER"), S("X")}};
    return {
        {"getNrJuncao",
         {[] { return Srv_res00011::getNrJuncao(S("0001"), S("0001")); },
          {{statementText(S("adqNrJuncao")), {{S("P_CDFILIAL"), S("0001")}, {S("P_CDLOJA"), S("0001")}}}}}},
        {"getStatusMesa",
         {[] { return Srv_res00011::getStatusMesa(S("0001"), S("0001"), S("0001")); },
          {{statementText(S("adqStatusMesa"), S("oracle")),
            {{S("P_CDFILIAL"), S("0001")}, {S("P_CDLOJA"), S("0001")}, {S("P_NRCONFTELA"), S("0001")}}}}}},
        {"getComandaInd",
         {[] { return Srv_res00011::getComandaInd(S("0012"), S("0001"), S("0001")); },
          {{statementText(S("adqComandaInd"), S("oracle")), table}}}},
        {"getItemMesa/RES",
         {[] { return Srv_res00011::getItemMesa(S("0001"), S("0000000001"), S("RES"), {}, {}, {}); },
          {{statementText(S("adqComandaVen")), {{S("P_CDFILIAL"), S("0001")}, {S("P_NRCOMANDA"), S("0000000001")}}},
           {statementText(S("adqItComandaJuncao"), S("oracle")), with(table, products)}}}},
        {"getItemMesa/ticket",
         {[] { return Srv_res00011::getItemMesa(S("0001"), S("0000000001"), S("1"), {}, {}, {}); },
          {{statementText(S("adqItComanda"), S("oracle")),
            with({{S("P_CDFILIAL"), S("0001")}, {S("P_NRCOMANDA"), S("0000000001")}}, products)}}}},
        {"getValidaGarcom",
         {[] { return Srv_res00011::getValidaGarcom(S("0002"), S("0001"), S("001"), S("1")); },
          {{statementText(S("adqValidaGarcom")), {{S("P_CDVENDEDOR"), S("0002")}}},
           {statementText(S("adqExisteOperador")), {{S("P_CDOPERADOR"), S("000000000002")}}},
           {statementText(S("adqOperadorFilial")),
            {{S("P_CDOPERADOR"), S("000000000002")}, {S("P_CDFILIAL"), S("0001")}}}}}},
        {"setVendedorItem",
         {[] {
              return QVariant(Srv_res00011::setVendedorItem(S("0001"), S("0001"), S("0000000001"), S("0000000001"),
                                                            S("0000000001"), S("000001")));
          },
          {{statementText(S("acmUpdVendedor")),
            {{S("P_CDVENDEDOR"), S("0001")},
             {S("P_CDFILIAL"), S("0001")},
             {S("P_CDPRODUTO"), S("0000000001")},
             {S("P_NRCOMANDA"), S("0000000001")},
             {S("P_NRVENDAREST"), S("0000000001")},
             {S("P_NRPRODCOMVEN"), S("000001")}}}}}},
        {"setVendedorVenda",
         {[] { return QVariant(Srv_res00011::setVendedorVenda(S("0001"), S("0001"), S("0012"), S("0000000001"))); },
          {{statementText(S("acmUpdVendedorVenda")),
            {{S("P_CDVENDEDOR"), S("0001")},
             {S("P_CDFILIAL"), S("0001")},
             {S("P_NRMESA"), S("0012")},
             {S("P_NRVENDAREST"), S("0000000001")}}}}}},
    };
}

void BM_Function(benchmark::State& state, Engine engine, std::string name, qint64 items) {
    TrdmMenu& module = dataModule(engine, items);
    Srv_res00011::rdmMenu = &module;
    const Case c = cases().at(name);
    for (auto _ : state) {
        const QVariant answer = c.call();
        if (answer.typeId() == QMetaType::QString) state.SkipWithError(answer.toString().toUtf8().constData());
        if (answer.typeId() == QMetaType::Bool && !answer.toBool()) state.SkipWithError("the update changed no row");
        benchmark::DoNotOptimize(answer.constData());
    }
    Srv_res00011::rdmMenu = nullptr;
}

std::vector<Bound> boundStatements(const std::string& name, Engine engine) {
    const Case c = cases().at(name);
    std::vector<Bound> bound;
    for (const RawStatement& statement : c.raw) bound.push_back(bind(statement, engine));
    return bound;
}

void BM_RawSqlite(benchmark::State& state, std::string name, qint64 items) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(sqlitePath(items).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_create_function(db, "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nvl, nullptr, nullptr);
    const std::vector<Bound> statements = boundStatements(name, Engine::SQLite);
    std::vector<sqlite3_stmt*> prepared(statements.size(), nullptr);
    for (std::size_t i = 0; i < statements.size(); ++i)
        if (sqlite3_prepare_v2(db, statements[i].sql.constData(), -1, &prepared[i], nullptr) != SQLITE_OK)
            state.SkipWithError(sqlite3_errmsg(db));
    for (auto _ : state)
        for (std::size_t i = 0; i < statements.size() && prepared[i]; ++i)
            if (!runRaw(db, prepared[i], statements[i])) state.SkipWithError(sqlite3_errmsg(db));
    for (sqlite3_stmt* statement : prepared) sqlite3_finalize(statement);
    sqlite3_close(db);
}

void BM_RawPostgres(benchmark::State& state, std::string name, qint64 items) {
    const ConnectionString options = ConnectionString::parse(pgServer());
    const QByteArray search = QStringLiteral("-c search_path=%1").arg(pgSchema(items)).toUtf8();
    const QByteArray host = options.value(QStringLiteral("Data Source")).toUtf8(),
                     port = options.value(QStringLiteral("Port")).toUtf8(),
                     database = options.value(QStringLiteral("Initial Catalog")).toUtf8(),
                     user = options.value(QStringLiteral("User ID")).toUtf8(),
                     password = options.value(QStringLiteral("Password")).toUtf8();
    const char* keywords[] = {"host", "port", "dbname", "user", "password", "options", nullptr};
    const char* values[] = {host.constData(), port.constData(),     database.constData(),
                            user.constData(), password.constData(), search.constData(),
                            nullptr};
    PGconn* connection = PQconnectdbParams(keywords, values, 0);
    const std::vector<Bound> statements = boundStatements(name, Engine::PostgreSQL);
    std::vector<QByteArray> names;
    for (std::size_t i = 0; i < statements.size() && PQstatus(connection) == CONNECTION_OK; ++i) {
        names.push_back("raw_" + QByteArray::number(static_cast<qulonglong>(i)));
        PGresult* result = PQprepare(connection, names.back().constData(), statements[i].sql.constData(),
                                     static_cast<int>(statements[i].values.size()), nullptr);
        if (PQresultStatus(result) != PGRES_COMMAND_OK) state.SkipWithError(PQresultErrorMessage(result));
        PQclear(result);
    }
    if (PQstatus(connection) != CONNECTION_OK) state.SkipWithError(PQerrorMessage(connection));
    for (auto _ : state)
        for (std::size_t i = 0; i < names.size(); ++i)
            if (!runRaw(connection, names[i].constData(), statements[i]))
                state.SkipWithError(PQerrorMessage(connection));
    PQfinish(connection);
}

// Prints the runs as the console does, and keeps each one's real and CPU time for the table of
// ratios: the median of the repetitions where there are several, the single run's otherwise.
// Beside the ratio of real times the table gives one from the CPU times, 1 + (CPU of the
// function - CPU of the raw driver) / real time of the raw driver: both sides send the server
// the same statements, so what the function adds is its own CPU time, and that figure stays
// steady when other work on the machine makes real times jump.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only for a terminal, so that a copy in a file reads plainly.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1))
                m_times[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const {
        std::printf(
            "\nFunction over raw driver (medians of the repetitions; us; ratio of real times, and by CPU: "
            "1 + (CPU function - CPU raw) / real raw):\n");
        std::printf("%-20s %9s   %9s %9s %6s %6s   %10s %9s %6s %6s\n", "function", "items", "SQLite", "raw", "ratio",
                    "by CPU", "PostgreSQL", "raw", "ratio", "by CPU");
        for (const auto& [name, c] : cases())
            for (const qint64 items : kItems) {
                std::printf("%-20s %9lld", name.c_str(), static_cast<long long>(items));
                for (const Engine engine : {Engine::SQLite, Engine::PostgreSQL}) {
                    const auto function = m_times.find(benchmarkName(engine, "Function", name, items));
                    const auto raw = m_times.find(benchmarkName(engine, "Raw", name, items));
                    const int width = engine == Engine::SQLite ? 9 : 10;
                    if (function == m_times.end() || raw == m_times.end()) {
                        std::printf("   %*s %9s %6s %6s", width, "-", "-", "-", "-");
                        continue;
                    }
                    const Times& f = function->second;
                    const Times& r = raw->second;
                    std::printf("   %*.1f %9.1f %6.2f %6.2f", width, f.real, r.real, f.real / r.real,
                                1 + (f.cpu - r.cpu) / r.real);
                }
                std::printf("\n");
            }
    }

    static constexpr qint64 kItems[] = {10000, 1000000};
    static std::string benchmarkName(Engine engine, const char* side, const std::string& name, qint64 items) {
        return std::string(engineName(engine)) + "/" + side + "/" + name + "/" + std::to_string(items);
    }

private:
    struct Times {
        double real, cpu;
    };
    std::map<std::string, Times> m_times;
};

void registerAll(bool postgres) {
    for (const auto& [name, c] : cases())
        for (const qint64 items : RatioReporter::kItems) {
            const auto add = [&](Engine engine, const char* side, auto function, auto... arguments) {
                benchmark::RegisterBenchmark(RatioReporter::benchmarkName(engine, side, name, items).c_str(), function,
                                             arguments...)
                    ->Unit(benchmark::kMicrosecond);
            };
            add(Engine::SQLite, "Function", BM_Function, Engine::SQLite, name, items);
            add(Engine::SQLite, "Raw", BM_RawSqlite, name, items);
            if (!postgres) continue;
            add(Engine::PostgreSQL, "Function", BM_Function, Engine::PostgreSQL, name, items);
            add(Engine::PostgreSQL, "Raw", BM_RawPostgres, name, items);
        }
}

}  // namespace

int main(int argc, char** argv) {
    // glibc gives freed heap back to the system as soon as its top exceeds 128 KiB, and takes
    // it again on the next call, page faults included; which side of a comparison pays for
    // that depends on the heap's layout, not on the code measured. Both sides run with it off.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const bool postgres = !pgServer().isEmpty();
    if (!postgres) std::fprintf(stderr, "RES_BENCH_PG_CONNECTION is not set: SQLite only\n");
    try {
        for (const qint64 items : RatioReporter::kItems) {
            sqlitePath(items);
            if (postgres) pgSchema(items);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "preparing the databases failed: %s\n", e.what());
        return 1;
    }
    registerAll(postgres);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
