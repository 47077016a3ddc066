// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for what is computed and drawn from a capture: the readouts, every
// automatic measurement, the spectrum, and the screen and spectrum renderers, over captures
// built from the input (any length, scale, time base and sample values, NaN, infinities
// and the largest doubles among them), a math trace, and any cursor range and picture.
// Results must keep their documented form; nothing may crash or hit undefined behaviour.
#include "analysis/measurements.h"
#include "analysis/spectrum.h"
#include "math/math_channel.h"
#include "readouts/readouts.h"
#include "screen/screen_renderer.h"
#include "screen/spectrum_renderer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

// A surface that draws nothing, with fixed font metrics: the renderers' arithmetic runs
// as for a window, without a display.
class NullSurface : public DrawingSurface {
  public:
    NullSurface(int32_t width, int32_t height) : width_(width), height_(height) {}
    bool BeginDrawing() override { return true; }
    void EndDrawing() override {}
    int32_t SurfaceWidth() const override { return width_; }
    int32_t SurfaceHeight() const override { return height_; }
    void FillBox(int32_t, int32_t, int32_t, int32_t, Rgb) override {}
    PenHandle CreatePen(int32_t, int32_t, Rgb) override { return 1; }
    void SelectPen(PenHandle) override {}
    void ReleasePen(PenHandle) override {}
    void Line(int32_t, int32_t, int32_t, int32_t) override {}
    FontHandle LoadFont(const QString&, int32_t) override { return 1; }
    void SelectFont(FontHandle) override {}
    void SelectDefaultFont() override {}
    void ReleaseFont(FontHandle) override {}
    int32_t TextWidth(const QString& text) override
    {
        return 7 * static_cast<int32_t>(text.size());
    }
    void DrawText(int32_t, int32_t, const QString&, Rgb) override {}

  private:
    int32_t width_;
    int32_t height_;
};

// A value as an input may give it: mostly screen counts (what a file holds), sometimes any
// double at all.
double SampleFrom(FuzzedDataProvider& input)
{
    if (input.ConsumeIntegralInRange<int>(0, 7) != 0)
        return (input.ConsumeIntegral<uint8_t>() - 128) / 25.0;
    return input.ConsumeFloatingPoint<double>();
}

double ScaleFrom(FuzzedDataProvider& input)
{
    static const double usual[] = {0.002, 0.05, 1, 5, 1e-300, 1e155, 1e300, 0, -1};
    if (input.ConsumeBool()) return input.PickValueInArray(usual);
    return input.ConsumeFloatingPoint<double>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = input.ConsumeBool() ? 8 : input.ConsumeIntegralInRange<int32_t>(1, 16);
    capture.timePerDiv = input.ConsumeBool() ? 1e-3 : input.ConsumeFloatingPoint<double>();
    capture.samplesPerChannel = input.ConsumeIntegralInRange<int32_t>(1, 2048);
    capture.triggerIndex = input.ConsumeIntegral<int32_t>();
    capture.triggerLevel = input.ConsumeFloatingPoint<double>();
    if (!AllocateSamples(capture)) return 0;
    const int32_t n = capture.samplesPerChannel;
    capture.present[SlotCh1] = 1;
    capture.present[SlotCh2] = input.ConsumeBool() ? 1 : 0;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        capture.voltsPerDiv[slot] = ScaleFrom(input);
        capture.probeFactor[slot] = 1;
        capture.offsetDiv[slot] = input.ConsumeBool() ? 0 : SampleFrom(input);
    }
    for (int32_t slot = SlotCh1; slot <= SlotCh2; ++slot) {
        for (int32_t i = 0; i < n && input.remaining_bytes() > 0; ++i)
            capture.samples[slot][i] = SampleFrom(input);
    }
    if (input.ConsumeBool()) {
        MathSettings math{};
        math.operation = input.ConsumeIntegralInRange<int32_t>(MathOff, MathNegate);
        math.operandX = input.ConsumeIntegralInRange<int32_t>(-1, SlotCount - 1);
        math.operandY = input.ConsumeIntegralInRange<int32_t>(-1, SlotCount - 1);
        math.scale = input.ConsumeBool() ? 0 : std::fabs(ScaleFrom(input));
        math.offset = SampleFrom(input);
        math.constantX = ScaleFrom(input);
        math.constantY = ScaleFrom(input);
        ComputeMath(capture, math);
    }
    // A range anywhere, also beyond the record and reversed.
    const int32_t first = input.ConsumeBool() ? input.ConsumeIntegralInRange<int32_t>(-2, n + 1)
                                              : input.ConsumeIntegral<int32_t>();
    const int32_t last = input.ConsumeBool() ? input.ConsumeIntegralInRange<int32_t>(-2, n + 1)
                                             : input.ConsumeIntegral<int32_t>();

    // Readouts and measurements: every value a measurement gives is a number.
    for (int32_t mode = MeasurePeak; mode <= MeasureMean; ++mode)
        Check(!MeasureText(capture, first, last, mode).isEmpty());
    CursorReadoutTexts(capture, first, last);
    const MeasurementTable table = MeasureAll(capture, first, last);
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        for (const std::optional<double>& value : table.channels[slot].value)
            Check(!value || std::isfinite(*value));
    }
    MeasurementTableText(table, false);
    MeasurementTableText(table, true);

    // The spectrum of one present slot.
    int32_t slot = input.ConsumeIntegralInRange<int32_t>(0, SlotCount - 1);
    if (capture.present[slot] != 1) slot = SlotCh1;
    Spectrum spectrum{};
    ComputeCaptureSpectrum(spectrum, capture, slot, first, last,
                           input.ConsumeIntegralInRange<int32_t>(0, SpectrumWindowCount - 1));
    if (spectrum.status == SpectrumOk) {
        Check(spectrum.sampleCount >= 1 && spectrum.sampleCount <= n);
        Check(spectrum.rms.size() == static_cast<size_t>(spectrum.sampleCount / 2 + 1));
        Check(spectrum.dbv.size() == spectrum.rms.size());
        Check(spectrum.peaks.size() <= SpectrumMaxPeaks);
        Check(spectrum.harmonicCount >= 0 && spectrum.harmonicCount <= HighestHarmonic);
        for (const SpectrumPeak& peak : spectrum.peaks)
            Check(peak.bin >= 0 && static_cast<size_t>(peak.bin) < spectrum.rms.size());
    }
    SpectrumReadoutText(spectrum);

    // The screen, as a window, a picture or a page shows it.
    RenderRequest screen{};
    screen.width = input.ConsumeIntegralInRange<int32_t>(0, 4000);
    screen.height = input.ConsumeIntegralInRange<int32_t>(0, 4000);
    screen.originX = input.ConsumeIntegralInRange<int32_t>(-100, 100);
    screen.originY = input.ConsumeIntegralInRange<int32_t>(-100, 100);
    screen.firstSample = input.ConsumeIntegralInRange<int32_t>(-1, n);
    screen.sampleCount = input.ConsumeIntegralInRange<int32_t>(0, n + 1);
    screen.paperStyle = input.ConsumeBool();
    screen.showTrigger = input.ConsumeBool();
    screen.showChannelScale = input.ConsumeBool();
    screen.showTimeScale = input.ConsumeBool();
    screen.showFileName = input.ConsumeBool();
    screen.showCursors = input.ConsumeBool();
    screen.cursor1 = first;
    screen.cursor2 = last;
    screen.fillSurface = input.ConsumeBool();
    NullSurface screenSurface(screen.width + 200, screen.height + 200);
    ScreenRenderer(capture, screenSurface, screen);

    SpectrumRenderRequest plot{};
    plot.width = input.ConsumeIntegralInRange<int32_t>(0, 4000);
    plot.height = input.ConsumeIntegralInRange<int32_t>(0, 4000);
    plot.paperStyle = input.ConsumeBool();
    plot.scale = input.ConsumeBool() ? SpectrumScaleDbv : SpectrumScaleVolts;
    plot.logFrequency = input.ConsumeBool();
    plot.slot = slot;
    plot.markerBin = input.ConsumeIntegralInRange<int32_t>(-1, n);
    NullSurface plotSurface(plot.width, plot.height);
    SpectrumRenderer(spectrum, plotSurface, plot);
    SpectrumAxesFor(spectrum, plot);
    for (const int32_t x : {-1, 0, plot.width / 2, plot.width - 1, plot.width}) {
        const int32_t bin = SpectrumBinAtColumn(spectrum, plot, x);
        Check(bin == -1 || (bin >= 0 && static_cast<size_t>(bin) < spectrum.rms.size()));
    }
    return 0;
}
