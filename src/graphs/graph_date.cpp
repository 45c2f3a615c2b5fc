// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/graph_date.h"

#include "calc/dispersion.h"
#include "calc/floating_point_error.h"
#include "calc/kernel_density.h"
#include "calc/statistics.h"
#include "core/errors.h"
#include "core/interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/read_only_scope.h"
#include "data/row_writer.h"
#include "data/schema.h"
#include "graphs/graph_rows.h"
#include "graphs/plot_settings.h"
#include "main/query_definition.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr int CurvePoints = 500;
constexpr int DensityPoints = 512;

using graphs::anyBasisValue;
using graphs::Basis;
using graphs::bases;
using graphs::basisIndex;
using graphs::stored;

QString format(double value, const QString &pattern)
{
    return Dataset::formatNumber(value, pattern);
}

// Values below 0.001 become 0; returns the largest value, 1e-9 when all are 0.
double normalise(std::vector<std::vector<double>> &curves)
{
    double largest = 0;
    for (auto &curve : curves)
        for (double &v : curve) {
            if (v < 0.001)
                v = 0;
            largest = std::max(largest, v);
        }
    return largest == 0 ? 1e-9 : largest;
}

// One point of a group's curve: x and y in the chart's column pair of group g and in the sheet's
// columns from sheetColumn on, the first point in chart row 1 and sheet row 2.
void writeCurvePoint(ChartGrid &chart, Workbook &sheet, int point, int g, int sheetColumn, double x, double y)
{
    chart.setRow(point + 1);
    chart.setColumn(2 * g - 1);
    chart.setData(format(x, u"###0.00"_s));
    chart.setColumn(2 * g);
    chart.setData(format(y, u"###0.000"_s));
    sheet.setRow(point + 2);
    sheet.setCol(sheetColumn);
    sheet.setNumber(x);
    sheet.setCol(sheetColumn + 1);
    sheet.setNumber(y);
}

} // namespace

DateGraph::DateGraph()
    : VtChDI(DateGraphCommand::DesignRows, 15), VtChCum(501, 10), VtChG(DateGraphCommand::DesignRows, 10),
      VtChDG(DateGraphCommand::DesignRows, 15), VtChCG(501, 10), VtChKde(DensityPoints, 10)
{
    VtChDI.setStyle(ChartStyle::Dates);
    VtChDI.setTitle(u"Dates grouped by interpretation"_s);
    VtChDI.setAxisTitle(AxisX, u"Date number"_s);
    VtChDI.setAxisTitle(AxisY, u"Date (Ma)"_s);
    VtChDG.setStyle(ChartStyle::Dates);
    VtChDG.setTitle(u"Dates grouped by grouping basis"_s);
    VtChDG.setAxisTitle(AxisX, u"Date number"_s);
    VtChDG.setAxisTitle(AxisY, u"Date (Ma)"_s);
    for (ChartGrid *chart : {&VtChCum, &VtChCG, &VtChKde}) {
        chart->setStyle(ChartStyle::Curves);
        chart->setAxisTitle(AxisX, u"Date (Ma)"_s);
        chart->setAxisTitle(AxisY, u"Relative probability (%)"_s);
    }
    VtChCum.setTitle(u"Summed probability by interpretation"_s);
    VtChKde.setTitle(u"Kernel density by interpretation"_s);
    VtChCG.setTitle(u"Summed probability by grouping basis"_s);
    VtChG.setStyle(ChartStyle::Scatter);
    VtChG.setTitle(u"Radial plot"_s);
    VtChG.setAxisTitle(AxisX, u"Precision (1/sigma)"_s);
    VtChG.setAxisTitle(AxisY, u"Standardised deviation from the weighted mean"_s);
}

double AgeErrorAv(const FitStatistics *statistics, const QVariant &agePError, const QVariant &ageMError)
{
    const auto error = [](const QVariant &v, double empty) { return v.isNull() ? empty : std::fabs(v.toDouble()); };
    const bool failedFit = statistics && !statistics->ProbOfFit.isNull() && !statistics->Alpha.isNull() &&
                           statistics->Alpha.toDouble() > statistics->ProbOfFit.toDouble();
    if (failedFit) {
        const double t = calc::StudentT95(statistics->DegFreedom.toDouble());
        if (2 * t > 0)
            return (error(agePError, 0.05) + error(ageMError, 0.05)) / (2 * t);
        return 0;
    }
    return (error(agePError, 50.05) + error(ageMError, 50.05)) / (2 * calc::StudentT95(999));
}

calc::WeightedMean WeightedMeanOfDates(Dataset &table, int count)
{
    std::vector<calc::AgeSigma> dates;
    if (count > 0) {
        table.disableControls();
        table.first();
        for (int i = 0; i < count && !table.eof(); ++i, table.next())
            dates.push_back({table.value(u"Age"_s).toDouble(), table.value(u"AgeErrorAv"_s).toDouble()});
        table.first();
        table.enableControls();
    }
    return calc::WeightedMeanOfAges(dates);
}

// One row of a working table as the charts read it.
struct DateGraphCommand::Row
{
    QString key; // Interpretation of KVTemp2, Grouping of KVTemp2g
    double age = 0;
    QVariant plus, minus;
    double ageErrorAv = 0;
};

DateGraphCommand::DateGraphCommand(TdmKVResults &dm, Interaction &ui, PlotState &state)
    : m_dm(dm), m_ui(ui), m_state(state), m_groupings(state.groupings), m_maxRows(state.MaxRows),
      m_range(state.range)
{
}

QString DateGraphCommand::ApplyGroupingBasisRule(const QueryDefinition &definition, const QString &howGrouped)
{
    std::array<int, 5> counts{};
    for (int i = 0; i < 5; ++i)
        counts[i] = definition.count(bases()[i].row);
    if (std::all_of(counts.begin(), counts.end(), [](int c) { return c == 0; }))
        return howGrouped;
    QString result = howGrouped;
    for (int r = 0; r < 5; ++r) {
        bool otherEmpty = false;
        for (int o = 0; o < 5; ++o)
            if (o != r && counts[o] == 0)
                otherEmpty = true;
        if (counts[r] > 0 && otherEmpty)
            result = PlotGroupings::basisNames()[r];
    }
    return result;
}

int DateGraphCommand::groupOf(const PlotGroupings &groupings, const QString &interpAbr)
{
    int group = 0;
    for (int g = 1; g <= PlotGroupings::Groups; ++g)
        if (interpAbr == groupings.GroupLookupA[g - 1] || interpAbr == groupings.GroupLookupB[g - 1])
            group = g;
    return group;
}

int allocatePlotSpace(Interaction &ui, ChartGrid &chart, int n, int maxRows)
{
    // A chart holds at most 32767 rows, whatever the settings file says.
    const int limit = std::clamp(maxRows, 0, ChartGrid::MaxCount);
    if (n >= limit) {
        if (ui.askYesNo(u"Maximum records exceeds maximum plot space allocation. Increase to limit?"_s)) {
            chart.setRowCount(limit);
            return limit;
        }
        return std::min(n, chart.rowCount());
    }
    if (n > chart.rowCount()) {
        if (ui.askYesNo(u"Maximum records exceeds plot space allocation. Increase space?"_s)) {
            chart.setRowCount(n);
            return n;
        }
        return chart.rowCount();
    }
    return n;
}

int DateGraphCommand::plotSpace(ChartGrid &chart, int n)
{
    return allocatePlotSpace(m_ui, chart, n, m_maxRows);
}

void DateGraphCommand::emptyTable(const QString &table)
{
    graphs::emptyWorkingTable(m_dm.KVtmp, table);
}

void DateGraphCommand::fillWorkingTables(const QueryDefinition &definition, bool fillDates, bool fillGrouped,
                                         QList<Row> &rows)
{
    m_ui.progress(u"Appending data"_s);
    m_range = PlotDateRange{};

    // The details of every record at once, rather than a query per record.
    QHash<int, FitStatistics> statistics;
    graphs::forEachRow(m_dm.KVResults, u"select RecordID, ProbOfFit, Alpha, DegFreedom from IsoStatistics"_s, {},
               [&](QSqlQuery &q) {
                   const int id = q.value(0).toInt();
                   if (!statistics.contains(id)) // the first statistics row of a record counts
                       statistics.insert(id, {q.value(1), q.value(2), q.value(3)});
               });
    const int basis = basisIndex(m_groupings.HowGrouped);
    QStringList chosen;
    QHash<int, QStringList> details;
    if (basis >= 0 && definition.count(bases()[basis].row) > 0) {
        chosen = definition.values(bases()[basis].row);
        const Basis &b = bases()[basis];
        details = graphs::basisValuesByRecord(m_dm.KVResults, b);
    }

    RowWriter dates(m_dm.KVtmp, u"KVTemp2"_s,
                    {u"Interpretation"_s, u"Age"_s, u"SuitName"_s, u"InterpAbr"_s, u"Grouping"_s, u"ColumnNo"_s,
                     u"AgeErrorAv"_s, u"AgePlusError"_s, u"AgeMinusError"_s});
    RowWriter grouped(m_dm.KVtmp, u"KVTemp2g"_s,
                      {u"Grouping"_s, u"Age"_s, u"SuitName"_s, u"InterpAbr"_s, u"Interpretation"_s,
                       u"ColumnNo"_s, u"AgeErrorAv"_s, u"AgePlusError"_s, u"AgeMinusError"_s});
    using graphs::StoredText;
    const StoredText interpretation2(u"KVTemp2"_s, u"Interpretation"_s), suit2(u"KVTemp2"_s, u"SuitName"_s),
        interp2(u"KVTemp2"_s, u"InterpAbr"_s), grouping2(u"KVTemp2"_s, u"Grouping"_s);
    const StoredText interpretationG(u"KVTemp2g"_s, u"Interpretation"_s), suitG(u"KVTemp2g"_s, u"SuitName"_s),
        interpG(u"KVTemp2g"_s, u"InterpAbr"_s), groupingG(u"KVTemp2g"_s, u"Grouping"_s);
    const auto orZero = [](const QVariant &v) { return v.isNull() ? QVariant(0.0) : QVariant(v.toDouble()); };
    // The records are read once, forward, with only the fields the tables take.
    graphs::forEachQueryRecord(m_dm.KVResults, m_dm.Query1->sql(), [&](const graphs::QueryRecord &record) {
        const QString &interpAbr = record.interpAbr;
        const int g = groupOf(m_groupings, interpAbr);
        if (g == 0)
            return;
        const double age = record.age;
        const QVariant &plus = record.agePError;
        const QVariant &minus = record.ageMError;
        m_range.PlotDateMin = std::min(m_range.PlotDateMin, age - minus.toDouble());
        m_range.PlotDateMax = std::max(m_range.PlotDateMax, age + plus.toDouble());
        const int id = record.recordId;
        const auto found = statistics.constFind(id);
        const double sigma = AgeErrorAv(found == statistics.cend() ? nullptr : &*found, plus, minus);
        const QString &unit = record.unitName;
        const QString title = m_groupings.GroupTitle[g - 1];
        const QStringList recordValues = details.value(id);
        if (fillDates) {
            QString grouping; // the last chosen value the record carries
            for (const QString &value : recordValues)
                for (const QString &c : chosen)
                    if (c == value)
                        grouping = value;
            const QString key = interpretation2(title);
            const QVariant plusOrZero = orZero(plus), minusOrZero = orZero(minus);
            dates.add({key, age, suit2(unit), interp2(interpAbr), grouping2(grouping), g, sigma, plusOrZero,
                       minusOrZero});
            rows.append({key, age, plusOrZero, minusOrZero, sigma}); // as the table now holds it
        }
        if (fillGrouped) {
            for (const QString &value : recordValues)
                for (const QString &c : chosen)
                    if (c == value)
                        grouped.add({groupingG(value), age, suitG(unit), interpG(interpAbr), interpretationG(title), g,
                                     sigma, orZero(plus),
                                     orZero(minus)});
        }
    });
    dates.flush();
    grouped.flush();
}

QList<DateGraphCommand::Row> DateGraphCommand::readTable(const QString &table, const QString &keyField)
{
    QList<Row> rows;
    graphs::forEachRow(m_dm.KVtmp,
               u"select %1, Age, AgePlusError, AgeMinusError, AgeErrorAv from %2"_s.arg(keyField, table), {},
               [&](QSqlQuery &q) {
                   rows.append({q.value(0).toString(), q.value(1).toDouble(), q.value(2), q.value(3),
                                q.value(4).toDouble()});
               });
    return rows;
}

void DateGraphCommand::WriteDateBar(ChartGrid &chart, const Row &row, int highColumn, int lowColumn)
{
    chart.setColumn(lowColumn + 1);
    chart.setData(QString::number(row.age, 'g', 15));
    chart.setColumn(highColumn);
    chart.setData(format(row.plus.isNull() ? row.age : row.age + row.plus.toDouble(), u"###0.00"_s));
    chart.setColumn(lowColumn);
    chart.setData(format(row.minus.isNull() ? row.age : row.age - row.minus.toDouble(), u"###0.00"_s));
}

void DateGraphCommand::fillCurves(const QList<const Row *> &rows, std::vector<double> &curve) const
{
    curve.assign(CurvePoints + 1, 0.0); // points 1 to 500; index 0 unused
    const double low = m_range.PlotDateMin;
    const double step = (m_range.PlotDateMax - low) / CurvePoints;
    const double minimum = m_groupings.MinimumUncertainty;
    for (const Row *row : rows) {
        const double s = row->ageErrorAv < minimum ? minimum : row->ageErrorAv;
        if (!(std::fabs(s) > 0))
            continue; // a density of width 0 adds nothing
        // The normal density, in double precision, over the points within 14.15 sigma (z² < 200, plus one
        // point either side for rounding). What lies beyond is below exp(-100) = 4e-44 of the density's
        // peak 1/(2.5 sigma): even a million dates of 1e-6 Ma add less than 2e-32 to a point, and a point
        // below 0.001 is set to 0 afterwards, so every point that stays agrees with the full sum to far
        // better than 1e-9 relative.
        int first = 1, last = CurvePoints;
        if (step > 0) {
            const double reach = 14.15 * std::fabs(s);
            const double from = std::floor((row->age - reach - low) / step) - 1;
            const double to = std::ceil((row->age + reach - low) / step) + 1;
            first = int(std::clamp(from, 1.0, double(CurvePoints + 1)));
            last = int(std::clamp(to, 0.0, double(CurvePoints)));
        }
        const double scale = 1.0 / (2.5066282746310005 * s);
        for (int k = first; k <= last; ++k) {
            const double z = (low + k * step - row->age) / s;
            const double z2 = z * z;
            if (z2 < 200)
                curve[k] += std::exp(-z2 / 2) * scale;
        }
    }
    for (double v : curve)
        if (!std::isfinite(v))
            throw calc::FloatingPointError(u"The summed probability curve overflowed."_s);
}

void DateGraphCommand::fillDispersion(const QList<Row> &rows, DateGraph &graph)
{
    std::vector<calc::AgeSigma> dates;
    dates.reserve(rows.size());
    for (const Row &row : rows)
        dates.push_back({row.age, row.ageErrorAv});
    const calc::ConventionalMswd conventional = calc::ConventionalMswdOfAges(dates);
    const calc::RandomEffectsMean random = calc::RandomEffectsMeanOfAges(dates);
    const auto shown = [](bool defined, double value, const QString &pattern) {
        return defined && std::isfinite(value) ? u' ' + format(value, pattern) : QString();
    };
    graph.eMswdConventional = shown(conventional.defined, conventional.mswd, u"###0.00"_s);
    graph.ePChi2 = shown(conventional.defined, conventional.pChi2, u"0.000"_s);
    graph.eMeanRandom = shown(random.defined, random.mean, u"###0.00"_s);
    graph.eMeanRandomError = shown(random.defined, random.meanError, u"###0.00"_s);
    graph.eDispersion = shown(random.defined, random.dispersion, u"###0.00"_s);
    graph.eDispersionError = shown(random.defined, random.dispersionError, u"###0.00"_s);
}

void DateGraphCommand::fillDensities(const std::array<QList<const Row *>, 5> &groupRows, DateGraph &graph,
                                     int firstColumn)
{
    // Each group's density is scaled by its number of dates, so that, like the summed probability
    // curves, the groups keep their sizes relative to each other; the largest value of all is 100%.
    const calc::DensityGrid grid{m_range.PlotDateMin, m_range.PlotDateMax, DensityPoints};
    std::array<std::vector<double>, PlotGroupings::Groups> curves;
    double largest = 0;
    for (int g = 1; g <= PlotGroupings::Groups; ++g) {
        m_ui.progress(u"Calculating kernel density"_s + QString::number(g));
        std::vector<double> ages;
        ages.reserve(groupRows[g - 1].size());
        for (const Row *row : groupRows[g - 1])
            ages.push_back(row->age);
        const calc::KernelDensity density = calc::KernelDensityOf(ages, grid, false);
        graph.kdeBandwidths[g - 1] = density.bandwidth;
        curves[g - 1] = density.density;
        for (double &v : curves[g - 1]) {
            v *= double(ages.size());
            largest = std::max(largest, v);
        }
    }
    Workbook &sheet = graph.SSDI;
    sheet.setSheet(1);
    for (int g = 1; g <= PlotGroupings::Groups; ++g) {
        const QString &title = m_groupings.GroupTitle[g - 1];
        const double h = graph.kdeBandwidths[g - 1];
        graph.VtChKde.setColumn(2 * g - 1);
        graph.VtChKde.setColumnLabel(title);
        sheet.setRow(1);
        sheet.setCol(firstColumn + 2 * g - 2);
        sheet.setText(h > 0 ? u"%1: kernel density, bandwidth %2 Ma"_s.arg(title, format(h, u"###0.00"_s))
                            : u"%1: kernel density"_s.arg(title));
        for (int k = 0; k < DensityPoints; ++k) {
            const double x = grid.from + (grid.to - grid.from) * k / (DensityPoints - 1);
            const double y = largest > 0 ? 100.0 * curves[g - 1][k] / largest : 0.0;
            writeCurvePoint(graph.VtChKde, sheet, k, g, firstColumn + 2 * g - 2, x, y);
        }
    }
}

void DateGraphCommand::run(const QueryDefinition &definition, DateGraph &graph)
{
    // On success and failure alike the copy of the query is closed and its details follow it again.
    struct CloseQuery
    {
        Dataset &query;
        bool disabled = false;
        ~CloseQuery()
        {
            if (disabled)
                query.enableControls();
            try {
                query.close();
            } catch (...) {
            }
        }
    } closeQuery{*m_dm.Querydm};
    QElapsedTimer timer;
    timer.start();

    m_ui.progress(u"Reading .INI file"_s);
    LoadPlotGroupings(m_state);
    m_groupings.HowGrouped = ApplyGroupingBasisRule(definition, m_groupings.HowGrouped);

    m_ui.progress(u"Transfering data"_s);
    const bool fillDates = !m_dm.DateDataCurrent;
    const bool fillGrouped = !m_dm.GroupedDateDataCurrent;
    // Emptying and refilling the working tables is one transaction: one commit for all of it.
    std::optional<Transaction> refill;
    if (fillDates || fillGrouped)
        refill.emplace(m_dm.KVtmp);
    for (const auto &[fill, table] : {std::pair{fillDates, u"KVTemp2"_s}, std::pair{fillGrouped, u"KVTemp2g"_s}}) {
        if (fill) {
            m_ui.progress(u"Deleting temporary data"_s);
            emptyTable(table);
        }
    }

    // The query's text runs again, read-only, when the working tables are refilled; current tables need
    // no records.
    m_ui.progress(u"Duplicating query"_s);
    m_dm.Querydm->close();

    m_ui.progress(u"Creating form"_s);
    QList<Row> rows; // KVTemp2's rows, in the table's order
    if (fillDates || fillGrouped) {
        fillWorkingTables(definition, fillDates, fillGrouped, rows);
        refill->commit();
        m_dm.DateDataCurrent = true;
        m_dm.GroupedDateDataCurrent = true;
    }

    // Date range, rounded out to whole hundreds of Ma.
    graphs::roundToHundreds(m_range);
    graphs::applyDateOverrides(definition, m_range);
    const double low = m_range.PlotDateMin;
    const double high = m_range.PlotDateMax;

    if (!fillDates)
        rows = readTable(u"KVTemp2"_s, u"Interpretation"_s);
    graph.fillMs = timer.restart();

    for (ChartGrid *chart : {&graph.VtChCum, &graph.VtChCG, &graph.VtChKde}) {
        chart->setAxisMaximum(AxisX, high);
        chart->setAxisMinimum(AxisX, low);
        chart->setAxisMaximum(AxisY, 100);
        chart->setAxisMinimum(AxisY, 0);
        chart->setAxisMajorDivisions(AxisX, 5);
        chart->setAxisMajorDivisions(AxisY, 5);
    }
    m_ui.progress(u"Data appended"_s);

    qint64 chartsMs = 0;
    QElapsedTimer chartTimer;
    const auto rowsOf = [](const QList<Row> &all, const QString &key) {
        QList<const Row *> selected;
        for (const Row &row : all)
            if (row.key == key)
                selected << &row;
        return selected;
    };

    std::vector<std::vector<double>> curves(PlotGroupings::Groups);
    std::array<QList<const Row *>, PlotGroupings::Groups> groupRows;
    int largestGroup = 0;
    for (int g = 1; g <= PlotGroupings::Groups; ++g) {
        const QString &title = m_groupings.GroupTitle[g - 1];
        chartTimer.start();
        graph.VtChDI.setColumn(3 * g - 2);
        graph.VtChDI.setColumnLabel(title);
        graph.VtChCum.setColumn(2 * g - 1);
        graph.VtChCum.setColumnLabel(title);
        graph.VtChG.setColumn(2 * g - 1);
        graph.VtChG.setColumnLabel(title);
        m_ui.progress(u"Filter on for group"_s + QString::number(g));
        // The group's rows are those whose stored title equals the group's: two groups with one
        // title share their rows, and a title holding a quote selects like any other.
        groupRows[g - 1] = rowsOf(rows, stored(u"KVTemp2"_s, u"Interpretation"_s, title));
        const int count = int(groupRows[g - 1].size());
        largestGroup = std::max(largestGroup, count);
        const int n = plotSpace(graph.VtChDI, count);
        m_ui.progress(u"Filling graph 1"_s);
        for (int r = 1; r <= n; ++r) {
            graph.VtChDI.setRow(r);
            WriteDateBar(graph.VtChDI, *groupRows[g - 1][r - 1], 3 * g - 2, 3 * g - 1);
        }
        chartsMs += chartTimer.elapsed();
        m_ui.progress(u"Calculating interpretation spectrum"_s + QString::number(g));
        fillCurves(groupRows[g - 1], curves[g - 1]);
    }
    chartTimer.start();
    graph.VtChDI.setRowCount(std::min(largestGroup, ChartGrid::MaxCount));

    for (auto &curve : curves)
        curve[0] = 0; // index 0 is no point of the curve
    const double largest = normalise(curves);
    Workbook &sheet = graph.SSDI;
    const double step = (high - low) / CurvePoints;
    for (int g = 1; g <= PlotGroupings::Groups; ++g) {
        sheet.setSheet(1);
        sheet.setRow(1);
        sheet.setCol(2 * g - 1);
        sheet.setText(m_groupings.GroupTitle[g - 1]);
        m_ui.progress(u"Filling spreadsheet and interpretation histogram for"_s + QString::number(g));
        for (int k = 0; k <= CurvePoints; ++k) {
            const double x = low + k * step;
            const double y = 100.0 * curves[g - 1][std::max(k, 1)] / largest;
            writeCurvePoint(graph.VtChCum, sheet, k, g, 2 * g - 1, x, y);
        }
    }
    chartsMs += chartTimer.elapsed();

    // Weighted mean of every plotted date.
    QElapsedTimer meanTimer;
    meanTimer.start();
    Dataset &table = *m_dm.TempDataDI;
    table.setFiltered(false);
    if (table.isOpen())
        table.refresh();
    else
        table.open();
    m_ui.progress(u"Calculating weighted average"_s);
    // WeightedMeanOfDates over every row of the table (its filter is off), taken from the rows read
    // above rather than read again.
    std::vector<calc::AgeSigma> plotted;
    plotted.reserve(size_t(rows.size()));
    for (const Row &row : std::as_const(rows))
        plotted.push_back({row.age, row.ageErrorAv});
    const calc::WeightedMean mean = calc::WeightedMeanOfAges(plotted);
    graph.eDate = u' ' + format(mean.mean, u"###0.00"_s);
    if (mean.n > 1) {
        graph.eMSWD = u' ' + format(mean.mswd, u"###0.00"_s);
        graph.eProbabilityOfFit = u' ' + format(calc::FProbability(mean.n - 1, 999, mean.mswd, m_ui), u"0.000"_s);
    } else {
        graph.eMSWD.clear();
        graph.eProbabilityOfFit.clear();
    }
    const double error = mean.internalError > mean.externalError ? calc::StudentT95(999) * mean.internalError
                                                                  : calc::StudentT95(mean.n) * mean.externalError;
    graph.eError = u' ' + format(error, u"###0.00"_s);
    fillDispersion(rows, graph);
    graph.meanMs = meanTimer.elapsed();

    chartTimer.start();
    for (int g = 1; g <= PlotGroupings::Groups; ++g) {
        const QList<const Row *> &selected = groupRows[g - 1];
        const int n = plotSpace(graph.VtChG, int(selected.size()));
        m_ui.progress(u"Filling Galbraith graph for"_s + QString::number(g));
        int r = 1;
        for (const Row *row : selected) {
            if (r > n)
                break;
            graph.VtChG.setRow(r);
            graph.VtChG.setColumn(2 * g - 1);
            if (row->ageErrorAv > 0) {
                graph.VtChG.setData(format(1.0 / row->ageErrorAv, u"###0.00000"_s));
                graph.VtChG.setColumn(2 * g);
                graph.VtChG.setData(format((row->age - mean.mean) / row->ageErrorAv, u"###0.000"_s));
                ++r;
            }
        }
    }
    chartsMs += chartTimer.elapsed();

    if (anyBasisValue(definition)) {
        graph.groupingTabsVisible = true;
        const int basis = std::max(basisIndex(m_groupings.HowGrouped), 0);
        const QStringList values = definition.values(bases()[basis].row);
        const int m = int(values.size());
        const QList<Row> groupedRows = readTable(u"KVTemp2g"_s, u"Grouping"_s);
        graph.VtChDG.setColumnCount(3 * m);
        graph.VtChCG.setColumnCount(2 * m);
        std::vector<std::vector<double>> seriesCurves(m);
        int largestSeries = 0;
        for (int j = 1; j <= m; ++j) {
            chartTimer.start();
            graph.VtChDG.setColumn(3 * j - 2);
            graph.VtChDG.setColumnLabel(values[j - 1]);
            m_ui.progress(u"Filter on for group"_s + QString::number(j));
            const QList<const Row *> selected =
                rowsOf(groupedRows, stored(u"KVTemp2g"_s, u"Grouping"_s, values[j - 1]));
            largestSeries = std::max(largestSeries, int(selected.size()));
            const int n = plotSpace(graph.VtChDG, int(selected.size()));
            m_ui.progress(u"Filling Grouping graph"_s);
            for (int r = 1; r <= n; ++r) {
                graph.VtChDG.setRow(r);
                WriteDateBar(graph.VtChDG, *selected[r - 1], 3 * j - 2, 3 * j - 1);
            }
            chartsMs += chartTimer.elapsed();
            m_ui.progress(u"Calculating grouping spectrum"_s + QString::number(j));
            fillCurves(selected, seriesCurves[j - 1]);
            seriesCurves[j - 1][0] = 0;
            m_ui.progress(u"Filling grouping histogram for"_s + QString::number(j));
        }
        chartTimer.start();
        const double largestValue = normalise(seriesCurves);
        for (int j = 1; j <= m; ++j) {
            sheet.setSheet(1);
            sheet.setRow(1);
            sheet.setCol(2 * j + 9);
            sheet.setText(values[j - 1]);
            graph.VtChCG.setColumn(2 * j - 1);
            graph.VtChCG.setColumnLabel(values[j - 1]);
            for (int k = 0; k <= CurvePoints; ++k) {
                const double x = low + k * step;
                double y = 100.0 * seriesCurves[j - 1][std::max(k, 1)] / largestValue;
                if (y < 0.001)
                    y = 0;
                graph.VtChCG.setRow(k + 1);
                graph.VtChCG.setColumn(2 * j - 1);
                graph.VtChCG.setData(format(x, u"###0.00"_s));
                graph.VtChCG.setColumn(2 * j);
                graph.VtChCG.setData(format(y, u"###0.000"_s));
                sheet.setRow(k + 2);
                sheet.setCol(2 * j + 9);
                sheet.setNumber(x);
                sheet.setCol(2 * j + 10);
                sheet.setNumber(y);
            }
        }
        graph.VtChDG.setRowCount(std::min(largestSeries, ChartGrid::MaxCount));
        chartsMs += chartTimer.elapsed();
    } else {
        graph.groupingTabsVisible = false;
    }

    // The kernel densities go into the sheet after the grouping series (or where they would begin).
    chartTimer.start();
    const int groupingSeries = graph.groupingTabsVisible
                                   ? int(definition.values(bases()[std::max(basisIndex(m_groupings.HowGrouped), 0)].row).size())
                                   : 0;
    fillDensities(groupRows, graph, 11 + 2 * groupingSeries);
    chartsMs += chartTimer.elapsed();

    m_dm.TempDataDG->setFiltered(false);
    if (m_dm.TempDataDG->isOpen())
        m_dm.TempDataDG->refresh();
    table.first();
    m_ui.progress(QString());
    // The sheet opens at its first cell, not at the last one written.
    graph.SSDI.setSheet(1);
    graph.SSDI.setRow(1);
    graph.SSDI.setCol(1);
    graph.SSDI.setEnabled(true);
    graph.saveEnabled = true;
    graph.chartsMs = chartsMs;
    graph.curvesMs = timer.elapsed() - chartsMs - graph.meanMs;
}

} // namespace kv
