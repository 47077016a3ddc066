// SPDX-License-Identifier: GPL-3.0-or-later
// The Python module `kurvex`: a capture as NumPy arrays, its settings, the automatic
// measurements, the spectrum and the math trace, all computed by the same core as the
// viewer and kurvex-cli. This file only converts: Python values in, the core's results out.
// Errors become Python exceptions here and nowhere else; the core never throws.
#include "analysis/measurements.h"
#include "analysis/spectrum.h"
#include "capture/capture.h"
#include "capture/file_name.h"
#include "capture/sav_reader.h"
#include "math/math_channel.h"

#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QByteArray>
#include <QString>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace {

// Python's names of the slots and of the spectrum windows, as kurvex-cli spells them.
const char* const SlotKeys[SlotCount] = {"ch1", "ch2", "math"};
const std::pair<const char*, int32_t> WindowNames[] = {{"rect", WindowRect},
                                                       {"hann", WindowHann},
                                                       {"blackman-harris", WindowBlackmanHarris},
                                                       {"flattop", WindowFlatTop}};

py::str Text(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return py::str(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A new float64 array of `count` values: one NumPy-owned buffer filled in place.
template <typename Value>
py::array_t<double> Array(int64_t count, Value value)
{
    py::array_t<double> array(static_cast<py::ssize_t>(count));
    double* data = array.mutable_data();
    for (int64_t i = 0; i < count; ++i)
        data[i] = value(i);
    return array;
}

// kurvex.CaptureError, created when the module loads. A handle that is never released: the
// module lives as long as the interpreter, and a release after it has shut down would crash.
py::handle kCaptureError;

[[noreturn]] void RaiseCaptureError(int32_t code, const QString& path, const py::object& given)
{
    // The reader's message, with the bytes of a name that are not text as "\xHH".
    const py::object error =
        kCaptureError(Text(VisibleFileName(LoadMessage(code, path))), code, given);
    PyErr_SetObject(kCaptureError.ptr(), error.ptr());
    throw py::error_already_set();
}

struct PyCapture {
    std::unique_ptr<Capture> capture;

    int32_t Count() const { return capture->samplesPerChannel; }
    bool Has(int32_t slot) const
    {
        return capture->present[slot] == 1 && capture->samples[slot] != nullptr;
    }
};

// Samples at the end of a channel that a file cut short did not hold, where the capture
// model counts them; 0 where it does not.
template <typename Model>
int32_t MissingSamples(const Model& capture, int32_t slot)
{
    if constexpr (requires { capture.missing[slot]; })
        return capture.missing[slot];
    else
        return 0;
}

int32_t SlotArgument(const std::string& name)
{
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (name == SlotKeys[slot]) return slot;
    }
    throw py::value_error("channel must be \"ch1\", \"ch2\" or \"math\", not \"" + name + "\"");
}

// first..last as sample indices; None is the first or the last sample.
std::pair<int32_t, int32_t> RangeArgument(const PyCapture& self, std::optional<int64_t> first,
                                          std::optional<int64_t> last)
{
    const int64_t n = self.Count();
    const int64_t a = first.value_or(0);
    const int64_t b = last.value_or(n - 1);
    // kurvex-cli clamps its cursors into the record; from Python an index outside it (a
    // negative one meant from the end, say) is a mistake better reported than measured.
    if (a < 0 || a >= n || b < 0 || b >= n)
        throw py::index_error("first and last must be sample indices from 0 to " +
                              std::to_string(n - 1));
    return {static_cast<int32_t>(a), static_cast<int32_t>(b)};
}

std::string NumberWord(const py::handle& value)
{
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (py::isinstance<py::float_>(value) || py::isinstance<py::int_>(value))
        return py::repr(value).cast<std::string>();
    throw py::type_error("a math operand is \"ch1\", \"ch2\", \"math\" or a number");
}

// Computes the math trace of `definitions` (each as kurvex-cli's --math) into the capture's MATH
// slot and puts the slot back as it was when it goes out of scope: the loaded capture
// stays what the file holds.
class MathScope {
  public:
    MathScope(Capture& capture, const py::object& definitions) : capture_(capture)
    {
        if (definitions.is_none()) return;
        std::vector<MathSettings> parsed;
        const auto parse = [&](const py::handle& definition) {
            if (!py::isinstance<py::str>(definition))
                throw py::type_error(
                    "math takes a definition \"OP:X:Y[:SCALE[:OFFSET]]\" or a list");
            const QString text = QString::fromStdString(definition.cast<std::string>());
            MathSettings settings{};
            if (!ParseMathDefinition(text, settings))
                throw py::value_error("cannot read math definition \"" +
                                      definition.cast<std::string>() + "\"");
            parsed.push_back(settings);
        };
        if (py::isinstance<py::str>(definitions))
            parse(definitions);
        else
            for (const py::handle definition : definitions)
                parse(definition);
        const int32_t n = capture.samplesPerChannel;
        if (n <= 0 || capture.samples[SlotMath] == nullptr) return;
        saved_.assign(capture.samples[SlotMath], capture.samples[SlotMath] + n);
        present_ = capture.present[SlotMath];
        voltsPerDiv_ = capture.voltsPerDiv[SlotMath];
        offsetDiv_ = capture.offsetDiv[SlotMath];
        active_ = true;
        for (const MathSettings& settings : parsed)
            ComputeMath(capture, settings);
    }
    ~MathScope()
    {
        if (!active_) return;
        std::memcpy(capture_.samples[SlotMath], saved_.data(), saved_.size() * sizeof(double));
        capture_.present[SlotMath] = present_;
        capture_.voltsPerDiv[SlotMath] = voltsPerDiv_;
        capture_.offsetDiv[SlotMath] = offsetDiv_;
    }
    MathScope(const MathScope&) = delete;
    MathScope& operator=(const MathScope&) = delete;

  private:
    Capture& capture_;
    std::vector<double> saved_;
    int32_t present_ = 0;
    double voltsPerDiv_ = 0;
    double offsetDiv_ = 0;
    bool active_ = false;
};

PyCapture Load(const py::object& path)
{
    // os.fsencode takes str, bytes and os.PathLike and gives the name's bytes exactly as
    // the system stores them, also for names that are not UTF-8.
    const py::bytes encoded = py::module_::import("os").attr("fsencode")(path);
    const std::string bytes = encoded;
    const QString name =
        DecodeFileName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    PyCapture result{std::make_unique<Capture>()};
    int32_t code = ReadOk;
    {
        py::gil_scoped_release unlocked;
        code = ReadCapture(*result.capture, name);
    }
    if (code != ReadOk) RaiseCaptureError(code, name, path);
    return result;
}

py::object ChannelArray(const PyCapture& self, int32_t slot)
{
    if (!self.Has(slot)) return py::none();
    py::array_t<double> array(static_cast<py::ssize_t>(self.Count()));
    SampleValues(*self.capture, slot, array.mutable_data());
    return array;
}

py::dict Settings(const PyCapture& self)
{
    static const char* const couplings[] = {"DC", "AC", "GND"};
    static const char* const modes[] = {"auto", "normal", "single"};
    static const char* const sources[] = {"", "external", "ac line", "alternating"};
    static const char* const triggerCouplings[] = {"DC", "AC", "HF reject", "LF reject"};
    static const char* const types[] = {"edge", "pulse"};
    static const char* const slopes[] = {"rise", "fall", "rise and fall"};
    static const char* const polarities[] = {"positive", "negative"};
    static const char* const conditions[] = {">", "<", "="};
    // The reader stores only codes of its tables; anything else reads as None.
    const auto name = [](const auto& table, int32_t code) -> py::object {
        if (code < 0 || static_cast<size_t>(code) >= std::size(table)) return py::none();
        return py::str(table[code]);
    };
    const Capture& c = *self.capture;
    py::dict settings;
    for (int32_t slot = SlotCh1; slot <= SlotCh2; ++slot) {
        if (c.present[slot] != 1) continue;
        const int32_t rows = c.channelRows[slot];
        py::dict channel;
        if (rows & RowVoltsPerDiv) channel["volts_per_div"] = c.voltsPerDiv[slot];
        if (rows & RowCoupling) channel["coupling"] = name(couplings, c.coupling[slot]);
        if (rows & RowProbe) channel["probe"] = c.probeFactor[slot];
        if (rows & RowInverted) channel["inverted"] = c.inverted[slot] == 1;
        if (rows & RowBandwidthLimit) channel["bandwidth_limit"] = c.bandwidthLimit[slot] == 1;
        settings[SlotKeys[slot]] = channel;
    }
    const int32_t rows = c.settingsRows;
    if (rows & RowTimeBase) settings["time_per_div"] = c.timePerDiv;
    py::dict trigger;
    if (rows & RowTriggerMode) trigger["mode"] = name(modes, c.triggerMode);
    if (rows & RowTriggerSource) {
        if (c.triggerSourceKind == SourceChannel)
            trigger["source"] = name(SlotKeys, c.triggerSourceChannel);
        else
            trigger["source"] = name(sources, c.triggerSourceKind);
    }
    if (rows & RowTriggerCoupling) trigger["coupling"] = name(triggerCouplings, c.triggerCoupling);
    if (rows & RowTriggerLevel) trigger["level"] = c.triggerLevel;
    if (rows & RowTriggerOffset) trigger["offset"] = c.triggerOffset;
    if (rows & RowTriggerType) trigger["type"] = name(types, c.triggerType);
    if (rows & RowEdgeSlope) trigger["slope"] = name(slopes, c.edgeSlope);
    if (rows & RowPulsePolarity) trigger["polarity"] = name(polarities, c.pulsePolarity);
    if (rows & RowPulseCondition) trigger["condition"] = name(conditions, c.pulseCondition);
    if (rows & RowPulseWidth) trigger["pulse_width"] = c.pulseWidth;
    if (!trigger.empty()) settings["trigger"] = trigger;
    return settings;
}

py::dict Measurements(PyCapture& self, std::optional<int64_t> first, std::optional<int64_t> last,
                      const py::object& math)
{
    const auto [a, b] = RangeArgument(self, first, last);
    MathScope scope(*self.capture, math);
    const MeasurementTable table = MeasureAll(*self.capture, a, b);
    py::dict result;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (table.present[slot] != 1) continue;
        py::dict values;
        for (int32_t key = 0; key < MeasurementCount; ++key) {
            const std::optional<double>& value = table.channels[slot].value[key];
            values[Text(QString::fromUtf16(MeasurementRowOf(key).key))] =
                value ? py::object(py::float_(*value)) : py::object(py::none());
        }
        result[SlotKeys[slot]] = values;
    }
    return result;
}

struct PyPeak {
    double frequency;
    double rms;
    double dbv;
};

struct PySpectrum {
    py::array_t<double> frequency;
    py::array_t<double> rms;
    py::array_t<double> dbv;
    double binWidth;
    std::vector<PyPeak> peaks;
    std::optional<PyPeak> fundamental;
    py::dict harmonics;
    std::optional<double> thd;
    std::optional<double> thdDb;
};

PyPeak Peak(const SpectrumPeak& peak)
{
    return PyPeak{peak.frequency, peak.rms, peak.dbv};
}

PySpectrum SpectrumOf(PyCapture& self, const std::string& channel, const std::string& window,
                      std::optional<int64_t> first, std::optional<int64_t> last,
                      const py::object& math)
{
    const int32_t slot = SlotArgument(channel);
    int32_t kind = -1;
    for (const auto& [windowName, windowKind] : WindowNames) {
        if (window == windowName) kind = windowKind;
    }
    if (kind < 0)
        throw py::value_error("window must be \"rect\", \"hann\", \"blackman-harris\" or "
                              "\"flattop\", not \"" +
                              window + "\"");
    const auto [a, b] = RangeArgument(self, first, last);
    MathScope scope(*self.capture, math);
    if (!self.Has(slot)) throw py::value_error("the channel " + channel + " is not present");
    Spectrum spectrum{};
    ComputeCaptureSpectrum(spectrum, *self.capture, slot, a, b, kind);
    if (spectrum.status != SpectrumOk)
        throw py::value_error(Text(SpectrumStatusText(spectrum.status)).cast<std::string>());

    PySpectrum result{};
    const auto bins = static_cast<int64_t>(spectrum.rms.size());
    result.frequency =
        Array(bins, [&](int64_t k) { return BinFrequency(spectrum, static_cast<int32_t>(k)); });
    result.rms = Array(bins, [&](int64_t k) { return spectrum.rms[static_cast<size_t>(k)]; });
    result.dbv = Array(bins, [&](int64_t k) { return spectrum.dbv[static_cast<size_t>(k)]; });
    result.binWidth = spectrum.binWidth;
    for (const SpectrumPeak& peak : spectrum.peaks)
        result.peaks.push_back(Peak(peak));
    if (spectrum.periodic) result.fundamental = Peak(spectrum.fundamental);
    for (int32_t k = 2; k < 2 + spectrum.harmonicCount; ++k)
        result.harmonics[py::int_(k)] = py::cast(Peak(spectrum.harmonics[k - 2]));
    if (spectrum.hasThd) {
        result.thd = spectrum.thdPercent;
        result.thdDb = spectrum.thdDb;
    }
    return result;
}

py::array_t<double> MathTrace(PyCapture& self, const std::string& operation, const py::object& x,
                              const py::object& y, const py::object& scale, double offset)
{
    std::string definition = operation + ':' + NumberWord(x) + ':' + NumberWord(y);
    definition += ':' + (scale.is_none() ? std::string("auto") : NumberWord(scale));
    definition += ':' + NumberWord(py::float_(offset));
    if (QString::fromStdString(operation).compare(u"off", Qt::CaseInsensitive) == 0)
        throw py::value_error("math needs an operation, not \"off\"");
    MathScope scope(*self.capture, py::str(definition));
    if (!self.Has(SlotMath)) throw py::value_error("no math trace for \"" + definition + "\"");
    py::array_t<double> array(static_cast<py::ssize_t>(self.Count()));
    SampleValues(*self.capture, SlotMath, array.mutable_data());
    return array;
}

const char CaptureErrorSource[] = R"(
class CaptureError(Exception):
    """A capture could not be loaded.

    code: 1 the file cannot be opened, 2 it is not a capture of a known model,
    3 not enough memory, 4 it holds invalid values.
    str(error) and .message: the reader's message, as the viewer shows it.
    path: the name as it was given to load().
    """

    def __init__(self, message, code, path):
        super().__init__(message)
        self.message = message
        self.code = code
        self.path = path
)";

} // namespace

PYBIND11_MODULE(kurvex, m)
{
    m.doc() = "Oscilloscope captures (.sav) as NumPy arrays, with the measurements, the "
              "spectrum and the math trace of the Kurvex viewer.\n\n"
              "    import kurvex\n"
              "    c = kurvex.load(\"A001.sav\")\n"
              "    print(c.model, c.ch1.max(), c.measurements()[\"ch1\"][\"freq\"])\n";

    py::dict scope;
    scope["__builtins__"] = py::module_::import("builtins");
    scope["__name__"] = "kurvex";
    py::exec(CaptureErrorSource, scope);
    kCaptureError = py::object(scope["CaptureError"]).release();
    m.attr("CaptureError") = kCaptureError;

    py::class_<PyPeak>(m, "Peak", "A spectral line: frequency in Hz and its level.")
        .def_readonly("frequency", &PyPeak::frequency, "Hz, refined between bins")
        .def_readonly("rms", &PyPeak::rms, "V RMS, refined between bins")
        .def_readonly("dbv", &PyPeak::dbv, "the same level in dBV")
        .def("__repr__", [](const PyPeak& p) {
            return "Peak(frequency=" + py::repr(py::float_(p.frequency)).cast<std::string>() +
                   ", rms=" + py::repr(py::float_(p.rms)).cast<std::string>() +
                   ", dbv=" + py::repr(py::float_(p.dbv)).cast<std::string>() + ")";
        });

    py::class_<PySpectrum>(m, "Spectrum",
                           "The spectrum of one channel, as the spectrum window shows it.")
        .def_readonly("frequency", &PySpectrum::frequency,
                      "Hz of every bin, 0 Hz to the Nyquist frequency")
        .def_readonly("rms", &PySpectrum::rms, "V RMS of every bin")
        .def_readonly("dbv", &PySpectrum::dbv, "dBV of every bin (-inf for 0 V)")
        .def_readonly("bin_width", &PySpectrum::binWidth, "Hz between bins")
        .def_readonly("peaks", &PySpectrum::peaks, "the strongest local maxima, strongest first")
        .def_readonly("fundamental", &PySpectrum::fundamental,
                      "the fundamental of a periodic signal, or None")
        .def_readonly("harmonics", &PySpectrum::harmonics,
                      "{k: Peak} for the harmonics k = 2.. below the Nyquist frequency")
        .def_readonly("thd", &PySpectrum::thd, "total harmonic distortion in %, or None")
        .def_readonly("thd_db", &PySpectrum::thdDb, "the same in dB, or None");

    py::class_<PyCapture>(m, "Capture", "One loaded capture. Create with kurvex.load().")
        .def_property_readonly(
            "model", [](const PyCapture& self) { return Text(self.capture->model); },
            "the instrument, e.g. \"UTD2052CEL\"")
        .def_property_readonly(
            "time",
            [](const PyCapture& self) {
                py::array_t<double> array(static_cast<py::ssize_t>(self.Count()));
                SampleTimes(*self.capture, array.mutable_data());
                return array;
            },
            "float64 array: seconds of every sample from the first")
        .def_property_readonly(
            "ch1", [](const PyCapture& self) { return ChannelArray(self, SlotCh1); },
            "float64 array: channel 1 in volts (probe and inversion applied), or None")
        .def_property_readonly(
            "ch2", [](const PyCapture& self) { return ChannelArray(self, SlotCh2); },
            "float64 array: channel 2 in volts, or None when the capture has no channel 2")
        .def_property_readonly("settings", &Settings,
                               "dict of the settings the file holds: \"ch1\"/\"ch2\" "
                               "(volts_per_div, coupling, probe, inverted, bandwidth_limit), "
                               "time_per_div and \"trigger\" (mode, source, coupling, level, "
                               "offset, type, slope or polarity, condition and pulse_width)")
        .def_property_readonly(
            "missing",
            [](const PyCapture& self) {
                py::dict missing;
                for (int32_t slot = SlotCh1; slot <= SlotCh2; ++slot) {
                    if (self.capture->present[slot] == 1)
                        missing[SlotKeys[slot]] = MissingSamples(*self.capture, slot);
                }
                return missing;
            },
            "{\"ch1\": n, ...}: samples per channel that a truncated file did not hold")
        .def("measurements", &Measurements, py::arg("first") = py::none(),
             py::arg("last") = py::none(), py::arg("math") = py::none(),
             "The automatic measurements over samples first..last (default: all), as\n"
             "`kurvex-cli measure all --numbers`: {\"ch1\": {\"max\": ..., \"freq\": ...}, ...}\n"
             "with a float, or None where a measurement cannot be made. math: a definition\n"
             "\"OP:X:Y[:SCALE[:OFFSET]]\" as kurvex-cli --math (or a list of them) adds \"math\".")
        .def("spectrum", &SpectrumOf, py::arg("channel") = "ch1", py::arg("window") = "hann",
             py::arg("first") = py::none(), py::arg("last") = py::none(),
             py::arg("math") = py::none(),
             "The spectrum of \"ch1\", \"ch2\" or \"math\" over samples first..last, with the\n"
             "window \"rect\", \"hann\", \"blackman-harris\" or \"flattop\"; the bins equal\n"
             "`kurvex-cli spectrum -o`. ValueError when no spectrum can be computed.")
        .def("math", &MathTrace, py::arg("operation"), py::arg("x") = "ch1", py::arg("y") = "ch2",
             py::arg("scale") = py::none(), py::arg("offset") = 0.0,
             "The math trace as the math dialog computes it, a float64 array in the result's\n"
             "unit. operation: x+y x-y x*y x/y 1/x x^2 sqrt(x) abs(x) -x; x, y: \"ch1\",\n"
             "\"ch2\" or a number; scale (V/DIV, default auto) and offset (DIV) only change\n"
             "how the trace is stored, as on the screen. The capture itself is not changed.")
        .def("__repr__", [](const PyCapture& self) {
            int channels = 0;
            for (int32_t slot = SlotCh1; slot <= SlotCh2; ++slot)
                channels += self.capture->present[slot] == 1 ? 1 : 0;
            return "<kurvex.Capture " + self.capture->model.toStdString() + ", " +
                   std::to_string(channels) + " channel(s), " + std::to_string(self.Count()) +
                   " samples>";
        });

    m.def("load", &Load, py::arg("path"),
          "Loads a .sav capture. path: str, bytes or os.PathLike (bytes need not be UTF-8).\n"
          "Raises kurvex.CaptureError (with .code and the reader's message) when it cannot.");
}
