// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/text_file.h"

#include "capture/file_name.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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
    int signalSlot = -1;      // WriteReplace: its entry in the names removed on a signal
};

namespace {

// The temporary files of saves in progress, for a signal handler to remove: fixed storage
// and atomic states, since a handler may neither allocate nor take a lock. A save that
// finds no free entry (more than SignalSlots at once) is still made, only not cleaned up.
constexpr int SignalSlots = 16;
enum : int { SlotFree = 0, SlotFilling = 1, SlotReady = 2 };
struct SignalEntry {
    std::atomic<int> state{SlotFree};
    char name[4096];
};
SignalEntry signalEntries[SignalSlots];

int RegisterTemporaryName(const QByteArray& name)
{
    if (static_cast<size_t>(name.size()) >= sizeof signalEntries[0].name) return -1;
    for (int slot = 0; slot < SignalSlots; ++slot) {
        int expected = SlotFree;
        if (!signalEntries[slot].state.compare_exchange_strong(expected, SlotFilling)) continue;
        std::memcpy(signalEntries[slot].name, name.constData(), name.size() + 1);
        signalEntries[slot].state.store(SlotReady);
        return slot;
    }
    return -1;
}

void ReleaseTemporaryName(int slot)
{
    if (slot >= 0) signalEntries[slot].state.store(SlotFree);
}

extern "C" void RemoveTemporaryFilesAndEnd(int signalNumber)
{
    const int savedErrno = errno;
    for (SignalEntry& entry : signalEntries) {
        if (entry.state.load() == SlotReady) ::unlink(entry.name);
    }
    // Ended as the signal would have ended the process: the caller sees the signal.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
    errno = savedErrno;
}

} // namespace

void RemoveUnfinishedSavesOnSignals()
{
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        // A signal the process was started to ignore (nohup) stays ignored.
        if (sigaction(signalNumber, nullptr, &action) != 0 || action.sa_handler == SIG_IGN)
            continue;
        action = {};
        action.sa_handler = RemoveTemporaryFilesAndEnd;
        sigemptyset(&action.sa_mask);
        for (const int other : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&action.sa_mask, other);
        sigaction(signalNumber, &action, nullptr);
    }
}

void ExportTargetCloser::operator()(ExportTarget* target) const
{
    if (target->descriptor >= 0 && target->mode != WriteDescriptor) ::close(target->descriptor);
    if (!target->temporaryName.isEmpty()) ::unlink(target->temporaryName.constData());
    ReleaseTemporaryName(target->signalSlot);
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

// How a replacement could be opened.
enum ReplacementResult {
    ReplacementOpened,
    ReplacementNotCreated,  // no temporary file could be made: the save fails
    ReplacementNotFaithful, // made, but without the old file's group or attributes
};

// The extended attributes of a file (its ACL among them), name by name: one list of
// NUL-terminated names, read by `list` (listxattr or flistxattr).
template <typename List>
bool AttributeNames(List list, std::string& names)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = list(nullptr, 0);
        if (size < 0) return errno == ENOTSUP; // a file system without attributes has none
        names.resize(static_cast<size_t>(size));
        const ssize_t got = list(names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            return true;
        }
        if (errno != ERANGE) return false;
    }
    return false;
}

template <typename Get>
bool AttributeValue(Get get, const char* name, std::string& value)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = get(name, nullptr, 0);
        if (size < 0) return false;
        value.resize(static_cast<size_t>(size));
        const ssize_t got = get(name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<size_t>(got));
            return true;
        }
        if (errno != ERANGE) return false;
    }
    return false;
}

bool ContainsName(const std::string& names, const char* name)
{
    for (size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        if (std::strcmp(names.data() + at, name) == 0) return true;
    }
    return false;
}

// Gives the new file exactly the extended attributes of the old one. An ACL is one of them
// ("system.posix_acl_access", in the kernel's own format), so within one file system it is
// copied byte for byte, and its mask stays the mode's group bits, as the old file's is.
// The security label is the system's to give a new file; any other attribute that cannot
// be set or removed makes the replacement unfaithful.
bool CopyAttributes(const QByteArray& oldName, int descriptor)
{
    const char* path = oldName.constData();
    std::string oldNames;
    std::string newNames;
    if (!AttributeNames([&](char* list, size_t size) { return listxattr(path, list, size); },
                        oldNames) ||
        !AttributeNames([&](char* list, size_t size) { return flistxattr(descriptor, list, size); },
                        newNames))
        return false;
    const auto labelOnly = [](const char* name) {
        return std::strcmp(name, "security.selinux") == 0;
    };
    // What the new file got by itself (a folder's default ACL) but the old one lacks.
    for (size_t at = 0; at < newNames.size(); at += std::strlen(newNames.data() + at) + 1) {
        const char* name = newNames.data() + at;
        if (!ContainsName(oldNames, name) && fremovexattr(descriptor, name) != 0 &&
            !labelOnly(name))
            return false;
    }
    std::string oldValue;
    std::string newValue;
    for (size_t at = 0; at < oldNames.size(); at += std::strlen(oldNames.data() + at) + 1) {
        const char* name = oldNames.data() + at;
        if (!AttributeValue(
                [&](const char* n, char* v, size_t size) { return getxattr(path, n, v, size); },
                name, oldValue))
            return false;
        if (AttributeValue([&](const char* n, char* v,
                               size_t size) { return fgetxattr(descriptor, n, v, size); },
                           name, newValue) &&
            newValue == oldValue)
            continue;
        if (fsetxattr(descriptor, name, oldValue.data(), oldValue.size(), 0) != 0 &&
            !labelOnly(name))
            return false;
    }
    return true;
}

// The group a file created in `folder` gets, and whether it inherits a default ACL there.
gid_t NewFileGroup(const QByteArray& folder, bool& defaultAcl)
{
    struct stat status {};
    defaultAcl = getxattr(folder.constData(), "system.posix_acl_default", nullptr, 0) > 0;
    if (stat(folder.constData(), &status) == 0 && (status.st_mode & S_ISGID) != 0)
        return status.st_gid;
    return getegid();
}

// A new file beside `finalName` under a short name of its own (a name of 255 bytes leaves
// no room for a suffix), with the old file's permissions, group and extended attributes
// when there is one (a new target gets the usual 0666 less the umask from the kernel).
// The permissions are those of the open call itself, never wider than the old file's at
// any moment: where the new file starts in another group, or a default ACL of the folder
// would hand the group bits to named users, it starts with the owner's bits only.
ReplacementResult OpenReplacement(ExportTarget& target, const QByteArray& finalName,
                                  const struct stat* old)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray folder = FolderOf(finalName);
    // Set-user and set-group bits are not carried over to new contents.
    mode_t mode = 0666;
    if (old != nullptr) {
        mode = old->st_mode & 0777;
        bool defaultAcl = false;
        if (NewFileGroup(folder, defaultAcl) != old->st_gid || defaultAcl) mode &= 0707;
    }
    QByteArray temporaryName;
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporaryName = folder + "/.kurvex-";
        for (int k = 0; k < 6; ++k)
            temporaryName += letters[QRandomGenerator::global()->bounded(62)];
        descriptor = ::open(temporaryName.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (descriptor < 0 && errno != EEXIST) return ReplacementNotCreated;
    }
    if (descriptor < 0) return ReplacementNotCreated;
    target.descriptor = descriptor;
    target.temporaryName = temporaryName;
    target.finalName = finalName;
    target.mode = WriteReplace;
    target.signalSlot = RegisterTemporaryName(temporaryName);
    if (old == nullptr) return ReplacementOpened;
    struct stat created {};
    // The ACL before the full mode: a default ACL's named entries, inherited from the
    // folder, would otherwise get the group bits until the old ACL replaces them.
    const bool kept = fstat(descriptor, &created) == 0 &&
                      (created.st_gid == old->st_gid || fchown(descriptor, -1, old->st_gid) == 0) &&
                      CopyAttributes(finalName, descriptor) &&
                      fchmod(descriptor, old->st_mode & 0777) == 0;
    if (kept) return ReplacementOpened;
    ::close(descriptor);
    ::unlink(temporaryName.constData());
    ReleaseTemporaryName(target.signalSlot);
    target = ExportTarget{};
    return ReplacementNotFaithful;
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
        // A new file: made whole under its temporary name, or not at all.
        return OpenReplacement(target, name, nullptr) == ReplacementOpened;
    }
    if (S_ISDIR(status.st_mode)) return false;
    if (!S_ISREG(status.st_mode)) return OpenDirect(target, name);
    QByteArray finalName;
    if (!ReplacementKeepsTheFile(name, status, finalName)) return OpenInPlace(target, name);
    // No room for a temporary file (a full disk, no free inodes) is a failed save: writing
    // in place instead would destroy the old contents that the save cannot replace.
    switch (OpenReplacement(target, finalName, &status)) {
    case ReplacementOpened:
        return true;
    case ReplacementNotCreated:
        return false;
    case ReplacementNotFaithful:
        break;
    }
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
            ReleaseTemporaryName(target.signalSlot);
            target.signalSlot = -1;
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
