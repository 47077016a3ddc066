// SPDX-License-Identifier: GPL-3.0-or-later
// The spectrum of 65535 samples (window, transform, levels, peaks, harmonics) and its plot
// at 600 x 400, each against the bare FFTW transform of the same length in the same run.
#include "analysis/spectrum.h"
#include "ratio_reporter.h"
#include "screen/spectrum_renderer.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <vector>

namespace {

constexpr int32_t Length = 65535;

// Mains-like: a fundamental, odd harmonics and a little noise, so that the peak search
// has real work.
const std::vector<double>& Samples()
{
    static const std::vector<double> samples = [] {
        std::vector<double> x(Length);
        uint32_t noise = 7;
        for (int32_t i = 0; i < Length; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double t = i * 1e-5;
            x[static_cast<size_t>(i)] = 325 * std::sin(2 * 3.141592653589793 * 50 * t) +
                                        20 * std::sin(2 * 3.141592653589793 * 150 * t) +
                                        (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        }
        return x;
    }();
    return samples;
}

void BM_BareTransform(benchmark::State& state)
{
    auto* in = static_cast<double*>(fftw_malloc(sizeof(double) * Length));
    auto* out = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (Length / 2 + 1)));
    const fftw_plan plan = fftw_plan_dft_r2c_1d(Length, in, out, FFTW_ESTIMATE);
    const std::vector<double>& x = Samples();
    for (auto _ : state) {
        std::copy(x.begin(), x.end(), in);
        fftw_execute(plan);
        benchmark::DoNotOptimize(out[1][0]);
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}

void BM_Spectrum(benchmark::State& state)
{
    const std::vector<double>& x = Samples();
    Spectrum spectrum{};
    for (auto _ : state) {
        ComputeSpectrum(spectrum, x.data(), Length, 1e-5, WindowHann);
        benchmark::DoNotOptimize(spectrum.peaks.data());
    }
}

void BM_SpectrumDrawing(benchmark::State& state)
{
    Spectrum spectrum{};
    ComputeSpectrum(spectrum, Samples().data(), Length, 1e-5, WindowHann);
    SpectrumRenderRequest request{};
    request.width = 600;
    request.height = 400;
    request.markerBin = -1;
    for (auto _ : state) {
        const QImage image = RenderSpectrumImage(spectrum, request);
        benchmark::DoNotOptimize(image.constBits());
    }
}

BENCHMARK(BM_BareTransform)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spectrum)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumDrawing)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("spectrum / bare transform (goal at most 2)", "BM_Spectrum",
                        "BM_BareTransform");
    reporter.PrintRatio("drawing / bare transform (goal at most 5)", "BM_SpectrumDrawing",
                        "BM_BareTransform");
    benchmark::Shutdown();
    return 0;
}
