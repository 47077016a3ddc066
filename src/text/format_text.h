// SPDX-License-Identifier: GPL-3.0-or-later
// The template formatter through which every displayed number and every message passes:
// "{0Sd5}V/DIV" with 0.5 gives "500 mV/DIV".
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <type_traits>

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

// The untyped form: up to four (kind, reference) pairs, the rest absent. New code uses the
// typed form below, which cannot pair a value with the wrong kind.
QString FormatText(QStringView templateText, int32_t kind0, const void* ref0, int32_t kind1 = 0,
                   const void* ref1 = nullptr, int32_t kind2 = 0, const void* ref2 = nullptr,
                   int32_t kind3 = 0, const void* ref3 = nullptr);

// The kind of each argument type; the argument is referred to, not copied, and read while
// the text is made.
namespace format_args {
inline FormatArg Of(const signed char& v)
{
    return {KindInt8, &v};
}
inline FormatArg Of(const unsigned char& v)
{
    return {KindUInt8, &v};
}
inline FormatArg Of(const short& v)
{
    return {KindInt16, &v};
}
inline FormatArg Of(const unsigned short& v)
{
    return {KindUInt16, &v};
}
inline FormatArg Of(const int& v)
{
    return {KindInt32, &v};
}
inline FormatArg Of(const unsigned& v)
{
    return {KindUInt32, &v};
}
static_assert(sizeof(long) == 8 && sizeof(long long) == 8, "64-bit longs expected");
inline FormatArg Of(const long& v)
{
    return {KindInt64, &v};
}
inline FormatArg Of(const unsigned long& v)
{
    return {KindUInt64, &v};
}
inline FormatArg Of(const long long& v)
{
    return {KindInt64, &v};
}
inline FormatArg Of(const unsigned long long& v)
{
    return {KindUInt64, &v};
}
inline FormatArg Of(const float& v)
{
    return {KindFloat32, &v};
}
inline FormatArg Of(const double& v)
{
    return {KindFloat64, &v};
}
inline FormatArg Of(const QString& v)
{
    return {KindText, &v};
}

// Exactly these types: no enum, bool or character passes as a number by promotion.
template <typename T>
concept Formattable = !std::is_enum_v<T> && !std::same_as<T, bool> && !std::same_as<T, char> &&
                      !std::same_as<T, char16_t> && !std::same_as<T, char32_t> &&
                      !std::same_as<T, wchar_t> && requires(const T& value)
{
    {
        Of(value)
        } -> std::same_as<FormatArg>;
};
} // namespace format_args

// The typed form: FormatText(u"{0Sd5}V/DIV", 0.5). The kind of each argument follows from
// its type; a type the formatter does not know (a pointer, a bool, an enum) does not compile.
template <format_args::Formattable... Args>
requires(sizeof...(Args) <= FormatArgCount) QString
    FormatText(QStringView templateText, const Args&... args)
{
    FormatArg slots[FormatArgCount]{};
    size_t next = 0;
    ((slots[next++] = format_args::Of(args)), ...);
    return FormatText(templateText, slots);
}

// `count` copies of `character` (none for count <= 0).
QString RepeatChar(int32_t count, QChar character);
