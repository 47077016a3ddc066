// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/capture_loading.h"

#include "app/app_state.h"
#include "capture/sav_reader.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiArea>

using namespace Qt::StringLiterals;

// A capture whose file was cut short opens with the samples it holds, and says so once.
static void WarnIfIncomplete(const Capture& capture)
{
    if (CaptureIncomplete(capture))
        ShowErrorBox(App().mainFrame, QCoreApplication::translate("MainFrame", "Warnung"),
                     IncompleteMessage(capture));
}

bool OpenCapture(const QString& path)
{
    AppState& app = App();
    if (!CreateCaptureWindow()) return false;
    CaptureWindow* window = app.currentWindow;
    QMdiSubWindow* sub = window->window;

    const int32_t result = ReadCapture(window->capture, path);
    if (result == ReadOk) {
        window->staleBits |= StaleNew | StaleCursorMode;
        RefreshCaptureWindow();
        sub->show();
        app.mdiArea->setActiveSubWindow(sub);
        WarnIfIncomplete(window->capture);
        return true;
    }

    ShowErrorBox(app.mainFrame, QCoreApplication::translate("MainFrame", "Fehler"),
                 LoadMessage(result, path));
    // The message box ran its own event loop; find the hidden window afresh.
    if (FindCaptureWindow(sub)) CloseCaptureWindow();
    return false;
}
