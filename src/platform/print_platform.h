// SPDX-License-Identifier: GPL-3.0-or-later
// The printer dialog behind a replaceable hook, so that tests can choose a PDF file in
// place of a printer without a person at the keyboard.
#pragma once

#include <functional>

class QPrinter;
class QWidget;

struct PrintHooks {
    // Lets the user choose and set up `printer`, preset to one copy; false when cancelled.
    std::function<bool(QWidget* owner, QPrinter& printer)> printerDialog;
};

// The hooks in use; by default the toolkit's printer dialog.
PrintHooks& PrintPlatform();

// Puts the real printer dialog back.
void ResetPrintHooks();

bool RunPrinterDialog(QWidget* owner, QPrinter& printer);

// The real implementation behind the default hook. Where no printer is installed it
// still offers printing to a PDF file.
bool QtPrinterDialog(QWidget* owner, QPrinter& printer);
