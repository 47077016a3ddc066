// SPDX-License-Identifier: GPL-3.0-or-later
// What the user does to a capture window: moving the view, placing the cursors, the
// window's controls and the measuring popup, each turned into stale bits and a refresh.
#include "app/capture_window.h"

#include "app/app_state.h"
#include "app/main_frame.h"
#include "app/math_dialog.h"
#include "readouts/readouts.h"

#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

void NavigateCaptureWindow(int32_t first, int32_t count)
{
    CaptureWindow* current = App().currentWindow;
    if (!current) return;
    CaptureWindow& w = *current;
    CaptureView& v = w.view;
    const int32_t n = w.capture.samplesPerChannel;
    if (n < 1 || !ViewSpanValid(n, first, count)) return;
    v.firstSample = first;
    v.visibleCount = count;
    // The view is where the user put it: the slider's re-centring has nothing to do.
    v.previousVisibleCount = count;
    {
        // The slider shows the nearest of its steps without applying it.
        const QSignalBlocker blockZoom(w.zoomSlider);
        w.zoomSlider->setValue(NearestZoomPosition(n, count, w.zoomSlider->value()));
    }
    w.staleBits |= StaleVisibleCount | StaleOffset;
    RefreshCaptureWindow();
}

void PlaceCursor(int32_t which, int32_t sample)
{
    CaptureWindow* current = App().currentWindow;
    if (!current) return;
    CaptureWindow& w = *current;
    if (w.view.cursorsShown != 1) return;
    const int32_t n = w.capture.samplesPerChannel;
    if (n < 1) return;
    sample = std::clamp(sample, 0, n - 1);
    (which == 1 ? w.view.cursor1 : w.view.cursor2) = sample;
    w.staleBits |= StaleCursors;
    RefreshCaptureWindow();
}

void HandleCaptureControl(int32_t control, int32_t eventType, int32_t x)
{
    CaptureWindow* current = App().currentWindow;
    if (!current) return;
    CaptureWindow& w = *current;
    switch (control) {
    case ControlScreenImage: {
        if (eventType != ControlEventLeftPress && eventType != ControlEventRightPress) return;
        // A press on the canvas edge may report a column just outside it; the sample
        // follows the device columns the image was drawn with.
        PlaceCursor(eventType == ControlEventLeftPress ? 1 : 2,
                    CursorSampleAtDeviceColumn(w.view, w.capture.samplesPerChannel, x,
                                               ScreenPixelRatio(w)));
        return;
    }
    case ControlScrollBar:
        w.staleBits |= StaleScrolled;
        RefreshCaptureWindow();
        return;
    case ControlZoomSlider:
        w.staleBits |= StaleZoom;
        RefreshCaptureWindow();
        return;
    case ControlShowCursorsBox:
        w.staleBits |= StaleCursorToggle;
        RefreshCaptureWindow();
        return;
    case ControlSelectAllButton:
        w.view.cursor1 = 0;
        w.view.cursor2 = w.capture.samplesPerChannel - 1;
        w.staleBits |= StaleCursors;
        RefreshCaptureWindow();
        return;
    case ControlMeasureButton:
        if (auto* frame = dynamic_cast<MainFrame*>(App().mainFrame))
            ShowPopupMenuBelow(frame->MeasurePopup(), w.window, w.measureButton);
        return;
    case ControlMathButton: {
        const FocusReturn focusReturn;
        if (ShowMathDialog(App().mainFrame, w.capture)) {
            App().currentWindow = &w; // the modal dialog ran its own event loop
            w.staleBits |= StaleMath;
            RefreshCaptureWindow();
        }
        return;
    }
    default:
        return;
    }
}

void ShowPopupMenuBelow(QMenu* menu, QMdiSubWindow* owner, QWidget* control)
{
    if (!menu || !owner || !control) return;
    App().popupOwner = owner;
    if (App().mdiArea) App().mdiArea->setActiveSubWindow(owner);
    menu->popup(control->mapToGlobal(QPoint(0, control->height())));
}

void Measure(CaptureWindow& window, int32_t mode)
{
    window.resultsBox->setPlainText(
        BoxText(MeasureText(window.capture, window.view.cursor1, window.view.cursor2, mode)));
}
