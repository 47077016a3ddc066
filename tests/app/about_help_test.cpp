// SPDX-License-Identifier: GPL-3.0-or-later
// The "&?" menu: the About box's text, the help page beside the program (found, missing, a
// folder of that name, unusual directory names) and the website.
#include "app/about_help.h"
#include "app_fixture.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

class AboutHelpTest : public AppTest {
  protected:
    void SetUp() override
    {
        AppTest::SetUp();
        AboutHelp().aboutBox = [this](QWidget* owner, const QString& caption, const QString& text,
                                      const QIcon& icon) {
            aboutOwner = owner;
            aboutBoxes.append(caption + u"|"_s + text);
            aboutIcon = icon;
        };
        AboutHelp().openUrl = [this](const QUrl& url) { openedUrls.append(url); };
    }

    void TearDown() override
    {
        ResetAboutHelpHooks();
        AppTest::TearDown();
    }

    QWidget* aboutOwner = nullptr;
    QStringList aboutBoxes;
    QIcon aboutIcon;
    QList<QUrl> openedUrls;
};

TEST(AboutText, DateAndLines)
{
    struct Case {
        int32_t date;
        const char16_t* expected;
    };
    const Case cases[] = {
        {20261208, u"08.12.2026"},
        {20000101, u"01.01.2000"},
        {19991231, u"31.12.1999"},
        {20250709, u"09.07.2025"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildDateText(c.date), QString::fromUtf16(c.expected)) << c.date;

    EXPECT_EQ(AboutText(u"1.2.3-45"_s, u"08.12.2026"_s),
              u"Kurvex von Velmorin\nVersion 1.2.3-45\nKompiliert am 08.12.2026"_s);
    // What this build shows: the forms, whatever the numbers.
    EXPECT_TRUE(QRegularExpression(u"^\\d+\\.\\d+\\.\\d+-\\d+$"_s).match(VersionText()).hasMatch())
        << VersionText().toStdString();
    EXPECT_TRUE(QRegularExpression(u"^(0[1-9]|[12]\\d|3[01])\\.(0[1-9]|1[0-2])\\.\\d{4}$"_s)
                    .match(BuildDateText())
                    .hasMatch())
        << BuildDateText().toStdString();
}

TEST_F(AboutHelpTest, AboutBoxShowsNameVersionAndDateWithTheProgramIcon)
{
    Start();
    frame->RunCommand(Command::About);
    ASSERT_EQ(aboutBoxes.size(), 1);
    EXPECT_EQ(aboutBoxes[0], u"Über Kurvex|Kurvex von Velmorin\nVersion "_s + VersionText() +
                                 u"\nKompiliert am "_s + BuildDateText());
    EXPECT_EQ(aboutOwner, frame);
    EXPECT_FALSE(aboutIcon.pixmap(48, 48).isNull());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AboutHelpTest, HelpOpensThePageBesideTheProgramOrNamesItsFullPath)
{
    enum Beside { Nothing, File, Folder };
    struct Case {
        const char16_t* directory;
        Beside beside;
    };
    const Case cases[] = {
        {u"plain", File},
        {u"mit Leerzeichen", File},
        {u"Meßgeräte Ölwanne – 測定 #1 %20", File},
        {u"plain-missing", Nothing},
        {u"fehlt mit Ümlaut", Nothing},
        {u"folder", Folder},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.directory).toStdString());
        messages.clear();
        openedUrls.clear();
        const QString directory = folder.filePath(QString::fromUtf16(c.directory));
        ASSERT_TRUE(QDir().mkpath(directory));
        const QString help = directory + u"/kurvex.html"_s;
        if (c.beside == File) {
            QFile file(help);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("<html></html>");
        } else if (c.beside == Folder) {
            ASSERT_TRUE(QDir().mkpath(help));
        }
        App().programDirectory = directory + u"/"_s;
        frame->RunCommand(Command::Help);
        if (c.beside == File) {
            ASSERT_EQ(openedUrls.size(), 1);
            EXPECT_TRUE(openedUrls[0].isLocalFile());
            EXPECT_EQ(openedUrls[0].toLocalFile(), help);
            EXPECT_TRUE(messages.isEmpty());
        } else {
            EXPECT_TRUE(openedUrls.isEmpty());
            EXPECT_EQ(messages, QStringList{u"Fehler: Die Datei \""_s + help +
                                            u"\" kann nicht gefunden werden!"_s});
        }
    }
}

TEST_F(AboutHelpTest, F1OpensHelpWithAndWithoutCaptureWindows)
{
    QFile file(folder.filePath(u"kurvex.html"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString capture = WriteCapture(u"a.sav"_s);
    Start();
    App().programDirectory = folder.path() + u"/"_s;
    const auto pressF1 = [](QWidget* target) {
        QApplication::setActiveWindow(target->window());
        QTest::keyClick(target, Qt::Key_F1);
    };
    pressF1(frame);
    frame->OpenPaths({capture});
    pressF1(Window().settingsTree);
    ASSERT_EQ(openedUrls.size(), 2);
    EXPECT_EQ(openedUrls[0].toLocalFile(), file.fileName());
    EXPECT_EQ(openedUrls[1], openedUrls[0]);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AboutHelpTest, WebsiteGoesToTheBrowserSilently)
{
    Start();
    frame->RunCommand(Command::Website);
    ASSERT_EQ(openedUrls.size(), 1);
    EXPECT_EQ(openedUrls[0], QUrl(u"https://kurvex.example.org/"_s));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(aboutBoxes.isEmpty());
}

} // namespace
