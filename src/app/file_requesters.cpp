// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/file_requesters.h"

#include "app/app_state.h"
#include "platform/platform.h"

using namespace Qt::StringLiterals;

// The longest initial file each dialog's name field took.
constexpr qsizetype OpenInitialFileLimit = 9998;
constexpr qsizetype SaveInitialFileLimit = 999;

QStringList FilterListFromPattern(const QString& pattern)
{
    const QStringList parts = pattern.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        const QString& patterns = parts.at(i + 1);
        if (description.isEmpty() && patterns.isEmpty()) continue;
        // The toolkit reads the patterns from the parentheses at the end of the text; a
        // description that does not already show them gets them appended.
        const QString shown = u"("_s + patterns + u")"_s;
        filters.append(description.endsWith(shown) ? description : description + u" "_s + shown);
    }
    return filters;
}

static FileDialogRequest MakeRequest(const QString& title, const QString& initialFile,
                                     const QString& filterPattern, int32_t filterIndex,
                                     const QString& defaultExtension, bool defaultTitle,
                                     qsizetype initialLimit)
{
    FileDialogRequest request{};
    request.title = defaultTitle ? QString() : title;
    request.initialFile = initialFile.left(initialLimit);
    request.filters = FilterListFromPattern(filterPattern);
    request.filterIndex = filterIndex;
    request.defaultExtension = defaultExtension;
    return request;
}

QString OpenFileRequester(const QString& title, const QString& initialFile,
                          const QString& filterPattern, int32_t filterIndex, QWidget* owner,
                          const QString& defaultExtension, int32_t flags)
{
    App().openedPaths.clear();
    FileDialogRequest request =
        MakeRequest(title, initialFile, filterPattern, filterIndex, defaultExtension,
                    (flags & RequesterDefaultTitle) != 0, OpenInitialFileLimit);
    request.multiSelect = (flags & RequesterMultiSelect) != 0;
    request.mustExist = (flags & RequesterMustExist) != 0;
    const QStringList chosen = RunOpenDialog(owner, request);
    for (const QString& path : chosen)
        if (!path.isEmpty()) App().openedPaths.append(path);
    return App().openedPaths.isEmpty() ? QString() : App().openedPaths.first();
}

QString SaveFileRequester(const QString& title, const QString& initialFile,
                          const QString& filterPattern, int32_t filterIndex, QWidget* owner,
                          const QString& defaultExtension, int32_t flags)
{
    FileDialogRequest request =
        MakeRequest(title, initialFile, filterPattern, filterIndex, defaultExtension,
                    (flags & RequesterDefaultTitle) != 0, SaveInitialFileLimit);
    request.overwritePrompt = (flags & RequesterOverwritePrompt) != 0;
    return RunSaveDialog(owner, request);
}
