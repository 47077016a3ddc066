// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/capture_loading.h"

#include "app/app_state.h"
#include "app/capture_window.h"
#include "capture/sav_reader.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>

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
    CaptureWindow* window = CaptureWindow::Create(app.mdiArea);
    if (!window) return false;
    QMdiSubWindow* sub = window->SubWindow();

    const int32_t result = ReadCapture(window->capture, path);
    if (result == ReadOk) {
        window->staleBits |= Stale::New | Stale::CursorMode;
        window->Refresh();
        sub->show();
        app.mdiArea->setActiveSubWindow(sub);
        WarnIfIncomplete(window->capture);
        return true;
    }

    // The message box runs its own event loop; the hidden window waits there unseen.
    const QPointer<CaptureWindow> shown(window);
    ShowErrorBox(app.mainFrame, QCoreApplication::translate("MainFrame", "Fehler"),
                 LoadMessage(result, path));
    if (shown) shown->Close();
    return false;
}
