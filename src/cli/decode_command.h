// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli decode: the bus decoders of libsigrokdecode on the thresholded channels of
// captures, one tab-separated line per annotation; and the list of the decoders.
#pragma once

#include <QStringList>

// Runs "kurvex-cli decode ARGS..." (`args` without the word "decode"); the exit status.
// Every word that is off (an unknown decoder, channel, option or value, a required channel
// left unmapped) is usage error 64 before anything is printed or written.
int RunDecodeCommand(const QStringList& args);
