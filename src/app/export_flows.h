// SPDX-License-Identifier: GPL-3.0-or-later
// The export commands of the frame: the Save requester proposing the capture's name, the
// writer, and the message when the file cannot be made; and the picture on the clipboard.
#pragma once

class CaptureWindow;

enum class ExportFormat { Png, Csv, Raw, Sigrok };

// Exports the picture or samples of `window`.
void RunExportFlow(ExportFormat format, CaptureWindow& window);

// Ctrl+C: the screen picture of `window`, as the PNG export draws it.
void CopyScreenToClipboard(const CaptureWindow& window);
