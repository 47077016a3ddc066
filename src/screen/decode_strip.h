// SPDX-License-Identifier: GPL-3.0-or-later
// The strip of decoded bus annotations under the scope screen: one row per annotation row
// of each decoder, boxes at the screen's own columns, each with the longest of its texts
// that fits. It draws plain records, not a decode result, so that the screen library does
// not take on the decoder library: whoever decodes fills a DecodeStrip.
#pragma once

#include "capture/capture.h"
#include "screen/drawing_surface.h"
#include "screen/render_request.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct DecodeStripRow {
    QString label;       // "uart-1: RX data", drawn at the row's left end
    int32_t colourIndex; // into the strip palette, taken modulo its size
};

struct DecodeStripSpan {
    int64_t startSample; // from the record's first sample
    int64_t endSample;   // exclusive; a span with end <= start still gets one column
    int32_t row;         // index into DecodeStrip::rows
    QStringList texts;   // the alternatives, any order: the widest that fits is drawn
};

struct DecodeStrip {
    std::vector<DecodeStripRow> rows;
    std::vector<DecodeStripSpan> spans;
};

struct DecodeStripRequest {
    int32_t width;     // W: the scope screen's width, so that columns line up with it
    int32_t rowHeight; // pixels per row
    int32_t originX;   // top-left corner of the strip on the surface
    int32_t originY;
    int32_t firstSample; // F and C of the screen above
    int32_t sampleCount;
    bool paperStyle;
};

// Rows in logical pixels on the display; the paper style scales with the screen instead.
constexpr int32_t DecodeStripRowHeight = 20;

// The strip's height for `rowHeight` pixels per row: nothing at all without rows.
int32_t DecodeStripHeight(const DecodeStrip& strip, int32_t rowHeight = DecodeStripRowHeight);

// The row height of a printed strip under a scope screen `screenHeight` pixels high, so
// that its text keeps the proportion the screen's labels have.
int32_t PaperStripRowHeight(int32_t screenHeight);

// The strip request that lines up with a scope screen request: same W, F, C and style,
// directly under the screen rectangle.
DecodeStripRequest StripRequestUnder(const RenderRequest& screen, int32_t rowHeight);

// Draws the strip: row backgrounds, the boxes of the spans inside the visible samples at
// x(i) = W x (i - F) div C, their texts, and the row labels.
void DrawDecodeStrip(const DecodeStrip& strip, DrawingSurface& surface,
                     const DecodeStripRequest& request);

// The text drawn in a box `room` pixels wide (inside its padding): the widest of `texts`
// that fits, else an ellipsis when that fits, else nothing. Uses the selected font.
QString FittingText(DrawingSurface& surface, const QStringList& texts, int32_t room);

// The strip alone as an image of W x height at `ratio` device pixels per logical pixel,
// request in logical pixels (as RenderScreenImage does). Null without rows.
QImage RenderDecodeStripImage(const DecodeStrip& strip, const DecodeStripRequest& request,
                              double ratio = 1.0);

// The export picture: the scope screen as RenderScreenImage draws it, with the strip of the
// same view below it. Without strip rows it is exactly the screen image. This is the one
// call for PNG, clipboard and anything else that wants the screen as a picture.
QImage RenderScreenWithStrip(const Capture& capture, const RenderRequest& request,
                             const DecodeStrip& strip, double ratio = 1.0);
