// SPDX-License-Identifier: GPL-3.0-or-later
// The window's view as a 24-bit RGB PNG file, encoded with libpng.
#pragma once

#include "capture/capture.h"
#include "screen/view.h"

#include <QImage>
#include <QString>

// Encodes any image as a 24-bit RGB PNG and writes it by the exports' safe path
// (OpenExportFile). False on any failure; an existing ordinary file is then left untouched.
bool WritePng(const QImage& image, const QString& path);

// Renders the view with the image request (scales, TIME, cursors as shown) and writes it.
bool SaveScreenAsPng(const Capture& capture, const CaptureView& view, const QString& path);
