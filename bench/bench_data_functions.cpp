// The seven data functions at 10,000 and at 1,000,000 order items, each against the sqlite3 C
// API running the same statement texts with the same values and reading every column. The
// databases are generated once (deterministic seed) and kept in RES_BENCH_DIR (default
// /tmp/res00011-bench).
#include "SampleData.h"
#include "SqlPlaceholders.h"
#include "Srv_res00011.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <map>

namespace {

QString databasePath(qint64 items) {
    const QString dir = qEnvironmentVariable("RES_BENCH_DIR", QStringLiteral("/tmp/res00011-bench"));
    QDir().mkpath(dir);
    const QString path = QStringLiteral("%1/items-%2.db").arg(dir).arg(items);
    if (!QFile::exists(path)) {
        const QString building = path + QStringLiteral(".new");
        QFile::remove(building);
        TADOConnection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + building);
        connection.Open();
        SampleDataOptions options;
        options.items = items;
        options.createSchema = true;
        generateSampleData(connection, options);
        connection.Execute(QStringLiteral("ANALYZE"));
        connection.Close();
        QFile::rename(building, path);
    }
    return path;
}

// One data module per database size, connected, for the whole run.
TrdmMenu& dataModule(qint64 items) {
    static std::map<qint64, std::unique_ptr<TrdmMenu>> modules;
    auto& module = modules[items];
    if (!module) {
        qputenv("QOR_CONNECTION", (QStringLiteral("Provider=SQLite;Data Source=") + databasePath(items)).toUtf8());
        module = std::make_unique<TrdmMenu>();
        module->adcMenu.Open();
    }
    return *module;
}

// A statement text run through the C API: named values bound by name at every occurrence.
struct RawStatement {
    QString text;
    std::map<QString, QString> values;
};

void nvl(sqlite3_context* context, int, sqlite3_value** args) {
    sqlite3_result_value(context, sqlite3_value_type(args[0]) != SQLITE_NULL ? args[0] : args[1]);
}

bool runRaw(sqlite3* db, const RawStatement& statement, std::map<QString, sqlite3_stmt*>& cache) {
    sqlite3_stmt*& prepared = cache[statement.text];
    const SqlPlaceholders parsed(statement.text);
    if (!prepared) {
        const QByteArray sql = parsed.render([](int) { return QStringLiteral("?"); }).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &prepared, nullptr) != SQLITE_OK) return false;
    }
    sqlite3_reset(prepared);
    for (int i = 0; i < parsed.names().size(); ++i) {
        const QByteArray value = statement.values.at(parsed.names()[i]).toUtf8();
        sqlite3_bind_text(prepared, i + 1, value.constData(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    const int columns = sqlite3_column_count(prepared);
    std::size_t bytes = 0;
    while (sqlite3_step(prepared) == SQLITE_ROW)
        for (int c = 0; c < columns; ++c) {
            const unsigned char* text = sqlite3_column_text(prepared, c);
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(prepared, c)) + (text ? 1 : 0);
        }
    benchmark::DoNotOptimize(bytes);
    return true;
}

struct Case {
    std::function<QVariant()> call;
    std::vector<RawStatement> raw;  // what the function runs, in order
};

const QString S(const char* text) { return QString::fromUtf8(text); }

std::map<std::string, Case> cases() {
    using Srv_res00011::statementText;
    const std::map<QString, QString> table = {{S("P_CDFILIAL"), S("0001")}, {S("P_CDLOJA"), S("0001")}, {S("P_NRMESA"), S("0012")}};
    auto with = [](std::map<QString, QString> base, std::map<QString, QString> more) {
        base.insert(more.begin(), more.end());
        return base;
    };
    const std::map<QString, QString> products = {{S("P_CDPRODCONSUM"), S("X")}, {S("P_CDPRODCONSFEM"), S("X")}, {S("P_CDPRODCOUVER"), S("X")}};
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
           {statementText(S("adqOperadorFilial")), {{S("P_CDOPERADOR"), S("000000000002")}, {S("P_CDFILIAL"), S("0001")}}}}}},
        {"setVendedorItem",
         {[] { return QVariant(Srv_res00011::setVendedorItem(S("0001"), S("0001"), S("0000000001"), S("0000000001"),
                                                             S("0000000001"), S("000001"))); },
          {{statementText(S("acmUpdVendedor")),
            {{S("P_CDVENDEDOR"), S("0001")}, {S("P_CDFILIAL"), S("0001")}, {S("P_CDPRODUTO"), S("0000000001")},
             {S("P_NRCOMANDA"), S("0000000001")}, {S("P_NRVENDAREST"), S("0000000001")}, {S("P_NRPRODCOMVEN"), S("000001")}}}}}},
        {"setVendedorVenda",
         {[] { return QVariant(Srv_res00011::setVendedorVenda(S("0001"), S("0001"), S("0012"), S("0000000001"))); },
          {{statementText(S("acmUpdVendedorVenda")),
            {{S("P_CDVENDEDOR"), S("0001")}, {S("P_CDFILIAL"), S("0001")}, {S("P_NRMESA"), S("0012")},
             {S("P_NRVENDAREST"), S("0000000001")}}}}}},
    };
}

void BM_Function(benchmark::State& state, std::string name, qint64 items) {
    TrdmMenu& module = dataModule(items);
    Srv_res00011::rdmMenu = &module;
    const Case c = cases().at(name);
    for (auto _ : state) {
        const QVariant answer = c.call();
        if (answer.typeId() == QMetaType::QString) state.SkipWithError(answer.toString().toUtf8().constData());
        benchmark::DoNotOptimize(answer.constData());
    }
    Srv_res00011::rdmMenu = nullptr;
}

void BM_Raw(benchmark::State& state, std::string name, qint64 items) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(databasePath(items).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_create_function(db, "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nvl, nullptr, nullptr);
    std::map<QString, sqlite3_stmt*> cache;
    const Case c = cases().at(name);
    for (auto _ : state)
        for (const RawStatement& statement : c.raw)
            if (!runRaw(db, statement, cache)) state.SkipWithError(sqlite3_errmsg(db));
    for (auto& [text, prepared] : cache) sqlite3_finalize(prepared);
    sqlite3_close(db);
}

void registerAll() {
    for (const auto& [name, c] : cases())
        for (const qint64 items : {qint64(10000), qint64(1000000)}) {
            const std::string suffix = "/" + name + "/" + std::to_string(items);
            benchmark::RegisterBenchmark(("Function" + suffix).c_str(), BM_Function, name, items)->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("RawSqlite" + suffix).c_str(), BM_Raw, name, items)->Unit(benchmark::kMicrosecond);
        }
}

}  // namespace

int main(int argc, char** argv) {
    // glibc gives freed heap back to the system as soon as its top exceeds 128 KiB, and takes
    // it again on the next call, page faults included; which side of a comparison pays for
    // that depends on the heap's layout, not on the code measured. Both sides run with it off.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    databasePath(10000);
    databasePath(1000000);
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
