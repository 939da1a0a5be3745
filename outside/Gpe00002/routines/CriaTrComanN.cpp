// CriaTrComanN: kind "1" transfers a table; "2" a product and "3" a seat position show their
// arguments until they are built.
#include "../screens/OperationScreens.h"
#include "Flow.h"

namespace Gpe00002 {

QJsonValue transferirMesa(Flow& flow);  // CriaTrComanN kind "1", in TransferirMesa.cpp

QJsonValue trComanN(const std::string& tipo, const std::string& flag, const std::string& texto) {
    if (tipo == "1") return runFlow(true, [](Flow& flow) { return transferirMesa(flow); });
    showOperation(trComanNText(tipo, flag, texto));
    return QJsonValue::Null;
}

}  // namespace Gpe00002
