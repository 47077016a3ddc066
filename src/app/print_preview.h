// SPDX-License-Identifier: GPL-3.0-or-later
// Printing the scope screen of a capture window on one page: the printer dialog, the
// "Druckvorschau" in which the user sets the size and place of the screen on the page,
// and the printed page in the paper style.
#pragma once

class QPrinter;

#include "app/capture_window.h"
#include "output/print_layout.h"

#include <QImage>
#include <QString>

#include <cstdint>

class QWidget;

// Ctrl+P for `window`: printer dialog, preview, page. Cancelling either dialog, or a
// printer that cannot start the document, prints nothing and says nothing.
void PrintScreen(const CaptureWindow& window);

// Runs the modal preview over `owner`, drawing the page into `preview` (previewWidth x
// previewHeight of the layout). 1 for "Drucken", 0 for "Abbrechen" or the close box; the
// layout then holds the zoom and place that were shown last.
int32_t PrintPreviewDialog(QWidget* owner, const CaptureWindow& window, PrintLayout& layout,
                           QImage& preview);

// The name of the print job: the capture's file name without directory and extension,
// then " - Kurvex".
QString PrintDocumentName(const QString& filePath);

// "Fehler" with the reason when a printer or PDF file could not be started: the printer's
// name, or the file that cannot be created.
void ShowPrintStartError(QWidget* owner, const QPrinter& printer);
