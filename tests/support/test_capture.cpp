// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_capture.h"

#include <gtest/gtest.h>

Capture MakeTestCapture(int32_t samplesPerChannel, std::initializer_list<TestSlot> slots)
{
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.timePerDiv = 1e-3;
    capture.samplesPerChannel = samplesPerChannel;
    EXPECT_TRUE(AllocateSamples(capture));
    for (const TestSlot& entry : slots) {
        capture.present[entry.slot] = 1;
        capture.voltsPerDiv[entry.slot] = entry.voltsPerDiv;
    }
    return capture;
}
