// SPDX-License-Identifier: GPL-3.0-or-later
// The view arithmetic that a capture window and kurvex-cli share.
#include "screen/view.h"

#include <gtest/gtest.h>

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
        if (step.scrollTo >= 0)
            ScrollView(view, n, step.scrollTo);
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

} // namespace
