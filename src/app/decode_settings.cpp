// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder dialog's right side: the stack of decoders with their channels and options,
// the thresholds, and the request they make together, checked before the dialog closes.
#include "app/decode_dialog.h"

#include "text/format_text.h"
#include "text/number_text.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString SlotNames[SlotCount] = {QStringLiteral("CH1"), QStringLiteral("CH2"),
                                      QStringLiteral("MATH")};

// What ParseValue reads: a decimal number with "." or ",", optionally an SI prefix in
// place of the mark or at the end, and the unit.
const QRegularExpression& VoltsPattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*[-+]?(\\d+([.,]\\d*)?|[.,]\\d+|\\d+[pnuµmkMG]\\d+)\\s*[pnuµmkMG]?\\s*V?\\s*$"));
    return pattern;
}

QString VoltsText(double volts)
{
    return FormatText(u"{0Sd4}V", volts);
}

} // namespace

QGroupBox* DecodeDialog::MakeThresholds(QWidget* parent)
{
    auto* thresholds = new QGroupBox(tr("Schwellen"), parent);
    auto* grid = new QGridLayout(thresholds);
    grid->addWidget(new QLabel(tr("Kanal"), thresholds), 0, 0);
    grid->addWidget(new QLabel(tr("Schwelle"), thresholds), 0, 1);
    grid->addWidget(new QLabel(tr("Hysterese"), thresholds), 0, 2);
    auto* voltsValidator = new QRegularExpressionValidator(VoltsPattern(), this);
    int row = 1;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        thresholdEdit[slot] = nullptr;
        hysteresisEdit[slot] = nullptr;
        if (capture.present[slot] != 1) continue;
        const std::optional<LogicThreshold> automatic = AutomaticThreshold(capture, slot);
        thresholdEdit[slot] = new QLineEdit(thresholds);
        hysteresisEdit[slot] = new QLineEdit(thresholds);
        // Empty fields take the automatic values, which the placeholders show.
        const QString none = QStringLiteral("---");
        thresholdEdit[slot]->setPlaceholderText(
            tr("automatisch: %1").arg(automatic ? VoltsText(automatic->threshold) : none));
        hysteresisEdit[slot]->setPlaceholderText(
            tr("automatisch: %1").arg(automatic ? VoltsText(automatic->hysteresis) : none));
        thresholdEdit[slot]->setValidator(voltsValidator);
        hysteresisEdit[slot]->setValidator(voltsValidator);
        auto* label = new QLabel(SlotNames[slot], thresholds);
        label->setBuddy(thresholdEdit[slot]);
        grid->addWidget(label, row, 0);
        grid->addWidget(thresholdEdit[slot], row, 1);
        grid->addWidget(hysteresisEdit[slot], row, 2);
        ++row;
    }
    return thresholds;
}

void DecodeDialog::ClearLayers()
{
    for (Layer& layer : layers)
        delete layer.box;
    layers.clear();
}

void DecodeDialog::AddLayer(const DecoderInfo& info)
{
    Layer layer{&info, nullptr, {}, {}};
    layer.box = new QGroupBox(info.name + QStringLiteral(" - ") + info.longname);
    auto* form = new QFormLayout(layer.box);
    if (layers.empty()) {
        // Required lines first, each on the next free channel; without required ones the
        // first optional line gets the first channel, so that the usual case needs no click.
        std::vector<int32_t> present;
        for (int32_t slot = 0; slot < SlotCount; ++slot)
            if (capture.present[slot] == 1) present.push_back(slot);
        size_t nextSlot = 0;
        auto addChannel = [&](const DecoderChannelInfo& channel, bool required) {
            auto* box = new QComboBox(layer.box);
            box->addItem(tr("keiner"), -1);
            for (int32_t slot : present)
                box->addItem(SlotNames[slot], slot);
            const bool take = required || (info.channels.empty() && layer.channels.empty());
            if (take && nextSlot < present.size())
                box->setCurrentIndex(static_cast<int>(++nextSlot));
            box->setToolTip(channel.desc);
            QString label = channel.name + QStringLiteral(":");
            if (required) label = tr("%1 (nötig):").arg(channel.name);
            form->addRow(label, box);
            layer.channels.emplace_back(channel.id, box);
        };
        for (const DecoderChannelInfo& channel : info.channels)
            addChannel(channel, true);
        for (const DecoderChannelInfo& channel : info.optionalChannels)
            addChannel(channel, false);
    }
    for (const DecoderOptionInfo& option : info.options) {
        OptionField field{option.id, option.defaultValue, nullptr, nullptr};
        QWidget* editor = nullptr;
        if (!option.values.isEmpty()) {
            field.combo = new QComboBox(layer.box);
            field.combo->addItems(option.values);
            field.combo->setCurrentIndex(
                std::max<int>(0, option.values.indexOf(option.defaultValue)));
            editor = field.combo;
        } else {
            field.edit = new QLineEdit(option.defaultValue, layer.box);
            if (option.kind == OptionInteger)
                field.edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("^[-+]?\\d+$")), field.edit));
            else if (option.kind == OptionReal)
                field.edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(
                        QStringLiteral("^[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?$")),
                    field.edit));
            editor = field.edit;
        }
        editor->setToolTip(option.desc);
        form->addRow(option.desc + QStringLiteral(":"), editor);
        layer.options.push_back(field);
    }
    if (info.options.empty() && layers.size() > 0)
        form->addRow(new QLabel(tr("Keine Optionen"), layer.box));
    layerLayout->addWidget(layer.box);
    layers.push_back(std::move(layer));
    UpdateStackChoices();
}

void DecodeDialog::UpdateStackChoices()
{
    stackBox->clear();
    if (!layers.empty()) {
        for (const DecoderInfo* above : StackableOn(decoders, *layers.back().info))
            stackBox->addItem(above->name + QStringLiteral(" (") + above->id + QStringLiteral(")"),
                              above->id);
    }
    stackBox->setEnabled(stackBox->count() > 0);
    stackAddButton->setEnabled(stackBox->count() > 0);
    stackRemoveButton->setEnabled(layers.size() > 1);
}

bool DecodeDialog::PushStacked(const QString& id)
{
    if (layers.empty()) return false;
    for (const DecoderInfo* above : StackableOn(decoders, *layers.back().info)) {
        if (above->id == id) {
            AddLayer(*above);
            return true;
        }
    }
    return false;
}

void DecodeDialog::PopStacked()
{
    if (layers.size() <= 1) return;
    delete layers.back().box;
    layers.pop_back();
    UpdateStackChoices();
}

QComboBox* DecodeDialog::ChannelBox(const QString& id) const
{
    if (layers.empty()) return nullptr;
    for (const auto& [channel, box] : layers.front().channels)
        if (channel == id) return box;
    return nullptr;
}

QWidget* DecodeDialog::OptionEditor(int32_t layer, const QString& id) const
{
    if (layer < 0 || static_cast<size_t>(layer) >= layers.size()) return nullptr;
    for (const OptionField& field : layers[static_cast<size_t>(layer)].options) {
        if (field.id != id) continue;
        if (field.combo != nullptr) return field.combo;
        return field.edit;
    }
    return nullptr;
}

void DecodeDialog::SetRequest(const DecodeRequest& request)
{
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (thresholdEdit[slot] == nullptr) continue;
        const ThresholdSetting& setting = request.thresholds[slot];
        thresholdEdit[slot]->setText(setting.threshold ? NumberText(*setting.threshold, 6, true)
                                                       : QString());
        hysteresisEdit[slot]->setText(setting.hysteresis ? NumberText(*setting.hysteresis, 6, true)
                                                         : QString());
    }
    if (request.stacks.empty() || request.stacks.front().empty()) return;
    // Without the list there is nothing to choose from yet: the stack waits for it.
    if (waiting) {
        waitingStack = request.stacks.front();
        return;
    }
    SetStack(request.stacks.front());
}

void DecodeDialog::SetStack(const DecoderStack& stack)
{
    if (!SelectDecoder(stack.front().id)) return;
    for (size_t i = 1; i < stack.size(); ++i)
        if (!PushStacked(stack[i].id)) break;
    for (auto& [id, box] : layers.front().channels)
        box->setCurrentIndex(0);
    for (const auto& [id, slot] : stack.front().channels) {
        if (QComboBox* box = ChannelBox(id)) box->setCurrentIndex(std::max(0, box->findData(slot)));
    }
    for (size_t i = 0; i < stack.size() && i < layers.size(); ++i) {
        for (const auto& [id, value] : stack[i].options) {
            QWidget* editor = OptionEditor(static_cast<int32_t>(i), id);
            if (auto* combo = qobject_cast<QComboBox*>(editor)) {
                const int index = combo->findText(value);
                if (index >= 0) combo->setCurrentIndex(index);
            } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
                edit->setText(value);
            }
        }
    }
}

DecodeRequest DecodeDialog::Request() const
{
    DecodeRequest request{};
    request.first = first;
    request.last = last;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (thresholdEdit[slot] == nullptr) continue;
        const QString threshold = thresholdEdit[slot]->text().trimmed();
        const QString hysteresis = hysteresisEdit[slot]->text().trimmed();
        if (!threshold.isEmpty()) request.thresholds[slot].threshold = ParseValue(threshold);
        if (!hysteresis.isEmpty()) request.thresholds[slot].hysteresis = ParseValue(hysteresis);
    }
    if (layers.empty()) return request;
    DecoderStack stack;
    for (const Layer& layer : layers) {
        DecoderSetup setup;
        setup.id = layer.info->id;
        for (const auto& [id, box] : layer.channels) {
            const int32_t slot = box->currentData().toInt();
            if (slot >= 0) setup.channels.emplace_back(id, slot);
        }
        for (const OptionField& field : layer.options) {
            const QString value =
                field.combo != nullptr ? field.combo->currentText() : field.edit->text().trimmed();
            if (value != field.defaultValue) setup.options.emplace_back(field.id, value);
        }
        stack.push_back(std::move(setup));
    }
    request.stacks.push_back(std::move(stack));
    return request;
}

QString DecodeDialog::ThresholdProblem() const
{
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (thresholdEdit[slot] == nullptr) continue;
        const QString threshold = thresholdEdit[slot]->text().trimmed();
        const QString hysteresis = hysteresisEdit[slot]->text().trimmed();
        if (!threshold.isEmpty() && !VoltsPattern().match(threshold).hasMatch())
            return tr("Die Schwelle von %1 ist keine Zahl.").arg(SlotNames[slot]);
        if (!hysteresis.isEmpty() &&
            (!VoltsPattern().match(hysteresis).hasMatch() || ParseValue(hysteresis) < 0))
            return tr("Die Hysterese von %1 ist keine Zahl ab 0.").arg(SlotNames[slot]);
    }
    return QString();
}

QString DecodeDialog::Problem() const
{
    if (layers.empty()) return tr("Bitte einen Dekoder wählen.");
    const QString threshold = ThresholdProblem();
    if (!threshold.isEmpty()) return threshold;
    return CheckDecodeRequest(&capture, Request());
}

void DecodeDialog::accept()
{
    // Checking needs the decoders, which are still being listed.
    if (waiting) {
        acceptWaiting = true;
        return;
    }
    const QString problem = Problem();
    problemLabel->setText(problem);
    if (problem.isEmpty()) QDialog::accept();
}
