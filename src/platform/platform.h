// SPDX-License-Identifier: GPL-3.0-or-later
// The thin layer between the viewer and the desktop: modal message boxes, the open and
// save file dialogs and the clipboard. Each goes through a replaceable hook so that tests
// can answer the dialogs without a person at the keyboard.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QWidget;

// What one file dialog shows and how it behaves.
struct FileDialogRequest {
    QString title;            // empty: the toolkit's own title
    QString initialFile;      // proposed path or name; its directory is where the dialog starts
    QStringList filters;      // "CSV-Dateien (*.csv)", "Alle Dateien (*.*)", ...
    int32_t filterIndex;      // 0-based, the filter selected first
    QString defaultExtension; // without dot; appended to a typed name without extension
    bool multiSelect;
    bool mustExist;
    bool overwritePrompt;
};

struct PlatformHooks {
    // The chosen full paths in the dialog's order; empty when cancelled.
    std::function<QStringList(QWidget* owner, const FileDialogRequest& request)> openDialog;
    // The chosen full path; empty when cancelled.
    std::function<QString(QWidget* owner, const FileDialogRequest& request)> saveDialog;
    // A modal box with one OK button and the error icon.
    std::function<void(QWidget* owner, const QString& title, const QString& text)> errorBox;
    std::function<void(const QImage& image)> clipboardImage;
    // Ends the event loop once the event being handled is done, with exit code 0.
    std::function<void()> quitEventLoop;
};

// The hooks in use; by default they reach the real dialogs and the real clipboard.
PlatformHooks& Platform();

// Puts the real implementations back.
void ResetPlatformHooks();

QStringList RunOpenDialog(QWidget* owner, const FileDialogRequest& request);
QString RunSaveDialog(QWidget* owner, const FileDialogRequest& request);
void ShowErrorBox(QWidget* owner, const QString& title, const QString& text);
// Replaces the clipboard's contents with a bitmap; failures are silent.
void PutImageOnClipboard(const QImage& image);

// The real implementations behind the default hooks.
QStringList QtOpenDialog(QWidget* owner, const FileDialogRequest& request);
QString QtSaveDialog(QWidget* owner, const FileDialogRequest& request);
void QtErrorBox(QWidget* owner, const QString& title, const QString& text);
void QtClipboardImage(const QImage& image);
void QtQuitEventLoop();

void QuitEventLoop();
