// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the oscilloscope screen of a Capture into a rectangle of a drawing surface, in the
// screen style (window, PNG, clipboard) or the paper style (printed page, preview).
#pragma once

#include "capture/capture.h"
#include "screen/drawing_surface.h"
#include "screen/render_request.h"

#include <QFont>
#include <QImage>

#include <cstdint>
#include <memory>

void ScreenRenderer(const Capture& capture, DrawingSurface& surface, const RenderRequest& request);

// What ScreenRenderer left in the pixels of a surface, so that the next frame drawn on the
// same pixels rewrites only those that change: a wheel step on a large window would
// otherwise write every pixel of the screen again. One memory belongs to one image, which
// nothing else draws on between frames.
class ScreenMemory {
  public:
    ScreenMemory();
    ~ScreenMemory();
    ScreenMemory(const ScreenMemory&) = delete;
    ScreenMemory& operator=(const ScreenMemory&) = delete;

    // The pixels were replaced or drawn on by something else: the next frame is drawn whole.
    void Forget();
    // The samples changed where they are (the same array and length): the extremes kept
    // for them are found again. A different array or length is noticed without this.
    void ForgetSamples();

    struct State; // the renderer's own
    State& Get() { return *state; }

  private:
    std::unique_ptr<State> state;
};

// Draws the frame as ScreenRenderer draws it on a surface cleared to black, on the pixels
// of the previous frame drawn with `memory` where the surface still holds them.
void ScreenRenderer(const Capture& capture, DrawingSurface& surface, const RenderRequest& request,
                    ScreenMemory& memory);

// The window's screen: one image kept from frame to frame, redrawn where it changes.
class ScreenImage {
  public:
    // The pixels, size and ratio of RenderScreenImage(capture, request, ratio). A copy of
    // the result taken by the caller stays as it is, but makes the next call draw whole:
    // show the image by reference.
    const QImage& Render(const Capture& capture, const RenderRequest& request, double ratio);
    const QImage& Image() const { return image; }
    // To be called whenever the samples of a capture drawn here may have changed in place
    // (a capture loaded into the same arrays, a recomputed MATH trace): the image keeps
    // tables of the samples' extremes from frame to frame.
    void ForgetSamples() { memory.ForgetSamples(); }

  private:
    QImage image;
    ScreenMemory memory;
    QFont labelFont;
    double labelRatio = 0.0;
};

// Renders into a new off-screen image of request.width x request.height (QImage::Format_RGB32),
// cleared to black first. A null image when it cannot be created.
QImage RenderScreenImage(const Capture& capture, const RenderRequest& request);

// The same for a display with `ratio` device pixels per logical pixel: the request's
// W x H are logical, the image has W·r x H·r device pixels with one-pixel pens one device
// pixel wide and the labels at their apparent size at r = 1, and it carries the ratio so
// that it is shown at W x H without scaling. A ratio of 1 or less gives the plain image.
QImage RenderScreenImage(const Capture& capture, const RenderRequest& request, double ratio);

// The pieces of the trace arithmetic, shared with the tests and the benchmark.

// Column of a sample `offset` samples right of the first visible one: width x offset div
// count, with the product in 64 bits so that large pages and far-away cursors do not wrap.
// count must be at least 1. Results beyond the 32-bit range are clamped to it.
int32_t SampleColumn(int64_t offset, int32_t count, int32_t width);

// Row of a value in divisions: halfY - value x pixelsPerDiv, halves to the even integer.
// Rows far off any surface are clamped to +-1e9 (NaN counts as far above), so that the
// conversion to an integer is always defined.
int32_t TraceRow(double value, int32_t halfY, int32_t pixelsPerDiv);

// One column of the min/max path: the rows of its two extreme samples in time order,
// ya for the earlier, yb for the later.
struct ColumnExtremes {
    int32_t ya;
    int32_t yb;
};

// Fills columns[0 .. width - 1] from samples[0 .. count - 1], count > width > 0: the samples
// of column x are those with width x i div count = x; ties keep the earlier sample.
void CollectColumnExtremes(const double* samples, int32_t count, int32_t width, int32_t halfY,
                           int32_t pixelsPerDiv, ColumnExtremes* columns);
