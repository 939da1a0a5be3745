// The table query functions of the menu's data service, on a SQLite file and on the PostgreSQL
// test server: the groupings of a store (getNrJuncao) and the tables a screen configuration
// shows (getStatusMesa). Every test fills a database of its own through a second connection and
// calls the functions on the data module, connected through QOR_CONNECTION as in production.
#include "support/TestValues.h"
#include "support/PgTestServer.h"

#include "DataPacket.h"
#include "Srv_res00011.h"
#include "TADOQuery.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// Texts and field descriptors in failure messages as text.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
void PrintTo(const TFieldDesc& field, std::ostream* out) {
    *out << field.name.toStdString() << ' ' << fieldTypeName(field.type) << '(' << field.size << ')';
}

namespace {

using Srv_res00011::getNrJuncao;
using Srv_res00011::getStatusMesa;
using Srv_res00011::rdmMenu;

enum class Engine { SQLite, PostgreSQL };
void PrintTo(Engine engine, std::ostream* out) { *out << (engine == Engine::SQLite ? "SQLite" : "PostgreSQL"); }

using Row = std::vector<std::string>;  // one value per field, "<null>" for a null
using Rows = std::vector<Row>;

constexpr const char* kNull = "<null>";

Rows rowsOf(const TPacketTable& packet) {
    Rows rows;
    for (const TRecord& record : packet.rows) {
        Row& row = rows.emplace_back();
        for (const TFieldValue& value : record) row.push_back(valueText(value));
    }
    return rows;
}

Rows sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The packet of an answer. An answer that is not a packet fails the test, naming its text.
TPacketTable packetOf(const QVariant& answer) {
    if (answer.typeId() != QMetaType::QByteArray) {
        ADD_FAILURE() << "expected a data packet, got " << answer.typeName() << ": " << answer.toString().toStdString();
        return {};
    }
    return decodePacket(answer.toByteArray());
}

// The error text of an answer. An answer that is not a text fails the test.
QString errorOf(const QVariant& answer) {
    if (answer.typeId() != QMetaType::QString) {
        ADD_FAILURE() << "expected an error text, got " << answer.typeName();
        return {};
    }
    return answer.toString();
}

QString sqlText(const char* value) {
    return value ? QStringLiteral("'%1'").arg(QString::fromUtf8(value)) : QStringLiteral("NULL");
}

// One MESA row: branch, store, number, name, room, status, auxiliary status (null = nullptr).
QString mesa(const char* filial, const char* loja, const char* nrmesa, const char* nmmesa, const char* cdsala,
             const char* idstmesa, const char* idstmesaaux) {
    return QStringLiteral(
               "INSERT INTO MESA (CDFILIAL, CDLOJA, NRMESA, NMMESA, CDSALA, IDSTMESA, IDSTMESAAUX) "
               "VALUES (%1, %2, %3, %4, %5, %6, %7);\n")
        .arg(sqlText(filial), sqlText(loja), sqlText(nrmesa), sqlText(nmmesa), sqlText(cdsala), sqlText(idstmesa),
             sqlText(idstmesaaux));
}

// An active table of branch 0001, store 0001 with the given number and auxiliary status.
QString mesa(const char* nrmesa, const char* idstmesaaux = "L") {
    const QString name = QStringLiteral("Mesa %1").arg(QLatin1String(nrmesa));
    return mesa("0001", "0001", nrmesa, name.toLatin1().constData(), "SALAO", "A", idstmesaaux);
}

QString loja(const char* filial, const char* loja, const char* nrmesapadrao) {
    return QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA, NRMESAPADRAO) VALUES (%1, %2, %3);\n")
        .arg(sqlText(filial), sqlText(loja), sqlText(nrmesapadrao));
}

// A screen button; the table buttons of page 1 are kind '3' with auxiliary kind '4'.
QString botao(const char* filial, const char* conftela, const char* nrbutton, const char* ident, const char* tipo = "3",
              const char* tipoAux = "4", const char* pagina = "1") {
    return QStringLiteral(
               "INSERT INTO ITMENUCONFTE (CDFILIAL, NRCONFTELA, NRBUTTON, IDTPBUTTON, IDTPBUTONAUX, "
               "NRPGCONFTAUX, CDIDENTBUTON) VALUES (%1, %2, %3, %4, %5, %6, %7);\n")
        .arg(sqlText(filial), sqlText(conftela), sqlText(nrbutton), sqlText(tipo), sqlText(tipoAux), sqlText(pagina),
             sqlText(ident));
}

// A table button of configuration 0001 of branch 0001 on page 1.
QString botao(const char* nrbutton, const char* nrmesa) { return botao("0001", "0001", nrbutton, nrmesa); }

QString juncao(const char* filial, const char* loja, const char* nrjunmesa) {
    return QStringLiteral("INSERT INTO JUNCAOMESA (CDFILIAL, CDLOJA, NRJUNMESA) VALUES (%1, %2, %3);\n")
        .arg(sqlText(filial), sqlText(loja), sqlText(nrjunmesa));
}

const QString kCreateMesa = QStringLiteral(
    "CREATE TABLE MESA (CDFILIAL VARCHAR(4) NOT NULL, CDLOJA VARCHAR(4) NOT NULL, NRMESA VARCHAR(4) NOT NULL, "
    "NMMESA VARCHAR(30), CDSALA VARCHAR(5), IDSTMESA VARCHAR(1), IDSTMESAAUX VARCHAR(1), "
    "PRIMARY KEY (CDFILIAL, CDLOJA, NRMESA));\n");
const QString kCreateJuncaoMesaWithoutKey = QStringLiteral(
    "CREATE TABLE JUNCAOMESA (CDFILIAL VARCHAR(4) NOT NULL, CDLOJA VARCHAR(4) NOT NULL, NRJUNMESA VARCHAR(10) NOT "
    "NULL);\n");
const QString kCreateJuncaoMesa = QStringLiteral(
    "CREATE TABLE JUNCAOMESA (CDFILIAL VARCHAR(4) NOT NULL, CDLOJA VARCHAR(4) NOT NULL, NRJUNMESA VARCHAR(10) NOT "
    "NULL, "
    "PRIMARY KEY (CDFILIAL, CDLOJA, NRJUNMESA));\n");

class TableQueriesTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam() == Engine::SQLite) {
            m_connectionString = sqliteTestConnectionString(m_dir);
        } else {
            m_connectionString = pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("srv_tq")));
        }
        m_db.setConnectionString(m_connectionString);
        m_db.Open();
        createRestaurantSchema(m_db);

        qputenv("QOR_CONNECTION", m_connectionString.toUtf8());
        rdmMenu = new TrdmMenu(nullptr);
        rdmMenu->adcMenu.setConnected(true);
        ASSERT_TRUE(rdmMenu->adcMenu.Connected());
    }

    void TearDown() override {
        delete rdmMenu;
        rdmMenu = nullptr;
        qunsetenv("QOR_CONNECTION");
    }

    bool postgres() const { return GetParam() == Engine::PostgreSQL; }

    void clearTables() {
        m_db.Execute(QStringLiteral("DELETE FROM MESA; DELETE FROM LOJA; DELETE FROM ITMENUCONFTE;"));
    }

    // The computed status column has no fixed width on either engine: SQLite declares no type
    // for an expression, PostgreSQL no length for a CASE of a literal and a VARCHAR(1) column.
    std::vector<TFieldDesc> statusMesaFields() const {
        return {{"NRMESA", TFieldType::ftString, 4},
                {"NMMESA", TFieldType::ftString, 30},
                {"CDSALA", TFieldType::ftString, 5},
                {"IDSTMESAAUX", TFieldType::ftString, 0}};
    }

    QTemporaryDir m_dir;
    QString m_connectionString;
    TADOConnection m_db{QStringLiteral("adcTestData")};
};

// ---------------------------------------------------------------------------------------------
// getNrJuncao

TEST_P(TableQueriesTest, NrJuncaoListsTheGroupingsOfTheStoreAscending) {
    m_db.Execute(juncao("0001", "0001", "0000000003") + juncao("0001", "0001", "0000000001") +
                 juncao("0001", "0001", "0000000010") + juncao("0001", "0001", "0000000002") +
                 // other stores and branches
                 juncao("0001", "0002", "0000000004") + juncao("0002", "0001", "0000000005") +
                 juncao("0002", "0002", "0000000006") + juncao("0001", "0003", "0000000007"));
    const std::vector<TFieldDesc> fields = {{"NRJUNMESA", TFieldType::ftString, 10}};

    struct Case {
        const char* name;
        const char* filial;
        const char* loja;
        Rows expected;
    };
    const Case cases[] = {
        {"store with four groupings, in ascending order",
         "0001",
         "0001",
         {{"0000000001"}, {"0000000002"}, {"0000000003"}, {"0000000010"}}},
        {"another store of the same branch", "0001", "0002", {{"0000000004"}}},
        {"the same store number in another branch", "0002", "0001", {{"0000000005"}}},
        {"store without groupings", "0001", "0004", {}},
        {"branch without groupings", "0003", "0001", {}},
        {"store code with a leading blank matches nothing", "0001", " 001", {}},
        {"store code with a trailing blank matches nothing", "0001", "0001 ", {}},
        {"branch code without its zeros matches nothing", "1", "0001", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QVariant answer;
        EXPECT_NO_THROW(answer = getNrJuncao(QString::fromLatin1(c.filial), QString::fromLatin1(c.loja)));
        const TPacketTable packet = packetOf(answer);
        EXPECT_EQ(packet.fields, fields);
        EXPECT_EQ(rowsOf(packet), c.expected) << "rows in ascending order";
    }

    // The order comes from the statement: without the key's index the engines hand the rows
    // back as stored.
    m_db.Execute(QStringLiteral("DROP TABLE JUNCAOMESA;\n") + kCreateJuncaoMesaWithoutKey +
                 juncao("0001", "0001", "0000000003") + juncao("0001", "0001", "0000000010") +
                 juncao("0001", "0001", "0000000001") + juncao("0001", "0001", "0000000002"));
    EXPECT_EQ(rowsOf(packetOf(getNrJuncao("0001", "0001"))),
              (Rows{{"0000000001"}, {"0000000002"}, {"0000000003"}, {"0000000010"}}));
}

// ---------------------------------------------------------------------------------------------
// getStatusMesa

TEST_P(TableQueriesTest, StatusMesaListsTheActiveTablesWithAButtonOfTheConfiguration) {
    struct Case {
        const char* name;
        QString data;
        const char* filial;
        const char* loja;
        const char* conftela;
        Rows expected;  // any order
    };
    const QString store = loja("0001", "0001", "9999");
    const Case cases[] = {
        {"auxiliary status P is delivered as S, every other value unchanged",
         store + mesa("0001", "P") + mesa("0002", "O") + mesa("0003", "L") + mesa("0004", "R") + mesa("0005", "p") +
             mesa("0006", "S") + mesa("0007", nullptr) + botao("00001", "0001") + botao("00002", "0002") +
             botao("00003", "0003") + botao("00004", "0004") + botao("00005", "0005") + botao("00006", "0006") +
             botao("00007", "0007"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Mesa 0001", "SALAO", "S"},
          {"0002", "Mesa 0002", "SALAO", "O"},
          {"0003", "Mesa 0003", "SALAO", "L"},
          {"0004", "Mesa 0004", "SALAO", "R"},
          {"0005", "Mesa 0005", "SALAO", "p"},
          {"0006", "Mesa 0006", "SALAO", "S"},
          {"0007", "Mesa 0007", "SALAO", kNull}}},
        {"name and room are delivered as stored, nulls included",
         store + mesa("0001", "0001", "0001", "Varanda (fundos) Zé", "VAR01", "A", "O") +
             mesa("0001", "0001", "0002", nullptr, nullptr, "A", "L") + botao("00001", "0001") + botao("00002", "0002"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Varanda (fundos) Zé", "VAR01", "O"}, {"0002", kNull, kNull, "L"}}},
        {"only tables in status A are listed",
         store + mesa("0001", "0001", "0001", "Ativa", "SALAO", "A", "L") +
             mesa("0001", "0001", "0002", "Inativa", "SALAO", "I", "L") +
             mesa("0001", "0001", "0003", "Minuscula", "SALAO", "a", "L") +
             mesa("0001", "0001", "0004", "Sem status", "SALAO", nullptr, "L") + botao("00001", "0001") +
             botao("00002", "0002") + botao("00003", "0003") + botao("00004", "0004"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Ativa", "SALAO", "L"}}},
        {"the store's default table is left out",
         loja("0001", "0001", "0002") + loja("0001", "0002", "0003") + mesa("0001") + mesa("0002") + mesa("0003") +
             botao("00001", "0001") + botao("00002", "0002") + botao("00003", "0003"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Mesa 0001", "SALAO", "L"}, {"0003", "Mesa 0003", "SALAO", "L"}}},
        {"without a default table every table is listed",
         loja("0001", "0001", nullptr) + mesa("0001") + mesa("0002") + botao("00001", "0001") + botao("00002", "0002"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Mesa 0001", "SALAO", "L"}, {"0002", "Mesa 0002", "SALAO", "L"}}},
        {"without a default table a table numbered with a blank is listed too",
         loja("0001", "0001", nullptr) + mesa("0001") + mesa(" ") + botao("00001", "0001") + botao("00002", " "),
         "0001",
         "0001",
         "0001",
         {{" ", "Mesa  ", "SALAO", "L"}, {"0001", "Mesa 0001", "SALAO", "L"}}},
        {"a store without its LOJA row lists nothing",
         loja("0001", "0002", nullptr) + mesa("0001") + botao("00001", "0001"),
         "0001",
         "0001",
         "0001",
         {}},
        {"buttons other than table buttons of page 1 of the configuration do not count",
         store + mesa("0001") + mesa("0002") + mesa("0003") + mesa("0004") + mesa("0005") + mesa("0006") +
             mesa("0007") + mesa("0008") + botao("00001", "0001") +   // the one that counts
             botao("0002", "0001", "00002", "0002") +                 // another branch
             botao("0001", "0001", "00003", "0003", "3", "4", "2") +  // page 2
             botao("0001", "0001", "00004", "0004", "3", "2", "1") +  // another auxiliary kind
             botao("0001", "0001", "00005", "0005", "1", "4", "1") +  // another button kind
             botao("0001", "0002", "00006", "0006") +                 // another configuration
             botao("00008", "0008 "),                                 // the code with a blank
         "0001",
         "0001",
         "0001",
         {{"0001", "Mesa 0001", "SALAO", "L"}}},
        {"the configuration argument picks the buttons",
         store + mesa("0001") + mesa("0002") + botao("00001", "0001") + botao("0001", "0002", "00001", "0002"),
         "0001",
         "0001",
         "0002",
         {{"0002", "Mesa 0002", "SALAO", "L"}}},
        {"a table with two buttons is listed once, a button without a table adds nothing",
         store + mesa("0001") + botao("00001", "0001") + botao("00002", "0001") + botao("00003", "0099"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Mesa 0001", "SALAO", "L"}}},
        {"the branch argument applies to the table and to its button",
         store + loja("0002", "0001", "9999") + mesa("0001") +                    // listed
             mesa("0001", "0001", "0002", "Mesa 0002", "SALAO", "A", "L") +       // button of branch 0002 only
             mesa("0002", "0001", "0003", "Outra filial", "SALAO", "A", "L") +    // table of branch 0002
             mesa("0002", "0001", "0001", "Outra filial 1", "SALAO", "A", "L") +  // same number, branch 0002
             botao("00001", "0001") + botao("0002", "0001", "00002", "0002") + botao("00003", "0003"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Mesa 0001", "SALAO", "L"}}},
        {"the other branch with its own buttons",
         store + loja("0002", "0001", "9999") + mesa("0001") +
             mesa("0002", "0001", "0001", "Outra filial 1", "SALAO", "A", "O") +
             mesa("0002", "0001", "0003", "Outra filial 3", "SALAO", "A", "P") + botao("00001", "0001") +
             botao("0002", "0001", "00001", "0001") + botao("0002", "0001", "00003", "0003"),
         "0002",
         "0001",
         "0001",
         {{"0001", "Outra filial 1", "SALAO", "O"}, {"0003", "Outra filial 3", "SALAO", "S"}}},
        {"tables of another store are not listed",
         store + loja("0001", "0002", "9999") + mesa("0001") +
             mesa("0001", "0002", "0002", "Outra loja", "SALAO", "A", "L") +
             mesa("0001", "0002", "0001", "Outra loja 1", "SALAO", "A", "O") + botao("00001", "0001") +
             botao("00002", "0002"),
         "0001",
         "0001",
         "0001",
         {{"0001", "Mesa 0001", "SALAO", "L"}}},
        {"branch code with a trailing blank matches nothing",
         store + mesa("0001") + botao("00001", "0001"),
         "0001 ",
         "0001",
         "0001",
         {}},
        {"store code with a leading blank matches nothing",
         store + mesa("0001") + botao("00001", "0001"),
         "0001",
         " 001",
         "0001",
         {}},
        {"configuration code without its zeros matches nothing",
         store + mesa("0001") + botao("00001", "0001"),
         "0001",
         "0001",
         "1",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearTables();
        m_db.Execute(c.data);
        QVariant answer;
        EXPECT_NO_THROW(answer = getStatusMesa(QString::fromLatin1(c.filial), QString::fromLatin1(c.loja),
                                               QString::fromLatin1(c.conftela)));
        const TPacketTable packet = packetOf(answer);
        EXPECT_EQ(packet.fields, statusMesaFields());
        EXPECT_EQ(sorted(rowsOf(packet)), sorted(c.expected));
    }
}

TEST_P(TableQueriesTest, ASecondCallAnswersItsOwnArgumentsOnly) {
    m_db.Execute(loja("0001", "0001", "9999") + loja("0001", "0002", "9999") + mesa("0001", "P") +
                 mesa("0001", "0002", "0002", "Loja 2", "BAR", "A", "O") + botao("00001", "0001") +
                 botao("00002", "0002") + juncao("0001", "0001", "0000000001") + juncao("0001", "0002", "0000000002"));

    struct Call {
        const char* loja;
        Rows tables;
        Rows groupings;
    };
    const Call calls[] = {
        {"0001", {{"0001", "Mesa 0001", "SALAO", "S"}}, {{"0000000001"}}},
        {"0002", {{"0002", "Loja 2", "BAR", "O"}}, {{"0000000002"}}},
        {"0003", {}, {}},
        {"0001", {{"0001", "Mesa 0001", "SALAO", "S"}}, {{"0000000001"}}},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.loja);
        EXPECT_EQ(sorted(rowsOf(packetOf(getStatusMesa("0001", QString::fromLatin1(call.loja), "0001")))), call.tables);
        EXPECT_EQ(rowsOf(packetOf(getNrJuncao("0001", QString::fromLatin1(call.loja)))), call.groupings);
    }
}

// ---------------------------------------------------------------------------------------------
// Failures

TEST_P(TableQueriesTest, AMissingTableAnswersTheErrorTextAndTheNextCallWorksOnceItIsBack) {
    m_db.Execute(loja("0001", "0001", "9999") + mesa("0001", "P") + botao("00001", "0001") +
                 juncao("0001", "0001", "0000000001"));
    ASSERT_EQ(rowsOf(packetOf(getStatusMesa("0001", "0001", "0001"))), (Rows{{"0001", "Mesa 0001", "SALAO", "S"}}));
    ASSERT_EQ(rowsOf(packetOf(getNrJuncao("0001", "0001"))), (Rows{{"0000000001"}}));

    m_db.Execute(QStringLiteral("DROP TABLE MESA; DROP TABLE JUNCAOMESA;"));
    QVariant tables, groupings;
    EXPECT_NO_THROW(tables = getStatusMesa("0001", "0001", "0001"));
    EXPECT_NO_THROW(groupings = getNrJuncao("0001", "0001"));
    if (postgres()) {
        // The server's text goes on, on the same line, with the statement's line that failed.
        const auto missing = [](const char* table) {
            return QRegularExpression(
                QStringLiteral("^Erro de banco de dados: PostgreSQL: ERROR:  relation \"%1\" does not "
                               "exist LINE \\d+: [^\r\n]*FROM %2[^\r\n]*\\^$")
                    .arg(QLatin1String(table), QString::fromLatin1(table).toUpper()));
        };
        EXPECT_TRUE(missing("mesa").match(errorOf(tables)).hasMatch()) << tables.toString().toStdString();
        EXPECT_TRUE(missing("juncaomesa").match(errorOf(groupings)).hasMatch()) << groupings.toString().toStdString();
    } else {
        EXPECT_EQ(errorOf(tables), QStringLiteral("Erro de banco de dados: SQLite: no such table: MESA"));
        EXPECT_EQ(errorOf(groupings), QStringLiteral("Erro de banco de dados: SQLite: no such table: JUNCAOMESA"));
    }

    // Back with other content: the next calls answer it.
    m_db.Execute(kCreateMesa + kCreateJuncaoMesa + mesa("0001", "O") + mesa("0002", "P") + botao("00002", "0002") +
                 juncao("0001", "0001", "0000000003"));
    EXPECT_EQ(sorted(rowsOf(packetOf(getStatusMesa("0001", "0001", "0001")))),
              (Rows{{"0001", "Mesa 0001", "SALAO", "O"}, {"0002", "Mesa 0002", "SALAO", "S"}}));
    EXPECT_EQ(rowsOf(packetOf(getNrJuncao("0001", "0001"))), (Rows{{"0000000003"}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, TableQueriesTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& testCase) {
                             return testCase.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
                         });

// A SQLite file has no connection to lose: the server engine only.
class LostConnectionTest : public TableQueriesTest {};

TEST_P(LostConnectionTest, AnswersTheErrorTextAndTheNextCallWorksAgain) {
    m_db.Execute(loja("0001", "0001", "9999") + mesa("0001", "P") + botao("00001", "0001") +
                 juncao("0001", "0001", "0000000001"));
    ASSERT_EQ(rowsOf(packetOf(getStatusMesa("0001", "0001", "0001"))), (Rows{{"0001", "Mesa 0001", "SALAO", "S"}}));

    // What the session set-up after connecting puts in force.
    const auto sessionSettings = [] {
        TADOQuery session;
        session.setConnection(&rdmMenu->adcMenu);
        session.setSQL(
            QStringLiteral("SELECT current_setting('application_name') AS APPLICATION_NAME, "
                           "current_setting('client_encoding') AS CLIENT_ENCODING"));
        session.Open();
        return QStringList{session.FieldByName(QStringLiteral("APPLICATION_NAME")).AsString(),
                           session.FieldByName(QStringLiteral("CLIENT_ENCODING")).AsString()};
    };
    const QStringList firstSession = sessionSettings();
    ASSERT_EQ(firstSession, (QStringList{QStringLiteral("res00011"), QStringLiteral("UTF8")}));

    // Ends the data module's own server process, and waits until it is gone.
    TADOQuery pid;
    pid.setConnection(&rdmMenu->adcMenu);
    pid.setSQL(QStringLiteral("SELECT pg_backend_pid() AS PID"));
    pid.Open();
    TADOQuery terminate;
    terminate.setConnection(&m_db);
    terminate.setSQL(QStringLiteral("SELECT pg_terminate_backend(CAST(:P_PID AS INTEGER), 5000) AS DONE"));
    terminate.Parameters()
        .ParamByName(QStringLiteral("P_PID"))
        .setValue(pid.FieldByName(QStringLiteral("PID")).AsInteger());
    terminate.Open();
    ASSERT_TRUE(terminate.FieldByName(QStringLiteral("DONE")).AsBoolean());

    // libpq's wording depends on when it notices: one line with the engine's prefix.
    QVariant tables;
    EXPECT_NO_THROW(tables = getStatusMesa("0001", "0001", "0001"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Erro de banco de dados: PostgreSQL: [^\r\n]+$"))
                    .match(errorOf(tables))
                    .hasMatch())
        << tables.toString().toStdString();

    // The server is still there: the next calls reach it again.
    QVariant groupings;
    EXPECT_NO_THROW(groupings = getNrJuncao("0001", "0001"));
    EXPECT_EQ(rowsOf(packetOf(groupings)), (Rows{{"0000000001"}}));
    EXPECT_NO_THROW(tables = getStatusMesa("0001", "0001", "0001"));
    EXPECT_EQ(rowsOf(packetOf(tables)), (Rows{{"0001", "Mesa 0001", "SALAO", "S"}}));

    EXPECT_EQ(sessionSettings(), firstSession) << "the new session is prepared like the first one";
}

INSTANTIATE_TEST_SUITE_P(Engines, LostConnectionTest, ::testing::Values(Engine::PostgreSQL),
                         [](const auto&) { return "PostgreSQL"; });

// Without the data module, or before it connects, the functions answer why, and work once it
// is connected.
TEST(TableQueriesWithoutConnection, AnswerTheReasonAndWorkOnceConnected) {
    ASSERT_EQ(rdmMenu, nullptr);
    const QString noModule = QStringLiteral("Erro de banco de dados: o módulo de dados do menu não foi criado");
    QVariant answer;
    EXPECT_NO_THROW(answer = getNrJuncao("0001", "0001"));
    EXPECT_EQ(errorOf(answer), noModule);
    EXPECT_NO_THROW(answer = getStatusMesa("0001", "0001", "0001"));
    EXPECT_EQ(errorOf(answer), noModule);

    QTemporaryDir dir;
    const QString connectionString = sqliteTestConnectionString(dir);
    {
        TADOConnection db;
        db.setConnectionString(connectionString);
        db.Open();
        createRestaurantSchema(db);
        db.Execute(loja("0001", "0001", "9999") + mesa("0001", "P") + botao("00001", "0001") +
                   juncao("0001", "0001", "0000000001"));
    }
    qputenv("QOR_CONNECTION", connectionString.toUtf8());
    rdmMenu = new TrdmMenu(nullptr);
    struct Release {
        ~Release() {
            delete rdmMenu;
            rdmMenu = nullptr;
            qunsetenv("QOR_CONNECTION");
        }
    } release;
    const QString notConnected = QStringLiteral("Erro de banco de dados: adcMenu: connection is not open");
    EXPECT_NO_THROW(answer = getNrJuncao("0001", "0001"));
    EXPECT_EQ(errorOf(answer), notConnected);
    EXPECT_NO_THROW(answer = getStatusMesa("0001", "0001", "0001"));
    EXPECT_EQ(errorOf(answer), notConnected);

    rdmMenu->adcMenu.setConnected(true);
    EXPECT_EQ(rowsOf(packetOf(getNrJuncao("0001", "0001"))), (Rows{{"0000000001"}}));
    EXPECT_EQ(rowsOf(packetOf(getStatusMesa("0001", "0001", "0001"))), (Rows{{"0001", "Mesa 0001", "SALAO", "S"}}));
}

}  // namespace
