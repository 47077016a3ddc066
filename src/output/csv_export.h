// The capture as a CSV table: time, CH1 and CH2 in volts, one CR LF line per sample.
#pragma once

#include "capture/capture.h"

#include <QString>

// True when the whole file was written. The file appears only complete: an existing
// target is replaced after everything was written, and left untouched on failure.
bool ExportCsv(const Capture& capture, const QString& path);
