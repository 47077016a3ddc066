// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/translation.h"

#include <QString>
#include <QTranslator>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The name of the one translator of ours that the application owns, so that a second call
// replaces it instead of stacking another.
const QString TranslatorName = u"kurvex-translation"_s;

void RemoveTranslation(QCoreApplication& app)
{
    auto* installed = app.findChild<QTranslator*>(TranslatorName, Qt::FindDirectChildrenOnly);
    if (installed == nullptr) return;
    QCoreApplication::removeTranslator(installed);
    delete installed;
}

} // namespace

bool InstallTranslation(QCoreApplication& app, QStringView language)
{
    if (language == u"de") {
        RemoveTranslation(app);
        return true;
    }
    if (language != u"en") return false;
    auto translator = std::make_unique<QTranslator>();
    // Built in (src/CMakeLists.txt): a failed load means a broken build, not a missing file.
    if (!translator->load(u":/i18n/kurvex_en.qm"_s)) return false;
    RemoveTranslation(app);
    translator->setObjectName(TranslatorName);
    translator->setParent(&app);
    QCoreApplication::installTranslator(translator.release());
    return true;
}
