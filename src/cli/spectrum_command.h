// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli spectrum: the spectrum of one channel, the plot of it as a picture and the
// list of peaks, fundamental, harmonics and THD as text. Its options, its output names and
// the writing are those of every command (main.cpp); the CSV table is output/csv_export.h's.
#pragma once

#include "analysis/spectrum.h"
#include "capture/capture.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

// One input's spectrum. Create zero-filled.
struct ChannelSpectrum {
    int32_t slot; // the channel it is of; -1 when that channel is not present
    Spectrum spectrum;
};

// The spectrum of `channel` (by default the first present one) over samples first..last.
void ComputeChannelSpectrum(ChannelSpectrum& result, const Capture& capture,
                            std::optional<int32_t> channel, int32_t first, int32_t last,
                            int32_t window);

// Whether every level, peak and the THD of a computed spectrum is a number. Finite samples
// far beyond any real voltage (a math trace of 1e155 V) overflow the squared sums: a table
// of "Infinity" and "NaN" would pass for a spectrum.
bool SpectrumIsFinite(const Spectrum& spectrum);

// Whether an output of that name is the plot (".png", in any case) rather than the table.
bool IsSpectrumPlotPath(const QString& path);

// The plot in the screen style, 600 x 400 pixels unless `size` gives width and height.
QImage SpectrumPlotImage(const ChannelSpectrum& spectrum,
                         std::optional<std::pair<int32_t, int32_t>> size);

// Tab-separated lines "peak HZ DBV" (strongest first), "fundamental HZ DBV", "harmonic K HZ
// DBV" and "thd PERCENT DB", numbers with 15 significant digits; lines without a value are
// left out.
QString SpectrumPeaksText(const Spectrum& spectrum);
