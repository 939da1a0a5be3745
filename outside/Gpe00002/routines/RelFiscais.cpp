// RelFiscais: the waiters' report of the station's store for a day (today unless another is
// typed on the keypad), on screen and, when asked, on the station's printer.
#include "routines/Flow.h"

#include "core/Numbers.h"
#include "printing/Printer.h"

#include <QDateTime>
#include <algorithm>
#include <memory>
#include <variant>

namespace Gpe00002 {

namespace {

// "DDMMAAAA" as a date, or why it is none: eight digits that make no day are told as the day
// they would be ("31/02/2026 não existe"), anything else as not eight digits.
std::variant<QDate, QString> typedDay(const QString& text) {
    if (text.size() != 8 || !allDigits(text))
        return QStringLiteral(
                   "Data inválida: \"%1\". Digite o dia com oito algarismos, DDMMAAAA (por exemplo "
                   "14062024).")
            .arg(text);
    const QDate day = QDate::fromString(text, QStringLiteral("ddMMyyyy"));
    if (day.isValid()) return day;
    return QStringLiteral("%1/%2/%3 não existe; digite o dia como DDMMAAAA")
        .arg(text.left(2), text.mid(2, 2), text.mid(4));
}

PrintDocument printed(const WaiterReport& report) {
    PrintDocument document;
    document.fixedPitch = true;  // its columns are laid out with spaces
    document.title = QStringLiteral("relatorio-garcons-%1-%2-%3")
                         .arg(report.filial, report.loja, report.dia.toString(QStringLiteral("yyyyMMdd")));
    for (const ReportLine& line : waiterReportLines(report, PrintDocument::kColumns))
        document.add(line.text, line.heading ? PrintLine::Style::Bold : PrintLine::Style::Normal,
                     line.heading ? PrintLine::Align::Center : PrintLine::Align::Left);
    document.rule();
    document.add(QStringLiteral("Impresso em %1")
                     .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
    return document;
}

}  // namespace

QJsonValue relFiscais() {
    return runFlow(true, [](Flow& flow) -> QJsonValue {
        const QString title = QStringLiteral("Relatório de garçons");
        const QDate now = QDate::currentDate();
        const QString today = QStringLiteral("Hoje é %1").arg(now.toString(QStringLiteral("dd/MM/yyyy")));
        std::string typed = now.toString(QStringLiteral("ddMMyyyy")).toStdString();
        std::optional<QDate> day;
        while (!day) {
            if (!TecladoNumerico(typed, title.toStdString(), "Dia do relatório (DDMMAAAA)", today.toStdString(), 8, 0,
                                 0, 0, 0, 0))
                return QJsonValue::Null;
            const std::variant<QDate, QString> read = typedDay(QString::fromStdString(typed));
            if (const QDate* valid = std::get_if<QDate>(&read))
                day = *valid;
            else
                flow.refuse(std::get<QString>(read));
        }
        WaiterReport report = loadWaiterReport(*flow.db, flow.station.filial, flow.station.loja, *day);
        // The screen follows the store while it is open; what it showed last is what goes to paper.
        auto shown = std::make_shared<WaiterReport>(report);
        report.connectionString = flow.db->connection().ConnectionString();
        report.reread = [&flow, shown, dia = *day] {
            *shown = loadWaiterReport(*flow.db, flow.station.filial, flow.station.loja, dia);
            return *shown;
        };
        const bool print = ExibeRelatorioGarcons(report);
        QJsonObject result = waiterReportJson(*shown);
        QJsonValue onPaper = false;
        if (print) {
            // A printer that fails says why, and the result says that nothing went to paper.
            try {
                const PrintTarget target = PrintTarget::fromSetting(flow.station.impressora);
                const QString where = printDocument(printed(*shown), target);
                flow.notify(QStringLiteral("Relatório de garçons impresso %1.").arg(printedPlace(target)));
                onPaper = printedAt(target, where);
            } catch (const ERefusal& refusal) {
                flow.refuse(refusal.message());
            }
        }
        result.insert(QStringLiteral("printed"), onPaper);
        return result;
    });
}

}  // namespace Gpe00002
