// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder dialog's frame and its left side: the installed decoders, the list of those
// the capture's channels can feed, and the search over it.
#include "app/decode_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

constexpr int DecoderIdRole = Qt::UserRole;

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

} // namespace

namespace {

// The installed decoders, listed once per process by a worker thread. Never destroyed: a
// listing still running when the process ends must not find it gone.
struct Catalog {
    enum State { NotStarted, Listing, Listed, Failed };
    std::mutex lock;
    State state = NotStarted;
    std::vector<DecoderInfo> decoders; // written before `state` turns Listed, then fixed
    QString error;                     // of the failed listing
    // The dialogs to tell when the listing ends; each one leaves when it goes, under the
    // lock, so the worker never posts to a dialog that is gone.
    std::vector<DecodeDialog*> waiting;
};

Catalog& TheCatalog()
{
    static auto* catalog = new Catalog;
    return *catalog;
}

// Caller holds the catalog's lock.
void StartListing(Catalog& catalog)
{
    if (catalog.state == Catalog::Listing || catalog.state == Catalog::Listed) return;
    catalog.state = Catalog::Listing;
    std::thread([&catalog] {
        std::vector<DecoderInfo> found;
        QString error;
        const bool listed = ListDecoders(found, error);
        const std::lock_guard guard(catalog.lock);
        if (listed) {
            catalog.decoders = std::move(found);
            catalog.state = Catalog::Listed;
        } else {
            catalog.error = error;
            catalog.state = Catalog::Failed;
        }
        for (DecodeDialog* dialog : catalog.waiting)
            QMetaObject::invokeMethod(
                dialog, [dialog] { dialog->DecodersArrived(); }, Qt::QueuedConnection);
        catalog.waiting.clear();
    }).detach();
}

} // namespace

const std::vector<DecoderInfo>* InstalledDecoders(QString& error)
{
    Catalog& catalog = TheCatalog();
    const std::lock_guard guard(catalog.lock);
    if (catalog.state == Catalog::Failed) {
        // Told once; the next call lists again.
        error = catalog.error;
        catalog.state = Catalog::NotStarted;
        return nullptr;
    }
    StartListing(catalog);
    return &catalog.decoders;
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

    right->addWidget(MakeThresholds(settings));
    right->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(settings);

    problemLabel = new QLabel(this);
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #c00000"));
    buttons = new QDialogButtonBox(this);
    okButton = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    okButton->setDefault(true);
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

    Catalog& catalog = TheCatalog();
    Catalog::State state = Catalog::Listed;
    if (&decoders == &catalog.decoders) {
        const std::lock_guard guard(catalog.lock);
        state = catalog.state;
        if (state == Catalog::Listing) catalog.waiting.push_back(this);
    }
    waiting = state != Catalog::Listed;
    if (!waiting) {
        FillDecoderList();
        return;
    }
    // Until the list is there: "…" in it, nothing to choose, nothing to accept.
    new QListWidgetItem(QStringLiteral("…"), decoderList);
    decoderList->setEnabled(false);
    searchEdit->setEnabled(false);
    okButton->setEnabled(false);
    if (state != Catalog::Listing) DecodersArrived(); // ended before the dialog could wait
}

DecodeDialog::~DecodeDialog()
{
    if (!waiting) return;
    Catalog& catalog = TheCatalog();
    const std::lock_guard guard(catalog.lock);
    std::erase(catalog.waiting, this);
}

void DecodeDialog::FillDecoderList()
{
    decoderList->clear();
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
}

void DecodeDialog::DecodersArrived()
{
    if (!waiting) return;
    Catalog& catalog = TheCatalog();
    QString error;
    {
        const std::lock_guard guard(catalog.lock);
        if (catalog.state == Catalog::Listing) return; // a later listing: it tells again
        std::erase(catalog.waiting, this);
        if (catalog.state == Catalog::Failed) {
            error = catalog.error;
            catalog.state = Catalog::NotStarted; // the next dialog lists again
        }
    }
    waiting = false;
    if (!error.isEmpty()) {
        decoderList->clear();
        problemLabel->setText(error);
        return;
    }
    FillDecoderList();
    decoderList->setEnabled(true);
    searchEdit->setEnabled(true);
    okButton->setEnabled(true);
    Filter(searchEdit->text());
    if (waitingStack) SetStack(*waitingStack);
    waitingStack.reset();
    if (acceptWaiting) accept();
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
