// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the bundled example captures: realistic signals as the three oscilloscope models
// would have saved them, for trying the viewer and as seeds for the reader's fuzzer.
// Usage: kurvex-make-examples [output folder, default "."]
// The noise comes from a fixed-seed generator and plain arithmetic, so a second run writes
// the same bytes.
#include "support/bus_signals.h"
#include "support/sav_builder.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr double Pi = 3.14159265358979323846;

// splitmix64: small, fast and the same everywhere, unlike the standard distributions.
struct Noise {
    uint64_t state;

    double Uniform()
    {
        state += 0x9E3779B97F4A7C15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) / 9007199254740992.0;
    }

    // Roughly normal with the given spread: the sum of twelve uniforms needs no libm.
    double Gauss(double sigma)
    {
        double sum = -6;
        for (int i = 0; i < 12; ++i)
            sum += Uniform();
        return sum * sigma;
    }
};

// One channel as the instrument was set up, and the voltage at its input over time.
struct Setup {
    uint8_t coupling;
    uint8_t bandwidthLimit;
    uint8_t probeCode; // 0..3: x1, x10, x100, x1000
    uint8_t inverted;
    uint8_t offsetByte;                  // 128 + 25 per division
    int64_t scaleMicroVolts;             // at the scope's input, before the probe
    std::function<double(double)> volts; // at the probe tip, of time in seconds
    double noiseCounts;                  // spread of the converter's noise
};

constexpr double ProbeFactors[] = {1, 10, 100, 1000};

// The screen position as the instrument drew it, quantised to its 8-bit converter.
SavChannel Sample(const Setup& setup, int32_t count, int64_t intervalPs, uint16_t trigger,
                  Noise& noise)
{
    SavChannel channel{};
    channel.coupling = setup.coupling;
    channel.bandwidthLimit = setup.bandwidthLimit;
    channel.probeCode = setup.probeCode;
    channel.inverted = setup.inverted;
    channel.offsetByte = setup.offsetByte;
    channel.scaleMicroVolts = setup.scaleMicroVolts;
    channel.sampleIntervalPs = intervalPs;
    channel.triggerPosition = trigger;
    const double voltsPerDiv =
        static_cast<double>(setup.scaleMicroVolts) * ProbeFactors[setup.probeCode] / 1e6;
    const double offsetDiv = (setup.offsetByte - 128) / 25.0;
    // Time 0 is the trigger point, so each signal is written around its own trigger event.
    for (int32_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i - trigger) * static_cast<double>(intervalPs) / 1e12;
        double div = setup.volts(t) / voltsPerDiv;
        if (setup.inverted == 1) div = -div;
        const double counts = 128 + 25 * (offsetDiv + div) + noise.Gauss(setup.noiseCounts);
        channel.raw.push_back(static_cast<uint16_t>(std::clamp(std::lround(counts), 0L, 255L)));
    }
    return channel;
}

struct Example {
    const char* fileName;
    QByteArray model;
    int32_t count;
    int64_t intervalPs;
    std::vector<Setup> channels;
    SavFile trigger; // the header's trigger fields; model and channels are filled in
};

enum TriggerMode : uint8_t { Auto = 0, Normal = 1, Single = 2 };
enum TriggerSlope : uint8_t { Rising = 0, Falling = 1, RisingAndFalling = 2 };

// An edge trigger on CH1 (source 0), CH2 (1) or the AC line (6).
void SetEdgeTrigger(Example& e, TriggerMode mode, uint8_t source, TriggerSlope slope,
                    int64_t levelMicroVolts)
{
    e.trigger.triggerMode = mode;
    e.trigger.triggerSource = source;
    e.trigger.triggerType = 0;
    e.trigger.edgeSlope = slope;
    e.trigger.triggerLevelMicroVolts = levelMicroVolts;
}

// The two lines of a bus on CH1 and CH2, both channels set up alike.
void AddBusLines(Example& e, uint8_t probeCode, uint8_t offsetByte, int64_t scaleMicroVolts,
                 double noiseCounts, const RcLine& first, const RcLine& second)
{
    for (const RcLine& line : {first, second})
        e.channels.push_back({0, 0, probeCode, 0, offsetByte, scaleMicroVolts,
                              [line](double t) { return line.At(t); }, noiseCounts});
}

// A square wave edge of the given rise time that rings after it: the probe's ground lead.
double RingingEdge(double sinceEdge, double riseTime, double ringHz, double decay)
{
    if (sinceEdge < 0) return 0;
    const double step = 1 - std::exp(-sinceEdge / riseTime);
    const double ring = 0.25 * std::exp(-sinceEdge / decay) * std::sin(2 * Pi * ringHz * sinceEdge);
    return step + ring;
}

double SquareWithRinging(double t)
{
    // 10 kHz, 0 V to 5 V, falling edge at t = 0.
    const double period = 100e-6;
    double phase = std::fmod(t, period);
    if (phase < 0) phase += period;
    const double riseTime = 0.4e-6;
    const double ringHz = 180e3;
    const double decay = 6e-6;
    // Falling edge at phase 0, rising edge at half the period.
    if (phase < period / 2) return 5 * (1 - RingingEdge(phase, riseTime, ringHz, decay));
    return 5 * RingingEdge(phase - period / 2, riseTime, ringHz, decay);
}

// A PWM train at 1 kHz, 0 V to 48 V, whose duty cycle wanders; the pulse that ends at t = 0
// is the one short pulse that the pulse width trigger waited for.
double PwmTrain(double t)
{
    const double period = 1e-3;
    const double k = std::floor((t + 100e-6) / period);
    const double start = k * period - 100e-6; // the short pulse runs from -100 us to 0
    double width = 0.45e-3 + 0.25e-3 * std::sin(k * 0.7);
    if (k == 0) width = 100e-6;
    const double since = t - start;
    const double tau = 0.3e-6;
    double level = 0;
    if (since >= 0 && since < width)
        level = 1 - std::exp(-since / tau);
    else if (since >= width)
        level = (1 - std::exp(-width / tau)) * std::exp(-(since - width) / tau);
    return 48 * level;
}

// Mains voltage with the flattened top that rectifier loads leave behind.
double Mains(double t)
{
    const double s = std::sin(2 * Pi * 50 * t);
    const double peak = 325;
    return peak * (s + 0.06 * std::sin(3 * 2 * Pi * 50 * t));
}

// Current of a capacitor-input rectifier: short pulses near each voltage peak.
double RectifierCurrent(double t)
{
    const double phase = std::fmod(std::fmod(t, 10e-3) + 10e-3, 10e-3); // half periods
    const double sign = std::fmod(std::floor(t / 10e-3), 2.0) == 0 ? 1.0 : -1.0;
    const double centre = 4.6e-3; // just before the peak at 5 ms
    const double width = 1.1e-3;
    const double x = (phase - centre) / width;
    return sign * 1.8 * std::exp(-x * x * 2); // amperes
}

std::vector<Example> Examples()
{
    std::vector<Example> examples;

    {
        // Two sines of 1 kHz, 60 degrees apart: three periods over 3 ms.
        Example e{};
        e.fileName = "sine-1khz-ch1-ch2-edge.sav";
        e.model = QByteArray("UTD2102CEL");
        e.count = 2500;
        e.intervalPs = 1200000; // 1.2 us, 0.25 ms/DIV
        e.channels.push_back({0, 0, 0, 0, 153, 1000000,
                              [](double t) { return 2.8 * std::sin(2 * Pi * 1e3 * t); }, 0.5});
        e.channels.push_back({0, 0, 1, 0, 78, 500000,
                              [](double t) { return 9 * std::sin(2 * Pi * 1e3 * t - Pi / 3); },
                              0.5});
        SetEdgeTrigger(e, Auto, 0, Rising, 0); // CH1
        examples.push_back(e);
    }
    {
        // A 10 kHz logic signal through a x10 probe with a long ground lead.
        Example e{};
        e.fileName = "square-10khz-ringing-noise-ch1-x10-edge-fall.sav";
        e.model = QByteArray("UTD2052CEL");
        e.count = 600;
        e.intervalPs = 1000000; // 1 us, 50 us/DIV
        e.channels.push_back({0, 0, 1, 0, 68, 100000, SquareWithRinging, 1.2});
        e.trigger.triggerMode = 1;                 // Normal
        e.trigger.triggerSource = 0;               // CH1
        e.trigger.triggerType = 0;                 // edge
        e.trigger.triggerCoupling = 2;             // HF reject
        e.trigger.edgeSlope = 1;                   // falling
        e.trigger.triggerLevelMicroVolts = 250000; // 2.5 V at the tip
        examples.push_back(e);
    }
    {
        // A motor PWM on 48 V, caught by a pulse width trigger on the one short pulse.
        Example e{};
        e.fileName = "pulse-train-pwm-48v-ch1-x100-pulse-width-trigger.sav";
        e.model = QByteArray("UTD2025CL", 10);
        e.count = 65535;
        e.intervalPs = 200000; // 200 ns
        e.channels.push_back({0, 0, 2, 0, 68, 100000, PwmTrain, 0.6});
        e.trigger.triggerMode = 2;    // Single
        e.trigger.triggerSource = 0;  // CH1
        e.trigger.triggerType = 2;    // pulse width
        e.trigger.pulsePolarity = 0;  // positive
        e.trigger.pulseCondition = 1; // shorter than
        e.trigger.pulseWidthNs = 150000;
        e.trigger.triggerLevelMicroVolts = 240000; // 24 V at the tip
        examples.push_back(e);
    }
    {
        // Mains through a x1000 high-voltage probe, and the current of a rectifier load from
        // a clamp that was put on backwards, so the channel is shown inverted.
        Example e{};
        e.fileName = "mains-50hz-ch1-x1000-ch2-current-inverted-bwlimit.sav";
        e.model = QByteArray("UTD2102CEL");
        e.count = 2500;
        e.intervalPs = 24000000; // 24 us, 5 ms/DIV
        e.channels.push_back({0, 0, 3, 0, 128, 100000, Mains, 0.6});
        // The clamp gives 100 mV/A; backwards, so the voltage is the negative current.
        e.channels.push_back(
            {0, 1, 0, 1, 128, 50000, [](double t) { return -0.1 * RectifierCurrent(t); }, 0.3});
        e.trigger.triggerMode = 0;   // Auto
        e.trigger.triggerSource = 6; // AC line
        e.trigger.triggerType = 0;   // edge
        e.trigger.edgeSlope = 0;     // rising
        examples.push_back(e);
    }
    {
        // 250 mV of hum on a 1.5 V bias, moved to the centre with the vertical offset.
        Example e{};
        e.fileName = "small-signal-on-offset-1v5-ch1-bwlimit.sav";
        e.model = QByteArray("UTD2025CL", 10);
        e.count = 1000;
        e.intervalPs = 6000000; // 6 us, 0.5 ms/DIV
        e.channels.push_back({0, 1, 0, 0, 53, 500000,
                              [](double t) {
                                  return 1.5 + 0.25 * std::sin(2 * Pi * 1e3 * t) +
                                         0.05 * std::sin(2 * Pi * 3e3 * t);
                              },
                              0.4});
        SetEdgeTrigger(e, Auto, 0, Rising, 1500000); // CH1
        examples.push_back(e);
    }
    {
        // A 1 kHz square into an RC low-pass of 0.1 ms, both through x10 probes.
        Example e{};
        e.fileName = "rc-step-ch1-ch2-x10-edge-rise-fall.sav";
        e.model = QByteArray("UTD2052CEL");
        e.count = 600;
        e.intervalPs = 5000000; // 5 us, 0.25 ms/DIV
        auto input = [](double t) {
            const double phase = std::fmod(std::fmod(t, 1e-3) + 1e-3, 1e-3);
            return phase < 0.5e-3 ? 10.0 : 0.0;
        };
        auto output = [](double t) {
            // Settled response of the low-pass to the square: exponential halves.
            const double phase = std::fmod(std::fmod(t, 1e-3) + 1e-3, 1e-3);
            const double tau = 0.1e-3;
            const double low = 10 / (1 + std::exp(0.5e-3 / tau));
            const double high = 10 - low;
            if (phase < 0.5e-3) return 10 - (10 - low) * std::exp(-phase / tau);
            return high * std::exp(-(phase - 0.5e-3) / tau);
        };
        e.channels.push_back({0, 0, 1, 0, 165, 500000, input, 0.4});
        e.channels.push_back({0, 0, 1, 0, 40, 500000, output, 0.4});
        SetEdgeTrigger(e, Normal, 0, RisingAndFalling, 500000); // CH1, 5 V at the tip
        examples.push_back(e);
    }
    {
        // A serial link at 115200 baud, 3.3 V logic: a command on CH1, the reply on CH2. The
        // trigger caught a start bit of the command.
        Example e{};
        e.fileName = "uart-115200-ch1-rx-ch2-tx.sav";
        e.model = QByteArray("UTD2102CEL");
        e.count = 65535;
        e.intervalPs = 100000; // 100 ns, 0.5 ms/DIV
        const double bit = 1 / 115200.0;
        const QByteArray command("AT+CWJAP=\"kurvex\",\"oscilloscope\"\r\n");
        const QByteArray reply("\r\nWIFI GOT IP\r\nOK\r\n");
        const RcLine rx(UartLine({command.begin(), command.end()}, 115200, -20 * 10.5 * bit, 0.5),
                        0.05, 3.3, 150e-9, 120e-9);
        const RcLine tx(UartLine({reply.begin(), reply.end()}, 115200, 1.35e-3, 0.5), 0.1, 3.25,
                        180e-9, 150e-9);
        AddBusLines(e, 0, 88, 1000000, 0.8, rx, tx);
        SetEdgeTrigger(e, Single, 0, Falling, 1650000); // CH1
        examples.push_back(e);
    }
    {
        // An I2C EEPROM at address 0x50 on 100 kHz with 4.7 kOhm pull-ups: a page write of
        // eight bytes, a poll that the busy chip does not acknowledge, and the read back.
        Example e{};
        e.fileName = "i2c-100khz-eeprom-write-ch1-scl-ch2-sda.sav";
        e.model = QByteArray("UTD2052CEL");
        e.count = 30000;
        e.intervalPs = 200000; // 200 ns, 0.5 ms/DIV
        const std::vector<uint8_t> page{'K', 'u', 'r', 'v', 'e', 'x', '2', '1'};
        std::vector<uint8_t> write{0x10};
        write.insert(write.end(), page.begin(), page.end());
        std::vector<I2cTransfer> transfers;
        transfers.push_back({0x50, false, write, std::vector<bool>(10, true)});
        transfers.push_back({0x50, false, {}, {false}});
        transfers.push_back({0x50, false, {0x10}, {true, true}, false});
        std::vector<bool> readAcks(9, true);
        readAcks.back() = false; // the last byte read is not acknowledged
        transfers.push_back({0x50, true, page, readAcks});
        const double period = 1e-5;
        TwoLines bus = I2cLines(transfers, 1e5, -period / 2 - 40 * period);
        const RcLine scl(bus.clock, 0.08, 3.3, 0.5e-6, 40e-9);
        const RcLine sda(bus.data, 0.1, 3.3, 0.6e-6, 40e-9);
        AddBusLines(e, 0, 88, 1000000, 0.7, scl, sda);
        SetEdgeTrigger(e, Single, 0, Falling, 1650000); // CH1
        examples.push_back(e);
    }
    {
        // SPI at 1 MHz, mode 0: a flash chip's JEDEC ID command and a read of four bytes.
        Example e{};
        e.fileName = "spi-1mhz-ch1-clk-ch2-mosi.sav";
        e.model = QByteArray("UTD2102CEL");
        e.count = 10000;
        e.intervalPs = 20000; // 20 ns, 20 us/DIV
        const std::vector<uint8_t> bytes{0x9F, 0x00, 0x00, 0x00, 0x03, 0x01, 0x20, 0x00, 0xA5};
        TwoLines bus = SpiLines(bytes, 1e6, -20.5e-6, 2);
        const RcLine clk(bus.clock, 0.0, 3.3, 12e-9, 10e-9);
        const RcLine mosi(bus.data, 0.0, 3.3, 15e-9, 12e-9);
        AddBusLines(e, 1, 88, 100000, 0.9, clk, mosi);
        SetEdgeTrigger(e, Normal, 0, Rising, 165000); // CH1, 1.65 V at the tip
        examples.push_back(e);
    }
    {
        // Two CAN frames at 125 kbit/s: CAN_H on CH1, CAN_L on CH2 (2.5 V recessive, dominant
        // 3.5 V and 1.5 V). CAN_L alone, or MATH = CH2 - CH1, is the receiver's logic.
        Example e{};
        e.fileName = "can-125kbit-ch1-canh-ch2-canl.sav";
        e.model = QByteArray("UTD2102CEL");
        e.count = 20000;
        e.intervalPs = 200000; // 200 ns, 0.25 ms/DIV
        LogicLine line = CanLine(0x123, {0xDE, 0xAD, 0xBE, 0xEF}, 125e3, -1.2e-3);
        const LogicLine second = CanLine(0x7E8, {0x03, 0x41, 0x0C, 0x1A, 0xF8}, 125e3, 0);
        line.changes.insert(line.changes.end(), second.changes.begin(), second.changes.end());
        const RcLine canl(line, 1.5, 2.5, 0.4e-6, 0.15e-6);
        LogicLine inverse = line;
        inverse.initial = !inverse.initial;
        for (auto& change : inverse.changes)
            change.second = !change.second;
        const RcLine canh(inverse, 2.5, 3.5, 0.15e-6, 0.4e-6);
        AddBusLines(e, 0, 78, 1000000, 0.8, canh, canl);
        SetEdgeTrigger(e, Single, 1, Falling, 2000000); // CH2
        examples.push_back(e);
    }
    return examples;
}

} // namespace

int main(int argc, char** argv)
{
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!folder.exists()) {
        std::fprintf(stderr, "kurvex-make-examples: no folder %s\n", argc > 1 ? argv[1] : ".");
        return 1;
    }
    Noise noise{20261208};
    for (const Example& example : Examples()) {
        SavFile file = example.trigger;
        file.model = example.model;
        file.channelByte = -1;
        const auto trigger = static_cast<uint16_t>(example.count / 2);
        for (const Setup& setup : example.channels)
            file.channels.push_back(
                Sample(setup, example.count, example.intervalPs, trigger, noise));

        const QString path = folder.filePath(QString::fromLatin1(example.fileName));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(BuildSav(file)) < 0 || !out.flush()) {
            std::fprintf(stderr, "kurvex-make-examples: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
