// SPDX-License-Identifier: GPL-3.0-or-later
// The export commands of the frame: the Save requester proposing the capture's name, the
// writer, and the message when the file cannot be made; and the picture on the clipboard.
#pragma once

enum class ExportFormat { Png, Csv, Raw, Sigrok };

// Exports the active capture window's picture or samples; nothing without one.
void RunExportFlow(ExportFormat format);

// Ctrl+C: the screen picture of the current capture window, as the PNG export draws it.
void CopyScreenToClipboard();
