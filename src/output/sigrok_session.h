// SPDX-License-Identifier: GPL-3.0-or-later
// The capture as a sigrok session (.sr), the zip archive that PulseView and sigrok-cli open:
// "version" ("2"), "metadata" (the sample rate and one analog channel per shown trace, named
// CH1, CH2 and MATH) and per channel K (1, 2, 3 in that order) "analog-1-K-1", its samples
// as 32-bit little-endian floats in volts (the math trace in its result's unit).
//
// A session stores its sample rate as a whole number of hertz. The nearest one is written,
// so a reader's time axis runs slightly off the capture's: SigrokTimeShift says by how much
// at the last sample. A rate below half a hertz is left out rather than written as 0 or 1.
#pragma once

#include "capture/capture.h"

#include <QString>

#include <cstdint>

// The whole hertz nearest to the capture's sample rate; 0 when there is none to write
// (a sample interval that is not a positive number, or a rate below 0.5 Hz).
uint64_t SigrokSampleRate(const Capture& capture);

// Seconds by which the last sample's time in the session differs from the capture's
// (positive: later); 0 without a written rate.
double SigrokTimeShift(const Capture& capture);

// Writes every present slot of the capture (the math trace when it is shown) through the
// safe writer. True when the whole file was written; an existing target is replaced only
// then. False as well for a capture without samples.
bool ExportSigrokSession(const Capture& capture, const QString& path);
