// SPDX-License-Identifier: GPL-3.0-or-later
// The template formatter: worked examples, template scanning and every argument kind.
#include "text/format_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

TEST(FormatText, FloatWorkedExamples)
{
    struct Row {
        const char16_t* templateText;
        double value;
        const char16_t* expected;
    } rows[] = {
        {u"{0Sd5}V/DIV", 0.5, u"500 mV/DIV"},
        {u"{0Sd5}V/DIV", 1, u"1 V/DIV"},
        {u"Zeitbasis: {0Sd5}s/DIV", 0.000005, u"Zeitbasis: 5 \u00B5s/DIV"},
        {u"{0Sd5}V", 1.23456789, u"1.2346 V"},
        {u"{0Sd5}V", 0.0123456, u"12.346 mV"},
        {u"{0Sd5}V", -0.00042, u"-420 \u00B5V"},
        {u"{0Sd5}V", 12345.678, u"12.346 kV"},
        {u"{0Sd5}V", 1000, u"1 kV"},
        {u"{0Sd5}V", 999.9996, u"1000 V"}, // prefix chosen before rounding
        {u"{0Sd5}V", 0, u"0 V"},
        {u"{0Sd2}V", 1.25, u"1.3 V"},
        {u"{0sd3}", 0.5, u"500m"},
        {u"{0-Sd5}", 0.5, u" 500 m"},
        {u"{0+Sd5}", 0.5, u"+500 m"},
        {u"{0D5}", 1.5, u"1.5000"},
        {u"{0d5}", 123456, u"123456"},
        {u"{0d3}", 0.0012345, u"0.00123"},
        {u"{0}:1", 10, u"10:1"},
        {u"Offset: {0} DIV", -0.16, u"Offset: -0.16 DIV"},
        {u"{0}", 1.0 / 3.0, u"0.333333333333333"},
        {u"{0e}", 12345.678, u"1.2345678e4"},
        {u"{0e2d5}", 12345.678, u"1.2346e+04"},
        {u"{0e2d3}", 0.00123, u"1.23e-03"},
        {u"{0Ed3}", 0.5, u"5E-1"},
        {u"{0e}", 0, u"0"},
        {u"{0e3}", 0, u"0e+000"},
        {u"{0e1}", 5e-300, u"5e-300"},
        {u"{0e}", 4.9406564584124654e-324, u"4.94065645841247e-324"},
        {u"{0e}", 1.5e308, u"1.5e308"},
        // Elements out of order are never read.
        {u"{0d5S}", 1234.5678, u"1234.6"},
        {u"{0Sx}", 0.5, u"500 m"},
        {u"{Sd5}", 0.5, u"500 m"}, // no index means argument 0
        // Beyond the prefix table: no letter, but the space of "S" stays.
        {u"{0Sd5}", 1e-25, u"0.0000000000000000000000001 "},
        {u"{0Sd5}", 1e27, u"1000000000000000013287555072 "},
        {u"{0Sd5}", 1.5e-24, u"1.5 y"},
        {u"{0Sd5}", 1e-3, u"1 m"},
        {u"{0Sd5}", 999e24, u"999 Y"},
        {u"{0Sd3}", -2e-6, u"-2 \u00B5"},
        // The doubles nearest 1e-6, 1e-7 and 1e-12 lie just below those powers of ten; they
        // still stand for the powers and get their prefixes. One step below is less.
        {u"{0Sd3}", -1e-6, u"-1 \u00B5"},
        {u"{0Sd5}", 1e-12, u"1 p"},
        {u"{0Sd5}", 1e24, u"1 Y"},
        {u"{0Sd5}", std::nextafter(1e-6, 0.0), u"1000 n"},
        {u"{0e}", 1e-7, u"1e-7"},
        {u"{0-d3}", -2.5, u"-2.5"},
        {u"{0+}", 0, u"+0"},
        {u"{0-}", -0.0, u" 0"}, // zero gives no "-"
    };
    for (const Row& row : rows) {
        const QString templateText = QString::fromUtf16(row.templateText);
        EXPECT_EQ(Utf8(FormatText(templateText, row.value)), Utf8(QString::fromUtf16(row.expected)))
            << Utf8(templateText) << " " << row.value;
    }
}

TEST(FormatText, NonFiniteFloats)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char16_t* templateText;
        double value;
        const char16_t* expected;
    } rows[] = {
        {u"{0}", nan, u"-NaN"}, // NaN is not >= 0
        {u"{0+Sd5}V", nan, u"-NaN V"},
        // An infinity's own sign replaces the sign prefix, so it is never doubled.
        {u"{0}", inf, u"+Infinity"},
        {u"{0+}", inf, u"+Infinity"},
        {u"{0-Sd5}Hz", inf, u"+Infinity Hz"},
        {u"{0}", -inf, u"-Infinity"},
        {u"{0+e2}", -inf, u"-Infinitye+00"},
    };
    for (const Row& row : rows) {
        const QString templateText = QString::fromUtf16(row.templateText);
        EXPECT_EQ(Utf8(FormatText(templateText, row.value)), Utf8(QString::fromUtf16(row.expected)))
            << Utf8(templateText);
    }
}

TEST(FormatText, IntegerKinds)
{
    struct Row {
        const char16_t* templateText;
        int32_t kind;
        int64_t value;
        const char16_t* expected;
    } rows[] = {
        {u"Kanal {0}", KindInt32, 1, u"Kanal 1"},
        {u"{0d3}", KindInt32, 7, u"007"},
        {u"{0-d3}", KindInt32, 7, u" 007"},
        {u"{0d3}", KindInt32, -7, u"-007"},
        {u"{0hd4}", KindInt32, 255, u"00FF"},
        {u"{0b}", KindInt32, 5, u"101"},
        {u"{0+}", KindInt32, 0, u"+0"},
        {u"{0h}", KindInt32, 0, u"0"},
        {u"{0d0}", KindInt32, 0, u"0"},
        {u"{0bd8}", KindUInt8, 5, u"00000101"},
        {u"{0}", KindInt8, -128, u"-128"},
        {u"{0}", KindUInt8, 255, u"255"},
        {u"{0}", KindInt16, -32768, u"-32768"},
        {u"{0h}", KindUInt16, 65535, u"FFFF"},
        {u"{0}", KindUInt32, 4294967295, u"4294967295"},
        {u"{0}", KindInt64, std::numeric_limits<int64_t>::min(), u"-9223372036854775808"},
        {u"{0d20}", KindInt64, 999999999999999999, u"00999999999999999999"},
        {u"{0}", KindUInt64, -1, u"18446744073709551615"}, // all 64 bits
        {u"{0hd2}", KindUInt64, 0x1234, u"1234"},
        // Unsigned kinds have no sign style: a "+" there ends the placeholder.
        {u"{0+d5}", KindUInt32, 7, u"7"},
        // Only lower-case "d"; anything unexpected ends the placeholder.
        {u"{0D5}", KindInt32, 7, u"7"},
        {u"{0xd5}", KindInt32, 7, u"7"},
    };
    for (const Row& row : rows) {
        // The value as the type of its kind: each kind reads its own width.
        const QString templateText = QString::fromUtf16(row.templateText);
        const auto typed = [&]() -> QString {
            switch (row.kind) {
            case KindInt8:
                return FormatText(templateText, static_cast<int8_t>(row.value));
            case KindUInt8:
                return FormatText(templateText, static_cast<uint8_t>(row.value));
            case KindInt16:
                return FormatText(templateText, static_cast<int16_t>(row.value));
            case KindUInt16:
                return FormatText(templateText, static_cast<uint16_t>(row.value));
            case KindInt32:
                return FormatText(templateText, static_cast<int32_t>(row.value));
            case KindUInt32:
                return FormatText(templateText, static_cast<uint32_t>(row.value));
            case KindInt64:
                return FormatText(templateText, row.value);
            default:
                return FormatText(templateText, static_cast<uint64_t>(row.value));
            }
        };
        EXPECT_EQ(Utf8(typed()), Utf8(QString::fromUtf16(row.expected)))
            << Utf8(templateText) << " kind " << row.kind;
    }
}

TEST(FormatText, Float32UsesSixDigits)
{
    const float value = 1.0f / 3.0f;
    EXPECT_EQ(FormatText(u"{0}", value), QStringLiteral("0.333333"));
    EXPECT_EQ(FormatText(u"{0d9}", value), QStringLiteral("0.333333343"));
}

TEST(FormatText, TextKind)
{
    struct Row {
        const char16_t* templateText;
        const char16_t* value;
        const char16_t* expected;
    } rows[] = {
        {u"{0u}", u"abc", u"ABC"},
        {u"{0l}", u"ABC\u00C4", u"abc\u00E4"},
        {u"{0p*6}", u"abc", u"***abc"},
        {u"{0a.6}", u"abc", u"abc..."},
        {u"{0up06}", u"abc", u"000ABC"}, // any fill character, digits too
        {u"{0p 5}", u"ab", u"   ab"},
        {u"{0p*2}", u"abc", u"abc"}, // never cut
        {u"{0p*}", u"abc", u"abc"},
        {u"{0p}", u"abc", u"abc"}, // fewer than two characters left
        {u"Die Datei \"{0}\" kann nicht erstellt werden!", u"C:\\a b.csv",
         u"Die Datei \"C:\\a b.csv\" kann nicht erstellt werden!"},
    };
    for (const Row& row : rows) {
        const QString value = QString::fromUtf16(row.value);
        const QString templateText = QString::fromUtf16(row.templateText);
        EXPECT_EQ(Utf8(FormatText(templateText, value)), Utf8(QString::fromUtf16(row.expected)))
            << Utf8(templateText);
    }
}

TEST(FormatText, TemplateScanningAndArguments)
{
    const int32_t one = 1;
    const int32_t two = 2;
    const double half = 0.5;
    const QString name = QStringLiteral("x");
    struct Row {
        const char16_t* templateText;
        const char16_t* expected;
    } rows[] = {
        {u"a{}b}c", u"a{b}c"},
        {u"x{0", u"x"}, // an unclosed placeholder is dropped
        {u"x{0}y{1", u"x1y"},
        {u"{}", u"{"},
        {u"}", u"}"},
        {u"{{0}", u"1"}, // the placeholder "{0": no digits, so index 0, and "{" ends it
        {u"{t}{n}{r}", u"\t\n\r"},
        {u"{tab}{nope}{r2}", u"\t\n\r"},
        {u"{0}{1}{2Sd5}{3}", u"12500 mx"},
        {u"{3u}", u"X"},
        {u"{4}", u""},  // absent argument
        {u"{16}", u""}, // beyond the 16 slots
        {u"{99999999999999}", u""},
        {u"{1d3}-{0d3}", u"002-001"},
        {u"plain", u"plain"},
        {u"", u""},
    };
    for (const Row& row : rows) {
        const QString templateText = QString::fromUtf16(row.templateText);
        EXPECT_EQ(Utf8(FormatText(templateText, one, two, half, name)),
                  Utf8(QString::fromUtf16(row.expected)))
            << Utf8(templateText);
    }
}

TEST(FormatText, SixteenSlotsAndUnknownKinds)
{
    FormatArg args[FormatArgCount]{};
    const int32_t values[FormatArgCount] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int32_t i = 0; i < FormatArgCount; ++i)
        args[i] = {KindInt32, &values[i]};
    EXPECT_EQ(FormatText(u"{15},{9},{0}", args), QStringLiteral("15,9,0"));
    args[9] = {11, &values[9]}; // no such kind
    args[3] = {-1, &values[3]};
    args[15] = {KindInt32, nullptr};
    EXPECT_EQ(FormatText(u"[{9}][{3}][{15}]", args), QStringLiteral("[][][]"));
}

// The typed form gives each argument the kind of its type: the width it is read with.
TEST(FormatText, TypedArgumentsTakeTheKindOfTheirType)
{
    const int8_t i8 = -5;
    const uint16_t u16 = 65535;
    const int32_t i32 = 50;
    const uint64_t u64 = 18446744073709551615ULL;
    const float f32 = 0.1f;
    const double f64 = 0.5;
    const QString text = QStringLiteral("a.sav");
    EXPECT_EQ(Utf8(FormatText(u"{0}|{1}|{2}|{3}", i8, u16, i32, u64)),
              "-5|65535|50|18446744073709551615");
    EXPECT_EQ(Utf8(FormatText(u"{0d9}|{1Sd5}V|{2}", f32, f64, text)), "0.100000001|500 mV|a.sav");
    EXPECT_EQ(Utf8(FormatText(u"Zoom: {0} %", i32)), "Zoom: 50 %");
    EXPECT_EQ(Utf8(FormatText(u"ohne Argument {0}")), "ohne Argument ");
}

TEST(RepeatChar, Counts)
{
    EXPECT_EQ(RepeatChar(3, u'0'), QStringLiteral("000"));
    EXPECT_EQ(RepeatChar(0, u'0'), QString());
    EXPECT_EQ(RepeatChar(-5, u'0'), QString());
    EXPECT_EQ(RepeatChar(2, QChar(0x00B5)), QString::fromUtf16(u"\u00B5\u00B5"));
}

} // namespace
