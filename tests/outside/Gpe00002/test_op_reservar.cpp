// Reserving a table and ending its reservation, on both engines: the rules of what is typed,
// what each operation leaves and refuses, two terminals at once, and the dialogue with fakes in
// place of its screens.
#include "DialogueFixture.h"

#include "operations/ReservarMesa.h"

#include <QJsonDocument>
#include <deque>
#include <latch>
#include <thread>

namespace {

using namespace opstest;
using Gpe00002::ReservationEnd;
using Answers = std::deque<std::optional<QString>>;

QString json(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

TEST(ReservationInput, TimePeopleAndGuestNameRules) {
    const QDateTime now(QDate(2024, 6, 14), QTime(19, 0, 30));
    const std::pair<const char*, const char*> times[] = {{"2030", "2024-06-14 20:30"},
                                                         {"1900", "2024-06-14 19:00"},
                                                         {"1859", "2024-06-15 18:59"},
                                                         {"0000", "2024-06-15 00:00"},
                                                         {"2359", "2024-06-14 23:59"},
                                                         {"2575", ""},
                                                         {"2400", ""},
                                                         {"1960", ""},
                                                         {"930", ""},
                                                         {"20:3", ""},
                                                         {"", ""}};
    for (const auto& [typed, expected] : times) {
        const std::optional<QDateTime> at = Gpe00002::reservationTime(typed, now);
        EXPECT_EQ(at ? at->toString("yyyy-MM-dd HH:mm") : QString(), expected) << typed;
    }
    const std::pair<const char*, const char*> people[] = {{"4", "4"},   {"004", "4"}, {"999", "999"}, {"0", ""},
                                                          {"1000", ""}, {"", ""},     {"1a", ""},     {"-1", ""}};
    for (const auto& [typed, expected] : people)
        EXPECT_EQ(Gpe00002::reservationPeople(typed).value_or(""), expected) << typed;
    const std::pair<QString, QString> names[] = {{" Silva \n da\t Costa ", "Silva da Costa"},
                                                 {" \t\r\n", ""},
                                                 {QString(50, u'a'), QString(50, u'a')},
                                                 {QString(51, u'a'), ""}};
    for (const auto& [typed, expected] : names)
        EXPECT_EQ(Gpe00002::guestName(typed).value_or(""), expected) << typed.size();
}

class ReservarTest : public DialogueTest {
protected:
    void SetUp() override {
        DialogueTest::SetUp();
        if (HasFatalFailure()) return;
        QString sql;
        for (const char* number : {"0010", "0016", "0017", "0019"}) sql += insert(Table{.mesa = number});
        sql += insert(Table{.mesa = "0012", .estado = "O"}) + insert(Sale{.venda = "0000000001", .mesa = "0012"});
        sql += insert(Table{.mesa = "0013", .estado = "P"});
        for (const char* number : {"0014", "0015", "0018"}) sql += insert(Table{.mesa = number, .estado = "R"});
        // 0015 is reserved without a reservation row; 0016 is free but its reservation was never ended.
        for (const char* row : {"'0014', 'Silva'", "'0018', 'Souza'", "'0016', 'Costa'"})
            sql += QStringLiteral(
                       "INSERT INTO GPERESERVA (CDFILIAL, CDLOJA, NRMESA, NMCLIENTE, DTHRRESERVA, NRPESSOAS, "
                       "IDSTRESERVA, DTHRINCLUSAO) VALUES ('0001', '0001', %1, '2024-06-14 20:30:00', '4', 'A', "
                       "'2024-06-14 18:00:00');\n")
                       .arg(row);
        fill(sql);
    }

    // Each table's status with its reservations (guest and status), by table.
    Rows state() {
        return select(
            "SELECT M.NRMESA, M.IDSTMESAAUX, R.NMCLIENTE, R.IDSTRESERVA FROM MESA M LEFT JOIN GPERESERVA R ON "
            "R.NRMESA = M.NRMESA ORDER BY M.NRMESA, R.NRRESERVA");
    }
    QJsonObject reservar(const Gpe00002::TableState& seen, const char* cliente = "Silva", const char* pessoas = "4") {
        return Gpe00002::reservarMesa(*m_ops, m_station, "0001", "0001", seen,
                                      {cliente, QDateTime(QDate(2024, 6, 14), QTime(20, 30)), pessoas});
    }
    QJsonObject encerrar(const Gpe00002::TableState& seen, ReservationEnd end) {
        return Gpe00002::encerrarReserva(*m_ops, m_station, "0001", "0001", seen, end);
    }

    // Runs the dialogue, each screen taking the next of `answers` (nullopt cancels it, as does
    // running out of them); answers what it asked and said, with what a screen showed again when
    // the user came back to it after ":" (or in brackets for the map). The map's tables are kept
    // in `offered`.
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
            offered.clear();
            for (const Gpe00002::MapTable& t : request.tables)
                offered << t.mesa.numero + (t.enabled ? "" : " " + t.reason);
            const std::optional<QString> answer = next();
            return answer ? std::optional(QStringList{*answer}) : std::nullopt;
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
            for (list.First(); !list.Eof(); list.Next()) shown += "|" + list.FieldByName("DESCRICAO").AsString();
            calls << shown;
            const std::optional<QString> answer = next();
            if (answer)
                for (list.First(); list.FieldByName("OPCAO").AsString() != *answer; list.Next()) {}
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
    QStringList offered;
};

TEST_P(ReservarTest, ReservesAFreeTableAndEndingAReservationFreesIt) {
    EXPECT_EQ(json(reservar(table("0010"), " Silva ", "04")),
              R"({"reservation":{"at":"2024-06-14T20:30:00","guest":"Silva","people":"4"},"table":"0010"})");
    EXPECT_EQ(select("SELECT DTHRRESERVA, NRPESSOAS, CDOPERADOR, DTHRFIM FROM GPERESERVA WHERE NRMESA = '0010'"),
              (Rows{{"2024-06-14 20:30:00", "4", "000000000005", "<null>"}}));
    const auto ended = [](const char* how, const char* guest, const char* mesa) {
        const QString reservation =
            guest ? QStringLiteral(R"({"at":"2024-06-14T20:30:00","guest":"%1","people":"4"})").arg(guest) : "null";
        return QStringLiteral(R"({"ended":"%1","reservation":%2,"table":"%3"})").arg(how, reservation, mesa);
    };
    const std::tuple<const char*, ReservationEnd, QString> ends[] = {
        {"0014", ReservationEnd::Cancel, ended("cancelled", "Silva", "0014")},
        {"0018", ReservationEnd::Seat, ended("seated", "Souza", "0018")},
        {"0015", ReservationEnd::Seat, ended("seated", nullptr, "0015")},
        {"0016", ReservationEnd::Cancel, ended("cancelled", "Costa", "0016")},
    };
    for (const auto& [mesa, end, expected] : ends) EXPECT_EQ(json(encerrar(table(mesa), end)), expected) << mesa;
    EXPECT_EQ(state(), (Rows{{"0010", "R", "Silva", "A"},
                             {"0012", "O", "<null>", "<null>"},
                             {"0013", "P", "<null>", "<null>"},
                             {"0014", "L", "Silva", "C"},
                             {"0015", "L", "<null>", "<null>"},
                             {"0016", "L", "Costa", "C"},
                             {"0017", "L", "<null>", "<null>"},
                             {"0018", "L", "Souza", "S"},
                             {"0019", "L", "<null>", "<null>"}}));
    EXPECT_EQ(select("SELECT COUNT(*) FROM GPERESERVA WHERE IDSTRESERVA <> 'A' AND DTHRFIM IS NULL"), (Rows{{"0"}}));
    EXPECT_EQ(journal(), (Rows{{"RESERVAR", "0010", "<null>", "<null>"},
                               {"CANCRESERVA", "0014", "<null>", "<null>"},
                               {"SENTARRESERVA", "0018", "<null>", "<null>"},
                               {"SENTARRESERVA", "0015", "<null>", "<null>"},
                               {"CANCRESERVA", "0016", "<null>", "<null>"}}));
}

TEST_P(ReservarTest, RefusesWhatIsNotAsSeenAndChangesNothing) {
    struct Case {
        const char* name;
        const char* table;
        bool reserve;               // or cancel
        const char* otherTerminal;  // what changes between the map and the operation
        QString message;
    };
    const Case cases[] = {
        {"an occupied table", "0012", true, nullptr, "Mesa 0012 está ocupada"},
        {"a reserved table", "0014", true, nullptr, "Mesa 0014 já está reservada"},
        {"reserved meanwhile", "0010", true, "UPDATE MESA SET IDSTMESAAUX = 'R' WHERE NRMESA = '0010'",
         "Mesa 0010 já está reservada"},
        {"a sale opened meanwhile", "0019", true,
         "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, NRMESA) VALUES ('0001', '0000000009', '0001', '0019')",
         "Mesa 0019 foi alterada por outro terminal; tente de novo"},
        {"cancelling a free table", "0017", false, nullptr, "Mesa 0017 não está reservada"},
        {"ended meanwhile", "0018", false,
         "UPDATE MESA SET IDSTMESAAUX = 'L' WHERE NRMESA = '0018'; UPDATE GPERESERVA SET IDSTRESERVA = 'S' WHERE "
         "NRMESA = '0018'",
         "Mesa 0018 foi alterada por outro terminal; tente de novo"},
        {"a table that is gone", "0015", false, "UPDATE MESA SET IDSTMESA = 'I' WHERE NRMESA = '0015'",
         "Mesa 0015 não existe mais nesta loja"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Gpe00002::TableState seen = table(c.table);
        if (c.otherTerminal) m_db.Execute(QString::fromUtf8(c.otherTerminal));
        const Rows before = state();
        EXPECT_EQ(refusal([&] { c.reserve ? reservar(seen) : encerrar(seen, ReservationEnd::Cancel); }), c.message);
        EXPECT_EQ(state(), before);
    }
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(ReservarTest, TwoTerminalsReservingTheSameTableAtOnceOneWins) {
    const char* numbers[] = {"0020", "0021", "0022", "0023", "0024"};
    QString sql;
    for (const char* number : numbers) sql += insert(Table{.mesa = number});
    fill(sql);
    for (const char* number : numbers) {
        const Gpe00002::TableState seen = table(number);
        std::latch start(2);
        QString outcome[2];
        std::thread terminals[2];
        for (int i = 0; i < 2; ++i)
            terminals[i] = std::thread([&, i] {
                Gpe00002::PackageDatabase own(m_connectionString);
                start.arrive_and_wait();
                try {
                    Gpe00002::reservarMesa(own, m_station, "0001", "0001", seen,
                                           {"T", QDateTime::currentDateTime(), "2"});
                    outcome[i] = "reserved";
                } catch (const Gpe00002::ERefusal& e) {
                    outcome[i] = e.message();
                }
            });
        for (std::thread& terminal : terminals) terminal.join();
        ASSERT_EQ(int(outcome[0] == "reserved") + int(outcome[1] == "reserved"), 1) << number;
        const QString lost = outcome[0] == "reserved" ? outcome[1] : outcome[0];
        EXPECT_TRUE(lost.endsWith("tente de novo") || lost == QStringLiteral("Mesa %1 já está reservada").arg(number))
            << lost.toStdString();
    }
    EXPECT_EQ(select("SELECT COUNT(*) AS N, COUNT(DISTINCT NRMESA) AS MESAS FROM GPERESERVA WHERE IDSTRESERVA = 'A' "
                     "AND NRMESA >= '0020'"),
              (Rows{{"5", "5"}}));
    EXPECT_EQ(journal().size(), 5u);
}

// The other terminal ends the reservation while this one waits for the table: this one must see
// what the other left, not what was there when it began to wait.
TEST_P(ReservarTest, AReservationEndedWhileWaitingForTheTableIsNotEndedTwice) {
    const Gpe00002::TableState seen = table("0016");
    m_db.Execute(postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    m_db.Execute("UPDATE MESA SET IDSTMESAAUX = 'L' WHERE NRMESA = '0016'");
    m_db.Execute("UPDATE GPERESERVA SET IDSTRESERVA = 'C' WHERE NRMESA = '0016'");
    QString message;
    std::thread terminal([&] { message = refusal([&] { encerrar(seen, ReservationEnd::Cancel); }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    m_db.Execute("COMMIT");
    terminal.join();
    EXPECT_EQ(message, "Mesa 0016 foi alterada por outro terminal; tente de novo");
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(ReservarTest, TheDialogueAsksEachAnswerInTurnGoesBackOneStepAndShowsRefusalsAndNotices) {
    const QStringList steps = {"MapaMesas", "Texto Nome do cliente", "Teclado Horário da reserva (HHMM)",
                               "Teclado Número de pessoas"};
    // Cancela goes back one answer at a time, each showing what was typed, and then to the map.
    EXPECT_EQ(dialogue({"0010", "Silva", "2030", std::nullopt, std::nullopt, std::nullopt}),
              (QStringList{steps[0], steps[1], steps[2], steps[3], steps[2] + ": 2030", steps[1] + ": Silva",
                           "MapaMesas [0010]"}));
    EXPECT_EQ(offered.join(", "), "0010, 0012 ocupada, 0013 em fechamento, 0014, 0015, 0016, 0017, 0018, 0019");
    // The choice opens on "Voltar"; cancelling asks, and Cancela there comes back to the choice.
    const QString choices =
        "|Voltar ao mapa de mesas|Sentar os clientes (a venda é aberta nos pedidos)|Cancelar a reserva";
    const QString silva = "Escolha o que fazer com a reserva / Mesa 0014: Silva, 14/06/2024 às 20:30, 4 pessoas";
    EXPECT_EQ(dialogue({"0014", "VOLTAR"}), (QStringList{"MapaMesas", silva + choices, "MapaMesas [0014]"}));
    EXPECT_EQ(dialogue({"0014", "CANCELAR", std::nullopt}),
              (QStringList{"MapaMesas", silva + choices,
                           "Confirma (Cancela) Cancelar a reserva da mesa 0014 para Silva em 14/06/2024 às 20:30?",
                           silva + choices, "MapaMesas [0014]"}));
    const Rows untouched = state();
    EXPECT_EQ(journal(), Rows{});

    const QDateTime time = *Gpe00002::reservationTime("2030", QDateTime::currentDateTime());
    const QString at = time.toString("dd/MM/yyyy 'às' HH:mm");
    const QString question = "Confirma Reservar a mesa 0010 para Silva " +
                             (time.date() == QDate::currentDate() ? "às 20:30" : "em " + at) + ", 4 pessoas?";
    // The reservation is asked for; Cancela there goes back to the number of people.
    EXPECT_EQ(
        dialogue({"0010", "  ", "Silva", "2575", "2030", "0", "4", std::nullopt, "4", "confirm"}),
        (QStringList{"MapaMesas", steps[1], "Mensagem 3 Informe o nome do cliente.", steps[1], steps[2],
                     "Mensagem 3 O horário 2575 não existe: digite as horas e os minutos com quatro dígitos, de 0000 a "
                     "2359.",
                     steps[2] + ": 2575", steps[3], "Mensagem 3 O número de pessoas vai de 1 a 999.", steps[3] + ": 0",
                     question, steps[3] + ": 4", question,
                     "Mensagem 0 Mesa 0010 reservada para Silva, em " + at + ", 4 pessoas."}));
    // Seating asks too, and Cancela comes back to the choice.
    EXPECT_EQ(
        dialogue({"0014", "SENTAR", std::nullopt, "SENTAR", "confirm"}),
        (QStringList{"MapaMesas", silva + choices,
                     "Confirma Sentar os clientes da reserva da mesa 0014 para Silva em 14/06/2024 às 20:30?",
                     silva + choices,
                     "Confirma Sentar os clientes da reserva da mesa 0014 para Silva em 14/06/2024 às 20:30?",
                     "Mensagem 0 Mesa 0014 liberada para os clientes da reserva; abra a venda na tela de pedidos."}));
    EXPECT_EQ(dialogue({"0015", "CANCELAR", "confirm"}),
              (QStringList{"MapaMesas", "Escolha o que fazer com a reserva / Mesa 0015 reservada" + choices,
                           "Confirma (Cancela) Cancelar a reserva da mesa 0015?",
                           "Mensagem 0 Reserva da mesa 0015 cancelada; a mesa está livre."}));
    // Another terminal holds the table until the time limit.
    m_db.Execute(postgres() ? QStringLiteral("BEGIN; SELECT NRMESA FROM MESA WHERE NRMESA = '0017' FOR UPDATE")
                            : QStringLiteral("BEGIN IMMEDIATE"));
    EXPECT_EQ(dialogue({"0017", "Costa", "2030", "2", "confirm"}).last(),
              "Mensagem 3 Mesa 0017 está em uso em outro terminal; tente de novo");
    m_db.Execute("ROLLBACK");

    Rows expected = untouched;
    expected[0] = {"0010", "R", "Silva", "A"};
    expected[3] = {"0014", "L", "Silva", "S"};
    expected[4] = {"0015", "L", "<null>", "<null>"};
    EXPECT_EQ(state(), expected);
    EXPECT_EQ(journal().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Engines, ReservarTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
