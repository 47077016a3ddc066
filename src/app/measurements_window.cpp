// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/measurements_window.h"

#include "analysis/measurements.h"
#include "app/actions.h"
#include "app/app_state.h"
#include "app/capture_window.h"
#include "app/main_frame.h"
#include "app/window_arrangement.h"
#include "capture/file_name.h"
#include "readouts/readouts.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

static void CopyTable(const MeasurementsWindow* window)
{
    // A missing clipboard is silent, as every clipboard failure.
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(window->text);
}

// A dialog in the window system's eyes: it stays above the frame it belongs to, but it is
// never modal.
MeasurementsWindow::MeasurementsWindow(CaptureWindow* owner) : QWidget(owner, Qt::Dialog)
{
    table = new QTableWidget(MeasurementCount, 0, this);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int32_t key = 0; key < MeasurementCount; ++key) {
        auto* header = new QTableWidgetItem(MeasurementLabel(key));
        header->setToolTip(MeasurementDefinition(key));
        table->setVerticalHeaderItem(key, header);
    }
    copyButton =
        new QPushButton(QCoreApplication::translate("MeasurementsWindow", "Kopieren"), this);
    connect(copyButton, &QPushButton::clicked, this, [this] { CopyTable(this); });
    table->installEventFilter(this);
    // The frame's keyed commands work here too, all but Ctrl+C, which copies the table.
    if (auto* frame = dynamic_cast<MainFrame*>(App().mainFrame))
        addActions(SharedWindowActions(frame->Actions()));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(buttons);
}

// Ctrl+C in the table copies all of it, not just the current cell as the table would.
bool MeasurementsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopyTable(this);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Between the cursors while they are shown, otherwise the samples on the screen.
static std::pair<int32_t, int32_t> MeasuredRange(const CaptureView& view)
{
    if (view.cursorsShown) return std::minmax(view.cursor1, view.cursor2);
    return {view.firstSample, view.firstSample + std::max(view.visibleCount, 1) - 1};
}

static void FillTable(MeasurementsWindow& m, const Capture& capture)
{
    const MeasurementTable result = MeasureAll(capture, m.first, m.last);
    int32_t column = 0;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (result.present[slot] != 1) continue;
        if (column >= m.table->columnCount()) m.table->setColumnCount(column + 1);
        m.table->setHorizontalHeaderItem(column, new QTableWidgetItem(ChannelName(slot)));
        for (int32_t key = 0; key < MeasurementCount; ++key) {
            QTableWidgetItem* item = m.table->item(key, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                item->setToolTip(MeasurementDefinition(key));
                m.table->setItem(key, column, item);
            }
            item->setText(MeasurementValueText(key, result.channels[slot].value[key]));
        }
        ++column;
    }
    m.table->setColumnCount(column);
    m.text = MeasurementTableText(result, false);
    ++m.recomputations;
}

// Recomputes a shown window whose range moved or whose samples changed.
static void UpdateMeasurements(CaptureWindow& window)
{
    MeasurementsWindow& m = *window.measurementsWindow;
    const auto [first, last] = MeasuredRange(window.view);
    if (first != m.first || last != m.last) m.stale = true;
    if (!m.stale || !m.isVisible()) return;
    m.first = first;
    m.last = last;
    m.stale = false;
    FillTable(m, window.capture);
}

// Large enough for every row and value, so that the first view needs no scrolling.
static QSize FittingSize(const MeasurementsWindow& m)
{
    // The view's own measure of a column is public only on its base.
    const QAbstractItemView* view = m.table;
    const QTableWidget* t = m.table;
    int32_t width = t->verticalHeader()->sizeHint().width() + 2 * t->frameWidth();
    for (int32_t column = 0; column < t->columnCount(); ++column)
        width += std::max(view->sizeHintForColumn(column), 90) + 12;
    const int32_t height = t->horizontalHeader()->sizeHint().height() +
                           t->verticalHeader()->length() + 2 * t->frameWidth();
    const QMargins margins = m.layout()->contentsMargins();
    return {std::max(width, 360) + margins.left() + margins.right(),
            height + m.layout()->spacing() + m.copyButton->sizeHint().height() + margins.top() +
                margins.bottom()};
}

QRect OwnerPlace(const CaptureWindow& window)
{
    const QMdiSubWindow* sub = window.SubWindow();
    return QRect(sub->mapToGlobal(QPoint(0, 0)), sub->size());
}

int32_t ClearBelow(const CaptureWindow& window)
{
    return window.mapToGlobal(QPoint(0, 0)).y();
}

void ShowMeasurementsWindow(CaptureWindow& window)
{
    MeasurementsWindow* m = window.measurementsWindow;
    const bool created = !m;
    if (created) {
        m = window.measurementsWindow = new MeasurementsWindow(&window);
        m->setWindowTitle(QCoreApplication::translate("MeasurementsWindow", "Messungen - ") +
                          window.SubWindow()->windowTitle());
    }
    m->show();
    UpdateMeasurements(window);
    if (created) {
        m->resize(FittingSize(*m));
        m->move(AnalysisWindowPlace(OwnerPlace(window), ClearBelow(window),
                                    m->frameGeometry().size(), m->screen()->availableGeometry()));
    }
    m->raise();
    m->activateWindow();
}

void RefreshMeasurementsWindow(CaptureWindow& window, StaleBits staleBits)
{
    if (!window.measurementsWindow) return;
    if (staleBits & (Stale::Math | Stale::New)) window.measurementsWindow->stale = true;
    UpdateMeasurements(window);
}
