// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/workbook_sheet.h"

#include "controls/cell_value.h"
#include "core/errors.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kv {

void WorkbookSheet::check(int row, int column) const
{
    if (row < 1 || row > MaxRows)
        throw InputError(u"Row %1 is outside the sheet (1 to %2)."_s.arg(row).arg(MaxRows));
    if (column < 1 || column > MaxColumns)
        throw InputError(u"Column %1 is outside the sheet (1 to %2)."_s.arg(column).arg(MaxColumns));
}

const WorkbookSheet::Entry *WorkbookSheet::find(int row, int column) const
{
    if (row < 1 || std::size_t(row) > m_rows.size())
        return nullptr;
    const auto &cells = m_rows[row - 1];
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Entry &e, int c) { return e.column < c; });
    return it != cells.end() && it->column == column ? &*it : nullptr;
}

WorkbookSheet::Entry &WorkbookSheet::slot(int row, int column)
{
    check(row, column);
    if (std::size_t(row) > m_rows.size())
        m_rows.resize(row);
    auto &cells = m_rows[row - 1];
    // A sheet's rows are mostly as wide as the one above: a new row takes that room at once.
    if (cells.empty() && row > 1)
        cells.reserve(m_rows[row - 2].size());
    // Cells mostly arrive in order: appending is the common case.
    if (cells.empty() || cells.back().column < column) {
        Entry e;
        e.column = column;
        e.length = Entry::NumberTag;
        e.number = 0;
        cells.push_back(e);
        ++m_cellCount;
        return cells.back();
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Entry &e, int c) { return e.column < c; });
    if (it == cells.end() || it->column != column) {
        Entry e;
        e.column = column;
        e.length = Entry::NumberTag;
        e.number = 0;
        it = cells.insert(it, e);
        ++m_cellCount;
    } else if (it->length != Entry::NumberTag) {
        m_deadChars += it->length;
    }
    return *it;
}

CellKind WorkbookSheet::kind(int row, int column) const
{
    const Entry *e = find(row, column);
    return e ? e->kindOf() : CellKind::Empty;
}

QString WorkbookSheet::text(int row, int column) const
{
    const Entry *e = find(row, column);
    if (!e)
        return {};
    if (e->length == Entry::NumberTag)
        return generalNumberText(e->number);
    return QString(reinterpret_cast<const QChar *>(m_pool.data() + e->offset), qsizetype(e->length));
}

double WorkbookSheet::number(int row, int column) const
{
    const Entry *e = find(row, column);
    if (!e)
        return 0;
    if (e->length == Entry::NumberTag)
        return e->number;
    double value = 0;
    const QStringView text(m_pool.data() + e->offset, qsizetype(e->length));
    return parseNumberText(text, value) ? value : 0.0;
}

void WorkbookSheet::setText(int row, int column, QStringView text)
{
    if (text.isEmpty()) {  // an empty text leaves the cell empty, as typing nothing does
        check(row, column);
        clearCell(row, column);
        return;
    }
    const auto *chars = reinterpret_cast<const char16_t *>(text.utf16());
    if (chars >= m_pool.data() && chars < m_pool.data() + m_pool.size()) {
        const QString copy = text.toString();  // the pool may move under a view into itself
        setText(row, column, copy);
        return;
    }
    if (m_deadChars > (1u << 20) && m_deadChars > m_pool.size() / 2) {
        // Rewriting texts over and over leaves dead characters behind: pack the pool now and then.
        std::u16string packed;
        packed.reserve(m_pool.size() - m_deadChars + std::size_t(text.size()));
        for (auto &cells : m_rows)
            for (Entry &e : cells)
                if (e.length != Entry::NumberTag) {
                    const std::uint64_t at = packed.size();
                    packed.append(m_pool, e.offset, e.length);
                    e.offset = at;
                }
        m_pool.swap(packed);
        m_deadChars = 0;
    }
    Entry &e = slot(row, column);
    e.offset = m_pool.size();
    e.length = std::uint32_t(text.size());
    m_pool.append(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
}

void WorkbookSheet::setNumber(int row, int column, double value)
{
    Entry &e = slot(row, column);
    e.length = Entry::NumberTag;
    e.number = value;
}

void WorkbookSheet::clearCell(int row, int column)
{
    if (row < 1 || std::size_t(row) > m_rows.size())
        return;
    auto &cells = m_rows[row - 1];
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Entry &e, int c) { return e.column < c; });
    if (it == cells.end() || it->column != column)
        return;
    if (it->length != Entry::NumberTag)
        m_deadChars += it->length;
    cells.erase(it);
    --m_cellCount;
    trimRows();
}

void WorkbookSheet::trimRows()
{
    while (!m_rows.empty() && m_rows.back().empty())
        m_rows.pop_back();
    if (m_cellCount == 0) {
        m_rows.clear();
        m_pool.clear();
        m_deadChars = 0;
    }
}

int WorkbookSheet::lastColumn() const
{
    int last = 0;
    for (const auto &cells : m_rows)
        if (!cells.empty())
            last = std::max(last, cells.back().column);
    return last;
}

int WorkbookSheet::firstRow() const
{
    for (std::size_t r = 0; r < m_rows.size(); ++r)
        if (!m_rows[r].empty())
            return int(r) + 1;
    return 0;
}

int WorkbookSheet::firstColumn() const
{
    int first = 0;
    for (const auto &cells : m_rows)
        if (!cells.empty() && (first == 0 || cells.front().column < first))
            first = cells.front().column;
    return first;
}

int WorkbookSheet::rowCellCount(int row) const
{
    return row >= 1 && std::size_t(row) <= m_rows.size() ? int(m_rows[row - 1].size()) : 0;
}

} // namespace kv
