// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/file_name.h"

#include <QFile>

#include <algorithm>

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool IsEscape(char16_t c)
{
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}

// The length of the well-formed UTF-8 sequence at bytes[i], or 0 when there is none: no
// overlong forms, no encoded surrogates, nothing beyond U+10FFFF.
qsizetype Utf8SequenceLength(const QByteArray& bytes, qsizetype i)
{
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (qsizetype k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

} // namespace

QString DecodeFileName(const QByteArray& bytes)
{
    QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) == bytes) return name;
    // The local encoding is UTF-8 (as it always is for Qt on Unix): keep every well-formed
    // sequence and escape the bytes between them.
    name.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            name += QChar(static_cast<char16_t>(EscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            name += QString::fromUtf8(bytes.constData() + i, length);
            i += length;
        }
    }
    return name;
}

QByteArray EncodeFileName(const QString& name)
{
    if (std::none_of(name.begin(), name.end(), [](QChar c) { return IsEscape(c.unicode()); }))
        return QFile::encodeName(name);
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !IsEscape(name[i].unicode())) continue;
        bytes += QFile::encodeName(name.mid(start, i - start));
        if (i < name.size()) bytes += static_cast<char>(name[i].unicode() - EscapeBase);
        start = i + 1;
    }
    return bytes;
}

QString VisibleFileName(const QString& name)
{
    QString visible;
    visible.reserve(name.size());
    const auto appendByte = [&visible](int byte) {
        static const char digits[] = "0123456789ABCDEF";
        visible += QLatin1String("\\x");
        visible += QLatin1Char(digits[byte >> 4]);
        visible += QLatin1Char(digits[byte & 15]);
    };
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (IsEscape(u)) {
            appendByte(u - EscapeBase);
        } else if (u < 0x20 || u == 0x7F) {
            // A control character would act on the terminal (an escape sequence) or break
            // the message's line: shown as the byte it is.
            appendByte(u);
        } else if (u >= 0x80 && u <= 0x9F) {
            // The C1 controls, which some terminals obey too, as their two UTF-8 bytes.
            appendByte(0xC0 | u >> 6);
            appendByte(0x80 | (u & 0x3F));
        } else {
            visible += c;
        }
    }
    return visible;
}
