// SPDX-License-Identifier: GPL-3.0-or-later
// kurvex-cli: the viewer's core routines for scripts and batch work. Every number is
// formatted by the same code as in the window, so the tool prints what the window shows.
#include "analysis/spectrum.h"
#include "capture/file_name.h"
#include "capture/sav_reader.h"
#include "cli/cli_output.h"
#include "cli/measure_all.h"
#include "cli/spectrum_command.h"
#include "cli/sr_command.h"
#include "math/math_channel.h"
#include "output/csv_export.h"
#include "output/png_export.h"
#include "output/raw_export.h"
#include "output/text_file.h"
#include "readouts/readouts.h"
#include "screen/view.h"
#include "text/format_text.h"
#include "text/translation.h"

#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

const char UsageText[] =
    "Usage:\n"
    "  kurvex-cli info    FILE.sav...\n"
    "  kurvex-cli csv     FILE.sav... [-o OUT]\n"
    "  kurvex-cli raw     FILE.sav... [-o OUT]\n"
    "  kurvex-cli sr      FILE.sav... [-o OUT.sr] [--math DEF]...   (sigrok session)\n"
    "  kurvex-cli png     FILE.sav... [-o OUT] [--size WxH] [--zoom Z] [--scroll S] "
    "[--view F,C]\n"
    "                 [--cursors A,B] [--math DEF]...\n"
    "  kurvex-cli measure peak|rms|mean FILE.sav... [--cursors A,B] [--math DEF]...\n"
    "  kurvex-cli measure all FILE.sav... [--cursors A,B] [--math DEF]... [--numbers]\n"
    "  kurvex-cli cursors FILE.sav... [--cursors A,B] [--math DEF]...\n"
    "  kurvex-cli spectrum FILE.sav... [--channel C] [--window W] [--cursors A,B]\n"
    "                 [--math DEF]... [-o OUT.csv|OUT.png] [--size WxH] [--peaks]\n"
    "  kurvex-cli decode FILE.sav... -P DECODER[:KEY=VALUE...][,STACKED...]... (decode --help)\n"
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
    "  --math DEF     DEF: OP:X:Y[:SCALE[:OFFSET]]\n"
    "                 OP: x+y x-y x*y x/y 1/x x^2 sqrt(x) abs(x) -x off\n"
    "                 X, Y: ch1, ch2, math or a number; SCALE: auto or V/DIV; OFFSET: DIV\n"
    "  --channel C    spectrum: ch1, ch2 or math (default: the first present one)\n"
    "  --window W     spectrum: rect, hann (default), blackman-harris or flattop\n"
    "  --peaks        spectrum: print peaks, fundamental, harmonics and THD, write no file\n"
    "                 spectrum writes NAME.spectrum.csv (Hz,V RMS,dBV per bin from 0 Hz\n"
    "                 to Nyquist) unless -o names a .csv or .png file; the range is the\n"
    "                 whole record, or cursor 1 to cursor 2 with --cursors\n"
    "  --numbers      measure all: row keys and plain numbers (V, s, Hz, %, degrees)\n"
    "  --lang L       de (default) or en: the language of settings, readouts, measurements\n"
    "                 and messages; keys, numbers and written files do not change\n"
    "  --             ends the options: every word after it is a file\n"
    "\n"
    "Exit status: 0 ok, 1-4 the highest reader error, 5 an output could not be written,\n"
    "6 a capture is incomplete (the file was cut short: outputs hold only the samples it\n"
    "has), 64 usage error (also: two inputs whose outputs would be the same file).\n";

enum class Command { Info, Csv, Raw, Png, Measure, Cursors, Spectrum, Sr };

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

// A file name or word of the command line as a message shows it: bytes that are not text
// and control characters (an escape sequence would act on the terminal) read "\xHH".
QString Shown(const QString& word)
{
    return VisibleFileName(word);
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
        {u"spectrum", Command::Spectrum}, {u"sr", Command::Sr},
    };
    if (args.isEmpty()) return QStringLiteral("no command given");
    if (!FindName(commands, args[0], options.command))
        return QStringLiteral("unknown command \"%1\"").arg(Shown(args[0]));

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
                             options.command == Command::Png || options.command == Command::Sr ||
                             spectrum;
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
            if (!allowed)
                return QStringLiteral("option %1 does not go with this command").arg(Shown(arg));
            if (!hasValue) return QStringLiteral("option %1 needs a value").arg(Shown(arg));
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
            // A session holds the math trace as a third channel.
            const bool takesMath = takesCursorsAndMath || options.command == Command::Sr;
            if (QString why = needs(takesMath); !why.isEmpty()) return why;
            MathSettings settings{};
            QString badNumber;
            if (!ParseMathDefinition(args[++i], settings, &badNumber)) {
                const QString why = QStringLiteral("cannot read --math \"%1\"").arg(Shown(args[i]));
                if (badNumber.isNull()) return why;
                return why + QStringLiteral(": \"%1\" is not a number").arg(Shown(badNumber));
            }
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
                return QStringLiteral("option %1 does not go with this command").arg(Shown(arg));
            options.peaks = true;
        } else if (arg.size() > 1 && arg.startsWith(u'-')) {
            // Also the toolkit's own options (-platform, -style, -reverse): the tool has none
            // of them.
            return QStringLiteral("unknown option %1").arg(Shown(arg));
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
    // A picture or an archive is no text for a terminal or a text pipe.
    if (options.output == u"-" &&
        (options.command == Command::Png || options.command == Command::Sr))
        return QStringLiteral("-o - (standard output) goes with text exports only");
    return QString();
}

// Takes "--lang L" out of the words before "--" and makes L the language of every text
// printed after it; an error text for a language that has no translation.
QString TakeLanguage(QStringList& args, QCoreApplication& app)
{
    for (qsizetype i = 0; i < args.size() && args[i] != u"--"; ++i) {
        if (args[i] != u"--lang") continue;
        if (i + 1 >= args.size()) return QStringLiteral("option --lang needs a value");
        if (!InstallTranslation(app, args[i + 1])) return QStringLiteral("--lang takes de or en");
        args.remove(i, 2);
        --i;
    }
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
    static const char16_t* const extensions[] = {u"", u"csv", u"raw",          u"png",
                                                 u"", u"",    u"spectrum.csv", u"sr"};
    const QString extension = QString::fromUtf16(extensions[static_cast<int>(options.command)]);
    if (extension.isEmpty() || options.peaks) return QString();
    if (options.output == u"-") return QString::fromUtf16(StandardOutputPath);
    return options.output.isEmpty() ? OutputPathFor(input, extension) : options.output;
}

QByteArray FolderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    return slash < 0 ? QByteArrayLiteral(".") : name.left(std::max<qsizetype>(slash, 1));
}

// What writing to `path` would write to, the same for every spelling of it: an existing
// file by its device and inode (a second hard link, a symbolic link to it); a new one by
// its folder's resolved path and its name, a symbolic link to nothing yet followed to where
// it points.
QByteArray OutputIdentity(const QString& path)
{
    QByteArray name = EncodeFileName(path);
    for (int links = 0; links < 40; ++links) {
        struct stat status {};
        if (stat(name.constData(), &status) == 0)
            return "inode " + QByteArray::number(static_cast<quint64>(status.st_dev)) + ' ' +
                   QByteArray::number(static_cast<quint64>(status.st_ino));
        char target[4096];
        const ssize_t length = readlink(name.constData(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) break;
        const QByteArray link(target, length);
        name = link.startsWith('/') ? link : FolderOf(name) + '/' + link;
    }
    const QByteArray folder = FolderOf(name);
    char* resolved = realpath(folder.constData(), nullptr);
    if (resolved == nullptr) return "name " + name; // a missing folder: the write fails anyway
    QByteArray key = "name " + QByteArray(resolved);
    std::free(resolved);
    return key + '/' + name.mid(name.lastIndexOf('/') + 1);
}

// Two inputs whose outputs would be one file: the second would silently replace the first.
QString CollidingOutputs(const Options& options)
{
    std::vector<std::pair<QByteArray, QString>> seen; // the output's identity, its input
    for (const QString& input : options.files) {
        const QString path = OutputPathOf(options, input);
        if (path.isEmpty()) continue;
        const QByteArray key = OutputIdentity(path);
        for (const auto& [otherKey, other] : seen) {
            if (otherKey == key)
                return QStringLiteral("\"%1\" and \"%2\" would both be written to \"%3\"")
                    .arg(Shown(other), Shown(input), Shown(path));
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

// A capture whose file was cut short is still worked on, from the samples it holds, but is
// no success: the viewer's warning goes to standard error and the status says so.
int ReportIncomplete(const Capture& capture)
{
    if (!CaptureIncomplete(capture)) return 0;
    Print(stderr, IncompleteMessage(capture) + u'\n');
    return ExitIncomplete;
}

// A table, plot or peak list without a spectrum, or with levels beyond the range of
// numbers ("Infinity", "NaN"), would pass for one: says why there is none.
bool ReportMissingSpectrum(const Options& options, const ChannelSpectrum& spectrum,
                           const QString& input)
{
    if (options.command != Command::Spectrum) return false;
    if (spectrum.spectrum.status != SpectrumOk) {
        Print(stderr, QStringLiteral("kurvex-cli: %1: ").arg(Shown(input)) +
                          SpectrumStatusText(spectrum.spectrum.status) + u'\n');
        return true;
    }
    if (SpectrumIsFinite(spectrum.spectrum)) return false;
    Print(stderr, QStringLiteral("kurvex-cli: %1: the spectrum of these values exceeds the "
                                 "range of numbers\n")
                      .arg(Shown(input)));
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
    case Command::Sr:
        return WriteSrOutput(capture, path);
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

// Reads an input and applies the math definitions; the reader's result code.
int32_t LoadInput(const Options& options, const QString& input, Capture& capture)
{
    const int32_t code = ReadCapture(capture, input);
    if (code != ReadOk) return code;
    for (const MathSettings& settings : options.math)
        ComputeMath(capture, settings);
    return code;
}

void ReportMissingChannel(const QString& input)
{
    Print(stderr, QStringLiteral("kurvex-cli: %1: the channel is not present\n").arg(Shown(input)));
}

// A --view that goes beyond the input's samples; false (and said) when it does.
bool ViewFits(const Options& options, const QString& input, const Capture& capture)
{
    if (!options.view ||
        ViewSpanValid(capture.samplesPerChannel, options.view->first, options.view->second))
        return true;
    Print(stderr, QStringLiteral("kurvex-cli: %1: --view %2,%3 goes beyond the %4 samples\n")
                      .arg(Shown(input))
                      .arg(options.view->first)
                      .arg(options.view->second)
                      .arg(capture.samplesPerChannel));
    return false;
}

// An input that lacks the channel asked for, or whose samples end before the --view, is a
// usage error, found before any output of a batch is written: a batch is refused whole
// rather than stopped halfway. (A file that cannot be read is not: it is reported in its
// turn and the others go on.)
bool EveryInputFitsTheOptions(const Options& options)
{
    const bool checksChannel = options.command == Command::Spectrum && options.channel;
    if ((!checksChannel && !options.view) || options.files.size() < 2) return true;
    bool all = true;
    for (const QString& input : options.files) {
        auto capture = std::make_unique<Capture>();
        if (LoadInput(options, input, *capture) != ReadOk) continue;
        if (checksChannel && capture->present[*options.channel] != 1) {
            ReportMissingChannel(input);
            all = false;
        }
        if (!ViewFits(options, input, *capture)) all = false;
    }
    return all;
}

// Whether `path` names one of the inputs: writing it would destroy a capture read now or
// later in the batch (a capture saved as "x.csv" whose CSV goes beside it under that name).
bool IsAnInput(const Options& options, const QString& path)
{
    return std::any_of(options.files.begin(), options.files.end(),
                       [&](const QString& input) { return SameFile(path, input); });
}

int Run(const Options& options)
{
    int status = 0;
    const bool several = options.files.size() > 1;
    for (const QString& input : options.files) {
        auto capture = std::make_unique<Capture>();
        const int32_t code = LoadInput(options, input, *capture);
        if (code != ReadOk) {
            Print(stderr, LoadMessage(code, input) + u'\n');
            status = std::max(status, static_cast<int>(code));
            continue;
        }
        status = std::max(status, ReportIncomplete(*capture));
        ChannelSpectrum spectrum{};
        if (options.command == Command::Spectrum) {
            const auto [first, last] = CursorsFor(options, *capture);
            ComputeChannelSpectrum(spectrum, *capture, options.channel, first, last,
                                   options.window.value_or(WindowHann));
            if (spectrum.slot < 0) {
                ReportMissingChannel(input);
                status = std::max(status, ExitUsage);
                continue;
            }
        }

        if (!ViewFits(options, input, *capture)) {
            status = std::max(status, ExitUsage);
            continue;
        }
        if (const QString path = OutputPathOf(options, input); !path.isEmpty()) {
            const bool toStandardOutput = options.output == u"-";
            const bool overInput = !toStandardOutput && IsAnInput(options, path);
            const bool missing = ReportMissingSpectrum(options, spectrum, input);
            if (overInput || missing || !WriteOutput(options, *capture, spectrum, path)) {
                const QString shownPath = Shown(path);
                Print(stderr, toStandardOutput
                                  ? QStringLiteral("kurvex-cli: cannot write to standard output\n")
                                  : FormatText(QCoreApplication::translate(
                                                   "kurvex-cli",
                                                   "Die Datei \"{0}\" kann nicht erstellt werden!"),
                                               shownPath) +
                                        u'\n');
                status = std::max(status, ExitCannotWrite);
            }
            continue;
        }
        if (several)
            Print(stdout, QStringLiteral("==> ") + Shown(input) + QStringLiteral(" <==\n"));
        if (ReportMissingSpectrum(options, spectrum, input)) {
            status = std::max(status, ExitCannotWrite);
            continue;
        }
        Print(stdout, TextOutput(options, *capture, spectrum));
    }
    // The text commands' output is standard output: when it cannot take the text (a full
    // disk, a closed descriptor, a reader that has gone) that output was not written,
    // whatever the files said.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, QStringLiteral("kurvex-cli: cannot write to standard output\n"));
        status = std::max(status, ExitCannotWrite);
    }
    return status;
}

} // namespace

// Every command but decode, which the program runs itself (launcher.cpp): the entry of the
// module it loads for them.
extern "C" __attribute__((visibility("default"))) int KurvexCliMain(int argc, char** argv)
{
    // Rendering text needs a GUI application, but never a display: the tool draws into
    // images only, so it takes the offscreen platform whatever the environment names (a
    // desktop session's "wayland" or "xcb" is not there for an ssh login or a cron job).
    // Qt's own chatter about the environment (runtime directories, fonts) would garble a
    // script's stderr, which carries only our messages.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    StartCommandProcess();
    // Qt sees none of the words: its own options (-platform, -style, -reverse) are not
    // options of this tool, and are refused as unknown like any other.
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    QStringList args = CommandWords(argc, argv, 1);

    if (const QString why = TakeLanguage(args, app); !why.isEmpty()) return UsageError(why);
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
    if (!EveryInputFitsTheOptions(options)) return ExitUsage;
    return Run(options);
}
