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

void SampleValues(const Capture& capture, int32_t slot, double* out)
{
    const double* samples = capture.samples[slot];
    const double offset = capture.offsetDiv[slot];
    const double scale = capture.voltsPerDiv[slot];
    const int32_t n = capture.samplesPerChannel;
    // The expression of SampleValue, sample for sample, so the results are identical.
    if (capture.inverted[slot] == 1) {
        for (int32_t i = 0; i < n; ++i)
            out[i] = -((samples[i] - offset) * scale);
    } else {
        for (int32_t i = 0; i < n; ++i)
            out[i] = (samples[i] - offset) * scale;
    }
}

void SampleTimes(const Capture& capture, double* out)
{
    const double span = capture.hDivisions * capture.timePerDiv;
    const int32_t n = capture.samplesPerChannel;
    for (int32_t i = 0; i < n; ++i)
        out[i] = span * i / n;
}
