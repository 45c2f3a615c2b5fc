// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/graph_ratios.h"

#include "core/errors.h"
#include "core/interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/row_writer.h"
#include "graphs/graph_date.h"
#include "graphs/graph_rows.h"
#include "graphs/plot_settings.h"
#include "main/query_definition.h"

#include <QElapsedTimer>
#include <QHash>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// The initial-ratio row of a record; a record without one reads 0 throughout.
struct InitialRatios
{
    double InitRatio = 0, InitRatioError = 0, Epsilon = 0, EpsilonError = 0, Mu = 0, MuPError = 0, MuMError = 0;
};

QHash<int, InitialRatios> readInitialRatios(Connection &results)
{
    QHash<int, InitialRatios> rows;
    graphs::forEachRow(results,
                       u"select RecordID, InitRatio, InitRatioError, Epsilon, EpsilonError, Mu, MuPError, MuMError "
                       u"from IsoInit"_s,
                       {}, [&](QSqlQuery &q) {
                           const int id = q.value(0).toInt();
                           if (rows.contains(id)) // the record's first row counts
                               return;
                           rows.insert(id, {q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toDouble(),
                                            q.value(4).toDouble(), q.value(5).toDouble(), q.value(6).toDouble(),
                                            q.value(7).toDouble()});
                       });
    return rows;
}

bool isAge(AxisKind kind)
{
    return kind == AxisKind::Date || kind == AxisKind::TUR || kind == AxisKind::TDM;
}

double valueOf(AxisKind kind, const graphs::QueryRecord &record, const InitialRatios &init)
{
    switch (kind) {
    case AxisKind::Date:
    case AxisKind::TUR:
    case AxisKind::TDM:
        return record.age;
    case AxisKind::InitialRatio:
        return init.InitRatio;
    case AxisKind::Epsilon:
        return init.Epsilon;
    case AxisKind::Mu:
        return init.Mu;
    case AxisKind::None:
        break;
    }
    return 0;
}

// The 95% uncertainty of a value, by its kind.
double uncertaintyOf(AxisKind kind, const graphs::QueryRecord &record, const InitialRatios &init)
{
    switch (kind) {
    case AxisKind::Date:
    case AxisKind::TUR:
    case AxisKind::TDM:
        return (record.agePError.toDouble() + record.ageMError.toDouble()) / 2;
    case AxisKind::InitialRatio:
        return init.InitRatioError;
    case AxisKind::Epsilon:
        return init.EpsilonError;
    case AxisKind::Mu:
        return (init.MuPError + init.MuMError) / 2;
    case AxisKind::None:
        break;
    }
    return 0;
}

// Round half to even, then whole tens: down for the minimum, the next ten up for the maximum.
double tensBelow(double value)
{
    return 10.0 * (qint64(std::nearbyint(value)) / 10);
}
double tensAbove(double value)
{
    return 10.0 * (qint64(std::nearbyint(value)) / 10 + 1);
}

} // namespace

AxisKind classifyAxis(const QString &shownText)
{
    AxisKind kind = AxisKind::None;
    const std::array<std::pair<QString, AxisKind>, 6> tests{{{u"Date"_s, AxisKind::Date},
                                                             {u"UR"_s, AxisKind::TUR},
                                                             {u"DM"_s, AxisKind::TDM},
                                                             {u"i"_s, AxisKind::InitialRatio},
                                                             {u"Eps"_s, AxisKind::Epsilon},
                                                             {u"238U/204Pb"_s, AxisKind::Mu}}};
    for (const auto &[text, k] : tests)
        if (shownText.contains(text, Qt::CaseSensitive))
            kind = k;
    return kind;
}

QString axisTitle(AxisKind kind)
{
    switch (kind) {
    case AxisKind::Date:
        return u"Date (Ma)"_s;
    case AxisKind::TUR:
        return u"T (UR)"_s;
    case AxisKind::TDM:
        return u"T (DM)"_s;
    case AxisKind::InitialRatio:
        return u"Initial Ratio"_s;
    case AxisKind::Epsilon:
        return u"Epsilon/Gamma (T)"_s;
    case AxisKind::Mu:
        return u"Model 238U/204Pb (i)"_s;
    case AxisKind::None:
        break;
    }
    return {};
}

RatioGraph::RatioGraph()
    : VtChDI{ChartGrid(RatioGraphCommand::DesignRows, RatioGraphCommand::DesignColumns),
             ChartGrid(RatioGraphCommand::DesignRows, RatioGraphCommand::DesignColumns),
             ChartGrid(RatioGraphCommand::DesignRows, RatioGraphCommand::DesignColumns)}
{
    for (int n = 1; n <= PlotAxes::Plots; ++n) {
        VtChDI[n - 1].setStyle(ChartStyle::Scatter);
        caption[n - 1] = u"Initial ratio %1"_s.arg(n);
    }
    SSI.setNumSheets(PlotAxes::Plots);
}

// A row of the working table as the charts read it.
struct RatioGraphCommand::Row
{
    int plot = 0;
    int columnNo = 0;
    double x = 0, y = 0;
    QString interpretation; // as stored
    int series = 0;         // the chosen basis value matched, from 1; 0 for none
};

RatioGraphCommand::RatioGraphCommand(TdmKVResults &dm, Interaction &ui, PlotState &state)
    : m_dm(dm), m_ui(ui), m_state(state)
{
}

void RatioGraphCommand::plotRows(RatioGraph &graph, int plot, const QList<const Row *> &rows, AxisKind xKind)
{
    // Every chart gets the row count of the first, so that all three keep one plot space.
    std::array<ChartGrid, PlotAxes::Plots> &charts = graph.VtChDI;
    const int count = allocatePlotSpace(m_ui, charts[0], int(rows.size()), m_state.MaxRows);
    charts[1].setRowCount(charts[0].rowCount());
    charts[2].setRowCount(charts[0].rowCount());
    ChartGrid &chart = charts[plot - 1];
    PlotDateRange &range = m_state.range;
    const int drawn = std::min(count, int(rows.size()));
    for (int i = 1; i <= drawn; ++i) {
        const Row &row = *rows[i - 1];
        chart.setRow(i);
        chart.setColumn(row.columnNo);
        if (row.x != 0) {
            chart.setData(Dataset::formatNumber(row.x, u"###0.000000"_s));
            if (xKind == AxisKind::Date) {
                range.PlotDateMin = std::min(range.PlotDateMin, row.x);
                range.PlotDateMax = std::max(range.PlotDateMax, row.x);
            }
        }
        chart.setColumn(row.columnNo + 1);
        if (row.y != 0)
            chart.setData(Dataset::formatNumber(row.y, u"###0.000000"_s));
    }
    graph.points[plot - 1] += drawn;
}

void RatioGraphCommand::run(const QueryDefinition &definition, const std::function<RatioPlots()> &defineGraphs,
                            bool grouped, RatioGraph &graph)
{
    QElapsedTimer timer;
    timer.start();
    PlotGroupings &groupings = m_state.groupings;

    m_ui.progress(u"Reading .INI file"_s);
    LoadPlotGroupings(m_state);
    if (grouped)
        groupings.HowGrouped = DateGraphCommand::ApplyGroupingBasisRule(definition, groupings.HowGrouped);

    m_ui.progress(u"Clearing temporary file"_s);
    graphs::emptyWorkingTable(m_dm.KVtmp, u"KVTemp3"_s);

    m_ui.progress(u"Duplicating query"_s);
    // The details of every record at once rather than a query per record.
    const QHash<int, InitialRatios> initialRatios = readInitialRatios(m_dm.KVResults);
    const int basis = grouped ? graphs::basisIndex(groupings.HowGrouped) : -1;
    QStringList chosen;
    QHash<int, QStringList> details;
    if (basis >= 0 && definition.count(graphs::bases()[basis].row) > 0) {
        chosen = definition.values(graphs::bases()[basis].row);
        details = graphs::basisValuesByRecord(m_dm.KVResults, graphs::bases()[basis]);
    }
    QList<graphs::QueryRecord> records;
    graphs::forEachQueryRecord(m_dm.KVResults, m_dm.Query1->sql(),
                               [&](const graphs::QueryRecord &r) { records.append(r); });

    m_ui.progress(u"Creating form"_s);
    graph.saveEnabled = true;
    graph.SSI.setEnabled(true);

    RatioPlots plots = defineGraphs ? defineGraphs() : RatioPlots{};
    graph.ShowPlot = {};
    for (RatioPlot &plot : plots)
        if (plot.on && (plot.xText.isEmpty() || plot.yText.isEmpty()))
            plot.on = false;

    // Each record's interpretation group and matched basis value, worked out once for all plots.
    std::vector<int> groupOf(records.size()), seriesOf(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        groupOf[i] = DateGraphCommand::groupOf(groupings, records[i].interpAbr);
        // The chosen value the record carries, matched on the full text; the last match wins.
        const auto found = details.constFind(records[i].recordId);
        if (found != details.cend())
            for (const QString &value : *found)
                for (int j = 1; j <= int(chosen.size()); ++j)
                    if (chosen[j - 1] == value)
                        seriesOf[i] = j;
    }
    std::array<QString, PlotGroupings::Groups> storedTitle;
    for (int g = 1; g <= PlotGroupings::Groups; ++g)
        storedTitle[g - 1] = graphs::stored(u"KVTemp3"_s, u"Interpretation"_s, groupings.GroupTitle[g - 1]);
    QStringList storedChosen;
    for (const QString &value : chosen)
        storedChosen << graphs::stored(u"KVTemp3"_s, u"Grouping"_s, value);

    std::array<AxisKind, PlotAxes::Plots> xKinds{};
    QList<Row> rows;
    Transaction transaction(m_dm.KVtmp);
    RowWriter table(m_dm.KVtmp, u"KVTemp3"_s,
                    {u"Interpretation"_s, u"PlotNo"_s, u"ColumnNo"_s, u"VariableX"_s, u"VariableY"_s, u"Grouping"_s});
    Workbook &sheet = graph.SSI;
    const auto cell = [&sheet](int col, const QVariant &value) {
        sheet.setCol(col);
        if (value.typeId() == QMetaType::Double)
            sheet.setNumber(value.toDouble());
        else
            sheet.setText(value.toString());
    };
    for (int n = 1; n <= PlotAxes::Plots; ++n) {
        const RatioPlot &plot = plots[n - 1];
        if (!plot.on)
            continue;
        sheet.setSheet(n);
        int sheetRow = 1;
        sheet.setRow(1);
        cell(1, u"Unit"_s);
        cell(2, u"InterpAbr"_s);
        if (grouped)
            cell(5, u"Group descriptor"_s);
        m_ui.progress(u"Allocating data for graph %1"_s.arg(n));
        graph.ShowPlot[n - 1] = true;
        const AxisKind xKind = classifyAxis(plot.xText);
        const AxisKind yKind = classifyAxis(plot.yText);
        xKinds[n - 1] = xKind;
        // A variable that is no known kind is titled by its own text (it plots nothing).
        const QString xTitle = xKind == AxisKind::None ? plot.xText : axisTitle(xKind);
        const QString yTitle = yKind == AxisKind::None ? plot.yText : axisTitle(yKind);
        ChartGrid &chart = graph.VtChDI[n - 1];
        cell(3, xTitle);
        chart.setAxisTitle(AxisX, xTitle);
        cell(4, yTitle);
        graph.caption[n - 1] = xTitle + u" vs "_s + yTitle;
        chart.setTitle(graph.caption[n - 1]);
        chart.setAxisTitle(AxisY, yTitle);
        if (grouped) {
            cell(6, isAge(xKind) ? u"X date +/- 95%"_s : u"X ratio +/- 95%"_s);
            cell(7, isAge(yKind) ? u"Y date +/- 95%"_s : u"Y ratio +/- 95%"_s);
        }

        const InitialRatios none;
        for (qsizetype i = 0; i < records.size(); ++i) {
            const graphs::QueryRecord &record = records[i];
            const int group = groupOf[i];
            if (!grouped && group == 0)
                continue;
            const auto found = initialRatios.constFind(record.recordId);
            const InitialRatios &init = found == initialRatios.cend() ? none : *found;
            const double x = valueOf(xKind, record, init);
            const double y = valueOf(yKind, record, init);
            if (x == 0 || y == 0)
                continue;
            const int series = seriesOf[i];
            const QString grouping = series > 0 ? chosen[series - 1] : QString();

            sheet.setRow(++sheetRow);
            cell(1, record.unitName);
            cell(2, record.interpAbr);
            cell(3, x);
            cell(4, y);
            if (grouped) {
                cell(5, grouping);
                cell(6, uncertaintyOf(xKind, record, init));
                cell(7, uncertaintyOf(yKind, record, init));
            }

            Row row{n, 0, x, y, QString(), series};
            if (group > 0) {
                row.columnNo = 2 * group - 1;
                row.interpretation = storedTitle[group - 1];
            }
            if (series > 0)
                row.columnNo = 2 * series - 1;
            table.add({row.interpretation.isNull() ? QVariant() : QVariant(row.interpretation), n,
                       row.columnNo > 0 ? QVariant(row.columnNo) : QVariant(), x, y,
                       series > 0 ? QVariant(storedChosen[series - 1]) : QVariant()});
            rows.append(row);
        }
        sheet.setRow(1);
        sheet.setCol(1);
    }
    table.flush();
    transaction.commit();
    graph.rowsWritten = int(table.count());
    graph.fillMs = timer.restart();

    m_state.range = PlotDateRange{};
    if (!grouped) {
        for (int n = 1; n <= PlotAxes::Plots; ++n)
            for (int g = 1; g <= PlotGroupings::Groups; ++g) {
                m_ui.progress(u"Plotting data for graph %1 - column %2"_s.arg(n).arg(g));
                const QString &title = groupings.GroupTitle[g - 1];
                for (ChartGrid &chart : graph.VtChDI) {
                    chart.setColumn(2 * g - 1);
                    chart.setColumnLabel(title);
                }
                // Two groups with one title select the same rows, and a title holding a quote
                // selects like any other.
                const QString key = graphs::stored(u"KVTemp3"_s, u"Interpretation"_s, title);
                QList<const Row *> selected;
                for (const Row &row : rows)
                    if (row.plot == n && row.interpretation == key)
                        selected << &row;
                plotRows(graph, n, selected, xKinds[n - 1]);
            }
    } else if (graphs::anyBasisValue(definition)) {
        const int plotted = std::max(basis, 0);
        const QStringList values = definition.values(graphs::bases()[plotted].row);
        const int m = int(values.size());
        // Every chosen value is a series: the charts get the columns for all of them.
        for (ChartGrid &chart : graph.VtChDI)
            chart.setColumnCount(std::min(2 * m, ChartGrid::MaxCount));
        for (int n = 1; n <= PlotAxes::Plots; ++n)
            for (int j = 1; j <= m; ++j) {
                m_ui.progress(u"Plotting data for graph %1 - column %2"_s.arg(n).arg(j));
                for (ChartGrid &chart : graph.VtChDI) {
                    chart.setColumn(2 * j - 1);
                    chart.setColumnLabel(values[j - 1]);
                }
                QList<const Row *> selected;
                if (basis >= 0)
                    for (const Row &row : rows)
                        if (row.plot == n && row.series == j)
                            selected << &row;
                plotRows(graph, n, selected, xKinds[n - 1]);
            }
    }

    for (ChartGrid &chart : graph.VtChDI)
        chart.setAxisAuto(AxisX, true);

    m_ui.progress(u"Defining axis limits"_s);
    PlotDateRange &range = m_state.range;
    range.PlotDateMin = tensBelow(range.PlotDateMin);
    range.PlotDateMax = tensAbove(range.PlotDateMax);
    for (int n = 1; n <= PlotAxes::Plots; ++n) {
        if (!graph.ShowPlot[n - 1] || xKinds[n - 1] != AxisKind::Date)
            continue;
        graphs::applyDateOverrides(definition, range);
        ChartGrid &chart = graph.VtChDI[n - 1];
        chart.setAxisAuto(AxisX, false);
        chart.setAxisMaximum(AxisX, range.PlotDateMax);
        chart.setAxisMinimum(AxisX, range.PlotDateMin);
        chart.setAxisMajorDivisions(AxisX, 5);
        chart.setAxisMajorDivisions(AxisY, 5);
    }
    graph.chartsMs = timer.elapsed();
    m_ui.progress(QString());
    sheet.setSheet(1);
    sheet.setRow(1);
    sheet.setCol(1);
}

} // namespace kv
