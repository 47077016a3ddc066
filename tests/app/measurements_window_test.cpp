// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/measurements.h"
#include "app/measurements_window.h"
#include "math/math_channel.h"

#include "app_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

CaptureWindow& WindowTitled(const QString& title)
{
    for (const auto& entry : App().captureWindows)
        if (entry->window->windowTitle() == title) return *entry;
    ADD_FAILURE() << title.toStdString();
    return *App().captureWindows.front();
}

} // namespace

TEST_F(AppTest, AnalysisMenuOpensOneMeasurementsWindowPerCaptureWindow)
{
    Start();
    QStringList menus;
    for (QAction* menu : frame->menuBar()->actions())
        menus.append(menu->text());
    EXPECT_EQ(menus, (QStringList{u"&Datei"_s, u"&Analyse"_s, u"&Fenster"_s, u"&?"_s}));
    QMenu* analysis = frame->menuBar()->actions().at(1)->menu();
    QAction* item = analysis->actions().at(0);
    EXPECT_EQ(item->text(), u"&Messungen...\tStrg+M"_s);
    EXPECT_EQ(CommandForKey(Qt::Key_M, Qt::ControlModifier), CommandMeasurements);
    Q_EMIT analysis->aboutToShow();
    EXPECT_FALSE(item->isEnabled());
    frame->RunCommand(CommandMeasurements); // no window: nothing

    frame->OpenPaths({WriteCapture(u"a.sav"_s), WriteCapture(u"b.sav"_s, 1000, 1)});
    Q_EMIT analysis->aboutToShow();
    EXPECT_TRUE(item->isEnabled());
    CaptureWindow& a = WindowTitled(u"a.sav"_s);
    CaptureWindow& b = WindowTitled(u"b.sav"_s);
    frame->MdiArea()->setActiveSubWindow(a.window);
    frame->RunCommand(CommandMeasurements);
    QPointer<MeasurementsWindow> m = a.measurementsWindow;
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->isVisible());
    EXPECT_EQ(m->windowTitle(), u"Messungen - a.sav"_s);
    ASSERT_EQ(m->table->columnCount(), 2);
    EXPECT_EQ(m->table->horizontalHeaderItem(1)->text(), u"Kanal 2"_s);
    EXPECT_EQ(m->table->verticalHeaderItem(MeasurementFrequency)->text(), u"Frequenz"_s);
    for (int32_t key = 0; key < MeasurementCount; ++key)
        EXPECT_FALSE(m->table->item(key, 0)->toolTip().isEmpty());
    m->close();
    frame->RunCommand(CommandMeasurements);
    EXPECT_EQ(a.measurementsWindow, m.data()); // the same window, shown again
    EXPECT_TRUE(m->isVisible());

    frame->MdiArea()->setActiveSubWindow(b.window);
    frame->RunCommand(CommandMeasurements);
    ASSERT_TRUE(b.measurementsWindow);
    EXPECT_NE(b.measurementsWindow, m.data());
    EXPECT_EQ(b.measurementsWindow->table->columnCount(), 1);

    ASSERT_TRUE(FindCaptureWindow(a.window));
    CloseCaptureWindow();
    EXPECT_TRUE(m.isNull());
}

TEST_F(AppTest, MeasurementsFollowTheRefreshOncePerRelevantChange)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    frame->RunCommand(CommandMeasurements);
    MeasurementsWindow& m = *w.measurementsWindow;
    EXPECT_EQ(m.recomputations, 1);

    const auto mathChange = [&] {
        MathSettings settings{};
        ASSERT_TRUE(ParseMathSpec(u"x*y:ch1:ch2", settings));
        ComputeMath(w.capture, settings);
        w.staleBits |= StaleMath;
        ASSERT_TRUE(FindCaptureWindow(w.window));
        RefreshCaptureWindow();
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int32_t recomputations; // in this step
        int32_t first;
        int32_t last;
    };
    const Step steps[] = {
        {"zoom 80 %", [&] { w.zoomSlider->setValue(1); }, 1, 100, 899},
        {"scroll", [&] { w.scrollBar->setValue(50); }, 1, 50, 849},
        {"cursors on", [&] { w.showCursorsBox->setChecked(true); }, 1, 0, 999},
        {"scroll under the cursors", [&] { w.scrollBar->setValue(0); }, 0, 0, 999},
        {"cursor 1", [&] { Control(w, ControlScreenImage, ControlEventLeftPress, 300); }, 1, 400,
         999},
        {"same cursor again", [&] { Control(w, ControlScreenImage, ControlEventLeftPress, 300); },
         0, 400, 999},
        {"math", mathChange, 1, 400, 999},
        {"hidden", [&] { m.hide(), w.showCursorsBox->setChecked(false); }, 0, 400, 999},
        {"shown again", [&] { ShowMeasurementsWindow(w); }, 1, 0, 799},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const int32_t before = m.recomputations;
        step.act();
        EXPECT_EQ(m.recomputations - before, step.recomputations);
        EXPECT_EQ(m.first, step.first);
        EXPECT_EQ(m.last, step.last);
    }
    const QString expected = MeasurementTableText(MeasureAll(w.capture, 0, 799), false);
    EXPECT_EQ(m.text, expected);
    EXPECT_EQ(m.table->columnCount(), 3);

    // "Kopieren" and Ctrl+C in the table put the whole table on the clipboard.
    QClipboard* board = QGuiApplication::clipboard();
    board->clear();
    m.copyButton->click();
    EXPECT_EQ(board->text(), expected);
    board->clear();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(m.table, &press);
    EXPECT_EQ(board->text(), expected);
}
