// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/bus_signals.h"

#include <algorithm>
#include <cmath>

void LogicLine::Set(double t, bool level)
{
    const bool current = changes.empty() ? initial : changes.back().second;
    if (current != level) changes.emplace_back(t, level);
}

bool LogicLine::At(double t) const
{
    const auto after = std::upper_bound(changes.begin(), changes.end(), t,
                                        [](double time, const auto& c) { return time < c.first; });
    return after == changes.begin() ? initial : std::prev(after)->second;
}

LogicLine UartLine(const std::vector<uint8_t>& bytes, double baud, double start, double gapBits)
{
    LogicLine line;
    const double bit = 1 / baud;
    double t = start;
    for (uint8_t byte : bytes) {
        line.Set(t, false);
        for (int i = 0; i < 8; ++i)
            line.Set(t + (i + 1) * bit, ((byte >> i) & 1) != 0);
        line.Set(t + 9 * bit, true);
        t += (10 + gapBits) * bit;
    }
    return line;
}

TwoLines I2cLines(const std::vector<I2cTransfer>& transfers, double clockHz, double start)
{
    TwoLines lines;
    LogicLine& scl = lines.clock;
    LogicLine& sda = lines.data;
    const double period = 1 / clockHz;
    double t = start;
    bool busFree = true;
    for (const I2cTransfer& transfer : transfers) {
        if (busFree) {
            sda.Set(t, false);
            scl.Set(t + period / 2, false);
        } else { // repeated start from SCL low
            sda.Set(t + period / 4, true);
            scl.Set(t + period / 2, true);
            sda.Set(t + 3 * period / 4, false);
            scl.Set(t + period, false);
        }
        t += busFree ? period / 2 : period;
        std::vector<uint8_t> bytes{
            static_cast<uint8_t>(transfer.address << 1 | (transfer.read ? 1 : 0))};
        bytes.insert(bytes.end(), transfer.data.begin(), transfer.data.end());
        for (size_t b = 0; b < bytes.size(); ++b) {
            for (int i = 0; i < 9; ++i) {
                const bool ack = b < transfer.acks.size() ? transfer.acks[b] : true;
                const bool level = i < 8 ? ((bytes[b] >> (7 - i)) & 1) != 0 : !ack;
                sda.Set(t + period / 4, level);
                scl.Set(t + period / 2, true);
                scl.Set(t + period, false);
                t += period;
            }
        }
        busFree = transfer.stop;
        if (transfer.stop) {
            sda.Set(t + period / 4, false);
            scl.Set(t + period / 2, true);
            sda.Set(t + period, true);
            t += 2 * period;
        }
    }
    return lines;
}

TwoLines SpiLines(const std::vector<uint8_t>& bytes, double clockHz, double start, double gapBits)
{
    TwoLines lines;
    lines.clock.initial = false;
    lines.data.initial = false;
    const double period = 1 / clockHz;
    double t = start;
    for (uint8_t byte : bytes) {
        for (int i = 0; i < 8; ++i) {
            lines.data.Set(t, ((byte >> (7 - i)) & 1) != 0);
            lines.clock.Set(t + period / 2, true);
            lines.clock.Set(t + period, false);
            t += period;
        }
        t += gapBits * period;
    }
    return lines;
}

LogicLine CanLine(uint16_t identifier, const std::vector<uint8_t>& data, double bitrate,
                  double start)
{
    std::vector<bool> bits{false}; // start of frame
    for (int i = 10; i >= 0; --i)
        bits.push_back(((identifier >> i) & 1) != 0);
    bits.insert(bits.end(), {false, false, false}); // RTR, IDE, r0
    const auto dlc = static_cast<int>(std::min<size_t>(data.size(), 8));
    for (int i = 3; i >= 0; --i)
        bits.push_back(((dlc >> i) & 1) != 0);
    for (int d = 0; d < dlc; ++d) {
        for (int i = 7; i >= 0; --i)
            bits.push_back(((data[static_cast<size_t>(d)] >> i) & 1) != 0);
    }
    uint32_t crc = 0;
    for (bool bit : bits) {
        const bool next = bit != (((crc >> 14) & 1) != 0);
        crc = (crc << 1) & 0x7FFF;
        if (next) crc ^= 0x4599;
    }
    for (int i = 14; i >= 0; --i)
        bits.push_back(((crc >> i) & 1) != 0);
    // After five equal bits the sender adds one of the other level, up to the CRC's end.
    std::vector<bool> stuffed;
    int run = 0;
    for (bool bit : bits) {
        if (!stuffed.empty() && stuffed.back() == bit) {
            ++run;
        } else {
            run = 1;
        }
        stuffed.push_back(bit);
        if (run == 5) {
            stuffed.push_back(!bit);
            run = 1;
        }
    }
    stuffed.insert(stuffed.end(), {true, false, true}); // CRC delimiter, ACK slot, delimiter
    stuffed.insert(stuffed.end(), 7 + 3, true);         // end of frame, intermission
    LogicLine line;
    for (size_t i = 0; i < stuffed.size(); ++i)
        line.Set(start + static_cast<double>(i) / bitrate, stuffed[i]);
    return line;
}

RcLine::RcLine(LogicLine line, double low, double high, double riseTau, double fallTau)
    : line_(std::move(line)), low_(low), high_(high), riseTau_(riseTau), fallTau_(fallTau)
{
    double volts = line_.initial ? high_ : low_;
    for (size_t k = 0; k < line_.changes.size(); ++k) {
        if (k > 0) {
            const auto& [time, level] = line_.changes[k - 1];
            const double target = level ? high_ : low_;
            const double tau = level ? riseTau_ : fallTau_;
            volts = target + (volts - target) * std::exp(-(line_.changes[k].first - time) / tau);
        }
        startVolts_.push_back(volts);
    }
}

double RcLine::At(double t) const
{
    const auto& changes = line_.changes;
    const auto after = std::upper_bound(changes.begin(), changes.end(), t,
                                        [](double time, const auto& c) { return time < c.first; });
    if (after == changes.begin()) return line_.initial ? high_ : low_;
    const auto k = static_cast<size_t>(after - changes.begin() - 1);
    const auto& [time, level] = changes[k];
    const double target = level ? high_ : low_;
    const double tau = level ? riseTau_ : fallTau_;
    return target + (startVolts_[k] - target) * std::exp(-(t - time) / tau);
}
