#pragma once
// Messages of the shared runtime library: the method-call wrapper that checks a data
// function's answer, the modal message dialogue, and the screens' footer line.

#include "QorExport.h"

#include <QVariant>
#include <functional>
#include <stdexcept>
#include <string>

class TClientDataSet;

enum TTipoMsg : int { tmInformacao = 0, tmConfirmacao = 1, tmAviso = 2, tmErro = 3 };

// A data function answered its error text in place of a result.
class QOR_EXPORT EMensagemMetodo : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace Mensagemqor {

// Passes a packet (QByteArray) or a boolean through unchanged. An error text (QString) is
// raised as EMensagemMetodo, whose message names the function, the context and the database's
// text: "Erro em <metodo> (<contexto>): <text>".
QOR_EXPORT QVariant MensagemMetodo(const QVariant& value, bool exibe, int codigo, const std::string& metodo,
                                   const std::string& unidade, const std::string& contexto, const std::string& esquema);

// Shows `texto` in a modal dialogue with an icon for the kind and one button; Enter and Esc
// close it. Returns when it has been closed.
QOR_EXPORT void Mensagem(const std::string& texto, const std::string& titulo, const std::string& opcao1,
                         const std::string& opcao2, TTipoMsg tipo, const std::string& complemento,
                         const std::string& esquema, int codigo, TClientDataSet* dataSet);

// The footer line of a screen: its code, and the fiscal printer when one is in use.
QOR_EXPORT std::string MontaRodapeGeral(bool utilizaImpFis, const std::string& tela, const std::string& flag);

// Observes (and may replace) the calls above: scripted runs record them and acknowledge
// dialogues without showing them. A handler answering true has shown the message itself.
struct MensagemCall {
    std::string texto, titulo, opcao1, opcao2;
    int tipo = 0;
    std::string complemento, esquema;
    int codigo = 0;
    TClientDataSet* dataSet = nullptr;
};
using MensagemHook = std::function<bool(const MensagemCall&)>;
QOR_EXPORT void setMensagemHook(MensagemHook hook);
using MensagemMetodoHook =
    std::function<void(const QVariant& value, bool exibe, int codigo, const std::string& metodo,
                       const std::string& unidade, const std::string& contexto, const std::string& esquema)>;
QOR_EXPORT void setMensagemMetodoHook(MensagemMetodoHook hook);

}  // namespace Mensagemqor
