// SPDX-License-Identifier: GPL-3.0-or-later
// The spectrum of one channel: a window function, FFTW's real transform, one-sided RMS
// levels per bin, the strongest peaks, and for a periodic signal its fundamental,
// harmonics and THD. Pure functions over sample values; nothing here touches a widget.
//
// The readouts state a number only where the window lets it be right. L is the window's
// main-lobe half-width in bins (SpectrumMainLobeBins). Peaks are local maxima at least
// 15 dB above the median of all bins and outside the main lobe of a larger one (DC
// included); at most 10, strongest first. Each is placed and levelled by fitting the
// window's own response, with the tone's mirror image below 0 Hz and the DC level, to the
// bins around it; a peak the fit does not pin down to 0.1 bin and 1 dB (two standard
// deviations) is left out. The fundamental is the strongest peak when it lies at least L bins
// above 0 Hz and is pinned down to 0.1 bin and 0.1 dB; nearer, it cannot be told from the DC
// level's lobe, and less certain, it is not shown. Harmonics
// 2..10 (below Nyquist) and THD need the fundamental at least 2 L bins up, so that the
// lobes of neighbouring harmonics do not overlap; each is measured at k times the
// fundamental's frequency, never at a neighbouring maximum.
#pragma once

#include "capture/capture.h"

#include <QString>

#include <cstdint>
#include <vector>

// Window functions, in the order the viewer and kurvex-cli list them.
enum SpectrumWindowKind : int32_t {
    WindowRect = 0,
    WindowHann = 1,
    WindowBlackmanHarris = 2,
    WindowFlatTop = 3,
};
constexpr int32_t SpectrumWindowCount = 4;

// "Rechteck", "Hann", "Blackman-Harris", "Flat-Top"; empty for any other kind.
QString SpectrumWindowName(int32_t kind);

// Why a spectrum has no bins.
enum SpectrumStatus : int32_t {
    SpectrumOk = 0,
    SpectrumNoSamples = 1,  // an empty range
    SpectrumNotFinite = 2,  // a NaN or infinite sample (a math trace divided by zero)
    SpectrumNoTimeBase = 3, // the sample interval is not a positive number
};

// The viewer's sentence for a status; empty for SpectrumOk.
QString SpectrumStatusText(int32_t status);

// L: rectangle 1, Hann 2, Blackman-Harris 4, flat-top 5 (1 for any other kind).
int32_t SpectrumMainLobeBins(int32_t kind);

constexpr int32_t SpectrumMaxPeaks = 10;
constexpr double PeakAboveMedianDb = 15.0;
constexpr int32_t HighestHarmonic = 10;

struct SpectrumPeak {
    int32_t bin;      // the bin of the local maximum
    double frequency; // Hz, refined between bins
    double rms;       // V RMS, refined between bins
    double dbv;       // the same level in dBV
};

// Create zero-filled; filled by ComputeSpectrum.
struct Spectrum {
    int32_t status;
    int32_t sampleCount; // N, the samples transformed
    int32_t window;
    double binWidth; // Hz between bins: 1 / (N x sample interval)
    // Bins 0 .. N / 2 (DC to the Nyquist frequency).
    std::vector<double> rms;         // V RMS
    std::vector<double> dbv;         // 20 log10(rms / 1 V); -infinity for 0
    std::vector<SpectrumPeak> peaks; // strongest first, at most SpectrumMaxPeaks
    bool periodic;                   // a fundamental was found
    SpectrumPeak fundamental;
    bool tooFewPeriods;    // a fundamental below 2 L bins: no harmonics and no THD
    int32_t harmonicCount; // harmonics 2 .. 1 + harmonicCount lie below Nyquist
    SpectrumPeak harmonics[HighestHarmonic]; // index k - 2 for harmonic k
    bool hasThd;
    double thdPercent;
    double thdDb;
};

// The periodic window of `length` samples (a window of length 1 is [1]).
std::vector<double> SpectrumWindowValues(int32_t kind, int32_t length);

// The spectrum of `count` samples (volts) taken `sampleInterval` seconds apart.
void ComputeSpectrum(Spectrum& spectrum, const double* samples, int32_t count,
                     double sampleInterval, int32_t window);

// The spectrum of samples first .. last (both included, either order) of one slot of a
// capture, in volts, with the capture's sample interval. The range is clipped to the
// samples the file holds.
void ComputeCaptureSpectrum(Spectrum& spectrum, const Capture& capture, int32_t slot, int32_t first,
                            int32_t last, int32_t window);

inline double BinFrequency(const Spectrum& spectrum, int32_t bin)
{
    return bin * spectrum.binWidth;
}

// The readout beside the plot: fundamental, harmonics and THD ("---" where there is none,
// with the reason when there are too few periods), peak list and DC, CR LF between lines;
// levels in dBV, or in V RMS with `volts`. The status text when there is no spectrum.
QString SpectrumReadoutText(const Spectrum& spectrum, bool volts = false);

// Why a measured fundamental has no harmonics: "zu wenige Perioden für dieses Fenster".
QString TooFewPeriodsText();

// How many transform plans are kept (the benchmark and the tests look at the cache).
int32_t CachedSpectrumPlans();
