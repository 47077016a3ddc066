// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/measure_all.h"

#include "analysis/measurements.h"

#include <charconv>

namespace {

// The shortest decimal text that reads back as the same double: at most 17 significant
// digits, in plain or exponent form, whichever is shorter ("0.001", "7e+300"). A value far
// beyond any real voltage would otherwise print as hundreds of digits.
QString ShortestNumberText(double value)
{
    if (value == 0) return QStringLiteral("0"); // also -0
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return QString::fromLatin1(digits, result.ptr - digits);
}

// The table for scripts: header "key" and the slot keys, then a row key and plain numbers
// per measurement, an empty field where there is no value.
QString NumbersTableText(const MeasurementTable& table)
{
    static const char16_t* const slotKeys[SlotCount] = {u"ch1", u"ch2", u"math"};
    QString text = QStringLiteral("key");
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (table.present[slot] == 1) text += u'\t' + QString::fromUtf16(slotKeys[slot]);
    }
    text += u'\n';
    for (int32_t key = 0; key < MeasurementCount; ++key) {
        text += QString::fromUtf16(MeasurementRowOf(key).key);
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            if (table.present[slot] != 1) continue;
            const std::optional<double>& value = table.channels[slot].value[key];
            text += u'\t';
            if (value) text += ShortestNumberText(*value);
        }
        text += u'\n';
    }
    return text;
}

} // namespace

QString MeasureAllText(const Capture& capture, int32_t first, int32_t last, bool numbers)
{
    const MeasurementTable table = MeasureAll(capture, first, last);
    return numbers ? NumbersTableText(table) : MeasurementTableText(table, false);
}
