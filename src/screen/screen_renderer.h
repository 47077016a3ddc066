// Draws the oscilloscope screen of a Capture into a rectangle of a drawing surface, in the
// screen style (window, PNG, clipboard) or the paper style (printed page, preview).
#pragma once

#include "capture/capture.h"
#include "screen/drawing_surface.h"
#include "screen/render_request.h"

#include <QImage>

void ScreenRenderer(const Capture& capture, DrawingSurface& surface, const RenderRequest& request);

// Renders into a new off-screen image of request.width x request.height (QImage::Format_RGB32).
// A null image when it cannot be created.
QImage RenderScreenImage(const Capture& capture, const RenderRequest& request);
