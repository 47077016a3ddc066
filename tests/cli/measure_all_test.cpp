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

TEST(MeasureAllCli, PrintsTheWindowsTableOverTheCursorRange)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.sav"));
    SavFile sav{};
    for (int32_t c = 0; c < 2; ++c) {
        SavChannel channel{};
        channel.scaleMicroVolts = 500000;
        channel.sampleIntervalPs = 12000000;
        for (int32_t i = 0; i < 1000; ++i)
            channel.raw.push_back((i + 30 * c) / 40 % 2 ? 178 : 78);
        sav.channels.push_back(channel);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(BuildSav(sav)) > 0);
    file.close();
    Capture capture{};
    MathSettings math{};
    ASSERT_TRUE(ReadCapture(capture, path) == ReadOk && ParseMathDefinition(u"x-y:ch1:ch2", math));
    ComputeMath(capture, math);
    const MeasurementTable table = MeasureAll(capture, 900, 100);
    EXPECT_TRUE(
        MeasurementTableText(table, false).startsWith(u"Messung\tKanal 1\tKanal 2\tMath\n"));

    const QStringList args = {
        QStringLiteral("measure"),    QStringLiteral("all"),     path,
        QStringLiteral("--cursors"),  QStringLiteral("900,100"), QStringLiteral("--math"),
        QStringLiteral("x-y:ch1:ch2")};
    const std::tuple<QStringList, int, QString> cases[] = {
        {args, 0, MeasurementTableText(table, false)},
        {args + QStringList{QStringLiteral("--numbers")}, 0, MeasurementTableText(table, true)},
        {{QStringLiteral("measure"), QStringLiteral("peak"), path, QStringLiteral("--numbers")},
         64,
         QString()},
    };
    for (const auto& [arguments, status, out] : cases) {
        QProcess process;
        process.start(QStringLiteral(KURVEX_CLI_PATH), arguments);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), status) << arguments.join(u' ').toStdString();
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), out);
    }
}
