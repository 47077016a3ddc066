// SPDX-License-Identifier: GPL-3.0-or-later
// The view arithmetic that a capture window and kurvex-cli share.
#include "screen/view.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

Capture MakeCapture(int32_t n)
{
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.samplesPerChannel = n;
    return capture;
}

TEST(CaptureView, NewWindowShowsWholeRecord)
{
    const Capture capture = MakeCapture(1000);
    const CaptureView view = NewCaptureView(capture);
    EXPECT_EQ(view.firstSample, 0);
    EXPECT_EQ(view.visibleCount, 1000);
    EXPECT_EQ(view.cursor1, 0);
    EXPECT_EQ(view.cursor2, 999);
    EXPECT_EQ(view.cursorsShown, 0);
    EXPECT_EQ(view.imageWidth, 600);
    EXPECT_EQ(view.imageHeight, 400);
}

// Zoom steps in sequence on N = 1000, each row applied to the view of the row before.
TEST(CaptureView, ZoomKeepsCentreAndClamps)
{
    struct Step {
        int32_t zoom;
        int32_t scrollTo; // -1: no scroll before zooming
        int32_t visible;
        int32_t first;
        int32_t scrollMaximum;
        int32_t page;
    };
    const Step steps[] = {
        {1, -1, 800, 100, 599, 400}, // 80 %: centre kept
        {0, -1, 1000, 0, 499, 500},  // back to the whole record
        {9, -1, 50, 475, 974, 25},   // 5 %
        {9, 5000, 50, 950, 974, 25}, // scrolled past the end: clamped to N - visible
        {8, -1, 100, 900, 949, 50},  // zooming out at the right end stays inside
        {0, -1, 1000, 0, 499, 500},
    };
    const int32_t n = 1000;
    CaptureView view = NewCaptureView(MakeCapture(n));
    for (const Step& step : steps) {
        if (step.scrollTo >= 0) ScrollView(view, n, step.scrollTo);
        ZoomView(view, n, step.zoom);
        SCOPED_TRACE(step.zoom);
        EXPECT_EQ(view.visibleCount, step.visible);
        EXPECT_EQ(view.firstSample, step.first);
        const ScrollRange range = ScrollRangeFor(view, n);
        EXPECT_EQ(range.maximum, step.scrollMaximum);
        EXPECT_EQ(range.page, step.page);
        EXPECT_EQ(range.maximum - range.page + 1, n - view.visibleCount);
    }
}

TEST(CaptureView, TinyCaptureKeepsOneVisibleSample)
{
    const int32_t n = 10;
    CaptureView view = NewCaptureView(MakeCapture(n));
    ZoomView(view, n, 9); // 10 x 5 / 100 truncates to 0
    EXPECT_EQ(view.visibleCount, 1);
    EXPECT_GE(view.firstSample, 0);
    EXPECT_LE(view.firstSample, n - 1);
}

TEST(CaptureView, ClickColumnsStayInsideView)
{
    CaptureView view = NewCaptureView(MakeCapture(1000));
    ZoomView(view, 1000, 1);
    EXPECT_EQ(SampleAtColumn(view, 0), 100);
    EXPECT_EQ(SampleAtColumn(view, 599), 100 + 599 * 800 / 600);
    EXPECT_LT(SampleAtColumn(view, 599), view.firstSample + view.visibleCount);
}

TEST(CaptureView, RequestsPerOutput)
{
    CaptureView view = NewCaptureView(MakeCapture(1000));
    view.cursorsShown = 1;
    const RenderRequest window = WindowRenderRequest(view);
    EXPECT_TRUE(window.showTrigger && window.showCursors);
    EXPECT_FALSE(window.showChannelScale || window.showTimeScale || window.paperStyle);
    const RenderRequest image = ImageRenderRequest(view);
    EXPECT_TRUE(image.showChannelScale && image.showTimeScale && image.showCursors);
    EXPECT_FALSE(image.showFileName || image.fillSurface);
    const RenderRequest page = PageRenderRequest(view, 10, 20, 300, 200, true);
    EXPECT_TRUE(page.paperStyle && page.showFileName && page.fillSurface);
    EXPECT_FALSE(page.showTrigger || page.showCursors);
    EXPECT_EQ(page.originX, 10);
    EXPECT_EQ(page.height, 200);
}

// The sample nearest the pointer before a zoom is still the nearest one after it, unless the
// record's end stopped the view; every notch moves, and the limits hold at both ends.
TEST(CaptureView, WheelZoomKeepsTheSampleUnderThePointer)
{
    struct Case {
        int32_t n;
        int32_t first;
        int32_t count;
        int32_t x;
        int32_t delta;
        int32_t newFirst;
        int32_t newCount;
    };
    const Case cases[] = {
        {65535, 0, 65535, 300, 120, 6554, 52428},  // centre of the whole record
        {65535, 0, 65535, 0, 120, 0, 52428},       // left edge stays put
        {65535, 0, 65535, 599, 120, 13085, 52428}, // right edge: its first sample stays
        {65535, 0, 52428, 300, -120, 0, 65535},    // out to the whole record again
        {65535, 100, 12, 300, 120, 101, 10},       // deep: down to 10, anchor sample 106
        {65535, 100, 10, 300, 120, 100, 10},       // at the limit nothing moves
        {65535, 65525, 10, 599, -120, 65522, 13},  // zooming out at the right end
        {1000, 0, 11, 599, 240, 1, 10},            // two notches still stop at 10
        {6, 0, 6, 300, 120, 0, 6},                 // N < 10: N is the limit
        {6, 0, 5, 300, -120, 0, 6},
        {1, 0, 1, 300, -120, 0, 1},
        {100, 40, 5, 300, 120, 40, 5}, // the slider's 5 % of 100 is not raised to 10
        {100, 40, 5, 300, -120, 39, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " " << c.first << "+" << c.count << " x " << c.x
                                        << " delta " << c.delta);
        CaptureView view = NewCaptureView(MakeCapture(c.n));
        view.firstSample = c.first;
        view.visibleCount = c.count;
        const int32_t anchor = NearestSampleAtColumn(view, c.x, 600);
        ZoomViewAt(view, c.n, WheelZoomCount(c.count, c.n, c.delta), c.x, 600);
        EXPECT_EQ(view.visibleCount, c.newCount);
        EXPECT_EQ(view.firstSample, c.newFirst);
        EXPECT_GE(view.firstSample, 0);
        EXPECT_LE(view.firstSample + view.visibleCount, c.n);
        const bool stopped = view.firstSample == 0 || view.firstSample + view.visibleCount == c.n;
        if (!stopped) {
            EXPECT_EQ(NearestSampleAtColumn(view, c.x, 600), anchor);
        }
    }
    // A random walk of notches at random pointers: the anchor always survives.
    uint32_t seed = 7;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int32_t>((seed >> 8) % range);
    };
    const int32_t n = 65535;
    CaptureView view = NewCaptureView(MakeCapture(n));
    for (int32_t step = 0; step < 2000; ++step) {
        const int32_t x = next(600);
        const int32_t delta = (next(2) == 0 ? 1 : -1) * 120 * (1 + next(3));
        const int32_t anchor = NearestSampleAtColumn(view, x, 600);
        ZoomViewAt(view, n, WheelZoomCount(view.visibleCount, n, delta), x, 600);
        ASSERT_GE(view.visibleCount, 10);
        ASSERT_LE(view.firstSample + view.visibleCount, n);
        if (view.firstSample > 0 && view.firstSample + view.visibleCount < n) {
            ASSERT_EQ(NearestSampleAtColumn(view, x, 600), anchor) << step;
        }
    }
}

TEST(CaptureView, NearestSampleIsTheDotClosestToTheColumn)
{
    CaptureView view = NewCaptureView(MakeCapture(1000));
    view.firstSample = 50;
    view.visibleCount = 10; // dots at columns 0, 60, 120, ...
    const std::pair<int32_t, int32_t> columnToSample[] = {
        {-5, 50}, {0, 50}, {29, 50}, {30, 50}, {31, 51}, {60, 51}, {570, 59}, {599, 59}, {900, 59},
    };
    for (const auto& [x, sample] : columnToSample)
        EXPECT_EQ(NearestSampleAtColumn(view, x, 600), sample) << x;
    // Many samples per column: the first sample of the column.
    view.visibleCount = 1000;
    view.firstSample = 0;
    EXPECT_EQ(NearestSampleAtColumn(view, 3, 600), 5);
}

// Keys, dragging and the rubber band, each row from the same view: 200 .. 299 of 1000.
TEST(CaptureView, KeysDragAndSpan)
{
    struct Case {
        const char* what;
        std::function<void(CaptureView&)> change;
        int32_t first;
        int32_t count;
    };
    const int32_t n = 1000;
    const Case cases[] = {
        {"+", [](CaptureView& v) { KeyView(v, n, KeyZoomIn, 600); }, 210, 80},
        {"-", [](CaptureView& v) { KeyView(v, n, KeyZoomOut, 600); }, 187, 125},
        {"right", [](CaptureView& v) { KeyView(v, n, KeyStepRight, 600); }, 210, 100},
        {"left", [](CaptureView& v) { KeyView(v, n, KeyStepLeft, 600); }, 190, 100},
        {"page down", [](CaptureView& v) { KeyView(v, n, KeyPageRight, 600); }, 300, 100},
        {"page up", [](CaptureView& v) { KeyView(v, n, KeyPageLeft, 600); }, 100, 100},
        {"home", [](CaptureView& v) { KeyView(v, n, KeyHome, 600); }, 0, 100},
        {"end", [](CaptureView& v) { KeyView(v, n, KeyEnd, 600); }, 900, 100},
        {"drag right", [](CaptureView& v) { PanView(v, n, 200, 60, 600); }, 190, 100},
        {"drag left", [](CaptureView& v) { PanView(v, n, 200, -63, 600); }, 211, 100},
        {"drag past the start", [](CaptureView& v) { PanView(v, n, 200, 6000, 600); }, 0, 100},
        {"drag past the end", [](CaptureView& v) { PanView(v, n, 200, -9000, 600); }, 900, 100},
        {"scroll past the end", [](CaptureView& v) { ScrollViewBy(v, n, 1LL << 40); }, 900, 100},
        {"span", [](CaptureView& v) { ZoomViewToSpan(v, n, 260, 230); }, 230, 31},
        {"short span grows", [](CaptureView& v) { ZoomViewToSpan(v, n, 500, 502); }, 497, 10},
        {"span at the start", [](CaptureView& v) { ZoomViewToSpan(v, n, -5, 1); }, 0, 10},
        {"span at the end", [](CaptureView& v) { ZoomViewToSpan(v, n, 999, 5000); }, 990, 10},
    };
    for (const Case& c : cases) {
        CaptureView view = NewCaptureView(MakeCapture(n));
        view.firstSample = 200;
        view.visibleCount = 100;
        c.change(view);
        EXPECT_EQ(view.firstSample, c.first) << c.what;
        EXPECT_EQ(view.visibleCount, c.count) << c.what;
    }
    // Page steps on a record shorter than the screen stay at 0.
    CaptureView tiny = NewCaptureView(MakeCapture(4));
    KeyView(tiny, 4, KeyEnd, 600);
    EXPECT_EQ(tiny.firstSample, 0);
    ZoomViewToSpan(tiny, 4, 1, 2);
    EXPECT_EQ(tiny.visibleCount, 4);
}

TEST(CaptureView, SliderShowsTheNearestStepAndClicksKeepTheirRuleThere)
{
    const int32_t n = 1000;
    const std::pair<int32_t, int32_t> countToPosition[] = {
        {1000, 0}, {990, 0}, {880, 1}, {800, 1}, {700, 1}, {550, 2}, {540, 3}, {52, 9}, {10, 9},
    };
    for (const auto& [count, position] : countToPosition)
        EXPECT_EQ(NearestZoomPosition(n, count, 0), position) << count;
    // Steps that give the same count: the slider's own position stays.
    EXPECT_EQ(NearestZoomPosition(10, 1, 9), 9);
    EXPECT_EQ(NearestZoomPosition(10, 1, 8), 8);

    // At a step the click truncates as before; at deep zoom it takes the nearest dot.
    CaptureView view = NewCaptureView(MakeCapture(n));
    ZoomView(view, n, 9); // 50 samples from 475
    EXPECT_EQ(CursorSampleAtDeviceColumn(view, n, 11, 1.0), SampleAtColumn(view, 11));
    EXPECT_EQ(CursorSampleAtDeviceColumn(view, n, 11, 1.0), 475);
    view.visibleCount = 10;
    EXPECT_EQ(CursorSampleAtDeviceColumn(view, n, 59, 1.0), 476);
    EXPECT_EQ(CursorSampleAtDeviceColumn(view, n, 118, 2.0), 476);
    for (int32_t x = 0; x < 600; ++x) {
        view.visibleCount = 1000;
        view.firstSample = 0;
        ASSERT_EQ(CursorSampleAtDeviceColumn(view, n, x, 1.0), SampleAtColumn(view, x));
    }
}

TEST(CaptureView, CliSpanAndZoomLabel)
{
    EXPECT_TRUE(ViewSpanValid(1000, 0, 1000));
    EXPECT_TRUE(ViewSpanValid(1000, 998, 2));
    EXPECT_FALSE(ViewSpanValid(1000, 999, 2));
    EXPECT_FALSE(ViewSpanValid(1000, 0, 1));
    EXPECT_FALSE(ViewSpanValid(1000, -1, 10));
    EXPECT_FALSE(ViewSpanValid(1000, 2147483647, 2147483647));
    // The label the slider's steps always showed, and the real time per division below them.
    EXPECT_EQ(ZoomLabelText(1e-3, 65535, 65535), u"Zoom: 1 ms/DIV"_qs);
    EXPECT_EQ(ZoomLabelText(5e-4, 50, 1000), u"Zoom: 25 µs/DIV"_qs);
    EXPECT_EQ(ZoomLabelText(1e-3, 10, 65535), u"Zoom: 152.59 ns/DIV"_qs);
}

} // namespace
