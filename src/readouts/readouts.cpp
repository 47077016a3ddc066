// SPDX-License-Identifier: GPL-3.0-or-later
#include "readouts/readouts.h"

#include "capture/sample_sum.h"
#include "text/format_text.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

// The context of this module's texts in the translations.
struct Readouts {
    Q_DECLARE_TR_FUNCTIONS(Readouts)
};

// One row text of a code table with the icon the tree shows beside it.
struct CodeRow {
    const char* text; // translated when shown
    int32_t icon;
};

constexpr CodeRow kInputCoupling[] = {{QT_TRANSLATE_NOOP("Readouts", "DC"), 5},
                                      {QT_TRANSLATE_NOOP("Readouts", "AC"), 4},
                                      {QT_TRANSLATE_NOOP("Readouts", "GND"), 6}};
constexpr CodeRow kTriggerMode[] = {{QT_TRANSLATE_NOOP("Readouts", "Auto"), 12},
                                    {QT_TRANSLATE_NOOP("Readouts", "Normal"), 19},
                                    {QT_TRANSLATE_NOOP("Readouts", "Single"), 24}};
// Kind 0 (a channel) takes its text and icon from the channel itself.
constexpr CodeRow kTriggerSource[] = {{"", 0},
                                      {QT_TRANSLATE_NOOP("Readouts", "Extern"), 29},
                                      {QT_TRANSLATE_NOOP("Readouts", "Netzfrequenz (AC Line)"), 30},
                                      {QT_TRANSLATE_NOOP("Readouts", "Alternierend (Alter)"), 28}};
constexpr CodeRow kTriggerCoupling[] = {
    {QT_TRANSLATE_NOOP("Readouts", "DC"), 5},
    {QT_TRANSLATE_NOOP("Readouts", "AC"), 4},
    {QT_TRANSLATE_NOOP("Readouts", "Tiefpass (HF Reject)"), 13},
    {QT_TRANSLATE_NOOP("Readouts", "Hochpass (LF Reject)"), 14}};
constexpr CodeRow kTriggerType[] = {
    {QT_TRANSLATE_NOOP("Readouts", "Flankentriggerung (Edge)"), 31},
    {QT_TRANSLATE_NOOP("Readouts", "Pulsbreitentriggerung (Pulse)"), 32}};
constexpr CodeRow kEdgeSlope[] = {
    {QT_TRANSLATE_NOOP("Readouts", "Steigende Flanke (Rise)"), 26},
    {QT_TRANSLATE_NOOP("Readouts", "Fallende Flanke (Fall)"), 25},
    {QT_TRANSLATE_NOOP("Readouts", "Steigende und fallende Flanke (Rise & Fall)"), 27}};
constexpr CodeRow kPulsePolarity[] = {{QT_TRANSLATE_NOOP("Readouts", "ON-Zeit (Positive)"), 22},
                                      {QT_TRANSLATE_NOOP("Readouts", "OFF-Zeit (Negative)"), 21}};
constexpr CodeRow kPulseCondition[] = {{QT_TRANSLATE_NOOP("Readouts", "Größer (>)"), 16},
                                       {QT_TRANSLATE_NOOP("Readouts", "Kleiner (<)"), 17},
                                       {QT_TRANSLATE_NOOP("Readouts", "Gleich (=)"), 15}};

constexpr int32_t kChannelIcon[] = {1, 2};

// Lines of the read-only boxes end in CR LF.
constexpr QStringView kLineEnd = u"\r\n";

// The reader never stores a code outside its table; should one slip through anyway, the
// row gets an empty text rather than a read past the table.
template <size_t Count>
CodeRow RowOf(const CodeRow (&table)[Count], int32_t code)
{
    if (code < 0 || static_cast<size_t>(code) >= Count) return CodeRow{"", 0};
    return table[code];
}

QString TextOf(const CodeRow& row)
{
    return Readouts::tr(row.text);
}

QString FormatFloat(QStringView templateText, double value)
{
    return FormatText(templateText, value);
}

QString FormatWithText(QStringView templateText, const QString& text)
{
    return FormatText(templateText, text);
}

// a x b - product exactly, for a product that did not overflow (Dekker's splitting: each
// factor into two halves of 26 bits whose products are exact).
double ProductError(double a, double b, double product)
{
    constexpr double Split = 134217729.0; // 2^27 + 1
    const double aBig = a * Split;
    const double aHigh = aBig - (aBig - a);
    const double aLow = a - aHigh;
    const double bBig = b * Split;
    const double bHigh = bBig - (bBig - b);
    const double bLow = b - bHigh;
    return ((aHigh * bHigh - product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// A value with its unit, "{0Sd5}V". The template gives NaN the sign of a negative value
// ("-NaN V"); a math result that is not a number has no sign, and reads "NaN V".
QString VoltText(double value)
{
    if (std::isnan(value)) return QStringLiteral("NaN V");
    return FormatFloat(u"{0Sd5}V", value);
}

// "{name}: {value}V", the line of one slot in every readout.
QString SlotLine(int32_t slot, double value)
{
    return ChannelName(slot) + QStringLiteral(": ") + VoltText(value);
}

// The line of a slot with no value: the samples it would need are not in the file.
QString MissingLine(int32_t slot)
{
    return ChannelName(slot) + QStringLiteral(": ---");
}

// Whether the slot's samples can be read: present and backed by the sample block.
bool SlotReadable(const Capture& capture, int32_t slot)
{
    return capture.present[slot] == 1 && capture.samples[slot] != nullptr &&
           capture.samplesPerChannel > 0;
}

// Cursor indices come from the window and are always in range there; other callers
// (the command-line tool) might pass anything, and a wrong index must not read outside
// the samples.
int32_t ClampIndex(const Capture& capture, int32_t index)
{
    const int32_t last = capture.samplesPerChannel > 0 ? capture.samplesPerChannel - 1 : 0;
    return index < 0 ? 0 : (index > last ? last : index);
}

} // namespace

QString ChannelName(int32_t slot)
{
    if (slot == SlotCh1 || slot == SlotCh2) {
        const int32_t number = slot + 1;
        return FormatText(Readouts::tr("Kanal {0}"), number);
    }
    if (slot == SlotMath) return Readouts::tr("Math");
    return QString();
}

std::vector<SettingsItem> SettingsListItems(const Capture& capture)
{
    std::vector<SettingsItem> items;
    auto add = [&items](QString text, int32_t icon, int32_t level) {
        items.push_back(SettingsItem{std::move(text), icon, level});
    };
    auto addRow = [&add](const CodeRow& row) { add(TextOf(row), row.icon, 1); };

    for (int32_t slot = SlotCh1; slot <= SlotCh2; ++slot) {
        if (capture.present[slot] != 1) continue;
        const int32_t rows = capture.channelRows[slot];
        add(ChannelName(slot), kChannelIcon[slot], 0);
        if (rows & RowVoltsPerDiv)
            add(FormatFloat(u"{0Sd5}V/DIV", capture.voltsPerDiv[slot]), 9, 1);
        if (rows & RowCoupling) addRow(RowOf(kInputCoupling, capture.coupling[slot]));
        if (rows & RowProbe) add(FormatFloat(u"{0}:1", capture.probeFactor[slot]), 8, 1);
        if ((rows & RowInverted) && capture.inverted[slot] == 1)
            add(Readouts::tr("Invertiert"), 7, 1);
        if ((rows & RowBandwidthLimit) && capture.bandwidthLimit[slot] == 1)
            add(Readouts::tr("Bandbreitenbegrenzung (Bandwidth Limit)"), 3, 1);
    }

    const int32_t rows = capture.settingsRows;
    if (rows & RowTimeBase)
        add(FormatFloat(Readouts::tr("Zeitbasis: {0Sd5}s/DIV"), capture.timePerDiv), 10, 0);

    constexpr int32_t triggerRows = RowTriggerMode | RowTriggerSource | RowTriggerCoupling |
                                    RowTriggerLevel | RowTriggerOffset | RowTriggerType |
                                    RowEdgeSlope | RowPulsePolarity | RowPulseCondition |
                                    RowPulseWidth;
    if ((rows & triggerRows) == 0) return items;

    add(Readouts::tr("Trigger"), 11, 0);
    if (rows & RowTriggerMode) {
        const CodeRow row = RowOf(kTriggerMode, capture.triggerMode);
        add(FormatWithText(Readouts::tr("Modus: {0}"), TextOf(row)), row.icon, 1);
    }
    if (rows & RowTriggerSource) {
        if (capture.triggerSourceKind == SourceChannel) {
            const int32_t channel = capture.triggerSourceChannel;
            const bool known = channel == SlotCh1 || channel == SlotCh2;
            add(FormatWithText(Readouts::tr("Quelle: {0}"), ChannelName(channel)),
                known ? kChannelIcon[channel] : 0, 1);
        } else {
            const CodeRow row = RowOf(kTriggerSource, capture.triggerSourceKind);
            add(FormatWithText(Readouts::tr("Quelle: {0}"), TextOf(row)), row.icon, 1);
        }
    }
    if (rows & RowTriggerCoupling) {
        const CodeRow row = RowOf(kTriggerCoupling, capture.triggerCoupling);
        add(FormatWithText(Readouts::tr("Kopplung: {0}"), TextOf(row)), row.icon, 1);
    }
    if (rows & RowTriggerLevel)
        add(FormatFloat(Readouts::tr("Triggerlevel: {0Sd5}V"), capture.triggerLevel), 18, 1);
    if (rows & RowTriggerOffset)
        add(FormatFloat(Readouts::tr("Triggeroffset: {0Sd5}s"), capture.triggerOffset), 20, 1);
    if (rows & RowTriggerType) addRow(RowOf(kTriggerType, capture.triggerType));
    if (rows & RowEdgeSlope) addRow(RowOf(kEdgeSlope, capture.edgeSlope));
    if (rows & RowPulsePolarity) addRow(RowOf(kPulsePolarity, capture.pulsePolarity));
    if (rows & RowPulseCondition) addRow(RowOf(kPulseCondition, capture.pulseCondition));
    if (rows & RowPulseWidth)
        add(FormatFloat(Readouts::tr("Pulsbreite: {0Sd5}s"), capture.pulseWidth), 23, 1);
    return items;
}

QString MeasureText(const Capture& capture, int32_t cursor1, int32_t cursor2, int32_t mode)
{
    static constexpr const char* headings[] = {
        QT_TRANSLATE_NOOP("Readouts", "Spitzenwerte (Minimum, Maximum, Spitze-Spitze)"),
        QT_TRANSLATE_NOOP("Readouts", "Effektivwerte"),
        QT_TRANSLATE_NOOP("Readouts", "Mittelwerte")};
    if (mode < MeasurePeak || mode > MeasureMean) return QString();

    const int32_t index1 = ClampIndex(capture, cursor1);
    const int32_t index2 = ClampIndex(capture, cursor2);
    const int32_t a = index1 < index2 ? index1 : index2;
    const int32_t last = index1 < index2 ? index2 : index1;

    QString text = Readouts::tr(headings[mode]);
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (!SlotReadable(capture, slot)) continue;
        text += kLineEnd;
        // Only the samples the file holds are measured: a cut file ends the range early.
        const int32_t b = std::min(last, PresentSamples(capture, slot) - 1);
        const int32_t n = b - a + 1;
        if (n <= 0) {
            text += MissingLine(slot);
            continue;
        }
        if (mode == MeasurePeak) {
            const QString name = ChannelName(slot);
            double minimum = SampleValue(capture, slot, a);
            double maximum = minimum;
            for (int32_t i = a + 1; i <= b; ++i) {
                const double v = SampleValue(capture, slot, i);
                if (v < minimum)
                    minimum = v;
                else if (v > maximum)
                    maximum = v;
            }
            const double peakToPeak = maximum - minimum;
            text += name + QStringLiteral(": ") + VoltText(minimum) + QStringLiteral(", ") +
                    VoltText(maximum) + QStringLiteral(", ") + VoltText(peakToPeak);
            continue;
        }
        // Summed exactly and divided once, so that values which cancel read 0 V and every
        // mean is the correctly rounded one. A square is added as its rounded product, and
        // the products' rounding errors, each below half a unit of its square, are summed
        // apart and added last: that leaves the mean square within a hair of correctly
        // rounded, and the RMS within one unit in the last place.
        SampleSum sum;
        double squareErrors = 0;
        // Squares of values beyond about 1e154 V would overflow and those below 1e-154 V
        // vanish, though the RMS itself is a finite, nonzero number: such values are
        // squared scaled by a power of two (exactly) and the root scaled back.
        int32_t exponent = 0;
        if (mode == MeasureRms) {
            double largest = 0;
            for (int32_t i = a; i <= b; ++i)
                largest = std::fmax(largest, std::fabs(SampleValue(capture, slot, i)));
            if (std::isfinite(largest) && largest > 0 && (largest > 0x1p500 || largest < 0x1p-500))
                std::frexp(largest, &exponent);
        }
        for (int32_t i = a; i <= b; ++i) {
            const double v = std::ldexp(SampleValue(capture, slot, i), -exponent);
            if (mode == MeasureRms) {
                const double square = v * v;
                sum.Add(square);
                if (std::isfinite(square)) squareErrors += ProductError(v, v, square);
            } else {
                sum.Add(v);
            }
        }
        sum.Add(squareErrors);
        const double mean = sum.Quotient(static_cast<uint32_t>(n));
        text += SlotLine(slot, mode == MeasureRms ? std::ldexp(std::sqrt(mean), exponent) : mean);
    }
    return text;
}

CursorTexts CursorReadoutTexts(const Capture& capture, int32_t cursor1, int32_t cursor2)
{
    const int32_t index1 = ClampIndex(capture, cursor1);
    const int32_t index2 = ClampIndex(capture, cursor2);
    CursorTexts texts;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (!SlotReadable(capture, slot)) continue;
        // A sample the file does not hold reads "---", and so does a difference with it.
        const bool has1 = SamplePresent(capture, slot, index1);
        const bool has2 = SamplePresent(capture, slot, index2);
        const double y1 = SampleValue(capture, slot, index1);
        const double y2 = SampleValue(capture, slot, index2);
        texts.first += has1 ? SlotLine(slot, y1) : MissingLine(slot);
        texts.first += kLineEnd;
        texts.second += has2 ? SlotLine(slot, y2) : MissingLine(slot);
        texts.second += kLineEnd;
        texts.difference += has1 && has2 ? SlotLine(slot, y1 - y2) : MissingLine(slot);
        texts.difference += kLineEnd;
    }
    const double t1 = SampleTime(capture, index1);
    const double t2 = SampleTime(capture, index2);
    const double dt = t1 - t2;
    texts.first += FormatFloat(Readouts::tr("Zeit: {0Sd5}s"), t1);
    texts.second += FormatFloat(Readouts::tr("Zeit: {0Sd5}s"), t2);
    texts.difference += FormatFloat(Readouts::tr("Zeit: {0Sd5}s"), dt);
    if (dt != 0) {
        texts.difference += kLineEnd;
        texts.difference += FormatFloat(Readouts::tr("Frq.: {0Sd5}Hz"), 1 / std::fabs(dt));
    }
    return texts;
}
