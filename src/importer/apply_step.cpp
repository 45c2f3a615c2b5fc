// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/apply_step.h"

#include "data/connection.h"
#include "importer/staging_table.h"

#include <QHash>
#include <QSqlQuery>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Keeps a statement under SQLite's old limit of 999 parameters.
constexpr int maxParameters = 990;
constexpr int maxBatchRows = 200;

class RowInserter
{
public:
    /// columns: the staged columns to write; the others are left to their default (null).
    RowInserter(Connection &connection, const StagingTable &staging, const QList<int> &columns)
        : m_connection(connection), m_staging(staging), m_columns(columns)
    {
        const int count = int(columns.size());
        m_batchRows = connection.engine().insertsManyRows()
                          ? std::clamp(maxParameters / std::max(count, 1), 1, maxBatchRows)
                          : 1;
        QStringList names;
        for (int c : columns)
            names << staging.table().columns[c].name;
        m_head = u"INSERT INTO %1 (%2) VALUES "_s.arg(staging.table().name, names.join(u", "_s));
        m_tuple = u'(' + QStringList(count, u"?"_s).join(u',') + u')';
    }

    int batchRows() const { return m_batchRows; }

    /// Inserts the rows at the indexes given, in one statement; throws DatabaseError.
    void insert(const std::vector<qsizetype> &rows)
    {
        QSqlQuery &query = statementFor(int(rows.size()));
        int position = 0;
        for (qsizetype index : rows) {
            const StagedRow &row = m_staging.rows()[size_t(index)];
            for (int c : m_columns) {
                const QVariant &value = row.values[c];
                // A null of the column's type, so PostgreSQL sees a typed parameter.
                query.bindValue(position++, value.isNull()
                                                ? QVariant(QMetaType(m_staging.table().columns[c].metaType()))
                                                : value);
            }
        }
        m_connection.execPrepared(query);
    }

private:
    QSqlQuery &statementFor(int rows)
    {
        std::optional<QSqlQuery> &slot = rows == 1 ? m_single : m_batch;
        if (!slot || m_preparedRows[rows == 1 ? 0 : 1] != rows) {
            QStringList tuples(rows, m_tuple);
            slot = m_connection.prepare(m_head + tuples.join(u','));
            m_preparedRows[rows == 1 ? 0 : 1] = rows;
        }
        return *slot;
    }

    Connection &m_connection;
    const StagingTable &m_staging;
    QList<int> m_columns;
    int m_batchRows = 1;
    QString m_head;
    QString m_tuple;
    std::optional<QSqlQuery> m_single;
    std::optional<QSqlQuery> m_batch;
    int m_preparedRows[2] = {0, 0};
};

QString keyOf(const StagedRow &row, const QList<int> &columns)
{
    QString key;
    for (int c : columns) {
        key += row.values[c].toString();
        key += QChar(0x1F);
    }
    return key;
}

// The engine's words for a refusal, without the database it names: that is the same for every row.
QString reasonOf(const DatabaseError &error, const TableDef &table)
{
    if (error.code() == KeyViolation && !table.uniqueKeys.isEmpty())
        return u"the same %1 as a row already stored"_s.arg(table.uniqueKeys.first().join(u", "_s));
    return error.message().section(u'\n', 0, 0);
}

void sortBySheetRow(ApplyResult &result)
{
    std::stable_sort(result.refused.begin(), result.refused.end(),
                     [](const RefusedRow &a, const RefusedRow &b) { return a.sheetRow < b.sheetRow; });
}

} // namespace

QString RefusedRow::describe() const
{
    const QString where = detail.isEmpty() ? u"row %1"_s.arg(sheetRow) : u"row %1 (%2)"_s.arg(sheetRow).arg(detail);
    return where + u": "_s + reason;
}

ApplyResult applyStagedRows(Connection &connection, const StagingTable &staging, int maxErrors)
{
    connection.engine().prepareBulkWrite(connection);
    Transaction transaction(connection);
    ApplyResult result = applyStagedRowsWithin(connection, staging, maxErrors);
    if (!result.overLimit)
        transaction.commit();
    return result;
}

ApplyResult applyStagedRowsWithin(Connection &connection, const StagingTable &staging, int maxErrors,
                                  const ApplyProgress &progress)
{
    ApplyResult result;
    const TableDef &table = staging.table();
    const auto refuse = [&](const StagedRow &row, const QString &reason) {
        ++result.refusedCount;
        if (result.refused.size() <= maxErrors)
            result.refused.append({row.sheetRow, row.detail, reason});
        return result.refusedCount > maxErrors;
    };

    // Refusals the rows themselves show are found here, with a plain reason, before the database
    // sees them: a required field left blank, a key given twice in the sheet.
    QList<int> keyColumns;
    if (!table.uniqueKeys.isEmpty())
        for (const QString &name : table.uniqueKeys.first())
            keyColumns << int(std::find_if(table.columns.begin(), table.columns.end(),
                                           [&](const ColumnDef &c) { return c.name == name; }) -
                              table.columns.begin());
    QHash<QString, int> firstRowOfKey;
    std::vector<qsizetype> candidates;
    candidates.reserve(staging.rows().size());
    for (qsizetype i = 0; i < staging.size(); ++i) {
        const StagedRow &row = staging.rows()[size_t(i)];
        QStringList blank;
        for (int c : staging.requiredColumns())
            if (row.values[c].isNull())
                blank << table.columns[c].name;
        if (!blank.isEmpty()) {
            if (refuse(row, u"required field %1 is blank"_s.arg(blank.join(u", "_s)))) {
                result.overLimit = true;
                return result;
            }
            continue;
        }
        if (!keyColumns.isEmpty()) {
            const QString key = keyOf(row, keyColumns);
            const auto first = firstRowOfKey.constFind(key);
            if (first == firstRowOfKey.cend()) {
                firstRowOfKey.insert(key, row.sheetRow);
            } else {
                if (refuse(row, u"the same %1 as row %2"_s.arg(table.uniqueKeys.first().join(u", "_s)).arg(*first))) {
                    result.overLimit = true;
                    return result;
                }
                continue;
            }
        }
        candidates.push_back(i);
    }

    // A column no row gives a value is left out of the statements: a wide table with a few columns
    // filled (a sheet maps some of its fields) then takes many more rows per statement.
    QList<int> written;
    for (int c = 0; c < staging.columnCount(); ++c)
        if (std::any_of(candidates.begin(), candidates.end(),
                        [&](qsizetype i) { return !staging.rows()[size_t(i)].values[c].isNull(); }))
            written << c;
    if (written.isEmpty() && staging.columnCount() > 0)
        written << 0;
    RowInserter inserter(connection, staging, written);
    // Rows go in batches, each at a savepoint; a batch the database refuses is undone and its rows
    // tried one by one, each at its own savepoint, so a refused row takes no other with it.
    const auto single = [&](qsizetype index) {
        connection.exec(u"SAVEPOINT import_row"_s);
        try {
            inserter.insert({index});
            connection.exec(u"RELEASE SAVEPOINT import_row"_s);
            ++result.stored;
        } catch (const DatabaseError &e) {
            connection.exec(u"ROLLBACK TO SAVEPOINT import_row"_s);
            connection.exec(u"RELEASE SAVEPOINT import_row"_s);
            if (refuse(staging.rows()[size_t(index)], reasonOf(e, table)))
                return false;
        }
        return true;
    };
    std::vector<qsizetype> batch;
    const int batchRows = inserter.batchRows();
    for (size_t start = 0; start < candidates.size(); start += size_t(batchRows)) {
        const size_t end = std::min(candidates.size(), start + size_t(batchRows));
        batch.assign(candidates.begin() + qsizetype(start), candidates.begin() + qsizetype(end));
        bool inserted = false;
        if (batch.size() > 1) {
            connection.exec(u"SAVEPOINT import_batch"_s);
            try {
                inserter.insert(batch);
                connection.exec(u"RELEASE SAVEPOINT import_batch"_s);
                result.stored += qint64(batch.size());
                inserted = true;
            } catch (const DatabaseError &) {
                connection.exec(u"ROLLBACK TO SAVEPOINT import_batch"_s);
                connection.exec(u"RELEASE SAVEPOINT import_batch"_s);
            }
        }
        if (!inserted)
            for (qsizetype index : batch)
                if (!single(index)) {
                    result.overLimit = true;
                    result.stored = 0;
                    sortBySheetRow(result);
                    return result; // the caller's transaction rolls back
                }
        if (progress && !progress(qint64(end) + qint64(staging.rows().size() - candidates.size()))) {
            result.cancelled = true;
            result.stored = 0;
            return result;
        }
    }
    sortBySheetRow(result);
    return result;
}

QString applySummary(const ApplyResult &result, int reasons)
{
    if (result.overLimit)
        return u"More than %1 rows were refused, so none was stored. The first reasons:"_s.arg(applyErrorLimit) +
               [&] {
                   QString text;
                   for (int i = 0; i < std::min<qsizetype>(reasons, result.refused.size()); ++i)
                       text += u"\n"_s + result.refused[i].describe();
                   return text;
               }();
    QString text = u"%1 rows stored, %2 refused."_s.arg(result.stored).arg(result.refusedCount);
    for (int i = 0; i < std::min<qsizetype>(reasons, result.refused.size()); ++i)
        text += u"\n"_s + result.refused[i].describe();
    if (result.refusedCount > reasons)
        text += u"\n..."_s;
    return text;
}

} // namespace kv
