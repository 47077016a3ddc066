// SPDX-License-Identifier: GPL-3.0-or-later
// A console reporter that also keeps each benchmark's time per iteration, so that a
// benchmark program can print its ratios against a baseline measured in the same run.
// Both wall and CPU time: on a shared machine the wall time also counts waiting.
#pragma once

#include <benchmark/benchmark.h>

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
            Times& t = times[run.benchmark_name()];
            const auto iterations = static_cast<double>(run.iterations);
            t.real += run.real_accumulated_time / iterations;
            t.cpu += run.cpu_accumulated_time / iterations;
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
        const double aReal = a->second.real / a->second.runs;
        const double bReal = b->second.real / b->second.runs;
        const double aCpu = a->second.cpu / a->second.runs;
        const double bCpu = b->second.cpu / b->second.runs;
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
