// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/cell_value.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

QString generalNumberText(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return u"#NUM!"_s;
    if (value == 0.0)
        return u"0"_s;  // also for -0
    char buffer[40];
    // printf's %G with 15 digits: scientific when the exponent is below -4 or 15 and above.
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    return text.toUpper();
}

bool parseNumberText(QStringView text, double &value)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 64)
        return false;
    char buffer[72];
    qsizetype n = 0;
    qsizetype i = 0;
    if (text[0] == u'+')
        i = 1;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool allowed = (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'+'
                             || c == u'e' || c == u'E';
        if (!allowed)
            return false;
        buffer[n++] = char(c);
    }
    if (n == 0 || buffer[0] == '+')
        return false;
    double parsed = 0;
    const auto result = std::from_chars(buffer, buffer + n, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != buffer + n || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool dateTextToSerial(QStringView text, bool epoch1904, double &serial)
{
    text = text.trimmed();
    QDate date;
    QStringView timePart;
    if (text.size() >= 10 && text[4] == u'-' && text[7] == u'-') {
        date = QDate::fromString(text.left(10).toString(), Qt::ISODate);
        if (!date.isValid())
            return false;
        timePart = text.mid(10).trimmed();
        if (timePart.startsWith(u'T'))
            timePart = timePart.mid(1);
    } else {
        timePart = text;
    }
    double fraction = 0;
    if (!timePart.isEmpty()) {
        QTime time = QTime::fromString(timePart.toString(), Qt::ISODateWithMs);
        if (!time.isValid())
            return false;
        fraction = time.msecsSinceStartOfDay() / 86400000.0;
    }
    double days = 0;
    if (date.isValid()) {
        const QDate epoch = epoch1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
        days = double(epoch.daysTo(date));
        // Serial 60 is the 1900 leap day spreadsheets count; earlier dates sit one lower.
        if (!epoch1904 && date < QDate(1900, 3, 1))
            days -= 1;
    }
    serial = days + fraction;
    return true;
}

} // namespace kv
