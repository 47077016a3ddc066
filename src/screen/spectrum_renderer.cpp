// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/spectrum_renderer.h"

#include "screen/drawing_session.h"
#include "screen/painter_surface.h"
#include "text/format_text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Palette {
    Rgb background;
    Rgb grid;
    Rgb frame;
    Rgb text;
    Rgb marker;
    Rgb pick;
    Rgb trace[SlotCount];
};

// The scope screen's colours, so that a channel looks the same in both pictures.
constexpr Palette ScreenPalette{
    {0, 0, 0},
    {64, 64, 64},
    {128, 128, 128},
    {255, 255, 255},
    {255, 255, 255},
    {255, 0, 0},
    {{0, 255, 255}, {255, 255, 0}, {255, 128, 64}},
};
constexpr Palette PaperPalette{
    {255, 255, 255},
    {192, 192, 192},
    {0, 0, 0},
    {0, 0, 0},
    {0, 0, 0},
    {0, 160, 160},
    {{255, 0, 0}, {0, 0, 255}, {255, 128, 64}},
};

// The level span of the dBV scale and its steps: 120 dB covers an 8-bit instrument's
// range with the processing gain of a long record.
constexpr double DbvSpan = 120.0;
constexpr int32_t DbvDivisions = 12;
constexpr int32_t VoltDivisions = 10;
// The default linear span in multiples of the fundamental: its tenth harmonic and a little.
constexpr double HarmonicSpan = 11.0;

// 1, 2 or 5 times a power of ten, at least `value`.
double NiceCeiling(double value)
{
    if (!(value > 0) || !std::isfinite(value)) return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {1.0, 2.0, 5.0, 10.0})
        if (step * power >= value * (1 - 1e-12)) return step * power;
    return 10.0 * power;
}

// Margins scale with the paper font; on screen the system font is about 13 pixels high.
double UnitOf(const SpectrumRenderRequest& request)
{
    return request.paperStyle ? std::max(1.0, request.height / 400.0) : 1.0;
}

double HighestLevel(const Spectrum& spectrum, bool dbv)
{
    const std::vector<double>& levels = dbv ? spectrum.dbv : spectrum.rms;
    double highest = -std::numeric_limits<double>::infinity();
    for (double level : levels)
        if (std::isfinite(level)) highest = std::max(highest, level);
    return highest;
}

class Batch {
  public:
    Batch(DrawingSurface& target, int32_t x0, int32_t y0) : surface(target), ox(x0), oy(y0) {}
    void Add(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
    {
        coordinates.insert(coordinates.end(), {ox + x1, oy + y1, ox + x2, oy + y2});
    }
    void Flush()
    {
        if (!coordinates.empty())
            surface.Lines(coordinates.data(), static_cast<int32_t>(coordinates.size() / 4));
        coordinates.clear();
    }

  private:
    DrawingSurface& surface;
    int32_t ox;
    int32_t oy;
    std::vector<int32_t> coordinates;
};

// The pixels a peak marker with its number covers, edges included.
struct MarkerBox {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    bool Overlaps(const MarkerBox& other) const
    {
        return left <= other.right && other.left <= right && top <= other.bottom &&
               other.top <= bottom;
    }
};

// Pixel places of frequencies and levels within the plot's frame.
struct Mapping {
    SpectrumAxes axes;
    bool logFrequency;
    double logLow;
    double logSpan;

    int32_t Column(double frequency) const
    {
        double t = 0.0;
        if (logFrequency)
            t = frequency > 0 ? (std::log(frequency) - logLow) / logSpan : -1.0;
        else
            t = (frequency - axes.lowFrequency) / (axes.highFrequency - axes.lowFrequency);
        return axes.left + static_cast<int32_t>(std::lround(std::clamp(t, 0.0, 1.0) * axes.width));
    }
    int32_t Row(double level) const
    {
        double t = (axes.topLevel - level) / (axes.topLevel - axes.bottomLevel);
        if (!(t >= 0)) t = std::isnan(t) ? 1.0 : 0.0;
        return axes.top + static_cast<int32_t>(std::lround(std::min(t, 1.0) * axes.height));
    }
};

Mapping MappingFor(const SpectrumAxes& axes, bool logFrequency)
{
    Mapping m{axes, logFrequency, 0.0, 1.0};
    if (logFrequency) {
        m.logLow = std::log(axes.lowFrequency);
        m.logSpan = std::log(axes.highFrequency) - m.logLow;
    }
    return m;
}

QString FrequencyText(double frequency)
{
    return FormatText(u"{0Sd5}Hz", frequency);
}

QString LevelText(double level, int32_t scale)
{
    if (scale == SpectrumScaleVolts) return FormatText(u"{0Sd5}V", level);
    const auto whole = static_cast<int32_t>(std::lround(level));
    return FormatText(u"{0} dBV", whole);
}

// Grid frequencies of the axis: multiples of a 1-2-5 step on a linear axis, 1..9 times
// each decade on a log axis. `labelled` marks those that carry a label.
void FrequencyGrid(const SpectrumAxes& axes, bool logFrequency, std::vector<double>& lines,
                   std::vector<bool>& labelled)
{
    if (!logFrequency) {
        const double step = NiceCeiling((axes.highFrequency - axes.lowFrequency) / 10.0);
        for (int32_t i = 0; i * step <= axes.highFrequency * (1 + 1e-9); ++i) {
            lines.push_back(i * step);
            labelled.push_back(true);
        }
        return;
    }
    const double decades = std::log10(axes.highFrequency / axes.lowFrequency);
    for (double decade = std::pow(10.0, std::floor(std::log10(axes.lowFrequency)));
         decade <= axes.highFrequency; decade *= 10.0) {
        for (int32_t m = 1; m <= 9; ++m) {
            const double f = m * decade;
            if (f < axes.lowFrequency * (1 - 1e-9) || f > axes.highFrequency * (1 + 1e-9)) continue;
            lines.push_back(f);
            labelled.push_back(m == 1 || (decades < 2.5 && (m == 2 || m == 5)));
        }
    }
}

} // namespace

SpectrumAxes SpectrumAxesFor(const Spectrum& spectrum, const SpectrumRenderRequest& request)
{
    const double u = UnitOf(request);
    SpectrumAxes axes{};
    axes.left = static_cast<int32_t>(64 * u);
    axes.top = static_cast<int32_t>(24 * u);
    axes.width = std::max(1, request.width - axes.left - static_cast<int32_t>(16 * u));
    axes.height = std::max(1, request.height - axes.top - static_cast<int32_t>(22 * u));

    const auto bins = static_cast<int32_t>(spectrum.rms.size());
    const double width = spectrum.binWidth > 0 ? spectrum.binWidth : 1.0;
    axes.highFrequency = std::max(BinFrequency(spectrum, bins - 1), width);
    // With a fundamental, a linear axis shows it and its harmonics (0 to 11 f0): the
    // lines that matter, not a band mostly empty above them. The log axis shows it all.
    if (!request.logFrequency && spectrum.periodic && spectrum.fundamental.frequency > 0)
        axes.highFrequency =
            std::min(axes.highFrequency,
                     std::max(HarmonicSpan * spectrum.fundamental.frequency, 2.0 * width));
    axes.lowFrequency = request.logFrequency ? width : 0.0;
    if (axes.highFrequency <= axes.lowFrequency) axes.highFrequency = 10.0 * axes.lowFrequency;

    if (request.scale == SpectrumScaleVolts) {
        axes.topLevel = NiceCeiling(HighestLevel(spectrum, false));
        axes.bottomLevel = 0.0;
    } else {
        const double highest = HighestLevel(spectrum, true);
        axes.topLevel = std::isfinite(highest) ? 10.0 * std::ceil(highest / 10.0) : 0.0;
        axes.bottomLevel = axes.topLevel - DbvSpan;
    }
    return axes;
}

int32_t SpectrumBinAtColumn(const Spectrum& spectrum, const SpectrumRenderRequest& request,
                            int32_t x)
{
    if (spectrum.status != SpectrumOk || spectrum.rms.empty()) return -1;
    const SpectrumAxes axes = SpectrumAxesFor(spectrum, request);
    if (x < axes.left || x > axes.left + axes.width) return -1;
    const double t = static_cast<double>(x - axes.left) / axes.width;
    const double frequency =
        request.logFrequency
            ? axes.lowFrequency * std::pow(axes.highFrequency / axes.lowFrequency, t)
            : axes.lowFrequency + t * (axes.highFrequency - axes.lowFrequency);
    const auto last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const double place = spectrum.binWidth > 0 ? frequency / spectrum.binWidth : 0.0;
    return std::clamp(static_cast<int32_t>(std::lround(place)), request.logFrequency ? 1 : 0,
                      std::max(last, 0));
}

void SpectrumRenderer(const Spectrum& spectrum, DrawingSurface& surface,
                      const SpectrumRenderRequest& request)
{
    if (request.width < 1 || request.height < 1) return;
    const bool paper = request.paperStyle;
    const Palette& palette = paper ? PaperPalette : ScreenPalette;
    const int32_t unit = paper ? std::max(1, request.height / 400) : 1;
    const int32_t slot = std::clamp(request.slot, 0, SlotCount - 1);

    DrawingSession session(surface);
    const DrawingSurface::PenHandle gridPen = session.Pen(unit, palette.grid);
    const DrawingSurface::PenHandle framePen = session.Pen(unit, palette.frame);
    const DrawingSurface::PenHandle tracePen =
        session.Pen(paper ? 2 * unit : 1, palette.trace[slot]);
    const DrawingSurface::PenHandle markerPen = session.Pen(unit, palette.marker);
    const DrawingSurface::PenHandle pickPen = session.Pen(unit, palette.pick);
    if (paper) session.Font(u"Helvetica"_s, std::max(1, request.height / 40));
    if (!session.Begin()) return;

    const int32_t ox = request.originX;
    const int32_t oy = request.originY;
    surface.FillBox(ox, oy, request.width, request.height, palette.background);
    const SpectrumAxes axes = SpectrumAxesFor(spectrum, request);
    const Mapping map = MappingFor(axes, request.logFrequency);
    const int32_t textHeight = surface.TextWidth(u"0"_s) * 9 / 5;
    const int32_t right = axes.left + axes.width;
    const int32_t bottom = axes.top + axes.height;
    const bool drawn = spectrum.status == SpectrumOk && !spectrum.rms.empty();
    Batch batch(surface, ox, oy);

    // Graticule and its labels.
    surface.SelectPen(gridPen);
    std::vector<double> frequencies;
    std::vector<bool> labelled;
    if (drawn) FrequencyGrid(axes, request.logFrequency, frequencies, labelled);
    for (double f : frequencies) {
        const int32_t x = map.Column(f);
        batch.Add(x, axes.top, x, bottom);
    }
    const int32_t levelDivisions =
        request.scale == SpectrumScaleVolts ? VoltDivisions : DbvDivisions;
    for (int32_t j = 1; j < levelDivisions; ++j) {
        const int32_t y = axes.top + axes.height * j / levelDivisions;
        batch.Add(axes.left, y, right, y);
    }
    batch.Flush();
    surface.SelectPen(framePen);
    batch.Add(axes.left, axes.top, right, axes.top);
    batch.Add(axes.left, bottom, right, bottom);
    batch.Add(axes.left, axes.top, axes.left, bottom);
    batch.Add(right, axes.top, right, bottom);
    batch.Flush();

    if (drawn) {
        // A linear axis labels every n-th line, n as small as lets the widest label fit, so
        // that the labels keep an even rhythm.
        if (!request.logFrequency && frequencies.size() > 1) {
            int32_t widest = 0;
            for (double f : frequencies)
                widest = std::max(widest, surface.TextWidth(FrequencyText(f)));
            const int32_t spacing =
                std::max(1, map.Column(frequencies[1]) - map.Column(frequencies[0]));
            const int32_t stride = (widest + 2 * surface.TextWidth(u" "_s) + spacing - 1) / spacing;
            for (size_t i = 0; i < labelled.size(); ++i)
                labelled[i] = i % static_cast<size_t>(std::max(stride, 1)) == 0;
        }
        int32_t labelEnd = std::numeric_limits<int32_t>::min();
        for (size_t i = 0; i < frequencies.size(); ++i) {
            if (!labelled[i]) continue;
            const QString text = FrequencyText(frequencies[i]);
            const int32_t textWidth = surface.TextWidth(text);
            const int32_t x = std::clamp(map.Column(frequencies[i]) - textWidth / 2, 0,
                                         std::max(0, request.width - textWidth));
            if (x <= labelEnd) continue; // a crowded log decade keeps its first labels
            surface.DrawText(ox + x, oy + bottom + textHeight / 5, text, palette.text);
            labelEnd = x + textWidth + surface.TextWidth(u" "_s);
        }
        for (int32_t j = 0; j <= levelDivisions; j += 2) {
            const double level =
                axes.topLevel - (axes.topLevel - axes.bottomLevel) * j / levelDivisions;
            const QString text = LevelText(level, request.scale);
            const int32_t y = axes.top + axes.height * j / levelDivisions - textHeight / 2;
            surface.DrawText(ox + axes.left - surface.TextWidth(text) - textHeight / 3,
                             oy + std::clamp(y, 0, std::max(0, request.height - textHeight)), text,
                             palette.text);
        }
    }

    // The levels: bins that share a column make one vertical span between their extremes,
    // joined to the neighbouring columns, so that a narrow peak survives any zoom.
    const bool volts = request.scale == SpectrumScaleVolts;
    if (drawn) {
        surface.SelectPen(tracePen);
        const std::vector<double>& levels = volts ? spectrum.rms : spectrum.dbv;
        const auto bins = static_cast<int32_t>(levels.size());
        int32_t columnX = 0;
        int32_t firstY = 0;
        int32_t lastY = 0;
        int32_t minY = 0;
        int32_t maxY = 0;
        int32_t previousX = -1;
        int32_t previousY = 0;
        bool open = false;
        auto closeColumn = [&] {
            if (previousX >= 0) batch.Add(previousX, previousY, columnX, firstY);
            if (minY != maxY) batch.Add(columnX, minY, columnX, maxY);
            previousX = columnX;
            previousY = lastY;
        };
        const double columnsPerBin = static_cast<double>(axes.width) * spectrum.binWidth /
                                     (axes.highFrequency - axes.lowFrequency);
        for (int32_t k = request.logFrequency ? 1 : 0; k < bins; ++k) {
            if (BinFrequency(spectrum, k) > axes.highFrequency * (1 + 1e-12)) break;
            const int32_t x =
                request.logFrequency
                    ? map.Column(BinFrequency(spectrum, k))
                    : axes.left + static_cast<int32_t>(std::lround(k * columnsPerBin));
            const int32_t y = map.Row(levels[static_cast<size_t>(k)]);
            if (open && x == columnX) {
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                lastY = y;
                continue;
            }
            if (open) closeColumn();
            open = true;
            columnX = x;
            firstY = lastY = minY = maxY = y;
        }
        if (open) closeColumn();
        if (previousX >= 0 && bins == 1) batch.Add(previousX, previousY, previousX + 1, previousY);
        batch.Flush();

        // Numbered markers above the strongest peaks. Peaks come strongest first; a weaker
        // one whose marker would touch one already drawn is left out, so that no number
        // covers another.
        surface.SelectPen(markerPen);
        const int32_t tick = std::max(4, textHeight / 2);
        std::vector<MarkerBox> taken;
        for (size_t i = 0; i < spectrum.peaks.size(); ++i) {
            const SpectrumPeak& peak = spectrum.peaks[i];
            if (request.logFrequency && peak.bin < 1) continue;
            if (BinFrequency(spectrum, peak.bin) > axes.highFrequency * (1 + 1e-12)) continue;
            const int32_t x = map.Column(BinFrequency(spectrum, peak.bin));
            const int32_t y = map.Row(levels[static_cast<size_t>(peak.bin)]) - tick / 2;
            const QString number = QString::number(i + 1);
            const int32_t numberWidth = surface.TextWidth(number);
            const int32_t textY = std::max(axes.top, y - tick - textHeight);
            const MarkerBox box{std::min(x - tick / 2, x - numberWidth / 2),
                                std::min(textY, y - tick),
                                std::max(x + tick / 2, x - numberWidth / 2 + numberWidth),
                                std::max(textY + textHeight, y)};
            if (std::any_of(taken.begin(), taken.end(),
                            [&](const MarkerBox& other) { return box.Overlaps(other); }))
                continue;
            taken.push_back(box);
            batch.Add(x, y - tick, x, y);
            batch.Add(x - tick / 2, y - tick / 2, x, y);
            batch.Add(x + tick / 2, y - tick / 2, x, y);
            surface.DrawText(ox + x - numberWidth / 2, oy + textY, number, palette.marker);
        }
        batch.Flush();
    } else {
        const QString why = SpectrumStatusText(spectrum.status);
        surface.DrawText(ox + axes.left + std::max(0, (axes.width - surface.TextWidth(why)) / 2),
                         oy + axes.top + (axes.height - textHeight) / 2, why, palette.text);
    }

    // The label row: channel, window, fundamental and THD, the picked point, the file name.
    const int32_t margin = std::max(2, request.height / 80);
    int32_t labelX = axes.left;
    const int32_t gap = 3 * surface.TextWidth(u" "_s);
    auto label = [&](const QString& text, Rgb colour) {
        surface.DrawText(ox + labelX, oy + margin, text, colour);
        labelX += surface.TextWidth(text) + gap;
    };
    static const QString names[SlotCount] = {u"CH1"_s, u"CH2"_s, u"MATH"_s};
    label(names[slot], palette.trace[slot]);
    label(SpectrumWindowName(spectrum.window), palette.text);
    if (drawn && spectrum.periodic)
        label(u"f0: "_s + FrequencyText(spectrum.fundamental.frequency), palette.text);
    if (drawn && spectrum.hasThd)
        label(FormatText(u"THD: {0d4} %", spectrum.thdPercent), palette.text);
    const auto bins = static_cast<int32_t>(spectrum.rms.size());
    if (drawn && request.markerBin >= 0 && request.markerBin < bins &&
        !(request.logFrequency && request.markerBin == 0)) {
        const double level = volts ? spectrum.rms[static_cast<size_t>(request.markerBin)]
                                   : spectrum.dbv[static_cast<size_t>(request.markerBin)];
        const int32_t x = map.Column(BinFrequency(spectrum, request.markerBin));
        const int32_t y = map.Row(level);
        surface.SelectPen(pickPen);
        batch.Add(x, axes.top, x, bottom);
        batch.Add(x - 4, y, x + 4, y);
        batch.Flush();
        const double frequency = BinFrequency(spectrum, request.markerBin);
        const QString levelText =
            volts ? FormatText(u"{0Sd5}V", level) : FormatText(u"{0d4} dBV", level);
        label(FrequencyText(frequency) + u"  "_s + levelText, palette.pick);
    }
    if (!request.fileName.isEmpty()) label(request.fileName, palette.text);
}

QImage RenderSpectrumImage(const Spectrum& spectrum, const SpectrumRenderRequest& request)
{
    if (request.width < 1 || request.height < 1) return QImage();
    QImage image(request.width, request.height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::black);
    PainterSurface surface(&image);
    SpectrumRenderer(spectrum, surface, request);
    return image;
}
