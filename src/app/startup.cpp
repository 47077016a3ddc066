// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the services the program needs before its first window, the language, and
// the frame with the files of the command line.
#include "app/main_frame.h"

#include "app/app_state.h"
#include "app/artwork.h"
#include "app/standard_icon_style.h"
#include "text/translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPixmapCache>
#include <QSettings>
#include <QTranslator>

using namespace Qt::StringLiterals;

constexpr int PixmapCacheKilobytes = 2048;

void StartApplicationServices()
{
    Q_INIT_RESOURCE(kurvex);
    // The menus belong in the frame, beside the capture windows they act on, not in a
    // desktop-wide menu bar; asking the desktop for one also costs start-up time.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    // Each file dialog, message box and capture window makes its icons afresh, and the
    // pixmap cache keeps every copy drawn from them under a key that no later one asks for,
    // up to its limit of 10 MB of pixels (some 20 MB of memory). What the windows draw from
    // the cache again and again, the style's frames and the tree's icons, fits in far less.
    QPixmapCache::setCacheLimit(PixmapCacheKilobytes);
    InstallStandardIconStyle();
    // The interface is German; so are the toolkit's own dialogs and menus, where installed.
    static QTranslator toolkitTexts;
    if (toolkitTexts.isEmpty() &&
        toolkitTexts.load(u"qtbase_de"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&toolkitTexts);
}

namespace {
// The language in use, and where the choice is kept between runs.
QString& LanguageInUse()
{
    static QString language = u"de"_s;
    return language;
}
constexpr QLatin1StringView LanguageKey("language");
} // namespace

QString CurrentLanguage()
{
    return LanguageInUse();
}

void StartLanguage(const QString& requested)
{
    QString language = requested;
    if (language.isEmpty()) language = QSettings().value(LanguageKey, u"de"_s).toString();
    if (language != u"de"_s && InstallTranslation(*QCoreApplication::instance(), language))
        LanguageInUse() = language;
}

MainFrame* StartMainFrame(const QStringList& paths)
{
    AppState& app = App();
    app.openedPaths.clear();
    app.quitRequested = false;
    app.popupOwner = nullptr;
    app.programDirectory = QCoreApplication::applicationDirPath() + u"/"_s;
    LoadImageSlots();

    auto* frame = new MainFrame;
    frame->showMaximized();
    frame->OpenPaths(paths);
    return frame;
}

bool SwitchLanguage(const QString& language)
{
    QSettings().setValue(LanguageKey, language);
    if (language == CurrentLanguage()) return false;
    if (!InstallTranslation(*QCoreApplication::instance(), language)) return false;
    LanguageInUse() = language;
    return true;
}
