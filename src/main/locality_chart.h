// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kv {

class ChartGrid;
class TdmKVResults;

/// Series of the record's locality chart, as column pairs (longitude, latitude).
enum LocalitySeries
{
    AllLocalities = 1,
    CurrentSite = 3,
    Boundaries = 5
};

/// RebindLocalityChart: fills the chart with the record's localities (QLocThisUnit, read afresh) and,
/// when showBoundary, the outline of the current SADCCtry country (SADCbound). A series whose dataset
/// cannot be read stays empty: the chart follows every move of the record, and errors are ignored.
void RebindLocalityChart(TdmKVResults &dm, bool showBoundary, ChartGrid &chart);

} // namespace kv
