// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <optional>

namespace kv {

/// Appends rows to one table through prepared multi-row INSERT statements (on PostgreSQL, from arrays),
/// so bulk loads cost one round trip per batch rather than per row. Text wider than its column is refused, not cut: callers
/// cut text taken from outside with Schema::cutToWidth, and codes they make up must fit.
class RowWriter
{
public:
    RowWriter(Connection &connection, const QString &table, const QStringList &columns);
    ~RowWriter();
    RowWriter(const RowWriter &) = delete;
    RowWriter &operator=(const RowWriter &) = delete;

    /// Queues one row (a value per column, in the order given); writes a batch when it is full.
    void add(const QVariantList &values);
    /// Writes the rows still queued.
    void flush();
    /// Rows written or queued so far.
    qint64 count() const { return m_count; }

private:
    QString insertText(int rows) const;
    void write(QSqlQuery &query, int rows);

    Connection &m_connection;
    QString m_table;
    QStringList m_columns;
    QList<const ColumnDef *> m_defs;
    bool m_arrays = false;
    int m_batchRows = 1;
    QVariantList m_pending;
    std::optional<QSqlQuery> m_batch;
    std::optional<QSqlQuery> m_single;
    qint64 m_count = 0;
};

} // namespace kv
