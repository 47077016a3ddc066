// SPDX-License-Identifier: GPL-3.0-or-later
// How a capture window lays out its controls (a grid for the screen and the right column,
// a row for the cursor section), and how it asks its MDI child for the size it wants:
// shared by the window's creation, its resizing and its refresh.
#pragma once

#include "app/capture_window.h"

#include <QSize>
#include <QWidget>

#include <cstdint>

// Width of the column right of the screen (gap, settings tree, margin) and the rows under
// the screen (gap, scroll bar, gap) in the default layout, and the cursor section's height.
constexpr int32_t RightColumn = ClientWidth - 600 - 5;
constexpr int32_t BelowScreen = ClientHeightPlain - 400 - 5;
constexpr int32_t CursorSectionHeight = ClientHeightCursors - ClientHeightPlain;

// The height of the decode strip under the screen: 0 while the window shows none.
int32_t DecodeStripHeightOf(const CaptureWindow& w);

// Puts the controls of a new window into their layouts.
void BuildLayout(CaptureWindow& w);

// Lays the controls out for the client's size; true when the screen image changed size.
bool LayOutControls(CaptureWindow& w);

// Sizes the subwindow so that its client area is `size` (at least the minimum).
void SetClientSize(CaptureWindow& w, QSize size);
