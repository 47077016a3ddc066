// SPDX-License-Identifier: GPL-3.0-or-later
// Capture windows of any size: sizing and maximising, presses mapped through the display's
// pixel ratio, the tile commands, and the focus after a modal box.
#include "app_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTreeWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Sizes the window from outside, as a drag of its frame would.
void ResizeClient(CaptureWindow& w, QSize client)
{
    w.SubWindow()->resize(client + (w.SubWindow()->size() - w.size()));
}

void Press(QWidget* target, double x, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, 10), target->mapToGlobal(QPointF(x, 10)),
                      button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

} // namespace

// Extra room goes to the screen; the right column keeps to the right edge (the tree takes
// the height), the cursor section to the bottom (the results box takes the width). The view
// stays, each step draws once, and the minimum holds a 240 x 160 screen.
TEST_F(AppTest, ResizeGivesTheScreenTheRoomAndAnchorsTheControls)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    w.zoomSlider->setValue(3);
    w.scrollBar->setValue(120);
    const CaptureView view = w.view;
    // Default place, and whether it moves with dx, dy or grows by them.
    struct Control {
        QWidget* widget;
        QRect place;
        int moveX, moveY, growX, growY;
    } const controls[] = {
        {w.screenImage, {5, 5, 600, 400}, 0, 0, 1, 1},
        {w.scrollBar, {5, 410, 600, 30}, 0, 1, 1, 0},
        {w.settingsTree, {610, 5, 200, 350}, 1, 0, 0, 1},
        {w.zoomSlider, {610, 410, 200, 30}, 1, 1, 0, 0},
        {w.selectAllButton, {440, 445, 100, 20}, 0, 1, 0, 0},
        {w.resultsBox, {550, 460, 255, 75}, 0, 1, 1, 0},
    };
    struct Case {
        bool cursors;
        QSize asked, client;
    } const cases[] = {
        {true, {1115, 745}, {1115, 745}},
        {true, {300, 100}, {815, 305}},
        {false, {300, 100}, {455, 205}},
        {false, {815, 445}, {815, 445}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.asked.width()) + (c.cursors ? " with cursors" : ""));
        w.showCursorsBox->setChecked(c.cursors);
        const int32_t renders = w.counts.renders;
        ResizeClient(w, c.asked);
        EXPECT_EQ(w.counts.renders, renders + 1);
        ASSERT_EQ(w.size(), c.client);
        const int dx = c.client.width() - ClientWidth;
        const int dy = c.client.height() - (c.cursors ? ClientHeightCursors : ClientHeightPlain);
        for (const Control& control : controls) {
            // Out of sight below a narrow window without cursors, the results box keeps its
            // default width instead of a negative one.
            const int growX = control.widget == w.resultsBox ? std::max(dx, 0) : dx;
            EXPECT_EQ(control.widget->geometry(),
                      control.place.translated(dx * control.moveX, dy * control.moveY)
                          .adjusted(0, 0, growX * control.growX, dy * control.growY));
        }
        EXPECT_EQ(w.screenImage->Image().deviceIndependentSize(), QSizeF(600 + dx, 400 + dy));
        EXPECT_EQ(std::tie(w.view.firstSample, w.view.visibleCount),
                  std::tie(view.firstSample, view.visibleCount));
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
        const QRect normal = w.SubWindow()->geometry();
        const QImage before = w.screenImage->Image();
        const int32_t renders = w.counts.renders;
        w.SubWindow()->showMaximized();
        EXPECT_EQ(w.SubWindow()->geometry(), frame->MdiArea()->viewport()->rect());
        EXPECT_EQ(w.view.imageWidth, w.width() - 215);
        EXPECT_GT(w.view.imageHeight, 600);
        w.SubWindow()->showNormal();
        EXPECT_EQ(w.counts.renders, renders + 2);
        EXPECT_EQ(w.SubWindow()->geometry(), normal);
        EXPECT_EQ(w.screenImage->Image(), before);
    }
}

// The cursor section turned on or off while maximised: the restored window still shows a
// 600 x 400 screen.
TEST_F(AppTest, CursorsToggledWhileMaximisedKeepTheRestoredScreen)
{
    Start({WriteCapture(u"a.sav"_s)});
    frame->showNormal();
    frame->resize(1600, 1000);
    CaptureWindow& w = Window();
    for (bool cursors : {true, false}) {
        SCOPED_TRACE(cursors);
        w.SubWindow()->showMaximized();
        w.showCursorsBox->setChecked(cursors);
        w.SubWindow()->showNormal();
        EXPECT_EQ(w.view.imageWidth, 600);
        EXPECT_EQ(w.view.imageHeight, 400);
        EXPECT_EQ(w.screenImage->Image().size(), QSize(600, 400));
    }
}

// A press lands on the device column under the pointer; these positions give the same
// samples at ratio 1 and 2 (ctest runs this also with QT_SCALE_FACTOR=2).
TEST_F(AppTest, PressMapsToTheSampleUnderThePointerAtAnySizeAndRatio)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    w.showCursorsBox->setChecked(true);
    w.zoomSlider->setValue(1); // samples 100 .. 899
    struct Case {
        int clientWidth;
        double x;
        int32_t sample;
    } const cases[] = {{815, 0, 100},  {815, 599, 898},  {815, 300, 500},
                       {1115, 1, 100}, {1115, 450, 500}, {1115, 899, 899}};
    const double ratio = w.ScreenPixelRatio();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.clientWidth) + " x=" + std::to_string(c.x));
        ResizeClient(w, QSize(c.clientWidth, 545));
        EXPECT_EQ(w.screenImage->Image().size(),
                  QSize(w.view.imageWidth, w.view.imageHeight) * ratio);
        Press(w.screenImage, c.x, Qt::RightButton);
        EXPECT_EQ(w.view.cursor2, c.sample);
    }
}

// On a 1600 x 1000 frame the windows fill tiles that do not overlap; when the area cannot
// hold them all, every title bar still shows.
TEST_F(AppTest, TileCommandsShowEveryWindow)
{
    const QString a = WriteCapture(u"a.sav"_s);
    for (int32_t count : {1, 3, 20}) {
        Start(QStringList(count, a));
        frame->showNormal();
        frame->resize(1600, 1000);
        const QRect area = frame->MdiArea()->viewport()->rect();
        for (Command id : {Command::TileVertical, Command::TileHorizontal}) {
            SCOPED_TRACE(std::to_string(count) + " windows, command " +
                         std::to_string(static_cast<int32_t>(id)));
            frame->RunCommand(id);
            const QList<QMdiSubWindow*> stack =
                frame->MdiArea()->subWindowList(QMdiArea::StackingOrder);
            ASSERT_EQ(stack.size(), count);
            EXPECT_TRUE(count > 1 || stack.at(0)->geometry() == area);
            for (qsizetype i = 0; i < count; ++i) {
                const QRect place = stack.at(i)->geometry();
                EXPECT_TRUE(area.contains(place)) << i;
                const QRect title(place.topLeft(),
                                  QSize(place.width(), stack.at(i)->widget()->y()));
                for (qsizetype above = i + 1; above < count; ++above) {
                    const QRect other = stack.at(above)->geometry();
                    EXPECT_FALSE(other.intersects(title)) << i << " under " << above;
                    EXPECT_TRUE(count > 3 || !other.intersects(place)) << i << " " << above;
                }
            }
        }
        delete frame;
        frame = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Whatever a dialog or box did with the focus, the widget that had it gets it back.
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
    for (const QString& answer : {QString(), folder.filePath(u"missing/x.csv"_s)}) {
        SCOPED_TRACE(answer.isEmpty() ? "save dialog cancelled" : "error box");
        w.zoomSlider->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), w.zoomSlider);
        saveAnswer = answer;
        frame->RunCommand(Command::ExportCsv);
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), w.zoomSlider);
    }
}
