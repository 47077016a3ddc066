// SPDX-License-Identifier: GPL-3.0-or-later
// The QPainter surface: real pixels of rendered images.
#include "screen/painter_surface.h"
#include "screen/screen_renderer.h"
#include "support/test_capture.h"

#include <QFontDatabase>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

namespace {

Capture MakeCapture(int32_t n, double level)
{
    Capture capture = MakeTestCapture(n, {{SlotCh1, 1.0}});
    for (int32_t i = 0; i < n; ++i)
        capture.samples[SlotCh1][i] = level;
    return capture;
}

RenderRequest Request(int32_t width, int32_t height, int32_t count)
{
    RenderRequest request{};
    request.width = width;
    request.height = height;
    request.sampleCount = count;
    return request;
}

QRgb Pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

// Pixels that differ from the background inside a box.
int32_t Ink(const QImage& image, QRect box, QRgb background)
{
    int32_t count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            count += Pixel(image, x, y) != background ? 1 : 0;
    return count;
}

} // namespace

TEST(PainterSurface, ScreenImageIsPixelExact)
{
    struct Case {
        int32_t count; // polyline and min/max path
    };
    for (const Case& c : {Case{600}, Case{6000}}) {
        SCOPED_TRACE(c.count);
        Capture capture = MakeCapture(c.count, 1.0);
        const QImage image = RenderScreenImage(capture, Request(600, 400, c.count));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.format(), QImage::Format_RGB32);

        struct Probe {
            int x;
            int y;
            QRgb colour;
        };
        const Probe probes[] = {
            {25, 75, 0x000000},   {50, 75, 0x404040},   {599, 75, 0x000000}, {25, 50, 0x404040},
            {25, 399, 0x000000},  {300, 75, 0x808080},  {25, 200, 0x008080}, {0, 150, 0x00FFFF},
            {299, 150, 0x00FFFF}, {599, 150, 0x00FFFF}, {50, 399, 0x404040},
        };
        for (const Probe& p : probes)
            EXPECT_EQ(Pixel(image, p.x, p.y), p.colour) << p.x << ", " << p.y;

        // No smoothing: below the label row every pixel has one of the palette's colours.
        const std::set<QRgb> palette = {0x000000, 0x404040, 0x808080, 0xFF00FF, 0x008080, 0x00FFFF};
        for (int y = 40; y < 400; ++y)
            for (int x = 0; x < 600; ++x)
                ASSERT_TRUE(palette.count(Pixel(image, x, y))) << x << ", " << y;
    }
}

TEST(PainterSurface, PaperPensHaveTheirWidthAndTheFrameItsPlace)
{
    // H = 800: U = 2, traces 4 pixels, frame 6 pixels centred on the edge lines.
    Capture capture = MakeCapture(1200, 1.0);
    RenderRequest request = Request(1200, 800, 1200);
    request.paperStyle = true;
    const QImage image = RenderScreenImage(capture, request);
    ASSERT_FALSE(image.isNull());
    int32_t traceRows = 0;
    for (int y = 0; y < 800; ++y)
        traceRows += Pixel(image, 620, y) == 0xFF0000 ? 1 : 0;
    EXPECT_EQ(traceRows, 4);
    EXPECT_EQ(Pixel(image, 620, 300), 0xFF0000);
    EXPECT_EQ(Pixel(image, 620, 0), 0x000000);   // top frame
    EXPECT_EQ(Pixel(image, 620, 799), 0x000000); // bottom frame
    EXPECT_EQ(Pixel(image, 0, 500), 0x000000);
    EXPECT_EQ(Pixel(image, 1199, 500), 0x000000);
    EXPECT_EQ(Pixel(image, 620, 10), 0xFFFFFF); // paper inside the frame
}

TEST(PainterSurface, BorrowedPainterDrawsTheSameAndKeepsItsState)
{
    Capture capture = MakeCapture(5000, 0.5);
    RenderRequest request = Request(600, 400, 5000);
    request.showTrigger = true;
    const QImage own = RenderScreenImage(capture, request);

    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::blue, 5));
    {
        PainterSurface surface(&painter);
        ScreenRenderer(capture, surface, request);
    }
    EXPECT_TRUE(painter.isActive());
    EXPECT_EQ(painter.pen().color(), QColor(Qt::blue));
    painter.end();
    EXPECT_EQ(image, own);

    QPainter inactive;
    PainterSurface idle(&inactive);
    EXPECT_FALSE(idle.BeginDrawing());
    QImage nothing;
    PainterSurface none(&nothing);
    EXPECT_FALSE(none.BeginDrawing());
}

TEST(PainterSurface, LabelsUseARealFont)
{
    // Without an installed font the offscreen platform draws every glyph as the same empty
    // box: equal widths and identical pictures for different characters.
    ASSERT_FALSE(QFontDatabase::families().isEmpty());
    QImage image(200, 100, QImage::Format_RGB32);
    PainterSurface surface(&image);
    ASSERT_TRUE(surface.BeginDrawing());
    EXPECT_NE(surface.TextWidth(u"iiii"_qs), surface.TextWidth(u"WWWW"_qs));
    surface.FillBox(0, 0, 200, 100, {0, 0, 0});
    surface.DrawText(10, 10, u"1"_qs, {255, 255, 255});
    surface.DrawText(60, 10, u"2"_qs, {255, 255, 255});
    surface.EndDrawing();
    const QImage one = image.copy(10, 10, 40, 40);
    const QImage two = image.copy(60, 10, 40, 40);
    EXPECT_GT(Ink(image, QRect(10, 10, 40, 40), 0), 5);
    EXPECT_GT(Ink(image, QRect(60, 10, 40, 40), 0), 5);
    EXPECT_NE(one, two);

    // The rendered label row has ink in the channel colour, starting at the margin.
    Capture capture = MakeCapture(600, -2.0);
    const QImage screen = RenderScreenImage(capture, Request(600, 400, 600));
    int32_t cyan = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x)
            cyan += Pixel(screen, x, y) == 0x00FFFF ? 1 : 0;
    EXPECT_GT(cyan, 10);
}

TEST(PainterSurface, PaperFontHeightFollowsTheDisplayNotTheSurface)
{
    // 75 points are 100 pixels at the display's 96 dpi, also on a 600 dpi surface.
    QImage screen(100, 100, QImage::Format_RGB32);
    QImage print = screen;
    print.setDotsPerMeterX(23622);
    print.setDotsPerMeterY(23622);
    int32_t widths[2] = {};
    int32_t i = 0;
    for (QImage* image : {&screen, &print}) {
        PainterSurface surface(image);
        const DrawingSurface::FontHandle font = surface.LoadFont(u"Helvetica"_qs, 75);
        ASSERT_NE(font, 0);
        surface.SelectFont(font);
        widths[i++] = surface.TextWidth(u"TIME: 500 µs/DIV"_qs);
        surface.ReleaseFont(font);
    }
    EXPECT_EQ(widths[0], widths[1]);
    EXPECT_GT(widths[0], 600); // about 16 characters of 100 pixels
    EXPECT_EQ(DisplayDpiY(), 96);
}

TEST(PainterSurface, OnePixelLinesOnImagesMatchThePainter)
{
    // A clip that covers everything sends each line through QPainter instead of the direct
    // path; axis-parallel lines must come out the same either way.
    struct Case {
        int32_t x1, y1, x2, y2;
    };
    const Case cases[] = {
        {5, 0, 5, 47},    {5, 47, 5, 0},      {0, 10, 63, 10},    {63, 10, 0, 10},
        {7, 7, 7, 7},     {-5, -50, -5, 900}, {20, -50, 20, 900}, {-900, 3, 900, 3},
        {63, -1, 63, 48}, {64, 0, 64, 47},    {0, 48, 63, 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2);
        QImage direct(64, 48, QImage::Format_RGB32);
        direct.fill(Qt::black);
        QImage painted = direct;
        {
            PainterSurface surface(&direct);
            ASSERT_TRUE(surface.BeginDrawing());
            surface.SelectPen(surface.CreatePen(PenSolid, 1, {255, 255, 0}));
            surface.Line(c.x1, c.y1, c.x2, c.y2);
            surface.EndDrawing();
        }
        {
            QPainter painter(&painted);
            painter.setClipRect(QRect(-10, -10, 100, 100));
            PainterSurface surface(&painter);
            ASSERT_TRUE(surface.BeginDrawing());
            surface.SelectPen(surface.CreatePen(PenSolid, 1, {255, 255, 0}));
            surface.Line(c.x1, c.y1, c.x2, c.y2);
            surface.EndDrawing();
        }
        EXPECT_EQ(direct, painted);
    }
}

TEST(PainterSurface, SlopedLinesAreThinExactAndClippedConsistently)
{
    // Each line drawn on a small image must equal the same line drawn whole on a large
    // image and cropped: clipping may not move a single pixel.
    std::mt19937 random(99);
    std::uniform_int_distribution<int32_t> coordinate(-300, 360);
    const Rgb white{255, 255, 255};
    for (int32_t round = 0; round < 200; ++round) {
        const int32_t x1 = coordinate(random), y1 = coordinate(random);
        const int32_t x2 = coordinate(random), y2 = coordinate(random);
        SCOPED_TRACE(testing::Message() << x1 << "," << y1 << " " << x2 << "," << y2);
        QImage small(64, 48, QImage::Format_RGB32);
        small.fill(Qt::black);
        QImage large(700, 700, QImage::Format_RGB32);
        large.fill(Qt::black);
        for (QImage* image : {&small, &large}) {
            const int32_t shift = image == &large ? 320 : 0;
            PainterSurface surface(image);
            ASSERT_TRUE(surface.BeginDrawing());
            surface.SelectPen(surface.CreatePen(PenSolid, 1, white));
            surface.Line(x1 + shift, y1 + shift, x2 + shift, y2 + shift);
            surface.EndDrawing();
        }
        ASSERT_EQ(small, large.copy(320, 320, 64, 48));

        // One pixel per step of the major axis, both ends drawn, each within half a pixel.
        const int32_t dx = x2 - x1;
        const int32_t dy = y2 - y1;
        const bool steep = std::abs(dy) >= std::abs(dx);
        int32_t lit = 0;
        for (int y = 320 + std::min(y1, y2); y <= 320 + std::max(y1, y2); ++y) {
            for (int x = 320 + std::min(x1, x2); x <= 320 + std::max(x1, x2); ++x) {
                if (Pixel(large, x, y) == 0) continue;
                ++lit;
                const double px = x - 320.0;
                const double py = y - 320.0;
                const double off = steep ? px - (x1 + (py - y1) * dx / (dy == 0 ? 1 : dy))
                                         : py - (y1 + (px - x1) * dy / (dx == 0 ? 1 : dx));
                ASSERT_LE(std::abs(off), 0.5 + 1e-9) << x << "," << y;
            }
        }
        EXPECT_EQ(lit, std::max(std::abs(dx), std::abs(dy)) + 1);
        EXPECT_NE(Pixel(large, x1 + 320, y1 + 320), 0u);
        EXPECT_NE(Pixel(large, x2 + 320, y2 + 320), 0u);
    }
}

// At a display's device pixel ratio r the image has r times the pixels each way, pens stay
// one device pixel wide and the CH1 label keeps its apparent size.
TEST(PainterSurface, PixelRatioGivesDevicePixelsAndKeepsLabelSize)
{
    Capture capture = MakeCapture(600, 1.0);
    const auto labelHeight = [](const QImage& image) {
        QRect box;
        for (int y = 0; y < image.height() / 10; ++y)
            for (int x = 0; x < image.width() / 6; ++x)
                if (Pixel(image, x, y) == 0x00FFFF) box |= QRect(x, y, 1, 1);
        return box.height();
    };
    const int plainLabel = labelHeight(RenderScreenImage(capture, Request(600, 400, 600)));
    for (double ratio : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        const QImage image = RenderScreenImage(capture, Request(600, 400, 600), ratio);
        ASSERT_EQ(image.size(), QSize(600, 400) * ratio);
        EXPECT_EQ(image.devicePixelRatio(), ratio);
        // A grid line (column) and the trace at +1 division (row): one device pixel each.
        const int gridX = image.width() / 12, y = image.height() / 16;
        const int traceY = image.height() * 3 / 8, x = image.width() / 24;
        EXPECT_EQ(std::vector<QRgb>({Pixel(image, gridX - 1, y), Pixel(image, gridX, y),
                                     Pixel(image, gridX + 1, y)}),
                  std::vector<QRgb>({0, 0x404040, 0}));
        EXPECT_EQ(std::vector<QRgb>({Pixel(image, x, traceY - 1), Pixel(image, x, traceY),
                                     Pixel(image, x, traceY + 1)}),
                  std::vector<QRgb>({0, 0x00FFFF, 0}));
        EXPECT_NEAR(labelHeight(image), plainLabel * ratio, 0.25 * plainLabel * ratio);
    }
}

// The links of a dense trace (one column across, many rows down or up) take a shortcut:
// their pixels must be those of the general rule, minor = b1 + floor((2 t db + da) / 2 da)
// from the end point with the smaller row, also where the image cuts them.
TEST(PainterSurface, LinksBetweenNeighbouringColumnsFollowTheGeneralRule)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int32_t> row(-20, 60);
    std::uniform_int_distribution<int32_t> column(-1, 64);
    for (int32_t round = 0; round < 400; ++round) {
        const int32_t x1 = column(random);
        const int32_t x2 = x1 + (round % 2 == 0 ? 1 : -1);
        const int32_t y1 = row(random);
        int32_t y2 = row(random);
        if (std::abs(y2 - y1) < 1) y2 = y1 + 1;
        SCOPED_TRACE(testing::Message() << x1 << "," << y1 << " " << x2 << "," << y2);
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::black);
        PainterSurface surface(&image);
        ASSERT_TRUE(surface.BeginDrawing());
        surface.SelectPen(surface.CreatePen(PenSolid, 1, {255, 255, 255}));
        surface.Line(x1, y1, x2, y2);
        surface.EndDrawing();

        QImage expected(64, 48, QImage::Format_RGB32);
        expected.fill(Qt::black);
        const bool down = y1 <= y2;
        const int64_t a1 = down ? y1 : y2, b1 = down ? x1 : x2;
        const int64_t da = std::abs(y2 - y1), db = (down ? x2 - x1 : x1 - x2);
        for (int64_t t = 0; t <= da; ++t) {
            const int64_t numerator = 2 * t * db + da;
            const int64_t b = b1 + (numerator >= 0 ? numerator / (2 * da)
                                                   : -((-numerator + 2 * da - 1) / (2 * da)));
            const int64_t a = a1 + t;
            if (a >= 0 && a < 48 && b >= 0 && b < 64)
                expected.setPixel(static_cast<int>(b), static_cast<int>(a), 0xFFFFFFFFu);
        }
        ASSERT_EQ(image, expected);
    }
}

namespace {

// The painter surface without its memory: every pixel comes from its lines and fills.
class LinesOnlySurface final : public DrawingSurface {
  public:
    explicit LinesOnlySurface(QImage* image) : inner(image) {}
    bool BeginDrawing() override { return inner.BeginDrawing(); }
    void EndDrawing() override { inner.EndDrawing(); }
    int32_t SurfaceWidth() const override { return inner.SurfaceWidth(); }
    int32_t SurfaceHeight() const override { return inner.SurfaceHeight(); }
    void FillBox(int32_t x, int32_t y, int32_t w, int32_t h, Rgb colour) override
    {
        inner.FillBox(x, y, w, h, colour);
    }
    PenHandle CreatePen(int32_t style, int32_t width, Rgb colour) override
    {
        return inner.CreatePen(style, width, colour);
    }
    void SelectPen(PenHandle pen) override { inner.SelectPen(pen); }
    void ReleasePen(PenHandle pen) override { inner.ReleasePen(pen); }
    void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override
    {
        inner.Line(x1, y1, x2, y2);
    }
    FontHandle LoadFont(const QString& name, int32_t points) override
    {
        return inner.LoadFont(name, points);
    }
    void SelectFont(FontHandle font) override { inner.SelectFont(font); }
    void SelectDefaultFont() override { inner.SelectDefaultFont(); }
    void ReleaseFont(FontHandle font) override { inner.ReleaseFont(font); }
    int32_t TextWidth(const QString& text) override { return inner.TextWidth(text); }
    void DrawText(int32_t x, int32_t y, const QString& text, Rgb colour) override
    {
        inner.DrawText(x, y, text, colour);
    }

  private:
    PainterSurface inner;
};

// Three noisy traces with steep edges, a zero line inside the screen and one outside.
Capture NoisyCapture(int32_t n)
{
    Capture capture = MakeTestCapture(n, {{SlotCh1, 1.0}, {SlotCh2, 1.0}, {SlotMath, 1.0}});
    std::mt19937 random(11);
    std::uniform_real_distribution<double> noise(-0.4, 0.4);
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        for (int32_t i = 0; i < n; ++i)
            capture.samples[slot][i] =
                ((i / (700 + 300 * slot)) % 2 == 0 ? 2.5 : -2.5) + slot + noise(random);
    capture.offsetDiv[SlotCh2] = -1.5;
    capture.offsetDiv[SlotMath] = 9.0;
    capture.triggerIndex = n / 3;
    return capture;
}

} // namespace

// The dense screen is written straight into the image, background and traces together; it
// must give exactly the pixels of the lines and fills, also where a row lies far off.
TEST(PainterSurface, DirectScreenEqualsTheLines)
{
    Capture capture = NoisyCapture(20000);
    struct Frame {
        int32_t width, height, first, count;
        bool labels, cursors;
        double spike; // written into sample 5000 of CH1 first (NaN and far values)
    };
    const double nan = std::nan("");
    const Frame frames[] = {
        {600, 400, 0, 20000, true, false, 0.0},    {600, 400, 1000, 15000, true, true, 0.0},
        {600, 400, 1200, 14000, false, true, 1e8}, {600, 400, 4000, 9000, true, true, nan},
        {600, 400, 4000, 9000, true, false, 40.0}, {600, 400, 0, 19999, true, true, -7.0},
        {333, 241, 7, 9000, true, true, 0.0},      {1, 1, 5, 9000, false, false, 0.0},
        {2000, 7, 0, 20000, true, true, 0.0},
    };
    for (const Frame& f : frames) {
        SCOPED_TRACE(testing::Message() << f.width << "x" << f.height << " " << f.first << "+"
                                        << f.count << " " << f.spike);
        capture.samples[SlotCh1][5000] = f.spike;
        RenderRequest request = Request(f.width, f.height, f.count);
        request.firstSample = f.first;
        request.showTrigger = true;
        request.showCursors = f.cursors;
        request.cursor1 = f.first + f.count / 4;
        request.cursor2 = f.first + f.count / 2;
        request.showChannelScale = f.labels;
        request.showTimeScale = f.labels;
        const QImage direct = RenderScreenImage(capture, request);
        QImage lines(f.width, f.height, QImage::Format_RGB32);
        lines.fill(Qt::black);
        LinesOnlySurface surface(&lines);
        ScreenRenderer(capture, surface, request);
        ASSERT_EQ(direct, lines);
    }
}

// The window's kept image redraws only what changed from frame to frame; every frame must
// equal a whole redraw on a new image, through zooms and pans, deep zoom with sample dots,
// NaN gaps, far values, size and ratio changes, labels and markers that come and go.
TEST(PainterSurface, KeptScreenImageEqualsWholeRedraws)
{
    Capture loud = NoisyCapture(20000);
    for (int32_t i = 19700; i < 19800; ++i)
        loud.samples[SlotCh2][i] = std::nan("");
    // Traces that stay below the label row, which a kept frame need not draw again.
    Capture quiet = NoisyCapture(20000);
    for (double* samples : quiet.samples)
        for (int32_t i = 0; i < 20000; ++i)
            samples[i] *= 0.3;
    struct Frame {
        int32_t width, height, first, count;
        double ratio;
        bool labels, cursors, math;
        double spike; // written into sample 5000 of CH1 first
        bool quiet = false;
    };
    const Frame frames[] = {
        {600, 400, 0, 20000, 1, false, true, true, 0},
        {600, 400, 1000, 15000, 1, false, true, true, 0},  // zoom
        {600, 400, 1003, 15000, 1, false, true, true, 0},  // pan by less than a column
        {600, 400, 1003, 15000, 1, false, false, true, 0}, // cursors hidden
        {600, 400, 19690, 40, 1, false, true, true, 0},    // sample dots, NaN gap
        {600, 400, 5950, 590, 1, false, true, true, 0},    // polyline
        {600, 400, 0, 20000, 1, true, true, true, 0},      // dense again, long labels
        {600, 400, 200, 19000, 1, false, true, true, 0},   // shorter labels
        {600, 400, 200, 19000, 1, false, true, false, 0},  // MATH gone
        {600, 400, 200, 19000, 1, false, true, true, 3.0}, // a spike
        {600, 400, 200, 19000, 1, false, true, true, 1e8}, // a row far off the screen
        {600, 400, 200, 19000, 1, false, true, true, 0},
        {600, 400, 15000, 5000, 1, true, true, true, 0},  // trigger outside the view
        {600, 400, 0, 0, 1, false, true, true, 0},        // nothing to show
        {600, 400, 19000, 5000, 1, false, true, true, 0}, // beyond the record
        {600, 400, 0, 20000, 1.5, true, true, true, 0},
        {600, 400, 4000, 9000, 1.5, false, true, true, 0},
        {600, 400, 4000, 9000, 2, false, true, true, 0},
        {1000, 600, 0, 20000, 1, false, true, true, 0}, // large enough for large pages
        {1000, 600, 500, 18000, 1, false, true, true, 0},
        {1000, 600, 600, 17000, 1, false, true, true, 0},
        {333, 241, 7, 9000, 1, true, true, true, 0},
        {333, 241, 4007, 9000, 1, true, true, true, 0},
        {600, 400, 8000, 12000, 1, false, false, true, 0, true}, // trigger left of the view
        {600, 400, 8100, 11800, 1, false, false, true, 0, true},
        {600, 400, 8100, 11800, 1, false, false, true, 5.0, true}, // a spike into the labels
        {600, 400, 8200, 11700, 1, false, false, true, 0, true},
        {600, 400, 6000, 12000, 1, false, false, true, 0, true}, // trigger under the labels
        {600, 400, 8100, 11800, 1, false, false, true, 0, true},
        {600, 400, 8150, 11800, 1, false, false, true, 0, true},
        {600, 400, 8000, 12000, 1, true, false, true, 0, true}, // other labels
    };
    ScreenImage screen;
    for (const Frame& f : frames) {
        SCOPED_TRACE(testing::Message() << f.width << "x" << f.height << "@" << f.ratio << " "
                                        << f.first << "+" << f.count << " " << f.spike);
        Capture& capture = f.quiet ? quiet : loud;
        double& spiked = capture.samples[SlotCh1][f.quiet ? 9000 : 5000];
        if (spiked != f.spike) screen.ForgetSamples(); // changed in place
        spiked = f.spike;
        capture.present[SlotMath] = f.math ? 1 : 0;
        RenderRequest request = Request(f.width, f.height, f.count);
        request.firstSample = f.first;
        request.showTrigger = true;
        request.showCursors = f.cursors;
        request.cursor1 = f.first + f.count / 4;
        request.cursor2 = f.first + f.count / 2 + 1;
        request.showChannelScale = f.labels;
        request.showTimeScale = f.labels;
        const QImage& kept = screen.Render(capture, request, f.ratio);
        const QImage whole = RenderScreenImage(capture, request, f.ratio);
        ASSERT_EQ(kept, whole);
        EXPECT_EQ(kept.devicePixelRatio(), whole.devicePixelRatio());
        if (f.ratio == 1 && f.count > 0) {
            QImage lines(f.width, f.height, QImage::Format_RGB32);
            lines.fill(Qt::black);
            LinesOnlySurface surface(&lines);
            ScreenRenderer(capture, surface, request);
            ASSERT_EQ(kept, lines);
        }
    }

    // A copy the caller took of a frame keeps its pixels.
    const Capture& capture = loud;
    const RenderRequest request = Request(600, 400, 20000);
    const QImage shown = screen.Render(capture, request, 1.0);
    const QImage shownPixels = shown.copy();
    RenderRequest next = request;
    next.firstSample = 100;
    next.sampleCount = 19000;
    EXPECT_EQ(screen.Render(capture, next, 1.0), RenderScreenImage(capture, next, 1.0));
    EXPECT_EQ(shown, shownPixels);
}

// The kept image takes a column's extremes from tables of the first extremes of windows of
// samples instead of scanning; its frames must equal whole redraws, which scan. Few distinct
// values make equal extremes in different windows common (the first must win, or the link
// to the next column moves); columns of one or two samples, of just under, at and far over
// two of the longest windows; views starting inside a window; NaNs, which the scan treats
// by its own rule; and new values in the same arrays after ForgetSamples.
TEST(PainterSurface, KeptScreenImageExtremesEqualTheScan)
{
    constexpr int32_t n = 20000;
    Capture capture = MakeTestCapture(n, {{SlotCh1, 1.0}, {SlotCh2, 1.0}, {SlotMath, 1.0}});
    struct Frame {
        int32_t width, first, count;
        int32_t levels;  // values k x 2 / levels for k in -levels .. levels; 0 keeps the data
        double nanShare; // of the samples, at random
    };
    const Frame frames[] = {
        {50, 0, n, 1, 0},          {50, 37, 19900, 0, 0},    {601, 63, 19000, 0, 0},
        {600, 1, 601, 0, 0},       {600, 5, 1799, 0, 0},     {150, 129, 150 * 127, 0, 0},
        {150, 3, 150 * 128, 0, 0}, {7, 3, 19990, 0, 0},      {600, 0, n, 2, 0.01},
        {50, 11, 19000, 0, 0},     {333, 65, 9000, 0, 0},    {600, 0, n, 2, 0.3},
        {1000, 0, n, 40, 0},       {997, 1001, 17000, 0, 0}, {600, 0, n, 1, 0.001},
        {97, 64, 19000, 0, 0},     {600, 0, n, 2, 0},
    };
    std::mt19937 random(5);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    ScreenImage screen;
    for (const Frame& f : frames) {
        SCOPED_TRACE(testing::Message() << f.width << " " << f.first << "+" << f.count << " "
                                        << f.levels << " " << f.nanShare);
        if (f.levels > 0) {
            std::uniform_int_distribution<int32_t> level(-f.levels, f.levels);
            for (double* samples : capture.samples)
                for (int32_t i = 0; i < n; ++i)
                    samples[i] =
                        share(random) < f.nanShare ? std::nan("") : level(random) * 2.0 / f.levels;
            screen.ForgetSamples();
        }
        RenderRequest request = Request(f.width, 600, f.count);
        request.firstSample = f.first;
        ASSERT_EQ(screen.Render(capture, request, 1.0), RenderScreenImage(capture, request, 1.0));
    }
}
