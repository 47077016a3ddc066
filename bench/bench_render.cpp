// SPDX-License-Identifier: GPL-3.0-or-later
// A full redraw of the 600 x 400 window image with three 65535-sample traces, against a
// naive renderer (every sample one polyline point on the same QPainter) and against the
// floor of one plain pass over the same samples; and the same redraw of a maximised
// window's 1900 x 1000 screen against that floor; and one wheel step on that window (the
// view change and the one redraw it causes) as the window's kept image draws it, and for
// comparison drawn whole into a reused image and into a new one; and the window's first
// frame. Prints the ratios at the end.
#include "ratio_reporter.h"
#include "screen/painter_surface.h"
#include "screen/screen_renderer.h"
#include "screen/view.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int32_t SampleCount = 65535;

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

RenderRequest FullRedraw()
{
    CaptureView view = NewCaptureView(BenchCapture());
    view.cursorsShown = 1;
    return ImageRenderRequest(view);
}

void BM_Renderer(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    const RenderRequest request = FullRedraw();
    QImage image(request.width, request.height, QImage::Format_RGB32);
    for (auto _ : state) {
        PainterSurface surface(&image);
        ScreenRenderer(capture, surface, request);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// A maximised window on a large display: the same traces on a 1900 x 1000 screen.
void BM_RendererLarge(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    RenderRequest request = FullRedraw();
    request.width = 1900;
    request.height = 1000;
    QImage image(request.width, request.height, QImage::Format_RGB32);
    for (auto _ : state) {
        PainterSurface surface(&image);
        ScreenRenderer(capture, surface, request);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// What a first attempt would do: the background, then each trace as one polyline through
// every sample, with the same painter and pens.
void BM_NaivePolyline(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    const RenderRequest request = FullRedraw();
    const int32_t w = request.width;
    const int32_t h = request.height;
    QImage image(w, h, QImage::Format_RGB32);
    std::vector<QPoint> points(SampleCount);
    const QColor colours[SlotCount] = {QColor(0, 255, 255), QColor(255, 255, 0),
                                       QColor(255, 128, 64)};
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(0, 0, w, h, Qt::black);
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            painter.setPen(QPen(colours[slot], 1, Qt::SolidLine, Qt::SquareCap));
            for (int32_t i = 0; i < SampleCount; ++i)
                points[i] = QPoint(SampleColumn(i, SampleCount, w),
                                   TraceRow(capture.samples[slot][i], h / 2, h / 8));
            painter.drawPolyline(points.data(), SampleCount);
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The view of a maximised window on a large display, cursors shown.
CaptureView LargeWindowView(const Capture& capture)
{
    CaptureView view = NewCaptureView(capture);
    view.imageWidth = 1900;
    view.imageHeight = 1000;
    view.cursorsShown = 1;
    return view;
}

// Notches in and out at a pointer left of the centre, so that every step both moves and
// zooms the view, drawn as the window draws it: into its kept screen image, which only
// rewrites what changed.
void BM_WheelStep(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    CaptureView view = LargeWindowView(capture);
    ScreenImage screen;
    // The window's first frame, which also builds the tables of the samples' extremes, is
    // drawn before the steps (BM_FirstFrame times it).
    screen.Render(capture, WindowRenderRequest(view), 1.0);
    int32_t delta = 120;
    for (auto _ : state) {
        ZoomViewAt(view, SampleCount, WheelZoomCount(view.visibleCount, SampleCount, delta), 700,
                   1900);
        delta = -delta;
        benchmark::DoNotOptimize(
            screen.Render(capture, WindowRenderRequest(view), 1.0).constBits());
    }
}

// The first frame of a new window image at 1900 x 1000: the whole image and the tables of
// the samples' extremes that the later frames look columns up in.
void BM_FirstFrame(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    CaptureView view = LargeWindowView(capture);
    for (auto _ : state) {
        ScreenImage screen;
        benchmark::DoNotOptimize(
            screen.Render(capture, WindowRenderRequest(view), 1.0).constBits());
    }
}

// The same steps, each frame drawn whole into one reused image.
void BM_WheelStepWhole(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    CaptureView view = LargeWindowView(capture);
    QImage image(1900, 1000, QImage::Format_RGB32);
    int32_t delta = 120;
    for (auto _ : state) {
        ZoomViewAt(view, SampleCount, WheelZoomCount(view.visibleCount, SampleCount, delta), 700,
                   1900);
        delta = -delta;
        PainterSurface surface(&image);
        ScreenRenderer(capture, surface, WindowRenderRequest(view));
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The same steps as the window drew them before it kept its image: a new image each time.
void BM_WheelStepNewImage(benchmark::State& state)
{
    const Capture& capture = BenchCapture();
    CaptureView view = LargeWindowView(capture);
    int32_t delta = 120;
    for (auto _ : state) {
        ZoomViewAt(view, SampleCount, WheelZoomCount(view.visibleCount, SampleCount, delta), 700,
                   1900);
        delta = -delta;
        const QImage image = RenderScreenImage(capture, WindowRenderRequest(view), 1.0);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The least any renderer must do: read every visible sample once.
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

BENCHMARK(BM_Renderer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RendererLarge)->Unit(benchmark::kMicrosecond);
// Both sides of the tightest ratio run five times and count with their fastest run: the
// wheel step's cost is mostly memory traffic, which other programs on a shared machine slow
// down from run to run by a third and more.
BENCHMARK(BM_WheelStep)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_FirstFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WheelStepWhole)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WheelStepNewImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NaivePolyline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPass)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// Keeps each benchmark's time per iteration for the ratios.
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("naive polyline / renderer (goal at least 15)", "BM_NaivePolyline",
                        "BM_Renderer");
    reporter.PrintRatio("renderer / plain pass (goal at most 15)", "BM_Renderer", "BM_PlainPass");
    reporter.PrintRatio("renderer at 1900 x 1000 / plain pass (goal at most 15)",
                        "BM_RendererLarge", "BM_PlainPass");
    reporter.PrintRatio("wheel step at 1900 x 1000 / plain pass (goal at most 3)", "BM_WheelStep",
                        "BM_PlainPass");
    reporter.PrintRatio("first frame of a new window image / plain pass", "BM_FirstFrame",
                        "BM_PlainPass");
    reporter.PrintRatio("wheel step drawn whole / plain pass", "BM_WheelStepWhole", "BM_PlainPass");
    reporter.PrintRatio("wheel step on a new image / plain pass", "BM_WheelStepNewImage",
                        "BM_PlainPass");
    benchmark::Shutdown();
    return 0;
}
