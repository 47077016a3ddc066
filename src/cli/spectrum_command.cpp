// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/spectrum_command.h"

#include "analysis/spectrum.h"
#include "capture/sav_reader.h"
#include "math/math_channel.h"
#include "output/png_export.h"
#include "output/text_file.h"
#include "screen/spectrum_renderer.h"
#include "text/format_text.h"
#include "text/number_text.h"

#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int ExitUsage = 64;
constexpr int ExitCannotWrite = 5;

struct SpectrumOptions {
    QStringList files;
    QString output;
    std::optional<int32_t> slot; // default: the first present channel
    int32_t window;
    std::optional<std::pair<int32_t, int32_t>> cursors;
    std::vector<MathSettings> math;
    int32_t width;
    int32_t height;
    bool peaks;
};

void Print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

bool ParseInt(const QString& text, int32_t& value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (ok) value = parsed;
    return ok;
}

QString ParseSpectrumArguments(const QStringList& args, SpectrumOptions& options)
{
    options.window = WindowHann;
    options.width = 600;
    options.height = 400;
    static const std::pair<const char16_t*, int32_t> channels[] = {
        {u"ch1", SlotCh1}, {u"ch2", SlotCh2}, {u"math", SlotMath}};
    static const std::pair<const char16_t*, int32_t> windows[] = {
        {u"rect", WindowRect},
        {u"hann", WindowHann},
        {u"blackman-harris", WindowBlackmanHarris},
        {u"flattop", WindowFlatTop}};
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const bool takesValue = arg == u"-o" || arg == u"--channel" || arg == u"--window" ||
                                arg == u"--cursors" || arg == u"--math" || arg == u"--size";
        if (takesValue && !hasValue) return u"option %1 needs a value"_s.arg(arg);
        if (arg == u"-o") {
            options.output = args[++i];
            if (options.output.isEmpty()) return u"-o needs a file name"_s;
        } else if (arg == u"--channel") {
            const QString value = args[++i];
            const auto found =
                std::find_if(std::begin(channels), std::end(channels),
                             [&](const auto& entry) { return value == entry.first; });
            if (found == std::end(channels)) return u"--channel takes ch1, ch2 or math"_s;
            options.slot = found->second;
        } else if (arg == u"--window") {
            const QString value = args[++i];
            const auto found =
                std::find_if(std::begin(windows), std::end(windows),
                             [&](const auto& entry) { return value == entry.first; });
            if (found == std::end(windows))
                return u"--window takes rect, hann, blackman-harris or flattop"_s;
            options.window = found->second;
        } else if (arg == u"--cursors") {
            const QStringList parts = args[++i].split(u',');
            int32_t a = 0;
            int32_t b = 0;
            if (parts.size() != 2 || !ParseInt(parts[0], a) || !ParseInt(parts[1], b))
                return u"--cursors takes two sample indices A,B"_s;
            options.cursors = std::make_pair(a, b);
        } else if (arg == u"--math") {
            MathSettings settings{};
            if (!ParseMathSpec(args[++i], settings))
                return u"cannot read --math \"%1\""_s.arg(args[i]);
            options.math.push_back(settings);
        } else if (arg == u"--size") {
            const QStringList parts = args[++i].split(u'x');
            int32_t w = 0;
            int32_t h = 0;
            // Large enough for a poster, small enough that the picture's memory is sure.
            if (parts.size() != 2 || !ParseInt(parts[0], w) || !ParseInt(parts[1], h) || w < 1 ||
                h < 1 || w > 16384 || h > 16384)
                return u"--size takes WxH, each 1 to 16384"_s;
            options.width = w;
            options.height = h;
        } else if (arg == u"--peaks") {
            options.peaks = true;
        } else if (arg.size() > 1 && arg.startsWith(u'-')) {
            return u"unknown option %1"_s.arg(arg);
        } else {
            options.files.append(arg);
        }
    }
    if (options.files.isEmpty()) return u"no input file given"_s;
    if (options.peaks && !options.output.isEmpty()) return u"--peaks writes no file; drop -o"_s;
    if (!options.output.isEmpty() && options.files.size() > 1)
        return u"-o goes with a single input file only"_s;
    return QString();
}

// Beside the input: "NAME.spectrum.csv".
QString DefaultOutputPath(const QString& input)
{
    const qsizetype slash = std::max(input.lastIndexOf(u'/'), input.lastIndexOf(u'\\'));
    const qsizetype dot = input.lastIndexOf(u'.');
    const QString base = dot > slash ? input.left(dot) : input;
    return base + u".spectrum.csv"_s;
}

bool IsPngPath(const QString& path)
{
    return path.endsWith(u".png"_s, Qt::CaseInsensitive);
}

// As the CSV export writes samples: three fields per line, 15 significant digits, CR LF.
bool WriteSpectrumCsv(const Spectrum& spectrum, const QString& path)
{
    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    std::string& text = file.pending;
    for (size_t k = 0; k < spectrum.rms.size(); ++k) {
        AppendNumberText(text, BinFrequency(spectrum, static_cast<int32_t>(k)), 15, true);
        text += ',';
        AppendNumberText(text, spectrum.rms[k], 15, true);
        text += ',';
        AppendNumberText(text, spectrum.dbv[k], 15, true);
        text += "\r\n";
        if (text.size() >= ExportChunkBytes) FlushExportFile(file);
    }
    return CommitExportFile(file);
}

QString PeakNumber(double value)
{
    return NumberText(value, 15, true);
}

QString PeaksText(const Spectrum& spectrum)
{
    QString text;
    auto line = [&](const QString& head, const SpectrumPeak& peak) {
        text += head + u'\t' + PeakNumber(peak.frequency) + u'\t' + PeakNumber(peak.dbv) + u'\n';
    };
    for (const SpectrumPeak& peak : spectrum.peaks)
        line(u"peak"_s, peak);
    if (spectrum.periodic) line(u"fundamental"_s, spectrum.fundamental);
    for (int32_t k = 2; k < 2 + spectrum.harmonicCount; ++k)
        line(u"harmonic\t"_s + QString::number(k), spectrum.harmonics[k - 2]);
    if (spectrum.hasThd)
        text += u"thd\t"_s + PeakNumber(spectrum.thdPercent) + u'\t' + PeakNumber(spectrum.thdDb) +
                u'\n';
    return text;
}

std::optional<int32_t> ChannelFor(const SpectrumOptions& options, const Capture& capture)
{
    if (options.slot) {
        if (capture.present[*options.slot] == 1) return options.slot;
        return std::nullopt;
    }
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        if (capture.present[slot] == 1) return slot;
    return std::nullopt;
}

} // namespace

int RunSpectrumCommand(const QStringList& args)
{
    SpectrumOptions options{};
    if (const QString why = ParseSpectrumArguments(args, options); !why.isEmpty()) {
        Print(stderr, u"kurvex-cli: "_s + why + u'\n');
        return ExitUsage;
    }
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
        const std::optional<int32_t> slot = ChannelFor(options, *capture);
        if (!slot) {
            Print(stderr, u"kurvex-cli: %1: the channel is not present\n"_s.arg(input));
            status = std::max(status, ExitUsage);
            continue;
        }
        int32_t first = 0;
        int32_t last = capture->samplesPerChannel - 1;
        if (options.cursors) {
            first = std::clamp(options.cursors->first, 0, last);
            last = std::clamp(options.cursors->second, 0, last);
        }
        Spectrum spectrum{};
        ComputeCaptureSpectrum(spectrum, *capture, *slot, first, last, options.window);

        if (options.peaks) {
            if (several) Print(stdout, u"==> "_s + input + u" <==\n"_s);
            if (spectrum.status != SpectrumOk) {
                Print(stderr, u"kurvex-cli: %1: "_s.arg(input) +
                                  SpectrumStatusText(spectrum.status) + u'\n');
                status = std::max(status, ExitCannotWrite);
                continue;
            }
            Print(stdout, PeaksText(spectrum));
            continue;
        }
        const QString path = options.output.isEmpty() ? DefaultOutputPath(input) : options.output;
        const bool overInput = QFileInfo(path).exists() && QFileInfo(path).canonicalFilePath() ==
                                                               QFileInfo(input).canonicalFilePath();
        bool written = false;
        if (spectrum.status != SpectrumOk) {
            // A table or plot without a spectrum would pass for one; say why there is none.
            Print(stderr,
                  u"kurvex-cli: %1: "_s.arg(input) + SpectrumStatusText(spectrum.status) + u'\n');
        } else if (!overInput && IsPngPath(path)) {
            SpectrumRenderRequest request{};
            request.width = options.width;
            request.height = options.height;
            request.slot = *slot;
            request.markerBin = -1;
            written = WritePng(RenderSpectrumImage(spectrum, request), path);
        } else if (!overInput) {
            written = WriteSpectrumCsv(spectrum, path);
        }
        if (!written) {
            Print(stderr,
                  FormatText(u"Die Datei \"{0}\" kann nicht erstellt werden!", KindText, &path) +
                      u'\n');
            status = std::max(status, ExitCannotWrite);
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        Print(stderr, u"kurvex-cli: cannot write to standard output\n"_s);
        status = std::max(status, ExitCannotWrite);
    }
    return status;
}
