// SPDX-License-Identifier: GPL-3.0-or-later
// A DrawingSurface that draws nothing and logs every operation, so that tests can read
// exactly which lines, boxes and texts the renderer produced, with which pen and font.
#pragma once

#include "screen/drawing_surface.h"

#include <QString>

#include <cstdint>
#include <ostream>
#include <vector>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

enum RecordedKind : int32_t { RecordedFill = 0, RecordedLine = 1, RecordedText = 2 };

struct RecordedOp {
    int32_t kind;
    int32_t x1; // a fill's x, y, width and height are in x1, y1, x2, y2
    int32_t y1;
    int32_t x2;
    int32_t y2;
    Rgb colour;         // of the fill, the selected pen or the text
    int32_t penWidth;   // lines
    QString text;       // texts
    int32_t fontPoints; // texts: 0 for the default font
};

struct RecordedPen {
    int32_t width;
    Rgb colour;
    bool released;
};

struct RecordedFont {
    QString name;
    int32_t points;
    bool released;
};

class RecordingSurface final : public DrawingSurface {
  public:
    // Text widths: 7 pixels per character in the default font, `points` in a loaded one.
    int32_t surfaceWidth = 600;
    int32_t surfaceHeight = 400;
    bool failBegin = false;

    std::vector<RecordedOp> ops;
    std::vector<RecordedPen> pens; // handle = index + 1
    std::vector<RecordedFont> fonts;
    int32_t beginCount = 0;
    int32_t endCount = 0;
    int32_t outsideDrawing = 0; // drawing operations outside begin / end

    bool BeginDrawing() override;
    void EndDrawing() override;
    int32_t SurfaceWidth() const override { return surfaceWidth; }
    int32_t SurfaceHeight() const override { return surfaceHeight; }
    void FillBox(int32_t x, int32_t y, int32_t width, int32_t height, Rgb colour) override;
    PenHandle CreatePen(int32_t style, int32_t width, Rgb colour) override;
    void SelectPen(PenHandle pen) override { selectedPen = pen; }
    void ReleasePen(PenHandle pen) override { pens.at(pen - 1).released = true; }
    void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    FontHandle LoadFont(const QString& name, int32_t points) override;
    void SelectFont(FontHandle font) override { selectedFont = font; }
    void SelectDefaultFont() override { selectedFont = 0; }
    void ReleaseFont(FontHandle font) override { fonts.at(font - 1).released = true; }
    int32_t TextWidth(const QString& text) override;
    void DrawText(int32_t x, int32_t y, const QString& text, Rgb colour) override;

    std::vector<RecordedOp> LinesIn(Rgb colour) const;
    std::vector<RecordedOp> Texts() const;
    std::vector<QString> TextStrings() const;
    bool AllReleased() const;

  private:
    void Record(RecordedOp op);

    bool drawing = false;
    PenHandle selectedPen = 0;
    FontHandle selectedFont = 0;
};
