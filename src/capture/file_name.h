// SPDX-License-Identifier: GPL-3.0-or-later
// File names as the system stores them (bytes) and as the program holds and shows them
// (text). Names from old media are often Latin-1 and not valid in the UTF-8 that Qt
// assumes: such bytes are carried through the text losslessly, so that the file can still
// be opened and a file beside it written under the right name.
#pragma once

#include <QByteArray>
#include <QString>

// The local 8-bit decoding of `bytes`; a byte that does not decode is kept as the lone
// surrogate U+DC00 + byte (U+DC80..U+DCFF), which no decoded name contains otherwise.
QString DecodeFileName(const QByteArray& bytes);

// The inverse of DecodeFileName: the exact bytes to hand to the system.
QByteArray EncodeFileName(const QString& name);

// The name for a message: every byte that did not decode, and every control character
// (C0, DEL and C1: escape sequences, line breaks), reads "\xHH" (C1 as its UTF-8 bytes).
QString VisibleFileName(const QString& name);
