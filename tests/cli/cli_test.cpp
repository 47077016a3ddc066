// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli as scripts use it: run as a separate process, checked by exit status, stdout,
// stderr and the files it writes.
#include "support/sav_builder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Result {
    int status;
    QString out;
    QString err;
};

// A shell script with "$CLI" for the tool: for words that are bytes, not text.
Result RunScript(const QString& script, const QString& workingDirectory);

Result RunCli(const QStringList& args, const QString& workingDirectory = QString())
{
    const QString program = QStringLiteral(KURVEX_CLI_PATH);
    QProcess process;
    if (!workingDirectory.isEmpty()) process.setWorkingDirectory(workingDirectory);
    process.start(program, args);
    process.waitForFinished(60000);
    return Result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                  QString::fromUtf8(process.readAllStandardOutput()),
                  QString::fromUtf8(process.readAllStandardError())};
}

Result RunScript(const QString& script, const QString& workingDirectory)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CLI"), QStringLiteral(KURVEX_CLI_PATH));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    process.waitForFinished(60000);
    return Result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                  QString::fromUtf8(process.readAllStandardOutput()),
                  QString::fromUtf8(process.readAllStandardError())};
}

// A two-channel capture of N samples: CH1 a ramp, CH2 flat; 1 V/DIV and 500 mV/DIV.
SavFile TwoChannels(uint16_t n)
{
    SavFile file{};
    file.triggerLevelMicroVolts = 1200000;
    for (int c = 0; c < 2; ++c) {
        SavChannel channel{};
        channel.scaleMicroVolts = c == 0 ? 1000000 : 500000;
        channel.sampleIntervalPs = 12000000; // 12 us: 1 ms/DIV with 1000 samples
        channel.triggerPosition = n / 2;
        for (uint16_t i = 0; i < n; ++i)
            channel.raw.push_back(c == 0 ? static_cast<uint16_t>(28 + i % 200) : 153);
        file.channels.push_back(channel);
    }
    return file;
}

class Cli : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(Cli, UsageErrors)
{
    const QString a = Write(QStringLiteral("a.sav"), BuildSav(TwoChannels(1000)));
    const QString b = Write(QStringLiteral("b.sav"), BuildSav(TwoChannels(1000)));
    const QStringList cases[] = {
        {},
        {QStringLiteral("frobnicate"), a},
        {QStringLiteral("csv")},
        {QStringLiteral("csv"), a, b, QStringLiteral("-o"), dir.filePath(QStringLiteral("x.csv"))},
        {QStringLiteral("measure"), QStringLiteral("median"), a},
        {QStringLiteral("info"), a, QStringLiteral("--zoom"), QStringLiteral("2")},
        {QStringLiteral("png"), a, QStringLiteral("--zoom"), QStringLiteral("10")},
        {QStringLiteral("png"), a, QStringLiteral("--cursors"), QStringLiteral("5")},
        {QStringLiteral("cursors"), a, QStringLiteral("--math"), QStringLiteral("x%y:ch1:ch2")},
        {QStringLiteral("csv"), a, QStringLiteral("--bogus")},
        {QStringLiteral("csv"), a, QStringLiteral("-o"), QString()},
        {u"png"_s, a, u"-o"_s, u"-"_s},
        {QStringLiteral("png"), a, QStringLiteral("--size"), QStringLiteral("239x160")},
        {QStringLiteral("png"), a, QStringLiteral("--size"), QStringLiteral("240x159")},
        {QStringLiteral("png"), a, QStringLiteral("--size"), QStringLiteral("16385x400")},
        {QStringLiteral("png"), a, QStringLiteral("--size"), QStringLiteral("600x16385")},
        {QStringLiteral("png"), a, QStringLiteral("--size"), QStringLiteral("600")},
        {QStringLiteral("csv"), a, QStringLiteral("--size"), QStringLiteral("600x400")},
        {u"png"_s, a, u"--peaks"_s},
        // The toolkit's own options are none of the tool's.
        {u"png"_s, a, u"-platform"_s, u"offscreen"_s},
        {u"png"_s, a, u"--platform"_s, u"xcb"_s},
        {u"png"_s, a, u"-reverse"_s},
        {u"png"_s, a, u"-style"_s, u"fusion"_s},
        {u"png"_s, a, u"-qwindowgeometry"_s, u"100x100"_s},
        // A number that is not all of its field is not cut short.
        {u"measure"_s, u"mean"_s, a, u"--math"_s, u"x+y:1,000:0"_s},
        {u"measure"_s, u"mean"_s, a, u"--math"_s, u"x+y:ch1:0x10"_s},
        {u"measure"_s, u"mean"_s, a, u"--math"_s, u"x+y:ch1:ch2:2O"_s},
        {u"measure"_s, u"mean"_s, a, u"--math"_s, u"x+y:ch1:ch2:1:1.2.3"_s},
        {u"png"_s, a, u"--view"_s, u"5"_s},
        {u"png"_s, a, u"--view"_s, u"-1,10"_s},
        {u"png"_s, a, u"--view"_s, u"0,1"_s},
        {u"png"_s, a, u"--view"_s, u"0,10"_s, u"--zoom"_s, u"2"_s},
        {u"png"_s, a, u"--scroll"_s, u"3"_s, u"--view"_s, u"0,10"_s},
        {u"measure"_s, u"peak"_s, a, u"--view"_s, u"0,10"_s},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, 64);
        EXPECT_TRUE(result.err.contains(QStringLiteral("Usage:")));
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_TRUE(RunCli({u"cursors"_s, a, u"--math"_s, u"x+y:ch1:3abc"_s})
                    .err.startsWith(u"kurvex-cli: cannot read --math \"x+y:ch1:3abc\": \"3abc\" "
                                    u"is not a number\n"_s));
}

// No platform plugin is needed: a desktop session's setting reaches ssh logins and cron
// jobs that have no display.
TEST_F(Cli, RendersWithoutADisplayWhateverThePlatformSays)
{
    const QString a = Write(u"a.sav"_s, BuildSav(TwoChannels(1000)));
    for (const QString& platform : {u"wayland"_s, u"xcb"_s, u"wayland;xcb"_s}) {
        SCOPED_TRACE(platform.toStdString());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, platform);
        QProcess process;
        process.setProcessEnvironment(environment);
        const QString png = dir.filePath(u"a-%1.png"_s.arg(platform.size()));
        process.start(QStringLiteral(KURVEX_CLI_PATH), {u"png"_s, a, u"-o"_s, png});
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        EXPECT_EQ(QImage(png).size(), QSize(600, 400));
    }
}

// A reader that quits (a FIFO, a pipe into head) makes the output unwritten: status 5, not
// death by SIGPIPE.
TEST_F(Cli, ReaderThatQuitsIsStatusFive)
{
    Write(u"big.sav"_s, BuildSav(TwoChannels(60000))); // a CSV far beyond a pipe's buffer
    const char* scripts[] = {
        "mkfifo p && { head -c 1 p >/dev/null & } && \"$CLI\" csv big.sav -o p; echo $? >status",
        "{ \"$CLI\" csv big.sav -o -; echo $? >status; } | head -c 1 >/dev/null",
        "{ \"$CLI\" info $(yes big.sav | head -n 200); echo $? >status; } | head -c 1 >/dev/null",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        QFile::remove(dir.filePath(u"p"_s));
        RunScript(QString::fromUtf8(script), dir.path());
        QFile status(dir.filePath(u"status"_s));
        ASSERT_TRUE(status.open(QIODevice::ReadOnly));
        EXPECT_EQ(status.readAll(), "5\n");
    }
}

// The temporary file of a replaced output never allows more than the old file did, not
// even for the moment between its creation and a later chmod: its mode is that of the
// creating call, whatever the umask.
TEST_F(Cli, ReplacementIsCreatedWithTheOldFilesPermissions)
{
    if (QStandardPaths::findExecutable(u"strace"_s).isEmpty()) GTEST_SKIP() << "no strace";
    Write(u"a.sav"_s, BuildSav(TwoChannels(100)));
    Write(u"a.csv"_s, "private");
    ASSERT_TRUE(
        QFile::setPermissions(dir.filePath(u"a.csv"_s), QFile::ReadOwner | QFile::WriteOwner));
    // A sanitized build's leak check cannot run under ptrace; the trace is what counts here.
    const Result result = RunScript(u"umask 0 && ASAN_OPTIONS=detect_leaks=0 strace -f -qq "
                                    u"-e trace=open,openat,creat -o trace "
                                    u"\"$CLI\" csv a.sav && grep O_CREAT trace"_s,
                                    dir.path());
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QStringList creations = result.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(creations.filter(u".kurvex-"_s).size() == 1) << result.out.toStdString();
    for (const QString& line : creations)
        EXPECT_TRUE(line.contains(u", 0600) = "_s)) << line.toStdString();
    EXPECT_EQ(QFile::permissions(dir.filePath(u"a.csv"_s)) & 0x0777, 0x0600);
}

TEST_F(Cli, HelpAndVersion)
{
    const Result help = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("kurvex-cli measure peak|rms|mean")));
    const Result version = RunCli({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("kurvex-cli ")));
}

// A file cut short: every output is written from the samples it holds, the viewer's
// warning goes to standard error, and the status is 6.
TEST_F(Cli, IncompleteCaptureWritesWhatItHoldsAndExitsWith6)
{
    const QByteArray bytes = BuildSav(TwoChannels(100));
    const QString cut = Write(QStringLiteral("cut.sav"), bytes.left(bytes.size() - 2 * 40));
    const QString warning =
        QStringLiteral("Datei \"%1\" ist unvollständig, es fehlen Abtastwerte (Kanal 2: 40 "
                       "von 100). Nur die vorhandenen werden angezeigt, gemessen und exportiert.")
            .arg(cut);
    for (const QString& command : {QStringLiteral("csv"), QStringLiteral("raw")}) {
        const Result result = RunCli({command, cut, QStringLiteral("-o"), QStringLiteral("-")});
        EXPECT_EQ(result.status, 6) << command.toStdString();
        EXPECT_EQ(result.err, warning + u'\n');
        if (command == u"csv") {
            const QStringList lines = result.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            ASSERT_EQ(lines.size(), 100);
            EXPECT_FALSE(lines[59].endsWith(u','));
            EXPECT_TRUE(lines[60].endsWith(u','));
        } else {
            EXPECT_TRUE(result.out.contains(QStringLiteral("No. Points: 60\r\n")));
        }
    }
}

TEST_F(Cli, RejectedFilesReportTheirMessageAndTheRestGoOn)
{
    QByteArray unknown = BuildSav(TwoChannels(100));
    unknown.replace(10, 10, QByteArrayLiteral("XYZ1234567"));
    SavFile badCount = TwoChannels(100);
    badCount.channelByte = 3;
    const QString good = Write(QStringLiteral("good.sav"), BuildSav(TwoChannels(100)));
    const QString foreign = Write(QStringLiteral("foreign.sav"), unknown);
    const QString invalid = Write(QStringLiteral("invalid.sav"), BuildSav(badCount));
    const QString missing = dir.filePath(QStringLiteral("missing.sav"));

    const Result result = RunCli({QStringLiteral("csv"), missing, foreign, good, invalid});
    EXPECT_EQ(result.status, 4); // the highest reader code seen
    EXPECT_TRUE(result.err.contains(
        QStringLiteral("Die Datei \"%1\" kann nicht geöffnet werden!").arg(missing)));
    EXPECT_TRUE(
        result.err.contains(QStringLiteral("Datei \"%1\": Unbekanntes Format!").arg(foreign)));
    EXPECT_TRUE(result.err.contains(
        QStringLiteral("Datei \"%1\": Unzulässige Werte gefunden!").arg(invalid)));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("good.csv"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("invalid.csv"))));
}

TEST_F(Cli, OutputsGoBesideTheirInputsOrToDashO)
{
    const QString a = Write(QStringLiteral("scope.v2.sav"), BuildSav(TwoChannels(1000)));
    struct Case {
        const char* command;
        const char* expected;
    } const cases[] = {{"csv", "scope.v2.csv"}, {"raw", "scope.v2.raw"}, {"png", "scope.v2.png"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const Result beside = RunCli({QString::fromLatin1(c.command), a});
        EXPECT_EQ(beside.status, 0) << beside.err.toStdString();
        EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromLatin1(c.expected))));
        const QString named = dir.filePath(QStringLiteral("named.out"));
        const Result toNamed =
            RunCli({QString::fromLatin1(c.command), a, QStringLiteral("-o"), named});
        EXPECT_EQ(toNamed.status, 0);
        EXPECT_TRUE(QFile::remove(named));
    }
    const QString csv = dir.filePath(QStringLiteral("scope.v2.csv"));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readLine().startsWith("0,"));
}

TEST_F(Cli, UnwritableOutputIsStatusFive)
{
    const QString a = Write(QStringLiteral("a.sav"), BuildSav(TwoChannels(100)));
    const QString target = dir.filePath(QStringLiteral("no/such/dir/a.csv"));
    const Result result = RunCli({QStringLiteral("csv"), a, QStringLiteral("-o"), target});
    EXPECT_EQ(result.status, 5);
    EXPECT_TRUE(result.err.contains(
        QStringLiteral("Die Datei \"%1\" kann nicht erstellt werden!").arg(target)));
}

TEST_F(Cli, OutputOverItsOwnInputIsRefused)
{
    const QByteArray bytes = BuildSav(TwoChannels(100));
    const QString named = Write(QStringLiteral("a.sav"), bytes);
    const QString csvNamed = Write(QStringLiteral("b.csv"), bytes);
    const QStringList cases[] = {
        {QStringLiteral("png"), named, QStringLiteral("-o"), named},
        {QStringLiteral("csv"), csvNamed}, // beside itself, extension replaced: the same name
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, 5);
        QFile file(args[1]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes);
    }
}

TEST_F(Cli, UnwritableStandardOutputIsStatusFive)
{
    if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
    const QString a = Write(QStringLiteral("a.sav"), BuildSav(TwoChannels(100)));
    for (const char* command : {"info", "cursors"}) {
        SCOPED_TRACE(command);
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(KURVEX_CLI_PATH), {QString::fromLatin1(command), a});
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 5);
        EXPECT_TRUE(process.readAllStandardError().contains("standard output"));
    }
}

TEST_F(Cli, TextCommandsPrintWhatTheWindowShows)
{
    const QString a = Write(QStringLiteral("a.sav"), BuildSav(TwoChannels(1000)));
    const QString b = Write(QStringLiteral("b.sav"), BuildSav(TwoChannels(1000)));

    const Result info = RunCli({QStringLiteral("info"), a});
    EXPECT_EQ(info.status, 0);
    EXPECT_TRUE(info.out.startsWith(QStringLiteral("Kanal 1\n  1 V/DIV\n  DC\n  1:1\nKanal 2\n")))
        << info.out.toStdString();
    EXPECT_TRUE(info.out.contains(QStringLiteral("\nZeitbasis: 1 ms/DIV\nTrigger\n")));
    EXPECT_TRUE(info.out.contains(QStringLiteral("\n  Triggerlevel: 1.2 V\n")));

    const Result cursors = RunCli({QStringLiteral("cursors"), a});
    EXPECT_EQ(cursors.status, 0);
    EXPECT_TRUE(cursors.out.contains(QStringLiteral("Zeit: 0 s\n\nKanal 1: ")));
    EXPECT_TRUE(cursors.out.endsWith(QStringLiteral("Zeit: -11.988 ms\nFrq.: 83.417 Hz\n")))
        << cursors.out.toStdString();
    EXPECT_FALSE(cursors.out.contains(u'\r'));

    // Samples 10..12 of CH2 are all +1 DIV at 500 mV/DIV.
    const Result measure = RunCli({QStringLiteral("measure"), QStringLiteral("mean"), a, b,
                                   QStringLiteral("--cursors"), QStringLiteral("12,10")});
    EXPECT_EQ(measure.status, 0);
    const QString expected = QStringLiteral("Mittelwerte\nKanal 1: ");
    EXPECT_TRUE(
        measure.out.startsWith(QStringLiteral("==> ") + a + QStringLiteral(" <==\n") + expected))
        << measure.out.toStdString();
    EXPECT_TRUE(measure.out.contains(QStringLiteral("Kanal 2: 500 mV\n==> ") + b));
}

// The picture a window's screen of that size exports; 600x400 is the default, byte for byte.
TEST_F(Cli, PngSizeIsTheWindowScreensSize)
{
    const QString a = Write(QStringLiteral("a.sav"), BuildSav(TwoChannels(1000)));
    const auto png = [&](const QStringList& size) {
        const QString out = dir.filePath(QStringLiteral("out.png"));
        EXPECT_EQ(
            RunCli(QStringList{QStringLiteral("png"), a, QStringLiteral("-o"), out} + size).status,
            0);
        QFile file(out);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray plain = png({});
    EXPECT_EQ(png({QStringLiteral("--size"), QStringLiteral("600x400")}), plain);
    const QByteArray large = png({QStringLiteral("--size"), QStringLiteral("1900x1000")});
    EXPECT_EQ(QImage::fromData(large).size(), QSize(1900, 1000));
}

// --view draws exactly the span asked for: the span of a zoom step gives that step's picture,
// a span beyond the record is a usage error for that file.
TEST_F(Cli, PngViewShowsTheSpanAskedFor)
{
    const QString a = Write(u"a.sav"_s, BuildSav(TwoChannels(1000)));
    const auto png = [&](const QStringList& view, int status = 0) {
        const QString out = dir.filePath(u"out.png"_s);
        QFile::remove(out);
        const Result result = RunCli(QStringList{u"png"_s, a, u"-o"_s, out} + view);
        EXPECT_EQ(result.status, status) << result.err.toStdString();
        QFile file(out);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray zoomed = png({u"--zoom"_s, u"9"_s}); // 50 samples from 475
    EXPECT_FALSE(zoomed.isEmpty());
    EXPECT_EQ(png({u"--view"_s, u"475,50"_s}), zoomed);
    EXPECT_NE(png({u"--view"_s, u"990,10"_s}), zoomed);
    EXPECT_TRUE(png({u"--view"_s, u"991,10"_s}, 64).isEmpty());
    const Result beyond =
        RunCli({u"png"_s, a, u"-o"_s, dir.filePath(u"x.png"_s), u"--view"_s, u"2147483647,2"_s});
    EXPECT_EQ(beyond.status, 64);
    EXPECT_TRUE(beyond.err.contains(u"1000 samples"_s));
}

TEST_F(Cli, MathOptionsApplyInOrder)
{
    const QString a = Write(QStringLiteral("a.sav"), BuildSav(TwoChannels(1000)));
    // CH2 is 0.5 V everywhere: 2 * CH2 = 1 V, then -Math = -1 V.
    const Result result = RunCli({QStringLiteral("measure"), QStringLiteral("mean"), a,
                                  QStringLiteral("--math"), QStringLiteral("x*y:2:ch2"),
                                  QStringLiteral("--math"), QStringLiteral("-x:math:0")});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.endsWith(QStringLiteral("\nMath: -1 V\n"))) << result.out.toStdString();
}

TEST_F(Cli, DashOWritesTextExportsToStandardOutputAndDoubleDashEndsTheOptions)
{
    const QByteArray bytes = BuildSav(TwoChannels(1000));
    Write(u"-a.sav"_s, bytes);
    const QString a = Write(u"a.sav"_s, bytes);
    ASSERT_EQ(RunCli({u"csv"_s, a, u"-o"_s, dir.filePath(u"a.out"_s)}).status, 0);
    QFile file(dir.filePath(u"a.out"_s));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const Result csv = RunCli({u"csv"_s, a, u"-o"_s, u"-"_s});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out.toUtf8(), file.readAll());
    const Result raw = RunCli({u"raw"_s, u"-o"_s, u"-"_s, a});
    EXPECT_EQ(raw.status, 0);
    EXPECT_TRUE(raw.out.startsWith(u"Title: * "_s + a + u"\r\n"_s));

    // "--" ends the options for every command, and for Qt's own ones too.
    const Result info = RunCli({u"info"_s, u"--"_s, u"-a.sav"_s}, dir.path());
    EXPECT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.startsWith(u"Kanal 1\n"_s));
    const Result beside = RunCli({u"csv"_s, u"--"_s, u"-a.sav"_s, u"-o"_s}, dir.path());
    EXPECT_EQ(beside.status, 1); // "-o" is a file after "--", and there is none
    EXPECT_TRUE(QFile::exists(dir.filePath(u"-a.csv"_s)));
    EXPECT_EQ(RunCli({u"spectrum"_s, u"--"_s, u"-a.sav"_s}, dir.path()).status, 0);
    EXPECT_TRUE(QFile::exists(dir.filePath(u"-a.spectrum.csv"_s)));
    EXPECT_EQ(RunCli({u"info"_s, u"--"_s, u"-platform"_s}, dir.path()).status, 1);
}

TEST_F(Cli, CollidingOutputsAreAUsageErrorBeforeAnythingIsWritten)
{
    const QByteArray bytes = BuildSav(TwoChannels(100));
    Write(u"col.sav"_s, bytes);
    Write(u"col.dat"_s, bytes);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"sub"_s));
    Write(u"sub/x.sav"_s, bytes);
    ASSERT_TRUE(QFile::link(dir.filePath(u"sub"_s), dir.filePath(u"link"_s)));
    struct Case {
        QStringList args;
        QString first;
        QString second;
        QString output;
    } const cases[] = {
        {{u"csv"_s, u"col.sav"_s, u"col.dat"_s}, u"col.sav"_s, u"col.dat"_s, u"col.csv"_s},
        {{u"png"_s, u"sub/x.sav"_s, u"col.sav"_s, u"link/x.sav"_s},
         u"sub/x.sav"_s,
         u"link/x.sav"_s,
         u"sub/x.png"_s},
        {{u"spectrum"_s, u"col.sav"_s, u"col.dat"_s},
         u"col.sav"_s,
         u"col.dat"_s,
         u"col.spectrum.csv"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Result result = RunCli(c.args, dir.path());
        EXPECT_EQ(result.status, 64);
        EXPECT_TRUE(result.err.contains(u"\"%1\" and \"%2\""_s.arg(c.first, c.second)))
            << result.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath(c.output)));
        EXPECT_FALSE(QFile::exists(dir.filePath(u"col.png"_s)));
    }

    // Outputs that are one file under two names: a symbolic link to an output still to be
    // made, then to one that exists, then a hard link.
    ASSERT_TRUE(QFile::link(u"../col.csv"_s, dir.filePath(u"sub/x.csv"_s)));
    const auto refused = [&](const char* step) {
        SCOPED_TRACE(step);
        const Result result = RunCli({u"csv"_s, u"col.sav"_s, u"sub/x.sav"_s}, dir.path());
        EXPECT_EQ(result.status, 64);
        EXPECT_TRUE(result.err.contains(u"\"col.sav\" and \"sub/x.sav\""_s));
    };
    refused("dangling link");
    EXPECT_FALSE(QFile::exists(dir.filePath(u"col.csv"_s)));
    Write(u"col.csv"_s, "kept");
    refused("link");
    ASSERT_TRUE(QFile::remove(dir.filePath(u"sub/x.csv"_s)));
    ASSERT_EQ(link(QFile::encodeName(dir.filePath(u"col.csv"_s)).constData(),
                   QFile::encodeName(dir.filePath(u"sub/x.csv"_s)).constData()),
              0);
    refused("hard link");
    QFile kept(dir.filePath(u"col.csv"_s));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "kept");
}

// An input that lacks the channel asked for stops the batch before any output is written.
TEST_F(Cli, EveryInputIsCheckedBeforeAnythingIsWritten)
{
    Write(u"two.sav"_s, BuildSav(TwoChannels(100)));
    SavFile single = TwoChannels(100);
    single.channels.pop_back();
    Write(u"one.sav"_s, BuildSav(single));
    const Result result =
        RunCli({u"spectrum"_s, u"two.sav"_s, u"one.sav"_s, u"--channel"_s, u"ch2"_s}, dir.path());
    EXPECT_EQ(result.status, 64);
    EXPECT_EQ(result.err, u"kurvex-cli: one.sav: the channel is not present\n"_s);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"two.spectrum.csv"_s)));
}

TEST_F(Cli, NamesThatAreNotUtf8AreOpenedWrittenAndShown)
{
    Write(u"a.sav"_s, BuildSav(TwoChannels(100)));
    // \351 is the Latin-1 e acute, not UTF-8.
    ASSERT_EQ(RunScript(u"cp a.sav \"$(printf 'caf\\351.sav')\""_s, dir.path()).status, 0);
    struct Case {
        const char* script;
        int status;
        const char* err;
        const char* out;
    } const cases[] = {
        {"\"$CLI\" csv \"$(printf 'caf\\351.sav')\" && test -s \"$(printf 'caf\\351.csv')\"", 0, "",
         ""},
        {"\"$CLI\" raw \"$(printf 'caf\\351.sav')\" -o -", 0, "", "Title: * caf\\xE9.sav\r\n"},
        {"\"$CLI\" info \"$(printf 'nix\\351.sav')\"", 1,
         "Die Datei \"nix\\xE9.sav\" kann nicht geöffnet werden!\n", ""},
        {"\"$CLI\" png a.sav -o \"$(printf 'no\\351/x.png')\"", 5,
         "Die Datei \"no\\xE9/x.png\" kann nicht erstellt werden!\n", ""},
        // Control characters act on a terminal: an escape sequence, a line break.
        {"\"$CLI\" info \"$(printf 'e\\033[2Jx\\ny.sav')\"", 1,
         "Die Datei \"e\\x1B[2Jx\\x0Ay.sav\" kann nicht geöffnet werden!\n", ""},
        {"\"$CLI\" info a.sav \"$(printf '\\033]0;t\\007')\"", 1,
         "Die Datei \"\\x1B]0;t\\x07\" kann nicht geöffnet werden!\n", "==> a.sav <==\n"},
        {"\"$CLI\" info \"$(printf -- '-\\033[2J')\"", 64, "kurvex-cli: unknown option -\\x1B[2J\n",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const Result result = RunScript(QString::fromUtf8(c.script), dir.path());
        EXPECT_EQ(result.status, c.status);
        const QString err = QString::fromUtf8(c.err);
        EXPECT_EQ(c.status == 64 ? result.err.left(err.size()) : result.err, err);
        const QString out = QString::fromUtf8(c.out);
        EXPECT_EQ(result.out.left(out.size()), out);
    }
}

} // namespace
