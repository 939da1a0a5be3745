// The restaurant schema scripts and the sample-data generator, on a real engine.
//
// This file is built twice: with RES_TEST_SQLITE (a SQLite file per test) and with
// RES_TEST_POSTGRESQL (a schema per test on the fixture's PostgreSQL server).

#include "SampleData.h"
#include "support/PgTestServer.h"

#include "TADOCommand.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <memory>

// Readable QString / QByteArray values in failure messages (found by argument-dependent lookup).
[[maybe_unused]] static void PrintTo(const QString& value, std::ostream* out) {
    *out << '"' << value.toStdString() << '"';
}
[[maybe_unused]] static void PrintTo(const QByteArray& value, std::ostream* out) {
    *out << '"' << value.toStdString() << '"';
}

#if defined(RES_TEST_POSTGRESQL)
#define DIALECT_SUITE(name) name##PostgreSQL
#else
#define DIALECT_SUITE(name) name##SQLite
#endif

namespace {

// ---- helpers ----

std::unique_ptr<TADOConnection> connect(const QString& connectionString) {
    auto connection = std::make_unique<TADOConnection>(QStringLiteral("Test"));
    connection->setConnectionString(connectionString);
    connection->Open();
    return connection;
}

std::unique_ptr<TADOQuery> openQuery(TADOConnection& connection, const QString& sql) {
    auto query = std::make_unique<TADOQuery>(QStringLiteral("Query"));
    query->setConnection(&connection);
    query->setSQL(sql);
    query->Open();
    return query;
}

double scalar(TADOConnection& connection, const QString& sql) {
    auto query = openQuery(connection, sql);
    if (query->IsEmpty()) throw std::runtime_error("no row from: " + sql.toStdString());
    return query->Fields(0).AsFloat();
}

qint64 rowCount(TADOConnection& connection, const QString& table) {
    return static_cast<qint64>(scalar(connection, QStringLiteral("SELECT COUNT(*) AS N FROM %1").arg(table)));
}

// The key of every table, to read them in a stable order.
const std::map<QString, QString>& tableKeys() {
    static const std::map<QString, QString> keys{
        {QStringLiteral("MESA"), QStringLiteral("CDFILIAL, CDLOJA, NRMESA")},
        {QStringLiteral("LOJA"), QStringLiteral("CDFILIAL, CDLOJA")},
        {QStringLiteral("ITMENUCONFTE"), QStringLiteral("CDFILIAL, NRCONFTELA, NRBUTTON")},
        {QStringLiteral("JUNCAOMESA"), QStringLiteral("CDFILIAL, CDLOJA, NRJUNMESA")},
        {QStringLiteral("MESAJUNCAO"), QStringLiteral("CDFILIAL, CDLOJA, NRJUNMESA, NRMESA")},
        {QStringLiteral("VENDAREST"), QStringLiteral("CDFILIAL, NRVENDAREST")},
        {QStringLiteral("COMANDAVEN"), QStringLiteral("CDFILIAL, NRVENDAREST, NRCOMANDA")},
        {QStringLiteral("ITCOMANDAVEN"), QStringLiteral("CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN")},
        {QStringLiteral("PRODUTO"), QStringLiteral("CDPRODUTO")},
        {QStringLiteral("VENDEDOR"), QStringLiteral("CDVENDEDOR")},
        {QStringLiteral("OPERADOR"), QStringLiteral("CDOPERADOR")},
        {QStringLiteral("FILIOPER"), QStringLiteral("CDOPERADOR, CDFILIAL")},
    };
    return keys;
}

// SHA-256 of a table's whole content in key order, nulls told apart from empty texts.
QByteArray tableChecksum(TADOConnection& connection, const QString& table) {
    auto query =
        openQuery(connection, QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, tableKeys().at(table)));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (query->First(); !query->Eof(); query->Next()) {
        for (int i = 0; i < query->FieldCount(); ++i) {
            const TField& field = query->Fields(i);
            hash.addData(field.IsNull() ? QByteArrayLiteral("\\N") : field.AsString().toUtf8());
            hash.addData(QByteArrayLiteral("\x1f"));
        }
        hash.addData(QByteArrayLiteral("\x1e"));
    }
    return hash.result().toHex();
}

struct Snapshot {
    std::map<QString, qint64> rows;
    std::map<QString, QByteArray> checksums;
};

Snapshot snapshot(TADOConnection& connection) {
    Snapshot s;
    for (const QString& table : restaurantTableNames()) {
        s.rows[table] = rowCount(connection, table);
        s.checksums[table] = tableChecksum(connection, table);
    }
    return s;
}

SampleDataCounts generate(TADOConnection& connection, std::uint64_t seed, qint64 items) {
    SampleDataOptions options;
    options.seed = seed;
    options.items = items;
    options.createSchema = true;
    options.batchItems = 64;  // several batches even for small runs
    return generateSampleData(connection, options);
}

#if defined(RES_TEST_POSTGRESQL)
constexpr TSqlDialect kDialect = TSqlDialect::PostgreSQL;
#else
constexpr TSqlDialect kDialect = TSqlDialect::SQLite;
#endif

// A new, empty database of the engine under test; `tag` names its file or schema. CTest runs
// every test in a process of its own, possibly side by side: schemas carry the process id.
QString freshDatabase(const QString& tag) {
    if (kDialect == TSqlDialect::PostgreSQL)
        return pgTestConnectionString(QStringLiteral("res_gen_%1_%2").arg(tag).arg(QCoreApplication::applicationPid()));
    static QTemporaryDir dir;
    return sqliteTestConnectionString(dir, tag + QStringLiteral(".db"));
}

constexpr qint64 kSharedItems = 400;

// One generated database (seed 1) shared by the tests that only read it.
TADOConnection& sharedDatabase() {
    static std::unique_ptr<TADOConnection> connection;
    if (!connection) {
        auto fresh = connect(freshDatabase(QStringLiteral("shared")));
        generate(*fresh, 1, kSharedItems);
        connection = std::move(fresh);
    }
    return *connection;
}

// ---- the schema ----

struct Column {
    const char* name;
    TFieldType type;
    int width;  // declared width of a text column
};
constexpr TFieldType S = TFieldType::ftString;
constexpr TFieldType F = TFieldType::ftFloat;
constexpr TFieldType D = TFieldType::ftDateTime;

const std::map<QString, std::vector<Column>>& expectedColumns() {
    static const std::map<QString, std::vector<Column>> columns{
        {QStringLiteral("MESA"),
         {{"CDFILIAL", S, 4},
          {"CDLOJA", S, 4},
          {"NRMESA", S, 4},
          {"NMMESA", S, 30},
          {"CDSALA", S, 5},
          {"IDSTMESA", S, 1},
          {"IDSTMESAAUX", S, 1}}},
        {QStringLiteral("LOJA"), {{"CDFILIAL", S, 4}, {"CDLOJA", S, 4}, {"NRMESAPADRAO", S, 4}}},
        {QStringLiteral("ITMENUCONFTE"),
         {{"CDFILIAL", S, 4},
          {"NRCONFTELA", S, 4},
          {"NRBUTTON", S, 5},
          {"IDTPBUTTON", S, 1},
          {"IDTPBUTONAUX", S, 1},
          {"NRPGCONFTAUX", S, 1},
          {"CDIDENTBUTON", S, 20}}},
        // No NRMESA here: the tables of a grouping are in MESAJUNCAO.
        {QStringLiteral("JUNCAOMESA"), {{"CDFILIAL", S, 4}, {"CDLOJA", S, 4}, {"NRJUNMESA", S, 10}}},
        {QStringLiteral("MESAJUNCAO"), {{"CDFILIAL", S, 4}, {"CDLOJA", S, 4}, {"NRJUNMESA", S, 10}, {"NRMESA", S, 4}}},
        {QStringLiteral("VENDAREST"),
         {{"CDFILIAL", S, 4},
          {"NRVENDAREST", S, 10},
          {"CDLOJA", S, 4},
          {"NRMESA", S, 4},
          {"DTHRABERMESA", D, 0},
          {"DTHRFECHMESA", D, 0},
          {"CDOPERADOR", S, 12},
          {"CDVENDEDOR", S, 4},
          {"NRPESMESAVEN", S, 3},
          {"CDCLIENTE", S, 15}}},
        {QStringLiteral("COMANDAVEN"),
         {{"CDFILIAL", S, 4},
          {"NRVENDAREST", S, 10},
          {"NRCOMANDA", S, 10},
          {"DSCOMANDA", S, 50},
          {"IDSTCOMANDA", S, 1},
          {"VRDESCOMANDA", F, 0},
          {"VRCOMISVENDE", F, 0},
          {"VRACRCOMANDA", F, 0}}},
        {QStringLiteral("ITCOMANDAVEN"),
         {{"CDFILIAL", S, 4},     {"NRVENDAREST", S, 10}, {"NRCOMANDA", S, 10},    {"NRPRODCOMVEN", S, 6},
          {"CDPRODUTO", S, 10},   {"QTPRODCOMVEN", F, 0}, {"VRPRECCOMVEN", F, 0},  {"TXPRODCOMVEN", S, 2000},
          {"IDSTPRCOMVEN", S, 1}, {"VRDESCCOMVEN", F, 0}, {"VRACRCOMVEN", F, 0},   {"DTHRINCOMVEN", D, 0},
          {"IDPRODIMPFIS", S, 1}, {"NRSEQPRODCOM", S, 3}, {"DSCOMANDAORI", S, 10}, {"NRCOMANDAORI", S, 10},
          {"NRPRODCOMORI", S, 6}, {"CDVENDEDOR", S, 4},   {"NRLUGARMESA", S, 4},   {"NRSEQBENECONSIT", S, 10},
          {"IDPRODREFIL", S, 1}}},
        {QStringLiteral("PRODUTO"),
         {{"CDPRODUTO", S, 10},
          {"NMPRODUTO", S, 50},
          {"NMPRODIMPFIS", S, 50},
          {"CDARVPROD", S, 20},
          {"IDPESAPROD", S, 1}}},
        {QStringLiteral("VENDEDOR"),
         {{"CDVENDEDOR", S, 4}, {"NMFANVEN", S, 50}, {"CDOPERADOR", S, 12}, {"CDFILIAL", S, 4}, {"CDCAIXA", S, 3}}},
        {QStringLiteral("OPERADOR"),
         {{"CDOPERADOR", S, 12}, {"NMOPERADOR", S, 50}, {"CDSENHOPER", S, 64}, {"IDOPERATIVO", S, 1}}},
        {QStringLiteral("FILIOPER"), {{"CDOPERADOR", S, 12}, {"CDFILIAL", S, 4}}},
    };
    return columns;
}

TEST(DIALECT_SUITE(Schema), CreatesExactlyTheRestaurantTablesWithTheirColumnsAndWidths) {
    auto connection = connect(freshDatabase(QStringLiteral("schema")));
    createRestaurantSchema(*connection);

    const QString catalog =
        kDialect == TSqlDialect::SQLite
            ? QStringLiteral("SELECT UPPER(name) AS T FROM sqlite_master WHERE type = 'table' ORDER BY 1")
            : QStringLiteral(
                  "SELECT UPPER(table_name) AS T FROM information_schema.tables "
                  "WHERE table_schema = current_schema() ORDER BY 1");
    QStringList created;
    for (auto tables = openQuery(*connection, catalog); !tables->Eof(); tables->Next())
        created << tables->Fields(0).AsString();
    QStringList expected = restaurantTableNames();
    expected.sort();
    EXPECT_EQ(created, expected);
    ASSERT_EQ(expectedColumns().size(), static_cast<std::size_t>(restaurantTableNames().size()));

    for (const auto& [table, columns] : expectedColumns()) {
        SCOPED_TRACE(table.toStdString());
        auto query = openQuery(*connection, QStringLiteral("SELECT * FROM %1").arg(table));
        EXPECT_TRUE(query->IsEmpty());
        ASSERT_EQ(query->FieldCount(), static_cast<int>(columns.size()));
        for (int i = 0; i < query->FieldCount(); ++i) {
            const TField& field = query->Fields(i);
            const Column& column = columns[static_cast<std::size_t>(i)];
            EXPECT_EQ(field.FieldName().toUpper(), QString::fromLatin1(column.name));
            EXPECT_EQ(field.DataType(), column.type) << column.name;
            if (column.type == TFieldType::ftString) {
                EXPECT_EQ(field.Size(), column.width) << column.name;
            }
        }
    }
}

TEST(DIALECT_SUITE(Schema), KeysRefuseNullsAndDuplicatesButATableMayBeInTwoGroupings) {
    auto connection = connect(freshDatabase(QStringLiteral("keys")));
    createRestaurantSchema(*connection);
    TADOCommand command(QStringLiteral("Insert"));
    command.setConnection(connection.get());
    auto run = [&](const QString& sql) {
        command.setCommandText(sql);
        command.Execute();
    };

    run(QStringLiteral(
        "INSERT INTO MESA (CDFILIAL, CDLOJA, NRMESA, NMMESA) VALUES ('0001', '0001', '0001', 'Mesa 1')"));
    const struct {
        const char* what;
        const char* sql;
    } refused[] = {
        {"duplicate table", "INSERT INTO MESA (CDFILIAL, CDLOJA, NRMESA) VALUES ('0001', '0001', '0001')"},
        {"null table number", "INSERT INTO MESA (CDFILIAL, CDLOJA, NRMESA) VALUES ('0001', '0001', NULL)"},
        {"null sale number", "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST) VALUES ('0001', NULL)"},
        {"null item number",
         "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) VALUES ('0001', '1', '1', NULL)"},
        {"null product", "INSERT INTO PRODUTO (CDPRODUTO) VALUES (NULL)"},
    };
    for (const auto& r : refused) {
        command.setCommandText(QString::fromLatin1(r.sql));
        EXPECT_THROW(command.Execute(), EADOError) << r.what;
    }

    // Allowed on purpose: the readers must meet and report a table that is in two groupings.
    run(QStringLiteral("INSERT INTO MESAJUNCAO VALUES ('0001', '0001', '0000000001', '0006')"));
    EXPECT_NO_THROW(run(QStringLiteral("INSERT INTO MESAJUNCAO VALUES ('0001', '0001', '0000000002', '0006')")));
    EXPECT_EQ(rowCount(*connection, QStringLiteral("MESAJUNCAO")), 2);
}

TEST(DIALECT_SUITE(Schema), NvlFallsBackForTextNumbersAndParameters) {
    TADOConnection& db = sharedDatabase();
    const struct {
        const char* sql;
        QVariant expected;  // a string or a double
    } cases[] = {
        {"SELECT NVL(L.NRMESAPADRAO, ' ') AS V FROM LOJA L WHERE L.CDFILIAL = '0001' AND L.CDLOJA = '0003'",
         QStringLiteral(" ")},
        {"SELECT NVL(L.NRMESAPADRAO, ' ') AS V FROM LOJA L WHERE L.CDFILIAL = '0001' AND L.CDLOJA = '0001'",
         QStringLiteral("0001")},
        {"SELECT NVL(PR.NMPRODIMPFIS, PR.NMPRODUTO) AS V FROM PRODUTO PR WHERE PR.CDPRODUTO = '0000000003'",
         QStringLiteral("Suco de Laranja")},
        {"SELECT NVL(PR.NMPRODIMPFIS, PR.NMPRODUTO) AS V FROM PRODUTO PR WHERE PR.CDPRODUTO = '0000000001'",
         QStringLiteral("AGUA MINERAL 500ML")},
        {"SELECT NVL(V.CDCLIENTE, 'none') AS V FROM VENDAREST V WHERE V.CDFILIAL = '0001' AND V.NRVENDAREST = "
         "'0000000002'",
         QStringLiteral("none")},
        {"SELECT NVL(MAX(C.VRDESCOMANDA), 0) AS V FROM COMANDAVEN C WHERE C.NRCOMANDA = 'none'", 0.0},
        {"SELECT NVL(MAX(C.VRCOMISVENDE), 0) + 1 AS V FROM COMANDAVEN C WHERE C.CDFILIAL = '0001' "
         "AND C.NRCOMANDA = '0000000002'",
         2.5},
        {"SELECT NVL(:P, 'fallback') AS V FROM LOJA L WHERE L.CDFILIAL = '0001' AND L.CDLOJA = '0001'",
         QStringLiteral("fallback")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        TADOQuery query(QStringLiteral("Nvl"));
        query.setConnection(&db);
        query.setSQL(QString::fromLatin1(c.sql));
        if (TParameter* p = query.Parameters().FindParam(QStringLiteral("P"))) p->Clear();
        ASSERT_NO_THROW(query.Open());
        ASSERT_EQ(query.RecordCount(), 1);
        if (c.expected.typeId() == QMetaType::Double)
            EXPECT_DOUBLE_EQ(query.Fields(0).AsFloat(), c.expected.toDouble());
        else
            EXPECT_EQ(query.Fields(0).AsString(), c.expected.toString());
    }
}

// ---- the generator ----

TEST(DIALECT_SUITE(Generator), SameSeedGivesTheSameDataAndAnotherSeedDifferentData) {
    auto a = connect(freshDatabase(QStringLiteral("seed_a")));
    auto b = connect(freshDatabase(QStringLiteral("seed_b")));
    auto c = connect(freshDatabase(QStringLiteral("seed_c")));
    const SampleDataCounts countsA = generate(*a, 7, 150);
    const SampleDataCounts countsB = generate(*b, 7, 150);
    generate(*c, 8, 150);
    EXPECT_EQ(countsA, countsB);

    const Snapshot sa = snapshot(*a), sb = snapshot(*b), sc = snapshot(*c);
    EXPECT_EQ(sa.rows, sb.rows);
    EXPECT_EQ(sa.checksums, sb.checksums);
    for (const auto& [table, rows] : sa.rows)
        EXPECT_EQ(countsA.value(table), rows) << table.toStdString() << ": reported and stored counts differ";
    EXPECT_EQ(sa.rows.at(QStringLiteral("ITCOMANDAVEN")), 150);
    EXPECT_EQ(sc.rows.at(QStringLiteral("ITCOMANDAVEN")), 150);
    // The random part moves with the seed, in the master data and in the sales alike.
    for (const char* table : {"MESA", "PRODUTO", "VENDAREST", "ITCOMANDAVEN"})
        EXPECT_NE(sa.checksums.at(QString::fromLatin1(table)), sc.checksums.at(QString::fromLatin1(table))) << table;
    // The demo part does not.
    EXPECT_EQ(sa.checksums.at(QStringLiteral("OPERADOR")), sc.checksums.at(QStringLiteral("OPERADOR")));
}

#if defined(RES_TEST_POSTGRESQL)
TEST(DIALECT_SUITE(Generator), WritesTheSameDataOnPostgreSQLAsOnSQLite) {
    QTemporaryDir dir;
    auto lite = connect(sqliteTestConnectionString(dir));
    auto pg = connect(freshDatabase(QStringLiteral("same_as_sqlite")));
    generate(*lite, 3, 120);
    generate(*pg, 3, 120);
    const Snapshot a = snapshot(*lite), b = snapshot(*pg);
    EXPECT_EQ(a.rows, b.rows);
    EXPECT_EQ(a.checksums, b.checksums);
}
#endif

TEST(DIALECT_SUITE(Generator), CoversEveryCodedValueAndKeepsTheDataConsistent) {
    TADOConnection& db = sharedDatabase();
    enum Expect { AtLeastOne, None };
    const struct {
        const char* what;
        Expect expect;
        const char* sql;  // a count
    } cases[] = {
        {"active table", AtLeastOne, "SELECT COUNT(*) FROM MESA WHERE IDSTMESA = 'A'"},
        {"table of another status", AtLeastOne, "SELECT COUNT(*) FROM MESA WHERE IDSTMESA <> 'A'"},
        {"aux status P", AtLeastOne, "SELECT COUNT(*) FROM MESA WHERE IDSTMESAAUX = 'P'"},
        {"aux status O", AtLeastOne, "SELECT COUNT(*) FROM MESA WHERE IDSTMESAAUX = 'O'"},
        {"aux status L", AtLeastOne, "SELECT COUNT(*) FROM MESA WHERE IDSTMESAAUX = 'L'"},
        {"aux status R", AtLeastOne, "SELECT COUNT(*) FROM MESA WHERE IDSTMESAAUX = 'R'"},
        {"table named like 'Mesa 12'", AtLeastOne,
         "SELECT COUNT(*) FROM MESA WHERE NMMESA = 'Mesa 12' AND NRMESA = '0012'"},
        {"store without default table", AtLeastOne, "SELECT COUNT(*) FROM LOJA WHERE NRMESAPADRAO IS NULL"},
        {"store with default table", AtLeastOne, "SELECT COUNT(*) FROM LOJA WHERE NRMESAPADRAO IS NOT NULL"},
        {"grouping of three tables", AtLeastOne,
         "SELECT COUNT(*) FROM (SELECT NRJUNMESA FROM MESAJUNCAO GROUP BY CDFILIAL, CDLOJA, NRJUNMESA "
         "HAVING COUNT(*) = 3) G"},
        {"table in two groupings", AtLeastOne,
         "SELECT COUNT(*) FROM (SELECT NRMESA FROM MESAJUNCAO GROUP BY CDFILIAL, CDLOJA, NRMESA HAVING COUNT(*) > 1) "
         "G"},
        {"grouped table without its grouping", None,
         "SELECT COUNT(*) FROM MESAJUNCAO MJ WHERE NOT EXISTS (SELECT 1 FROM JUNCAOMESA J WHERE J.CDFILIAL = "
         "MJ.CDFILIAL "
         "AND J.CDLOJA = MJ.CDLOJA AND J.NRJUNMESA = MJ.NRJUNMESA)"},
        {"table button on page 1 of configuration 0001", AtLeastOne,
         "SELECT COUNT(*) FROM ITMENUCONFTE WHERE CDFILIAL = '0001' AND NRCONFTELA = '0001' AND IDTPBUTTON = '3' "
         "AND IDTPBUTONAUX = '4' AND NRPGCONFTAUX = '1'"},
        {"button on another page", AtLeastOne, "SELECT COUNT(*) FROM ITMENUCONFTE WHERE NRPGCONFTAUX <> '1'"},
        {"button of another branch", AtLeastOne, "SELECT COUNT(*) FROM ITMENUCONFTE WHERE CDFILIAL <> '0001'"},
        {"open sale", AtLeastOne, "SELECT COUNT(*) FROM VENDAREST WHERE DTHRFECHMESA IS NULL"},
        {"closed sale", AtLeastOne, "SELECT COUNT(*) FROM VENDAREST WHERE DTHRFECHMESA IS NOT NULL"},
        {"sale closed before it opened", None, "SELECT COUNT(*) FROM VENDAREST WHERE DTHRFECHMESA < DTHRABERMESA"},
        {"table with two open sales", None,
         "SELECT COUNT(*) FROM (SELECT NRMESA FROM VENDAREST WHERE DTHRFECHMESA IS NULL "
         "GROUP BY CDFILIAL, CDLOJA, NRMESA HAVING COUNT(*) > 1) T"},
        {"open sale on a table that is not occupied", None,
         "SELECT COUNT(*) FROM VENDAREST V JOIN MESA M ON M.CDFILIAL = V.CDFILIAL AND M.CDLOJA = V.CDLOJA "
         "AND M.NRMESA = V.NRMESA WHERE V.DTHRFECHMESA IS NULL AND M.IDSTMESAAUX NOT IN ('O', 'P')"},
        {"sale on a table that does not exist", None,
         "SELECT COUNT(*) FROM VENDAREST V WHERE NOT EXISTS (SELECT 1 FROM MESA M WHERE M.CDFILIAL = V.CDFILIAL "
         "AND M.CDLOJA = V.CDLOJA AND M.NRMESA = V.NRMESA)"},
        {"ticket PKR_", AtLeastOne, "SELECT COUNT(*) FROM COMANDAVEN WHERE SUBSTR(DSCOMANDA, 1, 4) = 'PKR_'"},
        {"ticket RES_", AtLeastOne, "SELECT COUNT(*) FROM COMANDAVEN WHERE SUBSTR(DSCOMANDA, 1, 4) = 'RES_'"},
        {"ticket of another kind", AtLeastOne,
         "SELECT COUNT(*) FROM COMANDAVEN WHERE SUBSTR(DSCOMANDA, 1, 4) NOT IN ('PKR_', 'RES_')"},
        {"ticket in status 4", AtLeastOne, "SELECT COUNT(*) FROM COMANDAVEN WHERE IDSTCOMANDA = '4'"},
        {"ticket without its sale", None,
         "SELECT COUNT(*) FROM COMANDAVEN C WHERE NOT EXISTS (SELECT 1 FROM VENDAREST V WHERE V.CDFILIAL = C.CDFILIAL "
         "AND V.NRVENDAREST = C.NRVENDAREST)"},
        {"ticket number used twice in a branch", None,
         "SELECT COUNT(*) FROM (SELECT NRCOMANDA FROM COMANDAVEN GROUP BY CDFILIAL, NRCOMANDA HAVING COUNT(*) > 1) T"},
        {"refill item", AtLeastOne, "SELECT COUNT(*) FROM ITCOMANDAVEN WHERE IDPRODREFIL = 'S'"},
        {"item that is no refill", AtLeastOne, "SELECT COUNT(*) FROM ITCOMANDAVEN WHERE IDPRODREFIL = 'N'"},
        {"item text of 2000 characters", AtLeastOne,
         "SELECT COUNT(*) FROM ITCOMANDAVEN WHERE LENGTH(TXPRODCOMVEN) = 2000"},
        {"item moved from another ticket", AtLeastOne,
         "SELECT COUNT(*) FROM ITCOMANDAVEN WHERE NRCOMANDAORI IS NOT NULL"},
        {"item without its ticket", None,
         "SELECT COUNT(*) FROM ITCOMANDAVEN I WHERE NOT EXISTS (SELECT 1 FROM COMANDAVEN C WHERE C.CDFILIAL = "
         "I.CDFILIAL "
         "AND C.NRVENDAREST = I.NRVENDAREST AND C.NRCOMANDA = I.NRCOMANDA)"},
        {"item without its product", None,
         "SELECT COUNT(*) FROM ITCOMANDAVEN I WHERE NOT EXISTS (SELECT 1 FROM PRODUTO P WHERE P.CDPRODUTO = "
         "I.CDPRODUTO)"},
        {"product without fiscal name", AtLeastOne, "SELECT COUNT(*) FROM PRODUTO WHERE NMPRODIMPFIS IS NULL"},
        {"product sold by weight", AtLeastOne, "SELECT COUNT(*) FROM PRODUTO WHERE IDPESAPROD = 'S'"},
        {"active operator", AtLeastOne, "SELECT COUNT(*) FROM OPERADOR WHERE IDOPERATIVO = 'A'"},
        {"inactive operator", AtLeastOne, "SELECT COUNT(*) FROM OPERADOR WHERE IDOPERATIVO <> 'A'"},
        {"waiter with empty branch", AtLeastOne, "SELECT COUNT(*) FROM VENDEDOR WHERE CDFILIAL = '' AND CDCAIXA = ''"},
        {"waiter with null branch", AtLeastOne,
         "SELECT COUNT(*) FROM VENDEDOR WHERE CDFILIAL IS NULL AND CDCAIXA IS NULL"},
        {"waiter of an inactive operator", AtLeastOne,
         "SELECT COUNT(*) FROM VENDEDOR V JOIN OPERADOR O ON O.CDOPERADOR = V.CDOPERADOR WHERE O.IDOPERATIVO <> 'A'"},
        {"sale by a waiter without a row", AtLeastOne,
         "SELECT COUNT(*) FROM VENDAREST S WHERE NOT EXISTS (SELECT 1 FROM VENDEDOR V WHERE V.CDVENDEDOR = "
         "S.CDVENDEDOR)"},
        {"operator attached to branch 0001", AtLeastOne, "SELECT COUNT(*) FROM FILIOPER WHERE CDFILIAL = '0001'"},
        {"operator attached to branch 0002", AtLeastOne, "SELECT COUNT(*) FROM FILIOPER WHERE CDFILIAL = '0002'"},
    };
    for (const auto& c : cases) {
        const double count = scalar(db, QString::fromLatin1(c.sql));
        if (c.expect == AtLeastOne)
            EXPECT_GE(count, 1) << c.what;
        else
            EXPECT_EQ(count, 0) << c.what;
    }
    EXPECT_EQ(rowCount(db, QStringLiteral("ITCOMANDAVEN")), kSharedItems);
}

TEST(DIALECT_SUITE(Generator), PadsEveryCodeToItsWidth) {
    TADOConnection& db = sharedDatabase();
    const struct {
        const char* table;
        const char* column;
        int width;
        bool mayBeEmpty;  // null or ''
    } codes[] = {
        {"MESA", "CDFILIAL", 4, false},
        {"MESA", "CDLOJA", 4, false},
        {"MESA", "NRMESA", 4, false},
        {"MESA", "CDSALA", 5, false},
        {"LOJA", "NRMESAPADRAO", 4, true},
        {"ITMENUCONFTE", "NRCONFTELA", 4, false},
        {"ITMENUCONFTE", "NRBUTTON", 5, false},
        {"ITMENUCONFTE", "NRPGCONFTAUX", 1, false},
        {"JUNCAOMESA", "NRJUNMESA", 10, false},
        {"MESAJUNCAO", "NRJUNMESA", 10, false},
        {"MESAJUNCAO", "NRMESA", 4, false},
        {"VENDAREST", "NRVENDAREST", 10, false},
        {"VENDAREST", "CDLOJA", 4, false},
        {"VENDAREST", "NRMESA", 4, false},
        {"VENDAREST", "CDOPERADOR", 12, false},
        {"VENDAREST", "CDVENDEDOR", 4, false},
        {"VENDAREST", "NRPESMESAVEN", 3, false},
        {"VENDAREST", "CDCLIENTE", 15, true},
        {"COMANDAVEN", "NRCOMANDA", 10, false},
        {"ITCOMANDAVEN", "NRPRODCOMVEN", 6, false},
        {"ITCOMANDAVEN", "CDPRODUTO", 10, false},
        {"ITCOMANDAVEN", "NRSEQPRODCOM", 3, false},
        {"ITCOMANDAVEN", "NRCOMANDAORI", 10, true},
        {"ITCOMANDAVEN", "NRPRODCOMORI", 6, true},
        {"ITCOMANDAVEN", "CDVENDEDOR", 4, false},
        {"ITCOMANDAVEN", "NRLUGARMESA", 4, false},
        {"ITCOMANDAVEN", "NRSEQBENECONSIT", 10, true},
        {"PRODUTO", "CDPRODUTO", 10, false},
        {"PRODUTO", "CDARVPROD", 20, false},
        {"VENDEDOR", "CDVENDEDOR", 4, false},
        {"VENDEDOR", "CDOPERADOR", 12, false},
        {"VENDEDOR", "CDFILIAL", 4, true},
        {"VENDEDOR", "CDCAIXA", 3, true},
        {"OPERADOR", "CDOPERADOR", 12, false},
        {"FILIOPER", "CDOPERADOR", 12, false},
        {"FILIOPER", "CDFILIAL", 4, false},
    };
    for (const auto& c : codes) {
        const QRegularExpression digits(QStringLiteral("^[0-9]{%1}$").arg(c.width));
        auto query = openQuery(db, QStringLiteral("SELECT DISTINCT %1 AS V FROM %2").arg(c.column, c.table));
        EXPECT_FALSE(query->IsEmpty()) << c.table << "." << c.column;
        for (; !query->Eof(); query->Next()) {
            const QString value = query->Fields(0).AsString();
            if (c.mayBeEmpty && value.isEmpty()) continue;
            EXPECT_TRUE(digits.match(value).hasMatch())
                << c.table << "." << c.column << " = '" << value.toStdString() << "'";
        }
    }
    // Table buttons name a table by its number.
    auto buttons = openQuery(db, QStringLiteral("SELECT CDIDENTBUTON FROM ITMENUCONFTE WHERE IDTPBUTTON = '3'"));
    for (; !buttons->Eof(); buttons->Next())
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]{4}$")).match(buttons->Fields(0).AsString()).hasMatch());
}

// What db/README.md promises, whatever the seed.
TEST(DIALECT_SUITE(Generator), DemoStateIsTheDocumentedOneForEverySeed) {
    for (const std::uint64_t seed : {1ULL, 424242ULL}) {
        SCOPED_TRACE(seed);
        auto owned = seed == 1 ? nullptr : connect(freshDatabase(QStringLiteral("demo_%1").arg(seed)));
        if (owned) generate(*owned, seed, kDemoItems);
        TADOConnection& db = owned ? *owned : sharedDatabase();

        const struct {
            const char* what;
            const char* sql;
            QString expected;
        } cases[] = {
            {"table 0012 status",
             "SELECT IDSTMESA || IDSTMESAAUX FROM MESA WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0012'",
             QStringLiteral("AO")},
            {"table 0013 status",
             "SELECT IDSTMESAAUX FROM MESA WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0013'",
             QStringLiteral("P")},
            {"table 0001 status",
             "SELECT IDSTMESAAUX FROM MESA WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0001'",
             QStringLiteral("L")},
            {"table 0040 status",
             "SELECT IDSTMESA FROM MESA WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0040'",
             QStringLiteral("I")},
            {"open sale of table 0012",
             "SELECT NRVENDAREST FROM VENDAREST WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0012' AND "
             "DTHRFECHMESA IS NULL",
             QStringLiteral("0000000001")},
            {"open tables of the demo store",
             "SELECT COUNT(*) FROM VENDAREST WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND DTHRFECHMESA IS NULL",
             QStringLiteral("4")},
            {"listed items of table 0012",
             "SELECT COUNT(*) FROM VENDAREST V JOIN COMANDAVEN C ON C.CDFILIAL = V.CDFILIAL AND C.NRVENDAREST = "
             "V.NRVENDAREST "
             "JOIN ITCOMANDAVEN I ON I.CDFILIAL = C.CDFILIAL AND I.NRVENDAREST = C.NRVENDAREST AND I.NRCOMANDA = "
             "C.NRCOMANDA "
             "WHERE V.CDFILIAL = '0001' AND V.CDLOJA = '0001' AND V.NRMESA = '0012' AND V.DTHRFECHMESA IS NULL "
             "AND C.IDSTCOMANDA <> '4' AND I.IDPRODREFIL = 'N'",
             QStringLiteral("6")},
            {"empty ticket of table 0015",
             "SELECT C.NRCOMANDA || ' ' || C.DSCOMANDA || ' ' || (SELECT COUNT(*) FROM ITCOMANDAVEN I WHERE "
             "I.CDFILIAL = C.CDFILIAL AND I.NRVENDAREST = C.NRVENDAREST AND I.NRCOMANDA = C.NRCOMANDA) FROM "
             "COMANDAVEN C JOIN VENDAREST V ON V.CDFILIAL = C.CDFILIAL AND V.NRVENDAREST = C.NRVENDAREST WHERE "
             "V.CDFILIAL = '0001' AND V.CDLOJA = '0001' AND V.NRMESA = '0015' AND V.DTHRFECHMESA IS NULL",
             QStringLiteral("0000000007 PKR_0015 0")},
            {"grouping of table 0021",
             "SELECT NRJUNMESA FROM MESAJUNCAO WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0021'",
             QStringLiteral("0000000001")},
            {"grouping of table 0016",
             "SELECT NRJUNMESA FROM MESAJUNCAO WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA = '0016'",
             QStringLiteral("0000000002")},
            {"free tables beside the occupied ones",
             "SELECT COUNT(*) FROM MESA WHERE CDFILIAL = '0001' AND CDLOJA = '0001' AND NRMESA IN ('0011', '0014', "
             "'0016', '0017', '0018') AND IDSTMESA = 'A' AND IDSTMESAAUX = 'L'",
             QStringLiteral("5")},
            {"reservation of table 0002",
             "SELECT NMCLIENTE || ' ' || NRPESSOAS || ' ' || IDSTRESERVA FROM GPERESERVA WHERE NRMESA = '0002'",
             QStringLiteral("Família Souza 6 A")},
            {"table buttons on page 1",
             "SELECT COUNT(*) FROM ITMENUCONFTE WHERE CDFILIAL = '0001' AND NRCONFTELA = '0001' AND IDTPBUTTON = '3' "
             "AND IDTPBUTONAUX = '4' AND NRPGCONFTAUX = '1'",
             QStringLiteral("37")},
            {"valid waiter",
             "SELECT O.IDOPERATIVO FROM VENDEDOR V JOIN OPERADOR O ON O.CDOPERADOR = V.CDOPERADOR WHERE V.CDVENDEDOR = "
             "'0001'",
             QStringLiteral("A")},
            {"waiter of an inactive operator",
             "SELECT O.IDOPERATIVO FROM VENDEDOR V JOIN OPERADOR O ON O.CDOPERADOR = V.CDOPERADOR WHERE V.CDVENDEDOR = "
             "'0003'",
             QStringLiteral("I")},
            {"unknown waiter", "SELECT COUNT(*) FROM VENDEDOR WHERE CDVENDEDOR = '0099'", QStringLiteral("0")},
        };
        for (const auto& c : cases) {
            auto query = openQuery(db, QString::fromLatin1(c.sql));
            ASSERT_EQ(query->RecordCount(), 1) << c.what;
            const TField& field = query->Fields(0);
            const QString value =
                field.DataType() == TFieldType::ftFloat ? QString::number(field.AsFloat()) : field.AsString();
            EXPECT_EQ(value, c.expected) << c.what;
        }
    }
}

TEST(DIALECT_SUITE(Generator), RefusesToFillTablesThatHoldDataAndRollsTheBatchBack) {
    auto connection = connect(freshDatabase(QStringLiteral("twice")));
    generate(*connection, 5, 50);
    const Snapshot before = snapshot(*connection);
    SampleDataOptions again;
    again.seed = 6;
    again.items = 50;
    try {
        generateSampleData(*connection, again);
        ADD_FAILURE() << "a filled database must be refused";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(),
                     "sample data: the table LOJA already holds rows; the sample data goes into empty tables "
                     "only (use a new database)");
    }
    EXPECT_EQ(snapshot(*connection).checksums, before.checksums);
    // The connection is usable afterwards: no transaction was left open.
    EXPECT_NO_THROW(connection->BeginTrans());
    EXPECT_NO_THROW(connection->RollbackTrans());
}

TEST(DIALECT_SUITE(Generator), RejectsAnItemCountBelowTheDemoOrAboveTheLimit) {
    auto connection = connect(freshDatabase(QStringLiteral("limits")));
    for (const qint64 items : {qint64{-1}, kDemoItems - 1, kMaxItems + 1}) {
        SampleDataOptions options;
        options.items = items;
        options.createSchema = true;
        EXPECT_THROW(generateSampleData(*connection, options), EDatabaseError) << items;
    }
    // Nothing was created on the way.
    EXPECT_THROW(rowCount(*connection, QStringLiteral("MESA")), EADOError);
}

#if !defined(RES_TEST_POSTGRESQL)
TEST(DIALECT_SUITE(GeneratorCommand), ExitStatusTellsSuccessUsageErrorsAndDatabaseFailures) {
    QTemporaryDir dir;
    const QString good = sqliteTestConnectionString(dir, QStringLiteral("cli.db"));
    const struct {
        QStringList args;
        int status;
    } cases[] = {
        {{QStringLiteral("--connection"), good, QStringLiteral("--create-schema"), QStringLiteral("--items"),
          QStringLiteral("10"), QStringLiteral("--seed"), QStringLiteral("4"), QStringLiteral("--quiet")},
         0},
        // The tables now hold data: a second run must fail, not pretend.
        {{QStringLiteral("--connection"), good, QStringLiteral("--items"), QStringLiteral("10")}, 1},
        {{QStringLiteral("--connection"), QStringLiteral("Provider=Nothing")}, 1},
        {{QStringLiteral("--items"), QStringLiteral("10")}, 2},
        {{QStringLiteral("--connection"), good, QStringLiteral("--items"), QStringLiteral("9")}, 2},
        {{QStringLiteral("--connection"), good, QStringLiteral("--items"), QStringLiteral("many")}, 2},
        {{QStringLiteral("--connection"), good, QStringLiteral("--seed"), QStringLiteral("-3")}, 2},
        {{QStringLiteral("--connection"), good, QStringLiteral("--items")}, 2},
        {{QStringLiteral("--connection"), good, QStringLiteral("--bogus")}, 2},
    };
    for (const auto& c : cases) {
        QProcess process;
        process.start(QStringLiteral(RES_SAMPLEDATA_EXE), c.args);
        ASSERT_TRUE(process.waitForFinished(60000)) << c.args.join(' ').toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.status) << c.args.join(' ').toStdString() << "\n"
                                                << process.readAllStandardError().toStdString();
    }
    auto connection = connect(good);
    EXPECT_EQ(rowCount(*connection, QStringLiteral("ITCOMANDAVEN")), 10);
}

// Without --create-schema a database must hold the tables already: one that does not says so and
// is left as it was. A file that was not there is not created, nor left behind by a run that
// created it and then failed.
TEST(DIALECT_SUITE(GeneratorCommand), ADatabaseWithoutTheSchemaIsNamedAndNoFileIsLeftBehind) {
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("novo.db"));
    const QString empty = dir.filePath(QStringLiteral("vazio.db"));
    QFile(empty).open(QIODevice::WriteOnly);
    // A folder where SQLite wants its journal: the file opens, the first write fails.
    const QString blocked = dir.filePath(QStringLiteral("sem-diario.db"));
    QDir().mkpath(blocked + QStringLiteral("-journal"));
    const QString noSchema = QStringLiteral(
        "res00011-sampledata: the database %1 has no restaurant schema (%2); run with --create-schema\n");
    const struct {
        QString file;
        bool createSchema;
        int status;
        QString error;
        bool exists;
    } cases[] = {
        {fresh, false, 2, noSchema.arg(fresh, QStringLiteral("the file does not exist")), false},
        {empty, false, 2, noSchema.arg(empty, QStringLiteral("no table MESA")), true},
        {blocked, true, 1, QStringLiteral("res00011-sampledata: SQLite: unable to open database file\n"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QStringList args{QStringLiteral("--connection"),
                         QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + c.file, QStringLiteral("--quiet")};
        if (c.createSchema) args << QStringLiteral("--create-schema");
        QProcess process;
        process.start(QStringLiteral(RES_SAMPLEDATA_EXE), args);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), c.status);
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), c.error);
        EXPECT_EQ(QFileInfo::exists(c.file), c.exists);
        EXPECT_EQ(QFileInfo(c.file).size(), 0);
    }
}
#endif

}  // namespace
