#include "operations/Desfazer.h"

#include "core/Refusal.h"

namespace Gpe00002 {

bool undoable(const QString&) { return false; }

QJsonObject desfazerOperacao(PackageDatabase&, const Station&, const QString&) {
    throw ERefusal(QStringLiteral("Desfazer ainda não está disponível"));
}

}  // namespace Gpe00002
