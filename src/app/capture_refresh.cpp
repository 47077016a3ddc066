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
    if (w.SubWindow()->isMaximized())
        w.restoreHeightChange += shown ? CursorSectionHeight : -CursorSectionHeight;
    SetClientSize(w, QSize(w.width(), top + (shown ? CursorSectionHeight : 0)));
    if (LayOutControls(w)) w.staleBits |= Stale::ImageSize;
    w.screenImage->setCursor(shown ? Qt::CrossCursor : Qt::ArrowCursor);
    QWidget* const section[] = {w.cursor1Box,    w.cursor2Box, w.deltaBox,  w.selectAllButton,
                                w.measureButton, w.resultsBox, w.mathButton};
    for (QWidget* control : section)
        control->setEnabled(shown);
}

void CaptureWindow::Refresh()
{
    CaptureView& v = view;
    const Capture& c = capture;
    const int32_t n = c.samplesPerChannel;
    StaleBits& bits = staleBits;

    // What the refresh writes into the controls must not come back as new events.
    const QSignalBlocker blockScroll(scrollBar);
    const QSignalBlocker blockZoom(zoomSlider);
    const QSignalBlocker blockBox(showCursorsBox);
    refreshing = true;

    if (bits & Stale::Scrolled) {
        ScrollView(v, n, scrollBar->value());
        bits |= Stale::Offset;
    }
    if (bits & (Stale::Zoom | Stale::New)) {
        v.previousVisibleCount = v.visibleCount;
        v.visibleCount = VisibleCountFor(n, zoomSlider->value());
        bits |= Stale::VisibleCount;
    }
    if (bits & Stale::CursorToggle) {
        v.cursorsShown = showCursorsBox->isChecked() ? 1 : 0;
        bits |= Stale::CursorMode;
    }
    if (bits & Stale::New) {
        v.cursor1 = 0;
        v.cursor2 = n - 1;
        bits |= Stale::Cursors;
    }
    if (bits & Stale::New) {
        // The screen fills the space the window gives it: 600 x 400 in a new window.
        LayOutControls(*this);
        bits |= Stale::ImageSize;
    }
    if (bits & (Stale::VisibleCount | Stale::New)) {
        // The toolkit's scroll bar counts positions, not the end of the page: its maximum
        // is the last first sample, N - visibleCount.
        const ScrollRange range = ScrollRangeFor(v, n);
        scrollBar->setRange(0, std::max(range.maximum - range.page + 1, 0));
        scrollBar->setPageStep(range.page);
        RecentreView(v, n);
        bits |= Stale::Offset;
    }
    if (bits & Stale::CursorMode) ApplyCursorMode(*this);
    if (bits & Stale::New) {
        QStringList others;
        for (const CaptureWindow* other : CaptureWindows(sub->mdiArea()))
            if (other != this) others.append(other->sub->windowTitle());
        sub->setWindowTitle(NumberedTitle(CaptureTitle(c), others));
    }
    if ((bits & Stale::Offset) && !(bits & Stale::Scrolled)) scrollBar->setValue(v.firstSample);
    if (bits & Stale::New) FillSettingsList(*this);
    if (bits & (Stale::VisibleCount | Stale::New)) {
        const double zoomedTimePerDiv = n > 0 ? c.timePerDiv * v.visibleCount / n : 0.0;
        zoomLabel->setText(FormatText(
            QCoreApplication::translate("CaptureWindow", "Zoom: {0Sd5}s/DIV"), zoomedTimePerDiv));
        ++counts.zoomLabels;
    }
    if (bits & (Stale::CursorMode | Stale::Cursors | Stale::Math | Stale::New))
        UpdateCursorReadouts(*this);
    if (bits & (Stale::Math | Stale::New)) {
        if (c.present[SlotMath] == 1)
            mathLabel->setText(
                FormatText(QCoreApplication::translate("CaptureWindow", "Math: {0Sd5}V/DIV"),
                           c.voltsPerDiv[SlotMath]));
        else
            mathLabel->clear();
        ++counts.mathLabels;
    }
    // The kept image remembers the extremes of the samples it drew: a new capture, or a
    // MATH trace computed again into the same memory, must not be drawn from them.
    if (bits & (Stale::Math | Stale::New)) screenImage->ForgetSamples();
    if (bits & StaleRedrawMask) {
        screenImage->Render(c, WindowRenderRequest(v), ScreenPixelRatio());
        ++counts.renders;
    }
    RefreshMeasurementsWindow(*this, bits);
    FollowSpectrumWindow(*this, bits);
    FollowDecoding(*this, bits);
    bits = {};
    refreshing = false;
    // The navigation works on the view shown now, unless the wheel or a drag has already
    // moved on from it and the change is on its way here.
    navigation->SetPixelRatio(ScreenPixelRatio());
    if (!navigation->Pending()) navigation->SetView(v, n);
}
