// The data service on a connection string naming a primary and its standby: an update after
// the primary stopped and the standby was promoted (label "failover").
#include "support/PgTestServer.h"
#include "support/RestaurantRows.h"

#include "Srv_res00011.h"
#include "TADOQuery.h"

#include <gtest/gtest.h>

namespace {

using namespace menutest;

class FailoverDataModule : public ::testing::Test {
protected:
    void TearDown() override {
        delete Srv_res00011::rdmMenu;
        Srv_res00011::rdmMenu = nullptr;
        qunsetenv("QOR_CONNECTION");
        if (m_pair.failedOver()) m_pair.restart();
    }

    PgTestPair m_pair;
};

QString waiterOfItem(TADOConnection& connection) {
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(QStringLiteral("SELECT CDVENDEDOR FROM ITCOMANDAVEN WHERE NRVENDAREST = '0000000001'"));
    query.Open();
    return query.FieldByName("CDVENDEDOR").AsString();
}

TEST_F(FailoverDataModule, VendedorItemWritesOnThePromotedStandby) {
    const QString connectionString = m_pair.connectionString(QStringLiteral("failover_dm"), true);
    TADOConnection data;
    data.setConnectionString(connectionString);
    data.Open();
    createRestaurantSchema(data);
    data.Execute(
        QStringLiteral("BEGIN;\n") + insert(Product{.codigo = "0000000001", .nome = "Picanha"}) +
        insert(Sale{.venda = "0000000001", .mesa = "0012"}) +
        insert(Ticket{.venda = "0000000001", .comanda = "0000000001", .descricao = "PKR_0012"}) +
        insert(Item{.venda = "0000000001", .comanda = "0000000001", .item = "000001", .produto = "0000000001"}) +
        QStringLiteral("COMMIT;\n"));

    qputenv("QOR_CONNECTION", connectionString.toUtf8());
    Srv_res00011::rdmMenu = new TrdmMenu(nullptr);
    Srv_res00011::rdmMenu->adcMenu.setConnected(true);
    auto setWaiter = [](const char* waiter) {
        return Srv_res00011::setVendedorItem(QString::fromLatin1(waiter), QStringLiteral("0001"),
                                             QStringLiteral("0000000001"), QStringLiteral("0000000001"),
                                             QStringLiteral("0000000001"), QStringLiteral("000001"));
    };
    ASSERT_TRUE(setWaiter("0002"));

    m_pair.failOver();
    // The call that meets the connection gone answers false, as any failed update does; the
    // next one connects to the promoted standby.
    EXPECT_FALSE(setWaiter("0003"));
    EXPECT_TRUE(setWaiter("0004"));
    TADOConnection promoted;
    promoted.setConnectionString(connectionString);
    promoted.Open();
    EXPECT_EQ(waiterOfItem(promoted), QStringLiteral("0004"));
}

}  // namespace
