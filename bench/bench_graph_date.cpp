// SPDX-License-Identifier: GPL-3.0-or-later
// Times the graph commands (without their windows) on the databases of the data folder, e.g. after
// `kvtool synth --records 100000`: the query of every record, then the date graph with its working tables
// refilled and again with them current, the initial-ratio graphs plain and grouped (three plots: date
// against initial ratio, epsilon and mu) and dates against closure temperature; with --province the
// grouped graphs have their series.
//
//   bench_graph_date [--province NAME]...
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "graphs/graph_closure.h"
#include "graphs/graph_date.h"
#include "graphs/graph_ratios.h"
#include "graphs/plot_settings.h"
#include "main/query_command.h"
#include "main/query_definition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace kv;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QStringList args = app.arguments().mid(1);
    QueryDefinition definition;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2)
        if (args[i] == u"--province"_s)
            definition.addValue(11, args[i + 1], args[i + 1]);
    try {
        ScriptedInteraction ui;
        ui.setDefaultAnswer(Interaction::Answer::Yes);
        TdmKVResults dm(ui);
        const DatabaseLocations locations = defaultLocations();
        dm.KVResults.bind(locations.results);
        openExisting(dm.KVResults, DatabaseKind::Results);
        dm.KVtmp.bind(locations.working);
        openExisting(dm.KVtmp, DatabaseKind::Working);
        QueryCommand query(dm, ui);
        QElapsedTimer timer;
        timer.start();
        definition.prefLevelChecked = false;
        if (!query.execute(definition))
            throw Error(u"The query failed: "_s + query.lastError());
        out << "query: " << query.recordCount() << " records, " << timer.elapsed() << " ms\n";

        PlotState plot;
        for (const char *label : {"refilled", "current"}) {
            DateGraph graph;
            timer.restart();
            DateGraphCommand(dm, ui, plot).run(definition, graph);
            out << "graph (" << label << "): " << timer.elapsed() << " ms; working tables " << graph.fillMs
                << " ms, curves " << graph.curvesMs << " ms, weighted mean " << graph.meanMs << " ms, chart and sheet cells " << graph.chartsMs
                << " ms; dates " << dm.TempDataDI->recordCount() << ", mean" << graph.eDate << " +/-"
                << graph.eError << "\n";
            out.flush();
        }
        RatioPlots plots;
        plots[0] = {true, u"Date (Ma)"_s, u"Initial ratio"_s};
        plots[1] = {true, u"Date (Ma)"_s, u"Epsilon/Gamma"_s};
        plots[2] = {true, u"Date (Ma)"_s, u"238U/204Pb (mu)"_s};
        for (const bool grouped : {false, true}) {
            RatioGraph graph;
            timer.restart();
            RatioGraphCommand(dm, ui, plot).run(definition, [&] { return plots; }, grouped, graph);
            out << (grouped ? "ratios grouped: " : "ratios: ") << timer.elapsed() << " ms; records and working table "
                << graph.fillMs << " ms, charts " << graph.chartsMs << " ms; rows " << graph.rowsWritten
                << ", points " << graph.points[0] << '/' << graph.points[1] << '/' << graph.points[2] << "\n";
            out.flush();
        }
        ClosureGraph closure;
        timer.restart();
        ClosureGraphCommand(dm, ui, plot).run(definition, closure);
        out << "closure: " << timer.elapsed() << " ms; records and working table " << closure.fillMs
            << " ms, chart and sheet " << closure.chartsMs << " ms; rows " << closure.rowsWritten << "\n";
    } catch (const Error &e) {
        out << "error: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
