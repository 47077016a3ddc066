// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the viewer's tests: a full QApplication on the offscreen platform unless
// the caller chose another, with the program's pictures and German toolkit texts.
#include "app/main_frame.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // The language choice and other settings go to a test folder, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    StartApplicationServices();
    // Each test closes its frame; that must not end the event loops of later tests.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
