// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli measure all, run as a process and compared with the table computed here.
#include "analysis/measurements.h"
#include "capture/sav_reader.h"
#include "math/math_channel.h"
#include "support/sav_builder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(MeasureAllCli, PrintsTheWindowsTableOverTheCursorRange)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SavFile file{};
    for (int32_t c = 0; c < 2; ++c) {
        SavChannel channel{};
        channel.scaleMicroVolts = 500000;
        channel.sampleIntervalPs = 12000000;
        for (int32_t i = 0; i < 1000; ++i)
            channel.raw.push_back(static_cast<uint16_t>((i + 30 * c) / 40 % 2 ? 178 : 78));
        file.channels.push_back(channel);
    }
    const QString path = dir.filePath(QStringLiteral("a.sav"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(BuildSav(file));
    out.close();
    Capture capture{};
    ASSERT_EQ(ReadCapture(capture, path), ReadOk);
    MathSettings math{};
    ASSERT_TRUE(ParseMathSpec(u"x-y:ch1:ch2", math));
    ComputeMath(capture, math);
    const MeasurementTable table = MeasureAll(capture, 900, 100);

    struct Case {
        QStringList args;
        int status;
        QString out;
    };
    const QStringList common = {
        QStringLiteral("measure"),    QStringLiteral("all"),     path,
        QStringLiteral("--cursors"),  QStringLiteral("900,100"), QStringLiteral("--math"),
        QStringLiteral("x-y:ch1:ch2")};
    const Case cases[] = {
        {common, 0, MeasurementTableText(table, false)},
        {common + QStringList{QStringLiteral("--numbers")}, 0, MeasurementTableText(table, true)},
        {{QStringLiteral("measure"), QStringLiteral("peak"), path, QStringLiteral("--numbers")},
         64,
         QString()},
        {{QStringLiteral("cursors"), path, QStringLiteral("--numbers")}, 64, QString()},
    };
    for (const Case& c : cases) {
        QProcess process;
        process.start(QStringLiteral(KURVEX_CLI_PATH), c.args);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), c.status) << c.args.join(u' ').toStdString();
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), c.out);
    }
    EXPECT_TRUE(
        MeasurementTableText(table, false).startsWith(u"Messung\tKanal 1\tKanal 2\tMath\n"));
}

} // namespace
