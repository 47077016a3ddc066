// SPDX-License-Identifier: GPL-3.0-or-later
// Bringing a capture window up to date: the refresh turns the stale bits of one change
// into new control contents and at most one new screen picture.
#include "app/capture_window.h"

#include "app/app_state.h"
#include "app/capture_decoding.h"
#include "app/capture_layout.h"
#include "app/measurements_window.h"
#include "app/screen_navigation.h"
#include "app/spectrum_window.h"
#include "capture/file_name.h"
#include "readouts/readouts.h"
#include "screen/screen_renderer.h"
#include "text/format_text.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTreeWidget>

#include <algorithm>

// The window title: the file name, marked when the file was cut short.
static QString CaptureTitle(const Capture& capture)
{
    QString title = VisibleFileName(QFileInfo(capture.filePath).fileName());
    if (CaptureIncomplete(capture))
        title += QCoreApplication::translate("CaptureWindow", " (unvollständig)");
    return title;
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
    const int32_t top = w.view.imageHeight + 5 + BelowScreen + DecodeStripHeightOf(w);
    // A maximised window keeps filling the area; its normal size grows or shrinks by the
    // section when it is restored.
    if (w.window->isMaximized())
        w.restoreHeightChange += shown ? CursorSectionHeight : -CursorSectionHeight;
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
    if (bits & StaleNew) {
        QStringList others;
        for (const auto& entry : App().captureWindows)
            if (entry.get() != &w) others.append(entry->window->windowTitle());
        w.window->setWindowTitle(NumberedTitle(CaptureTitle(c), others));
    }
    if ((bits & StaleOffset) && !(bits & StaleScrolled)) w.scrollBar->setValue(v.firstSample);
    if (bits & StaleNew) FillSettingsList(w);
    if (bits & (StaleVisibleCount | StaleNew)) {
        const double zoomedTimePerDiv = n > 0 ? c.timePerDiv * v.visibleCount / n : 0.0;
        w.zoomLabel->setText(FormatText(
            QCoreApplication::translate("CaptureWindow", "Zoom: {0Sd5}s/DIV"), zoomedTimePerDiv));
        ++w.counts.zoomLabels;
    }
    if (bits & (StaleCursorMode | StaleCursors | StaleMath | StaleNew)) UpdateCursorReadouts(w);
    if (bits & (StaleMath | StaleNew)) {
        if (c.present[SlotMath] == 1)
            w.mathLabel->setText(
                FormatText(QCoreApplication::translate("CaptureWindow", "Math: {0Sd5}V/DIV"),
                           c.voltsPerDiv[SlotMath]));
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
    FollowDecoding(w, bits);
    bits = 0;
    w.refreshing = false;
    // The navigation works on the view shown now, unless the wheel or a drag has already
    // moved on from it and the change is on its way here.
    w.navigation->SetPixelRatio(ScreenPixelRatio(w));
    if (!w.navigation->Pending()) w.navigation->SetView(v, n);
}
