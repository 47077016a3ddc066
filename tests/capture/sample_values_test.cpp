// SPDX-License-Identifier: GPL-3.0-or-later
// The bulk conversion gives bit for bit what the per-sample one gives: the Python module
// copies traces with it, and its arrays must equal every export's numbers.
#include "support/test_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(SampleValues, EqualSampleValueAndSampleTimeBitForBit)
{
    constexpr int32_t n = 997; // a prime: no interval divides the span evenly
    Capture capture = MakeTestCapture(n, {{SlotCh1, 0.2}, {SlotCh2, 5e-3}});
    capture.timePerDiv = 3.7e-4;
    capture.offsetDiv[SlotCh1] = 0.36;
    capture.offsetDiv[SlotCh2] = -1.24;
    capture.inverted[SlotCh2] = 1;
    for (int32_t i = 0; i < n; ++i) {
        capture.samples[SlotCh1][i] = std::sin(i * 0.1) * 3.96 + 0.04 * (i % 7);
        capture.samples[SlotCh2][i] = (i % 251) / 25.0 - 5.12;
    }
    std::vector<double> out(n);
    for (int32_t slot : {SlotCh1, SlotCh2}) {
        SampleValues(capture, slot, out.data());
        for (int32_t i = 0; i < n; ++i)
            ASSERT_EQ(out[i], SampleValue(capture, slot, i)) << slot << ' ' << i;
    }
    SampleTimes(capture, out.data());
    for (int32_t i = 0; i < n; ++i)
        ASSERT_EQ(out[i], SampleTime(capture, i)) << i;
}
