// The waiter check of the data service (getValidaGarcom) on a SQLite file and on the PostgreSQL
// test server: which waiter is found, and the verdict on a branch and cash register.
#include "DataModuleFixture.h"

namespace {

using namespace menutest;
using Srv_res00011::getValidaGarcom;

// The answer with a verdict, or without rows.
const Fields kVerdictFields = {
    {"CDVENDEDOR", TFieldType::ftString, 4},  {"NMFANVEN", TFieldType::ftString, 50},
    {"CDOPERADOR", TFieldType::ftString, 12}, {"CDFILIAL", TFieldType::ftString, 4},
    {"CDCAIXA", TFieldType::ftString, 3},     {"HABILITADO", TFieldType::ftString, 1},
};

// The answer to "T": the statement's own columns; the blank verdict is a literal without width.
Fields wildcardFields(int cdvendedor = 4, int nmfanven = 50, int cdoperador = 12, int cdfilial = 4, int cdcaixa = 3) {
    return {{"CDVENDEDOR", TFieldType::ftString, cdvendedor}, {"NMFANVEN", TFieldType::ftString, nmfanven},
            {"CDOPERADOR", TFieldType::ftString, cdoperador}, {"CDFILIAL", TFieldType::ftString, cdfilial},
            {"CDCAIXA", TFieldType::ftString, cdcaixa},       {"HABILITADO", TFieldType::ftString, 0}};
}

const char* const kOp1 = "000000000001";  // linked to branch 0001
const char* const kOp2 = "000000000002";  // linked to branch 0002 only

QString operators() {
    return insert(Operator{.codigo = kOp1}) + filioper(kOp1, "0001") + insert(Operator{.codigo = kOp2}) +
           filioper(kOp2, "0002") + insert(Operator{.codigo = "000000000003", .ativo = "I"}) +
           insert(Operator{.codigo = "000000000004", .ativo = "a"}) +
           insert(Operator{.codigo = "000000000005", .ativo = nullptr}) +
           // Codes shorter than the column: the link to a branch is recorded under the code
           // brought to width 12, digits left-padded with zeros, anything else right-padded
           // with blanks.
           insert(Operator{.codigo = "77"}) + filioper("000000000077", "0001") +  // padded link
           insert(Operator{.codigo = "78"}) + filioper("78", "0001") +            // link as the code is
           insert(Operator{.codigo = "OP7"}) + filioper("OP7         ", "0001") + insert(Operator{.codigo = "OP8"}) +
           filioper("OP8", "0001");
}

const Waiter kWaiters[] = {
    {"0001", "Ana", kOp1, "0001", "001"},
    {"0002", "Bruno", kOp1, "0002", "001"},
    {"0003", "Carla", kOp1, "0002", "002"},
    {"0004", "Davi", kOp1, "0001", "002"},
    {"0005", "Eva", kOp1, nullptr, "002"},
    {"0006", "Fabio", kOp1, "", "002"},
    {"0007", "Gil", kOp1, "    ", "002"},
    {"0008", "Hugo", kOp1, "0001", nullptr},
    {"0009", "Iara", kOp1, "0001", ""},
    {"0010", "Joao", kOp1, "0001", "   "},
    {"0011", "Lia", kOp1, nullptr, nullptr},
    {"0012", "Mara", kOp2, nullptr, "001"},
    {"0013", "Nina", "77", "", ""},
    {"0014", "Otto", "78", "    ", nullptr},
    {"0015", "Paulo", "OP7", nullptr, nullptr},
    {"0016", "Rita", "OP8", nullptr, nullptr},
    {"0017", "Saulo", "000000000003", "0001", "001"},  // operator inactive
    {"0018", "Tais", "000000000004", "0001", "001"},   // operator status 'a'
    {"0019", "Ugo", "000000000005", "0001", "001"},    // operator without status
    {"0020", "Vera", "000000000099", "0001", "001"},   // operator without OPERADOR row
    {"0021", "Wagner", nullptr, "0001", "001"},        // no operator
    {"0022", "Xena", kOp1, "1", "001"},
    {"0023", "Yara", kOp1, "A1", "001"},
    {"0024", "Zeca", kOp1, "0001", "01"},
    {"0025", nullptr, kOp1, "0001", "001"},
    {"t", "Tiago", kOp1, "0001", "001"},
};

const Waiter& waiter(const char* code) {
    for (const Waiter& w : kWaiters)
        if (std::string(w.codigo) == code) return w;
    throw std::logic_error(std::string("no waiter ") + code);
}

// The answer's row for a waiter: its values as stored, an empty text for a null.
Row verdictRow(const Waiter& w, const char* verdict) {
    const auto text = [](const char* value) { return std::string(value ? value : ""); };
    return {text(w.codigo), text(w.nome), text(w.operador), text(w.filial), text(w.caixa), verdict};
}

class WaitersTest : public DataModuleTest {
protected:
    QVariant validate(const char* code, const char* filial, const char* caixa, const char* modo) {
        QVariant answer;
        EXPECT_NO_THROW(answer = getValidaGarcom(QString::fromUtf8(code), QString::fromUtf8(filial),
                                                 QString::fromUtf8(caixa), QString::fromUtf8(modo)));
        return answer;
    }
};

TEST_P(WaitersTest, ValidaGarcomGivesTheVerdictOfTheWaiterOnTheBranchAndCashRegister) {
    QString sql = operators();
    for (const Waiter& w : kWaiters) sql += insert(w);
    fill(sql);

    struct Case {
        const char* name;
        const char* code;
        const char* filial;
        const char* caixa;
        const char* modo;
        const char* verdict;  // nullptr: no row
    };
    const Case cases[] = {
        {"branch and register of the waiter", "0001", "0001", "001", "1", "S"},
        {"another branch", "0002", "0001", "001", "1", "F"},
        {"another branch comes before another register", "0003", "0001", "001", "1", "F"},
        {"another register", "0004", "0001", "001", "1", "C"},
        {"another register, no branch (null)", "0005", "0001", "001", "1", "C"},
        {"another register, no branch (empty)", "0006", "0001", "001", "1", "C"},
        {"another register, no branch (blanks)", "0007", "0001", "001", "1", "C"},
        {"the branch, no register (null)", "0008", "0001", "001", "1", "S"},
        {"the branch, no register (empty)", "0009", "0001", "001", "1", "S"},
        {"the branch, no register (blanks)", "0010", "0001", "001", "1", "S"},
        {"no branch: the operator is linked to the branch", "0011", "0001", "001", "1", "S"},
        {"no branch: the operator is linked to another branch only", "0012", "0001", "001", "1", "N"},
        {"no branch: the operator is linked to the one asked", "0012", "0002", "001", "1", "S"},
        {"no branch: another register", "0012", "0002", "002", "1", "C"},
        {"no branch: a code of digits is linked under its zero-padded form", "0013", "0001", "001", "1", "S"},
        {"no branch: a link under the unpadded digits does not count", "0014", "0001", "001", "1", "N"},
        {"no branch: another code is linked under its blank-padded form", "0015", "0001", "001", "1", "S"},
        {"no branch: a link under the unpadded code does not count", "0016", "0001", "001", "1", "N"},
        {"no branch: another branch of the call", "0011", "0003", "001", "1", "N"},
        {"the branch compared exactly: 1 is not 0001", "0022", "0001", "001", "1", "F"},
        {"the branch compared exactly: 0001 is not 1", "0001", "1", "001", "1", "F"},
        {"the branch compared exactly: case", "0023", "a1", "001", "1", "F"},
        {"the branch compared exactly: same case", "0023", "A1", "001", "1", "S"},
        {"the branch compared exactly: trailing blank", "0001", "0001 ", "001", "1", "F"},
        {"the branch compared exactly: empty branch of the call", "0001", "", "001", "1", "F"},
        {"the register compared exactly: 01 is not 001", "0024", "0001", "001", "1", "C"},
        {"the register compared exactly: 001 is not 01", "0001", "0001", "01", "1", "C"},
        {"the register compared exactly: empty register of the call", "0001", "0001", "", "1", "C"},
        {"a waiter without name", "0025", "0001", "001", "1", "S"},
        // Another mode than "1": the waiter is accepted as found.
        {"mode empty", "0002", "0001", "001", "", "S"},
        {"mode 0", "0003", "0001", "001", "0", "S"},
        {"mode 2", "0004", "0001", "001", "2", "S"},
        {"mode 1 with a trailing blank", "0002", "0001", "001", "1 ", "S"},
        {"mode 1 with a leading blank", "0012", "0001", "001", " 1", "S"},
        // Not found: no row, whatever the mode.
        {"unknown waiter", "0099", "0001", "001", "1", nullptr},
        {"unknown waiter, mode empty", "0099", "0001", "001", "", nullptr},
        {"operator inactive", "0017", "0001", "001", "1", nullptr},
        {"operator status in lower case", "0018", "0001", "001", "1", nullptr},
        {"operator without status", "0019", "0001", "001", "", nullptr},
        {"operator without OPERADOR row", "0020", "0001", "001", "1", nullptr},
        {"waiter without operator", "0021", "0001", "001", "1", nullptr},
        {"code with a trailing blank", "0001 ", "0001", "001", "1", nullptr},
        {"code without its zeros", "1", "0001", "001", "1", nullptr},
        {"empty code", "", "0001", "001", "1", nullptr},
        // "t" is a waiter's code, not the wildcard.
        {"the waiter coded t", "t", "0001", "001", "1", "S"},
        {"the waiter coded t, another branch", "t", "0002", "001", "1", "F"},
        {"back to the first waiter", "0001", "0001", "001", "1", "S"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TPacketTable packet = packetOf(validate(c.code, c.filial, c.caixa, c.modo));
        EXPECT_EQ(packet.fields, kVerdictFields);
        EXPECT_EQ(rowsOf(packet), c.verdict ? Rows{verdictRow(waiter(c.code), c.verdict)} : Rows{});
    }
}

// The operator is looked up by the code as the waiter query read it: SQLite holds a text wider
// than its column, the driver reads it cut to the column's width, and that code is no
// operator's. PostgreSQL refuses such a text when it is stored, so there a code as read always
// finds the operator that the waiter query joined: SQLite only.
class SqliteWaitersTest : public WaitersTest {};

TEST_P(SqliteWaitersTest, ValidaGarcomAnswersOWhenTheOperatorCodeAsReadIsNoOperator) {
    fill(insert(Operator{.codigo = "CAIXA-NOITE-2"}) + filioper("CAIXA-NOITE-2", "0001") +
         filioper("CAIXA-NOITE-", "0001") + insert(Waiter{"0001", "Ana", "CAIXA-NOITE-2", nullptr, nullptr}) +
         insert(Waiter{"0002", "Bruno", "CAIXA-NOITE-2", "0001", nullptr}));
    struct Case {
        const char* name;
        const char* code;
        const char* modo;
        Rows expected;
    };
    const Case cases[] = {
        {"no branch: the operator is looked up", "0001", "1", {{"0001", "Ana", "CAIXA-NOITE-", "", "", "O"}}},
        {"the waiter's branch decides first", "0002", "1", {{"0002", "Bruno", "CAIXA-NOITE-", "0001", "", "S"}}},
        {"another mode", "0001", "", {{"0001", "Ana", "CAIXA-NOITE-", "", "", "S"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TPacketTable packet = packetOf(validate(c.code, "0001", "001", c.modo));
        EXPECT_EQ(packet.fields, kVerdictFields);
        EXPECT_EQ(rowsOf(packet), c.expected);
    }
}

TEST_P(WaitersTest, ValidaGarcomWithTListsEveryWaiterOfAnActiveOperator) {
    fill(insert(Operator{.codigo = kOp1}) + insert(Operator{.codigo = "000000000003", .ativo = "I"}) +
         insert(Waiter{"0001", "Ana", kOp1, "0001", "001"}) + insert(Waiter{"0002", "Bruno", kOp1, "0002", nullptr}) +
         insert(Waiter{"T", "Tereza", kOp1, nullptr, "002"}) +
         insert(Waiter{"0003", "Carla", "000000000003", "0001", "001"}));
    const Rows everyone = {{"0001", "Ana", kOp1, "0001", "001", " "},
                           {"0002", "Bruno", kOp1, "0002", kNull, " "},
                           {"T", "Tereza", kOp1, kNull, "002", " "}};
    struct Call {
        const char* name;
        const char* code;
        const char* filial;
        const char* modo;
        Fields fields;
        Rows expected;  // any order
    };
    const Call calls[] = {
        {"T in mode 1: no verdict, nulls as stored", "T", "0001", "1", wildcardFields(), everyone},
        {"T in another mode", "T", "0009", "", wildcardFields(), everyone},
        {"one waiter in between", "0002", "0001", "1", kVerdictFields, {{"0002", "Bruno", kOp1, "0002", "", "F"}}},
        {"an unknown waiter in between", "0099", "0001", "1", kVerdictFields, {}},
        {"T again", "T", "0001", "1", wildcardFields(), everyone},
        {"t is a code like any other", "t", "0001", "1", kVerdictFields, {}},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        const TPacketTable packet = packetOf(validate(c.code, c.filial, "001", c.modo));
        EXPECT_EQ(packet.fields, c.fields);
        EXPECT_EQ(sorted(rowsOf(packet)), sorted(c.expected));
    }

    // Without a waiter of an active operator, "T" answers the six fields without rows.
    fill(QStringLiteral("UPDATE OPERADOR SET IDOPERATIVO = 'I';\n"));
    const TPacketTable none = packetOf(validate("T", "0001", "001", "1"));
    EXPECT_EQ(none.fields, kVerdictFields);
    EXPECT_EQ(rowsOf(none), Rows{});
}

// A site whose waiter columns are wider than the answer's fields: the values are cut to the
// fields, after the verdict was reached on the whole values; "T" answers the whole values.
TEST_P(WaitersTest, ValidaGarcomCutsWideValuesToTheAnswersFields) {
    fill(QStringLiteral("DROP TABLE VENDEDOR; DROP TABLE OPERADOR;\n"
                        "CREATE TABLE VENDEDOR (CDVENDEDOR VARCHAR(8) NOT NULL PRIMARY KEY, NMFANVEN VARCHAR(80), "
                        "CDOPERADOR VARCHAR(20), CDFILIAL VARCHAR(8), CDCAIXA VARCHAR(6));\n"
                        "CREATE TABLE OPERADOR (CDOPERADOR VARCHAR(20) NOT NULL PRIMARY KEY, NMOPERADOR VARCHAR(50), "
                        "CDSENHOPER VARCHAR(64), IDOPERATIVO VARCHAR(1));\n") +
         insert(Operator{.codigo = "OPERADOR-NOITE-01"}) + insert(Operator{.codigo = kOp1}) + filioper(kOp1, "0001") +
         insert(Waiter{"00001", "Maria Aparecida dos Santos Nascimento Ferreira da Silva", kOp1, "0001", "001"}) +
         insert(Waiter{"00002", "Bruno", kOp1, "000100", "001"}) +
         insert(Waiter{"00003", "Carla", kOp1, "0001", "0010"}) +
         insert(Waiter{"00004", "Davi", "OPERADOR-NOITE-01", nullptr, nullptr}));
    struct Case {
        const char* name;
        const char* code;
        Rows expected;
    };
    const Case cases[] = {
        {"code and name cut",
         "00001",
         {{"0000", "Maria Aparecida dos Santos Nascimento Ferreira da ", kOp1, "0001", "001", "S"}}},
        {"a branch longer than the field differs from the call's",
         "00002",
         {{"0000", "Bruno", kOp1, "0001", "001", "F"}}},
        {"a register longer than the field differs from the call's",
         "00003",
         {{"0000", "Carla", kOp1, "0001", "001", "C"}}},
        {"a long operator code is looked up whole", "00004", {{"0000", "Davi", "OPERADOR-NOI", "", "", "N"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TPacketTable packet = packetOf(validate(c.code, "0001", "001", "1"));
        EXPECT_EQ(packet.fields, kVerdictFields);
        EXPECT_EQ(rowsOf(packet), c.expected);
    }
    const TPacketTable everyone = packetOf(validate("T", "0001", "001", "1"));
    EXPECT_EQ(everyone.fields, wildcardFields(8, 80, 20, 8, 6));
    EXPECT_EQ(sorted(rowsOf(everyone)),
              (Rows{{"00001", "Maria Aparecida dos Santos Nascimento Ferreira da Silva", kOp1, "0001", "001", " "},
                    {"00002", "Bruno", kOp1, "000100", "001", " "},
                    {"00003", "Carla", kOp1, "0001", "0010", " "},
                    {"00004", "Davi", "OPERADOR-NOITE-01", kNull, kNull, " "}}));
}

TEST_P(WaitersTest, ValidaGarcomAnswersTheErrorTextAndTheNextCallStartsAfresh) {
    fill(operators() + insert(waiter("0001")) + insert(waiter("0011")) + insert(waiter("0002")));
    const Rows ana = {verdictRow(waiter("0001"), "S")};
    const Rows lia = {verdictRow(waiter("0011"), "S")};
    ASSERT_EQ(rowsOf(packetOf(validate("0011", "0001", "001", "1"))), lia);

    struct Case {
        const char* table;  // put away for one call
        const char* code;   // a waiter whose check reads it
    };
    const Case cases[] = {
        {"VENDEDOR", "0001"},  // the waiter query
        {"OPERADOR", "0001"},  // the waiter query too
        {"FILIOPER", "0011"},  // the last look-up of a waiter without branch
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        m_db.Execute(QStringLiteral("ALTER TABLE %1 RENAME TO %1_AWAY").arg(QLatin1String(c.table)));
        const QString error = errorOf(validate(c.code, "0001", "001", "1"));
        if (postgres())
            EXPECT_TRUE(pgMissingTable(c.table).match(error).hasMatch()) << error.toStdString();
        else
            EXPECT_EQ(error,
                      QStringLiteral("Erro de banco de dados: SQLite: no such table: %1").arg(QLatin1String(c.table)));
        m_db.Execute(QStringLiteral("ALTER TABLE %1_AWAY RENAME TO %1").arg(QLatin1String(c.table)));

        // The next calls answer their own waiter, one row each.
        EXPECT_EQ(rowsOf(packetOf(validate("0011", "0001", "001", "1"))), lia);
        EXPECT_EQ(rowsOf(packetOf(validate("0001", "0001", "001", "1"))), ana);
        EXPECT_EQ(rowsOf(packetOf(validate("0002", "0001", "001", "1"))), (Rows{verdictRow(waiter("0002"), "F")}));
        EXPECT_EQ(rowsOf(packetOf(validate("0099", "0001", "001", "1"))), Rows{});
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, WaitersTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);
INSTANTIATE_TEST_SUITE_P(Engines, SqliteWaitersTest, ::testing::Values(Engine::SQLite), engineName);

// Without the data module the check answers why.
TEST(WaitersWithoutDataModule, AnswersTheReason) {
    ASSERT_EQ(Srv_res00011::rdmMenu, nullptr);
    QVariant answer;
    EXPECT_NO_THROW(answer = getValidaGarcom("0001", "0001", "001", "1"));
    EXPECT_EQ(errorOf(answer), QStringLiteral("Erro de banco de dados: o módulo de dados do menu não foi criado"));
}

}  // namespace
