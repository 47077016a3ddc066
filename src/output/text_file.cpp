// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/text_file.h"

#include "capture/file_name.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// How a target is written, decided before anything is opened.
enum WriteMode {
    WriteReplace,    // a temporary file beside the target, renamed over it at the end
    WriteInPlace,    // the existing regular file truncated and written
    WriteDirect,     // a FIFO or device: opened and written, nothing created or truncated
    WriteDescriptor, // a descriptor the process already has (standard output)
};

struct ExportTarget {
    int descriptor = -1;
    WriteMode mode = WriteReplace;
    QByteArray temporaryName; // WriteReplace: removed unless it was renamed into place
    QByteArray finalName;     // WriteReplace: the target with its symbolic links resolved
};

void ExportTargetCloser::operator()(ExportTarget* target) const
{
    if (target->descriptor >= 0 && target->mode != WriteDescriptor) ::close(target->descriptor);
    if (!target->temporaryName.isEmpty()) ::unlink(target->temporaryName.constData());
    delete target;
}

namespace {

using TargetPointer = std::unique_ptr<ExportTarget, ExportTargetCloser>;

// "/dev/stdout", "/dev/stderr" and "/dev/fd/N" as the descriptors they name: opening them
// anew would truncate a file that the shell opened for appending, or fail for a socket.
// -1 for every other name.
int NamedDescriptor(const QByteArray& name)
{
    if (name == "/dev/stdout") return STDOUT_FILENO;
    if (name == "/dev/stderr") return STDERR_FILENO;
    if (!name.startsWith("/dev/fd/") || name.size() == 8 || name.size() > 16) return -1;
    int descriptor = 0;
    for (qsizetype i = 8; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        descriptor = descriptor * 10 + (name[i] - '0');
    }
    return descriptor;
}

bool OpenDescriptor(ExportTarget& target, int descriptor)
{
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return false;
    // What the program printed through stdio so far goes first.
    if (descriptor == STDOUT_FILENO) std::fflush(stdout);
    if (descriptor == STDERR_FILENO) std::fflush(stderr);
    target.descriptor = descriptor;
    target.mode = WriteDescriptor;
    return true;
}

QByteArray FolderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    if (slash == 0) return QByteArrayLiteral("/");
    return name.left(slash);
}

// The replacement keeps everything about the file that others rely on: its one name, its
// owner, and the folder's say over it. Otherwise the file is written in place.
bool ReplacementKeepsTheFile(const QByteArray& name, const struct stat& status,
                             QByteArray& finalName)
{
    if (status.st_nlink != 1 || status.st_uid != geteuid()) return false;
    // A file the user may not write is not replaced either: a plain create would fail.
    if (faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0) return false;
    // A symbolic link stays a link: the file it points to is replaced.
    char* resolved = realpath(name.constData(), nullptr);
    if (resolved == nullptr) return false;
    finalName = QByteArray(resolved);
    std::free(resolved);
    return faccessat(AT_FDCWD, FolderOf(finalName).constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

// A new file beside `finalName`, with the old file's permissions and group when there is
// one (a new target gets the usual 0666 less the umask from the kernel).
bool OpenReplacement(ExportTarget& target, const QByteArray& finalName, const struct stat* old)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temporaryName;
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporaryName = finalName + '.';
        for (int k = 0; k < 6; ++k)
            temporaryName += letters[QRandomGenerator::global()->bounded(62)];
        descriptor = ::open(temporaryName.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (descriptor < 0 && errno != EEXIST) return false;
    }
    if (descriptor < 0) return false;
    target.descriptor = descriptor;
    target.temporaryName = temporaryName;
    target.finalName = finalName;
    target.mode = WriteReplace;
    if (old == nullptr) return true;
    struct stat created {};
    // Set-user and set-group bits are not carried over to new contents.
    const bool kept = fchmod(descriptor, old->st_mode & 01777) == 0 &&
                      fstat(descriptor, &created) == 0 &&
                      (created.st_gid == old->st_gid || fchown(descriptor, -1, old->st_gid) == 0);
    if (kept) return true;
    ::close(descriptor);
    ::unlink(temporaryName.constData());
    target = ExportTarget{};
    return false;
}

bool OpenInPlace(ExportTarget& target, const QByteArray& name)
{
    target.descriptor =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    target.mode = WriteInPlace;
    return target.descriptor >= 0;
}

bool OpenDirect(ExportTarget& target, const QByteArray& name)
{
    target.descriptor = ::open(name.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    target.mode = WriteDirect;
    return target.descriptor >= 0;
}

bool OpenByName(ExportTarget& target, const QByteArray& name)
{
    struct stat status {};
    if (stat(name.constData(), &status) != 0) {
        if (errno != ENOENT) return false;
        // A symbolic link to nothing yet: the file is created where it points.
        struct stat link {};
        if (lstat(name.constData(), &link) == 0) return OpenInPlace(target, name);
        // A new file. Where no temporary file can be made beside it, creating the file
        // itself is tried as well, so that the failure is the target's own.
        return OpenReplacement(target, name, nullptr) || OpenInPlace(target, name);
    }
    if (S_ISDIR(status.st_mode)) return false;
    if (!S_ISREG(status.st_mode)) return OpenDirect(target, name);
    QByteArray finalName;
    if (ReplacementKeepsTheFile(name, status, finalName) &&
        OpenReplacement(target, finalName, &status))
        return true;
    return OpenInPlace(target, name);
}

bool WriteAll(int descriptor, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t count = ::write(descriptor, data, size);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        data += count;
        size -= static_cast<size_t>(count);
    }
    return true;
}

// A file system that cannot sync at all is no failure; one that fails to is.
bool SyncFile(int descriptor)
{
    if (fsync(descriptor) == 0) return true;
    return errno == EINVAL || errno == EROFS || errno == ENOTSUP || errno == ENOSYS;
}

bool CloseFile(int descriptor)
{
    // On Linux the descriptor is gone even when close is interrupted.
    return ::close(descriptor) == 0 || errno == EINTR;
}

// The rename is on disk only once the folder is: best effort, the file itself is complete.
void SyncFolder(const QByteArray& name)
{
    const int folder = ::open(FolderOf(name).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    fsync(folder);
    ::close(folder);
}

} // namespace

bool OpenExportFile(ExportFile& exportFile, const QString& path)
{
    exportFile = ExportFile{};
    const QByteArray name = EncodeFileName(path);
    if (name.isEmpty() || name.contains('\0')) return false;
    TargetPointer target(new ExportTarget{});
    const int descriptor = NamedDescriptor(name);
    const bool opened =
        descriptor >= 0 ? OpenDescriptor(*target, descriptor) : OpenByName(*target, name);
    if (!opened) return false;
    exportFile.file = std::move(target);
    exportFile.pending.reserve(ExportChunkBytes + 4096);
    return true;
}

void FlushExportFile(ExportFile& exportFile)
{
    if (!exportFile.file || exportFile.pending.empty()) return;
    const ExportTarget& target = *exportFile.file;
    const size_t size = exportFile.pending.size();
    if (!exportFile.failed &&
        !WriteAll(target.descriptor, exportFile.pending.data(), exportFile.pending.size()))
        exportFile.failed = true;
#ifdef __linux__
    // Start writing this chunk to the disk now, while the next one is formatted, so that
    // the sync in the commit finds little left to wait for.
    if (!exportFile.failed && (target.mode == WriteReplace || target.mode == WriteInPlace))
        sync_file_range(target.descriptor, exportFile.written, static_cast<off_t>(size),
                        SYNC_FILE_RANGE_WRITE);
#endif
    exportFile.written += static_cast<int64_t>(size);
    exportFile.pending.clear();
}

bool CommitExportFile(ExportFile& exportFile)
{
    if (!exportFile.file) return false;
    FlushExportFile(exportFile);
    ExportTarget& target = *exportFile.file;
    bool ok = !exportFile.failed;
    switch (target.mode) {
    case WriteReplace:
        ok = ok && SyncFile(target.descriptor);
        ok = CloseFile(target.descriptor) && ok;
        target.descriptor = -1;
        // Only a complete file is renamed into place; otherwise the closer removes it.
        if (ok) ok = ::rename(target.temporaryName.constData(), target.finalName.constData()) == 0;
        if (ok) {
            target.temporaryName.clear();
            SyncFolder(target.finalName);
        }
        break;
    case WriteInPlace:
        ok = ok && SyncFile(target.descriptor);
        [[fallthrough]];
    case WriteDirect:
        ok = CloseFile(target.descriptor) && ok;
        target.descriptor = -1;
        break;
    case WriteDescriptor:
        break;
    }
    exportFile.file.reset();
    return ok;
}
