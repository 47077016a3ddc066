// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the language: German needs nothing, English comes built in, others are refused.
#include "text/translation.h"

#include <gtest/gtest.h>

namespace {

QString ChannelTemplate()
{
    return QCoreApplication::translate("Readouts", "Kanal {0}");
}

TEST(InstallTranslation, SwitchesBetweenGermanAndEnglishAndRefusesOthers)
{
    QCoreApplication& app = *QCoreApplication::instance();
    const struct {
        const char16_t* language;
        bool accepted;
        const char16_t* text; // the template afterwards
    } steps[] = {
        {u"de", true, u"Kanal {0}"},    {u"en", true, u"Channel {0}"},
        {u"en", true, u"Channel {0}"}, // a second call replaces, it does not stack
        {u"fr", false, u"Channel {0}"}, {u"", false, u"Channel {0}"},
        {u"EN", false, u"Channel {0}"}, {u"de", true, u"Kanal {0}"},
        {u"xx", false, u"Kanal {0}"},
    };
    for (const auto& step : steps) {
        const QString language = QString::fromUtf16(step.language);
        SCOPED_TRACE(language.toStdString());
        EXPECT_EQ(InstallTranslation(app, language), step.accepted);
        EXPECT_EQ(ChannelTemplate(), QString::fromUtf16(step.text));
    }
}

} // namespace
