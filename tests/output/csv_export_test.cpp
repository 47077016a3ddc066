// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV table byte for byte, and how both exporters fail: never half a file, never an
// existing file spoiled.
#include "output/csv_export.h"
#include "output/raw_export.h"

#include "output/csv_test_captures.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <csignal>
#include <functional>
#include <vector>

namespace {

Capture SmallCapture(bool withCh2, int32_t missingCh1 = 0, int32_t missingCh2 = 0)
{
    Capture capture{};
    capture.hDivisions = 12;
    capture.vDivisions = 8;
    capture.timePerDiv = 0.001;
    capture.samplesPerChannel = 3;
    capture.present[SlotCh1] = 1;
    capture.voltsPerDiv[SlotCh1] = 1;
    if (withCh2) {
        capture.present[SlotCh2] = 1;
        capture.voltsPerDiv[SlotCh2] = 0.1;
        capture.offsetDiv[SlotCh2] = -1;
        capture.inverted[SlotCh2] = 1;
    }
    AllocateSamples(capture);
    capture.missing[SlotCh1] = missingCh1;
    capture.missing[SlotCh2] = missingCh2;
    const double ch1[] = {-1.2, 0, 4.76};
    const double ch2[] = {-5, 0.04, -1};
    for (int32_t i = 0; i < 3; ++i) {
        capture.samples[SlotCh1][i] = ch1[i];
        if (withCh2) capture.samples[SlotCh2][i] = ch2[i];
        capture.samples[SlotMath][i] = 7;
    }
    capture.present[SlotMath] = 1; // a math trace is never exported
    capture.voltsPerDiv[SlotMath] = 1;
    return capture;
}

TEST(ExportCsv, WritesTheExactBytes)
{
    struct Row {
        const char* name;
        bool withCh2;
        int32_t missingCh1;
        int32_t missingCh2;
        const char* expected;
    } rows[] = {
        {"two channels", true, 0, 0, "0,-1.2,0.4\r\n0.004,0,-0.104\r\n0.008,4.76,0\r\n"},
        {"channel 1 only", false, 0, 0, "0,-1.2,0\r\n0.004,0,0\r\n0.008,4.76,0\r\n"},
        // A file cut short: missing values are empty fields, every line keeps its time.
        {"channel 2 cut", true, 0, 2, "0,-1.2,0.4\r\n0.004,0,\r\n0.008,4.76,\r\n"},
        {"channel 1 cut", false, 1, 0, "0,-1.2,0\r\n0.004,0,0\r\n0.008,,0\r\n"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Row& row : rows) {
        const Capture capture = SmallCapture(row.withCh2, row.missingCh1, row.missingCh2);
        const QString path = dir.filePath(QStringLiteral("small.csv"));
        ASSERT_TRUE(ExportCsv(capture, path)) << row.name;
        EXPECT_EQ(ReadFileBytes(path), row.expected) << row.name;
    }
}

TEST(ExportCsv, OneLinePerSampleInPlainDecimals)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Row {
        int32_t n;
        double timePerDiv;
        bool withCh2;
        const char* secondLineStart;
    } rows[] = {
        {2500, 0.0005, true, "0.0000024,"},
        {1000, 0.001, true, "0.000012,"},
        {1000, 0.001, false, "0.000012,"},
        {65535, 2e-9, true, "0.000000000000366216525520714,"},
    };
    for (const Row& row : rows) {
        const Capture capture = MakeExportCapture(row.n, row.timePerDiv, row.withCh2);
        const QString path = dir.filePath(QStringLiteral("lines.csv"));
        ASSERT_TRUE(ExportCsv(capture, path));
        const std::vector<std::string> lines = CrLfLines(ReadFileBytes(path));
        ASSERT_EQ(lines.size(), static_cast<size_t>(row.n));
        EXPECT_EQ(lines[0].rfind("0,", 0), 0u);
        EXPECT_EQ(lines[1].rfind(row.secondLineStart, 0), 0u) << lines[1];
        for (int32_t i = 0; i < row.n; ++i) {
            const std::string& line = lines[static_cast<size_t>(i)];
            ASSERT_EQ(line.find_first_not_of("0123456789.,-"), std::string::npos) << line;
            // Three fields that read back as the values, to 15 significant digits.
            const double expected[3] = {SampleTime(capture, i), SampleValue(capture, SlotCh1, i),
                                        SampleValue(capture, SlotCh2, i)};
            const char* p = line.data();
            const char* end = line.data() + line.size();
            for (int32_t field = 0; field < 3; ++field) {
                double value = 0;
                const auto result = std::from_chars(p, end, value);
                ASSERT_EQ(result.ec, std::errc()) << line;
                ASSERT_NEAR(value, expected[field], std::fabs(expected[field]) * 1e-14) << line;
                p = result.ptr;
                if (field < 2) {
                    ASSERT_EQ(*p, ',') << line;
                    ++p;
                }
            }
            ASSERT_EQ(p, end) << line;
            if (!row.withCh2) {
                ASSERT_EQ(line.substr(line.size() - 2), ",0");
            }
        }
    }
}

TEST(ExportCsv, SameBytesUnderGermanLocale)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const Capture capture = MakeExportCapture(500, 0.0002, true);
    const QString plain = dir.filePath(QStringLiteral("plain.csv"));
    const QString german = dir.filePath(QStringLiteral("german.csv"));
    ASSERT_TRUE(ExportCsv(capture, plain));

    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const QLocale savedQt;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const bool written = ExportCsv(capture, german);
    QLocale::setDefault(savedQt);
    std::setlocale(LC_ALL, saved.c_str());

    ASSERT_TRUE(written);
    EXPECT_EQ(ReadFileBytes(german), ReadFileBytes(plain));
    EXPECT_NE(ReadFileBytes(german).find('.'), std::string::npos);
}

// Both exporters share the all-or-nothing writing.
struct Exporter {
    const char* name;
    std::function<bool(const Capture&, const QString&)> run;
};

std::vector<Exporter> Exporters()
{
    return {
        {"csv", [](const Capture& c, const QString& path) { return ExportCsv(c, path); }},
        {"raw", [](const Capture& c, const QString& path) { return ExportRaw(c, path); }},
    };
}

QStringList DirectoryEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

TEST(ExportFailure, MissingDirectoryOrDirectoryAsTarget)
{
    const Capture capture = MakeExportCapture(100, 0.001, true);
    for (const Exporter& exporter : Exporters()) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString missing = dir.filePath(QStringLiteral("missing/out.csv"));
        EXPECT_FALSE(exporter.run(capture, missing)) << exporter.name;
        EXPECT_FALSE(QFileInfo::exists(missing)) << exporter.name;

        const QString directory = dir.filePath(QStringLiteral("target"));
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("target")));
        ASSERT_TRUE(WriteFileBytes(directory + QStringLiteral("/inside"), "keep"));
        EXPECT_FALSE(exporter.run(capture, directory)) << exporter.name;
        EXPECT_TRUE(QFileInfo(directory).isDir()) << exporter.name;
        EXPECT_EQ(ReadFileBytes(directory + QStringLiteral("/inside")), "keep");
        EXPECT_EQ(DirectoryEntries(dir.path()), QStringList{QStringLiteral("target")})
            << exporter.name << ": a temporary file was left behind";
    }
}

TEST(ExportFailure, SuccessReplacesAnExistingFileWhole)
{
    const Capture capture = SmallCapture(true);
    for (const Exporter& exporter : Exporters()) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("old"));
        ASSERT_TRUE(WriteFileBytes(path, std::string(100000, '#')));
        ASSERT_TRUE(exporter.run(capture, path)) << exporter.name;
        const std::string bytes = ReadFileBytes(path);
        EXPECT_EQ(bytes.find('#'), std::string::npos) << exporter.name;
        EXPECT_LT(bytes.size(), 1000u) << exporter.name;
        EXPECT_EQ(DirectoryEntries(dir.path()), QStringList{QStringLiteral("old")});
    }
}

// A disk that fills up midway: a child process may write only a few kilobytes, with the
// signal for an oversized file ignored so that the write itself fails.
TEST(ExportFailure, DiskFullMidwayKeepsTheOldFile)
{
    const Capture capture = MakeExportCapture(65535, 0.001, true);
    for (const Exporter& exporter : Exporters()) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("capture.out"));
        const std::string old = "the previous export\r\n";
        ASSERT_TRUE(WriteFileBytes(path, old));

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{16384, 16384};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
            _exit(exporter.run(capture, path) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << exporter.name;
        EXPECT_EQ(WEXITSTATUS(status), 1) << exporter.name << ": a failed write reported success";
        EXPECT_EQ(ReadFileBytes(path), old) << exporter.name;
        EXPECT_EQ(DirectoryEntries(dir.path()), QStringList{QStringLiteral("capture.out")})
            << exporter.name << ": a temporary file was left behind";

        // The same export without the limit succeeds: the failure was the disk's.
        EXPECT_TRUE(exporter.run(capture, path)) << exporter.name;
        EXPECT_GT(ReadFileBytes(path).size(), 1000000u) << exporter.name;
    }
}

} // namespace
