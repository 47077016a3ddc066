// SPDX-License-Identifier: GPL-3.0-or-later
// The "Spektrum - FILE" window of a capture window: a non-modal, resizable window with the
// spectrum of one channel over the capture window's cursors (or its view), its controls,
// and a readout of peaks, fundamental, harmonics and THD. One per capture window; it goes
// with it, and follows its refresh.
#pragma once

#include "analysis/spectrum.h"
#include "app/capture_window.h"
#include "screen/spectrum_renderer.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;

// The plot: redrawn at its own size, reports the column of a click.
class SpectrumCanvas : public QWidget {
  public:
    explicit SpectrumCanvas(QWidget* parent);
    void SetImage(QImage picture);
    const QImage& Image() const { return image; }
    std::function<void(int32_t x)> onPress;
    std::function<void()> onResize;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QImage image;
};

// What the spectrum was computed from; a refresh that leaves it alone recomputes nothing.
struct SpectrumInput {
    int32_t slot;
    int32_t first;
    int32_t last;
    int32_t window;
    friend bool operator==(const SpectrumInput&, const SpectrumInput&) = default;
};

// A window of its own that belongs to its capture window `owner` (its parent) and goes
// when closed.
class SpectrumWindow : public QWidget {
  public:
    explicit SpectrumWindow(CaptureWindow* owner);

    CaptureWindow* const owner;
    QString filePath; // of the owner's capture
    QComboBox* channelBox;
    QComboBox* windowBox;
    QComboBox* scaleBox;
    QComboBox* axisBox;
    SpectrumCanvas* plot;
    QPlainTextEdit* readout;
    QLabel* pickLabel;
    std::vector<int32_t> channelSlots; // the slot of each channelBox entry
    SpectrumInput input{};
    bool computed = false;
    Spectrum spectrum;
    int32_t markerBin = -1; // picked by a click, -1 for none
    int32_t computations = 0;
    int32_t renders = 0;
};

// "&Analyse" > "&Spektrum...": opens the window of `owner`, or brings its existing one to
// the front.
void OpenSpectrumWindow(CaptureWindow& owner);

// The end of every refresh of `owner`: recomputes when the samples, range, channel or
// window function changed, and redraws then.
void FollowSpectrumWindow(CaptureWindow& owner, StaleBits staleBits);

// The request the window draws with, at `width` x `height`, in the screen or paper style.
SpectrumRenderRequest SpectrumWindowRequest(const SpectrumWindow& window, int32_t width,
                                            int32_t height, bool paper);

// The frame's picture commands, for the spectrum window: PNG file (Ctrl+F), clipboard
// (Ctrl+C) and printer (Ctrl+P).
void ExportSpectrumPng(SpectrumWindow& window);
void CopySpectrumToClipboard(SpectrumWindow& window);
void PrintSpectrum(SpectrumWindow& window);
