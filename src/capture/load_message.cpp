// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/sav_reader.h"

#include "capture/file_name.h"
#include "text/format_text.h"

// Kept apart from the parser so that it links without the text module (the fuzz build).
QString LoadMessage(int32_t resultCode, const QString& path)
{
    const char16_t* templateText = nullptr;
    switch (resultCode) {
    case ReadCannotOpen:
        templateText = u"Die Datei \"{0}\" kann nicht geöffnet werden!";
        break;
    case ReadUnknownModel:
        templateText = u"Datei \"{0}\": Unbekanntes Format!";
        break;
    case ReadNoMemory:
        templateText = u"Datei \"{0}\": Speicher für Kanal-Daten konnte nicht reserviert werden!";
        break;
    case ReadInvalidValues:
        templateText = u"Datei \"{0}\": Unzulässige Werte gefunden!";
        break;
    default:
        return QString();
    }
    // Bytes of the name that are not text are shown, not dropped or garbled.
    const QString visible = VisibleFileName(path);
    return FormatText(QStringView(templateText), KindText, &visible);
}
