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

// Where between bin - 1/2 and bin + 1/2 a single tone must lie for its two neighbours to
// differ by `neighbourRatioDb` (right minus left): the window's own response solved by
// regula falsi from the parabola's guess. A parabola alone misplaces a tone by a tenth of
// a bin under the flat top, whose peak is anything but parabolic.
double ToneOffset(int32_t kind, int32_t n, double neighbourRatioDb, double guess)
{
    const auto mismatch = [&](double offset) {
        return Dbv(WindowResponse(kind, n, offset - 1)) - Dbv(WindowResponse(kind, n, offset + 1)) -
               neighbourRatioDb;
    };
    double lo = -0.5;
    double hi = 0.5;
    double fLo = mismatch(lo);
    double fHi = mismatch(hi);
    if (!(fLo < 0 && fHi > 0)) return guess;
    double offset = guess;
    int32_t side = 0;
    for (int32_t iteration = 0; iteration < 20; ++iteration) {
        const double f = mismatch(offset);
        if (std::fabs(f) < 1e-6) break;
        if (f < 0) {
            lo = offset;
            fLo = f;
            if (side == -1) fHi /= 2; // Illinois: keep a stuck end from stalling the search
            side = -1;
        } else {
            hi = offset;
            fHi = f;
            if (side == 1) fLo /= 2;
            side = 1;
        }
        offset = lo - fLo * (hi - lo) / (fHi - fLo);
        if (hi - lo < 1e-7) break;
    }
    return offset;
}

// A bin's level with the one-sided factor taken out again: the DC bin and the Nyquist bin
// of an even length are not doubled, so their neighbours' shape must be compared without it.
double ShapeDb(const Spectrum& spectrum, int32_t bin)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const bool single = bin == 0 || (bin == last && spectrum.sampleCount % 2 == 0);
    return spectrum.dbv[bin] + (single ? 0.0 : -20.0 * std::log10(std::numbers::sqrt2));
}

// Frequency and level of the tone behind the local maximum at `bin`: a parabola through the
// log levels of the bin and its neighbours places the tone between bins, and the window's
// own response at that place undoes the loss of a tone that falls between two bins.
SpectrumPeak RefinePeak(const Spectrum& spectrum, int32_t bin)
{
    SpectrumPeak peak{bin, BinFrequency(spectrum, bin), spectrum.rms[bin], spectrum.dbv[bin]};
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    if (bin < 1 || bin >= last || !(spectrum.rms[bin] > 0)) return peak;
    // A neighbour at the level of rounding noise carries no shape: a tone exactly on a bin
    // of the rectangular window leaves its neighbours at 1e-17 of its level.
    const double floor = spectrum.rms[bin] * 1e-9;
    if (!(spectrum.rms[bin - 1] > floor) || !(spectrum.rms[bin + 1] > floor)) return peak;
    const double a = ShapeDb(spectrum, bin - 1);
    const double b = ShapeDb(spectrum, bin);
    const double c = ShapeDb(spectrum, bin + 1);
    const double curvature = a - 2.0 * b + c;
    if (!(curvature < 0)) return peak;
    const int32_t n = spectrum.sampleCount;
    const double guess = std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
    const double offset = ToneOffset(spectrum.window, n, c - a, guess);
    peak.frequency = (bin + offset) * spectrum.binWidth;
    const double gain =
        WindowResponse(spectrum.window, n, offset) / WindowResponse(spectrum.window, n, 0.0);
    if (gain > 0) peak.rms = spectrum.rms[bin] / gain;
    peak.dbv = Dbv(peak.rms);
    return peak;
}

void FindPeaks(Spectrum& spectrum)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const std::vector<double>& rms = spectrum.rms;
    // The transform's rounding leaves every empty bin at about 1e-16 of the signal; local
    // maxima down there are no peaks (a flat line has none).
    SampleSum power;
    for (double value : rms)
        power.Add(value * value);
    const double floor = std::sqrt(power.Total()) * 1e-10;

    std::vector<int32_t> maxima;
    for (int32_t k = 1; k <= last; ++k) {
        if (!(rms[k] > floor) || !(rms[k] > rms[k - 1])) continue;
        if (k < last && rms[k] < rms[k + 1]) continue;
        maxima.push_back(k);
    }
    const auto stronger = [&](int32_t x, int32_t y) {
        return rms[x] != rms[y] ? rms[x] > rms[y] : x < y;
    };
    const size_t kept = std::min<size_t>(maxima.size(), SpectrumMaxPeaks);
    std::partial_sort(maxima.begin(), maxima.begin() + static_cast<std::ptrdiff_t>(kept),
                      maxima.end(), stronger);
    for (size_t i = 0; i < kept; ++i)
        spectrum.peaks.push_back(RefinePeak(spectrum, maxima[i]));
}

// Harmonic k is the local maximum within one bin of k times the fundamental's frequency.
// Where there is none, the harmonic is below the noise: its level is that of the bin nearest
// to the place where it would be, so that THD still counts what is there.
void FindHarmonics(Spectrum& spectrum)
{
    if (spectrum.peaks.empty()) return;
    spectrum.periodic = true;
    spectrum.fundamental = spectrum.peaks.front();
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const std::vector<double>& rms = spectrum.rms;
    const double fundamentalBins = spectrum.fundamental.frequency / spectrum.binWidth;
    SampleSum power;
    for (int32_t k = 2; k <= HighestHarmonic; ++k) {
        const double place = k * fundamentalBins;
        if (place > last + 0.5) break;
        const int32_t centre = std::clamp(static_cast<int32_t>(std::lround(place)), 1, last);
        int32_t best = centre;
        for (int32_t bin = std::max(1, centre - 1); bin <= std::min(last, centre + 1); ++bin)
            if (rms[bin] > rms[best]) best = bin;
        const bool localMaximum =
            rms[best] > rms[best - 1] && (best == last || rms[best] >= rms[best + 1]);
        SpectrumPeak harmonic = RefinePeak(spectrum, localMaximum ? best : centre);
        if (!localMaximum || std::fabs(harmonic.frequency / spectrum.binWidth - place) > 1.0) {
            harmonic = SpectrumPeak{centre, k * spectrum.fundamental.frequency, rms[centre],
                                    spectrum.dbv[centre]};
        }
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
    for (int32_t i = 0; i < count; ++i)
        scratch.input[i] = samples[i] * w.values[static_cast<size_t>(i)];
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
    FindPeaks(spectrum);
    FindHarmonics(spectrum);
}

void ComputeCaptureSpectrum(Spectrum& spectrum, const Capture& capture, int32_t slot, int32_t first,
                            int32_t last, int32_t window)
{
    const int32_t n = capture.samplesPerChannel;
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

QString SpectrumReadoutText(const Spectrum& spectrum)
{
    if (spectrum.status != SpectrumOk) return SpectrumStatusText(spectrum.status);
    const auto level = [](const SpectrumPeak& peak) {
        return FormatText(u"{0Sd5}Hz   {1d4} dBV", KindFloat64, &peak.frequency, KindFloat64,
                          &peak.dbv);
    };
    QString text;
    if (spectrum.periodic) {
        text += SpectrumAnalysis::tr("Grundwelle: ") + level(spectrum.fundamental) + u"\r\n"_s;
        for (int32_t k = 2; k < 2 + spectrum.harmonicCount; ++k)
            text += FormatText(SpectrumAnalysis::tr("Oberwelle {0}: "), KindInt32, &k) +
                    level(spectrum.harmonics[k - 2]) + u"\r\n"_s;
        if (spectrum.hasThd)
            text += FormatText(u"THD: {0d4} %   {1d4} dB\r\n", KindFloat64, &spectrum.thdPercent,
                               KindFloat64, &spectrum.thdDb);
        text += u"\r\n"_s;
    }
    text += SpectrumAnalysis::tr("Spitzen:");
    if (spectrum.peaks.empty()) text += SpectrumAnalysis::tr(" keine");
    for (size_t i = 0; i < spectrum.peaks.size(); ++i) {
        const auto number = static_cast<int32_t>(i + 1);
        text += FormatText(u"\r\n{0}: ", KindInt32, &number) + level(spectrum.peaks[i]);
    }
    const double dc = spectrum.rms.front();
    text += FormatText(u"\r\n\r\nDC: {0Sd5}V", KindFloat64, &dc);
    return text;
}
