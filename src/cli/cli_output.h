// SPDX-License-Identifier: GPL-3.0-or-later
// What every kurvex-cli command shares: its exit statuses and how it prints text.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// The exit statuses besides 0 and the reader's codes 1 to 4.
constexpr int ExitCannotWrite = 5;
constexpr int ExitIncomplete = 6; // a capture whose file was cut short
constexpr int ExitDecodeFailed = 7;
constexpr int ExitUsage = 64;

// The text as UTF-8, unchanged: names are made visible where they enter a message.
inline void Print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}
