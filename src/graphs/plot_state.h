// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "graphs/plot_settings.h"

namespace kv {

/// The date range of the current graph's X axis (Ma), kept from one graph command to the next.
struct PlotDateRange
{
    double PlotDateMin = 5000;
    double PlotDateMax = 0;
};

/// What every graph command works with besides the data: the plot settings the two settings windows
/// edit, the plot-space limit and the date range one graph leaves for the next. One lives for a run of
/// the viewer (its main window holds it) and one for a run of kvtool, so both behave the same.
struct PlotState
{
    PlotGroupings groupings;
    PlotAxes axes;
    /// The largest number of rows a chart may be given ("Graph settings"/"Max Rows").
    int MaxRows = DefaultMaxRows;
    PlotDateRange range;
};

/// LoadPlotGroupings into the state, from the settings file read afresh.
void LoadPlotGroupings(PlotState &state);
/// LoadPlotAxes into the state from the settings file; the plot switches are left as they are.
void LoadPlotAxes(PlotState &state);

} // namespace kv
