#pragma once
// Operations as terminals run them: several terminals on one database at once, the state they
// must leave whatever their order, and an operation's whole dialogue with its screens answered
// by fakes (no display).
#include "OperationsFixture.h"

#include "Dialogs.h"
#include "Mensagemqor.h"
#include "Process.h"
#include "screens/SearchList.h"
#include "TClientDataSet.h"
#include "drivers/SqliteDriver.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <deque>
#include <thread>

namespace opstest {

struct Outcome {
    QString result;   // what changed, as compact JSON; empty when refused
    QString refusal;  // the message; empty when it went ahead
};

inline QString compact(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

class TerminalTest : public OperationsTest {
protected:
    using Operation = std::function<QJsonObject(Gpe00002::PackageDatabase&)>;

    // A terminal's connection: it waits long enough for the test.
    QString terminalConnection(int timeoutSeconds = 10) const {
        return m_connectionString + QStringLiteral(";Command Timeout=%1").arg(timeoutSeconds);
    }

    // The first value a statement answers on `connection`, as text.
    static QString scalar(TADOConnection& connection, const QString& sql) {
        TADOQuery query;
        query.setConnection(&connection);
        query.setSQL(sql);
        query.Open();
        return query.Fields(0).AsString();
    }

    // Waits until `count` of the server's processes that `among` picks (a condition on
    // pg_stat_activity) wait for a lock; on SQLite, whose waits are not to be seen, a moment.
    void awaitWaiting(int count, const QString& among) {
        if (!postgres()) {
            // The terminals' connections are this process's: the driver counts those waiting.
            QElapsedTimer timer;
            timer.start();
            while (sqliteConnectionsWaiting() < count && timer.elapsed() < 10000) QThread::msleep(5);
            ASSERT_GE(sqliteConnectionsWaiting(), count) << "the terminals never waited for the lock";
            return;
        }
        const QString sql =
            QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND %1").arg(among);
        QElapsedTimer timer;
        timer.start();
        while (scalar(m_db, sql).toInt() < count && timer.elapsed() < 10000) QThread::msleep(20);
        ASSERT_GE(scalar(m_db, sql).toInt(), count) << "the terminals never waited for the lock";
    }

    // Runs each operation on a terminal of its own, in a thread, while another connection holds
    // `pgLock` (on SQLite the whole database), then lets them go. Each starts once the one before
    // waits: on PostgreSQL they then go in that order.
    std::vector<Outcome> race(const QString& pgLock, const std::vector<Operation>& operations) {
        std::vector<std::unique_ptr<Gpe00002::PackageDatabase>> terminals;
        QStringList backends;
        for (std::size_t i = 0; i < operations.size(); ++i) {
            terminals.push_back(std::make_unique<Gpe00002::PackageDatabase>(terminalConnection()));
            if (postgres())
                backends << scalar(terminals.back()->connection(), QStringLiteral("SELECT pg_backend_pid()"));
        }
        TADOConnection locker(QStringLiteral("adcLocker"));
        locker.setConnectionString(m_connectionString);
        locker.Open();
        locker.Execute(postgres() ? QStringLiteral("BEGIN; ") + pgLock : QStringLiteral("BEGIN IMMEDIATE"));
        std::vector<Outcome> outcomes(operations.size());
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < operations.size(); ++i) {
            threads.emplace_back([&, i] {
                try {
                    outcomes[i].result = compact(operations[i](*terminals[i]));
                } catch (const Gpe00002::ERefusal& e) {
                    outcomes[i].refusal = e.message();
                } catch (const std::exception& e) {
                    outcomes[i].refusal = QStringLiteral("unexpected: ") + QString::fromUtf8(e.what());
                }
            });
            awaitWaiting(static_cast<int>(i) + 1, QStringLiteral("pid IN (%1)").arg(backends.join(',')));
        }
        locker.Execute(QStringLiteral("COMMIT"));
        for (std::thread& thread : threads) thread.join();
        return outcomes;
    }

    // What holds whatever terminals did: no table in two groupings, every open sale on an active
    // table of its store.
    void expectConsistent() {
        EXPECT_EQ(select(QStringLiteral(
                      "SELECT NRMESA FROM MESAJUNCAO GROUP BY CDFILIAL, CDLOJA, NRMESA HAVING COUNT(*) > 1")),
                  Rows{});
        EXPECT_EQ(
            select(QStringLiteral("SELECT NRVENDAREST FROM VENDAREST V WHERE DTHRFECHMESA IS NULL AND NOT EXISTS "
                                  "(SELECT 1 FROM MESA M WHERE M.CDFILIAL = V.CDFILIAL AND M.CDLOJA = V.CDLOJA AND "
                                  "M.NRMESA = V.NRMESA AND M.IDSTMESA = 'A')")),
            Rows{});
    }

    // Runs `operation` (a routine variable's call) with its dialogues answered from `answers` in
    // order: "tables 0010,0011" or "cancel" on a map, "confirm" or "cancel" on a question,
    // "pick FIELD=VALUE[,FIELD=VALUE]" or "cancel" on a list, "keypad TEXT" or "cancel" on the
    // keypad, "text TEXT" or "cancel" on a text field; when they run out, each screen is
    // cancelled. `meanwhile` runs on the test's connection when a question is asked, as another
    // terminal. Answers every call: "map <prompt>: <tables offered>" with " [0011]" for the
    // tables marked, "confirm <question>" (Enter confirms) or "confirm (Cancela) <question>"
    // (Enter cancels), "list <title> / <prompt> / <columns>: <rows, cells split by |, rows by ;>",
    // "keypad <prompt>: <starting text>", "text <prompt>: <starting text>", "message <kind> <text>",
    // "notice <text>" for the notice of a change (an "undo" answer next presses its Desfazer).
    QStringList dialogue(const std::function<void()>& operation, std::deque<QString> answers,
                         const QString& meanwhile = {}) {
        const QString parameters = m_dir.filePath(QStringLiteral("PARAMETROSQOR.CDS"));
        if (!QFile::exists(parameters)) {
            TClientDataSet file;
            for (const char* column : {"CDFILIAL", "CDLOJA", "CDCAIXA", "CDOPERADORLOGIN"})
                file.FieldDefs().push_back({column, TFieldType::ftString, 12});
            file.CreateDataSet();
            file.Append();
            for (int i = 0; i < 4; ++i)
                file.Fields(i).setAsString(QStringList{"0001", "0001", "001", "000000000005"}[i]);
            file.Post();
            file.SaveToFile(parameters);
        }
        Process::setExecutableFolderForTests(m_dir.path());
        qputenv("QOR_CONNECTION", m_connectionString.toUtf8());
        // Whatever the package's screens put in the variables comes back afterwards.
        struct Restore {
            Gpe00002::TMapaMesas map = Gpe00002::MapaMesas;
            Gpe00002::TConfirma confirm = Gpe00002::Confirma;
            Gpe00002::TConfirma confirmCancel = Gpe00002::ConfirmaCancelaPadrao;
            Gpe00002::TAvisoDesfazer notice = Gpe00002::AvisoDesfazer;
            Gpe00002::TPesquisa list = Gpe00002::Pesquisa;
            Gpe00002::TEscolha titledList = Gpe00002::Escolha;
            Gpe00002::TTecladoNumerico keypad = Gpe00002::TecladoNumerico;
            Gpe00002::TEditaTexto text = Gpe00002::EditaTexto;
            ~Restore() {
                Gpe00002::MapaMesas = map;
                Gpe00002::Confirma = confirm;
                Gpe00002::ConfirmaCancelaPadrao = confirmCancel;
                Gpe00002::AvisoDesfazer = notice;
                Gpe00002::Pesquisa = list;
                Gpe00002::Escolha = titledList;
                Gpe00002::TecladoNumerico = keypad;
                Gpe00002::EditaTexto = text;
                Mensagemqor::setMensagemHook(nullptr);
                qunsetenv("QOR_CONNECTION");
                Process::setExecutableFolderForTests({});
            }
        } restore;
        QStringList calls;
        const auto next = [&answers] {
            const QString answer = answers.empty() ? QStringLiteral("cancel") : answers.front();
            if (!answers.empty()) answers.pop_front();
            return answer;
        };
        Gpe00002::MapaMesas = [&](const Gpe00002::TableMapRequest& request) -> std::optional<QStringList> {
            QStringList offered;
            for (const Gpe00002::MapTable& table : request.tables)
                if (table.enabled) offered << table.mesa.numero;
            calls << QStringLiteral("map %1: %2").arg(request.prompt, offered.join(',')) +
                         (request.marked.isEmpty() ? QString() : " [" + request.marked.join(',') + "]");
            const QString answer = next();
            if (!answer.startsWith(QLatin1String("tables "))) return std::nullopt;
            return answer.mid(7).split(QLatin1Char(','));
        };
        const auto question = [&](const QString& asked) {
            calls << asked;
            if (!meanwhile.isEmpty()) m_db.Execute(meanwhile);
            return next() == QLatin1String("confirm");
        };
        Gpe00002::Confirma = [=](const QString&, const QString& text) { return question("confirm " + text); };
        // The notice of a change: "undo" next presses Desfazer; anything else is left for what follows.
        Gpe00002::AvisoDesfazer = [&](const QString&, const QString& text) {
            calls << "notice " + text;
            if (answers.empty() || answers.front() != QLatin1String("undo")) return false;
            answers.pop_front();
            return true;
        };
        Gpe00002::ConfirmaCancelaPadrao = [=](const QString&, const QString& text) {
            return question("confirm (Cancela) " + text);
        };
        const auto pick = [&](TClientDataSet& list, const QString& shown) {
            const Gpe00002::SearchListData data(list);
            QStringList columns, rows;
            for (const Gpe00002::SearchColumn& column : data.columns()) columns << column.label;
            for (const QStringList& row : data.rows()) rows << row.join('|');
            calls << QStringLiteral("list %1%2: %3").arg(shown, columns.join(','), rows.join("; "));
            const QString answer = next();
            if (!answer.startsWith(QLatin1String("pick "))) return false;
            for (list.First(); !list.Eof(); list.Next()) {
                bool all = true;
                for (const QString& pair : answer.mid(5).split(',')) {
                    const QStringList parts = pair.split('=');
                    all = all && list.FieldByName(parts[0]).AsString() == parts.value(1);
                }
                if (all) return true;
            }
            ADD_FAILURE() << "no row holds " << answer.toStdString();
            return false;
        };
        Gpe00002::Pesquisa = [=](TClientDataSet& list, int, int, int, int, int, int, int) {
            return pick(list, QStringLiteral("Pesquisa / "));
        };
        Gpe00002::Escolha = [=](TClientDataSet& list, const QString& title, const QString& prompt) {
            return pick(list, title + " / " + prompt + " / ");
        };
        Gpe00002::TecladoNumerico = [&](std::string& valor, const std::string&, const std::string& prompt,
                                        const std::string&, int, int, int, int, int, int) {
            calls << QStringLiteral("keypad %1: %2").arg(QString::fromStdString(prompt), QString::fromStdString(valor));
            const QString answer = next();
            if (!answer.startsWith(QLatin1String("keypad "))) return false;
            valor = answer.mid(7).toStdString();
            return true;
        };
        Gpe00002::EditaTexto = [&](const QString&, const QString& prompt, int,
                                   const QString& initial) -> std::optional<QString> {
            calls << QStringLiteral("text %1: %2").arg(prompt, initial);
            const QString answer = next();
            if (!answer.startsWith(QLatin1String("text "))) return std::nullopt;
            return answer.mid(5);
        };
        Mensagemqor::setMensagemHook([&](const Mensagemqor::MensagemCall& call) {
            calls << QStringLiteral("message %1 %2").arg(call.tipo).arg(QString::fromStdString(call.texto));
            return true;
        });
        operation();
        return calls;
    }
};

}  // namespace opstest
