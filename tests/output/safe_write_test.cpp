// SPDX-License-Identifier: GPL-3.0-or-later
// What the PNG, CSV and RAW exports keep of what they replace: the old file on a full
// disk, and, written as an unprivileged user, a file's links, owner and folder, a FIFO, a
// device.
#include "output/csv_export.h"
#include "output/png_export.h"
#include "output/raw_export.h"

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
