// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/recording_surface.h"

bool RecordingSurface::BeginDrawing()
{
    if (failBegin) return false;
    ++beginCount;
    drawing = true;
    return true;
}

void RecordingSurface::EndDrawing()
{
    ++endCount;
    drawing = false;
}

void RecordingSurface::Record(RecordedOp op)
{
    if (!drawing) ++outsideDrawing;
    ops.push_back(op);
}

void RecordingSurface::FillBox(int32_t x, int32_t y, int32_t width, int32_t height, Rgb colour)
{
    Record(RecordedOp{RecordedFill, x, y, width, height, colour, 0, QString(), 0});
}

DrawingSurface::PenHandle RecordingSurface::CreatePen(int32_t, int32_t width, Rgb colour)
{
    pens.push_back(RecordedPen{width, colour, false});
    return static_cast<PenHandle>(pens.size());
}

void RecordingSurface::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    const RecordedPen pen = selectedPen > 0 ? pens.at(selectedPen - 1) : RecordedPen{};
    Record(RecordedOp{RecordedLine, x1, y1, x2, y2, pen.colour, pen.width, QString(), 0});
}

DrawingSurface::FontHandle RecordingSurface::LoadFont(const QString& name, int32_t points)
{
    fonts.push_back(RecordedFont{name, points, false});
    return static_cast<FontHandle>(fonts.size());
}

int32_t RecordingSurface::TextWidth(const QString& text)
{
    const int32_t charWidth = selectedFont > 0 ? fonts.at(selectedFont - 1).points : 7;
    return charWidth * static_cast<int32_t>(text.size());
}

void RecordingSurface::DrawText(int32_t x, int32_t y, const QString& text, Rgb colour)
{
    const int32_t points = selectedFont > 0 ? fonts.at(selectedFont - 1).points : 0;
    Record(RecordedOp{RecordedText, x, y, 0, 0, colour, 0, text, points});
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
    for (const RecordedOp& op : Texts())
        result.push_back(op.text);
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
