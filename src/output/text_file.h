// Writing an export file all or nothing: the bytes go to a temporary file next to the
// target, which replaces the target only once everything was written.
#pragma once

#include <QString>

#include <string>

// True when all bytes reached the disk under `path`. On any failure (the directory is
// missing, the target is a directory, the disk is full) an existing file at `path` is left
// as it was and no temporary file remains.
bool WriteFileReplacing(const QString& path, const std::string& bytes);
