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
#include <limits>
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

// The window's response to a tone `offset` bins from a bin, as the transform sees it: the
// sum over n of w(n) exp(-i 2 pi offset n / N), divided by its value at 0 so that a tone on
// its bin reads 1. Phase included, so that overlapping lobes add as they do in the bins.
class WindowShape {
  public:
    WindowShape(int32_t kind, int32_t n) : sum_(SumOf(kind)), n_(n), gain_(1.0)
    {
        gain_ = std::abs(Raw(0.0));
    }

    std::complex<double> operator()(double offset) const
    {
        return gain_ > 0 ? Raw(offset) / gain_ : std::complex<double>{};
    }

  private:
    std::complex<double> Raw(double offset) const
    {
        std::complex<double> response{};
        for (int32_t j = 0; j < sum_.terms; ++j) {
            const double c = (j == 0 ? 1.0 : (j % 2 ? -0.5 : 0.5)) * sum_.a[j];
            response += c * RectangleResponse(offset - j, n_);
            if (j > 0) response += c * RectangleResponse(offset + j, n_);
        }
        return response;
    }

    const CosineSum& sum_;
    int32_t n_;
    double gain_;
};

// A bin's value in the units of a tone's amplitude response: the one-sided factor that
// doubles every bin but DC and the Nyquist bin of an even length is taken out again, so
// that the window's shape compares alike on both sides of a peak near either end.
double ShapeValue(const Spectrum& spectrum, int32_t bin)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const bool single = bin == 0 || (bin == last && spectrum.sampleCount % 2 == 0);
    return spectrum.rms[static_cast<size_t>(bin)] / (single ? 1.0 : std::numbers::sqrt2);
}

// A window correlates the noise of neighbouring bins, which the fit below treats as
// independent. The correlation of bins d apart is the d-th coefficient of w^2, a cosine sum
// again, relative to its 0-th; the sum of their magnitudes bounds how much the correlation
// can raise the variance of anything the fit derives from the bins.
double CorrelatedNoiseFactor(int32_t kind)
{
    const CosineSum& sum = SumOf(kind);
    double b[2 * 5 - 1] = {}; // w = sum over j of b[j + 4] exp(i 2 pi j n / N), j = -4 .. 4
    for (int32_t j = 0; j < sum.terms; ++j) {
        const double c = j == 0 ? sum.a[0] : (j % 2 ? -0.5 : 0.5) * sum.a[j];
        b[4 + j] = c;
        b[4 - j] = c;
    }
    double total = 0;
    double centre = 0;
    for (int32_t d = -8; d <= 8; ++d) {
        double coefficient = 0;
        for (int32_t j = -4; j <= 4; ++j)
            if (d - j >= -4 && d - j <= 4) coefficient += b[4 + j] * b[4 + d - j];
        total += std::fabs(coefficient);
        if (d == 0) centre = coefficient;
    }
    return total / centre;
}

// The transform's bins divided by the window's sum: a tone of amplitude A and phase p reads
// A / 2 exp(i p) on its bin.
struct Bins {
    const Spectrum& spectrum;
    std::vector<std::complex<double>> z;
    WindowShape shape;
};

// What a peak's frequency and level must be within to be shown, as two standard deviations
// of the fit (about 95 % of all cases): a tenth of a bin, and a tenth of a dB for the
// fundamental. The other peaks may be weak lines near the noise, whose level no method
// gets to a tenth of a dB; they are listed within 1 dB.
constexpr double PlaceTolerance = 0.1;
constexpr double FundamentalToleranceDb = 0.1;
constexpr double PeakToleranceDb = 1.0;

struct ToneFit {
    double place = 0;          // bins from 0 Hz
    std::complex<double> c{};  // A / 2 exp(i p)
    double residual = 0;       // the squared misfit
    double sigmaPlace = 1e300; // standard deviations: bins,
    double sigmaLevel = 1e300; // and relative to the amplitude
};

// Solves the small symmetric system m x = v in place by Gauss-Jordan elimination and
// leaves m's inverse in `inverse`; false when m is singular.
constexpr int32_t MaxUnknowns = 4;
bool Solve(double m[MaxUnknowns][MaxUnknowns], double v[MaxUnknowns], int32_t p,
           double inverse[MaxUnknowns][MaxUnknowns])
{
    double scale = 0;
    for (int32_t i = 0; i < p; ++i) {
        scale = std::max(scale, m[i][i]);
        for (int32_t j = 0; j < p; ++j)
            inverse[i][j] = i == j ? 1.0 : 0.0;
    }
    for (int32_t col = 0; col < p; ++col) {
        int32_t pivot = col;
        for (int32_t r = col + 1; r < p; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        if (!(std::fabs(m[pivot][col]) > 1e-14 * scale)) return false;
        std::swap(m[pivot], m[col]);
        std::swap(inverse[pivot], inverse[col]);
        std::swap(v[pivot], v[col]);
        const double d = m[col][col];
        for (int32_t j = 0; j < p; ++j) {
            m[col][j] /= d;
            inverse[col][j] /= d;
        }
        v[col] /= d;
        for (int32_t r = 0; r < p; ++r) {
            if (r == col || m[r][col] == 0) continue;
            const double f = m[r][col];
            for (int32_t j = 0; j < p; ++j) {
                m[r][j] -= f * m[col][j];
                inverse[r][j] -= f * inverse[col][j];
            }
            v[r] -= f * v[col];
        }
    }
    return true;
}

// Fits a real tone at `place` bins to the bins around `centre` by linear least squares: its
// lobe and the lobe of its mirror image below 0 Hz (which is also its image above the
// Nyquist frequency), and the DC level where its lobe reaches these bins. Nearby the mirror
// and DC overlap the tone's own lobe; fitted together they no longer pull it aside. With
// `spread`, the standard deviations of place and level come from the fit's Jacobian (place
// included), and the noise from the misfit or the spectrum's floor, whichever is larger.
ToneFit FitTone(const Bins& bins, int32_t centre, double place, bool spread)
{
    const Spectrum& spectrum = bins.spectrum;
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const int32_t lobe = SpectrumMainLobeBins(spectrum.window);
    const int32_t reach = std::max(2, lobe);
    const int32_t lo = std::max(0, centre - reach);
    const int32_t hi = std::min(last, centre + reach);
    const bool dc = lo < lobe; // a cosine sum leaks DC into bins below its L only
    const int32_t linear = dc ? 3 : 2;
    const int32_t count = hi - lo + 1;
    constexpr int32_t MaxBins = 11;
    std::complex<double> a[MaxUnknowns][MaxBins];
    const auto columns = [&](double at, std::complex<double>(*out)[MaxBins]) {
        for (int32_t k = lo; k <= hi; ++k) {
            const std::complex<double> g1 = bins.shape(k - at);
            const std::complex<double> g2 = bins.shape(k + at);
            out[0][k - lo] = g1 + g2;
            out[1][k - lo] = std::complex<double>(0, 1) * (g1 - g2);
            if (dc) out[2][k - lo] = bins.shape(k);
        }
    };
    columns(place, a);
    const auto dot = [count](const std::complex<double>* x, const std::complex<double>* y) {
        double s = 0;
        for (int32_t i = 0; i < count; ++i)
            s += x[i].real() * y[i].real() + x[i].imag() * y[i].imag();
        return s;
    };
    const std::complex<double>* z = bins.z.data() + lo;
    double m[MaxUnknowns][MaxUnknowns];
    double v[MaxUnknowns];
    double inverse[MaxUnknowns][MaxUnknowns];
    for (int32_t i = 0; i < linear; ++i) {
        v[i] = dot(a[i], z);
        for (int32_t j = 0; j < linear; ++j)
            m[i][j] = dot(a[i], a[j]);
    }
    ToneFit fit;
    fit.place = place;
    fit.residual = 1e300;
    if (!Solve(m, v, linear, inverse)) return fit;
    double theta[MaxUnknowns];
    std::copy(v, v + linear, theta);
    fit.c = {theta[0], theta[1]};
    fit.residual = 0;
    for (int32_t i = 0; i < count; ++i) {
        std::complex<double> model{};
        for (int32_t j = 0; j < linear; ++j)
            model += theta[j] * a[j][i];
        fit.residual += std::norm(z[i] - model);
    }
    if (!spread || !(std::abs(fit.c) > 0)) return fit;

    // The place's column: how the model moves with it, amplitudes held.
    constexpr double Step = 1e-4;
    std::complex<double> up[MaxUnknowns][MaxBins];
    std::complex<double> down[MaxUnknowns][MaxBins];
    columns(place + Step, up);
    columns(place - Step, down);
    for (int32_t i = 0; i < count; ++i)
        a[linear][i] =
            (fit.c.real() * (up[0][i] - down[0][i]) + fit.c.imag() * (up[1][i] - down[1][i])) /
            (2 * Step);
    const int32_t p = linear + 1;
    for (int32_t i = 0; i < p; ++i) {
        v[i] = 0;
        for (int32_t j = 0; j < p; ++j)
            m[i][j] = dot(a[i], a[j]);
    }
    if (!Solve(m, v, p, inverse)) return fit;
    // Real equations: two per bin, one for DC and for the Nyquist bin of an even length.
    int32_t rows = 2 * count;
    if (lo == 0) --rows;
    if (hi == last && spectrum.sampleCount % 2 == 0) --rows;
    const int32_t freedom = rows - p;
    // The noise also from what the fitted model leaves a few lobes either side, as a median
    // (|z|^2 of noise is exponential, its median ln 2 of its mean): the misfit of a few
    // equations can by chance be far smaller than the noise around. Other lines there count
    // as noise as long as they fill fewer than half of these bins.
    const int32_t wide = 4 * reach;
    double around[8 * 5 + 1];
    int32_t aroundCount = 0;
    for (int32_t k = std::max(0, centre - wide); k <= std::min(last, centre + wide); ++k) {
        const std::complex<double> g1 = bins.shape(k - place);
        const std::complex<double> g2 = bins.shape(k + place);
        std::complex<double> model =
            theta[0] * (g1 + g2) + theta[1] * std::complex<double>(0, 1) * (g1 - g2);
        if (dc) model += theta[2] * bins.shape(k);
        around[aroundCount++] = std::norm(bins.z[static_cast<size_t>(k)] - model);
    }
    std::nth_element(around, around + aroundCount / 2, around + aroundCount);
    const double noise = around[aroundCount / 2] / std::numbers::ln2 / 2;
    const double variance = std::max(noise, freedom > 0 ? fit.residual / freedom : 0.0) *
                            CorrelatedNoiseFactor(spectrum.window);
    fit.sigmaPlace = std::sqrt(variance * std::max(0.0, inverse[linear][linear]));
    const double ux = fit.c.real() / std::abs(fit.c);
    const double uy = fit.c.imag() / std::abs(fit.c);
    const double levelVariance = variance * (ux * ux * inverse[0][0] + 2 * ux * uy * inverse[0][1] +
                                             uy * uy * inverse[1][1]);
    fit.sigmaLevel = std::sqrt(std::max(0.0, levelVariance)) / std::abs(fit.c);
    return fit;
}

// Twice the level's standard deviation in dB; infinite when the place is not within its
// tolerance.
double LevelSpreadDb(const ToneFit& fit)
{
    if (!(2 * fit.sigmaPlace <= PlaceTolerance)) return std::numeric_limits<double>::infinity();
    return Dbv(1 + 2 * fit.sigmaLevel);
}

SpectrumPeak PeakAt(const Spectrum& spectrum, int32_t bin, double place, double amplitude)
{
    SpectrumPeak peak{bin, place * spectrum.binWidth, amplitude * std::numbers::sqrt2, 0.0};
    peak.dbv = Dbv(peak.rms);
    return peak;
}

// Frequency and level of the tone behind the local maximum at `bin`: the place within a bin
// of it where the window's own response, with the tone's mirror and DC, fits the bins
// around it best. All of the lobe is read, not the ratio of two bins: beside a tone that
// sits on its bin the rectangle's neighbours hold nothing but quantisation noise, and their
// ratio would move the tone. `spreadDb` tells how well the fit pins the tone down (see
// LevelSpreadDb).
SpectrumPeak RefinePeak(const Bins& bins, int32_t bin, double* spreadDb)
{
    const Spectrum& spectrum = bins.spectrum;
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    if (spreadDb) *spreadDb = std::numeric_limits<double>::infinity();
    if (bin < 1 || bin >= last || !(spectrum.rms[static_cast<size_t>(bin)] > 0)) {
        SpectrumPeak peak{bin, BinFrequency(spectrum, bin), spectrum.rms[static_cast<size_t>(bin)],
                          0.0};
        peak.dbv = Dbv(peak.rms);
        return peak;
    }
    const auto misfit = [&](double place) { return FitTone(bins, bin, place, false).residual; };
    // A coarse scan finds the basin, golden sections narrow it down. The tone lies within a
    // bin of the maximum; not at 0 Hz, where it would be DC.
    const double from = std::max(0.5, bin - 1.0);
    const double to = std::min(last - 0.5, bin + 1.0);
    constexpr double Step = 0.05;
    double best = bin;
    double bestMisfit = misfit(best);
    for (double place = from; place <= to + 1e-9; place += Step) {
        const double m = misfit(place);
        if (m < bestMisfit) {
            bestMisfit = m;
            best = place;
        }
    }
    double lo = std::max(from, best - Step);
    double hi = std::min(to, best + Step);
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double x1 = hi - ratio * (hi - lo);
    double x2 = lo + ratio * (hi - lo);
    double m1 = misfit(x1);
    double m2 = misfit(x2);
    while (hi - lo > 1e-7) {
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
    double place = (lo + hi) / 2;
    if (misfit(place) > bestMisfit) place = best;
    const ToneFit fit = FitTone(bins, bin, place, true);
    if (spreadDb) *spreadDb = LevelSpreadDb(fit);
    return PeakAt(spectrum, bin, place, std::abs(fit.c));
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
// A peak whose fit does not pin it down within the tolerances is left out, and when that is
// the strongest one there is no fundamental: a number shown is right or absent.
void FindPeaks(const Bins& bins, Spectrum& spectrum, double acPower)
{
    const int32_t last = static_cast<int32_t>(spectrum.rms.size()) - 1;
    const int32_t lobe = SpectrumMainLobeBins(spectrum.window);
    // Compared in amplitude units: the RMS of DC is not doubled, so next to it the window's
    // own leakage would otherwise stand higher than the DC line.
    std::vector<double> rms(spectrum.rms.size());
    for (int32_t k = 0; k <= last; ++k)
        rms[static_cast<size_t>(k)] = ShapeValue(spectrum, k);
    // The window leaks DC into the bins below its number of cosine terms (none for the
    // rectangle); taken out there, a tone beside a large DC level still stands as a maximum.
    for (int32_t k = 1; k < SumOf(spectrum.window).terms && k <= last; ++k)
        rms[static_cast<size_t>(k)] =
            std::abs(bins.z[static_cast<size_t>(k)] - bins.z[0].real() * bins.shape(k));
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
        // Bin 0 is DC, not a lobe of the tone next to it.
        if (k > 1 && !(rms[k] > rms[k - 1])) continue;
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
    int32_t fits = 0;
    for (const int32_t k : maxima) {
        const bool inLobe = std::any_of(kept.begin(), kept.end(),
                                        [&](int32_t other) { return std::abs(other - k) < lobe; });
        if (inLobe) continue;
        kept.push_back(k); // DC as well: its lobe hides what the window leaks next to it
        if (k == 0 || !(rms[k] > floor)) continue;
        // The strongest peak is the fundamental unless it lies within L bins of 0 Hz: then
        // there is none.
        // Fits cost; a spectrum of many unresolved maxima (noise, a burst) tries a few more
        // than it lists, not all of them.
        if (k != *strongest &&
            (spectrum.peaks.size() >= SpectrumMaxPeaks || ++fits > 3 * SpectrumMaxPeaks))
            continue;
        double spreadDb = 0;
        const SpectrumPeak peak = RefinePeak(bins, k, &spreadDb);
        if (!(spreadDb <= PeakToleranceDb)) continue;
        if (k == *strongest && spreadDb <= FundamentalToleranceDb && k >= lobe &&
            !(rms[k] * rms[k] * 2 < acPower * MinimumShare)) {
            spectrum.periodic = true;
            spectrum.fundamental = peak;
        }
        if (spectrum.peaks.size() < SpectrumMaxPeaks) spectrum.peaks.push_back(peak);
    }
}

// Harmonic k is measured where it must be, at k times the fundamental's frequency: the
// window's response placed there and fitted to the bins around it, whether or not they
// hold a local maximum. That needs the fundamental two main lobes above 0 Hz; closer, the
// lobes of neighbouring harmonics overlap and would be counted twice.
void FindHarmonics(const Bins& bins, Spectrum& spectrum)
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
        const double amplitude = std::abs(FitTone(bins, centre, place, false).c);
        SpectrumPeak harmonic = PeakAt(spectrum, centre, place, amplitude);
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
    const int32_t binCount = count / 2 + 1;
    const double scale = 1.0 / w.sum;
    Bins bins{spectrum, {}, WindowShape(spectrum.window, count)};
    bins.z.resize(static_cast<size_t>(binCount));
    spectrum.binWidth = 1.0 / (count * sampleInterval);
    spectrum.rms.resize(static_cast<size_t>(binCount));
    spectrum.dbv.resize(static_cast<size_t>(binCount));
    for (int32_t k = 0; k < binCount; ++k) {
        const double re = scratch.output[k][0];
        const double im = scratch.output[k][1];
        bins.z[static_cast<size_t>(k)] = {re * scale, im * scale};
        const double magnitude = std::sqrt(re * re + im * im) * scale;
        const bool single = k == 0 || (count % 2 == 0 && k == count / 2);
        const double rms = single ? magnitude : magnitude * std::numbers::sqrt2;
        spectrum.rms[static_cast<size_t>(k)] = rms;
        spectrum.dbv[static_cast<size_t>(k)] = Dbv(rms);
    }
    FindPeaks(bins, spectrum, acPower);
    FindHarmonics(bins, spectrum);
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
        return volts ? FormatText(u"{0Sd5}Hz   {1Sd5}V", peak.frequency, peak.rms)
                     : FormatText(u"{0Sd5}Hz   {1d4} dBV", peak.frequency, peak.dbv);
    };
    QString text = SpectrumAnalysis::tr("Grundwelle: ") +
                   (spectrum.periodic ? level(spectrum.fundamental) : u"---"_s);
    text += u"\r\n"_s;
    if (spectrum.periodic && spectrum.tooFewPeriods) {
        text += SpectrumAnalysis::tr("Oberwellen: ---") + u"\r\nTHD: ---   ("_s +
                TooFewPeriodsText() + u")\r\n"_s;
    } else if (spectrum.periodic) {
        for (int32_t k = 2; k < 2 + spectrum.harmonicCount; ++k)
            text += FormatText(SpectrumAnalysis::tr("Oberwelle {0}: "), k) +
                    level(spectrum.harmonics[k - 2]) + u"\r\n"_s;
        if (spectrum.hasThd)
            text += FormatText(u"THD: {0d4} %   {1d4} dB\r\n", spectrum.thdPercent, spectrum.thdDb);
        else
            text += u"THD: ---\r\n"_s;
    }
    text += u"\r\n"_s + SpectrumAnalysis::tr("Spitzen:");
    if (spectrum.peaks.empty()) text += SpectrumAnalysis::tr(" keine");
    for (size_t i = 0; i < spectrum.peaks.size(); ++i) {
        const auto number = static_cast<int32_t>(i + 1);
        text += FormatText(u"\r\n{0}: ", number) + level(spectrum.peaks[i]);
    }
    // The DC bin is the mean of the windowed samples: the plain mean only when the range
    // holds whole periods, since a window weighs the middle of the range more.
    const double dc = spectrum.rms.front();
    text += FormatText(u"\r\n\r\nDC: {0Sd5}V", dc);
    return text;
}
