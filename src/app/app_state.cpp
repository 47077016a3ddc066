// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"

AppState& App()
{
    static AppState state{};
    return state;
}

bool FindCaptureWindow(const QWidget* window)
{
    AppState& app = App();
    app.currentWindow = nullptr;
    if (!window) return false;
    for (const auto& entry : app.captureWindows) {
        if (entry->window == window) {
            app.currentWindow = entry.get();
            return true;
        }
    }
    return false;
}
