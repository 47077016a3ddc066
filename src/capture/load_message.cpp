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
    return FormatText(LoadMessages::tr(templateText), visible);
}

QString IncompleteMessage(const Capture& capture)
{
    QString channels;
    for (int32_t slot = SlotCh1; slot <= SlotCh2; ++slot) {
        if (capture.present[slot] != 1 || capture.missing[slot] <= 0) continue;
        const int32_t number = slot + 1;
        if (!channels.isEmpty()) channels += QStringLiteral(", ");
        channels += FormatText(u"Kanal {0}: {1} von {2}", number, capture.missing[slot],
                               capture.samplesPerChannel);
    }
    if (channels.isEmpty()) return QString();
    const QString visible = VisibleFileName(capture.filePath);
    return FormatText(u"Datei \"{0}\" ist unvollständig, es fehlen Abtastwerte ({1}). "
                      u"Nur die vorhandenen werden angezeigt, gemessen und exportiert.",
                      visible, channels);
}
