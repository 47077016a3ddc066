// SPDX-License-Identifier: GPL-3.0-or-later
#include "math/math_channel.h"

#include "text/format_text.h"
#include "text/number_text.h"

#include <QCoreApplication>
#include <QList>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char16_t* kOperationTexts[] = {u"",    u"x+y",     u"x-y",     u"x*y",    u"x/y",
                                               u"1/x", u"x\u00B2", u"sqrt(x)", u"abs(x)", u"-x"};

double OperationResult(int32_t operation, double x, double y)
{
    switch (operation) {
    case MathAdd:
        return x + y;
    case MathSubtract:
        return x - y;
    case MathMultiply:
        return x * y;
    case MathDivide:
        return x / y;
    case MathReciprocal:
        return 1 / x;
    case MathSquare:
        return std::pow(x, 2);
    case MathSquareRoot:
        return std::sqrt(x);
    case MathAbsolute:
        return std::fabs(x);
    default: // MathNegate
        return -x;
    }
}

bool IsKeyword(QStringView text, QStringView keyword)
{
    return text.compare(keyword, Qt::CaseInsensitive) == 0;
}

bool IsPrefixLetter(char16_t c)
{
    return c == u'k' || c == u'M' || c == u'G' || c == u'T' || c == u'm' || c == u'u' ||
           c == u'\u00B5' || c == u'n' || c == u'p';
}

// ParseValue reads the longest number at the start of any text (the dialog's typed fields
// rely on that), so on a command line, where nobody sees what was taken, the whole field
// must be one number: a sign, digits with "." as the decimal mark, an exponent, or one
// SI prefix letter in place of the mark or at the end ("4k7", "5m"). A comma is no decimal
// mark there: "1,000" would read 1 where a thousand may be meant.
bool ReadNumber(QStringView text, double& value)
{
    const QStringView trimmed = text.trimmed();
    const auto at = [&](qsizetype i) -> char16_t {
        return i < trimmed.size() ? trimmed[i].unicode() : u'\0';
    };
    const auto digits = [&](qsizetype& i) {
        const qsizetype start = i;
        while (at(i) >= u'0' && at(i) <= u'9')
            ++i;
        return i - start;
    };
    qsizetype i = 0;
    if (at(i) == u'+' || at(i) == u'-') ++i;
    qsizetype mantissa = digits(i);
    bool prefix = false;
    if (at(i) == u'.' || (mantissa > 0 && IsPrefixLetter(at(i)))) {
        prefix = at(i) != u'.';
        ++i;
        mantissa += digits(i);
    }
    if (mantissa == 0) return false;
    if (!prefix && (at(i) == u'e' || at(i) == u'E')) {
        ++i;
        if (at(i) == u'+' || at(i) == u'-') ++i;
        if (digits(i) == 0) return false;
    } else if (!prefix && IsPrefixLetter(at(i))) {
        ++i;
    }
    if (i != trimmed.size()) return false;
    value = ParseValue(trimmed);
    return std::isfinite(value);
}

bool ReadOperand(QStringView text, int32_t& operand, double& constant, QString* badNumber)
{
    static constexpr const char16_t* slotNames[] = {u"ch1", u"ch2", u"math"};
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (IsKeyword(text.trimmed(), QStringView(slotNames[slot]))) {
            operand = slot;
            return true;
        }
    }
    if (!ReadNumber(text, constant)) {
        if (badNumber != nullptr) *badNumber = text.toString();
        return false;
    }
    operand = -1;
    return true;
}

} // namespace

MathSettings& ProgramMathSettings()
{
    static MathSettings settings{};
    return settings;
}

// A result is missing wherever an operand channel is: a cut file misses the tail.
static int32_t MissingOperands(const Capture& capture, const MathSettings& settings)
{
    int32_t missing = 0;
    const bool binary = settings.operation < MathReciprocal; // the others read x only
    for (const int32_t operand : {settings.operandX, binary ? settings.operandY : -1})
        if (operand >= 0 && operand < SlotCount)
            missing = std::max(missing, capture.missing[operand]);
    return missing;
}

void ComputeMath(Capture& capture, const MathSettings& settings)
{
    if (settings.operation == MathOff) {
        // The old trace stays in the slot, only hidden.
        capture.present[SlotMath] = 0;
        return;
    }
    // Nothing the dialog can produce, but a stray code or operand must not read outside
    // the three slots; such a definition leaves the capture as it is.
    const bool operandsValid = settings.operandX >= -1 && settings.operandX < SlotCount &&
                               settings.operandY >= -1 && settings.operandY < SlotCount;
    const int32_t n = capture.samplesPerChannel;
    if (settings.operation < MathAdd || settings.operation > MathNegate || !operandsValid ||
        n <= 0 || capture.samples[SlotMath] == nullptr)
        return;

    const bool autoScale = settings.scale == 0;
    const double fixedScale = settings.scale;
    const double fixedOffset = settings.offset;
    double* math = capture.samples[SlotMath];
    double largest = 0;
    // The operands of sample i are read before sample i is written, and the MATH slot's
    // scale and offset change only at the end: a trace of the MATH slot itself reads the
    // previous trace, exactly as it was shown.
    for (int32_t i = 0; i < n; ++i) {
        const double x = settings.operandX == -1 ? settings.constantX
                                                 : SampleValue(capture, settings.operandX, i);
        const double y = settings.operandY == -1 ? settings.constantY
                                                 : SampleValue(capture, settings.operandY, i);
        const double r = OperationResult(settings.operation, x, y);
        if (autoScale) {
            math[i] = r;
            // Only finite results set the scale: one infinite result (1/x where x is 0)
            // would make the scale infinite and put every finite result on 0 DIV, and a
            // NaN would stand in for the largest magnitude.
            const double magnitude = std::fabs(r);
            if (std::isfinite(r) && magnitude > largest) largest = magnitude;
        } else {
            math[i] = r / fixedScale + fixedOffset;
        }
    }

    double scale = fixedScale;
    double offset = fixedOffset;
    if (autoScale) {
        // The largest magnitude lands three divisions from the zero line with 8 divisions.
        // m / (vDivisions x 3/8) is the same quotient as m x 2 / (vDivisions x 3/4), both
        // divisors being exact, but cannot overflow for the largest finite results.
        scale = largest == 0 ? 1 : largest / (capture.vDivisions * 3.0 / 8.0);
        // A largest magnitude so small that a third of it is no longer a positive double:
        // dividing by 0 would turn every result into an infinity or NaN.
        if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
        offset = 0;
        for (int32_t i = 0; i < n; ++i)
            math[i] = math[i] / scale + offset;
    }
    capture.present[SlotMath] = 1;
    capture.missing[SlotMath] = MissingOperands(capture, settings);
    capture.voltsPerDiv[SlotMath] = scale;
    capture.offsetDiv[SlotMath] = offset;
}

QString MathOperationText(int32_t operation)
{
    if (operation < MathAdd || operation > MathNegate) return QString();
    return QString::fromUtf16(kOperationTexts[operation]);
}

double MathScaleFromFactor(bool factorSelected, double factorNumber, QStringView typedText,
                           int32_t unitPower)
{
    double factor = factorSelected ? factorNumber : ParseValue(typedText.trimmed());
    if (factor < 0 || std::isnan(factor)) factor = 0;
    // Dividing by the exact 10^|p| gives 5 mV/DIV as the double nearest 0.005, which
    // multiplying by the inexact 10^-3 does not for every factor.
    return unitPower < 0 ? factor / NearestPowerOfTen(-unitPower)
                         : factor * NearestPowerOfTen(unitPower);
}

double MathOffsetFromSlider(int32_t position, int32_t vDivisions)
{
    return (position - 100) * (vDivisions / 2.0) / 100;
}

QString MathOffsetText(double offset)
{
    return FormatText(QCoreApplication::translate("MathChannel", "Offset: {0} DIV"), offset);
}

bool ParseMathDefinition(QStringView definition, MathSettings& settings, QString* badNumber)
{
    const QList<QStringView> parts = definition.split(u':');
    const QStringView op = parts[0].trimmed();
    const bool off = IsKeyword(op, u"off");
    if (off && parts.size() == 1) {
        settings.operation = MathOff;
        return true;
    }
    if (parts.size() < 3 || parts.size() > 5) return false;

    MathSettings parsed = settings;
    parsed.operation = off ? MathOff : -1;
    if (IsKeyword(op, u"x^2")) parsed.operation = MathSquare;
    for (int32_t operation = MathAdd; operation <= MathNegate && parsed.operation < 0;
         ++operation) {
        if (IsKeyword(op, QStringView(kOperationTexts[operation]))) parsed.operation = operation;
    }
    if (parsed.operation < 0) return false;

    if (!ReadOperand(parts[1], parsed.operandX, parsed.constantX, badNumber) ||
        !ReadOperand(parts[2], parsed.operandY, parsed.constantY, badNumber))
        return false;
    const auto number = [&](QStringView text, double& value) {
        if (ReadNumber(text, value)) return true;
        if (badNumber != nullptr) *badNumber = text.toString();
        return false;
    };

    parsed.scale = 0;
    parsed.offset = 0;
    if (parts.size() >= 4 && !IsKeyword(parts[3].trimmed(), u"auto")) {
        if (!number(parts[3], parsed.scale) || parsed.scale < 0) return false;
    }
    if (parts.size() == 5) {
        double offset = 0;
        if (!number(parts[4], offset)) return false;
        // Auto places the trace itself; an offset given with it is read but not used.
        if (parsed.scale != 0) parsed.offset = offset;
    }
    // Like the dialog's "Deaktivieren": switching off keeps the rest of the definition.
    if (off)
        settings.operation = MathOff;
    else
        settings = parsed;
    return true;
}
