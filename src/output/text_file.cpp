#include "output/text_file.h"

#include <QSaveFile>

bool WriteFileReplacing(const QString& path, const std::string& bytes)
{
    // No direct-write fallback: where no temporary file can be made next to the target,
    // the export fails rather than overwrite the target in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const qint64 size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit(); // flushes, syncs and renames; false on any earlier write error
}
