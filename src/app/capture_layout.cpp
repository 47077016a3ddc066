// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/capture_layout.h"

#include "app/app_state.h"
#include "app/decode_strip_view.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTreeWidget>

#include <algorithm>

QSize MinimumClientSize(bool cursorsShown)
{
    const int32_t top = std::max(5 + MinScreenHeight + BelowScreen,
                                 5 + MinTreeHeight + (ClientHeightPlain - 5 - 350));
    // The cursor section's boxes and buttons keep their size; only the results box grows.
    const int32_t width = cursorsShown ? ClientWidth : 5 + MinScreenWidth + RightColumn;
    return QSize(width, top + (cursorsShown ? CursorSectionHeight : 0));
}

int32_t DecodeStripHeightOf(const CaptureWindow& w)
{
    return w.decodeStrip ? DecodeStripHeight(w.decodeStrip->Strip()) : 0;
}

// The smallest client area of `w`: the decode strip's rows come on top of the screen's least.
static QSize MinimumClientSizeOf(const CaptureWindow& w)
{
    return MinimumClientSize(w.view.cursorsShown != 0) + QSize(0, DecodeStripHeightOf(w));
}

// Places every control for the client's size: extra width and height go to the screen and
// its scroll bar, the right column keeps to the right edge with the tree taking the extra
// height, and the cursor section keeps to the bottom with the extra width in the results
// box. Without cursors the section lies just below the client edge, hidden. True when the
// screen image changed size.
bool LayOutControls(CaptureWindow& w)
{
    const bool shown = w.view.cursorsShown != 0;
    const QSize size = w.size().expandedTo(MinimumClientSizeOf(w));
    const int32_t strip = DecodeStripHeightOf(w);
    const int32_t width = size.width();
    const int32_t top = size.height() - (shown ? CursorSectionHeight : 0);
    const int32_t screenWidth = width - 5 - RightColumn;
    const int32_t screenHeight = top - 5 - BelowScreen - strip;
    const int32_t right = width - 205;
    w.screenImage->setGeometry(5, 5, screenWidth, screenHeight);
    // The strip lies directly under the screen, its columns under the screen's.
    if (w.decodeStrip) w.decodeStrip->setGeometry(5, 5 + screenHeight, screenWidth, strip);
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
void CaptureWindow::resizeEvent(QResizeEvent*)
{
    // Before the first refresh there is nothing to draw; the load draws at this size.
    if (LayOutControls(*this) && view.visibleCount > 0) {
        staleBits |= Stale::ImageSize;
        if (!refreshing) Refresh();
    }
}

// Sizes the subwindow so that its client area is `size` (at least the minimum for the
// cursor section's state); a maximised window goes on filling the area.
void SetClientSize(CaptureWindow& w, QSize size)
{
    const QSize minimum = MinimumClientSizeOf(w);
    w.wanted = size.expandedTo(minimum);
    w.setMinimumSize(minimum);
    QMdiSubWindow* const sub = w.SubWindow();
    const QSize decoration = sub->sizeHint() - w.wanted;
    sub->setMinimumSize(minimum + decoration);
    if (sub->isMaximized()) return;
    sub->resize(w.wanted + decoration);
    // A hidden window lays its client out only when shown; the refresh needs the size now.
    w.resize(w.wanted);
}
