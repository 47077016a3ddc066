// SPDX-License-Identifier: GPL-3.0-or-later
// An exact running sum of sample values. Plain float addition of thousands of volts loses
// the low bits of every term, so a signal whose values cancel exactly would read as a tiny
// offset (attovolts instead of 0 V). Every finite double is an integer multiple of 2^-1074,
// so the sum is kept as one wide fixed-point integer in that unit, and only the result is
// rounded, once, to the nearest double: an exact zero stays zero, anything else is the
// correctly rounded sum or quotient.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

struct SampleSum {
    // Base 2^32 digits in int64, so that carries can wait: a double covers bit positions
    // 0..2098 of the unit 2^-1074, and 32 more digits bits leave room for 2^32 terms.
    static constexpr int32_t DigitBits = 32;
    static constexpr int32_t DigitCount = 69;
    static constexpr int32_t AddsPerCarry = 1 << 30;

    int64_t digits[DigitCount] = {};
    int32_t pendingAdds = 0;
    // Infinities and NaN, summed the ordinary way; they decide the result when present.
    bool hasSpecial = false;
    double special = 0.0;

    void Add(double value)
    {
        if (!std::isfinite(value)) {
            special = hasSpecial ? special + value : value;
            hasSpecial = true;
            return;
        }
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        const auto biased = static_cast<int32_t>(bits >> 52 & 0x7FF);
        uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
        if (biased != 0) mantissa |= uint64_t{1} << 52;
        // value = mantissa x 2^(position - 1074)
        const int32_t position = biased == 0 ? 0 : biased - 1;
        const int32_t digit = position / DigitBits;
        const int32_t shift = position % DigitBits;
        const uint64_t low = mantissa << shift; // the bits that fit the first two digits
        const uint64_t high = shift == 0 ? 0 : mantissa >> (64 - shift);
        const int64_t parts[3] = {static_cast<int64_t>(low & 0xFFFFFFFF),
                                  static_cast<int64_t>(low >> 32), static_cast<int64_t>(high)};
        const bool negative = bits >> 63 != 0;
        for (int32_t i = 0; i < 3; ++i)
            digits[digit + i] += negative ? -parts[i] : parts[i];
        if (++pendingAdds == AddsPerCarry) Carry(digits, DigitCount);
    }

    // The sum, rounded once to the nearest double (halves to even).
    double Total() const { return Quotient(1); }

    // The sum divided by divisor (1 or more), rounded once to the nearest double: the mean
    // without a second rounding, and without overflow where the sum alone would exceed the
    // range of doubles.
    double Quotient(uint32_t divisor) const
    {
        if (hasSpecial) return special / divisor;
        // Two extra digits below the unit keep 64 bits of the quotient's fraction.
        constexpr int32_t Extra = 2;
        constexpr int32_t Count = DigitCount + Extra;
        int64_t wide[Count] = {};
        std::memcpy(wide + Extra, digits, sizeof digits);
        Carry(wide, Count);
        const bool negative = wide[Count - 1] < 0;
        if (negative) {
            for (int64_t& d : wide)
                d = -d;
            Carry(wide, Count);
        }
        // Long division of the magnitude; a remainder only matters as "something below".
        uint64_t remainder = 0;
        for (int32_t i = Count - 1; i >= 0; --i) {
            const uint64_t current = remainder << DigitBits | static_cast<uint64_t>(wide[i]);
            wide[i] = static_cast<int64_t>(current / divisor);
            remainder = current % divisor;
        }
        const double magnitude = Round(wide, Count, remainder != 0, -1074 - Extra * DigitBits);
        return negative ? -magnitude : magnitude;
    }

  private:
    // Leaves every digit but the top one in 0..2^32-1; the value is unchanged.
    static void Carry(int64_t* d, int32_t count)
    {
        for (int32_t i = 0; i + 1 < count; ++i) {
            const int64_t carry = d[i] >> DigitBits; // floor division, also for negatives
            d[i] -= carry * (int64_t{1} << DigitBits);
            d[i + 1] += carry;
        }
    }

    static bool Bit(const int64_t* d, int32_t index)
    {
        return (static_cast<uint64_t>(d[index / DigitBits]) >> (index % DigitBits) & 1) != 0;
    }

    // The non-negative integer d x 2^unitExponent (plus a sticky fraction below it) to the
    // nearest double, halves to even.
    static double Round(const int64_t* d, int32_t count, bool sticky, int32_t unitExponent)
    {
        int32_t top = count * DigitBits - 1;
        while (top >= 0 && !Bit(d, top))
            --top;
        if (top < 0) return 0.0;
        // The last kept bit: 53 significant bits, but none below 2^-1074.
        int32_t cut = top - 52;
        if (cut + unitExponent < -1074) cut = -1074 - unitExponent;
        uint64_t mantissa = 0;
        for (int32_t i = top; i >= cut; --i)
            mantissa = mantissa << 1 | (Bit(d, i) ? 1 : 0);
        bool half = false;
        if (cut > 0) {
            half = Bit(d, cut - 1);
            for (int32_t i = 0; i < cut - 1 && !sticky; ++i)
                sticky = Bit(d, i);
        }
        if (half && (sticky || (mantissa & 1) != 0)) ++mantissa;
        return std::ldexp(static_cast<double>(mantissa), cut + unitExponent);
    }
};
