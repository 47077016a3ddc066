// SPDX-License-Identifier: GPL-3.0-or-later
// Test-only writer of .sav bytes in the instruments' layout, so that tests, the fuzz seeds
// and the bundled examples are made by us. The viewer itself never writes .sav files.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

struct SavChannel {
    uint8_t coupling;           // +1
    uint8_t bandwidthLimit;     // +2
    uint8_t probeCode;          // +11: 0..3 for x1, x10, x100, x1000
    uint8_t inverted;           // +12
    uint8_t offsetByte = 128;   // +13: 25 counts per division, 128 = centre
    int64_t scaleMicroVolts;    // +15: per division, without the probe
    int64_t sampleIntervalPs;   // +39
    uint16_t triggerPosition;   // +51
    std::vector<uint16_t> raw;  // +62: samples, 25 counts per division, 128 = centre;
                                // their number is written as the count at +47
    int32_t countOverride = -1; // >= 0: write this count at +47 instead of raw.size();
                                // the next block starts after that many words
};

struct SavFile {
    QByteArray model = QByteArray("UTD2102CEL"); // the 10 bytes at offset 10 (padded with 0)
    uint8_t triggerMode;                         // 62
    uint8_t triggerSource;                       // 63
    uint8_t triggerType;                         // 72
    uint8_t triggerCoupling;                     // 73
    uint8_t edgeSlope;                           // 74
    int64_t pulseWidthNs;                        // 75
    uint8_t pulsePolarity;                       // 83
    uint8_t pulseCondition;                      // 84
    int64_t triggerLevelMicroVolts;              // 89
    int64_t triggerOffsetPs;                     // 147 (inside the CH1 block)
    int32_t channelByte = -1;                    // 97; -1 = the number of channels given
    std::vector<SavChannel> channels;
};

// The bytes of a file: a 124-byte header, then the channel blocks without a gap. A count
// override larger than the words given pads with zero words; truncate with left().
QByteArray BuildSav(const SavFile& file);
