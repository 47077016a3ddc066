// SPDX-License-Identifier: GPL-3.0-or-later
// The capture window's own controls: the screen canvas, the MDI child, the read-only text
// boxes and the settings tree's branch style; and the window's texts.
#include "app/capture_window.h"

#include "app/actions.h"
#include "app/app_state.h"
#include "app/artwork.h"
#include "app/main_frame.h"
#include "app/math_dialog.h"
#include "app/measurements_window.h"
#include "app/screen_navigation.h"
#include "app/spectrum_window.h"
#include "capture/file_name.h"
#include "readouts/readouts.h"
#include "screen/screen_renderer.h"
#include "text/format_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
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
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

ScreenCanvas::ScreenCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A click or Tab gives the screen the keys that move the view.
    setFocusPolicy(Qt::StrongFocus);
}

void ScreenCanvas::Render(const Capture& capture, const RenderRequest& request, double ratio)
{
    screen.Render(capture, request, ratio);
    update();
}

double ScreenCanvas::PixelRatio() const
{
    return std::max(1.0, devicePixelRatioF());
}

void ScreenCanvas::SetNavigation(ScreenNavigation* events)
{
    navigation = events;
    connect(navigation, &ScreenNavigation::rubberBandChanged, this, [this] { update(); });
}

void ScreenCanvas::paintEvent(QPaintEvent*)
{
    // On a screen with another ratio the image would be shown scaled: draw it afresh, after
    // this paint, and show the old one until then.
    if (!Image().isNull() && Image().devicePixelRatio() != PixelRatio() && onRatioChange)
        QMetaObject::invokeMethod(this, onRatioChange, Qt::QueuedConnection);
    QPainter painter(this);
    if (Image().isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(0, 0, Image());
    int32_t left = 0;
    int32_t right = 0;
    if (navigation && navigation->RubberBand(left, right)) {
        // The marked span over the whole height, see-through so the traces stay readable.
        const QRect band(left, 0, std::max(right - left, 1), height());
        painter.fillRect(band, QColor(255, 255, 255, 48));
        painter.setPen(QPen(QColor(255, 255, 255, 160), 0, Qt::DashLine));
        painter.drawRect(band.adjusted(0, 0, -1, -1));
    }
}

void ScreenCanvas::mousePressEvent(QMouseEvent* event)
{
    if (!navigation || !navigation->MousePress(*event)) QWidget::mousePressEvent(event);
}

void ScreenCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!navigation || !navigation->MouseMove(*event)) QWidget::mouseMoveEvent(event);
}

void ScreenCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (!navigation || !navigation->MouseRelease(*event)) QWidget::mouseReleaseEvent(event);
}

// The second press of a double click arrives as a double click; it still places a cursor.
void ScreenCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void ScreenCanvas::wheelEvent(QWheelEvent* event)
{
    if (navigation && navigation->Wheel(*event))
        event->accept();
    else
        event->ignore();
}

void ScreenCanvas::keyPressEvent(QKeyEvent* event)
{
    if (!navigation || !navigation->Key(*event)) QWidget::keyPressEvent(event);
}

CaptureSubWindow::CaptureSubWindow(QWidget* parent) : QMdiSubWindow(parent) {}

void CaptureSubWindow::closeEvent(QCloseEvent* event)
{
    // The window goes away through its capture window's Close, with its analysis windows.
    event->ignore();
    if (CaptureWindow* window = CaptureWindow::Of(this)) window->Close();
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

QStyle* SettingsTreeStyle()
{
    static QPointer<QProxyStyle> style;
    if (!style) {
        // The proxy takes ownership of its base, so it gets an instance of its own.
        style = new TreeBranchStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    return style;
}

ReadoutBox::ReadoutBox(QWidget* parent) : QPlainTextEdit(parent) {}

bool ReadoutBox::event(QEvent* event)
{
    // Left unclaimed, the key goes to the command's shortcut.
    if (event->type() == QEvent::ShortcutOverride &&
        IsCommandKey(static_cast<QKeyEvent*>(event)->keyCombination())) {
        event->ignore();
        return true;
    }
    return QPlainTextEdit::event(event);
}

QString NumberedTitle(const QString& name, const QStringList& others)
{
    if (!others.contains(name)) return name;
    for (int32_t number = 2;; ++number) {
        QString title = u"%1 (%2)"_s.arg(name).arg(number);
        if (!others.contains(title)) return title;
    }
}

QString BoxText(const QString& text)
{
    QString lines = text;
    lines.replace(u"\r\n"_s, u"\n"_s);
    return lines;
}
