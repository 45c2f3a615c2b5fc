// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/row_arrays.h"

#include "data/connection.h"

#include <QDate>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace kv::RowArrays {

namespace {

QString arrayType(const ColumnDef &column)
{
    switch (column.type) {
    case ColumnType::Int16:
        return u"smallint[]"_s;
    case ColumnType::Int32:
    case ColumnType::AutoInc:
        return u"integer[]"_s;
    case ColumnType::Float:
        return u"double precision[]"_s;
    case ColumnType::Date:
        return u"date[]"_s;
    case ColumnType::Graphic:
        return u"bytea[]"_s;
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::FormattedMemo:
        break;
    }
    return u"text[]"_s;
}

void appendQuoted(QString &literal, const QString &text)
{
    literal += u'"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            literal += u'\\';
        literal += c;
    }
    literal += u'"';
}

} // namespace

bool apply(const Connection &connection)
{
    return connection.backend() == Backend::PostgreSQL;
}

QString unnest(const QList<const ColumnDef *> &columns)
{
    QStringList arrays;
    for (const ColumnDef *column : columns)
        arrays << u"cast(? as %1)"_s.arg(arrayType(*column));
    return u"unnest(%1)"_s.arg(arrays.join(u", "_s));
}

void appendElement(QString &literal, const QVariant &value)
{
    if (value.isNull()) {
        literal += u"NULL"_s;
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        literal += QString::number(value.toDouble(), 'g', 17);
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        literal += value.toString();
        return;
    case QMetaType::QDate:
        literal += value.toDate().toString(Qt::ISODate);
        return;
    case QMetaType::QByteArray:
        // bytea's hex form, its backslash escaped for the array literal.
        literal += u"\"\\\\x"_s + QString::fromLatin1(value.toByteArray().toHex()) + u'"';
        return;
    default:
        appendQuoted(literal, value.toString());
        return;
    }
}

} // namespace kv::RowArrays
