// SPDX-License-Identifier: GPL-3.0-or-later
// The dataset's fields: values as the schema types them, calculated fields and display formats.
#include "data/dataset.h"

#include <QDate>
#include <climits>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

QVariant Dataset::normalize(int column, const QVariant &value) const
{
    if (value.isNull())
        return {};
    const QMetaType::Type type = m_columnTypes.value(column, QMetaType::UnknownType);
    switch (type) {
    case QMetaType::Int: {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (ok)
            return number;
        const double real = value.toDouble(&ok);
        if (ok && real == std::floor(real) && std::fabs(real) <= INT_MAX)
            return int(real);
        break;
    }
    case QMetaType::Double: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok)
            return number;
        break;
    }
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDate: {
        if (value.metaType().id() == QMetaType::QDate)
            return value;
        if (value.metaType().id() == QMetaType::QDateTime)
            return value.toDateTime().date();
        const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
        if (date.isValid())
            return date;
        break;
    }
    case QMetaType::QByteArray:
        return value.toByteArray();
    default:
        return value;
    }
    return value;
}

int Dataset::columnIndex(const QString &field) const
{
    return m_columnIndex.value(field.toLower(), -1);
}

int Dataset::calculatedIndex(const QString &field) const
{
    for (int i = 0; i < m_calculatedNames.size(); ++i)
        if (m_calculatedNames[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList Dataset::fieldNames() const
{
    QStringList names = m_columns;
    for (const QString &name : m_calculatedNames)
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    return names;
}

bool Dataset::hasField(const QString &field) const
{
    return columnIndex(field) >= 0 || calculatedIndex(field) >= 0;
}

QVariant Dataset::value(const QString &field) const
{
    const int calculated = calculatedIndex(field);
    if (calculated >= 0) {
        if (!currentRow())
            return {};
        return m_calculations[calculated](*this);
    }
    const int column = columnIndex(field);
    if (column < 0) {
        if (m_state == State::Inactive)
            throw Error(u"%1: Cannot perform this operation on a closed dataset."_s.arg(m_name));
        throw Error(u"%1: Field '%2' not found."_s.arg(m_name, field));
    }
    const Row *row = currentRow();
    return row ? row->value(column) : QVariant();
}

template<typename Read>
auto Dataset::readAt(int row, Read read) -> decltype(read())
{
    requireOpen();
    if (row == m_position)
        return read();
    if (!ensureRow(row))
        return {};
    // Look at the stored row for a moment, without signals: the cursor and a row in edit stay as they are.
    const int saved = m_position;
    const State state = m_state;
    m_position = row;
    m_state = State::Browse;
    struct Restore
    {
        Dataset &d;
        int position;
        State state;
        ~Restore()
        {
            d.m_position = position;
            d.m_state = state;
        }
    } restore{*this, saved, state};
    return read();
}

QVariant Dataset::valueAt(int row, const QString &field)
{
    return readAt(row, [&] { return value(field); });
}

QString Dataset::displayTextAt(int row, const QString &field)
{
    return readAt(row, [&] { return displayText(field); });
}

QString Dataset::displayText(const QString &field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return {};
    const QString format = displayFormat(field);
    const int type = v.metaType().id();
    if (!format.isEmpty() && (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong))
        return formatNumber(v.toDouble(), format);
    if (type == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    return v.toString();
}

void Dataset::addCalculatedField(const QString &field, const Calculation &calculation)
{
    m_calculatedNames << field;
    m_calculations << calculation;
}

void Dataset::setDisplayFormat(const QString &field, const QString &format)
{
    m_displayFormats.insert(field.toLower(), format);
}

QString Dataset::displayFormat(const QString &field) const
{
    return m_displayFormats.value(field.toLower());
}

QString Dataset::formatNumber(double value, const QString &format)
{
    const qsizetype exponent = format.indexOf(u'e', 0, Qt::CaseInsensitive);
    const QString mantissa = exponent >= 0 ? format.left(exponent) : format;
    const qsizetype point = mantissa.indexOf(u'.');
    const int decimals = point < 0 ? 0 : int(mantissa.size() - point - 1);
    if (exponent < 0)
        return QString::number(value, 'f', decimals);
    // "0.00000e+00": the exponent with its sign and at least as many digits as the format shows.
    const int exponentDigits = int(format.size() - exponent - 2);
    QString text = QString::number(value, 'e', decimals);
    const qsizetype e = text.indexOf(u'e');
    QString sign = text.mid(e + 1, 1);
    QString digits = text.mid(e + 2);
    while (digits.size() > exponentDigits && digits.startsWith(u'0'))
        digits.remove(0, 1);
    while (digits.size() < exponentDigits)
        digits.prepend(u'0');
    if (format.at(exponent + 1) == u'-' && sign == u"+"_s)
        sign.clear();
    return text.left(e) + format.at(exponent) + sign + digits;
}

} // namespace kv
