// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/decode.h"

#include "analysis/measurements.h"

#include <QStandardPaths>

#include <Python.h>
#include <libsigrokdecode/libsigrokdecode.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// The library's state is global and its interpreter one per process: one lock for all of it.
std::mutex& LibraryLock()
{
    static std::mutex lock;
    return lock;
}

bool libraryStarted = false;
// Set for good by ShutDownDecoding: a worker that asks for the library after that (the
// process is ending) gets an error instead of a new interpreter amid the exit.
bool libraryShutDown = false;

// The library's error messages of the current call (the only place a decoder's Python
// exception surfaces), gathered instead of printed. Its decoders log from their own
// threads, hence the second lock.
std::mutex logLock;
QStringList libraryErrors;

int CollectLog(void*, int level, const char* format, va_list args)
{
    if (level > SRD_LOG_ERR) return SRD_OK;
    char buffer[2048];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    const std::lock_guard guard(logLock);
    libraryErrors.append(QString::fromUtf8(buffer).trimmed());
    return SRD_OK;
}

void ClearErrors()
{
    const std::lock_guard guard(logLock);
    libraryErrors.clear();
}

// The gathered messages, or `fallback` when the library said nothing.
QString ErrorText(const QString& fallback)
{
    const std::lock_guard guard(logLock);
    QStringList lines;
    for (const QString& message : std::as_const(libraryErrors)) {
        const QStringList parts = message.split(u'\n', Qt::SkipEmptyParts);
        if (parts.isEmpty()) continue;
        // A decoder's exception comes as its message, then the traceback: of the traceback
        // only the innermost frame says something, where in the decoder it was raised.
        if (parts.first().startsWith(u"Traceback"_s)) {
            for (qsizetype i = parts.size() - 1; i > 0; --i) {
                const QString frame = parts[i].trimmed();
                if (frame.startsWith(u"File \""_s) && !lines.isEmpty()) {
                    lines.last() += u" ("_s + frame + u')';
                    break;
                }
            }
            continue;
        }
        const QString line = parts.first().trimmed();
        if (!lines.contains(line)) lines.append(line);
    }
    return lines.isEmpty() ? fallback : lines.join(u"; "_s);
}

// Caller holds LibraryLock.
bool StartLibrary(QString& error)
{
    if (libraryStarted) return true;
    if (libraryShutDown) {
        error = u"libsigrokdecode has been stopped"_s;
        return false;
    }
    srd_log_callback_set(CollectLog, nullptr);
    srd_log_loglevel_set(SRD_LOG_ERR);
    ClearErrors();
    // The interpreter is ours, not the user's Python: a PYTHONHOME or PYTHONPATH meant for
    // another Python must not break it, and the decoders need nothing from site-packages
    // (skipping the site module is a good part of the start-up time).
    Py_IgnoreEnvironmentFlag = 1;
    Py_NoSiteFlag = 1;
    const int code = srd_init(nullptr);
    if (code != SRD_OK) {
        error =
            ErrorText(u"libsigrokdecode cannot start: "_s + QString::fromUtf8(srd_strerror(code)));
        return false;
    }
    // The decoders live in a system folder the user cannot write, so Python would compile
    // them again on every start; their bytecode goes to the user's cache instead.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const PyGILState_STATE gil = PyGILState_Ensure();
    if (!cache.isEmpty()) {
        const QByteArray folder = (cache + u"/kurvex/python"_s).toUtf8();
        if (PyObject* prefix = PyUnicode_DecodeFSDefault(folder.constData())) {
            PySys_SetObject("pycache_prefix", prefix);
            Py_DECREF(prefix);
        }
        PySys_SetObject("dont_write_bytecode", Py_False);
    }
    PyErr_Clear();
    PyGILState_Release(gil);
    libraryStarted = true;
    return true;
}

QString Text(const char* text)
{
    return text == nullptr ? QString() : QString::fromUtf8(text);
}

QStringList TextList(const GSList* list)
{
    QStringList texts;
    for (const GSList* item = list; item != nullptr; item = item->next)
        texts.append(Text(static_cast<const char*>(item->data)));
    return texts;
}

std::vector<DecoderChannelInfo> Channels(const GSList* list)
{
    std::vector<DecoderChannelInfo> channels;
    for (const GSList* item = list; item != nullptr; item = item->next) {
        const auto* channel = static_cast<const srd_channel*>(item->data);
        channels.push_back({Text(channel->id), Text(channel->name), Text(channel->desc)});
    }
    return channels;
}

int32_t KindOf(GVariant* value)
{
    if (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_INT64)) return OptionInteger;
    if (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) return OptionReal;
    return OptionText;
}

QString ValueText(GVariant* value)
{
    if (value == nullptr) return QString();
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT64))
        return QString::number(g_variant_get_int64(value));
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE))
        return QString::number(g_variant_get_double(value), 'g', 15);
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
        return Text(g_variant_get_string(value, nullptr));
    return QString();
}

DecoderInfo InfoOf(const srd_decoder& decoder)
{
    DecoderInfo info;
    info.id = Text(decoder.id);
    info.name = Text(decoder.name);
    info.longname = Text(decoder.longname);
    info.desc = Text(decoder.desc);
    info.inputs = TextList(decoder.inputs);
    info.outputs = TextList(decoder.outputs);
    info.channels = Channels(decoder.channels);
    info.optionalChannels = Channels(decoder.opt_channels);
    for (const GSList* item = decoder.options; item != nullptr; item = item->next) {
        const auto* option = static_cast<const srd_decoder_option*>(item->data);
        DecoderOptionInfo entry{
            Text(option->id), Text(option->desc), KindOf(option->def), ValueText(option->def), {}};
        for (const GSList* value = option->values; value != nullptr; value = value->next)
            entry.values.append(ValueText(static_cast<GVariant*>(value->data)));
        info.options.push_back(entry);
    }
    for (const GSList* item = decoder.annotations; item != nullptr; item = item->next) {
        const auto* pair = static_cast<char* const*>(item->data);
        info.annotationClasses.push_back({Text(pair[0]), pair[0] ? Text(pair[1]) : QString()});
    }
    const auto classCount = static_cast<int32_t>(info.annotationClasses.size());
    info.rowOfClass.assign(info.annotationClasses.size(), -1);
    for (const GSList* item = decoder.annotation_rows; item != nullptr; item = item->next) {
        const auto* row = static_cast<const srd_decoder_annotation_row*>(item->data);
        DecoderAnnotationRow entry{Text(row->id), Text(row->desc), {}};
        const auto index = static_cast<int32_t>(info.rows.size());
        for (const GSList* c = row->ann_classes; c != nullptr; c = c->next) {
            const int32_t cls = GPOINTER_TO_INT(c->data);
            if (cls < 0 || cls >= classCount) continue;
            entry.classes.push_back(cls);
            if (info.rowOfClass[cls] < 0) info.rowOfClass[cls] = index;
        }
        info.rows.push_back(entry);
    }
    // Classes no row shows would be lost in the strip: they share one row of their own.
    DecoderAnnotationRow rest{QString(), info.name, {}};
    for (int32_t cls = 0; cls < classCount; ++cls) {
        if (info.rowOfClass[cls] >= 0) continue;
        info.rowOfClass[cls] = static_cast<int32_t>(info.rows.size());
        rest.classes.push_back(cls);
    }
    if (!rest.classes.empty()) info.rows.push_back(rest);
    return info;
}

// Caller holds LibraryLock and has started the library.
const srd_decoder* LoadDecoder(const QString& id)
{
    const QByteArray name = id.toUtf8();
    // Only plain module names: the id becomes a Python import.
    if (name.isEmpty() || !std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_';
        }))
        return nullptr;
    if (const srd_decoder* loaded = srd_decoder_get_by_id(name.constData())) return loaded;
    if (srd_decoder_load(name.constData()) != SRD_OK) return nullptr;
    return srd_decoder_get_by_id(name.constData());
}

bool FindDecoderLocked(const QString& id, DecoderInfo& decoder, QString& error)
{
    if (!StartLibrary(error)) return false;
    ClearErrors();
    const srd_decoder* found = LoadDecoder(id);
    ClearErrors();
    if (found == nullptr) {
        error = u"unknown decoder \"%1\""_s.arg(id);
        return false;
    }
    decoder = InfoOf(*found);
    return true;
}

// The slot a mapping word names, -1 for none.
int32_t SlotOfName(QStringView word)
{
    if (word.compare(u"ch1", Qt::CaseInsensitive) == 0) return SlotCh1;
    if (word.compare(u"ch2", Qt::CaseInsensitive) == 0) return SlotCh2;
    if (word.compare(u"math", Qt::CaseInsensitive) == 0) return SlotMath;
    return -1;
}

const char16_t* const SlotNames[SlotCount] = {u"CH1", u"CH2", u"MATH"};

bool IsChannelOf(const DecoderInfo& info, const QString& id)
{
    const auto named = [&](const DecoderChannelInfo& channel) { return channel.id == id; };
    return std::any_of(info.channels.begin(), info.channels.end(), named) ||
           std::any_of(info.optionalChannels.begin(), info.optionalChannels.end(), named);
}

// The option's value as the library wants it; nullptr (with `error`) when the text is no
// value of the option. The caller owns the reference.
GVariant* OptionValue(const DecoderOptionInfo& option, const QString& text, QString& error)
{
    bool ok = true;
    GVariant* value = nullptr;
    if (option.kind == OptionInteger) {
        const qlonglong number = text.trimmed().toLongLong(&ok);
        if (ok) value = g_variant_new_int64(number);
    } else if (option.kind == OptionReal) {
        const double number = text.trimmed().toDouble(&ok);
        ok = ok && std::isfinite(number);
        if (ok) value = g_variant_new_double(number);
    } else {
        value = g_variant_new_string(text.toUtf8().constData());
    }
    if (ok && !option.values.isEmpty()) {
        const QString canonical = ValueText(value);
        ok = option.values.contains(canonical);
    }
    if (!ok) {
        if (value != nullptr) g_variant_unref(g_variant_ref_sink(value));
        QString allowed = option.values.join(u", "_s);
        if (allowed.isEmpty())
            allowed = option.kind == OptionInteger ? u"an integer"_s : u"a number"_s;
        error = u"option %1 takes %2, not \"%3\""_s.arg(option.id, allowed, text);
        return nullptr;
    }
    return g_variant_ref_sink(value);
}

// Caller holds LibraryLock. `infos` receives the decoders of the stacks in order.
QString CheckLocked(const Capture* capture, const DecodeRequest& request,
                    std::vector<DecoderInfo>& infos)
{
    if (request.stacks.empty()) return u"no decoder given"_s;
    for (const DecoderStack& stack : request.stacks) {
        if (stack.empty()) return u"an empty decoder stack"_s;
        for (size_t layer = 0; layer < stack.size(); ++layer) {
            const DecoderSetup& setup = stack[layer];
            DecoderInfo info;
            QString error;
            if (!FindDecoderLocked(setup.id, info, error)) return error;
            if (layer == 0 && !info.inputs.contains(u"logic"_s))
                return u"decoder %1 decodes the output of another decoder, not channels"_s.arg(
                    info.id);
            if (layer > 0) {
                const DecoderInfo& below = infos.back();
                const bool fits =
                    std::any_of(info.inputs.begin(), info.inputs.end(), [&](const QString& input) {
                        return below.outputs.contains(input);
                    });
                if (!fits) return u"decoder %1 cannot be stacked on %2"_s.arg(info.id, below.id);
                if (!setup.channels.empty())
                    return u"decoder %1 is stacked and takes no channels"_s.arg(info.id);
            }
            for (const auto& [channel, slot] : setup.channels) {
                if (!IsChannelOf(info, channel))
                    return u"decoder %1 has no channel %2"_s.arg(info.id, channel);
                if (slot < 0 || slot >= SlotCount)
                    return u"channel %1 of %2 is mapped to no channel"_s.arg(channel, info.id);
                if (capture != nullptr && capture->present[slot] != 1)
                    return u"channel %1 of %2 is mapped to %3, which the capture lacks"_s.arg(
                        channel, info.id, QString::fromUtf16(SlotNames[slot]));
                const auto same = [&](const auto& other) { return other.first == channel; };
                if (std::count_if(setup.channels.begin(), setup.channels.end(), same) > 1)
                    return u"channel %1 of %2 is mapped twice"_s.arg(channel, info.id);
            }
            for (const DecoderChannelInfo& channel : info.channels) {
                const bool mapped =
                    std::any_of(setup.channels.begin(), setup.channels.end(),
                                [&](const auto& entry) { return entry.first == channel.id; });
                if (!mapped)
                    return u"decoder %1 needs its channel %2 mapped"_s.arg(info.id, channel.id);
            }
            for (const auto& [id, text] : setup.options) {
                const auto option =
                    std::find_if(info.options.begin(), info.options.end(),
                                 [&](const DecoderOptionInfo& entry) { return entry.id == id; });
                if (option == info.options.end())
                    return u"decoder %1 has no option %2"_s.arg(info.id, id);
                QString error2;
                GVariant* value = OptionValue(*option, text, error2);
                if (value == nullptr) return u"decoder %1: "_s.arg(info.id) + error2;
                g_variant_unref(value);
            }
            infos.push_back(std::move(info));
        }
    }
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        const ThresholdSetting& setting = request.thresholds[slot];
        if (setting.threshold && !std::isfinite(*setting.threshold))
            return u"the threshold of %1 is no number"_s.arg(QString::fromUtf16(SlotNames[slot]));
        if (setting.hysteresis && !(std::isfinite(*setting.hysteresis) && *setting.hysteresis >= 0))
            return u"the hysteresis of %1 must be a number of at least 0"_s.arg(
                QString::fromUtf16(SlotNames[slot]));
    }
    return QString();
}

struct GHashTableFree {
    void operator()(GHashTable* table) const { g_hash_table_destroy(table); }
};
using HashTable = std::unique_ptr<GHashTable, GHashTableFree>;

HashTable NewVariantTable()
{
    return HashTable(g_hash_table_new_full(g_str_hash, g_str_equal, g_free,
                                           reinterpret_cast<GDestroyNotify>(g_variant_unref)));
}

struct SessionFree {
    void operator()(srd_session* session) const { srd_session_destroy(session); }
};

// What the annotation callback fills in, from the decoders' threads one at a time.
struct Collector {
    std::vector<const srd_decoder_inst*> instances;
    std::vector<DecodeAnnotation> annotations;
    int64_t offset; // the first sample of the range in the record
};

void CollectAnnotation(srd_proto_data* data, void* context)
{
    auto* collector = static_cast<Collector*>(context);
    if (data == nullptr || data->pdo == nullptr || data->data == nullptr) return;
    const auto found =
        std::find(collector->instances.begin(), collector->instances.end(), data->pdo->di);
    if (found == collector->instances.end()) return;
    const auto* annotation = static_cast<const srd_proto_data_annotation*>(data->data);
    DecodeAnnotation entry{};
    entry.startSample = static_cast<int64_t>(data->start_sample) + collector->offset;
    entry.endSample = static_cast<int64_t>(data->end_sample) + collector->offset;
    entry.instance = static_cast<int32_t>(found - collector->instances.begin());
    entry.annotationClass = annotation->ann_class;
    entry.row = -1;
    for (char** text = annotation->ann_text; text != nullptr && *text != nullptr; ++text)
        entry.texts.append(QString::fromUtf8(*text));
    collector->annotations.push_back(std::move(entry));
}

double CaptureSeconds(const Capture& capture)
{
    return static_cast<double>(capture.hDivisions) * capture.timePerDiv;
}

// The converter's step: 25 per division, as the measurement module's histogram counts.
constexpr double StepsPerDivision = 25;

// Whether the samples of `slot` on either side of `middle` form two states of their own,
// not one noisy level cut in two: the gap between the two sides' means must reach
// MinimumSeparation times the sum of their standard deviations, and MinimumSteps converter
// steps. Gaussian noise cut at its middle gives a ratio near 1.32 (at most 1.45 with its
// quantisation, hum or an off-centre cut, once the gap spans the steps); a triangle or ramp
// gives 1.73, a sine 2.07, a logic line with noise of a fifth of its swing 2.5. Noise of a
// step or two, which the quantisation turns into a few values, is caught by the steps.
bool TwoLevels(const Capture& capture, int32_t slot, double middle)
{
    constexpr double MinimumSeparation = 1.6;
    constexpr double MinimumSteps = 3.5;
    const int32_t n = std::min(capture.samplesPerChannel, PresentSamples(capture, slot));
    // Relative to the middle: a small signal on a large offset keeps its digits.
    double sum[2] = {0, 0};
    int64_t count[2] = {0, 0};
    for (int32_t i = 0; i < n; ++i) {
        const double x = SampleValue(capture, slot, i) - middle;
        if (!std::isfinite(x)) continue;
        const int side = x >= 0 ? 1 : 0;
        sum[side] += x;
        ++count[side];
    }
    if (count[0] == 0 || count[1] == 0) return false;
    const double mean[2] = {sum[0] / static_cast<double>(count[0]),
                            sum[1] / static_cast<double>(count[1])};
    double squares[2] = {0, 0};
    for (int32_t i = 0; i < n; ++i) {
        const double x = SampleValue(capture, slot, i) - middle;
        if (!std::isfinite(x)) continue;
        const int side = x >= 0 ? 1 : 0;
        squares[side] += (x - mean[side]) * (x - mean[side]);
    }
    const double spread = std::sqrt(squares[0] / static_cast<double>(count[0])) +
                          std::sqrt(squares[1] / static_cast<double>(count[1]));
    const double gap = mean[1] - mean[0];
    const double step = std::fabs(capture.voltsPerDiv[slot]) / StepsPerDivision;
    if (std::isfinite(step) && step > 0 && !(gap >= MinimumSteps * step)) return false;
    return gap >= MinimumSeparation * spread;
}

// The automatic comparator (see AutomaticThreshold).
std::optional<LogicThreshold> Automatic(const Capture& capture, int32_t slot)
{
    const auto levels = MeasureStateLevels(capture, slot, 0, capture.samplesPerChannel - 1);
    if (!levels || !(levels->top > levels->base)) return std::nullopt;
    const double middle = (levels->top + levels->base) / 2;
    if (!std::isfinite(middle) || !TwoLevels(capture, slot, middle)) return std::nullopt;
    return LogicThreshold{middle, (levels->top - levels->base) / 10};
}

// The comparator of `slot`: the setting's fields over the automatic ones.
std::optional<LogicThreshold> Resolve(const Capture& capture, int32_t slot,
                                      const ThresholdSetting& setting)
{
    if (slot < 0 || slot >= SlotCount || capture.present[slot] != 1 ||
        capture.samplesPerChannel <= 0)
        return std::nullopt;
    if (setting.threshold && !std::isfinite(*setting.threshold)) return std::nullopt;
    if (setting.hysteresis && !(std::isfinite(*setting.hysteresis) && *setting.hysteresis >= 0))
        return std::nullopt;
    std::optional<LogicThreshold> automatic;
    if (!setting.threshold || !setting.hysteresis) automatic = Automatic(capture, slot);
    LogicThreshold result{0, 0};
    if (setting.threshold)
        result.threshold = *setting.threshold;
    else if (automatic)
        result.threshold = automatic->threshold;
    else
        return std::nullopt;
    if (setting.hysteresis)
        result.hysteresis = *setting.hysteresis;
    else if (automatic)
        result.hysteresis = automatic->hysteresis;
    return result;
}

} // namespace

std::optional<LogicThreshold> AutomaticThreshold(const Capture& capture, int32_t slot)
{
    return Resolve(capture, slot, ThresholdSetting{});
}

std::optional<LogicThreshold> ResolveThreshold(const Capture& capture, int32_t slot,
                                               const ThresholdSetting& setting)
{
    return Resolve(capture, slot, setting);
}

bool ListDecoders(std::vector<DecoderInfo>& decoders, QString& error)
{
    const std::lock_guard guard(LibraryLock());
    if (!StartLibrary(error)) return false;
    ClearErrors();
    // A decoder that fails to load (a Python module it needs is missing) is left out.
    srd_decoder_load_all();
    ClearErrors();
    decoders.clear();
    for (const GSList* item = srd_decoder_list(); item != nullptr; item = item->next)
        decoders.push_back(InfoOf(*static_cast<const srd_decoder*>(item->data)));
    std::sort(decoders.begin(), decoders.end(),
              [](const DecoderInfo& a, const DecoderInfo& b) { return a.id < b.id; });
    return true;
}

bool FindDecoder(const QString& id, DecoderInfo& decoder, QString& error)
{
    const std::lock_guard guard(LibraryLock());
    return FindDecoderLocked(id, decoder, error);
}

bool ParseDecoderStack(QStringView text, DecoderStack& stack, QString& error)
{
    stack.clear();
    for (QStringView layerText : text.split(u',')) {
        const QList<QStringView> words = layerText.split(u':');
        DecoderSetup setup;
        setup.id = words[0].trimmed().toString();
        if (setup.id.isEmpty()) {
            error = u"a decoder name is missing in \"%1\""_s.arg(text);
            return false;
        }
        DecoderInfo info;
        if (!FindDecoder(setup.id, info, error)) return false;
        for (qsizetype i = 1; i < words.size(); ++i) {
            const qsizetype equals = words[i].indexOf(u'=');
            if (equals <= 0) {
                error = u"\"%1\" is no KEY=VALUE"_s.arg(words[i]);
                return false;
            }
            const QString key = words[i].left(equals).toString();
            const QStringView value = words[i].mid(equals + 1);
            if (IsChannelOf(info, key)) {
                const int32_t slot = SlotOfName(value);
                if (slot < 0) {
                    error = u"channel %1 of %2 takes ch1, ch2 or math, not \"%3\""_s.arg(
                        key, info.id, value);
                    return false;
                }
                setup.channels.emplace_back(key, slot);
            } else if (std::any_of(info.options.begin(), info.options.end(),
                                   [&](const DecoderOptionInfo& o) { return o.id == key; })) {
                setup.options.emplace_back(key, value.toString());
            } else {
                error = u"decoder %1 has no channel or option %2"_s.arg(info.id, key);
                return false;
            }
        }
        stack.push_back(std::move(setup));
    }
    return true;
}

QString CheckDecodeRequest(const Capture* capture, const DecodeRequest& request)
{
    const std::lock_guard guard(LibraryLock());
    std::vector<DecoderInfo> infos;
    return CheckLocked(capture, request, infos);
}

double DecodeSampleTime(const Capture& capture, int64_t sample)
{
    if (capture.samplesPerChannel <= 0) return 0;
    return CaptureSeconds(capture) * static_cast<double>(sample) / capture.samplesPerChannel;
}

DecodeResult DecodeCapture(const Capture& capture, const DecodeRequest& request,
                           const DecodeProgress& progress)
{
    DecodeResult result{};
    const std::lock_guard guard(LibraryLock());
    std::vector<DecoderInfo> infos;
    result.error = CheckLocked(&capture, request, infos);
    if (!result.error.isEmpty()) {
        result.status = DecodeBadRequest;
        return result;
    }
    const int32_t n = capture.samplesPerChannel;
    if (n <= 0) return result;
    const int32_t first = std::clamp(std::min(request.first, request.last), 0, n - 1);
    const int32_t last = std::clamp(std::max(request.first, request.last), 0, n - 1);
    const int64_t count = static_cast<int64_t>(last) - first + 1;

    // The decoders count in whole hertz; below 1 Hz they would divide by zero.
    const double seconds = CaptureSeconds(capture);
    const double rate = seconds > 0 ? n / seconds : 0;
    if (!(std::isfinite(rate) && rate >= 0.5 && rate < 1.8e19)) {
        result.status = DecodeFailed;
        result.error = u"the capture has no usable sample rate"_s;
        return result;
    }
    const auto samplerate = static_cast<uint64_t>(std::llround(rate));
    result.sampleRate = static_cast<double>(samplerate);

    // Only the channels some decoder reads are converted.
    bool mapped[SlotCount] = {};
    for (const DecoderStack& stack : request.stacks) {
        for (const auto& entry : stack.front().channels)
            mapped[entry.second] = true;
    }
    std::vector<uint8_t> logic(static_cast<size_t>(count), 0);
    std::vector<double> volts(static_cast<size_t>(count));
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (!mapped[slot]) continue;
        result.used[slot] = Resolve(capture, slot, request.thresholds[slot]);
        // No comparator (no finite sample, or noise with no two levels): the line stays low.
        if (!result.used[slot]) continue;
        for (int64_t i = 0; i < count; ++i)
            volts[static_cast<size_t>(i)] =
                SampleValue(capture, slot, static_cast<int32_t>(first + i));
        int32_t state = -1;
        ThresholdToLogic(volts.data(), count, *result.used[slot], static_cast<uint8_t>(slot),
                         logic.data(), state);
    }

    QString error;
    if (!StartLibrary(error)) {
        result.status = DecodeFailed;
        result.error = error;
        return result;
    }
    ClearErrors();
    srd_session* rawSession = nullptr;
    if (srd_session_new(&rawSession) != SRD_OK) {
        result.status = DecodeFailed;
        result.error = ErrorText(u"libsigrokdecode cannot open a session"_s);
        return result;
    }
    const std::unique_ptr<srd_session, SessionFree> session(rawSession);
    Collector collector{};
    collector.offset = first;
    const auto fail = [&](const QString& fallback) {
        result.status = DecodeFailed;
        result.error = ErrorText(fallback);
        srd_session_terminate_reset(session.get());
        return result;
    };

    size_t infoIndex = 0;
    for (size_t s = 0; s < request.stacks.size(); ++s) {
        srd_decoder_inst* below = nullptr;
        for (size_t layer = 0; layer < request.stacks[s].size(); ++layer) {
            const DecoderSetup& setup = request.stacks[s][layer];
            const DecoderInfo& info = infos[infoIndex++];
            HashTable options = NewVariantTable();
            for (const auto& [id, text] : setup.options) {
                const auto option =
                    std::find_if(info.options.begin(), info.options.end(),
                                 [&](const DecoderOptionInfo& entry) { return entry.id == id; });
                QString ignored;
                g_hash_table_insert(options.get(), g_strdup(id.toUtf8().constData()),
                                    OptionValue(*option, text, ignored));
            }
            srd_decoder_inst* instance =
                srd_inst_new(session.get(), setup.id.toUtf8().constData(), options.get());
            if (instance == nullptr) return fail(u"decoder %1 cannot be set up"_s.arg(setup.id));
            if (layer == 0) {
                HashTable channels = NewVariantTable();
                for (const auto& [id, slot] : setup.channels)
                    g_hash_table_insert(channels.get(), g_strdup(id.toUtf8().constData()),
                                        g_variant_ref_sink(g_variant_new_int32(slot)));
                if (srd_inst_channel_set_all(instance, channels.get()) != SRD_OK)
                    return fail(u"the channels of %1 cannot be set"_s.arg(setup.id));
            } else if (srd_inst_stack(session.get(), below, instance) != SRD_OK) {
                return fail(u"decoder %1 cannot be stacked"_s.arg(setup.id));
            }
            below = instance;
            collector.instances.push_back(instance);
            result.instances.push_back({Text(instance->inst_id), info.id, static_cast<int32_t>(s),
                                        static_cast<int32_t>(layer)});
            result.decoders.push_back(info);
        }
    }
    if (srd_pd_output_callback_add(session.get(), SRD_OUTPUT_ANN, CollectAnnotation, &collector) !=
            SRD_OK ||
        srd_session_metadata_set(session.get(), SRD_CONF_SAMPLERATE,
                                 g_variant_new_uint64(samplerate)) != SRD_OK)
        return fail(u"libsigrokdecode cannot start the decode"_s);
    if (srd_session_start(session.get()) != SRD_OK) return fail(u"a decoder cannot start"_s);

    // In pieces, so that a cancel is heard and the progress moves.
    constexpr int64_t Chunk = 1 << 16;
    for (int64_t done = 0; done < count;) {
        if (progress && !progress(static_cast<double>(done) / static_cast<double>(count))) {
            result.status = DecodeCancelled;
            break;
        }
        const int64_t size = std::min(Chunk, count - done);
        const int code = srd_session_send(session.get(), static_cast<uint64_t>(done),
                                          static_cast<uint64_t>(done + size), logic.data() + done,
                                          static_cast<uint64_t>(size), 1);
        if (code != SRD_OK) {
            fail(u"decoding failed: "_s + QString::fromUtf8(srd_strerror(code)));
            break;
        }
        done += size;
    }
    if (result.status == DecodeOk) {
        if (progress) progress(1.0);
        srd_session_terminate_reset(session.get());
        // An exception after the last sample (in a stacked decoder, say) is only logged.
        const QString late = ErrorText(QString());
        if (!late.isEmpty()) {
            result.status = DecodeFailed;
            result.error = late;
        }
    }

    for (DecodeAnnotation& annotation : collector.annotations) {
        const DecoderInfo& info = result.decoders[static_cast<size_t>(annotation.instance)];
        const int32_t cls = annotation.annotationClass;
        annotation.row = cls >= 0 && cls < static_cast<int32_t>(info.rowOfClass.size())
                             ? info.rowOfClass[static_cast<size_t>(cls)]
                             : -1;
    }
    std::stable_sort(collector.annotations.begin(), collector.annotations.end(),
                     [](const DecodeAnnotation& a, const DecodeAnnotation& b) {
                         if (a.startSample != b.startSample) return a.startSample < b.startSample;
                         if (a.endSample != b.endSample) return a.endSample < b.endSample;
                         return a.instance < b.instance;
                     });
    result.annotations = std::move(collector.annotations);
    return result;
}

void ShutDownDecoding()
{
    const std::lock_guard guard(LibraryLock());
    libraryShutDown = true;
    if (!libraryStarted) return;
    srd_exit();
    libraryStarted = false;
}
