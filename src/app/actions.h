// SPDX-License-Identifier: GPL-3.0-or-later
// Every command of the viewer as one QAction: its text with mnemonic and shortcut label,
// its keys and where they work. The frame's menus and the analysis windows are built from
// the one set that CreateActions makes.
#pragma once

#include <QKeyCombination>
#include <QList>

#include <array>
#include <cstdint>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QObject;

enum class Command : int32_t {
    PeakValues,
    RmsValues,
    MeanValues,
    Open,
    Print,
    ExportPng,
    CopyImage,
    ExportCsv,
    ExportRaw,
    ExportSigrok,
    Quit,
    About,
    Website,
    Help,
    TileVertical,
    TileHorizontal,
    Cascade,
    CloseAll,
    CloseWindow,
    Measurements,
    Spectrum,
    Decode,
    LanguageGerman,
    LanguageEnglish,
};
constexpr int32_t CommandCount = static_cast<int32_t>(Command::LanguageEnglish) + 1;

struct ActionSet {
    std::array<QAction*, CommandCount> items{};
    QAction* operator[](Command command) const { return items[static_cast<size_t>(command)]; }
};

// Creates every action as a child of `owner`; triggering one calls `run` with its command.
// The keys work in the window that holds the action (Qt::WindowShortcut): the frame and its
// capture windows, and each analysis window the action is added to.
ActionSet CreateActions(QObject* owner, const std::function<void(Command)>& run);

// Sets the texts of the actions in the current language.
void RetranslateActions(const ActionSet& actions);

// The menus of the frame in their order: "&Datei", "&Analyse", "&Fenster", "&?". Returns
// the window menu, whose list of windows the frame fills before it shows.
QMenu* BuildMenus(QMenuBar* bar, const ActionSet& actions);

// The popup menu of "Messung...": the three measurements.
QMenu* BuildMeasurePopup(const ActionSet& actions);

// The commands of an analysis window that act on the frame as from a capture window: every
// keyed command but the picture commands, which the analysis window makes its own.
QList<QAction*> SharedWindowActions(const ActionSet& actions);

// True when `key` is the shortcut of a command of the frame: a text box gives such a key
// to the command, not to its own editing (Ctrl+C copies the screen, not the selected text).
bool IsCommandKey(QKeyCombination key);
