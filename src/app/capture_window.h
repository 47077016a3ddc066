// SPDX-License-Identifier: GPL-3.0-or-later
// The document window of one loaded capture: its view state, its 18 controls, and the
// refresh protocol through which every control event changes what the window shows.
// Handlers only mark what became stale; CaptureWindow::Refresh recomputes exactly that.
#pragma once

#include "capture/capture.h"
#include "decode/decode.h"
#include "screen/screen_renderer.h"
#include "screen/view.h"

#include <QFlags>
#include <QImage>
#include <QList>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class DecodeRunner;
class DecodeStripView;
class DecodedWindow;
class QBoxLayout;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMdiArea;
class MeasurementsWindow;
class SpectrumWindow;
class QMenu;
class QPushButton;
class QScrollBar;
class QSlider;
class QTreeWidget;
class ScreenNavigation;

// What a change made stale: handlers only mark these, and one refresh recomputes what they
// name. Each bit keeps its place so that the masks below read as before.
enum class Stale : uint32_t {
    Scrolled = 0x001,
    Offset = 0x002,
    Zoom = 0x004,
    VisibleCount = 0x008,
    CursorToggle = 0x010,
    CursorMode = 0x020,
    Cursors = 0x040,
    Math = 0x080,
    New = 0x100,
    ImageSize = 0x200,
};
Q_DECLARE_FLAGS(StaleBits, Stale)
Q_DECLARE_OPERATORS_FOR_FLAGS(StaleBits)
// The bits after which the screen image must be drawn again.
constexpr StaleBits StaleRedrawMask = Stale::Offset | Stale::VisibleCount | Stale::CursorMode |
                                      Stale::Cursors | Stale::Math | Stale::New | Stale::ImageSize;

// Client sizes of the window without and with the cursor section.
constexpr int32_t ClientWidth = 815;
constexpr int32_t ClientHeightPlain = 445;
constexpr int32_t ClientHeightCursors = 545;
// The user may make a window smaller than that, down to a screen of 240 x 160 and a
// settings tree 100 pixels high; the other controls keep their own size.
constexpr int32_t MinScreenWidth = 240;
constexpr int32_t MinScreenHeight = 160;
constexpr int32_t MinTreeHeight = 100;

// The smallest client area of a window with or without the cursor section.
QSize MinimumClientSize(bool cursorsShown);

// The screen picture of a capture window. It passes the wheel, the mouse and the keys (when
// focused) to the window's navigation, and draws the rubber band of a Ctrl+drag over the image.
class ScreenCanvas : public QWidget {
  public:
    explicit ScreenCanvas(QWidget* parent);
    // Draws the screen into the kept image, rewriting only what changed since the last
    // frame, and shows it.
    void Render(const Capture& capture, const RenderRequest& request, double ratio);
    const QImage& Image() const { return screen.Image(); }
    // The samples drawn before may have changed in place: the next frame reads them afresh.
    void ForgetSamples() { screen.ForgetSamples(); }
    // Device pixels per logical pixel the image is drawn with: the display's ratio, but
    // never below 1, where the image would lose detail rather than gain it.
    double PixelRatio() const;
    // Where the events go: the window's own, set once after creation.
    void SetNavigation(ScreenNavigation* events);
    // The display's ratio no longer matches the image's (moved to another screen).
    std::function<void()> onRatioChange;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Shown by reference: a copy would make the next frame draw whole.
    ScreenImage screen;
    ScreenNavigation* navigation = nullptr;
};

// A read-only text box of the window (readouts, results): the commands' keys are the
// commands', even where the box would take them for its own editing (Ctrl+C, Ctrl+K).
class ReadoutBox : public QPlainTextEdit {
  public:
    explicit ReadoutBox(QWidget* parent);

  protected:
    bool event(QEvent* event) override;
};

// The MDI child: its close box closes its capture window like every other close.
class CaptureSubWindow : public QMdiSubWindow {
  public:
    explicit CaptureSubWindow(QWidget* parent);

  protected:
    void closeEvent(QCloseEvent* event) override;
};

// How often a refresh recomputed each derived part; lets tests hold the refresh to
// "only what is stale".
struct RefreshCounts {
    int32_t renders;
    int32_t settingsFills;
    int32_t zoomLabels;
    int32_t cursorReadouts;
    int32_t mathLabels;
    int32_t layouts; // control placements after a resize or a cursor section change
};

// The document window of one capture: the content of its MDI child. It owns the capture,
// its view, its controls and the analysis windows opened for it ("Messungen", "Spektrum",
// "Dekodiert"), which are its children, made on demand and closed with it. The controls'
// signals go to its slots; each slot marks what went stale and refreshes once.
class CaptureWindow : public QWidget {
  public:
    // A new hidden window with an empty capture, in a new child window of `area`.
    static CaptureWindow* Create(QMdiArea* area);
    // The capture window shown in the MDI child `sub`, or null.
    static CaptureWindow* Of(const QWidget* sub);

    QMdiSubWindow* SubWindow() const { return sub; }
    // The size the window asks its child window for: the default, or the cursor section (or
    // decode strip) added or taken away. The user's sizing goes through resizeEvent.
    QSize sizeHint() const override { return wanted; }

    // Recomputes and redraws what staleBits name, then clears them.
    void Refresh();
    // Releases the samples, closes the analysis windows and the child window; the widgets
    // go once the event that closed them has been handled.
    void Close();
    // Close has run; the widgets are on their way out.
    bool Closed() const { return closed; }

    // The wheel, a drag, a rubber band or a key on the screen showed samples
    // first .. first + count - 1: the slider shows its nearest step, the scroll bar the range.
    void Navigate(int32_t first, int32_t count);
    // Places cursor 1 or 2 on `sample`, while the cursors are shown.
    void PlaceCursor(int32_t which, int32_t sample);
    // A measurement (MeasurePeak, MeasureRms, MeasureMean) between the cursors into the
    // results box.
    void Measure(int32_t mode);
    // Device pixels per logical pixel of the screen image.
    double ScreenPixelRatio() const;

    // The slots of the controls.
    void Scrolled();
    void ZoomMoved();
    void CursorsToggled();
    void SelectAll();
    void ShowMeasureMenu();
    void EditMath();

    StaleBits staleBits;
    CaptureView view{}; // firstSample, visibleCount, cursors, image size
    RefreshCounts counts{};
    Capture capture{};

    ScreenCanvas* screenImage = nullptr;
    QScrollBar* scrollBar = nullptr;
    QTreeWidget* settingsTree = nullptr;
    QCheckBox* showCursorsBox = nullptr;
    QLabel* zoomLabel = nullptr;
    QSlider* zoomSlider = nullptr;
    QGroupBox* cursor1Frame = nullptr;
    QPlainTextEdit* cursor1Box = nullptr;
    QGroupBox* cursor2Frame = nullptr;
    QPlainTextEdit* cursor2Box = nullptr;
    QGroupBox* deltaFrame = nullptr;
    QPlainTextEdit* deltaBox = nullptr;
    QPushButton* selectAllButton = nullptr;
    QPushButton* measureButton = nullptr;
    QPushButton* mathButton = nullptr;
    QLabel* mathLabel = nullptr;
    QGroupBox* resultsFrame = nullptr;
    QPlainTextEdit* resultsBox = nullptr;

    bool refreshing = false; // inside Refresh: a resize only marks the image stale
    // The cursor section turned on (+) or off (-) while maximised, for the normal size.
    int32_t restoreHeightChange = 0;
    // The screen's wheel, mouse and keys.
    ScreenNavigation* navigation = nullptr;

    // The analysis windows, once opened; null again when the user closed one that goes
    // with its close ("Spektrum").
    QPointer<MeasurementsWindow> measurementsWindow;
    QPointer<SpectrumWindow> spectrumWindow;
    QPointer<DecodedWindow> decodedWindow;
    // Bus decoding, once the user asked for it (capture_decoding.h): the strip under the
    // screen (no height without rows), the worker and the settings the decode follows the
    // cursors with.
    DecodeStripView* decodeStrip = nullptr;
    DecodeRunner* decodeRunner = nullptr;
    std::optional<DecodeRequest> decodeRequest;

    // The size asked for (sizeHint); see SetClientSize.
    QSize wanted{ClientWidth, ClientHeightPlain};
    // The column of the screen and the decode strip under it, and the cursor section's row
    // (capture_layout.h).
    QBoxLayout* screenColumn = nullptr;
    QBoxLayout* cursorSection = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    explicit CaptureWindow(QMdiSubWindow* owner);
    void CreateControls();

    QMdiSubWindow* sub;
    bool closed = false;
};

// Shows `menu` with its top-left corner at the bottom-left corner of `control`, after
// bringing `owner` to the front; its commands then act on `owner`.
void ShowPopupMenuBelow(QMenu* menu, QMdiSubWindow* owner, QWidget* control);

// The capture windows of `area` in the order they were made.
QList<CaptureWindow*> CaptureWindows(const QMdiArea* area);

// The title of a window showing the file `name`: the name itself, or, as editors do, the
// name with the lowest number from 2 on, "A001.sav (2)", that no other window's title has.
QString NumberedTitle(const QString& name, const QStringList& others);

// The one style that draws the settings trees' branches as dotted lines.
class QStyle;
QStyle* SettingsTreeStyle();

// Text for a read-only box: the readouts end lines with CR LF, the text box wants LF.
QString BoxText(const QString& text);
