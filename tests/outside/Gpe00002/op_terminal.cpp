// A terminal of its own for the tests that kill one in the middle of an operation:
//   gpe00002_op_terminal CONNECTION transfer FROM TO
// transfers table FROM to table TO of store 0001/0001 as the tables are now, and writes what
// changed (exit 0) or the refusal (exit 1).
#include "core/Refusal.h"
#include "core/Station.h"
#include "operations/TransferirMesa.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 5 || args[2] != QLatin1String("transfer")) {
        std::fprintf(stderr, "usage: %s CONNECTION transfer FROM TO\n", argv[0]);
        return 2;
    }
    try {
        Gpe00002::PackageDatabase db(args[1]);
        Gpe00002::TableState from, to;
        for (const Gpe00002::TableState& table : Gpe00002::loadTables(db, "0001", "0001")) {
            if (table.numero == args[3]) from = table;
            if (table.numero == args[4]) to = table;
        }
        const Gpe00002::Station station{"0001", "0001", "001", "000000000005", "002", "terminal-2"};
        const QJsonObject result = Gpe00002::transferirMesa(db, station, "0001", "0001", from, to);
        std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
        return 0;
    } catch (const Gpe00002::ERefusal& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
