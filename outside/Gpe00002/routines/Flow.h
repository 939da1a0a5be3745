#pragma once
// What every operation's dialogue shares: the station and the database, the messages, the rule
// that a refusal is shown to the user and changes nothing, and choosing tables on the map.
//
// Every dialogue goes back one step on Cancela (or Esc): from a question to the screen before it,
// from a target to the source choice, from the first map out of the operation; what was typed
// and chosen is shown again when the user comes back to it.

#include "routines/Dialogues.h"
#include "core/Refusal.h"
#include "core/Station.h"
#include "store/PackageDatabase.h"

#include <QJsonObject>
#include <QJsonValue>
#include <functional>
#include <memory>

namespace Gpe00002 {

struct PrintTarget;

struct Flow {
    Station station;
    std::unique_ptr<PackageDatabase> db;

    // A notice (kind 0) or a refusal (kind 3) through the runtime library's Mensagem.
    void notify(const QString& text) const;
    void refuse(const QString& text) const;
    // The notice of the operation that `db` just committed, saying what it did (`text`), and that
    // its commit was found after the connection was lost during it, when it was. An operation that
    // can be undone offers "Desfazer" while the notice is open: with the station's access code
    // (CTDESFAZER) when it names one, and a question first, it is undone. Answers the operation's
    // `result`, with "undone": true when it was undone.
    QJsonObject done(const QString& text, QJsonObject result);
    // The store's tables for the map, each offered when `offer` answers an empty reason for it.
    std::vector<MapTable> map(const QString& filial, const QString& loja,
                              const std::function<QString(const TableState&)>& reasonNotOffered);
    // The tables chosen on the map of `request`, as it showed them last, by number; nullopt when
    // it is cancelled. A number that is no table of the map ("Mesa 0099 não existe nesta loja") or
    // a table it does not offer is refused, and the map is shown again. A map of the tables the
    // last map() read follows the floor: it reads them again, with the same reasons, when another
    // terminal changes them.
    std::optional<std::vector<TableState>> chooseTables(const TableMapRequest& request) const;
    // The same for a map of one table.
    std::optional<TableState> chooseTable(const TableMapRequest& request) const;

private:
    // What the last map() read, for the map that shows it to read again.
    struct LastMap {
        QString filial, loja;
        std::function<QString(const TableState&)> reason;
        QStringList numbers;
    };
    mutable std::optional<LastMap> m_lastMap;
};

bool anyEnabled(const std::vector<MapTable>& tables);
// The number of `table`, for the map's `marked`: none when nothing was chosen yet.
QStringList numberOf(const std::optional<TableState>& table);

// Where a document went, in words: "em PDF na pasta impressos", "na impressora 192.168.0.50",
// "na impressora do sistema NAME", "no arquivo /dev/usb/lp0". A folder or a file inside the
// station's folder is named from there.
GPE00002_EXPORT QString printedPlace(const PrintTarget& target);

// Reads the station (with `needBranchAndStore`, a file without them refuses), connects, and
// runs `dialogue`. While the menu is open, a station whose branch or store is not the one the
// menu was opened for refuses, naming both, before anything is shown. An ERefusal from any of it
// is shown and answers null; what `dialogue` answers (what changed, or null) is the operation's
// result. Lists opened by an earlier operation are not placed where they were left.
QJsonValue runFlow(bool needBranchAndStore, const std::function<QJsonValue(Flow&)>& dialogue);

// The flows behind the routine variables; each answers what changed, or null.
QJsonValue juntarMesas(const std::string& modo, const std::string& filial, const std::string& loja);
QJsonValue trComanN(const std::string& tipo, const std::string& flag, const std::string& texto);
QJsonValue reservaMesa();
QJsonValue reimprimePedido();
QJsonValue consultaJuncao(const std::string& argumento, const std::string& filial, const std::string& loja);
QJsonValue relFiscais();

}  // namespace Gpe00002
