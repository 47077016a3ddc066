// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/painter_surface.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

QColor ToColor(Rgb colour)
{
    return QColor(colour.r, colour.g, colour.b);
}

} // namespace

int32_t DisplayDpiY()
{
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const double dpi = screen->logicalDotsPerInchY();
            if (dpi >= 1.0) return static_cast<int32_t>(std::lround(dpi));
        }
    }
    return 96;
}

PainterSurface::PainterSurface(QPaintDevice* target)
    : device(target), painter(&ownPainter), borrowed(false), drawing(false)
{
}

PainterSurface::PainterSurface(QPainter* activePainter)
    : device(activePainter != nullptr ? activePainter->device() : nullptr), painter(activePainter),
      borrowed(true), drawing(false)
{
}

PainterSurface::~PainterSurface()
{
    if (drawing) EndDrawing();
}

bool PainterSurface::BeginDrawing()
{
    if (drawing || painter == nullptr || device == nullptr) return false;
    if (borrowed) {
        if (!painter->isActive()) return false;
        painter->save();
    } else if (device->paintEngine() == nullptr || !painter->begin(device)) {
        return false;
    }
    // Lines must land on exact pixels; text keeps the platform's smoothing.
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBackgroundMode(Qt::TransparentMode);
    painter->setBrush(Qt::NoBrush);
    currentFont = DefaultFont();
    painter->setFont(currentFont);
    selectedPen = QPen();
    painter->setPen(selectedPen);
    directPen = false;
    direct = DirectTarget{};
    if (device->devType() == QInternal::Image && !painter->hasClipping() &&
        painter->deviceTransform().isIdentity() && painter->opacity() == 1.0 &&
        painter->compositionMode() == QPainter::CompositionMode_SourceOver) {
        auto* image = static_cast<QImage*>(device);
        const QImage::Format format = image->format();
        if ((format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
             format == QImage::Format_ARGB32_Premultiplied) &&
            image->devicePixelRatio() == 1.0) {
            // The painter has already detached the image, so these are the bits it draws in.
            direct.bits = reinterpret_cast<uint32_t*>(image->bits());
            direct.stride = image->bytesPerLine() / 4;
            direct.width = image->width();
            direct.height = image->height();
        }
    }
    drawing = true;
    return true;
}

void PainterSurface::EndDrawing()
{
    if (!drawing) return;
    drawing = false;
    if (borrowed)
        painter->restore();
    else
        painter->end();
}

int32_t PainterSurface::SurfaceWidth() const
{
    return device != nullptr ? device->width() : 0;
}

int32_t PainterSurface::SurfaceHeight() const
{
    return device != nullptr ? device->height() : 0;
}

void PainterSurface::FillBox(int32_t x, int32_t y, int32_t width, int32_t height, Rgb colour)
{
    if (!drawing) return;
    painter->fillRect(QRect(x, y, width, height), ToColor(colour));
}

DrawingSurface::PenHandle PainterSurface::CreatePen(int32_t style, int32_t width, Rgb colour)
{
    (void)style; // every pen of the renderer is solid
    // A one-pixel pen draws both end points, so a span of a single row still shows; wide
    // paper pens get round ends so that the separate segments of a trace join smoothly.
    const int32_t penWidth = std::max(1, width);
    QPen pen(ToColor(colour), penWidth, Qt::SolidLine, penWidth == 1 ? Qt::SquareCap : Qt::RoundCap,
             Qt::RoundJoin);
    for (size_t i = 0; i < pens.size(); ++i) {
        if (!pens[i].used) {
            pens[i] = PenSlot{pen, true};
            return static_cast<PenHandle>(i + 1);
        }
    }
    pens.push_back(PenSlot{pen, true});
    return static_cast<PenHandle>(pens.size());
}

void PainterSurface::SelectPen(PenHandle pen)
{
    if (!drawing || pen < 1 || static_cast<size_t>(pen) > pens.size() || !pens[pen - 1].used)
        return;
    selectedPen = pens[pen - 1].pen;
    painter->setPen(selectedPen);
    const QColor colour = selectedPen.color();
    directPen = selectedPen.width() == 1 && selectedPen.style() == Qt::SolidLine;
    directColour = 0xFF000000u | (static_cast<uint32_t>(colour.red()) << 16) |
                   (static_cast<uint32_t>(colour.green()) << 8) |
                   static_cast<uint32_t>(colour.blue());
}

void PainterSurface::ReleasePen(PenHandle pen)
{
    if (pen >= 1 && static_cast<size_t>(pen) <= pens.size()) pens[pen - 1].used = false;
}

void PainterSurface::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    if (!drawing || DirectLine(x1, y1, x2, y2)) return;
    painter->drawLine(QLine(x1, y1, x2, y2));
}

void PainterSurface::Lines(const int32_t* coordinates, int32_t count)
{
    if (!drawing || count < 1) return;
    lineBuffer.clear();
    for (int32_t i = 0; i < count; ++i, coordinates += 4) {
        if (!DirectLine(coordinates[0], coordinates[1], coordinates[2], coordinates[3]))
            lineBuffer.emplace_back(coordinates[0], coordinates[1], coordinates[2], coordinates[3]);
    }
    if (!lineBuffer.empty())
        painter->drawLines(lineBuffer.data(), static_cast<int>(lineBuffer.size()));
}

RasterPixels PainterSurface::DirectPixels()
{
    return drawing ? direct : RasterPixels{};
}

// Both end points are drawn; the pixels outside the image are skipped without visiting them.
// False when the line must go through the painter instead.
bool PainterSurface::DirectLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    if (direct.bits == nullptr || !directPen) return false;
    // Far-away end points would overflow the error terms below; such lines are rare.
    constexpr int64_t Reach = 1 << 24;
    if (std::abs(int64_t{x1}) > Reach || std::abs(int64_t{y1}) > Reach ||
        std::abs(int64_t{x2}) > Reach || std::abs(int64_t{y2}) > Reach)
        return false;

    const int32_t w = direct.width;
    const int32_t h = direct.height;
    uint32_t* const bits = direct.bits;
    const int64_t stride = direct.stride;
    const uint32_t colour = directColour;

    if (x1 == x2) {
        if (x1 < 0 || x1 >= w) return true;
        const int32_t top = std::max(std::min(y1, y2), 0);
        const int32_t bottom = std::min(std::max(y1, y2), h - 1);
        uint32_t* pixel = bits + top * stride + x1;
        for (int32_t y = top; y <= bottom; ++y, pixel += stride)
            *pixel = colour;
        return true;
    }
    if (y1 == y2) {
        if (y1 < 0 || y1 >= h) return true;
        const int32_t left = std::max(std::min(x1, x2), 0);
        const int32_t right = std::min(std::max(x1, x2), w - 1);
        if (left <= right)
            std::fill(bits + y1 * stride + left, bits + y1 * stride + right + 1, colour);
        return true;
    }

    // Walk the major axis over the part that lies inside the image; the minor coordinate is
    // the exact line rounded half up, kept as quotient and remainder so that no pixel needs
    // a division.
    const bool steep = std::abs(int64_t{y2} - y1) >= std::abs(int64_t{x2} - x1);
    int64_t a1 = steep ? y1 : x1; // major axis
    int64_t b1 = steep ? x1 : y1; // minor axis
    int64_t a2 = steep ? y2 : x2;
    int64_t b2 = steep ? x2 : y2;
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    const int64_t majorLimit = steep ? h : w;
    const int64_t minorLimit = steep ? w : h;
    const int64_t da = a2 - a1; // > 0
    const int64_t db = b2 - b1;
    const int64_t first = std::max<int64_t>(a1, 0);
    const int64_t last = std::min<int64_t>(a2, majorLimit - 1);
    if (first > last) return true;
    if (steep && (db == 1 || db == -1)) {
        // The link between neighbouring columns of a dense trace, the most frequent sloped
        // line: the rule below gives two vertical runs that meet at the middle row, written
        // here without stepping. floor((2 t db + da) / (2 da)) leaves 0 at t = ceil(da / 2)
        // when db = 1 and at t = floor(da / 2) + 1 when db = -1.
        const int64_t split = a1 + (db == 1 ? (da + 1) / 2 : da / 2 + 1);
        auto run = [&](int64_t column, int64_t top, int64_t bottom) {
            if (column < 0 || column >= minorLimit) return;
            top = std::max(top, first);
            bottom = std::min(bottom, last);
            uint32_t* pixel = bits + top * stride + column;
            for (int64_t row = top; row <= bottom; ++row, pixel += stride)
                *pixel = colour;
        };
        run(b1, a1, split - 1);
        run(b1 + db, split, a2);
        return true;
    }
    // minor(a) = b1 + floor((2 (a - a1) db + da) / (2 da))
    const int64_t denominator = 2 * da;
    const int64_t numerator = 2 * (first - a1) * db + da;
    int64_t quotient = numerator / denominator;
    int64_t remainder = numerator % denominator;
    if (remainder < 0) {
        remainder += denominator;
        --quotient;
    }
    const int64_t step = 2 * db;
    for (int64_t a = first; a <= last; ++a) {
        const int64_t b = b1 + quotient;
        if (b >= 0 && b < minorLimit) {
            if (steep)
                bits[a * stride + b] = colour;
            else
                bits[b * stride + a] = colour;
        }
        remainder += step;
        while (remainder >= denominator) {
            remainder -= denominator;
            ++quotient;
        }
        while (remainder < 0) {
            remainder += denominator;
            --quotient;
        }
    }
    return true;
}

DrawingSurface::FontHandle PainterSurface::LoadFont(const QString& name, int32_t points)
{
    if (name.isEmpty() || points < 1) return 0;
    // The pixel height follows the display, not the surface, so that on a printer page the
    // text keeps the same proportion to the screen rectangle as on the display.
    const int64_t pixels =
        std::max<int64_t>(1, std::llround(static_cast<double>(points) * DisplayDpiY() / 72.0));
    QFont font(name);
    font.setPixelSize(static_cast<int>(std::min<int64_t>(pixels, 1 << 20)));
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (!fonts[i].used) {
            fonts[i] = FontSlot{font, true};
            return static_cast<FontHandle>(i + 1);
        }
    }
    fonts.push_back(FontSlot{font, true});
    return static_cast<FontHandle>(fonts.size());
}

void PainterSurface::SelectFont(FontHandle font)
{
    if (font < 1 || static_cast<size_t>(font) > fonts.size() || !fonts[font - 1].used) return;
    currentFont = fonts[font - 1].font;
    if (drawing) painter->setFont(currentFont);
}

void PainterSurface::SetTextScale(double scale)
{
    textScale = scale > 0.0 ? scale : 1.0;
}

QFont PainterSurface::DefaultFont() const
{
    QFont font = QGuiApplication::font();
    if (textScale == 1.0) return font;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * textScale);
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * textScale))));
    return font;
}

void PainterSurface::SelectDefaultFont()
{
    currentFont = DefaultFont();
    if (drawing) painter->setFont(currentFont);
}

void PainterSurface::ReleaseFont(FontHandle font)
{
    if (font >= 1 && static_cast<size_t>(font) <= fonts.size()) fonts[font - 1].used = false;
}

int32_t PainterSurface::TextWidth(const QString& text)
{
    if (device == nullptr) return 0;
    return QFontMetrics(currentFont, device).horizontalAdvance(text);
}

int32_t PainterSurface::LineHeight()
{
    if (device == nullptr) return 0;
    return QFontMetrics(currentFont, device).height();
}

void PainterSurface::DrawText(int32_t x, int32_t y, const QString& text, Rgb colour)
{
    if (!drawing) return;
    painter->setPen(ToColor(colour));
    const QFontMetrics metrics(currentFont, device);
    painter->drawText(QPoint(x, y + metrics.ascent()), text);
    painter->setPen(selectedPen);
}
