// The source build's res00011-prepare-station: it prepares the folder it is given, and never
// picks the installed terminal's system folder by itself.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(PrepareStation, PreparesTheFolderNamedAndRefusesToGuessOne) {
    QTemporaryDir dir;
    const QString named = dir.filePath(QStringLiteral("caixa 1"));
    const QString fromEnvironment = dir.filePath(QStringLiteral("caixa2"));
    const struct {
        const char* name;
        QStringList args;
        QString station;  // RES00011_STATION
        int status;
        QString firstLine;  // of stderr, or of stdout when it succeeds
    } cases[] = {
        {"no folder",
         {},
         {},
         2,
         QStringLiteral("res00011-prepare-station: name the station's folder (this build's demo station is "
                        "build/bin: build/res00011-prepare-station build/bin), or --system for /var/lib/res00011")},
        {"an empty folder", {QString()}, {}, 2, QStringLiteral("res00011-prepare-station: the FOLDER is empty")},
        {"two folders", {named, named}, {}, 2, QStringLiteral("res00011-prepare-station: one FOLDER at most")},
        {"an unknown option",
         {QStringLiteral("--sistema")},
         {},
         2,
         QStringLiteral("res00011-prepare-station: unknown option '--sistema'")},
        {"help", {QStringLiteral("--help")}, {}, 0, QStringLiteral("usage: res00011-prepare-station [FOLDER]")},
        {"a folder", {named}, {}, 0, QStringLiteral("Creating the demo database %1/restaurante.db").arg(named)},
        {"the environment's folder",
         {},
         fromEnvironment,
         0,
         QStringLiteral("Creating the demo database %1/restaurante.db").arg(fromEnvironment)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess script;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("RES00011_STATION"));
        if (!c.station.isEmpty()) environment.insert(QStringLiteral("RES00011_STATION"), c.station);
        script.setProcessEnvironment(environment);
        script.start(QStringLiteral(PREPARE_STATION_PATH), c.args);
        ASSERT_TRUE(script.waitForFinished(60000));
        EXPECT_EQ(script.exitCode(), c.status);
        const QByteArray output = c.status == 0 ? script.readAllStandardOutput() : script.readAllStandardError();
        EXPECT_EQ(QString::fromUtf8(output).section(QLatin1Char('\n'), 0, 0), c.firstLine) << output.toStdString();
    }
    for (const QString& station : {named, fromEnvironment}) {
        for (const char* file : {"restaurante.db", "PARAMETROSQOR.CDS", "Dados/Cadastros/ControleAcess.cds",
                                 "Dados/Cadastros/AcessoOperacoes.cds"})
            EXPECT_TRUE(QFile::exists(station + QLatin1Char('/') + QLatin1String(file))) << file;
        EXPECT_FALSE(QFile::exists(station + QStringLiteral("/restaurante.db.new")));
    }
}

}  // namespace
