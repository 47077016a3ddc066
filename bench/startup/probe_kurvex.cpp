// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up probe of the viewer: the program's own start-up with one capture on the command
// line, ended at the first paint of a capture window's screen. Prints the wall-clock time
// of that paint in nanoseconds. "--write FILE" writes a three-trace 65535-sample capture.
#include "app/capture_window.h"
#include "app/main_frame.h"
#include "support/sav_builder.h"

#include <QApplication>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

long long WallClockNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

class FirstScreenPaint : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && dynamic_cast<ScreenCanvas*>(watched)) {
            std::printf("%lld\n", WallClockNs());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }
};

int WriteCapture(const char* path)
{
    SavFile file{};
    for (int ch = 0; ch < 2; ++ch) {
        SavChannel channel{};
        channel.scaleMicroVolts = 1'000'000;
        channel.sampleIntervalPs = 183'105;
        channel.triggerPosition = 32768;
        channel.raw.resize(65535);
        for (int i = 0; i < 65535; ++i)
            channel.raw[static_cast<size_t>(i)] =
                static_cast<uint16_t>(128 + 80 * std::sin(i * 0.001 * (ch + 1)));
        file.channels.push_back(channel);
    }
    QFile out(QString::fromLocal8Bit(path));
    return out.open(QIODevice::WriteOnly) && out.write(BuildSav(file)) > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--write") return WriteCapture(argv[2]);
    QApplication application(argc, argv);
    StartApplicationServices();
    FirstScreenPaint probe;
    application.installEventFilter(&probe);
    QStringList paths = QCoreApplication::arguments();
    paths.removeFirst();
    MainFrame* frame = StartMainFrame(paths);
    QApplication::exec();
    delete frame;
    return 0;
}
