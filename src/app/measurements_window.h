// SPDX-License-Identifier: GPL-3.0-or-later
// The "Messungen" window of a capture window: every automatic measurement of every present
// channel over the cursor range (or the visible view while the cursors are hidden). It
// belongs to its capture window, follows that window's refresh and closes with it.
#pragma once

#include "app/capture_window.h"

#include <QRect>
#include <QWidget>

#include <cstdint>

class QPushButton;
class QTableWidget;

class MeasurementsWindow : public QWidget {
  public:
    // A window of its own (a dialog in the window system's eyes) that belongs to `owner`.
    explicit MeasurementsWindow(CaptureWindow* owner);

    QTableWidget* table;
    QPushButton* copyButton;
    int32_t recomputations = 0; // lets tests hold the window to one per relevant change
    // The range and capture state the table shows; stale when the window was hidden.
    int32_t first = -1;
    int32_t last = -1;
    bool stale = true;
    QString text; // the table as tab-separated lines, for the clipboard

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// "&Messungen...": opens the window of `window`, or brings it to the front.
void ShowMeasurementsWindow(CaptureWindow& window);

// Part of CaptureWindow::Refresh, with the stale bits of that refresh: recomputes the table
// when its range or the math trace changed, and only then.
void RefreshMeasurementsWindow(CaptureWindow& window, StaleBits staleBits);

// Where an analysis window of `window` goes: the capture window's place on the screen, and
// the first screen row below its title-bar buttons.
QRect OwnerPlace(const CaptureWindow& window);
int32_t ClearBelow(const CaptureWindow& window);
