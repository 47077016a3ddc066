// SPDX-License-Identifier: GPL-3.0-or-later
// The math trace over captures built in memory, the math dialog's rules and the
// command-line form of a math definition.
#include "math/math_channel.h"
#include "support/test_capture.h"

#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// CH1 and CH2 present at 1 V/DIV with offset 0, so that positions read as volts.
Capture MakeCapture(std::initializer_list<double> ch1, std::initializer_list<double> ch2)
{
    Capture capture =
        MakeTestCapture(static_cast<int32_t>(ch1.size()), {{SlotCh1, 1.0}, {SlotCh2, 1.0}});
    for (int32_t slot = SlotCh1; slot <= SlotCh2; ++slot) {
        capture.probeFactor[slot] = 1;
        capture.channelRows[slot] = 0x1F;
    }
    int32_t i = 0;
    for (double v : ch1)
        capture.samples[SlotCh1][i++] = v;
    i = 0;
    for (double v : ch2)
        capture.samples[SlotCh2][i++] = v;
    return capture;
}

MathSettings Settings(int32_t operation, int32_t x, int32_t y, double scale = 0, double offset = 0,
                      double constantX = 0, double constantY = 0)
{
    return MathSettings{operation, x, y, scale, offset, constantX, constantY};
}

std::vector<double> MathSamples(const Capture& capture)
{
    return std::vector<double>(capture.samples[SlotMath],
                               capture.samples[SlotMath] + capture.samplesPerChannel);
}

// NaN-aware comparison of stored sample positions.
void ExpectSamples(const Capture& capture, std::initializer_list<double> expected)
{
    const std::vector<double> actual = MathSamples(capture);
    ASSERT_EQ(actual.size(), expected.size());
    size_t i = 0;
    for (double value : expected) {
        SCOPED_TRACE(i);
        if (std::isnan(value)) {
            EXPECT_TRUE(std::isnan(actual[i])) << actual[i];
        } else {
            EXPECT_DOUBLE_EQ(actual[i], value);
        }
        ++i;
    }
}

// Every operation on two constants, with a fixed 1 V/DIV so that positions are results.
TEST(ComputeMath, OperationResults)
{
    struct Case {
        int32_t operation;
        double x;
        double y;
        double result;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {MathAdd, 1.5, 2, 3.5},       {MathSubtract, 1.5, 2, -0.5},
        {MathMultiply, 1.5, -2, -3},  {MathDivide, 3, 2, 1.5},
        {MathDivide, 1, 0, kInf},     {MathDivide, 0, 0, nan},
        {MathReciprocal, 4, 9, 0.25}, {MathReciprocal, -0.0, 9, -kInf},
        {MathSquare, -3, 9, 9},       {MathSquareRoot, 2.25, 9, 1.5},
        {MathSquareRoot, -1, 9, nan}, {MathAbsolute, -2.5, 9, 2.5},
        {MathNegate, 2.5, 9, -2.5},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testing::Message() << MathOperationText(testCase.operation).toStdString()
                                        << " x=" << testCase.x << " y=" << testCase.y);
        Capture capture = MakeCapture({0, 0}, {0, 0});
        ComputeMath(capture, Settings(testCase.operation, -1, -1, 1, 0, testCase.x, testCase.y));
        EXPECT_EQ(capture.present[SlotMath], 1);
        if (std::isinf(testCase.result)) {
            EXPECT_EQ(capture.samples[SlotMath][1], testCase.result);
        } else {
            ExpectSamples(capture, {testCase.result, testCase.result});
        }
    }
}

TEST(ComputeMath, AutoAndFixedScale)
{
    struct Case {
        const char* name;
        std::initializer_list<double> ch1;
        std::initializer_list<double> ch2;
        MathSettings settings;
        double scale;
        double offset;
        std::initializer_list<double> samples;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {"sum of 1 V and 2 V", {1, 1}, {2, 2}, Settings(MathAdd, 0, 1), 1, 0, {3, 3}},
        {"all zero, offset ignored",
         {0, 0},
         {0, 0},
         Settings(MathMultiply, 0, 1, 0, 2),
         1,
         0,
         {0, 0}},
        // The exact quotient, not a 1-2-5 step.
        {"largest 2.5 V",
         {-2.5, 1},
         {0, 0},
         Settings(MathAdd, 0, 1),
         2.5 * 2 / 6,
         0,
         {-3, 1 / (2.5 * 2 / 6)}},
        {"constant 2 times CH1",
         {0.25, -1, 2},
         {0, 0, 0},
         Settings(MathMultiply, -1, 0, 1, 0, 2),
         1,
         0,
         {0.5, -2, 4}},
        {"fixed scale and offset",
         {1, -0.5},
         {0, 0},
         Settings(MathAdd, 0, 1, 0.5, 1),
         0.5,
         1,
         {3, 0}},
        // Results that are not finite stay as they are but leave the scale to the finite
        // ones (1 when there are none).
        {"NaN then 1", {-1, 1}, {0, 0}, Settings(MathSquareRoot, 0, 0), 2.0 / 6, 0, {nan, 3}},
        {"1 then NaN", {1, -1}, {0, 0}, Settings(MathSquareRoot, 0, 0), 2.0 / 6, 0, {3, nan}},
        {"1/x through 0",
         {0.5, 0, -2},
         {0, 0, 0},
         Settings(MathReciprocal, 0, 1),
         2.0 / 3,
         0,
         {3, kInf, -0.75}},
        {"only infinities and NaN", {0, 0}, {0, 1}, Settings(MathDivide, 1, 0), 1, 0, {nan, kInf}},
        // The largest doubles: a third of them, not an overflow on the way.
        {"largest finite results",
         {1.5e308, -1.5e308},
         {0, 0},
         Settings(MathNegate, 0, 1),
         0.5e308,
         0,
         {-3, 3}},
        {"fixed scale keeps 1/x of 0 infinite",
         {0, 0.5},
         {0, 0},
         Settings(MathReciprocal, 0, 1, 0.5, 1),
         0.5,
         1,
         {kInf, 5}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Capture capture = MakeCapture(testCase.ch1, testCase.ch2);
        ComputeMath(capture, testCase.settings);
        EXPECT_EQ(capture.present[SlotMath], 1);
        EXPECT_DOUBLE_EQ(capture.voltsPerDiv[SlotMath], testCase.scale);
        EXPECT_EQ(capture.offsetDiv[SlotMath], testCase.offset);
        ExpectSamples(capture, testCase.samples);
    }
}

TEST(ComputeMath, ResultReadsBackThroughSampleValue)
{
    Capture capture = MakeCapture({1, 3}, {0, 0});
    capture.voltsPerDiv[SlotCh1] = 0.5; // 0.5 V and 1.5 V
    capture.inverted[SlotCh2] = 1;
    capture.samples[SlotCh2][1] = 1; // reads -1 V
    ComputeMath(capture, Settings(MathSubtract, 0, 1, 0.5, 1));
    EXPECT_DOUBLE_EQ(SampleValue(capture, SlotMath, 0), 0.5);
    EXPECT_DOUBLE_EQ(SampleValue(capture, SlotMath, 1), 2.5);
    EXPECT_DOUBLE_EQ(capture.samples[SlotMath][1], 6);

    // Auto with an infinite result: the finite ones still read back as they are.
    Capture reciprocal = MakeCapture({0.5, 0, -2}, {0, 0, 0});
    ComputeMath(reciprocal, Settings(MathReciprocal, 0, 1));
    EXPECT_DOUBLE_EQ(SampleValue(reciprocal, SlotMath, 0), 2);
    EXPECT_EQ(SampleValue(reciprocal, SlotMath, 1), kInf);
    EXPECT_DOUBLE_EQ(SampleValue(reciprocal, SlotMath, 2), -0.5);
}

// "-x" of the MATH slot itself negates the previous trace, read with its previous scale
// and offset.
TEST(ComputeMath, MathSlotAsItsOwnOperand)
{
    Capture capture = MakeCapture({1, -2, 0.5}, {0, 0, 0});
    ComputeMath(capture, Settings(MathAdd, 0, 1, 0.5, 1));
    const std::vector<double> before = {SampleValue(capture, SlotMath, 0),
                                        SampleValue(capture, SlotMath, 1),
                                        SampleValue(capture, SlotMath, 2)};
    ComputeMath(capture, Settings(MathNegate, SlotMath, SlotMath));
    EXPECT_DOUBLE_EQ(capture.voltsPerDiv[SlotMath], 2.0 / 3);
    EXPECT_EQ(capture.offsetDiv[SlotMath], 0);
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(SampleValue(capture, SlotMath, i), -before[i]);
}

TEST(ComputeMath, OperationZeroSwitchesOffAndKeepsTheTrace)
{
    Capture capture = MakeCapture({1, 2}, {0, 0});
    ComputeMath(capture, Settings(MathAdd, 0, 1, 0.5, 1));
    const std::vector<double> trace = MathSamples(capture);
    ComputeMath(capture, Settings(MathOff, 0, 1, 2, 3));
    EXPECT_EQ(capture.present[SlotMath], 0);
    EXPECT_EQ(MathSamples(capture), trace);
    EXPECT_EQ(capture.voltsPerDiv[SlotMath], 0.5);
    EXPECT_EQ(capture.offsetDiv[SlotMath], 1);
}

// Definitions the dialog cannot make must not read outside the three slots.
TEST(ComputeMath, StrayCodesLeaveTheCaptureUnchanged)
{
    const MathSettings stray[] = {Settings(10, 0, 1), Settings(-1, 0, 1), Settings(MathAdd, 3, 1),
                                  Settings(MathAdd, 0, -2)};
    for (const MathSettings& settings : stray) {
        Capture capture = MakeCapture({1, 2}, {0, 0});
        ComputeMath(capture, settings);
        EXPECT_EQ(capture.present[SlotMath], 0);
        EXPECT_EQ(MathSamples(capture), (std::vector<double>{0, 0}));
    }
}

TEST(MathDialog, ScaleFromFactor)
{
    struct Case {
        bool selected;
        double number;
        const char16_t* typed;
        int32_t unitPower;
        double scale;
    };
    const Case cases[] = {
        {true, 0, u"Auto", 0, 0},        {true, 5, u"5", -3, 0.005},
        {true, 200, u"200", -6, 0.0002}, {true, 500, u"500", 6, 5e8},
        {false, 0, u" 2,5 ", 0, 2.5},    {false, 0, u"1k", -3, 1},
        {false, 0, u"-1", 0, 0},         {false, 0, u"NaN", 0, 0},
        {false, 0, u"abc", 3, 0},        {false, 0, u"4.7k", 3, 4.7e6},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(QString::fromUtf16(testCase.typed).toStdString());
        EXPECT_DOUBLE_EQ(MathScaleFromFactor(testCase.selected, testCase.number,
                                             QStringView(testCase.typed), testCase.unitPower),
                         testCase.scale);
    }
}

TEST(MathDialog, OffsetFromSlider)
{
    struct Case {
        int32_t position;
        double offset;
        const char16_t* text;
    };
    const Case cases[] = {
        {100, 0, u"Offset: 0 DIV"},     {101, 0.04, u"Offset: 0.04 DIV"},
        {0, -4, u"Offset: -4 DIV"},     {200, 4, u"Offset: 4 DIV"},
        {130, 1.2, u"Offset: 1.2 DIV"}, {96, -0.16, u"Offset: -0.16 DIV"},
    };
    for (const Case& testCase : cases) {
        const double offset = MathOffsetFromSlider(testCase.position, 8);
        EXPECT_DOUBLE_EQ(offset, testCase.offset) << testCase.position;
        EXPECT_EQ(MathOffsetText(offset), QString::fromUtf16(testCase.text));
    }
}

TEST(ParseMathDefinition, ReadsWellFormedDefinitions)
{
    struct Case {
        const char16_t* definition;
        MathSettings expected;
    };
    const Case cases[] = {
        {u"x+y:ch1:ch2", Settings(MathAdd, 0, 1)},
        {u"x-y:ch2:math:0.5:1", Settings(MathSubtract, 1, 2, 0.5, 1)},
        {u"X*Y:CH1:Math:5m:-2.5", Settings(MathMultiply, 0, 2, ParseValue(u"5m"), -2.5)},
        {u"x/y:ch1: 1.5e-1 ", Settings(MathDivide, 0, -1, 0, 0, 7, 0.15)},
        {u"1/x:-3:ch1:auto", Settings(MathReciprocal, -1, 0, 0, 0, -3, 7)},
        {u"x^2:ch1:ch1:0:3", Settings(MathSquare, 0, 0)}, // 0 is Auto: offset ignored
        {u"x\u00B2:ch2:ch2", Settings(MathSquare, 1, 1)},
        {u"sqrt(x):ch1:.5", Settings(MathSquareRoot, 0, -1, 0, 0, 7, 0.5)},
        {u"abs(x):ch1:ch1:2", Settings(MathAbsolute, 0, 0, 2)},
        {u"-x:math:ch1:auto:4", Settings(MathNegate, 2, 0)},
        {u"off:ch1:ch2:1:1", Settings(MathOff, 1, 1, 9, 9)}, // only switches off
        {u"x+y:4k7:ch1", Settings(MathAdd, -1, 0, 0, 0, 4700, 7)},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(QString::fromUtf16(testCase.definition).toStdString());
        MathSettings settings = Settings(MathAdd, 1, 1, 9, 9, 7, 7);
        ASSERT_TRUE(ParseMathDefinition(QStringView(testCase.definition), settings));
        EXPECT_EQ(settings.operation, testCase.expected.operation);
        EXPECT_EQ(settings.operandX, testCase.expected.operandX);
        EXPECT_EQ(settings.operandY, testCase.expected.operandY);
        EXPECT_EQ(settings.scale, testCase.expected.scale);
        EXPECT_EQ(settings.offset, testCase.expected.offset);
        // A constant is written only for an operand that is one.
        EXPECT_EQ(settings.constantX,
                  testCase.expected.operandX == -1 ? testCase.expected.constantX : 7.0);
        EXPECT_EQ(settings.constantY,
                  testCase.expected.operandY == -1 ? testCase.expected.constantY : 7.0);
    }
}

TEST(ParseMathDefinition, OffAloneChangesOnlyTheOperation)
{
    MathSettings settings = Settings(MathDivide, 1, -1, 0.2, 1, 0, 3);
    ASSERT_TRUE(ParseMathDefinition(u"off", settings));
    EXPECT_EQ(settings.operation, MathOff);
    EXPECT_EQ(settings.operandX, 1);
    EXPECT_EQ(settings.operandY, -1);
    EXPECT_EQ(settings.scale, 0.2);
    EXPECT_EQ(settings.offset, 1);
    EXPECT_EQ(settings.constantY, 3);
}

TEST(ParseMathDefinition, RejectsMalformedDefinitionsUnchanged)
{
    const char16_t* definitions[] = {
        u"",
        u"x+y",
        u"x+y:ch1",
        u"x%y:ch1:ch2",
        u"x+y:ch3:ch1",
        u"x+y:ch1:",
        u"x+y::ch2",
        u"x+y:ch1:abc",
        u"x+y:ch1:NaN",
        u"x+y:ch1:+Infinity",
        u"x+y:ch1:ch2:-1",
        u"x+y:ch1:ch2:fast",
        u"x+y:ch1:ch2:1:abc",
        u"x+y:ch1:ch2:1:2:3",
        u"x+y:ch1:ch2:",
        u"offf",
        u"off:ch1",
        u"x+y:ch1:ch2:auto:",
        // A number is the whole field, never its readable start.
        u"x+y:1,000:0",
        u"x+y:ch1:1,5",
        u"x+y:0x10:0",
        u"x+y:2O:0",
        u"x+y:1.2.3:0",
        u"x+y:3abc:0",
        u"x+y:1e:0",
        u"x+y:4k7k:0",
        u"x+y:ch1:ch2:5mV",
        u"x+y:ch1:ch2:1:2e3.5",
    };
    for (const char16_t* definition : definitions) {
        SCOPED_TRACE(QString::fromUtf16(definition).toStdString());
        MathSettings settings = Settings(MathDivide, 1, 0, 0.2, 1);
        EXPECT_FALSE(ParseMathDefinition(QStringView(definition), settings));
        EXPECT_EQ(settings.operation, MathDivide);
        EXPECT_EQ(settings.operandX, 1);
        EXPECT_EQ(settings.scale, 0.2);
        EXPECT_EQ(settings.offset, 1);
    }
}

TEST(ParseMathDefinition, NamesTheFieldThatIsNoNumber)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"x+y:1,000:0", u"1,000"},
        {u"x+y:ch1:2O", u"2O"},
        {u"x+y:ch1:ch2:5mV", u"5mV"},
        {u"x+y:ch1:ch2:1:3abc", u"3abc"},
    };
    for (const auto& [definition, field] : cases) {
        MathSettings settings{};
        QString badNumber;
        EXPECT_FALSE(ParseMathDefinition(QStringView(definition), settings, &badNumber));
        EXPECT_EQ(badNumber, QString::fromUtf16(field));
    }
}

} // namespace
