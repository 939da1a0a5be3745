#include "routines/Flow.h"

#include "core/Log.h"
#include "operations/Desfazer.h"
#include "operations/ReservarMesa.h"
#include "printing/Printer.h"
#include "screens/SearchList.h"
#include "Mensagemqor.h"
#include "Process.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <algorithm>

namespace Gpe00002 {

namespace {

struct MenuStore {
    QString filial, loja;
};

// While the menu is open its form, the top-level dialog "frmMenu", carries the branch and the
// store it was opened for. Without it (scripted runs, tools) there is nothing to compare with.
std::optional<MenuStore> openMenu() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return std::nullopt;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() != QLatin1String("frmMenu") || !qobject_cast<QDialog*>(widget) || !widget->isVisible())
            continue;
        const QVariant filial = widget->property("stFilial"), loja = widget->property("stLoja");
        if (filial.isValid() && loja.isValid()) return MenuStore{filial.toString(), loja.toString()};
    }
    return std::nullopt;
}

// A station set up for another store than the menu's would act on that store's tables while the
// user looks at this one's menu.
void expectMenuStore(const Station& station) {
    const std::optional<MenuStore> menu = openMenu();
    if (!menu) return;
    const bool branch = station.filial.trimmed() != menu->filial.trimmed();
    const bool store = station.loja.trimmed() != menu->loja.trimmed();
    if (!branch && !store) return;
    qCWarning(lcOps).noquote() << "station of branch" << station.filial << "store" << station.loja
                               << "refused: the menu was opened for branch" << menu->filial << "store" << menu->loja;
    const auto named = [&](const QString& filial, const QString& loja) {
        if (branch && store) return QStringLiteral("a filial %1 e a loja %2").arg(filial, loja);
        return branch ? QStringLiteral("a filial %1").arg(filial) : QStringLiteral("a loja %1").arg(loja);
    };
    throw ERefusal(QStringLiteral("Este terminal está configurado para %1, o menu foi aberto para %2")
                       .arg(named(station.filial, station.loja), named(menu->filial, menu->loja)));
}

// `path` as the station's folder names it when it is inside it.
QString fromStation(const QString& path) {
    const QDir station(Process::executableFolder());
    const QString relative = station.relativeFilePath(path);
    const bool outside =
        relative == QLatin1String(".") || relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative);
    return outside ? QDir::cleanPath(path) : relative;
}

std::vector<MapTable> offeredTables(PackageDatabase& db, const QString& filial, const QString& loja,
                                    const std::function<QString(const TableState&)>& reasonNotOffered) {
    std::vector<MapTable> tables;
    for (TableState& table : loadTables(db, filial, loja)) {
        QString reason = reasonNotOffered(table);
        const bool enabled = reason.isEmpty();
        tables.push_back({std::move(table), enabled, std::move(reason)});
    }
    return tables;
}

}  // namespace

void Flow::notify(const QString& text) const {
    Mensagemqor::Mensagem(text.toStdString(), "", "N", "N", tmInformacao, "", station.esquema.toStdString(), 0,
                          nullptr);
}

void Flow::refuse(const QString& text) const {
    Mensagemqor::Mensagem(text.toStdString(), "", "N", "N", tmErro, "", station.esquema.toStdString(), 0, nullptr);
}

QJsonObject Flow::done(const QString& text, QJsonObject result) {
    const QString shown =
        db->recovered()
            ? QStringLiteral("A conexão com o banco de dados caiu durante a operação, mas ela foi concluída. ") + text
            : text;
    const std::vector<PackageDatabase::Committed>& committed = db->lastCommitted();
    if (committed.size() != 1 || !undoable(committed.front().operacao)) {
        notify(shown);
        return result;
    }
    const QString id = committed.front().id;
    while (AvisoDesfazer(QStringLiteral("Operação concluída"), shown)) {
        if (station.ctDesfazer > 0 && !Acesso(station.ctDesfazer, station.operador)) continue;
        if (!Confirma(QStringLiteral("Desfazer"), QStringLiteral("Desfazer a operação? %1").arg(text))) continue;
        try {
            desfazerOperacao(*db, station, id);
        } catch (const ERefusal& refusal) {
            qCInfo(lcOps).noquote() << "undo refused:" << refusal.what();
            refuse(refusal.message());
            return result;
        }
        notify(QStringLiteral("Operação desfeita: %1").arg(text));
        result.insert(QStringLiteral("undone"), true);
        return result;
    }
    return result;
}

std::vector<MapTable> Flow::map(const QString& filial, const QString& loja,
                                const std::function<QString(const TableState&)>& reasonNotOffered) {
    // The first reading of the store's tables ends the no-shows and brings MESA in line with the
    // reservations; when the tables are busy the map shows their state all the same. A re-read of
    // an open map only reads: the state it shows follows the reservations and the clock anyway.
    try {
        alignReservations(*db, station, filial, loja, QDateTime::currentDateTime());
    } catch (const ERefusal& refusal) {
        qCInfo(lcOps).noquote() << "reservations not brought in line:" << refusal.what();
    }
    std::vector<MapTable> tables = offeredTables(*db, filial, loja, reasonNotOffered);
    QStringList numbers;
    for (const MapTable& table : tables) numbers << table.mesa.numero;
    m_lastMap = LastMap{filial, loja, reasonNotOffered, numbers};
    return tables;
}

std::optional<std::vector<TableState>> Flow::chooseTables(const TableMapRequest& asked) const {
    TableMapRequest request = asked;
    // The reasons may hold on to the routine's own variables: they are used only while the map
    // they were read for is shown, never after.
    std::optional<LastMap> last;
    std::swap(last, m_lastMap);
    // What the map showed last: a choice is checked against it, as the user saw it.
    auto shown = std::make_shared<std::vector<MapTable>>(request.tables);
    const bool sameTables =
        last && std::equal(request.tables.begin(), request.tables.end(), last->numbers.begin(), last->numbers.end(),
                           [](const MapTable& table, const QString& numero) { return table.mesa.numero == numero; });
    if (!request.reread && sameTables) {
        request.filial = last->filial;
        request.loja = last->loja;
        request.connectionString = db->connection().ConnectionString();
        request.reread = [this, last = *last, shown] {
            *shown = offeredTables(*db, last.filial, last.loja, last.reason);
            return *shown;
        };
    }
    for (;;) {
        request.tables = *shown;
        const std::optional<QStringList> chosen = MapaMesas(request);
        if (!chosen || chosen->isEmpty()) return std::nullopt;
        std::vector<TableState> seen;
        QString refusal;
        for (const QString& numero : *chosen) {
            const auto found = std::find_if(shown->begin(), shown->end(),
                                            [&](const MapTable& table) { return table.mesa.numero == numero; });
            if (found == shown->end())
                refusal = QStringLiteral("Mesa %1 não existe nesta loja").arg(numero);
            else if (!found->enabled)
                refusal = QStringLiteral("Mesa %1 indisponível: %2").arg(numero, found->reason);
            else
                seen.push_back(found->mesa);
            if (!refusal.isEmpty()) break;
        }
        if (refusal.isEmpty()) return seen;
        refuse(refusal);
    }
}

std::optional<TableState> Flow::chooseTable(const TableMapRequest& request) const {
    const std::optional<std::vector<TableState>> chosen = chooseTables(request);
    if (!chosen) return std::nullopt;
    return chosen->front();
}

bool anyEnabled(const std::vector<MapTable>& tables) {
    return std::any_of(tables.begin(), tables.end(), [](const MapTable& table) { return table.enabled; });
}

QStringList numberOf(const std::optional<TableState>& table) {
    return table ? QStringList{table->numero} : QStringList{};
}

QString printedPlace(const PrintTarget& target) {
    switch (target.kind) {
    case PrintTarget::Kind::Tcp:
        return target.port == 9100 ? QStringLiteral("na impressora %1").arg(target.where)
                                   : QStringLiteral("na impressora %1, porta %2").arg(target.where).arg(target.port);
    case PrintTarget::Kind::Printer: return QStringLiteral("na impressora do sistema %1").arg(target.where);
    case PrintTarget::Kind::File: return QStringLiteral("no arquivo %1").arg(fromStation(target.where));
    case PrintTarget::Kind::Pdf: break;
    }
    return QStringLiteral("em PDF na pasta %1").arg(fromStation(target.where));
}

QJsonValue runFlow(bool needBranchAndStore, const std::function<QJsonValue(Flow&)>& dialogue) {
    SearchListDialog::forgetPositions();
    Flow flow;
    try {
        flow.station = Station::read(needBranchAndStore);
        if (needBranchAndStore) expectMenuStore(flow.station);
        flow.db = std::make_unique<PackageDatabase>();
        return dialogue(flow);
    } catch (const ERefusal& refusal) {
        qCInfo(lcOps).noquote() << "operation refused:" << refusal.what();
        flow.refuse(refusal.message());
        return QJsonValue::Null;
    } catch (const EDatabaseError& e) {
        // A failure outside a transaction (reading the map, say): nothing was changed.
        qCWarning(lcOps).noquote() << "operation failed:" << e.what();
        flow.refuse(QStringLiteral("Erro de banco de dados; nada foi alterado. (%1)").arg(e.message()));
        return QJsonValue::Null;
    }
}

}  // namespace Gpe00002
