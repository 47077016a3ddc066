// SPDX-License-Identifier: GPL-3.0-or-later
// The decode strip: boxes on the scope screen's columns, the text that fits, rows, styles
// and the composed export picture.
#include "screen/decode_strip.h"
#include "screen/screen_renderer.h"
#include "support/recording_surface.h"
#include "support/test_capture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr Rgb Row0Fill{115, 210, 22};
constexpr Rgb Row1Fill{252, 175, 62};
constexpr Rgb PaperRow0Fill{205, 240, 170};

std::vector<RecordedOp> FillsIn(const RecordingSurface& surface, Rgb colour)
{
    std::vector<RecordedOp> fills;
    for (const RecordedOp& op : surface.ops)
        if (op.kind == RecordedFill && op.colour == colour) fills.push_back(op);
    return fills;
}

DecodeStripRequest Request(int32_t first, int32_t count, bool paper = false)
{
    return DecodeStripRequest{600, 20, 10, 300, first, count, paper};
}

DecodeStrip TwoRows()
{
    DecodeStrip strip;
    strip.rows = {{QStringLiteral("uart-1: RX"), 0}, {QStringLiteral("uart-1: RX bits"), 1}};
    return strip;
}

} // namespace

TEST(DecodeStripTest, BoxesSitOnTheScreenColumnsAndAreClippedToTheStrip)
{
    struct Case {
        int64_t start;
        int64_t end;
        int32_t x; // relative to the strip's origin; -1: nothing drawn
        int32_t width;
    };
    // W = 600, F = 100, C = 300: x(i) = 2 (i - 100).
    const Case cases[] = {
        {100, 160, 0, 120},   // from the first visible sample
        {50, 130, 0, 60},     // starts left of the view
        {350, 500, 500, 100}, // ends right of it
        {250, 250, 300, 2},   // no length: the columns of its one sample
        {0, 100, -1, 0},      // ends where the view begins
        {400, 900, -1, 0},    // starts where it ends
        {399, 400, 598, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
        DecodeStrip strip = TwoRows();
        strip.spans = {{c.start, c.end, 1, {QStringLiteral("x")}}};
        RecordingSurface surface;
        DrawDecodeStrip(strip, surface, Request(100, 300));
        const std::vector<RecordedOp> boxes = FillsIn(surface, Row1Fill);
        if (c.x < 0) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].x1, 10 + c.x);
        EXPECT_EQ(boxes[0].x2, c.width);
        EXPECT_EQ(boxes[0].y1, 300 + 20 + 1); // second row, inside its one-pixel margin
        EXPECT_EQ(boxes[0].y2, 18);
        EXPECT_TRUE(surface.AllReleased());
        EXPECT_EQ(surface.outsideDrawing, 0);
    }
}

TEST(DecodeStripTest, TheWidestTextThatFitsThenAnEllipsisThenNothing)
{
    // The recording surface's default font: 7 pixels per character.
    const QStringList longestFirst = {QStringLiteral("Address write: 50"), QStringLiteral("AW: 50"),
                                      QStringLiteral("50")};
    QStringList shortestFirst = longestFirst;
    std::reverse(shortestFirst.begin(), shortestFirst.end());
    struct Case {
        int32_t room;
        QString expected;
    };
    const Case cases[] = {
        {200, QStringLiteral("Address write: 50")},
        {119, QStringLiteral("Address write: 50")},
        {118, QStringLiteral("AW: 50")},
        {42, QStringLiteral("AW: 50")},
        {41, QStringLiteral("50")},
        {14, QStringLiteral("50")},
        {13, QString(QChar(0x2026))},
        {7, QString(QChar(0x2026))},
        {6, QString()},
        {0, QString()},
        {-5, QString()},
    };
    RecordingSurface surface;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.room);
        EXPECT_EQ(FittingText(surface, longestFirst, c.room), c.expected);
        EXPECT_EQ(FittingText(surface, shortestFirst, c.room), c.expected);
    }
    // A span without texts gets no ellipsis.
    EXPECT_EQ(FittingText(surface, {}, 100), QString());
    EXPECT_EQ(FittingText(surface, {QString()}, 100), QString());
}

TEST(DecodeStripTest, TextsInBoxesAreShortenedToTheBoxAndCentred)
{
    DecodeStrip strip = TwoRows();
    strip.rows[0].label.clear();
    // F = 0, C = 600: one column per sample.
    strip.spans = {{0, 400, 0, {QStringLiteral("Long annotation text"), QStringLiteral("Short")}},
                   {400, 402, 0, {QStringLiteral("Long annotation text"), QStringLiteral("S")}}};
    RecordingSurface surface;
    DrawDecodeStrip(strip, surface, Request(0, 600));
    ASSERT_FALSE(surface.fonts.empty());
    const int32_t charWidth = surface.fonts[0].points; // a loaded font: `points` per character
    std::vector<QString> boxTexts;
    for (const RecordedOp& op : surface.Texts()) {
        if (op.text == QStringLiteral("uart-1: RX bits")) continue;
        boxTexts.push_back(op.text);
        const int32_t width = static_cast<int32_t>(op.text.size()) * charWidth;
        EXPECT_EQ(op.x1, 10 + (400 - width) / 2); // centred in the first box
    }
    // The narrow box shows nothing: no text fits in two columns.
    EXPECT_EQ(boxTexts, std::vector<QString>{QStringLiteral("Long annotation text")});
}

TEST(DecodeStripTest, RowsLabelsHeightAndStyles)
{
    DecodeStrip strip = TwoRows();
    strip.spans = {{0, 100, 0, {QStringLiteral("A")}}};
    EXPECT_EQ(DecodeStripHeight(strip), 40);
    EXPECT_EQ(DecodeStripHeight(strip, 15), 30);
    EXPECT_EQ(DecodeStripHeight(DecodeStrip{}), 0);

    RecordingSurface screen;
    DrawDecodeStrip(strip, screen, Request(0, 600));
    EXPECT_EQ(FillsIn(screen, Row0Fill).size(), 1u);
    const std::vector<QString> texts = screen.TextStrings();
    EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("uart-1: RX")), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("uart-1: RX bits")),
              texts.end());
    // The rows' backgrounds cover the strip: row r at originY + 20 r.
    const std::vector<RecordedOp> rowBackgrounds = FillsIn(screen, Rgb{24, 24, 24});
    ASSERT_FALSE(rowBackgrounds.empty());
    EXPECT_EQ(rowBackgrounds[0].y1, 320);

    RecordingSurface paper;
    DrawDecodeStrip(strip, paper, Request(0, 600, true));
    EXPECT_EQ(FillsIn(paper, PaperRow0Fill).size(), 1u);
    EXPECT_TRUE(FillsIn(paper, Row0Fill).empty());
    ASSERT_FALSE(paper.ops.empty());
    EXPECT_EQ(paper.ops[0].colour, (Rgb{255, 255, 255}));

    // Nothing to draw: no rows, no width, no samples, a span on a row that is not there.
    RecordingSurface none;
    DrawDecodeStrip(DecodeStrip{}, none, Request(0, 600));
    DecodeStripRequest empty = Request(0, 0);
    DrawDecodeStrip(strip, none, empty);
    EXPECT_EQ(none.beginCount, 0);
    DecodeStrip stray = TwoRows();
    stray.spans = {{0, 100, 7, {QStringLiteral("A")}}, {0, 100, -1, {QStringLiteral("A")}}};
    RecordingSurface strayed;
    DrawDecodeStrip(stray, strayed, Request(0, 600));
    EXPECT_TRUE(FillsIn(strayed, Row0Fill).empty());
    EXPECT_TRUE(FillsIn(strayed, Row1Fill).empty());
}

TEST(DecodeStripTest, ExportPictureIsTheScreenWithTheStripBelowAtAnyRatio)
{
    Capture capture = MakeTestCapture(600, {{SlotCh1, 1.0}});
    RenderRequest request{};
    request.width = 300;
    request.height = 200;
    request.sampleCount = 600;
    DecodeStrip strip = TwoRows();
    strip.spans = {{300, 600, 0, {QStringLiteral("A")}}};

    const QImage plain = RenderScreenImage(capture, request);
    EXPECT_EQ(RenderScreenWithStrip(capture, request, DecodeStrip{}), plain);

    for (const double ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        const QImage both = RenderScreenWithStrip(capture, request, strip, ratio);
        const auto r = static_cast<int32_t>(ratio);
        ASSERT_EQ(both.width(), 300 * r);
        ASSERT_EQ(both.height(), (200 + 40) * r);
        EXPECT_DOUBLE_EQ(both.devicePixelRatio(), ratio);
        // The box of samples 300..599 fills the right half of the first strip row.
        const QRgb inside = both.pixel(225 * r, 200 * r + 10 * r + 5);
        EXPECT_EQ(qRed(inside), Row0Fill.r);
        EXPECT_EQ(qGreen(inside), Row0Fill.g);
        const QRgb left = both.pixel(75 * r, 200 * r + 10 * r + 5);
        EXPECT_NE(qGreen(left), Row0Fill.g);
    }
}
