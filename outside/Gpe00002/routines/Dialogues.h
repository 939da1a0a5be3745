#pragma once
// The operations' own dialogues beside the keypad and the search list, as routine variables like
// those of Gpe00002.h: the package's screens fill them when it is loaded; the scripted mode and
// the tests put others in their place. Every one is modal and returns when its screen closes.

#include "operations/Groupings.h"
#include "operations/WaiterReport.h"
#include "routines/Keypad.h"
#include "screens/TableMapRequest.h"

#include <QStringList>
#include <functional>
#include <optional>

class TClientDataSet;

namespace Gpe00002 {

// The table map: the numbers of the tables chosen (by number), or nullopt when cancelled.
using TMapaMesas = std::function<std::optional<QStringList>(const TableMapRequest& request)>;
// A question answered with Confirma (true) or Cancela. Confirma answers Enter; ConfirmaCancelaPadrao
// is for a change that a wrong Enter must not make (a reservation cancelled): there Enter answers
// Cancela.
using TConfirma = std::function<bool(const QString& title, const QString& question)>;
// The notice of a change done, closed with "OK" (and Enter) or answered with "Desfazer" (true).
using TAvisoDesfazer = std::function<bool(const QString& title, const QString& text)>;
// Whether the operator may use the access code `codigo` (the runtime's VerificaAcesso, which tells
// the operator when not).
using TAcesso = std::function<bool(int codigo, const QString& operador)>;
// A line of text typed on the keyboard or the on-screen keyboard, at most `maxLength`
// characters; nullopt when cancelled. Texto starts empty; EditaTexto starts with `initial` (what
// the user typed before going back to it), selected as on the keypad: a character typed replaces it.
using TTexto = std::function<std::optional<QString>(const QString& title, const QString& prompt, int maxLength)>;
using TEditaTexto = std::function<std::optional<QString>(const QString& title, const QString& prompt, int maxLength,
                                                         const QString& initial)>;
// The search list over a dataset's visible fields, under a title that says what is chosen and a
// prompt line: true with the chosen row current. It opens on the current row.
using TEscolha = std::function<bool(TClientDataSet& dataSet, const QString& title, const QString& prompt)>;
// The groupings of a store, shown until closed.
using TExibeAgrupamentos = std::function<void(const GroupingOverview& overview)>;
// The waiters' report, shown until closed: true when the user asked for it on paper ("Imprimir"),
// false when it was closed ("Fechar").
using TExibeRelatorioGarcons = std::function<bool(const WaiterReport& report)>;

extern GPE00002_EXPORT TMapaMesas MapaMesas;
extern GPE00002_EXPORT TConfirma Confirma;
extern GPE00002_EXPORT TConfirma ConfirmaCancelaPadrao;
extern GPE00002_EXPORT TAvisoDesfazer AvisoDesfazer;
extern GPE00002_EXPORT TAcesso Acesso;
extern GPE00002_EXPORT TTexto Texto;
extern GPE00002_EXPORT TEditaTexto EditaTexto;
extern GPE00002_EXPORT TEscolha Escolha;
extern GPE00002_EXPORT TExibeAgrupamentos ExibeAgrupamentos;
extern GPE00002_EXPORT TExibeRelatorioGarcons ExibeRelatorioGarcons;

}  // namespace Gpe00002
