#pragma once
// The package's operations against a real database: a SQLite file or a schema of its own on the
// PostgreSQL test server, with the restaurant's tables (filled by each test with the row builders
// of support/RestaurantRows.h), the package's connection on it, a station, and readers of what
// the tables and the journal hold afterwards.
#include "support/PgTestServer.h"
#include "support/RestaurantRows.h"
#include "support/TestValues.h"

#include "DataPacket.h"
#include "core/Refusal.h"
#include "core/Station.h"
#include "TADOQuery.h"
#include "operations/Tables.h"
#include "store/PackageDatabase.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace opstest {

using namespace menutest;

enum class Engine { SQLite, PostgreSQL };
inline std::string engineName(const ::testing::TestParamInfo<Engine>& testCase) {
    return testCase.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

class OperationsTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        m_connectionString = GetParam() == Engine::SQLite
                                 ? sqliteTestConnectionString(m_dir)
                                 : pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("ops")));
        // A short time limit, so that a test of a lock held elsewhere ends soon.
        m_connectionString += QStringLiteral(";Command Timeout=1");
        m_db.setConnectionString(m_connectionString);
        m_db.Open();
        createRestaurantSchema(m_db);
        m_ops = std::make_unique<Gpe00002::PackageDatabase>(m_connectionString);
    }

    bool postgres() const { return GetParam() == Engine::PostgreSQL; }

    // Runs a script on the test's own connection in one transaction.
    void fill(const QString& sql) { m_db.Execute(QStringLiteral("BEGIN;\n") + sql + QStringLiteral("COMMIT;\n")); }

    // The rows of a statement on the test's own connection, every value as text.
    Rows select(const QString& sql) {
        TADOQuery query;
        query.setConnection(&m_db);
        query.setSQL(sql);
        query.Open();
        Rows rows;
        for (const TRecord& record : decodePacket(query.toPacket()).rows) {
            Row& row = rows.emplace_back();
            for (const TFieldValue& value : record) row.push_back(valueText(value));
        }
        return rows;
    }

    // The table as the operations see it now (for `seen` arguments).
    Gpe00002::TableState table(const char* number) {
        for (const Gpe00002::TableState& t : Gpe00002::loadTables(*m_ops, "0001", "0001"))
            if (t.numero == QLatin1String(number)) return t;
        ADD_FAILURE() << "no table " << number;
        return {};
    }

    // MESAJUNCAO of store 0001/0001 as "grouping:table", sorted.
    Rows groupings() {
        return select(
            QStringLiteral("SELECT NRJUNMESA, NRMESA FROM MESAJUNCAO WHERE CDFILIAL = '0001' AND CDLOJA = '0001' "
                           "ORDER BY NRJUNMESA, NRMESA"));
    }
    // The journal: operation, source and target table, grouping.
    Rows journal() {
        return select(QStringLiteral(
            "SELECT IDOPERACAO, NRMESAORIG || '' AS ORIG, NRMESADEST || '' AS DEST, NRJUNMESA || '' AS GRUPO "
            "FROM GPEJORNAL "
            "ORDER BY NRJORNAL"));
    }

    // A reservation made before the test, number `numero`, on `mesas` of store 0001/0001 at `at`,
    // with the windows of the default settings (held an hour before, two hours long, a no-show 20
    // minutes after): its row and its tables' rows.
    static QString reservation(int numero, const QStringList& mesas, const QString& guest, const QDateTime& at,
                               const char* status = "A") {
        const auto text = [](const QDateTime& t) { return t.toString(QStringLiteral("''yyyy-MM-dd HH:mm:ss''")); };
        QString sql =
            QStringLiteral(
                "INSERT INTO GPERESERVA (NRRESERVA, CDFILIAL, CDLOJA, NRMESA, NMCLIENTE, DTHRRESERVA, NRPESSOAS, "
                "IDSTRESERVA, DTHRINCLUSAO, DTHRRETENCAO, DTHRFIMPREV, DTHRLIMITE) VALUES (%1, '0001', "
                "'0001', '%2', '%3', %4, '4', '%5', '2024-06-14 12:00:00', %6, %7, %8);\n")
                .arg(numero)
                .arg(mesas.front(), guest, text(at), QLatin1String(status), text(at.addSecs(-3600)),
                     text(at.addSecs(7200)), text(at.addSecs(1200)));
        for (const QString& mesa : mesas)
            sql += QStringLiteral(
                       "INSERT INTO GPERESERVAMESA (NRRESERVA, CDFILIAL, CDLOJA, NRMESA, DTHRRESERVA, DTHRFIMPREV, "
                       "IDSTRESERVA) VALUES (%1, '0001', '0001', '%2', %3, %4, '%5');\n")
                       .arg(numero)
                       .arg(mesa, text(at), text(at.addSecs(7200)), QLatin1String(status));
        return sql;
    }

    // The message of the refusal `action` raises; a failure when it raises none.
    static QString refusal(const std::function<void()>& action) {
        try {
            action();
        } catch (const Gpe00002::ERefusal& e) {
            return e.message();
        }
        ADD_FAILURE() << "expected a refusal";
        return {};
    }

    QTemporaryDir m_dir;
    QString m_connectionString;
    TADOConnection m_db{QStringLiteral("adcTestData")};
    std::unique_ptr<Gpe00002::PackageDatabase> m_ops;
    Gpe00002::Station m_station{"0001", "0001", "001", "000000000005", "002", "terminal-1"};
};

}  // namespace opstest
