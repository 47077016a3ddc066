// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/spectrum_window.h"

#include "app/actions.h"
#include "app/app_state.h"
#include "app/file_requesters.h"
#include "app/main_frame.h"
#include "app/measurements_window.h"
#include "app/print_preview.h"
#include "app/window_arrangement.h"
#include "capture/file_name.h"
#include "output/png_export.h"
#include "output/print_layout.h"
#include "platform/platform.h"
#include "platform/print_platform.h"
#include "readouts/readouts.h"
#include "screen/painter_surface.h"
#include "text/format_text.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// The frame's keyed commands work in a spectrum window too; the picture commands (Ctrl+F,
// Ctrl+C, Ctrl+P) are the window's own and act on its plot.
void AddWindowActions(SpectrumWindow& window)
{
    SpectrumWindow* const widget = &window;
    if (auto* frame = dynamic_cast<MainFrame*>(App().mainFrame))
        widget->addActions(SharedWindowActions(frame->Actions()));
    struct Own {
        QKeySequence key;
        void (*run)(SpectrumWindow&);
    };
    const Own own[] = {{QKeySequence(Qt::CTRL | Qt::Key_F), ExportSpectrumPng},
                       {QKeySequence(Qt::CTRL | Qt::Key_C), CopySpectrumToClipboard},
                       {QKeySequence(Qt::CTRL | Qt::Key_P), PrintSpectrum}};
    for (const Own& entry : own) {
        auto* action = new QAction(widget);
        action->setShortcut(entry.key);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setAutoRepeat(false);
        const auto run = entry.run;
        QObject::connect(action, &QAction::triggered, widget, [widget, run] { run(*widget); });
        widget->addAction(action);
    }
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
        window.pickLabel->setText(QCoreApplication::translate(
            "SpectrumWindow", "Ein Klick in das Spektrum zeigt Frequenz und Pegel."));
        return;
    }
    const double frequency = BinFrequency(s, bin);
    window.pickLabel->setText(FormatText(u"{0Sd5}Hz:   {1d4} dBV   {2Sd5}V", frequency,
                                         s.dbv[static_cast<size_t>(bin)],
                                         s.rms[static_cast<size_t>(bin)]));
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
void ControlChanged(SpectrumWindow& window, bool recompute)
{
    if (recompute) {
        window.markerBin = -1;
        Update(window, *window.owner, false);
    } else {
        Redraw(window);
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

// A child of its capture window, so that it goes with it, but a window of its own: it can
// be moved beside the frame and sized freely. As a dialog it stays above the main window,
// which would otherwise cover it at the first click.
SpectrumWindow::SpectrumWindow(CaptureWindow* captureWindow)
    : QWidget(captureWindow, Qt::Dialog | Qt::WindowMinMaxButtonsHint), owner(captureWindow),
      filePath(captureWindow->capture.filePath)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QCoreApplication::translate("SpectrumWindow", "Spektrum - ") +
                   owner->SubWindow()->windowTitle());
    setWindowIcon(owner->SubWindow()->windowIcon());

    auto* layout = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    channelBox =
        AddBox(controls, this, QCoreApplication::translate("SpectrumWindow", "&Kanal:"), {});
    windowBox =
        AddBox(controls, this, QCoreApplication::translate("SpectrumWindow", "&Fenster:"),
               {SpectrumWindowName(WindowRect), SpectrumWindowName(WindowHann),
                SpectrumWindowName(WindowBlackmanHarris), SpectrumWindowName(WindowFlatTop)});
    windowBox->setCurrentIndex(WindowHann);
    scaleBox = AddBox(controls, this, QCoreApplication::translate("SpectrumWindow", "&Skala:"),
                      {u"dBV"_s, u"V"_s});
    axisBox =
        AddBox(controls, this, QCoreApplication::translate("SpectrumWindow", "F&requenzachse:"),
               {QCoreApplication::translate("SpectrumWindow", "Linear"),
                QCoreApplication::translate("SpectrumWindow", "Logarithmisch")});
    controls->addStretch(1);
    layout->addLayout(controls);

    auto* middle = new QHBoxLayout;
    plot = new SpectrumCanvas(this);
    middle->addWidget(plot, 1);
    readout = new ReadoutBox(this);
    readout->setReadOnly(true);
    readout->setLineWrapMode(QPlainTextEdit::NoWrap);
    readout->setFixedWidth(260);
    middle->addWidget(readout);
    layout->addLayout(middle, 1);
    pickLabel = new QLabel(this);
    layout->addWidget(pickLabel);

    connect(channelBox, &QComboBox::currentIndexChanged, this,
            [this] { ControlChanged(*this, true); });
    connect(windowBox, &QComboBox::currentIndexChanged, this,
            [this] { ControlChanged(*this, true); });
    connect(scaleBox, &QComboBox::currentIndexChanged, this, [this] {
        if (computed) ShowReadout(*this);
        ControlChanged(*this, false);
    });
    connect(axisBox, &QComboBox::currentIndexChanged, this,
            [this] { ControlChanged(*this, false); });
    plot->onResize = [this] {
        if (computed) Redraw(*this);
    };
    plot->onPress = [this](int32_t x) {
        const QSize size = plot->size();
        markerBin = SpectrumBinAtColumn(
            spectrum, SpectrumWindowRequest(*this, size.width(), size.height(), false), x);
        ShowPick(*this);
        Redraw(*this);
    };
    AddWindowActions(*this);
}

void OpenSpectrumWindow(CaptureWindow& owner)
{
    if (SpectrumWindow* existing = owner.spectrumWindow) {
        existing->show();
        existing->raise();
        existing->activateWindow();
        return;
    }
    auto* window = new SpectrumWindow(&owner);
    owner.spectrumWindow = window;
    FillChannelBox(*window, owner.capture);
    Update(*window, owner, true);
    // Wide enough for a 600 x 400 plot beside the readout.
    window->resize(900, 480);
    window->move(AnalysisWindowPlace(OwnerPlace(owner), ClearBelow(owner),
                                     window->frameGeometry().size(),
                                     window->screen()->availableGeometry()));
    window->show();
    window->raise();
    window->activateWindow();
}

void FollowSpectrumWindow(CaptureWindow& owner, StaleBits staleBits)
{
    SpectrumWindow* window = owner.spectrumWindow;
    if (!window) return;
    if (staleBits & (Stale::Math | Stale::New)) FillChannelBox(*window, owner.capture);
    // New math samples matter only to a spectrum of the math trace.
    const bool samplesChanged =
        (staleBits & Stale::New) ||
        ((staleBits & Stale::Math) && InputFor(*window, owner).slot == SlotMath);
    Update(*window, owner, samplesChanged);
}

void ExportSpectrumPng(SpectrumWindow& window)
{
    const QString base = window.filePath;
    const qsizetype slash = base.lastIndexOf(u'/');
    const qsizetype dot = base.lastIndexOf(u'.');
    const QString suggestion = (dot > slash + 1 ? base.left(dot) : base) + u".spectrum"_s;
    const QString path =
        SaveFileRequester(QString(), suggestion,
                          QCoreApplication::translate(
                              "SpectrumWindow", "PNG-Dateien (*.png)|*.png|Alle Dateien (*.*)|*.*"),
                          0, &window, u"png"_s,
                          RequesterDefaultTitle | RequesterAddToRecent | RequesterOverwritePrompt);
    if (path.isEmpty()) return;
    const QSize size = window.plot->size();
    const QImage image = RenderSpectrumImage(
        window.spectrum, SpectrumWindowRequest(window, size.width(), size.height(), false));
    if (!WritePng(image, path)) {
        // Name bytes that are not text read \xHH, as in every other message.
        const QString visible = VisibleFileName(path);
        ShowErrorBox(
            &window, QCoreApplication::translate("SpectrumWindow", "Fehler"),
            FormatText(QCoreApplication::translate("SpectrumWindow",
                                                   "Die Datei \"{0}\" kann nicht erstellt werden!"),
                       visible));
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
    if (!RunPrinterDialog(&window, printer)) return;
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
        ShowPrintStartError(&window, printer);
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
