// SPDX-License-Identifier: GPL-3.0-or-later
// Floats as exact decimal text, the decimal exponent of a value, and reading typed numbers.
// The decimal mark is "." in both directions, whatever the user's locale.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>

// 0 for zero, NaN or infinity; otherwise e with base^e <= |value| < base^(e+1).
int32_t ExponentOf(double value, int32_t base);

// 10^k as the double nearest to it, the value a literal "1e<k>" has: 0 below 1e-323,
// infinity above 1e308.
double NearestPowerOfTen(int32_t k);

// Fixed-point text of the exact binary value with `decimals` decimals (clamped to 0..512),
// rounded to nearest with halves away from zero. "NaN", "+Infinity", "-Infinity".
QString FixedText(double value, int32_t decimals);

// `digits` significant digits (never fewer than 0 decimals); `trim` drops trailing zeros
// after the decimal point, and the point itself when nothing follows it.
QString NumberText(double value, int32_t digits, bool trim);

// The same text as NumberText, appended as ASCII to `out`: the exporters' fast path.
void AppendNumberText(std::string& out, double value, int32_t digits, bool trim);

// A number typed by the user: "," as decimal mark, one SI prefix letter in place of the
// decimal mark or at the end ("4k7", "1,5m", "10 mV"); unreadable text gives 0.
double ParseValue(QStringView text);
