// SPDX-License-Identifier: GPL-3.0-or-later
// File names that are not UTF-8 survive the trip through text byte for byte, and show
// their undecodable bytes in messages.
#include "capture/file_name.h"

#include <gtest/gtest.h>

TEST(FileName, BytesSurviveTheTripThroughTextAndShowWhatDidNotDecode)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* visible; // UTF-8
    };
    const Case cases[] = {
        {"ASCII", "/data/scope/A001.sav", "/data/scope/A001.sav"},
        {"UTF-8", "/daten/Messung-\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80.sav",
         "/daten/Messung-\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80.sav"},
        {"Latin-1", "/daten/caf\xE9 \xFC.sav", "/daten/caf\\xE9 \\xFC.sav"},
        {"UTF-8 and Latin-1 mixed", "\xC3\xBC\xFC", "\xC3\xBC\\xFC"},
        {"overlong slash",
         "a\xC0\xAF"
         "b",
         "a\\xC0\\xAFb"},
        {"encoded surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"cut short at the end", "x\xE2\x82", "x\\xE2\\x82"},
        {"lone continuation byte", "\x80", "\\x80"},
        {"escape sequence, tab and line break", "a\x1B[2Jb\tc\nd\x7F",
         "a\\x1B[2Jb\\x09c\\x0Ad\\x7F"},
        {"C1 control",
         "a\xC2\x9B"
         "31m",
         "a\\xC2\\x9B31m"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = DecodeFileName(c.bytes);
        EXPECT_EQ(EncodeFileName(name), c.bytes);
        EXPECT_EQ(VisibleFileName(name), QString::fromUtf8(c.visible));
    }
}
