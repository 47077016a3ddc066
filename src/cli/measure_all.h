// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli measure all: the table of the "Messungen" window, as text.
#pragma once

#include "capture/capture.h"

#include <QString>

#include <cstdint>

// The measure mode that stands for "all" beside peak, rms and mean.
constexpr int32_t MeasureAllMode = -1;

// The table over samples first..last: as the window shows it, or with `numbers` as keys
// and plain numbers for scripts, each the shortest text that reads back as the same double.
QString MeasureAllText(const Capture& capture, int32_t first, int32_t last, bool numbers);
