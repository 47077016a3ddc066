// SPDX-License-Identifier: GPL-3.0-or-later
// The one way a capture comes into being: a hidden window, the reader, then either the
// laid-out window shown or the reader's message and the window removed again.
#pragma once

#include <QString>

// True when a window with the loaded capture is shown.
bool OpenCapture(const QString& path);
