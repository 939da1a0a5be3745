#pragma once
// The screen of a transfer of a kind the package does not have: it says which kind came and with
// which arguments.

#include "core/Export.h"

#include <QString>
#include <string>

namespace Gpe00002 {

struct OperationText {
    QString title;      // e.g. "Transferência"
    QString arguments;  // e.g. "Tipo: 9 | Indicador: S | Texto: (vazio)"
    bool operator==(const OperationText&) const = default;
};

// Kind "1" table, "2" product, "3" seat position; any other kind gets a neutral title.
GPE00002_EXPORT OperationText trComanNText(const std::string& tipo, const std::string& flag, const std::string& texto);

// The modal screen: the title, the arguments line (label "line1") and a "Fechar" button.
void showOperation(const OperationText& text);

}  // namespace Gpe00002
