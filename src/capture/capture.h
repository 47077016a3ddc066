// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory form of one loaded .sav file: the instrument's settings as small codes,
// and three channel slots (CH1, CH2, MATH) whose samples are vertical screen positions
// in divisions. Volts and seconds are derived on demand by SampleValue and SampleTime;
// nothing else converts samples.
#pragma once

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <memory>

enum ChannelSlot : int32_t { SlotCh1 = 0, SlotCh2 = 1, SlotMath = 2 };
constexpr int32_t SlotCount = 3;

// InputCoupling
enum : int32_t { CouplingDc = 0, CouplingAc = 1, CouplingGnd = 2 };
// TriggerMode
enum : int32_t { TriggerModeAuto = 0, TriggerModeNormal = 1, TriggerModeSingle = 2 };
// TriggerSourceKind
enum : int32_t { SourceChannel = 0, SourceExternal = 1, SourceAcLine = 2, SourceAlternating = 3 };
// TriggerCoupling
enum : int32_t {
    TriggerCouplingDc = 0,
    TriggerCouplingAc = 1,
    TriggerCouplingHfReject = 2,
    TriggerCouplingLfReject = 3
};
// TriggerType
enum : int32_t { TriggerTypeEdge = 0, TriggerTypePulse = 1 };
// EdgeSlope
enum : int32_t { SlopeRise = 0, SlopeFall = 1, SlopeRiseFall = 2 };
// PulsePolarity
enum : int32_t { PolarityPositive = 0, PolarityNegative = 1 };
// PulseCondition
enum : int32_t { ConditionGreater = 0, ConditionLess = 1, ConditionEqual = 2 };

// Bits of Capture::settingsRows.
enum : int32_t {
    RowTimeBase = 0x001,
    RowTriggerMode = 0x002,
    RowTriggerSource = 0x004,
    RowTriggerCoupling = 0x008,
    RowTriggerLevel = 0x010,
    RowTriggerOffset = 0x020,
    RowTriggerType = 0x040,
    RowEdgeSlope = 0x080,
    RowPulsePolarity = 0x100,
    RowPulseCondition = 0x200,
    RowPulseWidth = 0x400,
};

// Bits of Capture::channelRows.
enum : int32_t {
    RowVoltsPerDiv = 0x01,
    RowCoupling = 0x02,
    RowProbe = 0x04,
    RowInverted = 0x08,
    RowBandwidthLimit = 0x10,
};

// The sample block comes from calloc: the system hands over pages that are zero already,
// so the slots a file never writes (usually the math slot) cost no clearing.
struct SampleBlockFree {
    void operator()(double* block) const { std::free(block); }
};

// Create zero-filled: `Capture capture{};`. Every field the reader does not write reads 0.
// Move-only, because it owns its one block of sample memory.
struct Capture {
    QString filePath;
    QString model; // the instrument's identifier, e.g. "UTD2052CEL"
    int32_t hDivisions;
    int32_t vDivisions;
    double timePerDiv;
    int32_t triggerMode;
    int32_t triggerSourceKind;
    int32_t triggerSourceChannel;
    int32_t triggerCoupling;
    double triggerLevel;
    double triggerOffset;
    int32_t triggerType;
    int32_t edgeSlope;
    int32_t pulsePolarity;
    int32_t pulseCondition;
    double pulseWidth;
    int32_t triggerIndex;
    int32_t settingsRows;
    int32_t samplesPerChannel;

    // Per slot, indexed by ChannelSlot.
    int32_t present[SlotCount];
    double voltsPerDiv[SlotCount];
    int32_t coupling[SlotCount];
    double probeFactor[SlotCount];
    int32_t inverted[SlotCount];
    int32_t bandwidthLimit[SlotCount];
    std::unique_ptr<double[], SampleBlockFree> sampleBlock; // 3 x N doubles: CH1, CH2, MATH
    double* samples[SlotCount];
    double offsetDiv[SlotCount];
    int32_t channelRows[SlotCount];
    // Samples at the end of the slot that the file does not hold (it was cut short): they
    // read NaN and count as absent everywhere. 0 for a complete channel.
    int32_t missing[SlotCount];
};

// Volts (for MATH: the math result's unit) of one sample. slot 0..2, index 0..N-1.
double SampleValue(const Capture& capture, int32_t slot, int32_t index);

// Seconds from the first sample: hDivisions x timePerDiv x index / N, in that order.
double SampleTime(const Capture& capture, int32_t index);

// How many samples of the slot the file holds: samples 0 .. PresentSamples - 1 are real,
// the rest is missing. 0 for a slot without samples.
int32_t PresentSamples(const Capture& capture, int32_t slot);

// Whether sample `index` of the slot is one the file holds (false outside the record).
bool SamplePresent(const Capture& capture, int32_t slot, int32_t index);

// Whether any present channel misses samples.
bool CaptureIncomplete(const Capture& capture);

// Replaces the sample block by a zero-filled one of 3 x samplesPerChannel doubles and
// points the three slot views into it. False for N <= 0 or when memory runs out.
bool AllocateSamples(Capture& capture);

// Releases the sample block; every other field keeps its value.
void FreeSamples(Capture& capture);

// The same values as SampleValue and SampleTime for samples 0..N-1 at once, into `out`
// (N doubles): one call per trace instead of one per sample, for bulk copies.
void SampleValues(const Capture& capture, int32_t slot, double* out);
void SampleTimes(const Capture& capture, double* out);
