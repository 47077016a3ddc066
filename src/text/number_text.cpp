#include "text/number_text.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace {

// Decimal exponents a finite nonzero double can have: 4.9e-324 up to 1.8e308.
constexpr int32_t MinPower = -324;
constexpr int32_t MaxPower = 308;

// The double nearest to 10^k for every k a double can reach, and on which side of the
// true power it lies. Comparing against the nearest double decides exactly: a double
// below it is below 10^k, a double above it is above 10^k, and only the nearest double
// itself needs the side.
struct PowerTable {
    double nearest[MaxPower - MinPower + 1];
    int8_t side[MaxPower - MinPower + 1]; // -1 below 10^k, 0 exact, +1 above
};

const PowerTable& Powers()
{
    static const PowerTable table = [] {
        PowerTable t{};
        // 10^k for k = -324 has no double nearer than 0; to_chars needs a buffer for
        // the full expansion of the nearest doubles (up to about 770 significant digits).
        static char buffer[1200];
        for (int32_t k = MinPower; k <= MaxPower; ++k) {
            char text[16];
            const int length = std::snprintf(text, sizeof text, "1e%d", k);
            double value = 0;
            std::from_chars(text, text + length, value);
            t.nearest[k - MinPower] = value;
            if (value == 0) {
                t.side[k - MinPower] = -1;
                continue;
            }
            // The exact expansion says whether the double is 1000..., 1000...x or 999...
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                              std::chars_format::scientific, 800);
            char* end = result.ptr;
            char* exponentMark = std::find(buffer, end, 'e');
            if (buffer[0] == '9') {
                t.side[k - MinPower] = -1;
            } else {
                const bool allZero =
                    std::all_of(buffer + 2, exponentMark, [](char c) { return c == '0'; });
                t.side[k - MinPower] = allZero ? 0 : 1;
            }
        }
        return t;
    }();
    return table;
}

// True when the finite positive `magnitude` is at least 10^k.
bool AtLeastPowerOfTen(double magnitude, int32_t k)
{
    if (k < MinPower) return true;
    if (k > MaxPower) return false;
    const PowerTable& table = Powers();
    const double nearest = table.nearest[k - MinPower];
    if (magnitude != nearest) return magnitude > nearest;
    return table.side[k - MinPower] >= 0;
}

int32_t DecimalExponent(double magnitude)
{
    int32_t e = static_cast<int32_t>(std::floor(std::log10(magnitude)));
    // log10 is off by at most one near powers of ten; settle it exactly.
    while (!AtLeastPowerOfTen(magnitude, e))
        --e;
    while (AtLeastPowerOfTen(magnitude, e + 1))
        ++e;
    return e;
}

// Adds one unit in the last place to a run of decimal digits (with an optional ".").
// Returns true when the carry runs out of the front ("99.9" -> "100.0" needs a new "1").
bool IncrementDigits(char* first, char* last)
{
    for (char* p = last; p != first;) {
        --p;
        if (*p == '.') continue;
        if (*p != '9') {
            ++*p;
            return false;
        }
        *p = '0';
    }
    return true;
}

// Writes the fixed text of a finite value into `out` (large enough: 1 + 309 + 1 + 512)
// and returns its end.
char* WriteFixed(char* out, double value, int32_t decimals)
{
    // to_chars rounds ties to even. A tie at `decimals` decimals is a value whose binary
    // expansion ends exactly at the bit worth 2^-(decimals+1), so it is found exactly from
    // the bits: odd significand times 2^-(decimals+1).
    bool tie = false;
    if (value != 0) {
        const uint64_t bits = std::bit_cast<uint64_t>(value);
        const int32_t biased = static_cast<int32_t>((bits >> 52) & 0x7FF);
        uint64_t significand = bits & ((uint64_t{1} << 52) - 1);
        int32_t exponent;
        if (biased == 0) {
            exponent = -1074;
        } else {
            significand |= uint64_t{1} << 52;
            exponent = biased - 1075;
        }
        exponent += std::countr_zero(significand);
        tie = exponent == -(decimals + 1);
    }
    if (!tie) {
        return std::to_chars(out, out + 1024, value, std::chars_format::fixed, decimals).ptr;
    }
    // The value has exactly decimals + 1 decimals, the last one a 5: write them all, drop
    // the 5 and round the magnitude up.
    char* end = std::to_chars(out, out + 1024, value, std::chars_format::fixed, decimals + 1).ptr;
    --end;
    if (decimals == 0) --end; // the "." before the dropped 5
    char* digits = out[0] == '-' ? out + 1 : out;
    if (IncrementDigits(digits, end)) {
        std::memmove(digits + 1, digits, static_cast<size_t>(end - digits));
        *digits = '1';
        ++end;
    }
    return end;
}

template <class Sink>
void FixedInto(Sink& sink, double value, int32_t decimals)
{
    if (std::isnan(value)) {
        sink.append("NaN");
        return;
    }
    if (std::isinf(value)) {
        sink.append(value > 0 ? "+Infinity" : "-Infinity");
        return;
    }
    decimals = std::clamp(decimals, 0, 512);
    if (value == 0) value = 0; // no "-0"
    char buffer[1100];
    const char* end = WriteFixed(buffer, value, decimals);
    sink.append(buffer, end);
}

int32_t DecimalsFor(double value, int32_t digits)
{
    const int64_t decimals = int64_t{digits} - (int64_t{ExponentOf(value, 10)} + 1);
    return static_cast<int32_t>(std::clamp<int64_t>(decimals, 0, 512));
}

// The length of `text` after dropping trailing zeros behind the decimal point (and the
// point itself when nothing else follows it).
size_t TrimmedLength(const char* text, size_t length)
{
    const char* point = static_cast<const char*>(std::memchr(text, '.', length));
    if (!point) return length;
    size_t keep = static_cast<size_t>(point - text);
    for (size_t i = keep + 1; i < length; ++i) {
        if (text[i] != '0') keep = i + 1;
    }
    return keep;
}

struct StringSink {
    std::string& out;
    void append(const char* text) { out.append(text); }
    void append(const char* first, const char* last) { out.append(first, last); }
};

struct BufferSink {
    char text[1100];
    size_t length = 0;
    void append(const char* s) { append(s, s + std::strlen(s)); }
    void append(const char* first, const char* last)
    {
        std::memcpy(text + length, first, static_cast<size_t>(last - first));
        length += static_cast<size_t>(last - first);
    }
};

QString Latin1(const char* text, size_t length)
{
    return QString::fromLatin1(text, static_cast<qsizetype>(length));
}

} // namespace

int32_t ExponentOf(double value, int32_t base)
{
    if (value == 0 || !std::isfinite(value)) return 0;
    const double magnitude = std::fabs(value);
    if (base == 10) return DecimalExponent(magnitude);
    int binaryExponent = 0;
    std::frexp(magnitude, &binaryExponent); // magnitude = f * 2^binaryExponent, f in [0.5, 1)
    const int32_t e2 = binaryExponent - 1;
    if (base == 2) return e2;
    if (base == 16) return e2 >= 0 ? e2 / 4 : -((-e2 + 3) / 4);
    if (base < 2) return 0;
    // Other bases are not used by the program; a careful estimate is enough there.
    int32_t e = static_cast<int32_t>(std::floor(std::log(magnitude) / std::log(double(base))));
    while (e > -2000 && std::pow(double(base), e) > magnitude)
        --e;
    while (e < 2000 && std::pow(double(base), e + 1) <= magnitude)
        ++e;
    return e;
}

QString FixedText(double value, int32_t decimals)
{
    BufferSink sink;
    FixedInto(sink, value, decimals);
    return Latin1(sink.text, sink.length);
}

QString NumberText(double value, int32_t digits, bool trim)
{
    BufferSink sink;
    FixedInto(sink, value, DecimalsFor(value, digits));
    const size_t length = trim ? TrimmedLength(sink.text, sink.length) : sink.length;
    return Latin1(sink.text, length);
}

void AppendNumberText(std::string& out, double value, int32_t digits, bool trim)
{
    const size_t start = out.size();
    StringSink sink{out};
    FixedInto(sink, value, DecimalsFor(value, digits));
    if (trim) out.resize(start + TrimmedLength(out.data() + start, out.size() - start));
}

double ParseValue(QStringView text)
{
    // The copy, reduced to what can matter: anything outside ASCII cannot be part of a
    // number and becomes a character that stops it.
    std::string copy;
    copy.reserve(static_cast<size_t>(text.size()));
    int32_t prefixExponent = 0;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int32_t exponent = 0;
        switch (c) {
        case u'k':
            exponent = 3;
            break;
        case u'm':
            exponent = -3;
            break;
        case u'M':
            exponent = 6;
            break;
        case u'\u00B5':
        case u'u':
            exponent = -6;
            break;
        case u'G':
            exponent = 9;
            break;
        case u'n':
            exponent = -9;
            break;
        case u'T':
            exponent = 12;
            break;
        case u'p':
            exponent = -12;
            break;
        default:
            break;
        }
        if (exponent != 0) {
            copy.push_back('.');
            prefixExponent = exponent;
            ++i;
            break;
        }
        if (c == u',')
            copy.push_back('.');
        else
            copy.push_back(c < 0x80 ? static_cast<char>(c) : '\x7F');
    }
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        copy.push_back(c < 0x80 ? static_cast<char>(c) : '\x7F');
    }

    auto equalsIgnoringCase = [&copy](const char* word) {
        const size_t length = std::strlen(word);
        if (copy.size() != length) return false;
        for (size_t j = 0; j < length; ++j) {
            const char a = copy[j] >= 'A' && copy[j] <= 'Z' ? char(copy[j] + 32) : copy[j];
            if (a != word[j]) return false;
        }
        return true;
    };
    if (equalsIgnoringCase("+infinity")) return std::numeric_limits<double>::infinity();
    if (equalsIgnoringCase("-infinity")) return -std::numeric_limits<double>::infinity();
    if (equalsIgnoringCase("nan")) return std::numeric_limits<double>::quiet_NaN();

    // The longest leading decimal number: [white space] [sign] digits [. digits] [e [sign] digits].
    const char* p = copy.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    std::string number; // mantissa digits with ".", then the combined exponent
    int32_t mantissaDigits = 0;
    // Decimal exponent of the first nonzero digit, to tell overflow from underflow.
    int64_t leadingExponent = 0;
    bool seenNonZero = false;
    while (*p >= '0' && *p <= '9') {
        if (*p != '0' && !seenNonZero) {
            seenNonZero = true;
            leadingExponent = 0;
        } else if (seenNonZero) {
            ++leadingExponent;
        }
        number.push_back(*p++);
        ++mantissaDigits;
    }
    if (*p == '.') {
        number.push_back(*p++);
        int64_t position = -1;
        while (*p >= '0' && *p <= '9') {
            if (*p != '0' && !seenNonZero) {
                seenNonZero = true;
                leadingExponent = position;
            }
            --position;
            number.push_back(*p++);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return 0;
    int64_t exponent = prefixExponent;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool exponentNegative = false;
        if (*q == '+' || *q == '-') {
            exponentNegative = *q == '-';
            ++q;
        }
        if (*q >= '0' && *q <= '9') {
            int64_t written = 0;
            while (*q >= '0' && *q <= '9') {
                written = std::min<int64_t>(written * 10 + (*q - '0'), 100000000);
                ++q;
            }
            exponent += exponentNegative ? -written : written;
        }
    }
    // Applying the prefix as part of the decimal exponent keeps the result the double
    // nearest to what was typed ("2.2µ" is exactly the double 2.2e-6).
    number += 'e';
    number += std::to_string(exponent);
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        const bool tooLarge = seenNonZero && leadingExponent + exponent > 0;
        value = tooLarge ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}
