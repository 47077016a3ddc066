// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

// cycles: periods within the record, so cycles = 7 lies exactly on bin 7.
std::vector<double> Sine(int32_t n, double cycles, double amplitude, double phase = 0.3)
{
    std::vector<double> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = amplitude * std::sin(2 * Pi * cycles * i / n + phase);
    return x;
}

double DbOf(double rms)
{
    return 20 * std::log10(rms);
}

TEST(SpectrumTest, WindowsArePeriodicAndLengthOneIsOne)
{
    EXPECT_EQ(SpectrumWindowValues(WindowFlatTop, 1), std::vector<double>{1.0});
    const std::vector<double> hann = SpectrumWindowValues(WindowHann, 4);
    const double expected[] = {0.0, 0.5, 1.0, 0.5};
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_NEAR(hann[i], expected[i], 1e-15) << i;
    // Periodic: the mean of a cosine sum over whole periods is its first coefficient.
    const double a0[] = {1.0, 0.5, 0.35875, 0.21557895};
    for (int32_t kind = 0; kind < SpectrumWindowCount; ++kind) {
        double sum = 0;
        for (double w : SpectrumWindowValues(kind, 1000))
            sum += w;
        EXPECT_NEAR(sum / 1000, a0[kind], 1e-12) << kind;
    }
}

// A sine of amplitude A reads A / sqrt 2 RMS: the rectangle on a bin, the flat top anywhere,
// and a peak's refined level with any window.
TEST(SpectrumTest, SineLevelIsAmplitudeOverRootTwo)
{
    struct Case {
        int32_t window;
        int32_t n;
        double cycles;
        double toleranceDb;
    };
    const Case cases[] = {
        {WindowRect, 1000, 50, 0.01},
        {WindowRect, 999, 17, 0.01},
        {WindowFlatTop, 1000, 50.25, 0.05},
        {WindowFlatTop, 4096, 100.5, 0.05},
        {WindowFlatTop, 65535, 3001.37, 0.05},
        {WindowHann, 2000, 70.5, 0.1},
        {WindowBlackmanHarris, 2000, 70.3, 0.1},
    };
    for (const Case& c : cases) {
        Spectrum s{};
        const double amplitude = 3.0;
        const std::vector<double> x = Sine(c.n, c.cycles, amplitude);
        ComputeSpectrum(s, x.data(), c.n, 1e-3, c.window);
        ASSERT_EQ(s.status, SpectrumOk);
        const double expected = DbOf(amplitude / std::sqrt(2.0));
        double highest = -1e300;
        for (double dbv : s.dbv)
            highest = std::max(highest, dbv);
        if (c.window == WindowRect || c.window == WindowFlatTop) {
            EXPECT_NEAR(highest, expected, c.toleranceDb) << c.window << " " << c.cycles;
        }
        ASSERT_FALSE(s.peaks.empty());
        EXPECT_NEAR(s.peaks[0].dbv, expected, 0.1) << c.window << " " << c.cycles;
    }
}

TEST(SpectrumTest, HannPeakFrequencyWithinTwentiethOfABin)
{
    for (const double cycles : {100.0, 100.1, 100.25, 100.5, 100.73, 257.9, 1234.45}) {
        Spectrum s{};
        const std::vector<double> x = Sine(8000, cycles, 1.0);
        ComputeSpectrum(s, x.data(), 8000, 1e-4, WindowHann);
        ASSERT_FALSE(s.peaks.empty());
        EXPECT_NEAR(s.peaks[0].frequency / s.binWidth, cycles, 0.05) << cycles;
        EXPECT_DOUBLE_EQ(s.binWidth, 1.0 / (8000 * 1e-4));
    }
}

TEST(SpectrumTest, RectangularBinsAddUpToTheMeanSquare)
{
    for (const int32_t n : {1, 2, 3, 600, 601, 4096}) {
        std::vector<double> x(static_cast<size_t>(n));
        uint32_t noise = 12345;
        double meanSquare = 0;
        for (double& v : x) {
            noise = noise * 1664525u + 1013904223u;
            v = 0.7 + static_cast<double>(noise >> 8) / (1 << 24) - 0.5;
            meanSquare += v * v / n;
        }
        Spectrum s{};
        ComputeSpectrum(s, x.data(), n, 1e-6, WindowRect);
        double power = 0;
        for (double rms : s.rms)
            power += rms * rms;
        EXPECT_NEAR(power, meanSquare, 1e-9 * meanSquare) << n;
    }
}

TEST(SpectrumTest, HarmonicsAndThd)
{
    // 50 Hz with odd harmonics, as mains through a rectifier load looks, between bins.
    const int32_t n = 10000;
    const double dt = 1.0 / 9973.0;
    const double levels[HighestHarmonic + 1] = {0, 10.0, 0.02, 1.5, 0.01, 0.8, 0, 0.3, 0, 0.1, 0};
    std::vector<double> x(n, 0.0);
    for (int32_t k = 1; k <= HighestHarmonic; ++k)
        for (int32_t i = 0; i < n; ++i)
            x[static_cast<size_t>(i)] += levels[k] * std::sin(2 * Pi * 50.0 * k * i * dt + k);
    for (const int32_t window : {WindowHann, WindowBlackmanHarris, WindowFlatTop}) {
        Spectrum s{};
        ComputeSpectrum(s, x.data(), n, dt, window);
        ASSERT_TRUE(s.periodic);
        EXPECT_NEAR(s.fundamental.frequency, 50.0, 0.05 * s.binWidth) << window;
        EXPECT_NEAR(s.fundamental.dbv, DbOf(10.0 / std::sqrt(2.0)), 0.1);
        ASSERT_EQ(s.harmonicCount, HighestHarmonic - 1);
        double harmonicPower = 0;
        for (int32_t k = 2; k <= HighestHarmonic; ++k) {
            harmonicPower += levels[k] * levels[k];
            if (levels[k] < 0.05) continue; // below the window's leakage floor
            EXPECT_NEAR(s.harmonics[k - 2].dbv, DbOf(levels[k] / std::sqrt(2.0)), 0.1)
                << window << " harmonic " << k;
        }
        const double thd = std::sqrt(harmonicPower) / 10.0;
        EXPECT_NEAR(s.thdDb, DbOf(thd), 0.1) << window;
        EXPECT_NEAR(s.thdPercent, 100 * thd, 100 * thd * 0.012) << window;
    }
}

TEST(SpectrumTest, LengthsFlatLinesAndInvalidSamples)
{
    // A window spreads DC into its own main lobe, but never makes a peak of it.
    for (const int32_t n : {1, 2, 3, 600, 65535}) {
        const std::vector<double> flat(static_cast<size_t>(n), -1.25);
        for (const int32_t window : {WindowRect, WindowHann}) {
            if (window == WindowHann && n < 600) continue; // Hann of 2 is [0, 1]: no flat line
            Spectrum s{};
            ComputeSpectrum(s, flat.data(), n, 1e-6, window);
            ASSERT_EQ(s.status, SpectrumOk) << n;
            EXPECT_EQ(s.rms.size(), static_cast<size_t>(n / 2 + 1)) << n;
            EXPECT_NEAR(s.rms[0], 1.25, 1e-12) << n;
            for (size_t k = window == WindowRect ? 1 : 2; k < s.rms.size(); ++k)
                ASSERT_LT(s.rms[k], 1e-12) << n << " bin " << k;
            EXPECT_TRUE(s.peaks.empty()) << n;
            EXPECT_FALSE(s.periodic) << n;
        }
    }
    struct Case {
        double bad;
        double interval;
        int32_t status;
    };
    const Case cases[] = {
        {std::numeric_limits<double>::quiet_NaN(), 1e-3, SpectrumNotFinite},
        {std::numeric_limits<double>::infinity(), 1e-3, SpectrumNotFinite},
        {0.0, 0.0, SpectrumNoTimeBase},
    };
    for (const Case& c : cases) {
        std::vector<double> x(100, 1.0);
        x[42] = c.bad;
        Spectrum s{};
        ComputeSpectrum(s, x.data(), 100, c.interval, WindowHann);
        EXPECT_EQ(s.status, c.status);
        EXPECT_TRUE(s.rms.empty());
        EXPECT_FALSE(SpectrumReadoutText(s).isEmpty());
    }
    Spectrum empty{};
    ComputeSpectrum(empty, nullptr, 0, 1e-3, WindowHann);
    EXPECT_EQ(empty.status, SpectrumNoSamples);
}

} // namespace

namespace {

// A tone on the scope's grid: 25 steps per division at 1 V/DIV.
std::vector<double> Quantised(std::vector<double> x)
{
    for (double& v : x)
        v = std::nearbyint(v * 25) / 25;
    return x;
}

// The least-squares amplitude of the tone on bin `cycles`: its DFT bin, by brute force.
double ToneRms(const std::vector<double>& x, int32_t cycles)
{
    const auto n = static_cast<double>(x.size());
    double re = 0;
    double im = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        re += x[i] * std::cos(2 * Pi * cycles * static_cast<double>(i) / n);
        im -= x[i] * std::sin(2 * Pi * cycles * static_cast<double>(i) / n);
    }
    return std::hypot(re, im) * 2 / n / std::sqrt(2.0);
}

} // namespace

// A coherent tone stays on its bin at its level under every window, quantisation noise
// and all, and harmonics and THD appear exactly when the fundamental is 2 L bins up.
TEST(SpectrumTest, CoherentQuantisedTonesEveryWindow)
{
    for (const int32_t n : {1000, 1003, 2500}) {
        for (const int32_t cycles : {1, 3, 5, 9, 10, 37}) {
            const std::vector<double> x = Quantised(Sine(n, cycles, 2.9, 0.1 * cycles));
            const double rms = ToneRms(x, cycles);
            for (int32_t window = 0; window < SpectrumWindowCount; ++window) {
                SCOPED_TRACE(testing::Message() << n << " samples, " << cycles << " periods, "
                                                << SpectrumWindowName(window).toStdString());
                Spectrum s{};
                ComputeSpectrum(s, x.data(), n, 1e-6, window);
                const int32_t lobe = SpectrumMainLobeBins(window);
                ASSERT_EQ(s.periodic, cycles >= lobe);
                if (!s.periodic) {
                    EXPECT_EQ(s.harmonicCount, 0);
                    EXPECT_FALSE(s.hasThd);
                    continue;
                }
                EXPECT_NEAR(s.fundamental.frequency / s.binWidth, cycles, 0.1);
                EXPECT_NEAR(s.fundamental.dbv, DbOf(rms), 0.1);
                EXPECT_EQ(s.tooFewPeriods, cycles < 2 * lobe);
                EXPECT_EQ(s.hasThd, cycles >= 2 * lobe);
                if (s.hasThd) {
                    EXPECT_LT(s.thdPercent, 1.0);
                }
                // Harmonics sit at k f0 exactly, wherever the noise has its maxima.
                for (int32_t k = 2; k < 2 + s.harmonicCount; ++k)
                    EXPECT_DOUBLE_EQ(s.harmonics[k - 2].frequency, k * s.fundamental.frequency);
            }
        }
    }
}

// DC is no fundamental, whatever the window leaks into the bins next to it; peaks stand
// clear of the noise floor and of a larger peak's main lobe.
TEST(SpectrumTest, DcLinesAndPeaksAboveTheFloor)
{
    const int32_t n = 1000;
    for (int32_t window = 0; window < SpectrumWindowCount; ++window) {
        SCOPED_TRACE(SpectrumWindowName(window).toStdString());
        const std::vector<double> flat(n, -0.48);
        Spectrum s{};
        ComputeSpectrum(s, flat.data(), n, 1e-6, window);
        EXPECT_FALSE(s.periodic);
        EXPECT_TRUE(s.peaks.empty());
        EXPECT_TRUE(SpectrumReadoutText(s).startsWith(QStringLiteral("Grundwelle: ---\r\n")));

        // 1.5 V DC, a small tone 12 bins up, quantisation noise.
        std::vector<double> x = Sine(n, 12, 0.25);
        for (double& v : x)
            v += 1.5;
        x = Quantised(x);
        ComputeSpectrum(s, x.data(), n, 1e-6, window);
        ASSERT_TRUE(s.periodic);
        EXPECT_NEAR(s.fundamental.frequency / s.binWidth, 12, 0.1);
        ASSERT_FALSE(s.peaks.empty());
        std::vector<double> sorted = s.rms;
        std::sort(sorted.begin(), sorted.end());
        const double floor = sorted[sorted.size() / 2];
        for (size_t i = 0; i < s.peaks.size(); ++i) {
            EXPECT_GE(s.peaks[i].rms, floor * std::pow(10.0, PeakAboveMedianDb / 20)) << i;
            if (i > 0) {
                EXPECT_LE(s.peaks[i].rms, s.peaks[i - 1].rms * (1 + 1e-9)) << i;
            }
            for (size_t j = 0; j < i; ++j)
                EXPECT_GE(std::abs(s.peaks[i].bin - s.peaks[j].bin), SpectrumMainLobeBins(window));
        }
    }
}

TEST(SpectrumTest, ReadoutSaysWhyHarmonicsAreMissingAndSpeaksVolts)
{
    const std::vector<double> x = Sine(1000, 6, 1.0);
    Spectrum s{};
    ComputeSpectrum(s, x.data(), 1000, 1e-6, WindowFlatTop);
    ASSERT_TRUE(s.periodic);
    ASSERT_TRUE(s.tooFewPeriods);
    const QString text = SpectrumReadoutText(s);
    EXPECT_TRUE(text.contains(QStringLiteral("THD: ---   (zu wenige Perioden für dieses Fenster)")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Oberwelle 2")));

    ComputeSpectrum(s, x.data(), 1000, 1e-6, WindowRect);
    const QString volts = SpectrumReadoutText(s, true);
    EXPECT_TRUE(volts.contains(QStringLiteral("Grundwelle: 6 kHz   707.11 mV")))
        << volts.toStdString();
    EXPECT_TRUE(volts.contains(QStringLiteral("Oberwelle 2: 12 kHz")));
    EXPECT_FALSE(volts.contains(QStringLiteral("dBV")));
}

namespace {

struct Truth {
    double periods; // the tone's frequency in bins
    double rms;
};

// A fundamental is within a tenth of a bin and a tenth of a dB of the truth, or absent.
void ExpectRightOrAbsent(const Spectrum& s, const Truth& truth)
{
    if (!s.periodic) return;
    EXPECT_NEAR(s.fundamental.frequency / s.binWidth, truth.periods, 0.1);
    EXPECT_NEAR(s.fundamental.dbv, DbOf(truth.rms), 0.1);
}

// A PWM train of `periods` periods whose duty cycle wanders from 20 % to 70 %: beside its
// lines lie the sidebands of the wandering, inside the fundamental's lobe.
std::vector<double> WanderingPwm(int32_t n, double periods)
{
    std::vector<double> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        const double phase = periods * i / n;
        const double k = std::floor(phase);
        x[static_cast<size_t>(i)] = phase - k < 0.45 + 0.25 * std::sin(k * 0.7) ? 48.0 : 0.0;
    }
    return x;
}

} // namespace

// Tones between bins next to a large DC level and their own mirror image below 0 Hz: the
// fit of all three lobes together keeps the tone where it is.
TEST(SpectrumTest, NonCoherentTonesBesideDcAndTheirMirror)
{
    struct Case {
        int32_t window;
        double periods;
        double amplitude;
        double dc;
    };
    const Case cases[] = {
        {WindowRect, 1.1, 2.0, 0.0},         {WindowRect, 1.37, 1.0, 3.0},
        {WindowRect, 2.45, 1.0, -3.5},       {WindowRect, 7.3, 0.8, 4.0},
        {WindowHann, 2.45, 1.0, 3.0},        {WindowHann, 13.1, 1.0, 3.0},
        {WindowBlackmanHarris, 4.4, 1.0, 3}, {WindowFlatTop, 5.45, 1.0, 3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << SpectrumWindowName(c.window).toStdString() << " "
                                        << c.periods << " periods");
        std::vector<double> x = Sine(1000, c.periods, c.amplitude, 0.4);
        for (double& v : x)
            v += c.dc;
        Spectrum s{};
        ComputeSpectrum(s, Quantised(x).data(), 1000, 1e-6, c.window);
        ASSERT_TRUE(s.periodic);
        ExpectRightOrAbsent(s, {c.periods, c.amplitude / std::sqrt(2.0)});
    }
}

// Where the lobe holds more than one tone and DC, the fit does not match the window's shape
// and the fundamental is absent rather than wrong.
TEST(SpectrumTest, UnresolvedFundamentalIsAbsent)
{
    const int32_t n = 6000;
    const std::vector<double> pwm = WanderingPwm(n, 13.107);
    std::vector<double> twoTones = Sine(n, 10.3, 1.0);
    const std::vector<double> neighbour = Sine(n, 12.9, 0.6, 1.0);
    for (int32_t i = 0; i < n; ++i)
        twoTones[static_cast<size_t>(i)] += neighbour[static_cast<size_t>(i)];
    for (int32_t window = 0; window < SpectrumWindowCount; ++window) {
        SCOPED_TRACE(SpectrumWindowName(window).toStdString());
        Spectrum s{};
        ComputeSpectrum(s, pwm.data(), n, 2e-7, window);
        EXPECT_FALSE(s.periodic) << s.fundamental.frequency;
        EXPECT_TRUE(SpectrumReadoutText(s).startsWith(QStringLiteral("Grundwelle: ---\r\n")));
        ComputeSpectrum(s, twoTones.data(), n, 2e-7, window);
        ExpectRightOrAbsent(s, {10.3, 1.0 / std::sqrt(2.0)});
    }
}
