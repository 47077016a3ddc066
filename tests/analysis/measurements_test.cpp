// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/measurements.h"

#include "capture/sav_reader.h"
#include "support/sav_builder.h"
#include "support/test_capture.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double Step = 0.04; // volts per sample step at 1 V/DIV
constexpr double Interval = 1e-6;

using Wave = std::function<double(double i)>; // sample index -> sample steps

// Captures written through the reader's own format: 1 V/DIV, 1 us per sample, each sample
// rounded to a whole step after adding up to `noise` steps either way.
Capture Synthetic(int32_t n, const std::vector<Wave>& waves, int32_t noise = 0)
{
    std::mt19937 random(42);
    std::uniform_int_distribution<int32_t> jitter(-noise, noise);
    SavFile file{};
    for (const Wave& wave : waves) {
        SavChannel channel{};
        channel.scaleMicroVolts = 1'000'000;
        channel.sampleIntervalPs = 1'000'000;
        for (int32_t i = 0; i < n; ++i)
            channel.raw.push_back(
                static_cast<uint16_t>(128 + std::lround(wave(i)) + jitter(random)));
        file.channels.push_back(channel);
    }
    Capture capture{};
    EXPECT_EQ(ReadCaptureBytes(capture, QStringLiteral("t.sav"), BuildSav(file)), ReadOk);
    return capture;
}

double Value(const MeasurementTable& table, int32_t slot, int32_t key)
{
    const std::optional<double>& value = table.channels[slot].value[key];
    EXPECT_TRUE(value.has_value()) << "key " << key;
    return value.value_or(NAN);
}

Wave Sine(double amplitude, double period, double shift = 0)
{
    return [=](double i) { return amplitude * std::sin(2 * Pi * (i - shift) / period); };
}

// A square of +-amplitude whose edges approach the new level with time constant tau;
// `high` samples of each period are high.
Wave RcSquare(double amplitude, int32_t period, int32_t high, double tau)
{
    return [=](double i) {
        const double phase = std::fmod(i, period);
        if (phase < high) return amplitude * (1 - 2 * std::exp(-phase / tau));
        return -amplitude * (1 - 2 * std::exp(-(phase - high) / tau));
    };
}

// A square whose every edge is a second-order step of damping zeta.
Wave RingingSquare(double amplitude, int32_t period, double zeta, double naturalPeriod)
{
    return [=](double i) {
        const double phase = std::fmod(i, period);
        const double since = phase < period / 2 ? phase : phase - period / 2;
        const double w = 2 * Pi / naturalPeriod;
        const double wd = w * std::sqrt(1 - zeta * zeta);
        const double step = 1 - std::exp(-zeta * w * since) *
                                    (std::cos(wd * since) +
                                     zeta / std::sqrt(1 - zeta * zeta) * std::sin(wd * since));
        return (phase < period / 2 ? 1 : -1) * amplitude * (2 * step - 1);
    };
}

TEST(MeasurementsTest, SineFrequencyLevelsAndCycleRms)
{
    struct Case {
        int32_t periods;
        double frequencyTolerance;
    };
    for (const Case& c : {Case{100, 1e-4}, Case{10, 1e-3}}) {
        const double period = 197.3;
        const auto n = static_cast<int32_t>(std::ceil(c.periods * period)) + 13;
        const Capture capture = Synthetic(n, {Sine(100, period, 7)}, 2);
        const MeasurementTable table = MeasureAll(capture, 0, n - 1);
        SCOPED_TRACE(c.periods);
        const double truth = 1 / (period * Interval);
        EXPECT_NEAR(Value(table, SlotCh1, MeasurementFrequency), truth,
                    truth * c.frequencyTolerance);
        EXPECT_EQ(Value(table, SlotCh1, MeasurementTop), Value(table, SlotCh1, MeasurementMax));
        EXPECT_EQ(Value(table, SlotCh1, MeasurementBase), Value(table, SlotCh1, MeasurementMin));
        const double rms = 100 * Step / std::sqrt(2.0);
        EXPECT_NEAR(Value(table, SlotCh1, MeasurementCycleRms), rms, rms * 0.005);
        EXPECT_NEAR(Value(table, SlotCh1, MeasurementAcRms), rms, rms * 0.005);
    }
}

TEST(MeasurementsTest, PulseTimingAndLevels)
{
    struct Case {
        const char* name;
        Wave wave;
        int32_t noise;
        double rise;       // seconds, or 0 for not checked
        double duty;       // percent, or 0
        double width;      // seconds of the positive pulse, or 0
        double level;      // true top = -base, in steps
        double levelSteps; // tolerance of top and base
        double overshoot;  // percent, or -1 for not checked
    };
    const double zeta = 0.4;
    const double overshoot = 100 * std::exp(-Pi * zeta / std::sqrt(1 - zeta * zeta));
    const Case cases[] = {
        {"rc tau 10", RcSquare(80, 400, 200, 10), 0, 2.197 * 10 * Interval, 0, 0, 80, 1, -1},
        {"rc tau 23", RcSquare(80, 600, 300, 23), 0, 2.197 * 23 * Interval, 0, 0, 80, 1, -1},
        {"pwm 20 %", RcSquare(60, 500, 100, 1.5), 1, 0, 20, 100 * Interval, 60, 2, -1},
        {"pwm 73 %", RcSquare(60, 300, 219, 1.5), 1, 0, 73, 219 * Interval, 60, 2, -1},
        {"ringing", RingingSquare(60, 1000, zeta, 40), 0, 0, 0, 0, 60, 1, overshoot},
        {"ringing, noise", RingingSquare(60, 1000, zeta, 40), 2, 0, 0, 0, 60, 2, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t n = 6000;
        const Capture capture = Synthetic(n, {c.wave}, c.noise);
        const MeasurementTable table = MeasureAll(capture, n - 1, 0);
        if (c.rise > 0) {
            EXPECT_NEAR(Value(table, SlotCh1, MeasurementRise), c.rise, Interval);
            EXPECT_NEAR(Value(table, SlotCh1, MeasurementFall), c.rise, Interval);
        }
        if (c.duty > 0) {
            EXPECT_NEAR(Value(table, SlotCh1, MeasurementPositiveDuty), c.duty, 0.1);
            EXPECT_NEAR(Value(table, SlotCh1, MeasurementNegativeDuty), 100 - c.duty, 0.1);
            EXPECT_NEAR(Value(table, SlotCh1, MeasurementPositiveWidth), c.width, Interval);
        }
        EXPECT_NEAR(Value(table, SlotCh1, MeasurementTop), c.level * Step, c.levelSteps * Step);
        EXPECT_NEAR(Value(table, SlotCh1, MeasurementBase), -c.level * Step, c.levelSteps * Step);
        if (c.overshoot >= 0) {
            EXPECT_NEAR(Value(table, SlotCh1, MeasurementOvershoot), c.overshoot, 1);
            EXPECT_NEAR(Value(table, SlotCh1, MeasurementPreshoot), c.overshoot, 1);
        }
    }
}

TEST(MeasurementsTest, DelayAndPhaseAgainstChannel1)
{
    struct Case {
        Wave ch1;
        Wave ch2;
        double shift; // samples
        double period;
    };
    const Case cases[] = {
        {Sine(90, 250.7), Sine(60, 250.7, 37.3), 37.3, 250.7},
        {Sine(90, 250.7), Sine(60, 250.7, 212.6), 212.6, 250.7},
        {RcSquare(70, 400, 200, 4), [](double i) { return RcSquare(70, 400, 200, 4)(i + 290); },
         110, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shift);
        const Capture capture = Synthetic(5000, {c.ch1, c.ch2});
        const MeasurementTable table = MeasureAll(capture, 0, 4999);
        EXPECT_NEAR(Value(table, SlotCh2, MeasurementDelay), c.shift * Interval, Interval);
        EXPECT_NEAR(Value(table, SlotCh2, MeasurementPhase), c.shift / c.period * 360, 0.5);
        EXPECT_FALSE(table.channels[SlotCh1].value[MeasurementDelay]);
    }
}

// Whatever the samples, a value is finite or absent, and the ones that need what is
// missing are absent.
TEST(MeasurementsTest, WhatCannotBeMeasuredHasNoValue)
{
    struct Case {
        const char* name;
        std::function<double(int32_t)> math; // MATH samples in divisions
        int32_t first;
        int32_t last;
        std::vector<int32_t> absent;
        std::vector<int32_t> present;
    };
    const std::vector<int32_t> timing = {MeasurementPeriod,        MeasurementFrequency,
                                         MeasurementCycleMean,     MeasurementCycleRms,
                                         MeasurementPositiveWidth, MeasurementNegativeWidth,
                                         MeasurementPositiveDuty,  MeasurementNegativeDuty};
    std::vector<int32_t> flatAbsent = timing;
    flatAbsent.insert(flatAbsent.end(), {MeasurementRise, MeasurementFall, MeasurementOvershoot,
                                         MeasurementPreshoot});
    const Case cases[] = {
        {"flat",
         [](int32_t) { return 0.4; },
         0,
         999,
         flatAbsent,
         {MeasurementMean, MeasurementAmplitude, MeasurementEdges}},
        {"single edge",
         [](int32_t i) { return i < 500 ? -1.0 : 2.0; },
         0,
         999,
         timing,
         {MeasurementRise, MeasurementEdges}},
        {"two samples",
         [](int32_t i) { return i % 2 ? 1.0 : -1.0; },
         10,
         11,
         timing,
         {MeasurementPeakToPeak}},
        {"one sample", [](int32_t i) { return i * 0.01; }, 5, 5, flatAbsent, {MeasurementMax}},
        {"all NaN",
         [](int32_t) { return NAN; },
         0,
         999,
         {MeasurementMax, MeasurementMean, MeasurementTop, MeasurementEdges},
         {}},
        {"infinite spikes",
         [](int32_t i) { return i % 397 == 0 ? INFINITY : (i / 50 % 2 ? 1.0 : -1.0); },
         0,
         999,
         {},
         {MeasurementMax, MeasurementPeriod, MeasurementRise}},
        {"all infinite",
         [](int32_t i) { return i % 2 ? INFINITY : -INFINITY; },
         0,
         999,
         {MeasurementMax, MeasurementPeriod},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Capture capture = MakeTestCapture(1000, {{SlotCh1, 1}, {SlotMath, 1}});
        for (int32_t i = 0; i < 1000; ++i)
            capture.samples[SlotMath][i] = c.math(i);
        const MeasurementTable table = MeasureAll(capture, c.first, c.last);
        const auto& values = table.channels[SlotMath].value;
        for (const std::optional<double>& value : values)
            EXPECT_TRUE(!value || std::isfinite(*value));
        for (const int32_t key : c.absent)
            EXPECT_FALSE(values[key]) << key;
        for (const int32_t key : c.present)
            EXPECT_TRUE(values[key]) << key;
    }
}

// The crossing-based measurements against a plain reference on random pulse captures: the
// reference finds each edge from the hysteresis states and looks its levels up afresh.
TEST(MeasurementsTest, CrossingsMatchBruteForce)
{
    std::mt19937 random(7);
    for (int32_t round = 0; round < 40; ++round) {
        const int32_t n = 200 + static_cast<int32_t>(random() % 3000);
        Capture capture = MakeTestCapture(n, {{SlotCh1, 0.3}});
        double target = 1;
        double x = 0;
        const double pull = 0.05 + (random() % 100) / 200.0;
        for (int32_t i = 0; i < n; ++i) {
            if (random() % 60 == 0) target = -target;
            x += pull * (target - x) + ((random() % 1000) / 1000.0 - 0.5) * 0.3;
            capture.samples[SlotCh1][i] = std::round(x * 25) / 25;
        }
        const MeasurementTable table = MeasureAll(capture, 0, n - 1);
        const std::optional<double>* got = table.channels[SlotCh1].value;
        std::vector<double> v(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i)
            v[i] = SampleValue(capture, SlotCh1, i);
        const double base = *got[MeasurementBase];
        const double amplitude = *got[MeasurementTop] - base;
        const double dt = 12 * 1e-3 / n;

        // Rising edges of s (falling ones are the rising edges of -s).
        struct RefEdge {
            double start, middle, end;
        };
        const auto risingEdges = [&](const std::vector<double>& s, double lo, double mi,
                                     double hi) {
            std::vector<RefEdge> found;
            int32_t state = 0;
            for (size_t i = 0; i < s.size(); ++i) {
                const int32_t was = state;
                state = s[i] <= lo ? -1 : (s[i] >= hi ? 1 : state);
                if (!(was == -1 && state == 1)) continue;
                size_t j = i;
                while (s[j] > lo)
                    --j;
                size_t m = j;
                while (s[m] < mi)
                    ++m;
                const auto at = [&](size_t k, double level) {
                    return (k - 1) + (level - s[k - 1]) / (s[k] - s[k - 1]);
                };
                found.push_back({at(j + 1, lo), at(m, mi), at(i, hi)});
            }
            return found;
        };
        std::vector<double> negated(v.size());
        for (size_t i = 0; i < v.size(); ++i)
            negated[i] = -v[i];
        const auto up =
            risingEdges(v, base + 0.1 * amplitude, base + 0.5 * amplitude, base + 0.9 * amplitude);
        const auto down = risingEdges(negated, -(base + 0.9 * amplitude), -(base + 0.5 * amplitude),
                                      -(base + 0.1 * amplitude));
        SCOPED_TRACE(round);
        ASSERT_EQ(*got[MeasurementEdges], static_cast<double>(up.size() + down.size()));
        const auto meanOf = [&](const std::vector<RefEdge>& edges) {
            double sum = 0;
            for (const RefEdge& e : edges)
                sum += e.end - e.start;
            return sum / edges.size() * dt;
        };
        if (!up.empty()) {
            EXPECT_NEAR(*got[MeasurementRise], meanOf(up), 1e-12);
        }
        if (!down.empty()) {
            EXPECT_NEAR(*got[MeasurementFall], meanOf(down), 1e-12);
        }
        if (up.size() >= 2) {
            const double period = (up.back().middle - up.front().middle) / (up.size() - 1) * dt;
            EXPECT_NEAR(*got[MeasurementPeriod], period, 1e-12);
        }
        // Positive widths: each rising mid crossing to the next falling one.
        double widthSum = 0;
        int32_t widths = 0;
        for (const RefEdge& r : up) {
            for (const RefEdge& f : down) {
                if (f.middle <= r.middle) continue;
                widthSum += f.middle - r.middle;
                ++widths;
                break;
            }
        }
        if (widths > 0) {
            EXPECT_NEAR(*got[MeasurementPositiveWidth], widthSum / widths * dt, 1e-12);
        }
    }
}

TEST(MeasurementsTest, TableTexts)
{
    Capture capture = MakeTestCapture(1000, {{SlotCh1, 1}, {SlotCh2, 1}});
    for (int32_t i = 0; i < 1000; ++i)
        capture.samples[SlotCh1][i] = i / 50 % 2 ? 2 : -2; // 100 samples per period
    const MeasurementTable table = MeasureAll(capture, 0, 999);
    const QStringList shown = MeasurementTableText(table, false).split(u'\n');
    const QStringList numbers = MeasurementTableText(table, true).split(u'\n');
    const std::pair<const QStringList*, QString> expected[] = {
        {&shown, QStringLiteral("Messung\tKanal 1\tKanal 2")},
        {&shown, QStringLiteral("Frequenz\t833.33 Hz\t---")},
        {&shown, QStringLiteral("Tastverhältnis positiv\t50 %\t---")},
        {&shown, QStringLiteral("Spitze-Spitze\t4 V\t0 V")},
        {&shown, QStringLiteral("Flanken\t19\t0")},
        {&numbers, QStringLiteral("key\tch1\tch2")},
        {&numbers, QStringLiteral("period\t0.0012\t")},
        {&numbers, QStringLiteral("top\t2\t0")},
    };
    for (const auto& [lines, line] : expected)
        EXPECT_TRUE(lines->contains(line)) << line.toStdString();
    EXPECT_EQ(shown.size(), MeasurementCount + 2); // header, rows, the empty rest after "\n"
}

} // namespace
