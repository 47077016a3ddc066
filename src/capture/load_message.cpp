// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/sav_reader.h"

#include "capture/file_name.h"
#include "text/format_text.h"

#include <QCoreApplication>

namespace {

// The context of these texts in the translations.
struct LoadMessages {
    Q_DECLARE_TR_FUNCTIONS(LoadMessages)
};

} // namespace

// Kept apart from the parser so that it links without the text module (the fuzz build).
QString LoadMessage(int32_t resultCode, const QString& path)
{
    const char* templateText = nullptr;
    switch (resultCode) {
    case ReadCannotOpen:
        templateText =
            QT_TRANSLATE_NOOP("LoadMessages", "Die Datei \"{0}\" kann nicht geöffnet werden!");
        break;
    case ReadUnknownModel:
        templateText = QT_TRANSLATE_NOOP("LoadMessages", "Datei \"{0}\": Unbekanntes Format!");
        break;
    case ReadNoMemory:
        templateText = QT_TRANSLATE_NOOP(
            "LoadMessages",
            "Datei \"{0}\": Speicher für Kanal-Daten konnte nicht reserviert werden!");
        break;
    case ReadInvalidValues:
        templateText =
            QT_TRANSLATE_NOOP("LoadMessages", "Datei \"{0}\": Unzulässige Werte gefunden!");
        break;
    default:
        return QString();
    }
    // Bytes of the name that are not text are shown, not dropped or garbled.
    const QString visible = VisibleFileName(path);
    return FormatText(LoadMessages::tr(templateText), KindText, &visible);
}
