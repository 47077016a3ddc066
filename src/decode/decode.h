// SPDX-License-Identifier: GPL-3.0-or-later
// Bus decoding of a capture with libsigrokdecode: each analog channel (CH1, CH2, MATH) is cut
// into logic levels by a threshold with hysteresis, the logic goes to the library's
// decoders at the capture's sample rate, and what they annotate comes back as plain records.
// No decoder of our own: the library's Python decoders are listed, set up and stacked as
// they declare themselves.
//
// The library holds one Python interpreter per process. It is started on first use (our
// own: the user's PYTHON* variables are ignored, the decoders' bytecode is cached under
// the user's cache folder) and stopped by ShutDownDecoding(); every call here takes one
// process-wide lock, so decodes run one at a time and may come from any thread (the viewer
// runs them in a worker). A decoder that raises a Python exception ends its decode with an
// error text, never more.
#pragma once

#include "capture/capture.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// ---- Analog to logic ----------------------------------------------------------------------

// A comparator with hysteresis, in the channel's volts (MATH: its unit). The level turns
// high when a sample reaches threshold + hysteresis / 2 and low when it reaches
// threshold - hysteresis / 2; the first sample is high when it is at or above threshold.
struct LogicThreshold {
    double threshold;
    double hysteresis; // the width of the band, >= 0
};

// The user's choice for one channel; an empty field takes the automatic value.
struct ThresholdSetting {
    std::optional<double> threshold;
    std::optional<double> hysteresis;
};

// The automatic comparator of `slot`: the middle between the channel's top and base state
// levels, hysteresis 10 % of the amplitude. The levels are the whole record's, whatever
// range is decoded: a line that stays idle between the cursors has edges elsewhere, and the
// levels of its idle noise alone would turn that noise into edges. A channel gets a
// comparator only when its samples form two separate levels: the samples above and below
// that middle must lie apart by at least 1.6 times the sum of their standard deviations and
// by at least 3.5 converter steps (0.14 division). Noise, a flat line with noise, a constant
// line form no two levels and get none, so they stay at one logic level (low) and give no
// edges. Empty as well when the slot is absent or has no finite sample.
std::optional<LogicThreshold> AutomaticThreshold(const Capture& capture, int32_t slot);

// The comparator used for `slot`: the setting's fields over the automatic ones. Empty when
// the slot is absent, a given value is not finite, the hysteresis is negative, or the
// threshold is left automatic and there is no automatic comparator. A given threshold is
// always used (without a given hysteresis and automatic one: no band).
std::optional<LogicThreshold> ResolveThreshold(const Capture& capture, int32_t slot,
                                               const ThresholdSetting& setting);

// Sets (or clears) `bit` of out[0..count-1] to the comparator's level for volts[0..count-1].
// `state` carries the level between calls (-1: not yet known, then 0 or 1), so a record can
// be converted in pieces. A sample that is not finite keeps the level. Returns the number
// of level changes. Garbage thresholds (NaN, infinite) give a constant level, never a fault.
int64_t ThresholdToLogic(const double* volts, int64_t count, const LogicThreshold& threshold,
                         uint8_t bit, uint8_t* out, int32_t& state);

// ---- Decoders ---------------------------------------------------------------------------

enum DecoderOptionKind : int32_t { OptionText = 0, OptionInteger = 1, OptionReal = 2 };

struct DecoderChannelInfo {
    QString id;   // "rx": the name used in a channel mapping
    QString name; // "RX"
    QString desc; // "UART receive line"
};

struct DecoderOptionInfo {
    QString id;   // "baudrate"
    QString desc; // "Baud rate"
    int32_t kind; // DecoderOptionKind of the default, and so of every value
    QString defaultValue;
    QStringList values; // the allowed values; empty: any value of the kind
};

struct DecoderAnnotationClass {
    QString id;   // "rx-data"
    QString desc; // "RX data"
};

struct DecoderAnnotationRow {
    QString id;
    QString desc;
    std::vector<int32_t> classes; // indices into DecoderInfo::annotationClasses
};

struct DecoderInfo {
    QString id;       // "uart"
    QString name;     // "UART"
    QString longname; // "Universal Asynchronous Receiver/Transmitter"
    QString desc;
    QStringList inputs;  // "logic" for decoders of channels, else what they stack on
    QStringList outputs; // what a decoder stacked on this one takes as input
    std::vector<DecoderChannelInfo> channels;         // required
    std::vector<DecoderChannelInfo> optionalChannels; // may stay unmapped
    std::vector<DecoderOptionInfo> options;
    std::vector<DecoderAnnotationClass> annotationClasses;
    // The rows as the decoder declares them. Classes in no declared row (or all classes
    // when it declares none) get one more row, id "" and the decoder's name as desc, last.
    std::vector<DecoderAnnotationRow> rows;
    std::vector<int32_t> rowOfClass; // per annotation class, its index into rows
};

// Every installed decoder, sorted by id. False with `error` when the library cannot start.
bool ListDecoders(std::vector<DecoderInfo>& decoders, QString& error);

// One decoder by id (loads only that one: quicker than the list). False with `error` for an
// unknown id or when the library cannot start.
bool FindDecoder(const QString& id, DecoderInfo& decoder, QString& error);

// ---- Decoding ---------------------------------------------------------------------------

// One decoder of a stack: the bottom one maps its channels to slots, the ones on top take
// the output of the one below and map none. Option values are text, read as the option's
// kind ("115200", "0.5", "lsb-first").
struct DecoderSetup {
    QString id;
    std::vector<std::pair<QString, int32_t>> channels; // decoder channel id, ChannelSlot
    std::vector<std::pair<QString, QString>> options;  // option id, value
};

// A decoder and the ones stacked on it, bottom first ("i2c", then "eeprom24xx").
using DecoderStack = std::vector<DecoderSetup>;

struct DecodeRequest {
    std::vector<DecoderStack> stacks;
    ThresholdSetting thresholds[SlotCount]; // per ChannelSlot
    int32_t first;                          // samples first..last, both included, either order
    int32_t last;
};

// The command-line form "DECODER[:KEY=VALUE...][,STACKED[:KEY=VALUE...]...]", as sigrok-cli
// writes it: a KEY that names a channel of its decoder maps that channel (VALUE ch1, ch2 or
// math, in any letter case), any other KEY sets an option. False with `error` for malformed
// text, an unknown decoder or an unknown key; values are checked by CheckDecodeRequest.
bool ParseDecoderStack(QStringView text, DecoderStack& stack, QString& error);

// Checks a request against the installed decoders without decoding: unknown decoders,
// channels, options or option values, a channel mapped to an absent slot or twice, a
// required channel unmapped, a stack whose upper decoder cannot take the lower one's
// output. Empty when it is sound, else one line saying what is wrong.
QString CheckDecodeRequest(const Capture* capture, const DecodeRequest& request);

// One decoder instance of a decode, in stack order.
struct DecodeInstance {
    QString name; // as libsigrokdecode names the instance: "uart-1"
    QString decoderId;
    int32_t stack; // index into DecodeRequest::stacks
    int32_t layer; // 0: the bottom decoder of that stack
};

struct DecodeAnnotation {
    int64_t startSample; // from the record's first sample
    int64_t endSample;   // exclusive: the annotation covers start .. end - 1
    int32_t instance;    // index into DecodeResult::instances
    int32_t annotationClass;
    int32_t row;       // index into the instance's DecoderInfo::rows
    QStringList texts; // longest first, as the decoder gives them
};

enum DecodeStatus : int32_t {
    DecodeOk = 0,
    DecodeCancelled = 1,  // the progress callback said stop: annotations so far are kept
    DecodeBadRequest = 2, // CheckDecodeRequest's text is in `error`
    DecodeFailed = 3,     // the library or a decoder failed: `error` says why
};

struct DecodeResult {
    int32_t status; // DecodeStatus
    QString error;
    double sampleRate;                             // Hz, as given to the decoders
    std::optional<LogicThreshold> used[SlotCount]; // the comparators used; none: held low
    std::vector<DecodeInstance> instances;
    std::vector<DecoderInfo> decoders;         // per instance, its decoder's description
    std::vector<DecodeAnnotation> annotations; // by start, then end, then instance
};

// Called now and then with the share done (0..1); returning false cancels the decode.
using DecodeProgress = std::function<bool(double done)>;

// Decodes the capture. Blocks while another decode runs.
DecodeResult DecodeCapture(const Capture& capture, const DecodeRequest& request,
                           const DecodeProgress& progress = {});

// The seconds of an annotation's start or end sample from the record's first sample.
double DecodeSampleTime(const Capture& capture, int64_t sample);

// Stops the library's interpreter for good, at the end of the process, once no decode runs
// any more; a decode or listing asked for after it fails with a message (a worker still on
// its way must not start a new interpreter amid the exit). A process may leave it out (kurvex-cli does: stopping
// collects every Python object, which only costs time at that point).
void ShutDownDecoding();
