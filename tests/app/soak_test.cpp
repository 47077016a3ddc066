// SPDX-License-Identifier: GPL-3.0-or-later
// A long run of random but meaningful user events on the real frame and capture windows,
// from a fixed seed. After every event the windows must still agree with their records:
// the view inside the record, the cursors inside it, the controls showing the view, the
// screen filling the window's size, every analysis window with its capture window, and
// exactly the renders the event called for. Most dialogs are answered through the
// platform hooks; some rows go through the toolkit's own file dialogs and message boxes.
// One table row per kind of event: a new command is one more row. KURVEX_SOAK_EVENTS sets
// the length (a short run by default); from 2,000 events on the resident memory is sampled
// every 1,000 events with every window closed, and a run of 20,000 or more fails when it
// grows by more than 10 % after the first 10,000.
#include "app/capture_window.h"
#include "app/measurements_window.h"
#include "app/screen_navigation.h"
#include "app/spectrum_window.h"
#include "app_fixture.h"
#include "capture/file_name.h"
#include "capture/sav_reader.h"
#include "screen/view.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int32_t DefaultEvents = 300;
constexpr int32_t MaxWindows = 12;
constexpr int32_t MemoryInterval = 1000;
constexpr int32_t MemoryBaselineEvent = 10'000;
constexpr double MemoryGrowthLimit = 0.10;
// The allocator keeps freed memory now and then for a while: the lowest of five samples
// tells what stays.
constexpr size_t MemoryFloorSamples = 5;

double ResidentMegabytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

// The heap's bytes in use: beside the resident size it tells a leak (both grow) from
// freed memory that the allocator keeps (only the resident size grows).
double HeapInUseMegabytes()
{
#if defined(__GLIBC__)
    return static_cast<double>(mallinfo2().uordblks) / 1e6;
#else
    return 0;
#endif
}

QStringList SavFilesIn(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, {u"*.sav"_s}, QDir::Files);
    while (it.hasNext())
        files.append(it.next());
    files.sort(); // the seed alone decides the run, not the directory order
    return files;
}

// Presses a mouse button on a control as the window system would deliver it.
void Click(QWidget* control, Qt::MouseButton button = Qt::LeftButton, QPoint at = {})
{
    QTest::mouseClick(control, button, Qt::NoModifier, at.isNull() ? control->rect().center() : at);
}

// Counts the sizes each loaded screen takes outside a refresh: each one draws it. Some
// steps size a window twice: a maximised window fills the area again when the area's
// scroll bars go. A hidden window's screen hears of its last size only when shown.
class ResizeCounter : public QObject {
  public:
    std::map<const QObject*, int32_t> counts;
    std::map<const QObject*, QSize> sizes;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Resize) return false;
        for (const auto& w : CaptureWindows(App().mdiArea)) {
            if (w->screenImage != watched) continue;
            const QSize size = static_cast<QResizeEvent*>(event)->size();
            const auto last = sizes.find(watched);
            if (last != sizes.end() && last->second != size && w->view.visibleCount > 0 &&
                !w->refreshing)
                ++counts[watched];
            sizes[watched] = size;
        }
        return false;
    }
};

// What an action expects to see redrawn: `renders` new pictures in `target`, none in any
// other window that was open before, beside one for each size a window's screen took.
struct Expectation {
    CaptureWindow* target;
    int32_t renders;
};

class SoakTest : public AppTest {
  public:
    struct Action {
        const char* name;
        int32_t weight;
        bool needsWindow;
        Expectation (*run)(SoakTest& soak, CaptureWindow* active);
    };
    static const Action Actions[];

    void Run(int32_t events);

    int32_t Pick(int32_t count)
    {
        return std::uniform_int_distribution<int32_t>(0, count - 1)(random);
    }
    bool Chance(int32_t percent) { return Pick(100) < percent; }

    CaptureWindow* Active() { return CaptureWindow::Of(frame->MdiArea()->currentSubWindow()); }

    void TriggerMenuItem(const QString& text)
    {
        for (QAction* menu : frame->menuBar()->actions()) {
            Q_EMIT menu->menu()->aboutToShow(); // as when the user opens it
            for (QAction* item : menu->menu()->actions())
                if (item->text() == text) {
                    item->trigger();
                    return;
                }
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
    }

    // A capture to open: mostly the examples, now and then one of the damaged files.
    QString AnyCapture()
    {
        if (Chance(70)) return good.at(Pick(static_cast<int32_t>(good.size())));
        return bad.at(Pick(static_cast<int32_t>(bad.size())));
    }

    // The damaged files carry the reader's answer in their name; "code0" still loads.
    static bool Loads(const QString& path)
    {
        return QFileInfo(path).fileName().startsWith(u"code0"_s) || path.startsWith(examples);
    }

    // A file cut short loads, and says once that samples are missing.
    static bool Warns(const QString& path)
    {
        auto capture = std::make_unique<Capture>();
        return ReadCapture(*capture, path) == ReadOk && CaptureIncomplete(*capture);
    }

    void Export(int key, const QString& extension)
    {
        const int32_t choice = Pick(10);
        if (choice == 0)
            saveAnswer.clear(); // cancelled
        else if (choice == 1)
            saveAnswer = folder.filePath(u"missing/out."_s + extension);
        else
            saveAnswer = folder.filePath(u"out."_s + extension);
        const qsizetype before = messages.size();
        if (!saveAnswer.isEmpty()) QFile::remove(saveAnswer);
        QTest::keyClick(frame, static_cast<Qt::Key>(key), Qt::ControlModifier);
        if (choice == 1) {
            EXPECT_EQ(messages.size(), before + 1) << "no message for " << saveAnswer.toStdString();
        } else if (choice > 1) {
            EXPECT_GT(QFileInfo(saveAnswer).size(), 0) << saveAnswer.toStdString();
            EXPECT_EQ(messages.size(), before);
        }
    }

    // Runs `command` with the toolkit's own file dialogs and message boxes, answered as a
    // user would: `typed` goes into the file dialog's name field, message boxes get "OK"
    // (or "Ja" to replace an existing file).
    template <typename Command>
    void WithRealDialogs(const QString& typed, Command command)
    {
        const PlatformHooks hooks = Platform();
        Platform().openDialog = QtOpenDialog;
        Platform().saveDialog = QtSaveDialog;
        Platform().errorBox = [this](QWidget* owner, const QString& title, const QString& text) {
            messages.append(title + u": "_s + text);
            QtErrorBox(owner, title, text);
        };
        QTimer answer;
        QPointer<QFileDialog> answered;
        QObject::connect(&answer, &QTimer::timeout, [&typed, &answered] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                if (files == answered) return;
                answered = files;
                if (auto* name = files->findChild<QLineEdit*>(u"fileNameEdit"_s))
                    name->setText(typed);
                // Queued: a question that the accept asks must find this timer free.
                QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                QAbstractButton* yes = box->button(QMessageBox::Yes);
                Click(yes ? yes : box->button(QMessageBox::Ok));
            }
        });
        answer.start(2);
        command();
        answer.stop();
        Platform() = hooks;
    }

    bool CheckWindows(const char* action, int32_t event);

    std::mt19937 random{20261209};
    QStringList good;
    QStringList bad;
    inline static const QString examples = QStringLiteral(KURVEX_EXAMPLES_DIR);
    // Render count of each window after the last event.
    std::map<const QMdiSubWindow*, int32_t> rendersBefore;
    ResizeCounter resizes;
    Expectation expected{};
    qsizetype openedGood = 0;
    qsizetype openedBad = 0;
};

Expectation Nothing(CaptureWindow* window)
{
    return {window, 0};
}

Expectation OneRenderIf(CaptureWindow* window, bool changed)
{
    return {window, changed ? 1 : 0};
}

// The "Mathematik" dialog answered from inside its own loop: random operands, operation
// and factor, then "OK", "Deaktivieren" or "Abbrechen".
Expectation AnswerMathDialog(SoakTest& soak, CaptureWindow* w)
{
    if (!w->mathButton->isEnabled()) {
        Click(w->mathButton);
        return Nothing(w);
    }
    const int32_t answer = soak.Pick(3); // 0 OK, 1 Deaktivieren, 2 Abbrechen
    auto answered = std::make_shared<bool>(false);
    QTimer::singleShot(0, [&soak, answer, answered] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        auto* operandX = dialog->findChild<QComboBox*>(u"operandX"_s);
        auto* operation = dialog->findChild<QComboBox*>(u"operation"_s);
        auto* operandY = dialog->findChild<QComboBox*>(u"operandY"_s);
        auto* factor = dialog->findChild<QComboBox*>(u"factor"_s);
        operation->setCurrentIndex(soak.Pick(operation->count()));
        operandX->setCurrentIndex(soak.Pick(operandX->count()));
        if (soak.Chance(20))
            operandY->setEditText(soak.Chance(50) ? u"0"_s : u"2,5"_s);
        else
            operandY->setCurrentIndex(soak.Pick(operandY->count()));
        factor->setCurrentIndex(soak.Pick(factor->count()));
        const char* const buttons[] = {"ok", "deactivate", "cancel"};
        Click(dialog->findChild<QPushButton*>(QString::fromLatin1(buttons[answer])));
        *answered = true;
    });
    Click(w->mathButton);
    EXPECT_TRUE(*answered);
    return {w, answer == 2 ? 0 : 1};
}

// One row per kind of user event; the weight is how often it comes up. Rows that need a
// window act on the active one.
const SoakTest::Action SoakTest::Actions[] = {
    {"open", 6, false,
     [](SoakTest& soak, CaptureWindow*) {
         if (CaptureWindows(App().mdiArea).size() >= MaxWindows) return Nothing(nullptr);
         QStringList paths;
         for (int32_t i = soak.Pick(3); i >= 0; --i)
             paths.append(soak.AnyCapture());
         const qsizetype windows = CaptureWindows(App().mdiArea).size();
         const qsizetype before = soak.messages.size();
         if (soak.Chance(50)) {
             soak.openAnswer = paths;
             QTest::keyClick(soak.frame, Qt::Key_O, Qt::ControlModifier);
         } else {
             QMimeData data;
             QList<QUrl> urls;
             for (const QString& path : paths)
                 urls.append(QUrl::fromLocalFile(path));
             data.setUrls(urls);
             QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                   Qt::NoModifier);
             QApplication::sendEvent(soak.frame, &enter);
             QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                             Qt::NoModifier);
             QApplication::sendEvent(soak.frame, &drop);
         }
         const auto loads = std::count_if(paths.begin(), paths.end(), Loads);
         soak.openedGood += loads;
         soak.openedBad += paths.size() - loads;
         EXPECT_EQ(CaptureWindows(App().mdiArea).size(), windows + loads);
         const auto warnings = std::count_if(paths.begin(), paths.end(), Warns);
         EXPECT_EQ(soak.messages.size(), before + paths.size() - loads + warnings)
             << paths.join(u' ').toStdString() << soak.messages.join(u' ').toStdString();
         return Nothing(nullptr);
     }},
    {"close box", 4, true,
     [](SoakTest&, CaptureWindow* w) {
         w->SubWindow()->close();
         return Nothing(nullptr);
     }},
    {"close all", 1, false,
     [](SoakTest& soak, CaptureWindow*) {
         soak.TriggerMenuItem(u"&Alle schließen"_s);
         EXPECT_TRUE(CaptureWindows(App().mdiArea).isEmpty());
         return Nothing(nullptr);
     }},
    {"zoom", 8, true,
     [](SoakTest& soak, CaptureWindow* w) {
         const Qt::Key keys[] = {Qt::Key_Left,     Qt::Key_Right, Qt::Key_PageUp,
                                 Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
         const int value = w->zoomSlider->value();
         QTest::keyClick(w->zoomSlider, keys[soak.Pick(6)]);
         return OneRenderIf(w, w->zoomSlider->value() != value);
     }},
    {"scroll", 8, true,
     [](SoakTest& soak, CaptureWindow* w) {
         const int value = w->scrollBar->value();
         if (soak.Chance(30)) {
             // Dragging the thumb somewhere.
             w->scrollBar->setSliderDown(true);
             w->scrollBar->setSliderPosition(soak.Pick(w->scrollBar->maximum() + 1));
             w->scrollBar->setSliderDown(false);
         } else {
             const Qt::Key keys[] = {Qt::Key_Left,     Qt::Key_Right, Qt::Key_PageUp,
                                     Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
             QTest::keyClick(w->scrollBar, keys[soak.Pick(6)]);
         }
         return OneRenderIf(w, w->scrollBar->value() != value);
     }},
    {"screen navigation", 8, true,
     [](SoakTest& soak, CaptureWindow* w) {
         const CaptureView before = w->view;
         QWidget* const s = w->screenImage;
         const auto send = [s](QEvent::Type type, int x, Qt::KeyboardModifiers modifiers) {
             const QPointF at(x, 50);
             const Qt::MouseButtons held =
                 type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
             QMouseEvent event(type, at, s->mapToGlobal(at), Qt::LeftButton, held, modifiers);
             QApplication::sendEvent(s, &event);
         };
         const int x = soak.Pick(s->width());
         const Qt::KeyboardModifiers modifiers =
             soak.Chance(20) ? Qt::KeyboardModifiers(soak.Chance(50) ? Qt::ShiftModifier
                                                                     : Qt::ControlModifier)
                             : Qt::NoModifier;
         switch (soak.Pick(3)) {
         case 0: { // a burst of wheel notches, in or out
             const int angle = soak.Chance(50) ? 120 : -120;
             for (int i = soak.Pick(5); i >= 0; --i) {
                 QWheelEvent wheel(QPointF(x, 50), s->mapToGlobal(QPointF(x, 50)), QPoint(),
                                   QPoint(0, angle), Qt::NoButton, modifiers & Qt::ShiftModifier,
                                   Qt::NoScrollPhase, false);
                 QApplication::sendEvent(s, &wheel);
             }
             break;
         }
         case 1: { // a drag far enough not to be a click; with Ctrl a rubber band
             const int end = x + (soak.Chance(50) ? 1 : -1) * (5 + soak.Pick(300));
             send(QEvent::MouseButtonPress, x, modifiers);
             send(QEvent::MouseMove, (x + end) / 2, modifiers);
             send(QEvent::MouseMove, end, modifiers);
             send(QEvent::MouseButtonRelease, end, modifiers);
             break;
         }
         default: {
             const Qt::Key keys[] = {Qt::Key_Plus,   Qt::Key_Minus,    Qt::Key_Left,
                                     Qt::Key_Right,  Qt::Key_PageUp,   Qt::Key_PageDown,
                                     Qt::Key_Home,   Qt::Key_End};
             QTest::keyClick(s, keys[soak.Pick(8)]);
         }
         }
         for (int i = 0; i < 10 && w->navigation->Pending(); ++i)
             QCoreApplication::processEvents();
         return OneRenderIf(w, w->view.firstSample != before.firstSample ||
                                   w->view.visibleCount != before.visibleCount);
     }},
    {"Cursor anzeigen", 3, true,
     [](SoakTest&, CaptureWindow* w) {
         Click(w->showCursorsBox, Qt::LeftButton, QPoint(5, 10));
         return OneRenderIf(w, true);
     }},
    {"cursor click", 8, true,
     [](SoakTest& soak, CaptureWindow* w) {
         const bool shown = w->view.cursorsShown == 1;
         Click(w->screenImage, soak.Chance(50) ? Qt::LeftButton : Qt::RightButton,
               QPoint(soak.Pick(w->screenImage->width()), 1 + soak.Pick(100)));
         return OneRenderIf(w, shown);
     }},
    {"Alles auswählen", 2, true,
     [](SoakTest&, CaptureWindow* w) {
         const bool shown = w->view.cursorsShown == 1;
         Click(w->selectAllButton);
         return OneRenderIf(w, shown);
     }},
    {"measurement", 4, true,
     [](SoakTest& soak, CaptureWindow* w) {
         if (!w->measureButton->isEnabled()) return Nothing(w);
         Click(w->measureButton);
         QMenu* menu = soak.frame->MeasurePopup();
         EXPECT_TRUE(menu->isVisible());
         QAction* item = menu->actions().at(soak.Pick(3));
         Click(menu, Qt::LeftButton, menu->actionGeometry(item).center());
         EXPECT_FALSE(menu->isVisible());
         EXPECT_FALSE(w->resultsBox->toPlainText().isEmpty());
         return Nothing(w);
     }},
    {"Mathematik", 3, true, AnswerMathDialog},
    {"export PNG", 2, true,
     [](SoakTest& soak, CaptureWindow* w) {
         soak.Export(Qt::Key_F, u"png"_s);
         return Nothing(w);
     }},
    {"export CSV", 1, true,
     [](SoakTest& soak, CaptureWindow* w) {
         soak.Export(Qt::Key_E, u"csv"_s);
         return Nothing(w);
     }},
    {"export RAW", 1, true,
     [](SoakTest& soak, CaptureWindow* w) {
         soak.Export(Qt::Key_L, u"raw"_s);
         return Nothing(w);
     }},
    {"clipboard", 1, true,
     [](SoakTest& soak, CaptureWindow* w) {
         const int32_t before = soak.clipboardCalls;
         QTest::keyClick(soak.frame, Qt::Key_C, Qt::ControlModifier);
         EXPECT_EQ(soak.clipboardCalls, before + 1);
         return Nothing(w);
     }},
    {"Nebeneinander", 1, false,
     [](SoakTest& soak, CaptureWindow*) {
         soak.TriggerMenuItem(u"&Nebeneinander"_s);
         return Nothing(nullptr);
     }},
    {"Übereinander", 1, false,
     [](SoakTest& soak, CaptureWindow*) {
         soak.TriggerMenuItem(u"&Übereinander"_s);
         return Nothing(nullptr);
     }},
    {"Kaskadieren", 1, false,
     [](SoakTest& soak, CaptureWindow*) {
         soak.TriggerMenuItem(u"&Kaskadieren"_s);
         return Nothing(nullptr);
     }},
    {"window menu", 3, true,
     [](SoakTest& soak, CaptureWindow*) {
         QMenu* menu = soak.frame->WindowMenu();
         Q_EMIT menu->aboutToShow();
         const QList<QAction*> items = menu->actions();
         const auto windows = static_cast<int32_t>(CaptureWindows(App().mdiArea).size());
         // The fixed items and a separator come first; the windows are the last ones.
         items.at(items.size() - 1 - soak.Pick(windows))->trigger();
         return Nothing(nullptr);
     }},
    {"title bar click", 2, true,
     [](SoakTest& soak, CaptureWindow*) {
         const auto& windows = CaptureWindows(App().mdiArea);
         QMdiSubWindow* sub = windows.at(soak.Pick(static_cast<int32_t>(windows.size())))->SubWindow();
         // Only where the title bar shows: a larger or maximised window may cover it.
         const QPoint title(sub->width() / 2, 4);
         if (soak.frame->MdiArea()->viewport()->childAt(sub->mapToParent(title)) != sub)
             return Nothing(nullptr);
         Click(sub, Qt::LeftButton, title);
         EXPECT_EQ(soak.frame->MdiArea()->currentSubWindow(), sub);
         return Nothing(nullptr);
     }},
    {"Öffnen im Dateidialog", 2, false,
     [](SoakTest& soak, CaptureWindow*) {
         if (CaptureWindows(App().mdiArea).size() >= MaxWindows) return Nothing(nullptr);
         const QString path = soak.AnyCapture();
         const qsizetype windows = CaptureWindows(App().mdiArea).size();
         const qsizetype before = soak.messages.size();
         soak.WithRealDialogs(
             path, [&soak] { QTest::keyClick(soak.frame, Qt::Key_O, Qt::ControlModifier); });
         const bool loads = Loads(path);
         EXPECT_EQ(CaptureWindows(App().mdiArea).size(), windows + (loads ? 1 : 0)) << path.toStdString();
         EXPECT_EQ(soak.messages.size(), before + (loads && !Warns(path) ? 0 : 1))
             << path.toStdString();
         return Nothing(nullptr);
     }},
    {"Export im Dateidialog", 1, true,
     [](SoakTest& soak, CaptureWindow* w) {
         // Without extension: the dialog adds it; the second time it asks to replace.
         soak.WithRealDialogs(soak.folder.filePath(u"dialog"_s), [&soak] {
             QTest::keyClick(soak.frame, Qt::Key_F, Qt::ControlModifier);
         });
         EXPECT_GT(QFileInfo(soak.folder.filePath(u"dialog.png"_s)).size(), 0);
         return Nothing(w);
     }},
    {"resize", 6, true,
     [](SoakTest& soak, CaptureWindow* w) {
         if (w->SubWindow()->isMaximized()) return Nothing(w); // no frame to drag
         const int32_t limit = soak.Chance(5) ? 4000 : soak.Chance(30) ? 400 : 1600;
         w->SubWindow()->resize(50 + soak.Pick(limit), 50 + soak.Pick(limit * 2 / 3));
         return Nothing(w); // the render comes from the new screen size
     }},
    {"maximise", 3, true,
     [](SoakTest&, CaptureWindow* w) {
         if (w->SubWindow()->isMaximized())
             w->SubWindow()->showNormal();
         else
             w->SubWindow()->showMaximized();
         return Nothing(w);
     }},
    {"Messungen", 3, true,
     [](SoakTest& soak, CaptureWindow* w) {
         if (soak.Chance(50))
             QTest::keyClick(soak.frame, Qt::Key_M, Qt::ControlModifier);
         else
             soak.TriggerMenuItem(u"&Messungen...\tStrg+M"_s);
         MeasurementsWindow* m = w->measurementsWindow;
         if (!m || !m->isVisible()) {
             ADD_FAILURE() << "no Messungen window";
             return Nothing(w);
         }
         QGuiApplication::clipboard()->clear();
         Click(m->copyButton);
         EXPECT_EQ(QGuiApplication::clipboard()->text(), m->text);
         EXPECT_FALSE(m->text.isEmpty());
         if (soak.Chance(50)) m->close();
         return Nothing(w);
     }},
    {"Spektrum", 3, true,
     [](SoakTest& soak, CaptureWindow* w) {
         if (soak.Chance(50))
             QTest::keyClick(soak.frame, Qt::Key_K, Qt::ControlModifier);
         else
             soak.TriggerMenuItem(u"&Spektrum...\tStrg+K"_s);
         SpectrumWindow* s = w->spectrumWindow.data();
         if (!s || !s->isVisible()) {
             ADD_FAILURE() << "no Spektrum window";
             return Nothing(w);
         }
         for (QComboBox* box : {s->channelBox, s->windowBox, s->scaleBox, s->axisBox})
             if (soak.Chance(40)) box->setCurrentIndex(soak.Pick(box->count()));
         Click(s->plot, Qt::LeftButton, QPoint(soak.Pick(s->plot->width()), s->plot->height() / 2));
         EXPECT_EQ(s->plot->Image().deviceIndependentSize(), QSizeF(s->plot->size()));
         if (soak.Chance(50)) s->close();
         return Nothing(w);
     }},
    {"close with analyses", 2, true,
     [](SoakTest& soak, CaptureWindow* w) {
         QPointer<QWidget> measurements;
         QPointer<QWidget> spectrum;
         if (soak.Chance(70)) {
             ShowMeasurementsWindow(*w);
             measurements = w->measurementsWindow;
         }
         if (soak.Chance(70)) {
             OpenSpectrumWindow(*w);
             spectrum = w->spectrumWindow.data();
         }
         w->SubWindow()->close();
         QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
         EXPECT_TRUE(measurements.isNull());
         EXPECT_TRUE(spectrum.isNull());
         return Nothing(nullptr);
     }},
};

// The window records against their controls and the render counts of the event.
bool SoakTest::CheckWindows(const char* action, int32_t event)
{
    const auto& windows = CaptureWindows(App().mdiArea);
    EXPECT_EQ(frame->MdiArea()->subWindowList().size(), static_cast<qsizetype>(windows.size()));
    std::map<const QMdiSubWindow*, int32_t> renders;
    for (const auto& record : windows) {
        const CaptureWindow& w = *record;
        const CaptureView& v = w.view;
        const int32_t n = w.capture.samplesPerChannel;
        SCOPED_TRACE(w.SubWindow()->windowTitle().toStdString());
        EXPECT_TRUE(w.SubWindow()->isVisible());
        EXPECT_GT(n, 0);
        EXPECT_EQ(w.staleBits.toInt(), 0);
        // The slider is on the step the view has, or on the one nearest to it.
        EXPECT_EQ(w.zoomSlider->value(),
                  NearestZoomPosition(n, v.visibleCount, w.zoomSlider->value()));
        EXPECT_TRUE(v.visibleCount >= std::min(DeepZoomLimit(n), VisibleCountFor(n, 9)) &&
                    v.visibleCount <= n)
            << v.visibleCount;
        EXPECT_TRUE(v.firstSample >= 0 && v.firstSample <= n - v.visibleCount)
            << v.firstSample << " of " << n << ", " << v.visibleCount << " shown";
        EXPECT_TRUE(v.cursor1 >= 0 && v.cursor1 < n) << v.cursor1;
        EXPECT_TRUE(v.cursor2 >= 0 && v.cursor2 < n) << v.cursor2;
        EXPECT_EQ(w.scrollBar->value(), v.firstSample);
        EXPECT_EQ(w.scrollBar->maximum(), n - v.visibleCount);
        EXPECT_EQ(v.cursorsShown, w.showCursorsBox->isChecked() ? 1 : 0);
        // The screen fills what the window's size leaves it, never below its minimum, and
        // its picture has a device pixel for each one of the display.
        const QSize screen(v.imageWidth, v.imageHeight);
        EXPECT_EQ(w.screenImage->size(), screen);
        EXPECT_EQ(w.screenImage->Image().deviceIndependentSize(), QSizeF(screen));
        EXPECT_EQ(w.screenImage->Image().size(), screen * w.ScreenPixelRatio());
        EXPECT_TRUE(screen.width() >= MinScreenWidth && screen.height() >= MinScreenHeight)
            << screen.width() << " x " << screen.height();
        EXPECT_EQ(w.size().expandedTo(MinimumClientSize(v.cursorsShown != 0)), w.size());
        EXPECT_EQ(w.SubWindow()->size().expandedTo(w.SubWindow()->minimumSize()),
                  w.SubWindow()->size());
        // An analysis window is its capture window's, and shows its capture.
        if (w.measurementsWindow) {
            // Its title names the capture window as that one's own title does, numbered
            // or marked.
            const QString title = w.measurementsWindow->windowTitle();
            EXPECT_TRUE(title.endsWith(w.SubWindow()->windowTitle()));
            EXPECT_TRUE(title.contains(VisibleFileName(QFileInfo(w.capture.filePath).fileName())));
        }
        if (const SpectrumWindow* spectrum = w.spectrumWindow.data()) {
            EXPECT_EQ(spectrum->filePath, w.capture.filePath);
        }

        // One render for what the event changed in its window (the load of a new one), and
        // one for each size its screen took after that.
        const auto before = rendersBefore.find(w.SubWindow());
        const int32_t want = (before == rendersBefore.end() ? 1
                              : &w == expected.target       ? before->second + expected.renders
                                                            : before->second) +
                             resizes.counts[w.screenImage];
        EXPECT_EQ(w.counts.renders, want) << "renders";
        renders[w.SubWindow()] = w.counts.renders;
    }
    // No analysis window outlives its capture window.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        const QWidget* owner = nullptr;
        if (auto* m = dynamic_cast<MeasurementsWindow*>(top)) {
            for (const auto& record : windows)
                if (record->measurementsWindow == m) owner = record->SubWindow();
        } else if (const auto* s = dynamic_cast<const SpectrumWindow*>(top)) {
            for (const auto& record : windows)
                if (record == s->owner && record->spectrumWindow.data() == s)
                    owner = record->SubWindow();
        } else {
            continue;
        }
        EXPECT_NE(owner, nullptr) << "an analysis window without its capture window: "
                                  << top->windowTitle().toStdString();
    }
    rendersBefore = std::move(renders);
    resizes.counts.clear();
    std::erase_if(resizes.sizes, [&windows](const auto& entry) {
        return std::none_of(windows.begin(), windows.end(), [&entry](const auto& record) {
            return record->screenImage == entry.first;
        });
    });
    if (testing::Test::HasFailure()) {
        ADD_FAILURE() << "after event " << event << ": " << action;
        return false;
    }
    return true;
}

void SoakTest::Run(int32_t events)
{
    const bool sampleMemory = events >= 2 * MemoryInterval;
    const bool checkGrowth = events >= 2 * MemoryBaselineEvent;
    // KURVEX_SOAK_ONLY="open,zoom" narrows the run to some rows, to find which one grows.
    const QStringList only =
        qEnvironmentVariable("KURVEX_SOAK_ONLY").split(u',', Qt::SkipEmptyParts);
    std::vector<Action> actions;
    int32_t totalWeight = 0;
    for (const Action& action : Actions) {
        if (!only.isEmpty() && !only.contains(QString::fromUtf8(action.name))) continue;
        actions.push_back(action);
        totalWeight += action.weight;
    }
    ASSERT_GT(totalWeight, 0);
    std::vector<double> resident; // one sample per MemoryInterval events
    QElapsedTimer clock;
    clock.start();
    for (int32_t event = 1; event <= events; ++event) {
        const Action* chosen = nullptr;
        while (!chosen) {
            int32_t roll = Pick(totalWeight);
            for (const Action& action : actions) {
                roll -= action.weight;
                if (roll < 0) {
                    chosen = &action;
                    break;
                }
            }
            if (chosen->needsWindow && CaptureWindows(App().mdiArea).isEmpty()) chosen = nullptr;
        }
        CaptureWindow* active = Active();
        if (chosen->needsWindow && !active) {
            // A window that was closed leaves none active until the user picks one.
            frame->MdiArea()->activateNextSubWindow();
            active = Active();
            ASSERT_NE(active, nullptr) << "event " << event;
        }
        expected = chosen->run(*this, active);
        // What the event loop would do next: paint, and delete what was closed. The
        // offscreen platform has no window manager to give the frame back its activation
        // after a popup or a dialog.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The frame counts as active while one of its dialogs is: wait for the frame itself.
        if (QApplication::activeWindow() != frame) {
            frame->activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == frame; }))
                << "event " << event;
        }
        if (!CheckWindows(chosen->name, event)) return;
        // The fixture's records of dialogs and messages would otherwise grow with the run.
        messages.clear();
        openRequests.clear();
        saveRequests.clear();

        if (sampleMemory && event % MemoryInterval == 0) {
            // Measured with every window closed, so that the count of open windows does
            // not swing the figure.
            TriggerMenuItem(u"&Alle schließen"_s);
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            rendersBefore.clear();
            const double megabytes = ResidentMegabytes();
            resident.push_back(megabytes);
            std::printf("soak: event %d, resident %.1f MB, heap in use %.1f MB, %.0f events/s\n",
                        event, megabytes, HeapInUseMegabytes(),
                        event * 1000.0 / std::max<qint64>(clock.elapsed(), 1));
            std::fflush(stdout);
        }
    }
    std::printf("soak: %d events in %.1f s, %lld captures opened, %lld refused\n", events,
                clock.elapsed() / 1000.0, static_cast<long long>(openedGood),
                static_cast<long long>(openedBad));
    if (checkGrowth) {
        // The caches fill during the first 10,000 events; what follows must stay level.
        const auto atBaseline = resident.begin() + (MemoryBaselineEvent / MemoryInterval - 1);
        const double baseline = *std::min_element(atBaseline, atBaseline + MemoryFloorSamples);
        const double end = *std::min_element(resident.end() - MemoryFloorSamples, resident.end());
        const double growth = (end - baseline) / baseline;
        std::printf("soak: resident %.1f MB at event %d, %.1f MB at the end: %+.1f %%\n", baseline,
                    MemoryBaselineEvent, end, growth * 100);
        EXPECT_LE(growth, MemoryGrowthLimit);
    }
}

TEST_F(SoakTest, RandomUserEventsKeepEveryWindowConsistent)
{
    good = SavFilesIn(examples);
    bad = SavFilesIn(QStringLiteral(KURVEX_TEST_DATA_DIR "/bad"));
    ASSERT_FALSE(good.isEmpty());
    ASSERT_FALSE(bad.isEmpty());
    const int32_t events = qEnvironmentVariableIsSet("KURVEX_SOAK_EVENTS")
                               ? qEnvironmentVariableIntValue("KURVEX_SOAK_EVENTS")
                               : DefaultEvents;
    Start();
    qApp->installEventFilter(&resizes);
    // Focus follows clicks only in the active window, as on a desktop.
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    Run(events);
}

} // namespace
