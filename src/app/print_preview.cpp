// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/print_preview.h"

#include "app/app_state.h"
#include "app/capture_decoding.h"
#include "app/fixed_dialog.h"
#include "platform/platform.h"
#include "platform/print_platform.h"
#include "screen/decode_strip.h"
#include "screen/painter_surface.h"
#include "screen/screen_renderer.h"
#include "text/format_text.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Across: a gap, the page's frame with the preview field and a gap all round it, the
// vertical bar, a gap. Down: a gap, the frame, the horizontal bar, then the zoom slider and
// the row of zoom text and buttons, each after a gap, and a last gap.
constexpr int32_t FrameSide = PreviewLongSide + 2 * FixedDialog::Gap;
constexpr int32_t BarThickness = 20;
constexpr int32_t ButtonWidth = 100;
constexpr int32_t DialogWidth = FrameSide + BarThickness + 2 * FixedDialog::Gap;
constexpr int32_t DialogHeight =
    FrameSide + BarThickness + 2 * FixedDialog::RowHeight + 4 * FixedDialog::Gap;
static_assert(DialogWidth == 330 && DialogHeight == 380);

// The screen, and under it the decode strip when the window shows one, in the rectangle the
// layout gives the screen: with strip rows the screen keeps its shape and becomes smaller
// (centred across), so that screen and strip together fill the rectangle's height.
void DrawPage(const CaptureWindow& window, DrawingSurface& surface, int32_t x, int32_t y,
              int32_t width, int32_t height, bool fillSurface)
{
    const DecodeStrip& strip = ShownStrip(window);
    const auto rows = static_cast<int64_t>(strip.rows.size());
    if (rows == 0) {
        ScreenRenderer(window.capture, surface,
                       PageRenderRequest(window.view, x, y, width, height, fillSurface));
        return;
    }
    // A printed row is a twentieth of the screen's height (PaperStripRowHeight).
    const auto screenHeight = static_cast<int32_t>(int64_t{height} * 20 / (20 + rows));
    const auto screenWidth = static_cast<int32_t>(int64_t{width} * 20 / (20 + rows));
    const RenderRequest request = PageRenderRequest(window.view, x + (width - screenWidth) / 2, y,
                                                    screenWidth, screenHeight, fillSurface);
    ScreenRenderer(window.capture, surface, request);
    DrawDecodeStrip(strip, surface, StripRequestUnder(request, PaperStripRowHeight(screenHeight)));
}

int32_t ScrollRequest(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return ScrollLineBack;
    case QAbstractSlider::SliderSingleStepAdd:
        return ScrollLineForward;
    case QAbstractSlider::SliderPageStepSub:
        return ScrollPageBack;
    case QAbstractSlider::SliderPageStepAdd:
        return ScrollPageForward;
    case QAbstractSlider::SliderMove:
        return ScrollThumbTrack;
    case QAbstractSlider::SliderToMinimum:
        return ScrollToStart;
    case QAbstractSlider::SliderToMaximum:
        return ScrollToEnd;
    default:
        return ScrollEnded;
    }
}

class PreviewDialog final : public FixedDialog {
  public:
    PreviewDialog(QWidget* owner, const CaptureWindow& shown, PrintLayout& pageLayout,
                  QImage& page);

  protected:
    // Unlike the math dialog, the preview is a last look before printing: Escape cancels
    // it and Enter prints, wherever the focus is.
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->modifiers() & ~Qt::KeypadModifier) return FixedDialog::keyPressEvent(event);
        switch (event->key()) {
        case Qt::Key_Escape:
            done(0);
            return;
        case Qt::Key_Enter:
        case Qt::Key_Return:
            done(1);
            return;
        default:
            FixedDialog::keyPressEvent(event);
        }
    }

  private:
    QScrollBar* AddScrollBar(Qt::Orientation orientation, const char* name);
    void ApplyZoom();
    void Scroll(bool horizontalBar, int action);
    void Scrolled(bool horizontalBar);
    void UpdatePreview();

    const CaptureWindow& window;
    PrintLayout& layout;
    QImage& preview;
    QLabel* image = nullptr;
    QScrollBar* horizontalBar = nullptr;
    QScrollBar* verticalBar = nullptr;
    QLabel* zoomText = nullptr;
    QSlider* zoomBar = nullptr;
};

PreviewDialog::PreviewDialog(QWidget* owner, const CaptureWindow& shown, PrintLayout& pageLayout,
                             QImage& page)
    : FixedDialog(owner, QCoreApplication::translate("PrintPreview", "Druckvorschau"), DialogWidth,
                  DialogHeight),
      window(shown), layout(pageLayout), preview(page)
{
    auto* frame = new QFrame(this);
    frame->setObjectName(u"pageFrame"_s);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setFixedSize(FrameSide, FrameSide);

    // The picture has the page's shape and lies on the frame, centred as PreviewImageRect
    // says.
    image = new QLabel(this);
    image->setObjectName(u"previewImage"_s);
    const PrintRect place = PreviewImageRect(layout);
    image->setFixedSize(place.width, place.height);

    horizontalBar = AddScrollBar(Qt::Horizontal, "horizontalBar");
    verticalBar = AddScrollBar(Qt::Vertical, "verticalBar");

    zoomBar = new QSlider(Qt::Horizontal, this);
    zoomBar->setObjectName(u"zoomBar"_s);
    FitRow(zoomBar);
    zoomBar->setRange(0, PrintZoomPositions - 1);
    zoomBar->setValue(PrintZoomStart);

    zoomText = new QLabel(this);
    zoomText->setObjectName(u"zoomText"_s);
    FitRow(zoomText);
    zoomText->setAlignment(Qt::AlignCenter);

    QPushButton* print = AddButton("print", QCoreApplication::translate("PrintPreview", "Drucken"));
    QPushButton* cancel =
        AddButton("cancel", QCoreApplication::translate("PrintPreview", "Abbrechen"));

    // The bars touch the frame; the zoom text takes what the two buttons leave of its row.
    auto* sheet = new QGridLayout;
    sheet->setSpacing(0);
    sheet->addWidget(frame, 0, 0);
    sheet->addWidget(image, 0, 0, Qt::AlignCenter);
    sheet->addWidget(verticalBar, 0, 1);
    sheet->addWidget(horizontalBar, 1, 0);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->setSpacing(Gap);
    bottomRow->addWidget(zoomText, 1);
    for (QPushButton* button : {print, cancel}) {
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        button->setFixedWidth(ButtonWidth);
        bottomRow->addWidget(button);
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(Gap, Gap, Gap, Gap);
    column->setSpacing(Gap);
    column->addLayout(sheet);
    column->addWidget(zoomBar);
    column->addLayout(bottomRow);

    ApplyZoom();
    UpdatePreview();

    connect(zoomBar, &QSlider::valueChanged, this, [this] {
        ApplyZoom();
        UpdatePreview();
    });
    connect(horizontalBar, &QScrollBar::actionTriggered, this,
            [this](int action) { Scroll(true, action); });
    connect(verticalBar, &QScrollBar::actionTriggered, this,
            [this](int action) { Scroll(false, action); });
    connect(horizontalBar, &QScrollBar::valueChanged, this, [this] { Scrolled(true); });
    connect(verticalBar, &QScrollBar::valueChanged, this, [this] { Scrolled(false); });
    connect(print, &QPushButton::clicked, this, [this] { done(1); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(0); });
}

QScrollBar* PreviewDialog::AddScrollBar(Qt::Orientation orientation, const char* name)
{
    // As long as the frame's side and BarThickness thick.
    auto* bar = new QScrollBar(orientation, this);
    bar->setObjectName(QString::fromLatin1(name));
    if (orientation == Qt::Horizontal) {
        bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        bar->setFixedHeight(BarThickness);
    } else {
        bar->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
        bar->setFixedWidth(BarThickness);
    }
    bar->setRange(0, 0);
    bar->setPageStep(0);
    bar->setSingleStep(1);
    return bar;
}

void PreviewDialog::ApplyZoom()
{
    SetPrintZoom(layout, zoomBar->value());
    const int32_t zoom = layout.zoom;
    zoomText->setText(FormatText(QCoreApplication::translate("PrintPreview", "Zoom: {0} %"), zoom));
    // The toolkit's bar counts the thumb's positions, not the end of its page.
    const QSignalBlocker blockHorizontal(horizontalBar);
    const QSignalBlocker blockVertical(verticalBar);
    horizontalBar->setRange(0, ScrollLimit(layout.horizontal));
    horizontalBar->setPageStep(layout.horizontal.page);
    horizontalBar->setValue(layout.horizontal.position);
    verticalBar->setRange(0, ScrollLimit(layout.vertical));
    verticalBar->setPageStep(layout.vertical.page);
    verticalBar->setValue(layout.vertical.position);
}

void PreviewDialog::Scroll(bool horizontal, int action)
{
    // The bar has already moved its slider by its own rule; put it where the layout's
    // rule says, from the position before the request.
    QScrollBar* bar = horizontal ? horizontalBar : verticalBar;
    const PrintScrollBar& state = horizontal ? layout.horizontal : layout.vertical;
    PrintScrollBar before = state;
    before.position = bar->value();
    bar->setSliderPosition(ScrolledPosition(before, ScrollRequest(action), bar->sliderPosition()));
}

void PreviewDialog::Scrolled(bool horizontal)
{
    SetPrintScroll(layout, horizontal, (horizontal ? horizontalBar : verticalBar)->value());
    UpdatePreview();
}

void PreviewDialog::UpdatePreview()
{
    // The page is white wherever the screen does not reach, also when a tiny zoom leaves
    // no screen to draw at the preview's scale.
    preview.fill(Qt::white);
    const PrintRect screen = PreviewScreenRect(layout);
    PainterSurface surface(&preview);
    DrawPage(window, surface, screen.x, screen.y, screen.width, screen.height, true);
    image->setPixmap(QPixmap::fromImage(preview));
}

} // namespace

QString PrintDocumentName(const QString& filePath)
{
    return QFileInfo(filePath).completeBaseName() + u" - Kurvex"_s;
}

int32_t PrintPreviewDialog(QWidget* owner, const CaptureWindow& window, PrintLayout& layout,
                           QImage& preview)
{
    PreviewDialog dialog(owner, window, layout, preview);
    return dialog.exec() == 1 ? 1 : 0;
}

void PrintScreen(const CaptureWindow& window)
{
    AppState& app = App();

    QPrinter printer(QPrinter::HighResolution);
    printer.setCopyCount(1);
    if (!RunPrinterDialog(QApplication::activeWindow(), printer)) return;

    // The painter's origin is the printable area's top-left corner.
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    PrintLayout layout{};
    if (!StartPrintLayout(layout, static_cast<int32_t>(std::lround(printable.width())),
                          static_cast<int32_t>(std::lround(printable.height())),
                          window.capture.hDivisions, window.capture.vDivisions))
        return;
    QImage preview(layout.previewWidth, layout.previewHeight, QImage::Format_RGB32);
    if (preview.isNull()) return;
    if (PrintPreviewDialog(app.mainFrame, window, layout, preview) != 1) return;

    printer.setDocName(PrintDocumentName(window.capture.filePath));
    QPainter painter;
    // Starting the document starts its one page; a printer that refuses says so.
    if (!painter.begin(&printer)) {
        ShowPrintStartError(app.mainFrame, printer);
        return;
    }
    PainterSurface surface(&painter);
    DrawPage(window, surface, layout.screenX, layout.screenY, layout.screenWidth,
             layout.screenHeight, false);
    painter.end();
}

void ShowPrintStartError(QWidget* owner, const QPrinter& printer)
{
    const QString file = printer.outputFileName();
    const QString name = file.isEmpty() ? printer.printerName() : file;
    ShowErrorBox(
        owner, QCoreApplication::translate("PrintPreview", "Fehler"),
        file.isEmpty()
            ? FormatText(QCoreApplication::translate(
                             "PrintPreview", "Der Drucker \"{0}\" kann nicht gestartet werden!"),
                         name)
            : FormatText(QCoreApplication::translate(
                             "PrintPreview", "Die Datei \"{0}\" kann nicht erstellt werden!"),
                         name));
}
