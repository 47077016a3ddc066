// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/capture_window.h"

#include "app/app_state.h"
#include "app/artwork.h"
#include "app/main_frame.h"
#include "app/math_dialog.h"
#include "app/measurements_window.h"
#include "app/spectrum_window.h"
#include "capture/file_name.h"
#include "readouts/readouts.h"
#include "screen/screen_renderer.h"
#include "text/format_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

ScreenCanvas::ScreenCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScreenCanvas::SetImage(QImage newImage)
{
    image = std::move(newImage);
    update();
}

double ScreenCanvas::PixelRatio() const
{
    return std::max(1.0, devicePixelRatioF());
}

void ScreenCanvas::paintEvent(QPaintEvent*)
{
    // On a screen with another ratio the image would be shown scaled: draw it afresh, after
    // this paint, and show the old one until then.
    if (!image.isNull() && image.devicePixelRatio() != PixelRatio() && onRatioChange)
        QMetaObject::invokeMethod(this, onRatioChange, Qt::QueuedConnection);
    QPainter painter(this);
    if (image.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(0, 0, image);
}

void ScreenCanvas::mousePressEvent(QMouseEvent* event)
{
    int32_t type = ControlEventOther;
    if (event->button() == Qt::LeftButton)
        type = ControlEventLeftPress;
    else if (event->button() == Qt::RightButton)
        type = ControlEventRightPress;
    const double column = std::floor(event->position().x() * PixelRatio());
    if (onPress) onPress(type, static_cast<int32_t>(std::clamp(column, -1e9, 1e9)));
}

// The second press of a double click arrives as a double click; it still places a cursor.
void ScreenCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

CaptureSubWindow::CaptureSubWindow(QWidget* parent) : QMdiSubWindow(parent) {}

void CaptureSubWindow::closeEvent(QCloseEvent* event)
{
    // The window goes away through CloseCaptureWindow, which also forgets its record.
    event->ignore();
    if (FindCaptureWindow(this)) CloseCaptureWindow();
}

// The client area of a capture window. Its size hint is the size the window asks for (the
// default, or the cursor section added or taken away), which the subwindow wraps exactly;
// the user's sizing and maximising go through resizeEvent.
// The window title: the file name, marked when the file was cut short.
static QString CaptureTitle(const Capture& capture)
{
    QString title = VisibleFileName(QFileInfo(capture.filePath).fileName());
    if (CaptureIncomplete(capture)) title += QStringLiteral(" (unvollständig)");
    return title;
}

namespace {
class CaptureClient : public QWidget {
  public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return wanted; }
    QSize wanted{ClientWidth, ClientHeightPlain};
    std::function<void()> onResize;

  protected:
    void resizeEvent(QResizeEvent*) override
    {
        if (onResize) onResize();
    }
};
} // namespace

// Width of the column right of the screen (gap, settings tree, margin) and the rows under
// the screen (gap, scroll bar, gap) in the default layout, and the cursor section's height.
constexpr int32_t RightColumn = ClientWidth - 600 - 5;
constexpr int32_t BelowScreen = ClientHeightPlain - 400 - 5;
constexpr int32_t CursorSectionHeight = ClientHeightCursors - ClientHeightPlain;

QSize MinimumClientSize(bool cursorsShown)
{
    const int32_t top = std::max(5 + MinScreenHeight + BelowScreen,
                                 5 + MinTreeHeight + (ClientHeightPlain - 5 - 350));
    // The cursor section's boxes and buttons keep their size; only the results box grows.
    const int32_t width = cursorsShown ? ClientWidth : 5 + MinScreenWidth + RightColumn;
    return QSize(width, top + (cursorsShown ? CursorSectionHeight : 0));
}

// Places every control for the client's size: extra width and height go to the screen and
// its scroll bar, the right column keeps to the right edge with the tree taking the extra
// height, and the cursor section keeps to the bottom with the extra width in the results
// box. Without cursors the section lies just below the client edge, hidden. True when the
// screen image changed size.
static bool LayOutControls(CaptureWindow& w)
{
    const bool shown = w.view.cursorsShown != 0;
    const QSize size = w.client->size().expandedTo(MinimumClientSize(shown));
    const int32_t width = size.width();
    const int32_t top = size.height() - (shown ? CursorSectionHeight : 0);
    const int32_t screenWidth = width - 5 - RightColumn;
    const int32_t screenHeight = top - 5 - BelowScreen;
    const int32_t right = width - 205;
    w.screenImage->setGeometry(5, 5, screenWidth, screenHeight);
    w.scrollBar->setGeometry(5, top - 35, screenWidth, 30);
    w.settingsTree->setGeometry(right, 5, 200, top - 95);
    w.showCursorsBox->setGeometry(right, top - 85, 200, 20);
    w.zoomLabel->setGeometry(right, top - 60, 200, 20);
    w.zoomSlider->setGeometry(right, top - 35, 200, 30);
    const int32_t section = top;
    w.cursor1Frame->setGeometry(5, section, 140, 95);
    w.cursor1Box->setGeometry(10, section + 15, 130, 75);
    w.cursor2Frame->setGeometry(150, section, 140, 95);
    w.cursor2Box->setGeometry(155, section + 15, 130, 75);
    w.deltaFrame->setGeometry(295, section, 140, 95);
    w.deltaBox->setGeometry(300, section + 15, 130, 75);
    w.selectAllButton->setGeometry(440, section, 100, 20);
    w.measureButton->setGeometry(440, section + 25, 100, 20);
    w.mathButton->setGeometry(440, section + 50, 100, 20);
    w.mathLabel->setGeometry(435, section + 75, 110, 20);
    w.resultsFrame->setGeometry(545, section, width - 550, 95);
    w.resultsBox->setGeometry(550, section + 15, width - 560, 75);
    ++w.counts.layouts;
    CaptureView& v = w.view;
    const bool changed = v.imageWidth != screenWidth || v.imageHeight != screenHeight;
    v.imageWidth = screenWidth;
    v.imageHeight = screenHeight;
    return changed;
}

// One step of the user's sizing (or maximising, restoring, tiling): the controls move and
// the screen is drawn once at its new size.
static void CaptureClientResized(const QWidget* sub)
{
    AppState& app = App();
    CaptureWindow* const previous = app.currentWindow;
    if (FindCaptureWindow(sub)) {
        CaptureWindow& w = *app.currentWindow;
        // Before the first refresh there is nothing to draw; the load draws at this size.
        if (LayOutControls(w) && w.view.visibleCount > 0) {
            w.staleBits |= StaleImageSize;
            if (!w.refreshing) RefreshCaptureWindow();
        }
    }
    app.currentWindow = previous;
}

static void DispatchControlEvent(const QWidget* window, int32_t control, int32_t type, int32_t x)
{
    if (FindCaptureWindow(window)) HandleCaptureControl(control, type, x);
}

// Draws the settings tree's branches as dotted connecting lines with boxed expand buttons,
// down to the root, and leaves everything else to the application's style. A style sheet
// would do the same but switches the tree to the style-sheet machinery, which costs a good
// part of a window's creation and painting; one proxy serves every window.
namespace {
class TreeBranchStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_IndicatorBranch) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const QRect& cell = option->rect;
        const QStyle::State state = option->state;
        const int32_t midX = cell.x() + (cell.width() - 1) / 2;
        const int32_t midY = cell.y() + cell.height() / 2;
        // A checkerboard brush dots the lines; it is anchored to the widget, not to the
        // cell, so the dots run on evenly from row to row.
        const QBrush dots(QColor(160, 160, 160), Qt::Dense4Pattern);
        const bool button = (state & State_Children) != 0;
        const int32_t half = button ? ButtonSize / 2 : 0;
        if (state & (State_Item | State_Sibling | State_Children | State_Open))
            painter->fillRect(midX, cell.y(), 1, midY - half - cell.y(), dots);
        if (state & State_Sibling)
            painter->fillRect(midX, midY + half + 1, 1, cell.bottom() - midY - half, dots);
        if (state & State_Item) {
            if (option->direction == Qt::RightToLeft)
                painter->fillRect(cell.x(), midY, midX - half - cell.x(), 1, dots);
            else
                painter->fillRect(midX + half + 1, midY, cell.right() - midX - half, 1, dots);
        }
        if (!button) return;
        const QRect box(midX - half, midY - half, ButtonSize, ButtonSize);
        painter->fillRect(box, Qt::white);
        painter->fillRect(box.x(), box.y(), ButtonSize, 1, ButtonEdge);
        painter->fillRect(box.x(), box.bottom(), ButtonSize, 1, ButtonEdge);
        painter->fillRect(box.x(), box.y(), 1, ButtonSize, ButtonEdge);
        painter->fillRect(box.right(), box.y(), 1, ButtonSize, ButtonEdge);
        painter->fillRect(midX - 2, midY, 5, 1, Qt::black);
        if (!(state & State_Open)) painter->fillRect(midX, midY - 2, 1, 5, Qt::black);
    }

  private:
    static constexpr int32_t ButtonSize = 9;
    static constexpr QColor ButtonEdge{145, 145, 145};
};
} // namespace

static QStyle* SettingsTreeStyle()
{
    static QPointer<QProxyStyle> style;
    if (!style) {
        // The proxy takes ownership of its base, so it gets an instance of its own.
        style = new TreeBranchStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    return style;
}

static QPlainTextEdit* MakeTextBox(QWidget* parent, int32_t x, int32_t y)
{
    auto* box = new QPlainTextEdit(parent);
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

// Sizes the subwindow so that its client area is `size` (at least the minimum for the
// cursor section's state); a maximised window goes on filling the area.
static void SetClientSize(CaptureWindow& w, QSize size)
{
    auto* client = static_cast<CaptureClient*>(w.client);
    const QSize minimum = MinimumClientSize(w.view.cursorsShown != 0);
    client->wanted = size.expandedTo(minimum);
    client->setMinimumSize(minimum);
    QMdiSubWindow* const sub = w.window;
    const QSize decoration = sub->sizeHint() - client->wanted;
    sub->setMinimumSize(minimum + decoration);
    if (sub->isMaximized()) return;
    sub->resize(client->wanted + decoration);
    // A hidden window lays its client out only when shown; the refresh needs the size now.
    client->resize(client->wanted);
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
    QAction* restore = systemMenu->addAction(u"&Wiederherstellen"_s);
    QAction* maximise = systemMenu->addAction(u"Ma&ximieren"_s);
    systemMenu->addSeparator();
    QObject::connect(restore, &QAction::triggered, sub, [sub] { sub->showNormal(); });
    QObject::connect(maximise, &QAction::triggered, sub, [sub] { sub->showMaximized(); });
    QObject::connect(systemMenu, &QMenu::aboutToShow, sub, [sub, restore, maximise] {
        restore->setEnabled(sub->isMaximized());
        maximise->setEnabled(!sub->isMaximized());
    });
    QObject::connect(systemMenu->addAction(u"&Schließen"_s), &QAction::triggered, sub,
                     [sub] { sub->close(); });
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

    w.screenImage = new ScreenCanvas(c);
    w.screenImage->setGeometry(5, 5, 600, 400);
    w.screenImage->onPress = [sub](int32_t type, int32_t x) {
        DispatchControlEvent(sub, ControlScreenImage, type, x);
    };
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

    w.showCursorsBox = new QCheckBox(u"Cursor anzeigen"_s, c);
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

    w.cursor1Frame = MakeFrame(c, u"Cursor 1"_s, 5, 140);
    w.cursor1Box = MakeTextBox(c, 10, 460);
    w.cursor2Frame = MakeFrame(c, u"Cursor 2"_s, 150, 140);
    w.cursor2Box = MakeTextBox(c, 155, 460);
    w.deltaFrame = MakeFrame(c, u"Cursor 1 - Cursor 2"_s, 295, 140);
    w.deltaBox = MakeTextBox(c, 300, 460);

    w.selectAllButton = new QPushButton(u"Alles auswählen"_s, c);
    w.selectAllButton->setGeometry(440, 445, 100, 20);
    QObject::connect(w.selectAllButton, &QPushButton::clicked, sub, [sub] {
        DispatchControlEvent(sub, ControlSelectAllButton, ControlEventOther, 0);
    });
    w.measureButton = new QPushButton(u"Messung..."_s, c);
    w.measureButton->setGeometry(440, 470, 100, 20);
    QObject::connect(w.measureButton, &QPushButton::clicked, sub, [sub] {
        DispatchControlEvent(sub, ControlMeasureButton, ControlEventOther, 0);
    });
    w.mathButton = new QPushButton(u"Mathematik..."_s, c);
    w.mathButton->setGeometry(440, 495, 100, 20);
    QObject::connect(w.mathButton, &QPushButton::clicked, sub,
                     [sub] { DispatchControlEvent(sub, ControlMathButton, ControlEventOther, 0); });

    w.mathLabel = new QLabel(c);
    w.mathLabel->setGeometry(435, 520, 110, 20);
    w.mathLabel->setAlignment(Qt::AlignCenter);

    w.resultsFrame = MakeFrame(c, u"Ergebnis"_s, 545, 265);
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

static void FillSettingsList(CaptureWindow& w)
{
    w.settingsTree->clear();
    QTreeWidgetItem* topItem = nullptr;
    for (const SettingsItem& entry : SettingsListItems(w.capture)) {
        QTreeWidgetItem* item = nullptr;
        if (entry.level == 0 || !topItem) {
            item = new QTreeWidgetItem(w.settingsTree);
            topItem = item;
        } else {
            item = new QTreeWidgetItem(topItem);
        }
        item->setText(0, entry.text);
        if (entry.icon > 0 && entry.icon < ImageSlotCount)
            item->setIcon(0, QIcon(App().images[entry.icon]));
    }
    {
        // One fit for the whole filled tree, not one per opened branch.
        const QSignalBlocker blockTree(w.settingsTree);
        w.settingsTree->expandAll();
    }
    w.settingsTree->resizeColumnToContents(0);
    ++w.counts.settingsFills;
}

static void UpdateCursorReadouts(CaptureWindow& w)
{
    ++w.counts.cursorReadouts;
    if (!w.view.cursorsShown) return;
    const CursorTexts texts = CursorReadoutTexts(w.capture, w.view.cursor1, w.view.cursor2);
    w.cursor1Box->setPlainText(BoxText(texts.first));
    w.cursor2Box->setPlainText(BoxText(texts.second));
    w.deltaBox->setPlainText(BoxText(texts.difference));
}

static void ApplyCursorMode(CaptureWindow& w)
{
    const bool shown = w.view.cursorsShown != 0;
    // The screen keeps its size: the window grows or shrinks by the cursor section.
    const int32_t top = w.view.imageHeight + 5 + BelowScreen;
    SetClientSize(w, QSize(w.client->width(), top + (shown ? CursorSectionHeight : 0)));
    if (LayOutControls(w)) w.staleBits |= StaleImageSize;
    w.screenImage->setCursor(shown ? Qt::CrossCursor : Qt::ArrowCursor);
    QWidget* const section[] = {w.cursor1Box,    w.cursor2Box, w.deltaBox,  w.selectAllButton,
                                w.measureButton, w.resultsBox, w.mathButton};
    for (QWidget* control : section)
        control->setEnabled(shown);
}

void RefreshCaptureWindow()
{
    CaptureWindow* current = App().currentWindow;
    if (!current) return;
    CaptureWindow& w = *current;
    CaptureView& v = w.view;
    const Capture& c = w.capture;
    const int32_t n = c.samplesPerChannel;
    int32_t& bits = w.staleBits;

    // What the refresh writes into the controls must not come back as new events.
    const QSignalBlocker blockScroll(w.scrollBar);
    const QSignalBlocker blockZoom(w.zoomSlider);
    const QSignalBlocker blockBox(w.showCursorsBox);
    w.refreshing = true;

    if (bits & StaleScrolled) {
        ScrollView(v, n, w.scrollBar->value());
        bits |= StaleOffset;
    }
    if (bits & (StaleZoom | StaleNew)) {
        v.previousVisibleCount = v.visibleCount;
        v.visibleCount = VisibleCountFor(n, w.zoomSlider->value());
        bits |= StaleVisibleCount;
    }
    if (bits & StaleCursorToggle) {
        v.cursorsShown = w.showCursorsBox->isChecked() ? 1 : 0;
        bits |= StaleCursorMode;
    }
    if (bits & StaleNew) {
        v.cursor1 = 0;
        v.cursor2 = n - 1;
        bits |= StaleCursors;
    }
    if (bits & StaleNew) {
        // The screen fills the space the window gives it: 600 x 400 in a new window.
        LayOutControls(w);
        bits |= StaleImageSize;
    }
    if (bits & (StaleVisibleCount | StaleNew)) {
        // The toolkit's scroll bar counts positions, not the end of the page: its maximum
        // is the last first sample, N - visibleCount.
        const ScrollRange range = ScrollRangeFor(v, n);
        w.scrollBar->setRange(0, std::max(range.maximum - range.page + 1, 0));
        w.scrollBar->setPageStep(range.page);
        RecentreView(v, n);
        bits |= StaleOffset;
    }
    if (bits & StaleCursorMode) ApplyCursorMode(w);
    if (bits & StaleNew) w.window->setWindowTitle(CaptureTitle(c));
    if ((bits & StaleOffset) && !(bits & StaleScrolled)) w.scrollBar->setValue(v.firstSample);
    if (bits & StaleNew) FillSettingsList(w);
    if (bits & (StaleVisibleCount | StaleNew)) {
        const double zoomedTimePerDiv = n > 0 ? c.timePerDiv * v.visibleCount / n : 0.0;
        w.zoomLabel->setText(FormatText(u"Zoom: {0Sd5}s/DIV", KindFloat64, &zoomedTimePerDiv));
        ++w.counts.zoomLabels;
    }
    if (bits & (StaleCursorMode | StaleCursors | StaleMath | StaleNew)) UpdateCursorReadouts(w);
    if (bits & (StaleMath | StaleNew)) {
        if (c.present[SlotMath] == 1)
            w.mathLabel->setText(
                FormatText(u"Math: {0Sd5}V/DIV", KindFloat64, &c.voltsPerDiv[SlotMath]));
        else
            w.mathLabel->clear();
        ++w.counts.mathLabels;
    }
    if (bits & StaleRedrawMask) {
        w.screenImage->SetImage(RenderScreenImage(c, WindowRenderRequest(v), ScreenPixelRatio(w)));
        ++w.counts.renders;
    }
    RefreshMeasurementsWindow(w, bits);
    FollowSpectrumWindow(w, bits);
    bits = 0;
    w.refreshing = false;
}

void HandleCaptureControl(int32_t control, int32_t eventType, int32_t x)
{
    CaptureWindow* current = App().currentWindow;
    if (!current) return;
    CaptureWindow& w = *current;
    switch (control) {
    case ControlScreenImage: {
        if (w.view.cursorsShown != 1) return;
        if (eventType != ControlEventLeftPress && eventType != ControlEventRightPress) return;
        // A press on the canvas edge may report a column just outside it; the sample
        // follows the device columns the image was drawn with.
        const int32_t sample = SampleAtDeviceColumn(w.view, x, ScreenPixelRatio(w));
        if (eventType == ControlEventLeftPress)
            w.view.cursor1 = sample;
        else
            w.view.cursor2 = sample;
        w.staleBits |= StaleCursors;
        RefreshCaptureWindow();
        return;
    }
    case ControlScrollBar:
        w.staleBits |= StaleScrolled;
        RefreshCaptureWindow();
        return;
    case ControlZoomSlider:
        w.staleBits |= StaleZoom;
        RefreshCaptureWindow();
        return;
    case ControlShowCursorsBox:
        w.staleBits |= StaleCursorToggle;
        RefreshCaptureWindow();
        return;
    case ControlSelectAllButton:
        w.view.cursor1 = 0;
        w.view.cursor2 = w.capture.samplesPerChannel - 1;
        w.staleBits |= StaleCursors;
        RefreshCaptureWindow();
        return;
    case ControlMeasureButton:
        ShowPopupMenuBelow(App().popupMenu, w.window, w.measureButton);
        return;
    case ControlMathButton: {
        const FocusReturn focusReturn;
        if (ShowMathDialog(App().mainFrame, w.capture)) {
            App().currentWindow = &w; // the modal dialog ran its own event loop
            w.staleBits |= StaleMath;
            RefreshCaptureWindow();
        }
        return;
    }
    default:
        return;
    }
}

void CloseCaptureWindow()
{
    AppState& app = App();
    CaptureWindow* current = app.currentWindow;
    if (!current) return;
    app.currentWindow = nullptr;
    CloseMeasurementsWindow(*current);
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

void ShowPopupMenuBelow(QMenu* menu, QMdiSubWindow* owner, QWidget* control)
{
    if (!menu || !owner || !control) return;
    App().popupOwner = owner;
    if (App().mdiArea) App().mdiArea->setActiveSubWindow(owner);
    menu->popup(control->mapToGlobal(QPoint(0, control->height())));
}

void Measure(CaptureWindow& window, int32_t mode)
{
    window.resultsBox->setPlainText(
        BoxText(MeasureText(window.capture, window.view.cursor1, window.view.cursor2, mode)));
}

double ScreenPixelRatio(const CaptureWindow& window)
{
    return window.screenImage ? window.screenImage->PixelRatio() : 1.0;
}

QString BoxText(const QString& text)
{
    QString lines = text;
    lines.replace(u"\r\n"_s, u"\n"_s);
    return lines;
}
