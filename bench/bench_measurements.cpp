// SPDX-License-Identifier: GPL-3.0-or-later
// All automatic measurements of three channels of a full record, against a baseline that
// only reads the same samples once: the table has to keep up with scrolling.
#include "analysis/measurements.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

namespace {

constexpr int32_t kSamples = 65535;

// A noisy square with ringing, a sine and a slow ramp: edges, levels and crossings to find.
Capture FullCapture()
{
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.timePerDiv = 0.001;
    capture.samplesPerChannel = kSamples;
    AllocateSamples(capture);
    uint32_t noise = 12345;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        capture.present[slot] = 1;
        capture.voltsPerDiv[slot] = 0.5;
        for (int32_t i = 0; i < kSamples; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double jitter = static_cast<double>(noise >> 30) - 1.5;
            const int32_t phase = i % 1000;
            const double square = (phase < 500 ? 2.0 : -2.0) * (1 - std::exp(-(phase % 500) / 8.0));
            const double wave = slot == 0   ? square
                                : slot == 1 ? 3 * std::sin(i * 0.0123)
                                            : (i % 20000) / 5000.0 - 2;
            capture.samples[slot][i] = std::round(wave * 25 + jitter) / 25;
        }
    }
    return capture;
}

void Baseline(benchmark::State& state)
{
    const Capture capture = FullCapture();
    for (auto _ : state) {
        double sum = 0;
        for (int32_t slot = 0; slot < SlotCount; ++slot)
            for (int32_t i = 0; i < kSamples; ++i)
                sum += SampleValue(capture, slot, i);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(Baseline);

void AllMeasurements(benchmark::State& state)
{
    const Capture capture = FullCapture();
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasureAll(capture, 0, kSamples - 1));
}
BENCHMARK(AllMeasurements);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("All measurements / one plain pass (goal <= 10)", "AllMeasurements",
                        "Baseline");
    benchmark::Shutdown();
    return 0;
}
