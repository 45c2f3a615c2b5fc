// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/chart_grid.h"
#include "controls/workbook.h"
#include "graphs/plot_state.h"

#include <QList>

namespace kv {

class Interaction;
class QueryDefinition;
class TdmKVResults;

/// What the closure-temperature window shows: dates against closure temperatures, a series per chosen
/// value of the grouping basis, and the sheet listing every plotted row.
struct ClosureGraph
{
    ClosureGraph();

    ChartGrid VtChDT;
    Workbook ssDI;
    bool saveEnabled = false;

    /// Rows of the working table, and points drawn per series.
    int rowsWritten = 0;
    QList<int> seriesPoints;
    /// Milliseconds spent reading the records and filling the working table, and on chart and sheet.
    qint64 fillMs = 0, chartsMs = 0;
};

/// Graph > "Date vs Closure &T" up to the point where the window is shown.
class ClosureGraphCommand
{
public:
    /// Rows the window's chart is designed with; more need the user's consent.
    static constexpr int DesignRows = 100;

    /// The command reads and updates the plot state: the groupings, MaxRows and the date range.
    ClosureGraphCommand(TdmKVResults &dm, Interaction &ui, PlotState &state);

    /// Reads the plot settings, refills the working table and fills the chart and the sheet. Errors
    /// end it with a message.
    void run(const QueryDefinition &definition, ClosureGraph &graph);

private:
    TdmKVResults &m_dm;
    Interaction &m_ui;
    PlotState &m_state;
};

} // namespace kv
