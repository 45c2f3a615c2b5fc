// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/windows1252.h"

namespace kv {

namespace {

// What Windows-1252 puts at 0x80..0x9F: the euro sign, curly quotes, dashes, ...; the rest is Latin-1.
constexpr char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                               0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

char16_t fromWindows1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte);
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes)
        *out++ = QChar(fromWindows1252(static_cast<unsigned char>(byte)));
    return text;
}

QByteArray toWindows1252(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 32; ++i)
            if (high[i] == u && high[i] >= 0x100) // the C1 controls are no characters to write
                byte = char(0x80 + i);
        out.append(byte);
    }
    return out;
}

} // namespace kv
