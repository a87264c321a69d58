// Test entry point for window tests: a QApplication on the offscreen platform, set up as the
// program sets itself up, then GoogleTest.
#include "App.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quorvane::prepareEnvironment();
    QApplication application(argc, argv);
    quorvane::initialiseApplication();
    return RUN_ALL_TESTS();
}
