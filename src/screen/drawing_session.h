// SPDX-License-Identifier: GPL-3.0-or-later
// The pens and the font of one drawing pass over a DrawingSurface: created before the
// surface begins, released however the pass ends, with the font selected once it has begun.
#pragma once

#include "screen/drawing_surface.h"

#include <QString>

#include <cstdint>
#include <vector>

class DrawingSession {
  public:
    explicit DrawingSession(DrawingSurface& target);
    // Ends the drawing if it began, then releases every pen and the font.
    ~DrawingSession();
    DrawingSession(const DrawingSession&) = delete;
    DrawingSession& operator=(const DrawingSession&) = delete;

    DrawingSurface::PenHandle Pen(int32_t width, Rgb colour);
    // The font for the pass; without one, or when it cannot be loaded, the default font.
    void Font(const QString& name, int32_t points);
    // Begins drawing and selects the font; false when the surface cannot draw.
    bool Begin();

  private:
    DrawingSurface& surface;
    std::vector<DrawingSurface::PenHandle> pens;
    DrawingSurface::FontHandle font = 0;
    bool begun = false;
};
