// SPDX-License-Identifier: GPL-3.0-or-later
// What every kurvex-cli command shares: its exit statuses and how it prints text.
#pragma once

#include "capture/file_name.h"
#include "output/text_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <csignal>
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

// What a command's process sets up before anything else: only our messages on stderr (Qt's
// chatter about the environment would garble a script's), a write past the limit on file
// sizes or into a pipe whose reader has gone failing with an error and reported as not
// written (status 5) instead of killing the process halfway, and no half-written output
// left behind on a signal.
inline void StartCommandProcess()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) Print(stderr, message + u'\n');
    });
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    RemoveUnfinishedSavesOnSignals();
}

// The words from argv[first] on as bytes, not as Qt decodes them: a file name that is not
// UTF-8 must reach the file system unchanged.
inline QStringList CommandWords(int argc, char** argv, int first)
{
    QStringList words;
    for (int i = first; i < argc; ++i)
        words.append(DecodeFileName(QByteArray(argv[i])));
    return words;
}
