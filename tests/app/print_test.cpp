// SPDX-License-Identifier: GPL-3.0-or-later
// Printing end to end: the printer dialog answered with a PDF file of a known page size,
// the preview driven through its controls, and the printed page turned back into pixels
// to see where the screen landed.
#include "app/capture_decoding.h"
#include "app/decode_runner.h"
#include "app/print_preview.h"
#include "app_fixture.h"
#include "platform/print_platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct PreviewFields {
    QDialog* dialog;
    QLabel* image;
    QScrollBar* horizontalBar;
    QScrollBar* verticalBar;
    QLabel* zoomText;
    QSlider* zoomBar;
    QPushButton* print;
    QPushButton* cancel;
};

struct Ink {
    QRect box;       // everything that is not paper white
    int32_t markers; // pixels of a colour that only the trigger or the cursors give on paper
};

Ink InkOf(const QImage& image)
{
    Ink ink{};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int r = qRed(image.pixel(x, y));
            const int g = qGreen(image.pixel(x, y));
            const int b = qBlue(image.pixel(x, y));
            if (std::min({r, g, b}) < 230) ink.box |= QRect(x, y, 1, 1);
            const bool green = r < 60 && g > 200 && b < 60;
            const bool cyan = r < 60 && g > 200 && b > 200;
            const bool magenta = r > 200 && g < 60 && b > 200;
            ink.markers += green || cyan || magenta ? 1 : 0;
        }
    }
    return ink;
}

void ExpectNear(const QRect& actual, const QRect& expected, int tolerance)
{
    EXPECT_NEAR(actual.left(), expected.left(), tolerance);
    EXPECT_NEAR(actual.top(), expected.top(), tolerance);
    EXPECT_NEAR(actual.right(), expected.right(), tolerance);
    EXPECT_NEAR(actual.bottom(), expected.bottom(), tolerance);
}

// A 4800 x 6800 pixel page: 8 x 11 1/3 inches at 600 dpi, without margins.
constexpr int PageDpi = 600;
constexpr int ImageDpi = 60; // the page as pixels, a tenth of the printer's

class PrintTest : public AppTest {
  protected:
    void SetUp() override
    {
        AppTest::SetUp();
        pdfPath = folder.filePath(u"page.pdf"_s);
        PrintPlatform().printerDialog = [this](QWidget*, QPrinter& printer) {
            ++printerDialogs;
            copiesOffered = printer.copyCount();
            if (!choosePrinter) return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdfPath);
            printer.setResolution(PageDpi);
            printer.setFullPage(true);
            printer.setPageSize(
                QPageSize(QSizeF(576, 816), QPageSize::Point, QString(), QPageSize::ExactMatch));
            printer.setPageMargins(QMarginsF(0, 0, 0, 0));
            return true;
        };
    }

    void TearDown() override
    {
        ResetPrintHooks();
        AppTest::TearDown();
    }

    // Runs `steps` on the preview once it is open; a preview left open is cancelled.
    void WhenPreviewOpen(std::function<void(PreviewFields&)> steps)
    {
        QTimer::singleShot(0, [this, steps] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            ++previewsSeen;
            PreviewFields f{dialog,
                            dialog->findChild<QLabel*>(u"previewImage"_s),
                            dialog->findChild<QScrollBar*>(u"horizontalBar"_s),
                            dialog->findChild<QScrollBar*>(u"verticalBar"_s),
                            dialog->findChild<QLabel*>(u"zoomText"_s),
                            dialog->findChild<QSlider*>(u"zoomBar"_s),
                            dialog->findChild<QPushButton*>(u"print"_s),
                            dialog->findChild<QPushButton*>(u"cancel"_s)};
            steps(f);
            if (dialog->isVisible()) {
                ++leftOpen;
                dialog->reject();
            }
        });
    }

    void PressCtrlP()
    {
        frame->RunCommand(Command::Print);
        QCoreApplication::processEvents(); // a preview that never opened ends its timer here
    }

    // The printed page at a tenth of the printer's resolution; null without pdftoppm.
    QImage PrintedPage()
    {
        const QString tool = QStandardPaths::findExecutable(u"pdftoppm"_s);
        if (tool.isEmpty()) return QImage();
        QProcess::execute(tool, {u"-r"_s, QString::number(ImageDpi), u"-png"_s, u"-singlefile"_s,
                                 pdfPath, folder.filePath(u"page"_s)});
        return QImage(folder.filePath(u"page.png"_s));
    }

    QString pdfPath;
    bool choosePrinter = true;
    int32_t printerDialogs = 0;
    int32_t copiesOffered = 0;
    int32_t previewsSeen = 0;
    int32_t leftOpen = 0;
};

TEST_F(PrintTest, PageShowsTheScreenWhereThePreviewPutIt)
{
    Start({WriteCapture(u"scope01.sav"_s)});
    CaptureWindow& w = Window();
    w.showCursorsBox->setChecked(true); // cursors and trigger stay off the paper
    struct Case {
        const char* name;
        std::function<void(PreviewFields&)> steps;
        QRect page; // the screen on the page, in printer pixels
    };
    const Case cases[] = {
        {"opening at 50 %",
         [](PreviewFields& f) {
             EXPECT_EQ(f.dialog->size(), QSize(330, 380));
             // 290 x 4800 div 6800 = 204 wide, centred in the frame; the bars touch the
             // frame, the zoom text takes what the buttons leave of its row.
             EXPECT_EQ(f.image->geometry(), QRect(53, 10, 204, 290));
             const std::pair<const char*, QRect> places[] = {
                 {"pageFrame", {5, 5, 300, 300}},    {"horizontalBar", {5, 305, 300, 20}},
                 {"verticalBar", {305, 5, 20, 300}}, {"zoomBar", {5, 330, 320, 20}},
                 {"zoomText", {5, 355, 110, 20}},    {"print", {120, 355, 100, 20}},
                 {"cancel", {225, 355, 100, 20}},
             };
             for (const auto& [name, place] : places)
                 EXPECT_EQ(f.dialog->findChild<QWidget*>(QString::fromLatin1(name))->geometry(),
                           place)
                     << name;
             EXPECT_EQ(f.zoomText->text(), u"Zoom: 50 %"_s);
             EXPECT_EQ(f.zoomBar->value(), 49);
             // Positions 0 .. 2400 with pages of 240 across, 0 .. 5200 with 520 down.
             EXPECT_EQ(f.horizontalBar->maximum(), 2400);
             EXPECT_EQ(f.horizontalBar->pageStep(), 240);
             EXPECT_EQ(f.horizontalBar->value(), 1200);
             EXPECT_EQ(f.verticalBar->maximum(), 5200);
             EXPECT_EQ(f.verticalBar->pageStep(), 520);
         },
         {1200, 2600, 2400, 1600}},
        {"zoom 100 %", [](PreviewFields& f) { f.zoomBar->setValue(99); }, {0, 1800, 4800, 3200}},
        {"thumbs dragged to the top-left",
         [](PreviewFields& f) {
             for (QScrollBar* bar : {f.horizontalBar, f.verticalBar}) {
                 bar->setSliderDown(true);
                 bar->setSliderPosition(0);
                 bar->setSliderDown(false);
             }
         },
         {0, 0, 2400, 1600}},
        {"two pages right, one line down, to the end ignored",
         [](PreviewFields& f) {
             f.horizontalBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
             f.horizontalBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
             f.verticalBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
             f.verticalBar->triggerAction(QAbstractSlider::SliderToMaximum);
         },
         {1680, 2601, 2400, 1600}},
        {"zooming after scrolling centres again",
         [](PreviewFields& f) {
             f.verticalBar->triggerAction(QAbstractSlider::SliderPageStepSub);
             f.zoomBar->setValue(24);
         },
         {1800, 3000, 1200, 800}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(pdfPath);
        WhenPreviewOpen([&](PreviewFields& f) {
            c.steps(f);
            // The preview shows the same place at its own scale.
            const QRect scaled(c.page.x() * 204 / 4800, c.page.y() * 290 / 6800,
                               c.page.width() * 204 / 4800, c.page.height() * 290 / 6800);
            ExpectNear(InkOf(f.image->pixmap().toImage()).box, scaled, 1);
            f.print->click();
        });
        PressCtrlP();
        EXPECT_EQ(leftOpen, 0);
        ASSERT_TRUE(QFile::exists(pdfPath));
        const QImage page = PrintedPage();
        if (page.isNull()) GTEST_SKIP() << "pdftoppm is not installed";
        ASSERT_EQ(page.size(), QSize(480, 680));
        const QRect expected(c.page.x() / 10, c.page.y() / 10, c.page.width() / 10,
                             c.page.height() / 10);
        const Ink ink = InkOf(page);
        ExpectNear(ink.box, expected, 2);
        EXPECT_EQ(ink.markers, 0);
        // The black frame runs along the screen's edges; the middle of the screen is paper.
        const QRgb left = page.pixel(expected.left(), expected.center().y() + 3);
        EXPECT_LT(qGray(left), 100);
    }
    QProcess info;
    info.start(u"pdfinfo"_s, {pdfPath});
    if (info.waitForFinished()) {
        EXPECT_TRUE(info.readAllStandardOutput().contains("scope01 - Kurvex"));
    }
}

TEST_F(PrintTest, DecodeStripIsPrintedUnderTheScreenInsideItsPlace)
{
    Start({QStringLiteral(KURVEX_EXAMPLES_DIR "/uart-115200-ch1-rx-ch2-tx.sav")});
    CaptureWindow& w = Window();
    DecodeRequest request{};
    request.stacks = {{DecoderSetup{
        u"uart"_s, {{u"rx"_s, SlotCh1}, {u"tx"_s, SlotCh2}}, {{u"baudrate"_s, u"115200"_s}}}}};
    StartDecoding(w, request);
    QElapsedTimer clock;
    clock.start();
    while (w.decodeRunner->Running() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const auto rows = static_cast<int32_t>(ShownStrip(w).rows.size());
    ASSERT_GT(rows, 0);
    WhenPreviewOpen([](PreviewFields& f) {
        f.zoomBar->setValue(99);
        f.print->click();
    });
    PressCtrlP();
    const QImage page = PrintedPage();
    if (page.isNull()) GTEST_SKIP() << "pdftoppm is not installed";
    // At 100 % the place is 4800 x 3200 at y 1800; the screen keeps its shape, narrower by
    // the strip's share, and screen and strip together fill the place's height.
    const int32_t width = 4800 * 20 / (20 + rows);
    ExpectNear(InkOf(page).box, QRect((4800 - width) / 20, 180, width / 10, 320), 3);
}

TEST_F(PrintTest, CancelledPrintingDoesNothingFailedPrintingSaysWhy)
{
    // Without a capture window the command asks nothing.
    Start();
    PressCtrlP();
    EXPECT_EQ(printerDialogs, 0);
    delete frame;
    frame = nullptr;

    Start({WriteCapture(u"a.sav"_s)});
    // The printer dialog cancelled: no preview.
    choosePrinter = false;
    WhenPreviewOpen([](PreviewFields& f) { f.print->click(); });
    PressCtrlP();
    EXPECT_EQ(printerDialogs, 1);
    EXPECT_EQ(previewsSeen, 0);

    // Escape ends the preview as "Abbrechen" and its close box do, wherever the focus is:
    // nothing printed.
    choosePrinter = true;
    for (const bool onDialog : {true, false}) {
        WhenPreviewOpen([onDialog](PreviewFields& f) {
            QTest::keyClick(onDialog ? static_cast<QWidget*>(f.dialog) : f.zoomBar, Qt::Key_Escape);
            EXPECT_FALSE(f.dialog->isVisible());
        });
        PressCtrlP();
    }
    WhenPreviewOpen([](PreviewFields& f) { f.cancel->click(); });
    PressCtrlP();
    WhenPreviewOpen([](PreviewFields& f) { f.dialog->close(); });
    PressCtrlP();
    EXPECT_EQ(copiesOffered, 1);
    EXPECT_FALSE(QFile::exists(pdfPath));
    // Enter prints, as "Drucken" does.
    WhenPreviewOpen([](PreviewFields& f) { QTest::keyClick(f.zoomBar, Qt::Key_Return); });
    PressCtrlP();
    EXPECT_TRUE(QFile::exists(pdfPath));

    // A document that cannot be started: nothing printed, and the reason is said.
    pdfPath = folder.filePath(u"missing/page.pdf"_s);
    WhenPreviewOpen([](PreviewFields& f) { f.print->click(); });
    PressCtrlP();
    EXPECT_EQ(previewsSeen, 6);
    EXPECT_FALSE(QFile::exists(pdfPath));
    EXPECT_EQ(messages, QStringList{u"Fehler: Die Datei \""_s + pdfPath +
                                    u"\" kann nicht erstellt werden!"_s});
    EXPECT_EQ(leftOpen, 0);
}

TEST(PrintDocumentName, IsTheFileNameWithoutFolderAndExtension)
{
    EXPECT_EQ(PrintDocumentName(u"/data/scope01.sav"_s), u"scope01 - Kurvex"_s);
    EXPECT_EQ(PrintDocumentName(u"/data/run.2.sav"_s), u"run.2 - Kurvex"_s);
    EXPECT_EQ(PrintDocumentName(u"noext"_s), u"noext - Kurvex"_s);
}

} // namespace
