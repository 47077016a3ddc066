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
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

void CaptureWindow::Navigate(int32_t first, int32_t count)
{
    const int32_t n = capture.samplesPerChannel;
    if (n < 1 || !ViewSpanValid(n, first, count)) return;
    view.firstSample = first;
    view.visibleCount = count;
    // The view is where the user put it: the slider's re-centring has nothing to do.
    view.previousVisibleCount = count;
    {
        // The slider shows the nearest of its steps without applying it.
        const QSignalBlocker blockZoom(zoomSlider);
        zoomSlider->setValue(NearestZoomPosition(n, count, zoomSlider->value()));
    }
    staleBits |= Stale::VisibleCount | Stale::Offset;
    Refresh();
}

void CaptureWindow::PlaceCursor(int32_t which, int32_t sample)
{
    if (view.cursorsShown != 1) return;
    const int32_t n = capture.samplesPerChannel;
    if (n < 1) return;
    sample = std::clamp(sample, 0, n - 1);
    (which == 1 ? view.cursor1 : view.cursor2) = sample;
    staleBits |= Stale::Cursors;
    Refresh();
}

void CaptureWindow::Scrolled()
{
    staleBits |= Stale::Scrolled;
    Refresh();
}

void CaptureWindow::ZoomMoved()
{
    staleBits |= Stale::Zoom;
    Refresh();
}

void CaptureWindow::CursorsToggled()
{
    staleBits |= Stale::CursorToggle;
    Refresh();
}

void CaptureWindow::SelectAll()
{
    view.cursor1 = 0;
    view.cursor2 = capture.samplesPerChannel - 1;
    staleBits |= Stale::Cursors;
    Refresh();
}

void CaptureWindow::ShowMeasureMenu()
{
    if (auto* frame = dynamic_cast<MainFrame*>(App().mainFrame))
        ShowPopupMenuBelow(frame->MeasurePopup(), sub, measureButton);
}

void CaptureWindow::EditMath()
{
    const FocusReturn focusReturn;
    // The modal dialog runs its own event loop, in which the window may close.
    const QPointer<CaptureWindow> self(this);
    if (ShowMathDialog(App().mainFrame, capture) && self && !closed) {
        staleBits |= Stale::Math;
        Refresh();
    }
}

void ShowPopupMenuBelow(QMenu* menu, QMdiSubWindow* owner, QWidget* control)
{
    if (!menu || !owner || !control) return;
    App().popupOwner = owner;
    if (App().mdiArea) App().mdiArea->setActiveSubWindow(owner);
    menu->popup(control->mapToGlobal(QPoint(0, control->height())));
}

void CaptureWindow::Measure(int32_t mode)
{
    resultsBox->setPlainText(BoxText(MeasureText(capture, view.cursor1, view.cursor2, mode)));
}
