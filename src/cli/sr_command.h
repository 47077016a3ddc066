// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli sr: each capture as a sigrok session for PulseView and sigrok-cli, NAME.sr
// beside its input or the one file -o names. Options, names and exit codes are those of
// every command (main.cpp).
#pragma once

#include "capture/capture.h"

#include <QString>

// Writes the session of every present trace; true when the whole file was written.
bool WriteSrOutput(const Capture& capture, const QString& path);
