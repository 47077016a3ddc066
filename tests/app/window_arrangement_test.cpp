// SPDX-License-Identifier: GPL-3.0-or-later
// The tile and cascade rules on their own: who gets which place for a given area.
#include "app/capture_window.h"
#include "app/window_arrangement.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

bool Inside(const QRect& place, QSize area)
{
    return QRect(QPoint(0, 0), area).contains(place);
}

// Every window in a tile of its own whenever some grid holds the minimum size: the tiles
// do not overlap, cover the area, and hold the minimum.
TEST(WindowArrangement, TilesTryEveryGridShape)
{
    struct Case {
        int32_t count;
        QSize area;
        QSize minimum;
        bool sideBySide;
    };
    const Case cases[] = {
        {1, {1600, 1000}, {480, 300}, true},
        {3, {1600, 1000}, {480, 300}, true},
        {3, {1600, 1000}, {480, 300}, false},
        // Three columns are too narrow, two columns of three rows hold every window.
        {6, {1400, 1000}, {480, 300}, true},
        // Three rows are too low, two rows of three hold them.
        {6, {1000, 1400}, {300, 480}, false},
        {4, {1000, 700}, {480, 300}, false},
        {9, {1600, 1000}, {480, 300}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " windows in " + std::to_string(c.area.width()) +
                     "x" + std::to_string(c.area.height()) + (c.sideBySide ? " side" : " rows"));
        const std::vector<QRect> places =
            TileGeometry(c.count, c.area, c.minimum, 25, c.sideBySide);
        ASSERT_EQ(places.size(), static_cast<size_t>(c.count));
        int64_t covered = 0;
        for (size_t i = 0; i < places.size(); ++i) {
            EXPECT_TRUE(Inside(places[i], c.area)) << i;
            EXPECT_GE(places[i].width(), c.minimum.width()) << i;
            EXPECT_GE(places[i].height(), c.minimum.height()) << i;
            covered += int64_t(places[i].width()) * places[i].height();
            for (size_t j = i + 1; j < places.size(); ++j)
                EXPECT_FALSE(places[i].intersects(places[j])) << i << " " << j;
        }
        EXPECT_EQ(covered, int64_t(c.area.width()) * c.area.height());
    }
    // Up to three windows keep the command's direction.
    EXPECT_EQ(TileGeometry(2, {1600, 1000}, {480, 300}, 25, true)[1], QRect(800, 0, 800, 1000));
    EXPECT_EQ(TileGeometry(2, {1600, 1000}, {480, 300}, 25, false)[1], QRect(0, 500, 1600, 500));
}

// When no grid holds every window, the windows share tiles in stacks whose title bars show.
TEST(WindowArrangement, TooManyWindowsStackWithTheirTitleBarsShowing)
{
    const int32_t step = 25;
    const std::vector<QRect> places = TileGeometry(20, {1600, 1000}, {480, 300}, step, true);
    ASSERT_EQ(places.size(), 20u);
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_TRUE(Inside(places[i], {1600, 1000})) << i;
        const QRect title(places[i].topLeft(), QSize(places[i].width(), step));
        // Window i lies under every earlier one.
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(places[j].intersects(title)) << i << " under " << j;
    }
}

// After a tile the windows fill their tiles; the cascade must still show every title bar
// and keep every window inside the area.
TEST(WindowArrangement, CascadeAfterTilesShowsEveryWindowInsideTheArea)
{
    const QSize area(1600, 1000);
    const QSize minimum(480, 300);
    const int32_t step = 25;
    for (const bool sideBySide : {true, false}) {
        std::vector<QSize> sizes;
        for (const QRect& tile : TileGeometry(3, area, minimum, step, sideBySide))
            sizes.push_back(tile.size());
        const std::vector<QRect> places = CascadeGeometry(sizes, area, minimum, step);
        std::set<std::tuple<int, int>> corners;
        for (size_t i = 0; i < places.size(); ++i) {
            EXPECT_TRUE(Inside(places[i], area)) << sideBySide << " " << i;
            EXPECT_TRUE(places[i].width() >= minimum.width() &&
                        places[i].height() >= minimum.height());
            corners.insert({places[i].x(), places[i].y()});
        }
        EXPECT_EQ(corners.size(), places.size()) << "windows on top of each other";
        // The front window is lowest.
        EXPECT_EQ(places[0].topLeft(), QPoint(2 * step, 2 * step));
    }
}

TEST(WindowArrangement, CascadeKeepsSizesThatFitAndStartsOverWhenFull)
{
    const std::vector<QSize> sizes(3, QSize(830, 480));
    const std::vector<QRect> places = CascadeGeometry(sizes, {1600, 1000}, {480, 300}, 25);
    for (size_t i = 0; i < places.size(); ++i)
        EXPECT_EQ(places[i], QRect(QPoint(50 - 25 * int(i), 50 - 25 * int(i)), QSize(830, 480)));
    // A low area holds three levels of minimum-size windows: the fourth starts over.
    const std::vector<QRect> low =
        CascadeGeometry(std::vector<QSize>(4, QSize(480, 300)), {1600, 350}, {480, 300}, 25);
    EXPECT_EQ(low[3].topLeft(), QPoint(0, 0));
    EXPECT_EQ(low[1].topLeft(), QPoint(50, 50));
    EXPECT_EQ(low[0].topLeft(), QPoint(0, 0));
    for (const QRect& place : low)
        EXPECT_LE(place.bottom(), 349);
    EXPECT_TRUE(CascadeGeometry({}, {100, 100}, {10, 10}, 25).empty());
}

} // namespace

namespace {

// Beside the capture window when the screen has room, else over it but below its buttons.
TEST(WindowArrangement, AnalysisWindowsCoverNoTitleBarButtons)
{
    const QRect screen(0, 0, 1600, 1000);
    const QSize size(400, 300);
    struct Case {
        const char* what;
        QRect owner;
        int32_t clearBelow;
        QPoint expected;
    };
    const Case cases[] = {
        {"room beside", {100, 100, 830, 480}, 125, {938, 100}},
        {"at the right edge", {700, 100, 830, 480}, 125, {1200, 125}},
        // Maximised: the buttons sit in the menu bar above the client area.
        {"maximised", {0, 60, 1600, 940}, 60, {1200, 60}},
        {"low on the screen", {700, 900, 830, 480}, 925, {1200, 700}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QPoint place = AnalysisWindowPlace(c.owner, c.clearBelow, size, screen);
        EXPECT_EQ(place, c.expected);
        EXPECT_TRUE(screen.contains(QRect(place, size)));
    }
}

TEST(WindowTitles, FilesOpenedTwiceAreNumbered)
{
    EXPECT_EQ(NumberedTitle(u"A001.sav"_s, {}), u"A001.sav"_s);
    EXPECT_EQ(NumberedTitle(u"A001.sav"_s, {u"B.sav"_s}), u"A001.sav"_s);
    EXPECT_EQ(NumberedTitle(u"A001.sav"_s, {u"A001.sav"_s}), u"A001.sav (2)"_s);
    // The lowest free number: a closed window's number is used again.
    EXPECT_EQ(NumberedTitle(u"A001.sav"_s, {u"A001.sav"_s, u"A001.sav (3)"_s}), u"A001.sav (2)"_s);
    EXPECT_EQ(NumberedTitle(u"A001.sav"_s, {u"A001.sav (2)"_s, u"A001.sav"_s}), u"A001.sav (3)"_s);
}

} // namespace
