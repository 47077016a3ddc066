// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of synthetic analog captures (RC edges, noise, DC offset, 8-bit quantisation):
// the bytes decoded are the bytes sent, and sigrok-cli reads the same from our logic.
#include "capture/sav_reader.h"
#include "decode/decode.h"
#include "support/bus_signals.h"
#include "support/logic_vcd.h"
#include "support/sav_builder.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct Trace {
    RcLine line;
    int64_t scaleMicroVolts; // per division, x1 probe
    uint8_t offsetByte;      // 128 + 25 per division
};

// The traces sampled from t = 0, with converter noise, quantised to 8 bits, read back
// through the reader like any file.
std::unique_ptr<Capture> BusCapture(int32_t count, int64_t intervalPs,
                                    const std::vector<Trace>& traces, double noiseCounts)
{
    uint64_t state = 0x5EED;
    auto uniform = [&] {
        state += 0x9E3779B97F4A7C15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<double>((z ^ (z >> 31)) >> 11) / 9007199254740992.0;
    };
    SavFile file{};
    for (const Trace& trace : traces) {
        SavChannel channel{};
        channel.offsetByte = trace.offsetByte;
        channel.scaleMicroVolts = trace.scaleMicroVolts;
        channel.sampleIntervalPs = intervalPs;
        const double voltsPerDiv = static_cast<double>(trace.scaleMicroVolts) / 1e6;
        for (int32_t i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) * static_cast<double>(intervalPs) * 1e-12;
            double noise = -6;
            for (int k = 0; k < 12; ++k)
                noise += uniform();
            const double counts =
                trace.offsetByte + 25 * trace.line.At(t) / voltsPerDiv + noise * noiseCounts;
            channel.raw.push_back(static_cast<uint16_t>(std::clamp(std::lround(counts), 0L, 255L)));
        }
        file.channels.push_back(channel);
    }
    auto capture = std::make_unique<Capture>();
    EXPECT_EQ(ReadCaptureBytes(*capture, QStringLiteral("bus.sav"), BuildSav(file)), ReadOk);
    return capture;
}

DecodeRequest Request(const std::vector<DecoderStack>& stacks)
{
    DecodeRequest request{};
    request.stacks = stacks;
    request.first = 0;
    request.last = 1 << 30;
    return request;
}

// The first texts of one annotation class of one decoder, in time order.
QStringList Texts(const DecodeResult& result, const QString& decoder, const QString& cls)
{
    QStringList texts;
    for (const DecodeAnnotation& a : result.annotations) {
        const DecoderInfo& info = result.decoders[static_cast<size_t>(a.instance)];
        if (info.id == decoder && info.annotationClasses[a.annotationClass].id == cls)
            texts.append(a.texts.value(0));
    }
    return texts;
}

// For readable failures.
std::string Joined(QStringList texts)
{
    return texts.join(u" | "_s).toStdString();
}

QStringList Hex(const std::vector<uint8_t>& bytes)
{
    QStringList texts;
    for (uint8_t byte : bytes)
        texts.append(QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
    return texts;
}

std::vector<uint8_t> SomeBytes(int n, uint8_t seed)
{
    std::vector<uint8_t> bytes{0x00, 0xFF, 0x55, 0xAA};
    for (int i = 4; i < n; ++i)
        bytes.push_back(static_cast<uint8_t>(seed + 37 * i + (i * i) / 3));
    return bytes;
}

TEST(Decode, UartBytesAtSeveralRatesOnEitherChannel)
{
    struct Case {
        double baud;
        int64_t intervalPs;
        int32_t slot;
        double low, high; // a DC offset on the line
        double noise;
    };
    const Case cases[] = {
        {9600, 2000000, SlotCh1, 0.0, 3.3, 0.8},   {115200, 100000, SlotCh2, 0.4, 3.7, 1.0},
        {115200, 100000, SlotCh1, -1.2, 2.1, 0.5}, {1000000, 20000, SlotCh2, 0.1, 5.0, 1.2},
        {250000, 200000, SlotCh1, 0.0, 3.3, 0.8}, // 20 samples per bit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        const std::vector<uint8_t> bytes = SomeBytes(24, static_cast<uint8_t>(c.baud));
        const double bit = 1 / c.baud;
        const int32_t count =
            static_cast<int32_t>((30 * bit + 24 * 11 * bit) / (c.intervalPs * 1e-12));
        const RcLine line(UartLine(bytes, c.baud, 10 * bit, 1), c.low, c.high, bit / 20, bit / 25);
        const Trace idle{RcLine(LogicLine{}, 0, 0, 1, 1), 1000000, 128};
        std::vector<Trace> traces{{line, 1000000, 88}};
        if (c.slot == SlotCh2) traces.insert(traces.begin(), idle);
        const auto capture = BusCapture(count, c.intervalPs, traces, c.noise);
        const QString channel = c.slot == SlotCh1 ? QStringLiteral("ch1") : QStringLiteral("ch2");
        DecoderStack stack;
        QString error;
        ASSERT_TRUE(ParseDecoderStack(
            QStringLiteral("uart:rx=%1:baudrate=%2").arg(channel).arg(static_cast<int64_t>(c.baud)),
            stack, error))
            << error.toStdString();
        const DecodeResult result = DecodeCapture(*capture, Request({stack}));
        ASSERT_EQ(result.status, DecodeOk) << result.error.toStdString();
        EXPECT_EQ(Joined(Texts(result, u"uart"_s, u"rx-data"_s)), Joined(Hex(bytes)));
        EXPECT_EQ(result.instances.at(0).name, QStringLiteral("uart-1"));
        EXPECT_TRUE(Texts(result, QStringLiteral("uart"), QStringLiteral("rx-warnings")).isEmpty());
    }
}

// I2C with open-drain edges (slow rise): a write with ACKs, an unanswered poll, a read that
// ends in a NACK, and the EEPROM decoder stacked on top.
std::unique_ptr<Capture> EepromCapture()
{
    const std::vector<uint8_t> page{0x12, 0x34, 0x56, 0x78};
    std::vector<I2cTransfer> transfers;
    transfers.push_back(
        {0x50, false, {0x20, 0x12, 0x34, 0x56, 0x78}, {true, true, true, true, true, true}});
    transfers.push_back({0x50, false, {}, {false}});
    transfers.push_back({0x50, false, {0x20}, {true, true}, false});
    transfers.push_back({0x50, true, page, {true, true, true, true, false}});
    const TwoLines bus = I2cLines(transfers, 1e5, 50e-6);
    return BusCapture(40000, 100000,
                      {{RcLine(bus.clock, 0.1, 3.3, 0.6e-6, 30e-9), 1000000, 88},
                       {RcLine(bus.data, 0.15, 3.3, 0.8e-6, 30e-9), 1000000, 88}},
                      0.8);
}

TEST(Decode, I2cAddressDataAcksAndAStackedEeprom)
{
    const auto capture = EepromCapture();
    DecoderStack stack;
    QString error;
    ASSERT_TRUE(ParseDecoderStack(u"i2c:scl=ch1:sda=ch2,eeprom24xx", stack, error));
    const DecodeResult result = DecodeCapture(*capture, Request({stack}));
    ASSERT_EQ(result.status, DecodeOk) << result.error.toStdString();
    ASSERT_EQ(result.instances.size(), 2u);
    EXPECT_EQ(result.instances[1].name, QStringLiteral("eeprom24xx-1"));
    const QString i2c = QStringLiteral("i2c");
    EXPECT_EQ(Texts(result, i2c, u"address-write"_s).filter(u"50"_s).size(), 3);
    EXPECT_EQ(Texts(result, i2c, u"address-read"_s).filter(u"50"_s).size(), 1);
    EXPECT_EQ(Texts(result, i2c, u"data-write"_s),
              (QStringList{u"Data write: 20"_s, u"Data write: 12"_s, u"Data write: 34"_s,
                           u"Data write: 56"_s, u"Data write: 78"_s, u"Data write: 20"_s}));
    EXPECT_EQ(Texts(result, i2c, u"data-read"_s),
              (QStringList{u"Data read: 12"_s, u"Data read: 34"_s, u"Data read: 56"_s,
                           u"Data read: 78"_s}));
    EXPECT_EQ(Texts(result, i2c, u"ack"_s).size(), 6 + 2 + 4);
    EXPECT_EQ(Texts(result, i2c, u"nack"_s).size(), 2);
    EXPECT_EQ(Texts(result, i2c, u"repeat-start"_s).size(), 1);
    const QStringList eeprom = Texts(result, u"eeprom24xx"_s, u"page-write"_s) +
                               Texts(result, u"eeprom24xx"_s, u"seq-random-read"_s);
    ASSERT_EQ(eeprom.size(), 2);
    EXPECT_TRUE(eeprom[0].endsWith(u"12 34 56 78"_s)) << eeprom[0].toStdString();
    EXPECT_TRUE(eeprom[1].endsWith(u"12 34 56 78"_s)) << eeprom[1].toStdString();
    for (const DecodeAnnotation& a : result.annotations) {
        const DecoderInfo& info = result.decoders[static_cast<size_t>(a.instance)];
        ASSERT_GE(a.row, 0);
        ASSERT_LT(a.row, static_cast<int32_t>(info.rows.size()));
        EXPECT_LE(a.startSample, a.endSample);
    }
}

TEST(Decode, SpiAndCan)
{
    const std::vector<uint8_t> bytes = SomeBytes(16, 3);
    const TwoLines spi = SpiLines(bytes, 1e6, 2e-6, 1);
    const auto spiCapture = BusCapture(8000, 20000,
                                       {{RcLine(spi.clock, 0, 3.3, 15e-9, 12e-9), 1000000, 88},
                                        {RcLine(spi.data, 0, 3.3, 15e-9, 12e-9), 1000000, 88}},
                                       1.0);
    DecoderStack stack;
    QString error;
    ASSERT_TRUE(ParseDecoderStack(u"spi:clk=ch1:mosi=ch2", stack, error));
    DecodeResult result = DecodeCapture(*spiCapture, Request({stack}));
    ASSERT_EQ(result.status, DecodeOk) << result.error.toStdString();
    EXPECT_EQ(Joined(Texts(result, u"spi"_s, u"mosi-data"_s)), Joined(Hex(bytes)));

    // CAN_L: recessive 2.5 V, dominant 1.5 V, on a 0.5 V/div scale.
    const std::vector<uint8_t> data{0x00, 0xFF, 0x1F, 0x83, 0xC1};
    const LogicLine can = CanLine(0x2A5, data, 250e3, 10e-6);
    const auto canCapture =
        BusCapture(3000, 200000, {{RcLine(can, 1.5, 2.5, 0.3e-6, 0.1e-6), 500000, 53}}, 0.7);
    ASSERT_TRUE(ParseDecoderStack(u"can:can_rx=ch1:nominal_bitrate=250000", stack, error));
    result = DecodeCapture(*canCapture, Request({stack}));
    ASSERT_EQ(result.status, DecodeOk) << result.error.toStdString();
    EXPECT_EQ(Texts(result, u"can"_s, u"id"_s), QStringList{u"Identifier: 677 (0x2a5)"_s});
    EXPECT_EQ(Texts(result, u"can"_s, u"data"_s),
              (QStringList{u"Data byte 0: 0x00"_s, u"Data byte 1: 0xff"_s, u"Data byte 2: 0x1f"_s,
                           u"Data byte 3: 0x83"_s, u"Data byte 4: 0xc1"_s}));
    EXPECT_EQ(Texts(result, u"can"_s, u"ack-slot"_s), QStringList{u"ACK slot: ACK"_s});
    EXPECT_TRUE(Texts(result, u"can"_s, u"warnings"_s).isEmpty());
}

TEST(Decode, ThresholdsAutomaticAndManual)
{
    // 1.0 V to 4.3 V: the automatic level is near 2.65 V with a 0.33 V band.
    const std::vector<uint8_t> bytes = SomeBytes(12, 9);
    const double bit = 1 / 115200.0;
    const auto capture = BusCapture(
        20000, 100000,
        {{RcLine(UartLine(bytes, 115200, 5 * bit, 1), 1.0, 4.3, 1e-7, 1e-7), 1000000, 78}}, 0.8);
    const auto automatic = AutomaticThreshold(*capture, SlotCh1);
    ASSERT_TRUE(automatic);
    EXPECT_NEAR(automatic->threshold, 2.65, 0.05);
    EXPECT_NEAR(automatic->hysteresis, 0.33, 0.02);
    EXPECT_FALSE(AutomaticThreshold(*capture, SlotCh2));

    DecoderStack stack;
    QString error;
    ASSERT_TRUE(ParseDecoderStack(u"uart:rx=ch1:baudrate=115200", stack, error));
    struct Case {
        ThresholdSetting setting;
        bool decodes;
    };
    const Case cases[] = {
        {{}, true},
        {{1.5, std::nullopt}, true},
        {{3.9, 0.2}, true},
        {{5.5, std::nullopt}, false}, // above every sample: the line never leaves low
        {{2.6, 4.0}, false},          // a band wider than the swing: no edge passes it
    };
    for (const Case& c : cases) {
        DecodeRequest request = Request({stack});
        request.thresholds[SlotCh1] = c.setting;
        const DecodeResult result = DecodeCapture(*capture, request);
        ASSERT_EQ(result.status, DecodeOk);
        ASSERT_TRUE(result.used[SlotCh1]);
        if (c.setting.threshold) {
            EXPECT_EQ(result.used[SlotCh1]->threshold, *c.setting.threshold);
        }
        EXPECT_EQ(Texts(result, u"uart"_s, u"rx-data"_s) == Hex(bytes), c.decodes)
            << result.used[SlotCh1]->threshold;
    }

    // Between the cursors only the bytes in that range, at their record's sample numbers.
    DecodeRequest range = Request({stack});
    const int32_t from = static_cast<int32_t>((5 + 11 * 3) * bit / 1e-7); // byte 3's start
    range.first = 19999;
    range.last = from - 2;
    const DecodeResult part = DecodeCapture(*capture, range);
    EXPECT_EQ(Texts(part, u"uart"_s, u"rx-data"_s),
              Hex(std::vector<uint8_t>(bytes.begin() + 3, bytes.end())));
    ASSERT_FALSE(part.annotations.empty());
    EXPECT_NEAR(static_cast<double>(part.annotations.front().startSample), from, 3);
}

// The automatic comparator only where the samples form two levels: noise and flat lines
// get none, stay low and decode to nothing without an error; real lines, small or noisy,
// decode. A threshold the user gives is used whatever the line.
TEST(Decode, AutomaticComparatorOnlyForTwoLevels)
{
    const std::vector<uint8_t> bytes = SomeBytes(8, 21);
    const double bit = 1 / 115200.0;
    const LogicLine uart = UartLine(bytes, 115200, 5 * bit, 1);
    struct Case {
        const char* name;
        bool busy; // the UART line, else a flat one at `high`
        double low, high;
        int64_t scaleMicroVolts;
        uint8_t offsetByte;
        double noise; // converter steps, standard deviation
        bool levels;
    };
    const Case cases[] = {
        {"flat, converter noise", false, 1.5, 1.5, 1000000, 88, 1.0, false},
        {"flat, under a step of noise", false, 1.52, 1.52, 1000000, 88, 0.4, false},
        {"flat, two steps of noise", false, 0.5, 0.5, 200000, 128, 2.0, false},
        {"flat, heavy noise", false, 0.0, 0.0, 1000000, 128, 14, false},
        {"flat, noise on an offset", false, 4.1, 4.1, 500000, 8, 1.2, false},
        {"uart, noise of a tenth of the swing", true, 0.0, 3.3, 1000000, 88, 8, true},
        {"uart, 0.3 V swing", true, 0.1, 0.4, 1000000, 88, 0.5, true},
        {"uart, small swing on an offset", true, 4.6, 4.9, 500000, 8, 0.7, true},
        {"uart, quiet", true, 0.0, 3.3, 1000000, 88, 0.0, true},
    };
    DecoderStack stack;
    QString error;
    ASSERT_TRUE(ParseDecoderStack(u"uart:rx=ch1:baudrate=115200", stack, error));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RcLine line(c.busy ? uart : LogicLine{}, c.low, c.high, 1e-7, 1e-7);
        const auto capture =
            BusCapture(20000, 100000, {{line, c.scaleMicroVolts, c.offsetByte}}, c.noise);
        EXPECT_EQ(AutomaticThreshold(*capture, SlotCh1).has_value(), c.levels);
        DecodeResult result = DecodeCapture(*capture, Request({stack}));
        ASSERT_EQ(result.status, DecodeOk) << result.error.toStdString();
        EXPECT_EQ(result.used[SlotCh1].has_value(), c.levels);
        if (c.levels) {
            EXPECT_EQ(Joined(Texts(result, u"uart"_s, u"rx-data"_s)), Joined(Hex(bytes)));
        } else {
            EXPECT_TRUE(result.annotations.empty()) << result.annotations.size();
        }
        // A given threshold is honoured, with or without a band.
        DecodeRequest manual = Request({stack});
        manual.thresholds[SlotCh1] = {c.high, std::nullopt};
        result = DecodeCapture(*capture, manual);
        ASSERT_TRUE(result.used[SlotCh1]);
        EXPECT_EQ(result.used[SlotCh1]->threshold, c.high);
        EXPECT_EQ(result.used[SlotCh1]->hysteresis,
                  c.levels ? AutomaticThreshold(*capture, SlotCh1)->hysteresis : 0.0);
    }
}

TEST(Decode, ComparatorHysteresisAndPieces)
{
    const double volts[] = {0, 0.4, 0.6, 0.45, 0.55, 0.7, 0.35, NAN, 0.2, 0.5, 1, HUGE_VAL};
    struct Case {
        LogicThreshold threshold;
        const char* levels;
        int64_t changes;
    };
    const Case cases[] = {
        {{0.5, 0.2}, "001111000011", 3}, // turns at 0.6 and 0.4 only
        {{0.5, 0.0}, "001011000011", 5}, // no band: above and below the level
        {{NAN, 0.1}, "000000000000", 0}, // garbage level: stays low, no fault
        {{-HUGE_VAL, 0}, "111111111111", 0}, {{0.5, NAN}, "001011000011", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.levels);
        std::vector<uint8_t> whole(std::size(volts), 0xFF);
        int32_t state = -1;
        EXPECT_EQ(ThresholdToLogic(volts, std::size(volts), c.threshold, 2, whole.data(), state),
                  c.changes);
        std::string bits;
        for (uint8_t b : whole) {
            bits += (b & 4) != 0 ? '1' : '0';
            EXPECT_EQ(b | 4, 0xFF); // other bits untouched
        }
        EXPECT_EQ(bits, c.levels);
        // The same in pieces, the level carried over.
        std::vector<uint8_t> pieces(std::size(volts), 0);
        state = -1;
        for (size_t at = 0; at < std::size(volts); at += 5)
            ThresholdToLogic(volts + at, std::min<int64_t>(5, std::size(volts) - at), c.threshold,
                             2, pieces.data() + at, state);
        for (size_t i = 0; i < whole.size(); ++i)
            EXPECT_EQ(pieces[i] & 4, whole[i] & 4) << i;
    }
}

TEST(Decode, FlatLineBadRequestsAndDecoderExceptions)
{
    const auto flat =
        BusCapture(5000, 100000, {{RcLine(LogicLine{}, 0, 3.3, 1, 1), 1000000, 88}}, 0);
    DecoderStack uart;
    QString error;
    ASSERT_TRUE(ParseDecoderStack(u"uart:rx=ch1", uart, error));
    DecodeResult result = DecodeCapture(*flat, Request({uart}));
    EXPECT_EQ(result.status, DecodeOk);
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_TRUE(Texts(result, u"uart"_s, u"rx-data"_s).isEmpty());

    // Words a user can get wrong, each caught before decoding.
    const char16_t* const badStacks[] = {u"nosuchdecoder",     u"uart:rx=ch4", u"uart:colour=red",
                                         u"../uart",           u"uart:rx",     u"",
                                         u"uart,nosuchdecoder"};
    for (const char16_t* text : badStacks) {
        DecoderStack stack;
        EXPECT_FALSE(ParseDecoderStack(QStringView(text), stack, error))
            << QString::fromUtf16(text).toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    const char16_t* const badRequests[] = {
        u"uart:rx=ch1:baudrate=fast",
        u"uart:rx=ch1:parity=maybe",
        u"uart:rx=ch2",
        u"i2c:scl=ch1",
        u"eeprom24xx",
        u"uart:rx=ch1,eeprom24xx",
    };
    for (const char16_t* stackText : badRequests) {
        SCOPED_TRACE(QString::fromUtf16(stackText).toStdString());
        DecoderStack stack;
        ASSERT_TRUE(ParseDecoderStack(QStringView(stackText), stack, error)) << error.toStdString();
        result = DecodeCapture(*flat, Request({stack}));
        EXPECT_EQ(result.status, DecodeBadRequest);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_TRUE(result.annotations.empty());
    }

    // A Python exception inside a decoder (it divides by the baud rate) is a message, and the
    // library stays usable afterwards.
    const auto capture = EepromCapture();
    DecoderStack broken;
    ASSERT_TRUE(ParseDecoderStack(u"uart:rx=ch1:baudrate=0", broken, error));
    result = DecodeCapture(*capture, Request({broken}));
    EXPECT_EQ(result.status, DecodeFailed);
    EXPECT_TRUE(result.error.contains(u"ZeroDivisionError"_s)) << result.error.toStdString();
    result = DecodeCapture(*capture, Request({uart}));
    EXPECT_EQ(result.status, DecodeOk) << result.error.toStdString();

    // Cancelled at the first report: nothing decoded, said so.
    result = DecodeCapture(*capture, Request({uart}), [](double) { return false; });
    EXPECT_EQ(result.status, DecodeCancelled);
}

// sigrok-cli, fed our thresholded logic as VCD, annotates the same samples with the same texts.
TEST(Decode, SameAsSigrokCliOnTheSameLogic)
{
    if (QStandardPaths::findExecutable(u"sigrok-cli"_s).isEmpty()) GTEST_SKIP() << "no sigrok-cli";
    const std::vector<uint8_t> bytes = SomeBytes(20, 5);
    const double bit = 1 / 115200.0;
    const auto uart = BusCapture(
        25000, 100000,
        {{RcLine(UartLine(bytes, 115200, 3 * bit, 0.5), 0.0, 3.3, 1.5e-7, 1.2e-7), 1000000, 88}},
        1.0);
    struct Case {
        const Capture* capture;
        const char16_t* stackText;
        const char* annotation; // sigrok-cli's -A
        const char16_t* decoder;
        QStringList classes;
    };
    const auto i2c = EepromCapture();
    const Case cases[] = {
        {uart.get(), u"uart:rx=ch1:baudrate=115200", "uart=rx-data", u"uart", {u"rx-data"_s}},
        {i2c.get(),
         u"i2c:scl=ch1:sda=ch2",
         "i2c=address-read:address-write:data-read:data-write",
         u"i2c",
         {u"address-read"_s, u"address-write"_s, u"data-read"_s, u"data-write"_s}},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.stackText).toStdString());
        DecoderStack stack;
        QString error;
        ASSERT_TRUE(ParseDecoderStack(QStringView(c.stackText), stack, error));
        const DecodeResult result = DecodeCapture(*c.capture, Request({stack}));
        ASSERT_EQ(result.status, DecodeOk);
        QStringList ours;
        for (const DecodeAnnotation& a : result.annotations) {
            const DecoderInfo& info = result.decoders[static_cast<size_t>(a.instance)];
            if (c.classes.contains(info.annotationClasses[a.annotationClass].id))
                ours.append(u"%1-%2 %3: %4"_s.arg(a.startSample)
                                .arg(a.endSample)
                                .arg(result.instances[static_cast<size_t>(a.instance)].name,
                                     a.texts.value(0)));
        }
        ASSERT_FALSE(ours.isEmpty());

        const int32_t n = c.capture->samplesPerChannel;
        std::vector<uint8_t> logic(static_cast<size_t>(n), 0);
        std::vector<double> volts(static_cast<size_t>(n));
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            if (!result.used[slot]) continue;
            for (int32_t i = 0; i < n; ++i)
                volts[static_cast<size_t>(i)] = SampleValue(*c.capture, slot, i);
            int32_t state = -1;
            ThresholdToLogic(volts.data(), n, *result.used[slot], static_cast<uint8_t>(slot),
                             logic.data(), state);
        }
        const QString vcd = dir.filePath(u"logic.vcd"_s);
        ASSERT_TRUE(WriteLogicVcd(vcd.toStdString(), logic, "100 ns"));
        QProcess sigrok;
        sigrok.start(u"sigrok-cli"_s,
                     {u"-i"_s, vcd, u"-P"_s, QString::fromUtf16(c.stackText), u"-A"_s,
                      QString::fromLatin1(c.annotation), u"--protocol-decoder-samplenum"_s});
        ASSERT_TRUE(sigrok.waitForFinished(60000));
        QStringList theirs =
            QString::fromUtf8(sigrok.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        // Both in time order; among annotations that start together sigrok-cli keeps the
        // order the decoder emitted them in.
        ours.sort();
        theirs.sort();
        EXPECT_EQ(Joined(ours), Joined(theirs));
    }
}

} // namespace
