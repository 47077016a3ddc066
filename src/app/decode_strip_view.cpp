// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/decode_strip_view.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <limits>

DecodeStrip StripOfDecode(const DecodeResult& result)
{
    DecodeStrip strip;
    const size_t instanceCount = std::min(result.instances.size(), result.decoders.size());
    // Which (instance, row) pairs have annotations, so that empty rows (a TX line never
    // mapped, warnings that never came) take no room.
    std::vector<std::vector<char>> used(instanceCount);
    for (size_t i = 0; i < instanceCount; ++i)
        used[i].assign(result.decoders[i].rows.size(), 0);
    for (const DecodeAnnotation& annotation : result.annotations) {
        const auto i = static_cast<size_t>(annotation.instance);
        if (annotation.instance < 0 || i >= instanceCount) continue;
        if (annotation.row < 0 || static_cast<size_t>(annotation.row) >= used[i].size()) continue;
        used[i][static_cast<size_t>(annotation.row)] = 1;
    }
    std::vector<std::vector<int32_t>> stripRow(instanceCount);
    int32_t colour = 0;
    for (size_t i = 0; i < instanceCount; ++i) {
        const DecoderInfo& info = result.decoders[i];
        stripRow[i].assign(info.rows.size(), -1);
        bool any = false;
        for (char flag : used[i])
            any = any || flag != 0;
        for (size_t r = 0; r < info.rows.size(); ++r) {
            if (used[i][r] == 0 && (any || r != 0)) continue;
            stripRow[i][r] = static_cast<int32_t>(strip.rows.size());
            strip.rows.push_back(DecodeStripRow{
                result.instances[i].name + QStringLiteral(": ") + info.rows[r].desc, colour++});
        }
    }
    strip.spans.reserve(result.annotations.size());
    for (const DecodeAnnotation& annotation : result.annotations) {
        const auto i = static_cast<size_t>(annotation.instance);
        if (annotation.instance < 0 || i >= instanceCount || annotation.row < 0 ||
            static_cast<size_t>(annotation.row) >= stripRow[i].size())
            continue;
        strip.spans.push_back(DecodeStripSpan{annotation.startSample, annotation.endSample,
                                              stripRow[i][static_cast<size_t>(annotation.row)],
                                              annotation.texts});
    }
    return strip;
}

int32_t FirstSampleCentredOn(int64_t startSample, int64_t endSample, int32_t visibleCount,
                             int32_t samplesPerChannel)
{
    const int64_t last = std::max<int64_t>(0, int64_t{samplesPerChannel} - visibleCount);
    const int64_t end =
        endSample > startSample
            ? endSample
            : startSample + (startSample < std::numeric_limits<int64_t>::max() ? 1 : 0);
    // The middle of the annotation, halved before adding so that far-off samples cannot wrap.
    const int64_t middle = startSample / 2 + end / 2 + (startSample % 2 + end % 2) / 2;
    const int64_t first = middle - visibleCount / 2;
    return static_cast<int32_t>(std::clamp<int64_t>(first, 0, last));
}

DecodeStripView::DecodeStripView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(0);
}

void DecodeStripView::SetStrip(DecodeStrip newStrip)
{
    strip = std::move(newStrip);
    setFixedHeight(DecodeStripHeight(strip));
    updateGeometry();
    Redraw();
}

void DecodeStripView::SetView(int32_t width, int32_t firstSample, int32_t sampleCount)
{
    request.width = width;
    request.rowHeight = DecodeStripRowHeight;
    request.firstSample = firstSample;
    request.sampleCount = sampleCount;
    request.paperStyle = false;
    Redraw();
}

QSize DecodeStripView::sizeHint() const
{
    return QSize(std::max(0, request.width), DecodeStripHeight(strip));
}

void DecodeStripView::Redraw()
{
    image = RenderDecodeStripImage(strip, request, std::max(1.0, devicePixelRatioF()));
    update();
}

void DecodeStripView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    if (!image.isNull() && image.devicePixelRatio() != std::max(1.0, devicePixelRatioF())) {
        // Moved to a screen of another ratio: draw afresh for it next time round.
        image = RenderDecodeStripImage(strip, request, std::max(1.0, devicePixelRatioF()));
    }
    if (!image.isNull()) painter.drawImage(0, 0, image);
}
