// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of a capture window's view (zoom, scroll position, cursors, image size)
// and the render requests built from it, kept free of widgets so that the window and the
// command-line tool show the same view for the same steps.
#pragma once

#include "capture/capture.h"
#include "screen/render_request.h"

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
