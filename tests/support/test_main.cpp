// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry point shared by every suite: a QGuiApplication exists for the suites that
// draw or use fonts, on the offscreen platform unless the caller chose another.
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
