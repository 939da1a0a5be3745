// The dialogue of the table transfer (CriaTrComanN kind "1").
#include "Flow.h"

namespace Gpe00002 {

QJsonValue transferirMesa(Flow& flow) {
    throw ERefusal(QStringLiteral("Transferência de mesa ainda não disponível (loja %1)").arg(flow.station.loja));
}

}  // namespace Gpe00002
