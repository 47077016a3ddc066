// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/decode_strip.h"

#include "screen/drawing_session.h"
#include "screen/painter_surface.h"
#include "screen/screen_renderer.h"
#include "screen/view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct RowColours {
    Rgb fill;
    Rgb edge;
};

// Distinct hues; on the black screen the boxes are bright with dark text, on paper they
// are pale tints with a darker edge, so neither toner nor a dark screen swallows them.
constexpr RowColours ScreenRows[] = {
    {{115, 210, 22}, {60, 110, 10}},  {{252, 175, 62}, {140, 90, 20}},
    {{114, 159, 207}, {50, 80, 120}}, {{239, 90, 90}, {130, 30, 30}},
    {{173, 127, 168}, {92, 53, 102}}, {{252, 233, 79}, {140, 125, 20}},
    {{52, 200, 190}, {20, 100, 95}},  {{233, 185, 110}, {130, 90, 30}},
};
constexpr RowColours PaperRows[] = {
    {{205, 240, 170}, {60, 110, 10}}, {{254, 222, 175}, {140, 90, 20}},
    {{200, 220, 240}, {50, 80, 120}}, {{250, 200, 200}, {130, 30, 30}},
    {{225, 205, 222}, {92, 53, 102}}, {{254, 246, 185}, {140, 125, 20}},
    {{190, 236, 232}, {20, 100, 95}}, {{245, 222, 190}, {130, 90, 30}},
};
constexpr int32_t PaletteSize = static_cast<int32_t>(std::size(ScreenRows));

struct StripPalette {
    Rgb background[2]; // alternating rows
    Rgb label;
    Rgb boxText;
    const RowColours* rows;
};
constexpr StripPalette ScreenStrip{
    {{0, 0, 0}, {24, 24, 24}}, {255, 255, 255}, {0, 0, 0}, ScreenRows};
constexpr StripPalette PaperStrip{
    {{255, 255, 255}, {240, 240, 240}}, {0, 0, 0}, {0, 0, 0}, PaperRows};

int32_t Clamp32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// x(i) = W x (i - F) div C, floor division for samples left of the view, in 64 bits.
int64_t Column(int64_t sample, const DecodeStripRequest& request)
{
    // Offsets this far out land off the strip either way; clamping keeps the product in range.
    constexpr int64_t Far = int64_t{1} << 32;
    const int64_t offset = std::clamp<int64_t>(sample - request.firstSample, -Far, Far);
    const int64_t product = int64_t{request.width} * offset;
    int64_t q = product / request.sampleCount;
    if (product % request.sampleCount != 0 && product < 0) --q;
    return q;
}

// The font height in pixels for a row: a little over half of it, so the box keeps a margin.
int32_t TextPixels(int32_t rowHeight)
{
    return std::max(1, rowHeight * 11 / 20);
}

} // namespace

int32_t DecodeStripHeight(const DecodeStrip& strip, int32_t rowHeight)
{
    const int64_t height = static_cast<int64_t>(strip.rows.size()) * std::max(0, rowHeight);
    return Clamp32(height);
}

int32_t PaperStripRowHeight(int32_t screenHeight)
{
    return std::max(1, screenHeight / 20);
}

DecodeStripRequest StripRequestUnder(const RenderRequest& screen, int32_t rowHeight)
{
    return DecodeStripRequest{screen.width,       rowHeight,
                              screen.originX,     Clamp32(int64_t{screen.originY} + screen.height),
                              screen.firstSample, screen.sampleCount,
                              screen.paperStyle};
}

QString FittingText(DrawingSurface& surface, const QStringList& texts, int32_t room)
{
    if (room <= 0) return QString();
    QString best;
    int32_t bestWidth = -1;
    for (const QString& text : texts) {
        if (text.isEmpty()) continue;
        const int32_t width = surface.TextWidth(text);
        if (width <= room && width > bestWidth) {
            best = text;
            bestWidth = width;
        }
    }
    if (bestWidth >= 0) return best;
    const QString ellipsis(QChar(0x2026));
    bool anyText = false;
    for (const QString& text : texts)
        anyText = anyText || !text.isEmpty();
    if (anyText && surface.TextWidth(ellipsis) <= room) return ellipsis;
    return QString();
}

void DrawDecodeStrip(const DecodeStrip& strip, DrawingSurface& surface,
                     const DecodeStripRequest& request)
{
    const int32_t w = request.width;
    const int32_t rh = request.rowHeight;
    if (strip.rows.empty() || w < 1 || rh < 1 || request.sampleCount < 1) return;
    const StripPalette& palette = request.paperStyle ? PaperStrip : ScreenStrip;
    const auto rowCount = static_cast<int32_t>(strip.rows.size());

    const int32_t textPixels = TextPixels(rh);
    const int32_t points =
        std::max(1, static_cast<int32_t>(std::lround(textPixels * 72.0 / DisplayDpiY())));
    DrawingSession session(surface);
    session.Font(QStringLiteral("Sans"), points);
    DrawingSurface::PenHandle edgePens[PaletteSize];
    for (int32_t i = 0; i < PaletteSize; ++i)
        edgePens[i] = session.Pen(1, palette.rows[i].edge);
    if (!session.Begin()) return;

    const int64_t x0 = request.originX;
    const int64_t y0 = request.originY;
    auto rowTop = [&](int32_t row) { return y0 + int64_t{row} * rh; };
    for (int32_t row = 0; row < rowCount; ++row)
        surface.FillBox(Clamp32(x0), Clamp32(rowTop(row)), w, rh, palette.background[row % 2]);

    // Text sits centred in the row: DrawText takes the top edge, and a line of the font is
    // about 1.2 of its pixel size.
    const int32_t textOffset = std::max(0, (rh - textPixels * 6 / 5) / 2);
    const int32_t pad = std::max(1, rh / 8);
    const int64_t first = request.firstSample;
    const int64_t end = first + request.sampleCount;
    for (const DecodeStripSpan& span : strip.spans) {
        if (span.row < 0 || span.row >= rowCount) continue;
        const int64_t spanEnd =
            span.endSample > span.startSample
                ? span.endSample
                : span.startSample +
                      (span.startSample < std::numeric_limits<int64_t>::max() ? 1 : 0);
        if (spanEnd <= first || span.startSample >= end) continue;
        // Clipped to the strip, so that a long span's text stays in view.
        const int64_t left = std::clamp<int64_t>(Column(span.startSample, request), 0, w - 1);
        const int64_t right = std::clamp<int64_t>(Column(spanEnd, request), left + 1, w);
        const int32_t colour =
            (strip.rows[span.row].colourIndex % PaletteSize + PaletteSize) % PaletteSize;
        const RowColours& colours = palette.rows[colour];
        const int64_t top = rowTop(span.row) + 1;
        const int32_t boxHeight = std::max(1, rh - 2);
        const auto boxWidth = static_cast<int32_t>(right - left);
        surface.FillBox(Clamp32(x0 + left), Clamp32(top), boxWidth, boxHeight, colours.fill);
        if (boxWidth >= 3) {
            // An edge marks where neighbouring annotations meet.
            surface.SelectPen(edgePens[colour]);
            const int32_t bx = Clamp32(x0 + left);
            const int32_t by = Clamp32(top);
            const int32_t ex = Clamp32(x0 + right - 1);
            const int32_t ey = Clamp32(top + boxHeight - 1);
            surface.Line(bx, by, bx, ey);
            surface.Line(ex, by, ex, ey);
            surface.Line(bx, by, ex, by);
            surface.Line(bx, ey, ex, ey);
        }
        const QString text = FittingText(surface, span.texts, boxWidth - 2 * pad);
        if (text.isEmpty()) continue;
        const int32_t textWidth = surface.TextWidth(text);
        surface.DrawText(Clamp32(x0 + left + (boxWidth - textWidth) / 2),
                         Clamp32(rowTop(span.row) + textOffset), text, palette.boxText);
    }

    // Labels last, on a patch of the row's background so that they stay readable over boxes.
    for (int32_t row = 0; row < rowCount; ++row) {
        const QString& label = strip.rows[row].label;
        if (label.isEmpty()) continue;
        const int32_t labelWidth = std::min(surface.TextWidth(label) + 2 * pad, w);
        surface.FillBox(Clamp32(x0), Clamp32(rowTop(row) + 1), labelWidth, std::max(1, rh - 2),
                        palette.background[row % 2]);
        const int32_t colour =
            (strip.rows[row].colourIndex % PaletteSize + PaletteSize) % PaletteSize;
        const Rgb labelColour =
            request.paperStyle ? palette.rows[colour].edge : palette.rows[colour].fill;
        surface.DrawText(Clamp32(x0 + pad), Clamp32(rowTop(row) + textOffset), label, labelColour);
    }
}

QImage RenderDecodeStripImage(const DecodeStrip& strip, const DecodeStripRequest& request,
                              double ratio)
{
    if (!(ratio > 1.0)) ratio = 1.0;
    DecodeStripRequest device = request;
    device.width = DevicePixels(request.width, ratio);
    device.rowHeight = DevicePixels(request.rowHeight, ratio);
    device.originX = 0;
    device.originY = 0;
    const int32_t height = DecodeStripHeight(strip, device.rowHeight);
    if (device.width < 1 || height < 1) return QImage();
    QImage image(device.width, height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(request.paperStyle ? Qt::white : Qt::black);
    {
        PainterSurface surface(&image);
        DrawDecodeStrip(strip, surface, device);
    }
    if (ratio > 1.0) image.setDevicePixelRatio(ratio);
    return image;
}

QImage RenderScreenWithStrip(const Capture& capture, const RenderRequest& request,
                             const DecodeStrip& strip, double ratio)
{
    QImage screen = RenderScreenImage(capture, request, ratio);
    if (screen.isNull() || strip.rows.empty()) return screen;
    const int32_t rowHeight =
        request.paperStyle ? PaperStripRowHeight(request.height) : DecodeStripRowHeight;
    DecodeStripRequest stripRequest = StripRequestUnder(request, rowHeight);
    const QImage below = RenderDecodeStripImage(strip, stripRequest, ratio);
    if (below.isNull()) return screen;
    QImage both(screen.width(), screen.height() + below.height(), QImage::Format_RGB32);
    if (both.isNull()) return screen;
    both.fill(Qt::black);
    {
        // Both parts are in device pixels already: copy them unscaled.
        screen.setDevicePixelRatio(1.0);
        QImage stripPixels = below;
        stripPixels.setDevicePixelRatio(1.0);
        QPainter painter(&both);
        painter.drawImage(0, 0, screen);
        painter.drawImage(0, screen.height(), stripPixels);
    }
    if (ratio > 1.0) both.setDevicePixelRatio(ratio);
    return both;
}
