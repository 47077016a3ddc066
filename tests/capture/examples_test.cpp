// SPDX-License-Identifier: GPL-3.0-or-later
// The bundled example captures load, and show what their names promise.
#include "capture/sav_reader.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct ExpectedExample {
    const char* fileName;
    QByteArray model;
    int32_t channels;
    double probeFactor[2];
    int32_t inverted[2];
    int32_t bandwidthLimit[2];
    int32_t triggerType;
    int32_t samples;
    double frequencyHz[2]; // per channel; 0 where a pulse shape makes the count ambiguous
};

const ExpectedExample Examples[] = {
    {"sine-1khz-ch1-ch2-edge.sav",
     QByteArray("UTD2102CEL"),
     2,
     {1, 10},
     {0, 0},
     {0, 0},
     TriggerTypeEdge,
     2500,
     1e3},
    {"square-10khz-ringing-noise-ch1-x10-edge-fall.sav",
     QByteArray("UTD2052CEL"),
     1,
     {10, 0},
     {0, 0},
     {0, 0},
     TriggerTypeEdge,
     600,
     10e3},
    {"pulse-train-pwm-48v-ch1-x100-pulse-width-trigger.sav",
     QByteArray("UTD2025CL", 10),
     1,
     {100, 0},
     {0, 0},
     {0, 0},
     TriggerTypePulse,
     65535,
     1e3},
    {"mains-50hz-ch1-x1000-ch2-current-inverted-bwlimit.sav",
     QByteArray("UTD2102CEL"),
     2,
     {1000, 1},
     {0, 1},
     {0, 1},
     TriggerTypeEdge,
     2500,
     50},
    {"small-signal-on-offset-1v5-ch1-bwlimit.sav",
     QByteArray("UTD2025CL", 10),
     1,
     {1, 0},
     {0, 0},
     {1, 0},
     TriggerTypeEdge,
     1000,
     1e3},
    {"rc-step-ch1-ch2-x10-edge-rise-fall.sav",
     QByteArray("UTD2052CEL"),
     2,
     {10, 10},
     {0, 0},
     {0, 0},
     TriggerTypeEdge,
     600,
     1e3},
    // Bus traffic: what it carries is checked by the decoding tests.
    {"uart-115200-ch1-rx-ch2-tx.sav", QByteArray("UTD2102CEL"), 2, {1, 1}, {0, 0}, {0, 0},
     TriggerTypeEdge, 65535, {0, 0}},
    {"i2c-100khz-eeprom-write-ch1-scl-ch2-sda.sav", QByteArray("UTD2052CEL"), 2, {1, 1}, {0, 0},
     {0, 0}, TriggerTypeEdge, 30000, {0, 0}},
    {"spi-1mhz-ch1-clk-ch2-mosi.sav", QByteArray("UTD2102CEL"), 2, {10, 10}, {0, 0}, {0, 0},
     TriggerTypeEdge, 10000, {0, 0}},
    {"can-125kbit-ch1-canh-ch2-canl.sav", QByteArray("UTD2102CEL"), 2, {1, 1}, {0, 0}, {0, 0},
     TriggerTypeEdge, 20000, {0, 0}},
};

std::vector<double> Volts(const Capture& capture, int32_t slot)
{
    std::vector<double> volts;
    for (int32_t i = 0; i < capture.samplesPerChannel; ++i)
        volts.push_back(SampleValue(capture, slot, i));
    return volts;
}

// Indices where the signal rises through the middle of its range, with hysteresis so that
// noise on a slow edge counts once.
std::vector<int32_t> RisingCrossings(const std::vector<double>& volts)
{
    const auto [low, high] = std::minmax_element(volts.begin(), volts.end());
    const double mid = (*low + *high) / 2;
    const double band = (*high - *low) / 10;
    std::vector<int32_t> crossings;
    bool armed = false;
    for (size_t i = 0; i < volts.size(); ++i) {
        if (volts[i] < mid - band)
            armed = true;
        else if (armed && volts[i] > mid) {
            crossings.push_back(static_cast<int32_t>(i));
            armed = false;
        }
    }
    return crossings;
}

TEST(Examples, LoadAndShowWhatTheirNamesSay)
{
    const QDir dir(QStringLiteral(KURVEX_EXAMPLES_DIR));
    EXPECT_EQ(dir.entryList({QStringLiteral("*.sav")}, QDir::Files).size(),
              static_cast<qsizetype>(std::size(Examples)));
    for (const ExpectedExample& e : Examples) {
        SCOPED_TRACE(e.fileName);
        const QString path = dir.filePath(QString::fromLatin1(e.fileName));
        Capture capture{};
        ASSERT_EQ(ReadCapture(capture, path), ReadOk);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(20).mid(10), e.model);

        EXPECT_EQ(capture.samplesPerChannel, e.samples);
        EXPECT_EQ(capture.triggerType, e.triggerType);
        EXPECT_EQ(capture.triggerIndex, e.samples / 2);
        for (int32_t slot : {SlotCh1, SlotCh2}) {
            SCOPED_TRACE(slot);
            EXPECT_EQ(capture.present[slot], slot < e.channels ? 1 : 0);
            EXPECT_EQ(capture.probeFactor[slot], e.probeFactor[slot]);
            EXPECT_EQ(capture.inverted[slot], e.inverted[slot]);
            EXPECT_EQ(capture.bandwidthLimit[slot], e.bandwidthLimit[slot]);
            if (slot >= e.channels) continue;

            // On the instrument's screen, and not a flat line.
            const double* samples = capture.samples[slot];
            const auto count = static_cast<size_t>(capture.samplesPerChannel);
            const auto outside = std::count_if(samples, samples + count,
                                               [](double div) { return std::abs(div) > 4.2; });
            EXPECT_LE(outside, static_cast<long>(count / 100));
            const auto [low, high] = std::minmax_element(samples, samples + count);
            EXPECT_GE(*high - *low, 0.8);

            if (e.frequencyHz[slot] == 0) continue;
            const std::vector<int32_t> rising = RisingCrossings(Volts(capture, slot));
            ASSERT_GE(rising.size(), 2u);
            const double seconds =
                SampleTime(capture, rising.back()) - SampleTime(capture, rising.front());
            EXPECT_NEAR((rising.size() - 1) / seconds, e.frequencyHz[slot],
                        e.frequencyHz[slot] * 0.02);
        }

        // A channel trigger fired where its channel crosses the level.
        if (capture.triggerSourceKind == SourceChannel) {
            const std::vector<double> volts = Volts(capture, capture.triggerSourceChannel);
            bool crosses = false;
            for (int32_t i = capture.triggerIndex - 3; i < capture.triggerIndex + 3; ++i)
                crosses |=
                    (volts[i] - capture.triggerLevel) * (volts[i + 1] - capture.triggerLevel) <= 0;
            EXPECT_TRUE(crosses) << capture.triggerLevel;
        }
    }
}

TEST(Examples, PulseWidthTriggerCaughtTheShortPulse)
{
    const QDir dir(QStringLiteral(KURVEX_EXAMPLES_DIR));
    auto load = [&](const char* name, Capture& capture) {
        return ReadCapture(capture, dir.filePath(QString::fromLatin1(name)));
    };

    // The pulse that ends at the trigger is the one shorter than the trigger's width;
    // every other complete pulse is longer.
    Capture pwm{};
    ASSERT_EQ(load("pulse-train-pwm-48v-ch1-x100-pulse-width-trigger.sav", pwm), ReadOk);
    EXPECT_EQ(pwm.pulseCondition, ConditionLess);
    EXPECT_EQ(pwm.pulsePolarity, PolarityPositive);
    const std::vector<double> gate = Volts(pwm, SlotCh1);
    std::vector<std::pair<int32_t, int32_t>> pulses; // rising, falling index
    int32_t rise = -1;
    for (int32_t i = 1; i < pwm.samplesPerChannel; ++i) {
        if (gate[i - 1] < 24 && gate[i] >= 24)
            rise = i;
        else if (gate[i - 1] >= 24 && gate[i] < 24 && rise >= 0) {
            pulses.push_back({rise, i});
            rise = -1;
        }
    }
    ASSERT_GE(pulses.size(), 5u);
    int32_t triggered = 0;
    for (const auto& [from, to] : pulses) {
        const double width = SampleTime(pwm, to) - SampleTime(pwm, from);
        if (std::abs(to - pwm.triggerIndex) <= 2) {
            ++triggered;
            EXPECT_LT(width, pwm.pulseWidth);
        } else {
            EXPECT_GT(width, pwm.pulseWidth);
        }
    }
    EXPECT_EQ(triggered, 1);
}

} // namespace
