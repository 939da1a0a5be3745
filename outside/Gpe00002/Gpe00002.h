#pragma once
// The operations package: access checks, the numeric keypad, the search list and the table
// operations the menu hands over to. Each operation is a routine variable; callers read the
// variable at every call, so a test or a scripted run may put another routine in its place.
// All strings are 8-bit (UTF-8); integers 32-bit signed.

#include "core/Export.h"
#include "routines/Keypad.h"

#include <functional>
#include <string>

class TClientDataSet;

namespace Gpe00002 {

// "N" when the operator may not use the access code at all; any other text allows it.
using TControleAcess = std::function<std::string(int codigo, const std::string& operador)>;
// True when the operator may run the operation now; refusals are shown by the package itself.
// `texto` may be replaced; the transfer operations receive it.
using TVerificaAcesso = std::function<bool(int codigo, const std::string& operador, std::string& texto)>;
// Mode "J" groups tables, "S" separates them.
using TCriaJuntarMesas =
    std::function<void(const std::string& modo, const std::string& filial, const std::string& loja)>;
// Kind "1" table, "2" product, "3" seat position; flag "S" or "N"; the text of the access check.
using TCriaTrComanN = std::function<void(const std::string& tipo, const std::string& flag, const std::string& texto)>;
using TCriaFReservaMesa = std::function<void()>;
using TReimprimePedido = std::function<void()>;
using TCriaConsultaJuncao =
    std::function<void(const std::string& argumento, const std::string& filial, const std::string& loja)>;
using TRelFiscais = std::function<void()>;
// The numeric keypad, TTecladoNumerico and TecladoNumerico, is declared in routines/Keypad.h.
// Search list over the visible fields of a dataset: true with the chosen row current.
using TPesquisa =
    std::function<bool(TClientDataSet& dataSet, int a1, int a2, int cor1, int cor2, int cor3, int cor4, int a3)>;

extern GPE00002_EXPORT TControleAcess ControleAcess;
extern GPE00002_EXPORT TVerificaAcesso VerificaAcesso;
extern GPE00002_EXPORT TCriaJuntarMesas CriaJuntarMesas;
extern GPE00002_EXPORT TCriaTrComanN CriaTrComanN;
extern GPE00002_EXPORT TCriaFReservaMesa CriaFReservaMesa;
extern GPE00002_EXPORT TReimprimePedido ReimprimePedido;
extern GPE00002_EXPORT TCriaConsultaJuncao CriaConsultaJuncao;
extern GPE00002_EXPORT TRelFiscais RelFiscais;
extern GPE00002_EXPORT TPesquisa Pesquisa;

// Puts the package's own routines into every variable (done when the package is loaded).
GPE00002_EXPORT void InstallDefaultRoutines();

}  // namespace Gpe00002
