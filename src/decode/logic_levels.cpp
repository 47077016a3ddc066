// SPDX-License-Identifier: GPL-3.0-or-later
// The comparator on its own, free of the decoder library, so that it can be fuzzed alone.
#include "decode/decode.h"

#include <cmath>

int64_t ThresholdToLogic(const double* volts, int64_t count, const LogicThreshold& threshold,
                         uint8_t bit, uint8_t* out, int32_t& state)
{
    const uint8_t mask = static_cast<uint8_t>(1u << (bit & 7u));
    // A band that is not a number would compare false both ways; take it as no band, and a
    // threshold that is not a number as one no sample reaches, so the level stays low.
    const double half = std::isfinite(threshold.hysteresis) && threshold.hysteresis > 0
                            ? threshold.hysteresis / 2
                            : 0.0;
    const double level = std::isnan(threshold.threshold) ? HUGE_VAL : threshold.threshold;
    const double high = level + half;
    const double low = level - half;
    int64_t changes = 0;
    int32_t current = state;
    for (int64_t i = 0; i < count; ++i) {
        const double v = volts[i];
        if (std::isfinite(v)) {
            if (current < 0) {
                current = v >= level ? 1 : 0;
            } else if (current == 0 && v >= high && v > low) {
                current = 1;
                ++changes;
            } else if (current == 1 && v <= low && v < high) {
                current = 0;
                ++changes;
            }
        }
        if (current == 1)
            out[i] = static_cast<uint8_t>(out[i] | mask);
        else
            out[i] = static_cast<uint8_t>(out[i] & ~mask);
    }
    state = current;
    return changes;
}
