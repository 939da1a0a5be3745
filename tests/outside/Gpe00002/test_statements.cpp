// The package's statement texts (sql/): every one that an engine has a text for parses on that
// engine, against the restaurant's tables, the package's own and the history of waiter changes.
// SQLite prepares it (sqlite3_prepare_v2); PostgreSQL PREPAREs it, except the start of a
// transaction, which PREPARE does not take and which is run and rolled back instead.
#include "OperationsFixture.h"

#include "SqlPlaceholders.h"
#include "store/History.h"
#include "store/Statements.h"

#include <QDir>
#include <sqlite3.h>

#include <stdexcept>

namespace {

using namespace opstest;

// Why SQLite cannot prepare `sql` on the database at `path`; empty when it can.
QString sqliteProblem(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString problem = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return problem;
    }
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    QString problem;
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &statement, nullptr) != SQLITE_OK)
        problem = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return problem;
}

class StatementsTest : public OperationsTest {
protected:
    // Why PostgreSQL does not take `sql`; empty when it does.
    QString postgresProblem(const QString& sql) {
        try {
            if (sql.startsWith(QLatin1String("BEGIN"))) {
                m_db.Execute(sql);
                m_db.RollbackTrans();
            } else {
                m_db.Execute(QStringLiteral("PREPARE gpe_statement AS ") + sql);
                m_db.Execute(QStringLiteral("DEALLOCATE gpe_statement"));
            }
        } catch (const EDatabaseError& e) {
            return e.message();
        }
        return {};
    }
};

TEST_P(StatementsTest, EveryStatementParsesOnItsEngine) {
    Gpe00002::installWaiterHistory(*m_ops);
    const TSqlDialect dialect = postgres() ? TSqlDialect::PostgreSQL : TSqlDialect::SQLite;
    const QStringList names = Gpe00002::Statements::names(dialect);
    ASSERT_TRUE(names.contains(QStringLiteral("storeTables"))) << names.join(' ').toStdString();
    for (const QString& name : names) {
        const QString sql = Gpe00002::Statements::text(name, dialect);
        const QString positional = SqlPlaceholders(sql).render(
            [this](int i) { return postgres() ? QStringLiteral("$%1").arg(i + 1) : QStringLiteral("?"); });
        const QString problem = postgres() ? postgresProblem(positional)
                                           : sqliteProblem(m_dir.filePath(QStringLiteral("test.db")), positional);
        EXPECT_EQ(problem.toStdString(), "") << name.toStdString() << ":\n" << sql.toStdString();
    }
}

TEST(Statements, OneTheEngineHasNoTextForIsNamed) {
    const std::pair<const char*, TSqlDialect> cases[] = {{"noSuchStatement", TSqlDialect::SQLite},
                                                         {"lockTable", TSqlDialect::SQLite}};
    for (const auto& [name, dialect] : cases) {
        try {
            Gpe00002::Statements::text(QString::fromLatin1(name), dialect);
            ADD_FAILURE() << name;
        } catch (const std::logic_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("the operations package has no statement ") + name + " for sqlite");
        }
    }
}

TEST(Statements, EveryFileIsAStatementOfBothEnginesOrOfOne) {
    QStringList strays;
    for (const QString& file : QDir(QStringLiteral(":/gpe00002/sql")).entryList(QDir::Files)) {
        const QStringList parts = file.split(QLatin1Char('.'));
        const bool engine =
            parts.size() == 3 && (parts[1] == QLatin1String("sqlite") || parts[1] == QLatin1String("postgresql"));
        if (parts.last() != QLatin1String("sql") || (parts.size() != 2 && !engine)) strays << file;
    }
    EXPECT_EQ(strays, QStringList());
}

INSTANTIATE_TEST_SUITE_P(Engines, StatementsTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
