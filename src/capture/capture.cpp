// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture.h"

#include <algorithm>
#include <cstdlib>

double SampleValue(const Capture& capture, int32_t slot, int32_t index)
{
    double value =
        (capture.samples[slot][index] - capture.offsetDiv[slot]) * capture.voltsPerDiv[slot];
    return capture.inverted[slot] == 1 ? -value : value;
}

double SampleTime(const Capture& capture, int32_t index)
{
    return capture.hDivisions * capture.timePerDiv * index / capture.samplesPerChannel;
}

int32_t PresentSamples(const Capture& capture, int32_t slot)
{
    if (slot < 0 || slot >= SlotCount || capture.samples[slot] == nullptr) return 0;
    const int32_t n = capture.samplesPerChannel;
    return std::clamp(n - capture.missing[slot], 0, std::max(n, 0));
}

bool SamplePresent(const Capture& capture, int32_t slot, int32_t index)
{
    return index >= 0 && index < PresentSamples(capture, slot);
}

bool CaptureIncomplete(const Capture& capture)
{
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        if (capture.present[slot] == 1 && capture.missing[slot] > 0) return true;
    return false;
}

bool AllocateSamples(Capture& capture)
{
    FreeSamples(capture);
    const int32_t n = capture.samplesPerChannel;
    if (n <= 0) return false;
    capture.sampleBlock.reset(
        static_cast<double*>(std::calloc(3 * static_cast<size_t>(n), sizeof(double))));
    if (!capture.sampleBlock) return false;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        capture.samples[slot] = capture.sampleBlock.get() + static_cast<size_t>(slot) * n;
        capture.missing[slot] = 0;
    }
    return true;
}

void FreeSamples(Capture& capture)
{
    capture.sampleBlock.reset();
    for (double*& view : capture.samples)
        view = nullptr;
}
