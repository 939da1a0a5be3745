// CriaFReservaMesa: reserves a free table, or ends the reservation of a reserved one.
#include "Flow.h"

namespace Gpe00002 {

QJsonValue reservaMesa() {
    return runFlow(true, [](Flow&) -> QJsonValue {
        throw ERefusal(QStringLiteral("Reserva de mesa ainda não disponível"));
    });
}

}  // namespace Gpe00002
