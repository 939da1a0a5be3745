// res00011-reservations end to end on a SQLite file: a reservation added, listed, changed and
// cancelled, the refusals of the operations with exit status 3, and a bad command line with 2.
#include "RestaurantSchema.h"
#include "TADOConnection.h"
#include "support/RestaurantRows.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace menutest;

struct ToolRun {
    int exitCode;
    std::string out, err;
};

class ReservationsToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_connection =
            QStringLiteral("Provider=SQLite;Create=yes;Data Source=") + m_dir.filePath(QStringLiteral("r.db"));
        m_db.setConnectionString(m_connection);
        m_db.Open();
        createRestaurantSchema(m_db);
        m_db.Execute(QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('0001', '0001');") +
                     insert(Table{.mesa = "0011"}) + insert(Table{.mesa = "0012"}) +
                     insert(Table{.mesa = "0013", .ativa = "I"}));
    }
    ToolRun run(const QStringList& arguments) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QOR_CONNECTION"));
        environment.insert(QStringLiteral("RES00011_STATION"), m_dir.path());
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(RES00011_RESERVATIONS_PATH),
                   QStringList{"--connection", m_connection, "--branch", "0001", "--store", "0001"} + arguments);
        if (!tool.waitForFinished(60000)) return {-1, {}, "timed out"};
        return {tool.exitCode(), tool.readAllStandardOutput().toStdString(), tool.readAllStandardError().toStdString()};
    }

    QTemporaryDir m_dir;
    QString m_connection;
    TADOConnection m_db{QStringLiteral("adcTest")};
};

TEST_F(ReservationsToolTest, AddsListsChangesAndCancelsWithTheScreensRules) {
    const QString day = QDate::currentDate().addDays(1).toString("yyyy-MM-dd");
    const ToolRun added = run({"add", "--tables", "0012,0011", "--at", day + " 20:30", "--people", "4", "--guest",
                               "Silva", "--phone", "11 5555-0000", "--note", "Aniversário", "--json"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const QJsonObject reservation =
        QJsonDocument::fromJson(QByteArray::fromStdString(added.out)).object().value("reservation").toObject();
    const QString id = QString::number(reservation.value("id").toInteger());
    EXPECT_EQ(reservation.value("tables").toArray(), (QJsonArray{"0011", "0012"}));
    EXPECT_EQ(reservation.value("until").toString(), day + "T22:30:00");

    struct Case {
        const char* name;
        QStringList arguments;
        int exitCode;
        std::string err;  // its start
    };
    const std::string usage = "res00011-reservations: ";
    const Case cases[] = {
        {"no command", {}, 2, usage + "a command is wanted"},
        {"an unknown command", {"book"}, 2, usage + "a command is wanted"},
        {"add without --at", {"add", "--tables", "0011", "--people", "2", "--guest", "A"}, 2, usage + "add wants --at"},
        {"a time out of range",
         {"add", "--tables", "0011", "--at", day + " 25:99", "--people", "2", "--guest", "A"},
         2,
         usage + "--at " + day.toStdString() + " 25:99 is not a time"},
        {"24:00",
         {"add", "--tables", "0011", "--at", day + " 24:00", "--people", "2", "--guest", "A"},
         2,
         usage + "--at " + day.toStdString() + " 24:00 is not a time"},
        {"a change of guest", {"change", id, "--guest", "B"}, 2, usage + "a change keeps the guest's name"},
        {"no number", {"cancel", "x"}, 2, usage + "x is not a reservation's number"},
        {"an overlap",
         {"add", "--tables", "0011", "--at", day + " 22:00", "--people", "2", "--guest", "Costa"},
         3,
         usage + "Mesa 0011 já reservada das 20:30 às 22:30 para Silva"},
        {"1000 people",
         {"add", "--tables", "0011", "--at", day + " 23:00", "--people", "1000", "--guest", "A"},
         3,
         usage + "O número de pessoas da reserva vai de 1 a 999"},
        {"the past",
         {"add", "--tables", "0011", "--at", "2020-01-01 20:00", "--people", "2", "--guest", "A"},
         3,
         usage + "O horário da reserva (01/01/2020 20:00) já passou"},
        {"an inactive table",
         {"add", "--tables", "0013", "--at", day + " 20:00", "--people", "2", "--guest", "A"},
         3,
         usage + "Mesa 0013 não existe nesta loja ou não está ativa"},
        {"an unknown reservation", {"cancel", "999"}, 3, usage + "A reserva 999 não existe nesta loja"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(result.out, "");
    }

    EXPECT_EQ(run({"change", id, "--people", "6", "--tables", "0011"}).exitCode, 0);
    const ToolRun listed = run({"list", "--day", day, "--json"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(listed.out)).array();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].toObject().value("people").toString(), "6");
    EXPECT_EQ(all[0].toObject().value("tables").toArray(), QJsonArray{"0011"});
    EXPECT_EQ(all[0].toObject().value("note").toString(), "Aniversário");
    EXPECT_EQ(run({"cancel", id}).exitCode, 0);
    EXPECT_EQ(run({"cancel", id}).err,
              "res00011-reservations: A reserva " + id.toStdString() + " de Silva já foi encerrada\n");
    EXPECT_EQ(run({"list", "--day", "2024-02-31"}).exitCode, 2);
}

}  // namespace
