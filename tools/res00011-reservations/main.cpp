// res00011-reservations: the store's reservations from the back office, under the same rules
// and refusals as the terminal's reservation screen (operations/ReservarMesa.h).
//
//   res00011-reservations [OPTIONS] list [--day YYYY-MM-DD] [--json]
//   res00011-reservations [OPTIONS] add --tables T[,T...] --at "YYYY-MM-DD HH:MM" --people N --guest NAME
//                                      [--phone P] [--note TEXT] [--json]
//   res00011-reservations [OPTIONS] change ID [--tables ...] [--at ...] [--people N] [--phone P] [--note TEXT]
//   res00011-reservations [OPTIONS] cancel ID
//   OPTIONS: --connection STRING, --branch B, --store S (default: the station's CDFILIAL and CDLOJA)
//
// Every command first ends the store's no-shows and brings the tables in line, as a terminal
// reading the map does. The times are the restaurant's wall clock, as the terminals keep them.
// Exit status: 0 done; 2 a bad command line (usage on stderr; --help prints it on stdout, 0);
// 3 refused, or the database cannot be reached or refuses (the reason on stderr).
#include "ToolOutput.h"
#include "core/Refusal.h"
#include "core/Station.h"
#include "operations/ReservarMesa.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cstdio>
#include <optional>

namespace {

const char* const kUsage =
    "usage: res00011-reservations [OPTIONS] list [--day YYYY-MM-DD] [--json]\n"
    "       res00011-reservations [OPTIONS] add --tables T[,T...] --at \"YYYY-MM-DD HH:MM\" --people N\n"
    "                             --guest NAME [--phone P] [--note TEXT] [--json]\n"
    "       res00011-reservations [OPTIONS] change ID [--tables T[,T...]] [--at \"YYYY-MM-DD HH:MM\"]\n"
    "                             [--people N] [--phone P] [--note TEXT] [--json]\n"
    "       res00011-reservations [OPTIONS] cancel ID [--json]\n"
    "  --connection STRING  connection string (default: the module's own)\n"
    "  --branch B, --store S  the store (default: CDFILIAL and CDLOJA of the station's PARAMETROSQOR.CDS)\n"
    "  --day YYYY-MM-DD     the day listed (default: today)\n"
    "  --json               the answer as JSON\n"
    "A time 24:00 is refused: midnight is 00:00 of the next day.\n";

int usage(const QString& problem) { return tools::usage("res00011-reservations", kUsage, problem); }

int failure(const QString& reason) { return tools::failure("res00011-reservations", reason); }

std::optional<QDateTime> parseTime(const QString& text) {
    static const QRegularExpression form(QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2})$)"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt());
    if (!day.isValid() || !time.isValid()) return std::nullopt;
    return QDateTime(day, time);
}

QString line(const Gpe00002::Reserva& r) {
    QString text = QStringLiteral("%1  %2  %3  %4 p.  %5  %6")
                       .arg(r.numero, 5)
                       .arg(r.horario.toString(QStringLiteral("yyyy-MM-dd HH:mm")), r.cliente)
                       .arg(r.pessoas, 3)
                       .arg(r.mesas.join(QLatin1Char(',')), r.situacao);
    if (!r.telefone.isEmpty()) text += QStringLiteral("  tel. ") + r.telefone;
    if (!r.observacao.isEmpty()) text += QStringLiteral("  (") + r.observacao + QLatin1Char(')');
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption connection(QStringLiteral("connection"), QString(), QStringLiteral("STRING"));
    const QCommandLineOption branch(QStringLiteral("branch"), QString(), QStringLiteral("B"));
    const QCommandLineOption store(QStringLiteral("store"), QString(), QStringLiteral("S"));
    const QCommandLineOption day(QStringLiteral("day"), QString(), QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption tables(QStringLiteral("tables"), QString(), QStringLiteral("T"));
    const QCommandLineOption at(QStringLiteral("at"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption people(QStringLiteral("people"), QString(), QStringLiteral("N"));
    const QCommandLineOption guest(QStringLiteral("guest"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption phone(QStringLiteral("phone"), QString(), QStringLiteral("P"));
    const QCommandLineOption note(QStringLiteral("note"), QString(), QStringLiteral("TEXT"));
    parser.addOptions({help, connection, branch, store, day, json, tables, at, people, guest, phone, note});
    if (!parser.parse(app.arguments())) return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const QStringList commands{QStringLiteral("list"), QStringLiteral("add"), QStringLiteral("change"),
                               QStringLiteral("cancel")};
    if (!commands.contains(command)) return usage(QStringLiteral("a command is wanted: list, add, change or cancel"));
    const bool withId = command == QLatin1String("change") || command == QLatin1String("cancel");
    if (args.size() != (withId ? 2 : 1))
        return usage(withId ? QStringLiteral("%1 takes the reservation's number").arg(command)
                            : QStringLiteral("%1 takes no argument").arg(command));
    bool ok = true;
    const qint64 id = withId ? args[1].toLongLong(&ok) : 0;
    if (!ok || (withId && id <= 0)) return usage(QStringLiteral("%1 is not a reservation's number").arg(args[1]));
    const bool changes = command == QLatin1String("add") || command == QLatin1String("change");
    for (const QCommandLineOption* option : {&tables, &at, &people, &guest, &phone, &note})
        if (parser.isSet(*option) && !changes)
            return usage(QStringLiteral("--%1 is for add and change").arg(option->names().front()));
    if (parser.isSet(day) && command != QLatin1String("list")) return usage(QStringLiteral("--day is for list"));
    if (parser.isSet(guest) && command == QLatin1String("change"))
        return usage(QStringLiteral("a change keeps the guest's name"));
    if (command == QLatin1String("add"))
        for (const QCommandLineOption* option : {&tables, &at, &people, &guest})
            if (!parser.isSet(*option)) return usage(QStringLiteral("add wants --%1").arg(option->names().front()));
    std::optional<QDateTime> when;
    if (parser.isSet(at)) {
        when = parseTime(parser.value(at));
        if (!when)
            return usage(QStringLiteral("--at %1 is not a time: use \"YYYY-MM-DD HH:MM\" (00:00 to 23:59)")
                             .arg(parser.value(at)));
    }
    QDate listed = QDate::currentDate();
    if (parser.isSet(day)) {
        listed = QDate::fromString(parser.value(day), QStringLiteral("yyyy-MM-dd"));
        if (!listed.isValid())
            return usage(QStringLiteral("--day %1 is not a day: use YYYY-MM-DD").arg(parser.value(day)));
    }

    try {
        Gpe00002::Station station = Gpe00002::Station::read(false);
        if (parser.isSet(branch)) station.filial = parser.value(branch);
        if (parser.isSet(store)) station.loja = parser.value(store);
        if (station.filial.isEmpty() || station.loja.isEmpty())
            return usage(QStringLiteral("no store: give --branch and --store, or run it in the station's folder"));
        if (station.host.isEmpty()) station.host = QStringLiteral("res00011-reservations");
        Gpe00002::PackageDatabase db(parser.value(connection));
        const QDateTime now = QDateTime::currentDateTime();
        try {
            Gpe00002::alignReservations(db, station, station.filial, station.loja, now);
        } catch (const Gpe00002::ERefusal& refusal) {
            // Another terminal is at it: the operations below read the reservations as they are.
            std::fprintf(stderr, "res00011-reservations: %s\n", refusal.message().toUtf8().constData());
        }

        if (command == QLatin1String("list")) {
            const std::vector<Gpe00002::Reserva> reservas =
                Gpe00002::reservasDoDia(db, station.filial, station.loja, listed);
            if (parser.isSet(json)) {
                QJsonArray all;
                for (const Gpe00002::Reserva& r : reservas) all.append(Gpe00002::reservationJson(r));
                tools::print(QJsonDocument(all).toJson(QJsonDocument::Compact));
            } else {
                for (const Gpe00002::Reserva& r : reservas) tools::print(line(r).toUtf8());
            }
            return 0;
        }
        QJsonObject result;
        if (command == QLatin1String("cancel")) {
            result = Gpe00002::cancelarReserva(db, station, station.filial, station.loja, id, now);
        } else {
            Gpe00002::PedidoReserva pedido;
            if (command == QLatin1String("change")) {
                const std::optional<Gpe00002::Reserva> found =
                    Gpe00002::reservaDaLoja(db, station.filial, station.loja, id);
                if (!found) return failure(QStringLiteral("A reserva %1 não existe nesta loja").arg(id));
                pedido = {found->mesas,   found->cliente,  found->horario,
                          found->pessoas, found->telefone, found->observacao};
            }
            if (parser.isSet(tables)) pedido.mesas = parser.value(tables).split(QLatin1Char(','));
            if (when) pedido.horario = *when;
            if (parser.isSet(people)) pedido.pessoas = parser.value(people);
            if (parser.isSet(guest)) pedido.cliente = parser.value(guest);
            if (parser.isSet(phone)) pedido.telefone = parser.value(phone);
            if (parser.isSet(note)) pedido.observacao = parser.value(note);
            result = command == QLatin1String("add")
                         ? Gpe00002::reservarMesas(db, station, station.filial, station.loja, pedido, now)
                         : Gpe00002::alterarReserva(db, station, station.filial, station.loja, id, pedido, now);
        }
        if (parser.isSet(json)) {
            tools::print(QJsonDocument(result).toJson(QJsonDocument::Compact));
        } else {
            const QJsonObject made = result.value(QStringLiteral("reservation")).toObject();
            const std::optional<Gpe00002::Reserva> kept =
                Gpe00002::reservaDaLoja(db, station.filial, station.loja, made.value(QStringLiteral("id")).toInteger());
            if (kept) tools::print(line(*kept).toUtf8());
        }
    } catch (const Gpe00002::ERefusal& refusal) {
        return failure(refusal.message());
    } catch (const EDatabaseError& error) {
        return failure(error.message());
    }
    return 0;
}
