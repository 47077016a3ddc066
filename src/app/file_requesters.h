// SPDX-License-Identifier: GPL-3.0-or-later
// The modal Open and Save file dialogs, with filters in the "description|pattern|..." form
// and a flag word saying how the dialog behaves.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

class QWidget;

// Flags of OpenFileRequester.
enum : int32_t {
    RequesterDefaultTitle = 0x01,
    RequesterAddToRecent = 0x02,
    RequesterShowReadOnly = 0x04,
    RequesterReadOnlyTicked = 0x08,
    RequesterMustExist = 0x10,
    RequesterOpenNoDereference = 0x20,
    RequesterMultiSelect = 0x40,
};
// Flags of SaveFileRequester.
enum : int32_t {
    RequesterOverwritePrompt = 0x04,
    RequesterSaveNoDereference = 0x08,
};

// "CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*" as the dialog's filter list:
// "CSV-Dateien (*.csv)", "Alle Dateien (*.*)".
QStringList FilterListFromPattern(const QString& pattern);

// Empties App().openedPaths, then fills it with every chosen path in the dialog's order.
// Returns the first of them, or "" when nothing was chosen.
QString OpenFileRequester(const QString& title, const QString& initialFile,
                          const QString& filterPattern, int32_t filterIndex, QWidget* owner,
                          const QString& defaultExtension, int32_t flags);

// The chosen path, or "" when nothing was chosen.
QString SaveFileRequester(const QString& title, const QString& initialFile,
                          const QString& filterPattern, int32_t filterIndex, QWidget* owner,
                          const QString& defaultExtension, int32_t flags);
