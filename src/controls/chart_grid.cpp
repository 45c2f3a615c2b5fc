// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/chart_grid.h"

#include "core/errors.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

void checkCount(int count, const QString &what)
{
    if (count < 0 || count > ChartGrid::MaxCount)
        throw InputError(
            u"The chart's %1 count %2 is outside 0 to %3."_s.arg(what).arg(count).arg(ChartGrid::MaxCount));
}

void checkIndex(int index, int count, const QString &what)
{
    if (index < 1 || index > count) {
        if (count == 0)
            throw InputError(u"The chart has no %1s, so %1 %2 cannot be selected."_s.arg(what).arg(index));
        throw InputError(u"Chart %1 %2 is outside %1s 1 to %3."_s.arg(what).arg(index).arg(count));
    }
}

void checkFinite(double value, const QString &what)
{
    if (!std::isfinite(value))
        throw InputError(u"The chart's %1 %2 is not a finite number."_s.arg(what).arg(value));
}

void checkAxis(int axis)
{
    if (axis != AxisX && axis != AxisY)
        throw InputError(u"Chart axis %1 does not exist; the axes are 0 (X) and 1 (Y)."_s.arg(axis));
}

} // namespace

ChartGrid::ChartGrid(int rowCount, int columnCount)
{
    setRowCount(rowCount);
    setColumnCount(columnCount);
}

void ChartGrid::setRowCount(int count)
{
    checkCount(count, u"row"_s);
    if (count < m_rowCount) {
        for (auto it = m_cells.begin(); it != m_cells.end();) {
            if (int(it.key() & 0xffff) > count)
                it = m_cells.erase(it);
            else
                ++it;
        }
    }
    m_rowCount = count;
    if (count == 0)
        m_row = 0;
    else
        m_row = std::clamp(m_row, 1, count);
}

void ChartGrid::setColumnCount(int count)
{
    checkCount(count, u"column"_s);
    if (count < m_columnCount) {
        for (auto it = m_cells.begin(); it != m_cells.end();) {
            if (int(it.key() >> 16) > count)
                it = m_cells.erase(it);
            else
                ++it;
        }
        for (auto it = m_labels.begin(); it != m_labels.end();) {
            if (it.key() > count)
                it = m_labels.erase(it);
            else
                ++it;
        }
    }
    m_columnCount = count;
    if (count == 0)
        m_column = 0;
    else
        m_column = std::clamp(m_column, 1, count);
}

void ChartGrid::setRow(int row)
{
    checkIndex(row, m_rowCount, u"row"_s);
    m_row = row;
}

void ChartGrid::setColumn(int column)
{
    checkIndex(column, m_columnCount, u"column"_s);
    m_column = column;
}

void ChartGrid::setData(const QString &text)
{
    if (m_row < 1 || m_column < 1)
        throw InputError(
            u"The chart has no current cell to write \"%1\" into (%2 rows, %3 columns)."_s.arg(text)
                .arg(m_rowCount)
                .arg(m_columnCount));
    const std::optional<double> number = parseNumber(text);
    if (number)
        m_cells.insert(key(m_row, m_column), *number);
    else
        m_cells.remove(key(m_row, m_column));
}

void ChartGrid::setColumnLabel(const QString &text)
{
    if (m_column < 1)
        throw InputError(u"The chart has no columns to label \"%1\"."_s.arg(text));
    m_labels.insert(m_column, text);
}

ChartAxis &ChartGrid::axisRef(int axis)
{
    checkAxis(axis);
    return m_axes[axis];
}

const ChartAxis &ChartGrid::axis(int axis) const
{
    checkAxis(axis);
    return m_axes[axis];
}

void ChartGrid::setAxisAuto(int axis, bool automatic)
{
    axisRef(axis).automatic = automatic;
}

void ChartGrid::setAxisMaximum(int axis, double maximum)
{
    ChartAxis &scale = axisRef(axis);
    checkFinite(maximum, u"axis maximum"_s);
    scale.maximum = maximum;
    scale.automatic = false;
}

void ChartGrid::setAxisMinimum(int axis, double minimum)
{
    ChartAxis &scale = axisRef(axis);
    checkFinite(minimum, u"axis minimum"_s);
    scale.minimum = minimum;
    scale.automatic = false;
}

void ChartGrid::setAxisMajorDivisions(int axis, int divisions)
{
    ChartAxis &scale = axisRef(axis);
    if (divisions < 1 || divisions > MaxCount)
        throw InputError(
            u"The chart's number of major divisions %1 is outside 1 to %2."_s.arg(divisions).arg(MaxCount));
    scale.majorDivisions = divisions;
}

void ChartGrid::setAxisTitle(int axis, const QString &title)
{
    axisRef(axis).title = title;
}

std::optional<double> ChartGrid::value(int row, int column) const
{
    if (row < 1 || row > m_rowCount || column < 1 || column > m_columnCount)
        return std::nullopt;
    const auto it = m_cells.constFind(key(row, column));
    if (it == m_cells.constEnd())
        return std::nullopt;
    return *it;
}

QVector<double> ChartGrid::columnValues(int column) const
{
    QVector<double> values(m_rowCount, std::numeric_limits<double>::quiet_NaN());
    if (column < 1 || column > m_columnCount)
        return values;
    for (int row = 1; row <= m_rowCount; ++row) {
        const auto it = m_cells.constFind(key(row, column));
        if (it != m_cells.constEnd())
            values[row - 1] = *it;
    }
    return values;
}

QString ChartGrid::columnLabel(int column) const
{
    return m_labels.value(column);
}

void ChartGrid::clearData()
{
    m_cells.clear();
    m_labels.clear();
}

void ChartGrid::setOutline(int firstColumn, bool outline)
{
    if (firstColumn < 1 || firstColumn > MaxCount || firstColumn % 2 == 0)
        throw InputError(
            u"Chart column %1 does not start a column pair; pairs start at odd columns 1 to %2."_s
                .arg(firstColumn)
                .arg(MaxCount));
    if (outline)
        m_outlines.insert(firstColumn);
    else
        m_outlines.remove(firstColumn);
}

int ChartGrid::seriesCount() const
{
    return m_style == ChartStyle::Dates ? m_columnCount / 3 : m_columnCount / 2;
}

int ChartGrid::seriesFirstColumn(int series) const
{
    return m_style == ChartStyle::Dates ? 3 * series - 2 : 2 * series - 1;
}

std::optional<double> ChartGrid::parseNumber(const QString &text)
{
    QString number = text.trimmed();
    if (number.isEmpty())
        return std::nullopt;
    // The graph commands format with the locale's decimal separator, so a comma is a decimal comma;
    // a text holding both could be read two ways and is refused.
    const bool comma = number.contains(u',');
    if (comma && (number.contains(u'.') || number.count(u',') > 1))
        throw InputError(u"The chart value \"%1\" is not a decimal number."_s.arg(text));
    if (comma)
        number.replace(u',', u'.');
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        throw InputError(u"The chart value \"%1\" is not a decimal number."_s.arg(text));
    return value;
}

} // namespace kv
