// SPDX-License-Identifier: GPL-3.0-or-later
// The baseline of the start-up measurement: a bare Qt program showing an empty maximised
// main window, ended at its first paint. Prints the wall-clock time of that paint in ns.
#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <ctime>

namespace {

class FirstPaint : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::printf("%lld\n", now.tv_sec * 1'000'000'000LL + now.tv_nsec);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    FirstPaint probe;
    application.installEventFilter(&probe);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.showMaximized();
    return QApplication::exec();
}
