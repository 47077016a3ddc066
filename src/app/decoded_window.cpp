// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/decoded_window.h"

#include "app/file_requesters.h"
#include "capture/file_name.h"
#include "output/text_file.h"
#include "platform/platform.h"
#include "text/format_text.h"
#include "text/number_text.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

namespace {

enum : int32_t { ColumnTime = 0, ColumnDecoder = 1, ColumnRow = 2, ColumnText = 3, Columns = 4 };

QString OneLine(const QString& text)
{
    QString clean = text;
    clean.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
    return clean;
}

QString TimeText(double seconds)
{
    return FormatText(u"{0Sd6}s", seconds);
}

void AppendCsvField(std::string& out, const QString& text)
{
    const std::string bytes = text.toStdString();
    if (bytes.find_first_of(",\"\r\n") == std::string::npos) {
        out += bytes;
        return;
    }
    out += '"';
    for (char c : bytes) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

std::vector<DecodedLine> DecodedLines(const Capture& capture, const DecodeResult& result)
{
    std::vector<DecodedLine> lines;
    lines.reserve(result.annotations.size());
    for (const DecodeAnnotation& annotation : result.annotations) {
        if (annotation.instance < 0 ||
            static_cast<size_t>(annotation.instance) >= result.instances.size() ||
            static_cast<size_t>(annotation.instance) >= result.decoders.size())
            continue;
        const DecoderInfo& info = result.decoders[static_cast<size_t>(annotation.instance)];
        DecodedLine line{};
        line.startSample = annotation.startSample;
        line.endSample = annotation.endSample;
        line.startSeconds = DecodeSampleTime(capture, annotation.startSample);
        line.endSeconds = DecodeSampleTime(capture, annotation.endSample);
        line.decoder = result.instances[static_cast<size_t>(annotation.instance)].name;
        if (annotation.row >= 0 && static_cast<size_t>(annotation.row) < info.rows.size())
            line.row = info.rows[static_cast<size_t>(annotation.row)].desc;
        if (annotation.annotationClass >= 0 &&
            static_cast<size_t>(annotation.annotationClass) < info.annotationClasses.size())
            line.annotation =
                info.annotationClasses[static_cast<size_t>(annotation.annotationClass)].id;
        for (const QString& text : annotation.texts)
            if (text.size() > line.text.size()) line.text = text;
        lines.push_back(std::move(line));
    }
    return lines;
}

QString DecodedTableText(const std::vector<DecodedLine>& lines)
{
    QString text = QCoreApplication::translate("DecodedWindow", "Zeit") + u'\t' +
                   QCoreApplication::translate("DecodedWindow", "Dekoder") + u'\t' +
                   QCoreApplication::translate("DecodedWindow", "Zeile") + u'\t' +
                   QCoreApplication::translate("DecodedWindow", "Text") + u'\n';
    for (const DecodedLine& line : lines) {
        text += TimeText(line.startSeconds) + u'\t' + OneLine(line.decoder) + u'\t' +
                OneLine(line.row) + u'\t' + OneLine(line.text) + u'\n';
    }
    return text;
}

std::string DecodedCsv(const std::vector<DecodedLine>& lines)
{
    // Column names stay English and the numbers plain, like the command line's table:
    // the file is for other programs.
    std::string out = "start,end,decoder,row,annotation,text\r\n";
    for (const DecodedLine& line : lines) {
        AppendNumberText(out, line.startSeconds, 15, true);
        out += ',';
        AppendNumberText(out, line.endSeconds, 15, true);
        out += ',';
        AppendCsvField(out, line.decoder);
        out += ',';
        AppendCsvField(out, line.row);
        out += ',';
        AppendCsvField(out, line.annotation);
        out += ',';
        AppendCsvField(out, line.text);
        out += "\r\n";
    }
    return out;
}

DecodedTableModel::DecodedTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void DecodedTableModel::SetLines(std::vector<DecodedLine> newLines)
{
    beginResetModel();
    lines = std::move(newLines);
    endResetModel();
}

int DecodedTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(lines.size());
}

int DecodedTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant DecodedTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || static_cast<size_t>(index.row()) >= lines.size())
        return {};
    const DecodedLine& line = lines[static_cast<size_t>(index.row())];
    if (role == Qt::TextAlignmentRole && index.column() == ColumnTime)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case ColumnTime:
        return TimeText(line.startSeconds);
    case ColumnDecoder:
        return line.decoder;
    case ColumnRow:
        return line.row;
    case ColumnText:
        return line.text;
    default:
        return {};
    }
}

QVariant DecodedTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    switch (section) {
    case ColumnTime:
        return QCoreApplication::translate("DecodedWindow", "Zeit");
    case ColumnDecoder:
        return QCoreApplication::translate("DecodedWindow", "Dekoder");
    case ColumnRow:
        return QCoreApplication::translate("DecodedWindow", "Zeile");
    case ColumnText:
        return QCoreApplication::translate("DecodedWindow", "Text");
    default:
        return {};
    }
}

DecodedWindow::DecodedWindow(const QString& path, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowMinMaxButtonsHint), filePath(path)
{
    setWindowTitle(tr("Dekodiert - %1").arg(VisibleFileName(QFileInfo(path).fileName())));
    model = new DecodedTableModel(this);
    table = new QTableView(this);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(
        ColumnTime, table->fontMetrics().horizontalAdvance(QStringLiteral("-888.888 ms")) + 16);

    status = new QLabel(this);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->setWordWrap(true);
    copyButton = new QPushButton(tr("&Kopieren"), this);
    exportButton = new QPushButton(tr("&Exportieren..."), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status, 1);
    buttons->addWidget(copyButton);
    buttons->addWidget(exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addLayout(buttons);

    connect(table, &QTableView::clicked, this, [this](const QModelIndex& index) {
        const auto& lines = model->Lines();
        if (!index.isValid() || static_cast<size_t>(index.row()) >= lines.size()) return;
        const DecodedLine& line = lines[static_cast<size_t>(index.row())];
        Q_EMIT AnnotationClicked(line.startSample, line.endSample);
    });
    connect(copyButton, &QPushButton::clicked, this, &DecodedWindow::CopyTable);
    connect(exportButton, &QPushButton::clicked, this, &DecodedWindow::ExportTable);
    resize(560, 420);
}

void DecodedWindow::ShowStarted()
{
    status->setText(tr("Dekodiere..."));
}

void DecodedWindow::ShowProgress(double done)
{
    const int percent = static_cast<int>(std::lround(std::clamp(done, 0.0, 1.0) * 100));
    status->setText(tr("Dekodiere... %1 %").arg(percent));
}

void DecodedWindow::ShowResult(const Capture& capture, const DecodeResult& result)
{
    model->SetLines(DecodedLines(capture, result));
    const int count = static_cast<int>(model->Lines().size());
    switch (result.status) {
    case DecodeOk:
        status->setText(tr("%n Annotation(en)", nullptr, count));
        break;
    case DecodeCancelled:
        status->setText(tr("Abgebrochen: %n Annotation(en)", nullptr, count));
        break;
    default:
        // What the decoder or the library said, in the window: the lines it made before
        // failing stay, they are as right as they were.
        status->setText(
            tr("Fehler: %1")
                .arg(result.error.isEmpty() ? tr("Dekodieren fehlgeschlagen") : result.error));
        break;
    }
}

QString DecodedWindow::StatusText() const
{
    return status->text();
}

void DecodedWindow::CopyTable()
{
    // A missing clipboard is silent, as every clipboard failure.
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(DecodedTableText(model->Lines()));
}

bool DecodedWindow::WriteCsv(const QString& path) const
{
    const std::string csv = DecodedCsv(model->Lines());
    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    file.pending = csv;
    return CommitExportFile(file);
}

bool DecodedWindow::ExportTable()
{
    const qsizetype slash = filePath.lastIndexOf(u'/');
    const qsizetype dot = filePath.lastIndexOf(u'.');
    const QString suggestion =
        (dot > slash + 1 ? filePath.left(dot) : filePath) + QStringLiteral(".decoded");
    const QString path = SaveFileRequester(
        QString(), suggestion, tr("CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*"), 0, this,
        QStringLiteral("csv"),
        RequesterDefaultTitle | RequesterAddToRecent | RequesterOverwritePrompt);
    if (path.isEmpty()) return false;
    if (WriteCsv(path)) return true;
    ShowErrorBox(this, tr("Fehler"), tr("Die Datei \"%1\" kann nicht erstellt werden!").arg(path));
    return false;
}
