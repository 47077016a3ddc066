// SPDX-License-Identifier: GPL-3.0-or-later
// The capture window's refresh protocol with the view arithmetic it drives: zoom, scroll,
// cursor clicks, the cursor section, the settings tree and the measurement popup.
#include "app_fixture.h"
#include "readouts/readouts.h"
#include "text/format_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOption>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

QString ZoomText(double timePerDiv)
{
    return FormatText(u"Zoom: {0Sd5}s/DIV", timePerDiv);
}

} // namespace

TEST_F(AppTest, NewWindowShowsTheWholeRecord)
{
    const QString path = WriteCapture(u"A001.sav"_s);
    Start({path});
    ASSERT_EQ(CaptureWindows(App().mdiArea).size(), 1);
    CaptureWindow& w = Window();
    EXPECT_EQ(w.SubWindow()->windowTitle(), u"A001.sav"_s);
    EXPECT_TRUE(w.SubWindow()->isVisible());
    EXPECT_EQ(w.staleBits.toInt(), 0);
    EXPECT_EQ(w.view.visibleCount, 1000);
    EXPECT_EQ(w.view.firstSample, 0);
    EXPECT_EQ(w.view.cursor1, 0);
    EXPECT_EQ(w.view.cursor2, 999);
    EXPECT_EQ(w.view.cursorsShown, 0);
    EXPECT_EQ(w.screenImage->geometry(), QRect(5, 5, 600, 400));
    EXPECT_EQ(w.screenImage->Image().size(), QSize(600, 400));
    EXPECT_EQ(w.size(), QSize(815, 445));
    EXPECT_EQ(w.scrollBar->maximum(), 0);
    EXPECT_EQ(w.zoomLabel->text(), ZoomText(w.capture.timePerDiv));
    EXPECT_TRUE(w.mathLabel->text().isEmpty());
    EXPECT_EQ(w.counts.renders, 1);
    EXPECT_EQ(w.counts.settingsFills, 1);
    EXPECT_FALSE(w.resultsBox->isEnabled());
    EXPECT_TRUE(w.cursor1Box->toPlainText().isEmpty());
    // A sizing border and a maximise box, but no minimise box.
    EXPECT_FALSE(w.SubWindow()->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w.SubWindow()->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_NE(w.SubWindow()->minimumSize(), w.SubWindow()->maximumSize());
}

// The worked examples with N = 1000: zoom in and out, the smallest zoom step, and zooming
// at the right end of the record.
TEST_F(AppTest, ZoomKeepsTheViewCentredAndInsideTheRecord)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    struct Step {
        const char* action;
        int32_t value;
        int32_t visibleCount;
        int32_t firstSample;
        int32_t scrollMaximum; // the last first sample
        int32_t page;
    };
    const Step steps[] = {
        {"zoom", 1, 800, 100, 200, 400}, {"zoom", 0, 1000, 0, 0, 500},
        {"zoom", 9, 50, 475, 950, 25},   {"scroll", 950, 50, 950, 950, 25},
        {"zoom", 8, 100, 900, 900, 50},  {"zoom", 1, 800, 200, 200, 400},
        {"scroll", 0, 800, 0, 200, 400}, {"zoom", 3, 500, 150, 500, 250},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.action) + " " + std::to_string(step.value));
        const int32_t rendersBefore = w.counts.renders;
        if (std::string(step.action) == "zoom")
            w.zoomSlider->setValue(step.value);
        else
            w.scrollBar->setValue(step.value);
        EXPECT_EQ(w.view.visibleCount, step.visibleCount);
        EXPECT_EQ(w.view.firstSample, step.firstSample);
        EXPECT_EQ(w.scrollBar->value(), step.firstSample);
        EXPECT_EQ(w.scrollBar->maximum(), step.scrollMaximum);
        EXPECT_EQ(w.scrollBar->pageStep(), step.page);
        EXPECT_EQ(w.counts.renders, rendersBefore + 1);
        EXPECT_EQ(w.zoomLabel->text(), ZoomText(w.capture.timePerDiv * step.visibleCount / 1000));
    }
    // The classic form of the range: maximum 599 with a page of 400 at 80 %.
    w.zoomSlider->setValue(1);
    const ScrollRange range = ScrollRangeFor(w.view, 1000);
    EXPECT_EQ(range.maximum, 599);
    EXPECT_EQ(range.page, 400);
}

TEST_F(AppTest, ScrollBarStepsOneSampleAndHalfAViewPerPage)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    w.zoomSlider->setValue(8); // 100 samples, pages of 50
    w.scrollBar->setValue(0);
    w.scrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w.view.firstSample, 1);
    w.scrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(w.view.firstSample, 51);
    w.scrollBar->triggerAction(QAbstractSlider::SliderPageStepSub);
    w.scrollBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(w.view.firstSample, 0);
    // Dragging the thumb moves the view while it moves.
    w.scrollBar->setSliderDown(true);
    w.scrollBar->setSliderPosition(300);
    EXPECT_EQ(w.view.firstSample, 300);
    w.scrollBar->setSliderPosition(901);
    EXPECT_EQ(w.view.firstSample, 900);
    w.scrollBar->setSliderDown(false);
}

TEST_F(AppTest, ClicksPlaceCursorsOnlyWhileTheyAreShown)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    w.zoomSlider->setValue(2); // 600 samples from 200
    ASSERT_EQ(w.view.firstSample, 200);
    Click(w.screenImage, 300, Qt::LeftButton);
    Click(w.screenImage, 300, Qt::RightButton);
    EXPECT_EQ(w.view.cursor1, 0);
    EXPECT_EQ(w.view.cursor2, 999);

    w.showCursorsBox->setChecked(true);
    struct Case {
        int x;
        Qt::MouseButton button;
        int32_t cursor1;
        int32_t cursor2;
    };
    const Case cases[] = {
        {0, Qt::LeftButton, 200, 999},
        {599, Qt::RightButton, 200, 200 + 599 * 600 / 600},
        {300, Qt::LeftButton, 500, 799},
        {10, Qt::MiddleButton, 500, 799},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.x);
        Click(w.screenImage, test.x, test.button);
        EXPECT_EQ(w.view.cursor1, test.cursor1);
        EXPECT_EQ(w.view.cursor2, test.cursor2);
    }
    // The truncating formula never reaches past the visible samples.
    w.zoomSlider->setValue(9);
    Click(w.screenImage, 599, Qt::LeftButton);
    EXPECT_EQ(w.view.cursor1, w.view.firstSample + 599 * 50 / 600);
    EXPECT_LT(w.view.cursor1, w.view.firstSample + w.view.visibleCount);
    const CursorTexts texts = CursorReadoutTexts(w.capture, w.view.cursor1, w.view.cursor2);
    EXPECT_EQ(w.cursor1Box->toPlainText(), BoxText(texts.first));
    EXPECT_EQ(w.deltaBox->toPlainText(), BoxText(texts.difference));
}

TEST_F(AppTest, SelectAllSpansTheRecordWhateverTheView)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    w.showCursorsBox->setChecked(true);
    w.zoomSlider->setValue(8);
    w.scrollBar->setValue(300);
    Click(w.screenImage, 100, Qt::LeftButton);
    Click(w.screenImage, 200, Qt::RightButton);
    w.selectAllButton->click();
    EXPECT_EQ(w.view.cursor1, 0);
    EXPECT_EQ(w.view.cursor2, 999);
    EXPECT_EQ(w.view.firstSample, 300);
    EXPECT_EQ(w.cursor2Box->toPlainText(), BoxText(CursorReadoutTexts(w.capture, 0, 999).second));
}

TEST_F(AppTest, CursorBoxTogglesTheCursorSection)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    QWidget* const section[] = {w.cursor1Box,    w.cursor2Box, w.deltaBox,  w.selectAllButton,
                                w.measureButton, w.resultsBox, w.mathButton};
    const QPoint position = w.SubWindow()->pos();
    for (bool shown : {true, false, true}) {
        SCOPED_TRACE(shown);
        w.showCursorsBox->setChecked(shown);
        EXPECT_EQ(w.view.cursorsShown, shown ? 1 : 0);
        EXPECT_EQ(w.size(), QSize(815, shown ? 545 : 445));
        EXPECT_EQ(w.SubWindow()->pos(), position);
        for (QWidget* control : section)
            EXPECT_EQ(control->isEnabled(), shown);
        EXPECT_EQ(w.screenImage->cursor().shape(), shown ? Qt::CrossCursor : Qt::ArrowCursor);
        // The cursors keep their places: 0 and N - 1 after loading.
        EXPECT_EQ(w.view.cursor1, 0);
        EXPECT_EQ(w.view.cursor2, 999);
    }
    EXPECT_FALSE(w.cursor1Box->toPlainText().isEmpty());
}

TEST_F(AppTest, OneScrollStepRendersOnceAndRecomputesNothingElse)
{
    Start({WriteCapture(u"big.sav"_s, 65535)});
    CaptureWindow& w = Window();
    // A third trace in the math slot, as a computed math channel would leave it.
    Capture& c = w.capture;
    c.present[SlotMath] = 1;
    c.voltsPerDiv[SlotMath] = 1.0;
    for (int32_t i = 0; i < c.samplesPerChannel; ++i)
        c.samples[SlotMath][i] = c.samples[SlotCh1][i] - c.samples[SlotCh2][i];
    w.staleBits |= Stale::Math;
    w.Refresh();
    EXPECT_FALSE(w.mathLabel->text().isEmpty());

    w.zoomSlider->setValue(3);
    w.showCursorsBox->setChecked(true);
    const RefreshCounts before = w.counts;
    QElapsedTimer timer;
    timer.start();
    w.scrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    const qint64 elapsed = timer.nsecsElapsed();
    EXPECT_EQ(w.counts.renders, before.renders + 1);
    EXPECT_EQ(w.counts.settingsFills, before.settingsFills);
    EXPECT_EQ(w.counts.zoomLabels, before.zoomLabels);
    EXPECT_EQ(w.counts.cursorReadouts, before.cursorReadouts);
    EXPECT_EQ(w.counts.mathLabels, before.mathLabels);
    EXPECT_EQ(w.staleBits.toInt(), 0);
    std::printf("[          ] one scroll step, 3 x 65535 samples: %.2f ms\n", elapsed / 1e6);
}

TEST_F(AppTest, SettingsTreeOfATwoChannelEdgeCapture)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    const std::vector<SettingsItem> items = SettingsListItems(w.capture);
    std::vector<SettingsItem> shown;
    std::vector<QIcon> icons;
    for (int i = 0; i < w.settingsTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = w.settingsTree->topLevelItem(i);
        shown.push_back({top->text(0), 0, 0});
        icons.push_back(top->icon(0));
        if (top->childCount() > 0) {
            EXPECT_TRUE(top->isExpanded()) << top->text(0).toStdString();
        }
        for (int j = 0; j < top->childCount(); ++j) {
            shown.push_back({top->child(j)->text(0), 0, 1});
            icons.push_back(top->child(j)->icon(0));
        }
    }
    ASSERT_EQ(shown.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(items[i].text.toStdString());
        EXPECT_EQ(shown[i].text, items[i].text);
        EXPECT_EQ(shown[i].level, items[i].level);
        // Each row wears the picture of its own image slot.
        EXPECT_EQ(icons[i].pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32),
                  App().images[items[i].icon].toImage().convertToFormat(QImage::Format_ARGB32));
    }
    const QStringList tops = [&] {
        QStringList texts;
        for (int i = 0; i < w.settingsTree->topLevelItemCount(); ++i)
            texts.append(w.settingsTree->topLevelItem(i)->text(0));
        return texts;
    }();
    EXPECT_EQ(tops.size(), 4);
    EXPECT_EQ(tops.value(0), u"Kanal 1"_s);
    EXPECT_EQ(tops.value(1), u"Kanal 2"_s);
    EXPECT_TRUE(tops.value(2).startsWith(u"Zeitbasis: "_s));
    EXPECT_EQ(tops.value(3), u"Trigger"_s);
    QTreeWidgetItem* trigger = w.settingsTree->topLevelItem(3);
    ASSERT_EQ(trigger->childCount(), 7);
    EXPECT_EQ(trigger->child(5)->text(0), u"Flankentriggerung (Edge)"_s);
    EXPECT_EQ(trigger->child(6)->text(0), u"Steigende Flanke (Rise)"_s);
}

// The tree's branch cells as its style draws them: dotted lines up, down and to the row,
// and a boxed minus or plus on rows with children; nothing for a finished ancestor level.
TEST_F(AppTest, SettingsTreeBranchCellsShowLinesAndButtons)
{
    Start({WriteCapture(u"a.sav"_s)});
    const QStyle* style = Window().settingsTree->style();
    struct Case {
        const char* name;
        QStyle::State state;
        bool up, down, right, box, plus;
    };
    const Case cases[] = {
        {"last leaf", QStyle::State_Item, true, false, true, false, false},
        {"leaf above a sibling", QStyle::State_Item | QStyle::State_Sibling, true, true, true,
         false, false},
        {"ancestor with siblings to come", QStyle::State_Sibling, true, true, false, false, false},
        {"ancestor without", QStyle::State_None, false, false, false, false, false},
        {"closed last parent", QStyle::State_Item | QStyle::State_Children, true, false, true, true,
         true},
        {"open parent above a sibling",
         QStyle::State_Item | QStyle::State_Children | QStyle::State_Open | QStyle::State_Sibling,
         true, true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage cell(20, 18, QImage::Format_RGB32);
        cell.fill(Qt::white);
        QStyleOption option;
        option.rect = cell.rect();
        option.state = c.state;
        QPainter painter(&cell);
        style->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter);
        painter.end();
        // The dots alternate, so one of two neighbouring pixels is inked.
        const auto inked = [&](int x, int y) {
            return cell.pixel(x, y) != qRgb(255, 255, 255) ||
                   cell.pixel(x + (y == 9 ? 1 : 0), y + (y == 9 ? 0 : 1)) != qRgb(255, 255, 255);
        };
        EXPECT_EQ(inked(9, 0), c.up);
        EXPECT_EQ(inked(9, 16), c.down);
        EXPECT_EQ(inked(17, 9), c.right);
        EXPECT_EQ(cell.pixel(5, 9) != qRgb(255, 255, 255), c.box);
        EXPECT_EQ(cell.pixel(9, 9) == qRgb(0, 0, 0), c.box);
        EXPECT_EQ(cell.pixel(9, 7) == qRgb(0, 0, 0), c.plus);
    }
}

// The one column is as wide as its widest shown row, so long rows scroll sideways, and it
// follows the rows when a branch closes or opens.
TEST_F(AppTest, SettingsColumnFollowsItsRows)
{
    Start({WriteCapture(u"a.sav"_s)});
    QTreeWidget* tree = Window().settingsTree;
    const auto widestRow = [tree] {
        return static_cast<QAbstractItemView*>(tree)->sizeHintForColumn(0);
    };
    QApplication::processEvents();
    const int32_t expanded = widestRow();
    EXPECT_EQ(tree->columnWidth(0), expanded);
    QTreeWidgetItem* trigger = tree->topLevelItem(3);
    ASSERT_NE(trigger, nullptr);
    trigger->setExpanded(false);
    QApplication::processEvents();
    EXPECT_LT(widestRow(), expanded);
    EXPECT_EQ(tree->columnWidth(0), widestRow());
    trigger->setExpanded(true);
    QApplication::processEvents();
    EXPECT_EQ(tree->columnWidth(0), expanded);
}

TEST_F(AppTest, MeasurementLandsInTheWindowThatOpenedThePopup)
{
    const QString a = WriteCapture(u"a.sav"_s);
    const QString b = WriteCapture(u"b.sav"_s);
    Start({a, b});
    CaptureWindow& first = Window(1); // a.sav, created last
    CaptureWindow& second = Window(0);
    ASSERT_EQ(first.SubWindow()->windowTitle(), u"a.sav"_s);
    first.showCursorsBox->setChecked(true);
    second.showCursorsBox->setChecked(true);
    Click(first.screenImage, 120, Qt::LeftButton);

    first.measureButton->click();
    QMenu* popup = frame->MeasurePopup();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->pos(),
              first.measureButton->mapToGlobal(QPoint(0, first.measureButton->height())));
    frame->MdiArea()->setActiveSubWindow(second.SubWindow());
    popup->actions().at(1)->trigger();
    popup->hide();

    EXPECT_EQ(first.resultsBox->toPlainText(),
              BoxText(MeasureText(first.capture, first.view.cursor1, first.view.cursor2, 1)));
    EXPECT_TRUE(second.resultsBox->toPlainText().isEmpty());
}

TEST_F(AppTest, TinyCaptureStillShowsOneSample)
{
    Start({WriteCapture(u"tiny.sav"_s, 10)});
    CaptureWindow& w = Window();
    w.zoomSlider->setValue(9);
    EXPECT_EQ(w.view.visibleCount, 1);
    EXPECT_EQ(w.view.firstSample, 4);
    w.scrollBar->setValue(9);
    EXPECT_EQ(w.view.firstSample, 9);
    EXPECT_FALSE(w.screenImage->Image().isNull());
}
