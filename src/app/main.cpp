// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the viewer: the frame, the files named on the command line, the one
// event loop. The exit code is 0 however the program ends.
#include "app/decode_runner.h"
#include "app/main_frame.h"
#include "capture/file_name.h"
#include "decode/decode.h"
#include "output/text_file.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include <csignal>

// True when no session bus runs: no address given and no socket in the runtime folder.
// The toolkit's first look for one would then make libdbus "autolaunch" a bus through
// dbus-launch (a process start, and where dbus-x11 is installed a daemon of its own)
// before the first window shows. The viewer uses nothing of the bus.
static bool NoSessionBus()
{
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) return false;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

int main(int argc, char** argv)
{
    // Past the limit on file sizes, or into a FIFO whose reader has gone, an export fails
    // with its message, instead of the viewer being killed with every window open.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    RemoveUnfinishedSavesOnSignals();
    // An address of no known kind fails at once, without autolaunch. The toolkit looks for
    // the bus from a thread of its own, some time after start-up, so the address stays;
    // the browser the viewer starts gets the environment as it was (about_help.cpp).
    if (NoSessionBus()) qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
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
    // Decodes still running are told to stop before their library goes.
    DecodeRunner::FinishAllWorkers();
    delete frame;
    ShutDownDecoding();
    return 0;
}
