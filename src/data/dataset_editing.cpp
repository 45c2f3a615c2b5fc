// SPDX-License-Identifier: GPL-3.0-or-later
// Live editing of a single-table dataset: edit, insert, post, cancel and delete, each row written back
// to the row it was read from.
#include "data/dataset.h"

#include "data/connection.h"
#include "data/dataset_values.h"
#include "data/schema.h"

using namespace Qt::StringLiterals;

namespace kv {

namespace {

using dataset::sameValue;

// The condition that writes one row only: the first row matching the values read, found by the
// engine's row identity; every matching row where the engine has none.
QString oneRowCondition(const QString &identity, const QString &table, const QString &where)
{
    if (identity.isEmpty())
        return where;
    return u"%1 = (SELECT %1 FROM %2 WHERE %3 LIMIT 1)"_s.arg(identity, table, where);
}

} // namespace

void Dataset::setValue(const QString &field, const QVariant &value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw Error(u"%1: Dataset not in edit or insert mode."_s.arg(m_name));
    if (calculatedIndex(field) >= 0)
        throw Error(u"%1: Field '%2' is calculated and cannot be modified."_s.arg(m_name, field));
    const int column = columnIndex(field);
    if (column < 0)
        throw Error(u"%1: Field '%2' not found."_s.arg(m_name, field));
    QVariant stored = value.isNull() || (value.metaType().id() == QMetaType::QString && value.toString().isEmpty() &&
                                         m_columnTypes[column] != QMetaType::QString)
                          ? QVariant()
                          : normalize(column, value);
    if (!stored.isNull() && m_columnTypes[column] != QMetaType::UnknownType &&
        stored.metaType().id() != m_columnTypes[column])
        throw InputError(u"'%1' is not a valid value for the field %2."_s.arg(value.toString(), m_columns[column]));
    const TableDef *table = writeTable();
    const ColumnDef *definition = table ? table->column(m_columns[column]) : Schema::anyColumn(m_columns[column]);
    if (definition)
        stored = Schema::cutToWidth(*definition, stored);
    m_buffer[column] = stored;
    emit fieldChanged(m_columns[column]);
}

void Dataset::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void Dataset::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (!m_live)
        throw Error(u"%1: Cannot modify a read-only dataset."_s.arg(m_name));
    if (m_position < 0) {
        insert();
        return;
    }
    m_buffer = *currentRow();
    setState(State::Edit);
}

void Dataset::insert()
{
    requireOpen();
    if (!m_live)
        throw Error(u"%1: Cannot modify a read-only dataset."_s.arg(m_name));
    if (m_state != State::Browse && !post())
        return;
    m_buffer = Row(m_columns.size());
    m_insertedAt = std::max(m_position, 0);
    setState(State::Insert);
    notifyScroll();
}

void Dataset::append()
{
    requireOpen();
    if (!m_live)
        throw Error(u"%1: Cannot modify a read-only dataset."_s.arg(m_name));
    if (m_state != State::Browse && !post())
        return;
    fetchAll();
    m_buffer = Row(m_columns.size());
    m_insertedAt = m_windowStart + int(m_rows.size());
    setState(State::Insert);
    notifyScroll();
}

void Dataset::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    m_buffer.clear();
    m_insertedAt = -1;
    setState(State::Browse);
    if (m_position >= 0)
        ensureRow(m_position);
    notifyScroll();
}

Dataset::PostErrorAction Dataset::handlePostError(const DatabaseError &error)
{
    if (!m_postErrorHandler)
        return PostErrorAction::Fail;
    return m_postErrorHandler(*this, error);
}

bool Dataset::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return true;
    try {
        writeRow();
    } catch (const DatabaseError &error) {
        if (handlePostError(error) == PostErrorAction::Abort)
            return false;
        throw;
    }
    if (m_state == State::Insert) {
        const int at = std::clamp(m_insertedAt, m_windowStart, m_windowStart + int(m_rows.size()));
        m_rows.insert(m_rows.begin() + (at - m_windowStart), m_buffer);
        m_position = at;
        if (m_countCache >= 0)
            ++m_countCache;
        m_resetPending = true;
    } else if (m_position >= m_windowStart && m_position < m_windowStart + int(m_rows.size())) {
        m_rows[size_t(m_position - m_windowStart)] = m_buffer;
    }
    m_buffer.clear();
    m_insertedAt = -1;
    m_bof = m_eof = false;
    setState(State::Browse);
    emit afterPost();
    notifyScroll();
    return true;
}

const TableDef *Dataset::writeTable() const
{
    return Schema::table(tableName());
}

QStringList Dataset::writableColumns() const
{
    const TableDef *table = writeTable();
    QStringList columns;
    for (const QString &column : m_columns) {
        if (calculatedIndex(column) >= 0)
            continue; // a calculated field hides the stored column of that name
        if (table && !table->column(column))
            continue;
        if (!columns.contains(column, Qt::CaseInsensitive))
            columns << column;
    }
    return columns;
}

QString Dataset::identityCondition(const QStringList &columns, QVariantList &values) const
{
    const Row *original = nullptr;
    if (m_position >= m_windowStart && m_position < m_windowStart + int(m_rows.size()))
        original = &m_rows[size_t(m_position - m_windowStart)];
    if (!original)
        throw Error(u"%1: the current row is no longer at hand; refresh the data."_s.arg(m_name));
    QStringList conditions;
    for (const QString &column : columns) {
        const QVariant v = original->value(columnIndex(column));
        if (v.isNull()) {
            conditions << column + u" IS NULL"_s;
        } else {
            conditions << column + u" = ?"_s;
            values << v;
        }
    }
    return conditions.join(u" AND "_s);
}

void Dataset::writeRow()
{
    try {
        writeRowOnce();
    } catch (const DatabaseError &error) {
        if (!m_connection->isSnapshotConflict(error))
            throw;
        m_connection->releaseReaders();
        writeRowOnce();
    }
}

void Dataset::writeRowOnce()
{
    const QString table = tableName();
    if (table.isEmpty() || !m_connection)
        throw Error(u"%1: the rows of this dataset cannot be written."_s.arg(m_name));
    const QStringList columns = writableColumns();
    const TableDef *definition = writeTable();
    const DatabaseBackend &engine = m_connection->engine();

    if (m_state == State::Insert) {
        QStringList names;
        QStringList marks;
        QVariantList values;
        QString autoIncrement;
        for (const QString &column : columns) {
            const ColumnDef *c = definition ? definition->column(column) : nullptr;
            if (c && c->type == ColumnType::AutoInc) {
                autoIncrement = column;
                if (m_buffer[columnIndex(column)].isNull())
                    continue;
            }
            const QVariant v = m_buffer[columnIndex(column)];
            if (v.isNull())
                continue;
            names << column;
            marks << u"?"_s;
            values << v;
        }
        QString sql = names.isEmpty() ? u"INSERT INTO %1 DEFAULT VALUES"_s.arg(table)
                                      : u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(table, names.join(u", "_s),
                                                                                 marks.join(u", "_s));
        if (!autoIncrement.isEmpty() && engine.supportsReturning())
            sql += u" RETURNING "_s + autoIncrement;
        QSqlQuery query = m_connection->exec(sql, values);
        if (!autoIncrement.isEmpty() && query.next())
            m_buffer[columnIndex(autoIncrement)] = query.value(0).toInt();
        return;
    }

    // Edit: write the changed columns to the row as it was read; a row changed or deleted by
    // someone else since then matches nothing and is reported, never overwritten.
    const Row &original = m_rows[size_t(m_position - m_windowStart)];
    QStringList assignments;
    QVariantList values;
    for (const QString &column : columns) {
        const int i = columnIndex(column);
        if (sameValue(original.value(i), m_buffer.value(i)) &&
            original.value(i).metaType() == m_buffer.value(i).metaType())
            continue;
        assignments << column + u" = ?"_s;
        values << m_buffer.value(i);
    }
    if (assignments.isEmpty())
        return;
    const QString where = identityCondition(columns, values);
    const QString sql = u"UPDATE %1 SET %2 WHERE %3"_s.arg(table, assignments.join(u", "_s),
                                                          oneRowCondition(engine.rowIdentity(), table, where));
    QSqlQuery query = m_connection->exec(sql, values);
    if (query.numRowsAffected() == 0)
        throw DatabaseError(u"The record was changed or deleted by another user since it was read. "
                            u"Refresh the data and try again.\nTable: %1"_s.arg(table),
                            RecordChanged);
}

void Dataset::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (!m_live)
        throw Error(u"%1: Cannot modify a read-only dataset."_s.arg(m_name));
    if (m_position < 0)
        throw Error(u"%1: Cannot perform this operation on an empty dataset."_s.arg(m_name));
    if (m_state == State::Edit)
        cancel();
    ensureRow(m_position);
    try {
        removeOnce();
    } catch (const DatabaseError &error) {
        if (!m_connection->isSnapshotConflict(error))
            throw;
        m_connection->releaseReaders();
        removeOnce();
    }
    m_rows.erase(m_rows.begin() + (m_position - m_windowStart));
    if (m_countCache >= 0)
        --m_countCache;
    if (!ensureRow(m_position)) {
        m_position = m_position - 1;
        if (m_position >= 0)
            ensureRow(m_position);
        m_eof = true;
    }
    if (m_position < 0)
        m_bof = m_eof = true;
    m_resetPending = true;
    emit afterDelete();
    notifyScroll();
}

void Dataset::removeOnce()
{
    const QString table = tableName();
    QVariantList values;
    const QString where = identityCondition(writableColumns(), values);
    const QString sql = u"DELETE FROM %1 WHERE %2"_s.arg(
        table, oneRowCondition(m_connection->engine().rowIdentity(), table, where));
    QSqlQuery query = m_connection->exec(sql, values);
    if (query.numRowsAffected() == 0)
        throw DatabaseError(u"The record was changed or deleted by another user since it was read. "
                            u"Refresh the data and try again.\nTable: %1"_s.arg(table),
                            RecordChanged);
}

} // namespace kv
