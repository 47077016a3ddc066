#include "support/recording_surface.h"

bool RecordingSurface::BeginDrawing()
{
    if (failBegin) return false;
    ++beginCount;
    drawing = true;
    selectedPen = 0;
    selectedFont = 0;
    return true;
}

void RecordingSurface::EndDrawing()
{
    ++endCount;
    drawing = false;
}

void RecordingSurface::FillBox(int32_t x, int32_t y, int32_t width, int32_t height, Rgb colour)
{
    if (!drawing) ++outsideDrawing;
    RecordedOp op{};
    op.kind = RecordedFill;
    op.x1 = x;
    op.y1 = y;
    op.x2 = width;
    op.y2 = height;
    op.colour = colour;
    ops.push_back(op);
}

DrawingSurface::PenHandle RecordingSurface::CreatePen(int32_t style, int32_t width, Rgb colour)
{
    pens.push_back(RecordedPen{style, width, colour, false});
    return static_cast<PenHandle>(pens.size());
}

void RecordingSurface::SelectPen(PenHandle pen)
{
    if (!drawing) ++outsideDrawing;
    selectedPen = pen;
}

void RecordingSurface::ReleasePen(PenHandle pen)
{
    if (pen >= 1 && static_cast<size_t>(pen) <= pens.size()) pens[pen - 1].released = true;
}

void RecordingSurface::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    if (!drawing) ++outsideDrawing;
    RecordedOp op{};
    op.kind = RecordedLine;
    op.x1 = x1;
    op.y1 = y1;
    op.x2 = x2;
    op.y2 = y2;
    if (selectedPen >= 1 && static_cast<size_t>(selectedPen) <= pens.size()) {
        op.colour = pens[selectedPen - 1].colour;
        op.penWidth = pens[selectedPen - 1].width;
    }
    ops.push_back(op);
}

DrawingSurface::FontHandle RecordingSurface::LoadFont(const QString& name, int32_t points)
{
    fonts.push_back(RecordedFont{name, points, false});
    return static_cast<FontHandle>(fonts.size());
}

void RecordingSurface::SelectFont(FontHandle font)
{
    selectedFont = font;
}

void RecordingSurface::SelectDefaultFont()
{
    selectedFont = 0;
}

void RecordingSurface::ReleaseFont(FontHandle font)
{
    if (font >= 1 && static_cast<size_t>(font) <= fonts.size()) fonts[font - 1].released = true;
}

int32_t RecordingSurface::TextWidth(const QString& text)
{
    const int32_t charWidth = selectedFont >= 1 ? fonts[selectedFont - 1].points : DefaultCharWidth;
    return charWidth * static_cast<int32_t>(text.size());
}

void RecordingSurface::DrawText(int32_t x, int32_t y, const QString& text, Rgb colour)
{
    if (!drawing) ++outsideDrawing;
    RecordedOp op{};
    op.kind = RecordedText;
    op.x1 = x;
    op.y1 = y;
    op.colour = colour;
    op.text = text;
    if (selectedFont >= 1) {
        op.fontPoints = fonts[selectedFont - 1].points;
        op.fontName = fonts[selectedFont - 1].name;
    }
    ops.push_back(op);
}

std::vector<RecordedOp> RecordingSurface::LinesIn(Rgb colour) const
{
    std::vector<RecordedOp> result;
    for (const RecordedOp& op : ops)
        if (op.kind == RecordedLine && op.colour == colour) result.push_back(op);
    return result;
}

std::vector<RecordedOp> RecordingSurface::Texts() const
{
    std::vector<RecordedOp> result;
    for (const RecordedOp& op : ops)
        if (op.kind == RecordedText) result.push_back(op);
    return result;
}

std::vector<QString> RecordingSurface::TextStrings() const
{
    std::vector<QString> result;
    for (const RecordedOp& op : ops)
        if (op.kind == RecordedText) result.push_back(op.text);
    return result;
}

bool RecordingSurface::AllReleased() const
{
    for (const RecordedPen& pen : pens)
        if (!pen.released) return false;
    for (const RecordedFont& font : fonts)
        if (!font.released) return false;
    return true;
}
