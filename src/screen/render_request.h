// SPDX-License-Identifier: GPL-3.0-or-later
// The inputs of one ScreenRenderer call besides the Capture and the surface.
#pragma once

#include <cstdint>

struct RenderRequest {
    int32_t width;       // W, pixels
    int32_t height;      // H, pixels
    int32_t originX;     // X0 of the screen rectangle on the surface
    int32_t originY;     // Y0
    int32_t firstSample; // F
    int32_t sampleCount; // C, at least 1 (the renderer draws nothing otherwise)
    bool paperStyle;
    bool showTrigger;
    bool showChannelScale;
    bool showTimeScale;
    bool showFileName;
    bool showCursors;
    int32_t cursor1;
    int32_t cursor2;
    bool fillSurface;
};
