// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool graph date, ratios, ratios-grouped and closure: runs a query and a graph on it, prints what the
// window would show, and writes the spreadsheet and the charts.
#include "app/kvtool.h"
#include "app/kvtool_query_options.h"
#include "controls/ui/chart_view.h"
#include "controls/workbook_format.h"
#include "data/dmKV.h"
#include "graphs/graph_closure.h"
#include "graphs/graph_date.h"
#include "graphs/graph_ratios.h"
#include "graphs/graph_rows.h"
#include "graphs/plot_settings.h"
#include "graphs/ui/KV_grph.h"
#include "graphs/ui/KV_grphi.h"
#include "graphs/ui/KV_grpht.h"
#include "main/query_command.h"

#include <QApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace {

int fileTypeOf(const QString &type, const QString &path)
{
    if (type.isEmpty())
        return kv::workbookFileTypeForName(path);
    if (type == u"xlsx")
        return kv::FileTypeXlsx;
    if (type == u"csv")
        return kv::FileTypeCsv;
    if (type == u"11" || type == u"4")
        return type.toInt();
    throw kv::InputError(u"--type %1: use 11 (Excel 97), 4 (Excel 5), xlsx or csv."_s.arg(type));
}

void writeCharts(const QList<std::pair<QString, const kv::ChartGrid *>> &charts, const QString &folder)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        throw kv::Error(u"Charts can only be drawn when kvtool runs with its window system."_s);
    if (!QDir().mkpath(folder))
        throw kv::FileError(u"Cannot create the folder %1."_s.arg(folder));
    for (const auto &[name, grid] : charts) {
        kv::ChartView view;
        view.resize(1000, 700);
        view.setGrid(*grid);
        view.refresh();
        view.saveChart(QDir(folder).filePath(name + u".png"_s), 1000, 700);
    }
}

void writeImages(const kv::DateGraph &graph, const QString &folder)
{
    QList<std::pair<QString, const kv::ChartGrid *>> charts{{u"interpretation"_s, &graph.VtChDI},
                                                            {u"interpretation_histogram"_s, &graph.VtChCum},
                                                            {u"kernel_density"_s, &graph.VtChKde},
                                                            {u"radial_plot"_s, &graph.VtChG}};
    if (graph.groupingTabsVisible)
        charts += {{u"grouping"_s, &graph.VtChDG}, {u"grouping_histogram"_s, &graph.VtChCG}};
    writeCharts(charts, folder);
}

// What every graph verb takes after its query options: where its spreadsheet and charts go, and
// whether its window is shown.
struct GraphOutput
{
    QString save;
    int fileType = 0;
    QString images;
    bool show = false;

    static GraphOutput take(kv::tool::Context &c)
    {
        GraphOutput o;
        o.save = c.option(u"save"_s);
        const QString type = c.option(u"type"_s);
        o.images = c.option(u"images"_s);
        o.show = c.flag(u"show"_s);
        c.expectNoMoreArgs();
        o.fileType = o.save.isEmpty() ? 0 : fileTypeOf(type, o.save);
        return o;
    }

    void writeSheet(const kv::Workbook &sheet) const
    {
        if (!save.isEmpty())
            sheet.writeWorkbook(save, fileType);
    }

    // The window of the graph, modal, when --show asks for it.
    template <class Window, class Graph>
    void showWindow(Graph &graph, kv::Interaction &ui) const
    {
        if (!show)
            return;
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            throw kv::Error(u"The window can only be shown when kvtool runs with its window system."_s);
        Window window(graph, ui);
        window.exec();
    }
};

// Runs the verb's query and prints its record count; false when it did not run.
bool runQuery(kv::tool::Context &c, kv::tool::QueryOptions &options, kv::TdmKVResults &dm)
{
    kv::QueryCommand query(dm, c.ui);
    if (!options.run(c, dm, query))
        return false;
    c.out << "# records = " << query.recordCountText() << '\n';
    return true;
}

int graphDate(kv::tool::Context &c)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const GraphOutput output = GraphOutput::take(c);
    kv::TdmKVResults dm(c.ui);
    if (!runQuery(c, options, dm))
        return 1;

    // The plot state of one run, as the viewer's main window holds one for its run.
    kv::PlotState plot;
    kv::DateGraph graph;
    kv::DateGraphCommand(dm, c.ui, plot).run(options.definition, graph);

    c.out << "Mean\t" << graph.eDate << '\n'
          << "+/-\t" << graph.eError << "\tMa   (95% confidence)\n"
          << "MSWD\t" << graph.eMSWD << '\n'
          << "Probability of fit\t" << graph.eProbabilityOfFit << '\n'
          << "MSWD (conventional)\t" << graph.eMswdConventional << '\n'
          << "p(chi2)\t" << graph.ePChi2 << '\n'
          << "Mean with overdispersion\t" << graph.eMeanRandom << "\t+/-\t" << graph.eMeanRandomError
          << "\tMa   (1 sigma)\n"
          << "Dispersion\t" << graph.eDispersion << "\t+/-\t" << graph.eDispersionError << "\tMa   (1 sigma)\n";
    for (int g = 0; g < kv::PlotGroupings::Groups; ++g)
        if (graph.kdeBandwidths[g] > 0)
            c.out << "Kernel density bandwidth\t" << plot.groupings.GroupTitle[g] << '\t'
                  << QString::number(graph.kdeBandwidths[g], 'f', 2) << "\tMa\n";
    c.out
          << "# dates = " << dm.TempDataDI->recordCount() << ", axis " << plot.range.PlotDateMin << " to "
          << plot.range.PlotDateMax << " Ma\n";
    c.out.flush();
    output.writeSheet(graph.SSDI);
    if (!output.images.isEmpty())
        writeImages(graph, output.images);
    output.showWindow<kv::TfmKVGraph>(graph, c.ui);
    return 0;
}

// The plots of --plot N[:X,Y]: X and Y are variable texts as the Variables table shows them (or their
// codes); a bare N takes the axes the settings file keeps for plot N.
kv::RatioPlots ratioPlots(const QStringList &specs, kv::TdmKVResults &dm, kv::PlotState &state)
{
    QList<std::pair<QString, QString>> variables; // code, shown text
    kv::graphs::forEachRow(dm.KVtmp, u"select VariableAbr, Variable from Variables"_s, {},
                           [&](QSqlQuery &q) { variables.append({q.value(0).toString(), q.value(1).toString()}); });
    const auto shown = [&](const QString &given, bool strict) {
        for (const auto &[code, text] : variables)
            if (text == given.trimmed())
                return text;
        for (const auto &[code, text] : variables)
            if (code == given.trimmed())
                return text;
        if (!strict)
            return QString();
        QStringList known;
        for (const auto &variable : variables)
            known << variable.second;
        throw kv::InputError(u"--plot: \"%1\" is no variable; the variables are: %2."_s.arg(given, known.join(u", "_s)));
    };
    kv::LoadPlotAxes(state);
    kv::RatioPlots plots;
    for (const QString &spec : specs) {
        const QString number = spec.section(u':', 0, 0);
        bool ok = false;
        const int n = number.toInt(&ok);
        if (!ok || n < 1 || n > kv::PlotAxes::Plots)
            throw kv::InputError(u"--plot %1: give the plot number 1, 2 or 3, then :X,Y."_s.arg(spec));
        kv::RatioPlot &plot = plots[n - 1];
        plot.on = true;
        if (!spec.contains(u':')) {
            plot.xText = shown(state.axes.X[n - 1], false);
            plot.yText = shown(state.axes.Y[n - 1], false);
            continue;
        }
        const QString axes = spec.section(u':', 1);
        if (!axes.contains(u','))
            throw kv::InputError(u"--plot %1: give the X and the Y variable, separated by a comma."_s.arg(spec));
        plot.xText = shown(axes.section(u',', 0, 0), true);
        plot.yText = shown(axes.section(u',', 1), true);
    }
    return plots;
}

int graphRatios(kv::tool::Context &c, bool grouped)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const QStringList plotSpecs = c.options(u"plot"_s);
    const GraphOutput output = GraphOutput::take(c);
    kv::TdmKVResults dm(c.ui);
    if (!runQuery(c, options, dm))
        return 1;

    kv::PlotState plot;
    const kv::RatioPlots plots = ratioPlots(plotSpecs, dm, plot);
    kv::RatioGraph graph;
    kv::RatioGraphCommand(dm, c.ui, plot).run(options.definition, [&] { return plots; }, grouped, graph);

    for (int n = 1; n <= kv::PlotAxes::Plots; ++n)
        if (graph.ShowPlot[n - 1])
            c.out << "plot " << n << '\t' << graph.caption[n - 1] << '\t' << graph.points[n - 1] << " points\t"
                  << graph.SSI.maxRowOf(n) - 1 << " listed\n";
    if (grouped)
        c.out << "# series by " << plot.groupings.HowGrouped << '\n';
    c.out << "# rows written = " << graph.rowsWritten << ", date axis " << plot.range.PlotDateMin << " to "
          << plot.range.PlotDateMax << " Ma\n";
    c.out.flush();
    output.writeSheet(graph.SSI);
    if (!output.images.isEmpty()) {
        QList<std::pair<QString, const kv::ChartGrid *>> charts;
        for (int n = 1; n <= kv::PlotAxes::Plots; ++n)
            if (graph.ShowPlot[n - 1])
                charts.append({u"plot%1"_s.arg(n), &graph.VtChDI[n - 1]});
        writeCharts(charts, output.images);
    }
    output.showWindow<kv::TfmKVGraphI>(graph, c.ui);
    return 0;
}

int graphClosure(kv::tool::Context &c)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const GraphOutput output = GraphOutput::take(c);
    kv::TdmKVResults dm(c.ui);
    if (!runQuery(c, options, dm))
        return 1;

    kv::PlotState plot;
    kv::ClosureGraph graph;
    kv::ClosureGraphCommand(dm, c.ui, plot).run(options.definition, graph);
    c.out << "# series by " << plot.groupings.HowGrouped << '\n';
    for (int j = 1; j <= int(graph.seriesPoints.size()); ++j)
        c.out << "series " << j << '\t' << graph.VtChDT.columnLabel(2 * j - 1) << '\t' << graph.seriesPoints[j - 1]
              << " points\n";
    c.out << "# rows written = " << graph.rowsWritten << ", date axis " << plot.range.PlotDateMin << " to "
          << plot.range.PlotDateMax << " Ma\n";
    c.out.flush();
    output.writeSheet(graph.ssDI);
    if (!output.images.isEmpty())
        writeCharts({{u"closure_temperature"_s, &graph.VtChDT}}, output.images);
    output.showWindow<kv::TfmKVGraphT>(graph, c.ui);
    return 0;
}

#define KV_GRAPH_OUTPUT " [--save FILE [--type 11|4|xlsx|csv]] [--images DIR] [--show]"
kv::tool::Verb graphDateVerb("graph date", KV_QUERY_OPTIONS_USAGE KV_GRAPH_OUTPUT, &graphDate);
kv::tool::Verb graphRatiosVerb("graph ratios", KV_QUERY_OPTIONS_USAGE " [--plot N[:X,Y]]..." KV_GRAPH_OUTPUT,
                               [](kv::tool::Context &c) { return graphRatios(c, false); });
kv::tool::Verb graphRatiosGroupedVerb("graph ratios-grouped",
                                      KV_QUERY_OPTIONS_USAGE " [--plot N[:X,Y]]..." KV_GRAPH_OUTPUT,
                                      [](kv::tool::Context &c) { return graphRatios(c, true); });
kv::tool::Verb graphClosureVerb("graph closure", KV_QUERY_OPTIONS_USAGE KV_GRAPH_OUTPUT, &graphClosure);

} // namespace
