// SPDX-License-Identifier: GPL-3.0-or-later
// The "Mathematik" dialog: operands, operation, scale and offset of the math trace of one
// capture. It always opens with the same defaults, writes the program-wide MathSettings
// and computes the trace when the user confirms.
#pragma once

#include "capture/capture.h"

class QWidget;

// Runs the modal dialog over `owner` for `capture`. True after "OK" or "Deaktivieren",
// once ComputeMath has been applied to the capture; false when the dialog was cancelled
// or closed, and then the capture is unchanged. The caller refreshes its window.
bool ShowMathDialog(QWidget* owner, Capture& capture);
