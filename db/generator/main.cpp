// res00011-sampledata: fills a database with the restaurant sample data.
//
//   res00011-sampledata --connection STRING [--create-schema] [--seed N] [--items N] [--quiet]
//
// Exit status: 0 on success, 1 when the database refuses (the batch in progress is rolled
// back), 2 for a bad command line.

#include "SampleData.h"
#include "TADOConnection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
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
    try {
        TADOConnection connection(QStringLiteral("SampleData"));
        connection.setConnectionString(args.connection);
        connection.Open();
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
        return 1;
    }
    return 0;
}
