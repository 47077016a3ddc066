// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/print_layout.h"

#include <algorithm>

namespace {

// a x b div c, truncating toward zero. The product is taken in 64 bits so that a large
// plotter page cannot wrap it; every result here is at most one of the factors.
int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    return static_cast<int32_t>(int64_t{a} * b / c);
}

void ResetScrollBar(PrintScrollBar& bar, int32_t freeSpace)
{
    // The page length is a tenth of the free space, and the maximum is chosen so that the
    // bar's positions run from 0 to the free space.
    const int32_t page = freeSpace / 10;
    bar.maximum = freeSpace + page - 1;
    bar.page = page;
    bar.position = std::min(freeSpace / 2, ScrollLimit(bar));
}

} // namespace

bool StartPrintLayout(PrintLayout& layout, int32_t pageWidth, int32_t pageHeight,
                      int32_t hDivisions, int32_t vDivisions)
{
    layout = PrintLayout{};
    if (pageWidth < 1 || pageHeight < 1 || hDivisions < 1 || vDivisions < 1) return false;
    layout.pageWidth = pageWidth;
    layout.pageHeight = pageHeight;

    if (static_cast<double>(pageWidth) / pageHeight > 1) {
        layout.previewWidth = PreviewLongSide;
        layout.previewHeight = MulDiv(PreviewLongSide, pageHeight, pageWidth);
    } else {
        layout.previewHeight = PreviewLongSide;
        layout.previewWidth = MulDiv(PreviewLongSide, pageWidth, pageHeight);
    }
    // A strip of paper far longer than wide would round its short side to nothing; one
    // pixel still gives a picture, and the page can still be printed.
    layout.previewWidth = std::max(layout.previewWidth, 1);
    layout.previewHeight = std::max(layout.previewHeight, 1);

    if (static_cast<double>(pageWidth) / pageHeight <
        static_cast<double>(hDivisions) / vDivisions) {
        layout.largestWidth = pageWidth;
        layout.largestHeight = MulDiv(pageWidth, vDivisions, hDivisions);
    } else {
        layout.largestHeight = pageHeight;
        layout.largestWidth = MulDiv(pageHeight, hDivisions, vDivisions);
    }

    SetPrintZoom(layout, PrintZoomStart);
    return true;
}

void SetPrintZoom(PrintLayout& layout, int32_t position)
{
    const int32_t zoom = std::clamp(position, 0, PrintZoomPositions - 1) + 1;
    layout.zoom = zoom;
    layout.screenWidth = MulDiv(layout.largestWidth, zoom, 100);
    layout.screenHeight = MulDiv(layout.largestHeight, zoom, 100);
    ResetScrollBar(layout.horizontal, layout.pageWidth - layout.screenWidth);
    ResetScrollBar(layout.vertical, layout.pageHeight - layout.screenHeight);
    layout.screenX = layout.horizontal.position;
    layout.screenY = layout.vertical.position;
}

int32_t ScrollLimit(const PrintScrollBar& bar)
{
    // A page of n positions leaves the thumb n - 1 short of the maximum; an empty range
    // (maximum below 0) holds only position 0.
    return std::max(bar.maximum - std::max(bar.page - 1, 0), 0);
}

int32_t ScrolledPosition(const PrintScrollBar& bar, int32_t request, int32_t trackPosition)
{
    int64_t position = bar.position;
    switch (request) {
    case ScrollLineBack:
        position -= 1;
        break;
    case ScrollLineForward:
        position += 1;
        break;
    case ScrollPageBack:
        position -= bar.page;
        break;
    case ScrollPageForward:
        position += bar.page;
        break;
    case ScrollThumbTrack:
        position = trackPosition;
        break;
    default: // thumb released, to the start or end, end of scrolling: no change
        break;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(position, 0, ScrollLimit(bar)));
}

void SetPrintScroll(PrintLayout& layout, bool horizontalBar, int32_t position)
{
    PrintScrollBar& bar = horizontalBar ? layout.horizontal : layout.vertical;
    bar.position = std::clamp(position, 0, ScrollLimit(bar));
    layout.screenX = layout.horizontal.position;
    layout.screenY = layout.vertical.position;
}

PrintRect PreviewScreenRect(const PrintLayout& layout)
{
    if (layout.pageWidth < 1 || layout.pageHeight < 1) return PrintRect{};
    PrintRect rect{};
    rect.x = MulDiv(layout.screenX, layout.previewWidth, layout.pageWidth);
    rect.y = MulDiv(layout.screenY, layout.previewHeight, layout.pageHeight);
    rect.width = MulDiv(layout.screenWidth, layout.previewWidth, layout.pageWidth);
    rect.height = MulDiv(layout.screenHeight, layout.previewHeight, layout.pageHeight);
    return rect;
}

PrintRect PreviewImageRect(const PrintLayout& layout)
{
    return PrintRect{10 + (PreviewLongSide - layout.previewWidth) / 2,
                     10 + (PreviewLongSide - layout.previewHeight) / 2, layout.previewWidth,
                     layout.previewHeight};
}
