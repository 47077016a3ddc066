// SPDX-License-Identifier: GPL-3.0-or-later
// What a capture window shows beside its screen, as pure functions over a Capture and the
// window's cursor indices: the settings tree, measurements and cursor readouts.
#pragma once

#include "capture/capture.h"

#include <QString>

#include <cstdint>
#include <vector>

// "Kanal 1", "Kanal 2", "Math"; empty for any other slot.
QString ChannelName(int32_t slot);

struct SettingsItem {
    QString text;
    int32_t icon;  // image slot 1..32
    int32_t level; // 0 top level, 1 child of the last top-level item
};

// The items of the settings tree, in order.
std::vector<SettingsItem> SettingsListItems(const Capture& capture);

enum : int32_t { MeasurePeak = 0, MeasureRms = 1, MeasureMean = 2 };

// The results-box text of a measurement between the two cursors (both ends included),
// heading and one line per present slot, "\r\n" between lines. Only samples the file holds
// are measured; a slot with none of them in the range reads "---".
QString MeasureText(const Capture& capture, int32_t cursor1, int32_t cursor2, int32_t mode);

struct CursorTexts {
    QString first;      // cursor1Box
    QString second;     // cursor2Box
    QString difference; // deltaBox
};

// The three cursor-box texts ("\r\n" line ends); a sample the file does not hold reads "---".
CursorTexts CursorReadoutTexts(const Capture& capture, int32_t cursor1, int32_t cursor2);
