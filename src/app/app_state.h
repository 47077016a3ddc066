// SPDX-License-Identifier: GPL-3.0-or-later
// What is the viewer's as a whole rather than one window's: the program's directory, the
// last Open requester's paths, the stored pictures, the frame and its area, and the window
// whose "Messung..." popup is open. Each capture window keeps its own state.
#pragma once

#include <QMdiSubWindow>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>

class QMainWindow;
class QMdiArea;

constexpr int32_t ImageSlotCount = 33; // 0: background tile, 1..32: settings tree icons

struct AppState {
    QString programDirectory; // ends in a path separator
    QStringList openedPaths;
    bool quitRequested;
    QPixmap images[ImageSlotCount];

    QMainWindow* mainFrame;
    QMdiArea* mdiArea;
    // The window whose "Messung..." button opened the popup menu.
    QPointer<QMdiSubWindow> popupOwner;
};

AppState& App();
