// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dataset.h"

#include "data/connection.h"
#include "data/schema.h"

#include <QDate>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <climits>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// How many rows a dataset keeps around its cursor; moving back past them re-runs the query.
constexpr int browseWindow = 20000;
constexpr int forwardOnlyWindow = 256;
// Rows read at once when a query runs: small results are read whole and their cursor is closed at once.
constexpr int prefetchRows = 100;
// Rows a server cursor hands over at a time.
constexpr int cursorBatch = 1000;

QString withoutQuotedText(const QString &sql)
{
    static const QRegularExpression quoted(u"'(?:[^']|'')*'"_s);
    QString text = sql;
    text.replace(quoted, u"''"_s);
    return text;
}

// The condition that writes one row only: the first row matching the values read, found by the
// engine's row identity; every matching row where the engine has none.
QString oneRowCondition(const QString &identity, const QString &table, const QString &where)
{
    if (identity.isEmpty())
        return where;
    return u"%1 = (SELECT %1 FROM %2 WHERE %3 LIMIT 1)"_s.arg(identity, table, where);
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

} // namespace

Dataset::Dataset(const QString &name, Connection *connection, QObject *parent)
    : QObject(parent), m_name(name), m_connection(connection)
{
    setObjectName(name);
}

Dataset::~Dataset()
{
    releaseCursor();
    if (m_connection)
        m_connection->dropStreamingDatabase(this);
}

void Dataset::setConnection(Connection *connection)
{
    close();
    releaseCursor();
    if (m_connection)
        m_connection->dropStreamingDatabase(this);
    m_connection = connection;
}

void Dataset::setSql(const QStringList &lines)
{
    close();
    m_sql = lines;
}

void Dataset::setMaster(Dataset *master)
{
    if (m_master) {
        disconnect(m_masterScroll);
        disconnect(m_masterOpen);
        disconnect(m_masterClose);
    }
    m_master = master;
    if (m_master) {
        m_masterScroll = connect(m_master, &Dataset::afterScroll, this, &Dataset::onMasterChanged);
        m_masterOpen = connect(m_master, &Dataset::afterOpen, this, &Dataset::onMasterChanged);
        m_masterClose = connect(m_master, &Dataset::afterClose, this, &Dataset::onMasterChanged);
    }
}

void Dataset::setParam(const QString &name, const QVariant &value)
{
    m_params.insert(name.toLower(), value);
}

QStringList Dataset::paramNames() const
{
    static const QRegularExpression placeholder(u"(?<![:\\w]):([A-Za-z_]\\w*)"_s);
    QStringList names;
    auto it = placeholder.globalMatch(withoutQuotedText(sqlText()));
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (!names.contains(name))
            names << name;
    }
    return names;
}

QString Dataset::tableName() const
{
    if (!m_tableName.isEmpty())
        return m_tableName;
    static const QRegularExpression singleTable(
        u"^\\s*select\\s.+?\\sfrom\\s+(\\w+)\\s*(?:$|where\\s|order\\s)"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = singleTable.match(withoutQuotedText(sqlText()));
    return match.hasMatch() ? match.captured(1) : QString();
}

void Dataset::prepare()
{
    if (!m_connection)
        throw Error(u"The dataset %1 has no connection."_s.arg(m_name));
}

void Dataset::requireOpen() const
{
    if (m_state == State::Inactive)
        throw Error(u"%1: Cannot perform this operation on a closed dataset."_s.arg(m_name));
}

QString Dataset::effectiveSql() const
{
    // The text is adapted before the filter wraps it, so the adapter sees it as written.
    QString text = m_connection->adapt(sqlText());
    if (m_filtered && !m_filter.trimmed().isEmpty())
        text = u"select * from (\n%1\n) kv_filter where %2"_s.arg(text, m_filter);
    return text;
}

void Dataset::bindParams(QSqlQuery &query) const
{
    const bool masterHasRow = m_master && m_master->isOpen() && !m_master->isEmpty();
    for (const QString &param : paramNames()) {
        QVariant value;
        if (m_params.contains(param.toLower())) {
            value = m_params.value(param.toLower());
        } else if (m_master) {
            if (m_master->isOpen() && !m_master->hasField(param))
                throw Error(u"%1: the master %2 has no field %3 for the parameter."_s.arg(m_name, m_master->name(),
                                                                                          param));
            if (masterHasRow)
                value = m_master->value(param);
        }
        query.bindValue(u':' + param, value);
    }
}

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

void Dataset::open()
{
    if (isOpen())
        return;
    execute();
    m_countCache = -1;
    m_position = -1;
    m_state = State::Browse;
    m_bof = true;
    m_eof = true;
    ensureRow(prefetchRows - 1);
    if (ensureRow(0)) {
        m_position = 0;
        m_eof = false;
    }
    emit stateChanged();
    emit afterOpen();
    notifyScroll();
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
    if (!query->exec(u"DECLARE kv_rows NO SCROLL CURSOR FOR\n"_s + text) ||
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

void Dataset::close()
{
    if (m_state == State::Inactive)
        return;
    releaseCursor();
    m_rows.clear();
    m_buffer.clear();
    m_position = -1;
    m_windowStart = 0;
    m_fetched = 0;
    m_fetchedAll = false;
    m_countCache = -1;
    m_state = State::Inactive;
    m_bof = m_eof = true;
    m_resetPending = false;
    emit stateChanged();
    emit rowsReset();
    emit afterClose();
}

void Dataset::refresh()
{
    requireOpen();
    const int row = std::max(m_position, 0);
    if (m_state != State::Browse)
        cancel();
    execute();
    m_countCache = -1;
    m_position = -1;
    m_bof = m_eof = true;
    if (ensureRow(row) || (row > 0 && ensureRow(0) && (fetchAll(), true))) {
        m_position = std::min(row, m_windowStart + int(m_rows.size()) - 1);
        if (m_position < m_windowStart)
            ensureRow(m_position);
        m_bof = m_position == 0;
        m_eof = false;
    }
    notifyScroll();
}

void Dataset::rerunAtFirst()
{
    if (m_state != State::Browse)
        post();
    execute();
    m_countCache = -1;
    m_position = -1;
    m_bof = m_eof = true;
    if (ensureRow(0)) {
        m_position = 0;
        m_eof = false;
    }
    notifyScroll();
}

void Dataset::onMasterChanged()
{
    if (isOpen())
        rerunAtFirst();
}

void Dataset::notifyScroll()
{
    if (m_resetPending && m_disableCount == 0) {
        m_resetPending = false;
        emit rowsReset();
    }
    if (m_disableCount > 0) {
        m_scrollPending = true;
        return;
    }
    emit afterScroll();
}

void Dataset::disableControls()
{
    ++m_disableCount;
}

void Dataset::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_scrollPending) {
        m_scrollPending = false;
        notifyScroll();
    }
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

void Dataset::setFilter(const QString &condition)
{
    m_filter = condition;
    if (isOpen() && m_filtered)
        refresh();
}

void Dataset::setFiltered(bool filtered)
{
    if (m_filtered == filtered)
        return;
    m_filtered = filtered;
    if (isOpen())
        rerunAtFirst();
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
