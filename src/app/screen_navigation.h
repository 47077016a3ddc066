// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the wheel, mouse and key events of a capture window's screen into view changes and
// cursor clicks with the view arithmetic of screen/view.h. The screen widget owns one,
// passes its events on, and re-renders on viewChanged, which comes at most once per turn
// of the event loop however many events arrived in it.
#pragma once

#include "screen/view.h"

#include <QObject>
#include <QTimer>

#include <cstdint>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

class ScreenNavigation final : public QObject {
    Q_OBJECT

  public:
    explicit ScreenNavigation(QObject* parent = nullptr);

    // The view the screen shows now, whenever its owner changes it (loading, the slider,
    // the scroll bar, the cursor box, a new image size), and the device pixels per logical
    // pixel of the screen image.
    void SetView(const CaptureView& view, int32_t samplesPerChannel);
    void SetPixelRatio(double ratio);
    const CaptureView& View() const { return view; }

    // Each returns true when the event was used. Positions are logical pixels of the
    // screen image.
    bool Wheel(const QWheelEvent& event);
    bool MousePress(const QMouseEvent& event);
    bool MouseMove(const QMouseEvent& event);
    bool MouseRelease(const QMouseEvent& event);
    bool Key(const QKeyEvent& event);

    // While a Ctrl+drag marks a span: its two edges in logical pixels, for the widget to
    // draw; false when there is none.
    bool RubberBand(int32_t& left, int32_t& right) const;

    // Sends a pending viewChanged now instead of at the next turn of the event loop.
    void Flush();
    // True while a view change waits to be sent: the owner's view is then older than ours
    // and must not overwrite it.
    bool Pending() const { return flushTimer.isActive(); }

    // The pointer must move this many logical pixels before a press becomes a drag.
    static constexpr int32_t DragDistance = 4;

  Q_SIGNALS:
    void viewChanged(int32_t firstSample, int32_t visibleCount);
    void cursorPlaced(int32_t which, int32_t sample); // which: 1 or 2
    void rubberBandChanged();

  private:
    enum class Drag { None, Pending, Pan, Band };

    int32_t DeviceColumn(double logicalX) const;
    int32_t Columns() const;
    void Changed();

    CaptureView view{};
    int32_t samples = 0;
    double pixelRatio = 1.0;
    Drag drag = Drag::None;
    bool bandRequested = false;
    double pressX = 0;
    double currentX = 0;
    int32_t pressFirst = 0;
    int32_t sentFirst = -1;
    int32_t sentCount = -1;
    QTimer flushTimer;
};
