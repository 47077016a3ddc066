// Writing an export file all or nothing: the bytes go to a temporary file next to the
// target, which replaces the target only once everything was written and is on disk.
#pragma once

#include <QSaveFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

// One export in progress. Fill `pending` and call FlushExportFile whenever it has grown
// past ExportChunkBytes; CommitExportFile writes the rest and puts the file in place.
struct ExportFile {
    std::unique_ptr<QSaveFile> file; // null when the file could not be created
    std::string pending;
    int64_t written;
    bool failed;
};

constexpr size_t ExportChunkBytes = 256 * 1024;

// False when no temporary file can be created next to `path` (missing directory, no
// permission); nothing has been written then.
bool OpenExportFile(ExportFile& exportFile, const QString& path);

// Writes `pending` and empties it. Errors are remembered for the commit.
void FlushExportFile(ExportFile& exportFile);

// Writes the rest, and replaces the target only if every byte was written (a full disk, a
// directory as target: false, and an existing file at the path is left as it was). The
// temporary file never outlives the ExportFile.
bool CommitExportFile(ExportFile& exportFile);
