// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the .sav parser: any bytes must give a result code, never a crash,
// and the Capture must keep its invariants whatever the code.
//
// This file is built without the fuzzer's coverage hooks (only the reader steers the
// mutations), and its checks cost a constant per input: the block layout is checked by
// pointer, and the sample values against the file's own bytes at a few indices that
// include both ends of every slot, where AddressSanitizer sees a block that is too short.
#include "capture/sav_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

// Little-endian words with the reader's rule: bytes past the end read as zero.
uint32_t Byte(const uint8_t* data, size_t size, size_t offset)
{
    return offset < size ? data[offset] : 0u;
}

uint32_t Word(const uint8_t* data, size_t size, size_t offset)
{
    return Byte(data, size, offset) | Byte(data, size, offset + 1) << 8;
}

constexpr size_t FirstSamples = 124 + 62; // CH1 block at 124, its samples 62 bytes in
constexpr size_t Ch1Count = 124 + 47;
constexpr size_t Ch1TriggerPosition = 124 + 51;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Capture capture{};
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const int32_t code = ReadCaptureBytes(capture, QStringLiteral("fuzz.sav"), bytes);
    Check(code == ReadOk || code == ReadUnknownModel || code == ReadNoMemory ||
          code == ReadInvalidValues);
    if (code == ReadUnknownModel) {
        // Rejected before anything was written.
        Check(capture.filePath.isEmpty() && capture.hDivisions == 0 && !capture.sampleBlock);
        return 0;
    }
    Check(capture.filePath == QLatin1String("fuzz.sav"));
    if (code != ReadOk) {
        Check(!capture.sampleBlock);
        for (const double* view : capture.samples)
            Check(view == nullptr);
        return 0;
    }

    const uint32_t channels = Byte(data, size, 97);
    const int32_t n = capture.samplesPerChannel;
    Check(channels == 1 || channels == 2);
    Check(n >= 1 && static_cast<uint32_t>(n) == Word(data, size, Ch1Count));
    Check(capture.present[SlotCh1] == 1 && capture.present[SlotCh2] == (channels == 2 ? 1 : 0) &&
          capture.present[SlotMath] == 0);
    Check(capture.hDivisions == 12 && capture.vDivisions == 8);
    Check(capture.triggerIndex == static_cast<int32_t>(Word(data, size, Ch1TriggerPosition)));
    Check(capture.settingsRows == (capture.triggerType == TriggerTypeEdge ? 0x0FF : 0x77F));

    // One block of 3 x N, the slots back to back.
    const double* block = capture.sampleBlock.get();
    Check(block != nullptr);
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        Check(capture.samples[slot] == block + static_cast<size_t>(slot) * n);

    // Both ends, the neighbours of the ends and one index that moves with the input.
    const size_t un = static_cast<size_t>(n);
    const size_t indices[] = {0, 1 % un, un / 2, (size * 7919) % un, un - 1 - 1 % un, un - 1};
    const size_t secondSamples = FirstSamples + 2 * un + 62;
    // A sample is there only when both of its bytes are in the file; the rest read NaN and
    // are counted as missing, never made up.
    const auto expected = [&](size_t offset) {
        return offset + 1 < size ? (static_cast<int32_t>(Word(data, size, offset)) - 128) / 25.0
                                 : std::numeric_limits<double>::quiet_NaN();
    };
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (const size_t i : indices) {
        Check(same(capture.samples[SlotCh1][i], expected(FirstSamples + 2 * i)));
        Check(same(capture.samples[SlotCh2][i],
                   channels == 2 ? expected(secondSamples + 2 * i) : 0.0));
        Check(capture.samples[SlotMath][i] == 0.0);
    }
    const auto present = [&](size_t offset) {
        return offset >= size ? size_t{0} : std::min(un, (size - offset) / 2);
    };
    Check(capture.missing[SlotCh1] == static_cast<int32_t>(un - present(FirstSamples)));
    if (channels == 2)
        Check(capture.missing[SlotCh2] == static_cast<int32_t>(un - present(secondSamples)));
    return 0;
}
