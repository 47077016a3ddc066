// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/measurements.h"

#include "capture/sample_sum.h"
#include "readouts/readouts.h"
#include "text/format_text.h"
#include "text/number_text.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The context of this module's texts in the translations.
struct Measurements {
    Q_DECLARE_TR_FUNCTIONS(Measurements)
};

constexpr MeasurementRow Rows[MeasurementCount] = {
    {u"max", QT_TRANSLATE_NOOP("Measurements", "Maximum"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP("Measurements", "Der größte Abtastwert im Bereich.")},
    {u"min", QT_TRANSLATE_NOOP("Measurements", "Minimum"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP("Measurements", "Der kleinste Abtastwert im Bereich.")},
    {u"pkpk", QT_TRANSLATE_NOOP("Measurements", "Spitze-Spitze"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP("Measurements",
                       "Der Unterschied zwischen dem größten und dem kleinsten Abtastwert.")},
    {u"top", QT_TRANSLATE_NOOP("Measurements", "Oberer Wert"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Der obere Zustand: der häufigste Wert der oberen Hälfte des Histogramms, oder das "
         "Maximum, wo es keinen deutlichen gibt.")},
    {u"base", QT_TRANSLATE_NOOP("Measurements", "Unterer Wert"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Der untere Zustand: der häufigste Wert der unteren Hälfte des Histogramms, oder das "
         "Minimum, wo es keinen deutlichen gibt.")},
    {u"amplitude", QT_TRANSLATE_NOOP("Measurements", "Amplitude"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP("Measurements", "Oberer Wert minus unterer Wert.")},
    {u"mean", QT_TRANSLATE_NOOP("Measurements", "Mittelwert"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP("Measurements", "Der Mittelwert aller Abtastwerte im Bereich.")},
    {u"rms", QT_TRANSLATE_NOOP("Measurements", "Effektivwert"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP("Measurements",
                       "Die Wurzel aus dem Mittel der Quadrate aller Abtastwerte im Bereich.")},
    {u"cmean", QT_TRANSLATE_NOOP("Measurements", "Zyklus-Mittelwert"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Der Mittelwert über die ganzen Perioden im Bereich, vom ersten bis zum letzten "
         "steigenden Durchgang durch den 50-%-Pegel.")},
    {u"crms", QT_TRANSLATE_NOOP("Measurements", "Zyklus-Effektivwert"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Der Effektivwert über die ganzen Perioden im Bereich, vom ersten bis zum letzten "
         "steigenden Durchgang durch den 50-%-Pegel.")},
    {u"acrms", QT_TRANSLATE_NOOP("Measurements", "Effektivwert (AC)"), u"{0Sd5}V",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Der Effektivwert nach Abzug des Mittelwerts, also der des Wechselanteils.")},
    {u"period", QT_TRANSLATE_NOOP("Measurements", "Periode"), u"{0Sd5}s",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Der mittlere Abstand aufeinanderfolgender steigender Durchgänge durch den 50-%-Pegel.")},
    {u"freq", QT_TRANSLATE_NOOP("Measurements", "Frequenz"), u"{0Sd5}Hz",
     QT_TRANSLATE_NOOP("Measurements", "Der Kehrwert der Periode.")},
    {u"rise", QT_TRANSLATE_NOOP("Measurements", "Anstiegszeit"), u"{0Sd5}s",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Die mittlere Zeit, in der eine steigende Flanke von 10 % auf 90 % der Amplitude über "
         "dem unteren Wert steigt.")},
    {u"fall", QT_TRANSLATE_NOOP("Measurements", "Abfallzeit"), u"{0Sd5}s",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Die mittlere Zeit, in der eine fallende Flanke von 90 % auf 10 % der Amplitude über "
         "dem unteren Wert fällt.")},
    {u"pwidth", QT_TRANSLATE_NOOP("Measurements", "Pulsbreite positiv"), u"{0Sd5}s",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Die mittlere Zeit über dem 50-%-Pegel, von einer steigenden bis zur folgenden fallenden "
         "Flanke.")},
    {u"nwidth", QT_TRANSLATE_NOOP("Measurements", "Pulsbreite negativ"), u"{0Sd5}s",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Die mittlere Zeit unter dem 50-%-Pegel, von einer fallenden bis zur folgenden "
         "steigenden Flanke.")},
    {u"pduty", QT_TRANSLATE_NOOP("Measurements", "Tastverhältnis positiv"), u"{0d5} %",
     QT_TRANSLATE_NOOP("Measurements", "Die positive Pulsbreite als Anteil der Periode.")},
    {u"nduty", QT_TRANSLATE_NOOP("Measurements", "Tastverhältnis negativ"), u"{0d5} %",
     QT_TRANSLATE_NOOP("Measurements", "Die negative Pulsbreite als Anteil der Periode.")},
    {u"over", QT_TRANSLATE_NOOP("Measurements", "Überschwingen"), u"{0d5} %",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Wie weit das Maximum über dem oberen Wert liegt, als Anteil der Amplitude.")},
    {u"pre", QT_TRANSLATE_NOOP("Measurements", "Vorschwingen"), u"{0d5} %",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Wie weit das Minimum unter dem unteren Wert liegt, als Anteil der Amplitude.")},
    {u"edges", QT_TRANSLATE_NOOP("Measurements", "Flanken"), u"{0d5}",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Die Zahl der steigenden und fallenden Flanken, die vom 10-%- bis zum 90-%-Pegel "
         "durchlaufen.")},
    {u"delay", QT_TRANSLATE_NOOP("Measurements", "Verzögerung"), u"{0Sd5}s",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Die mittlere Zeit von einem steigenden Durchgang von Kanal 1 durch seinen 50-%-Pegel "
         "bis zum nächsten steigenden Durchgang dieses Kanals.")},
    {u"phase", QT_TRANSLATE_NOOP("Measurements", "Phase"), u"{0d5}°",
     QT_TRANSLATE_NOOP(
         "Measurements",
         "Die Verzögerung als Winkel: Verzögerung geteilt durch die Periode von Kanal 1, mal "
         "360°.")},
};

constexpr double StepsPerDivision = 25;
constexpr size_t MaxBins = 65536;
constexpr size_t ModeBand = 2; // bins on each side of a mode that belong to its state

// One complete transition; positions are fractional sample indices of the record.
struct Edge {
    double start;  // leaves the far reference level (10 % rising, 90 % falling)
    double middle; // 50 %
    double end;    // reaches the near reference level
    int32_t segment;
    bool rising;
};

// Where the signal crosses `level` between samples i and i + 1, which lie on either side
// of it (or the second on it).
double Crossing(const std::vector<double>& v, size_t i, double level)
{
    return static_cast<double>(i) + (level - v[i]) / (v[i + 1] - v[i]);
}

// Finds the edges with hysteresis: a rising edge needs a sample at or below `low` and then
// one at or above `high`. A sample that is not finite ends a segment: no edge spans it.
std::vector<Edge> FindEdges(const std::vector<double>& v, double low, double mid, double high)
{
    enum { Unknown, Low, High } state = Unknown;
    std::vector<Edge> edges;
    int32_t segment = 0;
    size_t farExit = 0; // the last sample at the far reference level
    double midCrossing = -1;
    for (size_t i = 0; i < v.size(); ++i) {
        const double x = v[i];
        if (!std::isfinite(x)) {
            state = Unknown;
            ++segment;
            continue;
        }
        if (state == Low) {
            if (x <= low) {
                farExit = i;
                midCrossing = -1;
                continue;
            }
            if (midCrossing < 0 && x >= mid) midCrossing = Crossing(v, i - 1, mid);
            if (x < high) continue;
            edges.push_back(
                {Crossing(v, farExit, low), midCrossing, Crossing(v, i - 1, high), segment, true});
        } else if (state == High) {
            if (x >= high) {
                farExit = i;
                midCrossing = -1;
                continue;
            }
            if (midCrossing < 0 && x <= mid) midCrossing = Crossing(v, i - 1, mid);
            if (x > low) continue;
            edges.push_back(
                {Crossing(v, farExit, high), midCrossing, Crossing(v, i - 1, low), segment, false});
        } else if (x > low && x < high) {
            continue;
        }
        state = x <= low ? Low : High;
        farExit = i;
        midCrossing = -1;
    }
    return edges;
}

struct Mean {
    double sum = 0;
    int64_t count = 0;
    void Add(double value)
    {
        sum += value;
        ++count;
    }
    std::optional<double> Value() const
    {
        if (count == 0) return std::nullopt;
        return sum / static_cast<double>(count);
    }
};

struct StateLevels {
    double top;
    double base;
};

// The bins [from, to) of the clear mode of bins [lo, hi), or an empty band when there is
// none (see the header).
struct Band {
    size_t from;
    size_t to;
};

std::optional<Band> ClearMode(const std::vector<int32_t>& bins, size_t lo, size_t hi)
{
    if (lo >= hi) return std::nullopt;
    int64_t partCount = 0;
    size_t mode = lo;
    for (size_t k = lo; k < hi; ++k) {
        partCount += bins[k];
        if (bins[k] > bins[mode]) mode = k;
    }
    const size_t from = mode >= lo + ModeBand ? mode - ModeBand : lo;
    const size_t to = std::min(hi, mode + ModeBand + 1);
    int64_t bandCount = 0;
    for (size_t k = from; k < to; ++k)
        bandCount += bins[k];
    // Half of the part, and twice what an even spread over the part would put there: in a
    // part only a few steps wide, the band holds half of anything.
    const auto partBins = static_cast<int64_t>(hi - lo);
    const auto bandBins = static_cast<int64_t>(to - from);
    if (partCount == 0 || 2 * bandCount < partCount ||
        bandCount * partBins < 2 * bandBins * partCount)
        return std::nullopt;
    return Band{from, to};
}

StateLevels FindStateLevels(const std::vector<double>& v, double minimum, double maximum,
                            double voltsPerDiv)
{
    const double range = maximum - minimum;
    // A range beyond the doubles (a math trace near +-1e308) has no bins to count in.
    if (!(range > 0) || !std::isfinite(range)) return {maximum, minimum};
    double binWidth = std::fabs(voltsPerDiv) / StepsPerDivision;
    if (!(binWidth > 0) || !std::isfinite(binWidth) || range / binWidth > MaxBins - 1)
        binWidth = range / (MaxBins - 1);
    if (!(binWidth > 0)) return {maximum, minimum}; // a range too small to divide
    // Class indices are whole numbers of steps above the minimum. A channel's samples lie on
    // the grid of its steps, so rounding the quotient gives the exact step count whatever
    // the quotient's last bit; the middle of the range is then decided in integers too.
    const auto lastBin = static_cast<size_t>(std::llround(range / binWidth));
    const size_t binCount = lastBin + 1;
    const auto classOf = [&](double x) {
        return std::min(static_cast<size_t>(std::llround((x - minimum) / binWidth)), lastBin);
    };
    std::vector<int32_t> bins(binCount);
    for (const double x : v)
        if (std::isfinite(x)) ++bins[classOf(x)];
    // Class k is at or above the middle when 2 k >= lastBin.
    const size_t split = (lastBin + 1) / 2;
    const std::optional<Band> top = ClearMode(bins, split, binCount);
    const std::optional<Band> base = ClearMode(bins, 0, split);
    // A level is the mean of the samples themselves, summed exactly: a state at exactly 0 V
    // reads 0, and one at the maximum has no overshoot of a few ulps.
    SampleSum topSum;
    SampleSum baseSum;
    uint32_t topCount = 0;
    uint32_t baseCount = 0;
    if (top || base) {
        for (const double x : v) {
            if (!std::isfinite(x)) continue;
            const size_t k = classOf(x);
            if (top && k >= top->from && k < top->to) {
                topSum.Add(x);
                ++topCount;
            } else if (base && k >= base->from && k < base->to) {
                baseSum.Add(x);
                ++baseCount;
            }
        }
    }
    return {top ? topSum.Quotient(topCount) : maximum,
            base ? baseSum.Quotient(baseCount) : minimum};
}

// What one slot's samples give on their own; delay and phase need CH1 as well.
struct SlotAnalysis {
    ChannelMeasurements values;
    std::vector<Edge> edges;
};

// Samples first .. last of a slot in volts, and the extremes of the finite ones (minimum
// above maximum when there are none): what the levels and every measurement start from.
struct SlotSamples {
    std::vector<double> v;
    double minimum = INFINITY;
    double maximum = -INFINITY;
};

SlotSamples ReadSlotSamples(const Capture& capture, int32_t slot, int32_t first, int32_t last)
{
    SlotSamples samples;
    samples.v.resize(static_cast<size_t>(last - first + 1));
    for (size_t i = 0; i < samples.v.size(); ++i) {
        const double x = SampleValue(capture, slot, first + static_cast<int32_t>(i));
        samples.v[i] = x;
        if (!std::isfinite(x)) continue;
        samples.maximum = std::max(samples.maximum, x);
        samples.minimum = std::min(samples.minimum, x);
    }
    return samples;
}

SlotAnalysis AnalyseSlot(const Capture& capture, int32_t slot, int32_t first, int32_t last)
{
    SlotAnalysis result;
    std::optional<double>* out = result.values.value;
    const SlotSamples samples = ReadSlotSamples(capture, slot, first, last);
    const std::vector<double>& v = samples.v;
    const double minimum = samples.minimum;
    const double maximum = samples.maximum;
    SampleSum sum;
    SampleSum squares;
    int64_t count = 0;
    for (const double x : v) {
        if (!std::isfinite(x)) continue;
        sum.Add(x);
        squares.Add(x * x);
        ++count;
    }
    if (count == 0) return result;
    const double n = static_cast<double>(count);
    const double mean = sum.Quotient(static_cast<uint32_t>(count));
    out[MeasurementMax] = maximum;
    out[MeasurementMin] = minimum;
    out[MeasurementPeakToPeak] = maximum - minimum;
    out[MeasurementMean] = mean;
    out[MeasurementRms] = std::sqrt(squares.Total() / n);
    // From the deviations, not from rms² − mean²: a small signal on a large offset would
    // lose its digits in that difference.
    SampleSum deviations;
    for (const double x : v)
        if (std::isfinite(x)) deviations.Add((x - mean) * (x - mean));
    out[MeasurementAcRms] = std::sqrt(deviations.Total() / n);

    const StateLevels levels = FindStateLevels(v, minimum, maximum, capture.voltsPerDiv[slot]);
    const double amplitude = levels.top - levels.base;
    out[MeasurementTop] = levels.top;
    out[MeasurementBase] = levels.base;
    out[MeasurementAmplitude] = amplitude;
    out[MeasurementEdges] = 0.0;
    const double low = levels.base + 0.1 * amplitude;
    const double mid = levels.base + 0.5 * amplitude;
    const double high = levels.base + 0.9 * amplitude;
    if (!(amplitude > 0) || !(low < mid && mid < high)) return result;
    out[MeasurementOvershoot] = (maximum - levels.top) / amplitude * 100;
    out[MeasurementPreshoot] = (levels.base - minimum) / amplitude * 100;

    result.edges = FindEdges(v, low, mid, high);
    const std::vector<Edge>& edges = result.edges;
    out[MeasurementEdges] = static_cast<double>(edges.size());
    // Fractional indices to seconds, in the order SampleTime uses.
    const double secondsPerSample =
        capture.hDivisions * capture.timePerDiv / capture.samplesPerChannel;
    Mean rise;
    Mean fall;
    Mean positiveWidth;
    Mean negativeWidth;
    Mean period;
    const Edge* firstRising = nullptr;
    const Edge* lastRising = nullptr;
    const Edge* previousRising = nullptr;
    for (size_t k = 0; k < edges.size(); ++k) {
        const Edge& e = edges[k];
        (e.rising ? rise : fall).Add(e.end - e.start);
        if (k > 0 && edges[k - 1].segment == e.segment)
            (e.rising ? negativeWidth : positiveWidth).Add(e.middle - edges[k - 1].middle);
        if (!e.rising) continue;
        if (previousRising && previousRising->segment == e.segment)
            period.Add(e.middle - previousRising->middle);
        previousRising = &e;
        if (!firstRising) firstRising = &e;
        lastRising = &e;
    }
    const auto seconds = [&](const Mean& m) -> std::optional<double> {
        if (const auto value = m.Value()) return *value * secondsPerSample;
        return std::nullopt;
    };
    out[MeasurementRise] = seconds(rise);
    out[MeasurementFall] = seconds(fall);
    out[MeasurementPositiveWidth] = seconds(positiveWidth);
    out[MeasurementNegativeWidth] = seconds(negativeWidth);
    out[MeasurementPeriod] = seconds(period);
    if (const auto p = out[MeasurementPeriod]) {
        out[MeasurementFrequency] = 1 / *p;
        if (const auto w = out[MeasurementPositiveWidth])
            out[MeasurementPositiveDuty] = *w / *p * 100;
        if (const auto w = out[MeasurementNegativeWidth])
            out[MeasurementNegativeDuty] = *w / *p * 100;
    }
    if (firstRising != lastRising) {
        // The samples from the first rising mid crossing up to the last one, exclusive: the
        // whole range's sums less the head and the tail. The sums are exact, so taking
        // samples away loses nothing, and the periods in between are not read again.
        SampleSum cycleSum = sum;
        SampleSum cycleSquares = squares;
        int64_t cycleCount = count;
        const auto from = static_cast<size_t>(std::ceil(firstRising->middle));
        const auto to = static_cast<size_t>(std::ceil(lastRising->middle));
        const auto takeAway = [&](size_t i) {
            if (!std::isfinite(v[i])) return;
            cycleSum.Add(-v[i]);
            cycleSquares.Add(-(v[i] * v[i]));
            --cycleCount;
        };
        for (size_t i = 0; i < std::min(from, v.size()); ++i)
            takeAway(i);
        for (size_t i = std::max(from, to); i < v.size(); ++i)
            takeAway(i);
        if (cycleCount > 0) {
            out[MeasurementCycleMean] = cycleSum.Quotient(static_cast<uint32_t>(cycleCount));
            out[MeasurementCycleRms] =
                std::sqrt(cycleSquares.Total() / static_cast<double>(cycleCount));
        }
    }
    return result;
}

// From each rising mid crossing of the reference to the next one of the other slot.
std::optional<double> MeanDelay(const std::vector<Edge>& reference, const std::vector<Edge>& other)
{
    Mean delay;
    size_t j = 0;
    for (const Edge& r : reference) {
        if (!r.rising) continue;
        while (j < other.size() && (!other[j].rising || other[j].middle < r.middle))
            ++j;
        if (j == other.size()) break;
        delay.Add(other[j].middle - r.middle);
    }
    return delay.Value();
}

} // namespace

const MeasurementRow& MeasurementRowOf(int32_t key)
{
    return Rows[std::clamp(key, 0, MeasurementCount - 1)];
}

QString MeasurementLabel(int32_t key)
{
    return Measurements::tr(MeasurementRowOf(key).label);
}

QString MeasurementDefinition(int32_t key)
{
    return Measurements::tr(MeasurementRowOf(key).definition);
}

MeasurementTable MeasureAll(const Capture& capture, int32_t first, int32_t last)
{
    MeasurementTable table{};
    const int32_t n = capture.samplesPerChannel;
    if (n <= 0) return table;
    first = std::clamp(first, 0, n - 1);
    last = std::clamp(last, 0, n - 1);
    if (first > last) std::swap(first, last);

    std::vector<Edge> ch1Edges;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.present[slot] != 1 || !capture.samples[slot]) continue;
        table.present[slot] = 1;
        const int32_t slotLast = std::min(last, PresentSamples(capture, slot) - 1);
        if (slotLast < first) continue; // nothing of the range is in the file
        SlotAnalysis analysis = AnalyseSlot(capture, slot, first, slotLast);
        table.channels[slot] = analysis.values;
        if (slot == SlotCh1) {
            ch1Edges = std::move(analysis.edges);
            continue;
        }
        if (table.present[SlotCh1] != 1) continue;
        const std::optional<double> delay = MeanDelay(ch1Edges, analysis.edges);
        if (!delay) continue;
        std::optional<double>* out = table.channels[slot].value;
        out[MeasurementDelay] = *delay * capture.hDivisions * capture.timePerDiv / n;
        if (const auto period = table.channels[SlotCh1].value[MeasurementPeriod])
            out[MeasurementPhase] = *out[MeasurementDelay] / *period * 360;
    }
    // No value is better than a value that would print as NaN or infinity.
    for (ChannelMeasurements& channel : table.channels)
        for (std::optional<double>& value : channel.value)
            if (value && !std::isfinite(*value)) value.reset();
    return table;
}

std::optional<StateLevelPair> MeasureStateLevels(const Capture& capture, int32_t slot,
                                                 int32_t first, int32_t last)
{
    const int32_t n = capture.samplesPerChannel;
    if (n <= 0 || slot < 0 || slot >= SlotCount || capture.present[slot] != 1 ||
        !capture.samples[slot])
        return std::nullopt;
    first = std::clamp(first, 0, n - 1);
    last = std::clamp(last, 0, n - 1);
    if (first > last) std::swap(first, last);
    last = std::min(last, PresentSamples(capture, slot) - 1);
    if (last < first) return std::nullopt;
    // The same samples, extremes and histogram as AnalyseSlot, so the same levels.
    const SlotSamples samples = ReadSlotSamples(capture, slot, first, last);
    if (!(samples.minimum <= samples.maximum)) return std::nullopt;
    const StateLevels levels =
        FindStateLevels(samples.v, samples.minimum, samples.maximum, capture.voltsPerDiv[slot]);
    if (!std::isfinite(levels.top) || !std::isfinite(levels.base)) return std::nullopt;
    return StateLevelPair{levels.top, levels.base};
}

QString MeasurementValueText(int32_t key, const std::optional<double>& value)
{
    if (!value) return QStringLiteral("---");
    return FormatText(MeasurementRowOf(key).format, *value);
}

QString MeasurementNumberText(int32_t, const std::optional<double>& value)
{
    return value ? NumberText(*value, 15, true) : QString();
}

QString MeasurementTableText(const MeasurementTable& table, bool numbers)
{
    static const char16_t* const slotKeys[SlotCount] = {u"ch1", u"ch2", u"math"};
    QString text = numbers ? QStringLiteral("key") : Measurements::tr("Messung");
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        if (table.present[slot] == 1)
            text += u'\t' + (numbers ? QString::fromUtf16(slotKeys[slot]) : ChannelName(slot));
    text += u'\n';
    for (int32_t key = 0; key < MeasurementCount; ++key) {
        const MeasurementRow& row = Rows[key];
        text += numbers ? QString::fromUtf16(row.key) : MeasurementLabel(key);
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            if (table.present[slot] != 1) continue;
            const std::optional<double>& value = table.channels[slot].value[key];
            text += u'\t' + (numbers ? MeasurementNumberText(key, value)
                                     : MeasurementValueText(key, value));
        }
        text += u'\n';
    }
    return text;
}
