// SPDX-License-Identifier: GPL-3.0-or-later
// Where the printed screen lands: preview size, largest screen, zoom with its scroll bars,
// scrolling and the preview's scaled rectangle, on portrait, landscape and odd pages.
#include "output/print_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintLayout, PageSizesGivePreviewLargestScreenAndOpeningZoom)
{
    struct Case {
        int32_t pageWidth, pageHeight;
        int32_t previewWidth, previewHeight;
        int32_t largestWidth, largestHeight;
        // At the opening zoom of 50 %:
        int32_t screenWidth, screenHeight;
        int32_t hMaximum, hPage, screenX;
        int32_t vMaximum, vPage, screenY;
    };
    const Case cases[] = {
        // Portrait A4-like: 0.706 < 1.5, the width limits.
        {4800, 6800, 204, 290, 4800, 3200, 2400, 1600, 2639, 240, 1200, 5719, 520, 2600},
        // Landscape 1.417 < 1.5: still the width limits, 6800 x 8 div 12 = 4533.
        {6800, 4800, 290, 204, 6800, 4533, 3400, 2266, 3739, 340, 1700, 2786, 253, 1267},
        // Wider than the screen's aspect: the height limits.
        {9000, 3000, 290, 96, 4500, 3000, 2250, 1500, 7424, 675, 3375, 1649, 150, 750},
        // Exactly the screen's aspect: the height branch, the screen fills the page.
        {1200, 800, 290, 193, 1200, 800, 600, 400, 659, 60, 300, 439, 40, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pageWidth << " x " << c.pageHeight);
        PrintLayout layout{};
        ASSERT_TRUE(StartPrintLayout(layout, c.pageWidth, c.pageHeight, 12, 8));
        EXPECT_EQ(layout.previewWidth, c.previewWidth);
        EXPECT_EQ(layout.previewHeight, c.previewHeight);
        EXPECT_EQ(layout.largestWidth, c.largestWidth);
        EXPECT_EQ(layout.largestHeight, c.largestHeight);
        EXPECT_EQ(layout.zoom, 50);
        EXPECT_EQ(layout.screenWidth, c.screenWidth);
        EXPECT_EQ(layout.screenHeight, c.screenHeight);
        EXPECT_EQ(layout.horizontal.maximum, c.hMaximum);
        EXPECT_EQ(layout.horizontal.page, c.hPage);
        EXPECT_EQ(layout.screenX, c.screenX);
        EXPECT_EQ(layout.horizontal.position, c.screenX);
        EXPECT_EQ(layout.vertical.maximum, c.vMaximum);
        EXPECT_EQ(layout.vertical.page, c.vPage);
        EXPECT_EQ(layout.screenY, c.screenY);
        // The bars run from 0 to the free space.
        EXPECT_EQ(ScrollLimit(layout.horizontal), c.pageWidth - c.screenWidth);
        EXPECT_EQ(ScrollLimit(layout.vertical), c.pageHeight - c.screenHeight);

        // Scrolled, then zoomed to 100 %: centred again; where the screen fills the page
        // across, that bar has maximum -1, page 0 and position 0.
        SetPrintScroll(layout, false, 0);
        SetPrintZoom(layout, 99);
        EXPECT_EQ(layout.screenWidth, c.largestWidth);
        if (c.pageWidth == c.largestWidth) {
            EXPECT_EQ(layout.horizontal.maximum, -1);
            EXPECT_EQ(layout.horizontal.page, 0);
        }
        EXPECT_EQ(layout.screenX, (c.pageWidth - c.largestWidth) / 2);
        EXPECT_EQ(layout.screenY, (c.pageHeight - c.largestHeight) / 2);
    }
}

TEST(PrintLayout, ScrollRequestsStayWithinTheBar)
{
    struct Case {
        PrintScrollBar bar;
        int32_t request;
        int32_t track;
        int32_t expected;
    };
    const PrintScrollBar portrait{2639, 240, 1200}; // positions 0 .. 2400
    const Case cases[] = {
        {portrait, ScrollLineBack, 0, 1199},
        {portrait, ScrollLineForward, 0, 1201},
        {portrait, ScrollPageBack, 0, 960},
        {portrait, ScrollPageForward, 0, 1440},
        {portrait, ScrollThumbTrack, 2000, 2000},
        {portrait, ScrollThumbTrack, 5000, 2400},
        {portrait, ScrollThumbPosition, 2000, 1200},
        {portrait, ScrollToEnd, 0, 1200},
        {{2639, 240, 2350}, ScrollPageForward, 0, 2400},
        {{2639, 240, 100}, ScrollPageBack, 0, 0},
        {{2639, 240, 0}, ScrollLineBack, 0, 0},
        // Zoom 100 %: maximum -1, page 0, nothing moves.
        {{-1, 0, 0}, ScrollLineForward, 0, 0},
        // Free space under ten pixels: page 0, the range ends one short of the space.
        {{4, 0, 3}, ScrollLineForward, 0, 4},
        {{4, 0, 4}, ScrollLineForward, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "max " << c.bar.maximum << " pos " << c.bar.position
                                        << " request " << c.request);
        EXPECT_EQ(ScrolledPosition(c.bar, c.request, c.track), c.expected);
    }
}

TEST(PrintLayout, DegeneratePagesAreRefusedOrKeptDrawable)
{
    // Nothing to place the screen on: refused, and the layout stays empty.
    const int32_t refused[][4] = {
        {0, 6800, 12, 8},   {4800, 0, 12, 8},    {-1, -1, 12, 8},
        {4800, 6800, 0, 8}, {4800, 6800, 12, 0},
    };
    for (const auto& c : refused) {
        PrintLayout layout{};
        layout.zoom = 77;
        EXPECT_FALSE(StartPrintLayout(layout, c[0], c[1], c[2], c[3]));
        EXPECT_EQ(layout.zoom, 0);
        EXPECT_EQ(PreviewScreenRect(layout).width, 0);
    }

    // A narrow strip keeps a preview of at least one pixel; a 1 x 1 page still works.
    PrintLayout strip{};
    ASSERT_TRUE(StartPrintLayout(strip, 10, 100000, 12, 8));
    EXPECT_EQ(strip.previewWidth, 1);
    EXPECT_EQ(strip.previewHeight, 290);
    PrintLayout dot{};
    ASSERT_TRUE(StartPrintLayout(dot, 1, 1, 12, 8));
    EXPECT_EQ(dot.largestHeight, 0);
    EXPECT_EQ(dot.screenWidth, 0);

    // A large plotter page: the products need more than 32 bits, the results do not.
    PrintLayout plotter{};
    ASSERT_TRUE(StartPrintLayout(plotter, 12'000'000, 9'000'000, 12, 8));
    EXPECT_EQ(plotter.previewHeight, 217);
    EXPECT_EQ(plotter.largestWidth, 12'000'000);
    EXPECT_EQ(plotter.largestHeight, 8'000'000);
    SetPrintZoom(plotter, 99);
    EXPECT_EQ(plotter.screenWidth, 12'000'000);
    EXPECT_EQ(PreviewScreenRect(plotter).height, 192); // 8e6 x 217 div 9e6
}

} // namespace
