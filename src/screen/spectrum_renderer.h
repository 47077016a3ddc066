// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a spectrum as a plot into a rectangle of a drawing surface: graticule, axis labels,
// the levels in the channel's trace colour, markers on the strongest peaks (a weaker one
// whose number would touch a stronger one's is left out) and a picked point; in the screen
// style (window, PNG, clipboard) or the paper style (printed page). With a fundamental the
// linear axis spans 0 to 11 times it (at most to Nyquist); the log axis spans every bin.
#pragma once

#include "analysis/spectrum.h"
#include "screen/drawing_surface.h"

#include <QImage>
#include <QString>

#include <cstdint>

// Vertical scale.
enum : int32_t { SpectrumScaleDbv = 0, SpectrumScaleVolts = 1 };

struct SpectrumRenderRequest {
    int32_t width; // of the whole plot with its labels, pixels
    int32_t height;
    int32_t originX;
    int32_t originY;
    bool paperStyle;
    int32_t scale;     // SpectrumScaleDbv or SpectrumScaleVolts
    bool logFrequency; // logarithmic frequency axis from the first bin above DC
    int32_t slot;      // ChannelSlot of the spectrum, for its colour and name
    int32_t markerBin; // the bin picked by a click, or -1
    QString fileName;  // shown in the label row when not empty (paper)
};

// The plot's frame within the request's rectangle and the ranges of its axes.
struct SpectrumAxes {
    int32_t left; // relative to the request's origin
    int32_t top;
    int32_t width;
    int32_t height;
    double lowFrequency; // Hz at the left edge (the first bin above DC on a log axis)
    double highFrequency;
    double topLevel; // dBV or V at the top edge
    double bottomLevel;
};

SpectrumAxes SpectrumAxesFor(const Spectrum& spectrum, const SpectrumRenderRequest& request);

// The bin nearest to column x (relative to the origin), or -1 outside the plot's frame or
// without a spectrum.
int32_t SpectrumBinAtColumn(const Spectrum& spectrum, const SpectrumRenderRequest& request,
                            int32_t x);

void SpectrumRenderer(const Spectrum& spectrum, DrawingSurface& surface,
                      const SpectrumRenderRequest& request);

// Renders into a new width x height image (Format_RGB32); a null image when it cannot be made.
QImage RenderSpectrumImage(const Spectrum& spectrum, const SpectrumRenderRequest& request);
