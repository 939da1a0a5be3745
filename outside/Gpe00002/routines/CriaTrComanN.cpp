// CriaTrComanN: kind "1" transfers a table, "2" a product, "3" a seat position; any other kind
// shows its arguments.
#include "screens/OperationScreens.h"
#include "routines/Flow.h"

namespace Gpe00002 {

QJsonValue transferirMesa(Flow& flow);     // kind "1", in TransferirMesa.cpp
QJsonValue transferirProduto(Flow& flow);  // kind "2", in TransferirProduto.cpp
QJsonValue transferirLugar(Flow& flow);    // kind "3", in TransferirLugar.cpp

QJsonValue trComanN(const std::string& tipo, const std::string& flag, const std::string& texto) {
    if (tipo == "1") return runFlow(true, [](Flow& flow) { return transferirMesa(flow); });
    if (tipo == "2") return runFlow(true, [](Flow& flow) { return transferirProduto(flow); });
    if (tipo == "3") return runFlow(true, [](Flow& flow) { return transferirLugar(flow); });
    showOperation(trComanNText(tipo, flag, texto));
    return QJsonValue::Null;
}

}  // namespace Gpe00002
