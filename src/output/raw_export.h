// SPDX-License-Identifier: GPL-3.0-or-later
// The capture as an LTspice RAW file in the ASCII form: a transient analysis ("Plotname:
// Transient Analysis", the file name in the Title line) with "time" and one voltage per
// present channel, over the points that every present channel holds.
#pragma once

#include "capture/capture.h"

#include <QDateTime>
#include <QString>

// True when the whole file was written; an existing target is left untouched on failure.
bool ExportRaw(const Capture& capture, const QString& path);

// The same with a given export time (the Date line), for reproducible output.
bool ExportRawAt(const Capture& capture, const QString& path, const QDateTime& localTime);
