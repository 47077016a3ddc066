// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli measure all, run as a process and compared with the table computed here.
#include "analysis/measurements.h"
#include "capture/sav_reader.h"
#include "math/math_channel.h"
#include "support/sav_builder.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
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
    const auto run = [](const QStringList& arguments, int status) {
        QProcess process;
        process.start(QStringLiteral(KURVEX_CLI_PATH), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), status) << arguments.join(u' ').toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    EXPECT_EQ(run(args, 0), MeasurementTableText(table, false));
    EXPECT_EQ(
        run({QStringLiteral("measure"), QStringLiteral("peak"), path, QStringLiteral("--numbers")},
            64),
        QString());

    // --numbers: each field is the shortest text that reads back as the table's very
    // double, also for values whose full expansion has hundreds of digits.
    const QStringList lines =
        run(args + QStringList{QStringLiteral("--numbers")}, 0).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), MeasurementCount + 1);
    EXPECT_EQ(lines[0], QStringLiteral("key\tch1\tch2\tmath"));
    for (int32_t key = 0; key < MeasurementCount; ++key) {
        const QStringList fields = lines[key + 1].split(u'\t');
        ASSERT_EQ(fields.size(), 4);
        EXPECT_EQ(fields[0], QString::fromUtf16(MeasurementRowOf(key).key));
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            const std::optional<double>& value = table.channels[slot].value[key];
            const QString& field = fields[slot + 1];
            EXPECT_EQ(field.isEmpty(), !value) << key;
            if (value) {
                EXPECT_EQ(field.toDouble(), *value) << field.toStdString();
            }
        }
    }
    const QString huge =
        run({QStringLiteral("measure"), QStringLiteral("all"), path, QStringLiteral("--math"),
             QStringLiteral("x*y:ch1:1e300"), QStringLiteral("--numbers")},
            0);
    EXPECT_TRUE(huge.contains(u"e+300"));
    for (const QString& field : huge.split(QRegularExpression(QStringLiteral("[\t\n]"))))
        EXPECT_LE(field.size(), 24) << field.toStdString();
}
