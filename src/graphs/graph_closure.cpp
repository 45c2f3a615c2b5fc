// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/graph_closure.h"

#include "core/interaction.h"
#include "data/dmKV.h"
#include "data/row_writer.h"
#include "graphs/graph_date.h"
#include "graphs/graph_rows.h"
#include "graphs/plot_settings.h"
#include "main/query_definition.h"

#include <QElapsedTimer>
#include <QHash>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

struct ClosureTemperature
{
    double BlockingT = 0, BlockingTUncertainty = 0;
};

// A plotted row of the working table as chart and sheet read it.
struct Row
{
    int series = 0; // the chosen value matched, from 1
    const graphs::QueryRecord *record = nullptr;
    ClosureTemperature closure;
};

QString key(const QString &material, const QString &system, const QString &approach)
{
    return material + u'\x1f' + system + u'\x1f' + approach;
}

} // namespace

ClosureGraph::ClosureGraph() : VtChDT(ClosureGraphCommand::DesignRows, 10)
{
    VtChDT.setStyle(ChartStyle::Scatter);
    VtChDT.setTitle(u"Date vs Closure Temperature"_s);
    VtChDT.setAxisTitle(AxisX, u"Date (Ma)"_s);
    VtChDT.setAxisTitle(AxisY, u"Closure temperature (deg C)"_s);
}

ClosureGraphCommand::ClosureGraphCommand(TdmKVResults &dm, Interaction &ui, PlotState &state)
    : m_dm(dm), m_ui(ui), m_state(state)
{
}

void ClosureGraphCommand::run(const QueryDefinition &definition, ClosureGraph &graph)
{
    QElapsedTimer timer;
    timer.start();
    PlotGroupings &groupings = m_state.groupings;

    m_ui.progress(u"Reading .INI file"_s);
    LoadPlotGroupings(m_state);
    groupings.HowGrouped = DateGraphCommand::ApplyGroupingBasisRule(definition, groupings.HowGrouped);

    m_ui.progress(u"Transfering data"_s);
    m_ui.progress(u"Deleting temporary data"_s);
    graphs::emptyWorkingTable(m_dm.KVtmp, u"KVTemp4"_s);

    m_ui.progress(u"Duplicating query"_s);
    // The closure temperatures and the basis values of every record at once rather than a query per
    // record; a record's first closure-temperature row counts.
    QHash<QString, ClosureTemperature> closures;
    graphs::forEachRow(m_dm.KVResults,
                       u"select MaterialAbr, IsoSystem, ApproachAbr, BlockingT, BlockingTUncertainty from BlockingT"_s,
                       {}, [&](QSqlQuery &q) {
                           const QString k = key(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
                           if (!closures.contains(k))
                               closures.insert(k, {q.value(3).toDouble(), q.value(4).toDouble()});
                       });
    const int basis = graphs::basisIndex(groupings.HowGrouped);
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
    graph.ssDI.setEnabled(true);

    m_ui.progress(u"Appending data"_s);
    PlotDateRange &range = m_state.range;
    range = PlotDateRange{};
    const int m = int(chosen.size());
    std::vector<QList<Row>> series(m);
    Transaction transaction(m_dm.KVtmp);
    RowWriter table(m_dm.KVtmp, u"KVTemp4"_s,
                    {u"Grouping"_s, u"SuitName"_s, u"Age"_s, u"AgePlusError"_s, u"AgeMinusError"_s, u"IsoSystem"_s,
                     u"MaterialAbr"_s, u"ApproachAbr"_s, u"BlockingT"_s, u"BlockingTUncertainty"_s});
    const graphs::StoredText grouping(u"KVTemp4"_s, u"Grouping"_s), suit(u"KVTemp4"_s, u"SuitName"_s),
        system(u"KVTemp4"_s, u"IsoSystem"_s), material(u"KVTemp4"_s, u"MaterialAbr"_s),
        approach(u"KVTemp4"_s, u"ApproachAbr"_s);
    for (const graphs::QueryRecord &record : records) {
        // Every record widens the range, plotted or not.
        range.PlotDateMin = std::min(range.PlotDateMin, record.age - record.ageMError.toDouble());
        range.PlotDateMax = std::max(range.PlotDateMax, record.age + record.agePError.toDouble());
        if (m == 0)
            continue;
        const ClosureTemperature closure =
            closures.value(key(record.materialAbr, record.isotopeSystem, record.approachAbr));
        // A record carrying two chosen values is in both series; values match on their full text.
        for (const QString &value : details.value(record.recordId))
            for (int j = 1; j <= m; ++j)
                if (chosen[j - 1] == value) {
                    series[j - 1].append({j, &record, closure});
                    table.add({grouping(value), suit(record.unitName), record.age, record.agePError,
                               record.ageMError, system(record.isotopeSystem), material(record.materialAbr),
                               approach(record.approachAbr),
                               closure.BlockingT, closure.BlockingTUncertainty});
                }
    }
    table.flush();
    transaction.commit();
    graph.rowsWritten = int(table.count());
    graph.fillMs = timer.restart();

    graphs::roundToHundreds(range);
    graphs::applyDateOverrides(definition, range);

    m_ui.progress(u"Data appended"_s);
    Workbook &sheet = graph.ssDI;
    sheet.setSheet(1);
    sheet.setRow(1);
    const QStringList headers{u"Group"_s,         u"Unit"_s,          u"Date"_s,          u"+95%"_s,
                              u"-95%"_s,          u"Isotope System"_s, u"Material Abr."_s, u"Approach Abr."_s,
                              u"Closure Temperature"_s, u"+/- 1 s.d."_s};
    for (int c = 1; c <= int(headers.size()); ++c) {
        sheet.setCol(c);
        sheet.setText(headers[c - 1]);
    }
    int s = 2;

    if (graphs::anyBasisValue(definition)) {
        // The charted values: those of the basis HowGrouped names, the group descriptors when it names none.
        const QStringList values = definition.values(graphs::bases()[std::max(basis, 0)].row);
        const int charted = int(values.size());
        ChartGrid &chart = graph.VtChDT;
        chart.setColumnCount(std::min(2 * charted, ChartGrid::MaxCount));
        int largest = 0;
        for (int j = 1; j <= charted; ++j) {
            chart.setColumn(2 * j - 1);
            chart.setColumnLabel(values[j - 1]);
            m_ui.progress(u"Filter on for group"_s + QString::number(j));
            const QList<Row> &rows = j <= m ? series[j - 1] : QList<Row>{};
            largest = std::max(largest, int(rows.size()));
            const int n = std::min(allocatePlotSpace(m_ui, chart, int(rows.size()), m_state.MaxRows),
                                   int(rows.size()));
            m_ui.progress(u"Filling Closure T graph"_s);
            for (int r = 1; r <= n; ++r) {
                const Row &row = rows[r - 1];
                chart.setRow(r);
                chart.setColumn(2 * j);
                chart.setData(QString::number(row.closure.BlockingT, 'g', 15));
                chart.setColumn(2 * j - 1);
                chart.setData(QString::number(row.record->age, 'g', 15));
            }
            graph.seriesPoints << n;
            m_ui.progress(u"Filling spreadsheet"_s);
            for (const Row &row : rows) {
                const graphs::QueryRecord &record = *row.record;
                sheet.setRow(s++);
                const auto text = [&sheet](int c, const QString &t) {
                    sheet.setCol(c);
                    sheet.setText(t);
                };
                const auto number = [&sheet](int c, double v) {
                    sheet.setCol(c);
                    sheet.setNumber(v);
                };
                text(1, values[j - 1]);
                text(2, record.unitName);
                number(3, record.age);
                number(4, record.agePError.toDouble());
                number(5, record.ageMError.toDouble());
                text(6, record.isotopeSystem);
                text(7, record.materialAbr);
                text(8, record.approachAbr);
                number(9, row.closure.BlockingT);
                number(10, row.closure.BlockingTUncertainty);
            }
        }
        chart.setAxisMaximum(AxisX, range.PlotDateMax);
        chart.setAxisMinimum(AxisX, range.PlotDateMin);
        chart.setAxisMajorDivisions(AxisX, 5);
        chart.setAxisAuto(AxisX, false);
        chart.setRowCount(std::min(largest, ChartGrid::MaxCount));
    }
    graph.chartsMs = timer.elapsed();
    m_ui.progress(QString());
    sheet.setRow(1);
    sheet.setCol(1);
}

} // namespace kv
