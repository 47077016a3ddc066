// Entry point of the viewer: the frame, the files named on the command line, the one
// event loop. The exit code is 0 however the program ends.
#include "app/main_frame.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Lets the desktop match the windows to kurvex.desktop (its icon in task bars, on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("kurvex"));
    StartApplicationServices();
    QStringList paths = QCoreApplication::arguments();
    if (!paths.isEmpty()) paths.removeFirst();
    MainFrame* frame = StartMainFrame(paths);
    QApplication::exec();
    delete frame;
    return 0;
}
