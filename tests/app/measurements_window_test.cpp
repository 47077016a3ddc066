// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/measurements.h"
#include "app/measurements_window.h"
#include "app/screen_navigation.h"
#include "app/spectrum_window.h"
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
#include <QTest>
#include <QWheelEvent>

#include <functional>

using namespace Qt::StringLiterals;

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
    EXPECT_EQ(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    Q_EMIT analysis->aboutToShow();
    EXPECT_FALSE(item->isEnabled());
    frame->RunCommand(Command::Measurements); // no window: nothing

    frame->OpenPaths({WriteCapture(u"a.sav"_s), WriteCapture(u"b.sav"_s, 1000, 1)});
    Q_EMIT analysis->aboutToShow();
    EXPECT_TRUE(item->isEnabled());
    QPointer<MeasurementsWindow> shown[2];
    for (int32_t pass = 0; pass < 3; ++pass) { // a, b, a again: the same window
        CaptureWindow& w = Window(pass % 2);
        frame->MdiArea()->setActiveSubWindow(w.SubWindow());
        frame->RunCommand(Command::Measurements);
        ASSERT_TRUE(w.measurementsWindow && w.measurementsWindow->isVisible());
        EXPECT_EQ(w.spectrumWindow.data(), nullptr); // only the command's own window opens
        if (pass < 2) shown[pass] = w.measurementsWindow;
        EXPECT_EQ(w.measurementsWindow, shown[pass % 2].data());
        EXPECT_EQ(w.measurementsWindow->windowTitle(),
                  u"Messungen - "_s + w.SubWindow()->windowTitle());
        EXPECT_EQ(w.measurementsWindow->table->columnCount(), pass % 2 ? 2 : 1);
        w.measurementsWindow->close();
    }
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_FALSE(shown[0]->table->item(MeasurementRise, 0)->toolTip().isEmpty());
    Window(0).Close();
    EXPECT_TRUE(shown[0].isNull());
}

TEST_F(AppTest, MeasurementsFollowTheRefreshOncePerRelevantChange)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    frame->RunCommand(Command::Measurements);
    MeasurementsWindow& m = *w.measurementsWindow;
    EXPECT_EQ(m.recomputations, 1);

    const auto mathChange = [&] {
        MathSettings settings{};
        ASSERT_TRUE(ParseMathDefinition(u"x*y:ch1:ch2", settings));
        ComputeMath(w.capture, settings);
        w.staleBits |= Stale::Math;
        w.Refresh();
    };
    const auto wheelIn = [&] {
        QWheelEvent wheel(QPointF(0, 50), w.screenImage->mapToGlobal(QPointF(0, 50)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.screenImage, &wheel);
        w.navigation->Flush();
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
        {"wheel at the left edge: sample 50 stays there", wheelIn, 1, 50, 689},
        {"slider back to 80 %", [&] { w.zoomSlider->setValue(1); }, 1, 0, 799},
        {"cursors on", [&] { w.showCursorsBox->setChecked(true); }, 1, 0, 999},
        {"scroll under the cursors", [&] { w.scrollBar->setValue(0); }, 0, 0, 999},
        {"cursor 1", [&] { Click(w.screenImage, 300, Qt::LeftButton); }, 1, 400, 999},
        {"same cursor again", [&] { Click(w.screenImage, 300, Qt::LeftButton); }, 0, 400, 999},
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
    QApplication::setActiveWindow(&m);
    m.table->setFocus();
    QTest::keyClick(m.table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(board->text(), expected);
    EXPECT_EQ(w.spectrumWindow.data(), nullptr);
    // The frame's other shortcuts work from the table as from the capture window.
    QTest::keyClick(m.table, Qt::Key_K, Qt::ControlModifier);
    EXPECT_NE(w.spectrumWindow.data(), nullptr);
}
