// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/capture_decoding.h"

#include "app/app_state.h"
#include "app/capture_layout.h"
#include "app/decode_dialog.h"
#include "app/decode_runner.h"
#include "app/decode_strip_view.h"
#include "app/decoded_window.h"
#include "app/measurements_window.h"
#include "app/window_arrangement.h"
#include "platform/platform.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>

#include <algorithm>

namespace {

// A new strip: the window grows or shrinks by the change of the strip's height, so that the
// screen keeps its size (a maximised window keeps filling the area and gives the change
// back when it is restored).
void ApplyStrip(CaptureWindow& w, DecodeStrip strip)
{
    const int32_t before = DecodeStripHeight(w.decodeStrip->Strip());
    w.decodeStrip->SetStrip(std::move(strip));
    const int32_t change = DecodeStripHeight(w.decodeStrip->Strip()) - before;
    if (change != 0) {
        if (w.SubWindow()->isMaximized()) w.restoreHeightChange += change;
        SetClientSize(w, w.size() + QSize(0, change));
        if (LayOutControls(w)) w.staleBits |= Stale::ImageSize;
    }
    w.decodeStrip->SetView(w.view.imageWidth, w.view.firstSample, w.view.visibleCount);
}

bool UsesSlot(const DecodeRequest& request, int32_t slot)
{
    for (const DecoderStack& stack : request.stacks)
        for (const DecoderSetup& setup : stack)
            for (const auto& channel : setup.channels)
                if (channel.second == slot) return true;
    return false;
}

void Restart(CaptureWindow& w)
{
    const auto [first, last] = DecodeRange(w);
    w.decodeRequest->first = first;
    w.decodeRequest->last = last;
    w.decodedWindow->ShowStarted();
    w.decodeRunner->Start(w.capture, *w.decodeRequest);
}

void CreateDecodingParts(CaptureWindow& w)
{
    CaptureWindow* const owner = &w;
    if (!w.decodeStrip) {
        // Directly under the screen, its columns under the screen's.
        w.decodeStrip = new DecodeStripView(&w);
        w.decodeStrip->setFixedHeight(0);
        w.screenColumn->addWidget(w.decodeStrip);
    }
    if (!w.decodedWindow) {
        auto* table = new DecodedWindow(w.capture.filePath, &w);
        w.decodedWindow = table;
        QObject::connect(table, &DecodedWindow::AnnotationClicked, owner,
                         [owner](int64_t start, int64_t end) {
                             if (owner->Closed()) return;
                             CaptureView& v = owner->view;
                             v.firstSample = FirstSampleCentredOn(start, end, v.visibleCount,
                                                                  owner->capture.samplesPerChannel);
                             owner->staleBits |= Stale::Offset;
                             owner->Refresh();
                         });
        // As tall as its capture window, so that a screenful of lines shows beside it.
        table->resize(QSize(520, std::max(300, w.SubWindow()->height())));
        table->show();
        table->move(AnalysisWindowPlace(OwnerPlace(w), ClearBelow(w), table->frameGeometry().size(),
                                        table->screen()->availableGeometry()));
    }
    if (!w.decodeRunner) {
        // A child of the window: it goes with it even where the window is not closed (the
        // frame's end), and its worker then delivers nowhere.
        auto* runner = new DecodeRunner(owner);
        w.decodeRunner = runner;
        QObject::connect(runner, &DecodeRunner::Progress, owner, [owner](double done) {
            if (owner->decodedWindow && !owner->Closed()) owner->decodedWindow->ShowProgress(done);
        });
        QObject::connect(runner, &DecodeRunner::Finished, owner,
                         [owner](int32_t, const DecodeResult& result) {
                             if (owner->Closed()) return;
                             ApplyStrip(*owner, StripOfDecode(result));
                             if (owner->decodedWindow)
                                 owner->decodedWindow->ShowResult(owner->capture, result);
                             if (owner->staleBits) owner->Refresh();
                         });
    }
}

} // namespace

std::pair<int32_t, int32_t> DecodeRange(const CaptureWindow& window)
{
    if (window.view.cursorsShown != 0)
        return {std::min(window.view.cursor1, window.view.cursor2),
                std::max(window.view.cursor1, window.view.cursor2)};
    return {0, std::max(0, window.capture.samplesPerChannel - 1)};
}

void ShowDecodeDialog(CaptureWindow& window)
{
    QString error;
    // The list is made on a worker the first time; the dialog waits for it, not the window.
    const std::vector<DecoderInfo>* decoders = InstalledDecoders(error);
    if (!decoders) {
        ShowErrorBox(App().mainFrame, QCoreApplication::translate("MainFrame", "Fehler"), error);
        return;
    }
    const auto [first, last] = DecodeRange(window);
    const QPointer<CaptureWindow> owner(&window);
    DecodeDialog dialog(window.capture, *decoders, first, last, App().mainFrame);
    if (window.decodeRequest) dialog.SetRequest(*window.decodeRequest);
    if (dialog.exec() != QDialog::Accepted) return;
    const DecodeRequest request = dialog.Request();
    // The dialog ran its own event loop, in which the window may have closed.
    if (owner && !owner->Closed()) StartDecoding(*owner, request);
}

void StartDecoding(CaptureWindow& window, DecodeRequest request)
{
    CreateDecodingParts(window);
    window.decodeRequest = std::move(request);
    window.decodedWindow->show();
    window.decodedWindow->raise();
    Restart(window);
}

void FollowDecoding(CaptureWindow& w, StaleBits staleBits)
{
    if (!w.decodeStrip) return;
    if (staleBits & StaleRedrawMask)
        w.decodeStrip->SetView(w.view.imageWidth, w.view.firstSample, w.view.visibleCount);
    if (!w.decodeRequest || !w.decodeRunner || !w.decodedWindow) return;
    const auto range = DecodeRange(w);
    const bool moved =
        range.first != w.decodeRequest->first || range.second != w.decodeRequest->last;
    const bool math = (staleBits & Stale::Math) && UsesSlot(*w.decodeRequest, SlotMath);
    if (moved || math) Restart(w);
}

const DecodeStrip& ShownStrip(const CaptureWindow& window)
{
    static const DecodeStrip none;
    return window.decodeStrip ? window.decodeStrip->Strip() : none;
}

void CloseDecoding(CaptureWindow& window)
{
    // The runner's end cancels its worker, which then delivers nowhere.
    delete window.decodeRunner;
    window.decodeRunner = nullptr;
    delete window.decodedWindow;
    window.decodeRequest.reset();
}
