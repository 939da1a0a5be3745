// Runs the GoogleTest suites inside a QApplication (offscreen unless a platform is set).
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The screens' settle time is each test's own: a value left in the shell does not reach them.
    qunsetenv("RES00011_SETTLE_MS");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
