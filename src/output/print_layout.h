// SPDX-License-Identifier: GPL-3.0-or-later
// The geometry of one print run: where the scope screen sits on the printer page and how
// big it is, the small picture of the page that the preview shows, and the scroll bars
// that move the screen around. Integer arithmetic only, kept free of widgets so that the
// preview dialog and the tests share it.
#pragma once

#include <cstdint>

// The longer side of the preview picture, in pixels.
constexpr int32_t PreviewLongSide = 290;
// The zoom track bar runs from 0 to 99; the zoom in percent is one more.
constexpr int32_t PrintZoomPositions = 100;
constexpr int32_t PrintZoomStart = 49;

// One scroll bar as the layout sets it: positions 0 .. maximum - page + 1 (at least 0).
struct PrintScrollBar {
    int32_t maximum;
    int32_t page;
    int32_t position;
};

// Create zero-filled, then StartPrintLayout.
struct PrintLayout {
    int32_t previewWidth;
    int32_t previewHeight;
    int32_t pageWidth; // printable area in printer pixels
    int32_t pageHeight;
    int32_t screenX; // top-left corner of the scope screen on the page
    int32_t screenY;
    int32_t screenWidth;
    int32_t screenHeight;
    int32_t largestWidth; // largest screen with the divisions' aspect that fits the page
    int32_t largestHeight;
    int32_t zoom; // percent, 1 .. 100
    PrintScrollBar horizontal;
    PrintScrollBar vertical;
};

// A rectangle on the preview picture or the page.
struct PrintRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Scroll requests, as a scroll bar reports them.
enum : int32_t {
    ScrollLineBack = 0,
    ScrollLineForward = 1,
    ScrollPageBack = 2,
    ScrollPageForward = 3,
    ScrollThumbTrack = 4,
    ScrollThumbPosition = 5,
    ScrollToStart = 6,
    ScrollToEnd = 7,
    ScrollEnded = 8,
};

// Fixes the page, preview and largest sizes for a page of the given printable size and a
// screen of hDivisions x vDivisions, then sets the opening zoom (50 %, centred). False,
// and the layout left zero, when the page or the divisions are empty: there is nothing
// to place the screen on.
bool StartPrintLayout(PrintLayout& layout, int32_t pageWidth, int32_t pageHeight,
                      int32_t hDivisions, int32_t vDivisions);

// The zoom track bar moved to `position` (0 .. 99): new screen size, scroll bars reset,
// the screen centred on the page again.
void SetPrintZoom(PrintLayout& layout, int32_t position);

// The last position a scroll bar allows.
int32_t ScrollLimit(const PrintScrollBar& bar);

// The position after a scroll request, kept within the bar's range. trackPosition is the
// thumb's place while it is being dragged.
int32_t ScrolledPosition(const PrintScrollBar& bar, int32_t request, int32_t trackPosition);

// Moves one scroll bar of the layout (horizontal or vertical) to `position`, kept within
// its range, and the screen with it.
void SetPrintScroll(PrintLayout& layout, bool horizontalBar, int32_t position);

// The screen's rectangle scaled from the page to the preview picture.
PrintRect PreviewScreenRect(const PrintLayout& layout);

// The place of the preview picture within the 290 x 290 field of the preview's frame,
// whose top-left corner is at (10, 10).
PrintRect PreviewImageRect(const PrintLayout& layout);
