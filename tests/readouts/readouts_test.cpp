// SPDX-License-Identifier: GPL-3.0-or-later
// The settings tree, measurements and cursor readouts over captures built in memory.
#include "readouts/readouts.h"
#include "support/test_capture.h"

#include "text/format_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <numbers>

namespace {

// A capture of N samples with the given slots present, every slot at 1 V/DIV and offset 0,
// so that a sample position reads as its value in volts.
Capture MakeCapture(int32_t n, std::initializer_list<int32_t> slots)
{
    Capture capture = MakeTestCapture(n);
    for (int32_t slot : slots) {
        capture.present[slot] = 1;
        capture.voltsPerDiv[slot] = 1;
    }
    return capture;
}

void Fill(Capture& capture, int32_t slot, std::initializer_list<double> values)
{
    int32_t i = 0;
    for (double value : values)
        capture.samples[slot][i++] = value;
}

QString Q(const char16_t* text)
{
    return QString::fromUtf16(text);
}

struct Item {
    const char16_t* text;
    int32_t icon;
    int32_t level;
};

void ExpectItems(const std::vector<SettingsItem>& actual, std::initializer_list<Item> expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    size_t i = 0;
    for (const Item& item : expected) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actual[i].text, Q(item.text));
        EXPECT_EQ(actual[i].icon, item.icon);
        EXPECT_EQ(actual[i].level, item.level);
        ++i;
    }
}

// A loaded two-channel capture with an edge trigger, as the reader leaves it.
Capture EdgeCapture()
{
    Capture capture = MakeCapture(10, {SlotCh1, SlotCh2});
    capture.voltsPerDiv[SlotCh1] = 1;
    capture.coupling[SlotCh1] = CouplingDc;
    capture.probeFactor[SlotCh1] = 10;
    capture.voltsPerDiv[SlotCh2] = 0.5;
    capture.coupling[SlotCh2] = CouplingAc;
    capture.probeFactor[SlotCh2] = 1;
    capture.inverted[SlotCh2] = 1;
    capture.channelRows[SlotCh1] = 0x1F;
    capture.channelRows[SlotCh2] = 0x1F;
    capture.timePerDiv = 0.0005;
    capture.triggerLevel = 1.2;
    capture.settingsRows = 0x07F | RowEdgeSlope;
    return capture;
}

TEST(ChannelName, NamesEachSlot)
{
    EXPECT_EQ(ChannelName(SlotCh1), Q(u"Kanal 1"));
    EXPECT_EQ(ChannelName(SlotCh2), Q(u"Kanal 2"));
    EXPECT_EQ(ChannelName(SlotMath), Q(u"Math"));
    EXPECT_TRUE(ChannelName(-1).isEmpty());
    EXPECT_TRUE(ChannelName(3).isEmpty());
}

TEST(SettingsList, TwoChannelEdgeCapture)
{
    Capture capture = EdgeCapture();
    // A computed math trace never shows in the tree.
    capture.present[SlotMath] = 1;
    capture.channelRows[SlotMath] = 0x1F;
    ExpectItems(SettingsListItems(capture), {
                                                {u"Kanal 1", 1, 0},
                                                {u"1 V/DIV", 9, 1},
                                                {u"DC", 5, 1},
                                                {u"10:1", 8, 1},
                                                {u"Kanal 2", 2, 0},
                                                {u"500 mV/DIV", 9, 1},
                                                {u"AC", 4, 1},
                                                {u"1:1", 8, 1},
                                                {u"Invertiert", 7, 1},
                                                {u"Zeitbasis: 500 µs/DIV", 10, 0},
                                                {u"Trigger", 11, 0},
                                                {u"Modus: Auto", 12, 1},
                                                {u"Quelle: Kanal 1", 1, 1},
                                                {u"Kopplung: DC", 5, 1},
                                                {u"Triggerlevel: 1.2 V", 18, 1},
                                                {u"Triggeroffset: 0 s", 20, 1},
                                                {u"Flankentriggerung (Edge)", 31, 1},
                                                {u"Steigende Flanke (Rise)", 26, 1},
                                            });
}

TEST(SettingsList, PulseWidthCaptureWithOnlyChannel1)
{
    Capture capture = MakeCapture(10, {SlotCh1});
    capture.voltsPerDiv[SlotCh1] = 50;
    capture.coupling[SlotCh1] = CouplingGnd;
    capture.probeFactor[SlotCh1] = 1000;
    capture.bandwidthLimit[SlotCh1] = 1;
    capture.channelRows[SlotCh1] = 0x1F;
    capture.timePerDiv = 0.000005;
    capture.triggerMode = TriggerModeNormal;
    capture.triggerSourceKind = SourceChannel;
    capture.triggerSourceChannel = SlotCh2;
    capture.triggerCoupling = TriggerCouplingLfReject;
    capture.triggerLevel = -0.05;
    capture.triggerOffset = -0.00002;
    capture.triggerType = TriggerTypePulse;
    capture.pulsePolarity = PolarityNegative;
    capture.pulseCondition = ConditionEqual;
    capture.pulseWidth = 0.0000125;
    capture.settingsRows = 0x07F | RowPulsePolarity | RowPulseCondition | RowPulseWidth;
    ExpectItems(SettingsListItems(capture), {
                                                {u"Kanal 1", 1, 0},
                                                {u"50 V/DIV", 9, 1},
                                                {u"GND", 6, 1},
                                                {u"1000:1", 8, 1},
                                                {u"Bandbreitenbegrenzung (Bandwidth Limit)", 3, 1},
                                                {u"Zeitbasis: 5 µs/DIV", 10, 0},
                                                {u"Trigger", 11, 0},
                                                {u"Modus: Normal", 19, 1},
                                                {u"Quelle: Kanal 2", 2, 1},
                                                {u"Kopplung: Hochpass (LF Reject)", 14, 1},
                                                {u"Triggerlevel: -50 mV", 18, 1},
                                                {u"Triggeroffset: -20 µs", 20, 1},
                                                {u"Pulsbreitentriggerung (Pulse)", 32, 1},
                                                {u"OFF-Zeit (Negative)", 21, 1},
                                                {u"Gleich (=)", 15, 1},
                                                {u"Pulsbreite: 12.5 µs", 23, 1},
                                            });
}

// Every other code of the trigger rows: the text and icon of the one row it changes.
TEST(SettingsList, TriggerCodeTexts)
{
    struct Case {
        void (*set)(Capture&);
        const char16_t* text;
        int32_t icon;
    };
    const Case cases[] = {
        {[](Capture& c) { c.triggerMode = TriggerModeSingle; }, u"Modus: Single", 24},
        {[](Capture& c) { c.triggerSourceKind = SourceExternal; }, u"Quelle: Extern", 29},
        {[](Capture& c) { c.triggerSourceKind = SourceAcLine; }, u"Quelle: Netzfrequenz (AC Line)",
         30},
        {[](Capture& c) { c.triggerSourceKind = SourceAlternating; },
         u"Quelle: Alternierend (Alter)", 28},
        {[](Capture& c) { c.triggerCoupling = TriggerCouplingAc; }, u"Kopplung: AC", 4},
        {[](Capture& c) { c.triggerCoupling = TriggerCouplingHfReject; },
         u"Kopplung: Tiefpass (HF Reject)", 13},
        {[](Capture& c) { c.edgeSlope = SlopeFall; }, u"Fallende Flanke (Fall)", 25},
        {[](Capture& c) { c.edgeSlope = SlopeRiseFall; },
         u"Steigende und fallende Flanke (Rise & Fall)", 27},
        {[](Capture& c) { c.pulsePolarity = PolarityPositive; }, u"ON-Zeit (Positive)", 22},
        {[](Capture& c) { c.pulseCondition = ConditionGreater; }, u"Größer (>)", 16},
        {[](Capture& c) { c.pulseCondition = ConditionLess; }, u"Kleiner (<)", 17},
    };
    for (const Case& testCase : cases) {
        Capture capture = EdgeCapture();
        capture.settingsRows = 0x7FF; // every row, so that the pulse rows show as well
        capture.pulseCondition = ConditionEqual;
        capture.pulsePolarity = PolarityNegative;
        testCase.set(capture);
        const std::vector<SettingsItem> items = SettingsListItems(capture);
        bool found = false;
        for (const SettingsItem& item : items)
            found = found || (item.text == Q(testCase.text) && item.icon == testCase.icon);
        EXPECT_TRUE(found) << QString::fromUtf16(testCase.text).toStdString();
    }
}

TEST(Measure, PeakRmsAndMeanOverTheCursorRange)
{
    Capture capture = MakeCapture(6, {SlotCh1, SlotCh2});
    Fill(capture, SlotCh1, {9, -1.2, 0.4, 1.16, -0.3, 9});
    Fill(capture, SlotCh2, {9, 0.1, -0.5, 0.52, 0.3, 9});
    capture.inverted[SlotCh2] = 1; // read through SampleValue: negated

    struct Case {
        int32_t cursor1;
        int32_t cursor2;
        int32_t mode;
        const char16_t* text;
    };
    const Case cases[] = {
        {4, 1, MeasurePeak,
         u"Spitzenwerte (Minimum, Maximum, Spitze-Spitze)\r\n"
         u"Kanal 1: -1.2 V, 1.16 V, 2.36 V\r\nKanal 2: -520 mV, 500 mV, 1.02 V"},
        {1, 4, MeasurePeak,
         u"Spitzenwerte (Minimum, Maximum, Spitze-Spitze)\r\n"
         u"Kanal 1: -1.2 V, 1.16 V, 2.36 V\r\nKanal 2: -520 mV, 500 mV, 1.02 V"},
        {2, 2, MeasurePeak,
         u"Spitzenwerte (Minimum, Maximum, Spitze-Spitze)\r\n"
         u"Kanal 1: 400 mV, 400 mV, 0 V\r\nKanal 2: 500 mV, 500 mV, 0 V"},
        {3, 3, MeasureRms, u"Effektivwerte\r\nKanal 1: 1.16 V\r\nKanal 2: 520 mV"},
        {2, 2, MeasureMean, u"Mittelwerte\r\nKanal 1: 400 mV\r\nKanal 2: 500 mV"},
        // sqrt((1.44 + 0.16 + 1.3456 + 0.09) / 4) = 0.871148...
        {1, 4, MeasureRms, u"Effektivwerte\r\nKanal 1: 871.15 mV\r\nKanal 2: 393.83 mV"},
        {4, 1, MeasureMean, u"Mittelwerte\r\nKanal 1: 15 mV\r\nKanal 2: -105 mV"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testing::Message()
                     << testCase.cursor1 << "," << testCase.cursor2 << " mode " << testCase.mode);
        EXPECT_EQ(MeasureText(capture, testCase.cursor1, testCase.cursor2, testCase.mode),
                  Q(testCase.text));
    }
}

TEST(Measure, ConstantHalfVoltOverThreeSamples)
{
    Capture capture = MakeCapture(3, {SlotCh1});
    capture.voltsPerDiv[SlotCh1] = 0.25;
    capture.offsetDiv[SlotCh1] = -1;
    Fill(capture, SlotCh1, {1, 1, 1});
    EXPECT_EQ(MeasureText(capture, 0, 2, MeasureRms), Q(u"Effektivwerte\r\nKanal 1: 500 mV"));
    EXPECT_EQ(MeasureText(capture, 2, 0, MeasureMean), Q(u"Mittelwerte\r\nKanal 1: 500 mV"));
}

TEST(Measure, MathLineFollowsTheChannels)
{
    Capture capture = MakeCapture(2, {SlotCh1, SlotMath});
    Fill(capture, SlotCh1, {1, 1});
    Fill(capture, SlotMath, {-3, -3});
    capture.voltsPerDiv[SlotMath] = 0.001;
    EXPECT_EQ(MeasureText(capture, 0, 1, MeasureMean),
              Q(u"Mittelwerte\r\nKanal 1: 1 V\r\nMath: -3 mV"));
}

TEST(Measure, HeadingStandsAloneWithoutPresentSlots)
{
    Capture capture = MakeCapture(2, {});
    EXPECT_EQ(MeasureText(capture, 0, 1, MeasurePeak),
              Q(u"Spitzenwerte (Minimum, Maximum, Spitze-Spitze)"));
    EXPECT_TRUE(MeasureText(capture, 0, 1, 3).isEmpty());
}

// Values near the largest double still give a finite mean, though their plain sum would
// overflow to infinity.
TEST(Measure, MeanOfTheLargestValuesStaysFinite)
{
    Capture capture = MakeCapture(3, {SlotMath});
    capture.voltsPerDiv[SlotMath] = 1e308;
    Fill(capture, SlotMath, {1.5, 1.5, 1.5});
    const double v = 1.5e308;
    const double mean = v / 3 + v / 3 + v / 3;
    ASSERT_TRUE(std::isfinite(mean));
    const QString name = ChannelName(SlotMath);
    const QString line = FormatText(u"{0}: {1Sd5}V", name, mean);
    EXPECT_EQ(MeasureText(capture, 0, 2, MeasureMean), Q(u"Mittelwerte\r\n") + line);
}

// The RMS of finite values is finite and nonzero however large or small they are, though
// their squares leave the range of doubles.
TEST(Measure, RmsOfHugeAndTinyValues)
{
    for (const double voltsPerDiv : {1e300, 1e155, 1e-300, 5e-324}) {
        SCOPED_TRACE(voltsPerDiv);
        Capture capture = MakeCapture(4, {SlotMath});
        capture.voltsPerDiv[SlotMath] = voltsPerDiv;
        Fill(capture, SlotMath, {7, -7, 7, 1});
        // The reference in long double, whose range holds these squares.
        const long double v = SampleValue(capture, SlotMath, 0);
        const long double w = SampleValue(capture, SlotMath, 3);
        const double rms = static_cast<double>(std::sqrt((3 * v * v + w * w) / 4));
        const QString name = ChannelName(SlotMath);
        const QString line = FormatText(u"{0}: {1Sd5}V", name, rms);
        EXPECT_EQ(MeasureText(capture, 0, 3, MeasureRms), Q(u"Effektivwerte\r\n") + line);
    }
}

// Sums are exact: values that cancel read 0 V, not a few attovolts of rounding.
TEST(Measure, ValuesThatCancelReadZero)
{
    struct Case {
        const char* name;
        int32_t n;
        double voltsPerDiv;
        int32_t mode;
        const char16_t* text;
    };
    const Case cases[] = {
        // Three periods of a sine in whole counts of 1/25 DIV that add up to 0; summing
        // terms of v / n read "-9.1073 aV" here.
        {"sine mean", 100, 0.5, MeasureMean, u"Mittelwerte\r\nKanal 1: 0 V"},
        {"sine rms", 100, 0.5, MeasureRms, u"Effektivwerte\r\nKanal 1: 1.4142 V"},
        {"long sine mean", 2500, 7.0, MeasureMean, u"Mittelwerte\r\nKanal 1: 0 V"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Capture capture = MakeCapture(testCase.n, {SlotCh1});
        capture.voltsPerDiv[SlotCh1] = testCase.voltsPerDiv;
        int64_t counts = 0;
        for (int32_t i = 0; i < testCase.n; ++i) {
            const double count = std::round(100 * std::sin(6 * std::numbers::pi * i / testCase.n));
            capture.samples[SlotCh1][i] = count / 25;
            counts += static_cast<int64_t>(count);
        }
        ASSERT_EQ(counts, 0);
        EXPECT_EQ(MeasureText(capture, 0, testCase.n - 1, testCase.mode), Q(testCase.text));
    }
}

// A math trace may hold infinities and NaN: they read as such, NaN without a sign.
TEST(Readouts, NonFiniteValuesReadAsTheirNames)
{
    const double inf = std::numeric_limits<double>::infinity();
    Capture capture = MakeCapture(4, {SlotMath});
    Fill(capture, SlotMath, {inf, -inf, std::nan(""), 1});
    struct Case {
        int32_t cursor1;
        int32_t cursor2;
        QString text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {0, 1, CursorReadoutTexts(capture, 0, 1).first, u"Math: +Infinity V\r\nZeit: 0 s"},
        {0, 1, CursorReadoutTexts(capture, 0, 1).second, u"Math: -Infinity V\r\nZeit: 3 ms"},
        {2, 3, CursorReadoutTexts(capture, 2, 3).first, u"Math: NaN V\r\nZeit: 6 ms"},
        {2, 3, CursorReadoutTexts(capture, 2, 3).difference,
         u"Math: NaN V\r\nZeit: -3 ms\r\nFrq.: 333.33 Hz"},
        {0, 3, MeasureText(capture, 0, 3, MeasurePeak),
         u"Spitzenwerte (Minimum, Maximum, Spitze-Spitze)\r\n"
         u"Math: -Infinity V, +Infinity V, +Infinity V"},
        {0, 3, MeasureText(capture, 0, 3, MeasureMean), u"Mittelwerte\r\nMath: NaN V"},
        {0, 0, MeasureText(capture, 0, 0, MeasureRms), u"Effektivwerte\r\nMath: +Infinity V"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testing::Message() << testCase.cursor1 << "," << testCase.cursor2);
        EXPECT_EQ(testCase.text, Q(testCase.expected));
    }
}

// Indices outside the record are held to its ends instead of reading past the samples.
TEST(Measure, CursorsOutsideTheRecordAreHeldToItsEnds)
{
    Capture capture = MakeCapture(3, {SlotCh1});
    Fill(capture, SlotCh1, {1, 2, 3});
    EXPECT_EQ(MeasureText(capture, -5, 70000, MeasurePeak),
              MeasureText(capture, 0, 2, MeasurePeak));
    EXPECT_EQ(CursorReadoutTexts(capture, -1, 9).difference,
              CursorReadoutTexts(capture, 0, 2).difference);
}

TEST(CursorReadouts, NewWindowPositions)
{
    Capture capture = MakeCapture(1000, {SlotCh1, SlotCh2, SlotMath});
    capture.samples[SlotCh1][0] = -1.2;
    capture.samples[SlotCh1][999] = 0.4;
    capture.samples[SlotCh2][0] = 0.3;
    capture.samples[SlotMath][0] = -0.9;
    capture.samples[SlotMath][999] = 0.1;
    const CursorTexts texts = CursorReadoutTexts(capture, 0, 999);
    EXPECT_EQ(texts.first, Q(u"Kanal 1: -1.2 V\r\nKanal 2: 300 mV\r\nMath: -900 mV\r\nZeit: 0 s"));
    EXPECT_EQ(texts.second,
              Q(u"Kanal 1: 400 mV\r\nKanal 2: 0 V\r\nMath: 100 mV\r\nZeit: 11.988 ms"));
    EXPECT_EQ(texts.difference, Q(u"Kanal 1: -1.6 V\r\nKanal 2: 300 mV\r\nMath: -1 V\r\n"
                                  u"Zeit: -11.988 ms\r\nFrq.: 83.417 Hz"));

    // Mirrored cursors: the differences change sign, the frequency stays.
    const CursorTexts mirrored = CursorReadoutTexts(capture, 999, 0);
    EXPECT_EQ(mirrored.first, texts.second);
    EXPECT_EQ(mirrored.second, texts.first);
    EXPECT_EQ(mirrored.difference, Q(u"Kanal 1: 1.6 V\r\nKanal 2: -300 mV\r\nMath: 1 V\r\n"
                                     u"Zeit: 11.988 ms\r\nFrq.: 83.417 Hz"));
}

// A file cut short: a cursor on a missing sample reads "---", and so does a range with
// nothing but missing samples; a range partly missing measures the samples held.
TEST(CursorReadouts, MissingSamplesReadDashes)
{
    Capture capture = MakeCapture(10, {SlotCh1, SlotCh2});
    capture.missing[SlotCh2] = 4; // samples 6..9 missing
    for (int32_t i = 0; i < 10; ++i) {
        capture.samples[SlotCh1][i] = 1;
        capture.samples[SlotCh2][i] = i < 6 ? 0.5 : std::nan("");
    }
    const CursorTexts texts = CursorReadoutTexts(capture, 2, 8);
    EXPECT_EQ(texts.first, Q(u"Kanal 1: 1 V\r\nKanal 2: 500 mV\r\nZeit: 2.4 ms"));
    EXPECT_TRUE(texts.second.startsWith(Q(u"Kanal 1: 1 V\r\nKanal 2: ---\r\n")));
    EXPECT_TRUE(texts.difference.startsWith(Q(u"Kanal 1: 0 V\r\nKanal 2: ---\r\n")));
    EXPECT_EQ(MeasureText(capture, 2, 8, MeasureMean),
              Q(u"Mittelwerte\r\nKanal 1: 1 V\r\nKanal 2: 500 mV"));
    EXPECT_EQ(MeasureText(capture, 7, 9, MeasurePeak),
              Q(u"Spitzenwerte (Minimum, Maximum, Spitze-Spitze)\r\nKanal 1: 1 V, 1 V, 0 V\r\n"
                u"Kanal 2: ---"));
}

TEST(CursorReadouts, TimeDifferenceAndFrequencyLine)
{
    struct Case {
        int32_t cursor1;
        int32_t cursor2;
        const char16_t* difference;
    };
    // N = 1200 at 1 ms/DIV: 100 samples are exactly 1 ms.
    const Case cases[] = {
        {100, 0, u"Kanal 1: 0 V\r\nZeit: 1 ms\r\nFrq.: 1 kHz"},
        {0, 100, u"Kanal 1: 0 V\r\nZeit: -1 ms\r\nFrq.: 1 kHz"},
        {7, 7, u"Kanal 1: 0 V\r\nZeit: 0 s"}, // no division by zero, no frequency line
    };
    Capture capture = MakeCapture(1200, {SlotCh1});
    for (const Case& testCase : cases) {
        const CursorTexts texts = CursorReadoutTexts(capture, testCase.cursor1, testCase.cursor2);
        EXPECT_EQ(texts.difference, Q(testCase.difference));
    }
    const CursorTexts same = CursorReadoutTexts(capture, 7, 7);
    EXPECT_EQ(same.first, Q(u"Kanal 1: 0 V\r\nZeit: 70 µs"));
    EXPECT_EQ(same.first, same.second);
}

} // namespace
