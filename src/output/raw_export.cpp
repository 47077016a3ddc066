// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/raw_export.h"

#include "capture/file_name.h"
#include "output/text_file.h"
#include "text/number_text.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <string>

namespace {

void AppendInteger(std::string& out, int64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendTwoDigits(std::string& out, int32_t value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

// A line break inside the path would start a header line of its own, and a reader of the
// file acts on some of them ("Command:"), so the header lines get spaces instead. Bytes of
// a file name that are not text, and other control characters, read "\xHH", keeping the
// file UTF-8.
std::string HeaderText(const QString& text)
{
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' '));
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return VisibleFileName(oneLine).toStdString();
}

// "Mon Dec 07 21:52:06 2026", with English names whatever the system language.
void AppendDate(std::string& out, const QDateTime& localTime)
{
    static const char days[] = "SunMonTueWedThuFriSat";
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    const int32_t dayOfWeek = date.dayOfWeek() % 7; // Qt counts Monday 1 to Sunday 7
    out.append(days + 3 * dayOfWeek, 3);
    out += ' ';
    out.append(months + 3 * (date.month() - 1), 3);
    out += ' ';
    AppendTwoDigits(out, date.day());
    out += ' ';
    AppendTwoDigits(out, time.hour());
    out += ':';
    AppendTwoDigits(out, time.minute());
    out += ':';
    AppendTwoDigits(out, time.second());
    out += ' ';
    AppendInteger(out, date.year());
}

} // namespace

bool ExportRaw(const Capture& capture, const QString& path)
{
    return ExportRawAt(capture, path, QDateTime::currentDateTime());
}

bool ExportRawAt(const Capture& capture, const QString& path, const QDateTime& localTime)
{
    const int32_t n = capture.samplesPerChannel;
    if (n > 0 && !capture.sampleBlock) return false;
    int32_t channels[2] = {};
    int32_t channelCount = 0;
    for (int32_t slot : {SlotCh1, SlotCh2}) {
        if (capture.present[slot] == 1) channels[channelCount++] = slot;
    }

    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    std::string& text = file.pending;
    text += "Title: * ";
    text += HeaderText(capture.filePath);
    text += "\r\nDate: ";
    AppendDate(text, localTime);
    // Simulators decide by the plot name which analysis this is; "Transient Analysis" is
    // what lets them measure over time. The file name stays in the title.
    text += "\r\nPlotname: Transient Analysis";
    text += "\r\nFlags: real forward\r\nNo. Variables: ";
    AppendInteger(text, 1 + channelCount);
    // Only the points every channel holds: a RAW point has no way to leave a value out.
    int32_t points = n;
    for (int32_t k = 0; k < channelCount; ++k)
        points = std::min(points, PresentSamples(capture, channels[k]));
    text += "\r\nNo. Points: ";
    AppendInteger(text, points);
    text += "\r\nOffset: 0\r\nCommand: Kurvex LTspice RAW Export\r\nVariables:\r\n"
            "\t0\ttime\ttime\r\n";
    for (int32_t k = 0; k < channelCount; ++k) {
        text += '\t';
        AppendInteger(text, k + 1);
        text += "\tV(CH";
        AppendInteger(text, channels[k] + 1);
        text += ")\tvoltage\r\n";
    }
    text += "Values:\r\n";
    for (int32_t i = 0; i < points; ++i) {
        AppendInteger(text, i);
        text += "\t\t";
        AppendNumberText(text, SampleTime(capture, i), 15, true);
        text += "\r\n";
        for (int32_t k = 0; k < channelCount; ++k) {
            text += '\t';
            AppendNumberText(text, SampleValue(capture, channels[k], i), 15, true);
            text += "\r\n";
        }
        if (text.size() >= ExportChunkBytes) FlushExportFile(file);
    }
    return CommitExportFile(file);
}
