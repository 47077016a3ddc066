// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/print_platform.h"

#include <QPrintDialog>
#include <QPrinter>

static PrintHooks DefaultPrintHooks()
{
    PrintHooks hooks;
    hooks.printerDialog = QtPrinterDialog;
    return hooks;
}

PrintHooks& PrintPlatform()
{
    static PrintHooks hooks = DefaultPrintHooks();
    return hooks;
}

void ResetPrintHooks()
{
    PrintPlatform() = DefaultPrintHooks();
}

bool RunPrinterDialog(QWidget* owner, QPrinter& printer)
{
    return PrintPlatform().printerDialog && PrintPlatform().printerDialog(owner, printer);
}

bool QtPrinterDialog(QWidget* owner, QPrinter& printer)
{
    printer.setCopyCount(1);
    QPrintDialog dialog(&printer, owner);
    // One page is all there is: no page range, no selection, no current page.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}
