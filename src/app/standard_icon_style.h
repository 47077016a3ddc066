// SPDX-License-Identifier: GPL-3.0-or-later
// The application's style with one icon per standard picture, made once.
#pragma once

// Every file dialog, message box and capture window asks the style for its standard icons
// (the arrows of the file dialog, the error sign, the title bar's menu button), and the
// toolkit's style makes them afresh each time. The pixmap cache then keeps every copy drawn
// from such a fresh icon under a key of its own, and its table of keys never forgets one:
// some kilobytes a dialog. Handing out the same icon each time makes the same keys.
void InstallStandardIconStyle();
