// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_help.h"

#include "app/app_state.h"
#include "app/artwork.h"
#include "capture/file_name.h"
#include "platform/platform.h"
#include "text/format_text.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>

using namespace Qt::StringLiterals;

// KURVEX_VERSION_TEXT ("1.0.0-1") and KURVEX_BUILD_DATE (yyyymmdd) come from the build.

namespace {

void QtAboutBox(QWidget* owner, const QString& caption, const QString& text, const QIcon& icon)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.setIconPixmap(icon.pixmap(48, 48));
    box.exec();
}

// Without a browser or help viewer nothing would happen at all: the help file's place is
// then told instead, so that it can be opened by hand.
void QtOpenUrl(const QUrl& url)
{
    // The viewer may run with the session bus turned off (see main); the browser gets the
    // environment the viewer was started with.
    if (qgetenv("DBUS_SESSION_BUS_ADDRESS") == "disabled:") qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (QDesktopServices::openUrl(url)) return;
    if (url.isLocalFile()) {
        const QString path = VisibleFileName(url.toLocalFile());
        ShowErrorBox(
            App().mainFrame, QCoreApplication::translate("AboutHelp", "Fehler"),
            FormatText(QCoreApplication::translate(
                           "AboutHelp", "Es wurde kein Programm gefunden, das die Hilfe "
                                        "anzeigen kann. Die Hilfedatei liegt unter \"{0}\"."),
                       path));
        return;
    }
    const QString address = url.toString();
    ShowErrorBox(App().mainFrame, QCoreApplication::translate("AboutHelp", "Fehler"),
                 FormatText(QCoreApplication::translate(
                                "AboutHelp", "Die Adresse \"{0}\" kann nicht geöffnet werden!"),
                            address));
}

AboutHelpHooks DefaultHooks()
{
    AboutHelpHooks hooks;
    hooks.aboutBox = QtAboutBox;
    hooks.openUrl = QtOpenUrl;
    return hooks;
}

} // namespace

AboutHelpHooks& AboutHelp()
{
    static AboutHelpHooks hooks = DefaultHooks();
    return hooks;
}

void ResetAboutHelpHooks()
{
    AboutHelp() = DefaultHooks();
}

QString VersionText()
{
    return QString::fromUtf8(KURVEX_VERSION_TEXT);
}

QString BuildDateText(int32_t yyyymmdd)
{
    const int32_t day = yyyymmdd % 100;
    const int32_t month = yyyymmdd / 100 % 100;
    const int32_t year = yyyymmdd / 10000;
    return FormatText(u"{0d2}.{1d2}.{2d4}", day, month, year);
}

QString BuildDateText()
{
    return BuildDateText(KURVEX_BUILD_DATE);
}

QString AboutText(const QString& versionText, const QString& dateText)
{
    return FormatText(QCoreApplication::translate(
                          "AboutHelp", "Kurvex von Velmorin\nVersion {0}\nKompiliert am {1}"),
                      versionText, dateText);
}

void ShowAboutBox(QWidget* owner)
{
    AboutHelp().aboutBox(owner, QCoreApplication::translate("AboutHelp", "Über Kurvex"),
                         AboutText(VersionText(), BuildDateText()), ProgramIcon());
}

void OpenHelpFile(const QString& programDirectory)
{
    // The path is used as it is: a directory with spaces or umlauts needs no quoting, and
    // QUrl::fromLocalFile encodes it for the browser.
    const QString path = programDirectory + QString::fromUtf16(HelpFileName);
    if (QFileInfo(path).isFile()) {
        AboutHelp().openUrl(QUrl::fromLocalFile(path));
        return;
    }
    ShowErrorBox(App().mainFrame, QCoreApplication::translate("AboutHelp", "Fehler"),
                 FormatText(QCoreApplication::translate(
                                "AboutHelp", "Die Datei \"{0}\" kann nicht gefunden werden!"),
                            path));
}

void OpenHelpFile()
{
    OpenHelpFile(App().programDirectory);
}

void OpenWebsite()
{
    AboutHelp().openUrl(QUrl(QString::fromUtf16(WebsiteAddress)));
}
