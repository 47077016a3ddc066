#include "screen/painter_surface.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

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
    currentFont = QGuiApplication::font();
    painter->setFont(currentFont);
    selectedPen = QPen();
    painter->setPen(selectedPen);
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
}

void PainterSurface::ReleasePen(PenHandle pen)
{
    if (pen >= 1 && static_cast<size_t>(pen) <= pens.size()) pens[pen - 1].used = false;
}

void PainterSurface::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    if (!drawing) return;
    painter->drawLine(QLine(x1, y1, x2, y2));
}

void PainterSurface::Lines(const int32_t* coordinates, int32_t count)
{
    if (!drawing || count < 1) return;
    lineBuffer.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i, coordinates += 4)
        lineBuffer[i] = QLine(coordinates[0], coordinates[1], coordinates[2], coordinates[3]);
    painter->drawLines(lineBuffer.data(), count);
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

void PainterSurface::SelectDefaultFont()
{
    currentFont = QGuiApplication::font();
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

void PainterSurface::DrawText(int32_t x, int32_t y, const QString& text, Rgb colour)
{
    if (!drawing) return;
    painter->setPen(ToColor(colour));
    const QFontMetrics metrics(currentFont, device);
    painter->drawText(QPoint(x, y + metrics.ascent()), text);
    painter->setPen(selectedPen);
}
