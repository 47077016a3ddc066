// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/spectrum_window.h"
#include "app_fixture.h"
#include "math/math_channel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSlider>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void SendKey(QWidget* target, int key)
{
    QApplication::setActiveWindow(target->window());
    QTest::keyClick(target, Qt::Key(key), Qt::ControlModifier);
}

// One window per capture window; it recomputes only when what it shows changed, redraws
// for display settings, and goes with its capture window.
TEST_F(AppTest, SpectrumWindowFollowsItsCaptureWindow)
{
    Start({WriteCapture(u"scope.sav"_s, 2000)});
    CaptureWindow& w = Window();
    frame->MdiArea()->setActiveSubWindow(w.SubWindow());
    frame->RunCommand(Command::Spectrum);
    SpectrumWindow* spectrum = w.spectrumWindow.data();
    ASSERT_NE(spectrum, nullptr);
    EXPECT_EQ(spectrum->windowTitle(), u"Spektrum - scope.sav"_s);
    EXPECT_EQ(spectrum->channelBox->count(), 2);
    EXPECT_EQ(spectrum->spectrum.rms.size(), 1001u);
    EXPECT_TRUE(spectrum->spectrum.periodic);
    frame->RunCommand(Command::Spectrum);
    EXPECT_EQ(w.spectrumWindow.data(), spectrum);

    struct Step {
        const char* what;
        std::function<void()> act;
        int32_t computations; // after the step
        size_t bins;
        bool redrawn;
    };
    const Step steps[] = {
        {"cursors shown over the whole record: same samples",
         [&] { w.showCursorsBox->setChecked(true); }, 1, 1001, false},
        {"cursor moved", [&] { Click(w.screenImage, 300, Qt::RightButton); }, 2, 501, true},
        {"cursors hidden, zoomed in",
         [&] {
             w.showCursorsBox->setChecked(false);
             w.zoomSlider->setValue(3);
         },
         4, 501, true},
        {"scale changed: redrawn only", [&] { spectrum->scaleBox->setCurrentIndex(1); }, 4, 501,
         true},
        {"math set while channel 1 is shown",
         [&] {
             MathSettings settings{MathDivide, SlotCh1, -1, 0.0, 0.0, 0.0, 0.0};
             ComputeMath(w.capture, settings);
             w.staleBits |= Stale::Math;
             w.Refresh();
         },
         4, 501, false},
        {"math chosen: divided by zero", [&] { spectrum->channelBox->setCurrentIndex(2); }, 5, 0,
         true},
    };
    for (const Step& step : steps) {
        const int32_t renders = spectrum->renders;
        step.act();
        EXPECT_EQ(spectrum->computations, step.computations) << step.what;
        EXPECT_EQ(spectrum->spectrum.rms.size(), step.bins) << step.what;
        EXPECT_EQ(spectrum->renders > renders, step.redrawn) << step.what;
    }
    EXPECT_EQ(spectrum->readout->toPlainText(), SpectrumStatusText(SpectrumNotFinite));

    QPointer<QWidget> widget = spectrum;
    w.Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
}

// Ctrl+C and Ctrl+F act on the plot while the spectrum window has the keys, also from its
// text box.
TEST_F(AppTest, SpectrumWindowPictureShortcuts)
{
    Start({WriteCapture(u"scope.sav"_s, 1000)});
    CaptureWindow& w = Window();
    frame->MdiArea()->setActiveSubWindow(w.SubWindow());
    frame->RunCommand(Command::Spectrum);
    SpectrumWindow* spectrum = w.spectrumWindow.data();
    ASSERT_NE(spectrum, nullptr);
    spectrum->plot->resize(500, 300);

    SendKey(spectrum->readout, Qt::Key_C);
    EXPECT_EQ(clipboardCalls, 1);
    EXPECT_EQ(clipboard.size(), QSize(500, 300));

    saveAnswer = folder.filePath(u"plot.png"_s);
    SendKey(spectrum->plot, Qt::Key_F);
    ASSERT_EQ(saveRequests.size(), 1);
    EXPECT_EQ(saveRequests[0].initialFile, folder.filePath(u"scope.spectrum"_s));
    EXPECT_EQ(QImage(saveAnswer).size(), QSize(500, 300));
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
