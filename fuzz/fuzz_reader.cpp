// libFuzzer target for the .sav parser: any bytes must give a result code, never a crash,
// and the Capture must keep its invariants whatever the code.
#include "capture/sav_reader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Capture capture{};
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const int32_t code = ReadCaptureBytes(capture, QStringLiteral("fuzz.sav"), bytes);
    if (code < ReadOk || code > ReadInvalidValues || code == ReadCannotOpen) std::abort();
    if (code != ReadOk) {
        if (capture.sampleBlock) std::abort();
        return 0;
    }
    const int32_t n = capture.samplesPerChannel;
    if (!capture.sampleBlock || n < 1 || n > 65535 || capture.present[SlotCh1] != 1) std::abort();
    if (capture.present[SlotCh2] != 0 && capture.present[SlotCh2] != 1) std::abort();
    if ((capture.settingsRows & 0x07F) != 0x07F) std::abort();
    // Touch every sample of every slot: ASan sees any view that points outside the block.
    double sum = 0;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        for (int32_t i = 0; i < n; ++i)
            sum += capture.samples[slot][i];
    }
    for (int32_t i = 0; i < n; ++i) {
        if (capture.samples[SlotMath][i] != 0.0) std::abort();
    }
    // Raw words give finite positions, never NaN.
    if (sum != sum) std::abort();
    return 0;
}
