// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the viewer: the frame, the files named on the command line, the one
// event loop. The exit code is 0 however the program ends.
#include "app/main_frame.h"
#include "capture/file_name.h"
#include "output/text_file.h"

#include <QApplication>
#include <QStringList>

#include <csignal>

int main(int argc, char** argv)
{
    // Past the limit on file sizes, or into a FIFO whose reader has gone, an export fails
    // with its message, instead of the viewer being killed with every window open.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    RemoveUnfinishedSavesOnSignals();
    QApplication application(argc, argv);
    // Lets the desktop match the windows to kurvex.desktop (its icon in task bars, on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("kurvex"));
    StartApplicationServices();
    // The names as bytes, not as Qt decodes them, so that a name that is not UTF-8 opens.
    // Qt has taken its own options out of argv.
    QStringList paths;
    QString language;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        // "--lang en" chooses the interface's language for this run.
        if (argument == "--lang" && i + 1 < argc) {
            language = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (argument.startsWith("--lang=")) {
            language = QString::fromLocal8Bit(argument.mid(7));
            continue;
        }
        paths.append(DecodeFileName(argument));
    }
    StartLanguage(language);
    MainFrame* frame = StartMainFrame(paths);
    QApplication::exec();
    delete frame;
    return 0;
}
