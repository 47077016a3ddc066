// SPDX-License-Identifier: GPL-3.0-or-later
// The exact sum of sample values: known cases at the edges of the double range, and random
// sums checked against integer arithmetic.
#include "capture/sample_sum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <random>

namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(SampleSum, RoundsOnceAtTheEnd)
{
    struct Case {
        const char* name;
        std::initializer_list<double> values;
        uint32_t divisor;
        double expected;
    };
    const Case cases[] = {
        {"nothing", {}, 1, 0.0},
        {"cancelling", {0.1, -0.3, 0.2, -0.1, 0.3, -0.2}, 6, 0.0},
        {"lost by plain addition", {1e16, 1, -1e16}, 1, 1.0},
        // 0.1 + 0.2 + 0.3 in doubles is 0.6000000000000000055..., nearest 0.6; adding in
        // order gives 0.6000000000000001.
        {"0.1 + 0.2 + 0.3", {0.1, 0.2, 0.3}, 1, 0.6},
        {"mean of 0.1, 0.2, 0.3", {0.1, 0.2, 0.3}, 3, 0.2},
        {"one third", {1}, 3, 1.0 / 3},
        {"negative third", {-1}, 3, -1.0 / 3},
        {"halfway rounds to even", {9007199254740992.0, 1}, 1, 9007199254740992.0},
        {"above halfway rounds up", {9007199254740992.0, 1, 1e-300}, 1, 9007199254740994.0},
        {"largest doubles", {kMax, kMax, -kMax}, 1, kMax},
        {"mean of largest doubles", {kMax, kMax, kMax}, 3, kMax},
        {"past the largest double", {kMax, kMax}, 1, kInf},
        {"subnormals", {kTiny, kTiny, kTiny}, 1, 3 * kTiny},
        {"half the smallest rounds to even", {kTiny}, 2, 0.0},
        {"one and a half of the smallest", {3 * kTiny}, 2, 2 * kTiny},
        {"infinity", {1, kInf}, 2, kInf},
        {"opposite infinities", {kInf, 1, -kInf}, 1, std::nan("")},
        {"NaN", {1, std::nan("")}, 1, std::nan("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SampleSum sum;
        for (double v : c.values)
            sum.Add(v);
        const double actual = c.divisor == 1 ? sum.Total() : sum.Quotient(c.divisor);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(actual)) << actual;
        else
            EXPECT_EQ(actual, c.expected);
    }
}

// Integers times powers of two are exact doubles, and their exact sum fits 128 bits;
// converting that integer to double rounds to nearest, as the sum must.
TEST(SampleSum, MatchesExactIntegerSums)
{
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<int64_t> mantissa(-(int64_t{1} << 53), int64_t{1} << 53);
    std::uniform_int_distribution<int32_t> shift(0, 60);
    std::uniform_int_distribution<int32_t> length(1, 2000);
    for (int32_t round = 0; round < 200; ++round) {
        SampleSum sum;
        __int128 exact = 0;
        const int32_t count = length(random);
        const int32_t scale = round % 2 == 0 ? -40 : 0; // also fractions
        for (int32_t i = 0; i < count; ++i) {
            const int64_t m = mantissa(random);
            const int32_t s = shift(random);
            sum.Add(std::ldexp(static_cast<double>(m), s + scale));
            exact += static_cast<__int128>(m) << s;
        }
        ASSERT_EQ(sum.Total(), std::ldexp(static_cast<double>(exact), scale)) << round;
    }
}

} // namespace
