#pragma once
// The menu's data service: the data module TrdmMenu with the one connection, the statements,
// providers and update commands, its global instance rdmMenu, and the exported data functions.
// The data functions never raise: a query-backed one answers a data packet (QByteArray in the
// QVariant) or, after a failure, the error text (QString); an update answers a boolean.

#include "TADOCommand.h"
#include "TADOQuery.h"
#include "TADOSqlStorage.h"
#include "TClientDataSet.h"
#include "TDataSetProvider.h"

#include <QObject>
#include <QVariant>
#include <functional>

class TrdmMenu : public QObject {
    Q_OBJECT
public:
    // Creates every component with its settings, not connected, every parameter null.
    explicit TrdmMenu(QObject* owner = nullptr);
    ~TrdmMenu() override;

    // Components, in declaration order.
    TADOConnection adcMenu{QStringLiteral("adcMenu")};
    TDataSetProvider dspNrJuncao{QStringLiteral("dspNrJuncao")};
    TADOQuery adqNrJuncao{QStringLiteral("adqNrJuncao")};
    TADOSqlStorage assStatusMesa{QStringLiteral("assStatusMesa")};
    TDataSetProvider dspStatusMesa{QStringLiteral("dspStatusMesa")};
    TADOQuery adqStatusMesa{QStringLiteral("adqStatusMesa")};
    TADOQuery adqComandaVen{QStringLiteral("adqComandaVen")};
    TADOQuery adqItComandaJuncao{QStringLiteral("adqItComandaJuncao")};
    TDataSetProvider dspItComandaJuncao{QStringLiteral("dspItComandaJuncao")};
    TADOSqlStorage assItComandaJuncao{QStringLiteral("assItComandaJuncao")};
    TADOQuery adqItComanda{QStringLiteral("adqItComanda")};
    TDataSetProvider dspItComanda{QStringLiteral("dspItComanda")};
    TADOSqlStorage assItComanda{QStringLiteral("assItComanda")};
    TADOQuery adqComandaInd{QStringLiteral("adqComandaInd")};
    TDataSetProvider dspComandaInd{QStringLiteral("dspComandaInd")};
    TADOSqlStorage assComandaInd{QStringLiteral("assComandaInd")};
    TADOQuery adqValidaGarcom{QStringLiteral("adqValidaGarcom")};
    TDataSetProvider dspValidaGarcom{QStringLiteral("dspValidaGarcom")};
    TClientDataSet cdsGarcom{QStringLiteral("cdsGarcom")};
    TADOQuery adqExisteOperador{QStringLiteral("adqExisteOperador")};
    TADOQuery adqOperadorFilial{QStringLiteral("adqOperadorFilial")};
    TADOCommand acmUpdVendedor{QStringLiteral("acmUpdVendedor")};
    TADOCommand acmUpdVendedorVenda{QStringLiteral("acmUpdVendedorVenda")};

public Q_SLOTS:
    void adcMenuAfterConnect(TComponent* Sender);
    void adcMenuBeforeConnect(TComponent* Sender);
    // Bound to no event and called by nothing in the module, but part of the data module's
    // exported interface: a host may activate (connect) or deactivate it through them.
    void MtsDataModuleActivate(TComponent* Sender);
    void MtsDataModuleDeactivate(TComponent* Sender);
};

namespace Srv_res00011 {

// The one data module; exists only while the menu runs.
extern TrdmMenu* rdmMenu;

// The statement text of a component in a dialect ("oracle", "mssql", or "" for the one text
// of a statement without dialects), from the module's statement files; empty when none.
QString statementText(const QString& component, const QString& dialect = {});

// The frame of every query-backed data function: `prepare` binds the arguments on the data
// module (and opens the query, where the function does) and names the provider whose packet
// is the answer; any exception becomes the error text of ADOExceptionMessage instead, and is
// logged under "res.data" with `function`'s name. Nothing escapes.
QVariant runQueryFunction(const char* function, const std::function<TDataSetProvider&(TrdmMenu&)>& prepare);

// Exported data functions. The query-backed ones answer a data packet or the error text.
// Groupings of a store: NRJUNMESA.
QVariant getNrJuncao(const QString& stFilial, const QString& stLoja);
// Tables of a store shown by a screen configuration: NRMESA, NMMESA, CDSALA, IDSTMESAAUX.
QVariant getStatusMesa(const QString& stFilial, const QString& stLoja, const QString& stConfTela);
// Open order tickets of a table and of the tables grouped with it, by sale and ticket number.
QVariant getComandaInd(const QString& stNrMesa, const QString& stFilial, const QString& stLoja);
// Items: in mode "RES" those of the open tickets of the ticket's table and its grouping, in
// any other mode those of the one ticket; the three product codes are left out ("" leaves out
// none).
QVariant getItemMesa(const QString& stFilial, const QString& stNrComanda, const QString& stModo,
                     const QString& stCdProdConsum, const QString& stCdProdConsFem, const QString& stCdProdCouver);
// A waiter by code with its verdict in HABILITADO for a branch and cash register (mode "1"),
// or every waiter of an active operator for the code "T".
QVariant getValidaGarcom(const QString& stCdVendedor, const QString& stFilial, const QString& stCaixa,
                         const QString& stModo);
// Writes a new waiter on one item, or on one sale. True when the row was written; false when
// no row matched the keys (another terminal changed or removed it) or the database failed.
bool setVendedorItem(const QString& stCdVendedor, const QString& stFilial, const QString& stCdProduto,
                     const QString& stNrComanda, const QString& stNrVendaRest, const QString& stNrProdComVen);
bool setVendedorVenda(const QString& stCdVendedor, const QString& stFilial, const QString& stNrMesa,
                      const QString& stNrVendaRest);

}  // namespace Srv_res00011
