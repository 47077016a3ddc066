// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli: the viewer's core routines for scripts and batch work. Every number is
// formatted by the same code as in the window, so the tool prints what the window shows.
#include "analysis/spectrum.h"
#include "capture/file_name.h"
#include "capture/sav_reader.h"
#include "cli/measure_all.h"
#include "cli/spectrum_command.h"
#include "math/math_channel.h"
#include "output/csv_export.h"
#include "output/png_export.h"
#include "output/raw_export.h"
#include "output/text_file.h"
#include "readouts/readouts.h"
#include "screen/view.h"
#include "text/format_text.h"

#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

constexpr int ExitUsage = 64;
constexpr int ExitCannotWrite = 5;

const char UsageText[] =
    "Usage:\n"
    "  kurvex-cli info    FILE.sav...\n"
    "  kurvex-cli csv     FILE.sav... [-o OUT]\n"
    "  kurvex-cli raw     FILE.sav... [-o OUT]\n"
    "  kurvex-cli png     FILE.sav... [-o OUT] [--size WxH] [--zoom Z] [--scroll S] "
    "[--view F,C]\n"
    "                 [--cursors A,B] [--math SPEC]...\n"
    "  kurvex-cli measure peak|rms|mean FILE.sav... [--cursors A,B] [--math SPEC]...\n"
    "  kurvex-cli measure all FILE.sav... [--cursors A,B] [--math SPEC]... [--numbers]\n"
    "  kurvex-cli cursors FILE.sav... [--cursors A,B] [--math SPEC]...\n"
    "  kurvex-cli spectrum FILE.sav... [--channel C] [--window W] [--cursors A,B]\n"
    "                 [--math SPEC]... [-o OUT.csv|OUT.png] [--size WxH] [--peaks]\n"
    "  kurvex-cli --help | --version\n"
    "\n"
    "  -o OUT         output file (only with a single input; otherwise each output goes\n"
    "                 beside its input with the extension replaced); -o - writes csv,\n"
    "                 raw and the spectrum table to standard output\n"
    "  --size WxH     picture size in pixels, as a window's screen of that size exports it\n"
    "                 (default 600x400, from 240x160 up to 16384 each way)\n"
    "  --zoom Z       zoom slider position 0..9 (100 % .. 5 % of the record), view centred\n"
    "  --scroll S     first visible sample, clamped as the window clamps it\n"
    "  --view F,C     samples F to F+C-1 across the screen (C >= 2, F+C <= N; not with\n"
    "                 --zoom or --scroll)\n"
    "  --cursors A,B  cursor 1 and cursor 2 (default 0 and N-1)\n"
    "  --math OP:X:Y[:SCALE[:OFFSET]]\n"
    "                 OP: x+y x-y x*y x/y 1/x x^2 sqrt(x) abs(x) -x off\n"
    "                 X, Y: ch1, ch2, math or a number; SCALE: auto or V/DIV; OFFSET: DIV\n"
    "  --channel C    spectrum: ch1, ch2 or math (default: the first present one)\n"
    "  --window W     spectrum: rect, hann (default), blackman-harris or flattop\n"
    "  --peaks        spectrum: print peaks, fundamental, harmonics and THD, write no file\n"
    "                 spectrum writes NAME.spectrum.csv (Hz,V RMS,dBV per bin from 0 Hz\n"
    "                 to Nyquist) unless -o names a .csv or .png file; the range is the\n"
    "                 whole record, or cursor 1 to cursor 2 with --cursors\n"
    "  --numbers      measure all: row keys and plain numbers (V, s, Hz, %, degrees)\n"
    "  --             ends the options: every word after it is a file\n"
    "\n"
    "Exit status: 0 ok, 1-4 the highest reader error, 5 an output could not be written,\n"
    "64 usage error (also: two inputs whose outputs would be the same file).\n";

enum class Command { Info, Csv, Raw, Png, Measure, Cursors, Spectrum };

struct Options {
    Command command;
    int32_t measureMode;
    bool numbers;
    QStringList files;
    QString output;
    std::optional<std::pair<int32_t, int32_t>> size;
    std::optional<int32_t> zoom;
    std::optional<int32_t> scroll;
    std::optional<std::pair<int32_t, int32_t>> view; // first sample, count
    std::optional<std::pair<int32_t, int32_t>> cursors;
    std::vector<MathSettings> math;
    std::optional<int32_t> channel; // spectrum: a ChannelSlot
    std::optional<int32_t> window;  // spectrum: a SpectrumWindowKind
    bool peaks;
};

// Everything printed passes here: bytes of file names that are not text read "\xHH".
void Print(FILE* stream, const QString& text)
{
    const QByteArray bytes = VisibleFileName(text).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

int UsageError(const QString& why)
{
    if (!why.isEmpty()) Print(stderr, QStringLiteral("kurvex-cli: ") + why + u'\n');
    std::fputs(UsageText, stderr);
    return ExitUsage;
}

bool ParseInt(const QString& text, int32_t& value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (ok) value = parsed;
    return ok;
}

// The value that `table` gives `word`; false when the word is none of its names.
template <typename Table, typename Value>
bool FindName(const Table& table, const QString& word, Value& value)
{
    const auto found = std::find_if(std::begin(table), std::end(table),
                                    [&](const auto& entry) { return word == entry.first; });
    if (found == std::end(table)) return false;
    value = found->second;
    return true;
}

// Parses everything after the program name; an error text when the words are off.
QString ParseArguments(const QStringList& args, Options& options)
{
    static const std::pair<const char16_t*, Command> commands[] = {
        {u"info", Command::Info},         {u"csv", Command::Csv},
        {u"raw", Command::Raw},           {u"png", Command::Png},
        {u"measure", Command::Measure},   {u"cursors", Command::Cursors},
        {u"spectrum", Command::Spectrum},
    };
    if (args.isEmpty()) return QStringLiteral("no command given");
    if (!FindName(commands, args[0], options.command))
        return QStringLiteral("unknown command \"%1\"").arg(args[0]);

    qsizetype i = 1;
    if (options.command == Command::Measure) {
        static const std::pair<const char16_t*, int32_t> modes[] = {{u"peak", MeasurePeak},
                                                                    {u"rms", MeasureRms},
                                                                    {u"mean", MeasureMean},
                                                                    {u"all", MeasureAllMode}};
        if (i >= args.size() || !FindName(modes, args[i], options.measureMode))
            return QStringLiteral("measure needs peak, rms, mean or all");
        ++i;
    }
    static const std::pair<const char16_t*, int32_t> channels[] = {
        {u"ch1", SlotCh1}, {u"ch2", SlotCh2}, {u"math", SlotMath}};
    static const std::pair<const char16_t*, int32_t> windows[] = {
        {u"rect", WindowRect},
        {u"hann", WindowHann},
        {u"blackman-harris", WindowBlackmanHarris},
        {u"flattop", WindowFlatTop}};

    const bool spectrum = options.command == Command::Spectrum;
    const bool takesOutput = options.command == Command::Csv || options.command == Command::Raw ||
                             options.command == Command::Png || spectrum;
    const bool takesView = options.command == Command::Png;
    const bool takesSize = takesView || spectrum;
    const bool takesCursorsAndMath = options.command == Command::Png ||
                                     options.command == Command::Measure ||
                                     options.command == Command::Cursors || spectrum;
    bool optionsEnded = false;
    for (; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded) {
            options.files.append(arg);
            continue;
        }
        if (arg == u"--") {
            optionsEnded = true;
            continue;
        }
        const bool hasValue = i + 1 < args.size();
        auto needs = [&](bool allowed) -> QString {
            if (!allowed) return QStringLiteral("option %1 does not go with this command").arg(arg);
            if (!hasValue) return QStringLiteral("option %1 needs a value").arg(arg);
            return QString();
        };
        if (arg == u"-o") {
            if (QString why = needs(takesOutput); !why.isEmpty()) return why;
            options.output = args[++i];
            if (options.output.isEmpty()) return QStringLiteral("-o needs a file name");
        } else if (arg == u"--size") {
            if (QString why = needs(takesSize); !why.isEmpty()) return why;
            // The smallest screen a window can be given, and a picture that an encoder
            // and a viewer can still hold.
            const QStringList parts = args[++i].split(u'x');
            int32_t width = 0;
            int32_t height = 0;
            if (parts.size() != 2 || !ParseInt(parts[0], width) || !ParseInt(parts[1], height) ||
                width < 240 || height < 160 || width > 16384 || height > 16384)
                return QStringLiteral("--size takes WxH from 240x160 up to 16384x16384");
            options.size = std::make_pair(width, height);
        } else if (arg == u"--zoom") {
            if (QString why = needs(takesView); !why.isEmpty()) return why;
            int32_t zoom = 0;
            if (!ParseInt(args[++i], zoom) || zoom < 0 || zoom >= ZoomPositions)
                return QStringLiteral("--zoom takes a position from 0 to 9");
            options.zoom = zoom;
        } else if (arg == u"--scroll") {
            if (QString why = needs(takesView); !why.isEmpty()) return why;
            int32_t scroll = 0;
            if (!ParseInt(args[++i], scroll))
                return QStringLiteral("--scroll takes a sample index");
            options.scroll = scroll;
        } else if (arg == u"--view") {
            if (QString why = needs(takesView); !why.isEmpty()) return why;
            const QStringList parts = args[++i].split(u',');
            int32_t first = 0;
            int32_t count = 0;
            if (parts.size() != 2 || !ParseInt(parts[0], first) || !ParseInt(parts[1], count) ||
                first < 0 || count < 2)
                return QStringLiteral("--view takes FIRST,COUNT with FIRST >= 0 and COUNT >= 2");
            options.view = std::make_pair(first, count);
        } else if (arg == u"--cursors") {
            if (QString why = needs(takesCursorsAndMath); !why.isEmpty()) return why;
            const QStringList parts = args[++i].split(u',');
            int32_t a = 0;
            int32_t b = 0;
            if (parts.size() != 2 || !ParseInt(parts[0], a) || !ParseInt(parts[1], b))
                return QStringLiteral("--cursors takes two sample indices A,B");
            options.cursors = std::make_pair(a, b);
        } else if (arg == u"--math") {
            if (QString why = needs(takesCursorsAndMath); !why.isEmpty()) return why;
            MathSettings settings{};
            if (!ParseMathSpec(args[++i], settings))
                return QStringLiteral("cannot read --math \"%1\"").arg(args[i]);
            options.math.push_back(settings);
        } else if (arg == u"--numbers") {
            if (options.command != Command::Measure || options.measureMode != MeasureAllMode)
                return QStringLiteral("option --numbers goes with measure all only");
            options.numbers = true;
        } else if (arg == u"--channel") {
            if (QString why = needs(spectrum); !why.isEmpty()) return why;
            if (!FindName(channels, args[++i], options.channel.emplace()))
                return QStringLiteral("--channel takes ch1, ch2 or math");
        } else if (arg == u"--window") {
            if (QString why = needs(spectrum); !why.isEmpty()) return why;
            if (!FindName(windows, args[++i], options.window.emplace()))
                return QStringLiteral("--window takes rect, hann, blackman-harris or flattop");
        } else if (arg == u"--peaks") {
            if (!spectrum)
                return QStringLiteral("option %1 does not go with this command").arg(arg);
            options.peaks = true;
        } else if (arg.size() > 1 && arg.startsWith(u'-')) {
            return QStringLiteral("unknown option %1").arg(arg);
        } else {
            options.files.append(arg);
        }
    }
    if (options.files.isEmpty()) return QStringLiteral("no input file given");
    if (options.view && (options.zoom || options.scroll))
        return QStringLiteral("--view goes with neither --zoom nor --scroll");
    if (options.peaks && !options.output.isEmpty())
        return QStringLiteral("--peaks writes no file; drop -o");
    if (!options.output.isEmpty() && options.files.size() > 1)
        return QStringLiteral("-o goes with a single input file only");
    // A picture is no text for a terminal or a text pipe.
    if (options.output == u"-" && options.command == Command::Png)
        return QStringLiteral("-o - (standard output) goes with text exports only");
    return QString();
}

// Beside the input, extension replaced: the name the Save requester would propose.
QString OutputPathFor(const QString& input, const QString& extension)
{
    const qsizetype slash = std::max(input.lastIndexOf(u'/'), input.lastIndexOf(u'\\'));
    const qsizetype dot = input.lastIndexOf(u'.');
    const QString base = dot > slash ? input.left(dot) : input;
    return base + u'.' + extension;
}

// Where the command writes the input's output; empty for the commands that print.
QString OutputPathOf(const Options& options, const QString& input)
{
    static const char16_t* const extensions[] = {u"", u"csv", u"raw",         u"png",
                                                 u"", u"",    u"spectrum.csv"};
    const QString extension = QString::fromUtf16(extensions[static_cast<int>(options.command)]);
    if (extension.isEmpty() || options.peaks) return QString();
    if (options.output == u"-") return QString::fromUtf16(StandardOutputPath);
    return options.output.isEmpty() ? OutputPathFor(input, extension) : options.output;
}

// One name for every spelling of an output's place ("a.csv", "./a.csv", a linked folder).
QByteArray OutputKey(const QString& path)
{
    const QByteArray name = EncodeFileName(path);
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArrayLiteral(".") : name.left(std::max<qsizetype>(slash, 1));
    char* resolved = realpath(folder.constData(), nullptr);
    if (resolved == nullptr) return name; // a missing folder: the write fails anyway
    QByteArray key(resolved);
    std::free(resolved);
    return key + '/' + name.mid(slash + 1);
}

// Two inputs whose outputs would be one file: the second would silently replace the first.
QString CollidingOutputs(const Options& options)
{
    std::vector<std::pair<QByteArray, QString>> seen; // the output's key, its input
    for (const QString& input : options.files) {
        const QString path = OutputPathOf(options, input);
        if (path.isEmpty()) continue;
        const QByteArray key = OutputKey(path);
        for (const auto& [otherKey, other] : seen) {
            if (otherKey == key)
                return QStringLiteral("\"%1\" and \"%2\" would both be written to \"%3\"")
                    .arg(other, input, path);
        }
        seen.emplace_back(key, input);
    }
    return QString();
}

// The same file under both names, however they are spelled.
bool SameFile(const QString& a, const QString& b)
{
    struct stat first {};
    struct stat second {};
    return stat(EncodeFileName(a).constData(), &first) == 0 &&
           stat(EncodeFileName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

QString WithNewlines(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString SettingsTreeText(const Capture& capture)
{
    QString text;
    for (const SettingsItem& item : SettingsListItems(capture))
        text += QString(2 * item.level, u' ') + item.text + u'\n';
    return text;
}

// The cursors of a newly opened window, or the ones asked for, kept inside the record.
std::pair<int32_t, int32_t> CursorsFor(const Options& options, const Capture& capture)
{
    const int32_t last = capture.samplesPerChannel - 1;
    if (!options.cursors) return {0, last};
    return {std::clamp(options.cursors->first, 0, last),
            std::clamp(options.cursors->second, 0, last)};
}

// A table, plot or peak list without a spectrum would pass for one: says why there is none.
bool ReportMissingSpectrum(const Options& options, const ChannelSpectrum& spectrum,
                           const QString& input)
{
    if (options.command != Command::Spectrum || spectrum.spectrum.status == SpectrumOk)
        return false;
    Print(stderr, QStringLiteral("kurvex-cli: %1: ").arg(input) +
                      SpectrumStatusText(spectrum.spectrum.status) + u'\n');
    return true;
}

bool WriteOutput(const Options& options, const Capture& capture, const ChannelSpectrum& spectrum,
                 const QString& path)
{
    switch (options.command) {
    case Command::Csv:
        return ExportCsv(capture, path);
    case Command::Raw:
        return ExportRaw(capture, path);
    case Command::Png: {
        CaptureView view = NewCaptureView(capture);
        if (options.size) std::tie(view.imageWidth, view.imageHeight) = *options.size;
        if (options.zoom) ZoomView(view, capture.samplesPerChannel, *options.zoom);
        if (options.scroll) ScrollView(view, capture.samplesPerChannel, *options.scroll);
        if (options.view) std::tie(view.firstSample, view.visibleCount) = *options.view;
        if (options.cursors) {
            view.cursorsShown = 1;
            std::tie(view.cursor1, view.cursor2) = CursorsFor(options, capture);
        }
        return SaveScreenAsPng(capture, view, path);
    }
    case Command::Spectrum:
        if (IsSpectrumPlotPath(path))
            return WritePng(SpectrumPlotImage(spectrum, options.size), path);
        return ExportSpectrumCsv(spectrum.spectrum, path);
    default:
        return false;
    }
}

QString TextOutput(const Options& options, const Capture& capture, const ChannelSpectrum& spectrum)
{
    const auto [cursor1, cursor2] = CursorsFor(options, capture);
    switch (options.command) {
    case Command::Info:
        return SettingsTreeText(capture);
    case Command::Measure:
        if (options.measureMode == MeasureAllMode)
            return MeasureAllText(capture, cursor1, cursor2, options.numbers);
        return WithNewlines(MeasureText(capture, cursor1, cursor2, options.measureMode)) + u'\n';
    case Command::Cursors: {
        const CursorTexts texts = CursorReadoutTexts(capture, cursor1, cursor2);
        return WithNewlines(texts.first) + QStringLiteral("\n\n") + WithNewlines(texts.second) +
               QStringLiteral("\n\n") + WithNewlines(texts.difference) + u'\n';
    }
    case Command::Spectrum:
        return SpectrumPeaksText(spectrum.spectrum);
    default:
        return QString();
    }
}

int Run(const Options& options)
{
    int status = 0;
    const bool several = options.files.size() > 1;
    for (const QString& input : options.files) {
        auto capture = std::make_unique<Capture>();
        const int32_t code = ReadCapture(*capture, input);
        if (code != ReadOk) {
            Print(stderr, LoadMessage(code, input) + u'\n');
            status = std::max(status, static_cast<int>(code));
            continue;
        }
        for (const MathSettings& settings : options.math)
            ComputeMath(*capture, settings);
        ChannelSpectrum spectrum{};
        if (options.command == Command::Spectrum) {
            const auto [first, last] = CursorsFor(options, *capture);
            ComputeChannelSpectrum(spectrum, *capture, options.channel, first, last,
                                   options.window.value_or(WindowHann));
            if (spectrum.slot < 0) {
                Print(stderr,
                      QStringLiteral("kurvex-cli: %1: the channel is not present\n").arg(input));
                status = std::max(status, ExitUsage);
                continue;
            }
        }

        if (options.view &&
            !ViewSpanValid(capture->samplesPerChannel, options.view->first, options.view->second)) {
            Print(stderr,
                  QStringLiteral("kurvex-cli: %1: --view %2,%3 goes beyond the %4 samples\n")
                      .arg(input)
                      .arg(options.view->first)
                      .arg(options.view->second)
                      .arg(capture->samplesPerChannel));
            status = std::max(status, ExitUsage);
            continue;
        }
        if (const QString path = OutputPathOf(options, input); !path.isEmpty()) {
            // Writing over the capture itself would destroy the very file just read, e.g. a
            // capture saved as "x.csv" whose CSV goes beside it under the same name.
            const bool toStandardOutput = options.output == u"-";
            const bool overInput = !toStandardOutput && SameFile(path, input);
            const bool missing = ReportMissingSpectrum(options, spectrum, input);
            if (overInput || missing || !WriteOutput(options, *capture, spectrum, path)) {
                Print(stderr, toStandardOutput
                                  ? QStringLiteral("kurvex-cli: cannot write to standard output\n")
                                  : FormatText(u"Die Datei \"{0}\" kann nicht erstellt werden!",
                                               KindText, &path) +
                                        u'\n');
                status = std::max(status, ExitCannotWrite);
            }
            continue;
        }
        if (several) Print(stdout, QStringLiteral("==> ") + input + QStringLiteral(" <==\n"));
        if (ReportMissingSpectrum(options, spectrum, input)) {
            status = std::max(status, ExitCannotWrite);
            continue;
        }
        Print(stdout, TextOutput(options, *capture, spectrum));
    }
    // The text commands' output is standard output: when it cannot take the text (a full
    // disk, a closed descriptor) that output was not written, whatever the files said.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, QStringLiteral("kurvex-cli: cannot write to standard output\n"));
        status = std::max(status, ExitCannotWrite);
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // Rendering text needs a GUI application, but never a display. Qt's own chatter about
    // the environment (runtime directories, fonts) would garble a script's stderr, which
    // carries only our messages.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) Print(stderr, message + u'\n');
    });
    // Past the limit on file sizes, a write fails with an error and the output is reported
    // as not written, instead of the process being killed halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    // After "--" every word is a file, also for Qt: it sees only the words before.
    char** const optionsEnd = std::find_if(
        argv + 1, argv + argc, [](const char* word) { return std::strcmp(word, "--") == 0; });
    const std::vector<QByteArray> afterOptions(optionsEnd, argv + argc);
    int qtArgc = static_cast<int>(optionsEnd - argv);
    QGuiApplication app(qtArgc, argv);
    // The words as bytes, not as Qt decodes them: a file name that is not UTF-8 must reach
    // the file system unchanged. Qt has taken its own options out of argv.
    QStringList args;
    for (int i = 1; i < qtArgc; ++i)
        args.append(DecodeFileName(QByteArray(argv[i])));
    for (const QByteArray& word : afterOptions)
        args.append(DecodeFileName(word));

    if (args.size() == 1 && (args[0] == u"--help" || args[0] == u"-h")) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == u"--version") {
        std::puts("kurvex-cli " KURVEX_VERSION_TEXT);
        return 0;
    }
    Options options{};
    if (const QString why = ParseArguments(args, options); !why.isEmpty()) return UsageError(why);
    if (const QString why = CollidingOutputs(options); !why.isEmpty()) return UsageError(why);
    return Run(options);
}
