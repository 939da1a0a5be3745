// The journal's one-line descriptions, over a row of every kind written by the operations
// themselves (so that a key an operation journals under another name shows here), and the
// readers that find a row by its identity or number with the row that undid it.
#include "ItemsFixture.h"

#include "operations/JuntarMesas.h"
#include "operations/ReimprimePedido.h"
#include "operations/ReservarMesa.h"
#include "operations/SepararMesa.h"
#include "operations/TransferirLugar.h"
#include "operations/TransferirMesa.h"
#include "operations/TransferirProduto.h"
#include "store/Journal.h"

namespace {

using namespace opstest;

QDateTime at(int hour, int minute) { return QDateTime(QDate(2024, 6, 14), QTime(hour, minute)); }

class JournalDescribeTest : public ItemsTest {};

TEST_P(JournalDescribeTest, EveryKindReadsAsItsOperationsMessage) {
    fill(insert(Table{.mesa = "0016"}) + insert(Table{.mesa = "0017"}) + insert(Table{.mesa = "0018"}) +
         insert(Table{.mesa = "0020"}) + insert(Table{.mesa = "0021"}) +
         "UPDATE MESA SET IDSTMESAAUX = 'R' WHERE NRMESA = '0021';\n" + reservation(900, {"0020"}, "Costa", at(14, 0)));
    Gpe00002::PackageDatabase& db = *m_ops;
    const Gpe00002::Station& st = m_station;
    Gpe00002::transferirProduto(db, st, "0001", "0001", table("0011"), item("0011", "C1", "000001"), 1, table("0012"),
                                ticket("0012", "C3"));
    Gpe00002::transferirLugar(db, st, "0001", "0001", table("0011"), "02", items("0011"), table("0012"), "03",
                              ticket("0012", "C3"));
    Gpe00002::agruparMesas(db, st, "0001", "0001", {table("0011"), table("0012")});
    Gpe00002::agruparMesas(db, st, "0001", "0001", {table("0011"), table("0015")});
    Gpe00002::separarMesa(db, st, "0001", "0001", table("0015"));
    Gpe00002::separarMesa(db, st, "0001", "0001", table("0012"));
    Gpe00002::transferirMesa(db, st, "0001", "0001", table("0014"), table("0010"));
    Gpe00002::reservarMesas(db, st, "0001", "0001", {{"0017", "0016"}, "Família Souza", at(20, 0), "4"}, at(15, 0));
    Gpe00002::alterarReserva(db, st, "0001", "0001", 901, {{"0016", "0017"}, "", at(20, 30), "6"}, at(15, 1));
    Gpe00002::sentarReserva(db, st, "0001", "0001", 901, at(20, 25));
    Gpe00002::reservarMesas(db, st, "0001", "0001", {{"0018"}, "Lima", at(21, 0), "1"}, at(20, 26));
    Gpe00002::cancelarReserva(db, st, "0001", "0001", 902, at(20, 27));
    Gpe00002::liberarMesaReservada(db, st, "0001", "0001", table("0021"), at(20, 28));
    Gpe00002::journalReprint(db, st, Gpe00002::loadOrder(db, "0001", "0001", "0012"), "tcp:192.168.0.50:9100");
    std::vector<Gpe00002::JournalRow> rows = Gpe00002::journalOfDay(db, QDate::currentDate());
    ASSERT_EQ(rows.size(), 15u);
    const Gpe00002::JournalRow transfer = rows[6];
    db.transaction(QString(), [&] {
        Gpe00002::writeJournal(db, st, {"DESFAZER", "0001", "0001", "0014", "0010", {}, {}, {}, transfer.numero});
        Gpe00002::writeJournal(db, st, {"TROCAGARCOM", "0001", "0001", "0012", {}, "0000000003", {}, {}});
    });
    rows = Gpe00002::journalOfDay(db, QDate::currentDate());
    ASSERT_EQ(rows.size(), 17u);

    const QString n = QString::number(transfer.numero);
    const QStringList expected{
        "Transferido 1 × produto P1 (item 000001) da mesa 0011 para a mesa 0012, comanda C3",
        "Lugar 02 da mesa 0011 transferido para o lugar 03 da mesa 0012 (2 itens)",
        "Mesas 0011 e 0012 agrupadas no agrupamento 1",
        "Mesa 0015 incluída no agrupamento 1",
        "Mesa 0015 separada do agrupamento 1",
        "Mesa 0012 separada; o agrupamento 1 foi desfeito",
        "Mesa 0014 transferida para a mesa 0010",
        "Reserva de Costa encerrada sem comparecimento: a mesa 0020, em 14/06/2024 às 14:00, 4 pessoas (reserva 900)",
        "Mesas 0016 e 0017 reservadas para Família Souza, em 14/06/2024 às 20:00, 4 pessoas (reserva 901)",
        "Reserva de Família Souza alterada: as mesas 0016 e 0017, em 14/06/2024 às 20:30, 6 pessoas (reserva 901)",
        "Mesas 0016 e 0017 liberadas para os clientes da reserva de Família Souza, em 14/06/2024 às 20:30, 6 "
        "pessoas, no agrupamento 1 (reserva 901)",
        "Mesa 0018 reservada para Lima, em 14/06/2024 às 21:00, 1 pessoa (reserva 902)",
        "Reserva de Lima cancelada: a mesa 0018, em 14/06/2024 às 21:00, 1 pessoa (reserva 902)",
        "Reserva da mesa 0021 cancelada; a mesa está livre",
        "Pedido da mesa 0012 reimpresso (tcp:192.168.0.50:9100)",
        "Desfeita a operação " + n,
        "TROCAGARCOM: mesa 0012, agrupamento 3",
    };
    QStringList described;
    for (const Gpe00002::JournalRow& row : rows) described << Gpe00002::describeOperation(row);
    EXPECT_EQ(described.join('\n').toStdString(), expected.join('\n').toStdString());

    // The undo names what it undid; the readers find both rows by identity or number, each naming
    // the other.
    const Gpe00002::JournalRow& undo = rows[15];
    EXPECT_EQ(Gpe00002::describeOperation(undo, transfer),
              "Desfeita a operação " + n + " (Mesa 0014 transferida para a mesa 0010)");
    EXPECT_EQ(Gpe00002::describeOperation(undo, rows[0]), "Desfeita a operação " + n);
    for (const QString& id : {transfer.id, transfer.id.toUpper(), n, " " + n}) {
        const std::optional<Gpe00002::JournalRow> found = Gpe00002::journalRow(db, id);
        ASSERT_TRUE(found) << id.toStdString();
        EXPECT_EQ(found->operacao, "TRANSFMESA");
        EXPECT_EQ(found->desfeitaPor, undo.numero);
    }
    EXPECT_EQ(Gpe00002::journalRow(db, undo.id)->desfaz, transfer.numero);
    for (const QString& id : {QString("0"), QString("99999"), QString("not-an-id"), QString()})
        EXPECT_FALSE(Gpe00002::journalRow(db, id)) << id.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, JournalDescribeTest, ::testing::Values(Engine::SQLite), engineName);

}  // namespace
