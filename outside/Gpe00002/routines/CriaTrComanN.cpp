// CriaTrComanN: kind "1" transfers a table, "2" a product; "3" a seat position shows its
// arguments until it is built, as does any other kind.
#include "../screens/OperationScreens.h"
#include "Flow.h"

namespace Gpe00002 {

QJsonValue transferirMesa(Flow& flow);     // kind "1", in TransferirMesa.cpp
QJsonValue transferirProduto(Flow& flow);  // kind "2", in TransferirProduto.cpp

QJsonValue trComanN(const std::string& tipo, const std::string& flag, const std::string& texto) {
    if (tipo == "1") return runFlow(true, [](Flow& flow) { return transferirMesa(flow); });
    if (tipo == "2") return runFlow(true, [](Flow& flow) { return transferirProduto(flow); });
    showOperation(trComanNText(tipo, flag, texto));
    return QJsonValue::Null;
}

}  // namespace Gpe00002
