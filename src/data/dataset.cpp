// SPDX-License-Identifier: GPL-3.0-or-later
// The dataset's text, parameters and master, opening and closing, signals and filter. The cursor, the
// fields and the editing live in dataset_cursor.cpp, dataset_fields.cpp and dataset_editing.cpp.
#include "data/dataset.h"

#include "data/connection.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Rows read at once when a query runs: small results are read whole and their cursor is closed at once.
constexpr int prefetchRows = 100;

QString withoutQuotedText(const QString &sql)
{
    static const QRegularExpression quoted(u"'(?:[^']|'')*'"_s);
    QString text = sql;
    text.replace(quoted, u"''"_s);
    return text;
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

} // namespace kv
