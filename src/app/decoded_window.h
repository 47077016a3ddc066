// SPDX-License-Identifier: GPL-3.0-or-later
// The "Dekodiert - FILE" window: every annotation of a decode as a table line (time,
// decoder instance, row, text), a status line with the progress or the decode's error,
// and "Kopieren" / "Exportieren...". A click on a line asks the owner to centre its view
// on that annotation. It keeps no reference to the capture: the times are worked out when
// a result arrives.
#pragma once

#include "decode/decode.h"

#include <QAbstractTableModel>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;

// One table line.
struct DecodedLine {
    int64_t startSample;
    int64_t endSample;
    double startSeconds;
    double endSeconds;
    QString decoder;    // "uart-1"
    QString row;        // "RX data"
    QString annotation; // the class id, "rx-data"
    QString text;       // the longest text
};

// The lines of a result in its order (by start, then end, then instance).
std::vector<DecodedLine> DecodedLines(const Capture& capture, const DecodeResult& result);

// Tab-separated, a header line first, LF after every line: what "Kopieren" puts on the
// clipboard. Tabs and line breaks inside a text become spaces.
QString DecodedTableText(const std::vector<DecodedLine>& lines);

// The CSV file of "Exportieren...": comma-separated with a header, start and end in plain
// seconds, texts quoted where they need it, CR LF line ends.
std::string DecodedCsv(const std::vector<DecodedLine>& lines);

class DecodedTableModel : public QAbstractTableModel {
  public:
    explicit DecodedTableModel(QObject* parent);
    void SetLines(std::vector<DecodedLine> newLines);
    const std::vector<DecodedLine>& Lines() const { return lines; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<DecodedLine> lines;
};

class DecodedWindow : public QWidget {
    Q_OBJECT

  public:
    // A top-level window (Qt::Window) that belongs to `parent` and closes with it.
    DecodedWindow(const QString& filePath, QWidget* parent);

    // A decode started: the status line shows its progress from now on.
    void ShowStarted();
    void ShowProgress(double done);
    // A decode ended: its lines, or its error in the status line (the old lines go).
    void ShowResult(const Capture& capture, const DecodeResult& result);

    const std::vector<DecodedLine>& Lines() const { return model->Lines(); }
    QString StatusText() const;
    // Tab-separated lines on the clipboard.
    void CopyTable();
    // Asks for a file and writes the CSV; false when it could not be written (a message
    // box said so) or nothing was chosen.
    bool ExportTable();
    // Writes the CSV to `path` by the safe writer; false on any failure.
    bool WriteCsv(const QString& path) const;

    QTableView* table;
    QPushButton* copyButton;
    QPushButton* exportButton;

  Q_SIGNALS:
    // A line was clicked: the owner centres its view on this annotation.
    void AnnotationClicked(int64_t startSample, int64_t endSample);

  private:
    QString filePath;
    DecodedTableModel* model;
    QLabel* status;
};
