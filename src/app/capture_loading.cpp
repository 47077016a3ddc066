// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/capture_loading.h"

#include "app/app_state.h"
#include "capture/sav_reader.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiArea>

using namespace Qt::StringLiterals;

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
        return true;
    }

    ShowErrorBox(app.mainFrame, QCoreApplication::translate("MainFrame", "Fehler"),
                 LoadMessage(result, path));
    // The message box ran its own event loop; find the hidden window afresh.
    if (FindCaptureWindow(sub)) CloseCaptureWindow();
    return false;
}
