#pragma once
// The operations menu: the form TfrmMenu, its global instance frmMenu, the flag boCriaMenu
// and the entry point CriaMenuMesa that the host calls.

#include "TClientDataSet.h"
#include "TMessages.h"

#include <QDialog>
#include <functional>
#include <string>

class TBlendedBitBtn;
class TShape;
class QLabel;
namespace Ui {
class TfrmMenu;
}

class TfrmMenu : public QDialog {
    Q_OBJECT
public:
    // Builds the form from its layout and runs FormCreate.
    explicit TfrmMenu(QWidget* owner = nullptr);
    ~TfrmMenu() override;

    // Stores the host's four strings, reads the local parameter files, creates and connects
    // the data module and fills the footer. Raises what any of these raises.
    void InicializaForm(const std::string& stFilial, const std::string& stLoja, const std::string& stConfTela,
                        const std::string& stArgConsulta);

    // Components, in declaration order (the widgets belong to the layout).
    TMessages* msgPadrao;
    TBlendedBitBtn* spbUnirMesa;
    TBlendedBitBtn* sbtConsultaAgrup;
    TBlendedBitBtn* spbTranferirMesa;
    TBlendedBitBtn* spbReservarMesa;
    TBlendedBitBtn* spbTrProduto;
    TBlendedBitBtn* spbSepararMesa;
    QLabel* lblTitulo;
    TClientDataSet cdsNrJuncao{QStringLiteral("cdsNrJuncao")};
    TField* cdsNrJuncaoNRJUNMESA;
    TClientDataSet cdsParametrosQor{QStringLiteral("cdsParametrosQor")};
    TClientDataSet cdsControleAcess{QStringLiteral("cdsControleAcess")};
    QLabel* lblCodTela;
    TBlendedBitBtn* spbTrPosicao;
    TShape* Shape1;
    TBlendedBitBtn* lblSair;
    TBlendedBitBtn* BlendedBitBtn1;
    TClientDataSet cdsStatusMesaFecha{QStringLiteral("cdsStatusMesaFecha")};
    TField* cdsStatusMesaFechaIDSTMESAAUX;
    TClientDataSet cdsProduto{QStringLiteral("cdsProduto")};
    TField* cdsProdutoCDVENDEDOR;
    TField* cdsProdutoCDPRODUTO;
    TField* cdsProdutoNRCOMANDA;
    TField* cdsProdutoNRVENDAREST;
    TField* cdsProdutoNRPRODCOMVEN;
    TClientDataSet cdsComandaInd{QStringLiteral("cdsComandaInd")};
    TClientDataSet cdsGarcom{QStringLiteral("cdsGarcom")};
    TBlendedBitBtn* spbReimprimirPedido;

    // Values read at start-up (readable by tests and the module's own code).
    const std::string& Esquema() const { return stEsquema; }
    const std::string& Operador() const { return stOperador; }

public Q_SLOTS:
    void FormCreate();
    void FormClose();
    void spbUnirMesaClick();
    void spbSepararMesaClick();
    void sbtConsultaAgrupClick();
    void spbTrProdutoClick();
    void spbTranferirMesaClick();
    void spbTrPosicaoClick();
    void spbReservarMesaClick();
    void BlendedBitBtn1Click();
    void spbReimprimirPedidoClick();
    void lblSairClick();
    void FormKeyDown(int& key, Qt::KeyboardModifiers shift);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class TfrmMenuTestAccess;

    void LeParametros();
    void LeControleAcesso();
    // Enables the guarded buttons by the operator's rights, and the seat transfer by the option.
    void HabilitaBotoes();
    // A guarded command: asks the operations package for the right to `codigo`; when granted,
    // runs the operation and closes the menu.
    void executaComando(int codigo, const std::function<void()>& operacao);
    // The persistent fields of the datasets of the change of waiter.
    void CriaCamposAlteraGarcom();
    // The change of waiter per item, run inside the event guard.
    void AlteraGarcomPorItem();

    Ui::TfrmMenu* m_ui;

    // Members, in declaration order.
    std::string stEsquema;
    int ctAgrupMesa = 0;
    int ctCancAgrupMesa = 0;
    int ctTransfProduto = 0;
    int ctTransfMesa = 0;
    int ctReservMesa = 0;
    int ctReiVenSatNFCe = 0;
    bool boUtilizaImpFis = false;
    std::string stFilial;
    std::string stCaixa;
    std::string stConfTela;
    std::string stLoja;
    std::string stArgConsulta;
    std::string stOperador;
    std::string stRetAcesso;
    std::string stLugarMesa;
};

namespace Cli_res00011 {

// The one menu form; exists only during one call of CriaMenuMesa.
extern TfrmMenu* frmMenu;
// A menu form has been created and initialised and has not been closed yet.
extern bool boCriaMenu;

// Shows the operations menu for a branch, a store, a screen configuration and the value handed
// on to the grouping consultation; returns when the menu has been closed. Form and data module
// are freed on every path; an exception of the start-up reaches the caller.
void CriaMenuMesa(std::string stFilial, std::string stLoja, std::string stConfTela, std::string stArgConsulta);

}  // namespace Cli_res00011

// The entry point under its plain name, for hosts that look it up by name.
extern "C" void CriaMenuMesa(const char* stFilial, const char* stLoja, const char* stConfTela,
                             const char* stArgConsulta);
