// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's decoding pieces: the dialog's request, the background runner, the strip
// rows of a result and the table window's texts.
#include "app/decode_dialog.h"
#include "app/decode_runner.h"
#include "app/decode_strip_view.h"
#include "app/decoded_window.h"
#include "support/test_capture.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

// CH1 carries `bytes` as 8N1 UART at `baud`, idle high at 3 V, with a little noise; CH2 is
// present and flat. 12 ms at 1 MHz.
Capture UartCapture(const QByteArray& bytes, int32_t baud)
{
    constexpr int32_t N = 12000;
    Capture capture = MakeTestCapture(N, {{SlotCh1, 1.0}, {SlotCh2, 1.0}});
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    std::vector<int32_t> levels(N, 1);
    const double bit = 1e6 / baud;
    double t = 200;
    for (const char byte : bytes) {
        const int32_t frame[10] = {0,
                                   (byte >> 0) & 1,
                                   (byte >> 1) & 1,
                                   (byte >> 2) & 1,
                                   (byte >> 3) & 1,
                                   (byte >> 4) & 1,
                                   (byte >> 5) & 1,
                                   (byte >> 6) & 1,
                                   (byte >> 7) & 1,
                                   1};
        for (int32_t b = 0; b < 10; ++b) {
            for (auto i = static_cast<int32_t>(t + b * bit);
                 i < static_cast<int32_t>(t + (b + 1) * bit) && i < N; ++i)
                levels[static_cast<size_t>(i)] = frame[b];
        }
        t += 12 * bit;
    }
    for (int32_t i = 0; i < N; ++i)
        capture.samples[SlotCh1][i] = 3.0 * levels[static_cast<size_t>(i)] + noise(random);
    return capture;
}

DecodeRequest UartRequest(int32_t baud)
{
    DecodeRequest request{};
    request.stacks = {{DecoderSetup{QStringLiteral("uart"),
                                    {{QStringLiteral("rx"), SlotCh1}},
                                    {{QStringLiteral("baudrate"), QString::number(baud)}}}}};
    request.first = 0;
    request.last = 11999;
    return request;
}

QByteArray RxBytes(const DecodeResult& result)
{
    QByteArray bytes;
    for (const DecodeAnnotation& annotation : result.annotations) {
        const DecoderInfo& info = result.decoders[static_cast<size_t>(annotation.instance)];
        if (info.annotationClasses[static_cast<size_t>(annotation.annotationClass)].id !=
            QStringLiteral("rx-data"))
            continue;
        bool ok = false;
        const int value = annotation.texts.front().toInt(&ok, 16);
        if (ok) bytes.append(static_cast<char>(value));
    }
    return bytes;
}

void WaitUntil(const std::function<bool()>& done, int32_t milliseconds = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Lets anything still queued arrive.
void Settle()
{
    DecodeRunner::FinishAllWorkers();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::vector<DecoderInfo> SomeDecoders()
{
    std::vector<DecoderInfo> decoders;
    for (const char* id : {"eeprom24xx", "i2c", "uart"}) {
        DecoderInfo info;
        QString error;
        EXPECT_TRUE(FindDecoder(QString::fromLatin1(id), info, error)) << error.toStdString();
        decoders.push_back(std::move(info));
    }
    return decoders;
}

void ExpectSameRequest(const DecodeRequest& got, const DecodeRequest& want)
{
    ASSERT_EQ(got.stacks.size(), want.stacks.size());
    for (size_t s = 0; s < want.stacks.size(); ++s) {
        ASSERT_EQ(got.stacks[s].size(), want.stacks[s].size());
        for (size_t i = 0; i < want.stacks[s].size(); ++i) {
            EXPECT_EQ(got.stacks[s][i].id, want.stacks[s][i].id);
            EXPECT_EQ(got.stacks[s][i].channels, want.stacks[s][i].channels) << i;
            EXPECT_EQ(got.stacks[s][i].options, want.stacks[s][i].options) << i;
        }
    }
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        EXPECT_EQ(got.thresholds[slot].threshold, want.thresholds[slot].threshold) << slot;
        EXPECT_EQ(got.thresholds[slot].hysteresis, want.thresholds[slot].hysteresis) << slot;
    }
    EXPECT_EQ(got.first, want.first);
    EXPECT_EQ(got.last, want.last);
}

} // namespace

TEST(DecodeViewTest, DialogRequestRoundTripsAndOnlySoundRequestsAreAccepted)
{
    const std::vector<DecoderInfo> decoders = SomeDecoders();
    const Capture capture = UartCapture("K", 9600);

    DecodeRequest uart = UartRequest(9600);
    uart.stacks[0][0].options.emplace_back(QStringLiteral("parity"), QStringLiteral("even"));
    uart.thresholds[SlotCh1] = {1.5, 0.25};
    uart.thresholds[SlotCh2] = {std::nullopt, 0.0};

    DecodeRequest i2c{};
    i2c.first = 0;
    i2c.last = 11999;
    i2c.stacks = {
        {DecoderSetup{QStringLiteral("i2c"),
                      {{QStringLiteral("scl"), SlotCh2}, {QStringLiteral("sda"), SlotCh1}},
                      {}},
         DecoderSetup{QStringLiteral("eeprom24xx"),
                      {},
                      {{QStringLiteral("chip"), QStringLiteral("microchip_24lc65")}}}}};

    for (const DecodeRequest* request : {&uart, &i2c}) {
        SCOPED_TRACE(request->stacks[0][0].id.toStdString());
        DecodeDialog dialog(capture, decoders, 0, 11999, nullptr);
        dialog.SetRequest(*request);
        ExpectSameRequest(dialog.Request(), *request);
        EXPECT_EQ(dialog.Problem(), QString());
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }

    DecodeDialog dialog(capture, decoders, 0, 11999, nullptr);
    EXPECT_FALSE(dialog.SelectDecoder(QStringLiteral("eeprom24xx"))); // reads no lines
    ASSERT_TRUE(dialog.SelectDecoder(QStringLiteral("i2c")));
    // The required lines take the channels in order.
    EXPECT_EQ(dialog.ChannelBox(QStringLiteral("scl"))->currentData().toInt(), SlotCh1);
    EXPECT_EQ(dialog.ChannelBox(QStringLiteral("sda"))->currentData().toInt(), SlotCh2);
    EXPECT_TRUE(dialog.PushStacked(QStringLiteral("eeprom24xx")));
    EXPECT_FALSE(dialog.PushStacked(QStringLiteral("uart")));
    EXPECT_EQ(dialog.StackDepth(), 2);

    // Unsound settings keep the dialog open and say why.
    struct Bad {
        std::function<void()> spoil;
        std::function<void()> mend;
    };
    QComboBox* sda = dialog.ChannelBox(QStringLiteral("sda"));
    QLineEdit* threshold = dialog.thresholdEdit[SlotCh1];
    const Bad bad[] = {
        {[&] { sda->setCurrentIndex(0); }, [&] { sda->setCurrentIndex(2); }},
        {[&] { threshold->setText(QStringLiteral("1..5")); }, [&] { threshold->clear(); }},
        {[&] { dialog.hysteresisEdit[SlotCh2]->setText(QStringLiteral("-1")); },
         [&] { dialog.hysteresisEdit[SlotCh2]->setText(QStringLiteral("100m")); }},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(&b - bad);
        dialog.setResult(QDialog::Rejected);
        b.spoil();
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.problemLabel->text().isEmpty());
        b.mend();
        EXPECT_EQ(dialog.Problem(), QString());
    }
    EXPECT_EQ(dialog.Request().thresholds[SlotCh2].hysteresis, 0.1);

    // The search hides what does not match name, id or description.
    dialog.searchEdit->setText(QStringLiteral("asynchronous"));
    int visible = 0;
    for (int i = 0; i < dialog.decoderList->count(); ++i)
        visible += dialog.decoderList->item(i)->isHidden() ? 0 : 1;
    EXPECT_EQ(visible, 1);
}

TEST(DecodeViewTest, RunnerDeliversOnlyTheNewestDecodeAndSurvivesItsOwner)
{
    const Capture capture = UartCapture("Kurvex", 9600);
    DecodeRunner runner;
    std::vector<int32_t> finished;
    DecodeResult last{};
    double lastProgress = -1;
    QObject::connect(&runner, &DecodeRunner::Finished,
                     [&](int32_t number, const DecodeResult& result) {
                         finished.push_back(number);
                         last = result;
                     });
    QObject::connect(&runner, &DecodeRunner::Progress, [&](double done) { lastProgress = done; });

    // Cursors dragged: decodes over the first bytes only, each superseded at once by the
    // next, and the last one over the whole record.
    for (int32_t end = 1200; end < 6000; end += 200) {
        DecodeRequest early = UartRequest(9600);
        early.last = end;
        runner.Start(capture, early);
    }
    const int32_t newest = runner.Start(capture, UartRequest(9600));
    WaitUntil([&] { return !runner.Running(); });
    Settle();
    ASSERT_EQ(finished, std::vector<int32_t>{newest});
    EXPECT_EQ(last.status, DecodeOk) << last.error.toStdString();
    EXPECT_EQ(RxBytes(last), QByteArray("Kurvex"));
    EXPECT_GE(lastProgress, 0.0);

    // The strip gets a row for each annotated row and a span per annotation.
    const DecodeStrip strip = StripOfDecode(last);
    EXPECT_EQ(strip.spans.size(), last.annotations.size());
    ASSERT_FALSE(strip.rows.empty());
    EXPECT_TRUE(strip.rows[0].label.startsWith(QStringLiteral("uart-1: ")));

    // Cancelled: nothing arrives. A bad request ends as such, without a crash.
    finished.clear();
    runner.Start(capture, UartRequest(9600));
    runner.Cancel();
    Settle();
    EXPECT_TRUE(finished.empty());
    EXPECT_FALSE(runner.Running());
    DecodeRequest broken = UartRequest(9600);
    broken.stacks[0][0].options = {{QStringLiteral("parity"), QStringLiteral("sometimes")}};
    runner.Start(capture, broken);
    WaitUntil([&] { return !runner.Running(); });
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(last.status, DecodeBadRequest);

    // The owner goes while its decode runs: the worker delivers nowhere.
    auto* doomed = new DecodeRunner;
    bool delivered = false;
    QObject::connect(doomed, &DecodeRunner::Finished, [&] { delivered = true; });
    doomed->Start(capture, UartRequest(9600));
    delete doomed;
    Settle();
    EXPECT_FALSE(delivered);
}

TEST(DecodeViewTest, TableWindowTextsStatusAndClicks)
{
    Capture capture = MakeTestCapture(12000, {{SlotCh1, 1.0}});
    DecodeResult result{};
    result.status = DecodeOk;
    DecoderInfo info;
    info.id = QStringLiteral("i2c");
    info.annotationClasses = {{QStringLiteral("start"), QStringLiteral("Start condition")},
                              {QStringLiteral("data-write"), QStringLiteral("Data write")}};
    info.rows = {{QStringLiteral("bits"), QStringLiteral("Bits"), {}},
                 {QStringLiteral("addr-data"), QStringLiteral("Address/data"), {0, 1}}};
    result.instances = {{QStringLiteral("i2c-1"), QStringLiteral("i2c"), 0, 0}};
    result.decoders = {info};
    result.annotations = {
        {1000, 1010, 0, 0, 1, {QStringLiteral("Start"), QStringLiteral("S")}},
        {1500, 2400, 0, 1, 1, {QStringLiteral("W"), QStringLiteral("Data, \"write\"\t0x41")}},
    };

    DecodedWindow window(QStringLiteral("/tmp/bus.sav"), nullptr);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Dekodiert - bus.sav"));
    window.ShowResult(capture, result);
    EXPECT_EQ(DecodedTableText(window.Lines()),
              QStringLiteral("Zeit\tDekoder\tZeile\tText\n"
                             "1 ms\ti2c-1\tAddress/data\tStart\n"
                             "1.5 ms\ti2c-1\tAddress/data\tData, \"write\" 0x41\n"));
    EXPECT_EQ(DecodedCsv(window.Lines()),
              "start,end,decoder,row,annotation,text\r\n"
              "0.001,0.00101,i2c-1,Address/data,start,Start\r\n"
              "0.0015,0.0024,i2c-1,Address/data,data-write,\"Data, \"\"write\"\"\t0x41\"\r\n");
    EXPECT_EQ(window.StatusText(), QStringLiteral("2 Annotation(en)"));

    std::vector<std::pair<int64_t, int64_t>> clicks;
    QObject::connect(&window, &DecodedWindow::AnnotationClicked,
                     [&](int64_t start, int64_t end) { clicks.emplace_back(start, end); });
    Q_EMIT window.table->clicked(window.table->model()->index(1, 2));
    EXPECT_EQ(clicks, (std::vector<std::pair<int64_t, int64_t>>{{1500, 2400}}));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(window.WriteCsv(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), DecodedCsv(window.Lines()));
    EXPECT_FALSE(window.WriteCsv(dir.filePath(QStringLiteral("missing/out.csv"))));

    // A failing decoder: its message in the status line, the lines it made kept.
    result.status = DecodeFailed;
    result.error = QStringLiteral("eeprom24xx-1: KeyError: 'chip'");
    window.ShowResult(capture, result);
    EXPECT_EQ(window.StatusText(), QStringLiteral("Fehler: eeprom24xx-1: KeyError: 'chip'"));
    EXPECT_EQ(window.Lines().size(), 2u);
}

TEST(DecodeViewTest, ClickedAnnotationIsCentredInTheViewWithinTheRecord)
{
    struct Case {
        int64_t start;
        int64_t end;
        int32_t visible;
        int32_t n;
        int32_t first;
    };
    const Case cases[] = {
        {5000, 5100, 1000, 12000, 4550},    // the middle, 5050, half a view right of first
        {5000, 5000, 1000, 12000, 4500},    // no length: its one sample
        {100, 200, 1000, 12000, 0},         // near the start: clamped
        {11900, 11999, 1000, 12000, 11000}, // near the end: clamped
        {5000, 5100, 12000, 12000, 0},      // the whole record in view
        {5000, 5100, 20000, 12000, 0},      // a view longer than the record
        {-50, 10, 100, 12000, 0},           {INT64_MAX - 10, INT64_MAX, 100, 12000, 11900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        EXPECT_EQ(FirstSampleCentredOn(c.start, c.end, c.visible, c.n), c.first);
    }
}
