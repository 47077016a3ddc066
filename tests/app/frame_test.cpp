// SPDX-License-Identifier: GPL-3.0-or-later
// The frame as the user meets it: files from the command line and from drops, the menu
// commands with and without a document, shortcuts, exports and the file requesters.
#include "app/capture_loading.h"
#include "app/file_requesters.h"
#include "app/measurements_window.h"
#include "app_fixture.h"
#include "capture/sav_reader.h"
#include "screen/screen_renderer.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

QStringList Titles(QMdiArea* area)
{
    QStringList titles;
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder))
        titles.append(sub->windowTitle());
    return titles;
}

QString ActiveTitle(QMdiArea* area)
{
    return area->currentSubWindow() ? area->currentSubWindow()->windowTitle() : QString();
}

void Drop(QWidget* target, QMimeData* data)
{
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// A key as the window system delivers it to the active window: first the shortcuts, then
// the focused control.
void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers)
{
    QApplication::setActiveWindow(target->window());
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

// Answers the file dialog that is about to open, once it is on the screen.
void AnswerDialog(std::function<void(QFileDialog*)> answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                answer(dialog);
                return;
            }
        }
    });
    timer->start(5);
}

} // namespace

TEST_F(AppTest, FrameIsMaximisedWithTheTiledBackground)
{
    Start();
    EXPECT_EQ(frame->windowTitle(), u"Kurvex"_s);
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->MdiArea()->background().texture().size(), QSize(144, 144));

    // No item is ever disabled or ticked, but for the analyses, which need a window.
    for (QAction* menu : frame->menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            EXPECT_TRUE(menu->text() == u"&Analyse"_s || (item->isEnabled() && !item->isChecked()))
                << item->text().toStdString();
}

// The icons come cut from one strip: each slot a 16 x 16 picture, none blank, and (but for
// the two pairs the tree shares) no two alike, so a slot cut from the wrong place shows.
TEST_F(AppTest, ImageSlotsHoldTheTileAndThirtyTwoIcons)
{
    Start();
    EXPECT_EQ(App().images[0].size(), QSize(144, 144));
    QList<QImage> distinct;
    for (int32_t slot = 1; slot < ImageSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        const QImage icon = App().images[slot].toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(icon.size(), QSize(16, 16));
        QImage blank(16, 16, QImage::Format_ARGB32);
        blank.fill(icon.pixel(0, 0));
        EXPECT_NE(icon, blank);
        if (!distinct.contains(icon)) distinct.append(icon);
    }
    EXPECT_GE(distinct.size(), 30);
}

TEST_F(AppTest, CommandLineFilesOpenFromLastToFirst)
{
    const QString a = WriteCapture(u"a.sav"_s);
    const QString b = WriteCapture(u"b.sav"_s);
    const QString c = WriteCapture(u"c.sav"_s);
    Start({a, b, c});
    EXPECT_EQ(Titles(frame->MdiArea()), (QStringList{u"c.sav"_s, u"b.sav"_s, u"a.sav"_s}));
    EXPECT_EQ(ActiveTitle(frame->MdiArea()), u"a.sav"_s);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AppTest, RejectedFilesLeaveNoWindowAndTheRestStillOpen)
{
    const QString good1 = WriteCapture(u"good1.sav"_s);
    QByteArray foreign = BuildSav(TestSavFile(100));
    foreign.replace(10, 10, QByteArray("XYZ0000000"));
    const QString bad = WriteBytes(u"foreign.sav"_s, foreign);
    const QString missing = folder.filePath(u"missing.sav"_s);
    const QString good2 = WriteCapture(u"good2.sav"_s);
    Start({good1, bad, missing, good2});
    EXPECT_EQ(Titles(frame->MdiArea()), (QStringList{u"good2.sav"_s, u"good1.sav"_s}));
    EXPECT_EQ(messages, (QStringList{u"Fehler: "_s + LoadMessage(ReadCannotOpen, missing),
                                     u"Fehler: "_s + LoadMessage(ReadUnknownModel, bad)}));
    EXPECT_EQ(messages.at(0),
              u"Fehler: Die Datei \"%1\" kann nicht geöffnet werden!"_s.arg(missing));
}

// A file cut short opens with what it holds, says once which samples are missing, and its
// title marks it.
TEST_F(AppTest, IncompleteFileOpensWithOneWarningAndAMarkedTitle)
{
    const QByteArray bytes = BuildSav(TestSavFile(1000, 2));
    const QString cut = WriteBytes(u"cut.sav"_s, bytes.left(bytes.size() - 2 * 300 - 1));
    Start({cut});
    EXPECT_EQ(Titles(frame->MdiArea()), QStringList{u"cut.sav (unvollständig)"_s});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.at(0), u"Warnung: Datei \"%1\" ist unvollständig, es fehlen Abtastwerte "
                              u"(Kanal 2: 301 von 1000). Nur die vorhandenen werden angezeigt, "
                              u"gemessen und exportiert."_s.arg(cut));
    EXPECT_EQ(Window().capture.missing[SlotCh2], 301);
}

TEST_F(AppTest, DroppedFilesOpenFromLastToFirstAndAFolderGetsItsMessage)
{
    Start();
    const QString p1 = WriteCapture(u"p1.sav"_s);
    const QString p3 = WriteCapture(u"p3.sav"_s);
    const QString p4 = WriteCapture(u"p4.sav"_s);
    const QString sub = folder.filePath(u"subfolder"_s);
    ASSERT_TRUE(QDir().mkpath(sub));

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(p1), QUrl::fromLocalFile(sub), QUrl::fromLocalFile(p3),
                  QUrl::fromLocalFile(p4)});
    Drop(frame, &data);
    EXPECT_EQ(Titles(frame->MdiArea()), (QStringList{u"p4.sav"_s, u"p3.sav"_s, u"p1.sav"_s}));
    EXPECT_EQ(ActiveTitle(frame->MdiArea()), u"p1.sav"_s);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.at(0).contains(sub));
}

TEST_F(AppTest, OnlyLocalFileDropsAreTaken)
{
    Start();
    const QString p1 = WriteCapture(u"p1.sav"_s);
    QMimeData text;
    text.setText(p1);
    Drop(frame, &text);
    QMimeData remote;
    remote.setUrls({QUrl(u"https://example.org/p1.sav"_s)});
    Drop(frame, &remote);
    EXPECT_TRUE(CaptureWindows(App().mdiArea).isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AppTest, CloseAllClosesEveryWindowAndIsHarmlessWithNone)
{
    Start();
    frame->RunCommand(Command::CloseAll);
    EXPECT_TRUE(CaptureWindows(App().mdiArea).isEmpty());

    // The same file opened five times gives five windows.
    const QString a = WriteCapture(u"a.sav"_s);
    Start({a, a, a, a, a});
    ASSERT_EQ(CaptureWindows(App().mdiArea).size(), 5);
    frame->RunCommand(Command::CloseAll);
    EXPECT_TRUE(CaptureWindows(App().mdiArea).isEmpty());
    EXPECT_TRUE(frame->MdiArea()->subWindowList().isEmpty());
}

TEST_F(AppTest, CloseBoxForgetsTheWindow)
{
    const QString a = WriteCapture(u"a.sav"_s);
    const QString b = WriteCapture(u"b.sav"_s);
    Start({a, b});
    QMdiSubWindow* first = Window(0).SubWindow();
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(CaptureWindows(App().mdiArea).size(), 1);
    EXPECT_EQ(Titles(frame->MdiArea()), QStringList{u"a.sav"_s});
}

TEST_F(AppTest, CommandsThatNeedADocumentDoNothingWithoutOne)
{
    Start();
    for (Command id : {Command::Print, Command::ExportPng, Command::CopyImage, Command::ExportCsv,
                       Command::ExportRaw, Command::ExportSigrok, Command::PeakValues,
                       Command::RmsValues, Command::MeanValues, Command::CloseWindow}) {
        SCOPED_TRACE(static_cast<int32_t>(id));
        frame->RunCommand(id);
    }
    for (int key : {Qt::Key_P, Qt::Key_F, Qt::Key_C, Qt::Key_E, Qt::Key_L})
        PressKey(frame, key, Qt::ControlModifier);
    EXPECT_TRUE(saveRequests.isEmpty());
    EXPECT_EQ(clipboardCalls, 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AppTest, OpenCommandOpensEveryChosenFileInOrder)
{
    Start();
    const QString a = WriteCapture(u"a.sav"_s);
    const QString b = WriteCapture(u"b.sav"_s);
    openAnswer = {a, b};
    PressKey(frame, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(openRequests.size(), 1);
    const FileDialogRequest& request = openRequests.at(0);
    EXPECT_EQ(request.filters,
              (QStringList{u"UTD2052CEL, UTD2102CEL (*.sav)"_s, u"Alle Dateien (*.*)"_s}));
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_EQ(request.defaultExtension, u"sav"_s);
    EXPECT_TRUE(request.multiSelect);
    EXPECT_TRUE(request.mustExist);
    EXPECT_TRUE(request.title.isEmpty());
    EXPECT_EQ(Titles(frame->MdiArea()), (QStringList{u"a.sav"_s, u"b.sav"_s}));
    EXPECT_EQ(App().openedPaths, (QStringList{a, b}));

    // A cancelled requester forgets the paths of the one before.
    openAnswer.clear();
    frame->RunCommand(Command::Open);
    EXPECT_TRUE(App().openedPaths.isEmpty());
    EXPECT_EQ(CaptureWindows(App().mdiArea).size(), 2);
}

TEST_F(AppTest, ExportFlowsProposeTheCaptureNameAndReportFailures)
{
    const QString a = WriteCapture(u"A001.sav"_s);
    Start({a});
    struct Case {
        Command command;
        QString filter;
        QString extension;
    };
    const Case cases[] = {
        {Command::ExportPng, u"PNG-Dateien (*.png)"_s, u"png"_s},
        {Command::ExportCsv, u"CSV-Dateien (*.csv)"_s, u"csv"_s},
        {Command::ExportRaw, u"LTspice-RAW-Dateien (*.raw)"_s, u"raw"_s},
        {Command::ExportSigrok, u"sigrok-Sitzungen (*.sr)"_s, u"sr"_s},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.extension.toStdString());
        saveRequests.clear();
        messages.clear();

        // Cancelled: no file, no message.
        saveAnswer.clear();
        frame->RunCommand(test.command);
        ASSERT_EQ(saveRequests.size(), 1);
        const FileDialogRequest& request = saveRequests.at(0);
        EXPECT_EQ(request.initialFile, folder.filePath(u"A001"_s));
        EXPECT_EQ(request.filters, (QStringList{test.filter, u"Alle Dateien (*.*)"_s}));
        EXPECT_EQ(request.filterIndex, 0);
        EXPECT_EQ(request.defaultExtension, test.extension);
        EXPECT_TRUE(request.overwritePrompt);
        EXPECT_TRUE(messages.isEmpty());

        // Written.
        saveAnswer = folder.filePath(u"out."_s + test.extension);
        frame->RunCommand(test.command);
        EXPECT_TRUE(QFileInfo(saveAnswer).size() > 0);
        EXPECT_TRUE(messages.isEmpty());

        // A folder that does not exist: the writer fails and the user hears of it.
        saveAnswer = folder.filePath(u"no/such/folder/out."_s + test.extension);
        frame->RunCommand(test.command);
        EXPECT_EQ(
            messages,
            QStringList{u"Fehler: Die Datei \"%1\" kann nicht erstellt werden!"_s.arg(saveAnswer)});
    }
}

TEST_F(AppTest, ClipboardPictureEqualsThePngExport)
{
    const QString a = WriteCapture(u"a.sav"_s);
    Start({a});
    CaptureWindow& w = Window();
    w.showCursorsBox->setChecked(true);
    w.zoomSlider->setValue(3);
    saveAnswer = folder.filePath(u"screen.png"_s);
    frame->RunCommand(Command::ExportPng);
    frame->RunCommand(Command::CopyImage);
    ASSERT_EQ(clipboardCalls, 1);
    const QImage png(saveAnswer);
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), QSize(600, 400));
    EXPECT_EQ(clipboard.convertToFormat(QImage::Format_RGB32),
              png.convertToFormat(QImage::Format_RGB32));
    // The exported picture carries the scale labels that the window's own picture lacks.
    EXPECT_NE(clipboard.convertToFormat(QImage::Format_RGB32),
              w.screenImage->Image().convertToFormat(QImage::Format_RGB32));
}

TEST_F(AppTest, FrameShortcutsWinOverTheFocusedControl)
{
    const QString a = WriteCapture(u"a.sav"_s);
    Start({a});
    CaptureWindow& w = Window();
    w.showCursorsBox->setChecked(true);
    w.resultsBox->setPlainText(u"text to copy"_s);
    w.resultsBox->selectAll();
    PressKey(w.resultsBox, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboardCalls, 1);
    EXPECT_EQ(clipboard.size(), QSize(600, 400));

    PressKey(w.settingsTree, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(saveRequests.size(), 1);
    PressKey(w.zoomSlider, Qt::Key_F1, Qt::NoModifier);
    // Keys with other modifiers are the controls' own.
    PressKey(w.resultsBox, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(clipboardCalls, 1);
}

TEST_F(AppTest, QuitAndClosingTheFrameEndTheLoop)
{
    const QString a = WriteCapture(u"a.sav"_s);
    Start({a});
    frame->RunCommand(Command::Quit);
    EXPECT_TRUE(App().quitRequested);
    EXPECT_EQ(quitCalls, 1);
    App().quitRequested = false;
    frame->close();
    EXPECT_TRUE(App().quitRequested);
    EXPECT_EQ(quitCalls, 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AppTest, WindowMenuListsTheOpenWindows)
{
    const QString a = WriteCapture(u"a.sav"_s);
    const QString b = WriteCapture(u"b&c.sav"_s);
    Start({a, b});
    for (int round = 0; round < 2; ++round) {
        Q_EMIT frame->WindowMenu()->aboutToShow();
        const QList<QAction*> items = frame->WindowMenu()->actions();
        ASSERT_EQ(items.size(), 7);
        EXPECT_TRUE(items.at(4)->isSeparator());
        EXPECT_EQ(items.at(5)->text(), u"&1 b&&c.sav"_s);
        EXPECT_EQ(items.at(6)->text(), u"&2 a.sav"_s);
        // The active window, a's (in front after opening), is ticked; after choosing b's
        // entry, b's.
        EXPECT_EQ(items.at(5)->isChecked(), round == 1);
        EXPECT_EQ(items.at(6)->isChecked(), round == 0);
        if (round == 0) Q_EMIT items.at(5)->trigger();
    }
    EXPECT_EQ(ActiveTitle(frame->MdiArea()), u"b&c.sav"_s);
}

// Where the area has room, the cascade keeps the windows' size; right after a tile it
// still shows every window inside the area, none on top of another.
TEST_F(AppTest, CascadeKeepsTheWindowSizeAndShowsEveryWindow)
{
    const QString a = WriteCapture(u"a.sav"_s);
    Start({a, a, a});
    frame->showNormal();
    frame->resize(1600, 1000);
    const QSize size = Window().SubWindow()->size();
    frame->RunCommand(Command::Cascade);
    for (const auto& w : CaptureWindows(App().mdiArea))
        EXPECT_EQ(w->SubWindow()->size(), size);
    const QRect area = frame->MdiArea()->viewport()->rect();
    for (Command tile : {Command::TileVertical, Command::TileHorizontal}) {
        frame->RunCommand(tile);
        frame->RunCommand(Command::Cascade);
        QList<QPoint> corners;
        for (const auto& w : CaptureWindows(App().mdiArea)) {
            EXPECT_TRUE(area.contains(w->SubWindow()->geometry())) << static_cast<int>(tile);
            EXPECT_FALSE(corners.contains(w->SubWindow()->pos()));
            corners.append(w->SubWindow()->pos());
        }
    }
}

TEST(FileRequesters, FilterPatternsBecomeTheDialogsFilterList)
{
    struct Case {
        QString pattern;
        QStringList filters;
    };
    const Case cases[] = {
        {u"CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*"_s,
         {u"CSV-Dateien (*.csv)"_s, u"Alle Dateien (*.*)"_s}},
        {u"UTD2052CEL, UTD2102CEL (*.sav)|*.sav"_s, {u"UTD2052CEL, UTD2102CEL (*.sav)"_s}},
        {u"Bilder|*.png;*.bmp"_s, {u"Bilder (*.png;*.bmp)"_s}},
        {u"Ohne Muster"_s, {}},
        {QString(), {}},
    };
    for (const Case& test : cases)
        EXPECT_EQ(FilterListFromPattern(test.pattern), test.filters) << test.pattern.toStdString();
}

TEST_F(AppTest, RequestersPassFlagsAndCutTheInitialName)
{
    Start();
    App().openedPaths = {u"old"_s};
    openAnswer = {u"/x/A.sav"_s, u"/x/B.sav"_s};
    EXPECT_EQ(OpenFileRequester(u"Titel"_s, u"start"_s, u"S|*.sav"_s, 0, frame, u"sav"_s, 0x10),
              u"/x/A.sav"_s);
    EXPECT_EQ(App().openedPaths, openAnswer);
    EXPECT_EQ(openRequests.at(0).title, u"Titel"_s);
    EXPECT_FALSE(openRequests.at(0).multiSelect);

    saveAnswer = u"/x/out.csv"_s;
    const QString longName = QString(1200, u'a');
    EXPECT_EQ(SaveFileRequester(QString(), longName, u"C|*.csv"_s, 0, frame, u"csv"_s, 0x03),
              saveAnswer);
    EXPECT_EQ(saveRequests.at(0).initialFile.size(), 999);
    EXPECT_FALSE(saveRequests.at(0).overwritePrompt);
}

// The toolkit's own dialog, driven as a user would: the filter shown first, a name typed
// without extension, with a dot of its own, or with another filter chosen.
TEST_F(AppTest, RealSaveDialogAppendsTheDefaultExtension)
{
    Start();
    Platform().saveDialog = QtSaveDialog;
    struct Case {
        QString typed;
        int filter;
        QString expected;
    } const cases[] = {
        {u"messung"_s, 0, u"messung.csv"_s},
        {u"rc-1.5v"_s, 0, u"rc-1.5v.csv"_s},
        {u"daten.CSV"_s, 0, u"daten.CSV"_s},
        {u"rc-1.5v"_s, 1, u"rc-1.5v"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QStringList shownFilters;
        AnswerDialog([&](QFileDialog* dialog) {
            shownFilters = dialog->nameFilters();
            shownFilters.prepend(dialog->selectedNameFilter());
            dialog->selectNameFilter(dialog->nameFilters().at(c.filter));
            if (auto* nameEdit = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s)) {
                // Typed: the field has the focus.
                dialog->activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
                nameEdit->setFocus();
                EXPECT_TRUE(nameEdit->hasFocus());
                nameEdit->setText(c.typed);
            }
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const QString chosen = SaveFileRequester(
            QString(), folder.filePath(u"A001"_s),
            u"CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*"_s, 0, frame, u"csv"_s, 0x07);
        EXPECT_EQ(chosen, folder.filePath(c.expected));
        EXPECT_EQ(shownFilters, (QStringList{u"CSV-Dateien (*.csv)"_s, u"CSV-Dateien (*.csv)"_s,
                                             u"Alle Dateien (*.*)"_s}));
    }
}

TEST_F(AppTest, RealOpenDialogCancelledYieldsNothing)
{
    Start();
    Platform().openDialog = QtOpenDialog;
    // "Alle Dateien (*.*)" lists names without a dot too.
    QStringList allFilesPatterns;
    AnswerDialog([&](QFileDialog* dialog) {
        auto* types = dialog->findChild<QComboBox*>(u"fileTypeCombo"_s);
        auto* model = dialog->findChild<QFileSystemModel*>();
        if (types && model) {
            types->setCurrentIndex(1);
            Q_EMIT types->activated(1);
            Q_EMIT types->textActivated(types->currentText());
            allFilesPatterns = model->nameFilters();
        }
        dialog->reject();
    });
    App().openedPaths = {u"old"_s};
    frame->RunCommand(Command::Open);
    EXPECT_TRUE(App().openedPaths.isEmpty());
    EXPECT_TRUE(CaptureWindows(App().mdiArea).isEmpty());
    EXPECT_EQ(allFilesPatterns, QStringList{u"*"_s});
}

// The multi-window conventions: Ctrl+W and Ctrl+F4 close the active capture window.
TEST_F(AppTest, CtrlWAndCtrlF4CloseTheActiveCaptureWindow)
{
    Start({WriteCapture(u"a.sav"_s), WriteCapture(u"b.sav"_s)});
    PressKey(Window(1).settingsTree, Qt::Key_W, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Titles(frame->MdiArea()), QStringList{u"b.sav"_s});
    PressKey(frame, Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(CaptureWindows(App().mdiArea).isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

// A command started from "Messungen" and cancelled gives the focus back there, so that
// the next Ctrl+C copies the table.
TEST_F(AppTest, FocusReturnsToTheMeasurementsWindow)
{
    Start({WriteCapture(u"a.sav"_s)});
    frame->RunCommand(Command::Measurements);
    MeasurementsWindow* m = Window().measurementsWindow;
    ASSERT_TRUE(m);
    QApplication::setActiveWindow(m);
    m->table->setFocus();
    Platform().saveDialog = [&](QWidget*, const FileDialogRequest& request) {
        saveRequests.append(request);
        QApplication::setActiveWindow(frame);
        frame->setFocus();
        return QString();
    };
    QTest::keyClick(m->table, Qt::Key_E, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(saveRequests.size(), 1);
    EXPECT_EQ(QApplication::focusWidget(), m->table);
}

// "Sprache / Language" switches the menus at once and is remembered for the next start.
TEST_F(AppTest, LanguageMenuSwitchesTheMenusAndIsRemembered)
{
    Start();
    const auto menuTitles = [this] {
        QStringList titles;
        for (QAction* menu : frame->menuBar()->actions())
            titles.append(menu->text());
        return titles;
    };
    QMenu* help = frame->menuBar()->actions().at(3)->menu();
    QMenu* languages = help->actions().last()->menu();
    ASSERT_TRUE(languages);
    EXPECT_EQ(help->actions().last()->text(), u"Sprache / Language"_s);
    languages->actions().at(1)->trigger();
    EXPECT_EQ(menuTitles(), (QStringList{u"&File"_s, u"&Analysis"_s, u"&Window"_s, u"&?"_s}));
    EXPECT_EQ(frame->Actions()[Command::Open]->text(), u"&Open...\tCtrl+O"_s);
    EXPECT_EQ(QSettings().value(u"language"_s).toString(), u"en"_s);
    EXPECT_EQ(CurrentLanguage(), u"en"_s);
    frame->RunCommand(Command::LanguageGerman);
    EXPECT_EQ(menuTitles(), (QStringList{u"&Datei"_s, u"&Analyse"_s, u"&Fenster"_s, u"&?"_s}));
    EXPECT_EQ(frame->Actions()[Command::Open]->text(), u"&Öffnen...\tStrg+O"_s);
    EXPECT_EQ(QSettings().value(u"language"_s).toString(), u"de"_s);
}
