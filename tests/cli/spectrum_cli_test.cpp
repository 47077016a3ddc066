// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli spectrum on the mains example: the CSV table, the plot and the peak list.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct SpectrumRun {
    int status;
    QString out;
    QString err;
};

SpectrumRun RunSpectrum(QStringList args)
{
    args.prepend(u"spectrum"_s);
    QProcess process;
    process.start(QStringLiteral(KURVEX_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class SpectrumCli : public testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        mains = dir.filePath(u"mains.sav"_s);
        ASSERT_TRUE(QFile::copy(QStringLiteral(KURVEX_EXAMPLES_DIR) +
                                    u"/mains-50hz-ch1-x1000-ch2-current-inverted-bwlimit.sav"_s,
                                mains));
    }
    QTemporaryDir dir;
    QString mains;
};

TEST_F(SpectrumCli, CsvBesideTheInputAndPngPlots)
{
    const SpectrumRun run = RunSpectrum({mains});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QFile csv(dir.filePath(u"mains.spectrum.csv"_s));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray text = csv.readAll();
    ASSERT_TRUE(text.endsWith("\r\n"));
    const QList<QByteArray> lines = text.left(text.size() - 2).split('\n');
    ASSERT_EQ(lines.size(), 2500 / 2 + 1);
    for (const QByteArray& line : lines) {
        ASSERT_TRUE(line.endsWith('\r') || &line == &lines.back()) << line.toStdString();
        ASSERT_EQ(line.count(','), 2) << line.toStdString();
    }
    // 60 ms of record: bins 16.67 Hz apart, the fundamental in bin 3.
    EXPECT_TRUE(lines[0].startsWith("0,")) << lines[0].toStdString();
    EXPECT_TRUE(lines[3].startsWith("50,")) << lines[3].toStdString();
    EXPECT_EQ(RunSpectrum({mains, u"-o"_s, u"-"_s}).out.toLatin1(), text);

    struct Case {
        QStringList extra;
        QSize size;
    };
    const Case cases[] = {{{}, QSize(600, 400)}, {{u"--size"_s, u"300x200"_s}, QSize(300, 200)}};
    for (const Case& c : cases) {
        const QString png = dir.filePath(u"plot.png"_s);
        const SpectrumRun picture = RunSpectrum(QStringList{mains, u"-o"_s, png} + c.extra);
        ASSERT_EQ(picture.status, 0) << picture.err.toStdString();
        EXPECT_EQ(QImage(png).size(), c.size);
    }
}

TEST_F(SpectrumCli, PeaksOfTheMainsCurrent)
{
    // Three periods: Hann's main lobe leaves no room for harmonics, the rectangle's does.
    const SpectrumRun hann = RunSpectrum({mains, u"--channel"_s, u"ch2"_s, u"--peaks"_s});
    ASSERT_EQ(hann.status, 0) << hann.err.toStdString();
    EXPECT_TRUE(hann.out.contains(u"fundamental\t"_s));
    EXPECT_FALSE(hann.out.contains(u"harmonic"_s) || hann.out.contains(u"thd"_s));
    const SpectrumRun run =
        RunSpectrum({mains, u"--channel"_s, u"ch2"_s, u"--window"_s, u"rect"_s, u"--peaks"_s});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9 + 1 + 9 + 1) << run.out.toStdString();
    const auto fields = [&](qsizetype i) { return lines[i].split(u'\t'); };
    EXPECT_EQ(fields(0)[0], u"peak"_s);
    EXPECT_NEAR(fields(0)[1].toDouble(), 50.0, 0.1);
    EXPECT_EQ(fields(9)[0], u"fundamental"_s);
    // Odd harmonics stand far above the even ones in a rectifier's current.
    for (int32_t k = 2; k <= 10; ++k) {
        const QStringList harmonic = fields(8 + k);
        ASSERT_EQ(harmonic.size(), 4);
        EXPECT_EQ(harmonic[1].toInt(), k);
        EXPECT_NEAR(harmonic[2].toDouble(), 50.0 * k, 1.0);
        EXPECT_EQ(harmonic[3].toDouble() > -60, k % 2 == 1) << k;
    }
    EXPECT_EQ(fields(19)[0], u"thd"_s);
}

TEST_F(SpectrumCli, RefusedRequests)
{
    struct Case {
        QStringList args;
        int status;
    };
    const Case cases[] = {
        {{u"--window"_s, u"kaiser"_s}, 64},
        {{u"--channel"_s, u"math"_s}, 64}, // no math trace
        {{u"--peaks"_s, u"-o"_s, u"x.csv"_s}, 64},
        {{u"--size"_s, u"0x10"_s, u"-o"_s, u"x.png"_s}, 64},
        {{u"--size"_s, u"300x159"_s, u"-o"_s, u"x.png"_s}, 64},        // smaller than png's
        {{u"--zoom"_s, u"2"_s}, 64},                                   // png's alone
        {{u"--math"_s, u"x/y:ch1:0"_s, u"--channel"_s, u"math"_s}, 5}, // infinite samples
        // Finite samples whose squared sums overflow: no table of Infinity and NaN.
        {{u"--math"_s, u"x*y:ch1:1e155"_s, u"--channel"_s, u"math"_s}, 5},
        {{u"--math"_s, u"x*y:ch1:1e155"_s, u"--channel"_s, u"math"_s, u"--peaks"_s}, 5},
    };
    for (const Case& c : cases) {
        const SpectrumRun run = RunSpectrum(QStringList{mains} + c.args);
        EXPECT_EQ(run.status, c.status) << c.args.join(u' ').toStdString();
        EXPECT_FALSE(run.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(u"mains.spectrum.csv"_s)));
}

} // namespace
