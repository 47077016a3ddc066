// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/capture_layout.h"

#include "app/app_state.h"
#include "app/decode_strip_view.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
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

namespace {

// A frame with its read-only box inside, 5 pixels from its sides and below its title. The
// box is the window's child, not the frame's, so both lie in the one cell.
QLayout* FramedBox(QGroupBox* frame, QWidget* box, int32_t width)
{
    auto* cell = new QGridLayout;
    cell->setContentsMargins(0, 0, 0, 0);
    cell->addWidget(frame, 0, 0);
    auto* inside = new QVBoxLayout;
    inside->setContentsMargins(5, 15, 5, 5);
    inside->addWidget(box);
    cell->addLayout(inside, 0, 0);
    frame->setFixedHeight(CursorSectionHeight - 5);
    box->setFixedHeight(CursorSectionHeight - 25);
    if (width > 0) {
        frame->setFixedWidth(width);
        box->setFixedWidth(width - 10);
    } else {
        // The results box takes the extra width, but gives none away below the default.
        frame->setMinimumWidth(ClientWidth - 550);
        box->setMinimumWidth(ClientWidth - 560);
        frame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    return cell;
}

} // namespace

// Extra width and height go to the screen and its scroll bar; the right column keeps to
// the right edge with the tree taking the extra height; the cursor section keeps to the
// bottom with the extra width in the results box. Everything keeps 5 pixels apart.
void BuildLayout(CaptureWindow& w)
{
    constexpr int32_t Gap = 5;
    constexpr int32_t Column = RightColumn - 2 * Gap; // the settings tree's width

    w.screenImage->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    w.screenImage->setMinimumSize(MinScreenWidth, MinScreenHeight);
    w.screenColumn = new QVBoxLayout;
    w.screenColumn->setSpacing(0);
    w.screenColumn->addWidget(w.screenImage);
    w.scrollBar->setFixedHeight(BelowScreen - 2 * Gap);
    w.settingsTree->setFixedWidth(Column);
    w.settingsTree->setMinimumHeight(MinTreeHeight);
    w.settingsTree->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    w.showCursorsBox->setFixedSize(Column, 20);
    w.zoomLabel->setFixedSize(Column, 20);
    w.zoomSlider->setFixedSize(Column, BelowScreen - 2 * Gap);

    auto* upper = new QGridLayout;
    upper->setContentsMargins(Gap, Gap, Gap, Gap);
    upper->setSpacing(Gap);
    upper->addLayout(w.screenColumn, 0, 0, 3, 1);
    upper->addWidget(w.scrollBar, 3, 0);
    upper->addWidget(w.settingsTree, 0, 1);
    upper->addWidget(w.showCursorsBox, 1, 1);
    upper->addWidget(w.zoomLabel, 2, 1);
    upper->addWidget(w.zoomSlider, 3, 1);
    upper->setRowStretch(0, 1);
    upper->setColumnStretch(0, 1);

    // The buttons in a column 10 pixels wider than they are, which the math label fills.
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(Gap);
    for (QPushButton* button : {w.selectAllButton, w.measureButton, w.mathButton}) {
        button->setFixedSize(100, 20);
        buttons->addWidget(button, 0, Qt::AlignHCenter);
    }
    w.mathLabel->setFixedSize(110, 20);
    buttons->addWidget(w.mathLabel);

    w.cursorSection = new QHBoxLayout;
    w.cursorSection->setContentsMargins(Gap, 0, Gap, Gap);
    w.cursorSection->setSpacing(0);
    w.cursorSection->addLayout(FramedBox(w.cursor1Frame, w.cursor1Box, 140));
    w.cursorSection->addSpacing(Gap);
    w.cursorSection->addLayout(FramedBox(w.cursor2Frame, w.cursor2Box, 140));
    w.cursorSection->addSpacing(Gap);
    w.cursorSection->addLayout(FramedBox(w.deltaFrame, w.deltaBox, 140));
    w.cursorSection->addLayout(buttons);
    w.cursorSection->addLayout(FramedBox(w.resultsFrame, w.resultsBox, 0), 1);

    auto* whole = new QVBoxLayout(&w);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->setSpacing(0);
    // The window's size is set from MinimumClientSize, not from the layout's measures.
    whole->setSizeConstraint(QLayout::SetNoConstraint);
    whole->addLayout(upper, 1);
    // A child of the window's layout, which adds it while the cursors are shown.
    w.cursorSection->setParent(whole);
}

// Lays the controls out for the client's size, the cursor section shown or not and the
// decode strip at its height. True when the screen image changed size.
bool LayOutControls(CaptureWindow& w)
{
    const bool shown = w.view.cursorsShown != 0;
    // Without cursors the section is in no layout: it lies just below the client's edge,
    // out of sight, until the window grows by its height again.
    auto* whole = static_cast<QBoxLayout*>(w.layout());
    const bool placed = whole->indexOf(w.cursorSection) >= 0;
    if (shown && !placed) {
        w.cursorSection->setParent(nullptr); // a layout takes in only a parentless one
        whole->addLayout(w.cursorSection);
    }
    if (!shown && placed) {
        whole->removeItem(w.cursorSection);
        w.cursorSection->setParent(whole); // still goes with the window
    }
    if (w.decodeStrip) w.decodeStrip->setFixedHeight(DecodeStripHeightOf(w));
    whole->invalidate();
    whole->activate();
    if (!shown)
        w.cursorSection->setGeometry(
            QRect(0, w.height(), std::max(w.width(), ClientWidth), CursorSectionHeight));
    ++w.counts.layouts;
    CaptureView& v = w.view;
    const QSize screen = w.screenImage->size();
    const bool changed = v.imageWidth != screen.width() || v.imageHeight != screen.height();
    v.imageWidth = screen.width();
    v.imageHeight = screen.height();
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
