// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/measurements.h"

#include "capture/sav_reader.h"
#include "support/sav_builder.h"
#include "support/test_capture.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
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

// The value, or NaN (which no EXPECT_NEAR accepts) when there is none.
double Value(const MeasurementTable& table, int32_t key, int32_t slot = SlotCh1)
{
    return table.channels[slot].value[key].value_or(NAN);
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
    for (const auto& [periods, tolerance] : {std::pair{100, 1e-4}, std::pair{10, 1e-3}}) {
        SCOPED_TRACE(periods);
        const double period = 197.3;
        const auto n = static_cast<int32_t>(periods * period) + 13;
        const MeasurementTable table = MeasureAll(Synthetic(n, {Sine(100, period, 7)}, 2), 0, n);
        const double truth = 1 / (period * Interval);
        const double rms = 100 * Step / std::sqrt(2.0);
        EXPECT_NEAR(Value(table, MeasurementFrequency), truth, truth * tolerance);
        EXPECT_EQ(Value(table, MeasurementTop), Value(table, MeasurementMax));
        EXPECT_EQ(Value(table, MeasurementBase), Value(table, MeasurementMin));
        EXPECT_NEAR(Value(table, MeasurementCycleRms), rms, rms * 0.005);
    }
}

// Pulses with known edges, levels and shifts: each row a measurement of one capture, its
// true value and the tolerance a bench instrument is held to.
TEST(MeasurementsTest, PulseTimingLevelsAndDelay)
{
    const double zeta = 0.4;
    const double overshoot = 100 * std::exp(-Pi * zeta / std::sqrt(1 - zeta * zeta));
    const Wave rcSquare = RcSquare(70, 400, 200, 4);
    const std::pair<std::vector<Wave>, int32_t> captures[] = {
        {{RcSquare(80, 400, 200, 10)}, 0},
        {{RcSquare(80, 600, 300, 23)}, 0},
        {{RcSquare(60, 500, 100, 1.5)}, 1},
        {{RcSquare(60, 300, 219, 1.5)}, 1},
        {{RingingSquare(60, 1000, zeta, 40)}, 0},
        {{RingingSquare(60, 1000, zeta, 40)}, 2},
        {{Sine(90, 250.7), Sine(60, 250.7, 37.3)}, 0},
        {{Sine(90, 250.7), Sine(60, 250.7, 212.6)}, 0},
        {{rcSquare, [&](double i) { return rcSquare(i + 290); }}, 0},
    };
    struct Row {
        size_t capture;
        int32_t key;
        double truth;
        double tolerance;
        int32_t slot;
    };
    const Row rows[] = {
        {0, MeasurementRise, 2.197 * 10 * Interval, Interval, SlotCh1},
        {0, MeasurementFall, 2.197 * 10 * Interval, Interval, SlotCh1},
        {1, MeasurementRise, 2.197 * 23 * Interval, Interval, SlotCh1},
        {1, MeasurementFall, 2.197 * 23 * Interval, Interval, SlotCh1},
        {2, MeasurementPositiveDuty, 20, 0.1, SlotCh1},
        {2, MeasurementNegativeDuty, 80, 0.1, SlotCh1},
        {2, MeasurementPositiveWidth, 100 * Interval, Interval, SlotCh1},
        {2, MeasurementNegativeWidth, 400 * Interval, Interval, SlotCh1},
        {3, MeasurementPositiveDuty, 73, 0.1, SlotCh1},
        {3, MeasurementPositiveWidth, 219 * Interval, Interval, SlotCh1},
        {4, MeasurementTop, 60 * Step, Step, SlotCh1},
        {4, MeasurementBase, -60 * Step, Step, SlotCh1},
        {4, MeasurementOvershoot, overshoot, 1, SlotCh1},
        {4, MeasurementPreshoot, overshoot, 1, SlotCh1},
        {5, MeasurementTop, 60 * Step, 2 * Step, SlotCh1},
        {5, MeasurementBase, -60 * Step, 2 * Step, SlotCh1},
        {6, MeasurementDelay, 37.3 * Interval, Interval, SlotCh2},
        {6, MeasurementPhase, 37.3 / 250.7 * 360, 0.5, SlotCh2},
        {7, MeasurementDelay, 212.6 * Interval, Interval, SlotCh2},
        {7, MeasurementPhase, 212.6 / 250.7 * 360, 0.5, SlotCh2},
        {8, MeasurementDelay, 110 * Interval, Interval, SlotCh2},
        {8, MeasurementPhase, 99, 0.5, SlotCh2},
        {8, MeasurementDelay, NAN, 0, SlotCh1}, // CH1 is the reference
    };
    for (const Row& row : rows) {
        const auto& [waves, noise] = captures[row.capture];
        const MeasurementTable table = MeasureAll(Synthetic(6000, waves, noise), 5999, 0);
        const double value = Value(table, row.key, row.slot);
        if (std::isnan(row.truth))
            EXPECT_TRUE(std::isnan(value));
        else
            EXPECT_NEAR(value, row.truth, row.tolerance) << row.capture << " key " << row.key;
    }
}

// Whatever the samples, a value is finite or absent, and exactly the measurements that
// have what they need have a value.
TEST(MeasurementsTest, WhatCannotBeMeasuredHasNoValue)
{
    struct Case {
        const char* name;
        double (*math)(int32_t i); // MATH samples in divisions
        int32_t first;
        int32_t last;
        QString present; // keys of the rows with a value
    };
    const QString levels = QStringLiteral("max min pkpk top base amplitude mean rms acrms edges");
    const QString edge = levels + QStringLiteral(" over pre rise");
    const QString all =
        edge + QStringLiteral(" cmean crms period freq fall pwidth nwidth pduty nduty");
    const Case cases[] = {
        {"flat", [](int32_t) { return 0.4; }, 0, 999, levels},
        {"single edge", [](int32_t i) { return i < 500 ? -1.0 : 2.0; }, 0, 999, edge},
        {"two samples", [](int32_t i) { return i % 2 ? 1.0 : -1.0; }, 10, 11, edge},
        {"one sample", [](int32_t i) { return i * 0.01; }, 5, 5, levels},
        {"beyond the doubles", [](int32_t i) { return i % 2 ? 1e308 : -1e308; }, 0, 999,
         QStringLiteral("max min top base mean edges")},
        {"all NaN", [](int32_t) { return double(NAN); }, 0, 999, QString()},
        {"infinite spikes",
         [](int32_t i) { return i % 397 == 0 ? INFINITY : (i / 50 % 2 ? 1.0 : -1.0); }, 0, 999,
         all},
        {"all infinite", [](int32_t i) { return i % 2 ? double(INFINITY) : -double(INFINITY); }, 0,
         999, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Capture capture = MakeTestCapture(1000, {{SlotCh1, 1}, {SlotMath, 1}});
        for (int32_t i = 0; i < 1000; ++i)
            capture.samples[SlotMath][i] = c.math(i);
        const MeasurementTable table = MeasureAll(capture, c.first, c.last);
        const QStringList present = c.present.split(u' ');
        for (int32_t key = 0; key < MeasurementCount; ++key) {
            const std::optional<double>& value = table.channels[SlotMath].value[key];
            EXPECT_EQ(value.has_value(),
                      present.contains(QString::fromUtf16(MeasurementRowOf(key).key)))
                << key;
            EXPECT_TRUE(!value || std::isfinite(*value));
        }
    }
}

// The crossing-based measurements against a plain reference on random pulse captures: the
// reference finds each edge from the hysteresis states and looks its crossings up afresh.
TEST(MeasurementsTest, CrossingsMatchBruteForce)
{
    struct RefEdge {
        double start, middle, end;
    };
    // Rising edges of s; falling ones are the rising edges of -s.
    const auto risingEdges = [](const std::vector<double>& s, double lo, double mi, double hi) {
        const auto at = [&](size_t k, double level) {
            return (k - 1) + (level - s[k - 1]) / (s[k] - s[k - 1]);
        };
        std::vector<RefEdge> found;
        for (size_t i = 0, state = 0; i < s.size(); ++i) {
            const size_t was = state;
            state = s[i] <= lo ? 1 : (s[i] >= hi ? 2 : state);
            if (was != 1 || state != 2) continue;
            size_t j = i, m;
            while (s[j] > lo)
                --j;
            for (m = j; s[m] < mi; ++m) {
            }
            found.push_back({at(j + 1, lo), at(m, mi), at(i, hi)});
        }
        return found;
    };
    std::mt19937 random(7);
    for (int32_t round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const int32_t n = 200 + static_cast<int32_t>(random() % 3000);
        Capture capture = MakeTestCapture(n, {{SlotCh1, 0.3}});
        std::vector<double> v(n), negated(n);
        double target = 1, x = 0;
        const double pull = 0.05 + (random() % 100) / 200.0;
        for (int32_t i = 0; i < n; ++i) {
            if (random() % 60 == 0) target = -target;
            x += pull * (target - x) + ((random() % 1000) / 1000.0 - 0.5) * 0.3;
            capture.samples[SlotCh1][i] = std::round(x * 25) / 25;
            v[i] = SampleValue(capture, SlotCh1, i);
            negated[i] = -v[i];
        }
        const MeasurementTable table = MeasureAll(capture, 0, n - 1);
        const double base = Value(table, MeasurementBase);
        const double amplitude = Value(table, MeasurementTop) - base;
        const auto up =
            risingEdges(v, base + 0.1 * amplitude, base + 0.5 * amplitude, base + 0.9 * amplitude);
        const auto down = risingEdges(negated, -(base + 0.9 * amplitude), -(base + 0.5 * amplitude),
                                      -(base + 0.1 * amplitude));
        const double dt = 12 * 1e-3 / n;
        const auto meanDuration = [&](const std::vector<RefEdge>& edges) {
            double sum = 0;
            for (const RefEdge& e : edges)
                sum += e.end - e.start;
            return edges.empty() ? NAN : sum / edges.size() * dt;
        };
        double widths = 0, count = 0; // each rising mid crossing to the next falling one
        for (const RefEdge& r : up) {
            const auto f = std::find_if(down.begin(), down.end(),
                                        [&](const RefEdge& e) { return e.middle > r.middle; });
            if (f != down.end()) widths += f->middle - r.middle, ++count;
        }
        const std::pair<int32_t, double> expected[] = {
            {MeasurementEdges, static_cast<double>(up.size() + down.size())},
            {MeasurementRise, meanDuration(up)},
            {MeasurementFall, meanDuration(down)},
            {MeasurementPeriod,
             up.size() < 2 ? NAN : (up.back().middle - up.front().middle) / (up.size() - 1) * dt},
            {MeasurementPositiveWidth, count ? widths / count * dt : NAN},
        };
        for (const auto& [key, truth] : expected) {
            EXPECT_EQ(table.channels[SlotCh1].value[key].has_value(), !std::isnan(truth)) << key;
            if (!std::isnan(truth)) {
                EXPECT_NEAR(Value(table, key), truth, 1e-12) << key;
            }
        }
    }
}

TEST(MeasurementsTest, TableTexts)
{
    Capture capture = MakeTestCapture(1000, {{SlotCh1, 1}, {SlotCh2, 1}});
    for (int32_t i = 0; i < 1000; ++i)
        capture.samples[SlotCh1][i] = i / 50 % 2 ? 2 : -2; // 100 samples per period
    const MeasurementTable table = MeasureAll(capture, 0, 999);
    const QString text = MeasurementTableText(table, false) + MeasurementTableText(table, true);
    for (const char16_t* line :
         {u"Messung\tKanal 1\tKanal 2\n", u"\nFrequenz\t833.33 Hz\t---\n",
          u"\nTastverhältnis positiv\t50 %\t---\n", u"\nSpitze-Spitze\t4 V\t0 V\n",
          u"\nFlanken\t19\t0\n", u"\nkey\tch1\tch2\n", u"\nperiod\t0.0012\t\n", u"\ntop\t2\t0\n"})
        EXPECT_TRUE(text.contains(QString::fromUtf16(line)))
            << QString::fromUtf16(line).toStdString();
    EXPECT_EQ(text.count(u'\n'), 2 * (MeasurementCount + 1));
}

} // namespace

namespace {

// Three levels, the middle one exactly halfway: 20 % at +3 DIV, 40 % at 0, 40 % at -3 DIV.
Capture ThreeLevels(int64_t microVoltsPerDiv, int32_t dropped = 0)
{
    SavChannel channel{};
    channel.scaleMicroVolts = microVoltsPerDiv;
    channel.sampleIntervalPs = 1'000'000;
    for (int32_t i = 0; i < 1000; ++i) {
        const int32_t phase = i % 100;
        channel.raw.push_back(static_cast<uint16_t>(phase < 20 ? 203 : phase < 60 ? 53 : 128));
    }
    SavFile file{};
    file.channels.push_back(channel);
    const QByteArray bytes = BuildSav(file);
    Capture capture{};
    EXPECT_EQ(
        ReadCaptureBytes(capture, QStringLiteral("t.sav"), bytes.left(bytes.size() - dropped)),
        ReadOk);
    return capture;
}

} // namespace

// The class at the very middle of the range is upper at every scale, and levels that are
// exactly 0 read exactly 0.
TEST(MeasurementsTest, StateLevelsAtEveryScale)
{
    for (const int64_t scale :
         {1'000LL, 2'000LL, 5'000LL, 10'000LL, 20'000LL, 50'000LL, 100'000LL, 200'000LL, 500'000LL,
          1'000'000LL, 2'000'000LL, 5'000'000LL, 10'000'000LL}) {
        SCOPED_TRACE(scale);
        const Capture capture = ThreeLevels(scale);
        const MeasurementTable table = MeasureAll(capture, 0, 999);
        const double volts = static_cast<double>(scale) / 1e6;
        EXPECT_EQ(Value(table, MeasurementTop), 0.0);
        EXPECT_EQ(Value(table, MeasurementBase), -3 * volts);
        EXPECT_EQ(Value(table, MeasurementPreshoot), 0.0);
        EXPECT_NEAR(Value(table, MeasurementPositiveDuty), 60.25, 1e-9);
    }
}

// A file cut short: the measurements take the samples it holds, never the missing ones.
TEST(MeasurementsTest, MissingSamplesAreNotMeasured)
{
    const Capture capture = ThreeLevels(1'000'000, 2 * 150 + 1); // 151 samples missing
    ASSERT_EQ(PresentSamples(capture, SlotCh1), 849);
    const MeasurementTable table = MeasureAll(capture, 0, 999);
    EXPECT_EQ(Value(table, MeasurementMin), -3.0);
    EXPECT_EQ(Value(table, MeasurementMax), 3.0);
    double sum = 0;
    for (int32_t i = 0; i < 849; ++i)
        sum += SampleValue(capture, SlotCh1, i);
    EXPECT_NEAR(Value(table, MeasurementMean), sum / 849, 1e-12);
    // A range entirely in the missing part has no values at all.
    const MeasurementTable none = MeasureAll(capture, 900, 999);
    EXPECT_EQ(none.present[SlotCh1], 1);
    EXPECT_FALSE(none.channels[SlotCh1].value[MeasurementMax].has_value());
}
