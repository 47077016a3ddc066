// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/decode_dialog.h"

#include "text/format_text.h"
#include "text/number_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>
#include <mutex>

namespace {

constexpr int DecoderIdRole = Qt::UserRole;

const QString SlotNames[SlotCount] = {QStringLiteral("CH1"), QStringLiteral("CH2"),
                                      QStringLiteral("MATH")};

int32_t PresentSlots(const Capture& capture)
{
    int32_t count = 0;
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        count += capture.present[slot] == 1 ? 1 : 0;
    return count;
}

// A decoder can be offered when it reads logic lines and its required ones fit the
// channels there are.
bool Offered(const DecoderInfo& info, int32_t slots)
{
    return info.inputs.contains(QStringLiteral("logic")) &&
           static_cast<int32_t>(info.channels.size()) <= slots;
}

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
    return FormatText(u"{0Sd4}V", KindFloat64, &volts);
}

} // namespace

const std::vector<DecoderInfo>* InstalledDecoders(QString& error)
{
    static std::mutex lock;
    static std::vector<DecoderInfo> decoders;
    static bool listed = false;
    const std::lock_guard guard(lock);
    if (!listed) {
        std::vector<DecoderInfo> found;
        if (!ListDecoders(found, error)) return nullptr;
        decoders = std::move(found);
        listed = true;
    }
    return &decoders;
}

std::vector<const DecoderInfo*> StackableOn(const std::vector<DecoderInfo>& decoders,
                                            const DecoderInfo& below)
{
    std::vector<const DecoderInfo*> above;
    for (const DecoderInfo& info : decoders) {
        for (const QString& input : info.inputs) {
            if (input != QStringLiteral("logic") && below.outputs.contains(input)) {
                above.push_back(&info);
                break;
            }
        }
    }
    return above;
}

DecodeDialog::DecodeDialog(const Capture& source, const std::vector<DecoderInfo>& list,
                           int32_t firstSample, int32_t lastSample, QWidget* parent)
    : QDialog(parent), capture(source), decoders(list), first(firstSample), last(lastSample)
{
    setWindowTitle(tr("Dekodieren"));

    // Left: the decoders.
    searchEdit = new QLineEdit(this);
    searchEdit->setClearButtonEnabled(true);
    searchEdit->setPlaceholderText(tr("Name oder Beschreibung"));
    auto* searchLabel = new QLabel(tr("&Suchen:"), this);
    searchLabel->setBuddy(searchEdit);
    decoderList = new QListWidget(this);
    decoderList->setWordWrap(true);
    decoderList->setAlternatingRowColors(true);
    decoderList->setSpacing(2);
    const int32_t slots = PresentSlots(capture);
    for (const DecoderInfo& info : decoders) {
        if (!Offered(info, slots)) continue;
        // Name, id and long name on the first line, what it decodes on the second.
        QString text = info.name + QStringLiteral(" (") + info.id + QStringLiteral(")");
        if (!info.longname.isEmpty() && info.longname != info.name)
            text += QStringLiteral(" - ") + info.longname;
        if (!info.desc.isEmpty()) text += u'\n' + info.desc;
        auto* item = new QListWidgetItem(text, decoderList);
        item->setData(DecoderIdRole, info.id);
        item->setToolTip(info.desc);
    }
    descriptionLabel = new QLabel(this);
    descriptionLabel->setWordWrap(true);
    auto* left = new QVBoxLayout;
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(searchEdit, 1);
    left->addLayout(searchRow);
    left->addWidget(decoderList, 1);
    left->addWidget(descriptionLabel);

    // Right: the stack, each decoder with its channels and options, then the thresholds.
    auto* settings = new QWidget;
    auto* right = new QVBoxLayout(settings);
    layerLayout = new QVBoxLayout;
    right->addLayout(layerLayout);
    auto* stackRow = new QHBoxLayout;
    auto* stackLabel = new QLabel(tr("&Aufsetzen:"), settings);
    stackBox = new QComboBox(settings);
    stackLabel->setBuddy(stackBox);
    stackAddButton = new QPushButton(tr("&Hinzufügen"), settings);
    stackRemoveButton = new QPushButton(tr("&Entfernen"), settings);
    stackRow->addWidget(stackLabel);
    stackRow->addWidget(stackBox, 1);
    stackRow->addWidget(stackAddButton);
    stackRow->addWidget(stackRemoveButton);
    right->addLayout(stackRow);

    auto* thresholds = new QGroupBox(tr("Schwellen"), settings);
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
    right->addWidget(thresholds);
    right->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(settings);

    problemLabel = new QLabel(this);
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #c00000"));
    buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(tr("Abbrechen"), QDialogButtonBox::RejectRole);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 2);
    columns->addWidget(scroll, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(problemLabel);
    layout->addWidget(buttons);

    connect(searchEdit, &QLineEdit::textChanged, this, &DecodeDialog::Filter);
    connect(decoderList, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* current, QListWidgetItem*) {
                if (current == nullptr) return;
                const QString id = current->data(DecoderIdRole).toString();
                if (layers.empty() || layers.front().info->id != id) SelectDecoder(id);
            });
    connect(stackAddButton, &QPushButton::clicked, this,
            [this] { PushStacked(stackBox->currentData().toString()); });
    connect(stackRemoveButton, &QPushButton::clicked, this, &DecodeDialog::PopStacked);
    connect(buttons, &QDialogButtonBox::accepted, this, &DecodeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DecodeDialog::reject);

    UpdateStackChoices();
    resize(900, 600);
}

const DecoderInfo* DecodeDialog::Find(const QString& id) const
{
    for (const DecoderInfo& info : decoders)
        if (info.id == id) return &info;
    return nullptr;
}

void DecodeDialog::Filter(const QString& text)
{
    const QString needle = text.trimmed();
    for (int i = 0; i < decoderList->count(); ++i) {
        QListWidgetItem* item = decoderList->item(i);
        const DecoderInfo* info = Find(item->data(DecoderIdRole).toString());
        const bool match = needle.isEmpty() || info == nullptr ||
                           info->id.contains(needle, Qt::CaseInsensitive) ||
                           info->name.contains(needle, Qt::CaseInsensitive) ||
                           info->longname.contains(needle, Qt::CaseInsensitive) ||
                           info->desc.contains(needle, Qt::CaseInsensitive);
        item->setHidden(!match);
    }
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

bool DecodeDialog::SelectDecoder(const QString& id)
{
    const DecoderInfo* info = Find(id);
    if (info == nullptr || !Offered(*info, PresentSlots(capture))) return false;
    ClearLayers();
    AddLayer(*info);
    descriptionLabel->setText(info->desc);
    for (int i = 0; i < decoderList->count(); ++i) {
        if (decoderList->item(i)->data(DecoderIdRole).toString() == id &&
            decoderList->currentRow() != i) {
            decoderList->setCurrentRow(i);
            break;
        }
    }
    problemLabel->clear();
    return true;
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
    const DecoderStack& stack = request.stacks.front();
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
    const QString problem = Problem();
    problemLabel->setText(problem);
    if (problem.isEmpty()) QDialog::accept();
}
