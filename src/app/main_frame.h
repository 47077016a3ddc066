// SPDX-License-Identifier: GPL-3.0-or-later
// The top-level window of the viewer: menus, shortcuts, the multi-document area with the
// capture windows, file drops, and the commands of the menus.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <cstdint>
#include <vector>

class QMdiArea;
class QMenu;

// Menu command ids: one number space for the popup menu and the menu bar.
enum : int32_t {
    CommandPeakValues = 0,
    CommandRmsValues = 1,
    CommandMeanValues = 2,
    CommandOpen = 3,
    CommandPrint = 4,
    CommandExportPng = 5,
    CommandCopyImage = 6,
    CommandExportCsv = 7,
    CommandExportRaw = 8,
    CommandQuit = 9,
    CommandAbout = 10,
    CommandWebsite = 11,
    CommandHelp = 12,
    CommandTileVertical = 13,
    CommandTileHorizontal = 14,
    CommandCascade = 15,
    CommandCloseAll = 16,
    // The window list of "&Fenster" counts from 17 upward; the analysis commands keep clear.
    CommandMeasurements = 100,
    CommandSpectrum = 101,
};

class MainFrame : public QMainWindow {
  public:
    MainFrame();
    ~MainFrame() override;

    QMdiArea* MdiArea() const { return mdiArea; }
    QMenu* WindowMenu() const { return windowMenu; }

    // The command of a menu item or shortcut of the frame.
    void RunCommand(int32_t id);
    // Opens paths from the last to the first, so that the first ends up in front.
    void OpenPaths(const QStringList& paths);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateActionsAndMenus();
    void RebuildWindowMenu();
    void TileSubWindows(bool sideBySide);
    void CascadeSubWindows();

    QMdiArea* mdiArea = nullptr;
    QMenu* windowMenu = nullptr;
    int32_t fixedWindowItems = 0;
};

// Where the tile commands put `count` windows in an area: tiles that do not overlap and
// together cover it, columns side by side or rows one above the other, and beyond three
// windows a grid whose columns and rows follow the area's shape. When tiles that small
// could not hold a window of `minimum` size, fewer tiles are used and the windows left
// over are stacked in them, each `step` (a title bar) lower and further right than the one
// behind it, so that every title bar stays visible. Entry i is the place of window i; in
// a stack, window i must lie on top of every later window of its tile (the first window,
// the front one, lowest and on top).
std::vector<QRect> TileGeometry(int32_t count, QSize area, QSize minimum, int32_t step,
                                bool sideBySide);

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

// Start-up up to the event loop: state cleared, pictures loaded, the frame built and shown
// maximised, the given files opened from the last to the first.
MainFrame* StartMainFrame(const QStringList& paths);

// The shortcut key of a frame command (Ctrl+O, ... F1), or -1.
int32_t CommandForKey(int key, Qt::KeyboardModifiers modifiers);

// Ctrl+C: the screen picture of the active capture window, as the PNG export draws it.
void CopyScreenToClipboard();
