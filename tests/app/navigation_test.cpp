// SPDX-License-Identifier: GPL-3.0-or-later
// The screen's wheel, mouse and keys on a real capture window: the view they leave, what
// the slider, scroll bar and zoom label then show, one render per burst of events; and the
// sigrok session export as a sigrok tool reads it.
#include "app/screen_navigation.h"
#include "app_fixture.h"
#include "text/format_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollBar>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int32_t N = 1000;

void Wheel(QWidget* target, int x, QPoint angle, Qt::KeyboardModifiers modifiers = {})
{
    const QPointF at(x, 100);
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

void Mouse(QWidget* target, QEvent::Type type, int x, Qt::MouseButton button,
           Qt::KeyboardModifiers modifiers = {})
{
    const QPointF at(x, 100);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, target->mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(target, &event);
}

// Lets the event loop turn until the navigation has sent what it holds.
void Settle(const CaptureWindow& w)
{
    for (int i = 0; i < 10 && (i == 0 || w.navigation->Pending()); ++i)
        QCoreApplication::processEvents();
}

// The controls agree with the view: the slider on its step nearest to the visible count,
// the scroll bar on the first sample with the whole range, the label with the real time
// per division.
void ExpectControlsShow(const CaptureWindow& w)
{
    const CaptureView& v = w.view;
    const auto distance = [&](int32_t position) {
        return std::abs(std::log(double(v.visibleCount) / VisibleCountFor(N, position)));
    };
    for (int32_t position = 0; position < ZoomPositions; ++position)
        EXPECT_LE(distance(w.zoomSlider->value()), distance(position) + 1e-12) << position;
    EXPECT_EQ(w.scrollBar->value(), v.firstSample);
    EXPECT_EQ(w.scrollBar->maximum(), N - v.visibleCount);
    EXPECT_EQ(w.scrollBar->pageStep(), v.visibleCount / 2);
    EXPECT_EQ(w.zoomLabel->text(),
              FormatText(u"Zoom: {0Sd5}s/DIV", w.capture.timePerDiv * v.visibleCount / N));
    EXPECT_EQ(w.staleBits.toInt(), 0);
}

} // namespace

TEST_F(AppTest, WheelZoomsAroundThePointerWithOneRenderPerBurst)
{
    Start({WriteCapture(u"a.sav"_s, N)});
    CaptureWindow& w = Window();
    ASSERT_EQ(w.screenImage->width(), 600);
    struct Step {
        const char* name;
        int x;
        QPoint angle;
        Qt::KeyboardModifiers modifiers;
        int repeat;
    };
    const Step steps[] = {
        {"in at the left", 150, {0, 120}, {}, 1},
        {"burst in at the right", 450, {0, 120}, {}, 4},
        {"far in: stops at 10 samples", 300, {0, 120}, {}, 40},
        {"shift scrolls", 300, {0, -120}, Qt::ShiftModifier, 1},
        {"horizontal wheel scrolls", 300, {120, 0}, {}, 2},
        {"out at the left edge", 0, {0, -120}, {}, 3},
        {"far out: the whole record", 590, {0, -120}, {}, 60},
        {"further out changes nothing", 590, {0, -120}, {}, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const CaptureView before = w.view;
        const int32_t renders = w.counts.renders;
        const int32_t anchor = NearestSampleAtColumn(before, step.x, 600);
        for (int i = 0; i < step.repeat; ++i)
            Wheel(w.screenImage, step.x, step.angle, step.modifiers);
        Settle(w);
        const CaptureView& v = w.view;
        const bool changed =
            v.firstSample != before.firstSample || v.visibleCount != before.visibleCount;
        EXPECT_EQ(w.counts.renders, renders + (changed ? 1 : 0));
        ExpectControlsShow(w);
        if (step.modifiers != Qt::NoModifier || step.angle.x() != 0) {
            EXPECT_EQ(v.visibleCount, before.visibleCount);
            EXPECT_NE(v.firstSample, before.firstSample);
        } else if (v.firstSample > 0 && v.firstSample < N - v.visibleCount) {
            // The sample under the pointer stays there.
            EXPECT_EQ(NearestSampleAtColumn(v, step.x, 600), anchor);
        }
    }
    EXPECT_EQ(w.view.visibleCount, N);
    EXPECT_EQ(w.view.firstSample, 0);
    EXPECT_EQ(w.zoomSlider->value(), 0);

    // The deepest zoom: 10 samples, the slider on its last step, the label the true time.
    for (int i = 0; i < 40; ++i)
        Wheel(w.screenImage, 300, QPoint(0, 120));
    Settle(w);
    EXPECT_EQ(w.view.visibleCount, 10);
    EXPECT_EQ(w.zoomSlider->value(), ZoomPositions - 1);
    ExpectControlsShow(w);
    // The slider then moves as always: its step, centred on the view.
    const int32_t centre = w.view.firstSample + 5;
    w.zoomSlider->setValue(8);
    EXPECT_EQ(w.view.visibleCount, 100);
    EXPECT_EQ(w.view.firstSample, centre - 50);
    ExpectControlsShow(w);
}

TEST_F(AppTest, ClickPlacesACursorDragPansCtrlDragZooms)
{
    Start({WriteCapture(u"a.sav"_s, N)});
    CaptureWindow& w = Window();
    w.showCursorsBox->setChecked(true);
    w.zoomSlider->setValue(8); // samples 450 .. 549, a slider step: the truncating rule
    ASSERT_EQ(w.view.firstSample, 450);
    QWidget* const s = w.screenImage;
    struct Case {
        const char* name;
        std::vector<int> path; // press, moves, release
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
        int32_t cursor1, cursor2, first, count;
    };
    // clang-format off
    const Case cases[] = {
        {"click", {300, 300}, Qt::LeftButton, {}, 500, 999, 450, 100},
        {"click with a jitter", {120, 124, 123}, Qt::LeftButton, {}, 470, 999, 450, 100},
        {"right click", {599, 599}, Qt::RightButton, {}, 470, 549, 450, 100},
        {"drag right shows earlier samples", {300, 360, 420, 420}, Qt::LeftButton, {},
         470, 549, 430, 100},
        {"drag past the start stops there", {0, 5000, 5000}, Qt::LeftButton, {},
         470, 549, 0, 100},
        {"ctrl+drag zooms to the span", {60, 300, 240}, Qt::LeftButton, Qt::ControlModifier,
         470, 549, 10, 31},
        {"a tiny span grows to 10 samples", {300, 306, 306}, Qt::LeftButton, Qt::ControlModifier,
         470, 549, 22, 10},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CaptureView before = w.view;
        const int32_t renders = w.counts.renders;
        Mouse(s, QEvent::MouseButtonPress, c.path.front(), c.button, c.modifiers);
        for (size_t i = 1; i + 1 < c.path.size(); ++i)
            Mouse(s, QEvent::MouseMove, c.path[i], c.button, c.modifiers);
        if (c.modifiers == Qt::ControlModifier) {
            // The band is drawn over the picture while it is marked.
            const QImage shown = s->grab().toImage();
            const int inside = (c.path.front() + c.path[c.path.size() - 2]) / 2;
            EXPECT_NE(shown.pixel(inside, 5), w.screenImage->Image().pixel(inside, 5));
        }
        Mouse(s, QEvent::MouseButtonRelease, c.path.back(), c.button, c.modifiers);
        Settle(w);
        EXPECT_EQ(w.view.cursor1, c.cursor1);
        EXPECT_EQ(w.view.cursor2, c.cursor2);
        EXPECT_EQ(w.view.firstSample, c.first);
        EXPECT_EQ(w.view.visibleCount, c.count);
        const bool changed = w.view.cursor1 != before.cursor1 || w.view.cursor2 != before.cursor2 ||
                             w.view.firstSample != before.firstSample;
        EXPECT_EQ(w.counts.renders, renders + (changed ? 1 : 0));
        ExpectControlsShow(w);
    }
    // At deep zoom a click lands on the sample drawn nearest the pointer: 10 samples over
    // 600 pixels are drawn at columns 0, 60, .., 540, and column 290 is nearest to the 300
    // of the sixth (the truncating rule would take the fifth).
    Mouse(s, QEvent::MouseButtonPress, 290, Qt::LeftButton);
    Mouse(s, QEvent::MouseButtonRelease, 290, Qt::LeftButton);
    EXPECT_EQ(w.view.cursor1, w.view.firstSample + 5);
}

TEST_F(AppTest, KeysMoveTheViewWhenTheScreenHasTheFocus)
{
    Start({WriteCapture(u"a.sav"_s, N)});
    CaptureWindow& w = Window();
    EXPECT_EQ(w.screenImage->focusPolicy(), Qt::StrongFocus);
    struct Step {
        Qt::Key key;
        int32_t first;
        int32_t count;
    };
    const Step steps[] = {
        {Qt::Key_Plus, 100, 800}, {Qt::Key_Plus, 180, 640}, {Qt::Key_End, 360, 640},
        {Qt::Key_PageUp, 0, 640}, {Qt::Key_Right, 64, 640}, {Qt::Key_Minus, 0, 800},
        {Qt::Key_A, 0, 800},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key);
        const CaptureView before = w.view;
        const int32_t renders = w.counts.renders;
        QTest::keyClick(w.screenImage, step.key);
        Settle(w);
        EXPECT_EQ(w.view.firstSample, step.first);
        EXPECT_EQ(w.view.visibleCount, step.count);
        const bool changed =
            w.view.firstSample != before.firstSample || w.view.visibleCount != before.visibleCount;
        EXPECT_EQ(w.counts.renders, renders + (changed ? 1 : 0));
        ExpectControlsShow(w);
    }
}

// The session holds both channels and, when shown, the math trace, and sigrok-cli reads
// it back with the sample count and the rate.
TEST_F(AppTest, SigrokSessionExportOpensInSigrokCli)
{
    const QString cli = QStandardPaths::findExecutable(u"sigrok-cli"_s);
    if (cli.isEmpty()) GTEST_SKIP() << "sigrok-cli is not installed";
    Start({WriteCapture(u"A001.sav"_s, N)});
    Capture& c = Window().capture;
    c.present[SlotMath] = 1;
    c.voltsPerDiv[SlotMath] = 1.0;
    for (int32_t i = 0; i < N; ++i)
        c.samples[SlotMath][i] = c.samples[SlotCh1][i] - c.samples[SlotCh2][i];
    saveAnswer = folder.filePath(u"A001.sr"_s);
    frame->RunCommand(Command::ExportSigrok);
    ASSERT_TRUE(messages.isEmpty()) << messages.join(u' ').toStdString();
    QProcess show;
    show.start(cli, {u"-i"_s, saveAnswer, u"--show"_s});
    ASSERT_TRUE(show.waitForFinished(30000));
    const QString out = QString::fromUtf8(show.readAllStandardOutput());
    EXPECT_EQ(show.exitCode(), 0) << show.readAllStandardError().toStdString();
    for (const QString& name : {u"CH1"_s, u"CH2"_s, u"MATH"_s})
        EXPECT_TRUE(out.contains(name)) << out.toStdString();
    EXPECT_TRUE(out.contains(u"1000"_s)) << out.toStdString();
}
