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
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (drain >= 0) {
            pollfd ready{drain, POLLIN, 0};
            poll(&ready, 1, 100);
            char buffer[65536];
            ssize_t count = 0;
            while ((count = read(drain, buffer, sizeof buffer)) > 0)
                drained->append(buffer, static_cast<size_t>(count));
        } else {
            usleep(100000);
        }
        if (waitpid(child, &status, WNOHANG) == child) {
            if (drain >= 0) {
                ssize_t count = 0;
                char buffer[65536];
                while ((count = read(drain, buffer, sizeof buffer)) > 0)
                    drained->append(buffer, static_cast<size_t>(count));
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : -100 - WTERMSIG(status);
        }
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
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

TEST(SafeWrite, UnprivilegedTargetsKeepWhatTheyAre)
{
    const bool root = geteuid() == 0;
    // The file's owner in the cases where the user who saves owns it.
    const uid_t user = root ? Nobody : geteuid();
    const gid_t group = root ? Nobody : getegid();
    struct Case {
        const char* name;
        bool needsRoot;
        // Makes the target in `folder` and returns its path.
        std::function<QString(const QString& folder)> prepare;
        std::function<void(const QString& path, const std::string& expected)> check;
    };
    auto file = [](const QString& path, uid_t owner, gid_t ownerGroup) {
        EXPECT_TRUE(WriteFileBytes(path, "old"));
        EXPECT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);
        EXPECT_EQ(chown(QFile::encodeName(path).constData(), owner, ownerGroup), 0);
    };
    auto folderMode = [](const QString& folder, mode_t mode) {
        EXPECT_EQ(chmod(QFile::encodeName(folder).constData(), mode), 0);
    };
    const Case cases[] = {
        {"writable file in a folder the user may not write", false,
         [&](const QString& folder) {
             file(folder + QStringLiteral("/t"), user, group);
             folderMode(folder, 0555);
             return folder + QStringLiteral("/t");
         },
         [](const QString& path, const std::string& expected) {
             EXPECT_EQ(ReadFileBytes(path), expected);
             EXPECT_EQ(Entries(QFileInfo(path).path()), QStringList{QStringLiteral("t")});
         }},
        {"file with a second hard link", false,
         [&](const QString& folder) {
             file(folder + QStringLiteral("/t"), user, group);
             EXPECT_EQ(link(QFile::encodeName(folder + QStringLiteral("/t")).constData(),
                            QFile::encodeName(folder + QStringLiteral("/u")).constData()),
                       0);
             folderMode(folder, 0777);
             return folder + QStringLiteral("/t");
         },
         [](const QString& path, const std::string& expected) {
             const QString other = QFileInfo(path).path() + QStringLiteral("/u");
             EXPECT_EQ(ReadFileBytes(other), expected);
             EXPECT_EQ(StatOf(other).st_ino, StatOf(path).st_ino);
         }},
        {"another user's writable file in a shared folder", true,
         [&](const QString& folder) {
             file(folder + QStringLiteral("/t"), 0, 0);
             folderMode(folder, 01777);
             return folder + QStringLiteral("/t");
         },
         [](const QString& path, const std::string& expected) {
             EXPECT_EQ(ReadFileBytes(path), expected);
             EXPECT_EQ(StatOf(path).st_uid, 0u);
             EXPECT_EQ(StatOf(path).st_gid, 0u);
         }},
        {"FIFO with a reader", false,
         [&](const QString& folder) {
             const QString path = folder + QStringLiteral("/t");
             EXPECT_EQ(mkfifo(QFile::encodeName(path).constData(), 0666), 0);
             EXPECT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);
             folderMode(folder, 0777);
             return path;
         },
         [](const QString& path, const std::string&) {
             EXPECT_TRUE(S_ISFIFO(StatOf(path).st_mode));
         }},
        {"device", false, [](const QString&) { return QStringLiteral("/dev/null"); },
         [](const QString& path, const std::string&) {
             EXPECT_TRUE(S_ISCHR(StatOf(path).st_mode));
         }},
    };

    for (const Writer& writer : Writers()) {
        QTemporaryDir reference;
        ASSERT_TRUE(reference.isValid());
        ASSERT_TRUE(writer.run(reference.filePath(QStringLiteral("r"))));
        const std::string expected = ReadFileBytes(reference.filePath(QStringLiteral("r")));
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << writer.name << ": " << c.name);
            if (c.needsRoot && !root) {
                std::printf("skipped (needs root to make another user's file): %s\n", c.name);
                continue;
            }
            QTemporaryDir dir;
            ASSERT_TRUE(dir.isValid());
            folderMode(dir.path(), 0755);
            const QString folder = dir.filePath(QStringLiteral("f"));
            ASSERT_TRUE(QDir().mkdir(folder));
            const QString path = c.prepare(folder);
            const bool fifo = S_ISFIFO(StatOf(path).st_mode);
            const int drain =
                fifo ? open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK) : -1;
            std::string drained;
            EXPECT_EQ(RunInChild([&] { return writer.run(path); }, true, 0, drain, &drained), 0);
            if (drain >= 0) {
                close(drain);
                EXPECT_EQ(drained, expected);
            }
            c.check(path, expected);
            folderMode(folder, 0755);
        }
    }
}

} // namespace
