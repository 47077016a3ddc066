// SPDX-License-Identifier: GPL-3.0-or-later
// The "Dekodieren" dialog: which decoder (a searchable list with each one's description),
// which channel feeds each of its lines, its options as the decoder declares them, the
// comparator of each channel, and decoders stacked on top. It edits one stack and
// accepts only a request that CheckDecodeRequest finds sound.
#pragma once

#include "decode/decode.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QVBoxLayout;

// The installed decoders, listed once per process on a worker thread (loading them all
// takes seconds): the first call starts the listing and returns at once. The list stays
// empty until the listing has ended; a DecodeDialog given it shows "…" until then and fills
// itself when it arrives. Null with `error` when the last listing failed (the next call
// tries again).
const std::vector<DecoderInfo>* InstalledDecoders(QString& error);

// The decoders that can sit on `below`: those taking one of its outputs as input.
std::vector<const DecoderInfo*> StackableOn(const std::vector<DecoderInfo>& decoders,
                                            const DecoderInfo& below);

class DecodeDialog : public QDialog {
    Q_OBJECT

  public:
    // Decodes of `capture` between samples first and last (for the automatic thresholds
    // shown). The capture and the list must outlive the dialog. Given InstalledDecoders'
    // list while it is still being loaded, the dialog waits for it without blocking: the
    // list shows "…", OK is disabled, and a request set or an accept asked for meanwhile
    // takes effect when the list arrives.
    DecodeDialog(const Capture& capture, const std::vector<DecoderInfo>& decoders, int32_t first,
                 int32_t last, QWidget* parent);
    ~DecodeDialog() override;

    // Shows the request's first stack and its thresholds (a previous decode's settings).
    void SetRequest(const DecodeRequest& request);
    // The stack and thresholds as the controls say, over samples first..last. Options left
    // at their defaults are not listed.
    DecodeRequest Request() const;
    // Empty when Request() can be decoded, else what is wrong (also shown in the dialog).
    QString Problem() const;

    // Chooses the bottom decoder (the stack on it goes); false for an id not offered.
    bool SelectDecoder(const QString& id);
    // Puts `id` on top of the stack; false when it cannot take the top one's output.
    bool PushStacked(const QString& id);
    void PopStacked();
    int32_t StackDepth() const { return static_cast<int32_t>(layers.size()); }

    // The channel combo box of the bottom decoder's channel `id`, the editor (QComboBox or
    // QLineEdit) of option `id` at `layer`: for the tests and the harness.
    QComboBox* ChannelBox(const QString& id) const;
    QWidget* OptionEditor(int32_t layer, const QString& id) const;

    void accept() override;

    // Whether the list of decoders is still to come.
    bool Waiting() const { return waiting; }
    // On the event-loop thread, once the listing the dialog waits for has ended.
    void DecodersArrived();

    QLineEdit* searchEdit;
    QListWidget* decoderList;
    QLabel* descriptionLabel;
    QComboBox* stackBox;
    QPushButton* stackAddButton;
    QPushButton* stackRemoveButton;
    QLineEdit* thresholdEdit[SlotCount];  // null for an absent channel
    QLineEdit* hysteresisEdit[SlotCount]; // empty: automatic
    QLabel* problemLabel;
    QDialogButtonBox* buttons;

  private:
    struct OptionField {
        QString id;
        QString defaultValue;
        QComboBox* combo; // a value list
        QLineEdit* edit;  // any value of the option's kind
    };
    struct Layer {
        const DecoderInfo* info;
        QGroupBox* box;
        std::vector<std::pair<QString, QComboBox*>> channels; // bottom layer only
        std::vector<OptionField> options;
    };

    void FillDecoderList();
    void SetStack(const DecoderStack& stack);
    void Filter(const QString& text);
    void AddLayer(const DecoderInfo& info);
    void ClearLayers();
    void UpdateStackChoices();
    const DecoderInfo* Find(const QString& id) const;
    QString ThresholdProblem() const;
    // The threshold and hysteresis fields of the channels there are, one row each.
    QGroupBox* MakeThresholds(QWidget* parent);

    const Capture& capture;
    const std::vector<DecoderInfo>& decoders;
    int32_t first;
    int32_t last;
    std::vector<Layer> layers; // bottom first
    QVBoxLayout* layerLayout;
    QPushButton* okButton;
    bool waiting = false;                     // for InstalledDecoders' list
    std::optional<DecoderStack> waitingStack; // set by SetRequest meanwhile
    bool acceptWaiting = false;
};
