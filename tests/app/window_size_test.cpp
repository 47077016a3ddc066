// SPDX-License-Identifier: GPL-3.0-or-later
// Capture windows of any size: sizing and maximising, presses mapped through the display's
// pixel ratio, the tile commands, and the focus after a modal box.
#include "app_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// Sizes the window from outside, as a drag of its frame would, so that the client area
// becomes `client`.
void ResizeClient(CaptureWindow& w, QSize client)
{
    w.window->resize(client + (w.window->size() - w.client->size()));
}

void Press(QWidget* target, double x, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, 10), target->mapToGlobal(QPointF(x, 10)),
                      button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

} // namespace

// Extra width and height go to the screen; the right column keeps to the right edge with
// the tree taking the height, the cursor section keeps to the bottom with the results box
// taking the width. The view stays and each step draws once.
TEST_F(AppTest, ResizeGivesTheScreenTheRoomAndAnchorsTheControls)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    w.zoomSlider->setValue(3);
    w.scrollBar->setValue(120);
    w.showCursorsBox->setChecked(true);
    Press(w.screenImage, 100, Qt::LeftButton);
    const CaptureView view = w.view;

    // The default place of each control, and how it follows a change of dx, dy: moved with
    // the right or bottom edge, or grown.
    struct Control {
        QWidget* widget;
        QRect place;
        int moveX, moveY, growX, growY;
    } const controls[] = {
        {w.screenImage, {5, 5, 600, 400}, 0, 0, 1, 1},
        {w.scrollBar, {5, 410, 600, 30}, 0, 1, 1, 0},
        {w.settingsTree, {610, 5, 200, 350}, 1, 0, 0, 1},
        {w.showCursorsBox, {610, 360, 200, 20}, 1, 1, 0, 0},
        {w.zoomLabel, {610, 385, 200, 20}, 1, 1, 0, 0},
        {w.zoomSlider, {610, 410, 200, 30}, 1, 1, 0, 0},
        {w.cursor1Frame, {5, 445, 140, 95}, 0, 1, 0, 0},
        {w.cursor1Box, {10, 460, 130, 75}, 0, 1, 0, 0},
        {w.cursor2Box, {155, 460, 130, 75}, 0, 1, 0, 0},
        {w.deltaBox, {300, 460, 130, 75}, 0, 1, 0, 0},
        {w.selectAllButton, {440, 445, 100, 20}, 0, 1, 0, 0},
        {w.mathButton, {440, 495, 100, 20}, 0, 1, 0, 0},
        {w.mathLabel, {435, 520, 110, 20}, 0, 1, 0, 0},
        {w.resultsFrame, {545, 445, 265, 95}, 0, 1, 1, 0},
        {w.resultsBox, {550, 460, 255, 75}, 0, 1, 1, 0},
    };
    struct Case {
        bool cursors;
        QSize asked;
        QSize client; // the minimum holds a 240 x 160 screen, a 100-pixel tree
    } const cases[] = {
        {true, {1115, 745}, {1115, 745}},  {true, {300, 100}, {815, 305}},
        {false, {1300, 500}, {1300, 500}}, {false, {300, 100}, {455, 205}},
        {true, {900, 700}, {900, 700}},    {false, {815, 445}, {815, 445}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.asked.width()) + "x" + std::to_string(c.asked.height()) +
                     (c.cursors ? " with cursors" : ""));
        w.showCursorsBox->setChecked(c.cursors);
        const int32_t renders = w.counts.renders;
        ResizeClient(w, c.asked);
        EXPECT_EQ(w.counts.renders, renders + 1);
        ASSERT_EQ(w.client->size(), c.client);
        const int dx = c.client.width() - ClientWidth;
        const int dy = c.client.height() - (c.cursors ? ClientHeightCursors : ClientHeightPlain);
        for (const Control& control : controls) {
            SCOPED_TRACE(control.place.x() * 1000 + control.place.y());
            const QRect expected = control.place.translated(dx * control.moveX, dy * control.moveY)
                                       .adjusted(0, 0, dx * control.growX, dy * control.growY);
            EXPECT_EQ(control.widget->geometry(), expected);
        }
        const QSize screen(600 + dx, 400 + dy);
        EXPECT_EQ(QSize(w.view.imageWidth, w.view.imageHeight), screen);
        EXPECT_EQ(w.screenImage->Image().deviceIndependentSize(), QSizeF(screen));
        EXPECT_EQ(w.view.firstSample, view.firstSample);
        EXPECT_EQ(w.view.visibleCount, view.visibleCount);
        EXPECT_EQ(w.view.cursor1, view.cursor1);
        EXPECT_EQ(w.view.cursor2, view.cursor2);
        EXPECT_EQ(w.staleBits, 0);
    }
}

TEST_F(AppTest, MaximiseFillsTheAreaAndRestoreGivesTheSizeBack)
{
    Start({WriteCapture(u"a.sav"_s)});
    frame->showNormal();
    frame->resize(1600, 1000);
    CaptureWindow& w = Window();
    for (bool cursors : {false, true}) {
        SCOPED_TRACE(cursors);
        w.showCursorsBox->setChecked(cursors);
        const QRect normal = w.window->geometry();
        const QImage before = w.screenImage->Image();
        const int32_t renders = w.counts.renders;
        w.window->showMaximized();
        EXPECT_EQ(w.counts.renders, renders + 1);
        EXPECT_EQ(w.window->geometry(), frame->MdiArea()->viewport()->rect());
        EXPECT_EQ(w.view.imageWidth, w.client->width() - 215);
        EXPECT_GT(w.view.imageWidth * w.view.imageHeight, 600 * 400);
        EXPECT_EQ(w.screenImage->size(), QSize(w.view.imageWidth, w.view.imageHeight));
        w.window->showNormal();
        EXPECT_EQ(w.counts.renders, renders + 2);
        EXPECT_EQ(w.window->geometry(), normal);
        EXPECT_EQ(w.screenImage->Image(), before);
    }
}

// At the display's ratio r the press lands on the device column under the pointer; these
// positions give the same samples at r = 1 and r = 2 (ctest runs this also at r = 2).
TEST_F(AppTest, PressMapsToTheSampleUnderThePointerAtAnySizeAndRatio)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    w.showCursorsBox->setChecked(true);
    w.zoomSlider->setValue(1); // samples 100 .. 899
    struct Case {
        QSize client;
        double x;
        int32_t sample;
    } const cases[] = {
        {{815, 545}, 0, 100},    {{815, 545}, 599, 898},  {{815, 545}, 300, 500},
        {{1115, 545}, 450, 500}, {{1115, 545}, 899, 899}, {{1115, 545}, 1, 100},
    };
    const double ratio = ScreenPixelRatio(w);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.client.width()) + " x=" + std::to_string(c.x));
        ResizeClient(w, c.client);
        const QSize screen(w.view.imageWidth, w.view.imageHeight);
        EXPECT_EQ(w.screenImage->Image().size(), screen * ratio);
        EXPECT_EQ(w.screenImage->Image().devicePixelRatio(), ratio);
        Press(w.screenImage, c.x, Qt::RightButton);
        EXPECT_EQ(w.view.cursor2, c.sample);
    }
}

// On a 1600 x 1000 frame: the windows are sized to tiles that do not overlap; when the
// area cannot hold them all, every title bar still shows.
TEST_F(AppTest, TileCommandsShowEveryWindow)
{
    const QString a = WriteCapture(u"a.sav"_s);
    for (int32_t count : {1, 3, 20}) {
        Start(QStringList(count, a));
        frame->showNormal();
        frame->resize(1600, 1000);
        const QRect area = frame->MdiArea()->viewport()->rect();
        for (int32_t id : {CommandTileVertical, CommandTileHorizontal}) {
            SCOPED_TRACE(std::to_string(count) + " windows, command " + std::to_string(id));
            frame->RunCommand(id);
            const QList<QMdiSubWindow*> stack =
                frame->MdiArea()->subWindowList(QMdiArea::StackingOrder);
            ASSERT_EQ(stack.size(), count);
            for (qsizetype i = 0; i < stack.size(); ++i) {
                const QRect place = stack.at(i)->geometry();
                EXPECT_TRUE(area.contains(place)) << i;
                const QRect title(place.topLeft(),
                                  QSize(place.width(), stack.at(i)->widget()->y()));
                QRect screen = stack.at(i)->widget()->findChild<ScreenCanvas*>()->geometry();
                screen.translate(place.topLeft() + stack.at(i)->widget()->pos());
                for (qsizetype above = i + 1; above < stack.size(); ++above) {
                    const QRect other = stack.at(above)->geometry();
                    EXPECT_FALSE(other.intersects(title)) << i << " under " << above;
                    // Three windows fit in their tiles: no overlap at all.
                    EXPECT_TRUE(count > 3 || !other.intersects(place)) << i << " " << above;
                }
                EXPECT_TRUE(count > 3 || area.contains(screen));
            }
            EXPECT_TRUE(count > 1 || stack.at(0)->geometry() == area);
        }
        delete frame;
        frame = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Whatever a dialog or box does with the focus, the widget that had it gets it back.
TEST_F(AppTest, FocusReturnsAfterEveryModalBox)
{
    Start({WriteCapture(u"a.sav"_s)});
    frame->activateWindow();
    QCoreApplication::processEvents();
    CaptureWindow& w = Window();
    const auto lose = [] {
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    };
    Platform().errorBox = [&](QWidget*, const QString&, const QString&) { lose(); };
    Platform().saveDialog = [&](QWidget*, const FileDialogRequest&) {
        lose();
        return saveAnswer;
    };
    Platform().openDialog = [&](QWidget*, const FileDialogRequest&) {
        lose();
        return QStringList();
    };
    struct Case {
        const char* what;
        int32_t command;
        QString answer;
    } const cases[] = {
        {"save dialog cancelled", CommandExportCsv, QString()},
        {"error box", CommandExportCsv, folder.filePath(u"missing/x.csv"_s)},
        {"open dialog cancelled", CommandOpen, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w.zoomSlider->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), w.zoomSlider);
        saveAnswer = c.answer;
        frame->RunCommand(c.command);
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), w.zoomSlider);
    }
}
