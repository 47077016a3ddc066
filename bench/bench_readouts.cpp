// SPDX-License-Identifier: GPL-3.0-or-later
// Measurements and the math trace over a full record of three slots, against a baseline
// that only reads the same samples once: each should stay within a small factor of it.
#include "math/math_channel.h"
#include "readouts/readouts.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

namespace {

constexpr int32_t kSamples = 65535;

Capture FullCapture()
{
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.timePerDiv = 0.001;
    capture.samplesPerChannel = kSamples;
    AllocateSamples(capture);
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        capture.present[slot] = 1;
        capture.voltsPerDiv[slot] = 0.5;
        for (int32_t i = 0; i < kSamples; ++i)
            capture.samples[slot][i] = std::sin(i * 0.001 * (slot + 1)) * 3;
    }
    return capture;
}

void Baseline(benchmark::State& state)
{
    const Capture capture = FullCapture();
    for (auto _ : state) {
        double sum = 0;
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            for (int32_t i = 0; i < kSamples; ++i)
                sum += SampleValue(capture, slot, i);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(Baseline);

void Measure(benchmark::State& state)
{
    const Capture capture = FullCapture();
    const int32_t mode = static_cast<int32_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasureText(capture, kSamples - 1, 0, mode));
}
BENCHMARK(Measure)->Arg(MeasurePeak)->Arg(MeasureRms)->Arg(MeasureMean);

// Range 0: Auto scale (two passes); otherwise a fixed scale (one pass).
void ComputeMathTrace(benchmark::State& state)
{
    Capture capture = FullCapture();
    MathSettings settings{};
    settings.operation = MathMultiply;
    settings.operandX = SlotCh1;
    settings.operandY = SlotCh2;
    settings.scale = static_cast<double>(state.range(0));
    for (auto _ : state) {
        ComputeMath(capture, settings);
        benchmark::DoNotOptimize(capture.samples[SlotMath][0]);
    }
}
BENCHMARK(ComputeMathTrace)->Arg(0)->Arg(1);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char* const runs[] = {"Measure/0", "Measure/1", "Measure/2", "ComputeMathTrace/0",
                                "ComputeMathTrace/1"};
    for (const char* run : runs)
        reporter.PrintRatio((std::string(run) + " / one plain pass").c_str(), run, "Baseline");
    benchmark::Shutdown();
    return 0;
}
