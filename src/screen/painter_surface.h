// SPDX-License-Identifier: GPL-3.0-or-later
// The DrawingSurface on QPainter: one implementation for every real output, an off-screen
// QImage, a widget being painted and a printer page. Antialiasing of lines is off so that
// the screen image is pixel-exact.
#pragma once

#include "screen/drawing_surface.h"

#include <QFont>
#include <QLine>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <cstdint>
#include <vector>

// Dots per inch of the display in the vertical, the resolution through which label fonts
// turn points into pixels on every surface; 96 where there is no display.
int32_t DisplayDpiY();

class PainterSurface final : public DrawingSurface {
  public:
    // Draws on `target`: BeginDrawing opens a painter on it, EndDrawing closes it.
    explicit PainterSurface(QPaintDevice* target);
    // Draws through a painter the caller has already opened (a print preview's page, a
    // widget's paint event); its state is saved at BeginDrawing and restored at EndDrawing.
    explicit PainterSurface(QPainter* activePainter);
    ~PainterSurface() override;

    PainterSurface(const PainterSurface&) = delete;
    PainterSurface& operator=(const PainterSurface&) = delete;

    // The default label font at `scale` times its size: an image drawn in device pixels
    // for a display with that device pixel ratio keeps the labels' apparent size.
    void SetTextScale(double scale);

    bool BeginDrawing() override;
    void EndDrawing() override;
    int32_t SurfaceWidth() const override;
    int32_t SurfaceHeight() const override;

    void FillBox(int32_t x, int32_t y, int32_t width, int32_t height, Rgb colour) override;

    PenHandle CreatePen(int32_t style, int32_t width, Rgb colour) override;
    void SelectPen(PenHandle pen) override;
    void ReleasePen(PenHandle pen) override;
    void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    void Lines(const int32_t* coordinates, int32_t count) override;
    RasterPixels DirectPixels() override;

    FontHandle LoadFont(const QString& name, int32_t points) override;
    void SelectFont(FontHandle font) override;
    void SelectDefaultFont() override;
    void ReleaseFont(FontHandle font) override;
    int32_t TextWidth(const QString& text) override;
    int32_t LineHeight() override;
    void DrawText(int32_t x, int32_t y, const QString& text, Rgb colour) override;

  private:
    struct PenSlot {
        QPen pen;
        bool used;
    };
    // A 32-bit image drawn on without transform, clip or blending, where one-pixel lines are
    // written straight into memory: QPainter's line stroker pays per pixel of every vertical
    // run, and a trace of several hundred short spans would cost more than all its samples.
    using DirectTarget = RasterPixels;

    bool DirectLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    struct FontSlot {
        QFont font;
        bool used;
    };

    QPaintDevice* device;
    QPainter ownPainter;
    QPainter* painter;
    bool borrowed;
    bool drawing;
    std::vector<PenSlot> pens; // handle = index + 1
    std::vector<FontSlot> fonts;
    QFont DefaultFont() const;

    QFont currentFont;
    double textScale = 1.0;
    QPen selectedPen;    // restored after text, which draws in its own colour
    DirectTarget direct; // bits is null when every line goes through the painter
    bool directPen;      // the selected pen is one pixel wide and solid
    uint32_t directColour;
    std::vector<QLine> lineBuffer;
};
