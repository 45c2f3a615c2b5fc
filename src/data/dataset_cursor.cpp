// SPDX-License-Identifier: GPL-3.0-or-later
// The dataset's cursor: running the query, fetching rows as the cursor reaches them, the window of rows
// kept, and moving through them.
#include "data/dataset.h"

#include "data/connection.h"
#include "data/dataset_values.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// How many rows a dataset keeps around its cursor; moving back past them re-runs the query.
constexpr int browseWindow = 20000;
constexpr int forwardOnlyWindow = 256;
// Rows a server cursor hands over at a time.
constexpr int cursorBatch = 1000;

using dataset::sameValue;

} // namespace

void Dataset::execute()
{
    prepare();
    releaseCursor();
    // PostgreSQL's driver streams a forward-only result only while no other statement runs on the
    // connection: a streamed dataset gets a connection of its own, the others receive their (small)
    // result whole and read it row by row from the client library. A streamed text without parameters
    // is read through a server cursor (the driver cannot prepare a DECLARE with parameters).
    const bool ownStream = m_connection->engine().streamsOnOwnConnection();
    const QString text = effectiveSql();
    std::unique_ptr<QSqlQuery> query;
    if (ownStream && m_streamed && paramNames().isEmpty()) {
        query = openServerCursor(text);
    } else {
        query = std::make_unique<QSqlQuery>(ownStream && m_streamed ? m_connection->streamingDatabase(this)
                                                                    : m_connection->database());
        query->setForwardOnly(!ownStream || m_streamed);
        if (!query->prepare(text))
            throw m_connection->translate(query->lastError(), text);
        bindParams(*query);
        if (!query->exec())
            throw m_connection->translate(query->lastError(), text);
    }

    const QSqlRecord record = query->record();
    m_columns.clear();
    m_columnTypes.clear();
    m_columnIndex.clear();
    const TableDef *table = Schema::table(tableName());
    for (int i = 0; i < record.count(); ++i) {
        const QString name = Schema::columnSpelling(record.fieldName(i));
        const ColumnDef *column = table ? table->column(name) : nullptr;
        if (!column)
            column = Schema::anyColumn(name);
        m_columns << name;
        m_columnTypes << (column ? column->metaType() : QMetaType::Type(record.field(i).metaType().id()));
        if (!m_columnIndex.contains(name.toLower()))
            m_columnIndex.insert(name.toLower(), i);
    }
    m_query = std::move(query);
    m_connection->addReader(this);
    m_rows.clear();
    m_windowStart = 0;
    m_fetched = 0;
    m_fetchedAll = false;
    m_resetPending = true;
}

bool Dataset::fetchOne()
{
    if (m_fetchedAll)
        return false;
    if (!m_query) {
        // the cursor was released: run the query again and skip what was read before
        const int windowStart = m_windowStart;
        const int read = m_fetched;
        std::deque<Row> rows;
        rows.swap(m_rows);
        execute();
        m_rows.swap(rows);
        m_windowStart = windowStart;
        while (m_fetched < read && nextRow())
            ++m_fetched;
        if (m_fetched < read) {
            m_fetchedAll = true;
            return false;
        }
    }
    if (!nextRow()) {
        m_fetchedAll = true;
        if (m_query->lastError().isValid() && m_query->lastError().type() != QSqlError::NoError)
            throw m_connection->translate(m_query->lastError(), sqlText());
        releaseCursor();
        return false;
    }
    Row row;
    row.reserve(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i)
        row << normalize(i, m_query->value(i));
    m_rows.push_back(std::move(row));
    ++m_fetched;
    trimWindow();
    return true;
}

void Dataset::trimWindow()
{
    const size_t limit = m_forwardOnly ? forwardOnlyWindow : browseWindow;
    while (m_rows.size() > limit && m_windowStart < m_position) {
        m_rows.pop_front();
        ++m_windowStart;
    }
    // A long walk forward (last(), a locate) moves the window along with it.
    while (m_rows.size() > 2 * limit) {
        m_rows.pop_front();
        ++m_windowStart;
    }
}

void Dataset::restartAt(int row)
{
    execute();
    const int keep = (m_forwardOnly ? forwardOnlyWindow : browseWindow) / 2;
    const int skip = std::max(0, row - keep);
    while (m_fetched < skip && nextRow())
        ++m_fetched;
    m_windowStart = m_fetched;
}

bool Dataset::ensureRow(int row)
{
    if (row < 0)
        return false;
    if (row < m_windowStart)
        restartAt(row);
    while (row >= m_windowStart + int(m_rows.size())) {
        if (!fetchOne())
            return false;
    }
    return true;
}

void Dataset::fetchAll()
{
    while (fetchOne()) {
    }
}

const Dataset::Row *Dataset::currentRow() const
{
    if (m_state == State::Edit || m_state == State::Insert)
        return &m_buffer;
    if (m_position < m_windowStart || m_position >= m_windowStart + int(m_rows.size()))
        return nullptr;
    return &m_rows[size_t(m_position - m_windowStart)];
}

void Dataset::releaseCursor()
{
    if (m_query) {
        m_query.reset();
        if (m_connection)
            m_connection->removeReader(this);
    }
    if (m_serverCursor) {
        // Ending the transaction closes the cursor, without reading the rows left.
        m_serverCursor = false;
        if (m_connection && m_connection->isOpen())
            m_connection->streamingDatabase(this).rollback();
    }
}

std::unique_ptr<QSqlQuery> Dataset::openServerCursor(const QString &text)
{
    // Read through a cursor, the planner prefers plans that give the first rows soon (an index in the
    // order asked for) over plans that sort every row first.
    QSqlDatabase db = m_connection->streamingDatabase(this);
    if (!db.transaction())
        throw m_connection->translate(db.lastError(), u"BEGIN"_s);
    m_serverCursor = true;
    auto query = std::make_unique<QSqlQuery>(db);
    // The cursor only reads: in a read-only transaction nothing a text may carry after its select
    // (a second statement, a function that writes) can change a stored row.
    if (!query->exec(u"SET TRANSACTION READ ONLY"_s) ||
        !query->exec(u"DECLARE kv_rows NO SCROLL CURSOR FOR\n"_s + text) ||
        !query->exec(u"FETCH %1 FROM kv_rows"_s.arg(cursorBatch))) {
        const DatabaseError error = m_connection->translate(query->lastError(), text);
        query.reset();
        releaseCursor();
        throw error;
    }
    m_batchRows = 0;
    return query;
}

bool Dataset::nextRow()
{
    if (m_query->next()) {
        ++m_batchRows;
        return true;
    }
    if (!m_serverCursor || m_batchRows < cursorBatch)
        return false;
    m_batchRows = 0;
    if (!m_query->exec(u"FETCH %1 FROM kv_rows"_s.arg(cursorBatch)))
        throw m_connection->translate(m_query->lastError(), sqlText());
    if (!m_query->next())
        return false;
    ++m_batchRows;
    return true;
}

bool Dataset::isEmpty() const
{
    return m_state == State::Inactive || (m_position < 0 && m_state != State::Insert);
}

void Dataset::first()
{
    requireOpen();
    if (m_state != State::Browse && !post())
        return;
    m_bof = true;
    if (ensureRow(0)) {
        m_position = 0;
        m_eof = false;
    } else {
        m_position = -1;
        m_eof = true;
    }
    notifyScroll();
}

void Dataset::next()
{
    requireOpen();
    if (m_state != State::Browse && !post())
        return;
    if (m_position >= 0 && ensureRow(m_position + 1)) {
        ++m_position;
        m_bof = false;
        m_eof = false;
        notifyScroll();
    } else {
        if (m_position >= 0)
            ensureRow(m_position);
        m_eof = true;
    }
}

void Dataset::prior()
{
    requireOpen();
    if (m_state != State::Browse && !post())
        return;
    if (m_position > 0 && ensureRow(m_position - 1)) {
        --m_position;
        m_eof = false;
        m_bof = false;
        notifyScroll();
    } else {
        m_bof = true;
    }
}

void Dataset::last()
{
    requireOpen();
    if (m_state != State::Browse && !post())
        return;
    fetchAll();
    const int total = m_windowStart + int(m_rows.size());
    m_position = total - 1;
    m_eof = true;
    m_bof = total <= 1;
    notifyScroll();
}

bool Dataset::moveTo(int row)
{
    requireOpen();
    if (m_state != State::Browse && !post())
        return false;
    if (!ensureRow(row))
        return false;
    m_position = row;
    m_bof = m_eof = false;
    notifyScroll();
    return true;
}

void Dataset::moveBy(int distance)
{
    requireOpen();
    if (distance == 0 || m_position < 0)
        return;
    const int target = m_position + distance;
    if (target < 0) {
        first();
        m_bof = true;
    } else if (!moveTo(target)) {
        last();
    }
}

int Dataset::recordCount()
{
    requireOpen();
    if (m_fetchedAll)
        return m_windowStart + int(m_rows.size());
    if (m_countCache < 0) {
        QSqlQuery count(m_connection->database());
        const QString text = u"select count(*) from (\n%1\n) kv_count"_s.arg(effectiveSql());
        if (!count.prepare(text))
            throw m_connection->translate(count.lastError(), text);
        bindParams(count);
        if (!count.exec() || !count.next())
            throw m_connection->translate(count.lastError(), text);
        m_countCache = count.value(0).toInt();
    }
    return m_countCache;
}

bool Dataset::locate(const QString &field, const QVariant &value, Qt::CaseSensitivity cs)
{
    requireOpen();
    if (m_state != State::Browse && !post())
        return false;
    const int column = columnIndex(field);
    const int calculated = calculatedIndex(field);
    if (column < 0 && calculated < 0)
        throw Error(u"%1: Field '%2' not found."_s.arg(m_name, field));
    const int saved = m_position;
    for (int row = 0; ensureRow(row); ++row) {
        m_position = row; // so that calculated fields see this row
        const QVariant candidate = value.isNull() ? QVariant() : this->value(field);
        const bool match = value.isNull() ? this->value(field).isNull()
                           : (value.metaType().id() == QMetaType::QString || candidate.metaType().id() == QMetaType::QString)
                               ? candidate.toString().compare(value.toString(), cs) == 0
                               : sameValue(candidate, value);
        if (match) {
            m_bof = row == 0;
            m_eof = false;
            notifyScroll();
            return true;
        }
    }
    m_position = saved;
    if (m_position >= 0)
        ensureRow(m_position);
    return false;
}

} // namespace kv
