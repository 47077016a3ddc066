// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli spectrum: the spectrum of one channel as a CSV table, a PNG plot, or the list
// of peaks, fundamental, harmonics and THD on standard output.
#pragma once

#include <QStringList>

// Runs the command; `args` are the words after the program name, "spectrum" first.
// Returns the exit status.
int RunSpectrumCommand(const QStringList& args);
