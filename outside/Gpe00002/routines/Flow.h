#pragma once
// What every operation's dialogue shares: the station and the database, the messages, and the
// rule that a refusal is shown to the user and changes nothing.

#include "../Dialogs.h"
#include "../operations/Refusal.h"
#include "../operations/Station.h"
#include "../store/PackageDatabase.h"

#include <QJsonValue>
#include <functional>
#include <memory>

namespace Gpe00002 {

struct Flow {
    Station station;
    std::unique_ptr<PackageDatabase> db;

    // A notice (kind 0) or a refusal (kind 3) through the runtime library's Mensagem.
    void notify(const QString& text) const;
    void refuse(const QString& text) const;
    // The store's tables for the map, each offered when `offer` answers an empty reason for it.
    std::vector<MapTable> map(const QString& filial, const QString& loja,
                              const std::function<QString(const TableState&)>& reasonNotOffered);
};

// Reads the station (with `needBranchAndStore`, a file without them refuses), connects, and
// runs `dialogue`. An ERefusal from any of it is shown and answers null; what `dialogue` answers
// (what changed, or null) is the operation's result.
QJsonValue runFlow(bool needBranchAndStore, const std::function<QJsonValue(Flow&)>& dialogue);

// The flows behind the routine variables; each answers what changed, or null.
QJsonValue juntarMesas(const std::string& modo, const std::string& filial, const std::string& loja);
QJsonValue trComanN(const std::string& tipo, const std::string& flag, const std::string& texto);
QJsonValue reservaMesa();
QJsonValue reimprimePedido();
QJsonValue consultaJuncao(const std::string& argumento, const std::string& filial, const std::string& loja);
QJsonValue relFiscais();

}  // namespace Gpe00002
