// SPDX-License-Identifier: GPL-3.0-or-later
// What the renderer draws, read back through the recording surface.
#include "screen/screen_renderer.h"
#include "support/recording_surface.h"
#include "support/test_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>

namespace {

constexpr Rgb Grid{64, 64, 64};
constexpr Rgb Axes{128, 128, 128};
constexpr Rgb Trigger{255, 0, 255};
constexpr Rgb Cursor1{255, 0, 0};
constexpr Rgb Cursor2{0, 255, 0};
constexpr Rgb Ch1{0, 255, 255};
constexpr Rgb Ch2{255, 255, 0};
constexpr Rgb Math{255, 128, 64};
constexpr Rgb Ch1Zero{0, 128, 128};
constexpr Rgb Ch2Zero{128, 128, 0};
constexpr Rgb MathZero{128, 64, 0};
constexpr Rgb PaperCh1{255, 0, 0};
constexpr Rgb Black{0, 0, 0};
constexpr Rgb White{255, 255, 255};

// A 12 x 8 capture of n samples with CH1 present and every sample at `level` divisions.
Capture MakeCapture(int32_t n, double level = 0.0)
{
    Capture capture = MakeTestCapture(n, {{SlotCh1, 0.5}});
    for (int32_t i = 0; i < n; ++i)
        capture.samples[SlotCh1][i] = level;
    return capture;
}

RenderRequest Request(int32_t width, int32_t height, int32_t first, int32_t count)
{
    RenderRequest request{};
    request.width = width;
    request.height = height;
    request.firstSample = first;
    request.sampleCount = count;
    return request;
}

bool IsVertical(const RecordedOp& op)
{
    return op.x1 == op.x2;
}

// The one vertical line in `colour`, for the markers.
int32_t MarkerX(const RecordingSurface& surface, Rgb colour)
{
    const std::vector<RecordedOp> lines = surface.LinesIn(colour);
    EXPECT_EQ(lines.size(), 1u);
    return lines.empty() ? std::numeric_limits<int32_t>::min() : lines[0].x1;
}

} // namespace

TEST(ScreenRenderer, GraticuleCrossAndScale)
{
    struct Case {
        int32_t height;
        std::vector<int32_t> gridRows;
        int32_t halfY;
        int32_t rowOfOneDivision;
    };
    const Case cases[] = {
        {400, {0, 50, 100, 150, 200, 250, 300, 350}, 200, 150},
        // P comes from the truncated H div 8 = 50, the grid from H x j div 8.
        {405, {0, 50, 101, 151, 202, 253, 303, 354}, 202, 152},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        Capture capture = MakeCapture(600, 1.0);
        RecordingSurface surface;
        ScreenRenderer(capture, surface, Request(600, c.height, 0, 600));

        std::vector<int32_t> columns;
        std::vector<int32_t> rows;
        for (const RecordedOp& op : surface.LinesIn(Grid)) {
            if (IsVertical(op)) {
                EXPECT_EQ(op.y1, 0);
                EXPECT_EQ(op.y2, c.height);
                columns.push_back(op.x1);
            } else {
                EXPECT_EQ(op.x1, 0);
                EXPECT_EQ(op.x2, 600);
                EXPECT_EQ(op.y1, op.y2);
                rows.push_back(op.y1);
            }
        }
        EXPECT_EQ(columns,
                  (std::vector<int32_t>{0, 50, 100, 150, 200, 250, 300, 350, 400, 450, 500, 550}));
        EXPECT_EQ(rows, c.gridRows);

        const std::vector<RecordedOp> axes = surface.LinesIn(Axes);
        ASSERT_EQ(axes.size(), 2u);
        EXPECT_EQ(axes[0].x1, 300);
        EXPECT_EQ(axes[0].x2, 300);
        EXPECT_EQ(axes[1].y1, c.halfY);
        EXPECT_EQ(axes[1].y2, c.halfY);

        const std::vector<RecordedOp> zero = surface.LinesIn(Ch1Zero);
        ASSERT_EQ(zero.size(), 1u);
        EXPECT_EQ(zero[0].y1, c.halfY);

        const std::vector<RecordedOp> trace = surface.LinesIn(Ch1);
        ASSERT_FALSE(trace.empty());
        for (const RecordedOp& op : trace) {
            EXPECT_EQ(op.y1, c.rowOfOneDivision);
            EXPECT_EQ(op.y2, c.rowOfOneDivision);
        }
    }
}

TEST(ScreenRenderer, RowsRoundHalfToEvenAndStayDefined)
{
    struct Case {
        double value;
        int32_t row; // halfY 8, 2 pixels per division: exact halves
    };
    const Case cases[] = {
        {0.25, 8},   // 7.5
        {0.75, 6},   // 6.5
        {-0.25, 8},  // 8.5
        {-0.75, 10}, // 9.5
        {1.0, 6},
        {std::numeric_limits<double>::infinity(), -1000000000},
        {-std::numeric_limits<double>::infinity(), 1000000000},
        {std::numeric_limits<double>::quiet_NaN(), -1000000000},
        {1e300, -1000000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(TraceRow(c.value, 8, 2), c.row);
    }

    // The zero line takes its row the same way: 16 high gives P = 2 and HY = 8.
    Capture capture = MakeCapture(4);
    capture.offsetDiv[SlotCh1] = 0.75;
    RecordingSurface surface;
    ScreenRenderer(capture, surface, Request(600, 16, 0, 4));
    const std::vector<RecordedOp> zero = surface.LinesIn(Ch1Zero);
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_EQ(zero[0].y1, 6);
}

TEST(ScreenRenderer, TracePathFollowsSamplesPerColumn)
{
    struct Case {
        int32_t width;
        int32_t count;
        bool minMax;
    };
    const Case cases[] = {
        {600, 1, false},
        {600, 2, false},
        {600, 300, false},
        {600, 600, false},
        {600, 601, true},
        {600, 1200, true},
        {7, 65535, true},
        // Products of 60000 x 59999 overflow 32 bits.
        {60000, 60000, false},
        {40000, 65535, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.count);
        Capture capture = MakeCapture(70000);
        for (int32_t i = 0; i < 70000; ++i)
            capture.samples[SlotCh1][i] = std::sin(i * 0.01) * 3.0;
        RecordingSurface surface;
        surface.surfaceWidth = c.width;
        ScreenRenderer(capture, surface, Request(c.width, 400, 10, c.count));
        const std::vector<RecordedOp> trace = surface.LinesIn(Ch1);

        if (!c.minMax) {
            ASSERT_EQ(trace.size(), static_cast<size_t>(c.count - 1));
            for (int32_t i = 1; i < c.count; ++i) {
                const RecordedOp& op = trace[i - 1];
                const int32_t x0 = static_cast<int32_t>(int64_t{c.width} * (i - 1) / c.count);
                const int32_t x1 = static_cast<int32_t>(int64_t{c.width} * i / c.count);
                ASSERT_EQ(op.x1, x0) << i;
                ASSERT_EQ(op.x2, x1) << i;
                ASSERT_EQ(op.y1, TraceRow(capture.samples[SlotCh1][10 + i - 1], 200, 50));
                ASSERT_EQ(op.y2, TraceRow(capture.samples[SlotCh1][10 + i], 200, 50));
            }
            continue;
        }
        // Two lines per column: the link from the previous column, then the column's span,
        // and the link ends where the span starts.
        ASSERT_EQ(trace.size(), static_cast<size_t>(2 * c.width - 1));
        for (int32_t x = 0; x < c.width; ++x) {
            const RecordedOp& span = trace[x == 0 ? 0 : 2 * x];
            ASSERT_EQ(span.x1, x);
            ASSERT_EQ(span.x2, x);
            if (x > 0) {
                const RecordedOp& link = trace[2 * x - 1];
                const RecordedOp& previousSpan = trace[x == 1 ? 0 : 2 * x - 2];
                ASSERT_EQ(link.x1, x - 1);
                ASSERT_EQ(link.y1, previousSpan.y2);
                ASSERT_EQ(link.x2, x);
                ASSERT_EQ(link.y2, span.y1);
            }
        }
    }
}

// A file cut short: the trace ends at the last sample held, whether one sample or many
// share a column, and a view with none of them draws no trace.
TEST(ScreenRenderer, MissingSamplesAreNotDrawn)
{
    struct Case {
        int32_t width;
        int32_t first;
        int32_t count;
        int32_t lastColumn; // -1: no trace at all
    };
    const Case cases[] = {
        {600, 0, 1000, 359},  // samples 0..599 held: 600 x 599 / 1000 = 359
        {600, 0, 300, 598},   // samples 0..299 of the view, one per two columns
        {600, 500, 300, 198}, // 100 of 300 held, their last at 600 x 99 / 300
        {600, 700, 300, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " + " << c.count);
        Capture capture = MakeCapture(1000);
        capture.missing[SlotCh1] = 400;
        for (int32_t i = 0; i < 1000; ++i)
            capture.samples[SlotCh1][i] = i < 600 ? std::sin(i * 0.05) : std::nan("");
        RecordingSurface surface;
        surface.surfaceWidth = c.width;
        ScreenRenderer(capture, surface, Request(c.width, 400, c.first, c.count));
        const std::vector<RecordedOp> trace = surface.LinesIn(Ch1);
        if (c.lastColumn < 0) {
            EXPECT_TRUE(trace.empty());
            continue;
        }
        ASSERT_FALSE(trace.empty());
        int32_t rightmost = 0;
        for (const RecordedOp& op : trace)
            rightmost = std::max({rightmost, op.x1, op.x2});
        EXPECT_EQ(rightmost, c.lastColumn);
    }
}

TEST(ScreenRenderer, ColumnExtremesKeepTimeOrderAndEarlierTies)
{
    struct Case {
        std::vector<double> samples; // one column
        double first;
        double second;
    };
    const Case cases[] = {
        {{-1, 2}, -1, 2},
        {{2, -1}, 2, -1}, // maximum first: the span runs from the maximum down
        {{0, 3, -2, 1}, 3, -2},
        {{0, -2, 3, 1}, -2, 3},
        {{3, 1, 3}, 3, 1}, // the later 3 ties and does not replace the first maximum
        {{1, 3, 1}, 1, 3},
        {{1, 1, 1}, 1, 1},
    };
    for (const Case& c : cases) {
        ColumnExtremes column{};
        CollectColumnExtremes(c.samples.data(), static_cast<int32_t>(c.samples.size()), 1, 200, 50,
                              &column);
        EXPECT_EQ(column.ya, TraceRow(c.first, 200, 50));
        EXPECT_EQ(column.yb, TraceRow(c.second, 200, 50));
    }

    // Through the renderer: pairs (2, -1) per column, 2 samples per column.
    Capture capture = MakeCapture(8);
    for (int32_t i = 0; i < 8; ++i)
        capture.samples[SlotCh1][i] = i % 2 == 0 ? 2.0 : -1.0;
    RecordingSurface surface;
    ScreenRenderer(capture, surface, Request(4, 400, 0, 8));
    const std::vector<RecordedOp> trace = surface.LinesIn(Ch1);
    ASSERT_EQ(trace.size(), 7u);
    EXPECT_EQ(trace[0].y1, 100); // column 0 from the maximum
    EXPECT_EQ(trace[0].y2, 250); // down to the minimum
    EXPECT_EQ(trace[1].y1, 250); // link from the previous minimum
    EXPECT_EQ(trace[1].y2, 100); // ends at the maximum of column 1
}

TEST(ScreenRenderer, ColumnExtremesMatchBruteForce)
{
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> value(-6.0, 6.0);
    std::uniform_int_distribution<int32_t> width(1, 700);
    for (int32_t round = 0; round < 200; ++round) {
        const int32_t w = width(random);
        const int32_t count = w + 1 + static_cast<int32_t>(random() % 5000);
        std::vector<double> samples(count);
        // Coarse values, so that ties and zeros of both signs occur, and in some rounds NaNs,
        // which never become an extreme unless they start a column.
        const bool withNaN = round % 4 == 0;
        for (double& v : samples)
            v = withNaN && random() % 40 == 0 ? std::numeric_limits<double>::quiet_NaN()
                                              : std::round(value(random) * 4) / 4;

        std::vector<ColumnExtremes> fast(w);
        CollectColumnExtremes(samples.data(), count, w, 200, 50, fast.data());

        // Reference: every sample placed by its own division, the first of equal extremes kept.
        std::vector<int32_t> minIndex(w, -1);
        std::vector<int32_t> maxIndex(w, -1);
        for (int32_t i = 0; i < count; ++i) {
            const size_t x = static_cast<size_t>(int64_t{w} * i / count);
            if (minIndex[x] < 0 || samples[i] < samples[minIndex[x]]) minIndex[x] = i;
            if (maxIndex[x] < 0 || samples[i] > samples[maxIndex[x]]) maxIndex[x] = i;
        }
        for (int32_t x = 0; x < w; ++x) {
            ASSERT_GE(minIndex[x], 0);
            const int32_t early = std::min(minIndex[x], maxIndex[x]);
            const int32_t late = std::max(minIndex[x], maxIndex[x]);
            ASSERT_EQ(fast[x].ya, TraceRow(samples[early], 200, 50)) << round << " " << x;
            ASSERT_EQ(fast[x].yb, TraceRow(samples[late], 200, 50)) << round << " " << x;
        }
    }
}

TEST(ScreenRenderer, MarkersFallWhereTruncationPutsThem)
{
    struct Case {
        int32_t width;
        int32_t first;
        int32_t count;
        int32_t index;
        int32_t x;
    };
    const Case cases[] = {
        {600, 500, 1000, 499, 0},  // one sample left: 600 x -1 div 1000 truncates to 0
        {600, 500, 1000, 498, -1}, // two samples left: off the image
        {600, 500, 1000, 500, 0},
        {600, 500, 1000, 1499, 599},
        {600, 500, 1000, 1500, 600},
        {600, 0, 1000, 65535, 39321},
        // Products beyond 32 bits (40000 x 65535) must not wrap.
        {40000, 0, 65536, 65535, 39999},
        {40000, 0, 2, 65535, 1310700000},
        {40000, 65535, 100, 0, -26214000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << " " << c.first << " " << c.count << " " << c.index);
        Capture capture = MakeCapture(65536);
        capture.triggerIndex = c.index;
        RenderRequest request = Request(c.width, 400, c.first, c.count);
        request.showTrigger = true;
        request.showCursors = true;
        request.cursor1 = c.index;
        request.cursor2 = c.index;
        RecordingSurface surface;
        ScreenRenderer(capture, surface, request);
        EXPECT_EQ(MarkerX(surface, Trigger), c.x);
        EXPECT_EQ(MarkerX(surface, Cursor1), c.x);
        EXPECT_EQ(MarkerX(surface, Cursor2), c.x);
        const std::vector<RecordedOp> line = surface.LinesIn(Cursor1);
        ASSERT_EQ(line.size(), 1u);
        EXPECT_EQ(line[0].y1, 0);
        EXPECT_EQ(line[0].y2, 400);
    }
}

TEST(ScreenRenderer, OnlyChannelsPresentAsOneAreDrawnAndLabelsCloseUp)
{
    struct Case {
        int32_t present[SlotCount];
        std::vector<QString> labels;
    };
    const Case cases[] = {
        {{1, 0, 0}, {u"CH1"_qs, u"TRIG"_qs}},
        {{1, 2, 0}, {u"CH1"_qs, u"TRIG"_qs}},
        {{1, -1, 1}, {u"CH1"_qs, u"MATH"_qs, u"TRIG"_qs}},
        {{0, 1, 1}, {u"CH2"_qs, u"MATH"_qs, u"TRIG"_qs}},
        {{1, 1, 1}, {u"CH1"_qs, u"CH2"_qs, u"MATH"_qs, u"TRIG"_qs}},
    };
    const Rgb traces[SlotCount] = {Ch1, Ch2, Math};
    const Rgb zeros[SlotCount] = {Ch1Zero, Ch2Zero, MathZero};
    for (const Case& c : cases) {
        Capture capture = MakeCapture(100);
        std::copy(std::begin(c.present), std::end(c.present), capture.present);
        RenderRequest request = Request(600, 400, 0, 100);
        request.showTrigger = true;
        RecordingSurface surface;
        ScreenRenderer(capture, surface, request);

        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            SCOPED_TRACE(slot);
            const bool drawn = c.present[slot] == 1;
            EXPECT_EQ(surface.LinesIn(traces[slot]).size(), drawn ? 99u : 0u);
            EXPECT_EQ(surface.LinesIn(zeros[slot]).size(), drawn ? 1u : 0u);
        }
        const std::vector<RecordedOp> texts = surface.Texts();
        ASSERT_EQ(surface.TextStrings(), c.labels);
        // x starts at H div 80 and advances by the text plus three spaces of 7 pixels.
        int32_t x = 5;
        for (const RecordedOp& text : texts) {
            EXPECT_EQ(text.x1, x);
            EXPECT_EQ(text.y1, 5);
            x += 7 * static_cast<int32_t>(text.text.size()) + 21;
        }
    }
}

TEST(ScreenRenderer, FullLabelRowInOrderAndColour)
{
    Capture capture = MakeCapture(1000);
    capture.filePath = u"/data/scope/Messung 1.sav"_qs;
    capture.present[SlotCh2] = 1;
    capture.voltsPerDiv[SlotCh2] = 2.0;
    RenderRequest request = Request(600, 400, 0, 500);
    request.showTrigger = true;
    request.showChannelScale = true;
    request.showTimeScale = true;
    request.showCursors = true;
    request.showFileName = true;
    RecordingSurface surface;
    ScreenRenderer(capture, surface, request);

    const std::vector<QString> expected = {
        u"CH1: 500 mV/DIV"_qs, u"CH2: 2 V/DIV"_qs, u"TRIG"_qs,
        // Half the record in view: the time per division of the view, not of the capture.
        u"TIME: 500 µs/DIV"_qs, u"CUR1"_qs, u"CUR2"_qs, u"Messung 1"_qs};
    EXPECT_EQ(surface.TextStrings(), expected);
    const std::vector<RecordedOp> texts = surface.Texts();
    const Rgb colours[] = {Ch1, Ch2, Trigger, White, Cursor1, Cursor2, White};
    ASSERT_EQ(texts.size(), std::size(colours));
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].colour, colours[i]) << i;
        EXPECT_EQ(texts[i].fontPoints, 0) << i; // the default font on the screen
    }
}

TEST(ScreenRenderer, PaperStyleWidensPensAndScalesFont)
{
    struct Case {
        int32_t height;
        int32_t unit;
        int32_t points;
    };
    const Case cases[] = {{3000, 7, 75}, {800, 2, 20}, {399, 1, 9}, {39, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        const int32_t w = c.height * 3 / 2;
        Capture capture = MakeCapture(2 * w);
        capture.filePath = u"C:/x/probe.sav"_qs;
        RecordingSurface surface;
        surface.surfaceWidth = w;
        surface.surfaceHeight = c.height;
        RenderRequest request = Request(w, c.height, 0, 2 * w);
        request.paperStyle = true;
        request.showChannelScale = true;
        request.showTimeScale = true;
        request.showFileName = true;
        ScreenRenderer(capture, surface, request);

        ASSERT_FALSE(surface.ops.empty());
        EXPECT_EQ(surface.ops[0].kind, RecordedFill);
        EXPECT_EQ(surface.ops[0].colour, White);
        for (const RecordedOp& op : surface.LinesIn({192, 192, 192}))
            EXPECT_EQ(op.penWidth, c.unit);
        const std::vector<RecordedOp> trace = surface.LinesIn(PaperCh1);
        ASSERT_FALSE(trace.empty());
        EXPECT_EQ(trace[0].penWidth, 2 * c.unit);

        const std::vector<RecordedOp> frame = surface.LinesIn(Black);
        ASSERT_EQ(frame.size(), 4u);
        const int32_t h = c.height;
        const int32_t expected[4][4] = {
            {0, 0, w, 0}, {0, h - 1, w, h - 1}, {0, 0, 0, h}, {w - 1, 0, w - 1, h}};
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(frame[i].penWidth, 3 * c.unit);
            EXPECT_EQ((std::vector<int32_t>{frame[i].x1, frame[i].y1, frame[i].x2, frame[i].y2}),
                      (std::vector<int32_t>(expected[i], expected[i] + 4)));
        }

        ASSERT_EQ(surface.fonts.size(), 1u);
        EXPECT_EQ(surface.fonts[0].name, u"Helvetica"_qs);
        EXPECT_EQ(surface.fonts[0].points, c.points);
        const std::vector<RecordedOp> texts = surface.Texts();
        ASSERT_EQ(texts.size(), 3u); // CH1, TIME, file name; no trigger or cursors on paper
        EXPECT_EQ(texts[2].text, u"probe"_qs);
        for (const RecordedOp& text : texts) {
            EXPECT_EQ(text.fontPoints, c.points);
            EXPECT_EQ(text.colour, text.text.startsWith(u"CH1") ? PaperCh1 : Black);
        }
        EXPECT_TRUE(surface.AllReleased());
    }
}

TEST(ScreenRenderer, OriginShiftsEverythingAndFillSurfaceCoversThePage)
{
    for (bool fill : {false, true}) {
        SCOPED_TRACE(fill);
        Capture capture = MakeCapture(100);
        RecordingSurface surface;
        surface.surfaceWidth = 1000;
        surface.surfaceHeight = 700;
        RenderRequest request = Request(600, 400, 0, 100);
        request.originX = 120;
        request.originY = 80;
        request.paperStyle = true;
        request.fillSurface = fill;
        ScreenRenderer(capture, surface, request);

        ASSERT_FALSE(surface.ops.empty());
        const RecordedOp& background = surface.ops[0];
        EXPECT_EQ(background.kind, RecordedFill);
        EXPECT_EQ(background.colour, White);
        const std::vector<int32_t> box = {background.x1, background.y1, background.x2,
                                          background.y2};
        const std::vector<int32_t> expected =
            fill ? std::vector<int32_t>{0, 0, 1000, 700} : std::vector<int32_t>{120, 80, 600, 400};
        EXPECT_EQ(box, expected);

        const std::vector<RecordedOp> grid = surface.LinesIn({192, 192, 192});
        ASSERT_EQ(grid.size(), 20u);
        EXPECT_EQ(grid[1].x1, 170);
        EXPECT_EQ(grid[1].y1, 80);
        EXPECT_EQ(grid[1].y2, 480);
        const std::vector<RecordedOp> texts = surface.Texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0].x1, 125);
        EXPECT_EQ(texts[0].y1, 85);
    }
}

TEST(ScreenRenderer, DrawsNothingForCallerErrorsOrWhenBeginFails)
{
    struct Case {
        const char* name;
        int32_t hDivisions;
        int32_t vDivisions;
        int32_t width;
        int32_t height;
        int32_t count;
        bool failBegin;
    };
    const Case cases[] = {
        {"no samples", 12, 8, 600, 400, 0, false},
        {"negative count", 12, 8, 600, 400, -3, false},
        {"no vertical divisions", 12, 0, 600, 400, 100, false},
        {"no horizontal divisions", 0, 8, 600, 400, 100, false},
        {"no width", 12, 8, 0, 400, 100, false},
        {"no height", 12, 8, 600, 0, 100, false},
        {"begin fails", 12, 8, 600, 400, 100, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Capture capture = MakeCapture(100);
        capture.hDivisions = c.hDivisions;
        capture.vDivisions = c.vDivisions;
        RecordingSurface surface;
        surface.failBegin = c.failBegin;
        RenderRequest request = Request(c.width, c.height, 0, c.count);
        request.paperStyle = true;
        ScreenRenderer(capture, surface, request);
        EXPECT_TRUE(surface.ops.empty());
        EXPECT_EQ(surface.beginCount, 0);
        EXPECT_TRUE(surface.AllReleased());
    }

    Capture capture = MakeCapture(100);
    RecordingSurface surface;
    RenderRequest request = Request(600, 400, 0, 100);
    request.showTrigger = true;
    request.showCursors = true;
    request.showTimeScale = true;
    ScreenRenderer(capture, surface, request);
    EXPECT_EQ(surface.beginCount, 1);
    EXPECT_EQ(surface.endCount, 1);
    EXPECT_EQ(surface.outsideDrawing, 0);
    EXPECT_EQ(surface.pens.size(), 12u);
    EXPECT_TRUE(surface.AllReleased());
}

TEST(ScreenRenderer, ViewBeyondTheRecordDrawsNoTrace)
{
    struct Case {
        int32_t first;
        int32_t count;
        size_t traceLines;
    };
    const Case cases[] = {{0, 100, 99}, {90, 10, 9}, {91, 10, 0}, {-1, 10, 0}, {0, 101, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " " << c.count);
        Capture capture = MakeCapture(100);
        RecordingSurface surface;
        ScreenRenderer(capture, surface, Request(600, 400, c.first, c.count));
        EXPECT_EQ(surface.LinesIn(Ch1).size(), c.traceLines);
        EXPECT_EQ(surface.LinesIn(Grid).size(), 20u);
    }
}

// Fewer samples than a quarter of the width: one dot per sample, centred on its polyline
// point, in the trace colour; more samples draw no dots.
TEST(ScreenRenderer, SampleDotsBelowAQuarterOfTheWidth)
{
    struct Case {
        int32_t width;
        int32_t height;
        int32_t count;
        bool paper;
        int32_t radius; // -1: no dots
    };
    const Case cases[] = {
        {600, 400, 1, false, 1},    {600, 400, 10, false, 1},   {600, 400, 149, false, 1},
        {600, 400, 150, false, -1}, {600, 400, 600, false, -1}, {1200, 800, 20, true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.count);
        Capture capture = MakeCapture(1000);
        for (int32_t i = 0; i < 1000; ++i)
            capture.samples[SlotCh1][i] = std::sin(i * 0.3) * 3.0;
        RenderRequest request = Request(c.width, c.height, 20, c.count);
        request.paperStyle = c.paper;
        request.originX = 7;
        RecordingSurface surface;
        surface.surfaceWidth = c.width + 7;
        surface.surfaceHeight = c.height;
        ScreenRenderer(capture, surface, request);
        const Rgb colour = c.paper ? PaperCh1 : Ch1;
        std::vector<RecordedOp> dots;
        for (const RecordedOp& op : surface.ops)
            if (op.kind == RecordedFill && op.colour == colour) dots.push_back(op);
        if (c.radius < 0) {
            EXPECT_TRUE(dots.empty());
            continue;
        }
        ASSERT_EQ(dots.size(), static_cast<size_t>(c.count));
        const int32_t halfY = c.height / 2;
        const int32_t perDiv = c.height / 8;
        for (int32_t i = 0; i < c.count; ++i) {
            const int32_t x = static_cast<int32_t>(int64_t{c.width} * i / c.count);
            const int32_t y = TraceRow(capture.samples[SlotCh1][20 + i], halfY, perDiv);
            EXPECT_EQ(dots[i].x1, 7 + x - c.radius) << i;
            EXPECT_EQ(dots[i].y1, y - c.radius) << i;
            EXPECT_EQ(dots[i].x2, 2 * c.radius + 1);
            EXPECT_EQ(dots[i].y2, 2 * c.radius + 1);
        }
    }
}
