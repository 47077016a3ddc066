// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/view.h"

#include "text/format_text.h"

#include <algorithm>
#include <cmath>

void ScreenImageSize(const Capture& capture, int32_t& width, int32_t& height)
{
    const int32_t nh = capture.hDivisions > 0 ? capture.hDivisions : 12;
    const int32_t nv = capture.vDivisions > 0 ? capture.vDivisions : 8;
    if (static_cast<double>(nh) / nv > 1.5) {
        width = 600;
        height = 600 * nv / nh;
    } else {
        height = 400;
        width = 400 * nh / nv;
    }
}

int32_t VisibleCountFor(int32_t samplesPerChannel, int32_t zoomPosition)
{
    zoomPosition = std::clamp(zoomPosition, 0, ZoomPositions - 1);
    const int32_t count =
        static_cast<int32_t>(int64_t{samplesPerChannel} * ZoomTable[zoomPosition] / 100);
    return std::max(count, 1);
}

ScrollRange ScrollRangeFor(const CaptureView& view, int32_t samplesPerChannel)
{
    const int32_t maxOffset = samplesPerChannel - view.visibleCount;
    const int32_t half = view.visibleCount / 2;
    return ScrollRange{maxOffset + half - 1, half};
}

void RecentreView(CaptureView& view, int32_t samplesPerChannel)
{
    const int32_t maxOffset = std::max(samplesPerChannel - view.visibleCount, 0);
    int32_t first = view.firstSample + (view.previousVisibleCount - view.visibleCount) / 2;
    view.firstSample = std::clamp(first, 0, maxOffset);
}

void ScrollView(CaptureView& view, int32_t samplesPerChannel, int32_t position)
{
    const int32_t maxOffset = std::max(samplesPerChannel - view.visibleCount, 0);
    view.firstSample = std::clamp(position, 0, maxOffset);
}

CaptureView NewCaptureView(const Capture& capture)
{
    CaptureView view{};
    const int32_t n = capture.samplesPerChannel;
    view.visibleCount = VisibleCountFor(n, 0);
    RecentreView(view, n);
    view.cursor1 = 0;
    view.cursor2 = n - 1;
    ScreenImageSize(capture, view.imageWidth, view.imageHeight);
    return view;
}

void ZoomView(CaptureView& view, int32_t samplesPerChannel, int32_t position)
{
    view.previousVisibleCount = view.visibleCount;
    view.visibleCount = VisibleCountFor(samplesPerChannel, position);
    RecentreView(view, samplesPerChannel);
}

int32_t SampleAtColumn(const CaptureView& view, int32_t x)
{
    if (view.imageWidth <= 0) return view.firstSample;
    return view.firstSample + x * view.visibleCount / view.imageWidth;
}

int32_t DevicePixels(int32_t logical, double ratio)
{
    if (!(ratio > 1.0)) return logical;
    return static_cast<int32_t>(std::lround(logical * ratio));
}

int32_t SampleAtDeviceColumn(const CaptureView& view, int32_t x, double ratio)
{
    const int32_t columns = DevicePixels(view.imageWidth, ratio);
    if (columns <= 0) return view.firstSample;
    const int32_t column = std::clamp(x, 0, columns - 1);
    return view.firstSample + static_cast<int32_t>(int64_t{column} * view.visibleCount / columns);
}

static RenderRequest BaseRequest(const CaptureView& view)
{
    RenderRequest request{};
    request.width = view.imageWidth;
    request.height = view.imageHeight;
    request.firstSample = view.firstSample;
    request.sampleCount = view.visibleCount;
    request.cursor1 = view.cursor1;
    request.cursor2 = view.cursor2;
    return request;
}

RenderRequest WindowRenderRequest(const CaptureView& view)
{
    RenderRequest request = BaseRequest(view);
    request.showTrigger = true;
    request.showCursors = view.cursorsShown != 0;
    return request;
}

RenderRequest AtPixelRatio(RenderRequest request, double ratio)
{
    request.width = DevicePixels(request.width, ratio);
    request.height = DevicePixels(request.height, ratio);
    return request;
}

RenderRequest ImageRenderRequest(const CaptureView& view)
{
    RenderRequest request = WindowRenderRequest(view);
    request.showChannelScale = true;
    request.showTimeScale = true;
    return request;
}

RenderRequest PageRenderRequest(const CaptureView& view, int32_t x, int32_t y, int32_t width,
                                int32_t height, bool fillSurface)
{
    RenderRequest request = BaseRequest(view);
    request.width = width;
    request.height = height;
    request.originX = x;
    request.originY = y;
    request.paperStyle = true;
    request.showChannelScale = true;
    request.showTimeScale = true;
    request.showFileName = true;
    request.fillSurface = fillSurface;
    return request;
}

int32_t DeepZoomLimit(int32_t samplesPerChannel)
{
    return std::clamp(samplesPerChannel, 1, 10);
}

int32_t WheelZoomCount(int32_t visibleCount, int32_t samplesPerChannel, int32_t angleDelta)
{
    const int32_t n = std::max(samplesPerChannel, 1);
    const int32_t lowest = std::min(DeepZoomLimit(n), visibleCount);
    if (angleDelta == 0) return std::clamp(visibleCount, lowest, n);
    const double scaled =
        visibleCount * std::pow(ZoomStepFactor, -static_cast<double>(angleDelta) / 120.0);
    int64_t count = std::llround(std::clamp(scaled, 0.0, 4e9));
    // A notch on a small count would round back to it; the wheel must always move.
    if (angleDelta > 0 && count >= visibleCount) count = int64_t{visibleCount} - 1;
    if (angleDelta < 0 && count <= visibleCount) count = int64_t{visibleCount} + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(count, lowest, n));
}

int32_t NearestSampleAtColumn(const CaptureView& view, int32_t x, int32_t columns)
{
    const int64_t c = std::max(view.visibleCount, 1);
    if (columns <= 0) return view.firstSample;
    const int64_t column = std::clamp(x, 0, columns - 1);
    // i0 is the last sample drawn at or left of the column, i0 + 1 the next one.
    const int64_t i0 = std::min(column * c / columns, c - 1);
    int64_t best = i0;
    if (i0 + 1 < c) {
        const int64_t left = column - columns * i0 / c;
        const int64_t right = columns * (i0 + 1) / c - column;
        if (right < left) best = i0 + 1;
    }
    return static_cast<int32_t>(view.firstSample + best);
}

static int32_t ClampFirst(int64_t first, int32_t samplesPerChannel, int32_t visibleCount)
{
    const int64_t maxOffset = std::max(int64_t{samplesPerChannel} - visibleCount, int64_t{0});
    return static_cast<int32_t>(std::clamp<int64_t>(first, 0, maxOffset));
}

void ZoomViewAt(CaptureView& view, int32_t samplesPerChannel, int32_t newCount, int32_t x,
                int32_t columns)
{
    newCount = std::clamp(newCount, 1, std::max(samplesPerChannel, 1));
    if (columns <= 0) columns = std::max(view.imageWidth, 1);
    const int64_t anchor = NearestSampleAtColumn(view, x, columns);
    // Where the new view must put the anchor so that it is again the sample drawn nearest
    // to the pointer.
    view.firstSample = 0;
    view.visibleCount = newCount;
    const int64_t offset = NearestSampleAtColumn(view, x, columns);
    view.firstSample = ClampFirst(anchor - offset, samplesPerChannel, newCount);
}

void ScrollViewBy(CaptureView& view, int32_t samplesPerChannel, int64_t samples)
{
    view.firstSample =
        ClampFirst(int64_t{view.firstSample} + samples, samplesPerChannel, view.visibleCount);
}

void PanView(CaptureView& view, int32_t samplesPerChannel, int32_t startFirst, int32_t dx,
             int32_t columns)
{
    if (columns <= 0) columns = std::max(view.imageWidth, 1);
    // Rounded to the nearest sample, symmetric for both directions.
    const int64_t product = int64_t{dx} * view.visibleCount;
    const int64_t magnitude = (2 * std::abs(product) + columns) / (2 * int64_t{columns});
    const int64_t shift = product < 0 ? -magnitude : magnitude;
    view.firstSample =
        ClampFirst(int64_t{startFirst} - shift, samplesPerChannel, view.visibleCount);
}

void ZoomViewToSpan(CaptureView& view, int32_t samplesPerChannel, int64_t a, int64_t b)
{
    const int64_t n = std::max(samplesPerChannel, 1);
    a = std::clamp<int64_t>(a, 0, n - 1);
    b = std::clamp<int64_t>(b, 0, n - 1);
    if (a > b) std::swap(a, b);
    const int64_t count = std::max<int64_t>(b - a + 1, DeepZoomLimit(samplesPerChannel));
    view.visibleCount = static_cast<int32_t>(count);
    view.firstSample =
        ClampFirst(a - (count - (b - a + 1)) / 2, samplesPerChannel, view.visibleCount);
}

void KeyView(CaptureView& view, int32_t samplesPerChannel, NavigationKey key, int32_t columns)
{
    const int64_t c = view.visibleCount;
    const int64_t tenth = std::max<int64_t>(c / 10, 1);
    switch (key) {
    case KeyZoomIn:
    case KeyZoomOut: {
        const int32_t delta = key == KeyZoomIn ? 120 : -120;
        if (columns <= 0) columns = std::max(view.imageWidth, 1);
        ZoomViewAt(view, samplesPerChannel,
                   WheelZoomCount(view.visibleCount, samplesPerChannel, delta), columns / 2,
                   columns);
        return;
    }
    case KeyStepLeft:
        return ScrollViewBy(view, samplesPerChannel, -tenth);
    case KeyStepRight:
        return ScrollViewBy(view, samplesPerChannel, tenth);
    case KeyPageLeft:
        return ScrollViewBy(view, samplesPerChannel, -c);
    case KeyPageRight:
        return ScrollViewBy(view, samplesPerChannel, c);
    case KeyHome:
        view.firstSample = 0;
        return;
    case KeyEnd:
        view.firstSample = ClampFirst(samplesPerChannel, samplesPerChannel, view.visibleCount);
        return;
    }
}

bool ViewSpanValid(int32_t samplesPerChannel, int64_t first, int64_t count)
{
    return count >= 2 && first >= 0 && first + count <= samplesPerChannel;
}

int32_t NearestZoomPosition(int32_t samplesPerChannel, int32_t visibleCount, int32_t current)
{
    if (current >= 0 && current < ZoomPositions &&
        VisibleCountFor(samplesPerChannel, current) == visibleCount)
        return current;
    int32_t best = 0;
    double bestDistance = 0;
    for (int32_t position = 0; position < ZoomPositions; ++position) {
        const double distance = std::abs(std::log(static_cast<double>(std::max(visibleCount, 1)) /
                                                  VisibleCountFor(samplesPerChannel, position)));
        if (position == 0 || distance < bestDistance) {
            best = position;
            bestDistance = distance;
        }
    }
    return best;
}

bool IsSliderStep(int32_t samplesPerChannel, int32_t visibleCount)
{
    for (int32_t position = 0; position < ZoomPositions; ++position)
        if (VisibleCountFor(samplesPerChannel, position) == visibleCount) return true;
    return false;
}

int32_t CursorSampleAtDeviceColumn(const CaptureView& view, int32_t samplesPerChannel, int32_t x,
                                   double ratio)
{
    if (IsSliderStep(samplesPerChannel, view.visibleCount))
        return SampleAtDeviceColumn(view, x, ratio);
    return NearestSampleAtColumn(view, x, DevicePixels(view.imageWidth, ratio));
}

QString ZoomLabelText(double timePerDiv, int32_t visibleCount, int32_t samplesPerChannel)
{
    const double zoomedTimePerDiv =
        samplesPerChannel > 0 ? timePerDiv * visibleCount / samplesPerChannel : 0.0;
    return FormatText(u"Zoom: {0Sd5}s/DIV", zoomedTimePerDiv);
}
