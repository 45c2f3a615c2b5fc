// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/statistics.h"
#include "controls/chart_grid.h"
#include "controls/workbook.h"
#include "graphs/plot_state.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <array>

namespace kv {

class Dataset;
class Interaction;
class QueryDefinition;
class TdmKVResults;

/// What the date graph window shows: its charts' grids, the spreadsheet, the panel of the weighted mean
/// and the row of the dispersion statistics beside it. Chart styles and titles are the window's design,
/// set by the constructor.
struct DateGraph
{
    DateGraph();

    ChartGrid VtChDI, VtChCum, VtChG, VtChDG, VtChCG, VtChKde;
    Workbook SSDI;
    QString eDate, eError, eMSWD, eProbabilityOfFit;
    // The conventional MSWD and its chi-square probability, the random-effects mean and the dispersion
    // with their one-sigma errors; empty where they are not defined (fewer than two dates, a zero error).
    QString eMswdConventional, ePChi2, eMeanRandom, eMeanRandomError, eDispersion, eDispersionError;
    // The kernel density bandwidth of each interpretation group in Ma, 0 where it has no density.
    std::array<double, 5> kdeBandwidths{};
    bool groupingTabsVisible = true;
    bool saveEnabled = false;

    // Where the time went, in milliseconds: working tables, curves, weighted mean, chart and sheet cells.
    qint64 fillMs = 0, curvesMs = 0, meanMs = 0, chartsMs = 0;
};

/// The statistics of a date record that decide its uncertainty.
struct FitStatistics
{
    QVariant ProbOfFit, Alpha, DegFreedom;
};

/// One-sigma uncertainty of a date from its 95% errors (null when empty): a failed fit divides by the
/// Student t of its degrees of freedom, anything else by that of 999.
double AgeErrorAv(const FitStatistics *statistics, const QVariant &agePError, const QVariant &ageMError);

/// Weighted mean of the first count rows of the working table of the date graph (its Age and
/// AgeErrorAv), as the table is filtered; the table is left on its first row.
calc::WeightedMean WeightedMeanOfDates(Dataset &table, int count);

/// The plot-space rule of the graph commands: the rows a chart gets for n points, asking the user before
/// it grows past its rows or up to the limit maxRows. Returns the rows to draw.
int allocatePlotSpace(Interaction &ui, ChartGrid &chart, int n, int maxRows);

/// Graph > "&Date grouped by Interpretation" up to the point where the window is shown.
class DateGraphCommand
{
public:
    /// Rows the window's date charts are designed with; more need the user's consent.
    static constexpr int DesignRows = 100;

    /// The command reads and updates the plot state: the groupings, MaxRows and the date range.
    DateGraphCommand(TdmKVResults &dm, Interaction &ui, PlotState &state);

    /// The basis of the grouped graphs that the query's chosen values imply, or howGrouped unchanged.
    static QString ApplyGroupingBasisRule(const QueryDefinition &definition, const QString &howGrouped);
    /// The interpretation group (1 to 5) of a code, the last match winning; 0 for none.
    static int groupOf(const PlotGroupings &groupings, const QString &interpAbr);

    /// Reads the plot settings, fills the working tables unless they are current, and fills the
    /// graph. Errors end it (the flags keep the values they reached); the datasets it opened are closed.
    void run(const QueryDefinition &definition, DateGraph &graph);

private:
    struct Row;
    int plotSpace(ChartGrid &chart, int n);
    void emptyTable(const QString &table);
    /// Fills the working tables asked for; rows gets KVTemp2's rows as written.
    void fillWorkingTables(const QueryDefinition &definition, bool fillDates, bool fillGrouped, QList<Row> &rows);
    QList<Row> readTable(const QString &table, const QString &keyField);
    static void WriteDateBar(ChartGrid &chart, const Row &row, int highColumn, int lowColumn);
    void fillCurves(const QList<const Row *> &rows, std::vector<double> &curve) const;
    static void fillDispersion(const QList<Row> &rows, DateGraph &graph);
    void fillDensities(const std::array<QList<const Row *>, 5> &groupRows, DateGraph &graph, int firstColumn);

    TdmKVResults &m_dm;
    Interaction &m_ui;
    PlotState &m_state;
    PlotGroupings &m_groupings;
    int &m_maxRows;
    PlotDateRange &m_range;
};

} // namespace kv
