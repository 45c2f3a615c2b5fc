// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/schema.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

namespace kv {

/// One row read from a sheet, waiting for the apply step: a value per column of the target table
/// (null for a blank field) and the sheet row it came from, for the messages about it.
struct StagedRow
{
    int sheetRow = 0;
    QString detail; // what else names the row in messages (the variable of a raw-data row)
    QVariantList values;
};

/// The rows a reader takes from one sheet for one table of the results database. Only the sheet's
/// rows are held: the table's own rows stay in the database, so a large table costs the reader nothing.
class StagingTable
{
public:
    /// requiredFields: the fields a row must have to be stored (the table's key columns always are).
    StagingTable(const QString &table, const QStringList &requiredFields);

    const TableDef &table() const { return *m_table; }
    int columnCount() const { return int(m_table->columns.size()); }
    /// The column of a field name, case-insensitively, ignoring surrounding blanks; -1 for none.
    int fieldIndex(const QString &name) const;
    const QList<int> &requiredColumns() const { return m_required; }

    /// Starts a new row at the end with every field blank; set its fields, then post() or cancel().
    void append(int sheetRow, const QString &detail = {});
    /// Sets a field of the row being appended from a cell's text, converted as the field's type takes
    /// it. An empty or blank text leaves the field blank. False when the field refuses the text; the
    /// field keeps its value then.
    bool setText(int column, const QString &text);
    void setValue(int column, const QVariant &value);
    void post();
    void cancel();

    const std::vector<StagedRow> &rows() const { return m_rows; }
    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isBlank(qsizetype row, int column) const { return m_rows[size_t(row)].values[column].isNull(); }
    /// Sets a blank field of every row to a value.
    void fillBlank(int column, const QVariant &value);
    /// Removes the rows the predicate picks; returns how many.
    qsizetype removeIf(const std::function<bool(const StagedRow &)> &predicate);

    /// A cell text as a field of this type takes it; false when it does not (a number field given
    /// "NA", an integer field given 1.5, a date that is none). Blank text gives a null value.
    static bool convertText(const ColumnDef &column, const QString &text, QVariant &value);

private:
    const TableDef *m_table;
    QHash<QString, int> m_columnsByName; // lower-case name -> column
    QList<int> m_required;
    std::vector<StagedRow> m_rows;
    bool m_appending = false;
};

} // namespace kv
