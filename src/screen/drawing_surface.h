// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing operations that a window canvas, an off-screen image and a printer page all
// offer. The renderer draws only through these, so one implementation on QPainter serves
// every real output and a recording one lets tests read what was drawn.
#pragma once

#include <QString>

#include <cstdint>

struct Rgb {
    uint8_t r;
    uint8_t g;
    uint8_t b;
    friend bool operator==(Rgb, Rgb) = default;
};

constexpr int32_t PenSolid = 0;

// Pixels in memory that a renderer may write itself while drawing: 32-bit words 0xFFRRGGBB,
// row y at bits + y * stride, no transform, clip or blending between them and the surface.
struct RasterPixels {
    uint32_t* bits = nullptr; // null: the surface has no such memory
    int64_t stride = 0;       // in pixels
    int32_t width = 0;
    int32_t height = 0;
};

class DrawingSurface {
  public:
    using PenHandle = int32_t;  // 0 = none
    using FontHandle = int32_t; // 0 = could not be loaded

    virtual ~DrawingSurface() = default;

    // Beginning may fail; then nothing is drawn.
    virtual bool BeginDrawing() = 0;
    virtual void EndDrawing() = 0;
    virtual int32_t SurfaceWidth() const = 0;
    virtual int32_t SurfaceHeight() const = 0;

    virtual void FillBox(int32_t x, int32_t y, int32_t width, int32_t height, Rgb colour) = 0;

    virtual PenHandle CreatePen(int32_t style, int32_t width, Rgb colour) = 0;
    virtual void SelectPen(PenHandle pen) = 0;
    virtual void ReleasePen(PenHandle pen) = 0;
    virtual void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
    // `count` lines from packed (x1, y1, x2, y2) quadruples with the selected pen; the same
    // as `count` calls of Line, but one call lets a painter batch them.
    virtual void Lines(const int32_t* coordinates, int32_t count)
    {
        for (int32_t i = 0; i < count; ++i, coordinates += 4)
            Line(coordinates[0], coordinates[1], coordinates[2], coordinates[3]);
    }

    // The surface's own pixels between BeginDrawing and EndDrawing, when it has them; a
    // renderer that writes them must draw exactly what its lines would have drawn.
    virtual RasterPixels DirectPixels() { return RasterPixels{}; }

    // A font by name at a point size; the pixel height follows the display's vertical
    // resolution (96 dpi without a display), whatever the surface is.
    virtual FontHandle LoadFont(const QString& name, int32_t points) = 0;
    virtual void SelectFont(FontHandle font) = 0;
    virtual void SelectDefaultFont() = 0;
    virtual void ReleaseFont(FontHandle font) = 0;
    virtual int32_t TextWidth(const QString& text) = 0;
    // The height of a line of the selected font: the glyphs of DrawText stay within about
    // that much of the box it starts. The surface's height when it cannot tell.
    virtual int32_t LineHeight() { return SurfaceHeight(); }
    // Top-left corner at (x, y), transparent background.
    virtual void DrawText(int32_t x, int32_t y, const QString& text, Rgb colour) = 0;
};
