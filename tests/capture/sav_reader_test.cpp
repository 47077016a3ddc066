// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/sav_reader.h"
#include "support/sav_builder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// A plain, valid channel: a ramp of `count` samples, 1 V/DIV, 1 us per sample.
SavChannel Channel(int32_t count)
{
    SavChannel channel{};
    channel.scaleMicroVolts = 1000000;
    channel.sampleIntervalPs = 1000000;
    channel.triggerPosition = static_cast<uint16_t>(count / 2);
    for (int32_t i = 0; i < count; ++i)
        channel.raw.push_back(static_cast<uint16_t>(28 + i % 201));
    return channel;
}

SavFile File(int32_t channels, int32_t count = 1000)
{
    SavFile file{};
    for (int32_t i = 0; i < channels; ++i)
        file.channels.push_back(Channel(count));
    return file;
}

int32_t Read(Capture& capture, const QByteArray& bytes)
{
    return ReadCaptureBytes(capture, QStringLiteral("C:/mess/kurve.sav"), bytes);
}

int32_t Read(const QByteArray& bytes)
{
    Capture capture{};
    return Read(capture, bytes);
}

// What every result must leave behind, whatever the bytes were.
void ExpectConsistent(const Capture& capture, int32_t code)
{
    ASSERT_GE(code, ReadOk);
    ASSERT_LE(code, ReadInvalidValues);
    ASSERT_NE(code, ReadCannotOpen);
    if (code != ReadOk) {
        EXPECT_EQ(capture.sampleBlock, nullptr);
        return;
    }
    ASSERT_NE(capture.sampleBlock, nullptr);
    EXPECT_GE(capture.samplesPerChannel, 1);
    EXPECT_LE(capture.samplesPerChannel, 65535);
    EXPECT_EQ(capture.present[SlotCh1], 1);
    EXPECT_EQ(capture.present[SlotMath], 0);
    EXPECT_GE(capture.triggerType, 0);
    EXPECT_LE(capture.triggerType, 1);
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        EXPECT_GE(capture.missing[slot], 0);
        EXPECT_LE(capture.missing[slot], capture.samplesPerChannel);
    }
}

TEST(SavReader, ModelIdentifiers)
{
    struct Case {
        QByteArray model;
        int32_t code;
    };
    const Case cases[] = {
        {QByteArray("UTD2052CEL"), ReadOk},
        {QByteArray("UTD2102CEL"), ReadOk},
        {QByteArray("UTD2025CL\0", 10), ReadOk},
        {QByteArray("UTD2025CLX"), ReadUnknownModel},
        {QByteArray("UTD2025CL "), ReadUnknownModel},
        {QByteArray("UTD2025CL\x01", 10), ReadUnknownModel},
        {QByteArray("utd2102cel"), ReadUnknownModel},
        {QByteArray("UTD2102CE"), ReadUnknownModel},
        {QByteArray("UTD2052CEX"), ReadUnknownModel},
        {QByteArray(), ReadUnknownModel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model.toHex().toStdString());
        SavFile file = File(1);
        file.model = c.model;
        const QByteArray bytes = BuildSav(file);
        EXPECT_EQ(IsKnownModel(bytes), c.code == ReadOk);
        Capture capture{};
        EXPECT_EQ(Read(capture, bytes), c.code);
        if (c.code == ReadUnknownModel) {
            // Rejected before anything is written.
            EXPECT_TRUE(capture.filePath.isEmpty());
            EXPECT_EQ(capture.hDivisions, 0);
            EXPECT_EQ(capture.present[SlotCh1], 0);
        }
    }
}

TEST(SavReader, ChannelCountByte)
{
    struct Case {
        int32_t channelByte;
        int32_t code;
    };
    const Case cases[] = {
        {0, ReadInvalidValues},   {1, ReadOk}, {2, ReadOk}, {3, ReadInvalidValues},
        {255, ReadInvalidValues},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channelByte);
        SavFile file = File(2);
        file.channelByte = c.channelByte;
        Capture capture{};
        const int32_t code = Read(capture, BuildSav(file));
        EXPECT_EQ(code, c.code);
        ExpectConsistent(capture, code);
        EXPECT_EQ(capture.filePath, QStringLiteral("C:/mess/kurve.sav"));
        EXPECT_EQ(capture.hDivisions, 12);
        EXPECT_EQ(capture.vDivisions, 8);
        if (code != ReadOk) continue;
        EXPECT_EQ(capture.present[SlotCh2], c.channelByte == 2 ? 1 : 0);
        if (c.channelByte == 2) continue;
        // CH2 was not read: everything of it stays 0, its samples too.
        EXPECT_EQ(capture.probeFactor[SlotCh2], 0.0);
        EXPECT_EQ(capture.voltsPerDiv[SlotCh2], 0.0);
        EXPECT_EQ(capture.channelRows[SlotCh2], 0);
        for (int32_t i = 0; i < capture.samplesPerChannel; ++i)
            ASSERT_EQ(SampleValue(capture, SlotCh2, i), 0.0);
    }
}

TEST(SavReader, ChannelBlocksMustAgree)
{
    struct Case {
        const char* name;
        int32_t channels;
        void (*change)(SavFile&);
        int32_t code;
    };
    const Case cases[] = {
        {"equal", 2, [](SavFile&) {}, ReadOk},
        {"count", 2, [](SavFile& f) { f.channels[1].raw.pop_back(); }, ReadInvalidValues},
        {"interval", 2, [](SavFile& f) { f.channels[1].sampleIntervalPs += 1; }, ReadInvalidValues},
        {"trigger position", 2, [](SavFile& f) { f.channels[1].triggerPosition += 1; },
         ReadInvalidValues},
        {"other fields may differ", 2,
         [](SavFile& f) {
             f.channels[1].probeCode = 3;
             f.channels[1].scaleMicroVolts = 5;
             f.channels[1].offsetByte = 0;
         },
         ReadOk},
        // A count of 0 is an invalid value, not a failure to get memory.
        {"both counts 0", 2,
         [](SavFile& f) {
             f.channels[0].raw.clear();
             f.channels[1].raw.clear();
         },
         ReadInvalidValues},
        {"single count 0", 1, [](SavFile& f) { f.channels[0].raw.clear(); }, ReadInvalidValues},
        // The CH2 block is found through CH1's count, so a lying count misplaces CH2.
        {"CH1 count too small", 2, [](SavFile& f) { f.channels[0].countOverride = 999; },
         ReadInvalidValues},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SavFile file = File(c.channels);
        c.change(file);
        Capture capture{};
        const int32_t code = Read(capture, BuildSav(file));
        EXPECT_EQ(code, c.code);
        ExpectConsistent(capture, code);
    }
}

TEST(SavReader, TruncatedFiles)
{
    // Two channels of 1000 samples: CH1 block 124..2185, CH2 block 2186..4247.
    const QByteArray full = BuildSav(File(2));
    ASSERT_EQ(full.size(), 4248);
    const QByteArray single = BuildSav(File(1));

    struct Case {
        const QByteArray* bytes;
        qsizetype length;
        int32_t code;
        int32_t presentCh1; // samples held; the rest is missing and reads NaN
        int32_t presentCh2;
    };
    const Case cases[] = {
        {&full, 0, ReadUnknownModel, 0, 0},
        {&full, 19, ReadUnknownModel, 0, 0},
        {&full, 20, ReadInvalidValues, 0, 0},
        {&full, 97, ReadInvalidValues, 0, 0},
        // A header cut short has no count or scale to trust.
        {&full, 98, ReadInvalidValues, 0, 0},
        {&full, 171, ReadInvalidValues, 0, 0},
        {&single, 172, ReadInvalidValues, 0, 0},
        {&single, 185, ReadInvalidValues, 0, 0},
        {&single, 186, ReadOk, 0, 0}, // a header and no samples
        {&single, 187, ReadOk, 0, 0}, // half a word is no sample
        {&single, 188, ReadOk, 1, 0},
        {&single, 1186, ReadOk, 500, 0},
        {&full, 2186, ReadOk, 1000, 0}, // CH2's block missing: no settings, no samples
        {&full, 2247, ReadOk, 1000, 0},
        {&full, 2248, ReadOk, 1000, 0},
        {&full, 4246, ReadOk, 1000, 999},
        {&full, 4248, ReadOk, 1000, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        Capture capture{};
        const int32_t code = Read(capture, c.bytes->left(c.length));
        EXPECT_EQ(code, c.code);
        ExpectConsistent(capture, code);
        if (code != ReadOk) continue;
        const bool twoChannels = capture.present[SlotCh2] == 1;
        EXPECT_EQ(PresentSamples(capture, SlotCh1), c.presentCh1);
        EXPECT_EQ(capture.missing[SlotCh1], 1000 - c.presentCh1);
        EXPECT_EQ(capture.missing[SlotCh2], twoChannels ? 1000 - c.presentCh2 : 0);
        EXPECT_EQ(CaptureIncomplete(capture),
                  c.presentCh1 < 1000 || (twoChannels && c.presentCh2 < 1000));
        if (twoChannels && c.length < 2248) {
            EXPECT_EQ(capture.channelRows[SlotCh2], 0);
        }
        for (int32_t i = 0; i < capture.samplesPerChannel; ++i) {
            const double expected = (28 + i % 201 - 128) / 25.0;
            const double value1 = capture.samples[SlotCh1][i];
            ASSERT_TRUE(i < c.presentCh1 ? value1 == expected : std::isnan(value1)) << i;
            const double value2 = capture.samples[SlotCh2][i];
            ASSERT_TRUE(!twoChannels       ? value2 == 0.0
                        : i < c.presentCh2 ? value2 == expected
                                           : std::isnan(value2))
                << i;
        }
    }

    // A file that ends inside the identifier of the model with the zero byte is still that
    // model, because missing bytes read as zero; it ends before byte 97.
    SavFile file = File(1);
    file.model = QByteArray("UTD2025CL");
    EXPECT_EQ(Read(BuildSav(file).left(19)), ReadInvalidValues);
}

TEST(SavReader, SampleWords)
{
    const uint16_t words[] = {128, 153, 28, 0, 228, 65535};
    const double positions[] = {0.0, 1.0, -4.0, -5.12, 4.0, 2616.28};
    SavFile file = File(2, 6);
    file.channels[0].raw.assign(std::begin(words), std::end(words));
    file.channels[1].raw.assign(std::rbegin(words), std::rend(words));
    Capture capture{};
    ASSERT_EQ(Read(capture, BuildSav(file)), ReadOk);
    ASSERT_EQ(capture.samplesPerChannel, 6);
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(capture.samples[SlotCh1][i], positions[i]) << i;
        EXPECT_DOUBLE_EQ(capture.samples[SlotCh2][5 - i], positions[i]) << i;
        EXPECT_EQ(capture.samples[SlotMath][i], 0.0);
    }
}

TEST(SavReader, SecondBlockFollowsFirstWithoutGap)
{
    SavFile file = File(2, 1000);
    file.channels[1].raw.assign(1000, 153);
    file.channels[1].raw[0] = 203;
    file.channels[1].offsetByte = 178;
    const QByteArray bytes = BuildSav(file);
    EXPECT_EQ(static_cast<uint8_t>(bytes[2186 + 13]), 178);
    EXPECT_EQ(static_cast<uint8_t>(bytes[2248]), 203);

    Capture capture{};
    ASSERT_EQ(Read(capture, bytes), ReadOk);
    EXPECT_EQ(capture.offsetDiv[SlotCh2], 2.0);
    EXPECT_EQ(capture.samples[SlotCh2][0], 3.0);
    EXPECT_EQ(capture.samples[SlotCh2][999], 1.0);
    EXPECT_EQ(capture.samples[SlotCh1][999], (28 + 999 % 201 - 128) / 25.0);
}

TEST(SavReader, ChannelSettings)
{
    struct Case {
        const char* name;
        SavChannel channel;
        double probeFactor;
        double voltsPerDiv;
        double offsetDiv;
        int32_t coupling;
        int32_t bandwidthLimit;
        int32_t inverted;
    };
    auto with = [](auto change) {
        SavChannel channel = Channel(10);
        change(channel);
        return channel;
    };
    const Case cases[] = {
        {"5 V/DIV with x10", with([](SavChannel& c) {
             c.offsetByte = 153;
             c.scaleMicroVolts = 500000;
             c.probeCode = 1;
         }),
         10, 5, 1, 0, 0, 0},
        {"x1", with([](SavChannel& c) { c.scaleMicroVolts = 2000; }), 1, 0.002, 0, 0, 0, 0},
        {"x100", with([](SavChannel& c) { c.probeCode = 2; }), 100, 100, 0, 0, 0, 0},
        {"x1000", with([](SavChannel& c) { c.probeCode = 3; }), 1000, 1000, 0, 0, 0, 0},
        {"unknown probe", with([](SavChannel& c) { c.probeCode = 4; }), 0, 0, 0, 0, 0, 0},
        {"offset byte 0", with([](SavChannel& c) { c.offsetByte = 0; }), 1, 1, -5.12, 0, 0, 0},
        {"offset byte 255", with([](SavChannel& c) { c.offsetByte = 255; }), 1, 1, 5.08, 0, 0, 0},
        {"AC, limited, inverted", with([](SavChannel& c) {
             c.coupling = 1;
             c.bandwidthLimit = 1;
             c.inverted = 1;
         }),
         1, 1, 0, 1, 1, 1},
        {"GND", with([](SavChannel& c) { c.coupling = 2; }), 1, 1, 0, 2, 0, 0},
        {"codes outside the tables", with([](SavChannel& c) {
             c.coupling = 3;
             c.bandwidthLimit = 2;
             c.inverted = 255;
         }),
         1, 1, 0, 0, 0, 0},
        {"negative scale", with([](SavChannel& c) { c.scaleMicroVolts = -20000; }), 1, -0.02, 0, 0,
         0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The channel under test is CH2 in the second file, to show both blocks convert alike.
        for (int32_t slot : {SlotCh1, SlotCh2}) {
            SavFile file = File(2, 10);
            file.channels[slot] = c.channel;
            Capture capture{};
            ASSERT_EQ(Read(capture, BuildSav(file)), ReadOk);
            EXPECT_EQ(capture.probeFactor[slot], c.probeFactor);
            EXPECT_DOUBLE_EQ(capture.voltsPerDiv[slot], c.voltsPerDiv);
            EXPECT_DOUBLE_EQ(capture.offsetDiv[slot], c.offsetDiv);
            EXPECT_EQ(capture.coupling[slot], c.coupling);
            EXPECT_EQ(capture.bandwidthLimit[slot], c.bandwidthLimit);
            EXPECT_EQ(capture.inverted[slot], c.inverted);
            EXPECT_EQ(capture.channelRows[slot], 0x1F);
        }
    }
}

TEST(SavReader, TriggerSourceAndLevel)
{
    struct Case {
        const char* name;
        uint8_t sourceByte;
        int32_t channels;
        int32_t kind;
        int32_t channel;
        double level;
    };
    // CH1 has a x100 probe, CH2 a x10 probe; the stored level is 250 000 uV.
    const Case cases[] = {
        {"CH1", 0, 2, SourceChannel, SlotCh1, 25},
        {"CH2", 1, 2, SourceChannel, SlotCh2, 2.5},
        {"external", 4, 2, SourceExternal, 0, 0.25},
        {"AC line", 6, 2, SourceAcLine, 0, 0.25},
        {"alternating", 7, 2, SourceAlternating, 0, 0.25},
        {"byte 5 counts as CH1", 5, 2, SourceChannel, SlotCh1, 25},
        {"byte 2 counts as CH1", 2, 2, SourceChannel, SlotCh1, 25},
        // CH2 was not saved, so its probe is unknown: the level stays as stored.
        {"CH2 not saved", 1, 1, SourceChannel, SlotCh2, 0.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SavFile file = File(c.channels, 10);
        file.channels[0].probeCode = 2;
        if (c.channels == 2) file.channels[1].probeCode = 1;
        file.triggerSource = c.sourceByte;
        file.triggerLevelMicroVolts = 250000;
        Capture capture{};
        ASSERT_EQ(Read(capture, BuildSav(file)), ReadOk);
        EXPECT_EQ(capture.triggerSourceKind, c.kind);
        EXPECT_EQ(capture.triggerSourceChannel, c.channel);
        EXPECT_DOUBLE_EQ(capture.triggerLevel, c.level);
    }
}

TEST(SavReader, TriggerTypeAndSettingsRows)
{
    struct Case {
        uint8_t typeByte;
        int32_t type;
        int32_t rows;
    };
    const Case cases[] = {
        {0, TriggerTypeEdge, 0x0FF}, {1, TriggerTypeEdge, 0x0FF},   {2, TriggerTypePulse, 0x77F},
        {3, TriggerTypeEdge, 0x0FF}, {255, TriggerTypeEdge, 0x0FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typeByte);
        SavFile file = File(1, 10);
        file.triggerType = c.typeByte;
        Capture capture{};
        ASSERT_EQ(Read(capture, BuildSav(file)), ReadOk);
        EXPECT_EQ(capture.triggerType, c.type);
        EXPECT_EQ(capture.settingsRows, c.rows);
    }
}

TEST(SavReader, HeaderCodesOutsideTablesStayZero)
{
    struct Case {
        const char* name;
        uint8_t SavFile::*byte;
        int32_t Capture::*field;
        int32_t lastValid;
    };
    const Case cases[] = {
        {"mode", &SavFile::triggerMode, &Capture::triggerMode, 2},
        {"coupling", &SavFile::triggerCoupling, &Capture::triggerCoupling, 3},
        {"slope", &SavFile::edgeSlope, &Capture::edgeSlope, 2},
        {"polarity", &SavFile::pulsePolarity, &Capture::pulsePolarity, 1},
        {"condition", &SavFile::pulseCondition, &Capture::pulseCondition, 2},
    };
    for (const Case& c : cases) {
        for (int32_t value : {0, 1, 2, 3, 4, 255}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(value));
            SavFile file = File(1, 10);
            file.*c.byte = static_cast<uint8_t>(value);
            Capture capture{};
            ASSERT_EQ(Read(capture, BuildSav(file)), ReadOk);
            EXPECT_EQ(capture.*c.field, value <= c.lastValid ? value : 0);
        }
    }
}

TEST(SavReader, TimesFromPicosecondsAndNanoseconds)
{
    struct Case {
        int64_t intervalPs;
        int32_t count;
        double timePerDiv;
    };
    const Case cases[] = {
        {4000000, 3000, 0.001},
        {1000000, 1000, 1000000.0 * 1000 / 12 / 1e12},
        {1200000, 2500, 0.00025},
        {333, 65535, 333.0 * 65535 / 12 / 1e12},
        // Too large for a 64-bit integer product: must still come out finite and positive.
        {INT64_MAX, 65535, static_cast<double>(INT64_MAX) * 65535 / 12 / 1e12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.intervalPs);
        SavFile file = File(1, c.count);
        file.channels[0].sampleIntervalPs = c.intervalPs;
        file.pulseWidthNs = -1500;
        file.triggerOffsetPs = -2500000;
        Capture capture{};
        ASSERT_EQ(Read(capture, BuildSav(file)), ReadOk);
        // Bit for bit: exports print 15 digits, so the order of the operations shows.
        EXPECT_EQ(capture.timePerDiv, c.timePerDiv);
        EXPECT_EQ(capture.pulseWidth, -1500 / 1e9);
        EXPECT_EQ(capture.triggerOffset, -2500000 / 1e12);
    }
}

// Deterministic, so a failure can be replayed.
uint64_t NextRandom(uint64_t& state)
{
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

TEST(SavReader, RandomBytesAndMutationsNeverCrash)
{
    uint64_t state = 20261208;
    const QByteArray valid = BuildSav(File(2, 300));
    for (int32_t round = 0; round < 3000; ++round) {
        QByteArray bytes;
        if (round % 2 == 0) {
            bytes.resize(static_cast<qsizetype>(NextRandom(state) % 2000));
            for (char& b : bytes)
                b = static_cast<char>(NextRandom(state));
            // Half of them with a real model so that the parser gets past the identifier.
            if (round % 4 == 0 && bytes.size() >= 20) bytes.replace(10, 10, "UTD2052CEL");
        } else {
            bytes = valid.left(static_cast<qsizetype>(NextRandom(state) % (valid.size() + 1)));
            const int32_t flips = static_cast<int32_t>(NextRandom(state) % 8);
            for (int32_t i = 0; i < flips && !bytes.isEmpty(); ++i)
                bytes[static_cast<qsizetype>(NextRandom(state) % bytes.size())] =
                    static_cast<char>(NextRandom(state));
        }
        Capture capture{};
        const int32_t code = Read(capture, bytes);
        ExpectConsistent(capture, code);
        if (code == ReadOk) {
            // Every sample held is a real value, every other one reads NaN.
            for (int32_t slot : {SlotCh1, SlotCh2})
                for (int32_t i = 0; i < capture.samplesPerChannel; ++i)
                    ASSERT_EQ(std::isfinite(capture.samples[slot][i]),
                              capture.present[slot] != 1 || SamplePresent(capture, slot, i));
        }
        if (HasFatalFailure()) FAIL() << "round " << round;
    }
}

TEST(SavReaderFile, OpensOnlyReadableFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("gut.sav"));
    const QString longer = dir.filePath(QStringLiteral("lang.sav"));
    const QString folder = dir.filePath(QStringLiteral("ordner.sav"));
    const QByteArray bytes = BuildSav(File(2, 1000));
    {
        QFile file(good);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        QFile more(longer);
        ASSERT_TRUE(more.open(QIODevice::WriteOnly));
        more.write(bytes);
        more.write(QByteArray(1 << 20, '\x7f')); // never looked at
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("ordner.sav")));

    struct Case {
        QString path;
        int32_t code;
    };
    const Case cases[] = {
        {good, ReadOk},
        {longer, ReadOk},
        {dir.filePath(QStringLiteral("fehlt.sav")), ReadCannotOpen},
        {folder, ReadCannotOpen},
        {QString(), ReadCannotOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        Capture capture{};
        const int32_t code = ReadCapture(capture, c.path);
        EXPECT_EQ(code, c.code);
        if (code == ReadCannotOpen) {
            EXPECT_TRUE(capture.filePath.isEmpty());
            EXPECT_EQ(capture.sampleBlock, nullptr);
            continue;
        }
        EXPECT_EQ(capture.filePath, c.path);
        Capture fromBytes{};
        ASSERT_EQ(ReadCaptureBytes(fromBytes, c.path, bytes), ReadOk);
        for (int32_t slot : {SlotCh1, SlotCh2}) {
            for (int32_t i = 0; i < 1000; ++i)
                ASSERT_EQ(capture.samples[slot][i], fromBytes.samples[slot][i]);
        }
    }
}

// Every file under tests/data/bad is named code<N>_<what>.sav and must read with code N.
TEST(SavReaderFile, BadFileCorpus)
{
    const QDir dir(QStringLiteral(KURVEX_TEST_DATA_DIR "/bad"));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 10);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(name.startsWith(QStringLiteral("code")) && name.size() > 5 && name[5] == u'_');
        const int32_t expected = name[4].digitValue();
        Capture capture{};
        const int32_t code = ReadCapture(capture, dir.filePath(name));
        EXPECT_EQ(code, expected);
        ExpectConsistent(capture, code);
    }
}

} // namespace

namespace {

TEST(LoadMessage, TextsPerResultCode)
{
    // Paths with braces and quotes must come through untouched.
    const QString path = QStringLiteral("C:/Messungen/{0} \"alt\"/Kurve 1.sav");
    struct Case {
        int32_t code;
        QString text;
    };
    const Case cases[] = {
        {ReadOk, QString()},
        {ReadCannotOpen,
         QStringLiteral("Die Datei \"C:/Messungen/{0} \"alt\"/Kurve 1.sav\" kann nicht geöffnet "
                        "werden!")},
        {ReadUnknownModel,
         QStringLiteral("Datei \"C:/Messungen/{0} \"alt\"/Kurve 1.sav\": Unbekanntes Format!")},
        {ReadNoMemory, QStringLiteral("Datei \"C:/Messungen/{0} \"alt\"/Kurve 1.sav\": Speicher "
                                      "für Kanal-Daten konnte nicht reserviert werden!")},
        {ReadInvalidValues,
         QStringLiteral("Datei \"C:/Messungen/{0} \"alt\"/Kurve 1.sav\": Unzulässige Werte "
                        "gefunden!")},
        {5, QString()},
        {-1, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(LoadMessage(c.code, path), c.text);
    }
}

} // namespace
