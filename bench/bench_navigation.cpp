// SPDX-License-Identifier: GPL-3.0-or-later
// One wheel step on a maximised window: three 65535-sample traces on a 1900 x 1000 screen,
// the view change and the one redraw it causes, against one plain pass over the samples.
#include "ratio_reporter.h"
#include "screen/painter_surface.h"
#include "screen/screen_renderer.h"
#include "screen/view.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int32_t SampleCount = 65535;
constexpr int32_t Width = 1900;
constexpr int32_t Height = 1000;

// Noisy sines quantised as a scope's converter would, as in the render benchmark.
Capture& BenchCapture()
{
    static Capture capture = [] {
        Capture c{};
        c.hDivisions = 12;
        c.vDivisions = 8;
        c.samplesPerChannel = SampleCount;
        c.timePerDiv = 1e-3;
        c.triggerIndex = SampleCount / 2;
        AllocateSamples(c);
        uint32_t noise = 1;
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            c.present[slot] = 1;
            c.voltsPerDiv[slot] = 1.0;
            for (int32_t i = 0; i < SampleCount; ++i) {
                noise = noise * 1664525u + 1013904223u;
                const double jitter = static_cast<double>(noise >> 24) / 256.0 - 0.5;
                c.samples[slot][i] =
                    std::round((3.0 * std::sin(i * (slot + 1) * 0.0007) + 0.3 * jitter) * 25) / 25;
            }
        }
        return c;
    }();
    return capture;
}

// Notches in and out at a pointer left of the centre, so that every step both moves and
// zooms the view; the window's image is reused as a widget's back buffer would be.
void BM_WheelStep(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    CaptureView view = NewCaptureView(capture);
    view.imageWidth = Width;
    view.imageHeight = Height;
    view.cursorsShown = 1;
    QImage image(Width, Height, QImage::Format_RGB32);
    int32_t delta = 120;
    for (auto _ : state) {
        ZoomViewAt(view, SampleCount, WheelZoomCount(view.visibleCount, SampleCount, delta), 700,
                   Width);
        delta = -delta;
        PainterSurface surface(&image);
        ScreenRenderer(capture, surface, WindowRenderRequest(view));
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The least any redraw must do: read every sample once.
void BM_PlainPass(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    for (auto _ : state) {
        double sum = 0.0;
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            const double* samples = capture.samples[slot];
            for (int32_t i = 0; i < SampleCount; ++i)
                sum += samples[i];
        }
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(BM_WheelStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPass)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("wheel step at 1900 x 1000 / plain pass (goal at most 3)", "BM_WheelStep",
                        "BM_PlainPass");
    benchmark::Shutdown();
    return 0;
}
