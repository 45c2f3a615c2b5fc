// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

enum class CellKind : std::uint8_t { Empty, Number, Text };

/// One sheet of a workbook: a sparse grid of text and number cells, rows and columns numbered from 1.
/// Rows are an index of small column-sorted vectors of 16-byte entries, texts live in one pool, so a
/// million cells take tens of megabytes, not hundreds.
class WorkbookSheet
{
public:
    static constexpr int MaxRows = 1048576;  // what .xlsx holds
    static constexpr int MaxColumns = 16384;

    explicit WorkbookSheet(const QString &name = {}) : m_name(name) {}

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    CellKind kind(int row, int column) const;
    /// The text of a text cell, a number in general format, empty for an empty cell.
    QString text(int row, int column) const;
    /// The value of a number cell, the number a text cell reads as, 0 otherwise.
    double number(int row, int column) const;

    void setText(int row, int column, QStringView text);
    void setNumber(int row, int column, double value);
    void clearCell(int row, int column);

    /// Highest row holding a cell (0 when the sheet is empty).
    int lastRow() const { return static_cast<int>(m_rows.size()); }
    /// Highest column holding a cell (0 when empty).
    int lastColumn() const;
    /// Lowest row and column holding a cell (0 when empty).
    int firstRow() const;
    int firstColumn() const;
    std::size_t cellCount() const { return m_cellCount; }
    bool isEmpty() const { return m_cellCount == 0; }

    /// A cell as the codecs walk them, row by row and column by column.
    struct CellRef
    {
        int row;
        int column;
        CellKind kind;
        double number;     // for number cells
        QStringView text;  // for text cells; valid until the sheet changes
    };

    /// Calls f(const CellRef &) for every cell in row-major order; f may return false to stop.
    template<class F>
    void forEachCell(F f) const
    {
        for (std::size_t r = 0; r < m_rows.size(); ++r)
            for (const Entry &e : m_rows[r]) {
                CellRef c{int(r) + 1, e.column, e.kindOf(), 0.0, {}};
                if (e.length == Entry::NumberTag)
                    c.number = e.number;
                else
                    c.text = QStringView(m_pool.data() + e.offset, qsizetype(e.length));
                if (!f(c))
                    return;
            }
    }

    /// Cells of one row, for views.
    int rowCellCount(int row) const;

private:
    struct Entry
    {
        static constexpr std::uint32_t NumberTag = 0xFFFFFFFFu;
        std::int32_t column;
        std::uint32_t length;  // NumberTag for a number, else the text's length in the pool
        union {
            double number;
            std::uint64_t offset;
        };
        CellKind kindOf() const { return length == NumberTag ? CellKind::Number : CellKind::Text; }
    };
    static_assert(sizeof(Entry) == 16);

    const Entry *find(int row, int column) const;
    Entry &slot(int row, int column);
    void check(int row, int column) const;
    void trimRows();

    QString m_name;
    std::vector<std::vector<Entry>> m_rows;
    std::u16string m_pool;
    std::size_t m_cellCount = 0;
    std::size_t m_deadChars = 0;
};

} // namespace kv
