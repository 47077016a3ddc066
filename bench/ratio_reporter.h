// SPDX-License-Identifier: GPL-3.0-or-later
// A console reporter that also keeps each benchmark's time per iteration, so that a
// benchmark program can print its ratios against a baseline measured in the same run.
// Both wall and CPU time: on a shared machine the wall time also counts waiting. A benchmark
// run several times (Repetitions) counts with its fastest run: what other programs on the
// machine do to its caches and memory bandwidth only ever adds time, and the fastest run is
// the one that repeats.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0) continue;
            // Named without the repetitions and the kind of time, as the ratios name it.
            benchmark::BenchmarkName name = run.run_name;
            name.repetitions.clear();
            name.time_type.clear();
            Times& t = times[name.str()];
            const auto iterations = static_cast<double>(run.iterations);
            const double real = run.real_accumulated_time / iterations;
            const double cpu = run.cpu_accumulated_time / iterations;
            t.real = t.runs == 0 ? real : std::min(t.real, real);
            t.cpu = t.runs == 0 ? cpu : std::min(t.cpu, cpu);
            ++t.runs;
        }
    }

    // Prints "what: A ms, B ms, ratio A/B wall and CPU"; nothing when either is missing.
    void PrintRatio(const char* what, const std::string& numerator, const std::string& denominator)
    {
        const auto a = times.find(numerator);
        const auto b = times.find(denominator);
        if (a == times.end() || b == times.end() || b->second.real <= 0 || b->second.cpu <= 0)
            return;
        const double aReal = a->second.real;
        const double bReal = b->second.real;
        const double aCpu = a->second.cpu;
        const double bCpu = b->second.cpu;
        std::printf("%s: %.3f ms / %.3f ms, ratio %.3f wall, %.3f CPU\n", what, aReal * 1e3,
                    bReal * 1e3, aReal / bReal, aCpu / bCpu);
    }

  private:
    struct Times {
        double real = 0;
        double cpu = 0;
        int runs = 0;
    };
    std::map<std::string, Times> times;
};
