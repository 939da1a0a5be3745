#pragma once
// For tests of the menu: the operations package's routine variables, saved when a test starts and
// put back when it ends, and the calls the test's fakes and the runtime library's dialogues make,
// recorded as texts in order.

#include "Dialogs.h"
#include "EventGuard.h"
#include "Gpe00002.h"
#include "Mensagemqor.h"

#include <string>
#include <tuple>
#include <vector>

class FakeRoutines {
public:
    FakeRoutines()
        : m_saved{Gpe00002::ControleAcess,
                  Gpe00002::VerificaAcesso,
                  Gpe00002::CriaJuntarMesas,
                  Gpe00002::CriaTrComanN,
                  Gpe00002::CriaFReservaMesa,
                  Gpe00002::ReimprimePedido,
                  Gpe00002::CriaConsultaJuncao,
                  Gpe00002::RelFiscais,
                  Gpe00002::TecladoNumerico,
                  Gpe00002::Pesquisa,
                  Gpe00002::MapaMesas,
                  Gpe00002::Confirma,
                  Gpe00002::ConfirmaCancelaPadrao,
                  Gpe00002::Texto,
                  Gpe00002::EditaTexto,
                  Gpe00002::Escolha,
                  Gpe00002::ExibeAgrupamentos,
                  Gpe00002::ExibeRelatorioGarcons} {}
    ~FakeRoutines() {
        std::tie(Gpe00002::ControleAcess, Gpe00002::VerificaAcesso, Gpe00002::CriaJuntarMesas, Gpe00002::CriaTrComanN,
                 Gpe00002::CriaFReservaMesa, Gpe00002::ReimprimePedido, Gpe00002::CriaConsultaJuncao,
                 Gpe00002::RelFiscais, Gpe00002::TecladoNumerico, Gpe00002::Pesquisa, Gpe00002::MapaMesas,
                 Gpe00002::Confirma, Gpe00002::ConfirmaCancelaPadrao, Gpe00002::Texto, Gpe00002::EditaTexto,
                 Gpe00002::Escolha, Gpe00002::ExibeAgrupamentos, Gpe00002::ExibeRelatorioGarcons) = m_saved;
        Mensagemqor::setMensagemHook(nullptr);
        Mensagemqor::setMensagemMetodoHook(nullptr);
        setExceptionReporter(nullptr);
    }
    FakeRoutines(const FakeRoutines&) = delete;
    FakeRoutines& operator=(const FakeRoutines&) = delete;

    void record(const std::string& call) { calls.push_back(call); }

    // Records the dialogues instead of showing them: "Mensagem(text,kind,schema)",
    // "MensagemMetodo(function,unit,context,schema)" with " exibe/codigo" when those are not
    // true and 0 and " -> true", " -> false" or " -> text" for a boolean or a text answer, and
    // "Erro(message)" for an exception shown by the event guard.
    void recordDialogues() {
        Mensagemqor::setMensagemHook([this](const Mensagemqor::MensagemCall& call) {
            record("Mensagem(" + call.texto + "," + std::to_string(call.tipo) + "," + call.esquema + ")");
            return true;
        });
        Mensagemqor::setMensagemMetodoHook([this](const QVariant& value, bool exibe, int codigo,
                                                  const std::string& metodo, const std::string& unidade,
                                                  const std::string& contexto, const std::string& esquema) {
            std::string call = "MensagemMetodo(" + metodo + "," + unidade + "," + contexto + "," + esquema + ")";
            if (!exibe || codigo != 0) call += " exibe/codigo";
            if (value.typeId() == QMetaType::Bool) call += value.toBool() ? " -> true" : " -> false";
            if (value.typeId() == QMetaType::QString) call += " -> text";
            record(call);
        });
        setExceptionReporter([this](const QString& message) { record("Erro(" + message.toStdString() + ")"); });
    }

    std::vector<std::string> calls;

private:
    std::tuple<Gpe00002::TControleAcess, Gpe00002::TVerificaAcesso, Gpe00002::TCriaJuntarMesas, Gpe00002::TCriaTrComanN,
               Gpe00002::TCriaFReservaMesa, Gpe00002::TReimprimePedido, Gpe00002::TCriaConsultaJuncao,
               Gpe00002::TRelFiscais, Gpe00002::TTecladoNumerico, Gpe00002::TPesquisa, Gpe00002::TMapaMesas,
               Gpe00002::TConfirma, Gpe00002::TConfirma, Gpe00002::TTexto, Gpe00002::TEditaTexto, Gpe00002::TEscolha,
               Gpe00002::TExibeAgrupamentos, Gpe00002::TExibeRelatorioGarcons>
        m_saved;
};
