// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli spectrum: the spectrum of one channel as a CSV table, a PNG plot, or the list
// of peaks, fundamental, harmonics and THD on standard output.
#pragma once

#include <QStringList>

// The command's lines of the tool's --help: its synopsis and its options. Macros, so that
// they join the one usage literal.
#define KURVEX_SPECTRUM_USAGE_COMMAND                                                              \
    "  kurvex-cli spectrum FILE.sav... [--channel ch1|ch2|math] [--window W] [--cursors A,B]\n"    \
    "                 [--math SPEC]... [-o OUT.csv|OUT.png] [--size WxH] [--peaks]\n"
#define KURVEX_SPECTRUM_USAGE_OPTIONS                                                              \
    "  --channel C    spectrum: ch1, ch2 or math (default: the first present one)\n"               \
    "  --window W     spectrum: rect, hann (default), blackman-harris or flattop\n"                \
    "  --size WxH     spectrum: size of the PNG plot (default 600x400)\n"                          \
    "  --peaks        spectrum: print peaks, fundamental, harmonics and THD, write no file\n"      \
    "                 spectrum writes NAME.spectrum.csv (Hz,V RMS,dBV per bin from 0 Hz\n"         \
    "                 to Nyquist) unless -o names a .csv or .png file; the range is the\n"         \
    "                 whole record, or cursor 1 to cursor 2 with --cursors\n"

// Runs the command; `args` are the words after the program name, "spectrum" first.
// Returns the exit status.
int RunSpectrumCommand(const QStringList& args);
