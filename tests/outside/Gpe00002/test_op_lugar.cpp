// Moving a seat position, on both engines: on the same table only the seat changes; to another
// table every item of the seat moves whole; what is refused; and the dialogue.
#include "ItemsFixture.h"

#include "Gpe00002.h"
#include "operations/TransferirLugar.h"

namespace {

using namespace opstest;

TEST(SeatNumber, TypedDigitsTakeTheSourceSeatsWidth) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"1", "02", "01"},   {"1", "0002", "0001"}, {"12", "02", "12"}, {"123", "02", "123"},
        {"3", "", "3"},      {"3", "A1", "3"},      {"0", "02", ""},    {"00", "02", ""},
        {"12345", "02", ""}, {"1a", "02", ""},      {"", "02", ""},     {"-1", "02", ""},
    };
    for (const auto& [typed, source, expected] : cases)
        EXPECT_EQ(Gpe00002::seatNumber(typed, source).value_or(""), expected) << typed << " from " << source;
}

class LugarTest : public ItemsTest {
protected:
    QJsonObject mover(const char* from, const char* lugar, const char* to, const char* lugarDestino,
                      std::optional<Gpe00002::Ticket> into) {
        return Gpe00002::transferirLugar(*m_ops, m_station, "0001", "0001", table(from), lugar, items(from), table(to),
                                         lugarDestino, into);
    }
};

TEST_P(LugarTest, TheSeatsListedItemsMoveOnTheSameTableOrWholeToAnother) {
    const auto before = sums();
    // Seat 02 of 0011 holds C1/000002, C1/000003 and a refill, which is not listed and stays.
    EXPECT_EQ(
        compact(mover("0011", "02", "0011", "05", std::nullopt)),
        R"({"from":{"seat":"02","table":"0011"},"items":[)"
        R"({"from":{"item":"000002","sale":"V11","ticket":"C1"},"to":{"item":"000002","sale":"V11","ticket":"C1"}},)"
        R"({"from":{"item":"000003","sale":"V11","ticket":"C1"},"to":{"item":"000003","sale":"V11","ticket":"C1"}}],)"
        R"("to":{"seat":"05","table":"0011"}})");
    // Seat 01 of 0011: an item of each ticket, to the second ticket of 0015, numbered in turn.
    EXPECT_EQ(
        compact(mover("0011", "01", "0015", "03", ticket("0015", "C6"))),
        R"({"from":{"seat":"01","table":"0011"},"items":[)"
        R"({"from":{"item":"000001","sale":"V11","ticket":"C1"},"to":{"item":"000001","sale":"V15","ticket":"C6"}},)"
        R"({"from":{"item":"000001","sale":"V11","ticket":"C2"},"to":{"item":"000002","sale":"V15","ticket":"C6"}}],)"
        R"("to":{"seat":"03","table":"0015"}})");
    EXPECT_EQ(allItems(), (Rows{{"V11/C1/000002", "P2", "0.452", "05", "<null>", "<null>"},
                                {"V11/C1/000003", "P3", "1", "05", "<null>", "<null>"},
                                {"V11/C1/000004", "P1", "1", "02", "<null>", "<null>"},
                                {"V12/C3/000001", "P1", "1", "01", "<null>", "<null>"},
                                {"V12/C3/000007", "P1", "1", "01", "<null>", "<null>"},
                                {"V13/C4/000001", "P1", "1", "01", "<null>", "<null>"},
                                {"V15/C6/000001", "P1", "3", "03", "1", "0.5"},
                                {"V15/C6/000002", "P3", "2", "03", "0.01", "<null>"}}));
    EXPECT_EQ(row("V15", "C6", "000002").at(0), (Row{"P3", "2", "7", "0.01", "<null>", "03", "0002", "<null>",
                                                     "2024-06-14 19:30:00", "P", "RES_ANA", "C2", "000001"}));
    EXPECT_EQ(sums(), before);
    EXPECT_EQ(journal(), (Rows{{"TRANSFLUGAR", "0011", "0011", "<null>"}, {"TRANSFLUGAR", "0011", "0015", "<null>"}}));
}

TEST_P(LugarTest, RefusesNamingWhyAndChangesNothing) {
    struct Case {
        const char* name;
        const char* lugar;
        const char* to;
        const char* lugarDestino;
        const char* into;
        const char* otherTerminal;
        const char* message;
    };
    const Case cases[] = {
        {"a seat without items", "07", "0015", "01", "C5", nullptr, "Mesa 0011 não tem itens no lugar 07"},
        {"the same seat", "01", "0011", "01", nullptr, nullptr, "Escolha um lugar de destino diferente do lugar 01"},
        {"a closing table", "01", "0013", "01", "C4", nullptr, "Mesa 0013 está fechando"},
        {"another table without a ticket", "01", "0014", "01", nullptr, nullptr, "Escolha a comanda da mesa 0014"},
        {"an item added to the seat meanwhile", "01", "0015", "01", "C5",
         "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, QTPRODCOMVEN, "
         "NRLUGARMESA, IDPRODREFIL) VALUES ('0001', 'V11', 'C2', '000002', 'P1', 1, '01', 'N')",
         "Lugar 01 da mesa 0011 foi alterado por outro terminal; tente de novo"},
        {"an item of the seat moved to another seat meanwhile", "02", "0015", "01", "C5",
         "UPDATE ITCOMANDAVEN SET NRLUGARMESA = '09' WHERE NRCOMANDA = 'C1' AND NRPRODCOMVEN = '000003'",
         "Lugar 02 da mesa 0011 foi alterado por outro terminal; tente de novo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto seen = items("0011");
        const Gpe00002::TableState from = table("0011"), to = table(c.to);
        const std::optional<Gpe00002::Ticket> into = c.into ? std::optional(ticket(c.to, c.into)) : std::nullopt;
        if (c.otherTerminal) m_db.Execute(QString::fromUtf8(c.otherTerminal));
        const Rows before = allItems();
        EXPECT_EQ(refusal([&] {
                      Gpe00002::transferirLugar(*m_ops, m_station, "0001", "0001", from, c.lugar, seen, to,
                                                c.lugarDestino, into);
                  }),
                  QString::fromUtf8(c.message));
        EXPECT_EQ(allItems(), before);
    }
    EXPECT_EQ(journal(), Rows{});
}

TEST_P(LugarTest, TheDialogueAsksSeatTableTargetSeatTicketAndConfirmationAndGoesBackOneStepOnCancel) {
    const QString source = "map Escolha a mesa de onde sai o lugar: 0011,0012";
    const QString seats =
        "list Escolha o lugar / Lugares da mesa 0011: o lugar vai com todos os seus itens / Lugar,Itens: 01|2; 02|2";
    const QString target = "map Escolha a mesa que recebe o lugar 01 da mesa 0011: 0011,0012,0015";
    const QString keypad = "keypad Lugar de destino na mesa 0015: ";
    const QString tickets =
        "list Escolha a comanda / A mesa 0015 tem várias comandas: escolha a que recebe o lugar 01 "
        "/ Comanda,Descrição,Itens: C5|PKR_0015|0; C6|RES_BIA|0";
    const QString question = "confirm Transferir os 2 itens do lugar 01 da mesa 0011 para o lugar 03 da mesa 0015?";
    const auto run = [this](std::deque<QString> answers) {
        return dialogue([] { Gpe00002::CriaTrComanN("3", "S", "S"); }, std::move(answers)).join('\n').toStdString();
    };
    const Rows untouched = allItems();
    // Cancela from the question back to the first map, each screen showing what was chosen.
    EXPECT_EQ(run({"tables 0011", "pick NRLUGARMESA=01", "tables 0015", "keypad 3", "pick NRCOMANDA=C6", "cancel"}),
              (QStringList{source, seats, target, keypad, tickets, question, tickets, keypad + "3", target + " [0015]",
                           seats, source + " [0011]"})
                  .join('\n')
                  .toStdString());
    EXPECT_EQ(allItems(), untouched);
    EXPECT_EQ(
        run({"tables 0011", "pick NRLUGARMESA=01", "tables 0015", "keypad 0", "keypad 3", "pick NRCOMANDA=C6",
             "confirm"}),
        (QStringList{source, seats, target, keypad, "message 3 Digite o número do lugar, de 1 a 9999.", keypad + "0",
                     tickets, question, "notice Lugar 01 da mesa 0011 transferido para o lugar 03 da mesa 0015."})
            .join('\n')
            .toStdString());
    EXPECT_EQ(select("SELECT NRCOMANDA, NRPRODCOMVEN, NRLUGARMESA FROM ITCOMANDAVEN WHERE NRVENDAREST = 'V15'"),
              (Rows{{"C6", "000001", "03"}, {"C6", "000002", "03"}}));
    EXPECT_EQ(journal().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Engines, LugarTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
