// SPDX-License-Identifier: GPL-3.0-or-later
// The math trace: a function of two operands (channels or constants) computed into the
// Capture's MATH slot, and the rules by which the math dialog turns its fields into settings.
#pragma once

#include "capture/capture.h"

#include <QString>
#include <QStringView>

#include <cstdint>

enum : int32_t {
    MathOff = 0,
    MathAdd = 1,
    MathSubtract = 2,
    MathMultiply = 3,
    MathDivide = 4,
    MathReciprocal = 5,
    MathSquare = 6,
    MathSquareRoot = 7,
    MathAbsolute = 8,
    MathNegate = 9,
};

// The one program-wide math definition, overwritten by every use of the dialog.
struct MathSettings {
    int32_t operation; // MathOperation; 0 switches the trace off
    int32_t operandX;  // slot 0..2, or -1 for constantX
    int32_t operandY;  // slot 0..2, or -1 for constantY
    double scale;      // volts per division; 0 means Auto
    double offset;     // divisions from the centre line
    double constantX;
    double constantY;
};

MathSettings& ProgramMathSettings();

// Computes the MATH slot of the capture from the settings, or switches it off (operation 0).
void ComputeMath(Capture& capture, const MathSettings& settings);

// Dialog texts of the operations 1..9 ("x+y" .. "-x"); empty for others.
QString MathOperationText(int32_t operation);

// The scale from the factor field: a selected entry's number, or the typed text read with
// ParseValue (trimmed; negative or NaN gives 0), times 10^unitPower.
double MathScaleFromFactor(bool factorSelected, double factorNumber, QStringView typedText,
                           int32_t unitPower);

// The offset in divisions from the slider position 0..200, and its "Offset: {0} DIV" text.
double MathOffsetFromSlider(int32_t position, int32_t vDivisions);
QString MathOffsetText(double offset);

// The command-line form of a math definition: "OP:X:Y[:SCALE[:OFFSET]]". OP is an operation
// text of the dialog ("x^2" also stands for "x²") or "off" (then nothing else is needed);
// X and Y are "ch1", "ch2", "math" or a number (a constant); SCALE is "auto" (the default)
// or volts per division; OFFSET is in divisions (default 0, ignored with auto). A number is
// the whole field: sign, digits, "." as the decimal mark, an exponent or one SI prefix
// letter ("-2.5", "1e-3", "4k7", "5m"); anything else in it is an error, never cut off.
// Keywords ignore letter case. On malformed input returns false, leaves `settings`
// unchanged and, when the fault is a field that is no number, puts that field in
// `badNumber`. "off" changes only the operation, as the dialog's "Deaktivieren"; fields
// given after it must still be well-formed.
bool ParseMathDefinition(QStringView definition, MathSettings& settings,
                         QString* badNumber = nullptr);
