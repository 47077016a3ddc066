// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/export_flows.h"

#include "app/app_state.h"
#include "app/capture_decoding.h"
#include "app/capture_window.h"
#include "app/file_requesters.h"
#include "capture/file_name.h"
#include "output/csv_export.h"
#include "output/png_export.h"
#include "output/raw_export.h"
#include "output/sigrok_session.h"
#include "platform/platform.h"
#include "screen/decode_strip.h"
#include "screen/screen_renderer.h"
#include "text/format_text.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>

using namespace Qt::StringLiterals;

void CopyScreenToClipboard(const CaptureWindow& window)
{
    const QImage image =
        RenderScreenWithStrip(window.capture, ImageRenderRequest(window.view), ShownStrip(window));
    if (!image.isNull()) PutImageOnClipboard(image);
}

// The capture's path without its extension: the name the Save requester proposes.
static QString SuggestedExportName(const QString& filePath)
{
    const qsizetype slash = filePath.lastIndexOf(u'/');
    const qsizetype dot = filePath.lastIndexOf(u'.');
    return dot > slash + 1 ? filePath.left(dot) : filePath;
}

using ExportWriter = bool (*)(const CaptureWindow& window, const QString& path);

static void ExportFlow(CaptureWindow& window, const QString& filterPattern,
                       const QString& extension, ExportWriter writer)
{
    AppState& app = App();
    const QPointer<CaptureWindow> exported(&window);
    const QString suggestion = SuggestedExportName(window.capture.filePath);
    const QString path =
        SaveFileRequester(QString(), suggestion, filterPattern, 0, app.mainFrame, extension,
                          RequesterDefaultTitle | RequesterAddToRecent | RequesterOverwritePrompt);
    // The requester ran its own event loop.
    if (path.isEmpty() || !exported || exported->Closed()) return;
    if (!writer(window, path)) {
        const QString visible = VisibleFileName(path);
        ShowErrorBox(app.mainFrame, QCoreApplication::translate("MainFrame", "Fehler"),
                     FormatText(QCoreApplication::translate(
                                    "MainFrame", "Die Datei \"{0}\" kann nicht erstellt werden!"),
                                visible));
    }
}

static bool WritePngExport(const CaptureWindow& window, const QString& path)
{
    // With a decode, the strip goes into the picture under the screen.
    const DecodeStrip& strip = ShownStrip(window);
    if (strip.rows.empty()) return SaveScreenAsPng(window.capture, window.view, path);
    const QImage image =
        RenderScreenWithStrip(window.capture, ImageRenderRequest(window.view), strip);
    return !image.isNull() && WritePng(image, path);
}

static bool WriteCsvExport(const CaptureWindow& window, const QString& path)
{
    return ExportCsv(window.capture, path);
}

static bool WriteRawExport(const CaptureWindow& window, const QString& path)
{
    return ExportRaw(window.capture, path);
}

// Every shown trace, the math trace too, for PulseView and sigrok-cli.
static bool WriteSigrokExport(const CaptureWindow& window, const QString& path)
{
    return ExportSigrokSession(window.capture, path);
}

void RunExportFlow(ExportFormat format, CaptureWindow& window)
{
    switch (format) {
    case ExportFormat::Png:
        ExportFlow(window,
                   QCoreApplication::translate("MainFrame",
                                               "PNG-Dateien (*.png)|*.png|Alle Dateien (*.*)|*.*"),
                   u"png"_s, WritePngExport);
        return;
    case ExportFormat::Csv:
        ExportFlow(window,
                   QCoreApplication::translate("MainFrame",
                                               "CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*"),
                   u"csv"_s, WriteCsvExport);
        return;
    case ExportFormat::Raw:
        ExportFlow(window,
                   QCoreApplication::translate(
                       "MainFrame", "LTspice-RAW-Dateien (*.raw)|*.raw|Alle Dateien (*.*)|*.*"),
                   u"raw"_s, WriteRawExport);
        return;
    case ExportFormat::Sigrok:
        ExportFlow(window,
                   QCoreApplication::translate(
                       "MainFrame", "sigrok-Sitzungen (*.sr)|*.sr|Alle Dateien (*.*)|*.*"),
                   u"sr"_s, WriteSigrokExport);
        return;
    }
}
