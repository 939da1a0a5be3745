// Reservations on both engines: the rules of what is typed, the hold around a reservation's
// time, periods that may not overlap, a party on several tables, no-shows ending by themselves,
// two terminals at once, the upgrade of the first version's table, and the dialogue with fakes in
// place of its screens.
#include "DialogueFixture.h"

#include "operations/ReservarMesa.h"
#include "screens/TableTile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <deque>
#include <latch>
#include <thread>

namespace {

using namespace opstest;
using Answers = std::deque<std::optional<QString>>;

std::string json(const QJsonValue& value) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1)
        .toStdString();
}

// The calls of a dialogue one a line, for readable failures.
std::string lines(const QStringList& calls) { return "\n" + calls.join('\n').toStdString(); }

QDateTime at(int hour, int minute, int day = 14) { return QDateTime(QDate(2024, 6, day), QTime(hour, minute)); }

TEST(ReservationInput, TimePeopleNamePhoneAndNoteRules) {
    const QDateTime now(QDate(2024, 6, 14), QTime(19, 0, 30));
    const std::tuple<QDate, const char*, const char*> times[] = {{now.date(), "2030", "2024-06-14 20:30"},
                                                                 {now.date(), "1900", "2024-06-14 19:00"},
                                                                 {now.date(), "1859", "2024-06-15 18:59"},
                                                                 {now.date(), "0000", "2024-06-15 00:00"},
                                                                 {QDate(2024, 6, 20), "1200", "2024-06-20 12:00"},
                                                                 {QDate(2024, 6, 20), "0000", "2024-06-20 00:00"},
                                                                 {now.date(), "2575", ""},
                                                                 {now.date(), "2400", ""},
                                                                 {now.date(), "1960", ""},
                                                                 {now.date(), "930", ""},
                                                                 {now.date(), "20:3", ""},
                                                                 {now.date(), "", ""}};
    for (const auto& [day, typed, expected] : times) {
        const std::optional<QDateTime> when = Gpe00002::reservationTimeOn(day, typed, now);
        EXPECT_EQ(when ? when->toString("yyyy-MM-dd HH:mm") : QString(), expected) << typed;
    }
    const std::pair<const char*, const char*> people[] = {{"4", "4"},   {"004", "4"}, {"999", "999"}, {"0", ""},
                                                          {"1000", ""}, {"", ""},     {"1a", ""},     {"-1", ""}};
    for (const auto& [typed, expected] : people)
        EXPECT_EQ(Gpe00002::reservationPeople(typed).value_or(""), expected) << typed;
    const std::pair<QString, std::optional<QString>> names[] = {{" Silva \n da\t Costa ", "Silva da Costa"},
                                                                {" \t\r\n", std::nullopt},
                                                                {"O'Brien \"Zé\"", "O'Brien \"Zé\""},
                                                                {QString(50, u'a'), QString(50, u'a')},
                                                                {QString(51, u'a'), std::nullopt}};
    for (const auto& [typed, expected] : names) EXPECT_EQ(Gpe00002::guestName(typed), expected) << typed.size();
    const std::pair<QString, std::optional<QString>> phones[] = {{" +55 (11) 9999-0000 ", "+55 (11) 9999-0000"},
                                                                 {"", ""},
                                                                 {"11 9999 abc", std::nullopt},
                                                                 {QString(21, u'1'), std::nullopt}};
    for (const auto& [typed, expected] : phones)
        EXPECT_EQ(Gpe00002::reservationPhone(typed), expected) << typed.toStdString();
    const std::pair<QString, std::optional<QString>> notes[] = {
        {"Janela;\n\x1b[2J aniversário", "Janela; [2J aniversário"},
        {QString(200, u'x'), QString(200, u'x')},
        {QString(10000, u'x'), std::nullopt}};
    for (const auto& [typed, expected] : notes) EXPECT_EQ(Gpe00002::reservationNote(typed), expected) << typed.size();
}

class ReservarTest : public DialogueTest {
protected:
    void SetUp() override {
        DialogueTest::SetUp();
        if (HasFatalFailure()) return;
        QString sql;
        for (const char* number : {"0010", "0011", "0014", "0015", "0016", "0017", "0020", "0021", "0022", "0023"})
            sql += insert(Table{.mesa = number});
        sql += insert(Table{.mesa = "0012", .estado = "O"}) + insert(Sale{.venda = "0000000001", .mesa = "0012"});
        sql += insert(Table{.mesa = "0013", .estado = "P"});
        sql += insert(Table{.mesa = "0018", .ativa = "I"});
        sql += insert(Table{.loja = "0002", .mesa = "0019"});
        fill(sql);
    }

    // MESA's state of each table, by number ("0010 L").
    QStringList mesa() {
        QStringList states;
        for (const Row& row : select("SELECT NRMESA, IDSTMESAAUX FROM MESA WHERE CDLOJA = '0001' ORDER BY NRMESA"))
            states << QString::fromStdString(row[0] + " " + row[1]);
        return states;
    }
    // The package's state of the tables `numbers` at `now` ("0011 R").
    QStringList shown(const QDateTime& now, const QStringList& numbers) {
        QStringList states;
        for (const Gpe00002::TableState& t : Gpe00002::loadTables(*m_ops, "0001", "0001", now))
            if (numbers.contains(t.numero)) states << t.numero + " " + t.estado;
        return states;
    }
    QJsonObject reservar(const QStringList& mesas, const QDateTime& when, const QDateTime& now,
                         const char* guest = "Silva", Gpe00002::PackageDatabase* db = nullptr) {
        return Gpe00002::reservarMesas(db ? *db : *m_ops, m_station, "0001", "0001", {mesas, guest, when, "4", {}, {}},
                                       now);
    }
    qint64 idOf(const QJsonObject& result) { return result.value("reservation").toObject().value("id").toInteger(); }
    QJsonObject align(const QDateTime& now) {
        return Gpe00002::alignReservations(*m_ops, m_station, "0001", "0001", now);
    }
    Rows reservations() {
        return select(
            "SELECT NMCLIENTE, IDSTRESERVA, (SELECT COUNT(*) FROM GPERESERVAMESA T WHERE T.NRRESERVA = "
            "R.NRRESERVA AND T.IDSTRESERVA = R.IDSTRESERVA) AS MESAS FROM GPERESERVA R ORDER BY NMCLIENTE");
    }
};

TEST_P(ReservarTest, ABookingForLaterKeepsTheTableFreeUntilItsHoldAndEndsIt) {
    const QDateTime madeAt = at(15, 39);
    const QJsonObject made = reservar({"0011"}, at(21, 30), madeAt);
    EXPECT_EQ(json(made.value("reservation")),
              QStringLiteral(R"({"at":"2024-06-14T21:30:00","guest":"Silva","id":%1,"note":"","people":"4",)"
                             R"("phone":"","state":"A","tables":["0011"],"until":"2024-06-14T23:30:00"})")
                  .arg(idOf(made))
                  .toStdString());
    reservar({"0012"}, at(21, 30), madeAt, "Costa");  // a table with an open sale: the reservation waits
    // The tile names the next reservation while there is one to come.
    const Gpe00002::TableState before = Gpe00002::loadTables(*m_ops, "0001", "0001", at(15, 40)).at(1);
    EXPECT_EQ(Gpe00002::nextReservationText(before, QDate(2024, 6, 14)), "21:30 Silva");
    EXPECT_EQ(Gpe00002::nextReservationText(before, QDate(2024, 6, 13)), "14/06 21:30 Silva");

    struct Step {
        QDateTime now;
        QStringList shown;    // 0011 and 0012 as the package shows them before MESA is aligned
        std::string aligned;  // what aligning did
        QStringList mesa;     // MESA of 0011 and 0012 afterwards
    };
    const std::string nothing = R"({"freed":[],"noShows":[],"reserved":[]})";
    const Step steps[] = {
        {at(15, 40), {"0011 L", "0012 O"}, nothing, {"0011 L", "0012 O"}},
        {at(20, 29), {"0011 L", "0012 O"}, nothing, {"0011 L", "0012 O"}},
        {at(20, 30), {"0011 R", "0012 O"}, R"({"freed":[],"noShows":[],"reserved":["0011"]})", {"0011 R", "0012 O"}},
        {at(21, 49), {"0011 R", "0012 O"}, nothing, {"0011 R", "0012 O"}},
        {at(21, 50),
         {"0011 L", "0012 O"},
         QStringLiteral(R"({"freed":["0011"],"noShows":[%1,%2],"reserved":[]})")
             .arg(idOf(made))
             .arg(idOf(made) + 1)
             .toStdString(),
         {"0011 L", "0012 O"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.now.toString().toStdString());
        EXPECT_EQ(shown(step.now, {"0011", "0012"}), step.shown);
        EXPECT_EQ(json(align(step.now)), step.aligned);
        EXPECT_EQ(mesa().filter(QRegularExpression("^001[12]")), step.mesa);
        EXPECT_EQ(json(align(step.now)), nothing);  // a second reading finds nothing to do
    }
    EXPECT_EQ(reservations(), (Rows{{"Costa", "N", "1"}, {"Silva", "N", "1"}}));
    EXPECT_EQ(journal(), (Rows{{"RESERVAR", "0011", "<null>", "<null>"},
                               {"RESERVAR", "0012", "<null>", "<null>"},
                               {"NAOCOMPARECEU", "0011", "<null>", "<null>"},
                               {"NAOCOMPARECEU", "0012", "<null>", "<null>"}}));
}

TEST_P(ReservarTest, OverlappingPeriodsAreRefusedNamingTheOtherAndChangesKeepTheRules) {
    const QDateTime now = at(12, 0);
    const qint64 costa = idOf(reservar({"0011"}, at(19, 0), now, "Costa"));
    struct Case {
        QStringList mesas;
        QDateTime when;
        QString refused;  // empty: made
    };
    const QString taken = "Mesa 0011 já reservada das 19:00 às 21:00 para Costa";
    const Case cases[] = {
        {{"0011"}, at(20, 59), taken},
        {{"0011"}, at(17, 1), taken},
        {{"0010", "0011"}, at(20, 0), taken},
        {{"0011"}, at(21, 0), {}},
        {{"0011"}, at(17, 0), {}},
        {{"0011"}, at(22, 0), "Mesa 0011 já reservada das 21:00 às 23:00 para Silva"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when.toString().toStdString());
        const Rows before = reservations();
        if (c.refused.isEmpty())
            reservar(c.mesas, c.when, now);
        else
            EXPECT_EQ(refusal([&] { reservar(c.mesas, c.when, now); }), c.refused);
        if (!c.refused.isEmpty()) {
            EXPECT_EQ(reservations(), before);
        }
    }
    // A change is checked against the others, never against itself.
    const auto alterar = [&](const QDateTime& when, const QStringList& mesas) {
        return Gpe00002::alterarReserva(*m_ops, m_station, "0001", "0001", costa, {mesas, {}, when, "6", "", "Janela"},
                                        now);
    };
    EXPECT_EQ(refusal([&] { alterar(at(20, 0), {"0011"}); }), "Mesa 0011 já reservada das 21:00 às 23:00 para Silva");
    EXPECT_EQ(json(alterar(at(19, 0), {"0010", "0011"}).value("reservation").toObject().value("tables")),
              R"(["0010","0011"])");
    EXPECT_EQ(select("SELECT NRMESA, NRPESSOAS, DSOBSERVACAO FROM GPERESERVA WHERE NMCLIENTE = 'Costa'"),
              (Rows{{"0010", "6", "Janela"}}));
    EXPECT_EQ(journal().back(), (Row{"ALTRESERVA", "0010", "<null>", "<null>"}));
}

TEST_P(ReservarTest, BadInputAndTablesNotOfTheStoreAreRefusedAndNothingIsStored) {
    const QDateTime now = at(15, 39);
    struct Case {
        const char* name;
        Gpe00002::PedidoReserva pedido;
        QString message;
    };
    const Case cases[] = {
        {"a name of blanks", {{"0011"}, "   ", at(20, 0), "4"}, "Informe o nome do cliente, com até 50 caracteres"},
        {"no people", {{"0011"}, "Silva", at(20, 0), "0"}, "O número de pessoas da reserva vai de 1 a 999"},
        {"1000 people", {{"0011"}, "Silva", at(20, 0), "1000"}, "O número de pessoas da reserva vai de 1 a 999"},
        {"a time past", {{"0011"}, "Silva", at(15, 38), "4"}, "O horário da reserva (14/06/2024 15:38) já passou"},
        {"a day past", {{"0011"}, "Silva", at(20, 0, 13), "4"}, "O horário da reserva (13/06/2024 20:00) já passou"},
        {"no table", {{}, "Silva", at(20, 0), "4"}, "Escolha ao menos uma mesa para a reserva"},
        {"a long note",
         {{"0011"}, "Silva", at(20, 0), "4", "", QString(10000, u'x')},
         "A observação tem até 200 caracteres"},
        {"a phone of letters",
         {{"0011"}, "Silva", at(20, 0), "4", "abc"},
         "O telefone tem até 20 caracteres: algarismos, espaços, +, -, ( e )"},
        {"an inactive table",
         {{"0011", "0018"}, "Silva", at(20, 0), "4"},
         "Mesa 0018 não existe nesta loja ou não está ativa"},
        {"a table of another store",
         {{"0019"}, "Silva", at(20, 0), "4"},
         "Mesa 0019 não existe nesta loja ou não está ativa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(refusal([&] { Gpe00002::reservarMesas(*m_ops, m_station, "0001", "0001", c.pedido, now); }),
                  c.message);
    }
    EXPECT_EQ(reservations(), Rows{});
    EXPECT_EQ(journal(), Rows{});
    // Quotes are kept as typed.
    reservar({"0011"}, at(20, 0), now, "O'Brien \"Zé\"; DROP TABLE MESA");
    EXPECT_EQ(reservations(), (Rows{{"O'Brien \"Zé\"; DROP TABLE MESA", "A", "1"}}));
}

TEST_P(ReservarTest, APartyIsHeldTogetherAndGroupedInOneStepWhenSeated) {
    const qint64 party = idOf(reservar({"0016", "0014", "0015"}, at(20, 0), at(15, 39), "Família Souza"));
    const qint64 single = idOf(reservar({"0017"}, at(20, 0), at(15, 39), "Lima"));
    EXPECT_EQ(json(align(at(19, 0))), R"({"freed":[],"noShows":[],"reserved":["0014","0015","0016","0017"]})");
    // A table with an open sale cannot take the guests.
    fill(insert(Sale{.venda = "0000000002", .mesa = "0017"}));
    EXPECT_EQ(refusal([&] { Gpe00002::sentarReserva(*m_ops, m_station, "0001", "0001", single, at(19, 55)); }),
              "Mesa 0017 está ocupada");
    EXPECT_EQ(json(Gpe00002::sentarReserva(*m_ops, m_station, "0001", "0001", party, at(19, 55)).value("grouping")),
              R"("0000000001")");
    EXPECT_EQ(refusal([&] { Gpe00002::sentarReserva(*m_ops, m_station, "0001", "0001", party, at(19, 56)); }),
              QStringLiteral("A reserva %1 de Família Souza já foi encerrada").arg(party));
    EXPECT_EQ(mesa().filter(QRegularExpression("^001[4-7]")), (QStringList{"0014 L", "0015 L", "0016 L", "0017 R"}));
    EXPECT_EQ(groupings(), (Rows{{"0000000001", "0014"}, {"0000000001", "0015"}, {"0000000001", "0016"}}));
    EXPECT_EQ(Gpe00002::cancelarReserva(*m_ops, m_station, "0001", "0001", single, at(19, 56))
                  .value("reservation")
                  .toObject()
                  .value("state"),
              "C");
    EXPECT_EQ(mesa().filter(QRegularExpression("^0017")), (QStringList{"0017 R"}));  // its sale's table stays as it is
    EXPECT_EQ(journal(), (Rows{{"RESERVAR", "0014", "<null>", "<null>"},
                               {"RESERVAR", "0017", "<null>", "<null>"},
                               {"SENTARRESERVA", "0014", "<null>", "0000000001"},
                               {"CANCRESERVA", "0017", "<null>", "<null>"}}));
}

// A table reserved by another program, without a reservation of the package, stays reserved and
// may be freed, as the screen always let it be.
TEST_P(ReservarTest, ATableReservedWithoutAReservationIsFreedOnRequestOnly) {
    fill("UPDATE MESA SET IDSTMESAAUX = 'R' WHERE NRMESA IN ('0020', '0021');\n" +
         reservation(901, {"0021"}, "Costa", at(23, 0)));
    EXPECT_EQ(json(align(at(18, 0))), R"({"freed":["0021"],"noShows":[],"reserved":[]})");
    EXPECT_EQ(shown(at(18, 0), {"0020", "0021"}), (QStringList{"0020 R", "0021 L"}));
    const auto liberar = [&](const char* mesa) {
        return Gpe00002::liberarMesaReservada(*m_ops, m_station, "0001", "0001", table(mesa), at(18, 0));
    };
    EXPECT_EQ(refusal([&] { liberar("0021"); }), "Mesa 0021 não está reservada sem reserva registrada");
    EXPECT_EQ(json(liberar("0020")), R"({"ended":"cancelled","reservation":null,"table":"0020"})");
    EXPECT_EQ(mesa().filter(QRegularExpression("^002[01]")), (QStringList{"0020 L", "0021 L"}));
    EXPECT_EQ(journal(), (Rows{{"CANCRESERVA", "0020", "<null>", "<null>"}}));
}

TEST_P(ReservarTest, TwoTerminalsAtOnceOverlapNeverAndEndANoShowOnce) {
    const char* numbers[] = {"0020", "0021", "0022", "0023"};
    for (const char* number : numbers) {
        std::latch start(2);
        QString outcome[2];
        std::thread terminals[2];
        for (int i = 0; i < 2; ++i)
            terminals[i] = std::thread([&, i] {
                Gpe00002::PackageDatabase own(m_connectionString);
                start.arrive_and_wait();
                try {
                    reservar({number}, at(20 + i, 0), at(15, 0), i ? "B" : "A", &own);
                    outcome[i] = "reserved";
                } catch (const Gpe00002::ERefusal& e) {
                    outcome[i] = e.message();
                }
            });
        for (std::thread& terminal : terminals) terminal.join();
        ASSERT_EQ(int(outcome[0] == "reserved") + int(outcome[1] == "reserved"), 1) << number;
        const QString lost = outcome[0] == "reserved" ? outcome[1] : outcome[0];
        EXPECT_TRUE(lost.endsWith("tente de novo") ||
                    lost.startsWith(QStringLiteral("Mesa %1 já reservada das ").arg(number)))
            << lost.toStdString();
    }
    EXPECT_EQ(
        select("SELECT COUNT(*) AS N, COUNT(DISTINCT NRMESA) AS MESAS FROM GPERESERVAMESA WHERE IDSTRESERVA = 'A'"),
        (Rows{{"4", "4"}}));
    // Past their limit, two terminals read the tables at the same moment: each no-show ends once.
    for (int round = 0; round < 3; ++round) {
        std::latch start(2);
        std::thread terminals[2];
        for (std::thread& terminal : terminals)
            terminal = std::thread([&] {
                Gpe00002::PackageDatabase own(m_connectionString);
                start.arrive_and_wait();
                try {
                    Gpe00002::alignReservations(own, m_station, "0001", "0001", at(22, 30));
                } catch (const Gpe00002::ERefusal&) {
                    // busy: the other terminal did it
                }
            });
        for (std::thread& terminal : terminals) terminal.join();
    }
    EXPECT_EQ(select("SELECT COUNT(*) FROM GPEJORNAL WHERE IDOPERACAO = 'NAOCOMPARECEU'"), (Rows{{"4"}}));
    EXPECT_EQ(select("SELECT COUNT(*) FROM GPERESERVA WHERE IDSTRESERVA = 'N'"), (Rows{{"4"}}));
}

// A database the first version of the package wrote: its reservations take the table from the
// moment they were made, one table each, at most one per table.
TEST_P(ReservarTest, TheUpgradeKeepsTheFirstVersionsReservations) {
    const QString timestamp = postgres() ? "TIMESTAMP" : "DATETIME";
    m_db.Execute(
        QStringLiteral(
            "DROP TABLE GPERESERVAMESA; DROP TABLE GPERESERVA; DELETE FROM GPEVERSAO;"
            "DROP INDEX UX_GPEJORNAL_UUID; DROP INDEX UX_GPEJORNAL_DESFEITA;"
            "ALTER TABLE GPEJORNAL DROP COLUMN CDUUID; ALTER TABLE GPEJORNAL DROP COLUMN NRJORNALDESF;"
            "INSERT INTO GPEVERSAO (NMCOMPONENTE, NRVERSAO) VALUES ('GPE00002', 1);"
            "CREATE TABLE GPERESERVA (NRRESERVA %1, CDFILIAL VARCHAR(4) NOT NULL, CDLOJA VARCHAR(4) NOT NULL, "
            "NRMESA VARCHAR(4) NOT NULL, NMCLIENTE VARCHAR(50) NOT NULL, DTHRRESERVA %2 NOT NULL, NRPESSOAS "
            "VARCHAR(3) NOT NULL, IDSTRESERVA VARCHAR(1) NOT NULL, DTHRINCLUSAO %2 NOT NULL, CDOPERADOR "
            "VARCHAR(12), DTHRFIM %2);"
            "CREATE UNIQUE INDEX UX_GPERESERVA_ATIVA ON GPERESERVA (CDFILIAL, CDLOJA, NRMESA) WHERE "
            "IDSTRESERVA = 'A';"
            "INSERT INTO GPERESERVA (CDFILIAL, CDLOJA, NRMESA, NMCLIENTE, DTHRRESERVA, NRPESSOAS, IDSTRESERVA, "
            "DTHRINCLUSAO) VALUES ('0001', '0001', '0011', 'Silva', '2024-06-14 21:30:00', '4', 'A', "
            "'2024-06-14 15:39:00'), ('0001', '0001', '0010', 'Costa', '2024-06-13 20:00:00', '2', 'C', "
            "'2024-06-13 12:00:00');"
            "UPDATE MESA SET IDSTMESAAUX = 'R' WHERE NRMESA = '0011';")
            .arg(postgres() ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT", timestamp));
    // Two terminals start on it; the second finds the work done.
    m_ops = std::make_unique<Gpe00002::PackageDatabase>(m_connectionString);
    Gpe00002::PackageDatabase::ensureOwnTables(m_ops->connection());
    EXPECT_EQ(select("SELECT NRVERSAO FROM GPEVERSAO"), (Rows{{"3"}}));
    EXPECT_EQ(select("SELECT R.NMCLIENTE, R.IDSTRESERVA, R.DTHRRETENCAO, R.DTHRFIMPREV, R.DTHRLIMITE, T.NRMESA FROM "
                     "GPERESERVA R JOIN GPERESERVAMESA T ON T.NRRESERVA = R.NRRESERVA ORDER BY R.NRRESERVA"),
              (Rows{{"Silva", "A", "2024-06-14 20:30:00", "2024-06-14 23:30:00", "2024-06-14 21:50:00", "0011"},
                    {"Costa", "C", "2024-06-13 19:00:00", "2024-06-13 22:00:00", "2024-06-13 20:20:00", "0010"}}));
    // Silva's table is free until its hold, and a second reservation of it may be made now.
    EXPECT_EQ(shown(at(16, 0), {"0011"}), QStringList{"0011 L"});
    EXPECT_EQ(json(align(at(16, 0))), R"({"freed":["0011"],"noShows":[],"reserved":[]})");
    reservar({"0011"}, at(17, 0), at(16, 0), "Lima");
    // Lima's reservation took the table at once and is a no-show by 20:30, when Silva's holds it.
    EXPECT_EQ(json(align(at(20, 30))), R"({"freed":[],"noShows":[3],"reserved":[]})");
    EXPECT_EQ(mesa().filter(QRegularExpression("^0011")), QStringList{"0011 R"});
}

// The dialogue's dates follow the terminal's clock: its reservations are made for a day ahead.
class ReservarDialogueTest : public ReservarTest {
protected:
    // Runs the dialogue, each screen taking the next of `answers` (nullopt cancels it, as does
    // running out of them); answers what it asked and said, with what a screen showed again when
    // the user came back to it after ":".
    QStringList dialogue(Answers answers) {
        calls.clear();
        const auto next = [&answers]() -> std::optional<QString> {
            if (answers.empty()) return std::nullopt;
            const std::optional<QString> answer = answers.front();
            answers.pop_front();
            return answer;
        };
        const auto again = [](const QString& shown) { return shown.isEmpty() ? QString() : ": " + shown; };
        Gpe00002::MapaMesas = [&](const Gpe00002::TableMapRequest& request) -> std::optional<QStringList> {
            calls << "MapaMesas" + (request.marked.isEmpty() ? QString() : " [" + request.marked.join(',') + "]");
            const std::optional<QString> answer = next();
            return answer ? std::optional(answer->split(',')) : std::nullopt;
        };
        Gpe00002::EditaTexto = [&](const QString&, const QString& prompt, int, const QString& initial) {
            calls << "Texto " + prompt + again(initial);
            return next();
        };
        Gpe00002::TecladoNumerico = [&](std::string& valor, const std::string&, const std::string& prompt,
                                        const std::string&, int, int, int, int, int, int) {
            calls << "Teclado " + QString::fromStdString(prompt) + again(QString::fromStdString(valor));
            const std::optional<QString> answer = next();
            if (answer) valor = answer->toStdString();
            return answer.has_value();
        };
        Gpe00002::Escolha = [&](TClientDataSet& list, const QString& title, const QString& prompt) {
            QString shown = title + " / " + prompt;
            const bool reservations = list.FindField("CLIENTE");
            for (list.First(); !list.Eof(); list.Next())
                shown += "|" + (reservations ? list.FieldByName("HORA").AsString() + " " +
                                                   list.FieldByName("CLIENTE").AsString() + " " +
                                                   list.FieldByName("MESAS").AsString() + " " +
                                                   list.FieldByName("SITUACAO").AsString()
                                             : list.FieldByName("DESCRICAO").AsString())
                                   .trimmed();
            calls << shown;
            const std::optional<QString> answer = next();
            if (answer)
                for (list.First(); list.FieldByName("OPCAO").AsString() != *answer &&
                                   (!reservations || list.FieldByName("CLIENTE").AsString() != *answer);
                     list.Next()) {}
            return answer.has_value();
        };
        Gpe00002::Confirma = [&](const QString&, const QString& question) {
            calls << "Confirma " + question;
            return next() == QStringLiteral("confirm");
        };
        Gpe00002::ConfirmaCancelaPadrao = [&](const QString&, const QString& question) {
            calls << "Confirma (Cancela) " + question;
            return next() == QStringLiteral("confirm");
        };
        Gpe00002::CriaFReservaMesa();
        EXPECT_TRUE(answers.empty());
        return calls;
    }
};

TEST_P(ReservarDialogueTest, TheListLeadsToEachOperationAskingFirstAndGoingBackOneStep) {
    const QDate day = QDate::currentDate().addDays(1);
    const QString ddmm = day.toString("ddMMyyyy"), date = day.toString("dd/MM/yyyy");
    fill(reservation(901, {"0014", "0015"}, "Souza", QDateTime(day, QTime(21, 0))) +
         reservation(902, {"0016"}, "Costa", QDateTime(day, QTime(19, 0))));
    const QString actions = "|Nova reserva|Outro dia|Buscar pelo nome";
    const QString list = "Reservas de " + date + " / Escolha uma reserva, ou o que fazer" + actions +
                         "|19:00 Costa 0016 Aguardando|21:00 Souza 0014, 0015 Aguardando";
    const QStringList toDay = {"Reservas de " + QDate::currentDate().toString("dd/MM/yyyy") +
                                   " / Escolha uma reserva, ou o que fazer" + actions,
                               "Teclado Dia (DDMMAAAA): " + QDate::currentDate().toString("ddMMyyyy")};
    const QStringList steps = {"Texto Nome do cliente", "Teclado Horário da reserva (HHMM)",
                               "Teclado Número de pessoas", "Texto Telefone (opcional)", "Texto Observação (opcional)"};
    // A new reservation: Cancela goes back one answer at a time, each showing what was typed; an
    // overlapping period is refused and the time asked again.
    EXPECT_EQ(lines(dialogue({"DIA", ddmm, "NOVA", "0016", "Lima", "2000", "2", "", "", std::nullopt, std::nullopt,
                              std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt})),
              lines((QStringList{
                  toDay[0], toDay[1], list, "MapaMesas", steps[0], steps[1], steps[2], steps[3], steps[4],
                  "Confirma Reservar a mesa 0016 para Lima em " + date + " às 20:00, 2 pessoas?", steps[4], steps[3],
                  steps[2] + ": 2", steps[1] + ": 2000", steps[0] + ": Lima", "MapaMesas [0016]", list})));
    EXPECT_EQ(
        lines(dialogue({"DIA", ddmm, "NOVA", "0016,0017", "Lima", "2000", "2", "11 5555-0000", "Janela", "confirm",
                        "2200", "2", "11 5555-0000", "Janela", "confirm"})),
        lines((QStringList{toDay[0], toDay[1], list, "MapaMesas", steps[0], steps[1], steps[2], steps[3], steps[4],
                           "Confirma Reservar as mesas 0016 e 0017 para Lima em " + date + " às 20:00, 2 pessoas?",
                           "Mensagem 3 Mesa 0016 já reservada das 19:00 às 21:00 para Costa", steps[1] + ": 2000",
                           steps[2] + ": 2", steps[3] + ": 11 5555-0000", steps[4] + ": Janela",
                           "Confirma Reservar as mesas 0016 e 0017 para Lima em " + date + " às 22:00, 2 pessoas?",
                           "Aviso Mesas 0016 e 0017 reservadas para Lima, em " + date + " às 22:00, 2 pessoas."})));
    // One reservation: its choice opens on "Voltar"; cancelling asks with Enter on Cancela.
    const QString choices =
        "|Voltar à lista de reservas|Sentar os clientes (a venda é aberta nos pedidos)|Alterar a "
        "reserva|Cancelar a reserva";
    const QString souza =
        "Escolha o que fazer com a reserva / Mesas 0014 e 0015: Souza, " + date + " às 21:00, 4 pessoas";
    const QString cancel =
        "Confirma (Cancela) Cancelar a reserva das mesas 0014 e 0015 para Souza em " + date + " às 21:00?";
    const QString list2 = list + "|22:00 Lima 0016, 0017 Aguardando";
    EXPECT_EQ(lines(dialogue({"DIA", ddmm, "Souza", "CANCELAR", std::nullopt, "VOLTAR", std::nullopt}).mid(2)),
              lines((QStringList{list2, souza + choices, cancel, souza + choices, list2})));
    EXPECT_EQ(
        lines(dialogue({"DIA", ddmm, "BUSCA", "sou", "Souza", "SENTAR", "confirm"}).mid(2)),
        lines((QStringList{list2, "Texto Nome do cliente",
                           "Reservas de " + date +
                               " com \"sou\" / Escolha uma reserva, ou o que fazer|Nova "
                               "reserva|Outro dia|Mostrar todas as reservas do dia|21:00 Souza 0014, 0015 Aguardando",
                           souza + choices,
                           "Confirma Sentar os clientes da reserva das mesas 0014 e 0015 para Souza em " + date +
                               " às 21:00 (as mesas são agrupadas)?",
                           "Aviso Mesas 0014 e 0015 liberadas para os clientes da reserva, no agrupamento 1; abra a "
                           "venda na tela de pedidos."})));
    // A change asks every answer again, showing what the reservation holds.
    EXPECT_EQ(lines(dialogue({"DIA", ddmm, "Costa", "ALTERAR", "1830", "5", "0016", "", "", "confirm"}).mid(3)),
              lines((QStringList{
                  "Escolha o que fazer com a reserva / Mesa 0016: Costa, " + date + " às 19:00, 4 pessoas" + choices,
                  "Teclado Horário da reserva (HHMM): 1900", "Teclado Número de pessoas: 4", "MapaMesas [0016]",
                  "Texto Telefone (opcional)", "Texto Observação (opcional)",
                  "Confirma Alterar a reserva de Costa para a mesa 0016, em " + date + " às 18:30, 5 pessoas?",
                  "Aviso Reserva de Costa alterada: a mesa 0016, em " + date + " às 18:30, 5 pessoas."})));
    // Another terminal holds the store until the time limit: "tente de novo", and the time again.
    m_db.Execute(postgres() ? QStringLiteral("BEGIN; SELECT NRMESA FROM MESA WHERE NRMESA = '0010' FOR UPDATE")
                            : QStringLiteral("BEGIN IMMEDIATE"));
    const QStringList busy = dialogue({"DIA", ddmm, "NOVA", "0010", "Reis", "2000", "2", "", "", "confirm"});
    m_db.Execute("ROLLBACK");
    EXPECT_TRUE(busy.contains("Mensagem 3 Mesa 0010 está em uso em outro terminal; tente de novo")) << lines(busy);
    EXPECT_EQ(reservations(), (Rows{{"Costa", "A", "1"}, {"Lima", "A", "2"}, {"Souza", "S", "2"}}));
    EXPECT_EQ(journal(), (Rows{{"RESERVAR", "0016", "<null>", "<null>"},
                               {"SENTARRESERVA", "0014", "<null>", "0000000001"},
                               {"ALTRESERVA", "0016", "<null>", "<null>"}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, ReservarTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);
INSTANTIATE_TEST_SUITE_P(Engines, ReservarDialogueTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         engineName);

}  // namespace
