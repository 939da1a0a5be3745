#include "operations/WaiterReport.h"

#include "core/PrintDocument.h"
#include "store/Counting.h"
#include "store/History.h"

#include <QJsonArray>
#include <map>
#include <algorithm>

namespace Gpe00002 {

namespace {

// The texts of a change of waiter and the columns of waiterChanges.sql they come from.
const std::pair<QString WaiterChange::*, const char*> kChangeColumns[] = {
    {&WaiterChange::mesa, "NRMESA"},           {&WaiterChange::venda, "NRVENDAREST"},
    {&WaiterChange::comanda, "NRCOMANDA"},     {&WaiterChange::numeroItem, "NRPRODCOMVEN"},
    {&WaiterChange::produto, "CDPRODUTO"},     {&WaiterChange::nomeProduto, "NMPRODUTO"},
    {&WaiterChange::de, "CDVENDEDORANT"},      {&WaiterChange::nomeDe, "NMANTERIOR"},
    {&WaiterChange::para, "CDVENDEDORNOV"},    {&WaiterChange::nomePara, "NMNOVO"},
    {&WaiterChange::aplicacao, "NMAPLICACAO"}, {&WaiterChange::endereco, "DSENDERECO"},
    {&WaiterChange::usuario, "NMUSUARIO"}};

// The counted items of the sales `statement` reads, summed by the item's own waiter.
WaiterTotals loadTotals(PackageDatabase& db, const char* statement, const QVariantMap& parameters) {
    std::map<QString, WaiterTotal> byWaiter;
    WaiterTotals totals;
    for (const SqlRow& row : db.select(statement, parameters)) {
        const QString code = rowText(row, "CDVENDEDOR");
        WaiterTotal& waiter = byWaiter[code];
        waiter.vendedor = code;
        if (waiter.nome.isEmpty()) waiter.nome = rowText(row, "NMFANVEN");
        const Money valor = Counting::ItemAmount::of(row).valor();
        ++waiter.itens;
        waiter.valor += valor;
        ++totals.itens;
        totals.valor += valor;
    }
    for (auto& [code, waiter] : byWaiter) totals.vendedores.push_back(std::move(waiter));
    // Items without a waiter go last.
    std::sort(totals.vendedores.begin(), totals.vendedores.end(), [](const WaiterTotal& a, const WaiterTotal& b) {
        if (a.vendedor.isEmpty() != b.vendedor.isEmpty()) return b.vendedor.isEmpty();
        return a.vendedor < b.vendedor;
    });
    return totals;
}

QString dayText(const QDate& day) { return day.toString(QStringLiteral("dd/MM/yyyy")); }

// `text` broken into lines of at most `width` characters at blanks (a longer word is cut).
QStringList wrapped(const QString& text, int width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        while (line.size() > width) {
            lines << line.left(width);
            line = line.mid(width);
        }
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

// `left` with the count and the amount on the right, within `width`.
QString totalsRow(const QString& left, const QString& items, const QString& amount, int width) {
    return PrintDocument::columns(left, items.rightJustified(6) + QLatin1Char(' ') + amount.rightJustified(13), width);
}

void addTotals(std::vector<ReportLine>& lines, const QString& heading, const WaiterTotals& totals, int width) {
    lines.push_back({heading, true});
    if (totals.vendedores.empty()) {
        lines.push_back({QStringLiteral("Nenhum item.")});
        return;
    }
    lines.push_back({totalsRow(QStringLiteral("Garçom"), QStringLiteral("Itens"), QStringLiteral("Valor"), width)});
    for (const WaiterTotal& waiter : totals.vendedores)
        lines.push_back({totalsRow(waiterText(waiter.vendedor, waiter.nome), QString::number(waiter.itens),
                                   waiter.valor.text(), width)});
    lines.push_back({totalsRow(QStringLiteral("Total"), QString::number(totals.itens), totals.valor.text(), width)});
}

QJsonObject totalsJson(const WaiterTotals& totals) {
    QJsonArray waiters;
    for (const WaiterTotal& waiter : totals.vendedores)
        waiters.append(QJsonObject{{QStringLiteral("waiter"), waiter.vendedor},
                                   {QStringLiteral("name"), waiter.nome},
                                   {QStringLiteral("items"), waiter.itens},
                                   {QStringLiteral("amount"), waiter.valor.toDouble()}});
    return {{QStringLiteral("items"), totals.itens},
            {QStringLiteral("amount"), totals.valor.toDouble()},
            {QStringLiteral("waiters"), waiters}};
}

}  // namespace

WaiterReport loadWaiterReport(PackageDatabase& db, const QString& filial, const QString& loja, const QDate& dia) {
    WaiterReport report;
    report.filial = filial;
    report.loja = loja;
    report.dia = dia;
    const QVariantMap store{{QStringLiteral("P_CDFILIAL"), filial}, {QStringLiteral("P_CDLOJA"), loja}};
    QVariantMap day = store;
    day.insert(QStringLiteral("P_INICIO"), dia.startOfDay());
    day.insert(QStringLiteral("P_FIM"), dia.addDays(1).startOfDay());

    report.abertas = loadTotals(db, "openSaleItems", store);
    report.doDia = loadTotals(db, "daySaleItems", day);

    report.historico = waiterHistoryInstalled(db);
    if (!report.historico) return report;
    for (const SqlRow& row : db.select("waiterChanges", day)) {
        WaiterChange& change = report.alteracoes.emplace_back();
        const QDateTime at = row.value(QStringLiteral("DTHRALTERACAO")).toDateTime();
        change.quando = QDateTime(at.date(), at.time());
        change.item = rowText(row, "NMTABELA") != QLatin1String("VENDAREST");
        for (const auto& [field, column] : kChangeColumns) change.*field = rowText(row, column);
    }
    return report;
}

QJsonObject waiterReportJson(const WaiterReport& report) {
    QJsonArray changes;
    for (const WaiterChange& change : report.alteracoes) {
        QJsonObject entry{{QStringLiteral("at"), change.quando.toString(Qt::ISODate)},
                          {QStringLiteral("table"), change.mesa},
                          {QStringLiteral("sale"), change.venda}};
        if (change.item) {
            entry.insert(QStringLiteral("ticket"), change.comanda);
            entry.insert(QStringLiteral("item"), change.numeroItem);
            entry.insert(QStringLiteral("product"), change.produto);
            entry.insert(QStringLiteral("productName"), change.nomeProduto);
        }
        entry.insert(QStringLiteral("from"), change.de);
        entry.insert(QStringLiteral("to"), change.para);
        for (const auto& [key, value] : {std::pair{"application", &change.aplicacao},
                                         std::pair{"address", &change.endereco}, std::pair{"user", &change.usuario}})
            if (!value->isEmpty()) entry.insert(QLatin1String(key), *value);
        changes.append(entry);
    }
    return {{QStringLiteral("branch"), report.filial},
            {QStringLiteral("store"), report.loja},
            {QStringLiteral("day"), report.dia.toString(Qt::ISODate)},
            {QStringLiteral("openSales"), totalsJson(report.abertas)},
            {QStringLiteral("daySales"), totalsJson(report.doDia)},
            {QStringLiteral("history"),
             QJsonObject{{QStringLiteral("installed"), report.historico}, {QStringLiteral("changes"), changes}}}};
}

std::vector<ReportLine> waiterReportLines(const WaiterReport& report, int width) {
    std::vector<ReportLine> lines;
    const ReportLine rule{QString(width, QLatin1Char('-'))};
    lines.push_back({QStringLiteral("RELATÓRIO DE GARÇONS"), true});
    lines.push_back(
        {QStringLiteral("Filial %1  Loja %2  Dia %3").arg(report.filial, report.loja, dayText(report.dia))});
    lines.push_back(rule);
    addTotals(lines, QStringLiteral("VENDAS ABERTAS"), report.abertas, width);
    lines.push_back(rule);
    addTotals(lines, QStringLiteral("VENDAS DO DIA %1").arg(dayText(report.dia)), report.doDia, width);
    lines.push_back(rule);
    lines.push_back({QStringLiteral("ALTERAÇÕES DE GARÇOM EM %1").arg(dayText(report.dia)), true});
    QStringList notes;
    if (!report.historico)
        notes = wrapped(QStringLiteral("O histórico de alterações de garçom não está instalado neste banco de dados "
                                       "(res00011-report --install-history)."),
                        width);
    else if (report.alteracoes.empty())
        notes << QStringLiteral("Nenhuma alteração neste dia.");
    for (const QString& note : notes) lines.push_back({note});
    for (const WaiterChange& change : report.alteracoes) {
        const QString what = change.item ? (change.nomeProduto.isEmpty() ? change.produto : change.nomeProduto)
                                         : QStringLiteral("Venda %1").arg(change.venda);
        QStringList texts{
            QStringLiteral("%1 Mesa %2 %3").arg(change.quando.toString(QStringLiteral("HH:mm:ss")), change.mesa, what)};
        if (change.item) texts << QStringLiteral("  Comanda %1 item %2").arg(change.comanda, change.numeroItem);
        texts << QStringLiteral("  %1 -> %2")
                     .arg(waiterText(change.de, change.nomeDe), waiterText(change.para, change.nomePara));
        QStringList who;
        for (const QString* part : {&change.aplicacao, &change.endereco, &change.usuario})
            if (!part->isEmpty()) who << *part;
        if (!who.isEmpty()) texts << QStringLiteral("  por ") + who.join(QLatin1Char(' '));
        for (const QString& line : texts) lines.push_back({line.left(width)});
    }
    return lines;
}

QString waiterText(const QString& code, const QString& name) {
    if (code.isEmpty()) return QStringLiteral("(sem garçom)");
    return name.isEmpty() ? code : code + QLatin1Char(' ') + name;
}

}  // namespace Gpe00002
