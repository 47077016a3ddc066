// SPDX-License-Identifier: GPL-3.0-or-later
// The "Mathematik" dialog driven as a user would: its defaults, its fields, typed
// constants, and what "OK", "Deaktivieren" and "Abbrechen" leave in the window.
#include "app/math_dialog.h"
#include "app_fixture.h"
#include "math/math_channel.h"
#include "screen/screen_renderer.h"
#include "screen/view.h"
#include "text/format_text.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct MathFields {
    QDialog* dialog;
    QComboBox* operandX;
    QComboBox* operation;
    QComboBox* operandY;
    QComboBox* factor;
    QComboBox* unit;
    QLabel* offsetText;
    QSlider* offsetSlider;
    QPushButton* deactivate;
    QPushButton* ok;
    QPushButton* cancel;
};

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

QString MathLabelText(double voltsPerDiv)
{
    return FormatText(u"Math: {0Sd5}V/DIV", voltsPerDiv);
}

class MathDialogTest : public AppTest {
  protected:
    // Runs `steps` on the dialog once it is open. A dialog the steps leave open is
    // cancelled afterwards and counted in leftOpen, so that a failure cannot hang the run.
    void WhenOpen(std::function<void(MathFields&)> steps)
    {
        QTimer::singleShot(0, [this, steps] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            MathFields f{dialog,
                         dialog->findChild<QComboBox*>(u"operandX"_s),
                         dialog->findChild<QComboBox*>(u"operation"_s),
                         dialog->findChild<QComboBox*>(u"operandY"_s),
                         dialog->findChild<QComboBox*>(u"factor"_s),
                         dialog->findChild<QComboBox*>(u"unit"_s),
                         dialog->findChild<QLabel*>(u"offsetText"_s),
                         dialog->findChild<QSlider*>(u"offsetSlider"_s),
                         dialog->findChild<QPushButton*>(u"deactivate"_s),
                         dialog->findChild<QPushButton*>(u"ok"_s),
                         dialog->findChild<QPushButton*>(u"cancel"_s)};
            steps(f);
            if (dialog->isVisible()) {
                ++leftOpen;
                dialog->reject();
            }
        });
    }

    // Opens the dialog with the window's button and runs `steps` in it.
    void Press(CaptureWindow& w, std::function<void(MathFields&)> steps)
    {
        WhenOpen(std::move(steps));
        w.EditMath();
    }

    int32_t leftOpen = 0;
};

// In either language every control has the place of the compact design, pixel for pixel:
// the layout may not let a longer text or the style's taste move anything.
TEST_F(MathDialogTest, EveryControlKeepsItsPlaceInBothLanguages)
{
    Start({WriteCapture(u"one.sav"_s, 1000, 1)});
    CaptureWindow& w = Window();
    // In the order they are made: label and field per row, factor beside unit, the buttons.
    const QList<QRect> places = {
        {5, 5, 100, 20},    {110, 5, 175, 20},  {5, 30, 100, 20},    {110, 30, 175, 20},
        {5, 55, 100, 20},   {110, 55, 175, 20}, {5, 80, 100, 20},    {110, 80, 85, 20},
        {200, 80, 85, 20},  {5, 105, 100, 20},  {110, 105, 175, 20}, {5, 130, 90, 20},
        {100, 130, 90, 20}, {195, 130, 90, 20},
    };
    for (const Command language : {Command::LanguageEnglish, Command::LanguageGerman}) {
        frame->RunCommand(language);
        Press(w, [&](MathFields& f) {
            EXPECT_EQ(f.dialog->size(), QSize(290, 155));
            QList<QRect> shown;
            for (const QWidget* child :
                 f.dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                shown.append(child->geometry());
            EXPECT_EQ(shown, places);
            f.cancel->click();
        });
    }
    EXPECT_EQ(leftOpen, 0);
}

// The defaults on every opening, the present channels as operands, and the factor, unit
// and slider wired to the scale and offset (whose arithmetic the math tests cover).
TEST_F(MathDialogTest, OpensWithTheDefaultsAndFollowsFactorUnitAndSlider)
{
    Start({WriteCapture(u"one.sav"_s, 1000, 1)});
    CaptureWindow& w = Window();
    const QStringList opened[] = {{u"Kanal 1"_s}, {u"Kanal 1"_s, u"Math"_s}};
    for (const QStringList& channels : opened) {
        Press(w, [&](MathFields& f) {
            EXPECT_EQ(f.dialog->windowTitle(), u"Mathematik"_s);
            EXPECT_EQ(f.dialog->size(), QSize(290, 155));
            EXPECT_EQ(Items(f.operandX), channels);
            EXPECT_EQ(Items(f.operandY), channels);
            EXPECT_EQ(Items(f.operation),
                      (QStringList{u"x+y"_s, u"x-y"_s, u"x*y"_s, u"x/y"_s, u"1/x"_s, u"x\u00B2"_s,
                                   u"sqrt(x)"_s, u"abs(x)"_s, u"-x"_s}));
            EXPECT_EQ(f.operation->currentText(), u"x+y"_s);
            EXPECT_EQ(f.factor->currentText(), u"Auto"_s);
            EXPECT_EQ(Items(f.unit), (QStringList{u"\u00B5V/DIV"_s, u"mV/DIV"_s, u"V/DIV"_s,
                                                  u"kV/DIV"_s, u"MV/DIV"_s}));
            EXPECT_EQ(f.unit->currentText(), u"V/DIV"_s);
            EXPECT_FALSE(f.unit->isEnabled());
            EXPECT_FALSE(f.offsetSlider->isEnabled());
            EXPECT_EQ(f.offsetSlider->value(), 100);
            EXPECT_EQ(f.offsetText->text(), u"Offset: 0 DIV"_s);
            for (QPushButton* button : {f.deactivate, f.ok, f.cancel})
                EXPECT_FALSE(button->autoDefault() || button->isDefault());

            struct Step {
                const char16_t* typed; // nullptr: choose factorEntry instead
                int factorEntry;
                int unitEntry;
                double scale;
            };
            const Step steps[] = {
                {nullptr, 3, 1, 0.005}, // "5" with mV/DIV
                {u"2,5", 0, 2, 2.5},
                {u"1k", 0, 1, 1.0}, // typed with mV/DIV
                {u"-1", 0, 1, 0.0}, // Auto again
            };
            for (const Step& step : steps) {
                f.unit->setCurrentIndex(step.unitEntry);
                if (step.typed)
                    f.factor->setEditText(QString::fromUtf16(step.typed));
                else
                    f.factor->setCurrentIndex(step.factorEntry);
                EXPECT_DOUBLE_EQ(ProgramMathSettings().scale, step.scale);
                EXPECT_EQ(f.unit->isEnabled(), step.scale != 0);
                EXPECT_EQ(f.offsetSlider->isEnabled(), step.scale != 0);
            }
            f.offsetSlider->setValue(101);
            EXPECT_EQ(f.offsetText->text(), u"Offset: 0.04 DIV"_s);
            EXPECT_DOUBLE_EQ(ProgramMathSettings().offset, 0.04);
            f.offsetSlider->setValue(0);
            EXPECT_EQ(f.offsetText->text(), u"Offset: -4 DIV"_s);
            // A trace, so that the next opening offers "Math".
            f.ok->click();
        });
    }
    EXPECT_EQ(leftOpen, 0);
}

TEST_F(MathDialogTest, OkComputesTheTraceAndTheWindowShowsIt)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    const Capture& c = w.capture;
    struct Case {
        const char* name;
        std::function<void(MathFields&)> define;
        std::function<double(int32_t)> expected; // volts of sample i
        double voltsPerDiv;                      // 0: Auto, not checked
        double offsetDiv;
    };
    const Case cases[] = {
        // The defaults: x+y of the first channel with itself, Auto.
        {"defaults", [](MathFields&) {}, [&](int32_t i) { return 2 * SampleValue(c, 0, i); }, 0, 0},
        {"typed constant 3 as y, x*y",
         [](MathFields& f) {
             f.operation->setCurrentIndex(MathMultiply - 1);
             f.operandY->setEditText(u"3"_s);
         },
         [&](int32_t i) { return 3 * SampleValue(c, 0, i); }, 0, 0},
        {"-x of Kanal 2 typed by name, 5 mV/DIV, offset 2 DIV",
         [](MathFields& f) {
             f.operandX->setEditText(u"Kanal 2"_s);
             f.operation->setCurrentIndex(MathNegate - 1);
             f.factor->setCurrentIndex(3);
             f.unit->setCurrentIndex(1);
             f.offsetSlider->setValue(150);
         },
         [&](int32_t i) { return -SampleValue(c, 1, i); }, 0.005, 2},
        {"-x of the math trace itself",
         [](MathFields& f) {
             f.operandX->setCurrentIndex(2);
             f.operation->setCurrentIndex(MathNegate - 1);
         },
         nullptr, 0, 0},
    };
    std::vector<double> previous;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        for (int32_t i = 0; i < c.samplesPerChannel && c.present[SlotMath] == 1; ++i)
            previous.push_back(SampleValue(c, SlotMath, i));
        Press(w, [&](MathFields& f) {
            k.define(f);
            f.ok->click();
        });
        ASSERT_EQ(c.present[SlotMath], 1);
        for (int32_t i = 0; i < c.samplesPerChannel; i += 37) {
            const double want = k.expected ? k.expected(i) : -previous[static_cast<size_t>(i)];
            EXPECT_NEAR(SampleValue(c, SlotMath, i), want, 1e-9 * (1 + std::fabs(want)));
        }
        if (k.voltsPerDiv != 0) {
            EXPECT_DOUBLE_EQ(c.voltsPerDiv[SlotMath], k.voltsPerDiv);
        }
        EXPECT_DOUBLE_EQ(c.offsetDiv[SlotMath], k.offsetDiv);
        EXPECT_EQ(w.mathLabel->text(), MathLabelText(c.voltsPerDiv[SlotMath]));
        // The trace was computed again into the same memory: the kept screen image must
        // show the new one, exactly as a whole redraw does.
        EXPECT_EQ(w.screenImage->Image(),
                  RenderScreenImage(c, WindowRenderRequest(w.view), w.ScreenPixelRatio()));
        previous.clear();
    }
    EXPECT_EQ(ProgramMathSettings().operandX, SlotMath);
    EXPECT_EQ(leftOpen, 0);
}

TEST_F(MathDialogTest, CancelCloseAndKeysChangeNothingDeactivateClearsTheTrace)
{
    Start({WriteCapture(u"a.sav"_s)});
    CaptureWindow& w = Window();
    Press(w, [](MathFields& f) { f.ok->click(); });
    const QString label = w.mathLabel->text();
    const double first = w.capture.samples[SlotMath][10];
    ASSERT_FALSE(label.isEmpty());

    const std::function<void(QDialog*, QPushButton*)> ends[] = {
        [](QDialog*, QPushButton* cancel) { cancel->click(); },
        [](QDialog* dialog, QPushButton*) { dialog->close(); },
    };
    for (const auto& end : ends) {
        const int32_t renders = w.counts.renders;
        WhenOpen([&](MathFields& f) {
            f.operation->setCurrentIndex(MathSquareRoot - 1);
            f.operandX->setEditText(u"7"_s);
            f.factor->setCurrentIndex(5);
            f.offsetSlider->setValue(0);
            // Neither Enter nor Escape ends the dialog, wherever the focus is.
            for (QWidget* target :
                 {static_cast<QWidget*>(f.dialog), static_cast<QWidget*>(f.factor->lineEdit())}) {
                for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                    QApplication::sendEvent(target, &press);
                }
            }
            EXPECT_TRUE(f.dialog->isVisible());
            end(f.dialog, f.cancel);
        });
        EXPECT_FALSE(ShowMathDialog(frame, w.capture));
        EXPECT_EQ(w.capture.present[SlotMath], 1);
        EXPECT_EQ(w.capture.samples[SlotMath][10], first);
        EXPECT_EQ(w.mathLabel->text(), label);
        EXPECT_EQ(w.counts.renders, renders);
    }

    // The math trace's colour on the screen image.
    auto orangePixels = [&w] {
        const QImage image = w.screenImage->Image();
        int32_t count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == qRgb(255, 128, 64) ? 1 : 0;
        return count;
    };
    EXPECT_GT(orangePixels(), 100);
    Press(w, [](MathFields& f) { f.deactivate->click(); });
    EXPECT_EQ(w.capture.present[SlotMath], 0);
    EXPECT_TRUE(w.mathLabel->text().isEmpty());
    EXPECT_EQ(ProgramMathSettings().operation, MathOff);
    EXPECT_EQ(orangePixels(), 0);
    Press(w, [](MathFields& f) {
        EXPECT_EQ(Items(f.operandX), (QStringList{u"Kanal 1"_s, u"Kanal 2"_s}));
        f.cancel->click();
    });
    EXPECT_EQ(leftOpen, 0);
}

} // namespace
