// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/drawing_session.h"

DrawingSession::DrawingSession(DrawingSurface& target) : surface(target) {}

DrawingSession::~DrawingSession()
{
    if (begun) surface.EndDrawing();
    for (const DrawingSurface::PenHandle pen : pens)
        surface.ReleasePen(pen);
    if (font != 0) surface.ReleaseFont(font);
}

DrawingSurface::PenHandle DrawingSession::Pen(int32_t width, Rgb colour)
{
    return pens.emplace_back(surface.CreatePen(PenSolid, width, colour));
}

void DrawingSession::Font(const QString& name, int32_t points)
{
    if (font != 0) surface.ReleaseFont(font);
    font = surface.LoadFont(name, points);
}

bool DrawingSession::Begin()
{
    if (begun || !surface.BeginDrawing()) return false;
    begun = true;
    if (font != 0)
        surface.SelectFont(font);
    else
        surface.SelectDefaultFont();
    return true;
}
