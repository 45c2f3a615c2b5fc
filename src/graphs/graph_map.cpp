// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/graph_map.h"

#include "core/errors.h"
#include "core/interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/row_writer.h"
#include "data/schema.h"
#include "graphs/graph_date.h"
#include "graphs/graph_rows.h"
#include "graphs/plot_settings.h"
#include "graphs/plot_state.h"
#include "main/query_definition.h"
#include "main/sample_localities.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

const QString Nihil = u"nihil"_s;

// A text as the working table's column stores it, so that comparisons see what the table holds.
QString stored(const QString &column, const QString &text)
{
    return graphs::stored(u"KVTempM"_s, column, text);
}

QString coordinate(double value)
{
    return Dataset::formatNumber(value, u"###0.000000"_s);
}

using graphs::forEachRow;

} // namespace

struct MapCommand::Point
{
    QString interpretation, ageBand;
    double latitude = 0, longitude = 0;
};

LocalityMap::LocalityMap() : VtChM1(MapCommand::DesignRows, 12), VtChM2(MapCommand::DesignRows, 12)
{
    for (ChartGrid *chart : {&VtChM1, &VtChM2}) {
        chart->setStyle(ChartStyle::Map);
        chart->setOutline(MapCommand::OutlineColumn, true);
        chart->setAxisTitle(AxisX, u"Longitude"_s);
        chart->setAxisTitle(AxisY, u"Latitude"_s);
    }
    VtChM1.setTitle(u"Sample localities by interpretation"_s);
    VtChM2.setTitle(u"Sample localities by date band"_s);
}

MapCommand::MapCommand(TdmKVResults &dm, Interaction &ui, PlotState &state)
    : m_dm(dm), m_ui(ui), m_state(state), m_groupings(state.groupings)
{
}

int MapCommand::transfer()
{
    m_ui.progress(u"Transfering data to temporary file"_s);
    Transaction transaction(m_dm.KVtmp);
    RowWriter rows(m_dm.KVtmp, u"KVTempM"_s,
                   {u"SampleNo"_s, u"Latitude"_s, u"Longitude"_s, u"Elevation"_s, u"Age"_s, u"ColumnNo"_s,
                    u"Interpretation"_s, u"InterpAbr"_s, u"AgeBand"_s});
    try {
        forEachQuerySample(m_dm.KVResults, m_dm.Query1->sql(), [&](const QuerySample &s) {
            if (s.longitude.isNull() || s.longitude.toDouble() == 0)
                return; // no locality: not mapped
            const int group = DateGraphCommand::groupOf(m_groupings, s.interpAbr);
            rows.add({stored(u"SampleNo"_s, s.sampleNo), s.latitude, s.longitude, s.elevation, s.age,
                      group > 0 ? 2 * group - 1 : 0,
                      group > 0 ? stored(u"Interpretation"_s, m_groupings.GroupTitle[group - 1]) : Nihil,
                      group > 0 ? stored(u"InterpAbr"_s, s.interpAbr) : Nihil, Nihil});
        });
        rows.flush();
    } catch (const Error &e) {
        // Nothing half transferred stays: the table is left empty and the flag clear.
        throw DatabaseError(u"Problem transfering data at Querydm level\n"_s + e.message());
    }
    transaction.commit();
    m_dm.MapDataCurrent = true;
    return int(rows.count());
}

void MapCommand::classifyBands()
{
    m_ui.progress(u"Processing data for age band map"_s);
    // One pass over the table. A later band overrides an earlier one, so the bands are tried from the
    // last; closed below, open above. A row in no band is in none: a band that no longer holds its date
    // since the last run must not keep it.
    QString band = u"CASE"_s, column = u"CASE"_s;
    QVariantList bandValues, columnValues;
    for (int b = PlotGroupings::Bands; b >= 1; --b) {
        const QVariantList range{double(m_groupings.DateMin[b - 1]), double(m_groupings.DateMax[b - 1])};
        band += u" WHEN Age >= ? AND Age < ? THEN ?"_s;
        bandValues << range << stored(u"AgeBand"_s, m_groupings.DateTitle[b - 1]);
        column += u" WHEN Age >= ? AND Age < ? THEN ?"_s;
        columnValues << range << 2 * b - 1;
    }
    band += u" ELSE ? END"_s;
    bandValues << Nihil;
    column += u" ELSE ColumnNo END"_s;
    m_dm.KVtmp.exec(u"update KVTempM set AgeBand = %1, ColumnNo = %2"_s.arg(band, column),
                    bandValues + columnValues);
}

QList<MapCommand::Point> MapCommand::readTable()
{
    QList<Point> points;
    forEachRow(m_dm.KVtmp, u"select Interpretation, AgeBand, Latitude, Longitude from KVTempM"_s, {},
               [&](QSqlQuery &q) {
                   points.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toDouble(),
                                  q.value(3).toDouble()});
               });
    return points;
}

int MapCommand::plotSeries(ChartGrid &chart, int series, const QList<const Point *> &points)
{
    const int n = allocatePlotSpace(m_ui, chart, int(points.size()), m_state.MaxRows);
    for (int r = 1; r <= n; ++r) {
        const Point &p = *points[r - 1];
        chart.setRow(r);
        chart.setColumn(2 * series - 1);
        if (p.longitude != 0)
            chart.setData(coordinate(p.longitude));
        chart.setColumn(2 * series);
        if (p.latitude != 0)
            chart.setData(coordinate(p.latitude));
    }
    return std::max(n, 0);
}

void MapCommand::plotOutlines(const QueryDefinition &definition, LocalityMap &map, int rowLimit)
{
    // Every outline of an area is one sequence, its rings parted by a point at 0/0; areas are parted by an
    // empty point of their own, so that no line joins two of them.
    const QStringList areas = definition.values(1);
    QList<QList<std::pair<double, double>>> outlines;
    int needed = 0;
    for (const QString &area : areas) {
        QList<std::pair<double, double>> points;
        forEachRow(
            m_dm.KVResults,
            u"select Longitude, Latitude from AreaBound where CountryAbr = ? order by BoundarySequence"_s,
            {area}, [&](QSqlQuery &q) {
                points.append({q.value(0).toDouble(), q.value(1).toDouble()});
            });
        needed += int(points.size()) + 1;
        outlines.append(points);
    }
    // An outline is no record: it gets the rows it needs, whatever space the records were given, so that
    // no area is drawn cut short.
    if (needed + 2 > rowLimit) {
        rowLimit = std::min(needed + 2, int(ChartGrid::MaxCount));
        for (ChartGrid *chart : {&map.VtChM1, &map.VtChM2})
            if (chart->rowCount() < rowLimit)
                chart->setRowCount(rowLimit);
    }
    int r = 1;
    for (int i = 0; i < areas.size(); ++i) {
        m_ui.progress(u"Plotting boundary data for "_s + definition.cell(i + 1, 1));
        const QList<std::pair<double, double>> &points = outlines[i];
        const auto write = [&](const std::optional<std::pair<double, double>> &point) {
            if (r >= rowLimit - 1)
                return;
            for (ChartGrid *chart : {&map.VtChM1, &map.VtChM2}) {
                chart->setRow(r);
                // A longitude of 0 is the break between two rings; a latitude of 0 is the equator.
                const bool gap = !point || point->first == 0;
                chart->setColumn(OutlineColumn);
                chart->setData(gap ? QString() : coordinate(point->first));
                chart->setColumn(OutlineColumn + 1);
                chart->setData(gap ? QString() : coordinate(point->second));
            }
            map.outlinePoints += point && point->first != 0 ? 1 : 0;
            ++r;
        };
        for (const auto &point : std::as_const(points))
            write(point);
        write(std::nullopt);
    }
}

void MapCommand::run(const QueryDefinition &definition, LocalityMap &map)
{
    m_ui.progress(u"Reading .INI file"_s);
    LoadPlotGroupings(m_state);

    m_ui.progress(u"Processing data for map"_s);
    map.reused = m_dm.MapDataCurrent;
    if (!m_dm.MapDataCurrent) {
        m_ui.progress(u"Clearing temporary data file"_s);
        // One statement: a row that cannot be deleted fails the command instead of being retried forever.
        try {
            m_dm.KVtmp.exec(u"delete from KVTempM"_s);
        } catch (const DatabaseError &e) {
            throw DatabaseError(u"The working table KVTempM could not be emptied: %1"_s.arg(e.message()));
        }
    }

    m_ui.progress(u"Duplicating query"_s);
    m_ui.progress(u"Creating form"_s);
    for (int k = 1; k <= PlotGroupings::Groups; ++k) {
        map.VtChM1.setColumn(2 * k - 1);
        map.VtChM1.setColumnLabel(m_groupings.GroupTitle[k - 1]);
    }
    if (!m_dm.MapDataCurrent)
        map.transferred = transfer();

    // The bands are classified before the table is read, so one read serves both charts: the
    // classification changes nothing the interpretation chart shows.
    classifyBands();
    const QList<Point> points = readTable();
    for (int k = 1; k <= PlotGroupings::Groups; ++k) {
        const QString title = stored(u"Interpretation"_s, m_groupings.GroupTitle[k - 1]);
        m_ui.progress(u"Plotting data for interpretation map : Interpretation ='%1'"_s.arg(title));
        QList<const Point *> series;
        for (const Point &p : std::as_const(points))
            if (p.interpretation == title)
                series << &p;
        map.interpretationPoints[k - 1] = series.isEmpty() ? 0 : plotSeries(map.VtChM1, k, series);
    }

    for (int b = 1; b <= PlotGroupings::Bands; ++b) {
        map.VtChM2.setColumn(2 * b - 1);
        map.VtChM2.setColumnLabel(m_groupings.DateTitle[b - 1]);
    }
    int rowLimit = map.VtChM2.rowCount();
    for (int b = 1; b <= PlotGroupings::Bands; ++b) {
        const QString title = stored(u"AgeBand"_s, m_groupings.DateTitle[b - 1]);
        m_ui.progress(u"Plotting data for age band map : AgeBand ='%1'"_s.arg(title));
        QList<const Point *> series;
        for (const Point &p : std::as_const(points))
            if (p.ageBand == title)
                series << &p;
        if (series.isEmpty())
            continue;
        const int before = map.VtChM2.rowCount();
        map.bandPoints[b - 1] = plotSeries(map.VtChM2, b, series);
        if (map.VtChM2.rowCount() != before)
            rowLimit = map.VtChM2.rowCount();
    }
    // The interpretation chart holds the outlines as far as its rows go too.
    if (map.VtChM1.rowCount() < rowLimit)
        map.VtChM1.setRowCount(rowLimit);

    plotOutlines(definition, map, rowLimit);
    m_ui.progress(QString());
    map.VtChM2.setEnabled(true);
}

} // namespace kv
