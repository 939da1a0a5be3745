// Cost of the database layer against the raw engine, in one process:
// - a 10,000-row result read through TADOQuery + TDataSetProvider into a packet, against the
//   sqlite3 C API stepping the same statement and reading every column;
// - a packet decoded into a TClientDataSet (bytes per second);
// - the same packet written as its JSON form and read back from it (bytes of JSON per second).
#include "DataPacket.h"
#include "PacketJson.h"
#include "TADOCommand.h"
#include "TADOQuery.h"
#include "TClientDataSet.h"
#include "TDataSetProvider.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

namespace {

constexpr int kRows = 10000;
const char* kSelect =
    "SELECT CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, QTPRODCOMVEN, VRPRECCOMVEN, "
    "TXPRODCOMVEN, IDSTPRCOMVEN, DTHRINCOMVEN, CDVENDEDOR, NRLUGARMESA FROM ITEM WHERE CDFILIAL = :P_CDFILIAL";

struct Database {
    QTemporaryDir dir;
    QString path;

    Database() {
        path = dir.filePath(QStringLiteral("bench.db"));
        TADOConnection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + path);
        connection.Open();
        connection.Execute(
            QStringLiteral("CREATE TABLE ITEM (CDFILIAL VARCHAR(4), NRVENDAREST VARCHAR(10), NRCOMANDA VARCHAR(10), "
                           "NRPRODCOMVEN VARCHAR(6), CDPRODUTO VARCHAR(10), QTPRODCOMVEN DOUBLE PRECISION, "
                           "VRPRECCOMVEN DOUBLE PRECISION, TXPRODCOMVEN VARCHAR(2000), IDSTPRCOMVEN VARCHAR(1), "
                           "DTHRINCOMVEN DATETIME, CDVENDEDOR VARCHAR(4), NRLUGARMESA VARCHAR(4))"));
        TADOCommand insert;
        insert.setConnection(&connection);
        insert.setCommandText(
            QStringLiteral("INSERT INTO ITEM VALUES (:A, :B, :C, :D, :E, :F, :G, :H, :I, :J, :K, :L)"));
        connection.BeginTrans();
        for (int i = 0; i < kRows; ++i) {
            TParameters& p = insert.Parameters();
            p.ParamByName("A").setValue(QStringLiteral("0001"));
            p.ParamByName("B").setValue(QStringLiteral("%1").arg(i / 20, 10, 10, QChar('0')));
            p.ParamByName("C").setValue(QStringLiteral("%1").arg(i / 5, 10, 10, QChar('0')));
            p.ParamByName("D").setValue(QStringLiteral("%1").arg(i % 5 + 1, 6, 10, QChar('0')));
            p.ParamByName("E").setValue(QStringLiteral("%1").arg(i % 300, 10, 10, QChar('0')));
            p.ParamByName("F").setValue(1.0 + i % 3);
            p.ParamByName("G").setValue(12.5 + i % 40);
            p.ParamByName("H").setValue(i % 7 == 0 ? QStringLiteral("sem cebola, bem passado") : QString());
            p.ParamByName("I").setValue(QStringLiteral("A"));
            p.ParamByName("J").setValue(QStringLiteral("2026-12-08 12:%1:00").arg(i % 60, 2, 10, QChar('0')));
            p.ParamByName("K").setValue(QStringLiteral("%1").arg(i % 30, 4, 10, QChar('0')));
            p.ParamByName("L").setValue(QStringLiteral("01"));
            insert.Execute();
        }
        connection.CommitTrans();
    }
};

Database& database() {
    static Database db;
    return db;
}

void BM_RawSqliteStep(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(database().path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QByteArray sql(kSelect);
    sql.replace(":P_CDFILIAL", "?");
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    for (auto _ : state) {
        sqlite3_reset(statement);
        sqlite3_bind_text(statement, 1, "0001", 4, SQLITE_TRANSIENT);
        std::size_t bytes = 0;
        double sum = 0;
        int rows = 0;
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                if (c == 5 || c == 6) {
                    sum += sqlite3_column_double(statement, c);
                } else {
                    const unsigned char* text = sqlite3_column_text(statement, c);
                    bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, c)) + (text ? text[0] : 0);
                }
            }
            ++rows;
        }
        benchmark::DoNotOptimize(bytes);
        benchmark::DoNotOptimize(sum);
        if (rows != kRows) state.SkipWithError("wrong row count");
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RawSqliteStep)->Unit(benchmark::kMillisecond);

void BM_QueryProviderPacket(benchmark::State& state) {
    TADOConnection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + database().path);
    connection.Open();
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(QString::fromLatin1(kSelect));
    TDataSetProvider provider;
    provider.setDataSet(&query);
    for (auto _ : state) {
        query.Close();
        query.Parameters().ParamByName("P_CDFILIAL").setValue(QStringLiteral("0001"));
        QByteArray packet = provider.GetData();
        benchmark::DoNotOptimize(packet.data());
    }
    query.Parameters().ParamByName("P_CDFILIAL").setValue(QStringLiteral("0001"));
    if (decodePacket(provider.GetData()).rows.size() != kRows) state.SkipWithError("wrong row count");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_QueryProviderPacket)->Unit(benchmark::kMillisecond);

void BM_DecodeIntoClientDataSet(benchmark::State& state) {
    TADOConnection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + database().path);
    connection.Open();
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(QString::fromLatin1(kSelect));
    query.Parameters().ParamByName("P_CDFILIAL").setValue(QStringLiteral("0001"));
    TDataSetProvider provider;
    provider.setDataSet(&query);
    const QByteArray packet = provider.GetData();
    TClientDataSet dataSet;
    for (auto _ : state) {
        dataSet.setData(packet);
        benchmark::DoNotOptimize(dataSet.RecordCount());
    }
    state.SetBytesProcessed(state.iterations() * packet.size());
}
BENCHMARK(BM_DecodeIntoClientDataSet)->Unit(benchmark::kMillisecond);

const TPacketTable& itemTable() {
    static const TPacketTable table = [] {
        TADOConnection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + database().path);
        connection.Open();
        TADOQuery query;
        query.setConnection(&connection);
        query.setSQL(QString::fromLatin1(kSelect));
        query.Parameters().ParamByName("P_CDFILIAL").setValue(QStringLiteral("0001"));
        TDataSetProvider provider;
        provider.setDataSet(&query);
        return decodePacket(provider.GetData());
    }();
    return table;
}

void BM_PacketToJson(benchmark::State& state) {
    const TPacketTable& table = itemTable();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray json = packetToJson(table);
        bytes = json.size();
        benchmark::DoNotOptimize(json.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_PacketToJson)->Unit(benchmark::kMillisecond);

void BM_PacketFromJson(benchmark::State& state) {
    const QByteArray json = packetToJson(itemTable());
    for (auto _ : state) {
        TPacketTable table = packetFromJson(json);
        benchmark::DoNotOptimize(table.rows.data());
    }
    state.SetBytesProcessed(state.iterations() * json.size());
}
BENCHMARK(BM_PacketFromJson)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // glibc gives freed heap back to the system as soon as its top exceeds 128 KiB, and takes
    // it again on the next call, page faults included; which side of a comparison pays for
    // that depends on the heap's layout, not on the code measured. Both sides run with it off.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    database();  // built once, before anything is timed
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
