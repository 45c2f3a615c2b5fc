// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <optional>

namespace kv {

/// How a chart draws its grid: a design setting of the window that holds the chart.
enum class ChartStyle
{
    Dates,   // series g: column 3g - 2 upper limit, 3g - 1 lower limit, 3g the date; one date per row
    Scatter, // series j: columns 2j - 1 (X) and 2j (Y); one point per row
    Curves,  // as Scatter, drawn as a line through the rows in order
    Map,     // as Scatter (longitude, latitude); pairs marked as outlines are drawn as lines
};

/// Axis identifiers of the chart operations.
enum ChartAxisId : int
{
    AxisX = 0,
    AxisY = 1
};

/// Value scale and title of one chart axis.
struct ChartAxis
{
    bool automatic = true;
    double minimum = 0.0;
    double maximum = 100.0;
    int majorDivisions = 5;
    QString title;
};

/// The data of one chart: a grid of numeric cells numbered from 1, column labels, a current cell
/// and two axes. Counts and indexes are 16-bit, as the graph commands were written for.
class ChartGrid
{
public:
    static constexpr int MaxCount = 32767;

    explicit ChartGrid(int rowCount = 0, int columnCount = 0);

    int rowCount() const { return m_rowCount; }
    /// Rows beyond a smaller count are dropped; new rows are empty.
    void setRowCount(int count);
    int columnCount() const { return m_columnCount; }
    void setColumnCount(int count);

    /// The current cell; 0 while the grid has no row (or no column).
    int row() const { return m_row; }
    void setRow(int row);
    int column() const { return m_column; }
    void setColumn(int column);

    /// Writes the current cell from the decimal text of a number ("1234.5", "1234,5", "1.5E-3");
    /// an empty text empties the cell.
    void setData(const QString &text);
    /// Labels the current column.
    void setColumnLabel(const QString &text);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    void setAxisAuto(int axis, bool automatic);
    /// Maximum and minimum switch the scale to manual at once; they may cross while a caller sets
    /// one after the other, so their order is checked only when the chart is drawn.
    void setAxisMaximum(int axis, double maximum);
    void setAxisMinimum(int axis, double minimum);
    void setAxisMajorDivisions(int axis, int divisions);
    void setAxisTitle(int axis, const QString &title);
    const ChartAxis &axis(int axis) const;

    /// The value of a cell, none when it is empty or outside the grid.
    std::optional<double> value(int row, int column) const;
    /// A column's values for rows 1 to rowCount (index 0 is row 1), NaN where empty.
    QVector<double> columnValues(int column) const;
    QString columnLabel(int column) const;
    /// Empties every cell and label; counts, current cell, axes and design settings stay.
    void clearData();

    // Design settings, chosen by the window that holds the chart.
    ChartStyle style() const { return m_style; }
    void setStyle(ChartStyle style) { m_style = style; }
    const QString &title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    bool isLegendVisible() const { return m_legendVisible; }
    void setLegendVisible(bool visible) { m_legendVisible = visible; }
    /// Marks the column pair that starts at firstColumn (odd) as an outline of the map style.
    void setOutline(int firstColumn, bool outline);
    bool isOutline(int firstColumn) const { return m_outlines.contains(firstColumn); }

    /// Number of series the style makes of the columns, and the first column of series s (from 1).
    int seriesCount() const;
    int seriesFirstColumn(int series) const;
    /// The legend label of series s: the label of its first column.
    QString seriesLabel(int series) const { return columnLabel(seriesFirstColumn(series)); }

    /// Reads the decimal text of a number as setData does; throws InputError naming the text.
    static std::optional<double> parseNumber(const QString &text);

private:
    static quint32 key(int row, int column) { return (quint32(column) << 16) | quint32(row); }
    ChartAxis &axisRef(int axis);

    int m_rowCount = 0;
    int m_columnCount = 0;
    int m_row = 0;
    int m_column = 0;
    // Sparse: a grid may be sized 32767 by 32767 while the commands fill a few thousand cells.
    QHash<quint32, double> m_cells;
    QHash<int, QString> m_labels;
    ChartAxis m_axes[2];
    bool m_enabled = true;

    ChartStyle m_style = ChartStyle::Scatter;
    QString m_title;
    bool m_legendVisible = true;
    QSet<int> m_outlines;
};

} // namespace kv
