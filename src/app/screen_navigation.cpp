// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/screen_navigation.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

ScreenNavigation::ScreenNavigation(QObject* parent) : QObject(parent)
{
    // A zero timer runs once the events already queued are handled, so a burst of wheel
    // events that arrive faster than frames costs one render, drawn from the latest view.
    flushTimer.setSingleShot(true);
    flushTimer.setInterval(0);
    connect(&flushTimer, &QTimer::timeout, this, &ScreenNavigation::Flush);
}

void ScreenNavigation::SetView(const CaptureView& newView, int32_t samplesPerChannel)
{
    view = newView;
    samples = samplesPerChannel;
    // The owner shows this view already; nothing to send for it.
    sentFirst = view.firstSample;
    sentCount = view.visibleCount;
}

void ScreenNavigation::SetPixelRatio(double ratio)
{
    pixelRatio = ratio > 1.0 ? ratio : 1.0;
}

int32_t ScreenNavigation::DeviceColumn(double logicalX) const
{
    // As a press is mapped today: the device column under the pointer, truncated.
    return static_cast<int32_t>(std::clamp(std::floor(logicalX * pixelRatio), -1e9, 1e9));
}

int32_t ScreenNavigation::Columns() const
{
    return std::max(DevicePixels(view.imageWidth, pixelRatio), 1);
}

void ScreenNavigation::Changed()
{
    if (!flushTimer.isActive()) flushTimer.start();
}

void ScreenNavigation::Flush()
{
    flushTimer.stop();
    if (view.firstSample == sentFirst && view.visibleCount == sentCount) return;
    sentFirst = view.firstSample;
    sentCount = view.visibleCount;
    Q_EMIT viewChanged(view.firstSample, view.visibleCount);
}

bool ScreenNavigation::Wheel(const QWheelEvent& event)
{
    if (samples < 1) return false;
    const QPoint angle = event.angleDelta();
    const bool shift = (event.modifiers() & Qt::ShiftModifier) != 0;
    if (angle.x() != 0 || (shift && angle.y() != 0)) {
        // Scrolling: a tenth of the screen per notch, like the arrow keys; turning the wheel
        // towards the user (or to the right) brings later samples.
        const int32_t delta = angle.x() != 0 ? angle.x() : angle.y();
        const int64_t tenth = std::max(view.visibleCount / 10, 1);
        const int64_t step = -static_cast<int64_t>(std::llround(tenth * (delta / 120.0)));
        ScrollViewBy(view, samples, step != 0 ? step : (delta > 0 ? -1 : 1));
    } else if (angle.y() != 0) {
        const int32_t count = WheelZoomCount(view.visibleCount, samples, angle.y());
        ZoomViewAt(view, samples, count, DeviceColumn(event.position().x()), Columns());
    } else {
        return false;
    }
    Changed();
    return true;
}

bool ScreenNavigation::MousePress(const QMouseEvent& event)
{
    if (samples < 1) return false;
    if (event.button() == Qt::RightButton) {
        // The right button only places cursor 2, on the press as always.
        if (view.cursorsShown == 1)
            Q_EMIT cursorPlaced(2, CursorSampleAtDeviceColumn(view, samples,
                                                              DeviceColumn(event.position().x()),
                                                              pixelRatio));
        return true;
    }
    if (event.button() != Qt::LeftButton) return false;
    drag = Drag::Pending;
    bandRequested = (event.modifiers() & Qt::ControlModifier) != 0;
    pressX = event.position().x();
    currentX = pressX;
    pressFirst = view.firstSample;
    return true;
}

bool ScreenNavigation::MouseMove(const QMouseEvent& event)
{
    if (drag == Drag::None) return false;
    currentX = event.position().x();
    if (drag == Drag::Pending) {
        if (std::abs(currentX - pressX) <= DragDistance) return true;
        drag = bandRequested ? Drag::Band : Drag::Pan;
    }
    if (drag == Drag::Band) {
        Q_EMIT rubberBandChanged();
    } else {
        PanView(view, samples, pressFirst, DeviceColumn(currentX) - DeviceColumn(pressX),
                Columns());
        Changed();
    }
    return true;
}

bool ScreenNavigation::MouseRelease(const QMouseEvent& event)
{
    if (drag == Drag::None || event.button() != Qt::LeftButton) return false;
    const Drag ended = drag;
    drag = Drag::None;
    if (ended == Drag::Pending) {
        // A click that never moved: cursor 1 on the sample under the press.
        if (view.cursorsShown == 1)
            Q_EMIT cursorPlaced(
                1, CursorSampleAtDeviceColumn(view, samples, DeviceColumn(pressX), pixelRatio));
        return true;
    }
    if (ended == Drag::Band) {
        currentX = event.position().x();
        const int32_t a = NearestSampleAtColumn(view, DeviceColumn(pressX), Columns());
        const int32_t b = NearestSampleAtColumn(view, DeviceColumn(currentX), Columns());
        ZoomViewToSpan(view, samples, a, b);
        Q_EMIT rubberBandChanged();
        Changed();
    }
    return true;
}

bool ScreenNavigation::Key(const QKeyEvent& event)
{
    if (samples < 1) return false;
    if ((event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0)
        return false;
    NavigationKey key{};
    switch (event.key()) {
    case Qt::Key_Plus:
        key = KeyZoomIn;
        break;
    case Qt::Key_Minus:
        key = KeyZoomOut;
        break;
    case Qt::Key_Left:
        key = KeyStepLeft;
        break;
    case Qt::Key_Right:
        key = KeyStepRight;
        break;
    case Qt::Key_PageUp:
        key = KeyPageLeft;
        break;
    case Qt::Key_PageDown:
        key = KeyPageRight;
        break;
    case Qt::Key_Home:
        key = KeyHome;
        break;
    case Qt::Key_End:
        key = KeyEnd;
        break;
    default:
        return false;
    }
    KeyView(view, samples, key, Columns());
    Changed();
    return true;
}

bool ScreenNavigation::RubberBand(int32_t& left, int32_t& right) const
{
    if (drag != Drag::Band) return false;
    left = static_cast<int32_t>(std::lround(std::min(pressX, currentX)));
    right = static_cast<int32_t>(std::lround(std::max(pressX, currentX)));
    return true;
}
