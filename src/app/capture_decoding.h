// SPDX-License-Identifier: GPL-3.0-or-later
// Bus decoding in a capture window: "Dekodieren..." opens the dialog, the accepted settings
// decode off the event-loop thread, the result shows as the strip under the screen and in
// the "Dekodiert" table window. The decode follows the cursors and the MATH trace.
#pragma once

#include "app/capture_window.h"
#include "screen/decode_strip.h"

#include <cstdint>
#include <utility>

// Strg+D: the dialog for `window` (its previous settings), then the decode. An error box
// when the decoder library cannot start.
void ShowDecodeDialog(CaptureWindow& window);

// Decodes with `request` over the window's range (the cursors while shown, else the whole
// record): the table window opens, the strip follows when the decode ends. Returns at once.
void StartDecoding(CaptureWindow& window, DecodeRequest request);

// Part of CaptureWindow::Refresh, with that refresh's stale bits: the strip follows the
// screen's view, and the decode starts again when its range or the MATH trace changed.
void FollowDecoding(CaptureWindow& window, StaleBits staleBits);

// The samples a decode of `window` covers: the cursors while shown, else 0..N-1.
std::pair<int32_t, int32_t> DecodeRange(const CaptureWindow& window);

// The strip the window shows (no rows when it does not decode): for PNG, clipboard, print.
const DecodeStrip& ShownStrip(const CaptureWindow& window);

// Stops the decode and closes the table window, with the capture window.
void CloseDecoding(CaptureWindow& window);
