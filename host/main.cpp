// res00011-host: a small host application. It creates the application object, loads the
// module with dlopen, finds CriaMenuMesa by name and calls it with four strings from its
// command line: branch, store, screen configuration and consultation value. A scripted run is
// started through the operations package's exported entry, found by name on the same module.
#include "Process.h"
#include "ScriptedRun.h"
#include "StartFailure.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <dlfcn.h>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using CriaMenuMesaFn = void (*)(const char*, const char*, const char*, const char*);

const char kUsage[] =
    "usage: res00011-host [--station FOLDER] [--screenshot FILE | --script FILE --transcript FILE]\n"
    "                     [BRANCH [STORE [SCREEN-CONFIG [CONSULT-VALUE]]]]\n"
    "  Shows the operations menu (defaults: branch 0001, store 0001, configuration 0001, value \"\").\n"
    "  --station FOLDER   the station's folder: its files (PARAMETROSQOR.CDS, Dados/Cadastros/...) and\n"
    "                     default database (restaurante.db); RES00011_STATION names it too; default: the\n"
    "                     folder of this program.\n"
    "  --screenshot FILE  renders the menu offscreen to a PNG and closes it.\n"
    "  --script FILE      answers the menu and its dialogues from FILE instead of a person,\n"
    "  --transcript FILE  and writes every call of the dialogue to FILE (JSON lines).\n"
    "  The module is libPkg_res00011.so beside this program, or the one RES00011_MODULE names.\n";

int usageError(const QString& message) {
    std::fprintf(stderr, "res00011-host: %s\n%s", qPrintable(message), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Read before the application object exists: without a display, creating it would abort.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption scriptOption(QStringLiteral("script"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption transcriptOption(QStringLiteral("transcript"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption stationOption(QStringLiteral("station"), QString(), QStringLiteral("FOLDER"));
    parser.addOptions({help, screenshotOption, scriptOption, transcriptOption, stationOption});
    if (!parser.parse(arguments)) return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const QString screenshot = parser.value(screenshotOption);
    const QString script = parser.value(scriptOption);
    const QString transcript = parser.value(transcriptOption);
    const QString station =
        parser.isSet(stationOption) ? parser.value(stationOption) : qEnvironmentVariable("RES00011_STATION");
    std::vector<std::string> values;
    for (const QString& value : parser.positionalArguments()) values.push_back(value.toLocal8Bit().toStdString());
    if (values.size() > 4) return usageError(QStringLiteral("at most four values"));
    if (script.isEmpty() != transcript.isEmpty())
        return usageError(QStringLiteral("--script and --transcript go together"));
    if (!script.isEmpty() && !screenshot.isEmpty())
        return usageError(QStringLiteral("--script and --screenshot exclude each other"));
    const char* defaults[] = {"0001", "0001", "0001", ""};
    for (std::size_t i = values.size(); i < 4; ++i) values.emplace_back(defaults[i]);

    // Nobody watches a picture being taken or a script being played.
    if (!screenshot.isEmpty() || (!script.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a display the window system's plugin would abort the program with a hint that does
    // not help here.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if ((platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland")) &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "res00011-host: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "  Start it on the terminal's screen, or get a picture of the menu instead:\n"
                     "  res00011-host --screenshot menu.png\n");
        return 1;
    }
    QApplication app(argc, argv);
    const bool onScreen =
        HostStart::somebodyWatches(!screenshot.isEmpty(), !script.isEmpty(), QGuiApplication::platformName());
    const auto failedStart = [onScreen](const QString& problem, const QString& cause) {
        HostStart::reportFailedStart(problem, cause, onScreen);
        return 1;
    };
    if (!station.isEmpty()) {
        if (!QFileInfo(station).isDir()) {
            const QString problem = QStringLiteral("the station folder %1 does not exist").arg(station);
            return failedStart(problem, problem);
        }
        Process::setStationFolder(QFileInfo(station).absoluteFilePath());
    }

    QString modulePath = qEnvironmentVariable("RES00011_MODULE");
    if (modulePath.isEmpty()) modulePath = QDir(QCoreApplication::applicationDirPath()).filePath("libPkg_res00011.so");
    void* module = dlopen(QFile::encodeName(modulePath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const QString cause = QString::fromLocal8Bit(dlerror());
        return failedStart(QStringLiteral("cannot load the module: ") + cause, cause);
    }
    auto criaMenuMesa = reinterpret_cast<CriaMenuMesaFn>(dlsym(module, "CriaMenuMesa"));
    if (!criaMenuMesa) {
        const QString cause = QString::fromLocal8Bit(dlerror());
        return failedStart(QStringLiteral("the module has no CriaMenuMesa: ") + cause, cause);
    }

    // The module brought the package, with its routines in place: the script's take their place.
    std::unique_ptr<Gpe00002::ScriptedRun> session;
    if (!script.isEmpty()) {
        const auto start = reinterpret_cast<Gpe00002::StartScriptedRun>(dlsym(module, Gpe00002::kStartScriptedRun));
        if (!start) {
            const QString cause = QString::fromLocal8Bit(dlerror());
            return failedStart(QStringLiteral("the module brings no scripted mode: ") + cause, cause);
        }
        QString error;
        session.reset(start(script, transcript, error));
        if (!session) {
            std::fprintf(stderr, "res00011-host: %s\n", qPrintable(error));
            return 1;
        }
    }

    bool saved = true;
    if (!screenshot.isEmpty()) {
        // Once the menu waits in its modal loop: picture it and close it.
        auto* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            QWidget* menu = QApplication::activeModalWidget();
            if (!menu) return;
            poll->stop();
            saved = menu->grab().save(screenshot, "PNG");
            menu->close();
        });
        poll->start(50);
    }

    try {
        criaMenuMesa(values[0].c_str(), values[1].c_str(), values[2].c_str(), values[3].c_str());
    } catch (const std::exception& e) {
        const QString cause = QString::fromUtf8(e.what());
        return failedStart(QStringLiteral("the menu failed: ") + cause, cause);
    } catch (...) {
        return failedStart(QStringLiteral("the menu failed with an unknown error"),
                           QStringLiteral("erro desconhecido"));
    }
    if (session && !session->error().isEmpty()) {
        std::fprintf(stderr, "res00011-host: the script stopped: %s\n", qPrintable(session->error()));
        return 1;
    }
    if (session && session->remainingLines() > 0) {
        std::fprintf(stderr, "res00011-host: the menu closed with %d script lines left\n", session->remainingLines());
        return 1;
    }
    if (!saved) {
        std::fprintf(stderr, "res00011-host: cannot write %s\n", qPrintable(screenshot));
        return 1;
    }
    if (!screenshot.isEmpty()) std::printf("screenshot written to %s\n", qPrintable(screenshot));
    return 0;
}
