// Undoing an operation, on both engines: every undoable kind puts back exactly the rows it changed,
// is refused naming what changed since (changing nothing), is done at most once, and two terminals
// undoing the same operation at once end with one undo.
#include "ItemsFixture.h"

#include "operations/Desfazer.h"
#include "operations/JuntarMesas.h"
#include "operations/ReservarMesa.h"
#include "operations/SepararMesa.h"
#include "operations/TransferirLugar.h"
#include "operations/TransferirMesa.h"
#include "operations/TransferirProduto.h"
#include "store/Journal.h"

namespace {

using namespace opstest;

class DesfazerTest : public ItemsTest {
protected:
    void SetUp() override {
        ItemsTest::SetUp();
        if (HasFatalFailure()) return;
        // Grouping 1: 0011, 0012, 0014; grouping 2: 0017, 0018. Reservation 5 on 0021 tomorrow;
        // 6 on 0023, 7 on 0024 and 0025, 9 on 0017 and 0019 held now; 0026 reserved without a
        // reservation.
        const QDateTime now = QDateTime::currentDateTime();
        m_soon = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())).addSecs(30 * 60);
        m_tomorrow = m_soon.addDays(1);
        QString sql;
        for (const auto& [mesa, estado] : {std::pair{"0016", "L"},
                                           {"0017", "R"},
                                           {"0018", "L"},
                                           {"0019", "R"},
                                           {"0020", "L"},
                                           {"0021", "L"},
                                           {"0022", "L"},
                                           {"0023", "R"},
                                           {"0024", "R"},
                                           {"0025", "R"},
                                           {"0026", "R"}})
            sql += insert(Table{.mesa = mesa, .estado = estado});
        sql += juncaoMesa("0001", "0001", "0000000001") + juncaoMesa("0001", "0001", "0000000002");
        for (const char* mesa : {"0011", "0012", "0014"}) sql += mesaJuncao("0001", "0001", "0000000001", mesa);
        for (const char* mesa : {"0017", "0018"}) sql += mesaJuncao("0001", "0001", "0000000002", mesa);
        sql += reservation(5, {"0021"}, "Lima", m_tomorrow) + reservation(6, {"0023"}, "Costa", m_soon) +
               reservation(7, {"0024", "0025"}, "Souza", m_soon) + reservation(9, {"0017", "0019"}, "Dias", m_soon);
        fill(sql);
    }

    // Every row of every table an undoable operation touches, each column as text.
    Rows snapshot() {
        Rows rows;
        for (const char* sql :
             {"SELECT * FROM MESA ORDER BY NRMESA", "SELECT * FROM JUNCAOMESA ORDER BY NRJUNMESA",
              "SELECT * FROM MESAJUNCAO ORDER BY NRJUNMESA, NRMESA", "SELECT * FROM VENDAREST ORDER BY NRVENDAREST",
              "SELECT * FROM COMANDAVEN ORDER BY NRVENDAREST, NRCOMANDA",
              "SELECT * FROM ITCOMANDAVEN ORDER BY NRVENDAREST, NRCOMANDA, NRPRODCOMVEN",
              "SELECT * FROM GPERESERVA ORDER BY NRRESERVA", "SELECT * FROM GPERESERVAMESA ORDER BY NRRESERVA, NRMESA"})
            for (Row row : select(QString::fromLatin1(sql))) {
                row.insert(row.begin(), sql);
                rows.push_back(std::move(row));
            }
        return rows;
    }

    // The journal's last row: its number and operation.
    std::pair<QString, std::string> lastJournal() {
        const Row row = select("SELECT NRJORNAL, IDOPERACAO FROM GPEJORNAL ORDER BY NRJORNAL DESC").at(0);
        return {QString::fromStdString(row[0]), row[1]};
    }

    QString undo(const QString& id) { return compact(Gpe00002::desfazerOperacao(*m_ops, m_station, id)); }

    Gpe00002::PedidoReserva pedido(const QStringList& mesas, const QDateTime& at) {
        return {mesas, QStringLiteral("Novo"), at, QStringLiteral("4")};
    }

    struct Case {
        const char* name;
        const char* kind;
        std::function<QJsonObject()> operation;
        // A change another terminal makes afterwards, the refusal it causes (%1: a reservation
        // the operation made) and the change reverted.
        QString change;
        QString refusal;
        QString revert;
    };
    std::vector<Case> cases() {
        const QString f = "0001", l = "0001";
        return {
            {"new grouping", "AGRUPAR",
             [=, this] {
                 return Gpe00002::agruparMesas(*m_ops, m_station, f, l, {table("0016"), table("0019")});
             },
             "INSERT INTO MESAJUNCAO VALUES ('0001', '0001', '0000000003', '0010')",
             "o agrupamento 3 foi alterado depois", "DELETE FROM MESAJUNCAO WHERE NRMESA = '0010'"},
            {"joining a grouping", "AGRUPAR",
             [=, this] {
                 return Gpe00002::agruparMesas(*m_ops, m_station, f, l, {table("0011"), table("0010")});
             },
             "DELETE FROM MESAJUNCAO WHERE NRMESA = '0012'", "o agrupamento 1 foi alterado depois",
             "INSERT INTO MESAJUNCAO VALUES ('0001', '0001', '0000000001', '0012')"},
            {"separating from a grouping", "SEPARAR",
             [=, this] { return Gpe00002::separarMesa(*m_ops, m_station, f, l, table("0014")); },
             "INSERT INTO MESAJUNCAO VALUES ('0001', '0001', '0000000002', '0014')", "a mesa 0014 foi alterada depois",
             "DELETE FROM MESAJUNCAO WHERE NRJUNMESA = '0000000002' AND NRMESA = '0014'"},
            {"separating the last two", "SEPARAR",
             [=, this] { return Gpe00002::separarMesa(*m_ops, m_station, f, l, table("0017")); },
             "INSERT INTO JUNCAOMESA VALUES ('0001', '0001', '0000000002')", "o agrupamento 2 foi alterado depois",
             "DELETE FROM JUNCAOMESA WHERE NRJUNMESA = '0000000002'"},
            {"grouped table", "TRANSFMESA",
             [=, this] { return Gpe00002::transferirMesa(*m_ops, m_station, f, l, table("0011"), table("0010")); },
             "UPDATE MESA SET IDSTMESAAUX = 'P' WHERE NRMESA = '0011'", "a mesa 0011 foi alterada depois",
             "UPDATE MESA SET IDSTMESAAUX = 'L' WHERE NRMESA = '0011'"},
            {"table", "TRANSFMESA",
             [=, this] { return Gpe00002::transferirMesa(*m_ops, m_station, f, l, table("0015"), table("0016")); },
             "UPDATE VENDAREST SET NRMESA = '0019' WHERE NRVENDAREST = 'V15'", "a mesa 0016 foi alterada depois",
             "UPDATE VENDAREST SET NRMESA = '0016' WHERE NRVENDAREST = 'V15'"},
            {"whole product", "TRANSFPRODUTO",
             [=, this] {
                 return Gpe00002::transferirProduto(*m_ops, m_station, f, l, table("0011"),
                                                    item("0011", "C1", "000001"), 3, table("0012"),
                                                    ticket("0012", "C3"));
             },
             "UPDATE ITCOMANDAVEN SET QTPRODCOMVEN = 2 WHERE NRCOMANDA = 'C3' AND NRPRODCOMVEN = '000008'",
             "o item 000008 foi alterado depois",
             "UPDATE ITCOMANDAVEN SET QTPRODCOMVEN = 3 WHERE NRCOMANDA = 'C3' AND NRPRODCOMVEN = '000008'"},
            {"part of a product", "TRANSFPRODUTO",
             [=, this] {
                 return Gpe00002::transferirProduto(*m_ops, m_station, f, l, table("0011"),
                                                    item("0011", "C1", "000001"), 1, table("0015"),
                                                    ticket("0015", "C5"));
             },
             "UPDATE ITCOMANDAVEN SET NRLUGARMESA = '09' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000001'",
             "o item 000001 foi alterado depois",
             "UPDATE ITCOMANDAVEN SET NRLUGARMESA = '01' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000001'"},
            {"seat on its table", "TRANSFLUGAR",
             [=, this] {
                 return Gpe00002::transferirLugar(*m_ops, m_station, f, l, table("0011"), "02", items("0011"),
                                                  table("0011"), "05", std::nullopt);
             },
             "UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0009' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000003'",
             "o item 000003 foi alterado depois",
             "UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0001' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000003'"},
            {"seat to another table", "TRANSFLUGAR",
             [=, this] {
                 return Gpe00002::transferirLugar(*m_ops, m_station, f, l, table("0011"), "02", items("0011"),
                                                  table("0012"), "0001", ticket("0012", "C3"));
             },
             // A new item takes the number the move freed.
             "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) VALUES ('0001', 'V11', "
             "'C1', '000003')",
             "o item 000003 foi alterado depois",
             "DELETE FROM ITCOMANDAVEN WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000003'"},
            {"reservation held now", "RESERVAR",
             [=, this] {
                 return Gpe00002::reservarMesas(*m_ops, m_station, f, l, pedido({"0020"}, m_soon),
                                                QDateTime::currentDateTime());
             },
             "UPDATE GPERESERVA SET NRPESSOAS = '9' WHERE NMCLIENTE = 'Novo'", "a reserva %1 foi alterada depois",
             "UPDATE GPERESERVA SET NRPESSOAS = '4' WHERE NMCLIENTE = 'Novo'"},
            {"reservation changed", "ALTRESERVA",
             [=, this] {
                 return Gpe00002::alterarReserva(*m_ops, m_station, f, l, 5, pedido({"0022"}, m_soon),
                                                 QDateTime::currentDateTime());
             },
             // Another reservation in the period it had.
             reservation(8, {"0021"}, "Reis", m_tomorrow), "a mesa 0021 foi alterada depois",
             "DELETE FROM GPERESERVAMESA WHERE NRRESERVA = 8; DELETE FROM GPERESERVA WHERE NRRESERVA = 8"},
            {"reservation cancelled", "CANCRESERVA",
             [=, this] { return Gpe00002::cancelarReserva(*m_ops, m_station, f, l, 6, QDateTime::currentDateTime()); },
             "UPDATE GPERESERVA SET NRTELEFONE = '555' WHERE NRRESERVA = 6", "a reserva 6 foi alterada depois",
             "UPDATE GPERESERVA SET NRTELEFONE = NULL WHERE NRRESERVA = 6"},
            {"table reserved without a reservation freed", "CANCRESERVA",
             [=, this] {
                 return Gpe00002::liberarMesaReservada(*m_ops, m_station, f, l, table("0026"),
                                                       QDateTime::currentDateTime());
             },
             "UPDATE MESA SET IDSTMESAAUX = 'O' WHERE NRMESA = '0026'", "a mesa 0026 foi alterada depois",
             "UPDATE MESA SET IDSTMESAAUX = 'L' WHERE NRMESA = '0026'"},
            {"party seated", "SENTARRESERVA",
             [=, this] { return Gpe00002::sentarReserva(*m_ops, m_station, f, l, 7, QDateTime::currentDateTime()); },
             "UPDATE MESA SET IDSTMESAAUX = 'O' WHERE NRMESA = '0025'", "a mesa 0025 foi alterada depois",
             "UPDATE MESA SET IDSTMESAAUX = 'L' WHERE NRMESA = '0025'"},
            {"party joining a grouping", "SENTARRESERVA",
             [=, this] { return Gpe00002::sentarReserva(*m_ops, m_station, f, l, 9, QDateTime::currentDateTime()); },
             "DELETE FROM MESAJUNCAO WHERE NRMESA = '0018'", "o agrupamento 2 foi alterado depois",
             "INSERT INTO MESAJUNCAO VALUES ('0001', '0001', '0000000002', '0018')"},
        };
    }

    static QString reservationId(const QJsonObject& result) {
        return QString::number(result.value("reservation").toObject().value("id").toInteger());
    }

    QDateTime m_soon, m_tomorrow;
};

TEST_P(DesfazerTest, UndoPutsBackEveryRowItsOperationChanged) {
    const Rows before = snapshot();
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        c.operation();
        ASSERT_NE(snapshot(), before);
        const auto [numero, kind] = lastJournal();
        ASSERT_EQ(kind, c.kind);
        EXPECT_TRUE(Gpe00002::undoable(c.kind));
        EXPECT_EQ(undo(numero), QStringLiteral(R"({"operation":"%1","undone":%2})").arg(c.kind, numero));
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(lastJournal(), std::pair(QString::number(numero.toLongLong() + 1), std::string("DESFAZER")));
    }
}

TEST_P(DesfazerTest, UndoIsRefusedNamingWhatChangedSinceAndChangesNothing) {
    const Rows before = snapshot();
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const QJsonObject done = c.operation();
        const QString numero = lastJournal().first;
        fill(c.change + QStringLiteral(";\n"));
        const Rows changed = snapshot();
        const QString why = c.refusal.contains(QLatin1String("%1")) ? c.refusal.arg(reservationId(done)) : c.refusal;
        EXPECT_EQ(refusal([&] { undo(numero); }), QStringLiteral("Não é possível desfazer: ") + why);
        EXPECT_EQ(snapshot(), changed);
        EXPECT_EQ(lastJournal().first, numero);
        fill(c.revert + QStringLiteral(";\n"));
        undo(numero);
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_P(DesfazerTest, RefusesWhatIsNotUndoneAndUndoesAtMostOnce) {
    Gpe00002::transferirMesa(*m_ops, m_station, "0001", "0001", table("0015"), table("0016"));
    const QString transfer = lastJournal().first;
    const QString id = select("SELECT CDUUID FROM GPEJORNAL WHERE NRJORNAL = " + transfer).at(0).at(0).c_str();
    EXPECT_EQ(undo(id.toUpper()), QStringLiteral(R"({"operation":"TRANSFMESA","undone":%1})").arg(transfer));
    const QString undoRow = lastJournal().first;
    EXPECT_EQ(
        select("SELECT IDOPERACAO, NRJORNALDESF, NRMESAORIG, NRMESADEST FROM GPEJORNAL WHERE NRJORNAL = " + undoRow),
        (Rows{{"DESFAZER", transfer.toStdString(), "0015", "0016"}}));
    for (const char* kind : {"REIMPRESSAO", "NAOCOMPARECEU"})
        Gpe00002::writeJournal(*m_ops, m_station, {kind, "0001", "0001", "0011", {}, {}, {}, {}});
    const qint64 last = lastJournal().first.toLongLong();

    struct Refused {
        const char* name;
        QString id;
        QString message;
    };
    for (const Refused& c : std::vector<Refused>{
             {"unknown", "999999", "Operação 999999 não encontrada no diário"},
             {"unknown identity", "abc", "Operação abc não encontrada no diário"},
             {"undone twice", transfer, QStringLiteral("A operação %1 já foi desfeita").arg(transfer)},
             {"an undo", undoRow, "Uma operação desfeita não se refaz; faça a operação de novo"},
             {"printing", QString::number(last - 1), "Uma reimpressão não se desfaz: ela não alterou nada"},
             {"a no-show", QString::number(last),
              "Um não comparecimento não se desfaz: ele é marcado pelo relógio, não por um usuário"}}) {
        SCOPED_TRACE(c.name);
        const Rows before = snapshot();
        EXPECT_EQ(refusal([&] { undo(c.id); }), c.message);
        EXPECT_EQ(snapshot(), before);
    }
    EXPECT_EQ(lastJournal().first.toLongLong(), last);
    EXPECT_FALSE(Gpe00002::undoable("DESFAZER"));
    EXPECT_FALSE(Gpe00002::undoable("REIMPRESSAO"));
}

TEST_P(DesfazerTest, TwoTerminalsUndoingOneOperationAtOnceUndoItOnce) {
    struct Race {
        const char* name;
        std::function<void()> operation;
        const char* pgLock;  // a row the undo locks, held until both terminals wait
    };
    const std::vector<Race> races{
        {"grouping",
         [this] {
             Gpe00002::agruparMesas(*m_ops, m_station, "0001", "0001", {table("0016"), table("0019")});
         },
         "SELECT * FROM LOJA FOR UPDATE"},
        {"table", [this] { Gpe00002::transferirMesa(*m_ops, m_station, "0001", "0001", table("0015"), table("0016")); },
         "SELECT * FROM MESA WHERE NRMESA = '0016' FOR UPDATE"},
        {"product",
         [this] {
             Gpe00002::transferirProduto(*m_ops, m_station, "0001", "0001", table("0011"), item("0011", "C1", "000001"),
                                         1, table("0012"), ticket("0012", "C3"));
         },
         "SELECT * FROM MESA WHERE NRMESA = '0012' FOR UPDATE"},
    };
    const Rows before = snapshot();
    for (const Race& r : races) {
        SCOPED_TRACE(r.name);
        r.operation();
        const auto [numero, kind] = lastJournal();
        const auto undoIt = [&, numero = numero](Gpe00002::PackageDatabase& db) {
            return Gpe00002::desfazerOperacao(db, m_station, numero);
        };
        const std::vector<Outcome> outcomes = race(QString::fromLatin1(r.pgLock), {undoIt, undoIt});
        QStringList told{outcomes[0].result + outcomes[0].refusal, outcomes[1].result + outcomes[1].refusal};
        told.sort();
        EXPECT_EQ(told,
                  (QStringList{
                      QStringLiteral("A operação %1 já foi desfeita").arg(numero),
                      QStringLiteral(R"({"operation":"%1","undone":%2})").arg(QString::fromStdString(kind), numero)}));
        EXPECT_EQ(select("SELECT COUNT(*) FROM GPEJORNAL WHERE NRJORNALDESF = " + numero), (Rows{{"1"}}));
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_P(DesfazerTest, AnUndoAndAnotherMoveOfTheSameItemAtOnceOneGoesThrough) {
    const Rows before = snapshot();
    Gpe00002::transferirProduto(*m_ops, m_station, "0001", "0001", table("0011"), item("0011", "C1", "000001"), 3,
                                table("0012"), ticket("0012", "C3"));
    const QString numero = lastJournal().first;
    const Gpe00002::TableItem moved = item("0012", "C3", "000008");
    const Rows afterMove = snapshot();
    const std::vector<Outcome> outcomes =
        race(QStringLiteral("SELECT * FROM MESA WHERE NRMESA = '0012' FOR UPDATE"),
             {[&](Gpe00002::PackageDatabase& db) { return Gpe00002::desfazerOperacao(db, m_station, numero); },
              [&](Gpe00002::PackageDatabase& db) {
                  return Gpe00002::transferirProduto(db, m_station, "0001", "0001", table("0012"), moved, 3,
                                                     table("0015"), ticket("0015", "C5"));
              }});
    ASSERT_NE(outcomes[0].result.isEmpty(), outcomes[1].result.isEmpty())
        << outcomes[0].refusal.toStdString() << " / " << outcomes[1].refusal.toStdString();
    if (outcomes[0].result.isEmpty()) {
        EXPECT_EQ(outcomes[0].refusal, "Não é possível desfazer: o item 000008 foi alterado depois");
        EXPECT_NE(snapshot(), afterMove);
    } else {
        EXPECT_EQ(outcomes[1].refusal, "Item Água da mesa 0012 foi alterado por outro terminal; tente de novo");
        EXPECT_EQ(snapshot(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, DesfazerTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
