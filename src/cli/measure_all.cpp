// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/measure_all.h"

#include "analysis/measurements.h"

QString MeasureAllText(const Capture& capture, int32_t first, int32_t last, bool numbers)
{
    return MeasurementTableText(MeasureAll(capture, first, last), numbers);
}
