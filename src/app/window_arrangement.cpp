// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_arrangement.h"

#include <algorithm>
#include <cmath>

namespace {

struct GridShape {
    int32_t lines;   // columns side by side, rows one above the other
    int32_t perLine; // windows in the fullest line
};

// The shape nearest the area's: up to three tiles make one line each, more about as many
// lines as the area holds of a square tile.
int32_t PreferredLines(int32_t tiles, QSize area, bool sideBySide)
{
    if (tiles <= 3) return tiles;
    const double across = sideBySide ? area.width() : area.height();
    const double along = std::max(sideBySide ? area.height() : area.width(), 1);
    return std::clamp(int32_t(std::lround(std::sqrt(tiles * across / along))), 1, tiles);
}

// The tiles of one shape: side by side fills column after column, one above the other row
// after row, and the last line, holding fewer, gives its tiles the extra room.
std::vector<QRect> TilesFor(int32_t tiles, int32_t lines, QSize area, bool sideBySide)
{
    const int32_t perLine = (tiles + lines - 1) / lines;
    const int32_t across = sideBySide ? area.width() : area.height();
    const int32_t along = sideBySide ? area.height() : area.width();
    std::vector<QRect> result;
    for (int32_t line = 0; line < lines; ++line) {
        const int32_t inLine = std::min(perLine, tiles - line * perLine);
        if (inLine <= 0) break;
        const int32_t a0 = across * line / lines;
        const int32_t a1 = across * (line + 1) / lines;
        for (int32_t k = 0; k < inLine; ++k) {
            const int32_t b0 = along * k / inLine;
            const int32_t b1 = along * (k + 1) / inLine;
            result.push_back(sideBySide ? QRect(a0, b0, a1 - a0, b1 - b0)
                                        : QRect(b0, a0, b1 - b0, a1 - a0));
        }
    }
    return result;
}

bool AllHold(const std::vector<QRect>& tiles, QSize need)
{
    return std::all_of(tiles.begin(), tiles.end(), [need](const QRect& tile) {
        return tile.width() >= need.width() && tile.height() >= need.height();
    });
}

// The tiles for `tiles` stacks of windows: the shape nearest the preferred one in which
// every tile holds `need`, or none.
std::vector<QRect> FittingTiles(int32_t tiles, QSize area, QSize need, bool sideBySide)
{
    const int32_t preferred = PreferredLines(tiles, area, sideBySide);
    for (int32_t distance = 0; distance < tiles; ++distance) {
        for (const int32_t lines : {preferred - distance, preferred + distance}) {
            if (lines < 1 || lines > tiles) continue;
            // A shape whose last line would stay empty is one of fewer lines.
            const int32_t perLine = (tiles + lines - 1) / lines;
            if ((lines - 1) * perLine >= tiles) continue;
            std::vector<QRect> result = TilesFor(tiles, lines, area, sideBySide);
            if (AllHold(result, need)) return result;
            if (distance == 0) break;
        }
    }
    return {};
}

} // namespace

std::vector<QRect> TileGeometry(int32_t count, QSize area, QSize minimum, int32_t step,
                                bool sideBySide)
{
    std::vector<QRect> places;
    if (count <= 0) return places;
    // The most tiles whose smallest can hold its stack of windows at the minimum size.
    std::vector<QRect> tiles;
    for (int32_t t = count; t >= 1 && tiles.empty(); --t) {
        const int32_t stack = (count + t - 1) / t;
        tiles = FittingTiles(t, area, minimum + QSize(stack - 1, stack - 1) * step, sideBySide);
    }
    // Not even one tile holds every window: they share the whole area.
    if (tiles.empty()) tiles.push_back(QRect(QPoint(0, 0), area));
    const auto t = static_cast<int32_t>(tiles.size());
    for (int32_t i = 0; i < count; ++i) {
        const QRect& tile = tiles[static_cast<size_t>(i % t)];
        const int32_t stack = (count - 1 - i % t) / t + 1;
        const int32_t level = stack - 1 - i / t;
        const QSize size = (tile.size() - QSize(stack - 1, stack - 1) * step).expandedTo(minimum);
        places.push_back(QRect(tile.topLeft() + QPoint(level, level) * step, size));
    }
    return places;
}

std::vector<QRect> CascadeGeometry(const std::vector<QSize>& sizes, QSize area, QSize minimum,
                                   int32_t step)
{
    const auto count = static_cast<int32_t>(sizes.size());
    std::vector<QRect> places(sizes.size());
    if (count == 0) return places;
    step = std::max(step, 1);
    // The levels of one run of the cascade: every window, as far as windows of the minimum
    // size still fit at the deepest level.
    const int32_t room = std::min(area.width() - minimum.width(), area.height() - minimum.height());
    const int32_t levels = std::clamp(room / step + 1, 1, count);
    const QSize largest = (area - QSize(levels - 1, levels - 1) * step).expandedTo(minimum);
    for (int32_t k = 0; k < count; ++k) {
        // k counts from the back window, which takes the corner.
        const int32_t i = count - 1 - k;
        const int32_t level = k % levels;
        const QSize size = sizes[static_cast<size_t>(i)].boundedTo(largest).expandedTo(minimum);
        places[static_cast<size_t>(i)] = QRect(QPoint(level, level) * step, size);
    }
    return places;
}

QPoint AnalysisWindowPlace(QRect owner, int32_t clearBelow, QSize size, QRect screen)
{
    constexpr int32_t Gap = 8;
    int32_t x = owner.right() + 1 + Gap;
    int32_t y = owner.top();
    const int32_t lastX = std::max(screen.left(), screen.right() + 1 - size.width());
    const int32_t lastY = std::max(screen.top(), screen.bottom() + 1 - size.height());
    if (x > lastX) {
        x = lastX;
        y = std::max(y, clearBelow);
    }
    return {std::clamp(x, screen.left(), lastX), std::clamp(y, screen.top(), lastY)};
}
