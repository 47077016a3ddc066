// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding a 65535-sample UART capture at 115200 baud with kurvex-cli, against sigrok-cli
// decoding the same logic (our thresholded channels, written as VCD). Both are whole
// processes, start-up included, as a user would run them. Goal: at most 0.5.
#include "ratio_reporter.h"

#include "capture/sav_reader.h"
#include "decode/decode.h"
#include "support/logic_vcd.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

const char Decoder[] = "uart:rx=ch1:tx=ch2:baudrate=115200";
std::string capturePath;
std::string vcdPath;

// The processor time of the runs, which on a shared machine says more than the wall time:
// that is mostly waiting for a core.
double sigrokCpu = 0;
double kurvexCpu = 0;
int sigrokRuns = 0;
int kurvexRuns = 0;

// Runs the program with its output thrown away and adds its processor time to `cpu`; false
// when it did not exit with 0.
bool Run(std::vector<std::string> words, double& cpu)
{
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid) return false;
    cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_SigrokCli(benchmark::State& state)
{
    for (auto _ : state) {
        ++sigrokRuns;
        if (!Run({"sigrok-cli", "-i", vcdPath, "-P", Decoder}, sigrokCpu))
            state.SkipWithError("sigrok-cli failed");
    }
}

void BM_KurvexCliDecode(benchmark::State& state)
{
    for (auto _ : state) {
        ++kurvexRuns;
        if (!Run({KURVEX_CLI_PATH, "decode", capturePath, "-P", Decoder}, kurvexCpu))
            state.SkipWithError("kurvex-cli failed");
    }
}

BENCHMARK(BM_SigrokCli)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_KurvexCliDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

// The logic kurvex-cli decodes, as the VCD that sigrok-cli reads.
bool WriteVcd(const QString& folder)
{
    Capture capture{};
    if (ReadCapture(capture, QString::fromStdString(capturePath)) != ReadOk) return false;
    const int32_t n = capture.samplesPerChannel;
    std::vector<uint8_t> logic(static_cast<size_t>(n), 0);
    std::vector<double> volts(static_cast<size_t>(n));
    for (int32_t slot : {SlotCh1, SlotCh2}) {
        const auto threshold = ResolveThreshold(capture, slot, {});
        if (!threshold) return false;
        for (int32_t i = 0; i < n; ++i)
            volts[static_cast<size_t>(i)] = SampleValue(capture, slot, i);
        int32_t level = -1;
        ThresholdToLogic(volts.data(), n, *threshold, static_cast<uint8_t>(slot), logic.data(),
                         level);
    }
    vcdPath = QDir(folder).filePath(QStringLiteral("uart.vcd")).toStdString();
    return WriteLogicVcd(vcdPath, logic, "100 ns"); // the capture's sample interval
}

} // namespace

int main(int argc, char** argv)
{
    capturePath = KURVEX_EXAMPLES_DIR "/uart-115200-ch1-rx-ch2-tx.sav";
    QTemporaryDir folder;
    if (!folder.isValid() || !WriteVcd(folder.path())) {
        std::fprintf(stderr, "bench_decode: cannot prepare the VCD\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("kurvex-cli decode / sigrok-cli on VCD (goal at most 0.5)",
                        "BM_KurvexCliDecode/iterations:8",
                        "BM_SigrokCli/iterations:8");
    if (sigrokRuns > 0 && kurvexRuns > 0 && sigrokCpu > 0)
        std::printf("kurvex-cli decode / sigrok-cli, processor time of the processes: %.1f ms / "
                    "%.1f ms, ratio %.3f\n",
                    kurvexCpu / kurvexRuns * 1e3, sigrokCpu / sigrokRuns * 1e3,
                    (kurvexCpu / kurvexRuns) / (sigrokCpu / sigrokRuns));
    benchmark::Shutdown();
    return 0;
}
