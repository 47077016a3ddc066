// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli's entry. Decoding, the one command that starts an interpreter and is timed
// against sigrok-cli, runs here on the core libraries alone; every other command draws or
// formats with Qt's GUI library, which with the thirty libraries behind it took a third
// of a decode's start just to load. So this program leaves it out, and loads the other
// commands from a module beside it (lib/kurvex when installed) only when one is asked for.
#include "cli/cli_output.h"
#include "cli/decode_command.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

using namespace Qt::StringLiterals;

namespace {

// The module's entry: the rest of kurvex-cli, with the same words and exit statuses.
using CommandsMain = int (*)(int argc, char** argv);

constexpr char CommandsModule[] = "kurvex-cli-commands.so";
// EX_SOFTWARE: the installation is broken, which no word of the command line can mend.
constexpr int ExitCannotStart = 70;

// The folder of this program, with its final '/'; empty when the system does not say.
std::string ProgramFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

int RunDecode(int argc, char** argv)
{
    StartCommandProcess();
    return RunDecodeCommand(CommandWords(argc, argv, 2));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "decode") == 0) return RunDecode(argc, argv);
    const std::string folder = ProgramFolder();
    std::string tried;
    for (const std::string& path :
         {folder + CommandsModule, folder + "../lib/kurvex/" + CommandsModule}) {
        if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            if (auto run = reinterpret_cast<CommandsMain>(dlsym(module, "KurvexCliMain")))
                return run(argc, argv);
        }
        if (const char* why = dlerror()) tried += std::string("\n  ") + why;
    }
    std::fprintf(stderr, "kurvex-cli: cannot load its commands (%s):%s\n", CommandsModule,
                 tried.c_str());
    return ExitCannotStart;
}
