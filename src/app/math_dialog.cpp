// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/math_dialog.h"

#include "app/fixed_dialog.h"
#include "math/math_channel.h"
#include "readouts/readouts.h"
#include "text/number_text.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

using namespace Qt::StringLiterals;

namespace {

// Across: a gap, the labels' column, a gap, the fields' column, a gap. Down: six rows, each
// after a gap, and a last gap.
constexpr int32_t LabelWidth = 100;
constexpr int32_t FieldWidth = 175;
constexpr int32_t DialogWidth = LabelWidth + FieldWidth + 3 * FixedDialog::Gap;
constexpr int32_t DialogHeight = 6 * FixedDialog::RowHeight + 7 * FixedDialog::Gap;
static_assert(DialogWidth == 290 && DialogHeight == 155);
constexpr int32_t SliderMiddle = 100;

struct ListEntry {
    const char16_t* text;
    int32_t number;
};

// After "Auto" (0).
constexpr int32_t FactorNumbers[] = {1, 2, 5, 10, 20, 50, 100, 200, 500};
constexpr ListEntry UnitEntries[] = {
    {u"\u00B5V/DIV", -6}, {u"mV/DIV", -3}, {u"V/DIV", 0}, {u"kV/DIV", 3}, {u"MV/DIV", 6},
};
constexpr int32_t UnitVoltsEntry = 2;

// The entry an editable list stands for: its current entry while the field still shows
// that entry's text, or the entry whose text was typed; -1 when the field holds a text of
// its own (a typed number).
int32_t ChosenEntry(const QComboBox* box)
{
    const int current = box->currentIndex();
    const QString text = box->currentText();
    if (current >= 0 && box->itemText(current) == text) return current;
    return box->findText(text.trimmed(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

class MathDialog final : public FixedDialog {
  public:
    MathDialog(QWidget* owner, const Capture& shown);

  private:
    QLabel* AddText(const QString& text);
    QComboBox* AddList(const char* name, bool editable);
    void UpdateScale();
    void UpdateOffset();
    void Confirm();
    void Deactivate();
    void ReadOperand(const QComboBox* box, int32_t& operand, double& constant) const;

    const Capture& capture;
    QComboBox* operandX = nullptr;
    QComboBox* operation = nullptr;
    QComboBox* operandY = nullptr;
    QComboBox* factor = nullptr;
    QComboBox* unit = nullptr;
    QLabel* offsetText = nullptr;
    QSlider* offsetSlider = nullptr;
};

MathDialog::MathDialog(QWidget* owner, const Capture& shown)
    : FixedDialog(owner, QCoreApplication::translate("MathDialog", "Mathematik"), DialogWidth,
                  DialogHeight),
      capture(shown)
{
    // Created in the order of the tab chain: the lists from top to bottom, the slider, then
    // the buttons.
    QLabel* operandXText = AddText(QCoreApplication::translate("MathDialog", "Operand x:"));
    operandX = AddList("operandX", true);
    QLabel* operationText = AddText(QCoreApplication::translate("MathDialog", "Operation:"));
    operation = AddList("operation", false);
    QLabel* operandYText = AddText(QCoreApplication::translate("MathDialog", "Operand y:"));
    operandY = AddList("operandY", true);
    QLabel* factorText = AddText(QCoreApplication::translate("MathDialog", "Ablenkfaktor:"));
    factor = AddList("factor", true);
    unit = AddList("unit", false);
    offsetText = AddText(QString());
    offsetText->setObjectName(u"offsetText"_s);
    offsetSlider = new QSlider(Qt::Horizontal, this);
    offsetSlider->setObjectName(u"offsetSlider"_s);
    FitRow(offsetSlider);
    offsetSlider->setRange(0, 2 * SliderMiddle);
    offsetSlider->setValue(SliderMiddle);

    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.present[slot] != 1) continue;
        operandX->addItem(ChannelName(slot), slot);
        operandY->addItem(ChannelName(slot), slot);
    }
    for (int32_t code = MathAdd; code <= MathNegate; ++code)
        operation->addItem(MathOperationText(code), code);
    factor->addItem(QCoreApplication::translate("MathDialog", "Auto"), 0);
    for (const int32_t number : FactorNumbers)
        factor->addItem(QString::number(number), number);
    for (const ListEntry& entry : UnitEntries)
        unit->addItem(QString::fromUtf16(entry.text), entry.number);
    operandX->setCurrentIndex(0);
    operandY->setCurrentIndex(0);
    operation->setCurrentIndex(0);
    factor->setCurrentIndex(0);
    unit->setCurrentIndex(UnitVoltsEntry);

    QPushButton* deactivate =
        AddButton("deactivate", QCoreApplication::translate("MathDialog", "Deaktivieren"));
    QPushButton* ok = AddButton("ok", u"OK"_s);
    QPushButton* cancel =
        AddButton("cancel", QCoreApplication::translate("MathDialog", "Abbrechen"));

    // Labels in a column of LabelWidth, fields in the rest; factor and unit share their row
    // in halves, and the three buttons the bottom row in thirds.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(Gap, Gap, Gap, Gap);
    grid->setSpacing(Gap);
    grid->setColumnMinimumWidth(0, LabelWidth);
    grid->setColumnStretch(1, 1);
    auto* scaleRow = new QHBoxLayout;
    scaleRow->setSpacing(Gap);
    scaleRow->addWidget(factor, 1);
    scaleRow->addWidget(unit, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(Gap);
    for (QPushButton* button : {deactivate, ok, cancel})
        buttonRow->addWidget(button, 1);
    grid->addWidget(operandXText, 0, 0);
    grid->addWidget(operandX, 0, 1);
    grid->addWidget(operationText, 1, 0);
    grid->addWidget(operation, 1, 1);
    grid->addWidget(operandYText, 2, 0);
    grid->addWidget(operandY, 2, 1);
    grid->addWidget(factorText, 3, 0);
    grid->addLayout(scaleRow, 3, 1);
    grid->addWidget(offsetText, 4, 0);
    grid->addWidget(offsetSlider, 4, 1);
    grid->addLayout(buttonRow, 5, 0, 1, 2);

    UpdateScale();
    UpdateOffset();
    connect(factor, &QComboBox::currentIndexChanged, this, [this] { UpdateScale(); });
    connect(factor, &QComboBox::editTextChanged, this, [this] { UpdateScale(); });
    connect(unit, &QComboBox::currentIndexChanged, this, [this] { UpdateScale(); });
    connect(offsetSlider, &QSlider::valueChanged, this, [this] { UpdateOffset(); });
    connect(deactivate, &QPushButton::clicked, this, [this] { Deactivate(); });
    connect(ok, &QPushButton::clicked, this, [this] { Confirm(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

QLabel* MathDialog::AddText(const QString& text)
{
    auto* label = new QLabel(text, this);
    FitRow(label);
    return label;
}

QComboBox* MathDialog::AddList(const char* name, bool editable)
{
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    FitRow(box);
    if (editable) {
        box->setEditable(true);
        // The field takes a typed number as it is: no new entries, no completion that
        // would turn "2" into "20" under the user's fingers.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
    }
    return box;
}

void MathDialog::UpdateScale()
{
    const int32_t entry = ChosenEntry(factor);
    const double number = entry >= 0 ? factor->itemData(entry).toDouble() : 0.0;
    const int32_t unitPower = unit->currentIndex() >= 0 ? unit->currentData().toInt() : 0;
    const double scale =
        MathScaleFromFactor(entry >= 0, number, QStringView(factor->currentText()), unitPower);
    ProgramMathSettings().scale = scale;
    // Auto chooses its own scale and puts the zero line in the middle.
    unit->setEnabled(scale != 0);
    offsetSlider->setEnabled(scale != 0);
}

void MathDialog::UpdateOffset()
{
    const double offset = MathOffsetFromSlider(offsetSlider->value(), capture.vDivisions);
    ProgramMathSettings().offset = offset;
    offsetText->setText(MathOffsetText(offset));
}

void MathDialog::ReadOperand(const QComboBox* box, int32_t& operand, double& constant) const
{
    const int32_t entry = ChosenEntry(box);
    if (entry >= 0) {
        operand = box->itemData(entry).toInt();
        return;
    }
    operand = -1;
    constant = ParseValue(QStringView(box->currentText()).trimmed());
}

void MathDialog::Confirm()
{
    if (operation->currentIndex() < 0) return;
    MathSettings& settings = ProgramMathSettings();
    settings.operation = operation->currentData().toInt();
    ReadOperand(operandX, settings.operandX, settings.constantX);
    ReadOperand(operandY, settings.operandY, settings.constantY);
    accept();
}

void MathDialog::Deactivate()
{
    ProgramMathSettings().operation = MathOff;
    accept();
}

} // namespace

bool ShowMathDialog(QWidget* owner, Capture& capture)
{
    MathDialog dialog(owner, capture);
    if (dialog.exec() != QDialog::Accepted) return false;
    ComputeMath(capture, ProgramMathSettings());
    return true;
}
