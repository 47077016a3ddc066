// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/number_text.h"

#include <QChar>

#include <algorithm>
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

// The double nearest to 10^k for every k a double can reach. A double that is the nearest
// one to a power of ten stands for that power: 1e-6 is typed, computed and meant as one
// microsecond, although its binary value lies a hair below 10^-6. Counting it as the power
// keeps "1 µs" from showing as "1000 ns". Every other double lies on the same side of
// 10^k as its exact binary value, so the comparison stays exact.
struct PowerTable {
    double nearest[MaxPower - MinPower + 1];
};

const PowerTable& Powers()
{
    static const PowerTable table = [] {
        PowerTable t{};
        for (int32_t k = MinPower; k <= MaxPower; ++k) {
            char text[16];
            const int length = std::snprintf(text, sizeof text, "1e%d", k);
            double value = 0;
            std::from_chars(text, text + length, value);
            t.nearest[k - MinPower] = value; // 0 for 10^-324, which no double reaches
        }
        return t;
    }();
    return table;
}

// True when the finite positive `magnitude` is at least 10^k, the nearest double to 10^k
// counting as 10^k itself.
bool AtLeastPowerOfTen(double magnitude, int32_t k)
{
    if (k < MinPower) return true;
    if (k > MaxPower) return false;
    const double nearest = Powers().nearest[k - MinPower];
    return nearest != 0 ? magnitude >= nearest : magnitude > 0;
}

int32_t DecimalExponent(double magnitude)
{
    // From the binary exponent: 2^e2 <= magnitude < 2^(e2+1), so the decimal exponent is
    // floor(e2 * log10(2)) or one more. 78913 / 2^18 is log10(2) closely enough for every
    // exponent a double has.
    const uint64_t bits = std::bit_cast<uint64_t>(magnitude);
    const int32_t biased = static_cast<int32_t>(bits >> 52);
    const int32_t e2 =
        biased != 0 ? biased - 1023 : -1011 - std::countl_zero(bits); // subnormal: 63 - clz - 1074
    int32_t e = (e2 * 78913) >> 18;
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

constexpr size_t TextCapacity = 1100; // sign, 309 integer digits, point, 512 decimals, carry

// The fixed text into `out` (TextCapacity bytes); returns its end. `hasPoint` tells
// whether the text has a decimal point.
char* FixedInto(char* out, double value, int32_t decimals, bool& hasPoint)
{
    hasPoint = false;
    if (std::isnan(value)) {
        std::memcpy(out, "NaN", 3);
        return out + 3;
    }
    if (std::isinf(value)) {
        std::memcpy(out, value > 0 ? "+Infinity" : "-Infinity", 9);
        return out + 9;
    }
    decimals = std::clamp(decimals, 0, 512);
    if (value == 0) value = 0; // no "-0"
    hasPoint = decimals > 0;
    return WriteFixed(out, value, decimals);
}

// The fast road for up to 15 significant digits of a value from 1e-15 to 1e15: round the
// shortest round-trip digits instead of expanding the value exactly. Those digits S lie
// within half an ulp of the value, and the rounding step here is more than 1e-15 of the
// value, i.e. more than 9 times that half ulp. So rounding S gives the same result as
// rounding the exact value unless the dropped part of S lies within 0.12 steps of a half;
// then nullptr is returned and the exact road decides.
char* ShortestRounded(char* out, double value, int32_t decimals)
{
    char shortest[64];
    const auto written =
        std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::fixed);
    if (written.ec != std::errc()) return nullptr;
    char* end = written.ptr;
    char* point = std::find(shortest, end, '.');
    const int32_t shortestDecimals = point == end ? 0 : static_cast<int32_t>(end - point - 1);
    if (shortestDecimals <= decimals) {
        // S lies on the rounding grid: it is the result, padded with zeros.
        const size_t length = static_cast<size_t>(end - shortest);
        std::memcpy(out, shortest, length);
        char* p = out + length;
        if (decimals > 0 && point == end) *p++ = '.';
        std::memset(p, '0', static_cast<size_t>(decimals - shortestDecimals));
        return p + (decimals - shortestDecimals);
    }
    const char* cut = point + 1 + decimals;
    const int32_t dropped = (cut[0] - '0') * 10 + (cut + 1 < end ? cut[1] - '0' : 0);
    if (dropped >= 38 && dropped <= 61) return nullptr;
    const char* keepEnd = decimals == 0 ? point : cut;
    const size_t length = static_cast<size_t>(keepEnd - shortest);
    std::memcpy(out, shortest, length);
    char* p = out + length;
    if (dropped >= 62) {
        char* digits = out[0] == '-' ? out + 1 : out;
        if (IncrementDigits(digits, p)) {
            std::memmove(digits + 1, digits, static_cast<size_t>(p - digits));
            *digits = '1';
            ++p;
        }
    }
    return p;
}

// Powers of ten that a double holds exactly.
constexpr double ExactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The fastest road, for up to 22 decimals: the magnitude times 10^decimals is hi + lo
// exactly (hi the rounded product, lo its error by a fused multiply-add), so
// the rounding to an integer is decided exactly, ties included. Returns nullptr when the
// scaled value is too large for that (2^52 and above).
char* ScaledRounded(char* out, double value, int32_t decimals)
{
    if (decimals > 22) return nullptr;
    const double magnitude = std::fabs(value);
    const double power = ExactPowersOfTen[decimals];
    const double hi = magnitude * power;
    if (!(hi < 0x1p52)) return nullptr;
    const double lo = std::fma(magnitude, power, -hi);
    const double whole = std::floor(hi);
    const double fraction = hi - whole; // exact below 2^52
    // Up when fraction + lo >= 1/2; near 1/2 the subtraction is exact.
    const uint64_t scaled = static_cast<uint64_t>(whole) + (fraction - 0.5 >= -lo ? 1 : 0);

    char digits[24];
    const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, scaled).ptr;
    const auto length = static_cast<int32_t>(digitsEnd - digits);
    char* p = out;
    if (value < 0) *p++ = '-';
    if (decimals == 0) {
        std::memcpy(p, digits, static_cast<size_t>(length));
        return p + length;
    }
    if (length <= decimals) {
        *p++ = '0';
        *p++ = '.';
        std::memset(p, '0', static_cast<size_t>(decimals - length));
        p += decimals - length;
        std::memcpy(p, digits, static_cast<size_t>(length));
        return p + length;
    }
    const int32_t integerDigits = length - decimals;
    std::memcpy(p, digits, static_cast<size_t>(integerDigits));
    p += integerDigits;
    *p++ = '.';
    std::memcpy(p, digits + integerDigits, static_cast<size_t>(decimals));
    return p + decimals;
}

// The number text into `out` (TextCapacity bytes); returns its end.
char* NumberInto(char* out, double value, int32_t digits, bool trim)
{
    const double magnitude = std::fabs(value);
    const int64_t wanted = int64_t{digits} - (int64_t{ExponentOf(value, 10)} + 1);
    const auto decimals = static_cast<int32_t>(std::clamp<int64_t>(wanted, 0, 512));
    char* end = nullptr;
    bool hasPoint = decimals > 0;
    if (digits <= 15 && std::isfinite(value) && value != 0) {
        end = ScaledRounded(out, value, decimals);
        if (!end && magnitude >= 1e-15 && magnitude < 1e15)
            end = ShortestRounded(out, value, decimals);
    }
    if (!end) end = FixedInto(out, value, decimals, hasPoint);
    if (trim && hasPoint) {
        // Trailing zeros behind the point go, and the point when nothing follows it.
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.') --end;
    }
    return end;
}

QString Latin1(const char* first, const char* last)
{
    return QString::fromLatin1(first, static_cast<qsizetype>(last - first));
}

} // namespace

double NearestPowerOfTen(int32_t k)
{
    if (k < MinPower) return 0;
    if (k > MaxPower) return std::numeric_limits<double>::infinity();
    return Powers().nearest[k - MinPower];
}

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
    char text[TextCapacity];
    bool hasPoint = false;
    return Latin1(text, FixedInto(text, value, decimals, hasPoint));
}

QString NumberText(double value, int32_t digits, bool trim)
{
    char text[TextCapacity];
    return Latin1(text, NumberInto(text, value, digits, trim));
}

void AppendNumberText(std::string& out, double value, int32_t digits, bool trim)
{
    char text[TextCapacity];
    out.append(text, NumberInto(text, value, digits, trim));
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
