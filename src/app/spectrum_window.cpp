// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/spectrum_window.h"

#include "app/app_state.h"
#include "app/file_requesters.h"
#include "app/main_frame.h"
#include "app/print_preview.h"
#include "capture/file_name.h"
#include "output/png_export.h"
#include "output/print_layout.h"
#include "platform/platform.h"
#include "platform/print_platform.h"
#include "readouts/readouts.h"
#include "screen/painter_surface.h"
#include "text/format_text.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

std::vector<std::unique_ptr<SpectrumWindow>>& SpectrumWindows()
{
    static std::vector<std::unique_ptr<SpectrumWindow>> windows;
    return windows;
}

CaptureWindow* OwnerOf(const SpectrumWindow& window)
{
    for (const auto& entry : App().captureWindows)
        if (entry->window == window.owner) return entry.get();
    return nullptr;
}

// The frame's shortcuts reach a spectrum window too: the picture commands act on its plot,
// the others go to the frame as from a capture window. Claimed before any control sees the
// key, as in the frame, so that Ctrl+C in the readout copies the plot.
class SpectrumKeys : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        SpectrumWindow* window = widget ? SpectrumWindowOf(widget->window()) : nullptr;
        if (!window) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const int32_t id = CommandForKey(key->key(), key->modifiers());
        if (id < 0) return false;
        if (type == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (key->isAutoRepeat()) return true;
        switch (id) {
        case CommandExportPng:
            ExportSpectrumPng(*window);
            break;
        case CommandCopyImage:
            CopySpectrumToClipboard(*window);
            break;
        case CommandPrint:
            PrintSpectrum(*window);
            break;
        default:
            if (auto* frame = dynamic_cast<MainFrame*>(App().mainFrame)) frame->RunCommand(id);
            break;
        }
        return true;
    }
};

void InstallSpectrumKeys()
{
    static SpectrumKeys* keys = nullptr;
    if (keys) return;
    keys = new SpectrumKeys;
    keys->setParent(qApp);
    qApp->installEventFilter(keys);
}

// Cursor 1 to cursor 2 while the cursors are shown, otherwise the visible part of the record.
SpectrumInput InputFor(const SpectrumWindow& window, const CaptureWindow& owner)
{
    SpectrumInput input{};
    const int32_t index = window.channelBox->currentIndex();
    input.slot = index >= 0 && index < static_cast<int32_t>(window.channelSlots.size())
                     ? window.channelSlots[static_cast<size_t>(index)]
                     : -1;
    input.window = std::max(window.windowBox->currentIndex(), 0);
    const CaptureView& v = owner.view;
    if (v.cursorsShown) {
        input.first = std::min(v.cursor1, v.cursor2);
        input.last = std::max(v.cursor1, v.cursor2);
    } else {
        input.first = v.firstSample;
        input.last = v.firstSample + v.visibleCount - 1;
    }
    return input;
}

// The channels present now; the choice stays on its slot while that slot is there.
void FillChannelBox(SpectrumWindow& window, const Capture& capture)
{
    const int32_t index = window.channelBox->currentIndex();
    const int32_t chosen = index >= 0 && index < static_cast<int32_t>(window.channelSlots.size())
                               ? window.channelSlots[static_cast<size_t>(index)]
                               : -1;
    const QSignalBlocker block(window.channelBox);
    window.channelBox->clear();
    window.channelSlots.clear();
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.present[slot] != 1) continue;
        window.channelSlots.push_back(slot);
        window.channelBox->addItem(ChannelName(slot));
        if (slot == chosen) window.channelBox->setCurrentIndex(window.channelBox->count() - 1);
    }
}

void Redraw(SpectrumWindow& window)
{
    const QSize size = window.plot->size();
    window.plot->SetImage(RenderSpectrumImage(
        window.spectrum, SpectrumWindowRequest(window, size.width(), size.height(), false)));
    ++window.renders;
}

void ShowPick(SpectrumWindow& window)
{
    const Spectrum& s = window.spectrum;
    const int32_t bin = window.markerBin;
    if (s.status != SpectrumOk || bin < 0 || bin >= static_cast<int32_t>(s.rms.size())) {
        window.pickLabel->setText(u"Ein Klick in das Spektrum zeigt Frequenz und Pegel."_s);
        return;
    }
    const double frequency = BinFrequency(s, bin);
    window.pickLabel->setText(FormatText(u"{0Sd5}Hz:   {1d4} dBV   {2Sd5}V", KindFloat64,
                                         &frequency, KindFloat64, &s.dbv[static_cast<size_t>(bin)],
                                         KindFloat64, &s.rms[static_cast<size_t>(bin)]));
}

// Recomputes when the input changed or the samples behind it did (new capture, new math).
// The readout beside the plot, its levels in the unit of the scale.
void ShowReadout(SpectrumWindow& window)
{
    window.readout->setPlainText(
        BoxText(SpectrumReadoutText(window.spectrum, window.scaleBox->currentIndex() == 1)));
}

void Update(SpectrumWindow& window, CaptureWindow& owner, bool samplesChanged)
{
    const SpectrumInput input = InputFor(window, owner);
    if (window.computed && input == window.input && !samplesChanged) return;
    window.input = input;
    window.computed = true;
    ComputeCaptureSpectrum(window.spectrum, owner.capture, input.slot, input.first, input.last,
                           input.window);
    ++window.computations;
    if (window.markerBin >= static_cast<int32_t>(window.spectrum.rms.size())) window.markerBin = -1;
    ShowReadout(window);
    ShowPick(window);
    Redraw(window);
}

// A control of the window changed: the channel or window function recomputes, the scale
// and the axis only redraw.
void ControlChanged(const QWidget* widget, bool recompute)
{
    SpectrumWindow* window = SpectrumWindowOf(widget);
    if (!window) return;
    CaptureWindow* owner = OwnerOf(*window);
    if (recompute && owner) {
        window->markerBin = -1;
        Update(*window, *owner, false);
    } else {
        Redraw(*window);
    }
}

QComboBox* AddBox(QHBoxLayout* row, QWidget* parent, const QString& label,
                  std::initializer_list<QString> items)
{
    auto* text = new QLabel(label, parent);
    auto* box = new QComboBox(parent);
    text->setBuddy(box);
    for (const QString& item : items)
        box->addItem(item);
    row->addWidget(text);
    row->addWidget(box);
    row->addSpacing(12);
    return box;
}

} // namespace

SpectrumCanvas::SpectrumCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(300, 200);
    setCursor(Qt::CrossCursor);
}

void SpectrumCanvas::SetImage(QImage picture)
{
    image = std::move(picture);
    update();
}

void SpectrumCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image.isNull()) painter.drawImage(0, 0, image);
}

void SpectrumCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onPress)
        onPress(static_cast<int32_t>(event->position().x()));
}

void SpectrumCanvas::resizeEvent(QResizeEvent*)
{
    if (onResize) onResize();
}

SpectrumWindow* FindSpectrumWindow(const CaptureWindow& owner)
{
    for (const auto& entry : SpectrumWindows())
        if (entry->owner && entry->owner == owner.window) return entry.get();
    return nullptr;
}

SpectrumWindow* SpectrumWindowOf(const QWidget* window)
{
    if (!window) return nullptr;
    for (const auto& entry : SpectrumWindows())
        if (entry->widget == window || entry->widget == window->window()) return entry.get();
    return nullptr;
}

SpectrumRenderRequest SpectrumWindowRequest(const SpectrumWindow& window, int32_t width,
                                            int32_t height, bool paper)
{
    SpectrumRenderRequest request{};
    request.width = width;
    request.height = height;
    request.paperStyle = paper;
    request.scale = window.scaleBox->currentIndex() == 1 ? SpectrumScaleVolts : SpectrumScaleDbv;
    request.logFrequency = window.axisBox->currentIndex() == 1;
    request.slot = std::max(window.input.slot, 0);
    request.markerBin = window.markerBin;
    if (paper) request.fileName = QFileInfo(window.filePath).completeBaseName();
    return request;
}

void OpenSpectrumWindow(CaptureWindow& owner)
{
    if (SpectrumWindow* existing = FindSpectrumWindow(owner)) {
        existing->widget->show();
        existing->widget->raise();
        existing->widget->activateWindow();
        return;
    }
    InstallSpectrumKeys();
    auto record = std::make_unique<SpectrumWindow>();
    SpectrumWindow& w = *record;
    w.owner = owner.window;
    w.filePath = owner.capture.filePath;
    w.markerBin = -1;

    // A child of the capture window's frame, so that it goes when that one is deleted, but
    // a window of its own: it can be moved beside the frame and sized freely. As a dialog
    // it stays above the main window, which would otherwise cover it at the first click.
    auto* widget = new QWidget(owner.window, Qt::Dialog | Qt::WindowMinMaxButtonsHint);
    w.widget = widget;
    widget->setAttribute(Qt::WA_DeleteOnClose);
    widget->setWindowTitle(u"Spektrum - "_s +
                           VisibleFileName(QFileInfo(owner.capture.filePath).fileName()));
    widget->setWindowIcon(owner.window->windowIcon());

    auto* layout = new QVBoxLayout(widget);
    auto* controls = new QHBoxLayout;
    w.channelBox = AddBox(controls, widget, u"&Kanal:"_s, {});
    w.windowBox =
        AddBox(controls, widget, u"&Fenster:"_s,
               {SpectrumWindowName(WindowRect), SpectrumWindowName(WindowHann),
                SpectrumWindowName(WindowBlackmanHarris), SpectrumWindowName(WindowFlatTop)});
    w.windowBox->setCurrentIndex(WindowHann);
    w.scaleBox = AddBox(controls, widget, u"&Skala:"_s, {u"dBV"_s, u"V"_s});
    w.axisBox = AddBox(controls, widget, u"F&requenzachse:"_s, {u"Linear"_s, u"Logarithmisch"_s});
    controls->addStretch(1);
    layout->addLayout(controls);

    auto* middle = new QHBoxLayout;
    w.plot = new SpectrumCanvas(widget);
    middle->addWidget(w.plot, 1);
    w.readout = new QPlainTextEdit(widget);
    w.readout->setReadOnly(true);
    w.readout->setLineWrapMode(QPlainTextEdit::NoWrap);
    w.readout->setFixedWidth(260);
    middle->addWidget(w.readout);
    layout->addLayout(middle, 1);
    w.pickLabel = new QLabel(widget);
    layout->addWidget(w.pickLabel);

    QObject::connect(w.channelBox, &QComboBox::currentIndexChanged, widget,
                     [widget] { ControlChanged(widget, true); });
    QObject::connect(w.windowBox, &QComboBox::currentIndexChanged, widget,
                     [widget] { ControlChanged(widget, true); });
    QObject::connect(w.scaleBox, &QComboBox::currentIndexChanged, widget, [widget] {
        if (SpectrumWindow* window = SpectrumWindowOf(widget); window && window->computed)
            ShowReadout(*window);
        ControlChanged(widget, false);
    });
    QObject::connect(w.axisBox, &QComboBox::currentIndexChanged, widget,
                     [widget] { ControlChanged(widget, false); });
    w.plot->onResize = [widget] {
        if (SpectrumWindow* window = SpectrumWindowOf(widget); window && window->computed)
            Redraw(*window);
    };
    w.plot->onPress = [widget](int32_t x) {
        SpectrumWindow* window = SpectrumWindowOf(widget);
        if (!window) return;
        const QSize size = window->plot->size();
        window->markerBin = SpectrumBinAtColumn(
            window->spectrum, SpectrumWindowRequest(*window, size.width(), size.height(), false),
            x);
        ShowPick(*window);
        Redraw(*window);
    };
    QObject::connect(widget, &QObject::destroyed, [widget] {
        auto& windows = SpectrumWindows();
        std::erase_if(windows, [widget](const auto& entry) { return entry->widget == widget; });
    });

    FillChannelBox(w, owner.capture);
    SpectrumWindows().push_back(std::move(record));
    Update(w, owner, true);
    // Wide enough for a 600 x 400 plot beside the readout.
    widget->resize(900, 480);
    widget->show();
    widget->raise();
    widget->activateWindow();
}

void FollowSpectrumWindow(CaptureWindow& owner, int32_t staleBits)
{
    SpectrumWindow* window = FindSpectrumWindow(owner);
    if (!window) return;
    if (staleBits & (StaleMath | StaleNew)) FillChannelBox(*window, owner.capture);
    // New math samples matter only to a spectrum of the math trace.
    const bool samplesChanged =
        (staleBits & StaleNew) ||
        ((staleBits & StaleMath) && InputFor(*window, owner).slot == SlotMath);
    Update(*window, owner, samplesChanged);
}

void ExportSpectrumPng(SpectrumWindow& window)
{
    const QString base = window.filePath;
    const qsizetype slash = base.lastIndexOf(u'/');
    const qsizetype dot = base.lastIndexOf(u'.');
    const QString suggestion = (dot > slash + 1 ? base.left(dot) : base) + u".spectrum"_s;
    const QString path = SaveFileRequester(
        QString(), suggestion, u"PNG-Dateien (*.png)|*.png|Alle Dateien (*.*)|*.*"_s, 0,
        window.widget, u"png"_s,
        RequesterDefaultTitle | RequesterAddToRecent | RequesterOverwritePrompt);
    if (path.isEmpty()) return;
    const QSize size = window.plot->size();
    const QImage image = RenderSpectrumImage(
        window.spectrum, SpectrumWindowRequest(window, size.width(), size.height(), false));
    if (!WritePng(image, path)) {
        // Name bytes that are not text read \xHH, as in every other message.
        const QString visible = VisibleFileName(path);
        ShowErrorBox(
            window.widget, u"Fehler"_s,
            FormatText(u"Die Datei \"{0}\" kann nicht erstellt werden!", KindText, &visible));
    }
}

void CopySpectrumToClipboard(SpectrumWindow& window)
{
    const QSize size = window.plot->size();
    const QImage image = RenderSpectrumImage(
        window.spectrum, SpectrumWindowRequest(window, size.width(), size.height(), false));
    if (!image.isNull()) PutImageOnClipboard(image);
}

// The plot in the paper style, in the scope screen's 3 : 2, centred on the page.
void PrintSpectrum(SpectrumWindow& window)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setCopyCount(1);
    if (!RunPrinterDialog(window.widget, printer)) return;
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    PrintLayout layout{};
    if (!StartPrintLayout(layout, static_cast<int32_t>(std::lround(printable.width())),
                          static_cast<int32_t>(std::lround(printable.height())), 12, 8))
        return;
    // Nine tenths of the page: the labels keep clear of its edges.
    SetPrintZoom(layout, 89);
    printer.setDocName(PrintDocumentName(window.filePath));
    QPainter painter;
    if (!painter.begin(&printer)) {
        ShowPrintStartError(window.widget, printer);
        return;
    }
    PainterSurface surface(&painter);
    SpectrumRenderRequest request =
        SpectrumWindowRequest(window, layout.screenWidth, layout.screenHeight, true);
    request.originX = layout.screenX;
    request.originY = layout.screenY;
    SpectrumRenderer(window.spectrum, surface, request);
    painter.end();
}
