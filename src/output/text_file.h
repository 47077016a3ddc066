// SPDX-License-Identifier: GPL-3.0-or-later
// Writing an export file safely. An ordinary file of the user's, in a folder the user may
// write, is replaced all or nothing: the bytes go to a temporary file beside it, which
// takes the target's place only once every byte was written and is on disk, so a failure
// leaves the old file as it was. Where such a replacement would break what it replaces (a
// second hard link, another owner, a folder the user may not write, a FIFO or a device),
// the target is written in place, as a plain create-and-replace would; so it is where the
// old file's group or extended attributes (an ACL) cannot be given to the new one. No room
// for the temporary file is a failure, never a reason to overwrite the old contents. Every
// failed create or write, the last one and the sync included, makes the export fail.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <string>

// The open target and how it is finished; closing it discards an unfinished replacement.
struct ExportTarget;
struct ExportTargetCloser {
    void operator()(ExportTarget* target) const;
};

// One export in progress. Fill `pending` and call FlushExportFile whenever it has grown
// past ExportChunkBytes; CommitExportFile writes the rest and puts the file in place.
struct ExportFile {
    std::unique_ptr<ExportTarget, ExportTargetCloser> file; // null when it could not be created
    std::string pending;
    int64_t written;
    bool failed;
};

constexpr size_t ExportChunkBytes = 256 * 1024;

// Standard output as a target: the descriptor the process already has, written as it is (a
// pipe, a terminal, a file opened for appending), never replaced or closed. "/dev/stderr"
// and "/dev/fd/N" name their descriptors the same way.
inline constexpr char16_t StandardOutputPath[] = u"/dev/stdout";

// Decides how the target is written and opens it. False when it cannot be created (missing
// directory, no permission, a directory in the way); nothing has been written then.
bool OpenExportFile(ExportFile& exportFile, const QString& path);

// Writes `pending` and empties it. Errors are remembered for the commit.
void FlushExportFile(ExportFile& exportFile);

// Writes the rest and finishes the file. True only if every byte was written and, for a
// file, synced; a replacement then takes the target's place. On false an existing ordinary
// file of the user's is left as it was (a target written in place holds what was written).
bool CommitExportFile(ExportFile& exportFile);

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of saves in progress before
// they end the process as they would have (a signal ignored at start stays ignored). Call
// once, early in main, in every program that saves.
void RemoveUnfinishedSavesOnSignals();
