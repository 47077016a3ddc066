// SPDX-License-Identifier: GPL-3.0-or-later
// CSV export of a full two-channel capture (65535 samples) against a plain writer that
// prints the same numbers with snprintf("%.15g"). Prints the ratio of the two times.
#include "capture/capture.h"
#include "output/csv_export.h"
#include "ratio_reporter.h"
#include "text/number_text.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

namespace {

Capture MakeFullCapture()
{
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.timePerDiv = 0.0005;
    capture.samplesPerChannel = 65535;
    for (int32_t slot : {SlotCh1, SlotCh2})
        capture.present[slot] = 1;
    capture.voltsPerDiv[SlotCh1] = 0.5;
    capture.voltsPerDiv[SlotCh2] = 0.02;
    capture.offsetDiv[SlotCh1] = 0.4;
    capture.offsetDiv[SlotCh2] = -1.2;
    AllocateSamples(capture);
    // A noisy sine on the instrument's grid of 0.04 divisions.
    uint32_t noise = 12345;
    for (int32_t i = 0; i < capture.samplesPerChannel; ++i) {
        noise = noise * 1103515245u + 12345u;
        const int32_t raw1 = 128 + static_cast<int32_t>(90 * std::sin(i * 0.001)) +
                             static_cast<int32_t>(noise >> 29);
        const int32_t raw2 = 128 + static_cast<int32_t>(60 * std::cos(i * 0.0037));
        capture.samples[SlotCh1][i] = (raw1 - 128) / 25.0;
        capture.samples[SlotCh2][i] = (raw2 - 128) / 25.0;
    }
    return capture;
}

const Capture& FullCapture()
{
    static const Capture capture = MakeFullCapture();
    return capture;
}

QString TargetPath(const char* name)
{
    static QTemporaryDir dir;
    return dir.filePath(QString::fromLatin1(name));
}

void BM_ExportCsv(benchmark::State& state)
{
    const Capture& capture = FullCapture();
    const QString path = TargetPath("export.csv");
    for (auto _ : state) {
        if (!ExportCsv(capture, path)) state.SkipWithError("export failed");
    }
}

void BM_SnprintfBaseline(benchmark::State& state)
{
    const Capture& capture = FullCapture();
    const std::string path = TargetPath("baseline.csv").toStdString();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) {
            state.SkipWithError("cannot create baseline file");
            break;
        }
        char line[128];
        for (int32_t i = 0; i < capture.samplesPerChannel; ++i) {
            const int length =
                std::snprintf(line, sizeof line, "%.15g,%.15g,%.15g\r\n", SampleTime(capture, i),
                              SampleValue(capture, SlotCh1, i), SampleValue(capture, SlotCh2, i));
            std::fwrite(line, 1, static_cast<size_t>(length), file);
        }
        std::fclose(file);
    }
}

// The same two without the file: where the time goes.
void BM_NumbersOnly(benchmark::State& state)
{
    const Capture& capture = FullCapture();
    std::string text;
    for (auto _ : state) {
        text.clear();
        for (int32_t i = 0; i < capture.samplesPerChannel; ++i) {
            AppendNumberText(text, SampleTime(capture, i), 15, true);
            AppendNumberText(text, SampleValue(capture, SlotCh1, i), 15, true);
            AppendNumberText(text, SampleValue(capture, SlotCh2, i), 15, true);
        }
        benchmark::DoNotOptimize(text.data());
    }
}

void BM_SnprintfNumbersOnly(benchmark::State& state)
{
    const Capture& capture = FullCapture();
    std::string text;
    for (auto _ : state) {
        text.clear();
        char number[64];
        for (int32_t i = 0; i < capture.samplesPerChannel; ++i) {
            for (double value : {SampleTime(capture, i), SampleValue(capture, SlotCh1, i),
                                 SampleValue(capture, SlotCh2, i)}) {
                const int length = std::snprintf(number, sizeof number, "%.15g", value);
                text.append(number, static_cast<size_t>(length));
            }
        }
        benchmark::DoNotOptimize(text.data());
    }
}

BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnprintfBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumbersOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnprintfNumbersOnly)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("CSV file, ours / snprintf (goal at most 0.5)", "BM_ExportCsv",
                        "BM_SnprintfBaseline");
    reporter.PrintRatio("numbers only, ours / snprintf", "BM_NumbersOnly",
                        "BM_SnprintfNumbersOnly");
    benchmark::Shutdown();
    return 0;
}
