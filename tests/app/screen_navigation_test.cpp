// SPDX-License-Identifier: GPL-3.0-or-later
// The screen's mouse, wheel and key handling: which view changes and cursor clicks come
// out, and how many renders a burst of events asks for.
#include "app/screen_navigation.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

constexpr int32_t N = 65535;

struct Recorder {
    std::vector<std::pair<int32_t, int32_t>> views;
    std::vector<std::pair<int32_t, int32_t>> cursors;
};

CaptureView StartView(int32_t cursorsShown)
{
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.samplesPerChannel = N;
    CaptureView view = NewCaptureView(capture);
    view.cursorsShown = cursorsShown;
    return view;
}

void Connect(ScreenNavigation& navigation, Recorder& recorder)
{
    QObject::connect(
        &navigation, &ScreenNavigation::viewChanged,
        [&recorder](int32_t first, int32_t count) { recorder.views.emplace_back(first, count); });
    QObject::connect(&navigation, &ScreenNavigation::cursorPlaced,
                     [&recorder](int32_t which, int32_t sample) {
                         recorder.cursors.emplace_back(which, sample);
                     });
}

QWheelEvent WheelAt(double x, QPoint angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return QWheelEvent(QPointF(x, 100), QPointF(x, 100), QPoint(), angle, Qt::NoButton, modifiers,
                       Qt::NoScrollPhase, false);
}

QMouseEvent Mouse(QEvent::Type type, double x, Qt::MouseButton button,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    return QMouseEvent(type, QPointF(x, 100), QPointF(x, 100), button, held, modifiers);
}

TEST(ScreenNavigation, WheelBurstGivesOneRenderOfTheLatestView)
{
    ScreenNavigation navigation;
    Recorder recorder;
    Connect(navigation, recorder);
    navigation.SetView(StartView(0), N);
    CaptureView expected = StartView(0);
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(navigation.Wheel(WheelAt(150, QPoint(0, 120))));
        ZoomViewAt(expected, N, WheelZoomCount(expected.visibleCount, N, 120), 150, 600);
    }
    EXPECT_TRUE(recorder.views.empty()); // nothing before the event loop turns
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.views.size(), 1u);
    EXPECT_EQ(recorder.views[0], std::make_pair(expected.firstSample, expected.visibleCount));

    // Shift+wheel and a horizontal wheel scroll by a tenth of the screen per notch.
    const int32_t count = expected.visibleCount;
    navigation.Wheel(WheelAt(150, QPoint(0, -120), Qt::ShiftModifier));
    navigation.Flush();
    navigation.Wheel(WheelAt(150, QPoint(-240, 0)));
    navigation.Flush();
    ASSERT_EQ(recorder.views.size(), 3u);
    EXPECT_EQ(recorder.views[1].first, expected.firstSample + count / 10);
    EXPECT_EQ(recorder.views[2].first, expected.firstSample + 3 * (count / 10));
    EXPECT_EQ(recorder.views[2].second, count);
}

TEST(ScreenNavigation, ClicksPlaceCursorsAndDragsMoveTheView)
{
    ScreenNavigation navigation;
    Recorder recorder;
    Connect(navigation, recorder);
    CaptureView view = StartView(1);
    view.firstSample = 1000;
    view.visibleCount = 20; // deep zoom: dots at every 30 pixels
    navigation.SetView(view, N);

    // A click, also with a little jitter, places cursor 1 on the nearest dot on release.
    navigation.MousePress(Mouse(QEvent::MouseButtonPress, 44, Qt::LeftButton));
    navigation.MouseMove(Mouse(QEvent::MouseMove, 47, Qt::LeftButton));
    EXPECT_TRUE(recorder.cursors.empty());
    navigation.MouseRelease(Mouse(QEvent::MouseButtonRelease, 47, Qt::LeftButton));
    navigation.MousePress(Mouse(QEvent::MouseButtonPress, 599, Qt::RightButton));
    const std::vector<std::pair<int32_t, int32_t>> cursors = {{1, 1001}, {2, 1019}};
    EXPECT_EQ(recorder.cursors, cursors);

    // Dragging 90 pixels to the right shows samples 3 earlier, on every move.
    navigation.MousePress(Mouse(QEvent::MouseButtonPress, 100, Qt::LeftButton));
    navigation.MouseMove(Mouse(QEvent::MouseMove, 160, Qt::LeftButton));
    navigation.MouseMove(Mouse(QEvent::MouseMove, 190, Qt::LeftButton));
    navigation.MouseRelease(Mouse(QEvent::MouseButtonRelease, 190, Qt::LeftButton));
    navigation.Flush();
    EXPECT_EQ(recorder.cursors.size(), 2u);
    ASSERT_EQ(recorder.views.size(), 1u);
    EXPECT_EQ(recorder.views[0], std::make_pair(997, 20));

    // Ctrl+drag marks a span and zooms to it on release.
    navigation.MousePress(Mouse(QEvent::MouseButtonPress, 60, Qt::LeftButton, Qt::ControlModifier));
    navigation.MouseMove(Mouse(QEvent::MouseMove, 450, Qt::LeftButton, Qt::ControlModifier));
    int32_t left = 0;
    int32_t right = 0;
    ASSERT_TRUE(navigation.RubberBand(left, right));
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(60, 450));
    navigation.MouseRelease(Mouse(QEvent::MouseButtonRelease, 450, Qt::LeftButton));
    navigation.Flush();
    EXPECT_FALSE(navigation.RubberBand(left, right));
    ASSERT_EQ(recorder.views.size(), 2u);
    EXPECT_EQ(recorder.views[1], std::make_pair(999, 14)); // samples 999 .. 1012

    // With the cursors hidden a click changes nothing.
    view.cursorsShown = 0;
    navigation.SetView(view, N);
    navigation.MousePress(Mouse(QEvent::MouseButtonPress, 44, Qt::LeftButton));
    navigation.MouseRelease(Mouse(QEvent::MouseButtonRelease, 44, Qt::LeftButton));
    EXPECT_EQ(recorder.cursors.size(), 2u);
}

TEST(ScreenNavigation, KeysMoveTheViewOthersPassThrough)
{
    ScreenNavigation navigation;
    Recorder recorder;
    Connect(navigation, recorder);
    navigation.SetView(StartView(0), N);
    const std::pair<int, std::pair<int32_t, int32_t>> steps[] = {
        {Qt::Key_Plus, {6554, 52428}},  {Qt::Key_End, {13107, 52428}}, {Qt::Key_PageUp, {0, 52428}},
        {Qt::Key_Right, {5242, 52428}}, {Qt::Key_Minus, {0, 65535}},
    };
    for (const auto& [key, view] : steps) {
        EXPECT_TRUE(navigation.Key(QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier)));
        navigation.Flush();
        ASSERT_FALSE(recorder.views.empty());
        EXPECT_EQ(recorder.views.back(), view) << key;
    }
    EXPECT_FALSE(navigation.Key(QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier)));
    EXPECT_FALSE(navigation.Key(QKeyEvent(QEvent::KeyPress, Qt::Key_Plus, Qt::ControlModifier)));
    // Home at the start changes nothing and sends nothing.
    const size_t sent = recorder.views.size();
    navigation.Key(QKeyEvent(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier));
    navigation.Flush();
    EXPECT_EQ(recorder.views.size(), sent);
}

} // namespace
