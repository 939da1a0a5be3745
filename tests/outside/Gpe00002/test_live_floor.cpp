// Screens that follow the floor: the package's notifications (what is sent, when, and what is
// not the package's), the coalescing of a burst, and an open table map that shows another
// terminal's operation, un-chooses a table that became unfit and catches up after its listening
// connection was lost, on both engines.
#include "OperationsFixture.h"

#include "DbNotifier.h"
#include "operations/JuntarMesas.h"
#include "operations/ReservarMesa.h"
#include "operations/SepararMesa.h"
#include "operations/TransferirProduto.h"
#include "operations/WaiterReport.h"
#include "routines/ItemChoices.h"
#include "screens/GroupingsView.h"
#include "screens/SearchList.h"
#include "screens/WaiterReportView.h"
#include "screens/TableMap.h"
#include "store/FloorWatch.h"
#include "store/Journal.h"

#include <QAbstractButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

using namespace opstest;
using Gpe00002::FloorWatch;
using Gpe00002::MapTable;

constexpr int kBoundMs = 5000;  // far above what a change takes; only a fault reaches it

TEST(FloorNotice, OnlyThePackagesPayloadsAskForARead) {
    const std::pair<const char*, bool> payloads[] = {
        {R"({"operacao":"AGRUPAR","mesas":["0017","0018"],"jornal":12})", true},
        {R"({"operacao" : "RESERVAR", "mesas" : [], "jornal" : null, "tabela" : "MESA"})", true},
        {R"({"operacao":"X","mesas":[],"jornal":"0000000012"})", true},
        {"", false},
        {"hello", false},
        {"[]", false},
        {"{}", false},
        {R"({"operacao":1,"mesas":[],"jornal":1})", false},
        {R"({"operacao":"X","mesas":"0001","jornal":1})", false},
        {R"({"operacao":"X","mesas":[1],"jornal":1})", false},
        {R"({"operacao":"X","mesas":[],"jornal":[1]})", false},
        {R"({"operacao":"X","mesas":[]} trailing)", false},
    };
    for (const auto& [payload, ours] : payloads)
        EXPECT_EQ(Gpe00002::floorPayloadIsOurs(QString::fromUtf8(payload)), ours) << payload;

    const std::tuple<const char*, const char*, const char*> channels[] = {
        {"0001", "0001", "res00011_mesas_0001_0001"},
        {" 01A ", "Lj-2", "res00011_mesas_01a_lj2"},
    };
    for (const auto& [filial, loja, channel] : channels)
        EXPECT_EQ(Gpe00002::floorChannel(QString::fromLatin1(filial), QString::fromLatin1(loja)),
                  QLatin1String(channel));
}

TEST(FloorNotice, ABurstIsOneReadAWindow) {
    FloorWatch watch;
    QSignalSpy changed(&watch, &FloorWatch::changed);
    std::vector<qint64> at;
    QObject::connect(&watch, &FloorWatch::changed, [&] { at.push_back(Gpe00002::monotonicMs()); });
    const QString ours = QStringLiteral(R"({"operacao":"AGRUPAR","mesas":["0017"],"jornal":1})");
    // Another program on the channel asks for nothing.
    watch.take(QStringLiteral("res00011_mesas_0001_0001"), QStringLiteral("not ours"));
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 0);

    for (int i = 0; i < 50; ++i) watch.take(QStringLiteral("res00011_mesas_0001_0001"), ours);
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, kBoundMs);
    // A second burst at once waits for the end of the window, and is one read too.
    for (int i = 0; i < 50; ++i) watch.take({}, {});
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, kBoundMs);
    QTest::qWait(FloorWatch::kCoalesceMs + 50);
    EXPECT_EQ(changed.count(), 2);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_GE(at[1] - at[0], FloorWatch::kCoalesceMs - 5);
}

MapTable mapTable(const char* numero, const char* estado, const char* grupo = "") {
    Gpe00002::TableState state;
    state.numero = QString::fromLatin1(numero);
    state.estado = QString::fromLatin1(estado);
    state.grupo = QString::fromLatin1(grupo);
    const bool free = state.estado == Gpe00002::kLivre;
    return {state, free, free ? QString() : QStringLiteral("não livre")};
}

TEST(MapRead, KeepsWhatIsStillFitAndSaysWhatWasLost) {
    struct Case {
        const char* name;
        bool multiple;
        std::vector<MapTable> read;  // what the map reads again
        int changed;
        QStringList chosen;
        QString info;  // the line under the map; empty: as before the read
    };
    const Case cases[] = {
        {"nothing changed",
         true,
         {mapTable("0001", "L"), mapTable("0002", "L"), mapTable("0003", "L")},
         0,
         {"0001", "0002"},
         {}},
        {"a chosen table grouped, still offered",
         true,
         {mapTable("0001", "L"), mapTable("0002", "L", "0000000004"), mapTable("0003", "L")},
         1,
         {"0001", "0002"},
         {}},
        {"a chosen table occupied",
         true,
         {mapTable("0001", "L"), mapTable("0002", "O"), mapTable("0003", "L")},
         1,
         {"0001"},
         "Mesa 0002 ocupada agora por outro terminal"},
        {"a chosen table gone",
         true,
         {mapTable("0001", "L"), mapTable("0003", "R")},
         2,
         {"0001"},
         "Mesa 0002 removida agora por outro terminal"},
        {"the table under the cursor reserved",
         false,
         {mapTable("0001", "L"), mapTable("0002", "R"), mapTable("0003", "L")},
         1,
         {},
         "Mesa 0002 reservada agora por outro terminal"},
    };
    for (const Case& c : cases) {
        Gpe00002::TableMap map({QStringLiteral("Agrupar mesas"),
                                {},
                                {mapTable("0001", "L"), mapTable("0002", "L"), mapTable("0003", "L")},
                                c.multiple,
                                1,
                                c.multiple ? QStringList{"0001", "0002"} : QStringList{"0002"}});
        const QString before = map.findChild<QLabel*>(QStringLiteral("info"))->text();
        EXPECT_EQ(map.apply(c.read), c.changed) << c.name;
        EXPECT_EQ(map.chosen(), c.chosen) << c.name;
        EXPECT_EQ(map.findChild<QLabel*>(QStringLiteral("info"))->text(), c.info.isEmpty() ? before : c.info) << c.name;
        EXPECT_EQ(map.tables().size(), 3u) << c.name;  // the tiles never move
    }
}

// Two terminals on one database: the map's, with a map open on a store of branch 0001, and the
// other (m_ops), which changes tables. The stores are this file's own, so that the notifications
// of other tests on the same server do not reach these.
class LiveFloorTest : public OperationsTest {
protected:
    void SetUp() override {
        OperationsTest::SetUp();
        if (HasFatalFailure()) return;
        QString sql;
        for (const char* loja : {kLoja, kLostLoja})
            for (const char* number : {"0014", "0015", "0016"}) sql += insert(Table{.loja = loja, .mesa = number});
        fill(sql);
        m_mapTerminal = std::make_unique<Gpe00002::PackageDatabase>(m_connectionString);
    }

    // A map of the store's tables in which only free tables are offered, following the floor.
    std::unique_ptr<Gpe00002::TableMapDialog> openMap(bool multiple, const char* loja = kLoja) {
        Gpe00002::TableMapRequest request{QStringLiteral("Agrupar mesas"), QStringLiteral("Escolha"), read(loja),
                                          multiple, 1};
        request.reread = [this, loja] { return read(loja); };
        request.filial = QStringLiteral("0001");
        request.loja = QString::fromLatin1(loja);
        request.connectionString = m_connectionString;
        auto dialog = std::make_unique<Gpe00002::TableMapDialog>(request);
        QSignalSpy caughtUp(dialog->map(), &Gpe00002::TableMap::refreshed);
        dialog->show();
        // Listening, and the read that catches up with what came before it done: a change made
        // from now on is one the map has to hear of.
        auto* watch = dialog->findChild<FloorWatch*>();
        EXPECT_TRUE(watch && QTest::qWaitFor([&] { return watch->isListening() && caughtUp.count() > 0; }, kBoundMs));
        return dialog;
    }
    std::vector<MapTable> read(const char* loja) {
        std::vector<MapTable> tables;
        for (Gpe00002::TableState& table : Gpe00002::loadTables(*m_mapTerminal, "0001", loja)) {
            const QString reason = table.estado == Gpe00002::kLivre ? QString() : QStringLiteral("não livre");
            tables.push_back({std::move(table), reason.isEmpty(), reason});
        }
        return tables;
    }
    // The other terminal reserves `numero` for half an hour from now: its hold has begun.
    void reserve(const char* numero, const char* loja = kLoja) {
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime at = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())).addSecs(1800);
        Gpe00002::reservarMesas(*m_ops, m_station, "0001", loja,
                                {{QLatin1String(numero)}, QStringLiteral("Silva"), at, "4"}, now);
    }
    // 0014 and 0015 open; 0014's ticket has items 000001 (three) and 000002, both of waiter 0001.
    void openTablesWithItems() {
        fill(QStringLiteral("UPDATE MESA SET IDSTMESAAUX = 'O' WHERE CDLOJA = '%1' AND NRMESA IN ('0014', '0015');\n")
                 .arg(QLatin1String(kLoja)) +
             insert(Product{.codigo = "PL1", .nome = "Água"}) +
             insert(Sale{.venda = "V77A", .loja = kLoja, .mesa = "0014"}) +
             insert(Sale{.venda = "V77B", .loja = kLoja, .mesa = "0015"}) +
             insert(Ticket{.venda = "V77A", .comanda = "CA", .descricao = "PKR_0014"}) +
             insert(Ticket{.venda = "V77B", .comanda = "CB", .descricao = "PKR_0015"}) +
             insert(Item{.venda = "V77A", .comanda = "CA", .item = "000001", .produto = "PL1", .quantidade = "3"}) +
             insert(Item{.venda = "V77A", .comanda = "CA", .item = "000002", .produto = "PL1"}));
    }
    // The other terminal moves `quantity` of 0014's first item to 0015.
    void move(double quantity) {
        const Gpe00002::TableItem first = Gpe00002::loadTableItems(*m_ops, "0001", kLoja, "0014").front();
        Gpe00002::transferirProduto(*m_ops, m_station, "0001", kLoja, seen("0014"), first, quantity, seen("0015"),
                                    Gpe00002::loadOpenTickets(*m_ops, "0001", kLoja).at("0015").front());
    }
    // The other terminal's view of table `numero`.
    Gpe00002::TableState seen(const char* numero, const char* loja = kLoja) {
        for (const Gpe00002::TableState& table : Gpe00002::loadTables(*m_ops, "0001", loja))
            if (table.numero == QLatin1String(numero)) return table;
        ADD_FAILURE() << "no table " << numero;
        return {};
    }
    // Shows `dialog`, waiting until it listens and has caught up with what came before.
    template <typename Dialog>
    void showFollowing(Dialog& dialog) {
        QSignalSpy caughtUp(&dialog, &Dialog::refreshed);
        dialog.show();
        auto* watch = dialog.template findChild<FloorWatch*>();
        EXPECT_TRUE(watch && QTest::qWaitFor([&] { return watch->isListening() && caughtUp.count() > 0; }, kBoundMs));
    }
    static QString shownState(Gpe00002::TableMapDialog& map, const char* numero) {
        for (const MapTable& table : map.map()->tables())
            if (table.mesa.numero == QLatin1String(numero)) return table.mesa.estado;
        return {};
    }

    static int backendPid(TADOConnection& connection) {
        TADOQuery backend;
        backend.setConnection(&connection);
        backend.setSQL(QStringLiteral("SELECT pg_backend_pid()"));
        backend.Open();
        return backend.Fields(0).AsInteger();
    }

    static constexpr const char* kLoja = "0077";
    static constexpr const char* kLostLoja = "0078";
    std::unique_ptr<Gpe00002::PackageDatabase> m_mapTerminal;
};

TEST_P(LiveFloorTest, AnOpenMapShowsAnotherTerminalsOperationAndUnchoosesWhatBecameUnfit) {
    auto dialog = openMap(true);
    QSignalSpy refreshed(dialog->map(), &Gpe00002::TableMap::refreshed);
    QTest::mouseClick(dialog->findChild<QAbstractButton*>(QStringLiteral("mesa0014")), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QAbstractButton*>(QStringLiteral("mesa0016")), Qt::LeftButton);
    ASSERT_EQ(dialog->chosen(), QStringList({"0014", "0016"}));

    reserve("0014");
    QTRY_COMPARE_WITH_TIMEOUT(shownState(*dialog, "0014"), Gpe00002::kReservada, kBoundMs);
    auto* tile = dialog->findChild<QAbstractButton*>(QStringLiteral("mesa0014"));
    EXPECT_FALSE(tile->isEnabled());
    EXPECT_TRUE(tile->property("piscando").toBool());
    EXPECT_FALSE(dialog->findChild<QAbstractButton*>(QStringLiteral("mesa0015"))->property("piscando").toBool());
    EXPECT_TRUE(tile->toolTip().endsWith(QStringLiteral("Indisponível: não livre"))) << tile->toolTip().toStdString();
    EXPECT_EQ(dialog->chosen(), QStringList({"0016"}));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("info"))->text(),
              QStringLiteral("Mesa 0014 reservada agora por outro terminal"));
    EXPECT_TRUE(dialog->isVisible());                // it only shows: nothing is confirmed
    EXPECT_EQ(refreshed.last().first().toInt(), 1);  // the last read: 0014 alone changed
    QTRY_VERIFY_WITH_TIMEOUT(!tile->property("piscando").toBool(), kBoundMs);
}

TEST_P(LiveFloorTest, TheGroupingsFollowAnotherTerminalKeepingTheChosenGroupingUntilItIsUndone) {
    Gpe00002::agruparMesas(*m_ops, m_station, "0001", kLoja, {seen("0014"), seen("0015"), seen("0016")});
    const auto read = [this] { return Gpe00002::loadGroupings(*m_mapTerminal, "0001", kLoja, "0014"); };
    Gpe00002::GroupingOverview overview = read();
    overview.reread = read;
    overview.connectionString = m_connectionString;
    Gpe00002::GroupingsDialog dialog(overview);
    showFollowing(dialog);
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("agrupamentos"));
    QTreeWidgetItem* chosen = tree->currentItem();
    ASSERT_TRUE(chosen && chosen->isSelected());
    QTreeWidgetItem* kept = chosen->child(0);

    // A table leaves: its row goes, the heading is rewritten in place and flashes, the choice stays.
    Gpe00002::separarMesa(*m_ops, m_station, "0001", kLoja, seen("0016"));
    QTRY_COMPARE_WITH_TIMEOUT(chosen->childCount(), 2, kBoundMs);
    EXPECT_TRUE(chosen->text(0).contains(QStringLiteral("2 mesas"))) << chosen->text(0).toStdString();
    EXPECT_TRUE(chosen->data(0, Gpe00002::GroupingsDialog::FlashRole).toBool());
    EXPECT_FALSE(kept->data(0, Gpe00002::GroupingsDialog::FlashRole).toBool());
    EXPECT_EQ(tree->currentItem(), chosen);
    EXPECT_TRUE(chosen->isSelected());
    QTRY_VERIFY_WITH_TIMEOUT(!chosen->data(0, Gpe00002::GroupingsDialog::FlashRole).toBool(), kBoundMs);

    // The grouping is undone: it is un-chosen, and the line says why.
    const QString numero = Gpe00002::groupingNumber(chosen->data(0, Qt::UserRole).toString());
    Gpe00002::separarMesa(*m_ops, m_station, "0001", kLoja, seen("0015"));
    QTRY_COMPARE_WITH_TIMEOUT(tree->topLevelItemCount(), 0, kBoundMs);
    EXPECT_EQ(tree->currentItem(), nullptr);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("info"))->text(),
              QStringLiteral("O agrupamento %1 foi desfeito por outro terminal").arg(numero));
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("nenhum"))->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.isVisible());  // it only shows
}

TEST_P(LiveFloorTest, TheItemListFollowsAnotherTerminalKeepingTheChosenItemUntilItGoes) {
    openTablesWithItems();
    const auto items = [this](Gpe00002::PackageDatabase& db) {
        return Gpe00002::loadTableItems(db, "0001", kLoja, "0014");
    };
    const auto before = Gpe00002::Escolha;
    Gpe00002::Escolha = [&](TClientDataSet& dataSet, const QString& title, const QString& prompt) {
        Gpe00002::SearchListDialog list(Gpe00002::SearchListData(dataSet), {}, title, prompt);
        list.follow(dataSet, dynamic_cast<Gpe00002::FollowedDataSet&>(dataSet).follow);
        showFollowing(list);
        auto* table = list.findChild<QTableWidget*>(QStringLiteral("list"));
        const auto flashing = [&](int row) { return table->item(row, 0)->data(list.FlashRole).toBool(); };

        // Part of the chosen item goes: its row is rewritten in place and flashes; it stays chosen.
        move(1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return table->item(0, 1)->text() == QLatin1String("2"); }, kBoundMs));
        EXPECT_TRUE(flashing(0));
        EXPECT_FALSE(flashing(1));
        EXPECT_EQ(table->currentRow(), 0);
        EXPECT_TRUE(table->item(0, 0)->isSelected());

        // The rest goes: the row with it, and the choice, with the line that says why.
        move(2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return table->rowCount() == 1; }, kBoundMs));
        EXPECT_EQ(table->currentRow(), -1);
        EXPECT_EQ(list.findChild<QLabel*>(QStringLiteral("info"))->text(),
                  QStringLiteral("O item 000001 foi alterado por outro terminal"));
        EXPECT_TRUE(list.isVisible());  // it only shows

        // What is picked now is a row as read last.
        Gpe00002::SearchListData::makeCurrent(dataSet, 0);
        return true;
    };
    const std::vector<Gpe00002::TableItem> shown = items(*m_mapTerminal);
    const std::optional<Gpe00002::TableItem> picked = Gpe00002::chooseItem(
        shown, "0014", shown.front(), {"0001", kLoja, m_connectionString, [&] { return items(*m_mapTerminal); }});
    Gpe00002::Escolha = before;
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->numero, QStringLiteral("000002"));
}

TEST_P(LiveFloorTest, TheWaitersReportFollowsAnotherTerminalRewritingOnlyWhatChanged) {
    openTablesWithItems();
    const auto read = [this] { return Gpe00002::loadWaiterReport(*m_mapTerminal, "0001", kLoja, QDate(2024, 6, 14)); };
    Gpe00002::WaiterReport report = read();
    report.reread = read;
    report.connectionString = m_connectionString;
    Gpe00002::WaiterReportDialog dialog(report);
    showFollowing(dialog);
    auto* totals = dialog.findChild<QTreeWidget*>(QStringLiteral("totais"));
    QTreeWidgetItem* open = totals->topLevelItem(0);
    ASSERT_EQ(open->childCount(), 1);
    QTreeWidgetItem* waiter = open->child(0);
    ASSERT_EQ(waiter->text(Gpe00002::WaiterReportDialog::Itens), QStringLiteral("2"));

    // Part of an item moves: one item more for its waiter, in the same line, which flashes.
    move(1);
    QTRY_COMPARE_WITH_TIMEOUT(waiter->text(Gpe00002::WaiterReportDialog::Itens), QStringLiteral("3"), kBoundMs);
    EXPECT_EQ(open->child(0), waiter);
    EXPECT_TRUE(waiter->data(0, Gpe00002::WaiterReportDialog::FlashRole).toBool());
    EXPECT_TRUE(open->text(0).contains(QStringLiteral("3 itens"))) << open->text(0).toStdString();
    EXPECT_TRUE(dialog.isVisible());  // it only shows
    QTRY_VERIFY_WITH_TIMEOUT(!waiter->data(0, Gpe00002::WaiterReportDialog::FlashRole).toBool(), kBoundMs);
}

TEST_P(LiveFloorTest, AnOutsideWriterShowsWhereTheDatabaseTells) {
    auto dialog = openMap(false);
    const auto occupy = [&](const char* numero) {
        m_db.Execute(QStringLiteral("UPDATE MESA SET IDSTMESAAUX = 'O' WHERE CDLOJA = '%1' AND NRMESA = '%2'")
                         .arg(QLatin1String(kLoja), QLatin1String(numero)));
    };
    occupy("0015");
    if (!postgres()) {
        // SQLite sees every commit.
        QTRY_COMPARE_WITH_TIMEOUT(shownState(*dialog, "0015"), Gpe00002::kOcupada, kBoundMs);
        EXPECT_FALSE(Gpe00002::installLiveFloor(*m_ops));
        return;
    }
    // Without the live floor's triggers PostgreSQL says nothing of a writer outside the package.
    QTest::qWait(FloorWatch::kCoalesceMs + 500);
    EXPECT_EQ(shownState(*dialog, "0015"), Gpe00002::kLivre);
    // With them (installed twice: the script may run again), it does.
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(Gpe00002::installLiveFloor(*m_ops));
    occupy("0016");
    QTRY_COMPARE_WITH_TIMEOUT(shownState(*dialog, "0016"), Gpe00002::kOcupada, kBoundMs);
    EXPECT_EQ(shownState(*dialog, "0015"), Gpe00002::kOcupada);
}

TEST_P(LiveFloorTest, TheTriggersNotifyEachStoreOnceAndNeverFailTheWriter) {
    if (!postgres()) GTEST_SKIP() << "SQLite needs no triggers";
    ASSERT_TRUE(Gpe00002::installLiveFloor(*m_ops));
    DbNotifier listener(m_connectionString, {Gpe00002::floorChannel("0001", kLoja)});
    QSignalSpy caughtUp(&listener, &DbNotifier::caughtUp);
    QSignalSpy notified(&listener, &DbNotifier::notified);
    listener.start();
    QTRY_VERIFY_WITH_TIMEOUT(caughtUp.count() > 0, kBoundMs);
    const int writer = backendPid(m_db);
    const auto fromWriter = [&] {
        QStringList payloads;
        for (const QList<QVariant>& call : notified)
            if (call.at(2).toInt() == writer) payloads << call.at(1).toString();
        return payloads;
    };
    // One statement over three tables is one notification of the store, naming them.
    m_db.Execute(QStringLiteral("UPDATE MESA SET IDSTMESAAUX = 'O' WHERE CDLOJA = '%1'").arg(QLatin1String(kLoja)));
    QTRY_COMPARE_WITH_TIMEOUT(fromWriter().size(), 1, kBoundMs);
    const QJsonObject payload = QJsonDocument::fromJson(fromWriter().first().toUtf8()).object();
    EXPECT_EQ(payload.value("operacao").toString(), QStringLiteral("EXTERNO"));
    EXPECT_EQ(payload.value("tabela").toString(), QStringLiteral("MESA"));
    EXPECT_EQ(payload.value("mesas").toVariant().toStringList(), QStringList({"0014", "0015", "0016"}));
    EXPECT_TRUE(Gpe00002::floorPayloadIsOurs(fromWriter().first()));

    // A notification that fails (its sale table gone) leaves the writer's statement done.
    m_db.Execute(QStringLiteral("ALTER TABLE VENDAREST RENAME TO VENDAREST_FORA"));
    EXPECT_NO_THROW(m_db.Execute(QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = CDVENDEDOR")));
    m_db.Execute(QStringLiteral("ALTER TABLE VENDAREST_FORA RENAME TO VENDAREST"));
    QTest::qWait(100);
    EXPECT_EQ(fromWriter().size(), 1);
}

TEST_P(LiveFloorTest, ALostListeningConnectionCatchesUp) {
    if (!postgres()) GTEST_SKIP() << "SQLite has no listening connection";
    auto dialog = openMap(false, kLostLoja);
    auto* watch = dialog->findChild<FloorWatch*>();
    ASSERT_TRUE(watch);
    const Rows killed = select(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query "
                                              "ILIKE 'LISTEN%res00011_mesas_0001_%1%'")
                                   .arg(QLatin1String(kLostLoja)));
    ASSERT_EQ(killed.size(), 1u);
    // Changed while nobody listens: seen once the connection is back.
    QTRY_VERIFY_WITH_TIMEOUT(!watch->isListening(), kBoundMs);
    reserve("0015", kLostLoja);
    QTRY_COMPARE_WITH_TIMEOUT(shownState(*dialog, "0015"), Gpe00002::kReservada, 3 * kBoundMs);
    EXPECT_TRUE(watch->isListening());
}

TEST_P(LiveFloorTest, OnlyACommittedOperationNotifies) {
    if (!postgres()) GTEST_SKIP() << "SQLite has no notifications";
    DbNotifier listener(m_connectionString, {Gpe00002::floorChannel("0001", kLoja)});
    QSignalSpy caughtUp(&listener, &DbNotifier::caughtUp);
    QSignalSpy notified(&listener, &DbNotifier::notified);
    // Only this terminal's: other tests may use the same store in schemas of their own.
    const int sender = backendPid(m_ops->connection());
    const auto fromSender = [&] {
        QStringList payloads;
        for (const QList<QVariant>& call : notified)
            if (call.at(2).toInt() == sender) payloads << call.at(1).toString();
        return payloads;
    };
    listener.start();
    QTRY_VERIFY_WITH_TIMEOUT(caughtUp.count() > 0, kBoundMs);
    const auto journal = [&](const char* operacao) {
        Gpe00002::writeJournal(*m_ops, m_station,
                               {QString::fromLatin1(operacao), "0001", kLoja, "0014", "0015", {}, {}, {}});
    };
    EXPECT_THROW(m_ops->transaction({},
                                    [&] {
                                        journal("ROLLEDBACK");
                                        throw Gpe00002::ERefusal(QStringLiteral("no"));
                                    }),
                 Gpe00002::ERefusal);
    m_ops->transaction({}, [&] { journal("COMMITTED"); });
    QTRY_COMPARE_WITH_TIMEOUT(fromSender().size(), 1, kBoundMs);
    const QJsonObject payload = QJsonDocument::fromJson(fromSender().first().toUtf8()).object();
    EXPECT_EQ(payload.value("operacao").toString(), QStringLiteral("COMMITTED"));
    EXPECT_EQ(payload.value("mesas").toVariant().toStringList(), QStringList({"0014", "0015"}));
    EXPECT_EQ(QString::number(payload.value("jornal").toInteger()),
              QString::fromStdString(select("SELECT MAX(NRJORNAL) FROM GPEJORNAL").at(0).at(0)));
    QTest::qWait(100);
    EXPECT_EQ(fromSender().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, LiveFloorTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
