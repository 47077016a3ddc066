// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli --lang: English texts for people, the same keys, numbers and files for scripts.
#include <QProcess>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Output {
    int status;
    QString out;
    QString err;
};

Output Cli(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(KURVEX_CLI_PATH), args);
    process.waitForFinished(60000);
    return Output{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                  QString::fromUtf8(process.readAllStandardOutput()),
                  QString::fromUtf8(process.readAllStandardError())};
}

const QString Example =
    QStringLiteral(KURVEX_EXAMPLES_DIR "/mains-50hz-ch1-x1000-ch2-current-inverted-bwlimit.sav");
const QStringList English = {u"--lang"_s, u"en"_s};

TEST(LanguageCli, InfoInEnglish)
{
    const Output run = Cli(English + QStringList{u"info"_s, Example});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"Channel 1\n  100 V/DIV\n  DC\n  1000:1\n"
                       u"Channel 2\n  50 mV/DIV\n  DC\n  1:1\n  Inverted\n  Bandwidth limit\n"
                       u"Time base: 5 ms/DIV\nTrigger\n  Mode: Auto\n  Source: AC line\n"
                       u"  Coupling: DC\n  Trigger level: 0 V\n  Trigger offset: 0 s\n"
                       u"  Edge trigger\n  Rising edge\n"_s);
}

// The English table has the German one's values, row by row, under English names.
TEST(LanguageCli, MeasureAllInEnglishKeepsTheValues)
{
    const Output german = Cli({u"measure"_s, u"all"_s, Example});
    const Output english = Cli({u"measure"_s, u"all"_s, Example, u"--lang"_s, u"en"_s});
    ASSERT_EQ(german.status, 0);
    ASSERT_EQ(english.status, 0);
    const QStringList names = {u"Measurement"_s,
                               u"Maximum"_s,
                               u"Minimum"_s,
                               u"Peak-to-peak"_s,
                               u"Top"_s,
                               u"Base"_s,
                               u"Amplitude"_s,
                               u"Mean"_s,
                               u"RMS"_s,
                               u"Cycle mean"_s,
                               u"Cycle RMS"_s,
                               u"AC RMS"_s,
                               u"Period"_s,
                               u"Frequency"_s,
                               u"Rise time"_s,
                               u"Fall time"_s,
                               u"Positive pulse width"_s,
                               u"Negative pulse width"_s,
                               u"Positive duty cycle"_s,
                               u"Negative duty cycle"_s,
                               u"Overshoot"_s,
                               u"Preshoot"_s,
                               u"Edges"_s,
                               u"Delay"_s,
                               u"Phase"_s};
    const QStringList germanLines = german.out.split(u'\n');
    const QStringList englishLines = english.out.split(u'\n');
    ASSERT_EQ(englishLines.size(), names.size() + 1); // and the empty piece after the last \n
    ASSERT_EQ(germanLines.size(), englishLines.size());
    EXPECT_EQ(englishLines[0], u"Measurement\tChannel 1\tChannel 2"_s);
    for (qsizetype i = 1; i < names.size(); ++i) {
        const qsizetype tab = germanLines[i].indexOf(u'\t');
        EXPECT_EQ(englishLines[i], names[i] + germanLines[i].mid(tab));
    }
}

// What scripts read, and German itself, does not depend on the language; wrong choices are
// usage errors; messages follow the language.
TEST(LanguageCli, ScriptOutputsStayAndMessagesFollow)
{
    const QStringList same[] = {
        {u"measure"_s, u"all"_s, Example, u"--numbers"_s},
        {u"csv"_s, Example, u"-o"_s, u"-"_s},
        {u"spectrum"_s, Example, u"--peaks"_s},
    };
    for (const QStringList& args : same) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Output plain = Cli(args);
        EXPECT_EQ(plain.status, 0);
        EXPECT_EQ(Cli(English + args).out, plain.out);
    }
    const QStringList cursors = {u"cursors"_s, Example};
    EXPECT_EQ(Cli(QStringList{u"--lang"_s, u"de"_s} + cursors).out, Cli(cursors).out);

    for (const QStringList& wrong : {QStringList{u"--lang"_s, u"fr"_s, u"info"_s, Example},
                                     QStringList{u"info"_s, Example, u"--lang"_s}}) {
        SCOPED_TRACE(wrong.join(u' ').toStdString());
        const Output run = Cli(wrong);
        EXPECT_EQ(run.status, 64);
        EXPECT_TRUE(run.err.contains(u"Usage:"_s));
    }

    const Output missing = Cli(English + QStringList{u"info"_s, u"/nonexistent/a.sav"_s});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, u"Cannot open the file \"/nonexistent/a.sav\".\n"_s);
}

} // namespace
