// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding in a capture window: Strg+D through the dialog to the strip and the table, a
// click on a table line, the strip in the exported picture, and closing while it decodes.
#include "app/app_fixture.h"
#include "app/capture_decoding.h"
#include "app/decode_dialog.h"
#include "app/decode_runner.h"
#include "app/decode_strip_view.h"
#include "app/decoded_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The example's command on CH1 and its reply on CH2, shown as characters.
DecodeRequest ExampleUartRequest()
{
    DecodeRequest request{};
    request.stacks = {{DecoderSetup{u"uart"_s,
                                    {{u"rx"_s, SlotCh1}, {u"tx"_s, SlotCh2}},
                                    {{u"baudrate"_s, u"115200"_s}, {u"format"_s, u"ascii"_s}}}}};
    return request;
}

// Accepts the decode dialog with `request` once it is open.
void AnswerDecodeDialog(const DecodeRequest& request, bool& answered)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, request, &answered] {
        auto* dialog = qobject_cast<DecodeDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->SetRequest(request);
        answered = true;
        timer->deleteLater();
        dialog->accept();
    });
    timer->start(10);
}

bool WaitForDecode(const CaptureWindow& w)
{
    QElapsedTimer clock;
    clock.start();
    while (w.decodeRunner && w.decodeRunner->Running() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return w.decodeRunner && !w.decodeRunner->Running();
}

QString Texts(const std::vector<DecodedLine>& lines, const QString& annotation)
{
    QString text;
    for (const DecodedLine& line : lines)
        if (line.annotation == annotation) text += line.text;
    return text;
}

} // namespace

TEST_F(AppTest, StrgDDecodesTheUartExampleIntoStripAndTable)
{
    Start({QStringLiteral(KURVEX_EXAMPLES_DIR "/uart-115200-ch1-rx-ch2-tx.sav")});
    CaptureWindow& w = Window();
    const QSize plainWindow = w.SubWindow()->size();
    w.zoomSlider->setValue(4);
    saveAnswer = folder.filePath(u"plain.png"_s);
    frame->RunCommand(Command::ExportPng);
    const QImage plain(saveAnswer);
    ASSERT_EQ(plain.size(), QSize(600, 400));

    bool answered = false;
    AnswerDecodeDialog(ExampleUartRequest(), answered);
    QApplication::setActiveWindow(frame);
    QTest::keyClick(w.screenImage, Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(answered) << messages.join(u"\n"_s).toStdString();
    ASSERT_TRUE(w.decodedWindow);
    ASSERT_TRUE(WaitForDecode(w));

    // The strip takes its rows under the screen; the screen keeps its size.
    const int32_t strip = DecodeStripHeight(w.decodeStrip->Strip());
    ASSERT_GE(w.decodeStrip->Strip().rows.size(), 2u);
    EXPECT_EQ(w.SubWindow()->size(), plainWindow + QSize(0, strip));
    EXPECT_EQ(QSize(w.view.imageWidth, w.view.imageHeight), QSize(600, 400));
    EXPECT_EQ(w.decodeStrip->geometry(), QRect(5, 405, 600, strip));

    const std::vector<DecodedLine>& lines = w.decodedWindow->Lines();
    EXPECT_TRUE(Texts(lines, u"rx-data"_s).contains(u"CWJAP=\"kurvex\""_s));
    EXPECT_TRUE(Texts(lines, u"tx-data"_s).contains(u"WIFI GOT IP"_s));

    // The picture has the strip under the unchanged screen; the clipboard the same picture.
    saveAnswer = folder.filePath(u"decoded.png"_s);
    frame->RunCommand(Command::ExportPng);
    const QImage decoded(saveAnswer);
    ASSERT_EQ(decoded.size(), QSize(600, 400 + strip));
    EXPECT_EQ(decoded.copy(0, 0, 600, 400).convertToFormat(QImage::Format_RGB32),
              plain.convertToFormat(QImage::Format_RGB32));
    frame->RunCommand(Command::CopyImage);
    EXPECT_EQ(clipboard.convertToFormat(QImage::Format_RGB32),
              decoded.convertToFormat(QImage::Format_RGB32));

    // A click on the last line centres the view on it.
    QTableView* table = w.decodedWindow->table;
    const auto last = static_cast<int32_t>(lines.size()) - 1;
    const DecodedLine target = lines.back();
    table->scrollToBottom();
    const QRect cell = table->visualRect(table->model()->index(last, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(w.view.firstSample,
              FirstSampleCentredOn(target.startSample, target.endSample, w.view.visibleCount,
                                   w.capture.samplesPerChannel));
    EXPECT_GT(w.view.firstSample, 0);
    EXPECT_EQ(w.scrollBar->value(), w.view.firstSample);
}

TEST_F(AppTest, CursorsRestartTheDecodeAndClosingWhileItRunsIsSafe)
{
    Start({QStringLiteral(KURVEX_EXAMPLES_DIR "/uart-115200-ch1-rx-ch2-tx.sav")});
    CaptureWindow& w = Window();
    DecodeRequest rxOnly = ExampleUartRequest();
    rxOnly.stacks[0][0].channels.pop_back();
    StartDecoding(w, rxOnly);
    ASSERT_TRUE(WaitForDecode(w));
    const size_t all = w.decodedWindow->Lines().size();
    ASSERT_GT(all, 10u);

    // Cursors around the first half: the decode follows, with fewer lines.
    w.showCursorsBox->setChecked(true);
    Click(w.screenImage, 300, Qt::RightButton);
    EXPECT_EQ(DecodeRange(w), std::make_pair(0, w.view.cursor2));
    EXPECT_TRUE(w.decodeRunner->Running());
    ASSERT_TRUE(WaitForDecode(w));
    EXPECT_LT(w.decodedWindow->Lines().size(), all);
    EXPECT_EQ(w.decodeRequest->last, w.view.cursor2);

    // Closing the window while a decode runs: its worker stops and delivers nowhere.
    Click(w.screenImage, 500, Qt::RightButton);
    ASSERT_TRUE(w.decodeRunner->Running());
    const QPointer<DecodedWindow> table = w.decodedWindow;
    w.Close();
    EXPECT_TRUE(table.isNull());
    DecodeRunner::FinishAllWorkers();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(CaptureWindows(App().mdiArea).isEmpty());
}
