// Test entry point: a QApplication on the offscreen platform, settings in the test location.

#include <QApplication>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every test process keeps its settings in a home of its own, so parallel runs never share them.
    QTemporaryDir home;
    if (home.isValid())
        qputenv("HOME", home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
