// The package's connection: its own tables made sure of one by one, the database's own net against
// overlapping reservations of a table, a database another program keeps locked, and what is told of a
// transaction the moment it commits.
#include "OperationsFixture.h"

#include "operations/TransferirMesa.h"
#include "store/Journal.h"

#include <QElapsedTimer>

namespace {

using namespace opstest;

using PackageDatabaseTest = OperationsTest;

// A table of the package dropped by hand is there again at the next connection, whatever the
// version row says, and the rows of the others stay.
TEST_P(PackageDatabaseTest, EachOwnTableMissingIsCreatedAgain) {
    writeJournal(*m_ops, m_station, {QStringLiteral("AGRUPAR"), "0001", "0001", "0010", {}, {}, {}, {}});
    for (const char* table : {"GPEJORNAL", "GPERESERVAMESA"}) {
        SCOPED_TRACE(table);
        m_db.Execute(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table)));
        Gpe00002::PackageDatabase reopened(m_connectionString);
        EXPECT_EQ(select(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))), (Rows{{"0"}}));
    }
    EXPECT_EQ(select("SELECT NRVERSAO FROM GPEVERSAO"), (Rows{{"3"}}));
}

// Two active periods of one table that overlap are refused by the database itself where the
// server has btree_gist, even for a writer that skipped the operations' locked check.
TEST_P(PackageDatabaseTest, TheDatabaseRefusesOverlappingActivePeriodsOfATable) {
    if (!postgres()) GTEST_SKIP() << "on SQLite the operations' locked check alone keeps periods apart";
    const auto add = [this](const char* guest, const char* from, const char* to, const char* state) {
        m_db.Execute(QStringLiteral("INSERT INTO GPERESERVA (CDFILIAL, CDLOJA, NRMESA, NMCLIENTE, DTHRRESERVA, "
                                    "NRPESSOAS, IDSTRESERVA, DTHRINCLUSAO) VALUES ('0001', '0001', '0014', '%1', "
                                    "'2024-06-14 %2:00', '2', '%3', '2024-06-14 18:00:00')")
                         .arg(guest, from, state));
        m_db.Execute(QStringLiteral("INSERT INTO GPERESERVAMESA (NRRESERVA, CDFILIAL, CDLOJA, NRMESA, DTHRRESERVA, "
                                    "DTHRFIMPREV, IDSTRESERVA) SELECT MAX(NRRESERVA), '0001', '0001', '0014', "
                                    "'2024-06-14 %1:00', '2024-06-14 %2:00', '%3' FROM GPERESERVA")
                         .arg(from, to, state));
    };
    add("Silva", "19:00", "21:00", "A");
    add("Costa", "20:00", "22:00", "C");  // cancelled: overlaps nothing
    add("Lima", "21:00", "23:00", "A");   // begins where the first ends
    try {
        add("Souza", "20:30", "22:30", "A");
        ADD_FAILURE() << "an overlapping active period was kept";
    } catch (const EADOError& e) {
        EXPECT_EQ(e.failure(), TDbFailure::Duplicate) << e.what();
    }
}

// A SQLite file another program holds exclusively: connecting and an operation are each told to
// try again within the time limit (1 s here), not after twice that, nor as a database out of reach.
TEST_P(PackageDatabaseTest, ADatabaseHeldElsewhereIsBusyWithinTheTimeLimit) {
    if (postgres()) GTEST_SKIP() << "a PostgreSQL terminal waits for rows, not for the database";
    fill(insert(Table{.mesa = "0012", .estado = "O"}) + insert(Sale{.venda = "V12", .mesa = "0012"}) +
         insert(Table{.mesa = "0014"}));
    const Gpe00002::TableState from = table("0012"), to = table("0014");
    TADOConnection holder;
    holder.setConnectionString(m_connectionString);
    holder.Open();
    holder.Execute(QStringLiteral("BEGIN EXCLUSIVE"));
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"connecting", [this] { Gpe00002::PackageDatabase db(m_connectionString); }},
        {"transferring a table", [&] { Gpe00002::transferirMesa(*m_ops, m_station, "0001", "0001", from, to); }},
    };
    const QString expected[] = {QStringLiteral("O banco de dados está em uso em outro terminal; tente de novo"),
                                QStringLiteral("Mesas 0012, 0014 estão em uso em outro terminal; tente de novo")};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].first);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(refusal(cases[i].second), expected[i]);
        EXPECT_LT(timer.elapsed(), 1600);
    }
    holder.Execute(QStringLiteral("ROLLBACK"));
}

// The observer hears of a journalled operation once it has committed, and of nothing rolled back.
TEST_P(PackageDatabaseTest, ACommitIsToldAsItHappensAndARollbackNever) {
    QStringList told;
    Gpe00002::PackageDatabase::setCommitObserver([&](const Gpe00002::PackageDatabase::Committed& c) {
        told << c.operacao + QLatin1Char(' ') + c.origem.toString() + QLatin1Char(' ') + c.depois;
    });
    const auto journal = [this](const char* table) {
        m_ops->transaction(QStringLiteral("ocupado"), [&] {
            writeJournal(*m_ops, m_station,
                         {QStringLiteral("SEPARAR"), "0001", "0001", QLatin1String(table), {}, {}, {}, {{"x", 1}}});
            if (QLatin1String(table) == QLatin1String("0099")) throw Gpe00002::ERefusal(QStringLiteral("não"));
        });
    };
    journal("0010");
    refusal([&] { journal("0099"); });
    Gpe00002::PackageDatabase::setCommitObserver(nullptr);
    EXPECT_EQ(told, QStringList{R"(SEPARAR 0010 {"x":1})"});
}

INSTANTIATE_TEST_SUITE_P(Engines, PackageDatabaseTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         engineName);

}  // namespace
