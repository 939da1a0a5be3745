// A start of the menu that fails: said on the screen when somebody may read it, on standard error
// always; and a station whose conexao.ini is broken does not start on its local database.
#include "Mensagemqor.h"
#include "SampleData.h"
#include "StartFailure.h"
#include "TADOConnection.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(HostStart, ShowsTheFailureOnScreenOnlyWhenSomebodyWatches) {
    std::vector<Mensagemqor::MensagemCall> shown;
    Mensagemqor::setMensagemHook([&](const Mensagemqor::MensagemCall& call) {
        shown.push_back(call);
        return true;
    });
    const struct {
        const char* name;
        bool screenshot, script;
        const char* platform;
        bool watched;
    } cases[] = {
        {"a terminal's screen", false, false, "xcb", true},   {"a Wayland session", false, false, "wayland", true},
        {"a picture being taken", true, false, "xcb", false}, {"a script playing", false, true, "xcb", false},
        {"offscreen", false, false, "offscreen", false},      {"minimal", false, false, "minimal", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        const bool watched = HostStart::somebodyWatches(c.screenshot, c.script, QLatin1String(c.platform));
        EXPECT_EQ(watched, c.watched);
        HostStart::reportFailedStart(QStringLiteral("the menu failed: sem banco"), QStringLiteral("sem banco"),
                                     watched);
        ASSERT_EQ(shown.size(), c.watched ? 1u : 0u);
        if (!c.watched) continue;
        EXPECT_EQ(shown[0].texto, "O menu de operações não pôde ser aberto.\nsem banco");
        EXPECT_EQ(shown[0].tipo, tmErro);
        EXPECT_EQ(shown[0].titulo + "|" + shown[0].opcao1 + "|" + shown[0].opcao2, "|N|N");
    }
    Mensagemqor::setMensagemHook({});
}

TEST(HostStart, ABrokenConexaoIniStopsTheStartInsteadOfUsingTheLocalDatabase) {
    QTemporaryDir station;
    {
        TADOConnection local;
        local.setConnectionString(QStringLiteral("Provider=SQLite;Create=yes;Data Source=") +
                                  station.filePath(QStringLiteral("restaurante.db")));
        local.Open();
        SampleDataOptions options;
        options.createSchema = true;
        options.items = kDemoItems;
        generateSampleData(local, options);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QOR_CONNECTION"));
    const QString picture = station.filePath(QStringLiteral("menu.png"));
    const auto runHost = [&] {
        QFile::remove(picture);
        QProcess host;
        host.setProcessEnvironment(environment);
        host.start(QStringLiteral(RES_HOST_PATH),
                   {QStringLiteral("--station"), station.path(), QStringLiteral("--screenshot"), picture});
        EXPECT_TRUE(host.waitForFinished(60000));
        return std::make_pair(host.exitCode(), QString::fromUtf8(host.readAllStandardError()));
    };

    QFile ini(station.filePath(QStringLiteral("conexao.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("\x89PNG\r\n\x1a\n\xff\xd8");
    ini.close();
    const auto [failed, error] = runHost();
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(error.contains(QStringLiteral("res00011-host: the menu failed: Connection file %1: it is not text (its "
                                              "bytes are not valid UTF-8)\n")
                                   .arg(ini.fileName())))
        << error.toStdString();
    EXPECT_FALSE(QFile::exists(picture));

    ASSERT_TRUE(ini.remove());
    const auto [started, noError] = runHost();
    EXPECT_EQ(started, 0) << "without the file the local database serves: " << noError.toStdString();
    EXPECT_TRUE(QFile::exists(picture));
}

}  // namespace
