// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic measurements of a capture: levels, timing and the delay between channels, over
// a range of samples, as pure functions. The terms follow IEEE 181 (transitions, pulses and
// related waveforms); the window and kurvex-cli format the same table.
//
// State levels (top and base): the samples of a channel are sorted into a histogram with
// one bin per sample step (1/25 division of the channel's scale; at most 65536 bins, wider
// when a math trace spans more). The bins at or above the middle of the range form the
// upper part, the others the lower part (bins are counted in whole steps, so the bin at the
// very middle is upper at every scale). In each part the fullest bin is its mode. The mode
// is clear when the bins within two steps of it hold at least half of that part's samples,
// and at least twice the share that an even spread over the part would give them (in a part
// only a few steps wide, five bins hold half of anything): the level is then the mean of
// the samples in those bins. Otherwise the part has no state
// (a sine, a triangle, a ramp spread their samples over the whole part) and the level is
// the maximum (upper) or the minimum (lower). Each part is judged on its own, so a pulse
// that settles at its base but not at its top still gets its base from the histogram.
//
// Reference levels: 10 %, 50 % and 90 % of the amplitude above the base. An edge counts
// once the signal has reached (a sample equal to a level has reached it) the 10 % level on
// one side and then the 90 % level on the other; its time at a level is its first crossing
// of that level after it left the far one, interpolated linearly between the two samples.
//
// Samples a cut file does not hold are not measured: a slot's range ends at its last
// present sample. Samples that are not finite (a math trace that divided by zero) are left
// out: the level measurements take the finite ones, and no edge, width or period spans such
// a sample.
#pragma once

#include "capture/capture.h"

#include <QString>

#include <cstdint>
#include <optional>

// The rows of the table, in the order shown.
enum MeasurementKey : int32_t {
    MeasurementMax = 0,
    MeasurementMin,
    MeasurementPeakToPeak,
    MeasurementTop,
    MeasurementBase,
    MeasurementAmplitude,
    MeasurementMean,
    MeasurementRms,
    MeasurementCycleMean,
    MeasurementCycleRms,
    MeasurementAcRms,
    MeasurementPeriod,
    MeasurementFrequency,
    MeasurementRise,
    MeasurementFall,
    MeasurementPositiveWidth,
    MeasurementNegativeWidth,
    MeasurementPositiveDuty,
    MeasurementNegativeDuty,
    MeasurementOvershoot,
    MeasurementPreshoot,
    MeasurementEdges,
    MeasurementDelay,
    MeasurementPhase,
    MeasurementCount
};

struct MeasurementRow {
    const char16_t* key;    // "max": the command line's row key
    const char* label;      // "Maximum", UTF-8, untranslated: see MeasurementLabel
    const char16_t* format; // FormatText template of a value: "{0Sd5}V"
    const char* definition; // one sentence, the row's tooltip, untranslated
};

// The row of `key` (0 .. MeasurementCount - 1).
const MeasurementRow& MeasurementRowOf(int32_t key);

// The row's label and its definition in the user's language.
QString MeasurementLabel(int32_t key);
QString MeasurementDefinition(int32_t key);

// One slot's values; an empty entry is a measurement that cannot be made. Values are never
// NaN or infinite.
struct ChannelMeasurements {
    std::optional<double> value[MeasurementCount];
};

struct MeasurementTable {
    int32_t present[SlotCount]; // 1 for the slots that have a column
    ChannelMeasurements channels[SlotCount];
};

// Every measurement of every present slot over samples first..last (both included, either
// order, clamped to the record). Delay and phase of CH2 and MATH are against CH1.
MeasurementTable MeasureAll(const Capture& capture, int32_t first, int32_t last);

// The top and base state levels of one slot over samples first..last, exactly as MeasureAll
// finds them, without the rest of the table (a fraction of its time). Empty when the slot
// is absent or has no finite sample in the range.
struct StateLevelPair {
    double top;
    double base;
};
std::optional<StateLevelPair> MeasureStateLevels(const Capture& capture, int32_t slot,
                                                 int32_t first, int32_t last);

// A value as the window shows it ("1.0005 kHz", "49.98 %"), "---" for none.
QString MeasurementValueText(int32_t key, const std::optional<double>& value);

// A value for scripts: plain decimal with 15 significant digits, empty for none.
QString MeasurementNumberText(int32_t key, const std::optional<double>& value);

// The whole table as tab-separated lines ending in "\n": a header ("Messung", then the
// channel names; with `numbers` "key", "ch1", "ch2", "math"), then one line per row.
QString MeasurementTableText(const MeasurementTable& table, bool numbers);
