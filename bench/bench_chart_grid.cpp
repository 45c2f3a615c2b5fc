// SPDX-License-Identifier: GPL-3.0-or-later
// Fills the largest chart the way the graph commands do (Row, Column, Data as text) and reads it back.
#include "controls/chart_grid.h"

#include <QElapsedTimer>
#include <QTextStream>

using namespace Qt::StringLiterals;

int main()
{
    QTextStream out(stdout);
    constexpr int columns = 15; // five groups of date, upper and lower limit
    kv::ChartGrid grid(kv::ChartGrid::MaxCount, columns);
    grid.setStyle(kv::ChartStyle::Dates);

    QElapsedTimer timer;
    timer.start();
    for (int row = 1; row <= grid.rowCount(); ++row) {
        grid.setRow(row);
        for (int column = 1; column <= columns; ++column) {
            grid.setColumn(column);
            grid.setData(QString::number(1000.0 + row * 0.01 + column, 'f', 2));
        }
    }
    const qint64 fill = timer.restart();

    double sum = 0;
    for (int column = 1; column <= columns; ++column) {
        for (double value : grid.columnValues(column))
            sum += value;
    }
    const qint64 read = timer.restart();

    grid.setRowCount(160);
    const qint64 shrink = timer.elapsed();

    out << u"cells %1: fill %2 ms, read %3 ms (sum %4), shrink to 160 rows %5 ms\n"_s
               .arg(kv::ChartGrid::MaxCount * columns)
               .arg(fill)
               .arg(read)
               .arg(sum, 0, 'f', 1)
               .arg(shrink);
    return 0;
}
