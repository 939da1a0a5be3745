// res00011-data: calls one data function of the module and prints its answer as JSON, to see
// what the menu sees.
//
//   res00011-data [--connection STRING] FUNCTION ARG...
//
// The arguments are the function's, in its declared order ("" for an empty one). The
// connection string is --connection's, else the module's own (QOR_CONNECTION, conexao.ini or
// restaurante.db beside this program). Output: a packet as {"fields":[...],"rows":[...]}, a
// boolean as true or false (exit 0); an error text as {"error":"..."} (exit 3); a wrong
// function or argument count, an unknown option or --connection without its value: usage on
// stderr (exit 2); --help: usage on stdout (exit 0).
#include "DataPacket.h"
#include "PacketJson.h"
#include "Srv_res00011.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <functional>
#include <map>

namespace {

struct DataFunction {
    QStringList arguments;
    std::function<QVariant(const QStringList&)> call;
};

const std::map<QString, DataFunction>& functions() {
    static const std::map<QString, DataFunction> table = {
        {"getNrJuncao",
         {{"BRANCH", "STORE"}, [](const QStringList& a) { return Srv_res00011::getNrJuncao(a[0], a[1]); }}},
        {"getStatusMesa",
         {{"BRANCH", "STORE", "SCREEN-CONFIG"},
          [](const QStringList& a) { return Srv_res00011::getStatusMesa(a[0], a[1], a[2]); }}},
        {"getComandaInd",
         {{"TABLE", "BRANCH", "STORE"},
          [](const QStringList& a) { return Srv_res00011::getComandaInd(a[0], a[1], a[2]); }}},
        {"getItemMesa",
         {{"BRANCH", "TICKET", "MODE", "CONSUMPTION-PRODUCT", "WOMEN-CONSUMPTION-PRODUCT", "COVER-PRODUCT"},
          [](const QStringList& a) { return Srv_res00011::getItemMesa(a[0], a[1], a[2], a[3], a[4], a[5]); }}},
        {"getValidaGarcom",
         {{"WAITER", "BRANCH", "CASH-REGISTER", "MODE"},
          [](const QStringList& a) { return Srv_res00011::getValidaGarcom(a[0], a[1], a[2], a[3]); }}},
        {"setVendedorItem",
         {{"WAITER", "BRANCH", "PRODUCT", "TICKET", "SALE", "ITEM"},
          [](const QStringList& a) {
              return QVariant(Srv_res00011::setVendedorItem(a[0], a[1], a[2], a[3], a[4], a[5]));
          }}},
        {"setVendedorVenda",
         {{"WAITER", "BRANCH", "TABLE", "SALE"},
          [](const QStringList& a) { return QVariant(Srv_res00011::setVendedorVenda(a[0], a[1], a[2], a[3])); }}},
    };
    return table;
}

int usage(const QString& problem, FILE* out = stderr) {
    if (!problem.isEmpty()) std::fprintf(out, "res00011-data: %s\n", qPrintable(problem));
    std::fprintf(out, "usage: res00011-data [--connection STRING] FUNCTION ARG...\nfunctions:\n");
    for (const auto& [name, function] : functions())
        std::fprintf(out, "  %s %s\n", qPrintable(name), qPrintable(function.arguments.join(' ')));
    return out == stdout ? 0 : 2;
}

void printLine(const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fputc('\n', stdout);
}

int printError(const QString& text) {
    printLine(QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson(QJsonDocument::Compact));
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption connection(QStringLiteral("connection"), QString(), QStringLiteral("STRING"));
    parser.addOptions({help, connection});
    // Options come before the function: its arguments are taken as they are, even "" or "-1".
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(app.arguments())) return usage(parser.errorText());
    if (parser.isSet(help)) return usage({}, stdout);
    // The data module takes its connection string where the module always does.
    if (parser.isSet(connection)) qputenv("QOR_CONNECTION", parser.value(connection).toUtf8());
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) return usage({});
    const auto found = functions().find(args.front());
    if (found == functions().end()) return usage(QStringLiteral("unknown function '%1'").arg(args.front()));
    const QStringList values = args.mid(1);
    if (values.size() != found->second.arguments.size())
        return usage(QStringLiteral("%1 takes %2 arguments, %3 given")
                         .arg(found->first)
                         .arg(found->second.arguments.size())
                         .arg(values.size()));

    TrdmMenu dataModule;
    Srv_res00011::rdmMenu = &dataModule;
    struct Forget {
        ~Forget() { Srv_res00011::rdmMenu = nullptr; }
    } forget;
    try {
        dataModule.adcMenu.setConnected(true);
    } catch (const std::exception& e) {
        return printError(QString::fromUtf8(e.what()));
    }

    const QVariant answer = found->second.call(values);
    switch (answer.typeId()) {
    case QMetaType::Bool: printLine(answer.toBool() ? "true" : "false"); return 0;
    case QMetaType::QByteArray:
        try {
            printLine(packetToJson(decodePacket(answer.toByteArray())));
            return 0;
        } catch (const std::exception& e) {
            return printError(QString::fromUtf8(e.what()));
        }
    default: return printError(answer.toString());
    }
}
