#pragma once
// A menu data module per test, on a SQLite file or on the PostgreSQL test server (a schema of
// its own), connected through QOR_CONNECTION as in production, with a second connection that
// fills the tables and reads them back; row builders for the restaurant tables; and readers of
// the data functions' answers.
#include "support/RestaurantRows.h"
#include "support/TestValues.h"
#include "support/PgTestServer.h"

#include "DataPacket.h"
#include "Srv_res00011.h"
#include "TADOQuery.h"
#include "TField.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Texts and field descriptors in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const TFieldDesc& field, std::ostream* out) {
    *out << field.name.toStdString() << ' ' << fieldTypeName(field.type) << '(' << field.size << ')';
}

namespace menutest {

enum class Engine { SQLite, PostgreSQL };
inline void PrintTo(Engine engine, std::ostream* out) { *out << (engine == Engine::SQLite ? "SQLite" : "PostgreSQL"); }
inline std::string engineName(const ::testing::TestParamInfo<Engine>& testCase) {
    return testCase.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

using Row = std::vector<std::string>;  // one value per field, "<null>" for a null
using Rows = std::vector<Row>;
using Fields = std::vector<TFieldDesc>;

inline constexpr const char* kNull = "<null>";

inline Rows rowsOf(const TPacketTable& packet) {
    Rows rows;
    for (const TRecord& record : packet.rows) {
        Row& row = rows.emplace_back();
        for (const TFieldValue& value : record) row.push_back(valueText(value));
    }
    return rows;
}

// The named fields of every row, in the given order.
inline Rows columnsOf(const TPacketTable& packet, const std::vector<QString>& names) {
    std::vector<std::size_t> indexes;
    for (const QString& name : names) {
        const auto found = std::find_if(packet.fields.begin(), packet.fields.end(),
                                        [&](const TFieldDesc& field) { return field.name == name; });
        if (found == packet.fields.end()) {
            ADD_FAILURE() << "the packet has no field " << name.toStdString();
            return {};
        }
        indexes.push_back(static_cast<std::size_t>(found - packet.fields.begin()));
    }
    Rows rows;
    for (const TRecord& record : packet.rows) {
        Row& row = rows.emplace_back();
        for (std::size_t index : indexes) row.push_back(valueText(record[index]));
    }
    return rows;
}

inline Rows sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The packet of an answer. An answer that is not a packet fails the test, naming its text.
inline TPacketTable packetOf(const QVariant& answer) {
    if (answer.typeId() != QMetaType::QByteArray) {
        ADD_FAILURE() << "expected a data packet, got " << answer.typeName() << ": " << answer.toString().toStdString();
        return {};
    }
    return decodePacket(answer.toByteArray());
}

// The error text of an answer. An answer that is not a text fails the test.
inline QString errorOf(const QVariant& answer) {
    if (answer.typeId() != QMetaType::QString) {
        ADD_FAILURE() << "expected an error text, got " << answer.typeName();
        return {};
    }
    return answer.toString();
}

// The test's own database and the data module on it.
class DataModuleTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam() == Engine::SQLite) {
            m_connectionString = sqliteTestConnectionString(m_dir);
        } else {
            m_connectionString = pgTestConnectionString(pgTestSchemaForCurrentTest(QStringLiteral("srv_dm")));
        }
        m_db.setConnectionString(m_connectionString);
        m_db.Open();
        createRestaurantSchema(m_db);

        qputenv("QOR_CONNECTION", m_connectionString.toUtf8());
        Srv_res00011::rdmMenu = new TrdmMenu(nullptr);
        Srv_res00011::rdmMenu->adcMenu.setConnected(true);
        ASSERT_TRUE(Srv_res00011::rdmMenu->adcMenu.Connected());
    }

    void TearDown() override {
        delete Srv_res00011::rdmMenu;
        Srv_res00011::rdmMenu = nullptr;
        qunsetenv("QOR_CONNECTION");
    }

    bool postgres() const { return GetParam() == Engine::PostgreSQL; }

    // Runs a script on the test's own connection in one transaction (SQLite would otherwise
    // write every statement to disk on its own).
    void fill(const QString& sql) { m_db.Execute(QStringLiteral("BEGIN;\n") + sql + QStringLiteral("COMMIT;\n")); }

    // Another data module on the same database, connected: a second terminal.
    std::unique_ptr<TrdmMenu> openTerminal() const {
        auto terminal = std::make_unique<TrdmMenu>(nullptr);
        terminal->adcMenu.setConnected(true);
        return terminal;
    }

    // The rows of a statement run on the test's own connection.
    Rows select(const QString& sql) {
        TADOQuery query;
        query.setConnection(&m_db);
        query.setSQL(sql);
        query.Open();
        return rowsOf(decodePacket(query.toPacket()));
    }

    // Matches an error text of the server engine about a missing table, with the statement's
    // line that failed after it on the same line.
    static QRegularExpression pgMissingTable(const char* table) {
        return QRegularExpression(
            QStringLiteral("^Erro de banco de dados: PostgreSQL: ERROR:  relation \"%1\" does not "
                           "exist LINE \\d+: [^\r\n]*\\^$")
                .arg(QString::fromLatin1(table).toLower()));
    }

    QTemporaryDir m_dir;
    QString m_connectionString;
    TADOConnection m_db{QStringLiteral("adcTestData")};
};

}  // namespace menutest
