// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/view.h"

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
