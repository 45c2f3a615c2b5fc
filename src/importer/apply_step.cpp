// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/apply_step.h"

#include "data/connection.h"
#include "data/row_arrays.h"
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
// Rows a statement of arrays carries; a batch the database refuses is tried again row by row, so this
// stays small enough for that to be quick.
constexpr int arrayBatchRows = 1000;

class RowInserter
{
public:
    /// columns: the staged columns to write; the others are left to their default (null).
    RowInserter(Connection &connection, const TableDef &table, const QList<int> &columns)
        : m_connection(connection), m_table(table), m_columns(columns)
    {
        const int count = int(columns.size());
        m_arrays = RowArrays::apply(connection);
        m_batchRows = m_arrays                                ? arrayBatchRows
                      : connection.engine().insertsManyRows() ? std::clamp(maxParameters / std::max(count, 1), 1, maxBatchRows)
                                                              : 1;
        QStringList names;
        QList<const ColumnDef *> defs;
        for (int c : columns) {
            names << table.columns[c].name;
            defs << &table.columns[c];
        }
        m_head = u"INSERT INTO %1 (%2) VALUES "_s.arg(table.name, names.join(u", "_s));
        if (m_arrays)
            m_fromArrays =
                u"INSERT INTO %1 (%2) SELECT * FROM %3"_s.arg(table.name, names.join(u", "_s), RowArrays::unnest(defs));
        m_tuple = u'(' + QStringList(count, u"?"_s).join(u',') + u')';
    }

    int batchRows() const { return m_batchRows; }

    /// True when a batch of rows goes as arrays whose values arrayValues makes beforehand.
    bool takesArrays() const { return m_arrays; }

    /// The arrays that store the rows at the indexes given: one literal per column.
    QVariantList arrayValues(const StagingTable &staging, const std::vector<qsizetype> &rows) const
    {
        QVariantList values;
        for (int c : m_columns)
            values << RowArrays::literal(qsizetype(rows.size()), [&](qsizetype r) -> const QVariant & {
                return staging.rows()[size_t(rows[size_t(r)])].values[c];
            });
        return values;
    }

    /// Inserts the rows given as arrays by arrayValues; throws DatabaseError.
    void insertArrays(const QVariantList &values)
    {
        if (!m_arrayStatement)
            m_arrayStatement = m_connection.prepare(m_fromArrays);
        for (qsizetype p = 0; p < values.size(); ++p)
            m_arrayStatement->bindValue(int(p), values[p]);
        m_connection.execPrepared(*m_arrayStatement);
    }

    /// Inserts the rows at the indexes given, in one statement; throws DatabaseError.
    void insert(const StagingTable &staging, const std::vector<qsizetype> &rows)
    {
        const auto valueAt = [&](qsizetype row, int column) -> const QVariant & {
            return staging.rows()[size_t(row)].values[column];
        };
        if (m_arrays && rows.size() > 1) {
            insertArrays(arrayValues(staging, rows));
            return;
        }
        QSqlQuery &query = statementFor(int(rows.size()));
        int position = 0;
        for (qsizetype index : rows) {
            for (int c : m_columns) {
                const QVariant &value = valueAt(index, c);
                // A null of the column's type, so PostgreSQL sees a typed parameter.
                query.bindValue(position++, value.isNull() ? QVariant(QMetaType(m_table.columns[c].metaType())) : value);
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
    const TableDef &m_table;
    QList<int> m_columns;
    bool m_arrays = false;
    int m_batchRows = 1;
    QString m_head;
    QString m_fromArrays;
    QString m_tuple;
    std::optional<QSqlQuery> m_single;
    std::optional<QSqlQuery> m_batch;
    std::optional<QSqlQuery> m_arrayStatement;
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

struct StagedRowsApplier::Private
{
    Private(Connection &c, const TableDef &t, const QList<int> &columns, int limit)
        : connection(c), table(t), maxErrors(limit), inserter(c, t, columns)
    {
    }

    Connection &connection;
    const TableDef &table;
    const int maxErrors;
    RowInserter inserter;
    // Touched by check alone.
    QList<int> keyColumns;
    QHash<QString, int> firstRowOfKey;
    // Touched by store alone.
    ApplyResult result;
    qint64 handled = 0;

    // Counts a refused row; true when that is one too many.
    bool refuse(const RefusedRow &row)
    {
        ++result.refusedCount;
        if (result.refused.size() <= maxErrors)
            result.refused.append(row);
        return result.refusedCount > maxErrors;
    }
    bool stop()
    {
        result.overLimit = true;
        result.stored = 0;
        sortBySheetRow(result);
        return false;
    }
};

StagedRowsApplier::StagedRowsApplier(Connection &connection, const StagingTable &shape, const QList<int> &columns,
                                     int maxErrors)
    : d(std::make_unique<Private>(connection, shape.table(), columns.isEmpty() && shape.columnCount() > 0 ? QList<int>{0} : columns,
                                  maxErrors))
{
    const TableDef &table = shape.table();
    if (!table.uniqueKeys.isEmpty())
        for (const QString &name : table.uniqueKeys.first())
            d->keyColumns << int(std::find_if(table.columns.begin(), table.columns.end(),
                                              [&](const ColumnDef &c) { return c.name == name; }) -
                                 table.columns.begin());
}

StagedRowsApplier::~StagedRowsApplier() = default;

StagedRowsApplier::Checked StagedRowsApplier::check(std::shared_ptr<const StagingTable> piece)
{
    Checked checked;
    checked.rows = std::move(piece);
    const StagingTable &staging = *checked.rows;
    const TableDef &table = d->table;
    // Refusals the rows themselves show are found here, with a plain reason, before the database
    // sees them: a required field left blank, a key given twice in the sheet.
    checked.candidates.reserve(staging.rows().size());
    for (qsizetype i = 0; i < staging.size(); ++i) {
        const StagedRow &row = staging.rows()[size_t(i)];
        QStringList blank;
        for (int c : staging.requiredColumns())
            if (row.values[c].isNull())
                blank << table.columns[c].name;
        if (!blank.isEmpty()) {
            checked.refused.append({row.sheetRow, row.detail, u"required field %1 is blank"_s.arg(blank.join(u", "_s))});
            continue;
        }
        if (!d->keyColumns.isEmpty()) {
            const QString key = keyOf(row, d->keyColumns);
            const auto first = d->firstRowOfKey.constFind(key);
            if (first == d->firstRowOfKey.cend()) {
                d->firstRowOfKey.insert(key, row.sheetRow);
            } else {
                checked.refused.append(
                    {row.sheetRow, row.detail, u"the same %1 as row %2"_s.arg(table.uniqueKeys.first().join(u", "_s)).arg(*first)});
                continue;
            }
        }
        checked.candidates.push_back(i);
    }
    if (d->inserter.takesArrays()) {
        const size_t batchRows = size_t(d->inserter.batchRows());
        std::vector<qsizetype> batch;
        for (size_t start = 0; start < checked.candidates.size(); start += batchRows) {
            batch.assign(checked.candidates.begin() + qsizetype(start),
                         checked.candidates.begin() + qsizetype(std::min(checked.candidates.size(), start + batchRows)));
            checked.arrays.push_back(batch.size() > 1 ? d->inserter.arrayValues(staging, batch) : QVariantList());
        }
    }
    return checked;
}

bool StagedRowsApplier::store(const Checked &checked, const ApplyProgress &progress)
{
    ApplyResult &result = d->result;
    const StagingTable &staging = *checked.rows;
    for (const RefusedRow &row : checked.refused)
        if (d->refuse(row))
            return d->stop();

    // Rows go in batches, each at a savepoint; a batch the database refuses is undone and its rows
    // tried one by one, each at its own savepoint, so a refused row takes no other with it.
    Connection &connection = d->connection;
    const auto single = [&](qsizetype index) {
        connection.exec(u"SAVEPOINT import_row"_s);
        try {
            d->inserter.insert(staging, {index});
            connection.exec(u"RELEASE SAVEPOINT import_row"_s);
            ++result.stored;
        } catch (const DatabaseError &e) {
            connection.exec(u"ROLLBACK TO SAVEPOINT import_row"_s);
            connection.exec(u"RELEASE SAVEPOINT import_row"_s);
            const StagedRow &row = staging.rows()[size_t(index)];
            if (d->refuse({row.sheetRow, row.detail, reasonOf(e, d->table)}))
                return false;
        }
        return true;
    };
    const std::vector<qsizetype> &candidates = checked.candidates;
    std::vector<qsizetype> batch;
    const int batchRows = d->inserter.batchRows();
    for (size_t start = 0, number = 0; start < candidates.size(); start += size_t(batchRows), ++number) {
        const size_t end = std::min(candidates.size(), start + size_t(batchRows));
        batch.assign(candidates.begin() + qsizetype(start), candidates.begin() + qsizetype(end));
        bool inserted = false;
        if (batch.size() > 1) {
            connection.exec(u"SAVEPOINT import_batch"_s);
            try {
                if (number < checked.arrays.size())
                    d->inserter.insertArrays(checked.arrays[number]);
                else
                    d->inserter.insert(staging, batch);
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
                if (!single(index))
                    return d->stop(); // the caller's transaction rolls back
        if (progress &&
            !progress(d->handled + qint64(end) + qint64(staging.rows().size() - candidates.size()))) {
            result.cancelled = true;
            result.stored = 0;
            return false;
        }
    }
    d->handled += staging.size();
    return true;
}

bool StagedRowsApplier::apply(const StagingTable &piece, const ApplyProgress &progress)
{
    // Borrowed, not owned: the piece outlives the call.
    return store(check(std::shared_ptr<const StagingTable>(&piece, [](const StagingTable *) {})), progress);
}

ApplyResult StagedRowsApplier::result() const
{
    ApplyResult result = d->result;
    sortBySheetRow(result);
    return result;
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
    // A column no row gives a value is left out of the statements: a wide table with a few columns
    // filled (a sheet maps some of its fields) then takes many more rows per statement.
    QList<int> written;
    for (int c = 0; c < staging.columnCount(); ++c)
        if (std::any_of(staging.rows().begin(), staging.rows().end(),
                        [&](const StagedRow &row) { return !row.values[c].isNull(); }))
            written << c;
    StagedRowsApplier applier(connection, staging, written, maxErrors);
    applier.apply(staging, progress);
    return applier.result();
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
