#include "Srv_res00011.h"

#include "Geralqor.h"
#include "Qor_trelvix.h"
#include "Srv_consiste.h"

#include <QFile>
#include <QLoggingCategory>

// The data module's failures, each with its cause: what the menu turns into a message or a
// false answer. Shown by default; the connects are the database layer's ("res.db").
Q_LOGGING_CATEGORY(lcData, "res.data", QtWarningMsg)

namespace Srv_res00011 {

TrdmMenu* rdmMenu = nullptr;

QString statementText(const QString& component, const QString& dialect) {
    const QString name = dialect.isEmpty() ? component : component + QLatin1Char('.') + dialect;
    QFile file(QStringLiteral(":/res00011/sql/%1.sql").arg(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

namespace {

// Runs the body of a query-backed data function on the data module; any exception becomes the
// error text in place of the packet.
QVariant answerOrErrorText(const char* function, const std::function<QVariant(TrdmMenu&)>& body) {
    try {
        if (!rdmMenu) throw EDatabaseError(QStringLiteral("o módulo de dados do menu não foi criado"));
        return body(*rdmMenu);
    } catch (const std::exception& e) {
        qCWarning(lcData).noquote() << function << "failed:" << e.what();
        if (!rdmMenu) return QVariant(QStringLiteral("Erro de banco de dados: %1").arg(QString::fromUtf8(e.what())));
        return QVariant(QString::fromStdString(Qor_trelvix::ADOExceptionMessage(e, rdmMenu->adcMenu, "")));
    } catch (...) {
        qCWarning(lcData).noquote() << function << "failed with an unknown exception";
        return QVariant(QStringLiteral("Erro desconhecido ao consultar o banco de dados"));
    }
}

}  // namespace

QVariant runQueryFunction(const char* function, const std::function<TDataSetProvider&(TrdmMenu&)>& prepare) {
    return answerOrErrorText(function, [&](TrdmMenu& dm) { return QVariant(prepare(dm).GetData()); });
}

QVariant getNrJuncao(const QString& stFilial, const QString& stLoja) {
    return runQueryFunction("getNrJuncao", [&](TrdmMenu& dm) -> TDataSetProvider& {
        TParameters& parameters = dm.adqNrJuncao.Parameters();
        parameters.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(stFilial);
        parameters.ParamByName(QStringLiteral("P_CDLOJA")).setValue(stLoja);
        return dm.dspNrJuncao;
    });
}

QVariant getStatusMesa(const QString& stFilial, const QString& stLoja, const QString& stConfTela) {
    return runQueryFunction("getStatusMesa", [&](TrdmMenu& dm) -> TDataSetProvider& {
        TParameters& parameters = dm.adqStatusMesa.Parameters();
        parameters.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(stFilial);
        parameters.ParamByName(QStringLiteral("P_CDLOJA")).setValue(stLoja);
        parameters.ParamByName(QStringLiteral("P_NRCONFTELA")).setValue(stConfTela);
        return dm.dspStatusMesa;
    });
}

namespace {

// Binds a parameter as an 8-bit text. A text of valid UTF-16 reads back from its 8-bit form
// unchanged, so it is bound as it is, without the two conversions.
void bind8(TParameters& parameters, const QString& name, const QString& value) {
    TParameter& parameter = parameters.ParamByName(name);
    if (!value.isEmpty() && value.isValidUtf16())
        parameter.setValue(value);
    else
        parameter.setAsString(value.toStdString());
}

// A product code to leave out: the empty text stands for none, which no product code is.
QString productToLeaveOut(const QString& code) { return code.isEmpty() ? QStringLiteral("X") : code; }

}  // namespace

QVariant getComandaInd(const QString& stNrMesa, const QString& stFilial, const QString& stLoja) {
    return runQueryFunction("getComandaInd", [&](TrdmMenu& dm) -> TDataSetProvider& {
        TParameters& parameters = dm.adqComandaInd.Parameters();
        bind8(parameters, QStringLiteral("P_NRMESA"), stNrMesa);
        bind8(parameters, QStringLiteral("P_CDFILIAL"), stFilial);
        bind8(parameters, QStringLiteral("P_CDLOJA"), stLoja);
        return dm.dspComandaInd;
    });
}

QVariant getItemMesa(const QString& stFilial, const QString& stNrComanda, const QString& stModo,
                     const QString& stCdProdConsum, const QString& stCdProdConsFem, const QString& stCdProdCouver) {
    return runQueryFunction("getItemMesa", [&](TrdmMenu& dm) -> TDataSetProvider& {
        const auto bindProducts = [&](TParameters& parameters) {
            bind8(parameters, QStringLiteral("P_CDPRODCONSUM"), productToLeaveOut(stCdProdConsum));
            bind8(parameters, QStringLiteral("P_CDPRODCONSFEM"), productToLeaveOut(stCdProdConsFem));
            bind8(parameters, QStringLiteral("P_CDPRODCOUVER"), productToLeaveOut(stCdProdCouver));
        };
        if (stModo == QLatin1String("RES")) {
            dm.adqComandaVen.Close();
            bind8(dm.adqComandaVen.Parameters(), QStringLiteral("P_CDFILIAL"), stFilial);
            bind8(dm.adqComandaVen.Parameters(), QStringLiteral("P_NRCOMANDA"), stNrComanda);
            dm.adqComandaVen.Open();
            // Ticket numbers come round again: a number also found in closed sales stands for
            // the ticket of the open sale. Without an open one, the first row found counts.
            for (dm.adqComandaVen.First(); !dm.adqComandaVen.Eof(); dm.adqComandaVen.Next())
                if (dm.adqComandaVen.FieldByName(QStringLiteral("DTHRFECHMESA")).IsNull()) break;
            if (dm.adqComandaVen.Eof()) dm.adqComandaVen.First();
            TParameters& parameters = dm.adqItComandaJuncao.Parameters();
            bind8(parameters, QStringLiteral("P_CDFILIAL"), stFilial);
            bind8(parameters, QStringLiteral("P_CDLOJA"),
                  dm.adqComandaVen.FieldByName(QStringLiteral("CDLOJA")).AsString());
            bind8(parameters, QStringLiteral("P_NRMESA"),
                  dm.adqComandaVen.FieldByName(QStringLiteral("NRMESA")).AsString());
            bindProducts(parameters);
            return dm.dspItComandaJuncao;
        }
        dm.adqItComanda.Close();
        TParameters& parameters = dm.adqItComanda.Parameters();
        bind8(parameters, QStringLiteral("P_CDFILIAL"), stFilial);
        bind8(parameters, QStringLiteral("P_NRCOMANDA"), stNrComanda);
        bindProducts(parameters);
        dm.adqItComanda.Open();
        return dm.dspItComanda;
    });
}

namespace {

// The one-row answer of getValidaGarcom: the waiter of the query's current row, with a verdict.
void answerWithVerdict(TrdmMenu& dm, const QString& verdict) {
    static const QString copied[] = {QStringLiteral("CDVENDEDOR"), QStringLiteral("NMFANVEN"),
                                     QStringLiteral("CDOPERADOR"), QStringLiteral("CDFILIAL"),
                                     QStringLiteral("CDCAIXA")};
    dm.cdsGarcom.Append();
    for (const QString& name : copied)
        dm.cdsGarcom.FieldByName(name).setAsStringFrom(dm.adqValidaGarcom.FieldByName(name));
    dm.cdsGarcom.FieldByName(QStringLiteral("HABILITADO")).setAsString(verdict);
    dm.cdsGarcom.Post();
}

}  // namespace

QVariant getValidaGarcom(const QString& stCdVendedor, const QString& stFilial, const QString& stCaixa,
                         const QString& stModo) {
    return answerOrErrorText("getValidaGarcom", [&](TrdmMenu& dm) {
        dm.adqValidaGarcom.Close();
        dm.adqValidaGarcom.Parameters().ParamByName(QStringLiteral("P_CDVENDEDOR")).setValue(stCdVendedor);
        dm.adqValidaGarcom.Open();
        dm.cdsGarcom.Close();
        dm.cdsGarcom.CreateDataSet();
        if (dm.adqValidaGarcom.IsEmpty()) return QVariant(dm.cdsGarcom.Data());
        if (stCdVendedor == QLatin1String("T")) return QVariant(dm.dspValidaGarcom.GetData());

        const auto verdict = [&dm](const QString& letter) {
            answerWithVerdict(dm, letter);
            return QVariant(dm.cdsGarcom.Data());
        };
        if (stModo != QLatin1String("1")) return verdict(QStringLiteral("S"));
        const QString filial = dm.adqValidaGarcom.FieldByName(QStringLiteral("CDFILIAL")).AsString();
        if (filial != stFilial && !Srv_consiste::EmptyString(filial.toStdString())) return verdict(QStringLiteral("F"));
        const QString caixa = dm.adqValidaGarcom.FieldByName(QStringLiteral("CDCAIXA")).AsString();
        if (caixa != stCaixa && !Srv_consiste::EmptyString(caixa.toStdString())) return verdict(QStringLiteral("C"));
        if (!Srv_consiste::EmptyString(filial.toStdString())) return verdict(QStringLiteral("S"));

        dm.adqExisteOperador.Close();
        dm.adqExisteOperador.Parameters()
            .ParamByName(QStringLiteral("P_CDOPERADOR"))
            .setValue(dm.adqValidaGarcom.FieldByName(QStringLiteral("CDOPERADOR")).AsString());
        dm.adqExisteOperador.Open();
        if (dm.adqExisteOperador.IsEmpty()) return verdict(QStringLiteral("O"));

        dm.adqOperadorFilial.Close();
        const std::string operador =
            dm.adqExisteOperador.FieldByName(QStringLiteral("CDOPERADOR")).AsString().toStdString();
        dm.adqOperadorFilial.Parameters()
            .ParamByName(QStringLiteral("P_CDOPERADOR"))
            .setAsString(Srv_consiste::Ajusta(operador, 12));
        dm.adqOperadorFilial.Parameters().ParamByName(QStringLiteral("P_CDFILIAL")).setValue(stFilial);
        dm.adqOperadorFilial.Open();
        return verdict(dm.adqOperadorFilial.FieldByName(QStringLiteral("OPERFILIAL")).Value() == QVariant(0)
                           ? QStringLiteral("N")
                           : QStringLiteral("S"));
    });
}

namespace {

// Runs an update; true only when it wrote a row. A statement that matched nothing is a
// failure too: the row it was meant for is gone or no longer has those keys.
bool runUpdate(const char* function, const std::function<TADOCommand&(TrdmMenu&)>& bind) {
    try {
        if (!rdmMenu) {
            qCWarning(lcData).noquote() << function << "failed: the data module does not exist";
            return false;
        }
        TADOCommand& command = bind(*rdmMenu);
        if (command.Execute() > 0) return true;
        qCWarning(lcData).noquote() << function << "changed no row: no row has these keys (any more)";
        return false;
    } catch (const std::exception& e) {
        qCWarning(lcData).noquote() << function << "failed:" << e.what();
        return false;
    } catch (...) {
        qCWarning(lcData).noquote() << function << "failed with an unknown exception";
        return false;
    }
}

}  // namespace

bool setVendedorItem(const QString& stCdVendedor, const QString& stFilial, const QString& stCdProduto,
                     const QString& stNrComanda, const QString& stNrVendaRest, const QString& stNrProdComVen) {
    return runUpdate("setVendedorItem", [&](TrdmMenu& dm) -> TADOCommand& {
        TParameters& parameters = dm.acmUpdVendedor.Parameters();
        bind8(parameters, QStringLiteral("P_CDVENDEDOR"), stCdVendedor);
        bind8(parameters, QStringLiteral("P_CDFILIAL"), stFilial);
        bind8(parameters, QStringLiteral("P_CDPRODUTO"), stCdProduto);
        bind8(parameters, QStringLiteral("P_NRCOMANDA"), stNrComanda);
        bind8(parameters, QStringLiteral("P_NRVENDAREST"), stNrVendaRest);
        bind8(parameters, QStringLiteral("P_NRPRODCOMVEN"), stNrProdComVen);
        return dm.acmUpdVendedor;
    });
}

bool setVendedorVenda(const QString& stCdVendedor, const QString& stFilial, const QString& stNrMesa,
                      const QString& stNrVendaRest) {
    return runUpdate("setVendedorVenda", [&](TrdmMenu& dm) -> TADOCommand& {
        TParameters& parameters = dm.acmUpdVendedorVenda.Parameters();
        bind8(parameters, QStringLiteral("P_CDVENDEDOR"), stCdVendedor);
        bind8(parameters, QStringLiteral("P_CDFILIAL"), stFilial);
        bind8(parameters, QStringLiteral("P_NRMESA"), stNrMesa);
        bind8(parameters, QStringLiteral("P_NRVENDAREST"), stNrVendaRest);
        return dm.acmUpdVendedorVenda;
    });
}

}  // namespace Srv_res00011

namespace {

// The settings shared by the queries: the one connection, numbers as floats.
void setUpQuery(TADOQuery& query, TADOConnection& connection, TCursorType cursor, TADOLockType lock) {
    query.setConnection(&connection);
    query.setCursorType(cursor);
    query.setLockType(lock);
    query.setEnableBCD(false);
}

void setUpStorage(TADOSqlStorage& storage, TADOQuery& query) {
    storage.setSQLORACLE(Srv_res00011::statementText(query.Name(), QStringLiteral("oracle")));
    storage.setSQLMSSQL(Srv_res00011::statementText(query.Name(), QStringLiteral("mssql")));
    storage.setADOQuery(&query);
}

void setUpProvider(TDataSetProvider& provider, TDataSet& dataSet) {
    provider.setDataSet(&dataSet);
    provider.setConstraints(true);
}

// The item fields of the two item queries, in the order the packets carry them.
void addItemFields(TADOQuery& query) {
    struct Field {
        const char* name;
        TFieldType type;
        int size;
    };
    static const Field fields[] = {
        {"NRPRODCOMVEN", TFieldType::ftString, 6},  {"QTPRODCOMVEN", TFieldType::ftFloat, 0},
        {"VRPRECCOMVEN", TFieldType::ftFloat, 0},   {"TXPRODCOMVEN", TFieldType::ftString, 2000},
        {"IDSTPRCOMVEN", TFieldType::ftString, 1},  {"VRDESCCOMVEN", TFieldType::ftFloat, 0},
        {"CDARVPROD", TFieldType::ftString, 20},    {"NMPRODUTO", TFieldType::ftString, 50},
        {"CDPRODUTO", TFieldType::ftString, 10},    {"DTHRINCOMVEN", TFieldType::ftDateTime, 0},
        {"NRCOMANDA", TFieldType::ftString, 10},    {"IDPRODIMPFIS", TFieldType::ftString, 1},
        {"NRSEQPRODCOM", TFieldType::ftString, 3},  {"VRACRCOMVEN", TFieldType::ftFloat, 0},
        {"VRACRCOMANDA", TFieldType::ftFloat, 0},   {"IDPESAPROD", TFieldType::ftString, 1},
        {"DSCOMANDAORI", TFieldType::ftString, 10}, {"NRPRODCOMORI", TFieldType::ftString, 6},
        {"NRCOMANDAORI", TFieldType::ftString, 10}, {"CDVENDEDOR", TFieldType::ftString, 4},
        {"NRVENDAREST", TFieldType::ftString, 10},  {"NRLUGARMESA", TFieldType::ftString, 4},
        {"IDCHECK", TFieldType::ftString, 1},       {"NRSEQBENECONSIT", TFieldType::ftString, 10},
    };
    for (const Field& field : fields) {
        TField& added = query.AddField(QString::fromLatin1(field.name), field.type, field.size);
        if (added.FieldName() == QLatin1String("NMPRODUTO")) added.setReadOnly(true);
    }
}

}  // namespace

TrdmMenu::TrdmMenu(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("rdmMenu"));

    adcMenu.setLoginPrompt(false);
    // Kept as the data module has always declared it, for whoever reads the component's
    // settings; it is only used when the connection string names no Provider, and no driver
    // answers to it, so that such a string fails with a clear message.
    adcMenu.setProvider(QStringLiteral("MSDAORA.1"));
    adcMenu.BeforeConnect = [this](TComponent* sender) { adcMenuBeforeConnect(sender); };
    adcMenu.AfterConnect = [this](TComponent* sender) { adcMenuAfterConnect(sender); };

    setUpProvider(dspNrJuncao, adqNrJuncao);
    setUpQuery(adqNrJuncao, adcMenu, TCursorType::ctStatic, adqNrJuncao.LockType());
    adqNrJuncao.setSQL(Srv_res00011::statementText(adqNrJuncao.Name()));

    setUpStorage(assStatusMesa, adqStatusMesa);
    setUpProvider(dspStatusMesa, adqStatusMesa);
    setUpQuery(adqStatusMesa, adcMenu, adqStatusMesa.CursorType(), TADOLockType::ltReadOnly);

    setUpQuery(adqComandaVen, adcMenu, adqComandaVen.CursorType(), TADOLockType::ltReadOnly);
    adqComandaVen.setSQL(Srv_res00011::statementText(adqComandaVen.Name()));

    addItemFields(adqItComandaJuncao);
    setUpQuery(adqItComandaJuncao, adcMenu, TCursorType::ctStatic, TADOLockType::ltReadOnly);
    setUpProvider(dspItComandaJuncao, adqItComandaJuncao);
    setUpStorage(assItComandaJuncao, adqItComandaJuncao);

    addItemFields(adqItComanda);
    setUpQuery(adqItComanda, adcMenu, TCursorType::ctStatic, TADOLockType::ltReadOnly);
    setUpProvider(dspItComanda, adqItComanda);
    setUpStorage(assItComanda, adqItComanda);

    setUpQuery(adqComandaInd, adcMenu, adqComandaInd.CursorType(), TADOLockType::ltReadOnly);
    setUpProvider(dspComandaInd, adqComandaInd);
    setUpStorage(assComandaInd, adqComandaInd);

    setUpQuery(adqValidaGarcom, adcMenu, adqValidaGarcom.CursorType(), TADOLockType::ltReadOnly);
    adqValidaGarcom.setSQL(Srv_res00011::statementText(adqValidaGarcom.Name()));
    setUpProvider(dspValidaGarcom, adqValidaGarcom);

    cdsGarcom.AddField(QStringLiteral("CDVENDEDOR"), TFieldType::ftString, 4);
    cdsGarcom.AddField(QStringLiteral("NMFANVEN"), TFieldType::ftString, 50);
    cdsGarcom.AddField(QStringLiteral("CDOPERADOR"), TFieldType::ftString, 12);
    cdsGarcom.AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    cdsGarcom.AddField(QStringLiteral("CDCAIXA"), TFieldType::ftString, 3);
    cdsGarcom.AddField(QStringLiteral("HABILITADO"), TFieldType::ftString, 1);

    setUpQuery(adqExisteOperador, adcMenu, adqExisteOperador.CursorType(), TADOLockType::ltReadOnly);
    adqExisteOperador.setSQL(Srv_res00011::statementText(adqExisteOperador.Name()));
    setUpQuery(adqOperadorFilial, adcMenu, adqOperadorFilial.CursorType(), TADOLockType::ltReadOnly);
    adqOperadorFilial.setSQL(Srv_res00011::statementText(adqOperadorFilial.Name()));

    acmUpdVendedor.setConnection(&adcMenu);
    acmUpdVendedor.setCommandTimeout(0);
    acmUpdVendedor.setCommandText(Srv_res00011::statementText(acmUpdVendedor.Name()));
    acmUpdVendedorVenda.setConnection(&adcMenu);
    acmUpdVendedorVenda.setCommandTimeout(0);
    acmUpdVendedorVenda.setCommandText(Srv_res00011::statementText(acmUpdVendedorVenda.Name()));
}

TrdmMenu::~TrdmMenu() {
    // The components go in reverse order of declaration; the connection, declared first,
    // closes last.
    adcMenu.BeforeConnect = nullptr;
    adcMenu.AfterConnect = nullptr;
}

void TrdmMenu::adcMenuBeforeConnect(TComponent*) {
    adcMenu.setConnectionString(QString::fromStdString(Geralqor::_GetStringConexQor("")));
}

void TrdmMenu::adcMenuAfterConnect(TComponent*) { Qor_trelvix::SetADODBSession(adcMenu); }

void TrdmMenu::MtsDataModuleActivate(TComponent*) { Qor_trelvix::TryConnect(adcMenu); }

void TrdmMenu::MtsDataModuleDeactivate(TComponent*) { adcMenu.setConnected(false); }
