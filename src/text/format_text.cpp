// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/format_text.h"

#include "text/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Reads a placeholder strictly left to right; a character is consumed only when it
// is the one expected at that place.
struct PlaceholderReader {
    QStringView placeholder;
    qsizetype pos = 0;

    bool AtEnd() const { return pos >= placeholder.size(); }
    char16_t Peek() const { return AtEnd() ? u'\0' : placeholder[pos].unicode(); }
    bool Take(char16_t c)
    {
        if (Peek() != c || AtEnd()) return false;
        ++pos;
        return true;
    }
    // Decimal digits (none = 0). Saturates, so that absurd counts cannot overflow.
    int32_t Number()
    {
        int64_t value = 0;
        while (!AtEnd() && Peek() >= u'0' && Peek() <= u'9') {
            value = std::min<int64_t>(value * 10 + (Peek() - u'0'), 1000000000);
            ++pos;
        }
        return static_cast<int32_t>(value);
    }
};

// SI prefixes for k = -8..8; the factors are stored powers of ten, so that the value is
// multiplied by 1e3 rather than divided by 1e-3.
struct SiPrefix {
    char16_t letter;
    double factor;
};
constexpr SiPrefix SiPrefixes[17] = {
    {u'y', 1e24},     {u'z', 1e21},  {u'a', 1e18},  {u'f', 1e15},  {u'p', 1e12},  {u'n', 1e9},
    {u'\u00B5', 1e6}, {u'm', 1e3},   {u'\0', 1.0},  {u'k', 1e-3},  {u'M', 1e-6},  {u'G', 1e-9},
    {u'T', 1e-12},    {u'P', 1e-15}, {u'E', 1e-18}, {u'Z', 1e-21}, {u'Y', 1e-24},
};

QString FormatInteger(PlaceholderReader& reader, bool isSigned, int64_t signedValue,
                      uint64_t unsignedValue)
{
    QString sign;
    uint64_t magnitude = unsignedValue;
    if (isSigned) {
        char16_t style = 0;
        if (reader.Take(u'-'))
            style = u'-';
        else if (reader.Take(u'+'))
            style = u'+';
        if (signedValue < 0) {
            sign = QStringLiteral("-");
            magnitude = 0 - static_cast<uint64_t>(signedValue); // exact for INT64_MIN too
        } else {
            magnitude = static_cast<uint64_t>(signedValue);
            if (style == u'-')
                sign = QStringLiteral(" ");
            else if (style == u'+')
                sign = QStringLiteral("+");
        }
    }
    int32_t radix = 10;
    if (reader.Take(u'h'))
        radix = 16;
    else if (reader.Take(u'b'))
        radix = 2;
    int32_t width = 0;
    if (reader.Take(u'd')) width = reader.Number();

    // Counted on the integer itself: a 64-bit magnitude converted to double could round
    // up to the next power of the radix and miscount.
    QString digits;
    do {
        const auto digit = static_cast<int32_t>(magnitude % static_cast<uint64_t>(radix));
        digits.prepend(QChar(digit < 10 ? u'0' + digit : u'A' + digit - 10));
        magnitude /= static_cast<uint64_t>(radix);
    } while (magnitude != 0);
    return sign + RepeatChar(width - static_cast<int32_t>(digits.size()), u'0') + digits;
}

QString FormatFloat(PlaceholderReader& reader, double value, int32_t defaultDigits)
{
    char16_t style = 0;
    if (reader.Take(u'-'))
        style = u'-';
    else if (reader.Take(u'+'))
        style = u'+';

    QString sign;
    if (std::isinf(value)) {
        // The number text of an infinity carries its own sign ("+Infinity", "-Infinity");
        // it stands in for the sign prefix, so no style ever doubles it ("++Infinity").
    } else if (!(value >= 0)) {
        sign = QStringLiteral("-"); // negative values and NaN
        value = -value;
    } else if (style == u'-') {
        sign = QStringLiteral(" ");
    } else if (style == u'+') {
        sign = QStringLiteral("+");
    }

    QString suffix;
    const char16_t notation = reader.Peek();
    if (!reader.AtEnd() && (notation == u'e' || notation == u'E')) {
        ++reader.pos;
        const int32_t width = reader.Number();
        int32_t e = ExponentOf(value, 10);
        if (e != 0) {
            // Two steps below 1e-308 and above 1e308, where one power of ten would leave
            // the range of doubles.
            if (-e > 300)
                value = value * 1e300 * NearestPowerOfTen(-e - 300);
            else if (-e < -300)
                value = value * 1e-300 * NearestPowerOfTen(-e + 300);
            else
                value *= NearestPowerOfTen(-e);
        }
        if (e != 0 || width > 0) {
            suffix += QChar(notation);
            if (width > 0) {
                suffix += e < 0 ? u'-' : u'+';
                if (e < 0) e = -e;
            }
            const QString exponentDigits = QString::number(e);
            suffix += RepeatChar(width - static_cast<int32_t>(exponentDigits.size()), u'0');
            suffix += exponentDigits;
        }
    } else if (!reader.AtEnd() && (notation == u's' || notation == u'S')) {
        ++reader.pos;
        if (notation == u'S') suffix += u' ';
        const int32_t e = ExponentOf(value, 10);
        const int32_t k = e >= 0 ? e / 3 : -((-e + 2) / 3);
        if (k >= -8 && k <= 8 && k != 0) {
            value *= SiPrefixes[k + 8].factor;
            suffix += QChar(SiPrefixes[k + 8].letter);
        }
    }

    int32_t digits = defaultDigits;
    bool trim = true;
    const char16_t digitsMark = reader.Peek();
    if (!reader.AtEnd() && (digitsMark == u'd' || digitsMark == u'D')) {
        ++reader.pos;
        digits = reader.Number();
        trim = digitsMark == u'd';
    }
    return sign + NumberText(value, digits, trim) + suffix;
}

QString FormatTextArg(const QString& text, PlaceholderReader& reader)
{
    QString result = text;
    if (reader.Take(u'u'))
        result = result.toUpper();
    else if (reader.Take(u'l'))
        result = result.toLower();
    if (reader.placeholder.size() - reader.pos >= 2 &&
        (reader.Peek() == u'p' || reader.Peek() == u'a')) {
        const bool padFront = reader.Peek() == u'p';
        const QChar fill = reader.placeholder[reader.pos + 1];
        reader.pos += 2;
        const int32_t width = reader.Number();
        const QString padding = RepeatChar(width - static_cast<int32_t>(result.size()), fill);
        result = padFront ? padding + result : result + padding;
    }
    return result;
}

QString FormatPlaceholder(QStringView placeholder, const FormatArg (&args)[FormatArgCount])
{
    if (placeholder.isEmpty()) return QStringLiteral("{");
    switch (placeholder[0].unicode()) {
    case u't':
        return QStringLiteral("\t");
    case u'n':
        return QStringLiteral("\n");
    case u'r':
        return QStringLiteral("\r");
    default:
        break;
    }

    PlaceholderReader reader{placeholder};
    const int32_t index = reader.Number();
    if (index >= FormatArgCount || !args[index].ref) return {};
    const FormatArg& arg = args[index];
    switch (arg.kind) {
    case KindInt8: {
        const auto v = *static_cast<const int8_t*>(arg.ref);
        return FormatInteger(reader, true, v, 0);
    }
    case KindUInt8:
        return FormatInteger(reader, false, 0, *static_cast<const uint8_t*>(arg.ref));
    case KindInt16: {
        const auto v = *static_cast<const int16_t*>(arg.ref);
        return FormatInteger(reader, true, v, 0);
    }
    case KindUInt16:
        return FormatInteger(reader, false, 0, *static_cast<const uint16_t*>(arg.ref));
    case KindInt32: {
        const auto v = *static_cast<const int32_t*>(arg.ref);
        return FormatInteger(reader, true, v, 0);
    }
    case KindUInt32:
        return FormatInteger(reader, false, 0, *static_cast<const uint32_t*>(arg.ref));
    case KindInt64:
        return FormatInteger(reader, true, *static_cast<const int64_t*>(arg.ref), 0);
    case KindUInt64:
        return FormatInteger(reader, false, 0, *static_cast<const uint64_t*>(arg.ref));
    case KindFloat32:
        return FormatFloat(reader, *static_cast<const float*>(arg.ref), 6);
    case KindFloat64:
        return FormatFloat(reader, *static_cast<const double*>(arg.ref), 15);
    case KindText:
        return FormatTextArg(*static_cast<const QString*>(arg.ref), reader);
    default:
        return {};
    }
}

} // namespace

QString FormatText(QStringView templateText, const FormatArg (&args)[FormatArgCount])
{
    QString out;
    out.reserve(templateText.size() + 16);
    bool inside = false;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < templateText.size(); ++i) {
        const char16_t c = templateText[i].unicode();
        if (c == u'{' && !inside) {
            out += templateText.mid(runStart, i - runStart);
            inside = true;
            runStart = i + 1;
        } else if (c == u'}' && inside) {
            out += FormatPlaceholder(templateText.mid(runStart, i - runStart), args);
            inside = false;
            runStart = i + 1;
        }
    }
    if (!inside) out += templateText.mid(runStart);
    return out;
}

QString FormatText(QStringView templateText, int32_t kind0, const void* ref0, int32_t kind1,
                   const void* ref1, int32_t kind2, const void* ref2, int32_t kind3,
                   const void* ref3)
{
    FormatArg args[FormatArgCount]{};
    args[0] = {kind0, ref0};
    args[1] = {kind1, ref1};
    args[2] = {kind2, ref2};
    args[3] = {kind3, ref3};
    return FormatText(templateText, args);
}

QString RepeatChar(int32_t count, QChar character)
{
    if (count <= 0) return {};
    return QString(count, character);
}
