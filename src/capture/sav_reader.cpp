// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/sav_reader.h"

#include "capture/file_name.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

namespace {

// The furthest byte a valid file can have: a 124-byte header and two channel blocks of
// 62 bytes plus 65535 sample words each. Nothing beyond it is ever looked at, so a
// larger file is read only this far.
constexpr qint64 MaxUsefulBytes = 124 + 2 * (62 + 2 * 65535);

constexpr int64_t HeaderModel = 10;
constexpr int64_t ModelLength = 10;
constexpr int64_t HeaderTriggerMode = 62;
constexpr int64_t HeaderTriggerSource = 63;
constexpr int64_t HeaderTriggerType = 72;
constexpr int64_t HeaderTriggerCoupling = 73;
constexpr int64_t HeaderEdgeSlope = 74;
constexpr int64_t HeaderPulseWidth = 75;
constexpr int64_t HeaderPulsePolarity = 83;
constexpr int64_t HeaderPulseCondition = 84;
constexpr int64_t HeaderTriggerLevel = 89;
constexpr int64_t HeaderChannels = 97;
constexpr int64_t HeaderTriggerOffset = 147; // inside the CH1 block
constexpr int64_t FirstBlock = 124;

// Relative to a channel block's start.
constexpr int64_t BlockCoupling = 1;
constexpr int64_t BlockBandwidthLimit = 2;
constexpr int64_t BlockProbe = 11;
constexpr int64_t BlockInverted = 12;
constexpr int64_t BlockOffset = 13;
constexpr int64_t BlockScale = 15;
constexpr int64_t BlockInterval = 39;
constexpr int64_t BlockCount = 47;
constexpr int64_t BlockTriggerPosition = 51;
constexpr int64_t BlockSamples = 62;

constexpr char ModelIdentifiers[3][ModelLength] = {
    {'U', 'T', 'D', '2', '0', '5', '2', 'C', 'E', 'L'},
    {'U', 'T', 'D', '2', '1', '0', '2', 'C', 'E', 'L'},
    {'U', 'T', 'D', '2', '0', '2', '5', 'C', 'L', '\0'},
};

// Little-endian reads at absolute offsets; a byte past the end reads as zero. The header
// is checked to be complete before its values are used; only samples may be missing.
uint8_t ReadU8(QByteArrayView bytes, int64_t offset)
{
    if (offset < 0 || offset >= bytes.size()) return 0;
    return static_cast<uint8_t>(bytes[offset]);
}

uint16_t ReadU16(QByteArrayView bytes, int64_t offset)
{
    return static_cast<uint16_t>(ReadU8(bytes, offset) | ReadU8(bytes, offset + 1) << 8);
}

int64_t ReadI64(QByteArrayView bytes, int64_t offset)
{
    uint64_t value = 0;
    for (int64_t i = 7; i >= 0; --i)
        value = value << 8 | ReadU8(bytes, offset + i);
    return static_cast<int64_t>(value);
}

// What the header needs from a channel block beyond the Capture's own fields.
struct BlockTiming {
    int64_t intervalPs;
    uint16_t count;
    uint16_t triggerPosition;
};

BlockTiming ReadChannelBlock(Capture& capture, int32_t slot, QByteArrayView bytes, int64_t base)
{
    const uint8_t couplingCode = ReadU8(bytes, base + BlockCoupling);
    if (couplingCode <= CouplingGnd) capture.coupling[slot] = couplingCode;
    const uint8_t bandwidthCode = ReadU8(bytes, base + BlockBandwidthLimit);
    if (bandwidthCode <= 1) capture.bandwidthLimit[slot] = bandwidthCode;
    static constexpr double ProbeFactors[] = {1, 10, 100, 1000};
    const uint8_t probeCode = ReadU8(bytes, base + BlockProbe);
    if (probeCode < 4) capture.probeFactor[slot] = ProbeFactors[probeCode];
    const uint8_t invertedCode = ReadU8(bytes, base + BlockInverted);
    if (invertedCode <= 1) capture.inverted[slot] = invertedCode;
    capture.offsetDiv[slot] = (ReadU8(bytes, base + BlockOffset) - 128) / 25.0;
    // An unknown probe leaves the factor 0 and so the scale 0: better no scale than a
    // wrong one.
    capture.voltsPerDiv[slot] =
        static_cast<double>(ReadI64(bytes, base + BlockScale)) * capture.probeFactor[slot] / 1e6;
    capture.channelRows[slot] =
        RowVoltsPerDiv | RowCoupling | RowProbe | RowInverted | RowBandwidthLimit;

    BlockTiming timing{};
    timing.intervalPs = ReadI64(bytes, base + BlockInterval);
    timing.count = ReadU16(bytes, base + BlockCount);
    timing.triggerPosition = ReadU16(bytes, base + BlockTriggerPosition);
    return timing;
}

// Converts the words the file holds and returns their number. A sample is there only when
// both of its bytes are: a word cut in half, and every word after it, is missing and reads
// NaN, so that nothing downstream can take it for a measured value.
int32_t ReadSamples(double* samples, int32_t count, QByteArrayView bytes, int64_t offset)
{
    int64_t whole = 0;
    if (offset >= 0 && offset < bytes.size())
        whole = std::min<int64_t>(count, (bytes.size() - offset) / 2);
    const auto* data =
        reinterpret_cast<const uint8_t*>(bytes.data()) + std::max<int64_t>(offset, 0);
    for (int64_t i = 0; i < whole; ++i)
        samples[i] = ((data[2 * i] | data[2 * i + 1] << 8) - 128) / 25.0;
    std::fill(samples + whole, samples + count, std::numeric_limits<double>::quiet_NaN());
    return static_cast<int32_t>(whole);
}

void ReadTrigger(Capture& capture, QByteArrayView bytes)
{
    const uint8_t mode = ReadU8(bytes, HeaderTriggerMode);
    if (mode <= TriggerModeSingle) capture.triggerMode = mode;

    switch (ReadU8(bytes, HeaderTriggerSource)) {
    case 0:
        capture.triggerSourceKind = SourceChannel;
        capture.triggerSourceChannel = SlotCh1;
        break;
    case 1:
        capture.triggerSourceKind = SourceChannel;
        capture.triggerSourceChannel = SlotCh2;
        break;
    case 4:
        capture.triggerSourceKind = SourceExternal;
        break;
    case 6:
        capture.triggerSourceKind = SourceAcLine;
        break;
    case 7:
        capture.triggerSourceKind = SourceAlternating;
        break;
    default:
        break;
    }

    // The file's type 2 is the pulse width trigger; its other codes are not ours.
    const uint8_t type = ReadU8(bytes, HeaderTriggerType);
    if (type == 0)
        capture.triggerType = TriggerTypeEdge;
    else if (type == 2)
        capture.triggerType = TriggerTypePulse;

    const uint8_t couplingCode = ReadU8(bytes, HeaderTriggerCoupling);
    if (couplingCode <= TriggerCouplingLfReject) capture.triggerCoupling = couplingCode;
    const uint8_t slope = ReadU8(bytes, HeaderEdgeSlope);
    if (slope <= SlopeRiseFall) capture.edgeSlope = slope;
    capture.pulseWidth = static_cast<double>(ReadI64(bytes, HeaderPulseWidth)) / 1e9;
    const uint8_t polarity = ReadU8(bytes, HeaderPulsePolarity);
    if (polarity <= PolarityNegative) capture.pulsePolarity = polarity;
    const uint8_t condition = ReadU8(bytes, HeaderPulseCondition);
    if (condition <= ConditionEqual) capture.pulseCondition = condition;

    capture.triggerLevel = static_cast<double>(ReadI64(bytes, HeaderTriggerLevel)) / 1e6;
    // The level is stored at the input, before the probe. A source channel that was not
    // saved has no known probe; its level stays as stored rather than collapsing to 0.
    if (capture.triggerSourceKind == SourceChannel &&
        capture.present[capture.triggerSourceChannel] == 1 &&
        (capture.channelRows[capture.triggerSourceChannel] & RowProbe) != 0)
        capture.triggerLevel *= capture.probeFactor[capture.triggerSourceChannel];

    capture.triggerOffset = static_cast<double>(ReadI64(bytes, HeaderTriggerOffset)) / 1e12;
}

int32_t Fail(Capture& capture, int32_t code)
{
    FreeSamples(capture);
    return code;
}

} // namespace

bool IsKnownModel(QByteArrayView bytes)
{
    char model[ModelLength];
    for (int64_t i = 0; i < ModelLength; ++i)
        model[i] = static_cast<char>(ReadU8(bytes, HeaderModel + i));
    for (const auto& known : ModelIdentifiers) {
        if (std::equal(model, model + ModelLength, known)) return true;
    }
    return false;
}

int32_t ReadCaptureBytes(Capture& capture, const QString& path, QByteArrayView bytes)
{
    if (!IsKnownModel(bytes)) return ReadUnknownModel;

    capture.filePath = path;
    capture.model.clear();
    for (int64_t i = 0; i < ModelLength && ReadU8(bytes, HeaderModel + i) != 0; ++i)
        capture.model += QLatin1Char(static_cast<char>(ReadU8(bytes, HeaderModel + i)));
    capture.hDivisions = 12;
    capture.vDivisions = 8;

    const uint8_t channels = ReadU8(bytes, HeaderChannels);
    if (channels != 1 && channels != 2) return Fail(capture, ReadInvalidValues);
    capture.present[SlotCh1] = 1;
    capture.present[SlotCh2] = channels == 2 ? 1 : 0;

    // A header cut short has no count and no scale to trust.
    if (bytes.size() < FirstBlock + BlockSamples) return Fail(capture, ReadInvalidValues);
    const BlockTiming ch1 = ReadChannelBlock(capture, SlotCh1, bytes, FirstBlock);
    if (ch1.count == 0) return Fail(capture, ReadInvalidValues);
    const int64_t secondBlock = FirstBlock + BlockSamples + 2 * int64_t{ch1.count};
    // A file cut before the second block's samples has none of them, nor settings for them:
    // the channel stays, without settings rows and with every sample missing.
    const bool secondHeader = bytes.size() >= secondBlock + BlockSamples;
    if (capture.present[SlotCh2] == 1 && secondHeader) {
        const BlockTiming ch2 = ReadChannelBlock(capture, SlotCh2, bytes, secondBlock);
        if (ch2.count != ch1.count || ch2.intervalPs != ch1.intervalPs ||
            ch2.triggerPosition != ch1.triggerPosition)
            return Fail(capture, ReadInvalidValues);
    }

    capture.samplesPerChannel = ch1.count;
    if (!AllocateSamples(capture)) return Fail(capture, ReadNoMemory);
    const int32_t n = capture.samplesPerChannel;
    capture.missing[SlotCh1] =
        n - ReadSamples(capture.samples[SlotCh1], n, bytes, FirstBlock + BlockSamples);
    if (capture.present[SlotCh2] == 1)
        capture.missing[SlotCh2] =
            n - ReadSamples(capture.samples[SlotCh2], n, bytes, secondBlock + BlockSamples);

    // Left to right in double: the order decides the last digit that exports print.
    capture.timePerDiv = static_cast<double>(ch1.intervalPs) * n / 12 / 1e12;

    ReadTrigger(capture, bytes);
    capture.triggerIndex = ch1.triggerPosition;
    capture.settingsRows = RowTimeBase | RowTriggerMode | RowTriggerSource | RowTriggerCoupling |
                           RowTriggerLevel | RowTriggerOffset | RowTriggerType;
    if (capture.triggerType == TriggerTypeEdge)
        capture.settingsRows |= RowEdgeSlope;
    else
        capture.settingsRows |= RowPulsePolarity | RowPulseCondition | RowPulseWidth;
    return ReadOk;
}

int32_t ReadCapture(Capture& capture, const QString& path)
{
    // Opened by the name's own bytes, so that a name that is not UTF-8 opens too. Without
    // blocking, and then only plain files: a folder cannot be read, and a pipe or device
    // could block or never end.
    const int descriptor =
        ::open(EncodeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return ReadCannotOpen;
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return ReadCannotOpen;
    }

    QByteArray bytes;
    {
        QFile file;
        if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(descriptor);
            return ReadCannotOpen;
        }
        bytes = file.read(MaxUsefulBytes);
        const bool failed = file.error() != QFileDevice::NoError;
        file.close();
        // A read error is not a short file: treating it as one would show made-up samples.
        if (failed) return ReadCannotOpen;
    }
    return ReadCaptureBytes(capture, path, bytes);
}
