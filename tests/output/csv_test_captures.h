// SPDX-License-Identifier: GPL-3.0-or-later
// Captures built in memory for the CSV and RAW export tests, and file helpers.
#pragma once

#include "capture/capture.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// A capture as the reader leaves it: 12 x 8 divisions, channel samples on the 0.04 DIV
// grid of the instrument (a ramp with a little wobble), channel 2 optional.
inline Capture MakeExportCapture(int32_t n, double timePerDiv, bool withCh2)
{
    Capture capture{};
    capture.filePath = QStringLiteral("C:\\data\\scope\\wave01.sav");
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.timePerDiv = timePerDiv;
    capture.samplesPerChannel = n;
    capture.present[SlotCh1] = 1;
    capture.voltsPerDiv[SlotCh1] = 0.5;
    capture.probeFactor[SlotCh1] = 1;
    capture.offsetDiv[SlotCh1] = 0.4;
    if (withCh2) {
        capture.present[SlotCh2] = 1;
        capture.voltsPerDiv[SlotCh2] = 0.002;
        capture.probeFactor[SlotCh2] = 10;
        capture.inverted[SlotCh2] = 1;
    }
    if (!AllocateSamples(capture)) return capture;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t raw1 = 28 + (i * 7) % 200;
        const int32_t raw2 = 128 + (i % 13) * 9 - 50;
        capture.samples[SlotCh1][i] = (raw1 - 128) / 25.0;
        if (withCh2) capture.samples[SlotCh2][i] = (raw2 - 128) / 25.0;
        capture.samples[SlotMath][i] = 123.456; // never exported
    }
    capture.present[SlotMath] = 1;
    capture.voltsPerDiv[SlotMath] = 1;
    return capture;
}

inline std::string ReadFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
    return file.readAll().toStdString();
}

inline bool WriteFileBytes(const QString& path, const std::string& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

// The lines of a file whose every line ends with CR LF; a last line without it is marked.
inline std::vector<std::string> CrLfLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    if (start != bytes.size()) lines.push_back("<unterminated>" + bytes.substr(start));
    return lines;
}
