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

#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QScreen>

#include <algorithm>

namespace {

// Runs `act` on the record of the capture window `sub`, if it is still open; the window the
// event being handled acts on stays what it was.
template <typename Act>
void OnWindow(const QMdiSubWindow* sub, Act act)
{
    AppState& app = App();
    CaptureWindow* const previous = app.currentWindow;
    if (FindCaptureWindow(sub)) act(*app.currentWindow);
    app.currentWindow = previous;
}

// A new strip: the window grows or shrinks by the change of the strip's height, so that the
// screen keeps its size (a maximised window keeps filling the area and gives the change
// back when it is restored).
void ApplyStrip(CaptureWindow& w, DecodeStrip strip)
{
    const int32_t before = DecodeStripHeight(w.decodeStrip->Strip());
    w.decodeStrip->SetStrip(std::move(strip));
    const int32_t change = DecodeStripHeight(w.decodeStrip->Strip()) - before;
    if (change != 0) {
        if (w.window->isMaximized()) w.restoreHeightChange += change;
        SetClientSize(w, w.client->size() + QSize(0, change));
        if (LayOutControls(w)) w.staleBits |= StaleImageSize;
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
    QMdiSubWindow* const sub = w.window;
    if (!w.decodeStrip) {
        w.decodeStrip = new DecodeStripView(w.client);
        w.decodeStrip->show();
    }
    if (!w.decodedWindow) {
        auto* table = new DecodedWindow(w.capture.filePath, App().mainFrame);
        w.decodedWindow = table;
        QObject::connect(table, &DecodedWindow::AnnotationClicked, sub,
                         [sub](int64_t start, int64_t end) {
                             OnWindow(sub, [start, end](CaptureWindow& owner) {
                                 CaptureView& v = owner.view;
                                 v.firstSample = FirstSampleCentredOn(
                                     start, end, v.visibleCount, owner.capture.samplesPerChannel);
                                 owner.staleBits |= StaleOffset;
                                 RefreshCaptureWindow();
                             });
                         });
        // As tall as its capture window, so that a screenful of lines shows beside it.
        table->resize(QSize(520, std::max(300, w.window->height())));
        table->show();
        table->move(AnalysisWindowPlace(OwnerPlace(w), ClearBelow(w), table->frameGeometry().size(),
                                        table->screen()->availableGeometry()));
    }
    if (!w.decodeRunner) {
        // A child of the subwindow: it goes with it even where the record is not closed
        // (the frame's end), and its worker then delivers nowhere.
        auto* runner = new DecodeRunner(sub);
        w.decodeRunner = runner;
        QObject::connect(runner, &DecodeRunner::Progress, sub, [sub](double done) {
            OnWindow(sub, [done](CaptureWindow& owner) {
                if (owner.decodedWindow) owner.decodedWindow->ShowProgress(done);
            });
        });
        QObject::connect(runner, &DecodeRunner::Finished, sub,
                         [sub](int32_t, const DecodeResult& result) {
                             OnWindow(sub, [&result](CaptureWindow& owner) {
                                 ApplyStrip(owner, StripOfDecode(result));
                                 if (owner.decodedWindow)
                                     owner.decodedWindow->ShowResult(owner.capture, result);
                                 if (owner.staleBits != 0) RefreshCaptureWindow();
                             });
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
    QMdiSubWindow* const sub = window.window;
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Listing the installed decoders loads each of them once per process.
    const std::vector<DecoderInfo>* decoders = InstalledDecoders(error);
    QApplication::restoreOverrideCursor();
    if (!decoders) {
        ShowErrorBox(App().mainFrame, QCoreApplication::translate("MainFrame", "Fehler"), error);
        return;
    }
    const auto [first, last] = DecodeRange(window);
    DecodeDialog dialog(window.capture, *decoders, first, last, App().mainFrame);
    if (window.decodeRequest) dialog.SetRequest(*window.decodeRequest);
    if (dialog.exec() != QDialog::Accepted) return;
    const DecodeRequest request = dialog.Request();
    // The dialog ran its own event loop.
    OnWindow(sub, [&request](CaptureWindow& owner) { StartDecoding(owner, request); });
}

void StartDecoding(CaptureWindow& window, DecodeRequest request)
{
    CreateDecodingParts(window);
    window.decodeRequest = std::move(request);
    window.decodedWindow->show();
    window.decodedWindow->raise();
    Restart(window);
}

void FollowDecoding(CaptureWindow& w, int32_t staleBits)
{
    if (!w.decodeStrip) return;
    if (staleBits & StaleRedrawMask)
        w.decodeStrip->SetView(w.view.imageWidth, w.view.firstSample, w.view.visibleCount);
    if (!w.decodeRequest || !w.decodeRunner || !w.decodedWindow) return;
    const auto range = DecodeRange(w);
    const bool moved =
        range.first != w.decodeRequest->first || range.second != w.decodeRequest->last;
    const bool math = (staleBits & StaleMath) && UsesSlot(*w.decodeRequest, SlotMath);
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
    window.decodedWindow = nullptr;
    window.decodeRequest.reset();
}
