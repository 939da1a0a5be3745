#include "Cli_res00011.h"

#include "Consiste.h"
#include "EventGuard.h"
#include "Gpe00002.h"
#include "InputGuard.h"
#include "Mensagemqor.h"
#include "Process.h"
#include "Screen.h"
#include "Srv_res00011.h"
#include "TBlendedBitBtn.h"
#include "TShape.h"
#include "TouchStyle.h"
#include "Trad_utl.h"
#include "ui_Cli_res00011.h"

#include <QCloseEvent>
#include <QLoggingCategory>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

using Srv_res00011::rdmMenu;

// The menu's failures: a start that failed and an item list that could not be fetched.
Q_LOGGING_CATEGORY(lcMenu, "res.menu", QtWarningMsg)

namespace Cli_res00011 {
TfrmMenu* frmMenu = nullptr;
bool boCriaMenu = false;
}  // namespace Cli_res00011

using Cli_res00011::boCriaMenu;
using Cli_res00011::frmMenu;

namespace {

// The layout gives fonts in points at 96 pixels per inch; they are kept at that pixel size
// whatever the screen's resolution, as the fixed pixel geometry of the form requires.
void fixFontPixelSizes(QWidget* root) {
    const auto apply = [](QWidget* widget) {
        QFont font = widget->font();
        if (font.pointSizeF() > 0) {
            font.setPixelSize(qRound(font.pointSizeF() * 96.0 / 72.0));
            widget->setFont(font);
        }
    };
    apply(root);
    for (QWidget* child : root->findChildren<QWidget*>()) apply(child);
}

}  // namespace

TfrmMenu::TfrmMenu(QWidget* owner) : QDialog(owner), m_ui(new Ui::TfrmMenu) {
    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    msgPadrao->setMessages({
        QStringLiteral("Oper_S_Aces|Operação bloqueada. Operador não tem acesso a esta operação."),
        QStringLiteral("CLIENTE|Cliente:  "),
        QStringLiteral("CONSUMIDOR|Consumidor:  "),
        QStringLiteral("SALDOEMPRESA|Saldo Empresa:"),
        QStringLiteral("SALDOPESSOAL|Saldo Pessoal:"),
        QStringLiteral("Mot_Con_Sal1|Consulta saldo."),
        QStringLiteral("Mot_Con_Sal|Consulta saldo do cliente:"),
        QStringLiteral("N_AGRUPAMENTO|Não existe nenhum agrupamento de mesas."),
    });

    // The layout's faces are mapped to the ones the installation brings.
    Style::installFontSubstitutes();
    // The screens the menu opens ignore a tap that began before they were shown: the input is
    // watched from here, so that the first of them already knows when the finger came.
    InputGuard::watch();
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(517, 257);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    fixFontPixelSizes(this);

    spbUnirMesa = m_ui->spbUnirMesa;
    sbtConsultaAgrup = m_ui->sbtConsultaAgrup;
    spbTranferirMesa = m_ui->spbTranferirMesa;
    spbReservarMesa = m_ui->spbReservarMesa;
    spbTrProduto = m_ui->spbTrProduto;
    spbSepararMesa = m_ui->spbSepararMesa;
    lblTitulo = m_ui->lblTitulo;
    lblCodTela = m_ui->lblCodTela;
    spbTrPosicao = m_ui->spbTrPosicao;
    Shape1 = m_ui->Shape1;
    lblSair = m_ui->lblSair;
    BlendedBitBtn1 = m_ui->BlendedBitBtn1;
    spbReimprimirPedido = m_ui->spbReimprimirPedido;

    // Two-line captions break at a carriage return; the layout file can only carry a line feed.
    for (TBlendedBitBtn* button : findChildren<TBlendedBitBtn*>())
        button->setCaption(button->Caption().replace(QLatin1Char('\n'), QLatin1Char('\r')));

    // The form takes every key press itself: none of its controls takes the focus.
    for (QWidget* child : findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);

    cdsNrJuncaoNRJUNMESA = &cdsNrJuncao.AddField(QStringLiteral("NRJUNMESA"), TFieldType::ftString, 10);
    cdsNrJuncaoNRJUNMESA->setDisplayLabel(QStringLiteral("Nr. Junção"));
    CriaCamposAlteraGarcom();

    FormCreate();
}

TfrmMenu::~TfrmMenu() { delete m_ui; }

void TfrmMenu::FormCreate() { Trad_utl::Trad(this); }

void TfrmMenu::FormClose() { boCriaMenu = false; }

void TfrmMenu::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TfrmMenu::showEvent(QShowEvent* event) {
    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
    // The form takes the keys (F1, Esc) from the moment it shows.
    activateWindow();
    setFocus();
}

void TfrmMenu::keyPressEvent(QKeyEvent* event) {
    // Every key goes to FormKeyDown alone: the dialog's own Esc handling would end the modal
    // loop without the close event.
    int key = event->key();
    guardEvent([&] { FormKeyDown(key, event->modifiers()); });
    event->accept();
}

void TfrmMenu::InicializaForm(const std::string& filial, const std::string& loja, const std::string& confTela,
                              const std::string& argConsulta) {
    stFilial = filial;
    stLoja = loja;
    stConfTela = confTela;
    stArgConsulta = argConsulta;
    // Readable by the operations package, which finds the open menu by its name: an operation
    // that takes the station's branch and store refuses when they are not the menu's.
    setProperty("stFilial", QString::fromStdString(filial));
    setProperty("stLoja", QString::fromStdString(loja));
    LeParametros();
    LeControleAcesso();
    if (!rdmMenu) rdmMenu = new TrdmMenu(nullptr);
    rdmMenu->adcMenu.setConnected(true);
    lblCodTela->setText(QString::fromStdString(Mensagemqor::MontaRodapeGeral(boUtilizaImpFis, "RES00011", "S")));
    lblCodTela->adjustSize();
    HabilitaBotoes();
}

void TfrmMenu::HabilitaBotoes() {
    const std::pair<TBlendedBitBtn*, int> gated[] = {
        {spbUnirMesa, ctAgrupMesa},       {spbSepararMesa, ctCancAgrupMesa}, {spbTrProduto, ctTransfProduto},
        {spbTranferirMesa, ctTransfMesa}, {spbReservarMesa, ctReservMesa},
    };
    for (const auto& [button, code] : gated) button->setEnabled(Gpe00002::ControleAcess(code, stOperador) != "N");
    spbTrPosicao->setEnabled(stLugarMesa == "S");
}

void TfrmMenu::executaComando(int codigo, const std::function<void()>& operacao) {
    guardEvent([&] {
        if (!Gpe00002::VerificaAcesso(codigo, stOperador, stRetAcesso)) return;
        operacao();
        close();
    });
}

void TfrmMenu::LeParametros() {
    const QString file = Process::executableFolder() + QStringLiteral("/PARAMETROSQOR.CDS");
    const QString path = Process::ExtractShortPathName(file);
    // Neither is an error: the menu opens on the defaults. But the defaults gate the commands
    // off, and without a word in the log nobody could tell why every button is disabled.
    if (path.isEmpty() || !Process::FileExists(path)) {
        qCWarning(lcMenu).noquote() << "the station's parameter file" << file
                                    << "is missing: no operator, every access code 0";
        return;
    }
    cdsParametrosQor.LoadFromFile(path);
    cdsParametrosQor.Open();
    if (cdsParametrosQor.IsEmpty())
        qCWarning(lcMenu).noquote() << "the station's parameter file" << path
                                    << "holds no record: no operator, every access code 0";
    stEsquema = cdsParametrosQor.FieldByName(QStringLiteral("IDESQUEMA")).AsString().toStdString();
    stOperador = cdsParametrosQor.FieldByName(QStringLiteral("CDOPERADORLOGIN")).AsString().toStdString();
    ctAgrupMesa = cdsParametrosQor.FieldByName(QStringLiteral("ctAgrupMesa")).AsInteger();
    ctCancAgrupMesa = cdsParametrosQor.FieldByName(QStringLiteral("ctCancAgrupMesa")).AsInteger();
    ctTransfProduto = cdsParametrosQor.FieldByName(QStringLiteral("ctTransfProduto")).AsInteger();
    ctTransfMesa = cdsParametrosQor.FieldByName(QStringLiteral("ctTransfMesa")).AsInteger();
    ctReservMesa = cdsParametrosQor.FieldByName(QStringLiteral("ctReservMesa")).AsInteger();
    stLugarMesa = cdsParametrosQor.FieldByName(QStringLiteral("IDLUGARMESA")).AsString().toStdString();
    boUtilizaImpFis = cdsParametrosQor.FieldByName(QStringLiteral("UTILIZAIMPFIS")).AsBoolean();
    stCaixa = cdsParametrosQor.FieldByName(QStringLiteral("CDCAIXA")).AsString().toStdString();
    ctReiVenSatNFCe = cdsParametrosQor.FieldByName(QStringLiteral("ctReiVenSatNFCe")).AsInteger();
}

void TfrmMenu::LeControleAcesso() {
    const QString path = Process::executableFolder() + QStringLiteral("/Dados/Cadastros/ControleAcess.cds");
    if (!Process::FileExists(path)) return;
    cdsControleAcess.LoadFromFile(path);
    stOperador = cdsControleAcess.FieldByName(QStringLiteral("CDOPERADOR")).AsString().toStdString();
}

void TfrmMenu::spbUnirMesaClick() {
    executaComando(ctAgrupMesa, [this] { Gpe00002::CriaJuntarMesas("J", stFilial, stLoja); });
}

void TfrmMenu::spbSepararMesaClick() {
    executaComando(ctCancAgrupMesa, [this] { Gpe00002::CriaJuntarMesas("S", stFilial, stLoja); });
}

void TfrmMenu::spbTranferirMesaClick() {
    executaComando(ctTransfMesa, [this] { Gpe00002::CriaTrComanN("1", "S", stRetAcesso); });
}

void TfrmMenu::spbTrProdutoClick() {
    executaComando(ctTransfProduto, [this] { Gpe00002::CriaTrComanN("2", "N", stRetAcesso); });
}

void TfrmMenu::spbTrPosicaoClick() {
    // The seat transfer is a table transfer as far as rights go.
    executaComando(ctTransfMesa, [this] { Gpe00002::CriaTrComanN("3", "S", stRetAcesso); });
}

void TfrmMenu::spbReservarMesaClick() {
    executaComando(ctReservMesa, [] { Gpe00002::CriaFReservaMesa(); });
}

void TfrmMenu::spbReimprimirPedidoClick() {
    executaComando(ctReiVenSatNFCe, [] { Gpe00002::ReimprimePedido(); });
}

void TfrmMenu::sbtConsultaAgrupClick() {
    guardEvent([this] {
        const std::string contexto = stFilial + "-" + stLoja;
        const QVariant juncoes =
            Srv_res00011::getNrJuncao(QString::fromStdString(stFilial), QString::fromStdString(stLoja));
        cdsNrJuncao.setData(
            Mensagemqor::MensagemMetodo(juncoes, true, 0, "getNrJuncao", "Cli_Res00011", contexto, stEsquema)
                .toByteArray());
        if (cdsNrJuncao.IsEmpty()) {
            Mensagemqor::Mensagem(msgPadrao->Msg(QStringLiteral("N_AGRUPAMENTO")).toStdString(), "", "N", "N",
                                  tmInformacao, "", stEsquema, 0, nullptr);
            return;
        }
        Gpe00002::CriaConsultaJuncao(stArgConsulta, stFilial, stLoja);
        close();
    });
}

void TfrmMenu::CriaCamposAlteraGarcom() {
    cdsStatusMesaFecha.AddField(QStringLiteral("NRMESA"), TFieldType::ftString, 4);
    cdsStatusMesaFecha.AddField(QStringLiteral("NMMESA"), TFieldType::ftString, 30);
    cdsStatusMesaFecha.AddField(QStringLiteral("CDSALA"), TFieldType::ftString, 5);
    cdsStatusMesaFechaIDSTMESAAUX =
        &cdsStatusMesaFecha.AddField(QStringLiteral("IDSTMESAAUX"), TFieldType::ftString, 1);

    struct Field {
        const char* name;
        TFieldType type;
        int size;
        const char* label;  // shown in lists when set
        int width;
    };
    const auto add = [](TClientDataSet& dataSet, const Field& f) -> TField& {
        TField& field = dataSet.AddField(QString::fromLatin1(f.name), f.type, f.size);
        field.setVisible(f.label != nullptr);
        if (f.label) field.setDisplayLabel(QString::fromUtf8(f.label));
        if (f.width > 0) field.setDisplayWidth(f.width);
        return field;
    };
    static const Field comandas[] = {
        {"NRVENDAREST", TFieldType::ftString, 10, nullptr, 0},
        {"NRCOMANDA", TFieldType::ftString, 10, "Comanda", 12},
        {"DSCOMANDA", TFieldType::ftString, 50, "Descrição", 22},
        {"IDSTCOMANDA", TFieldType::ftString, 10, nullptr, 0},
        {"VRDESCOMANDA", TFieldType::ftFloat, 0, nullptr, 0},
        {"VRCOMISVENDE", TFieldType::ftFloat, 0, nullptr, 0},
        {"NRPESMESAVEN", TFieldType::ftString, 3, nullptr, 0},
        {"CDVENDEDOR", TFieldType::ftString, 4, nullptr, 0},
        {"NMFANVEN", TFieldType::ftString, 50, nullptr, 0},
    };
    for (const Field& f : comandas) add(cdsComandaInd, f);

    static const Field itens[] = {
        {"NRPRODCOMVEN", TFieldType::ftString, 6, nullptr, 0},
        {"VRPRECCOMVEN", TFieldType::ftFloat, 0, nullptr, 0},
        {"TXPRODCOMVEN", TFieldType::ftString, 2000, nullptr, 0},
        {"IDSTPRCOMVEN", TFieldType::ftString, 1, nullptr, 0},
        {"VRDESCCOMVEN", TFieldType::ftFloat, 0, nullptr, 0},
        {"CDARVPROD", TFieldType::ftString, 20, nullptr, 0},
        {"NMPRODUTO", TFieldType::ftString, 50, "Nome", 30},
        {"CDPRODUTO", TFieldType::ftString, 10, nullptr, 0},
        {"DTHRINCOMVEN", TFieldType::ftDateTime, 0, nullptr, 0},
        {"NRCOMANDA", TFieldType::ftString, 10, nullptr, 0},
        {"IDPRODIMPFIS", TFieldType::ftString, 1, nullptr, 0},
        {"NRSEQPRODCOM", TFieldType::ftString, 3, nullptr, 0},
        {"VRACRCOMVEN", TFieldType::ftFloat, 0, nullptr, 0},
        {"VRACRCOMANDA", TFieldType::ftFloat, 0, nullptr, 0},
        {"IDPESAPROD", TFieldType::ftString, 1, nullptr, 0},
        {"DSCOMANDAORI", TFieldType::ftString, 10, nullptr, 0},
        {"NRPRODCOMORI", TFieldType::ftString, 6, nullptr, 0},
        {"NRCOMANDAORI", TFieldType::ftString, 10, nullptr, 0},
        {"CDVENDEDOR", TFieldType::ftString, 4, "Garçom", 0},
        {"NRVENDAREST", TFieldType::ftString, 10, nullptr, 0},
        {"NRLUGARMESA", TFieldType::ftString, 4, nullptr, 0},
        {"IDCHECK", TFieldType::ftString, 1, nullptr, 0},
        {"NRSEQBENECONSIT", TFieldType::ftString, 10, nullptr, 0},
        {"QTPRODCOMVEN", TFieldType::ftFloat, 0, "Quantidade", 0},
    };
    for (const Field& f : itens) add(cdsProduto, f);
    // Hidden, but with the label the lists would give it.
    cdsProduto.FieldByName(QStringLiteral("CDARVPROD")).setDisplayLabel(QStringLiteral("Código"));
    cdsProduto.FieldByName(QStringLiteral("NMPRODUTO")).setReadOnly(true);
    cdsProdutoCDVENDEDOR = &cdsProduto.FieldByName(QStringLiteral("CDVENDEDOR"));
    cdsProdutoCDPRODUTO = &cdsProduto.FieldByName(QStringLiteral("CDPRODUTO"));
    cdsProdutoNRCOMANDA = &cdsProduto.FieldByName(QStringLiteral("NRCOMANDA"));
    cdsProdutoNRVENDAREST = &cdsProduto.FieldByName(QStringLiteral("NRVENDAREST"));
    cdsProdutoNRPRODCOMVEN = &cdsProduto.FieldByName(QStringLiteral("NRPRODCOMVEN"));
}

void TfrmMenu::BlendedBitBtn1Click() {
    guardEvent([this] { AlteraGarcomPorItem(); });
}

void TfrmMenu::AlteraGarcomPorItem() {
    const auto mensagem = [this](const std::string& texto) {
        Mensagemqor::Mensagem(texto, "", "N", "N", tmErro, "", stEsquema, 0, nullptr);
    };
    const auto qs = [](const std::string& text) { return QString::fromStdString(text); };

    std::string retorno;
    if (!Gpe00002::VerificaAcesso(-1, stOperador, retorno)) Abort();
    // The new waiter's code of this run: kept from one use of the waiter keypad to the next.
    std::string stVendedor;

    std::string mesa;
    if (Gpe00002::TecladoNumerico(mesa, "Altera Garçom por Item", "Escolha o número da mesa",
                                  "Escolha o número da mesa", 4, 0, 0, 0, 0, 0))
        mesa = Consiste::Ajusta(mesa, 4);
    if (Consiste::EmptyString(mesa) || mesa == "0") Abort();

    cdsStatusMesaFecha.setData(
        Mensagemqor::MensagemMetodo(Srv_res00011::getStatusMesa(qs(stFilial), qs(stLoja), qs(stConfTela)), true, 0,
                                    "getStatusMesa", "Cli_Res00011", stFilial + "-" + stLoja + "-" + stConfTela,
                                    stEsquema)
            .toByteArray());
    // The typed text goes in as a quoted literal, quotes doubled, so that it can only ever be
    // compared with, never read as part of the expression.
    QString literal = qs(mesa);
    literal.replace(QLatin1Char('\''), QLatin1String("''"));
    cdsStatusMesaFecha.setFiltered(false);
    cdsStatusMesaFecha.setFilter(QStringLiteral("NRMESA = '%1'").arg(literal));
    cdsStatusMesaFecha.setFiltered(true);
    if (cdsStatusMesaFecha.IsEmpty() || cdsStatusMesaFechaIDSTMESAAUX->AsString() != QLatin1String("O")) {
        mensagem("Mesa não pode ser alterada.");
        Abort();
    }

    cdsComandaInd.setData(Mensagemqor::MensagemMetodo(Srv_res00011::getComandaInd(qs(mesa), qs(stFilial), qs(stLoja)),
                                                      true, 0, "getComandaInd", "Cli_Res00011",
                                                      mesa + "-" + stFilial + "-" + stLoja, stEsquema)
                              .toByteArray());
    cdsComandaInd.First();
    if (cdsComandaInd.Eof()) return;
    const std::string comanda = cdsComandaInd.FieldByName(QStringLiteral("NRCOMANDA")).AsString().toStdString();

    try {
        // "getitemMesa", "Cli_Res00420" and "002" are deliberate, unlike every other call here:
        // the item fetch is reported under the name, unit and schema that the wrapper's readers
        // know it by. Do not "correct" them.
        cdsProduto.setData(Mensagemqor::MensagemMetodo(
                               Srv_res00011::getItemMesa(qs(stFilial), qs(comanda), QStringLiteral("RES"), {}, {}, {}),
                               true, 0, "getitemMesa", "Cli_Res00420", stFilial + "-" + comanda + "-" + "RES", "002")
                               .toByteArray());
    } catch (const std::exception& e) {
        qCWarning(lcMenu).noquote() << "item list of ticket" << qs(comanda) << "of table" << qs(mesa)
                                    << "failed:" << e.what();
        mensagem(e.what());
        Abort();
    }
    if (cdsProduto.Eof()) return;

    for (;;) {
        if (!Gpe00002::Pesquisa(cdsProduto, 0, 0, 11776174, 13684686, 4407615, 8487297, 0)) return;
        for (;;) {
            if (!Gpe00002::TecladoNumerico(stVendedor, "Alterar Garçom", "Informe o numero do Garçom",
                                           "Informe o numero do Garçom", 4, 0, 0, 0, 0, 0))
                break;
            stVendedor = Consiste::Ajusta(stVendedor, 4);
            cdsGarcom.setData(
                Mensagemqor::MensagemMetodo(
                    Srv_res00011::getValidaGarcom(qs(stVendedor), qs(stFilial), qs(stCaixa), QStringLiteral("1")), true,
                    0, "getValidaGarcom", "Cli_Res00011", stVendedor + " - " + stFilial + " - " + stCaixa + " - " + "1",
                    stEsquema)
                    .toByteArray());
            if (cdsGarcom.IsEmpty()) {
                stVendedor.clear();
                mensagem("Garçom não encontrado");
                continue;
            }
            if (cdsProdutoCDVENDEDOR->AsString().toStdString() == stVendedor) {
                mensagem("Selecione um garçom diferente");
                continue;
            }
            const std::string produto = cdsProdutoCDPRODUTO->AsString().toStdString();
            const std::string itemComanda = cdsProdutoNRCOMANDA->AsString().toStdString();
            const std::string venda = cdsProdutoNRVENDAREST->AsString().toStdString();
            const std::string item = cdsProdutoNRPRODCOMVEN->AsString().toStdString();
            const bool alterado = Mensagemqor::MensagemMetodo(
                                      QVariant(Srv_res00011::setVendedorItem(qs(stVendedor), qs(stFilial), qs(produto),
                                                                             qs(itemComanda), qs(venda), qs(item))),
                                      true, 0, "setVendedorItem", "Cli_Res00011",
                                      "stVendedor" + stVendedor + "stFilial" + stFilial + "CDPRODUTO" + produto +
                                          "NRCOMANDA" + itemComanda + "NRVENDAREST" + venda + "NRPRODCOMVEN" + item,
                                      stEsquema)
                                      .toBool();
            if (!alterado) {
                qCWarning(lcMenu).noquote() << "waiter of item" << qs(item) << "of ticket" << qs(itemComanda)
                                            << "not changed to" << qs(stVendedor);
                mensagem("Não foi possivel alterar este item");
                continue;
            }
            cdsProduto.Edit();
            cdsProdutoCDVENDEDOR->setAsString(qs(stVendedor));
            cdsProduto.Post();

            bool todosDoGarcom = true;
            for (cdsProduto.First(); !cdsProduto.Eof(); cdsProduto.Next())
                todosDoGarcom = todosDoGarcom && cdsProdutoCDVENDEDOR->AsString().toStdString() == stVendedor;
            if (todosDoGarcom) {
                const std::string vendaAtual = cdsProdutoNRVENDAREST->AsString().toStdString();
                const std::string comandaAtual = cdsProdutoNRCOMANDA->AsString().toStdString();
                Mensagemqor::MensagemMetodo(
                    QVariant(Srv_res00011::setVendedorVenda(qs(stVendedor), qs(stFilial), qs(mesa), qs(vendaAtual))),
                    true, 0, "setVendedorVenda", "Cli_Res00011",
                    "stVendedor" + stVendedor + "stFilial" + stFilial + "NRCOMANDA" + comandaAtual + "NRVENDAREST" +
                        vendaAtual,
                    stEsquema);
            }
            break;
        }
    }
}

void TfrmMenu::FormKeyDown(int& key, Qt::KeyboardModifiers) {
    if (key == Qt::Key_F1 && boUtilizaImpFis) Gpe00002::RelFiscais();
    if (key == Qt::Key_Escape) lblSairClick();
}

void TfrmMenu::lblSairClick() {
    guardEvent([] {
        if (frmMenu) frmMenu->close();
    });
}

namespace Cli_res00011 {

void CriaMenuMesa(std::string stFilial, std::string stLoja, std::string stConfTela, std::string stArgConsulta) {
    if (boCriaMenu) throw std::logic_error("O menu de operações já está aberto.");
    const auto release = [] {
        delete rdmMenu;
        rdmMenu = nullptr;
        delete frmMenu;
        frmMenu = nullptr;
        boCriaMenu = false;
    };
    Screen::setCursor(Screen::crHourGlass);
    try {
        frmMenu = new TfrmMenu(nullptr);
        frmMenu->InicializaForm(stFilial, stLoja, stConfTela, stArgConsulta);
        boCriaMenu = true;
        Screen::showModal(*frmMenu);
        Screen::setCursor(Screen::crDefault);
    } catch (...) {
        qCWarning(lcMenu).noquote() << "the menu could not start:" << exceptionMessage(std::current_exception());
        release();
        // Not left on the hourglass after a failed start.
        Screen::setCursor(Screen::crDefault);
        throw;
    }
    release();
}

}  // namespace Cli_res00011

extern "C" void CriaMenuMesa(const char* stFilial, const char* stLoja, const char* stConfTela,
                             const char* stArgConsulta) {
    const auto text = [](const char* value) { return std::string(value ? value : ""); };
    Cli_res00011::CriaMenuMesa(text(stFilial), text(stLoja), text(stConfTela), text(stArgConsulta));
}
