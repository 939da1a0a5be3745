// The loadable module as a host sees it: what dlopen finds in it, and the host program.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

struct Module {
    void* handle = dlopen(RES_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ~Module() {
        if (handle) dlclose(handle);
    }
    void* symbol(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }
};

TEST(Module, ExportsTheEntryPointTheDataFunctionsAndTheGlobals) {
    Module module;
    ASSERT_NE(module.handle, nullptr) << dlerror();
    const char* exported[] = {
        "CriaMenuMesa",
        "_ZN12Cli_res0001112CriaMenuMesaENSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES5_S5_S5_",
        "_ZN12Cli_res000117frmMenuE",
        "_ZN12Cli_res0001110boCriaMenuE",
        "_ZN12Srv_res000117rdmMenuE",
        "_ZN12Srv_res0001111getNrJuncaoERK7QStringS2_",
        "_ZN12Srv_res0001113getStatusMesaERK7QStringS2_S2_",
    };
    for (const char* name : exported) EXPECT_NE(module.symbol(name), nullptr) << name;

    // Loaded and idle: no form, no data module, no menu.
    EXPECT_EQ(*static_cast<void**>(module.symbol("_ZN12Cli_res000117frmMenuE")), nullptr);
    EXPECT_EQ(*static_cast<void**>(module.symbol("_ZN12Srv_res000117rdmMenuE")), nullptr);
    EXPECT_FALSE(*static_cast<bool*>(module.symbol("_ZN12Cli_res0001110boCriaMenuE")));

    // Only the units' own names leave the module.
    EXPECT_EQ(module.symbol("_Z16fixFontPixelSizesP7QWidget"), nullptr);

    // A data function called without a data module answers a text, not a packet, and raises
    // nothing.
    using DataFunction = QVariant (*)(const QString&, const QString&);
    auto getNrJuncao = reinterpret_cast<DataFunction>(module.symbol("_ZN12Srv_res0001111getNrJuncaoERK7QStringS2_"));
    ASSERT_NE(getNrJuncao, nullptr);
    const QVariant answer = getNrJuncao(QStringLiteral("0001"), QStringLiteral("0001"));
    EXPECT_EQ(answer.typeId(), QMetaType::QString);
}

TEST(Host, ShowsTheMenuOnTheDefaultDatabaseAndReportsAFailedStart) {
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("menu.png"));
    QProcess host;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QOR_CONNECTION"), QStringLiteral("Provider=SQLite;Create=yes;Data Source=") +
                                                             dir.filePath(QStringLiteral("r.db")));
    host.setProcessEnvironment(environment);
    host.start(QStringLiteral(RES_HOST_PATH), {QStringLiteral("--screenshot"), picture});
    ASSERT_TRUE(host.waitForFinished(60000));
    EXPECT_EQ(host.exitCode(), 0) << host.readAllStandardError().toStdString();
    const QImage image(picture);
    EXPECT_EQ(image.size(), QSize(517, 257));

    environment.insert(QStringLiteral("QOR_CONNECTION"),
                       QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("missing.db")));
    host.setProcessEnvironment(environment);
    host.start(QStringLiteral(RES_HOST_PATH), {QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("no.png"))});
    ASSERT_TRUE(host.waitForFinished(60000));
    EXPECT_EQ(host.exitCode(), 1);
    const QString error = QString::fromUtf8(host.readAllStandardError());
    EXPECT_TRUE(error.contains(QLatin1String("res00011-host: the menu failed:")) &&
                error.contains(QLatin1String("missing.db")))
        << error.toStdString();

    host.start(QStringLiteral(RES_HOST_PATH), {QStringLiteral("--bogus")});
    ASSERT_TRUE(host.waitForFinished(60000));
    EXPECT_EQ(host.exitCode(), 2);
    host.start(QStringLiteral(RES_HOST_PATH), {QStringLiteral("--help")});
    ASSERT_TRUE(host.waitForFinished(60000));
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_TRUE(host.readAllStandardOutput().startsWith("usage: res00011-host"))
        << host.readAllStandardError().toStdString();

    // No display to show the menu on: it says so, and how to get a picture instead.
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(QLatin1String(name));
    host.setProcessEnvironment(environment);
    host.start(QStringLiteral(RES_HOST_PATH), {});
    ASSERT_TRUE(host.waitForFinished(60000));
    EXPECT_EQ(host.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.exitCode(), 1);
    const QString noDisplay = QString::fromUtf8(host.readAllStandardError());
    EXPECT_TRUE(noDisplay.startsWith(QLatin1String("res00011-host: no display found")) &&
                noDisplay.contains(QLatin1String("--screenshot")))
        << noDisplay.toStdString();
}

}  // namespace
