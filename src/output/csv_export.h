// SPDX-License-Identifier: GPL-3.0-or-later
// The capture as a CSV table: time, CH1 and CH2 in volts, one CR LF line per sample (a
// sample the file does not hold is an empty field); and a spectrum as the same kind of table.
#pragma once

#include "analysis/spectrum.h"
#include "capture/capture.h"

#include <QString>

// True when the whole file was written. The file appears only complete: an existing
// target is replaced after everything was written, and left untouched on failure.
bool ExportCsv(const Capture& capture, const QString& path);

// One line per bin from 0 Hz to the Nyquist frequency: frequency in Hz, magnitude in V RMS
// and in dBV ("-Infinity" for a bin of 0 V), written as ExportCsv writes.
bool ExportSpectrumCsv(const Spectrum& spectrum, const QString& path);
