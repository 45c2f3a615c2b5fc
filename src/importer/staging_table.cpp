// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/staging_table.h"

#include "controls/cell_value.h"
#include "core/errors.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

bool parseInteger(const QString &text, qint64 low, qint64 high, QVariant &value)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    if (!ok || n < low || n > high)
        return false;
    value = int(n);
    return true;
}

} // namespace

StagingTable::StagingTable(const QString &table, const QStringList &requiredFields)
    : m_table(Schema::table(table))
{
    if (!m_table)
        throw InputError(u"There is no table %1."_s.arg(table));
    for (int i = 0; i < m_table->columns.size(); ++i)
        m_columnsByName.insert(m_table->columns[i].name.toLower(), i);
    for (int i = 0; i < m_table->columns.size(); ++i) {
        const ColumnDef &column = m_table->columns[i];
        if (column.required || requiredFields.contains(column.name, Qt::CaseInsensitive))
            m_required << i;
    }
}

int StagingTable::fieldIndex(const QString &name) const
{
    return m_columnsByName.value(name.trimmed().toLower(), -1);
}

void StagingTable::append(int sheetRow, const QString &detail)
{
    if (m_appending)
        cancel();
    m_rows.push_back({sheetRow, detail, QVariantList(m_table->columns.size())});
    m_appending = true;
}

bool StagingTable::convertText(const ColumnDef &column, const QString &text, QVariant &value)
{
    if (text.trimmed().isEmpty()) {
        value = QVariant();
        return true;
    }
    switch (column.type) {
    case ColumnType::Text:
        // Cut to the column's width, as the stored format keeps a text.
        value = column.width > 0 && text.size() > column.width ? text.left(column.width) : text;
        return true;
    case ColumnType::Memo:
    case ColumnType::FormattedMemo:
        value = text;
        return true;
    case ColumnType::Int16:
        return parseInteger(text, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max(),
                            value);
    case ColumnType::Int32:
    case ColumnType::AutoInc:
        return parseInteger(text, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(),
                            value);
    case ColumnType::Float: {
        double number = 0;
        if (!parseNumberText(text, number) || !std::isfinite(number))
            return false;
        value = number;
        return true;
    }
    case ColumnType::Date: {
        // An ISO date as typed, or the day number a date cell holds.
        double serial = 0;
        if (!dateTextToSerial(text, false, serial) && !parseNumberText(text, serial))
            return false;
        if (!std::isfinite(serial) || serial < 1 || serial > 2958465)
            return false;
        value = QDate(1899, 12, 30).addDays(qint64(std::floor(serial)));
        return true;
    }
    case ColumnType::Graphic:
        return false;
    }
    return false;
}

bool StagingTable::setText(int column, const QString &text)
{
    if (!m_appending || column < 0 || column >= columnCount())
        return false;
    QVariant value;
    if (!convertText(m_table->columns[column], text, value))
        return false;
    m_rows.back().values[column] = value;
    return true;
}

void StagingTable::setValue(int column, const QVariant &value)
{
    if (m_appending && column >= 0 && column < columnCount())
        m_rows.back().values[column] = value;
}

void StagingTable::post()
{
    m_appending = false;
}

void StagingTable::cancel()
{
    if (m_appending)
        m_rows.pop_back();
    m_appending = false;
}

void StagingTable::fillBlank(int column, const QVariant &value)
{
    if (column < 0)
        return;
    for (StagedRow &row : m_rows)
        if (row.values[column].isNull())
            row.values[column] = value;
}

qsizetype StagingTable::removeIf(const std::function<bool(const StagedRow &)> &predicate)
{
    const auto end = std::remove_if(m_rows.begin(), m_rows.end(), predicate);
    const qsizetype removed = qsizetype(m_rows.end() - end);
    m_rows.erase(end, m_rows.end());
    return removed;
}

} // namespace kv
