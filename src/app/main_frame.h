// SPDX-License-Identifier: GPL-3.0-or-later
// The top-level window of the viewer: menus, shortcuts, the multi-document area with the
// capture windows, file drops, and the commands of the menus.
#pragma once

#include "app/actions.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <cstdint>
#include <vector>

class CaptureWindow;
class QMdiArea;
class QMenu;

class MainFrame : public QMainWindow {
  public:
    MainFrame();
    ~MainFrame() override;

    QMdiArea* MdiArea() const { return mdiArea; }
    QMenu* WindowMenu() const { return windowMenu; }
    // The open capture windows in the order they were opened.
    QList<CaptureWindow*> CaptureWindows() const;

    // The command of a menu item or shortcut of the frame.
    void RunCommand(Command id);
    const ActionSet& Actions() const { return actions; }
    // The popup menu of the "Messung..." buttons; its commands act on the window whose
    // button opened it.
    QMenu* MeasurePopup() const { return measurePopup; }
    // Opens paths from the last to the first, so that the first ends up in front.
    void OpenPaths(const QStringList& paths);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    CaptureWindow* CurrentCaptureWindow() const;
    void BuildMenuBar();
    // Remembers the language, loads its texts and shows the frame's menus in it; windows
    // opened from then on speak it too.
    void ChooseLanguage(const QString& language);
    void RebuildWindowMenu();
    void TileSubWindows(bool sideBySide);
    void CascadeSubWindows();

    QMdiArea* mdiArea = nullptr;
    ActionSet actions;
    QMenu* windowMenu = nullptr;
    QMenu* measurePopup = nullptr;
    int32_t fixedWindowItems = 0;
};

// While alive, remembers the widget with the keyboard focus; when it goes, after a modal
// box or dialog has closed, the frame is made active again and the focus goes back there
// (or to the active capture window, if that one is gone or no longer active). Under a
// window manager the frame does not always get the focus back by itself, and the next
// shortcut would go nowhere.
class FocusReturn {
  public:
    FocusReturn();
    ~FocusReturn();
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

  private:
    QPointer<QWidget> widget;
};

// What the program needs before its first window: the stored pictures compiled into the
// program, and the toolkit's own texts in German.
void StartApplicationServices();

// The language of the interface: the one given (a "--lang" option), else the one chosen
// last in "Sprache / Language", else German. Installs its texts.
void StartLanguage(const QString& requested);
// "de" or "en".
QString CurrentLanguage();
// Remembers `language` for the next start and makes it the one in use; false when it
// already was, or has no texts.
bool SwitchLanguage(const QString& language);

// Start-up up to the event loop: state cleared, pictures loaded, the frame built and shown
// maximised, the given files opened from the last to the first.
MainFrame* StartMainFrame(const QStringList& paths);
