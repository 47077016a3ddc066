// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli decode: the table it prints, the words it refuses before printing anything, and
// a decoder that fails inside.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct DecodeRun {
    int status;
    QString out;
    QString err;
};

DecodeRun RunDecode(QStringList args)
{
    args.prepend(u"decode"_s);
    QProcess process;
    process.start(QStringLiteral(KURVEX_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

const QString Spi = QStringLiteral(KURVEX_EXAMPLES_DIR) + u"/spi-1mhz-ch1-clk-ch2-mosi.sav"_s;
const QString Mains = QStringLiteral(KURVEX_EXAMPLES_DIR) +
                      u"/mains-50hz-ch1-x1000-ch2-current-inverted-bwlimit.sav"_s;

TEST(DecodeCli, PrintsOneLinePerAnnotationInTimeOrder)
{
    const DecodeRun run = RunDecode({Spi, u"-P"_s, u"spi:clk=ch1:mosi=ch2"_s});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QStringList lines = run.out.split(u'\n');
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.takeFirst(), u"start\tend\tdecoder\tannotation\ttext"_s);
    QStringList bytes;
    double previous = 0;
    for (const QString& line : lines) {
        const QStringList fields = line.split(u'\t');
        ASSERT_EQ(fields.size(), 5) << line.toStdString();
        bool okStart = false;
        bool okEnd = false;
        const double start = fields[0].toDouble(&okStart);
        const double end = fields[1].toDouble(&okEnd);
        ASSERT_TRUE(okStart && okEnd && start <= end && start >= previous) << line.toStdString();
        previous = start;
        EXPECT_EQ(fields[2], u"spi-1"_s);
        if (fields[3] == u"mosi-data") bytes.append(fields[4]);
    }
    EXPECT_EQ(bytes.join(u' '), u"9F 00 00 00 03 01 20 00 A5"_s);

    // -o writes the same table, but never over the capture it was read from.
    QTemporaryDir dir;
    const QString out = dir.filePath(u"spi.tsv"_s);
    EXPECT_EQ(RunDecode({Spi, u"-P"_s, u"spi:clk=ch1:mosi=ch2"_s, u"-o"_s, out}).status, 0);
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), run.out);
    const QString copy = dir.filePath(u"spi.sav"_s);
    ASSERT_TRUE(QFile::copy(Spi, copy));
    EXPECT_EQ(RunDecode({copy, u"-P"_s, u"spi:clk=ch1:mosi=ch2"_s, u"-o"_s, copy}).status, 5);
    EXPECT_EQ(QFileInfo(copy).size(), QFileInfo(Spi).size());
}

TEST(DecodeCli, RefusedWordsPrintNothing)
{
    const QStringList cases[] = {
        {u"-P"_s, u"nosuchdecoder"_s},
        {u"-P"_s, u"spi:clk=ch3"_s},
        {u"-P"_s, u"spi:clk=ch1:speed=9"_s},
        {u"-P"_s, u"spi:clk=ch1:cpol=2"_s},
        {u"-P"_s, u"i2c:scl=ch1"_s}, // sda unmapped
        {u"-P"_s, u"uart:rx=ch1,eeprom24xx"_s},
        {u"-P"_s, u"uart:rx=ch1"_s, u"--threshold"_s, u"ch1=high"_s},
        {u"-P"_s, u"uart:rx=ch1"_s, u"--threshold"_s, u"ch1=1:-0.1"_s},
        {u"--cursors"_s, u"5"_s, u"-P"_s, u"uart:rx=ch1"_s},
        {},
    };
    for (const QStringList& args : cases) {
        // The good file first: nothing of it may appear when a word is off.
        const DecodeRun run = RunDecode(QStringList{Spi, Mains} + args);
        EXPECT_EQ(run.status, 64) << args.join(u' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(run.err.isEmpty());
    }
}

TEST(DecodeCli, FailingDecoderAndTheList)
{
    // The UART decoder divides by the baud rate: the exception is a message and status 7.
    const DecodeRun failed = RunDecode({Spi, u"-P"_s, u"uart:rx=ch1:baudrate=0"_s});
    EXPECT_EQ(failed.status, 7);
    EXPECT_TRUE(failed.err.contains(u"ZeroDivisionError"_s)) << failed.err.toStdString();
    EXPECT_TRUE(failed.out.startsWith(u"start\t"_s));

    const DecodeRun list = RunDecode({u"--list"_s});
    EXPECT_EQ(list.status, 0);
    for (const QString& line : {u"uart\t"_s, u"  option baudrate=115200: Baud rate\n"_s,
                                u"  channel sda (SDA): Serial data line\n"_s})
        EXPECT_TRUE(list.out.contains(line)) << line.toStdString();
}

// TX is idle in the first half of the UART example: its comparator comes from the whole
// record, so its idle noise between the cursors decodes to nothing.
TEST(DecodeCli, IdleLineBetweenTheCursorsGivesNoBytes)
{
    const QString uart = QStringLiteral(KURVEX_EXAMPLES_DIR) + u"/uart-115200-ch1-rx-ch2-tx.sav"_s;
    const DecodeRun run = RunDecode(
        {uart, u"-P"_s, u"uart:rx=ch1:tx=ch2:baudrate=115200"_s, u"--cursors"_s, u"0,32767"_s});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"\trx-data\t"_s));
    EXPECT_FALSE(run.out.contains(u"\ttx-"_s)) << run.out.toStdString();
}

} // namespace
