// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/locality_chart.h"

#include "controls/chart_grid.h"
#include "core/errors.h"
#include "data/dmKV.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

struct Point
{
    double x, y;
};

// The longitude and latitude of every row; a dataset that cannot be read gives none (errors are
// ignored here, as the record view asks: a chart without a series beats a box on every move).
QList<Point> pointsOf(Dataset &dataset, bool reopen)
{
    QList<Point> points;
    try {
        if (reopen)
            dataset.close();
        if (!dataset.isOpen())
            dataset.open();
        for (int r = 0; r < dataset.recordCount(); ++r)
            points << Point{dataset.valueAt(r, u"Longitude"_s).toDouble(),
                            dataset.valueAt(r, u"Latitude"_s).toDouble()};
    } catch (const Error &) {
        points.clear();
    }
    return points;
}

} // namespace

void RebindLocalityChart(TdmKVResults &dm, bool showBoundary, ChartGrid &chart)
{
    const QList<Point> sites = pointsOf(*dm.QLocThisUnit, true);
    QList<Point> outline;
    if (showBoundary && dm.SADCCtry->isOpen())
        outline = pointsOf(*dm.SADCbound, false);

    chart.clearData();
    chart.setColumnCount(6);
    chart.setRowCount(int(std::max<qsizetype>(std::max(sites.size(), outline.size()), 1)));
    chart.setOutline(Boundaries, true);
    const QStringList labels{u"All localities"_s, {}, u"Current site"_s, {}, u"Boundaries"_s, {}};
    for (int c = 1; c <= 6; ++c) {
        chart.setColumn(c);
        chart.setColumnLabel(labels[c - 1]);
    }
    const auto put = [&chart](int row, int column, const Point &p) {
        chart.setRow(row);
        chart.setColumn(column);
        chart.setData(QString::number(p.x, 'g', 12));
        chart.setColumn(column + 1);
        chart.setData(QString::number(p.y, 'g', 12));
    };
    for (int i = 0; i < sites.size(); ++i)
        put(i + 1, CurrentSite, sites[i]);
    // A point at 0/0 separates one ring of a country from the next: the line breaks there.
    for (int i = 0; i < outline.size(); ++i)
        if (outline[i].x != 0 || outline[i].y != 0)
            put(i + 1, Boundaries, outline[i]);
}

} // namespace kv
