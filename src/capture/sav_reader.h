// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the .sav files of the three supported oscilloscope models into a Capture.
// The parser works on bytes; ReadCapture is the thin wrapper that opens the file.
#pragma once

#include "capture/capture.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>

// Result codes of the reader.
enum : int32_t {
    ReadOk = 0,
    ReadCannotOpen = 1,
    ReadUnknownModel = 2,
    ReadNoMemory = 3,
    ReadInvalidValues = 4,
};

// True when the 10 bytes at offset 10 equal one of the three model identifiers.
bool IsKnownModel(QByteArrayView bytes);

// Fills a zero-filled Capture from the bytes of a file; `path` becomes filePath.
// A file cut short inside the samples opens with those samples missing (Capture::missing,
// reading NaN); one cut inside the header, or with a sample count of 0, has invalid
// values. Returns ReadOk .. ReadInvalidValues (never
// ReadCannotOpen). On ReadNoMemory and ReadInvalidValues the sample block is released.
int32_t ReadCaptureBytes(Capture& capture, const QString& path, QByteArrayView bytes);

// Opens the file with shared read access, reads it, closes it on every path, and parses it.
// ReadCannotOpen for anything but a plain readable file (missing, folder, pipe, device) and
// for a read error. Only the bytes a valid file can have are read, so a huge file costs
// no more than a valid one.
int32_t ReadCapture(Capture& capture, const QString& path);

// The "Fehler" message for a result code 1..4, with the path exactly as given;
// an empty text for 0 or any other code.
QString LoadMessage(int32_t resultCode, const QString& path);

// The warning for a capture whose file was cut short: which channels miss how many samples.
// Empty for a complete capture. The viewer and kurvex-cli show the same text.
QString IncompleteMessage(const Capture& capture);
