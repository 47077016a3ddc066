#include "output/text_file.h"

#include <fcntl.h>

bool OpenExportFile(ExportFile& exportFile, const QString& path)
{
    exportFile = ExportFile{};
    exportFile.file = std::make_unique<QSaveFile>(path);
    // No direct-write fallback: where no temporary file can be made next to the target,
    // the export fails rather than overwrite the target in place. Unbuffered, because the
    // chunks are large already and go straight to the descriptor.
    if (!exportFile.file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        exportFile.file.reset();
        return false;
    }
    exportFile.pending.reserve(ExportChunkBytes + 4096);
    return true;
}

void FlushExportFile(ExportFile& exportFile)
{
    if (!exportFile.file || exportFile.pending.empty()) return;
    const auto size = static_cast<qint64>(exportFile.pending.size());
    if (!exportFile.failed && exportFile.file->write(exportFile.pending.data(), size) != size)
        exportFile.failed = true;
#ifdef __linux__
    // Start writing this chunk to the disk now, while the next one is formatted, so that
    // the sync in the commit finds little left to wait for.
    if (!exportFile.failed)
        sync_file_range(exportFile.file->handle(), exportFile.written, size, SYNC_FILE_RANGE_WRITE);
#endif
    exportFile.written += size;
    exportFile.pending.clear();
}

bool CommitExportFile(ExportFile& exportFile)
{
    if (!exportFile.file) return false;
    FlushExportFile(exportFile);
    bool ok = false;
    if (exportFile.failed)
        exportFile.file->cancelWriting();
    else
        ok = exportFile.file->commit(); // syncs and renames; false on any write error
    exportFile.file.reset();
    return ok;
}
