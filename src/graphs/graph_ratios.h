// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/chart_grid.h"
#include "controls/workbook.h"
#include "graphs/plot_state.h"

#include <QString>
#include <array>
#include <functional>

namespace kv {

class Interaction;
class QueryDefinition;
class TdmKVResults;

/// The kind of quantity an axis of the ratio graphs shows, from the variable's shown text.
enum class AxisKind
{
    None,
    Date,
    TUR,
    TDM,
    InitialRatio,
    Epsilon,
    Mu
};

/// Classifies a shown variable text by case-sensitive substrings, the last matching test deciding:
/// "Date", "UR", "DM", "i", "Eps", "238U/204Pb".
AxisKind classifyAxis(const QString &shownText);
/// The axis title of a kind ("Date (Ma)", "Initial Ratio", ...); empty for none.
QString axisTitle(AxisKind kind);

/// One plot of "Define graphs" as the graph reads it: switched on, and the shown texts of its axes.
struct RatioPlot
{
    bool on = false;
    QString xText, yText;
};
using RatioPlots = std::array<RatioPlot, PlotAxes::Plots>;

/// What the ratio graph window shows: three X-Y charts, a sheet per plot, and which plots were drawn.
struct RatioGraph
{
    RatioGraph();

    std::array<ChartGrid, PlotAxes::Plots> VtChDI; // VtChDI1 to VtChDI3
    Workbook SSI;
    std::array<bool, PlotAxes::Plots> ShowPlot{};
    /// Tab captions of the plots: "Initial ratio n" until a plot is drawn.
    std::array<QString, PlotAxes::Plots> caption;
    bool saveEnabled = false;

    /// Rows written to the working table, and points drawn per plot.
    int rowsWritten = 0;
    std::array<int, PlotAxes::Plots> points{};
    /// Milliseconds spent reading the records and filling the working table, and on the charts.
    qint64 fillMs = 0, chartsMs = 0;
};

/// Graph > "&Initial and model ratios" and "Initial and model ratios (&Grouped)" up to the point where
/// the window is shown.
class RatioGraphCommand
{
public:
    /// Rows the window's charts are designed with; more need the user's consent.
    static constexpr int DesignRows = 100;
    /// Five X/Y series in the charts' design.
    static constexpr int DesignColumns = 10;

    /// The command reads and updates the plot state: the groupings, MaxRows and the date range.
    RatioGraphCommand(TdmKVResults &dm, Interaction &ui, PlotState &state);

    /// Series by interpretation group (grouped false) or by the values of the grouping basis that the
    /// query chooses (grouped true). defineGraphs is asked for the plots once the working table is
    /// emptied ("Define graphs"). Errors end it with a message; the working table may then be partial.
    void run(const QueryDefinition &definition, const std::function<RatioPlots()> &defineGraphs, bool grouped,
             RatioGraph &graph);

private:
    struct Row;
    void plotRows(RatioGraph &graph, int plot, const QList<const Row *> &rows, AxisKind xKind);

    TdmKVResults &m_dm;
    Interaction &m_ui;
    PlotState &m_state;
};

} // namespace kv
