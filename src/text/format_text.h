// SPDX-License-Identifier: GPL-3.0-or-later
// The template formatter through which every displayed number and every message passes:
// "{0Sd5}V/DIV" with 0.5 gives "500 mV/DIV".
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <cstdint>

// Kind codes of a FormatArg. Integers are widened to 64 bits, float to double.
enum FormatKind : int32_t {
    KindInt8 = 0,
    KindUInt8 = 1,
    KindInt16 = 2,
    KindUInt16 = 3,
    KindInt32 = 4,
    KindUInt32 = 5,
    KindInt64 = 6,
    KindUInt64 = 7,
    KindFloat32 = 8,
    KindFloat64 = 9,
    KindText = 10, // ref points to a QString
};

// One argument: a kind and a reference to the value, read at formatting time.
// A null reference marks an absent argument.
struct FormatArg {
    int32_t kind;
    const void* ref;
};

constexpr int32_t FormatArgCount = 16;

// The general form: 16 argument slots.
QString FormatText(QStringView templateText, const FormatArg (&args)[FormatArgCount]);

// The form every caller uses: up to four (kind, reference) pairs, the rest absent.
QString FormatText(QStringView templateText, int32_t kind0 = 0, const void* ref0 = nullptr,
                   int32_t kind1 = 0, const void* ref1 = nullptr, int32_t kind2 = 0,
                   const void* ref2 = nullptr, int32_t kind3 = 0, const void* ref3 = nullptr);

// `count` copies of `character` (none for count <= 0).
QString RepeatChar(int32_t count, QChar character);
