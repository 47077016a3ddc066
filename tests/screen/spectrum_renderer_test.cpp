// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/spectrum_renderer.h"
#include "support/recording_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The plot in each style and state: trace colour, labels, the why of a missing spectrum,
// every pen and font given back, and clicks mapped to the bins under them.
TEST(SpectrumRendererTest, DrawsLevelsLabelsAndTheReasonForNone)
{
    std::vector<double> x(1000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = 2.0 * std::sin(2 * 3.141592653589793 * 50 * static_cast<double>(i) / 1000.0);
    Spectrum good{};
    ComputeSpectrum(good, x.data(), 1000, 1e-3, WindowHann); // 1 Hz bins, 50 Hz tone
    x[7] = std::numeric_limits<double>::quiet_NaN();
    Spectrum bad{};
    ComputeSpectrum(bad, x.data(), 1000, 1e-3, WindowHann);

    struct Case {
        const Spectrum* spectrum;
        bool paper;
        bool log;
        int32_t slot;
        Rgb trace;
        const char* label; // expected among the texts
    };
    const Case cases[] = {
        {&good, false, false, SlotCh2, {255, 255, 0}, "f0: 50 Hz"},
        {&good, true, true, SlotCh1, {255, 0, 0}, "100 Hz"},
        {&bad, false, false, SlotMath, {255, 128, 64}, ""},
    };
    for (const Case& c : cases) {
        RecordingSurface surface;
        SpectrumRenderRequest request{600,   400,    0,  0,         c.paper, SpectrumScaleDbv,
                                      c.log, c.slot, -1, u"scope"_s};
        SpectrumRenderer(*c.spectrum, surface, request);
        const std::vector<QString> texts = surface.TextStrings();
        const bool drawn = c.spectrum->status == SpectrumOk;
        EXPECT_EQ(surface.LinesIn(c.trace).empty(), !drawn) << c.label;
        const QString expected =
            drawn ? QString::fromUtf8(c.label) : SpectrumStatusText(SpectrumNotFinite);
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << c.label;
        EXPECT_EQ(std::find(texts.begin(), texts.end(), u"scope"_s) != texts.end(), true);
        EXPECT_EQ(surface.fonts.size(), c.paper ? 1u : 0u);
        EXPECT_TRUE(surface.AllReleased());
        EXPECT_EQ(surface.outsideDrawing, 0);
        if (!drawn) continue;
        const SpectrumAxes axes = SpectrumAxesFor(*c.spectrum, request);
        EXPECT_EQ(SpectrumBinAtColumn(*c.spectrum, request, axes.left + axes.width), 500);
        EXPECT_EQ(SpectrumBinAtColumn(*c.spectrum, request, axes.left), c.log ? 1 : 0);
        EXPECT_EQ(SpectrumBinAtColumn(*c.spectrum, request, axes.left - 1), -1);
    }
}

// Peaks crowded together: the numbers drawn never overlap, the strongest are kept, and no
// marker falls outside the frequency span shown.
TEST(SpectrumRendererTest, PeakNumbersNeverOverlap)
{
    std::vector<double> x(4000);
    for (size_t i = 0; i < x.size(); ++i) {
        const auto t = static_cast<double>(i) / 4000.0;
        x[i] = 2.0 * std::sin(2 * 3.141592653589793 * 100 * t);
        for (int32_t k = 0; k < 12; ++k) // a comb of tones 7 bins apart
            x[i] += 0.3 / (k + 1) * std::sin(2 * 3.141592653589793 * (300 + 7 * k) * t);
    }
    Spectrum spectrum{};
    ComputeSpectrum(spectrum, x.data(), 4000, 1e-4, WindowHann);
    ASSERT_GE(spectrum.peaks.size(), 8u);
    for (const bool log : {false, true}) {
        RecordingSurface surface;
        SpectrumRenderRequest request{300, 200,     0,  0, false, SpectrumScaleDbv,
                                      log, SlotCh1, -1, {}};
        SpectrumRenderer(spectrum, surface, request);
        // With a fundamental the linear axis ends at 11 f0; the log axis shows every bin.
        EXPECT_DOUBLE_EQ(SpectrumAxesFor(spectrum, request).highFrequency, log ? 5000.0 : 2750.0);
        std::vector<RecordedOp> numbers;
        for (const RecordedOp& op : surface.Texts()) {
            bool isNumber = false;
            const int32_t value = op.text.toInt(&isNumber);
            if (isNumber && value >= 1 && value <= SpectrumMaxPeaks) numbers.push_back(op);
        }
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(numbers.front().text, u"1"_s);
        const int32_t width = surface.TextWidth(u"10"_s);
        const int32_t height = surface.TextWidth(u"0"_s) * 9 / 5;
        for (size_t i = 0; i < numbers.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(std::abs(numbers[i].x1 - numbers[j].x1) < width &&
                             std::abs(numbers[i].y1 - numbers[j].y1) < height)
                    << numbers[i].text.toStdString() << " on " << numbers[j].text.toStdString();
    }
}

} // namespace
