// SPDX-License-Identifier: GPL-3.0-or-later
// Creating and closing a capture window: its MDI child, its controls and their signals.
#include "app/capture_window.h"

#include "app/artwork.h"
#include "app/capture_decoding.h"
#include "app/capture_layout.h"
#include "app/measurements_window.h"
#include "app/screen_navigation.h"
#include "app/spectrum_window.h"

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
#include <utility>

static QPlainTextEdit* MakeTextBox(QWidget* parent)
{
    auto* box = new ReadoutBox(parent);
    box->setReadOnly(true);
    box->setAcceptDrops(false);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return box;
}

CaptureWindow* CaptureWindow::Create(QMdiArea* area)
{
    if (!area) return nullptr;
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

    auto* w = new CaptureWindow(sub);
    QObject::connect(sub, &QMdiSubWindow::windowStateChanged, w,
                     [w](Qt::WindowStates before, Qt::WindowStates now) {
                         if (!(before & Qt::WindowMaximized) || (now & Qt::WindowMaximized)) return;
                         const int32_t change = std::exchange(w->restoreHeightChange, 0);
                         if (change != 0)
                             w->sub->resize(w->sub->width(), w->sub->height() + change);
                     });
    sub->setWidget(w);
    SetClientSize(*w, QSize(ClientWidth, ClientHeightPlain));
    LayOutControls(*w);
    // New windows cascade from the top-left corner, each one title bar lower and further
    // right, and start over after eight.
    const auto placed = static_cast<int32_t>(area->subWindowList().size());
    const int32_t step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub) + 4;
    area->addSubWindow(sub);
    sub->move((placed % 8) * step, (placed % 8) * step);
    sub->hide();
    return w;
}

CaptureWindow* CaptureWindow::Of(const QWidget* sub)
{
    const auto* child = dynamic_cast<const CaptureSubWindow*>(sub);
    return child ? dynamic_cast<CaptureWindow*>(child->widget()) : nullptr;
}

QList<CaptureWindow*> CaptureWindows(const QMdiArea* area)
{
    QList<CaptureWindow*> windows;
    if (!area) return windows;
    for (const QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder))
        if (CaptureWindow* w = CaptureWindow::Of(sub)) windows.append(w);
    return windows;
}

CaptureWindow::CaptureWindow(QMdiSubWindow* owner) : sub(owner)
{
    // The fixed layout was drawn for a compact dialog font: "Alles auswählen" has to fit
    // a 100-pixel button.
    QFont compact = font();
    compact.setPointSizeF(std::min(compact.pointSizeF(), 8.0));
    setFont(compact);
    CreateControls();
}

void CaptureWindow::CreateControls()
{
    screenImage = new ScreenCanvas(this);
    navigation = new ScreenNavigation(this);
    screenImage->SetNavigation(navigation);
    connect(navigation, &ScreenNavigation::viewChanged, this, &CaptureWindow::Navigate);
    connect(navigation, &ScreenNavigation::cursorPlaced, this, &CaptureWindow::PlaceCursor);
    screenImage->onRatioChange = [this] {
        staleBits |= Stale::ImageSize;
        Refresh();
    };

    scrollBar = new QScrollBar(Qt::Horizontal, this);
    scrollBar->setRange(0, 0);
    scrollBar->setPageStep(0);
    scrollBar->setSingleStep(1);
    connect(scrollBar, &QScrollBar::valueChanged, this, &CaptureWindow::Scrolled);

    settingsTree = new QTreeWidget(this);
    settingsTree->setHeaderHidden(true);
    // After hiding the header: the style change lays the tree out, and a shown header
    // would measure its caption in a bold font, one more font to look up.
    settingsTree->setStyle(SettingsTreeStyle());
    settingsTree->setRootIsDecorated(true);
    settingsTree->setItemsExpandable(true);
    settingsTree->setIconSize(QSize(16, 16));
    // Every row is one line of the same font beside a 16-pixel icon: measuring one row
    // serves for all.
    settingsTree->setUniformRowHeights(true);
    // Long rows scroll sideways rather than being cut short: the column is as wide as the
    // widest shown row. It is measured when the rows change, not on every layout of the
    // tree as the header's own fit-to-contents mode would.
    settingsTree->setTextElideMode(Qt::ElideNone);
    settingsTree->header()->setStretchLastSection(false);
    QTreeWidget* const tree = settingsTree;
    const auto fitColumn = [tree] { tree->resizeColumnToContents(0); };
    connect(tree, &QTreeView::expanded, tree, fitColumn);
    connect(tree, &QTreeView::collapsed, tree, fitColumn);
    settingsTree->setIndentation(20);

    showCursorsBox =
        new QCheckBox(QCoreApplication::translate("CaptureWindow", "Cursor anzeigen"), this);
    connect(showCursorsBox, &QCheckBox::toggled, this, &CaptureWindow::CursorsToggled);

    zoomLabel = new QLabel(this);
    zoomLabel->setAlignment(Qt::AlignCenter);

    zoomSlider = new QSlider(Qt::Horizontal, this);
    zoomSlider->setRange(0, ZoomPositions - 1);
    zoomSlider->setTickPosition(QSlider::TicksBelow);
    zoomSlider->setTickInterval(1);
    zoomSlider->setSingleStep(1);
    zoomSlider->setPageStep(2);
    connect(zoomSlider, &QSlider::valueChanged, this, &CaptureWindow::ZoomMoved);

    cursor1Frame = new QGroupBox(QCoreApplication::translate("CaptureWindow", "Cursor 1"), this);
    cursor1Box = MakeTextBox(this);
    cursor2Frame = new QGroupBox(QCoreApplication::translate("CaptureWindow", "Cursor 2"), this);
    cursor2Box = MakeTextBox(this);
    deltaFrame =
        new QGroupBox(QCoreApplication::translate("CaptureWindow", "Cursor 1 - Cursor 2"), this);
    deltaBox = MakeTextBox(this);

    selectAllButton =
        new QPushButton(QCoreApplication::translate("CaptureWindow", "Alles auswählen"), this);
    connect(selectAllButton, &QPushButton::clicked, this, &CaptureWindow::SelectAll);
    measureButton =
        new QPushButton(QCoreApplication::translate("CaptureWindow", "Messung..."), this);
    connect(measureButton, &QPushButton::clicked, this, &CaptureWindow::ShowMeasureMenu);
    mathButton =
        new QPushButton(QCoreApplication::translate("CaptureWindow", "Mathematik..."), this);
    connect(mathButton, &QPushButton::clicked, this, &CaptureWindow::EditMath);

    mathLabel = new QLabel(this);
    mathLabel->setAlignment(Qt::AlignCenter);

    resultsFrame = new QGroupBox(QCoreApplication::translate("CaptureWindow", "Ergebnis"), this);
    resultsBox = MakeTextBox(this);
    BuildLayout(*this);
}

void CaptureWindow::Close()
{
    // Closed already, waiting for its deletion.
    if (closed) return;
    closed = true;
    delete measurementsWindow;
    delete spectrumWindow;
    CloseDecoding(*this);
    FreeSamples(capture);
    sub->hide();
    if (QMdiArea* area = sub->mdiArea()) area->removeSubWindow(sub);
    // The close may come from the window's own close event: delete it afterwards.
    sub->deleteLater();
}

double CaptureWindow::ScreenPixelRatio() const
{
    return screenImage ? screenImage->PixelRatio() : 1.0;
}
