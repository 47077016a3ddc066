// SPDX-License-Identifier: GPL-3.0-or-later
// Logic samples as a VCD file, the input sigrok-cli reads, for cross-checks of the decoding
// against the field's own tool. One wire per bit of a sample byte, named ch1, ch2, math.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// `timescale` is VCD's ("100 ns"): one sample per unit, so sigrok-cli's sample numbers are
// the indices. False when the file cannot be written.
inline bool WriteLogicVcd(const std::string& path, const std::vector<uint8_t>& logic,
                          const char* timescale)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    std::fprintf(file, "$timescale %s $end\n$scope module capture $end\n", timescale);
    const char* const names[] = {"ch1", "ch2", "math"};
    for (int bit = 0; bit < 3; ++bit)
        std::fprintf(file, "$var wire 1 %c %s $end\n", '!' + bit, names[bit]);
    std::fprintf(file, "$upscope $end\n$enddefinitions $end\n");
    int previous = -1;
    for (size_t i = 0; i < logic.size(); ++i) {
        if (logic[i] == previous) continue;
        std::fprintf(file, "#%zu\n", i);
        for (int bit = 0; bit < 3; ++bit) {
            if (previous < 0 || ((logic[i] ^ previous) >> bit & 1) != 0)
                std::fprintf(file, "%d%c\n", logic[i] >> bit & 1, '!' + bit);
        }
        previous = logic[i];
    }
    std::fprintf(file, "#%zu\n", logic.size());
    return std::fclose(file) == 0;
}
