// The statement texts of the data module. A statement held in two dialects (NAME.oracle.sql for
// Oracle, SQLite and PostgreSQL, NAME.mssql.sql for SQL Server) must say the same in both apart
// from the spellings that differ between the engines:
//   SQL Server                    Oracle
//   ISNULL(a, b)                  NVL(a, b)
//   SUBSTRING(                    SUBSTR(
//   CONVERT(VARCHAR(2000), x)     x            the item text, kept whole on SQL Server; selected
//                                              under its own name ("... AS TXPRODCOMVEN"), an
//                                              alias the plain column does not need
// and must give the same rows; a statement with one text (NAME.sql) must use none of them.
// Every statement file found among the module's resources is checked, so new ones are covered
// as soon as they are added.
#include "support/TestValues.h"
#include "support/PgTestServer.h"

#include "SampleData.h"
#include "Srv_res00011.h"
#include "TADOQuery.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Texts in failure messages as text.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using Srv_res00011::statementText;

const QString kStatementFolder = QStringLiteral(":/res00011/sql");

struct StatementFiles {
    QStringList pairs;       // names with both dialect texts
    QStringList singles;     // names with one text
    QStringList incomplete;  // dialect files without their partner, or of an unknown dialect
};

StatementFiles statementFiles() {
    std::set<QString> oracle, mssql;
    StatementFiles files;
    const QStringList entries = QDir(kStatementFolder).entryList(QDir::Files, QDir::Name);
    for (const QString& entry : entries) {
        if (!entry.endsWith(QLatin1String(".sql"))) {
            files.incomplete << entry;
            continue;
        }
        const QString stem = entry.chopped(4);
        const qsizetype dot = stem.indexOf(QLatin1Char('.'));
        if (dot < 0) {
            files.singles << stem;
            continue;
        }
        const QString name = stem.left(dot);
        const QString dialect = stem.mid(dot + 1);
        if (dialect == QLatin1String("oracle"))
            oracle.insert(name);
        else if (dialect == QLatin1String("mssql"))
            mssql.insert(name);
        else
            files.incomplete << entry;
    }
    for (const QString& name : oracle) {
        if (mssql.count(name))
            files.pairs << name;
        else
            files.incomplete << name + QStringLiteral(".oracle.sql");
    }
    for (const QString& name : mssql)
        if (!oracle.count(name)) files.incomplete << name + QStringLiteral(".mssql.sql");
    return files;
}

QRegularExpression word(const QString& pattern) {
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
}

// Replaces every CONVERT(VARCHAR(2000), x) by wrap(x). With dropOwnName, an alias that only
// repeats the name of the column x ("CONVERT(VARCHAR(2000), IT.TXPRODCOMVEN) AS TXPRODCOMVEN")
// goes too, since the plain column keeps its name anyway. nullopt when a CONVERT is not closed.
std::optional<QString> rewriteConvert(QString text, const std::function<QString(const QString&)>& wrap,
                                      bool dropOwnName) {
    static const QRegularExpression convert =
        word(QStringLiteral("\\bCONVERT\\s*\\(\\s*VARCHAR\\s*\\(\\s*2000\\s*\\)\\s*,"));
    static const QRegularExpression alias = word(QStringLiteral("\\s+AS\\s+([A-Z_][A-Z0-9_]*)\\b"));
    static const QRegularExpression columnName = word(QStringLiteral("^(?:[A-Z_][A-Z0-9_]*\\.)?([A-Z_][A-Z0-9_]*)$"));
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch match = convert.match(text, from);
        if (!match.hasMatch()) return text;
        // The end of the argument: the parenthesis that closes CONVERT, outside quotes.
        int depth = 1;
        qsizetype at = match.capturedEnd();
        QChar quote;
        for (; at < text.size(); ++at) {
            const QChar c = text.at(at);
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                quote = c;
            } else if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')') && --depth == 0) {
                break;
            }
        }
        if (depth != 0) return std::nullopt;
        const std::optional<QString> argument =
            rewriteConvert(text.mid(match.capturedEnd(), at - match.capturedEnd()).trimmed(), wrap, dropOwnName);
        if (!argument) return std::nullopt;
        qsizetype end = at + 1;
        if (dropOwnName) {
            const QRegularExpressionMatch named =
                alias.match(text, end, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
            const QRegularExpressionMatch column = columnName.match(*argument);
            if (named.hasMatch() && column.hasMatch() &&
                named.captured(1).compare(column.captured(1), Qt::CaseInsensitive) == 0)
                end = named.capturedEnd();
        }
        const QString replacement = wrap(*argument);
        text.replace(match.capturedStart(), end - match.capturedStart(), replacement);
        from = match.capturedStart() + replacement.size();
    }
}

// An SQL Server text with its differing spellings written as in the Oracle text.
std::optional<QString> mssqlAsOracle(const QString& mssql) {
    std::optional<QString> text = rewriteConvert(
        mssql, [](const QString& x) { return x; }, true);
    if (!text) return text;
    text->replace(word(QStringLiteral("\\bISNULL\\(")), QStringLiteral("NVL("));
    text->replace(word(QStringLiteral("\\bSUBSTRING\\(")), QStringLiteral("SUBSTR("));
    return text;
}

// An SQL Server text made runnable on SQLite, which knows SUBSTRING and, quoted, ISNULL.
std::optional<QString> mssqlForSqlite(const QString& mssql) {
    std::optional<QString> text = rewriteConvert(
        mssql, [](const QString& x) { return QStringLiteral("CAST(%1 AS VARCHAR(2000))").arg(x); }, false);
    if (!text) return text;
    text->replace(word(QStringLiteral("\\bISNULL\\(")), QStringLiteral("\"ISNULL\"("));
    return text;
}

// The functions of `names` that a text uses, upper case.
QStringList functionsUsed(const QString& text, const QStringList& names) {
    QStringList used;
    for (const QString& name : names)
        if (text.contains(word(QStringLiteral("\\b%1\\b").arg(name)))) used << name;
    return used;
}

TEST(StatementTexts, TheResourcesHoldOnlyCompletePairsAndSingleTexts) {
    const StatementFiles files = statementFiles();
    EXPECT_TRUE(files.incomplete.isEmpty())
        << "without partner or of an unknown dialect: " << files.incomplete.join(QStringLiteral(", ")).toStdString();
    // The statements of today, so that a folder that is not found cannot pass as an empty one.
    EXPECT_TRUE(files.pairs.contains(QStringLiteral("adqStatusMesa")))
        << files.pairs.join(QStringLiteral(", ")).toStdString();
    EXPECT_TRUE(files.singles.contains(QStringLiteral("adqNrJuncao")))
        << files.singles.join(QStringLiteral(", ")).toStdString();
    for (const QString& name : files.pairs) {
        EXPECT_FALSE(statementText(name, QStringLiteral("oracle")).isEmpty()) << name.toStdString();
        EXPECT_FALSE(statementText(name, QStringLiteral("mssql")).isEmpty()) << name.toStdString();
    }
    for (const QString& name : files.singles) EXPECT_FALSE(statementText(name).isEmpty()) << name.toStdString();
}

// The rewriting that the two checks below rely on, for every spelling, including the ones no
// statement uses yet.
TEST(StatementTexts, TheDifferingSpellingsAreRewrittenWhole) {
    struct Case {
        const char* name;
        const char* mssql;
        const char* asOracle;
        const char* forSqlite;
    };
    const Case cases[] = {
        {"ISNULL", "M.NRMESA <> ISNULL(L.NRMESAPADRAO, ' ')", "M.NRMESA <> NVL(L.NRMESAPADRAO, ' ')",
         "M.NRMESA <> \"ISNULL\"(L.NRMESAPADRAO, ' ')"},
        {"SUBSTRING", "SUBSTRING(P.NMPRODUTO, 1, 20) AS NM", "SUBSTR(P.NMPRODUTO, 1, 20) AS NM",
         "SUBSTRING(P.NMPRODUTO, 1, 20) AS NM"},
        {"CONVERT of the item text under its own name",
         "I.NRPRODCOMVEN, CONVERT(VARCHAR(2000), I.TXPRODCOMVEN) AS TXPRODCOMVEN, I.X",
         "I.NRPRODCOMVEN, I.TXPRODCOMVEN, I.X",
         "I.NRPRODCOMVEN, CAST(I.TXPRODCOMVEN AS VARCHAR(2000)) AS TXPRODCOMVEN, I.X"},
        {"CONVERT under another name keeps it", "CONVERT(VARCHAR(2000), TXPRODCOMVEN) AS TXITEM FROM T",
         "TXPRODCOMVEN AS TXITEM FROM T", "CAST(TXPRODCOMVEN AS VARCHAR(2000)) AS TXITEM FROM T"},
        {"CONVERT around parentheses and quoted parentheses",
         "CONVERT(VARCHAR(2000), ISNULL(I.TXPRODCOMVEN, ')(')) AS TXPRODCOMVEN, CONVERT(VARCHAR(2000), (T.TX))",
         "NVL(I.TXPRODCOMVEN, ')(') AS TXPRODCOMVEN, (T.TX)",
         "CAST(\"ISNULL\"(I.TXPRODCOMVEN, ')(') AS VARCHAR(2000)) AS TXPRODCOMVEN, CAST((T.TX) AS VARCHAR(2000))"},
        {"names that only contain a spelling are kept", "SELECT NOISNULL(X), MYSUBSTRING(Y) FROM T",
         "SELECT NOISNULL(X), MYSUBSTRING(Y) FROM T", "SELECT NOISNULL(X), MYSUBSTRING(Y) FROM T"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(mssqlAsOracle(QString::fromUtf8(c.mssql)), QString::fromUtf8(c.asOracle));
        EXPECT_EQ(mssqlForSqlite(QString::fromUtf8(c.mssql)), QString::fromUtf8(c.forSqlite));
    }
    EXPECT_EQ(mssqlAsOracle(QStringLiteral("CONVERT(VARCHAR(2000), I.TX AS TX")), std::nullopt) << "unclosed CONVERT";
}

TEST(StatementTexts, EveryMssqlTextIsItsOracleTextWithTheSqlServerSpellings) {
    const QStringList pairs = statementFiles().pairs;
    ASSERT_FALSE(pairs.isEmpty());
    for (const QString& name : pairs) {
        SCOPED_TRACE(name.toStdString());
        const QString oracle = statementText(name, QStringLiteral("oracle"));
        const QString mssql = statementText(name, QStringLiteral("mssql"));
        EXPECT_EQ(mssqlAsOracle(mssql), oracle);
        // Spellings that only one of the two engines knows.
        EXPECT_EQ(functionsUsed(mssql, {QStringLiteral("NVL"), QStringLiteral("SUBSTR")}), QStringList())
            << "SQL Server has no such function";
        EXPECT_EQ(
            functionsUsed(oracle, {QStringLiteral("ISNULL"), QStringLiteral("SUBSTRING"), QStringLiteral("CONVERT")}),
            QStringList())
            << "the Oracle text runs on Oracle, SQLite and PostgreSQL";
    }
}

TEST(StatementTexts, SingleTextsUseNoSpellingThatDiffersBetweenTheEngines) {
    const QStringList singles = statementFiles().singles;
    ASSERT_FALSE(singles.isEmpty());
    const QStringList differing = {QStringLiteral("NVL"), QStringLiteral("ISNULL"), QStringLiteral("SUBSTR"),
                                   QStringLiteral("SUBSTRING"), QStringLiteral("CONVERT")};
    for (const QString& name : singles)
        EXPECT_EQ(functionsUsed(statementText(name), differing), QStringList())
            << name.toStdString() << ": give it an Oracle and an SQL Server text";
}

// ---------------------------------------------------------------------------------------------
// Both texts of every pair on the sample database.

using Row = std::vector<std::string>;

struct Result {
    std::vector<QString> columns;
    std::vector<Row> rows;  // sorted: no statement promises an order to both engines alike
};

// The sample arguments, by parameter name. A statement with a parameter missing here fails:
// add a value that the sample data answers with rows.
using Arguments = std::map<QString, QString>;

Arguments demoArguments() {
    return {
        {QStringLiteral("P_CDFILIAL"), QStringLiteral("0001")},
        {QStringLiteral("P_CDLOJA"), QStringLiteral("0001")},
        {QStringLiteral("P_NRCONFTELA"), QStringLiteral("0001")},
        {QStringLiteral("P_NRMESA"), QStringLiteral("0012")},
        {QStringLiteral("P_NRVENDAREST"), QStringLiteral("0000000001")},
        {QStringLiteral("P_NRCOMANDA"), QStringLiteral("0000000001")},
        {QStringLiteral("P_NRJUNMESA"), QStringLiteral("0000000001")},
        {QStringLiteral("P_CDVENDEDOR"), QStringLiteral("0001")},
        {QStringLiteral("P_CDOPERADOR"), QStringLiteral("000000000001")},
        // products left out of the item lists: one of the demo ticket's, two it does not hold
        {QStringLiteral("P_CDPRODCONSUM"), QStringLiteral("0000000002")},
        {QStringLiteral("P_CDPRODCONSFEM"), QStringLiteral("0000000009")},
        {QStringLiteral("P_CDPRODCOUVER"), QStringLiteral("0000000010")},
    };
}

Arguments with(Arguments arguments, const Arguments& changes) {
    for (const auto& [name, value] : changes) arguments[name] = value;
    return arguments;
}

Result run(TADOConnection& connection, const QString& text, const Arguments& arguments) {
    TADOQuery query;
    query.setConnection(&connection);
    query.setSQL(text);
    for (int i = 0; i < query.Parameters().Count(); ++i) {
        TParameter& parameter = query.Parameters().Items(i);
        const auto found = arguments.find(parameter.Name().toUpper());
        if (found == arguments.end()) {
            ADD_FAILURE() << "no sample value for parameter " << parameter.Name().toStdString();
            return {};
        }
        parameter.setValue(found->second);
    }
    query.Open();
    Result result;
    for (int f = 0; f < query.FieldCount(); ++f) result.columns.push_back(query.Fields(f).FieldName());
    for (const TRecord& record : query.records()) {
        Row& row = result.rows.emplace_back();
        for (const TFieldValue& value : record) row.push_back(valueText(value));
    }
    std::sort(result.rows.begin(), result.rows.end());
    return result;
}

TEST(StatementTexts, EveryMssqlTextGivesTheRowsOfItsOracleTextOnSqlite) {
    QTemporaryDir dir;
    TADOConnection connection(QStringLiteral("adcDialects"));
    connection.setConnectionString(sqliteTestConnectionString(dir));
    connection.Open();
    SampleDataOptions options;
    options.items = 200;
    options.createSchema = true;
    generateSampleData(connection, options);
    // A ticket with an item on table 0020, so that the tables grouped with it have items too.
    connection.Execute(QStringLiteral(
        "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, VRDESCOMANDA, "
        "VRCOMISVENDE, VRACRCOMANDA) VALUES ('0001', '0000000004', '0000000090', 'PKR_0020', '1', 0, 0, 0);"
        "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, QTPRODCOMVEN, "
        "VRPRECCOMVEN, TXPRODCOMVEN, IDSTPRCOMVEN, VRDESCCOMVEN, VRACRCOMVEN, DTHRINCOMVEN, IDPRODIMPFIS, "
        "NRSEQPRODCOM, CDVENDEDOR, NRLUGARMESA, IDPRODREFIL) VALUES ('0001', '0000000004', '0000000090', "
        "'000001', '0000000003', 2, 7.5, 'bem passado', '1', 0, 0, '2024-06-14 19:50:00', 'S', '001', '0004', "
        "'0001', 'N');"));

    struct Sample {
        const char* name;
        Arguments arguments;
    };
    const Sample samples[] = {
        {"demo store, table 0012", demoArguments()},
        {"table 0013", with(demoArguments(), {{QStringLiteral("P_NRMESA"), QStringLiteral("0013")},
                                              {QStringLiteral("P_NRCOMANDA"), QStringLiteral("0000000005")}})},
        {"grouped table 0021", with(demoArguments(), {{QStringLiteral("P_NRMESA"), QStringLiteral("0021")}})},
        {"store without a default table",
         with(demoArguments(), {{QStringLiteral("P_CDLOJA"), QStringLiteral("0003")}})},
        {"other branch", with(demoArguments(), {{QStringLiteral("P_CDFILIAL"), QStringLiteral("0002")}})},
    };

    const QStringList pairs = statementFiles().pairs;
    ASSERT_FALSE(pairs.isEmpty());
    for (const QString& name : pairs) {
        SCOPED_TRACE(name.toStdString());
        const std::optional<QString> mssql = mssqlForSqlite(statementText(name, QStringLiteral("mssql")));
        ASSERT_TRUE(mssql.has_value()) << "unclosed CONVERT";
        std::size_t rows = 0;
        for (const Sample& sample : samples) {
            SCOPED_TRACE(sample.name);
            try {
                const Result oracle = run(connection, statementText(name, QStringLiteral("oracle")), sample.arguments);
                const Result sqlServer = run(connection, *mssql, sample.arguments);
                EXPECT_EQ(sqlServer.columns, oracle.columns);
                EXPECT_EQ(sqlServer.rows, oracle.rows);
                rows += oracle.rows.size();
            } catch (const EDatabaseError& e) {
                ADD_FAILURE() << e.what();
            }
        }
        EXPECT_GT(rows, 0u) << "no sample gives a row: the comparison proves nothing; choose other sample values";
    }
}

}  // namespace
