// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/decode_command.h"

#include "capture/file_name.h"
#include "capture/sav_reader.h"
#include "cli/cli_output.h"
#include "decode/decode.h"
#include "math/math_channel.h"
#include "output/text_file.h"
#include "text/format_text.h"
#include "text/number_text.h"

#include <QString>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const char DecodeUsageText[] =
    "Usage:\n"
    "  kurvex-cli decode FILE.sav... -P DECODER[:KEY=VALUE...][,STACKED[:KEY=VALUE...]...]\n"
    "                 [-P ...] [--threshold CH=VOLTS[:HYSTERESIS]]... [--cursors A,B]\n"
    "                 [--math DEF]... [-o OUT|-]\n"
    "  kurvex-cli decode --list\n"
    "\n"
    "  -P STACK       a decoder and the ones stacked on it, as sigrok-cli writes them:\n"
    "                 a KEY naming a channel of the decoder maps it to ch1, ch2 or math\n"
    "                 (-P uart:rx=ch1:baudrate=115200, -P i2c:scl=ch1:sda=ch2,eeprom24xx)\n"
    "  --threshold CH=VOLTS[:HYSTERESIS]\n"
    "                 the level that cuts channel CH into logic, and the width of its\n"
    "                 hysteresis band; default: the middle between the channel's top and\n"
    "                 base levels, hysteresis 10 % of the amplitude (a channel of noise,\n"
    "                 without two separate levels, stays low)\n"
    "  --cursors A,B  decode samples A to B only (default the whole record)\n"
    "  --math DEF     the math trace, as for the other commands\n"
    "  -o OUT         write the table to OUT (one input only; - is standard output,\n"
    "                 the default)\n"
    "  --list         the decoders with their channels and options\n"
    "\n"
    "Output: a header line, then per annotation in time order: start and end in seconds\n"
    "from the record's first sample, decoder instance, annotation class, longest text,\n"
    "separated by tabs.\n"
    "Exit status: 0 ok, 1-4 the highest reader error, 5 an output could not be written,\n"
    "6 a capture is incomplete, 7 a decoder failed, 64 usage error.\n";

int UsageError(const QString& why)
{
    // The words of the command line may hold anything, escape sequences too.
    Print(stderr, u"kurvex-cli: "_s + VisibleFileName(why) + u'\n');
    std::fputs(DecodeUsageText, stderr);
    return ExitUsage;
}

struct DecodeOptions {
    QStringList files;
    QString output;
    bool list;
    std::vector<DecoderStack> stacks;
    ThresholdSetting thresholds[SlotCount];
    std::optional<std::pair<int32_t, int32_t>> cursors;
    std::vector<MathSettings> math;
};

bool ParseNumber(QStringView text, double& value)
{
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

// "ch1=1.4" or "ch2=1.65:0.2".
QString ParseThreshold(const QString& text, DecodeOptions& options)
{
    const QString why = u"--threshold takes CH=VOLTS[:HYSTERESIS], CH ch1, ch2 or math"_s;
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0) return why;
    const QString channel = text.left(equals).toLower();
    const int32_t slot = channel == u"ch1"    ? SlotCh1
                         : channel == u"ch2"  ? SlotCh2
                         : channel == u"math" ? SlotMath
                                              : -1;
    if (slot < 0) return why;
    const QStringList parts = text.mid(equals + 1).split(u':');
    double threshold = 0;
    double hysteresis = 0;
    if (parts.size() > 2 || !ParseNumber(parts[0], threshold) ||
        (parts.size() == 2 && (!ParseNumber(parts[1], hysteresis) || hysteresis < 0)))
        return why + u" (HYSTERESIS at least 0)"_s;
    options.thresholds[slot].threshold = threshold;
    if (parts.size() == 2) options.thresholds[slot].hysteresis = hysteresis;
    return QString();
}

QString ParseDecodeArguments(const QStringList& args, DecodeOptions& options)
{
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded) {
            options.files.append(arg);
            continue;
        }
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"--list") {
            options.list = true;
        } else if (arg == u"-P" || arg == u"-o" || arg == u"--threshold" || arg == u"--cursors" ||
                   arg == u"--math") {
            if (!hasValue) return u"option %1 needs a value"_s.arg(arg);
            const QString& value = args[++i];
            if (arg == u"-P") {
                DecoderStack stack;
                QString error;
                if (!ParseDecoderStack(value, stack, error)) return error;
                options.stacks.push_back(std::move(stack));
            } else if (arg == u"-o") {
                if (value.isEmpty()) return u"-o needs a file name"_s;
                options.output = value;
            } else if (arg == u"--threshold") {
                if (QString why = ParseThreshold(value, options); !why.isEmpty()) return why;
            } else if (arg == u"--cursors") {
                const QStringList parts = value.split(u',');
                bool okA = false;
                bool okB = false;
                if (parts.size() == 2) {
                    options.cursors = std::make_pair(parts[0].toInt(&okA), parts[1].toInt(&okB));
                }
                if (!okA || !okB) return u"--cursors takes two sample indices A,B"_s;
            } else {
                MathSettings settings{};
                if (!ParseMathDefinition(value, settings))
                    return u"cannot read --math \"%1\""_s.arg(value);
                options.math.push_back(settings);
            }
        } else if (arg.size() > 1 && arg.startsWith(u'-')) {
            return u"unknown option %1"_s.arg(arg);
        } else {
            options.files.append(arg);
        }
    }
    if (options.list) {
        if (!options.files.isEmpty() || !options.stacks.empty())
            return u"--list takes no files and no decoders"_s;
        return QString();
    }
    if (options.files.isEmpty()) return u"no input file given"_s;
    if (options.stacks.empty()) return u"no decoder given: -P DECODER..."_s;
    if (!options.output.isEmpty() && options.output != u"-" && options.files.size() > 1)
        return u"-o goes with a single input file only"_s;
    DecodeRequest request{};
    request.stacks = options.stacks;
    std::copy(std::begin(options.thresholds), std::end(options.thresholds), request.thresholds);
    // Everything that does not depend on the file: decoders, channels, options, values.
    return CheckDecodeRequest(nullptr, request);
}

QString ChannelLines(const std::vector<DecoderChannelInfo>& channels, const QString& kind)
{
    QString text;
    for (const DecoderChannelInfo& channel : channels)
        text += u"  channel %1 (%2%3): %4\n"_s.arg(channel.id, channel.name, kind, channel.desc);
    return text;
}

QString ListText(const std::vector<DecoderInfo>& decoders)
{
    QString text;
    for (const DecoderInfo& info : decoders) {
        // Three channels is all a capture has.
        if (info.channels.size() > SlotCount) continue;
        text += info.id + u'\t' + info.longname + u'\n';
        text += u"  "_s + info.desc + u'\n';
        text += u"  inputs: "_s + info.inputs.join(u' ') + u"; outputs: "_s +
                (info.outputs.isEmpty() ? u"-"_s : info.outputs.join(u' ')) + u'\n';
        text += ChannelLines(info.channels, QString());
        text += ChannelLines(info.optionalChannels, u", optional"_s);
        for (const DecoderOptionInfo& option : info.options) {
            text += u"  option %1=%2"_s.arg(option.id, option.defaultValue);
            if (!option.values.isEmpty()) text += u" ("_s + option.values.join(u", "_s) + u')';
            text += u": "_s + option.desc + u'\n';
        }
    }
    return text;
}

void AppendField(std::string& out, const QString& text)
{
    // A tab or line break inside a text would break the table's lines apart.
    QString clean = text;
    clean.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
    out += clean.toStdString();
}

std::string TableText(const Capture& capture, const DecodeResult& result)
{
    std::string out = "start\tend\tdecoder\tannotation\ttext\n";
    for (const DecodeAnnotation& annotation : result.annotations) {
        const DecoderInfo& info = result.decoders[static_cast<size_t>(annotation.instance)];
        AppendNumberText(out, DecodeSampleTime(capture, annotation.startSample), 15, true);
        out += '\t';
        AppendNumberText(out, DecodeSampleTime(capture, annotation.endSample), 15, true);
        out += '\t';
        AppendField(out, result.instances[static_cast<size_t>(annotation.instance)].name);
        out += '\t';
        const auto cls = static_cast<size_t>(annotation.annotationClass);
        AppendField(out, cls < info.annotationClasses.size() ? info.annotationClasses[cls].id
                                                             : QString::number(cls));
        out += '\t';
        QString longest;
        for (const QString& text : annotation.texts) {
            if (text.size() > longest.size()) longest = text;
        }
        AppendField(out, longest);
        out += '\n';
    }
    return out;
}

bool SameFile(const QString& a, const QString& b)
{
    struct stat first {};
    struct stat second {};
    return stat(EncodeFileName(a).constData(), &first) == 0 &&
           stat(EncodeFileName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool WriteText(const QString& path, std::string text)
{
    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    file.pending = std::move(text);
    return CommitExportFile(file);
}

} // namespace

int RunDecodeCommand(const QStringList& args)
{
    if (args.size() == 1 && (args[0] == u"--help" || args[0] == u"-h")) {
        std::fputs(DecodeUsageText, stdout);
        return 0;
    }
    DecodeOptions options{};
    if (const QString why = ParseDecodeArguments(args, options); !why.isEmpty())
        return UsageError(why);

    int status = 0;
    if (options.list) {
        std::vector<DecoderInfo> decoders;
        QString error;
        if (!ListDecoders(decoders, error)) {
            Print(stderr, u"kurvex-cli: "_s + error + u'\n');
            status = ExitDecodeFailed;
        } else {
            Print(stdout, ListText(decoders));
        }
    }
    const bool toFile = !options.output.isEmpty() && options.output != u"-";
    const bool several = options.files.size() > 1;
    for (const QString& input : options.files) {
        auto capture = std::make_unique<Capture>();
        const int32_t code = ReadCapture(*capture, input);
        if (code != ReadOk) {
            Print(stderr, LoadMessage(code, input) + u'\n');
            status = std::max(status, static_cast<int>(code));
            continue;
        }
        // A file cut short is decoded from the samples it holds, but is no success.
        if (CaptureIncomplete(*capture)) {
            Print(stderr, IncompleteMessage(*capture) + u'\n');
            status = std::max(status, ExitIncomplete);
        }
        for (const MathSettings& settings : options.math)
            ComputeMath(*capture, settings);
        DecodeRequest request{};
        request.stacks = options.stacks;
        std::copy(std::begin(options.thresholds), std::end(options.thresholds), request.thresholds);
        request.first = 0;
        request.last = capture->samplesPerChannel - 1;
        if (options.cursors) std::tie(request.first, request.last) = *options.cursors;
        const DecodeResult result = DecodeCapture(*capture, request);
        if (result.status == DecodeBadRequest) {
            // Only what the file decides is left here: a channel it does not have.
            Print(stderr, u"kurvex-cli: %1: "_s.arg(VisibleFileName(input)) + result.error + u'\n');
            status = std::max(status, ExitUsage);
            continue;
        }
        std::string table = TableText(*capture, result);
        if (toFile) {
            // Writing over the capture itself would destroy the very file just read.
            const QString shownOutput = VisibleFileName(options.output);
            if (SameFile(options.output, input) || !WriteText(options.output, std::move(table))) {
                Print(stderr,
                      FormatText(u"Die Datei \"{0}\" kann nicht erstellt werden!", shownOutput) +
                          u'\n');
                status = std::max(status, ExitCannotWrite);
            }
        } else {
            if (several) Print(stdout, u"==> "_s + VisibleFileName(input) + u" <==\n"_s);
            std::fwrite(table.data(), 1, table.size(), stdout);
        }
        if (result.status != DecodeOk) {
            // The annotations before the failure are kept above; the failure is told.
            Print(stderr, u"kurvex-cli: %1: "_s.arg(VisibleFileName(input)) + result.error + u'\n');
            status = std::max(status, ExitDecodeFailed);
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, u"kurvex-cli: cannot write to standard output\n"_s);
        status = std::max(status, ExitCannotWrite);
    }
    // The interpreter is not stopped: the process ends here, and stopping it (collecting
    // every Python object) would only cost time.
    return status;
}
