// SPDX-License-Identifier: GPL-3.0-or-later
// Captures made in memory for tests that need no .sav file: a 12 x 8 screen at 1 ms/DIV
// with its sample block allocated (all positions 0) and the given slots present.
#pragma once

#include "capture/capture.h"

#include <cstdint>
#include <initializer_list>

struct TestSlot {
    int32_t slot;
    double voltsPerDiv;
};

Capture MakeTestCapture(int32_t samplesPerChannel, std::initializer_list<TestSlot> slots = {});
