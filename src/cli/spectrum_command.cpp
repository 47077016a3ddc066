// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/spectrum_command.h"

#include "screen/spectrum_renderer.h"
#include "text/number_text.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

void ComputeChannelSpectrum(ChannelSpectrum& result, const Capture& capture,
                            std::optional<int32_t> channel, int32_t first, int32_t last,
                            int32_t window)
{
    result.slot = -1;
    for (int32_t slot = 0; slot < SlotCount && result.slot < 0; ++slot) {
        if (capture.present[slot] == 1 && (!channel || *channel == slot)) result.slot = slot;
    }
    if (result.slot >= 0)
        ComputeCaptureSpectrum(result.spectrum, capture, result.slot, first, last, window);
}

bool SpectrumIsFinite(const Spectrum& spectrum)
{
    // A level of 0 V is -infinity dBV, and rightly so; +infinity and NaN are not levels.
    const auto level = [](double rms, double dbv) {
        return std::isfinite(rms) && !std::isnan(dbv) && dbv != HUGE_VAL;
    };
    for (size_t bin = 0; bin < spectrum.rms.size(); ++bin) {
        if (!level(spectrum.rms[bin], bin < spectrum.dbv.size() ? spectrum.dbv[bin] : 0.0))
            return false;
    }
    const auto peak = [&](const SpectrumPeak& p) {
        return std::isfinite(p.frequency) && level(p.rms, p.dbv);
    };
    if (!std::all_of(spectrum.peaks.begin(), spectrum.peaks.end(), peak)) return false;
    if (spectrum.periodic && !peak(spectrum.fundamental)) return false;
    if (!std::all_of(spectrum.harmonics, spectrum.harmonics + spectrum.harmonicCount, peak))
        return false;
    return !spectrum.hasThd || (std::isfinite(spectrum.thdPercent) && !std::isnan(spectrum.thdDb));
}

bool IsSpectrumPlotPath(const QString& path)
{
    return path.endsWith(u".png"_s, Qt::CaseInsensitive);
}

QImage SpectrumPlotImage(const ChannelSpectrum& spectrum,
                         std::optional<std::pair<int32_t, int32_t>> size)
{
    SpectrumRenderRequest request{};
    request.width = size ? size->first : 600;
    request.height = size ? size->second : 400;
    request.slot = spectrum.slot;
    request.markerBin = -1;
    return RenderSpectrumImage(spectrum.spectrum, request);
}

QString SpectrumPeaksText(const Spectrum& spectrum)
{
    const auto number = [](double value) { return NumberText(value, 15, true); };
    QString text;
    const auto line = [&](const QString& head, const SpectrumPeak& peak) {
        text += head + u'\t' + number(peak.frequency) + u'\t' + number(peak.dbv) + u'\n';
    };
    for (const SpectrumPeak& peak : spectrum.peaks)
        line(u"peak"_s, peak);
    if (spectrum.periodic) line(u"fundamental"_s, spectrum.fundamental);
    for (int32_t k = 2; k < 2 + spectrum.harmonicCount; ++k)
        line(u"harmonic\t"_s + QString::number(k), spectrum.harmonics[k - 2]);
    if (spectrum.hasThd)
        text += u"thd\t"_s + number(spectrum.thdPercent) + u'\t' + number(spectrum.thdDb) + u'\n';
    return text;
}
