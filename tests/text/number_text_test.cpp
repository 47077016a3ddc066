// SPDX-License-Identifier: GPL-3.0-or-later
// Number text against an exact decimal expansion of the binary value, the worked
// examples, and reading typed numbers.
#include "text/format_text.h"
#include "text/number_text.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// The exact decimal expansion of a double, by big-integer arithmetic in base 10^9:
// m * 2^e is m * 2^e for e >= 0, and m * 5^-e with the point -e places from the right
// otherwise.
struct Exact {
    bool negative = false;
    std::string integer;  // no leading zeros, "0" for none
    std::string fraction; // all decimals, trailing zeros included
};

void MultiplySmall(std::vector<uint32_t>& limbs, uint32_t factor)
{
    uint64_t carry = 0;
    for (uint32_t& limb : limbs) {
        const uint64_t product = uint64_t{limb} * factor + carry;
        limb = static_cast<uint32_t>(product % 1000000000u);
        carry = product / 1000000000u;
    }
    while (carry != 0) {
        limbs.push_back(static_cast<uint32_t>(carry % 1000000000u));
        carry /= 1000000000u;
    }
}

Exact ExactExpansion(double value)
{
    Exact exact;
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    exact.negative = (bits >> 63) != 0;
    const int32_t biased = static_cast<int32_t>((bits >> 52) & 0x7FF);
    uint64_t m = bits & ((uint64_t{1} << 52) - 1);
    int32_t e = -1074;
    if (biased != 0) {
        m |= uint64_t{1} << 52;
        e = biased - 1075;
    }
    std::vector<uint32_t> limbs{static_cast<uint32_t>(m % 1000000000u),
                                static_cast<uint32_t>(m / 1000000000u % 1000000000u),
                                static_cast<uint32_t>(m / 1000000000000000000u)};
    for (int32_t left = e; left > 0; left -= std::min(left, 29))
        MultiplySmall(limbs, uint32_t{1} << std::min(left, 29));
    for (int32_t left = -e; left > 0; left -= std::min(left, 12)) {
        uint32_t power = 1;
        for (int32_t i = 0; i < std::min(left, 12); ++i)
            power *= 5;
        MultiplySmall(limbs, power);
    }
    std::string digits;
    for (auto it = limbs.rbegin(); it != limbs.rend(); ++it) {
        std::string chunk = std::to_string(*it);
        digits += std::string(9 - chunk.size(), '0') + chunk;
    }
    const size_t fractionDigits = e < 0 ? static_cast<size_t>(-e) : 0;
    if (digits.size() <= fractionDigits) digits.insert(0, fractionDigits + 1 - digits.size(), '0');
    exact.integer = digits.substr(0, digits.size() - fractionDigits);
    exact.fraction = digits.substr(digits.size() - fractionDigits);
    const size_t first = exact.integer.find_first_not_of('0');
    exact.integer = first == std::string::npos ? "0" : exact.integer.substr(first);
    return exact;
}

// Rounds the exact expansion at `decimals`, halves away from zero: a dropped digit of 5
// or more is at least a half, because the expansion is complete.
std::string ReferenceFixed(double value, int32_t decimals)
{
    const Exact exact = ExactExpansion(value);
    std::string fraction = exact.fraction;
    if (fraction.size() < static_cast<size_t>(decimals) + 1)
        fraction.append(static_cast<size_t>(decimals) + 1 - fraction.size(), '0');
    std::string digits = exact.integer + fraction.substr(0, static_cast<size_t>(decimals));
    if (fraction[static_cast<size_t>(decimals)] >= '5') {
        size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0)
            digits.insert(0, "1");
        else
            ++digits[i - 1];
    }
    const size_t integerLength = digits.size() - static_cast<size_t>(decimals);
    std::string text = digits.substr(0, integerLength);
    if (decimals > 0) text += "." + digits.substr(integerLength);
    return (exact.negative && value != 0 ? "-" : "") + text;
}

// The exponent of the exact binary value, except that the double nearest to a power of
// ten stands for that power (1e-6 is one micro, not 999.99... nano).
int32_t ReferenceExponent(double value)
{
    const Exact exact = ExactExpansion(value);
    const int32_t e = exact.integer != "0"
                          ? static_cast<int32_t>(exact.integer.size()) - 1
                          : -static_cast<int32_t>(exact.fraction.find_first_not_of('0')) - 1;
    const double next = std::strtod(("1e" + std::to_string(e + 1)).c_str(), nullptr);
    return std::fabs(value) == next ? e + 1 : e;
}

std::string ReferenceNumber(double value, int32_t digits, bool trim)
{
    const int32_t decimals = std::clamp(digits - (ReferenceExponent(value) + 1), 0, 512);
    std::string text = ReferenceFixed(value, decimals);
    if (trim && text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

double RandomFinite(std::mt19937_64& random)
{
    for (;;) {
        const double value = std::bit_cast<double>(random());
        if (std::isfinite(value)) return value;
    }
}

TEST(FixedText, MatchesExactDecimalExpansionOnRandomDoubles)
{
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<int32_t> anyDecimals(0, 512);
    std::uniform_int_distribution<int32_t> fewDecimals(0, 20);
    std::uniform_int_distribution<int32_t> scale(-60, 60);
    for (int32_t i = 0; i < 4000; ++i) {
        // Any bit pattern: most are far from 1, with the full 512 decimals in play.
        double value = RandomFinite(random);
        int32_t decimals = anyDecimals(random);
        ASSERT_EQ(FixedText(value, decimals).toStdString(), ReferenceFixed(value, decimals))
            << value << " " << decimals;

        // Everyday magnitudes with everyday decimal counts.
        value = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random), scale(random));
        decimals = fewDecimals(random);
        ASSERT_EQ(FixedText(value, decimals).toStdString(), ReferenceFixed(value, decimals))
            << value << " " << decimals;

        // Exact ties: an odd multiple of 2^-(decimals+1) sits exactly halfway.
        decimals = fewDecimals(random);
        const auto odd = static_cast<int64_t>(random() % (uint64_t{1} << 40)) | 1;
        value = std::ldexp(static_cast<double>(i % 2 ? odd : -odd), -(decimals + 1));
        ASSERT_EQ(FixedText(value, decimals).toStdString(), ReferenceFixed(value, decimals))
            << value << " " << decimals;
    }
}

TEST(ExponentOf, MatchesExactDecimalExpansionOnRandomDoubles)
{
    std::mt19937_64 random(7);
    for (int32_t i = 0; i < 4000; ++i) {
        const double value = RandomFinite(random);
        if (value == 0) continue;
        ASSERT_EQ(ExponentOf(value, 10), ReferenceExponent(value)) << value;
    }
    // Around every power of ten, where log10 goes wrong and the nearest double may lie
    // on either side of the true power.
    for (int32_t k = -323; k <= 308; ++k) {
        const double nearest = std::strtod(("1e" + std::to_string(k)).c_str(), nullptr);
        for (double value : {std::nextafter(nearest, 0.0), nearest,
                             std::nextafter(nearest, std::numeric_limits<double>::infinity())}) {
            if (value == 0 || std::isinf(value)) continue;
            ASSERT_EQ(ExponentOf(value, 10), ReferenceExponent(value)) << value;
            ASSERT_EQ(ExponentOf(-value, 10), ReferenceExponent(value)) << value;
        }
    }
}

TEST(NumberText, MatchesReferenceAndTheFastPathAgrees)
{
    std::mt19937_64 random(99);
    std::uniform_int_distribution<int32_t> digitCount(-2, 40);
    for (int32_t i = 0; i < 4000; ++i) {
        const double value = i % 2
                                 ? RandomFinite(random)
                                 : std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                                              static_cast<int32_t>(random() % 80) - 40);
        const int32_t digits = digitCount(random);
        const bool trim = i % 3 != 0;
        const QString text = NumberText(value, digits, trim);
        ASSERT_EQ(text.toStdString(), ReferenceNumber(value, digits, trim)) << value;
        std::string appended = "x";
        AppendNumberText(appended, value, digits, trim);
        ASSERT_EQ(appended, "x" + text.toStdString());
    }
}

// Up to 15 digits take shortcuts; the hard cases for them are values within an ulp of a
// halfway point of the last kept digit, across the magnitudes the exports see.
TEST(NumberText, NearHalfwayValuesAtUpTo15Digits)
{
    std::mt19937_64 random(4242);
    std::uniform_int_distribution<int32_t> digitCount(1, 15);
    std::uniform_int_distribution<int32_t> exponent(-20, 16);
    for (int32_t i = 0; i < 20000; ++i) {
        const int32_t digits = digitCount(random);
        const int32_t e = exponent(random);
        // d.ddd...5 x 10^e with `digits` kept digits and a 5 after them.
        std::string text = std::to_string(1 + random() % 9) + ".";
        for (int32_t k = 1; k < digits; ++k)
            text += static_cast<char>('0' + random() % 10);
        text += "5e" + std::to_string(e);
        double value = std::strtod(text.c_str(), nullptr);
        const int32_t step = static_cast<int32_t>(random() % 5) - 2; // a few ulps either side
        for (int32_t k = 0; k < std::abs(step); ++k)
            value = std::nextafter(value, step < 0 ? 0.0 : 1e300);
        if (i % 2) value = -value;
        ASSERT_EQ(NumberText(value, digits, false).toStdString(),
                  ReferenceNumber(value, digits, false))
            << text << " " << step;
    }
    // Values with short decimal forms, as the samples on the 0.04 DIV grid give.
    for (int32_t raw = -128; raw < 400; ++raw) {
        for (double scale : {0.5, 0.002, 20.0, 1e-6, 5e-9}) {
            const double value = ((raw - 128) / 25.0 - 0.4) * scale;
            ASSERT_EQ(NumberText(value, 15, true).toStdString(), ReferenceNumber(value, 15, true))
                << value;
        }
    }
}

TEST(FixedText, WorkedExamplesAndSpecialValues)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        double value;
        int32_t decimals;
        const char* expected;
    } rows[] = {
        {1.25, 1, "1.3"},
        {-1.25, 1, "-1.3"},
        {0.125, 2, "0.13"},
        {2.675, 2, "2.67"}, // stored just below the halfway point
        {2.5, 0, "3"},
        {-2.5, 0, "-3"},
        {0.5, 0, "1"},
        {9.5, 0, "10"},
        {99.95, 1, "100.0"}, // 99.9500000000000028... is above the tie
        {0.5, 3, "0.500"},
        {0.5, -4, "1"},    // negative decimals count as 0
        {-0.0, 2, "0.00"}, // no "-0"
        {1e308, 0,
         "10000000000000000109790636294404554174049230967731184633681068290315758540491149153716332"
         "89784946888990612496697211725156115902837431400883283070091981460460312716645029330271856"
         "97489699588559043338384466165001178426897626212945177628091195786707458122783970171784415"
         "105291802893207873272974885715430223118336"}, // all 309 digits
        {std::numeric_limits<double>::quiet_NaN(), 3, "NaN"},
        {inf, 3, "+Infinity"},
        {-inf, 0, "-Infinity"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FixedText(row.value, row.decimals).toStdString(), row.expected)
            << row.value << " " << row.decimals;

    // Clamped at 512 decimals.
    const QString many = FixedText(1.0 / 3.0, 100000);
    EXPECT_EQ(many.size(), 2 + 512);
    EXPECT_EQ(FixedText(std::numeric_limits<double>::denorm_min(), 600).size(), 2 + 512);
}

TEST(NumberText, WorkedExamples)
{
    struct Row {
        double value;
        int32_t digits;
        bool trim;
        const char* expected;
    } rows[] = {
        {0, 5, true, "0"},
        {0, 5, false, "0.0000"},
        {-0.04, 15, true, "-0.04"},
        {9.99996, 5, false, "10.0000"}, // decimals come from the unrounded value
        {1000, 5, false, "1000.0"},
        {0.1 + 0.2, 15, true, "0.3"},
        {123456, 5, true, "123456"}, // integer digits are never rounded away
        {12.5, 5, true, "12.5"},
        {12, 5, true, "12"},
        {100, 3, true, "100"},
        {-0.5, 2, true, "-0.5"},
        {1e-25, 5, true, "0.0000000000000000000000001"},
        {std::numeric_limits<double>::quiet_NaN(), 5, true, "NaN"},
        {std::numeric_limits<double>::infinity(), 5, true, "+Infinity"},
        {0.000012, 15, true, "0.000012"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NumberText(row.value, row.digits, row.trim).toStdString(), row.expected)
            << row.value << " " << row.digits;
        std::string appended;
        AppendNumberText(appended, row.value, row.digits, row.trim);
        EXPECT_EQ(appended, row.expected);
    }
}

TEST(ExponentOf, BasesAndSpecialValues)
{
    struct Row {
        double value;
        int32_t base;
        int32_t expected;
    } rows[] = {
        {0.05, 10, -2},
        {7, 10, 0},
        {1000, 10, 3},
        {999.9, 10, 2},
        {-1000, 10, 3},
        {1e-300, 10, -300},
        {255, 16, 1},
        {256, 16, 2},
        {15, 16, 0},
        {16, 16, 1},
        {1.0 / 16, 16, -1},
        {1.0 / 17, 16, -2},
        {5, 2, 2},
        {1, 2, 0},
        {0.75, 2, -1},
        {0, 10, 0},
        {-0.0, 2, 0},
        {std::numeric_limits<double>::quiet_NaN(), 10, 0},
        {std::numeric_limits<double>::infinity(), 10, 0},
        {-std::numeric_limits<double>::infinity(), 16, 0},
        {std::numeric_limits<double>::denorm_min(), 10, -324},
        {std::numeric_limits<double>::max(), 10, 308},
        // The double written 1e23 is 99999999999999991611392, yet it is the one meant by
        // 1e23; the double one step below it is not.
        {1e23, 10, 23},
        {std::nextafter(1e23, 0.0), 10, 22},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ExponentOf(row.value, row.base), row.expected) << row.value << " " << row.base;
}

TEST(ParseValue, TypedNumbersWithPrefixesAndCommas)
{
    struct Row {
        const char16_t* text;
        double expected;
    } rows[] = {
        {u"4k7", 4700},
        {u"4.7k", 4700},
        {u"1,5m", 0.0015},
        {u"2.2\u00B5", 2.2e-6},
        {u"2.2u", 2.2e-6},
        {u"100", 100},
        {u"abc", 0},
        {u"", 0},
        {u"10 mV", 0.01},
        {u"1.5M", 1500000},
        {u"5u", 0.000005},
        {u"3f", 3}, // f, P and E are not prefixes here
        {u"3P", 3},
        {u"3E", 3},
        {u"1G", 1e9},
        {u"1n", 1e-9},
        {u"1T", 1e12},
        {u"1p", 1e-12},
        {u"  -2.5e3", -2500},
        {u"+.5", 0.5},
        {u"5.", 5},
        {u"1e3k", 1e6},
        {u"1e", 1},
        {u"1e+", 1},
        {u"-", 0},
        {u".", 0},
        {u"1e999", std::numeric_limits<double>::infinity()},
        {u"-1e999", -std::numeric_limits<double>::infinity()},
        {u"1e-999", 0},
        {u"0.0001e400", std::numeric_limits<double>::infinity()},
        {u"-INFINItY", -std::numeric_limits<double>::infinity()},
        {u"+INFINItY", std::numeric_limits<double>::infinity()},
        {u"+Infinity", 0}, // its "n" became a decimal mark: "+I.finity"
        {u"12\u00E4", 12},
    };
    for (const Row& row : rows) {
        const QString text = QString::fromUtf16(row.text);
        EXPECT_EQ(ParseValue(text), row.expected) << text.toStdString();
    }
    EXPECT_TRUE(std::isnan(ParseValue(u"NAN")));
    EXPECT_TRUE(std::isnan(ParseValue(u"NaN")));
    EXPECT_EQ(ParseValue(u"nan"), 0); // its "n" became a decimal mark
}

// A German system uses a decimal comma; none of this may follow it.
TEST(NumberText, DecimalPointUnderGermanLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const QLocale savedQt;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "locale de_DE.UTF-8 missing";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    EXPECT_EQ(FixedText(1.25, 2), QStringLiteral("1.25"));
    EXPECT_EQ(NumberText(-1234.5, 15, true), QStringLiteral("-1234.5"));
    std::string appended;
    AppendNumberText(appended, 0.000012, 15, true);
    EXPECT_EQ(appended, "0.000012");
    const double value = 0.0123456;
    EXPECT_EQ(FormatText(u"{0Sd5}V", value), QStringLiteral("12.346 mV"));
    EXPECT_EQ(FormatText(u"{0e2d3}", value), QStringLiteral("1.23e-02"));
    EXPECT_EQ(ParseValue(u"1.5"), 1.5);
    EXPECT_EQ(ParseValue(u"1,5"), 1.5);
    EXPECT_EQ(ParseValue(u"1.234,5"), 1.234); // no thousands separators

    QLocale::setDefault(savedQt);
    std::setlocale(LC_ALL, saved.c_str());
}

} // namespace
