// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/row_writer.h"

#include "data/row_arrays.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Keeps a statement under SQLite's old limit of 999 parameters and PostgreSQL's of 65535.
constexpr int maxParameters = 990;
constexpr int maxBatchRows = 200;
// Rows a statement of arrays carries.
constexpr int arrayBatchRows = 2000;

} // namespace

RowWriter::RowWriter(Connection &connection, const QString &table, const QStringList &columns)
    : m_connection(connection), m_table(table), m_columns(columns)
{
    const TableDef *def = Schema::table(table);
    if (!def)
        throw InputError(u"There is no table %1."_s.arg(table));
    for (const QString &column : columns) {
        const ColumnDef *columnDef = def->column(column);
        if (!columnDef)
            throw InputError(u"The table %1 has no column %2."_s.arg(table, column));
        m_defs << columnDef;
    }
    if (RowArrays::apply(connection)) {
        m_arrays = true;
        m_batchRows = arrayBatchRows;
    } else if (connection.engine().insertsManyRows()) {
        m_batchRows =
            std::clamp(maxParameters / int(std::max<qsizetype>(columns.size(), 1)), 1, maxBatchRows);
    }
}

RowWriter::~RowWriter() = default;

QString RowWriter::insertText(int rows) const
{
    if (m_arrays)
        return u"INSERT INTO %1 (%2) SELECT * FROM %3"_s.arg(m_table, m_columns.join(u", "_s), RowArrays::unnest(m_defs));
    QStringList marks(m_columns.size(), u"?"_s);
    const QString one = u'(' + marks.join(u',') + u')';
    QStringList tuples(rows, one);
    return u"INSERT INTO %1 (%2) VALUES %3"_s.arg(m_table, m_columns.join(u", "_s), tuples.join(u','));
}

void RowWriter::add(const QVariantList &values)
{
    if (values.size() != m_columns.size())
        throw InputError(u"A row for %1 has %2 values for %3 columns."_s.arg(m_table)
                             .arg(values.size())
                             .arg(m_columns.size()));
    for (qsizetype i = 0; i < values.size(); ++i) {
        const ColumnDef *def = m_defs[i];
        if (def->isText() && !values[i].isNull() && values[i].toString().size() > def->width)
            throw InputError(u"The text \"%1\" is wider than %2.%3 (%4 characters)."_s
                                 .arg(values[i].toString(), m_table, def->name)
                                 .arg(def->width));
    }
    m_pending.append(values);
    ++m_count;
    if (m_pending.size() >= qsizetype(m_batchRows) * m_columns.size()) {
        if (!m_batch)
            m_batch = m_connection.prepare(insertText(m_batchRows));
        write(*m_batch, m_batchRows);
    }
}

void RowWriter::flush()
{
    if (m_arrays && !m_pending.isEmpty()) {
        if (!m_batch)
            m_batch = m_connection.prepare(insertText(m_batchRows));
        write(*m_batch, int(m_pending.size() / m_columns.size()));
        return;
    }
    while (!m_pending.isEmpty()) {
        if (!m_single)
            m_single = m_connection.prepare(insertText(1));
        write(*m_single, 1);
    }
}

void RowWriter::write(QSqlQuery &query, int rows)
{
    const qsizetype columns = m_columns.size();
    const qsizetype n = qsizetype(rows) * columns;
    if (m_arrays) {
        for (qsizetype c = 0; c < columns; ++c)
            query.bindValue(int(c), RowArrays::literal(rows, [&](qsizetype r) -> const QVariant & {
                                return m_pending[r * columns + c];
                            }));
        m_connection.execPrepared(query);
        m_pending.remove(0, n);
        return;
    }
    for (qsizetype i = 0; i < n; ++i) {
        const ColumnDef *def = m_defs[i % m_columns.size()];
        const QVariant &value = m_pending[i];
        // A null of the column's type, so PostgreSQL sees a typed parameter.
        query.bindValue(int(i), value.isNull() ? QVariant(QMetaType(def->metaType())) : value);
    }
    m_connection.execPrepared(query);
    m_pending.remove(0, n);
}

} // namespace kv
