#include "Srv_res00011.h"

#include "Geralqor.h"
#include "Qor_trelvix.h"

#include <QFile>

namespace Srv_res00011 {

TrdmMenu* rdmMenu = nullptr;

QString statementText(const QString& component, const QString& dialect) {
    const QString name = dialect.isEmpty() ? component : component + QLatin1Char('.') + dialect;
    QFile file(QStringLiteral(":/res00011/sql/%1.sql").arg(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

QVariant runQueryFunction(const std::function<TDataSetProvider&(TrdmMenu&)>& prepare) {
    try {
        if (!rdmMenu) throw EDatabaseError(QStringLiteral("o módulo de dados do menu não foi criado"));
        return QVariant(prepare(*rdmMenu).GetData());
    } catch (const std::exception& e) {
        if (!rdmMenu) return QVariant(QStringLiteral("Erro de banco de dados: %1").arg(QString::fromUtf8(e.what())));
        return QVariant(QString::fromStdString(Qor_trelvix::ADOExceptionMessage(e, rdmMenu->adcMenu, "")));
    } catch (...) {
        return QVariant(QStringLiteral("Erro desconhecido ao consultar o banco de dados"));
    }
}

QVariant getNrJuncao(const QString& stFilial, const QString& stLoja) {
    return runQueryFunction([&](TrdmMenu& dm) -> TDataSetProvider& {
        TParameters& parameters = dm.adqNrJuncao.Parameters();
        parameters.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(stFilial);
        parameters.ParamByName(QStringLiteral("P_CDLOJA")).setValue(stLoja);
        return dm.dspNrJuncao;
    });
}

QVariant getStatusMesa(const QString& stFilial, const QString& stLoja, const QString& stConfTela) {
    return runQueryFunction([&](TrdmMenu& dm) -> TDataSetProvider& {
        TParameters& parameters = dm.adqStatusMesa.Parameters();
        parameters.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(stFilial);
        parameters.ParamByName(QStringLiteral("P_CDLOJA")).setValue(stLoja);
        parameters.ParamByName(QStringLiteral("P_NRCONFTELA")).setValue(stConfTela);
        return dm.dspStatusMesa;
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
