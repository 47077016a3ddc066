// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_frame.h"

#include "app/about_help.h"
#include "app/app_state.h"
#include "app/artwork.h"
#include "app/capture_decoding.h"
#include "app/capture_loading.h"
#include "app/capture_window.h"
#include "app/export_flows.h"
#include "app/file_requesters.h"
#include "app/measurements_window.h"
#include "app/print_preview.h"
#include "app/spectrum_window.h"
#include "app/window_arrangement.h"
#include "capture/file_name.h"
#include "platform/platform.h"
#include "readouts/readouts.h"
#include "text/format_text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenuBar>
#include <QSettings>
#include <QStyle>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

MainFrame::MainFrame()
{
    AppState& app = App();
    app.mainFrame = this;
    setWindowTitle(u"Kurvex"_s);
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);

    mdiArea = new QMdiArea(this);
    mdiArea->setFrameShape(QFrame::NoFrame);
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setBackground(QBrush(app.images[0]));
    setCentralWidget(mdiArea);
    app.mdiArea = mdiArea;

    actions = CreateActions(this, [this](Command command) { RunCommand(command); });
    // In no menu, but the frame's all the same.
    addAction(actions[Command::CloseWindow]);
    measurePopup = BuildMeasurePopup(actions);
    BuildMenuBar();
    resize(800, 600 + menuBar()->sizeHint().height());
}

MainFrame::~MainFrame()
{
    AppState& app = App();
    // Shutdown: the capture windows and their captures go with the frame. The area hides
    // them after this body, when the frame is a plain widget: its window changes must no
    // longer reach the frame's slots.
    mdiArea->disconnect(this);
    app.mdiArea = nullptr;
    app.mainFrame = nullptr;
    delete measurePopup;
}

void MainFrame::BuildMenuBar()
{
    menuBar()->clear();
    windowMenu = BuildMenus(menuBar(), actions);
    fixedWindowItems = static_cast<int32_t>(windowMenu->actions().size());
    connect(windowMenu, &QMenu::aboutToShow, this, [this] { RebuildWindowMenu(); });
    // Analyses of the active capture window; nothing to analyse while no window is open.
    const auto enableAnalyses = [this] {
        const bool any = !CaptureWindows().isEmpty();
        actions[Command::Measurements]->setEnabled(any);
        actions[Command::Spectrum]->setEnabled(any);
        actions[Command::Decode]->setEnabled(any);
    };
    enableAnalyses();
    for (QAction* menu : menuBar()->actions())
        if (menu->menu()) connect(menu->menu(), &QMenu::aboutToShow, this, enableAnalyses);
    connect(mdiArea, &QMdiArea::subWindowActivated, this, enableAnalyses);
    const bool english = CurrentLanguage() == u"en"_s;
    actions[Command::LanguageGerman]->setChecked(!english);
    actions[Command::LanguageEnglish]->setChecked(english);
}

// Below the four commands: the titles of the open capture windows, the active one ticked
// as in the window system's own list; choosing one activates it.
void MainFrame::RebuildWindowMenu()
{
    const QList<QAction*> items = windowMenu->actions();
    for (qsizetype i = fixedWindowItems; i < items.size(); ++i) {
        windowMenu->removeAction(items.at(i));
        items.at(i)->deleteLater();
    }
    const QList<QMdiSubWindow*> windows = mdiArea->subWindowList(QMdiArea::CreationOrder);
    int32_t number = 0;
    for (QMdiSubWindow* sub : windows) {
        if (!sub->isVisible()) continue;
        if (number == 0) windowMenu->addSeparator();
        ++number;
        // An "&" in a file name is no mnemonic.
        QString title = sub->windowTitle();
        title.replace(u"&"_s, u"&&"_s);
        const QString text =
            number < 10 ? u"&%1 %2"_s.arg(number).arg(title) : u"%1 %2"_s.arg(number).arg(title);
        QAction* action = windowMenu->addAction(text);
        action->setCheckable(true);
        action->setChecked(sub == mdiArea->activeSubWindow());
        connect(action, &QAction::triggered, this,
                [this, sub] { mdiArea->setActiveSubWindow(sub); });
    }
}

void MainFrame::RunCommand(Command id)
{
    AppState& app = App();
    // Most commands run a dialog or may end in an error box.
    const FocusReturn focusReturn;
    switch (id) {
    case Command::PeakValues:
    case Command::RmsValues:
    case Command::MeanValues:
        if (CaptureWindow* window = CaptureWindow::Of(app.popupOwner))
            window->Measure(static_cast<int32_t>(id) - static_cast<int32_t>(Command::PeakValues) +
                            MeasurePeak);
        return;
    case Command::Open: {
        OpenFileRequester(
            QString(), QString(),
            QCoreApplication::translate(
                "MainFrame", "UTD2052CEL, UTD2102CEL (*.sav)|*.sav|Alle Dateien (*.*)|*.*"),
            0, this, u"sav"_s,
            RequesterDefaultTitle | RequesterAddToRecent | RequesterMustExist |
                RequesterMultiSelect);
        const QStringList paths = app.openedPaths;
        for (const QString& path : paths)
            OpenCapture(path);
        return;
    }
    case Command::Print:
        if (CaptureWindow* window = CurrentCaptureWindow()) PrintScreen(*window);
        return;
    case Command::ExportPng:
        if (CaptureWindow* window = CurrentCaptureWindow())
            RunExportFlow(ExportFormat::Png, *window);
        return;
    case Command::CopyImage:
        if (CaptureWindow* window = CurrentCaptureWindow()) CopyScreenToClipboard(*window);
        return;
    case Command::ExportCsv:
        if (CaptureWindow* window = CurrentCaptureWindow())
            RunExportFlow(ExportFormat::Csv, *window);
        return;
    case Command::ExportRaw:
        if (CaptureWindow* window = CurrentCaptureWindow())
            RunExportFlow(ExportFormat::Raw, *window);
        return;
    case Command::ExportSigrok:
        if (CaptureWindow* window = CurrentCaptureWindow())
            RunExportFlow(ExportFormat::Sigrok, *window);
        return;
    case Command::Measurements:
        if (CaptureWindow* window = CurrentCaptureWindow()) ShowMeasurementsWindow(*window);
        return;
    case Command::Spectrum:
        if (CaptureWindow* window = CurrentCaptureWindow()) OpenSpectrumWindow(*window);
        return;
    case Command::Decode:
        if (CaptureWindow* window = CurrentCaptureWindow()) ShowDecodeDialog(*window);
        return;
    case Command::Quit:
        app.quitRequested = true;
        QuitEventLoop();
        return;
    case Command::About:
        ShowAboutBox(this);
        return;
    case Command::Website:
        OpenWebsite();
        return;
    case Command::Help:
        OpenHelpFile();
        return;
    case Command::TileVertical:
        TileSubWindows(true);
        return;
    case Command::TileHorizontal:
        TileSubWindows(false);
        return;
    case Command::Cascade:
        CascadeSubWindows();
        return;
    case Command::CloseWindow:
        if (CaptureWindow* window = CaptureWindow::Of(mdiArea->activeSubWindow())) window->Close();
        return;
    case Command::LanguageGerman:
    case Command::LanguageEnglish:
        ChooseLanguage(id == Command::LanguageEnglish ? u"en"_s : u"de"_s);
        return;
    case Command::CloseAll:
        for (CaptureWindow* window : CaptureWindows())
            window->Close();
        return;
    default:
        return;
    }
}

// The capture windows the tile and cascade commands arrange, the front one first.
static QList<QMdiSubWindow*> ArrangedWindows(QMdiArea* area)
{
    QList<QMdiSubWindow*> windows;
    const QList<QMdiSubWindow*> stacking = area->subWindowList(QMdiArea::StackingOrder);
    for (qsizetype i = stacking.size() - 1; i >= 0; --i) {
        QMdiSubWindow* sub = stacking.at(i);
        if (!sub->isVisible() || sub->isMinimized()) continue;
        // A maximised window takes part at its normal size.
        if (sub->isMaximized()) sub->showNormal();
        windows.append(sub);
    }
    return windows;
}

// The distance from a window's top edge to its client area: its title bar and border.
static int32_t TitleStep(QMdiSubWindow* sub)
{
    const int32_t titleBar = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
    const int32_t client = sub->widget() ? sub->widget()->y() : 0;
    return std::max(titleBar, client) + 1;
}

// Each window is sized to its tile, which no two windows share unless the area is too
// small for all of them; then the title bars of a tile's stack stay visible.
void MainFrame::TileSubWindows(bool sideBySide)
{
    const QList<QMdiSubWindow*> windows = ArrangedWindows(mdiArea);
    if (windows.isEmpty()) return;
    QSize minimum(0, 0);
    for (QMdiSubWindow* sub : windows)
        minimum = minimum.expandedTo(sub->minimumSize().expandedTo(sub->minimumSizeHint()));
    const std::vector<QRect> places =
        TileGeometry(static_cast<int32_t>(windows.size()), mdiArea->viewport()->size(), minimum,
                     TitleStep(windows.front()), sideBySide);
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        windows.at(i)->setGeometry(places[static_cast<size_t>(i)]);
        windows.at(i)->raise();
    }
}

// The windows keep their size where the cascade has room for them; see CascadeGeometry.
void MainFrame::CascadeSubWindows()
{
    const QList<QMdiSubWindow*> windows = ArrangedWindows(mdiArea);
    if (windows.isEmpty()) return;
    std::vector<QSize> sizes;
    QSize minimum(0, 0);
    for (QMdiSubWindow* sub : windows) {
        sizes.push_back(sub->size());
        minimum = minimum.expandedTo(sub->minimumSize().expandedTo(sub->minimumSizeHint()));
    }
    const std::vector<QRect> places =
        CascadeGeometry(sizes, mdiArea->viewport()->size(), minimum, TitleStep(windows.front()));
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        windows.at(i)->setGeometry(places[static_cast<size_t>(i)]);
        windows.at(i)->raise();
    }
}

QList<CaptureWindow*> MainFrame::CaptureWindows() const
{
    return ::CaptureWindows(mdiArea);
}

// The window the commands of the menus act on: the active one, or the one that was active
// while the focus is in an analysis window.
CaptureWindow* MainFrame::CurrentCaptureWindow() const
{
    return CaptureWindow::Of(mdiArea->currentSubWindow());
}

FocusReturn::FocusReturn() : widget(QApplication::focusWidget()) {}

FocusReturn::~FocusReturn()
{
    AppState& app = App();
    QWidget* frame = app.mainFrame;
    // While an outer box is still open, the focus is its own; it returns when that closes.
    if (!frame || !frame->isVisible() || QApplication::activeModalWidget()) return;
    // A command started from an analysis window ("Messungen", "Spektrum") returns there:
    // the next Ctrl+C copies what that window shows, not the frame's picture.
    if (widget && widget->isVisible() && widget->window() != frame &&
        widget->window()->parentWidget() && !widget->window()->isModal()) {
        QWidget* window = widget->window();
        if (!window->isActiveWindow()) window->activateWindow();
        if (!widget->hasFocus()) widget->setFocus(Qt::OtherFocusReason);
        return;
    }
    QMdiSubWindow* active = app.mdiArea ? app.mdiArea->activeSubWindow() : nullptr;
    QWidget* target = active;
    if (widget && widget->isVisible() && widget->window() == frame &&
        (!active || active->isAncestorOf(widget)))
        target = widget;
    if (!frame->isActiveWindow()) frame->activateWindow();
    if (target && !target->hasFocus()) target->setFocus(Qt::OtherFocusReason);
}

void MainFrame::OpenPaths(const QStringList& paths)
{
    for (qsizetype i = paths.size() - 1; i >= 0; --i)
        OpenCapture(paths.at(i));
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    // Nothing to save and nothing to ask: closing the frame ends the program.
    event->accept();
    App().quitRequested = true;
    QuitEventLoop();
}

void MainFrame::ChooseLanguage(const QString& language)
{
    if (!SwitchLanguage(language)) return;
    RetranslateActions(actions);
    BuildMenuBar();
}
