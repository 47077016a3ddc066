// SPDX-License-Identifier: GPL-3.0-or-later
// Creating and closing a capture window: its MDI child, its controls and their signals.
#include "app/capture_window.h"

#include "app/app_state.h"
#include "app/artwork.h"
#include "app/capture_decoding.h"
#include "app/capture_layout.h"
#include "app/measurements_window.h"
#include "app/screen_navigation.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <memory>
#include <utility>

static void DispatchControlEvent(const QWidget* window, int32_t control, int32_t type, int32_t x)
{
    if (FindCaptureWindow(window)) HandleCaptureControl(control, type, x);
}

static QPlainTextEdit* MakeTextBox(QWidget* parent, int32_t x, int32_t y)
{
    auto* box = new ReadoutBox(parent);
    box->setGeometry(x, y, 130, 75);
    box->setReadOnly(true);
    box->setAcceptDrops(false);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return box;
}

static QGroupBox* MakeFrame(QWidget* parent, const QString& title, int32_t x, int32_t width)
{
    auto* frame = new QGroupBox(title, parent);
    frame->setGeometry(x, 445, width, 95);
    return frame;
}

bool CreateCaptureWindow()
{
    AppState& app = App();
    if (!app.mdiArea) return false;
    auto record = std::make_unique<CaptureWindow>();
    CaptureWindow& w = *record;

    auto* sub = new CaptureSubWindow(nullptr);
    sub->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    sub->setWindowIcon(ProgramIcon());
    sub->setOption(QMdiSubWindow::RubberBandMove, false);
    // The window can be sized and maximised but not minimised: its system menu offers
    // restoring, maximising and closing.
    auto* systemMenu = new QMenu(sub);
    QAction* restore =
        systemMenu->addAction(QCoreApplication::translate("CaptureWindow", "&Wiederherstellen"));
    QAction* maximise =
        systemMenu->addAction(QCoreApplication::translate("CaptureWindow", "Ma&ximieren"));
    systemMenu->addSeparator();
    QObject::connect(restore, &QAction::triggered, sub, [sub] { sub->showNormal(); });
    QObject::connect(maximise, &QAction::triggered, sub, [sub] { sub->showMaximized(); });
    QObject::connect(systemMenu, &QMenu::aboutToShow, sub, [sub, restore, maximise] {
        restore->setEnabled(sub->isMaximized());
        maximise->setEnabled(!sub->isMaximized());
    });
    QObject::connect(
        systemMenu->addAction(QCoreApplication::translate("CaptureWindow", "&Schließen")),
        &QAction::triggered, sub, [sub] { sub->close(); });
    sub->setSystemMenu(systemMenu);
    w.window = sub;

    auto* c = new CaptureClient;
    w.client = c;
    c->onResize = [sub] { CaptureClientResized(sub); };
    // The fixed layout was drawn for a compact dialog font: "Alles auswählen" has to fit
    // a 100-pixel button.
    QFont compact = c->font();
    compact.setPointSizeF(std::min(compact.pointSizeF(), 8.0));
    c->setFont(compact);

    QObject::connect(sub, &QMdiSubWindow::windowStateChanged, sub,
                     [sub](Qt::WindowStates before, Qt::WindowStates now) {
                         if (!(before & Qt::WindowMaximized) || (now & Qt::WindowMaximized)) return;
                         CaptureWindow* const previous = App().currentWindow;
                         if (FindCaptureWindow(sub)) {
                             CaptureWindow& restored = *App().currentWindow;
                             const int32_t change = std::exchange(restored.restoreHeightChange, 0);
                             if (change != 0) sub->resize(sub->width(), sub->height() + change);
                         }
                         App().currentWindow = previous;
                     });

    w.screenImage = new ScreenCanvas(c);
    w.screenImage->setGeometry(5, 5, 600, 400);
    w.navigation = new ScreenNavigation(sub);
    w.screenImage->SetNavigation(w.navigation);
    QObject::connect(w.navigation, &ScreenNavigation::viewChanged, sub,
                     [sub](int32_t first, int32_t count) {
                         if (FindCaptureWindow(sub)) NavigateCaptureWindow(first, count);
                     });
    QObject::connect(w.navigation, &ScreenNavigation::cursorPlaced, sub,
                     [sub](int32_t which, int32_t sample) {
                         if (FindCaptureWindow(sub)) PlaceCursor(which, sample);
                     });
    w.screenImage->onRatioChange = [sub] {
        if (!FindCaptureWindow(sub)) return;
        App().currentWindow->staleBits |= StaleImageSize;
        RefreshCaptureWindow();
    };

    w.scrollBar = new QScrollBar(Qt::Horizontal, c);
    w.scrollBar->setGeometry(5, 410, 600, 30);
    w.scrollBar->setRange(0, 0);
    w.scrollBar->setPageStep(0);
    w.scrollBar->setSingleStep(1);
    QObject::connect(w.scrollBar, &QScrollBar::valueChanged, sub,
                     [sub] { DispatchControlEvent(sub, ControlScrollBar, ControlEventOther, 0); });

    w.settingsTree = new QTreeWidget(c);
    w.settingsTree->setGeometry(610, 5, 200, 350);
    w.settingsTree->setHeaderHidden(true);
    // After hiding the header: the style change lays the tree out, and a shown header
    // would measure its caption in a bold font, one more font to look up.
    w.settingsTree->setStyle(SettingsTreeStyle());
    w.settingsTree->setRootIsDecorated(true);
    w.settingsTree->setItemsExpandable(true);
    w.settingsTree->setIconSize(QSize(16, 16));
    // Every row is one line of the same font beside a 16-pixel icon: measuring one row
    // serves for all.
    w.settingsTree->setUniformRowHeights(true);
    // Long rows scroll sideways rather than being cut short: the column is as wide as the
    // widest shown row. It is measured when the rows change, not on every layout of the
    // tree as the header's own fit-to-contents mode would.
    w.settingsTree->setTextElideMode(Qt::ElideNone);
    w.settingsTree->header()->setStretchLastSection(false);
    QTreeWidget* const tree = w.settingsTree;
    const auto fitColumn = [tree] { tree->resizeColumnToContents(0); };
    QObject::connect(tree, &QTreeView::expanded, tree, fitColumn);
    QObject::connect(tree, &QTreeView::collapsed, tree, fitColumn);
    w.settingsTree->setIndentation(20);

    w.showCursorsBox =
        new QCheckBox(QCoreApplication::translate("CaptureWindow", "Cursor anzeigen"), c);
    w.showCursorsBox->setGeometry(610, 360, 200, 20);
    QObject::connect(w.showCursorsBox, &QCheckBox::toggled, sub, [sub] {
        DispatchControlEvent(sub, ControlShowCursorsBox, ControlEventOther, 0);
    });

    w.zoomLabel = new QLabel(c);
    w.zoomLabel->setGeometry(610, 385, 200, 20);
    w.zoomLabel->setAlignment(Qt::AlignCenter);

    w.zoomSlider = new QSlider(Qt::Horizontal, c);
    w.zoomSlider->setGeometry(610, 410, 200, 30);
    w.zoomSlider->setRange(0, ZoomPositions - 1);
    w.zoomSlider->setTickPosition(QSlider::TicksBelow);
    w.zoomSlider->setTickInterval(1);
    w.zoomSlider->setSingleStep(1);
    w.zoomSlider->setPageStep(2);
    QObject::connect(w.zoomSlider, &QSlider::valueChanged, sub,
                     [sub] { DispatchControlEvent(sub, ControlZoomSlider, ControlEventOther, 0); });

    w.cursor1Frame = MakeFrame(c, QCoreApplication::translate("CaptureWindow", "Cursor 1"), 5, 140);
    w.cursor1Box = MakeTextBox(c, 10, 460);
    w.cursor2Frame =
        MakeFrame(c, QCoreApplication::translate("CaptureWindow", "Cursor 2"), 150, 140);
    w.cursor2Box = MakeTextBox(c, 155, 460);
    w.deltaFrame =
        MakeFrame(c, QCoreApplication::translate("CaptureWindow", "Cursor 1 - Cursor 2"), 295, 140);
    w.deltaBox = MakeTextBox(c, 300, 460);

    w.selectAllButton =
        new QPushButton(QCoreApplication::translate("CaptureWindow", "Alles auswählen"), c);
    w.selectAllButton->setGeometry(440, 445, 100, 20);
    QObject::connect(w.selectAllButton, &QPushButton::clicked, sub, [sub] {
        DispatchControlEvent(sub, ControlSelectAllButton, ControlEventOther, 0);
    });
    w.measureButton =
        new QPushButton(QCoreApplication::translate("CaptureWindow", "Messung..."), c);
    w.measureButton->setGeometry(440, 470, 100, 20);
    QObject::connect(w.measureButton, &QPushButton::clicked, sub, [sub] {
        DispatchControlEvent(sub, ControlMeasureButton, ControlEventOther, 0);
    });
    w.mathButton =
        new QPushButton(QCoreApplication::translate("CaptureWindow", "Mathematik..."), c);
    w.mathButton->setGeometry(440, 495, 100, 20);
    QObject::connect(w.mathButton, &QPushButton::clicked, sub,
                     [sub] { DispatchControlEvent(sub, ControlMathButton, ControlEventOther, 0); });

    w.mathLabel = new QLabel(c);
    w.mathLabel->setGeometry(435, 520, 110, 20);
    w.mathLabel->setAlignment(Qt::AlignCenter);

    w.resultsFrame =
        MakeFrame(c, QCoreApplication::translate("CaptureWindow", "Ergebnis"), 545, 265);
    w.resultsBox = MakeTextBox(c, 550, 460);
    w.resultsBox->resize(255, 75);

    sub->setWidget(c);
    SetClientSize(w, QSize(ClientWidth, ClientHeightPlain));
    LayOutControls(w);
    // New windows cascade from the top-left corner, each one title bar lower and further
    // right, and start over after eight.
    const auto placed = static_cast<int32_t>(app.mdiArea->subWindowList().size());
    const int32_t step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub) + 4;
    app.mdiArea->addSubWindow(sub);
    sub->move((placed % 8) * step, (placed % 8) * step);
    sub->hide();

    app.captureWindows.push_back(std::move(record));
    app.currentWindow = &w;
    return true;
}

void CloseCaptureWindow()
{
    AppState& app = App();
    CaptureWindow* current = app.currentWindow;
    if (!current) return;
    app.currentWindow = nullptr;
    CloseMeasurementsWindow(*current);
    CloseDecoding(*current);
    FreeSamples(current->capture);
    QMdiSubWindow* sub = current->window;
    auto found = std::find_if(app.captureWindows.begin(), app.captureWindows.end(),
                              [current](const auto& entry) { return entry.get() == current; });
    if (found != app.captureWindows.end()) app.captureWindows.erase(found);
    if (sub) {
        sub->hide();
        if (app.mdiArea) app.mdiArea->removeSubWindow(sub);
        // The close may come from the window's own close event: delete it afterwards.
        sub->deleteLater();
    }
}

double ScreenPixelRatio(const CaptureWindow& window)
{
    return window.screenImage ? window.screenImage->PixelRatio() : 1.0;
}
