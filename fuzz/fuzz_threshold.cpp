// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the comparator that turns analog samples into logic levels: any
// samples and any threshold (NaN, infinities, negative bands included) give levels that
// touch only their own bit, change only where a finite sample passed the band, and come
// out the same whether the record is converted whole or in two pieces.
#include "decode/decode.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

double ReadDouble(const uint8_t* data)
{
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

// Layout: threshold (8 bytes), hysteresis (8), bit (1), split point (1), then samples.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 18) return 0;
    LogicThreshold threshold{ReadDouble(data), ReadDouble(data + 8)};
    const auto bit = static_cast<uint8_t>(data[16] & 7);
    std::vector<double> volts((size - 18) / 8);
    for (size_t i = 0; i < volts.size(); ++i)
        volts[i] = ReadDouble(data + 18 + 8 * i);
    const auto count = static_cast<int64_t>(volts.size());
    const int64_t split = count == 0 ? 0 : data[17] % (count + 1);

    const uint8_t mask = static_cast<uint8_t>(1u << bit);
    std::vector<uint8_t> whole(volts.size());
    for (size_t i = 0; i < whole.size(); ++i)
        whole[i] = static_cast<uint8_t>(i * 37);
    const std::vector<uint8_t> before = whole;
    int32_t state = -1;
    const int64_t changes =
        ThresholdToLogic(volts.data(), count, threshold, bit, whole.data(), state);

    std::vector<uint8_t> pieces(volts.size());
    int32_t pieceState = -1;
    const int64_t first =
        ThresholdToLogic(volts.data(), split, threshold, bit, pieces.data(), pieceState);
    const int64_t second = ThresholdToLogic(volts.data() + split, count - split, threshold, bit,
                                            pieces.data() + split, pieceState);
    Check(first + second == changes);
    Check(pieceState == state);
    Check(state >= -1 && state <= 1);

    // The comparator's band as the conversion takes it.
    const double half = std::isfinite(threshold.hysteresis) && threshold.hysteresis > 0
                            ? threshold.hysteresis / 2
                            : 0.0;
    const double level = std::isnan(threshold.threshold) ? HUGE_VAL : threshold.threshold;
    int64_t seen = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        Check((whole[i] & ~mask) == (before[i] & ~mask));
        Check((pieces[i] & mask) == (whole[i] & mask));
        if (i == 0) continue;
        const bool was = (whole[i - 1] & mask) != 0;
        const bool is = (whole[i] & mask) != 0;
        if (was == is) continue;
        // A change needs a finite sample beyond the band's far edge (after the first known
        // level: a change from the unknown start is no change).
        Check(std::isfinite(volts[i]));
        bool known = false;
        for (size_t k = 0; k < i && !known; ++k)
            known = std::isfinite(volts[k]);
        if (!known) continue;
        ++seen;
        if (is)
            Check(volts[i] >= level + half);
        else
            Check(volts[i] <= level - half);
    }
    Check(seen == changes);
    return 0;
}
