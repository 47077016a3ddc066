// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of a capture window's view (zoom, scroll position, cursors, image size)
// and the render requests built from it, kept free of widgets so that the window and the
// command-line tool show the same view for the same steps.
#pragma once

#include "capture/capture.h"
#include "screen/render_request.h"

#include <QString>

#include <cstdint>

// Percentage of the record shown at each zoom slider position 0..9.
inline constexpr int32_t ZoomTable[10] = {100, 80, 60, 50, 40, 30, 25, 20, 10, 5};
constexpr int32_t ZoomPositions = 10;

struct CaptureView {
    int32_t firstSample;
    int32_t visibleCount;
    int32_t previousVisibleCount;
    int32_t cursorsShown;
    int32_t cursor1;
    int32_t cursor2;
    int32_t imageWidth;
    int32_t imageHeight;
};

struct ScrollRange {
    int32_t maximum; // positions run from 0 to maximum - page + 1 = N - visibleCount
    int32_t page;
};

// Fits the screen into 600 x 400 keeping the ratio of the divisions.
void ScreenImageSize(const Capture& capture, int32_t& width, int32_t& height);

// N x ZoomTable[position] / 100, truncating, but at least 1 so that a tiny capture still
// shows a sample. Positions outside 0..9 are clamped.
int32_t VisibleCountFor(int32_t samplesPerChannel, int32_t zoomPosition);

// The scroll bar's range for the current visible count.
ScrollRange ScrollRangeFor(const CaptureView& view, int32_t samplesPerChannel);

// Applies a changed visibleCount: keeps the centre of the view in place and clamps
// firstSample to 0 .. N - visibleCount.
void RecentreView(CaptureView& view, int32_t samplesPerChannel);

// Moves the first visible sample as the scroll bar would: clamped to 0 .. N - visibleCount.
void ScrollView(CaptureView& view, int32_t samplesPerChannel, int32_t position);

// The view of a freshly opened window: whole record, cursors at 0 and N - 1, hidden.
CaptureView NewCaptureView(const Capture& capture);

// Moves the zoom slider of a window to `position`: new visible count, re-centred.
void ZoomView(CaptureView& view, int32_t samplesPerChannel, int32_t position);

// The sample under pixel column x of the screen image (truncating, 32-bit).
int32_t SampleAtColumn(const CaptureView& view, int32_t x);

// Device pixels for `logical` pixels at a display's device pixel ratio, rounded to the
// nearest; a ratio below 1 (or none) counts as 1.
int32_t DevicePixels(int32_t logical, double ratio);

// The sample under device pixel column x of the image drawn at `ratio`: the rule of
// SampleAtColumn over the DevicePixels(imageWidth) columns the renderer drew, so that a
// press lands on the sample drawn under the pointer. x is clamped into the image.
int32_t SampleAtDeviceColumn(const CaptureView& view, int32_t x, double ratio);

// The window's own screen image.
RenderRequest WindowRenderRequest(const CaptureView& view);
// The same request in device pixels: width and height times the ratio (rounded).
RenderRequest AtPixelRatio(RenderRequest request, double ratio);
// PNG file and clipboard: channel scales and the TIME label, cursors as the window shows them.
RenderRequest ImageRenderRequest(const CaptureView& view);
// Printed page and print preview: paper style, scales, TIME, file name; no trigger, no cursors.
RenderRequest PageRenderRequest(const CaptureView& view, int32_t x, int32_t y, int32_t width,
                                int32_t height, bool fillSurface);

// Navigation below and between the slider's steps: the wheel, the keys, dragging, a rubber
// band and kurvex-cli --view. These never touch previousVisibleCount, which belongs to the
// slider's re-centring.

// The fewest samples the wheel and the keys zoom in to: 10, or N when the record is shorter.
int32_t DeepZoomLimit(int32_t samplesPerChannel);

// Zoom per wheel notch (120 units of angle) and per + or - key.
inline constexpr double ZoomStepFactor = 1.25;

// The visible count after `angleDelta` units of wheel (positive zooms in), limited to
// DeepZoomLimit .. N; every non-zero delta changes a count that is not yet at a limit by at
// least one sample. A count the slider had already set below the limit is not raised.
int32_t WheelZoomCount(int32_t visibleCount, int32_t samplesPerChannel, int32_t angleDelta);

// The sample drawn nearest to pixel column x of `columns` (x is clamped into them): sample
// F + i is drawn at columns x i div C, ties go to the earlier sample.
int32_t NearestSampleAtColumn(const CaptureView& view, int32_t x, int32_t columns);

// A new visible count around the sample nearest to column x of `columns`: that sample keeps
// its column (within half a sample's width), as far as the record's ends allow.
void ZoomViewAt(CaptureView& view, int32_t samplesPerChannel, int32_t newCount, int32_t x,
                int32_t columns);

// Moves the view by `samples` (positive: later samples come into view), clamped.
void ScrollViewBy(CaptureView& view, int32_t samplesPerChannel, int64_t samples);

// The first sample after dragging the content `dx` pixels to the right from a view that
// started at `startFirst`: the content follows the pointer. Clamped like the scroll bar.
void PanView(CaptureView& view, int32_t samplesPerChannel, int32_t startFirst, int32_t dx,
             int32_t columns);

// Shows samples a .. b (either order, clamped to the record); a span shorter than
// DeepZoomLimit grows around its middle.
void ZoomViewToSpan(CaptureView& view, int32_t samplesPerChannel, int64_t a, int64_t b);

enum NavigationKey : int32_t {
    KeyZoomIn,
    KeyZoomOut,
    KeyStepLeft, // a tenth of the screen
    KeyStepRight,
    KeyPageLeft, // a whole screen
    KeyPageRight,
    KeyHome,
    KeyEnd,
};

// The keyboard's view change on a screen of `columns` pixels.
void KeyView(CaptureView& view, int32_t samplesPerChannel, NavigationKey key, int32_t columns);

// True for samples first .. first + count - 1 inside the record with at least 2 of them.
bool ViewSpanValid(int32_t samplesPerChannel, int64_t first, int64_t count);

// The slider position whose count is nearest to visibleCount (by ratio); `current` wins when
// its count is exactly visibleCount, so a slider move is never undone by its own echo.
int32_t NearestZoomPosition(int32_t samplesPerChannel, int32_t visibleCount, int32_t current);

// True when visibleCount is what one of the slider's steps gives for this N.
bool IsSliderStep(int32_t samplesPerChannel, int32_t visibleCount);

// The sample a click at device column x places a cursor on: at the slider's steps the
// window's truncating rule (SampleAtDeviceColumn), elsewhere the sample drawn nearest to
// the pointer, which at deep zoom is the dot under it.
int32_t CursorSampleAtDeviceColumn(const CaptureView& view, int32_t samplesPerChannel, int32_t x,
                                   double ratio);

// The zoom label: "Zoom: {0Sd5}s/DIV" with the time per division of the visible span.
QString ZoomLabelText(double timePerDiv, int32_t visibleCount, int32_t samplesPerChannel);
