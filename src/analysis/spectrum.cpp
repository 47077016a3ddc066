// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/spectrum.h"

#include "capture/sample_sum.h"
#include "text/format_text.h"
#include "text/number_text.h"

#include <QCoreApplication>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <list>
#include <numbers>

using namespace Qt::StringLiterals;

namespace {

// The context of this module's texts in the translations.
struct SpectrumAnalysis {
    Q_DECLARE_TR_FUNCTIONS(SpectrumAnalysis)
};

// Cosine-sum coefficients a0, a1, ... of w(n) = a0 - a1 cos(2 pi n / N) + a2 cos(4 pi n / N) - ...
struct CosineSum {
    int32_t terms;
    double a[5];
};

constexpr CosineSum WindowSums[SpectrumWindowCount] = {
    {1, {1.0}},
    {2, {0.5, 0.5}},
    {4, {0.35875, 0.48829, 0.14128, 0.01168}},
    {5, {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368}},
};

const CosineSum& SumOf(int32_t kind)
{
    return WindowSums[kind >= 0 && kind < SpectrumWindowCount ? kind : WindowRect];
}

// FFTW's plans are costly to make and cheap to run, so they are kept per length. The
// cursors can sweep through thousands of lengths in one session and a plan of a long
// prime length holds tables of its own size, so only the most recently used ones stay.
constexpr size_t PlanCacheSize = 16;

struct PlanEntry {
    int32_t length;
    fftw_plan plan;
};

// The transform's arrays: one pair, grown to the longest length asked for. They come from
// fftw_malloc, so every plan made on them sees the same alignment at execution.
struct TransformScratch {
    double* input = nullptr;
    fftw_complex* output = nullptr;
    int32_t capacity = 0;
    std::list<PlanEntry> plans; // most recently used first

    ~TransformScratch()
    {
        for (PlanEntry& entry : plans)
            fftw_destroy_plan(entry.plan);
        fftw_free(input);
        fftw_free(output);
    }

    bool Reserve(int32_t length)
    {
        if (length <= capacity) return true;
        auto* newInput = static_cast<double*>(fftw_malloc(sizeof(double) * length));
        auto* newOutput =
            static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (length / 2 + 1)));
        if (!newInput || !newOutput) {
            fftw_free(newInput);
            fftw_free(newOutput);
            return false;
        }
        fftw_free(input);
        fftw_free(output);
        input = newInput;
        output = newOutput;
        capacity = length;
        return true;
    }

    fftw_plan PlanFor(int32_t length)
    {
        for (auto it = plans.begin(); it != plans.end(); ++it) {
            if (it->length != length) continue;
            plans.splice(plans.begin(), plans, it);
            return it->plan;
        }
        // FFTW_ESTIMATE leaves the arrays alone and plans in microseconds; measuring would
        // take seconds for an odd length, on every new cursor distance.
        const fftw_plan plan = fftw_plan_dft_r2c_1d(length, input, output, FFTW_ESTIMATE);
        if (!plan) return nullptr;
        plans.push_front({length, plan});
        if (plans.size() > PlanCacheSize) {
            fftw_destroy_plan(plans.back().plan);
            plans.pop_back();
        }
        return plan;
    }
};

TransformScratch& Scratch()
{
    static TransformScratch scratch;
    return scratch;
}

// The last window made: the cosines cost more than the transform, and the viewer asks for
// the same window again on every refresh.
struct WindowCache {
    int32_t kind = -1;
    int32_t length = 0;
    std::vector<double> values;
    double sum = 0.0;
};

const WindowCache& CachedWindow(int32_t kind, int32_t length)
{
    static WindowCache cache;
    if (cache.kind != kind || cache.length != length) {
        cache.values = SpectrumWindowValues(kind, length);
        SampleSum sum;
        for (double w : cache.values)
            sum.Add(w);
        cache.sum = sum.Total();
        cache.kind = kind;
        cache.length = length;
    }
    return cache;
}

double Dbv(double rms)
{
    return 20.0 * std::log10(rms);
}

// sum over n = 0 .. N-1 of exp(-i 2 pi y n / N): the transform of a rectangle, y in bins.
std::complex<double> RectangleResponse(double y, int32_t n)
{
    const double s = std::sin(std::numbers::pi * y / n);
    if (std::fabs(s) < 1e-12) return {static_cast<double>(n), 0.0};
    const double magnitude = std::sin(std::numbers::pi * y) / s;
    return std::polar(magnitude, -std::numbers::pi * y * (n - 1) / n);
}

// The magnitude of the window's response to a tone `offset` bins away from a bin centre.
double WindowResponse(int32_t kind, int32_t n, double offset)
{
    const CosineSum& sum = SumOf(kind);
    std::complex<double> response{};
    for (int32_t j = 0; j < sum.terms; ++j) {
        const double c = (j == 0 ? 1.0 : (j % 2 ? -0.5 : 0.5)) * sum.a[j];
        response += c * RectangleResponse(offset - j, n);
        if (j > 0) response += c * RectangleResponse(offset + j, n);
    }
    return std::abs(response);
}

// A bin's value in the units of a tone's amplitude response: the one-sided factor that
// doubles every bin but DC and the Nyquist bin of an even length is taken out again, so
// that the window's shape compares alike on both sides of a peak near either end.
double ShapeValue(const Spectrum& spectrum, int32_t bin)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const bool single = bin == 0 || (bin == last && spectrum.sampleCount % 2 == 0);
    return spectrum.rms[static_cast<size_t>(bin)] / (single ? 1.0 : std::numbers::sqrt2);
}

// The bins on each side of a tone's bin that the fit of the window's response reads: those
// well inside its main lobe, and for the rectangle, whose lobe ends at the next bin, the
// two neighbours.
int32_t FitReach(int32_t window)
{
    return std::max(1, SpectrumMainLobeBins(window) - 1);
}

// The window's response to a tone `offset` bins from `centre`, fitted by least squares to
// the bins centre - reach .. centre + reach: sum (value - level x shape)^2 is smallest for
// level = sum(value x shape) / sum(shape^2). Returns that level (the tone's amplitude in
// bin units) and, through `residual`, the squared misfit.
double FitLevel(const Spectrum& spectrum, int32_t centre, double offset, double* residual)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const int32_t reach = FitReach(spectrum.window);
    const int32_t n = spectrum.sampleCount;
    const double peakGain = WindowResponse(spectrum.window, n, 0.0);
    double valueShape = 0;
    double shapeShape = 0;
    double valueValue = 0;
    // The bins of the DC line's own lobe hold its leakage: a tone above them is fitted to
    // the bins of its lobe that lie clear of DC.
    const int32_t lobe = SpectrumMainLobeBins(spectrum.window);
    const int32_t lowest = centre >= lobe ? lobe : 0;
    for (int32_t j = -reach; j <= reach; ++j) {
        const int32_t bin = centre + j;
        if (bin < lowest || bin > last) continue;
        const double shape = WindowResponse(spectrum.window, n, offset - j) / peakGain;
        const double value = ShapeValue(spectrum, bin);
        valueShape += value * shape;
        shapeShape += shape * shape;
        valueValue += value * value;
    }
    if (!(shapeShape > 0)) return 0.0;
    if (residual) *residual = valueValue - valueShape * valueShape / shapeShape;
    return std::max(0.0, valueShape / shapeShape);
}

SpectrumPeak PeakAt(const Spectrum& spectrum, int32_t bin, double offset, double amplitude)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const bool single = bin == 0 || (bin == last && spectrum.sampleCount % 2 == 0);
    SpectrumPeak peak{bin, (bin + offset) * spectrum.binWidth,
                      single ? amplitude : amplitude * std::numbers::sqrt2, 0.0};
    peak.dbv = Dbv(peak.rms);
    return peak;
}

// Frequency and level of the tone behind the local maximum at `bin`: the place within half a
// bin where the window's own response fits the bins of its main lobe best. All of the lobe
// is read, not the ratio of two bins: beside a tone that sits on its bin the rectangle's
// neighbours hold nothing but quantisation noise, and their ratio would move the tone.
SpectrumPeak RefinePeak(const Spectrum& spectrum, int32_t bin)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    if (bin < 1 || bin >= last || !(spectrum.rms[static_cast<size_t>(bin)] > 0))
        return PeakAt(spectrum, bin, 0.0, ShapeValue(spectrum, bin));
    const auto misfit = [&](double offset) {
        double residual = 0;
        FitLevel(spectrum, bin, offset, &residual);
        return residual;
    };
    // A coarse scan finds the basin, golden sections narrow it down.
    constexpr int32_t Steps = 20;
    double best = 0.0;
    double bestMisfit = misfit(0.0);
    for (int32_t i = 0; i <= Steps; ++i) {
        const double offset = -0.5 + static_cast<double>(i) / Steps;
        const double m = misfit(offset);
        if (m < bestMisfit) {
            bestMisfit = m;
            best = offset;
        }
    }
    double lo = std::max(-0.5, best - 1.0 / Steps);
    double hi = std::min(0.5, best + 1.0 / Steps);
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double x1 = hi - ratio * (hi - lo);
    double x2 = lo + ratio * (hi - lo);
    double m1 = misfit(x1);
    double m2 = misfit(x2);
    while (hi - lo > 1e-6) {
        if (m1 <= m2) {
            hi = x2;
            x2 = x1;
            m2 = m1;
            x1 = hi - ratio * (hi - lo);
            m1 = misfit(x1);
        } else {
            lo = x1;
            x1 = x2;
            m1 = m2;
            x2 = lo + ratio * (hi - lo);
            m2 = misfit(x2);
        }
    }
    double offset = (lo + hi) / 2;
    if (misfit(offset) > bestMisfit) offset = best;
    return PeakAt(spectrum, bin, offset, FitLevel(spectrum, bin, offset, nullptr));
}

double MedianLevel(const std::vector<double>& rms)
{
    std::vector<double> sorted = rms;
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    return *middle;
}

// A fundamental carries at least this share of the signal's AC power (-25 dB): a tone
// hidden in the DC lobe (one or two periods under a wide window) leaves only noise peaks
// outside it, and one of those must not pass for the fundamental. A pulse train of 1 %
// duty still puts -17 dB into its fundamental.
constexpr double MinimumShare = 0.00316;

// Peaks: local maxima at least PeakAboveMedianDb above the median of all bins (the noise
// floor of any signal with fewer lines than bins), and not inside the main lobe of a larger
// one, DC included. The strongest of them is the fundamental when it lies at least one main
// lobe above 0 Hz: anything closer cannot be told from the window's image of the DC level.
void FindPeaks(Spectrum& spectrum, double acPower)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const int32_t lobe = SpectrumMainLobeBins(spectrum.window);
    // Compared in amplitude units: the RMS of DC is not doubled, so next to it the window's
    // own leakage would otherwise stand higher than the DC line.
    std::vector<double> rms(spectrum.rms.size());
    for (int32_t k = 0; k <= last; ++k)
        rms[static_cast<size_t>(k)] = ShapeValue(spectrum, k);
    // The transform's rounding leaves every empty bin at about 1e-16 of the signal; local
    // maxima down there are no peaks (a flat line has none).
    SampleSum power;
    for (double value : rms)
        power.Add(value * value);
    const double floor = std::max(std::sqrt(power.Total()) * 1e-10,
                                  MedianLevel(rms) * std::pow(10.0, PeakAboveMedianDb / 20));

    std::vector<int32_t> maxima;
    if (last >= 1 && rms[0] > rms[1]) maxima.push_back(0);
    for (int32_t k = 1; k <= last; ++k) {
        if (!(rms[k] > rms[k - 1])) continue;
        if (k < last && rms[k] < rms[k + 1]) continue;
        maxima.push_back(k);
    }
    const auto stronger = [&](int32_t x, int32_t y) {
        return rms[x] != rms[y] ? rms[x] > rms[y] : x < y;
    };
    std::sort(maxima.begin(), maxima.end(), stronger);
    // The strongest maximum above 0 Hz, inside the DC lobe or not: a tone of too few periods
    // hides there, and a harmonic or noise must not be promoted in its place.
    const auto strongest = std::find_if(maxima.begin(), maxima.end(),
                                        [&](int32_t k) { return k != 0 && rms[k] > floor; });
    std::vector<int32_t> kept;
    for (const int32_t k : maxima) {
        const bool inLobe = std::any_of(kept.begin(), kept.end(),
                                        [&](int32_t other) { return std::abs(other - k) < lobe; });
        if (inLobe) continue;
        kept.push_back(k); // DC as well: its lobe hides what the window leaks next to it
        if (k == 0 || !(rms[k] > floor)) continue;
        // The strongest peak is the fundamental unless it lies within L bins of 0 Hz: then
        // there is none.
        if (k == *strongest && k >= lobe && !(rms[k] * rms[k] * 2 < acPower * MinimumShare)) {
            spectrum.periodic = true;
            spectrum.fundamental = RefinePeak(spectrum, k);
        }
        if (spectrum.peaks.size() < SpectrumMaxPeaks)
            spectrum.peaks.push_back(k == spectrum.fundamental.bin && spectrum.periodic
                                         ? spectrum.fundamental
                                         : RefinePeak(spectrum, k));
    }
}

// Harmonic k is measured where it must be, at k times the fundamental's frequency: the
// window's response placed there and fitted to the bins around it, whether or not they
// hold a local maximum. That needs the fundamental two main lobes above 0 Hz; closer, the
// lobes of neighbouring harmonics overlap and would be counted twice.
void FindHarmonics(Spectrum& spectrum)
{
    if (!spectrum.periodic) return;
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const double fundamentalBins = spectrum.fundamental.frequency / spectrum.binWidth;
    // A quarter bin of slack: a tone on bin 2 L must not lose its harmonics to noise that
    // places it a hair lower.
    if (fundamentalBins < 2.0 * SpectrumMainLobeBins(spectrum.window) - 0.25) {
        spectrum.tooFewPeriods = true;
        return;
    }
    SampleSum power;
    for (int32_t k = 2; k <= HighestHarmonic; ++k) {
        const double place = k * fundamentalBins;
        // Below the Nyquist frequency, with the bins of its lobe inside the spectrum.
        if (place > last - 0.5) break;
        const auto centre = static_cast<int32_t>(std::lround(place));
        const double amplitude = FitLevel(spectrum, centre, place - centre, nullptr);
        SpectrumPeak harmonic = PeakAt(spectrum, centre, place - centre, amplitude);
        spectrum.harmonics[k - 2] = harmonic;
        spectrum.harmonicCount = k - 1;
        power.Add(harmonic.rms * harmonic.rms);
    }
    if (spectrum.harmonicCount > 0 && spectrum.fundamental.rms > 0) {
        const double ratio = std::sqrt(power.Total()) / spectrum.fundamental.rms;
        spectrum.hasThd = true;
        spectrum.thdPercent = 100.0 * ratio;
        spectrum.thdDb = Dbv(ratio);
    }
}

} // namespace

int32_t SpectrumMainLobeBins(int32_t kind)
{
    static constexpr int32_t lobes[SpectrumWindowCount] = {1, 2, 4, 5};
    return kind >= 0 && kind < SpectrumWindowCount ? lobes[kind] : 1;
}

QString TooFewPeriodsText()
{
    return SpectrumAnalysis::tr("zu wenige Perioden für dieses Fenster");
}

QString SpectrumWindowName(int32_t kind)
{
    static const char* const names[SpectrumWindowCount] = {
        QT_TRANSLATE_NOOP("SpectrumAnalysis", "Rechteck"),
        QT_TRANSLATE_NOOP("SpectrumAnalysis", "Hann"),
        QT_TRANSLATE_NOOP("SpectrumAnalysis", "Blackman-Harris"),
        QT_TRANSLATE_NOOP("SpectrumAnalysis", "Flat-Top")};
    return kind >= 0 && kind < SpectrumWindowCount ? SpectrumAnalysis::tr(names[kind]) : QString();
}

QString SpectrumStatusText(int32_t status)
{
    switch (status) {
    case SpectrumNoSamples:
        return SpectrumAnalysis::tr("Kein Spektrum: der Bereich enthält keine Abtastwerte.");
    case SpectrumNotFinite:
        return SpectrumAnalysis::tr(
            "Kein Spektrum: der Kanal enthält ungültige Werte (NaN oder unendlich).");
    case SpectrumNoTimeBase:
        return SpectrumAnalysis::tr("Kein Spektrum: die Zeitbasis der Aufnahme ist ungültig.");
    default:
        return QString();
    }
}

std::vector<double> SpectrumWindowValues(int32_t kind, int32_t length)
{
    std::vector<double> values(static_cast<size_t>(std::max(length, 0)), 1.0);
    if (length <= 1) return values;
    const CosineSum& sum = SumOf(kind);
    for (int32_t n = 0; n < length; ++n) {
        double w = sum.a[0];
        for (int32_t j = 1; j < sum.terms; ++j) {
            // The phase taken modulo the length keeps the argument small and exact.
            const int64_t turns = (int64_t{j} * n) % length;
            const double term = sum.a[j] * std::cos(2.0 * std::numbers::pi * turns / length);
            w += j % 2 ? -term : term;
        }
        values[static_cast<size_t>(n)] = w;
    }
    return values;
}

void ComputeSpectrum(Spectrum& spectrum, const double* samples, int32_t count,
                     double sampleInterval, int32_t window)
{
    spectrum = Spectrum{};
    spectrum.window = std::clamp(window, 0, SpectrumWindowCount - 1);
    spectrum.sampleCount = std::max(count, 0);
    if (count < 1 || !samples) {
        spectrum.status = SpectrumNoSamples;
        return;
    }
    if (!(sampleInterval > 0) || !std::isfinite(sampleInterval)) {
        spectrum.status = SpectrumNoTimeBase;
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) {
            spectrum.status = SpectrumNotFinite;
            return;
        }
    }
    TransformScratch& scratch = Scratch();
    const fftw_plan plan = scratch.Reserve(count) ? scratch.PlanFor(count) : nullptr;
    if (!plan) {
        spectrum.status = SpectrumNoSamples;
        return;
    }
    const WindowCache& w = CachedWindow(spectrum.window, count);
    SampleSum sum;
    for (int32_t i = 0; i < count; ++i)
        sum.Add(samples[i]);
    const double mean = sum.Quotient(static_cast<uint32_t>(count));
    // The windowed AC power in V RMS squared: a tone of RMS R gives about R^2.
    double acPower = 0;
    double windowPower = 0;
    for (int32_t i = 0; i < count; ++i) {
        const double wi = w.values[static_cast<size_t>(i)];
        scratch.input[i] = samples[i] * wi;
        acPower += (samples[i] - mean) * (samples[i] - mean) * wi * wi;
        windowPower += wi * wi;
    }
    acPower = windowPower > 0 ? acPower / windowPower : 0.0;
    fftw_execute_dft_r2c(plan, scratch.input, scratch.output);

    // A sine of amplitude A gives A / 2 x sum(w) in its bin; dividing by the sum undoes the
    // window's coherent gain, and the factor sqrt 2 turns the one-sided amplitude into RMS.
    const int32_t bins = count / 2 + 1;
    const double scale = 1.0 / w.sum;
    spectrum.binWidth = 1.0 / (count * sampleInterval);
    spectrum.rms.resize(static_cast<size_t>(bins));
    spectrum.dbv.resize(static_cast<size_t>(bins));
    for (int32_t k = 0; k < bins; ++k) {
        const double re = scratch.output[k][0];
        const double im = scratch.output[k][1];
        const double magnitude = std::sqrt(re * re + im * im) * scale;
        const bool single = k == 0 || (count % 2 == 0 && k == count / 2);
        const double rms = single ? magnitude : magnitude * std::numbers::sqrt2;
        spectrum.rms[static_cast<size_t>(k)] = rms;
        spectrum.dbv[static_cast<size_t>(k)] = Dbv(rms);
    }
    FindPeaks(spectrum, acPower);
    FindHarmonics(spectrum);
}

void ComputeCaptureSpectrum(Spectrum& spectrum, const Capture& capture, int32_t slot, int32_t first,
                            int32_t last, int32_t window)
{
    // Samples a cut file does not hold are not in the range: the spectrum is of the ones
    // that were measured.
    const int32_t n = slot >= 0 && slot < SlotCount ? PresentSamples(capture, slot) : 0;
    if (first > last) std::swap(first, last);
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    static std::vector<double> volts;
    volts.clear();
    if (slot >= 0 && slot < SlotCount && capture.samples[slot] && first <= last)
        for (int32_t i = first; i <= last; ++i)
            volts.push_back(SampleValue(capture, slot, i));
    ComputeSpectrum(spectrum, volts.data(), static_cast<int32_t>(volts.size()),
                    SampleTime(capture, 1), window);
}

int32_t CachedSpectrumPlans()
{
    return static_cast<int32_t>(Scratch().plans.size());
}

QString SpectrumReadoutText(const Spectrum& spectrum, bool volts)
{
    if (spectrum.status != SpectrumOk) return SpectrumStatusText(spectrum.status);
    const auto level = [volts](const SpectrumPeak& peak) {
        return volts ? FormatText(u"{0Sd5}Hz   {1Sd5}V", KindFloat64, &peak.frequency, KindFloat64,
                                  &peak.rms)
                     : FormatText(u"{0Sd5}Hz   {1d4} dBV", KindFloat64, &peak.frequency,
                                  KindFloat64, &peak.dbv);
    };
    QString text = SpectrumAnalysis::tr("Grundwelle: ") +
                   (spectrum.periodic ? level(spectrum.fundamental) : u"---"_s);
    text += u"\r\n"_s;
    if (spectrum.periodic && spectrum.tooFewPeriods) {
        text += SpectrumAnalysis::tr("Oberwellen: ---") + u"\r\nTHD: ---   ("_s +
                TooFewPeriodsText() + u")\r\n"_s;
    } else if (spectrum.periodic) {
        for (int32_t k = 2; k < 2 + spectrum.harmonicCount; ++k)
            text += FormatText(SpectrumAnalysis::tr("Oberwelle {0}: "), KindInt32, &k) +
                    level(spectrum.harmonics[k - 2]) + u"\r\n"_s;
        if (spectrum.hasThd)
            text += FormatText(u"THD: {0d4} %   {1d4} dB\r\n", KindFloat64, &spectrum.thdPercent,
                               KindFloat64, &spectrum.thdDb);
        else
            text += u"THD: ---\r\n"_s;
    }
    text += u"\r\n"_s + SpectrumAnalysis::tr("Spitzen:");
    if (spectrum.peaks.empty()) text += SpectrumAnalysis::tr(" keine");
    for (size_t i = 0; i < spectrum.peaks.size(); ++i) {
        const auto number = static_cast<int32_t>(i + 1);
        text += FormatText(u"\r\n{0}: ", KindInt32, &number) + level(spectrum.peaks[i]);
    }
    // The DC bin is the mean of the windowed samples: the plain mean only when the range
    // holds whole periods, since a window weighs the middle of the range more.
    const double dc = spectrum.rms.front();
    text += FormatText(u"\r\n\r\nDC: {0Sd5}V", KindFloat64, &dc);
    return text;
}
