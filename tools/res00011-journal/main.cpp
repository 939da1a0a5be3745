// res00011-journal: the operations journal (GPEJORNAL) from the back office: the operations of a
// day, one operation in full, and the undo of one.
//
//   res00011-journal [--connection STRING] list [--day YYYY-MM-DD] [--json]
//   res00011-journal [--connection STRING] show ID [--json]
//   res00011-journal [--connection STRING] undo ID
//
// ID is an operation's identity (CDUUID, the code a terminal names when it could not tell whether
// an operation was done) or its number (NRJORNAL). The undo is the terminals' own
// (operations/Desfazer.h), journalled under the station's operator and machine. The connection
// string is --connection's, else the module's own (QOR_CONNECTION, conexao.ini or restaurante.db
// beside this program).
// Exit status: 0 done; 2 a bad command line, a day that is not one (usage on stderr; --help
// prints it on stdout, 0); 3 no such operation, the undo refused, or the database cannot be
// reached or refuses (the reason on stderr).
#include "ToolOutput.h"
#include "core/Numbers.h"
#include "core/Refusal.h"
#include "core/Station.h"
#include "operations/Desfazer.h"
#include "store/Journal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cstdio>
#include <map>
#include <optional>

namespace {

const char* const kUsage =
    "usage: res00011-journal [--connection STRING] list [--day YYYY-MM-DD] [--json]\n"
    "       res00011-journal [--connection STRING] show ID [--json]\n"
    "       res00011-journal [--connection STRING] undo ID\n"
    "  ID                   an operation's identity (CDUUID) or number (NRJORNAL)\n"
    "  --connection STRING  connection string (default: the module's own)\n"
    "  --day YYYY-MM-DD     the day listed (default: today)\n"
    "  --json               the answer as JSON\n";

int usage(const QString& problem) { return tools::usage("res00011-journal", kUsage, problem); }

int failure(const QString& reason) { return tools::failure("res00011-journal", reason); }

QString notFound(const QString& id) { return QStringLiteral("Operação %1 não encontrada no diário").arg(id); }

// The journal keeps the restaurant's wall-clock time; the driver may label it UTC, which it is not.
QString timeText(const QDateTime& at, const QString& format) {
    return at.isValid() ? QDateTime(at.date(), at.time()).toString(format) : QString();
}

QString stationText(const Gpe00002::JournalRow& row) {
    if (row.operador.isEmpty()) return row.estacao;
    return row.estacao + QLatin1Char('/') + row.operador;
}

QString undoText(const Gpe00002::JournalRow& row) {
    if (row.desfeitaPor > 0) return QStringLiteral("desfeita por %1").arg(row.desfeitaPor);
    if (row.desfaz > 0) return QStringLiteral("desfaz %1").arg(row.desfaz);
    return {};
}

// An undo is described with what it undid: from the rows at hand when it is among them, else read.
class Describer {
public:
    explicit Describer(Gpe00002::PackageDatabase& db) : m_db(db) {}
    void know(const Gpe00002::JournalRow& row) { m_rows.emplace(row.numero, row); }
    QString operator()(const Gpe00002::JournalRow& row) {
        if (row.desfaz <= 0) return Gpe00002::describeOperation(row);
        auto found = m_rows.find(row.desfaz);
        if (found == m_rows.end())
            if (const std::optional<Gpe00002::JournalRow> read =
                    Gpe00002::journalRow(m_db, QString::number(row.desfaz)))
                found = m_rows.emplace(read->numero, *read).first;
        return found == m_rows.end() ? Gpe00002::describeOperation(row)
                                     : Gpe00002::describeOperation(row, found->second);
    }

private:
    Gpe00002::PackageDatabase& m_db;
    std::map<qint64, Gpe00002::JournalRow> m_rows;
};

QString line(const Gpe00002::JournalRow& row, const QString& description) {
    QStringList columns{QStringLiteral("%1").arg(row.numero, 6),
                        timeText(row.quando, QStringLiteral("HH:mm:ss")),
                        row.operacao.leftJustified(13),
                        description,
                        stationText(row),
                        row.id};
    if (const QString undo = undoText(row); !undo.isEmpty()) columns << undo;
    return columns.join(QStringLiteral("  "));
}

QJsonObject rowJson(const Gpe00002::JournalRow& row, const QString& description) {
    const auto text = [](const QString& value) { return value.isEmpty() ? QJsonValue() : QJsonValue(value); };
    const auto number = [](qint64 value) { return value > 0 ? QJsonValue(value) : QJsonValue(); };
    const auto object = [](const QJsonObject& value) { return value.isEmpty() ? QJsonValue() : QJsonValue(value); };
    return {{QStringLiteral("number"), row.numero},
            {QStringLiteral("time"), text(timeText(row.quando, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")))},
            {QStringLiteral("operation"), row.operacao},
            {QStringLiteral("description"), description},
            {QStringLiteral("station"), text(row.estacao)},
            {QStringLiteral("operator"), text(row.operador)},
            {QStringLiteral("register"), text(row.caixa)},
            {QStringLiteral("id"), text(row.id)},
            {QStringLiteral("undoneBy"), number(row.desfeitaPor)},
            {QStringLiteral("undoes"), number(row.desfaz)},
            {QStringLiteral("branch"), text(row.filial)},
            {QStringLiteral("store"), text(row.loja)},
            {QStringLiteral("from"), text(row.mesaOrigem)},
            {QStringLiteral("to"), text(row.mesaDestino)},
            {QStringLiteral("grouping"), text(row.grupo)},
            {QStringLiteral("antes"), object(row.antes)},
            {QStringLiteral("depois"), object(row.depois)}};
}

// One operation in full, a field a line.
void printRow(const Gpe00002::JournalRow& row, const QString& description) {
    const auto json = [](const QJsonObject& value) {
        return value.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(value).toJson(QJsonDocument::Compact));
    };
    const QString caixa = row.caixa.isEmpty() ? QString() : QStringLiteral(" (caixa %1)").arg(row.caixa);
    const std::pair<const char*, QString> fields[] = {
        {"Operação", QStringLiteral("%1 %2").arg(row.numero).arg(row.operacao)},
        {"Identidade", row.id},
        {"Quando", timeText(row.quando, QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {"Descrição", description},
        {"Estação", stationText(row) + caixa},
        {"Loja", row.filial.isEmpty() ? QString() : row.filial + QLatin1Char('/') + row.loja},
        {"Mesas",
         row.mesaDestino.isEmpty() ? row.mesaOrigem : row.mesaOrigem + QStringLiteral(" → ") + row.mesaDestino},
        {"Agrupamento", row.grupo.isEmpty() ? QString() : Gpe00002::withoutLeadingZeros(row.grupo.trimmed())},
        {"Desfazer", undoText(row)},
        {"Antes", json(row.antes)},
        {"Depois", json(row.depois)},
    };
    for (const auto& [name, value] : fields)
        if (!value.isEmpty()) tools::print((QString::fromUtf8(name) + QStringLiteral(": ") + value).toUtf8());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption connection(QStringLiteral("connection"), QString(), QStringLiteral("STRING"));
    const QCommandLineOption day(QStringLiteral("day"), QString(), QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({help, connection, day, json});
    if (!parser.parse(app.arguments())) return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command != QLatin1String("list") && command != QLatin1String("show") && command != QLatin1String("undo"))
        return usage(QStringLiteral("a command is wanted: list, show or undo"));
    const bool list = command == QLatin1String("list");
    if (args.size() != (list ? 1 : 2))
        return usage(list ? QStringLiteral("list takes no argument")
                          : QStringLiteral("%1 takes the operation's identity or number").arg(command));
    const QString id = list ? QString() : args[1].trimmed();
    if (!list && id.isEmpty()) return usage(QStringLiteral("%1 takes the operation's identity or number").arg(command));
    if (parser.isSet(day) && !list) return usage(QStringLiteral("--day is for list"));
    if (parser.isSet(json) && command == QLatin1String("undo"))
        return usage(QStringLiteral("--json is for list and show"));
    QDate listed = QDate::currentDate();
    if (parser.isSet(day)) {
        QString problem;
        const std::optional<QDate> parsed = tools::parseDay(parser.value(day), problem);
        if (!parsed) return usage(QStringLiteral("--day: ") + problem);
        listed = *parsed;
    }

    try {
        Gpe00002::PackageDatabase db(parser.value(connection));
        Describer describe(db);
        if (list) {
            const std::vector<Gpe00002::JournalRow> rows = Gpe00002::journalOfDay(db, listed);
            for (const Gpe00002::JournalRow& row : rows) describe.know(row);
            QJsonArray all;
            for (const Gpe00002::JournalRow& row : rows) {
                if (parser.isSet(json))
                    all.append(rowJson(row, describe(row)));
                else
                    tools::print(line(row, describe(row)).toUtf8());
            }
            if (parser.isSet(json)) tools::print(QJsonDocument(all).toJson(QJsonDocument::Compact));
            return 0;
        }
        const std::optional<Gpe00002::JournalRow> row = Gpe00002::journalRow(db, id);
        if (!row) return failure(notFound(id));
        if (command == QLatin1String("show")) {
            if (parser.isSet(json))
                tools::print(QJsonDocument(rowJson(*row, describe(*row))).toJson(QJsonDocument::Compact));
            else
                printRow(*row, describe(*row));
            return 0;
        }
        // The undo's journal row names who undid it: the station's operator and this machine.
        Gpe00002::Station station = Gpe00002::Station::read(false);
        if (station.host.isEmpty()) station.host = QStringLiteral("res00011-journal");
        Gpe00002::desfazerOperacao(db, station, id);
        tools::print(QStringLiteral("Desfeita a operação %1 (%2)").arg(row->numero).arg(describe(*row)).toUtf8());
    } catch (const Gpe00002::ERefusal& refusal) {
        return failure(refusal.message());
    } catch (const EDatabaseError& error) {
        return failure(error.message());
    }
    return 0;
}
