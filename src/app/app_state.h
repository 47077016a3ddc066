// SPDX-License-Identifier: GPL-3.0-or-later
// The one application state of the viewer: the open capture windows, the window that the
// event being handled acts on, the last Open requester's paths and the stored pictures.
#pragma once

#include "app/capture_window.h"

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QMainWindow;
class QMdiArea;
class QMenu;

constexpr int32_t ImageSlotCount = 33; // 0: background tile, 1..32: settings tree icons

struct AppState {
    QString programDirectory; // ends in a path separator
    std::vector<std::unique_ptr<CaptureWindow>> captureWindows;
    CaptureWindow* currentWindow;
    QStringList openedPaths;
    bool quitRequested;
    QPixmap images[ImageSlotCount];

    QMainWindow* mainFrame;
    QMdiArea* mdiArea;
    // The window whose "Messung..." button opened the popup menu.
    QPointer<QMdiSubWindow> popupOwner;
};

AppState& App();

// Makes the record of `window` current; false (and nothing current) when it is no capture
// window, including a null window.
bool FindCaptureWindow(const QWidget* window);
