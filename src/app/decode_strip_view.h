// SPDX-License-Identifier: GPL-3.0-or-later
// The decode strip in the viewer: a decode result turned into the screen library's plain
// strip records, and the widget that shows the strip under a capture window's screen.
// The conversion lives here, above both the decoder module and the screen library, so
// that neither of those two depends on the other.
#pragma once

#include "decode/decode.h"
#include "screen/decode_strip.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

// One strip row per annotation row of each decoder instance that has annotations (an
// instance without any keeps its first row, so that the strip shows it ran), in instance
// order; labels "instance: row", a colour per row.
DecodeStrip StripOfDecode(const DecodeResult& result);

// The first visible sample of a view of `visibleCount` samples centred on the annotation
// start..end (end exclusive), kept inside the record of `samplesPerChannel` samples: where a
// click on a line of the "Dekodiert" table moves the view.
int32_t FirstSampleCentredOn(int64_t startSample, int64_t endSample, int32_t visibleCount,
                             int32_t samplesPerChannel);

// Shows a strip for the view of the screen above it: same width W, first sample and
// sample count. Its height is the strip's, nothing while there are no rows.
class DecodeStripView : public QWidget {
  public:
    explicit DecodeStripView(QWidget* parent);

    void SetStrip(DecodeStrip strip);
    const DecodeStrip& Strip() const { return strip; }
    // W in logical pixels (the screen image's width), F and C of the screen.
    void SetView(int32_t width, int32_t firstSample, int32_t sampleCount);
    QSize sizeHint() const override;
    const QImage& Image() const { return image; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Redraw();

    DecodeStrip strip;
    DecodeStripRequest request{};
    QImage image;
};
