#include "Gpe00002.h"

#include "AccessStore.h"
#include "Dialogs.h"
#include "screens/ConfirmDialog.h"
#include "screens/GroupingsView.h"
#include "screens/InfoDialog.h"
#include "screens/NumericKeypad.h"
#include "core/Log.h"
#include "screens/OperationScreens.h"
#include "Screen.h"
#include "screens/SearchList.h"
#include "screens/TableMap.h"
#include "screens/TextEntry.h"
#include "screens/WaiterReportView.h"
#include "TClientDataSet.h"
#include "routines/Flow.h"

#include <QLineEdit>

namespace Gpe00002 {

// The variables come before the initialiser below: in one file they are constructed in order,
// so they exist when it fills them.
TControleAcess ControleAcess;
TVerificaAcesso VerificaAcesso;
TCriaJuntarMesas CriaJuntarMesas;
TCriaTrComanN CriaTrComanN;
TCriaFReservaMesa CriaFReservaMesa;
TReimprimePedido ReimprimePedido;
TCriaConsultaJuncao CriaConsultaJuncao;
TRelFiscais RelFiscais;
TTecladoNumerico TecladoNumerico;
TPesquisa Pesquisa;
TMapaMesas MapaMesas;
TConfirma Confirma;
TConfirma ConfirmaCancelaPadrao;
TAvisoDesfazer AvisoDesfazer;
TAcesso Acesso;
TTexto Texto;
TEditaTexto EditaTexto;
TEscolha Escolha;
TExibeAgrupamentos ExibeAgrupamentos;
TExibeRelatorioGarcons ExibeRelatorioGarcons;

namespace {

std::string controleAcess(int codigo, const std::string& operador) {
    return AccessStore().allows(codigo, QString::fromStdString(operador)) ? "S" : "N";
}

bool verificaAcesso(int codigo, const std::string& operador, std::string& texto) {
    if (AccessStore().allows(codigo, QString::fromStdString(operador))) {
        texto.assign(1, 'S');
        return true;
    }
    texto.assign(1, 'N');
    qCInfo(lcOps) << "access" << codigo << "refused to operator" << QString::fromStdString(operador);
    InfoDialog refusal(QStringLiteral("Acesso negado"),
                       {QStringLiteral("Operação bloqueada. Operador %1 não tem acesso a esta operação (código %2).")
                            .arg(QString::fromStdString(operador))
                            .arg(codigo)},
                       QStringLiteral("OK"));
    Screen::showModal(refusal);
    return false;
}

bool tecladoNumerico(std::string& valor, const std::string& caption, const std::string& prompt,
                     const std::string& prompt2, int tamanho, int, int, int, int, int) {
    NumericKeypadDialog keypad(QString::fromStdString(caption), QString::fromStdString(prompt),
                               QString::fromStdString(prompt2), QString::fromStdString(valor), tamanho);
    if (Screen::showModal(keypad) != QDialog::Accepted) return false;
    valor = keypad.value().toStdString();
    return true;
}

bool pesquisa(TClientDataSet& dataSet, int, int, int cor1, int cor2, int cor3, int cor4, int) {
    const SearchListData data(dataSet);
    SearchListDialog list(data, SearchColors::fromBgr(cor1, cor2, cor3, cor4));
    if (Screen::showModal(list) != QDialog::Accepted || list.pickedRow() < 0) return false;
    SearchListData::makeCurrent(dataSet, list.pickedRow());
    return true;
}

std::optional<QStringList> mapaMesas(const TableMapRequest& request) {
    TableMapDialog map(request);
    if (Screen::showModal(map) != QDialog::Accepted) return std::nullopt;
    return map.chosen();
}

bool escolha(TClientDataSet& dataSet, const QString& title, const QString& prompt) {
    const SearchListData data(dataSet);
    SearchListDialog list(data, SearchColors{}, title, prompt);
    if (auto* followed = dynamic_cast<FollowedDataSet*>(&dataSet)) list.follow(dataSet, followed->follow);
    if (Screen::showModal(list) != QDialog::Accepted || list.pickedRow() < 0) return false;
    SearchListData::makeCurrent(dataSet, list.pickedRow());
    return true;
}

bool confirma(const QString& title, const QString& question) {
    ConfirmDialog dialog(title, question);
    return Screen::showModal(dialog) == QDialog::Accepted;
}

bool confirmaCancelaPadrao(const QString& title, const QString& question) {
    ConfirmDialog dialog(title, question, false);
    return Screen::showModal(dialog) == QDialog::Accepted;
}

bool avisoDesfazer(const QString& title, const QString& text) {
    const std::unique_ptr<ConfirmDialog> dialog = ConfirmDialog::undoNotice(title, text);
    return Screen::showModal(*dialog) == QDialog::Accepted;
}

// Through the variable as it stands when asked: the scripted mode and the tests replace it.
bool acesso(int codigo, const QString& operador) {
    std::string texto;
    return VerificaAcesso && VerificaAcesso(codigo, operador.toStdString(), texto);
}

std::optional<QString> editaTexto(const QString& title, const QString& prompt, int maxLength, const QString& initial) {
    TextEntryDialog entry(title, prompt, maxLength);
    // The field is the dialog's QLineEdit "texto". What was typed before is there, selected as on
    // the keypad: OK keeps it, a character typed replaces it, an arrow key keeps it to be corrected.
    if (auto* field = entry.findChild<QLineEdit*>(QStringLiteral("texto")); field && !initial.isEmpty()) {
        field->setText(initial);
        field->selectAll();
    }
    if (Screen::showModal(entry) != QDialog::Accepted) return std::nullopt;
    return entry.text();
}

std::optional<QString> texto(const QString& title, const QString& prompt, int maxLength) {
    return editaTexto(title, prompt, maxLength, {});
}

void exibeAgrupamentos(const GroupingOverview& overview) {
    GroupingsDialog dialog(overview);
    Screen::showModal(dialog);
}

bool exibeRelatorioGarcons(const WaiterReport& report) {
    WaiterReportDialog dialog(report);
    return Screen::showModal(dialog) == QDialog::Accepted;
}

}  // namespace

void InstallDefaultRoutines() {
    ControleAcess = controleAcess;
    VerificaAcesso = verificaAcesso;
    CriaJuntarMesas = [](const std::string& modo, const std::string& filial, const std::string& loja) {
        juntarMesas(modo, filial, loja);
    };
    CriaTrComanN = [](const std::string& tipo, const std::string& flag, const std::string& texto) {
        trComanN(tipo, flag, texto);
    };
    CriaFReservaMesa = [] { reservaMesa(); };
    ReimprimePedido = [] { reimprimePedido(); };
    CriaConsultaJuncao = [](const std::string& argumento, const std::string& filial, const std::string& loja) {
        consultaJuncao(argumento, filial, loja);
    };
    RelFiscais = [] { relFiscais(); };
    TecladoNumerico = tecladoNumerico;
    Pesquisa = pesquisa;
    MapaMesas = mapaMesas;
    Confirma = confirma;
    ConfirmaCancelaPadrao = confirmaCancelaPadrao;
    AvisoDesfazer = avisoDesfazer;
    Acesso = acesso;
    Texto = texto;
    EditaTexto = editaTexto;
    Escolha = escolha;
    ExibeAgrupamentos = exibeAgrupamentos;
    ExibeRelatorioGarcons = exibeRelatorioGarcons;
}

namespace {
// Fills the variables when the library is loaded, before any caller can read them.
[[maybe_unused]] const bool routinesInstalled = (InstallDefaultRoutines(), true);
}  // namespace

}  // namespace Gpe00002
