// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_frame.h"

#include "app/about_help.h"
#include "app/app_state.h"
#include "app/artwork.h"
#include "app/capture_loading.h"
#include "app/file_requesters.h"
#include "app/measurements_window.h"
#include "app/print_preview.h"
#include "app/spectrum_window.h"
#include "app/standard_icon_style.h"
#include "capture/file_name.h"
#include "output/csv_export.h"
#include "output/png_export.h"
#include "output/raw_export.h"
#include "platform/platform.h"
#include "readouts/readouts.h"
#include "screen/screen_renderer.h"
#include "text/format_text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmapCache>
#include <QStyle>
#include <QTranslator>
#include <QUrl>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

AppState& App()
{
    static AppState state{};
    return state;
}

bool FindCaptureWindow(const QWidget* window)
{
    AppState& app = App();
    app.currentWindow = nullptr;
    if (!window) return false;
    for (const auto& entry : app.captureWindows) {
        if (entry->window == window) {
            app.currentWindow = entry.get();
            return true;
        }
    }
    return false;
}

int32_t CommandForKey(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) return key == Qt::Key_F1 ? CommandHelp : -1;
    if (modifiers != Qt::ControlModifier) return -1;
    switch (key) {
    case Qt::Key_O:
        return CommandOpen;
    case Qt::Key_P:
        return CommandPrint;
    case Qt::Key_F:
        return CommandExportPng;
    case Qt::Key_C:
        return CommandCopyImage;
    case Qt::Key_E:
        return CommandExportCsv;
    case Qt::Key_L:
        return CommandExportRaw;
    case Qt::Key_M:
        return CommandMeasurements;
    case Qt::Key_K:
        return CommandSpectrum;
    default:
        return -1;
    }
}

void CopyScreenToClipboard()
{
    CaptureWindow* window = App().currentWindow;
    if (!window) return;
    const QImage image = RenderScreenImage(window->capture, ImageRenderRequest(window->view));
    if (!image.isNull()) PutImageOnClipboard(image);
}

// The capture's path without its extension: the name the Save requester proposes.
static QString SuggestedExportName(const QString& filePath)
{
    const qsizetype slash = filePath.lastIndexOf(u'/');
    const qsizetype dot = filePath.lastIndexOf(u'.');
    return dot > slash + 1 ? filePath.left(dot) : filePath;
}

using ExportWriter = bool (*)(const CaptureWindow& window, const QString& path);

static void ExportFlow(const QString& filterPattern, const QString& extension, ExportWriter writer)
{
    AppState& app = App();
    if (!FindCaptureWindow(app.mdiArea->currentSubWindow())) return;
    QMdiSubWindow* const sub = app.currentWindow->window;
    const QString suggestion = SuggestedExportName(app.currentWindow->capture.filePath);
    const QString path =
        SaveFileRequester(QString(), suggestion, filterPattern, 0, app.mainFrame, extension,
                          RequesterDefaultTitle | RequesterAddToRecent | RequesterOverwritePrompt);
    if (path.isEmpty() || !FindCaptureWindow(sub)) return;
    if (!writer(*app.currentWindow, path)) {
        const QString visible = VisibleFileName(path);
        ShowErrorBox(
            app.mainFrame, u"Fehler"_s,
            FormatText(u"Die Datei \"{0}\" kann nicht erstellt werden!", KindText, &visible));
    }
}

static bool WritePngExport(const CaptureWindow& window, const QString& path)
{
    return SaveScreenAsPng(window.capture, window.view, path);
}

static bool WriteCsvExport(const CaptureWindow& window, const QString& path)
{
    return ExportCsv(window.capture, path);
}

static bool WriteRawExport(const CaptureWindow& window, const QString& path)
{
    return ExportRaw(window.capture, path);
}

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

    CreateActionsAndMenus();
    resize(800, 600 + menuBar()->sizeHint().height());

    // The frame's shortcuts come before any control of the frame sees the key.
    qApp->installEventFilter(this);
}

MainFrame::~MainFrame()
{
    qApp->removeEventFilter(this);
    AppState& app = App();
    // Shutdown: the records and their captures go together; the widgets go with the frame.
    app.currentWindow = nullptr;
    app.captureWindows.clear();
    app.mdiArea = nullptr;
    app.mainFrame = nullptr;
    delete app.popupMenu;
    app.popupMenu = nullptr;
}

void MainFrame::CreateActionsAndMenus()
{
    AppState& app = App();
    struct Item {
        int32_t id;
        const char16_t* text;
    };
    const auto makeAction = [this](const Item& item) {
        auto* action = new QAction(QString::fromUtf16(item.text), this);
        const int32_t id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        return action;
    };

    // Popup menu 0: its commands act on the window whose button opened it.
    app.popupMenu = new QMenu;
    const Item popupItems[] = {{CommandPeakValues, u"&Spitzenwerte"},
                               {CommandRmsValues, u"&Effektivwerte"},
                               {CommandMeanValues, u"&Mittelwerte"}};
    for (const Item& item : popupItems)
        app.popupMenu->addAction(makeAction(item));

    // The text after the tab is the shortcut's label; the keys themselves are caught by
    // eventFilter so that they work from every control and fire once.
    QMenu* fileMenu = menuBar()->addMenu(u"&Datei"_s);
    fileMenu->addAction(makeAction({CommandOpen, u"&Öffnen...\tStrg+O"}));
    fileMenu->addSeparator();
    fileMenu->addAction(makeAction({CommandPrint, u"&Drucken...\tStrg+P"}));
    QMenu* imageMenu = fileMenu->addMenu(u"&Export als Bild"_s);
    imageMenu->addAction(makeAction({CommandExportPng, u"&Datei...\tStrg+F"}));
    imageMenu->addAction(makeAction({CommandCopyImage, u"&Zwischenablage\tStrg+C"}));
    fileMenu->addAction(makeAction({CommandExportCsv, u"Export als &CSV-Datei...\tStrg+E"}));
    fileMenu->addAction(
        makeAction({CommandExportRaw, u"Export als &LTspice-RAW-Datei...\tStrg+L"}));
    fileMenu->addSeparator();
    fileMenu->addAction(makeAction({CommandQuit, u"&Beenden"}));

    // Analyses of the active capture window; nothing to analyse while no window is open.
    QMenu* analysisMenu = menuBar()->addMenu(u"&Analyse"_s);
    analysisMenu->addAction(makeAction({CommandMeasurements, u"&Messungen...\tStrg+M"}));
    analysisMenu->addAction(makeAction({CommandSpectrum, u"&Spektrum...\tStrg+K"}));
    const auto enableAnalyses = [analysisMenu] {
        for (QAction* action : analysisMenu->actions())
            action->setEnabled(!App().captureWindows.empty());
    };
    enableAnalyses();
    connect(analysisMenu, &QMenu::aboutToShow, this, enableAnalyses);

    windowMenu = menuBar()->addMenu(u"&Fenster"_s);
    windowMenu->addAction(makeAction({CommandTileVertical, u"&Nebeneinander"}));
    windowMenu->addAction(makeAction({CommandTileHorizontal, u"&Übereinander"}));
    windowMenu->addAction(makeAction({CommandCascade, u"&Kaskadieren"}));
    windowMenu->addAction(makeAction({CommandCloseAll, u"&Alle schließen"}));
    fixedWindowItems = static_cast<int32_t>(windowMenu->actions().size());
    connect(windowMenu, &QMenu::aboutToShow, this, [this] { RebuildWindowMenu(); });

    QMenu* helpMenu = menuBar()->addMenu(u"&?"_s);
    helpMenu->addAction(makeAction({CommandHelp, u"&Hilfe...\tF1"}));
    helpMenu->addAction(makeAction({CommandAbout, u"&Über Kurvex..."}));
    helpMenu->addSeparator();
    helpMenu->addAction(makeAction({CommandWebsite, u"&Website öffnen..."}));
}

// Below the four commands: the titles of the open capture windows, the active one ticked
// as in the window system's own list; choosing one activates it.
void MainFrame::RebuildWindowMenu()
{
    const QList<QAction*> actions = windowMenu->actions();
    for (qsizetype i = fixedWindowItems; i < actions.size(); ++i) {
        windowMenu->removeAction(actions.at(i));
        actions.at(i)->deleteLater();
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

void MainFrame::RunCommand(int32_t id)
{
    AppState& app = App();
    // Most commands run a dialog or may end in an error box.
    const FocusReturn focusReturn;
    switch (id) {
    case CommandPeakValues:
    case CommandRmsValues:
    case CommandMeanValues:
        if (FindCaptureWindow(app.popupOwner)) Measure(*app.currentWindow, id);
        return;
    case CommandOpen: {
        OpenFileRequester(QString(), QString(),
                          u"UTD2052CEL, UTD2102CEL (*.sav)|*.sav|Alle Dateien (*.*)|*.*"_s, 0, this,
                          u"sav"_s,
                          RequesterDefaultTitle | RequesterAddToRecent | RequesterMustExist |
                              RequesterMultiSelect);
        const QStringList paths = app.openedPaths;
        for (const QString& path : paths)
            OpenCapture(path);
        return;
    }
    case CommandPrint:
        if (FindCaptureWindow(mdiArea->currentSubWindow())) PrintScreen();
        return;
    case CommandExportPng:
        ExportFlow(u"PNG-Dateien (*.png)|*.png|Alle Dateien (*.*)|*.*"_s, u"png"_s, WritePngExport);
        return;
    case CommandCopyImage:
        if (FindCaptureWindow(mdiArea->currentSubWindow())) CopyScreenToClipboard();
        return;
    case CommandExportCsv:
        ExportFlow(u"CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*"_s, u"csv"_s, WriteCsvExport);
        return;
    case CommandExportRaw:
        ExportFlow(u"LTspice-RAW-Dateien (*.raw)|*.raw|Alle Dateien (*.*)|*.*"_s, u"raw"_s,
                   WriteRawExport);
        return;
    case CommandMeasurements:
        if (FindCaptureWindow(mdiArea->currentSubWindow()))
            ShowMeasurementsWindow(*app.currentWindow);
        return;
    case CommandSpectrum:
        if (FindCaptureWindow(mdiArea->currentSubWindow())) OpenSpectrumWindow(*app.currentWindow);
        return;
    case CommandQuit:
        app.quitRequested = true;
        QuitEventLoop();
        return;
    case CommandAbout:
        ShowAboutBox(this);
        return;
    case CommandWebsite:
        OpenWebsite();
        return;
    case CommandHelp:
        OpenHelpFile();
        return;
    case CommandTileVertical:
        TileSubWindows(true);
        return;
    case CommandTileHorizontal:
        TileSubWindows(false);
        return;
    case CommandCascade:
        CascadeSubWindows();
        return;
    case CommandCloseAll:
        while (!app.captureWindows.empty()) {
            app.currentWindow = app.captureWindows.front().get();
            CloseCaptureWindow();
        }
        return;
    default:
        return;
    }
}

namespace {

struct GridShape {
    int32_t columns;
    int32_t rows; // of the fullest column or row
};

// Up to three tiles make one row or column; more make a grid about as many tiles across
// as the area's width holds of a square tile.
GridShape ShapeFor(int32_t tiles, QSize area, bool sideBySide)
{
    if (tiles <= 3) return sideBySide ? GridShape{tiles, 1} : GridShape{1, tiles};
    const double across = std::sqrt(double(tiles) * area.width() / std::max(area.height(), 1));
    const double down = std::sqrt(double(tiles) * area.height() / std::max(area.width(), 1));
    if (sideBySide) {
        const int32_t columns = std::clamp(int32_t(std::lround(across)), 1, tiles);
        return GridShape{columns, (tiles + columns - 1) / columns};
    }
    const int32_t rows = std::clamp(int32_t(std::lround(down)), 1, tiles);
    return GridShape{(tiles + rows - 1) / rows, rows};
}

// The tiles of one shape: side by side fills column after column, one above the other row
// after row, and the last column or row, holding fewer, gives its tiles the extra room.
std::vector<QRect> TilesFor(int32_t tiles, QSize area, bool sideBySide)
{
    const GridShape shape = ShapeFor(tiles, area, sideBySide);
    const int32_t lines = sideBySide ? shape.columns : shape.rows;
    const int32_t perLine = sideBySide ? shape.rows : shape.columns;
    const int32_t across = sideBySide ? area.width() : area.height();
    const int32_t along = sideBySide ? area.height() : area.width();
    std::vector<QRect> result;
    for (int32_t line = 0; line < lines; ++line) {
        const int32_t inLine = std::min(perLine, tiles - line * perLine);
        if (inLine <= 0) break;
        const int32_t a0 = across * line / lines;
        const int32_t a1 = across * (line + 1) / lines;
        for (int32_t k = 0; k < inLine; ++k) {
            const int32_t b0 = along * k / inLine;
            const int32_t b1 = along * (k + 1) / inLine;
            result.push_back(sideBySide ? QRect(a0, b0, a1 - a0, b1 - b0)
                                        : QRect(b0, a0, b1 - b0, a1 - a0));
        }
    }
    return result;
}

} // namespace

std::vector<QRect> TileGeometry(int32_t count, QSize area, QSize minimum, int32_t step,
                                bool sideBySide)
{
    std::vector<QRect> places;
    if (count <= 0) return places;
    // The most tiles whose smallest can hold its stack of windows at the minimum size.
    std::vector<QRect> tiles;
    for (int32_t t = count; t >= 1; --t) {
        tiles = TilesFor(t, area, sideBySide);
        const int32_t stack = (count + t - 1) / t;
        const QSize need = minimum + QSize(stack - 1, stack - 1) * step;
        const bool fits = std::all_of(tiles.begin(), tiles.end(), [&](const QRect& tile) {
            return tile.width() >= need.width() && tile.height() >= need.height();
        });
        if (fits) break;
    }
    const auto t = static_cast<int32_t>(tiles.size());
    for (int32_t i = 0; i < count; ++i) {
        const QRect& tile = tiles[static_cast<size_t>(i % t)];
        const int32_t stack = (count - 1 - i % t) / t + 1;
        const int32_t level = stack - 1 - i / t;
        const QSize size = (tile.size() - QSize(stack - 1, stack - 1) * step).expandedTo(minimum);
        places.push_back(QRect(tile.topLeft() + QPoint(level, level) * step, size));
    }
    return places;
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

// Each window keeps its size; they step down and right by a title bar from the top-left
// corner, starting over at the top when a window would reach below the area, with the
// front window last, on top.
void MainFrame::CascadeSubWindows()
{
    QList<QMdiSubWindow*> windows = ArrangedWindows(mdiArea);
    if (windows.isEmpty()) return;
    const int32_t step = TitleStep(windows.front());
    const int32_t height = mdiArea->viewport()->height();
    int32_t level = 0;
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        QMdiSubWindow* sub = windows.at(i);
        if (level > 0 && level * step + sub->height() > height) level = 0;
        sub->move(level * step, level * step);
        sub->raise();
        ++level;
    }
}

FocusReturn::FocusReturn() : widget(QApplication::focusWidget()) {}

FocusReturn::~FocusReturn()
{
    AppState& app = App();
    QWidget* frame = app.mainFrame;
    // While an outer box is still open, the focus is its own; it returns when that closes.
    if (!frame || !frame->isVisible() || QApplication::activeModalWidget()) return;
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

static bool OnlyLocalFiles(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty()) return false;
    for (const QUrl& url : data->urls())
        if (!url.isLocalFile()) return false;
    return true;
}

// The URL's bytes, not its text: a file name that is not UTF-8 stays openable.
static QString LocalFileName(const QUrl& url)
{
    if (!url.host().isEmpty()) return url.toLocalFile();
    return DecodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void MainFrame::dragMoveEvent(QDragMoveEvent* event)
{
    if (OnlyLocalFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainFrame::dropEvent(QDropEvent* event)
{
    if (!OnlyLocalFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.append(LocalFileName(url));
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // A file that cannot be read ends in an error box.
    const FocusReturn focusReturn;
    OpenPaths(paths);
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys typed into a dialog or a menu belong to it; only the frame, its capture windows
    // and their measurement tables share the frame's shortcuts (a table keeps Ctrl+C, which
    // copies its text there).
    const bool table = widget && dynamic_cast<MeasurementsWindow*>(widget->window()) != nullptr;
    if (!widget || (widget->window() != this && !table))
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int32_t id = CommandForKey(key->key(), key->modifiers());
    if (id < 0 || (table && id == CommandCopyImage)) return QMainWindow::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claim the key so that no control's own shortcut takes it; it comes back here
        // as the key press.
        event->accept();
        return true;
    }
    if (!key->isAutoRepeat()) RunCommand(id);
    return true;
}

constexpr int PixmapCacheKilobytes = 2048;

void StartApplicationServices()
{
    Q_INIT_RESOURCE(kurvex);
    // The menus belong in the frame, beside the capture windows they act on, not in a
    // desktop-wide menu bar; asking the desktop for one also costs start-up time.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    // Each file dialog, message box and capture window makes its icons afresh, and the
    // pixmap cache keeps every copy drawn from them under a key that no later one asks for,
    // up to its limit of 10 MB of pixels (some 20 MB of memory). What the windows draw from
    // the cache again and again, the style's frames and the tree's icons, fits in far less.
    QPixmapCache::setCacheLimit(PixmapCacheKilobytes);
    InstallStandardIconStyle();
    // The interface is German; so are the toolkit's own dialogs and menus, where installed.
    static QTranslator toolkitTexts;
    if (toolkitTexts.isEmpty() &&
        toolkitTexts.load(u"qtbase_de"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&toolkitTexts);
}

MainFrame* StartMainFrame(const QStringList& paths)
{
    AppState& app = App();
    app.captureWindows.clear();
    app.currentWindow = nullptr;
    app.openedPaths.clear();
    app.quitRequested = false;
    app.popupOwner = nullptr;
    app.programDirectory = QCoreApplication::applicationDirPath() + u"/"_s;
    LoadImageSlots();

    auto* frame = new MainFrame;
    frame->showMaximized();
    frame->OpenPaths(paths);
    return frame;
}
