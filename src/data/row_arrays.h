// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/schema.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace kv {

class Connection;

/// PostgreSQL takes a batch of rows as one array per column, read back as rows by unnest: a statement of
/// any number of rows then has one parameter per column. The same rows as a VALUES list of parameters
/// cost the server more time to parse than to store (the driver sends them as one EXECUTE of literals).
namespace RowArrays {

/// True when the connection's engine reads batches of rows from arrays.
bool apply(const Connection &connection);

/// "unnest(cast(? as integer[]), cast(? as text[]), ...)": one array parameter per column, of the
/// column's base type; texts are text[], so a text wider than its column is refused when stored, not cut
/// by the cast.
QString unnest(const QList<const ColumnDef *> &columns);

/// Adds one element of an array literal: numbers in full, texts, dates and bytes quoted, null as NULL.
void appendElement(QString &literal, const QVariant &value);

/// The array literal of count values, at(i) giving the i-th.
template <typename At>
QString literal(qsizetype count, At &&at)
{
    QString text;
    text.reserve(count * 8 + 2);
    text += u'{';
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            text += u',';
        appendElement(text, at(i));
    }
    text += u'}';
    return text;
}

} // namespace RowArrays

} // namespace kv
