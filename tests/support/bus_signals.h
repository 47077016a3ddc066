// SPDX-License-Identifier: GPL-3.0-or-later
// Serial bus traffic as ideal logic lines, and those lines as an analog probe sees them
// behind the line's resistance and capacitance. The decoding tests and the bundled
// examples are made from them, so the bytes sent are known exactly.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// A logic line: its level before the first change, then the changes in time order.
struct LogicLine {
    bool initial = true;
    std::vector<std::pair<double, bool>> changes; // seconds, new level

    void Set(double t, bool level); // appends a change unless the level already holds
    bool At(double t) const;
};

// 8N1, LSB first, idle high, one stop bit and `gapBits` idle bits between bytes.
LogicLine UartLine(const std::vector<uint8_t>& bytes, double baud, double start, double gapBits);

// One I2C transfer: start (or repeated start when the previous one left the bus without a
// stop), the 7-bit address with the direction bit, then the data bytes. `acks` holds one
// entry per byte including the address byte: true is an ACK (SDA low in the ninth clock).
struct I2cTransfer {
    uint8_t address;
    bool read;
    std::vector<uint8_t> data;
    std::vector<bool> acks;
    bool stop = true;
};

struct TwoLines {
    LogicLine clock;
    LogicLine data;
};

TwoLines I2cLines(const std::vector<I2cTransfer>& transfers, double clockHz, double start);

// SPI mode 0, MSB first, 8-bit words without chip select; `gapBits` idle clocks between words.
TwoLines SpiLines(const std::vector<uint8_t>& bytes, double clockHz, double start, double gapBits);

// A classic CAN data frame with an 11-bit identifier, as a receiver's logic line (dominant
// low): stuffed, with its CRC, acknowledged, followed by end of frame and intermission.
LogicLine CanLine(uint16_t identifier, const std::vector<uint8_t>& data, double bitrate,
                  double start);

// The line behind an RC low-pass: each level change approaches its voltage exponentially.
// Open-drain buses rise slower than they fall, hence two time constants.
class RcLine {
  public:
    RcLine(LogicLine line, double low, double high, double riseTau, double fallTau);
    double At(double t) const;

  private:
    LogicLine line_;
    double low_;
    double high_;
    double riseTau_;
    double fallTau_;
    std::vector<double> startVolts_; // the voltage at each change
};
