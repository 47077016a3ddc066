// SPDX-License-Identifier: GPL-3.0-or-later
// The "&?" menu of the frame: the About box, the help page that lies beside the program and
// the product's website. The box and the browser go through replaceable hooks so that tests
// can read what would be shown or opened.
#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>

class QWidget;

// The product's web page.
inline constexpr char16_t WebsiteAddress[] = u"https://kurvex.example.org/";

// The help page's file name; it is looked for in the program's own directory.
inline constexpr char16_t HelpFileName[] = u"kurvex.html";

struct AboutHelpHooks {
    // A modal box with one OK button and the given icon; returns when it is closed.
    std::function<void(QWidget* owner, const QString& caption, const QString& text,
                       const QIcon& icon)>
        aboutBox;
    // Hands an address to the desktop: the web browser, or whatever shows local HTML files.
    // The result is not looked at.
    std::function<void(const QUrl& url)> openUrl;
};

// The hooks in use; by default they reach a real message box and the desktop's launcher.
AboutHelpHooks& AboutHelp();

// Puts the real implementations back.
void ResetAboutHelpHooks();

// major.minor.patch-build, fixed when the program is built.
QString VersionText();

// The build date as dd.mm.yyyy. `yyyymmdd` is the date as one number, e.g. 20261208.
QString BuildDateText(int32_t yyyymmdd);
QString BuildDateText();

// The three lines of the About box, separated by line feeds.
QString AboutText(const QString& versionText, const QString& dateText);

// The About box, owned by `owner`, with the program icon.
void ShowAboutBox(QWidget* owner);

// Opens kurvex.html from the program's directory in the browser, or names the missing file
// in a "Fehler" box. `programDirectory` ends in a path separator.
void OpenHelpFile(const QString& programDirectory);
// The same with the program directory noted at start-up.
void OpenHelpFile();

// Hands the website address to the browser; failures are silent.
void OpenWebsite();
