// SPDX-License-Identifier: GPL-3.0-or-later
// The spectrum of one channel: a window function, FFTW's real transform, one-sided RMS
// levels per bin, the strongest peaks, and for a periodic signal its fundamental,
// harmonics and THD. Pure functions over sample values; nothing here touches a widget.
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

constexpr int32_t SpectrumMaxPeaks = 10;
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
    int32_t harmonicCount;                   // harmonics 2 .. 1 + harmonicCount lie below Nyquist
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
// capture, in volts, with the capture's sample interval. The range is clipped to the record.
void ComputeCaptureSpectrum(Spectrum& spectrum, const Capture& capture, int32_t slot, int32_t first,
                            int32_t last, int32_t window);

inline double BinFrequency(const Spectrum& spectrum, int32_t bin)
{
    return bin * spectrum.binWidth;
}

// The readout beside the plot: peak list, fundamental, harmonics and THD, CR LF between
// lines; the status text when there is no spectrum.
QString SpectrumReadoutText(const Spectrum& spectrum);

// How many transform plans are kept (the benchmark and the tests look at the cache).
int32_t CachedSpectrumPlans();
