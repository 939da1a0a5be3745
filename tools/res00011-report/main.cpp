// res00011-report: the waiters' report of a store, for the back office; and the installation of
// the history of waiter changes and of the live floor's triggers on a restaurant database.
//
//   res00011-report [--connection STRING] [--day YYYY-MM-DD] [--json] BRANCH STORE
//   res00011-report [--connection STRING] [--install-history] [--install-live-floor]
//
// The report (operations/WaiterReport.h): per waiter, the count and amount of the items
// attributed to them over the store's open sales and over the sales opened on the day (today by
// default), and the changes of waiter of that day; as a readable table, or as JSON with --json.
// --install-history installs the history table and its triggers on ITCOMANDAVEN and VENDAREST;
// --install-live-floor installs the triggers that tell the table screens of changes made outside
// the operations package (store/FloorWatch.h; PostgreSQL only, SQLite needs none). Nothing else
// ever adds either to an existing database. The connection string is --connection's,
// else the module's own (QOR_CONNECTION, conexao.ini or restaurante.db beside this program).
// Exit status: 0 done; 2 a bad command line, a day that is not one included (usage on stderr;
// --help prints it on stdout, 0); 3 the database cannot be reached or refuses, or knows no such
// branch or store (the reason on stderr).
#include "ToolOutput.h"
#include "core/Refusal.h"
#include "operations/WaiterReport.h"
#include "store/FloorWatch.h"
#include "store/History.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

const char* const kUsage =
    "usage: res00011-report [--connection STRING] [--day YYYY-MM-DD] [--json] BRANCH STORE\n"
    "       res00011-report [--connection STRING] [--install-history] [--install-live-floor]\n"
    "  --connection STRING  connection string (default: the module's own)\n"
    "  --day YYYY-MM-DD     the day whose sales and changes of waiter are reported (default: today)\n"
    "  --json               the report as JSON instead of a table\n"
    "  --install-history    install the history of waiter changes (a table and triggers on\n"
    "                       ITCOMANDAVEN and VENDAREST) on the database\n"
    "  --install-live-floor install the triggers that notify the table screens of changes made\n"
    "                       outside the operations package (PostgreSQL)\n";

constexpr int kTableWidth = 64;

int usage(const QString& problem) { return tools::usage("res00011-report", kUsage, problem); }

int failure(const QString& reason) { return tools::failure("res00011-report", reason); }

// A branch or store the database does not know would report nothing, which reads as a day
// without sales: refused instead, naming it.
QString unknownStore(Gpe00002::PackageDatabase& db, const QString& branch, const QString& store) {
    const QVariantMap ofBranch{{QStringLiteral("P_CDFILIAL"), branch}};
    if (db.select("branchStores", ofBranch).empty())
        return QStringLiteral("the database knows no branch %1 (it has no store in LOJA)").arg(branch);
    QVariantMap ofStore = ofBranch;
    ofStore.insert(QStringLiteral("P_CDLOJA"), store);
    if (db.select("store", ofStore).empty())
        return QStringLiteral("the database knows no store %1 of branch %2 (LOJA)").arg(store, branch);
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption connection(QStringLiteral("connection"), QString(), QStringLiteral("STRING"));
    const QCommandLineOption day(QStringLiteral("day"), QString(), QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption installHistory(QStringLiteral("install-history"));
    const QCommandLineOption installFloor(QStringLiteral("install-live-floor"));
    parser.addOptions({help, connection, day, json, installHistory, installFloor});
    if (!parser.parse(app.arguments())) return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    QDate reportDay = QDate::currentDate();
    const bool install = parser.isSet(installHistory) || parser.isSet(installFloor);
    if (install) {
        if (!args.isEmpty() || parser.isSet(day) || parser.isSet(json))
            return usage(
                QStringLiteral("%1 takes no branch, store, --day nor --json")
                    .arg(QLatin1String(parser.isSet(installHistory) ? "--install-history" : "--install-live-floor")));
    } else {
        if (args.size() != 2)
            return usage(QStringLiteral("BRANCH and STORE are wanted, %1 argument(s) given").arg(args.size()));
        if (parser.isSet(day)) {
            QString problem;
            const std::optional<QDate> parsed = tools::parseDay(parser.value(day), problem);
            if (!parsed) return usage(QStringLiteral("--day: ") + problem);
            reportDay = *parsed;
        }
    }

    try {
        Gpe00002::PackageDatabase db(parser.value(connection));
        if (install) {
            if (parser.isSet(installHistory)) {
                Gpe00002::installWaiterHistory(db);
                tools::print("res00011-report: the history of waiter changes is installed");
            }
            if (parser.isSet(installFloor)) {
                tools::print(
                    Gpe00002::installLiveFloor(db)
                        ? "res00011-report: the live floor's triggers are installed"
                        : "res00011-report: SQLite needs no live floor's triggers: its screens see every commit");
            }
            return 0;
        }
        if (const QString unknown = unknownStore(db, args[0], args[1]); !unknown.isEmpty()) return failure(unknown);
        const Gpe00002::WaiterReport report = Gpe00002::loadWaiterReport(db, args[0], args[1], reportDay);
        if (parser.isSet(json)) {
            tools::print(QJsonDocument(Gpe00002::waiterReportJson(report)).toJson(QJsonDocument::Compact));
        } else {
            for (const Gpe00002::ReportLine& line : Gpe00002::waiterReportLines(report, kTableWidth))
                tools::print(line.text.toUtf8());
        }
    } catch (const Gpe00002::ERefusal& refusal) {
        return failure(refusal.message());
    } catch (const EDatabaseError& error) {
        return failure(error.message());
    }
    return 0;
}
