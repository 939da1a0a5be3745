#pragma once
// The table operations' screens: each says which operation ran and with which arguments.

#include "core/Export.h"

#include <QString>
#include <string>

namespace Gpe00002 {

struct OperationText {
    QString title;      // e.g. "Agrupar mesas"
    QString arguments;  // e.g. "Modo: J | Filial: 01 | Loja: 002"; "Sem argumentos" when there are none
    bool operator==(const OperationText&) const = default;
};

// Mode "J" groups, "S" separates; any other mode gets a neutral title and shows in the line.
GPE00002_EXPORT OperationText juntarMesasText(const std::string& modo, const std::string& filial,
                                              const std::string& loja);
// Kind "1" table, "2" product, "3" seat position; any other kind gets a neutral title.
GPE00002_EXPORT OperationText trComanNText(const std::string& tipo, const std::string& flag, const std::string& texto);
GPE00002_EXPORT OperationText reservaMesaText();
GPE00002_EXPORT OperationText consultaJuncaoText(const std::string& argumento, const std::string& filial,
                                                 const std::string& loja);

// The modal screen: the title, the arguments line (label "line1") and a "Fechar" button.
void showOperation(const OperationText& text);

}  // namespace Gpe00002
