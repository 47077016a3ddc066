// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/math_dialog.h"

#include "app/fixed_dialog.h"
#include "math/math_channel.h"
#include "readouts/readouts.h"
#include "text/number_text.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

using namespace Qt::StringLiterals;

namespace {

constexpr int32_t DialogWidth = 290;
constexpr int32_t DialogHeight = 155;
constexpr int32_t SliderMiddle = 100;

struct ListEntry {
    const char16_t* text;
    int32_t number;
};

constexpr ListEntry FactorEntries[] = {
    {u"Auto", 0}, {u"1", 1},   {u"2", 2},     {u"5", 5},     {u"10", 10},
    {u"20", 20},  {u"50", 50}, {u"100", 100}, {u"200", 200}, {u"500", 500},
};
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
    QLabel* AddText(const QString& text, int x, int y, int width);
    QComboBox* AddList(const char* name, bool editable, int x, int y, int width);
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
    AddText(QCoreApplication::translate("MathDialog", "Operand x:"), 5, 5, 100);
    operandX = AddList("operandX", true, 110, 5, 175);
    AddText(QCoreApplication::translate("MathDialog", "Operation:"), 5, 30, 100);
    operation = AddList("operation", false, 110, 30, 175);
    AddText(QCoreApplication::translate("MathDialog", "Operand y:"), 5, 55, 100);
    operandY = AddList("operandY", true, 110, 55, 175);
    AddText(QCoreApplication::translate("MathDialog", "Ablenkfaktor:"), 5, 80, 100);
    factor = AddList("factor", true, 110, 80, 85);
    unit = AddList("unit", false, 200, 80, 85);
    offsetText = AddText(QString(), 5, 105, 100);
    offsetText->setObjectName(u"offsetText"_s);
    offsetSlider = new QSlider(Qt::Horizontal, this);
    offsetSlider->setObjectName(u"offsetSlider"_s);
    offsetSlider->setGeometry(110, 105, 175, 20);
    offsetSlider->setRange(0, 2 * SliderMiddle);
    offsetSlider->setValue(SliderMiddle);

    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.present[slot] != 1) continue;
        operandX->addItem(ChannelName(slot), slot);
        operandY->addItem(ChannelName(slot), slot);
    }
    for (int32_t code = MathAdd; code <= MathNegate; ++code)
        operation->addItem(MathOperationText(code), code);
    for (const ListEntry& entry : FactorEntries)
        factor->addItem(QString::fromUtf16(entry.text), entry.number);
    for (const ListEntry& entry : UnitEntries)
        unit->addItem(QString::fromUtf16(entry.text), entry.number);
    operandX->setCurrentIndex(0);
    operandY->setCurrentIndex(0);
    operation->setCurrentIndex(0);
    factor->setCurrentIndex(0);
    unit->setCurrentIndex(UnitVoltsEntry);

    QPushButton* deactivate = AddButton(
        "deactivate", QCoreApplication::translate("MathDialog", "Deaktivieren"), 5, 130, 90);
    QPushButton* ok = AddButton("ok", u"OK"_s, 100, 130, 90);
    QPushButton* cancel =
        AddButton("cancel", QCoreApplication::translate("MathDialog", "Abbrechen"), 195, 130, 90);

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

QLabel* MathDialog::AddText(const QString& text, int x, int y, int width)
{
    auto* label = new QLabel(text, this);
    label->setGeometry(x, y, width, 20);
    return label;
}

QComboBox* MathDialog::AddList(const char* name, bool editable, int x, int y, int width)
{
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(x, y, width, 20);
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
