// SPDX-License-Identifier: GPL-3.0-or-later
// The document window of one loaded capture: its view state, its 18 controls, and the
// refresh protocol through which every control event changes what the window shows.
// Handlers only mark what became stale; RefreshCaptureWindow recomputes exactly that.
#pragma once

#include "capture/capture.h"
#include "decode/decode.h"
#include "screen/view.h"

#include <QImage>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSize>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class DecodeRunner;
class DecodeStripView;
class DecodedWindow;
class QCheckBox;
class QGroupBox;
class QLabel;
class MeasurementsWindow;
class QMenu;
class QPushButton;
class QScrollBar;
class QSlider;
class QTreeWidget;
class ScreenNavigation;

// Bits of CaptureWindow::staleBits.
enum : int32_t {
    StaleScrolled = 0x001,
    StaleOffset = 0x002,
    StaleZoom = 0x004,
    StaleVisibleCount = 0x008,
    StaleCursorToggle = 0x010,
    StaleCursorMode = 0x020,
    StaleCursors = 0x040,
    StaleMath = 0x080,
    StaleNew = 0x100,
    StaleImageSize = 0x200,
};
// The bits after which the screen image must be drawn again.
constexpr int32_t StaleRedrawMask = 0x3EA;

// The controls of a capture window, numbered in creation order.
enum CaptureControl : int32_t {
    ControlScreenImage = 1,
    ControlScrollBar = 2,
    ControlSettingsTree = 3,
    ControlShowCursorsBox = 4,
    ControlZoomLabel = 5,
    ControlZoomSlider = 6,
    ControlCursor1Frame = 7,
    ControlCursor1Box = 8,
    ControlCursor2Frame = 9,
    ControlCursor2Box = 10,
    ControlDeltaFrame = 11,
    ControlDeltaBox = 12,
    ControlSelectAllButton = 13,
    ControlMeasureButton = 14,
    ControlMathButton = 15,
    ControlMathLabel = 16,
    ControlResultsFrame = 17,
    ControlResultsBox = 18,
};

// Event types of HandleCaptureControl.
enum : int32_t { ControlEventOther = 0, ControlEventLeftPress = 1, ControlEventRightPress = 2 };

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
    void SetImage(QImage image);
    const QImage& Image() const { return image; }
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
    QImage image;
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

// The MDI child: its close box goes through CloseCaptureWindow like every other close.
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

// Create zero-filled: every field the window does not set reads 0.
struct CaptureWindow {
    QMdiSubWindow* window;
    int32_t staleBits;
    CaptureView view; // firstSample, visibleCount, cursors, image size
    RefreshCounts counts;

    QWidget* client;
    ScreenCanvas* screenImage;
    QScrollBar* scrollBar;
    QTreeWidget* settingsTree;
    QCheckBox* showCursorsBox;
    QLabel* zoomLabel;
    QSlider* zoomSlider;
    QGroupBox* cursor1Frame;
    QPlainTextEdit* cursor1Box;
    QGroupBox* cursor2Frame;
    QPlainTextEdit* cursor2Box;
    QGroupBox* deltaFrame;
    QPlainTextEdit* deltaBox;
    QPushButton* selectAllButton;
    QPushButton* measureButton;
    QPushButton* mathButton;
    QLabel* mathLabel;
    QGroupBox* resultsFrame;
    QPlainTextEdit* resultsBox;

    Capture capture;
    bool refreshing; // inside RefreshCaptureWindow: a resize only marks the image stale
    // The cursor section turned on (+) or off (-) while maximised, for the normal size.
    int32_t restoreHeightChange;
    MeasurementsWindow* measurementsWindow; // "Messungen", once opened; closes with the window
    // The screen's wheel, mouse and keys; a child of the window.
    ScreenNavigation* navigation;

    // Bus decoding, once the user asked for it (capture_decoding.h): the strip under the
    // screen (no height without rows), the worker, the "Dekodiert" table and the settings
    // the decode follows the cursors with.
    DecodeStripView* decodeStrip;
    DecodeRunner* decodeRunner;
    DecodedWindow* decodedWindow;
    std::optional<DecodeRequest> decodeRequest;
};

// A new hidden window with a zero-filled capture in the MDI area; it becomes currentWindow.
bool CreateCaptureWindow();

// Recomputes and redraws what currentWindow's staleBits name, then clears them.
void RefreshCaptureWindow();

// One event of a control of currentWindow; x is the pointer column for the screen image.
void HandleCaptureControl(int32_t control, int32_t eventType, int32_t x);

// Releases currentWindow's samples, closes the child window and forgets the record.
void CloseCaptureWindow();

// Shows `menu` with its top-left corner at the bottom-left corner of `control`, after
// bringing `owner` to the front; its commands then act on `owner`.
void ShowPopupMenuBelow(QMenu* menu, QMdiSubWindow* owner, QWidget* control);

// The wheel, a drag, a rubber band or a key of currentWindow's screen showed samples
// first .. first + count - 1: the slider shows its nearest step, the scroll bar the new range.
void NavigateCaptureWindow(int32_t first, int32_t count);

// Places cursor 1 or 2 of currentWindow on `sample`.
void PlaceCursor(int32_t which, int32_t sample);

// Runs a measurement (MeasurePeak, MeasureRms, MeasureMean) between the cursors of
// `window` into its results box.
void Measure(CaptureWindow& window, int32_t mode);

// The window's display ratio: device pixels per logical pixel of its screen image.
double ScreenPixelRatio(const CaptureWindow& window);

// The title of a window showing the file `name`: the name itself, or, as editors do, the
// name with the lowest number from 2 on, "A001.sav (2)", that no other window's title has.
QString NumberedTitle(const QString& name, const QStringList& others);

// The one style that draws the settings trees' branches as dotted lines.
class QStyle;
QStyle* SettingsTreeStyle();

// Text for a read-only box: the readouts end lines with CR LF, the text box wants LF.
QString BoxText(const QString& text);
