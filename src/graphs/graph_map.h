// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/chart_grid.h"

#include <QString>
#include <array>

namespace kv {

class Interaction;
class QueryDefinition;
class TdmKVResults;
struct PlotGroupings;
struct PlotState;

/// What the map window shows: the localities by interpretation group and by date band, each chart
/// with the outlines of the query's areas.
struct LocalityMap
{
    LocalityMap();

    ChartGrid VtChM1, VtChM2;
    /// Rows written to the working table by this run; 0 when it was reused.
    int transferred = 0;
    bool reused = false;
    /// Points drawn per interpretation group and per date band, and outline points per chart.
    std::array<int, 5> interpretationPoints{}, bandPoints{};
    int outlinePoints = 0;
};

/// Graph > "&Map of sample localities" up to the point where the window is shown.
class MapCommand
{
public:
    /// Rows the window's charts are designed with; more need the user's consent.
    static constexpr int DesignRows = 100;
    /// The column pair of the area outlines.
    static constexpr int OutlineColumn = 11;

    /// The command reads the plot state's groupings and MaxRows.
    MapCommand(TdmKVResults &dm, Interaction &ui, PlotState &state);

    /// Reads the plot settings, fills the working table unless it is current, classifies its date bands
    /// and fills the two charts. Errors end it with a message the caller shows.
    void run(const QueryDefinition &definition, LocalityMap &map);

private:
    struct Point;
    /// Fills the working table from the query; returns the rows written.
    int transfer();
    void classifyBands();
    QList<Point> readTable();
    int plotSeries(ChartGrid &chart, int series, const QList<const Point *> &points);
    void plotOutlines(const QueryDefinition &definition, LocalityMap &map, int rowLimit);

    TdmKVResults &m_dm;
    Interaction &m_ui;
    PlotState &m_state;
    PlotGroupings &m_groupings;
};

} // namespace kv
