// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures stored in the program: the background tile of the multi-document area,
// the 32 icons of the settings tree and the program icon.
#pragma once

#include <QIcon>

// Loads the background tile (slot 0, 144 x 144) and the icons (slots 1..32, 16 x 16)
// into App().images.
void LoadImageSlots();

// The program icon in 48, 32 and 16 pixels.
QIcon ProgramIcon();
