// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sav_builder.h"

namespace {

void Grow(QByteArray& bytes, qsizetype size)
{
    if (bytes.size() < size) bytes.append(size - bytes.size(), '\0');
}

void PutU8(QByteArray& bytes, qsizetype offset, uint8_t value)
{
    Grow(bytes, offset + 1);
    bytes[offset] = static_cast<char>(value);
}

void PutU16(QByteArray& bytes, qsizetype offset, uint16_t value)
{
    PutU8(bytes, offset, static_cast<uint8_t>(value));
    PutU8(bytes, offset + 1, static_cast<uint8_t>(value >> 8));
}

void PutI64(QByteArray& bytes, qsizetype offset, int64_t value)
{
    const auto bits = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        PutU8(bytes, offset + i, static_cast<uint8_t>(bits >> (8 * i)));
}

} // namespace

QByteArray BuildSav(const SavFile& file)
{
    QByteArray bytes(124, '\0');
    for (qsizetype i = 0; i < 10 && i < file.model.size(); ++i)
        PutU8(bytes, 10 + i, static_cast<uint8_t>(file.model[i]));
    PutU8(bytes, 62, file.triggerMode);
    PutU8(bytes, 63, file.triggerSource);
    PutU8(bytes, 72, file.triggerType);
    PutU8(bytes, 73, file.triggerCoupling);
    PutU8(bytes, 74, file.edgeSlope);
    PutI64(bytes, 75, file.pulseWidthNs);
    PutU8(bytes, 83, file.pulsePolarity);
    PutU8(bytes, 84, file.pulseCondition);
    PutI64(bytes, 89, file.triggerLevelMicroVolts);
    PutU8(bytes, 97,
          static_cast<uint8_t>(file.channelByte >= 0 ? file.channelByte : file.channels.size()));

    // Blocks follow one another without a gap, each 62 bytes plus its sample words.
    qsizetype base = 124;
    for (const SavChannel& channel : file.channels) {
        const auto count = static_cast<uint16_t>(channel.countOverride >= 0 ? channel.countOverride
                                                                            : channel.raw.size());
        PutU8(bytes, base + 1, channel.coupling);
        PutU8(bytes, base + 2, channel.bandwidthLimit);
        PutU8(bytes, base + 11, channel.probeCode);
        PutU8(bytes, base + 12, channel.inverted);
        PutU8(bytes, base + 13, channel.offsetByte);
        PutI64(bytes, base + 15, channel.scaleMicroVolts);
        PutI64(bytes, base + 39, channel.sampleIntervalPs);
        PutU16(bytes, base + 47, count);
        PutU16(bytes, base + 51, channel.triggerPosition);
        Grow(bytes, base + 62);
        for (size_t i = 0; i < channel.raw.size(); ++i)
            PutU16(bytes, base + 62 + 2 * static_cast<qsizetype>(i), channel.raw[i]);
        // The reader finds the next block through the count, not through the words written.
        base += 62 + 2 * qsizetype{count};
        Grow(bytes, base);
    }
    // The trigger offset lives inside the first block, at its relative offset 23.
    PutI64(bytes, 147, file.triggerOffsetPs);
    return bytes;
}
