// SPDX-License-Identifier: GPL-3.0-or-later
// The LTspice RAW file byte for byte, its header lines, and a real reader (ngspice)
// loading it.
#include "output/raw_export.h"

#include "output/csv_test_captures.h"

#include <QDate>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTime>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <sstream>
#include <vector>

namespace {

const QDateTime ExportTime(QDate(2026, 12, 7), QTime(21, 52, 6));

std::string ExportToBytes(const Capture& capture, const QDateTime& time = ExportTime)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.raw"));
    if (!ExportRawAt(capture, path, time)) return "<failed>";
    return ReadFileBytes(path);
}

TEST(ExportRaw, WritesTheExactBytes)
{
    Capture capture{};
    capture.filePath = QStringLiteral("C:\\data\\scope\\wave01.sav");
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.timePerDiv = 0.001;
    capture.samplesPerChannel = 2;
    capture.present[SlotCh1] = 1;
    capture.present[SlotCh2] = 1;
    capture.voltsPerDiv[SlotCh1] = 1;
    capture.voltsPerDiv[SlotCh2] = 0.1;
    ASSERT_TRUE(AllocateSamples(capture));
    capture.samples[SlotCh1][0] = -1.2;
    capture.samples[SlotCh2][0] = 4;
    capture.samples[SlotCh1][1] = 0.04;
    capture.samples[SlotCh2][1] = -5.12;

    EXPECT_EQ(ExportToBytes(capture), "Title: * C:\\data\\scope\\wave01.sav\r\n"
                                      "Date: Mon Dec 07 21:52:06 2026\r\n"
                                      "Plotname: Transient Analysis\r\n"
                                      "Flags: real forward\r\n"
                                      "No. Variables: 3\r\n"
                                      "No. Points: 2\r\n"
                                      "Offset: 0\r\n"
                                      "Command: Kurvex LTspice RAW Export\r\n"
                                      "Variables:\r\n"
                                      "\t0\ttime\ttime\r\n"
                                      "\t1\tV(CH1)\tvoltage\r\n"
                                      "\t2\tV(CH2)\tvoltage\r\n"
                                      "Values:\r\n"
                                      "0\t\t0\r\n"
                                      "\t-1.2\r\n"
                                      "\t0.4\r\n"
                                      "1\t\t0.006\r\n"
                                      "\t0.04\r\n"
                                      "\t-0.512\r\n");
}

TEST(ExportRaw, VariablesAndPointsFollowThePresentChannels)
{
    struct Row {
        int32_t n;
        bool withCh2;
        const char* variables;
        std::vector<std::string> variableLines;
    } rows[] = {
        {2500, true, "No. Variables: 3", {"\t1\tV(CH1)\tvoltage", "\t2\tV(CH2)\tvoltage"}},
        {1000, false, "No. Variables: 2", {"\t1\tV(CH1)\tvoltage"}},
    };
    for (const Row& row : rows) {
        const Capture capture = MakeExportCapture(row.n, 0.0005, row.withCh2);
        const std::vector<std::string> lines = CrLfLines(ExportToBytes(capture));
        ASSERT_GT(lines.size(), 13u);
        EXPECT_EQ(lines[4], row.variables);
        EXPECT_EQ(lines[5], "No. Points: " + std::to_string(row.n));
        EXPECT_EQ(lines[9], "\t0\ttime\ttime");
        const size_t channels = row.variableLines.size();
        for (size_t k = 0; k < channels; ++k)
            EXPECT_EQ(lines[10 + k], row.variableLines[k]);
        ASSERT_EQ(lines[10 + channels], "Values:");
        const size_t first = 11 + channels;
        ASSERT_EQ(lines.size() - first, (1 + channels) * static_cast<size_t>(row.n));
        EXPECT_EQ(lines[first], "0\t\t0");
        // Every point: its index and time, then one value per channel; the math trace
        // of the capture never appears.
        for (int32_t i = 0; i < row.n; ++i) {
            const size_t at = first + (1 + channels) * static_cast<size_t>(i);
            ASSERT_EQ(lines[at].rfind(std::to_string(i) + "\t\t", 0), 0u) << lines[at];
            const double time = std::stod(lines[at].substr(lines[at].find("\t\t") + 2));
            ASSERT_NEAR(time, SampleTime(capture, i), SampleTime(capture, i) * 1e-14);
            for (size_t k = 0; k < channels; ++k) {
                const std::string& line = lines[at + 1 + k];
                ASSERT_EQ(line[0], '\t');
                const double expected = SampleValue(capture, static_cast<int32_t>(k), i);
                ASSERT_NEAR(std::stod(line.substr(1)), expected, std::fabs(expected) * 1e-14);
            }
        }
    }
}

TEST(ExportRaw, MathTraceChangesNothing)
{
    Capture capture = MakeExportCapture(300, 0.001, true);
    const std::string withMath = ExportToBytes(capture);
    capture.present[SlotMath] = 0;
    for (int32_t i = 0; i < 300; ++i)
        capture.samples[SlotMath][i] = 0;
    EXPECT_EQ(ExportToBytes(capture), withMath);
}

TEST(ExportRaw, TitleFromThePathPlotnameTransient)
{
    struct Row {
        const char16_t* filePath;
        const char* title;
    } rows[] = {
        {u"C:\\data\\scope\\wave01.sav", "Title: * C:\\data\\scope\\wave01.sav"},
        {u"/tmp/M\u00FCller \u00B5s.sav", "Title: * /tmp/M\xC3\xBCller \xC2\xB5s.sav"},
        // A line break in the path must not become a header line of its own (a reader
        // acts on "Command:" lines): CR and LF turn into spaces.
        {u"/tmp/a\r\nCommand: rm -rf x\n.sav", "Title: * /tmp/a  Command: rm -rf x .sav"},
        {u"/tmp/x\ry.sav", "Title: * /tmp/x y.sav"},
    };
    for (const Row& row : rows) {
        Capture capture = MakeExportCapture(2, 0.001, false);
        capture.filePath = QString::fromUtf16(row.filePath);
        const std::vector<std::string> lines = CrLfLines(ExportToBytes(capture));
        ASSERT_GT(lines.size(), 3u);
        EXPECT_EQ(lines[0], row.title);
        // Simulators measure over time only in a plot of this name.
        EXPECT_EQ(lines[2], "Plotname: Transient Analysis");
        EXPECT_EQ(lines[3], "Flags: real forward");
        for (const std::string& line : lines)
            EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
}

// A cut file: only the points every channel holds, so that no value is made up.
TEST(ExportRaw, OnlyPointsEveryChannelHolds)
{
    Capture capture = MakeExportCapture(10, 0.001, true);
    capture.missing[SlotCh2] = 4;
    const std::vector<std::string> lines = CrLfLines(ExportToBytes(capture));
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[5], "No. Points: 6");
    EXPECT_EQ(lines.size(), 13u + 6u * 3u); // header lines, then three lines per point
}

TEST(ExportRaw, DateLineInEnglishWhateverTheLocale)
{
    struct Row {
        QDateTime time;
        const char* expected;
    } rows[] = {
        {ExportTime, "Date: Mon Dec 07 21:52:06 2026"},
        {QDateTime(QDate(2023, 1, 1), QTime(0, 0, 0)), "Date: Sun Jan 01 00:00:00 2023"},
        {QDateTime(QDate(2024, 2, 29), QTime(9, 5, 59)), "Date: Thu Feb 29 09:05:59 2024"},
        {QDateTime(QDate(2025, 5, 31), QTime(23, 59, 1)), "Date: Sat May 31 23:59:01 2025"},
    };
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const QLocale savedQt;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const Capture capture = MakeExportCapture(3, 0.001, true);
    for (const Row& row : rows)
        EXPECT_EQ(CrLfLines(ExportToBytes(capture, row.time))[1], row.expected);
    QLocale::setDefault(savedQt);
    std::setlocale(LC_ALL, saved.c_str());
}

// ngspice reads ASCII RAW files; loading ours must give back our variables and values.
TEST(ExportRaw, NgspiceLoadsTheFile)
{
    const QString ngspice = QStandardPaths::findExecutable(QStringLiteral("ngspice"));
    if (ngspice.isEmpty()) GTEST_SKIP() << "ngspice is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int32_t n = 200;
    const Capture capture = MakeExportCapture(n, 2e-6, true);
    const QString raw = dir.filePath(QStringLiteral("scope.raw"));
    const QString data = dir.filePath(QStringLiteral("values.txt"));
    ASSERT_TRUE(ExportRawAt(capture, raw, ExportTime));
    const QString script = dir.filePath(QStringLiteral("load.cir"));
    ASSERT_TRUE(WriteFileBytes(script, "* load an exported capture\n.control\nload " +
                                           raw.toStdString() + "\ndisplay\nwrdata " +
                                           data.toStdString() +
                                           " v(ch1) v(ch2)\n"
                                           "meas tran ch1max MAX v(ch1)\n"
                                           "meas tran ch2avg AVG v(ch2)\n.endc\n.end\n"));

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(ngspice, {QStringLiteral("-b"), script});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(process.readAll());
    EXPECT_TRUE(output.contains(
        QRegularExpression(QStringLiteral("V\\(CH1\\)\\s*: voltage, real, 200 long"))))
        << output.toStdString();
    EXPECT_TRUE(output.contains(
        QRegularExpression(QStringLiteral("V\\(CH2\\)\\s*: voltage, real, 200 long"))));
    EXPECT_TRUE(
        output.contains(QRegularExpression(QStringLiteral("time\\s*: time, real, 200 long"))));
    // A transient plot: "meas tran" works on it, and finds our values.
    double maximum = -INFINITY;
    for (int32_t i = 0; i < n; ++i)
        maximum = std::max(maximum, SampleValue(capture, SlotCh1, i));
    const QRegularExpressionMatch measured =
        QRegularExpression(QStringLiteral("ch1max\\s*=\\s*(\\S+)")).match(output);
    ASSERT_TRUE(measured.hasMatch()) << output.toStdString();
    EXPECT_NEAR(measured.captured(1).toDouble(), maximum, 1e-9);
    EXPECT_TRUE(output.contains(QRegularExpression(QStringLiteral("ch2avg\\s*=\\s*\\S+"))));

    // wrdata writes "time v(ch1) time v(ch2)" per point with 16 significant digits.
    std::istringstream values(ReadFileBytes(data));
    for (int32_t i = 0; i < n; ++i) {
        double time1 = NAN, ch1 = NAN, time2 = NAN, ch2 = NAN;
        ASSERT_TRUE(values >> time1 >> ch1 >> time2 >> ch2) << "point " << i;
        const double tolerance = 1e-14;
        EXPECT_NEAR(time1, SampleTime(capture, i), SampleTime(capture, i) * tolerance);
        EXPECT_NEAR(ch1, SampleValue(capture, SlotCh1, i),
                    std::fabs(SampleValue(capture, SlotCh1, i)) * tolerance);
        EXPECT_NEAR(ch2, SampleValue(capture, SlotCh2, i),
                    std::fabs(SampleValue(capture, SlotCh2, i)) * tolerance);
    }
}

} // namespace
