// SPDX-License-Identifier: GPL-3.0-or-later
// Where the "Fenster" commands put the capture windows: pure functions of the area's size,
// the windows' sizes and their smallest size, so that the rules can be checked without a
// window on the screen.
#pragma once

#include <QRect>
#include <QSize>

#include <cstdint>
#include <vector>

// Tiles that do not overlap and together cover the area: up to three windows one row
// (side by side) or one column (one above the other), more a grid whose shape follows the
// area. Every grid shape is tried, the one nearest the area's shape first, so that all
// windows get a tile of their own whenever some grid holds `minimum`. Only when none does
// are fewer tiles used and the windows left over stacked in them, each `step` (a title bar)
// lower and further right than the one behind it. Entry i is the place of window i; in a
// stack window i lies on top of every later window of its tile.
std::vector<QRect> TileGeometry(int32_t count, QSize area, QSize minimum, int32_t step,
                                bool sideBySide);

// The cascade: window i (the front one first) steps `step` down and right from the
// top-left corner, the back window at the corner and the front one lowest. A window keeps
// its size where the cascade leaves room for it; one larger than that (a tiled or
// maximised size) is made smaller, never below `minimum`, so that no window covers another
// one exactly and none reaches past the area's right or bottom edge. When even windows of
// `minimum` size would reach past an edge, the cascade starts again at the corner.
std::vector<QRect> CascadeGeometry(const std::vector<QSize>& sizes, QSize area, QSize minimum,
                                   int32_t step);

// Where an analysis window ("Messungen", "Spektrum") of `size` opens: right of `owner`, its
// capture window in screen coordinates, level with its top, where both can be read at
// once. Where the screen has no room for that, the window moves left over the owner, and
// then no higher than `clearBelow`, the first row under the owner's title bar (or under the
// menu bar that holds a maximised window's buttons), so that it covers none of its buttons.
// Always inside `screen` as far as the size allows.
QPoint AnalysisWindowPlace(QRect owner, int32_t clearBelow, QSize size, QRect screen);
