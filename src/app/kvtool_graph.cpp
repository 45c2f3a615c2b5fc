// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool graph date: runs a query and the date graph on it, prints the weighted-mean panel, and writes the
// spreadsheet and the charts.
#include "app/kvtool.h"
#include "app/kvtool_query_options.h"
#include "controls/ui/chart_view.h"
#include "controls/workbook_format.h"
#include "data/dmKV.h"
#include "graphs/graph_date.h"
#include "graphs/plot_settings.h"
#include "graphs/ui/KV_grph.h"
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

void writeImages(const kv::DateGraph &graph, const QString &folder)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        throw kv::Error(u"Charts can only be drawn when kvtool runs with its window system."_s);
    if (!QDir().mkpath(folder))
        throw kv::FileError(u"Cannot create the folder %1."_s.arg(folder));
    QList<std::pair<QString, const kv::ChartGrid *>> charts{{u"interpretation"_s, &graph.VtChDI},
                                                            {u"interpretation_histogram"_s, &graph.VtChCum},
                                                            {u"radial_plot"_s, &graph.VtChG}};
    if (graph.groupingTabsVisible)
        charts += {{u"grouping"_s, &graph.VtChDG}, {u"grouping_histogram"_s, &graph.VtChCG}};
    for (const auto &[name, grid] : charts) {
        kv::ChartView view;
        view.resize(1000, 700);
        view.setGrid(*grid);
        view.refresh();
        view.saveChart(QDir(folder).filePath(name + u".png"_s), 1000, 700);
    }
}

int graphDate(kv::tool::Context &c)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const QString save = c.option(u"save"_s);
    const QString type = c.option(u"type"_s);
    const QString images = c.option(u"images"_s);
    const bool show = c.flag(u"show"_s);
    c.expectNoMoreArgs();
    const int fileType = save.isEmpty() ? 0 : fileTypeOf(type, save);

    kv::TdmKVResults dm(c.ui);
    kv::QueryCommand query(dm, c.ui);
    if (!options.run(c, dm, query))
        return 1;
    c.out << "# records = " << query.recordCountText() << '\n';

    // The plot state of one run, as the viewer's main window holds one for its run.
    kv::PlotState plot;
    kv::DateGraph graph;
    kv::DateGraphCommand(dm, c.ui, plot).run(options.definition, graph);

    c.out << "Mean\t" << graph.eDate << '\n'
          << "+/-\t" << graph.eError << "\tMa   (95% confidence)\n"
          << "MSWD\t" << graph.eMSWD << '\n'
          << "Probability of fit\t" << graph.eProbabilityOfFit << '\n'
          << "# dates = " << dm.TempDataDI->recordCount() << ", axis " << plot.range.PlotDateMin << " to "
          << plot.range.PlotDateMax << " Ma\n";
    c.out.flush();
    if (!save.isEmpty())
        graph.SSDI.writeWorkbook(save, fileType);
    if (!images.isEmpty())
        writeImages(graph, images);
    if (show) {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            throw kv::Error(u"The window can only be shown when kvtool runs with its window system."_s);
        kv::TfmKVGraph window(graph, c.ui);
        window.exec();
    }
    return 0;
}

kv::tool::Verb graphDateVerb("graph date",
                             KV_QUERY_OPTIONS_USAGE " [--save FILE [--type 11|4|xlsx|csv]] [--images DIR] [--show]",
                             &graphDate);

} // namespace
