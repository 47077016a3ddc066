// SPDX-License-Identifier: GPL-3.0-or-later
// What the PNG, CSV and RAW exports keep of what they replace: the old file on a full
// disk or when a signal ends the save, the mode, ACL and attributes of a replaced file,
// and, written as an unprivileged user, a file's links, owner and folder, a FIFO, a device.
#include "output/csv_export.h"
#include "output/png_export.h"
#include "output/raw_export.h"
#include "output/text_file.h"

#include "output/csv_test_captures.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>

namespace {

struct Writer {
    const char* name;
    std::function<bool(const QString&)> run;
};

// Each writes more than the 4 KiB and the nothing that the disk-full cases leave, the PNG
// less than a write buffer: its only write that fails can be the last one.
std::vector<Writer> Writers()
{
    static const Capture capture = MakeExportCapture(20000, 0.001, true);
    static const QImage noise = [] {
        QImage image(64, 64, QImage::Format_RGB32);
        std::mt19937 random(3);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, random() | 0xFF000000u);
        return image;
    }();
    const QDateTime time(QDate(2026, 12, 7), QTime(21, 52, 6));
    return {
        {"png", [](const QString& path) { return WritePng(noise, path); }},
        {"csv", [](const QString& path) { return ExportCsv(capture, path); }},
        {"raw", [time](const QString& path) { return ExportRawAt(capture, path, time); }},
    };
}

constexpr uid_t Nobody = 65534;

struct stat StatOf(const QString& path)
{
    struct stat status {};
    if (stat(QFile::encodeName(path).constData(), &status) != 0) status.st_ino = 0;
    return status;
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot |
                                  QDir::Hidden);
}

// Runs `write` in a child process, as user nobody when this runs as root, with the signal
// for an oversized file ignored so that the write itself fails. `drain`, when open, is read
// until the child has ended. The child's verdict: 0 written, 1 failed, else it broke.
int RunInChild(const std::function<bool()>& write, bool unprivileged, rlim_t fileLimit = 0,
               int drain = -1, std::string* drained = nullptr)
{
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileLimit, fileLimit};
        if (fileLimit != 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        if (unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0))
            _exit(4);
        _exit(write() ? 0 : 1);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int status = 0; std::chrono::steady_clock::now() < deadline;) {
        const bool ended = waitpid(child, &status, WNOHANG) == child;
        pollfd ready{drain, POLLIN, 0};
        poll(&ready, drain >= 0 ? 1 : 0, 20);
        char buffer[65536];
        for (ssize_t count; drain >= 0 && (count = read(drain, buffer, sizeof buffer)) > 0;)
            drained->append(buffer, static_cast<size_t>(count));
        if (ended) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

TEST(SafeWrite, FullDiskKeepsTheOldFileIntact)
{
    const std::string old = "the previous export\r\n";
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("capture.out"));
        ASSERT_TRUE(WriteFileBytes(path, old));
        EXPECT_EQ(RunInChild([&] { return writer.run(path); }, false, 4096), 1)
            << "a failed write reported success";
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("capture.out")});
    }

    // A real file system that runs out of space, for the last write or the sync to notice.
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const QString path = dir.filePath(QStringLiteral("old.out"));
    EXPECT_TRUE(WriteFileBytes(path, old));
    {
        QFile filler(dir.filePath(QStringLiteral("filler")));
        EXPECT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        EXPECT_FALSE(writer.run(path));
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(Entries(dir.path()),
                  (QStringList{QStringLiteral("filler"), QStringLiteral("old.out")}));
    }
    umount2(mountPoint.constData(), MNT_DETACH);

    // No inode left for the temporary file: the save fails, it does not write in place.
    ASSERT_EQ(mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m,nr_inodes=2"), 0);
    EXPECT_TRUE(WriteFileBytes(path, old));
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        EXPECT_FALSE(writer.run(path));
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("old.out")});
    }
    umount2(mountPoint.constData(), MNT_DETACH);
}

std::string Attribute(const QString& path, const char* name)
{
    char value[512];
    const ssize_t size = getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return size < 0 ? std::string("(none)") : std::string(value, static_cast<size_t>(size));
}

// A replaced file keeps its mode, ACL and extended attributes, also under the longest name
// a folder can hold; the saving user is nobody when this runs as root.
TEST(SafeWrite, ReplacementKeepsModeAclAndAttributes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const bool root = geteuid() == 0;
    const uid_t user = root ? Nobody : geteuid();
    const gid_t group = root ? Nobody : getegid();
    ASSERT_EQ(chown(QFile::encodeName(dir.path()).constData(), user, group), 0);
    for (const Writer& writer : Writers()) {
        for (const int nameLength : {5, 255}) {
            SCOPED_TRACE(testing::Message() << writer.name << ", name of " << nameLength);
            const QString path = dir.filePath(QString(nameLength, u'n'));
            const QByteArray name = QFile::encodeName(path);
            ASSERT_TRUE(WriteFileBytes(path, "old"));
            ASSERT_EQ(chown(name.constData(), user, group), 0);
            ASSERT_EQ(chmod(name.constData(), 0640), 0);
            if (std::system(("setfacl -m u:12345:rw " + name).constData()) != 0 ||
                setxattr(name.constData(), "user.origin", "scope", 5, 0) != 0)
                GTEST_SKIP() << "no ACLs or user attributes here (setfacl, "
                             << dir.path().toStdString() << ")";
            const std::string acl = Attribute(path, "system.posix_acl_access");
            const struct stat before = StatOf(path);
            EXPECT_EQ(RunInChild([&] { return writer.run(path); }, true), 0);
            const struct stat after = StatOf(path);
            EXPECT_NE(after.st_ino, before.st_ino) << "written in place, not replaced";
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_uid, before.st_uid);
            EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl);
            EXPECT_EQ(Attribute(path, "user.origin"), "scope");
            EXPECT_NE(ReadFileBytes(path), "old");
            EXPECT_EQ(Entries(dir.path()).size(), 1);
            QFile::remove(path);
        }
    }

    // A file without an ACL in a folder with a default ACL gets none from the folder.
    const QString path = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(WriteFileBytes(path, "old"));
    ASSERT_EQ(chown(QFile::encodeName(path).constData(), user, group), 0);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_EQ(
        std::system(("setfacl -d -m u:12345:rw " + QFile::encodeName(dir.path())).constData()), 0);
    const struct stat before = StatOf(path);
    EXPECT_EQ(RunInChild([&] { return Writers()[1].run(path); }, true), 0);
    EXPECT_NE(StatOf(path).st_ino, before.st_ino);
    EXPECT_EQ(StatOf(path).st_mode, before.st_mode);
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), "(none)");
}

// SIGINT, SIGTERM and SIGHUP in the middle of a save end the process as they would, with
// the old file intact and no temporary file beside it; a signal ignored from the start
// (nohup) stays ignored and the save completes.
TEST(SafeWrite, SignalsRemoveTheTemporaryFile)
{
    const struct {
        int signal;
        bool ignored;
    } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << strsignal(c.signal) << (c.ignored ? " ignored" : ""));
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("t.csv"));
        ASSERT_TRUE(WriteFileBytes(path, "old"));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (c.ignored) std::signal(c.signal, SIG_IGN);
            RemoveUnfinishedSavesOnSignals();
            ExportFile file;
            if (!OpenExportFile(file, path)) _exit(2);
            file.pending = "new";
            FlushExportFile(file);
            raise(c.signal);
            _exit(CommitExportFile(file) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (c.ignored) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            EXPECT_EQ(ReadFileBytes(path), "new");
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal);
            EXPECT_EQ(ReadFileBytes(path), "old");
        }
        EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("t.csv")});
    }
}

// Each target is written where it is: the same file (its links, owner and kind kept) in
// the same folder, with nothing left beside it.
TEST(SafeWrite, UnprivilegedTargetsKeepWhatTheyAre)
{
    const bool root = geteuid() == 0;
    const uid_t user = root ? Nobody : geteuid(); // who saves
    const gid_t group = root ? Nobody : getegid();
    auto file = [](const QString& path, uid_t owner, gid_t ownerGroup) {
        EXPECT_TRUE(WriteFileBytes(path, "old"));
        EXPECT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);
        EXPECT_EQ(chown(QFile::encodeName(path).constData(), owner, ownerGroup), 0);
    };
    struct Case {
        const char* name;
        bool needsRoot;
        mode_t folderMode;
        std::function<void(const QString& target)> make; // null: /dev/null
    } const cases[] = {
        {"writable file in a folder the user may not write", false, 0555,
         [&](const QString& target) { file(target, user, group); }},
        {"file with a second hard link", false, 0777,
         [&](const QString& target) {
             file(target, user, group);
             EXPECT_EQ(link(QFile::encodeName(target).constData(),
                            QFile::encodeName(target + u'2').constData()),
                       0);
         }},
        {"another user's writable file in a shared folder", true, 01777,
         [&](const QString& target) { file(target, 0, 0); }},
        {"FIFO with a reader", false, 0777,
         [](const QString& target) {
             EXPECT_EQ(mkfifo(QFile::encodeName(target).constData(), 0666), 0);
             EXPECT_EQ(chmod(QFile::encodeName(target).constData(), 0666), 0);
         }},
        {"device", false, 0755, nullptr},
    };

    for (const Writer& writer : Writers()) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_TRUE(writer.run(dir.filePath(QStringLiteral("reference"))));
        const std::string expected = ReadFileBytes(dir.filePath(QStringLiteral("reference")));
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << writer.name << ": " << c.name);
            if (c.needsRoot && !root) {
                std::printf("skipped (making another user's file needs root): %s\n", c.name);
                continue;
            }
            const QString folder = dir.filePath(QString::fromLatin1(c.name));
            ASSERT_TRUE(QDir().mkdir(folder));
            const QString target =
                c.make ? folder + QStringLiteral("/t") : QStringLiteral("/dev/null");
            if (c.make) c.make(target);
            const QStringList entries = Entries(folder);
            ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), c.folderMode), 0);
            const struct stat before = StatOf(target);
            const bool fifo = S_ISFIFO(before.st_mode);
            const int drain =
                fifo ? open(QFile::encodeName(target).constData(), O_RDONLY | O_NONBLOCK) : -1;
            std::string drained;
            EXPECT_EQ(RunInChild([&] { return writer.run(target); }, true, 0, drain, &drained), 0);
            if (fifo) close(drain);
            const struct stat after = StatOf(target);
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_uid, before.st_uid);
            EXPECT_EQ(after.st_gid, before.st_gid);
            EXPECT_EQ(after.st_mode, before.st_mode);
            if (c.make) {
                EXPECT_EQ(fifo ? drained : ReadFileBytes(target), expected);
            }
            EXPECT_EQ(Entries(folder), entries);
            chmod(QFile::encodeName(folder).constData(), 0755);
        }
    }
}

} // namespace
