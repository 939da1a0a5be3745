// "Altera Garçom por Item": the dialogue from the table keypad to the item list and the waiter
// keypad, the messages of every refusal, and what reaches the database. The operations
// package's keypad and search list are replaced by scripted fakes that record every call; the
// data is the sample generator's demo state in a real SQLite database.
#include "Cli_res00011.h"
#include "support/FakeRoutines.h"
#include "support/PgTestServer.h"
#include "EventGuard.h"
#include "Gpe00002.h"
#include "Mensagemqor.h"
#include "Process.h"
#include "SampleData.h"
#include "Srv_res00011.h"
#include "TADOQuery.h"
#include "TBlendedBitBtn.h"
#include "TClientDataSet.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>

namespace {

using Cli_res00011::frmMenu;
using Calls = std::vector<std::string>;

const char* kOperator = "000000000005";
const std::string kTableKeypad =
    "Teclado(Altera Garçom por Item,Escolha o número da mesa,Escolha o número da mesa,4,0,0,0,0,0)";
const std::string kWaiterKeypad =
    "Teclado(Alterar Garçom,Informe o numero do Garçom,Informe o numero do Garçom,4,0,0,0,0,0)";
const std::string kList = "Pesquisa(0,0,11776174,13684686,4407615,8487297,0)";

// What the list showed when it was offered: its current row ("last" when that is the last one)
// and every row as "<ticket's last digit>.<item's last digit>=<waiter>", sorted: the order of
// the rows is the engine's.
struct Shown {
    std::string position;
    std::string rows;
    bool operator==(const Shown&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Shown& s) { return out << s.position << " " << s.rows; }

class AlteraGarcomTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        Process::setExecutableFolderForTests(m_dir.path());
        qunsetenv("QOR_CONNECTION");
        freshDemoData();
        writeParameters();

        Gpe00002::ControleAcess = [](int, const std::string&) { return std::string("S"); };
        Gpe00002::VerificaAcesso = [this](int code, const std::string& op, std::string& text) {
            record("VerificaAcesso(" + std::to_string(code) + "," + op + "," + text + ")");
            return m_granted;
        };
        Gpe00002::TecladoNumerico = [this](std::string& valor, const std::string& caption, const std::string& prompt,
                                           const std::string& prompt2, int size, int a1, int a2, int a3, int a4,
                                           int a5) {
            record("Teclado(" + caption + "," + prompt + "," + prompt2 + "," + std::to_string(size) + "," +
                   std::to_string(a1) + "," + std::to_string(a2) + "," + std::to_string(a3) + "," + std::to_string(a4) +
                   "," + std::to_string(a5) + ")");
            m_keypadStart.push_back(valor);
            if (m_keypad.empty()) return false;
            const std::optional<std::string> answer = m_keypad.front();
            m_keypad.pop_front();
            if (!answer) return false;  // cancelled: the value stays as it was
            valor = *answer;
            return true;
        };
        Gpe00002::Pesquisa = [this](TClientDataSet& data, int a1, int a2, int c1, int c2, int c3, int c4, int a3) {
            record("Pesquisa(" + std::to_string(a1) + "," + std::to_string(a2) + "," + std::to_string(c1) + "," +
                   std::to_string(c2) + "," + std::to_string(c3) + "," + std::to_string(c4) + "," + std::to_string(a3) +
                   ")");
            const auto label = [&data] {
                return data.FieldByName(QStringLiteral("NRCOMANDA")).AsString().right(1).toStdString() + "." +
                       data.FieldByName(QStringLiteral("NRPRODCOMVEN")).AsString().right(1).toStdString() + "=" +
                       data.FieldByName(QStringLiteral("CDVENDEDOR")).AsString().toStdString();
            };
            Shown shown{data.RecNo() == data.RecordCount() ? std::string("last") : label(), {}};
            std::vector<std::string> rows;
            for (data.First(); !data.Eof(); data.Next()) {
                rows.push_back(label());
                m_lastTicket = data.FieldByName(QStringLiteral("NRCOMANDA")).AsString().toStdString();
            }
            std::sort(rows.begin(), rows.end());
            for (const std::string& row : rows) shown.rows += (shown.rows.empty() ? "" : " ") + row;
            m_shown.push_back(shown);
            if (m_lists.empty()) return false;
            const auto action = m_lists.front();
            m_lists.pop_front();
            return action(data);
        };
        m_fakes.recordDialogues();
    }

    void TearDown() override { Process::setExecutableFolderForTests({}); }

    // The demo state in a new database file, where the menu looks for it.
    void freshDemoData() {
        const QString path = m_dir.filePath(QStringLiteral("restaurante.db"));
        m_database.Close();
        QFile::remove(path);
        m_database.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + path);
        m_database.Open();
        SampleDataOptions options;
        options.items = 10;
        options.createSchema = true;
        generateSampleData(m_database, options);
    }

    void writeParameters() {
        TClientDataSet data;
        const std::pair<const char*, TFieldType> columns[] = {
            {"IDESQUEMA", TFieldType::ftString},        {"CDOPERADORLOGIN", TFieldType::ftString},
            {"ctAgrupMesa", TFieldType::ftInteger},     {"ctCancAgrupMesa", TFieldType::ftInteger},
            {"ctTransfProduto", TFieldType::ftInteger}, {"ctTransfMesa", TFieldType::ftInteger},
            {"ctReservMesa", TFieldType::ftInteger},    {"IDLUGARMESA", TFieldType::ftString},
            {"UTILIZAIMPFIS", TFieldType::ftBoolean},   {"CDCAIXA", TFieldType::ftString},
            {"ctReiVenSatNFCe", TFieldType::ftInteger}};
        for (const auto& [name, type] : columns) data.FieldDefs().push_back({name, type, 0});
        data.CreateDataSet();
        data.Append();
        const QVariant values[] = {QStringLiteral("002"),
                                   QString::fromLatin1(kOperator),
                                   11,
                                   12,
                                   13,
                                   14,
                                   15,
                                   QStringLiteral("S"),
                                   false,
                                   QStringLiteral("001"),
                                   16};
        for (int i = 0; i < data.FieldCount(); ++i) data.Fields(i).setValue(values[i]);
        data.Post();
        data.SaveToFile(m_dir.filePath(QStringLiteral("PARAMETROSQOR.CDS")));
    }

    void record(const std::string& call) { m_fakes.record(call); }

    // Presses the command on the menu of branch 0001, store 0001, configuration 0001 (the demo
    // store); answers whether the menu was still open afterwards.
    bool runCommand() {
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            m_calls.clear();
            QTest::mouseClick(frmMenu->BlendedBitBtn1, Qt::LeftButton);
            stillOpen = frmMenu && frmMenu->isVisible();
            if (stillOpen) frmMenu->lblSairClick();
        });
        Cli_res00011::CriaMenuMesa("0001", "0001", "0001", "");
        return stillOpen;
    }

    // List actions: pick the row of an item (ticket and item number), optionally doing
    // something first; or close the list.
    using ListAction = std::function<bool(TClientDataSet&)>;
    static ListAction pick(const QString& ticket, const QString& item, std::function<void()> before = {}) {
        return [=](TClientDataSet& data) {
            if (before) before();
            for (data.First(); !data.Eof(); data.Next())
                if (data.FieldByName(QStringLiteral("NRCOMANDA")).AsString() == ticket &&
                    data.FieldByName(QStringLiteral("NRPRODCOMVEN")).AsString() == item)
                    return true;
            ADD_FAILURE() << "no row " << ticket.toStdString() << "/" << item.toStdString();
            return false;
        };
    }
    static ListAction closeList() {
        return [](TClientDataSet&) { return false; };
    }

    // One text per row, columns separated by '|'.
    std::vector<std::string> select(const QString& sql) {
        TADOQuery query;
        query.setConnection(&m_database);
        query.setSQL(sql);
        query.Open();
        std::vector<std::string> rows;
        for (query.First(); !query.Eof(); query.Next()) {
            std::string row;
            for (int i = 0; i < query.FieldCount(); ++i)
                row += (i ? "|" : "") + query.Fields(i).AsString().toStdString();
            rows.push_back(row);
        }
        return rows;
    }
    // The waiters of table 12's open sale: the sale's, then the items' in ticket and item order.
    std::vector<std::string> table12Waiters() {
        std::vector<std::string> rows = select(
            QStringLiteral("SELECT CDVENDEDOR FROM VENDAREST WHERE CDFILIAL = '0001' AND NRVENDAREST = '0000000001'"));
        for (const std::string& row : select(QStringLiteral(
                 "SELECT NRCOMANDA || '/' || NRPRODCOMVEN || '=' || CDVENDEDOR FROM ITCOMANDAVEN "
                 "WHERE CDFILIAL = '0001' AND NRVENDAREST = '0000000001' ORDER BY NRCOMANDA, NRPRODCOMVEN")))
            rows.push_back(row);
        return rows;
    }

    QTemporaryDir m_dir;
    TADOConnection m_database;
    FakeRoutines m_fakes;
    Calls& m_calls = m_fakes.calls;
    bool m_granted = true;
    std::deque<std::optional<std::string>> m_keypad;  // nullopt cancels
    std::deque<ListAction> m_lists;                   // none left closes the list
    std::vector<std::string> m_keypadStart;           // what each keypad started with
    std::vector<Shown> m_shown;
    std::string m_lastTicket;  // of the list's last row when it was last offered
};

const std::string kAccess = "VerificaAcesso(-1,000000000005,)";
const std::string kStatus = "MensagemMetodo(getStatusMesa,Cli_Res00011,0001-0001-0001,002)";
const std::string kTickets12 = "MensagemMetodo(getComandaInd,Cli_Res00011,0012-0001-0001,002)";
const std::string kItems12 = "MensagemMetodo(getitemMesa,Cli_Res00420,0001-0000000001-RES,002)";
const std::string kRefused = "Mensagem(Mesa não pode ser alterada.,3,002)";
std::string validation(const std::string& code) {
    return "MensagemMetodo(getValidaGarcom,Cli_Res00011," + code + " - 0001 - 001 - 1,002)";
}
std::string itemUpdate(const std::string& code, const std::string& product, const std::string& ticket,
                       const std::string& item, const std::string& result) {
    return "MensagemMetodo(setVendedorItem,Cli_Res00011,stVendedor" + code + "stFilial0001CDPRODUTO" + product +
           "NRCOMANDA" + ticket + "NRVENDAREST0000000001NRPRODCOMVEN" + item + ",002) -> " + result;
}
// Table 12 of the demo: four items on ticket 1 and one on ticket 2, all of waiter 0001 (the
// refill, the ticket in status 4 and the counter ticket are not listed).
const std::string kDemoRows = "1.1=0001 1.2=0001 1.3=0001 1.4=0001 2.1=0001";
const std::vector<std::string> kDemoWaiters = {"0001",
                                               "0000000001/000001=0001",
                                               "0000000001/000002=0001",
                                               "0000000001/000003=0001",
                                               "0000000001/000004=0001",
                                               "0000000002/000001=0001",
                                               "0000000002/000002=0001",
                                               "0000000003/000001=0001",
                                               "0000000004/000001=0001"};

TEST_F(AlteraGarcomTest, ChangesTheWaiterOfOnePickedItemAndLeavesTheSaleWhileOtherItemsKeepTheirs) {
    ASSERT_EQ(table12Waiters(), kDemoWaiters);
    m_keypad = {"12", "2"};
    m_lists = {pick("0000000001", "000001"), closeList()};
    EXPECT_TRUE(runCommand());
    EXPECT_EQ(m_calls,
              (Calls{kAccess, kTableKeypad, kStatus, kTickets12, kItems12, kList, kWaiterKeypad, validation("0002"),
                     itemUpdate("0002", "0000000001", "0000000001", "000001", "true"), kList}));
    EXPECT_EQ(m_keypadStart, (std::vector<std::string>{"", ""}));
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(m_shown[0].rows, kDemoRows);
    EXPECT_EQ(m_shown[1], (Shown{"last", "1.1=0002 1.2=0001 1.3=0001 1.4=0001 2.1=0001"})) << "the last row current";
    std::vector<std::string> expected = kDemoWaiters;
    expected[1] = "0000000001/000001=0002";
    EXPECT_EQ(table12Waiters(), expected) << "only the picked item; the sale keeps waiter 0001";
}

// Every way the command ends before an item is listed. `calls` ends with the message, if any;
// a message ending in ": " is the start of a database error's text.
TEST_F(AlteraGarcomTest, EndsBeforeTheListAtEveryRefusalWithItsMessageOrSilently) {
    struct Case {
        const char* name;
        bool granted;
        std::deque<std::optional<std::string>> keypad;
        const char* sql;  // run before the command
        Calls calls;
    };
    const Calls table = {kAccess, kTableKeypad};
    const auto plus = [](Calls calls, const Calls& more) {
        calls.insert(calls.end(), more.begin(), more.end());
        return calls;
    };
    const Case cases[] = {
        {"access refused: nothing else is asked", false, {"12"}, nullptr, {kAccess}},
        {"table keypad cancelled", true, {std::nullopt}, nullptr, table},
        {"empty text confirmed", true, {""}, nullptr, table},
        {"blanks confirmed", true, {"   "}, nullptr, table},
        // A confirmed "0" is brought to the width of a table number first: table 0000, which
        // no store has.
        {"table 0 confirmed", true, {"0"}, nullptr, plus(table, {kStatus, kRefused})},
        {"inactive table 0040", true, {"40"}, nullptr, plus(table, {kStatus, kRefused})},
        {"the store's default table 0001", true, {"1"}, nullptr, plus(table, {kStatus, kRefused})},
        {"table 0037, offered on page 2 only", true, {"37"}, nullptr, plus(table, {kStatus, kRefused})},
        {"table 0099, a button without a table", true, {"99"}, nullptr, plus(table, {kStatus, kRefused})},
        {"free table 0002 (R)", true, {"2"}, nullptr, plus(table, {kStatus, kRefused})},
        {"table 0013 in status P, listed as S", true, {"13"}, nullptr, plus(table, {kStatus, kRefused})},
        {"table 0012 in a lower-case o",
         true,
         {"0012"},
         "UPDATE MESA SET IDSTMESAAUX = 'o' WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0012'",
         plus(table, {kStatus, kRefused})},
        {"a quote in the table text", true, {"1'2"}, nullptr, plus(table, {kStatus, kRefused})},
        {"an expression in the table text", true, {"12' OR '1'='1"}, nullptr, plus(table, {kStatus, kRefused})},
        {"an expression with a doubled quote",
         true,
         {"12'' OR NRMESA <> '"},
         nullptr,
         plus(table, {kStatus, kRefused})},
        {"table 0015: its waiter has no VENDEDOR row, so no ticket",
         true,
         {"15"},
         nullptr,
         plus(table, {kStatus, "MensagemMetodo(getComandaInd,Cli_Res00011,0015-0001-0001,002)"})},
        {"grouped table 0020: a sale without tickets",
         true,
         {"20"},
         nullptr,
         plus(table, {kStatus, "MensagemMetodo(getComandaInd,Cli_Res00011,0020-0001-0001,002)"})},
        {"table 0012 with no item left",
         true,
         {"12"},
         "DELETE FROM ITCOMANDAVEN WHERE CDFILIAL = '0001' AND NRVENDAREST = '0000000001'",
         plus(table, {kStatus, kTickets12, kItems12})},
        {"the item query fails: its text shown once as an error",
         true,
         {"12"},
         "DROP TABLE PRODUTO",
         plus(table,
              {kStatus, kTickets12, kItems12 + " -> text", "Mensagem(Erro em getitemMesa (0001-0000000001-RES): "})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_keypadStart.clear();
        m_shown.clear();
        if (c.sql) m_database.Execute(QString::fromUtf8(c.sql));
        m_granted = c.granted;
        m_keypad = c.keypad;
        EXPECT_TRUE(runCommand()) << "the menu stays open";
        Calls calls = m_calls;
        Calls expected = c.calls;
        if (!expected.empty() && expected.back().ends_with(": ") && !calls.empty() && calls.size() == expected.size()) {
            EXPECT_EQ(calls.back().rfind(expected.back(), 0), 0u) << calls.back();
            EXPECT_NE(calls.back().find("PRODUTO"), std::string::npos) << calls.back();
            EXPECT_TRUE(calls.back().ends_with(",3,002)")) << calls.back();
            calls.pop_back();
            expected.pop_back();
        }
        EXPECT_EQ(calls, expected);
        EXPECT_TRUE(m_shown.empty());
        if (c.sql) {
            freshDemoData();
        } else {
            EXPECT_EQ(table12Waiters(), kDemoWaiters);
        }
    }
}

// The waiter keypad's refusals: each shows its message and asks again, and a cancelled keypad
// goes back to the list; the code typed is kept for the next keypad except after "not found".
TEST_F(AlteraGarcomTest, WaiterKeypadAsksAgainAfterEachRefusalAndGoesBackToTheListWhenCancelled) {
    struct Case {
        const char* name;
        std::deque<std::optional<std::string>> keypad;  // after the table's
        bool removeItem;                                // between the list and the update
        Calls dialogue;                                 // between the list and the list again
        std::vector<std::string> keypadStart;           // of the waiter keypads
    };
    const std::string notFound = "Mensagem(Garçom não encontrado,3,002)";
    const Case cases[] = {
        {"cancelled at once", {std::nullopt}, false, {kWaiterKeypad}, {""}},
        {"not found: missing, then an inactive operator's, then cancelled",
         {"99", "3", std::nullopt},
         false,
         {kWaiterKeypad, validation("0099"), notFound, kWaiterKeypad, validation("0003"), notFound, kWaiterKeypad},
         {"", "", ""}},
        {"the item's own waiter",
         {"1", std::nullopt},
         false,
         {kWaiterKeypad, validation("0001"), "Mensagem(Selecione um garçom diferente,3,002)", kWaiterKeypad},
         {"", "0001"}},
        {"the item's own waiter typed in full, then a missing one",
         {"0001", "9", std::nullopt},
         false,
         {kWaiterKeypad, validation("0001"), "Mensagem(Selecione um garçom diferente,3,002)", kWaiterKeypad,
          validation("0009"), notFound, kWaiterKeypad},
         {"", "0001", ""}},
        {"the item is gone when it is written",
         {"2", std::nullopt},
         true,
         {kWaiterKeypad, validation("0002"), itemUpdate("0002", "0000000001", "0000000001", "000001", "false"),
          "Mensagem(Não foi possivel alterar este item,3,002)", kWaiterKeypad},
         {"", "0002"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_keypad = c.keypad;
        m_keypad.push_front("12");
        m_keypadStart.clear();
        m_shown.clear();
        m_lists = {pick("0000000001", "000001",
                        [this, &c] {
                            if (c.removeItem)
                                m_database.Execute(QStringLiteral(
                                    "DELETE FROM ITCOMANDAVEN WHERE CDFILIAL = '0001' AND NRCOMANDA = '0000000001' "
                                    "AND NRPRODCOMVEN = '000001'"));
                        }),
                   closeList()};
        EXPECT_TRUE(runCommand());
        Calls expected = {kAccess, kTableKeypad, kStatus, kTickets12, kItems12, kList};
        expected.insert(expected.end(), c.dialogue.begin(), c.dialogue.end());
        expected.push_back(kList);
        EXPECT_EQ(m_calls, expected);
        std::vector<std::string> starts = c.keypadStart;
        starts.insert(starts.begin(), "");
        EXPECT_EQ(m_keypadStart, starts);
        ASSERT_EQ(m_shown.size(), 2u);
        EXPECT_EQ(m_shown[0].rows, kDemoRows);
        EXPECT_EQ(m_shown[1], (Shown{"1.1=0001", kDemoRows})) << "unchanged, the picked row still current";
        if (!c.removeItem) {
            EXPECT_EQ(table12Waiters(), kDemoWaiters);
        }
        EXPECT_TRUE(m_keypad.empty());
    }
}

TEST_F(AlteraGarcomTest, TheOnlyItemChangedMovesTheSaleToTheNewWaiterOnTheTypedTable) {
    m_database.Execute(
        QStringLiteral("DELETE FROM ITCOMANDAVEN WHERE CDFILIAL = '0001' AND NRVENDAREST = '0000000001' "
                       "AND NOT (NRCOMANDA = '0000000001' AND NRPRODCOMVEN = '000004')"));
    m_keypad = {"012", "0002"};
    m_lists = {pick("0000000001", "000004"), closeList()};
    EXPECT_TRUE(runCommand());
    EXPECT_EQ(m_calls,
              (Calls{kAccess, kTableKeypad, kStatus, kTickets12, kItems12, kList, kWaiterKeypad, validation("0002"),
                     itemUpdate("0002", "0000000002", "0000000001", "000004", "true"),
                     "MensagemMetodo(setVendedorVenda,Cli_Res00011,stVendedor0002stFilial0001NRCOMANDA0000000001"
                     "NRVENDAREST0000000001,002) -> true",
                     kList}));
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(m_shown[0], (Shown{"last", "1.4=0001"}));
    EXPECT_EQ(m_shown[1], (Shown{"last", "1.4=0002"}));
    EXPECT_EQ(table12Waiters(), (std::vector<std::string>{"0002", "0000000001/000004=0002"}));
    EXPECT_EQ(select(QStringLiteral("SELECT NRVENDAREST || '=' || CDVENDEDOR FROM VENDAREST WHERE CDFILIAL = '0001' "
                                    "AND NRMESA = '0012' ORDER BY NRVENDAREST")),
              (std::vector<std::string>{"0000000001=0002", "0000000003=0001"}))
        << "the closed sale of the same table keeps its waiter";
}

TEST_F(AlteraGarcomTest, WithTwoWaitersTheSaleMovesOnlyWhenTheLastItemOfTheOtherIsChanged) {
    m_database.Execute(
        QStringLiteral("UPDATE ITCOMANDAVEN SET CDVENDEDOR = '0004' WHERE CDFILIAL = '0001' "
                       "AND NRVENDAREST = '0000000001' AND NOT (NRCOMANDA = '0000000001' "
                       "AND NRPRODCOMVEN IN ('000001', '000002'))"));
    // The second keypad starts with the code of the first change; it is confirmed as shown.
    m_keypad = {"12", "4", "0004"};
    m_lists = {pick("0000000001", "000002"), pick("0000000001", "000001"), closeList()};
    EXPECT_TRUE(runCommand());
    EXPECT_EQ(m_calls,
              (Calls{kAccess, kTableKeypad, kStatus, kTickets12, kItems12, kList, kWaiterKeypad, validation("0004"),
                     itemUpdate("0004", "0000000003", "0000000001", "000002", "true"), kList, kWaiterKeypad,
                     validation("0004"), itemUpdate("0004", "0000000001", "0000000001", "000001", "true"),
                     "MensagemMetodo(setVendedorVenda,Cli_Res00011,stVendedor0004stFilial0001NRCOMANDA" + m_lastTicket +
                         "NRVENDAREST0000000001,002) -> true",
                     kList}));
    EXPECT_EQ(m_keypadStart, (std::vector<std::string>{"", "", "0004"}));
    ASSERT_EQ(m_shown.size(), 3u);
    EXPECT_EQ(m_shown[0].rows, "1.1=0001 1.2=0001 1.3=0004 1.4=0004 2.1=0004");
    EXPECT_EQ(m_shown[1], (Shown{"last", "1.1=0001 1.2=0004 1.3=0004 1.4=0004 2.1=0004"}));
    EXPECT_EQ(m_shown[2], (Shown{"last", "1.1=0004 1.2=0004 1.3=0004 1.4=0004 2.1=0004"}));
    const std::vector<std::string> waiters = table12Waiters();
    ASSERT_FALSE(waiters.empty());
    EXPECT_EQ(waiters[0], "0004");
}

}  // namespace

namespace {

// The main path once more, on the PostgreSQL test server.
class AlteraGarcomPostgresTest : public AlteraGarcomTest {
protected:
    void SetUp() override {
        AlteraGarcomTest::SetUp();
        const QString connection = pgTestConnectionString(QStringLiteral("altera_garcom_main"));
        m_database.Close();
        m_database.setConnectionString(connection);
        m_database.Open();
        SampleDataOptions options;
        options.items = 10;
        options.createSchema = true;
        generateSampleData(m_database, options);
        qputenv("QOR_CONNECTION", connection.toUtf8());
    }
    void TearDown() override {
        qunsetenv("QOR_CONNECTION");
        AlteraGarcomTest::TearDown();
    }
};

TEST_F(AlteraGarcomPostgresTest, ChangesTheWaiterOfOnePickedItem) {
    ASSERT_EQ(table12Waiters(), kDemoWaiters);
    m_keypad = {"12", "2"};
    m_lists = {pick("0000000001", "000001"), closeList()};
    EXPECT_TRUE(runCommand());
    std::vector<std::string> expected = kDemoWaiters;
    expected[1] = "0000000001/000001=0002";
    EXPECT_EQ(table12Waiters(), expected) << "only the picked item; the sale keeps waiter 0001";
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(m_shown[0].rows.size(), kDemoRows.size());
}

}  // namespace
