// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/csv_export.h"

#include "output/text_file.h"
#include "text/number_text.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

// `count` lines of three numbers, 15 significant digits each, CR LF after every line;
// `fields(i)` gives line i's. A NaN field of a capture line is a sample the file does not
// hold and stays empty (a spectrum has none).
template <typename Fields>
bool ExportTable(int64_t count, Fields fields, const QString& path, bool emptyNan)
{
    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    std::string& text = file.pending;
    for (int64_t i = 0; i < count; ++i) {
        const std::array<double, 3> values = fields(i);
        for (size_t f = 0; f < values.size(); ++f) {
            if (f > 0) text += ',';
            if (!(emptyNan && std::isnan(values[f]))) AppendNumberText(text, values[f], 15, true);
        }
        text += "\r\n";
        if (text.size() >= ExportChunkBytes) FlushExportFile(file);
    }
    return CommitExportFile(file);
}

} // namespace

bool ExportCsv(const Capture& capture, const QString& path)
{
    const int32_t n = capture.samplesPerChannel;
    if (n > 0 && !capture.sampleBlock) return false;
    return ExportTable(
        n,
        [&](int64_t i) {
            const auto sample = static_cast<int32_t>(i);
            // An absent channel 2 reads 0 everywhere, so the third field is always there. A
            // missing sample leaves its field empty; the line keeps its time.
            const auto value = [&](int32_t slot) {
                if (capture.present[slot] == 1 && !SamplePresent(capture, slot, sample))
                    return std::numeric_limits<double>::quiet_NaN();
                return SampleValue(capture, slot, sample);
            };
            return std::array<double, 3>{SampleTime(capture, sample), value(SlotCh1),
                                         value(SlotCh2)};
        },
        path, true);
}

bool ExportSpectrumCsv(const Spectrum& spectrum, const QString& path)
{
    return ExportTable(
        static_cast<int64_t>(spectrum.rms.size()),
        [&](int64_t bin) {
            return std::array<double, 3>{BinFrequency(spectrum, static_cast<int32_t>(bin)),
                                         spectrum.rms[static_cast<size_t>(bin)],
                                         spectrum.dbv[static_cast<size_t>(bin)]};
        },
        path, false);
}
