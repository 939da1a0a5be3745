// res00011-sampledata: fills a database with the restaurant sample data.
//
//   res00011-sampledata --connection STRING [--create-schema] [--seed N] [--items N] [--quiet]
//
// Exit status: 0 on success, 1 when the database refuses (the batch in progress is rolled
// back), 2 for a bad command line, a database without the restaurant schema and no
// --create-schema included. A SQLite file that the run created is removed again when it fails.

#include "ConnectionString.h"
#include "RestaurantSchema.h"
#include "SampleData.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

const char* const kUsage =
    "usage: res00011-sampledata --connection STRING [--create-schema] [--seed N] [--items N] [--quiet]\n"
    "  --connection STRING  connection string, e.g. \"Provider=SQLite;Data Source=demo.db;Create=yes\"\n"
    "  --create-schema      create the restaurant tables first (otherwise they must exist, empty), the\n"
    "                       operations package's own and the history of waiter changes\n"
    "  --seed N             seed of the random part (default 1); the same seed gives the same data\n"
    "  --items N            order items to write (default 1000, at least 10: the demo's own)\n"
    "  --quiet              no progress and no summary\n";

struct Arguments {
    QString connection;
    SampleDataOptions options;
    bool quiet = false;
};

int usageError(const QString& message) {
    std::fprintf(stderr, "res00011-sampledata: %s\n%s", qPrintable(message), kUsage);
    return 2;
}

// Parses the command line; answers the exit status on an error, nothing when it is fine.
std::optional<int> parse(const QStringList& args, Arguments& out) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption connection(QStringLiteral("connection"), QString(), QStringLiteral("STRING"));
    const QCommandLineOption createSchema(QStringLiteral("create-schema"));
    const QCommandLineOption seed(QStringLiteral("seed"), QString(), QStringLiteral("N"));
    const QCommandLineOption items(QStringLiteral("items"), QString(), QStringLiteral("N"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    parser.addOptions({help, connection, createSchema, seed, items, quiet});
    if (!parser.parse(args)) return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unknown argument '%1'").arg(parser.positionalArguments().front()));
    out.connection = parser.value(connection);
    out.options.createSchema = parser.isSet(createSchema);
    out.quiet = parser.isSet(quiet);
    if (parser.isSet(seed)) {
        bool ok = false;
        const QString text = parser.value(seed);
        out.options.seed = text.toULongLong(&ok, 10);
        if (!ok) return usageError(QStringLiteral("--seed wants a non-negative integer, not '%1'").arg(text));
    }
    if (parser.isSet(items)) {
        bool ok = false;
        const QString text = parser.value(items);
        out.options.items = text.toLongLong(&ok, 10);
        if (!ok || out.options.items < kDemoItems || out.options.items > kMaxItems)
            return usageError(QStringLiteral("--items wants an integer from %1 to %2, not '%3'")
                                  .arg(kDemoItems)
                                  .arg(kMaxItems)
                                  .arg(text));
    }
    if (!parser.isSet(connection) || out.connection.trimmed().isEmpty())
        return usageError(QStringLiteral("--connection is required"));
    return std::nullopt;
}

// The database a connection string names, for messages; for SQLite its file, which `file` gets
// when it is a plain path (not ":memory:" nor a URI) so that a run can tell what it created.
QString databaseName(const QString& connection, QString& file) {
    const ConnectionString options = ConnectionString::parse(connection);
    const QString source = options.value(QStringLiteral("Data Source"));
    if (options.value(QStringLiteral("Provider")).trimmed().compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0)
        return options.contains(QStringLiteral("Initial Catalog"))
                   ? QStringLiteral("%1 on %2").arg(options.value(QStringLiteral("Initial Catalog")), source)
                   : source;
    if (!source.isEmpty() && source != QLatin1String(":memory:") && !source.startsWith(QLatin1String("file:")))
        file = source;
    return source;
}

bool exists(const QString& path) { return QFileInfo::exists(path) || QFileInfo(path).isSymLink(); }

// The first restaurant table the database lacks; empty when it has them all.
QString missingTable(TADOConnection& connection) {
    for (const QString& table : restaurantTableNames()) {
        TADOQuery probe;
        probe.setConnection(&connection);
        probe.setSQL(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(table));
        try {
            probe.Open();
        } catch (const EADOError& e) {
            if (e.failure() != TDbFailure::Other) throw;  // a lost connection says nothing of the tables
            return table;
        }
    }
    return {};
}

int noSchema(const QString& database, const QString& detail) {
    std::fprintf(stderr,
                 "res00011-sampledata: the database %s has no restaurant schema (%s); run with --create-schema\n",
                 qPrintable(database), qPrintable(detail));
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Arguments args;
    if (const std::optional<int> status = parse(QCoreApplication::arguments(), args)) return *status;

    // Progress on long runs, in steps of 5 %.
    int reported = 0;
    if (!args.quiet && args.options.items > 100000) {
        args.options.progress = [&reported](qint64 done, qint64 total) {
            const int percent = static_cast<int>(done * 100 / total);
            if (percent / 5 > reported / 5 && percent < 100) {
                reported = percent;
                std::fprintf(stderr, "res00011-sampledata: %3d %% (%lld of %lld items)\n", percent / 5 * 5,
                             static_cast<long long>(done), static_cast<long long>(total));
            }
        };
    }

    QElapsedTimer timer;
    timer.start();
    QString file;  // the SQLite file, when the connection names one
    bool existed = true;
    TADOConnection connection(QStringLiteral("SampleData"));
    try {
        const QString database = databaseName(args.connection, file);
        existed = file.isEmpty() || exists(file);
        // Opening would create the file only to find no tables in it.
        if (!existed && !args.options.createSchema)
            return noSchema(database, QStringLiteral("the file does not exist"));
        connection.setConnectionString(args.connection);
        connection.Open();
        if (!args.options.createSchema) {
            if (const QString table = missingTable(connection); !table.isEmpty())
                return noSchema(database, QStringLiteral("no table %1").arg(table));
        }
        const SampleDataCounts counts = generateSampleData(connection, args.options);
        connection.Close();
        if (!args.quiet) {
            std::printf("res00011-sampledata: seed %llu, %.1f s\n", static_cast<unsigned long long>(args.options.seed),
                        static_cast<double>(timer.elapsed()) / 1000.0);
            for (auto it = counts.cbegin(); it != counts.cend(); ++it)
                std::printf("  %-13s %10lld rows\n", qPrintable(it.key()), static_cast<long long>(it.value()));
        }
    } catch (const EDatabaseError& error) {
        std::fprintf(stderr, "res00011-sampledata: %s\n", error.what());
        // Half a database would pass for a filled one at the next run.
        if (!existed && exists(file)) {
            connection.Close();
            for (const char* suffix : {"", "-journal", "-wal", "-shm"}) QFile::remove(file + QLatin1String(suffix));
        }
        return 1;
    }
    return 0;
}
