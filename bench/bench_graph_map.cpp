// SPDX-License-Identifier: GPL-3.0-or-later
// Times the map of sample localities (without its window) and the GIS export on the databases of the data
// folder, e.g. after `kvtool synth --records 100000`: the query of every record, the map with its working
// table refilled, then again with it current, then the localities written as GeoJSON, KML and CSV.
//
//   bench_graph_map [--area CODE]... [FOLDER]
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "exchange/gis_export.h"
#include "graphs/graph_map.h"
#include "graphs/plot_settings.h"
#include "graphs/plot_state.h"
#include "main/query_command.h"
#include "main/query_definition.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <ctime>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QStringList args = app.arguments().mid(1);
    QueryDefinition definition;
    QString folder = QDir::tempPath();
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--area"_s && i + 1 < args.size()) {
            definition.addValue(1, args[i + 1], args[i + 1]);
            ++i;
        } else {
            folder = args[i];
        }
    }
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

        PlotState state;
        for (const char *label : {"refilled", "current"}) {
            LocalityMap map;
            timer.restart();
            const double cpu = cpuSeconds();
            MapCommand(dm, ui, state).run(definition, map);
            int points = 0;
            for (int n : map.interpretationPoints)
                points += n;
            out << "map (" << label << "): " << timer.elapsed() << " ms (CPU "
                << int((cpuSeconds() - cpu) * 1000) << " ms); " << map.transferred << " rows transferred, "
                << points << " points by interpretation, " << map.outlinePoints << " outline points; peak "
                << peakMegabytes() << " MB\n";
            out.flush();
        }
        for (const QString &name : {u"localities.geojson"_s, u"localities.kml"_s, u"localities.csv"_s}) {
            const QString path = QDir(folder).filePath(name);
            timer.restart();
            const double cpu = cpuSeconds();
            const GisExportResult result = exportGisLocalities(dm, gisFormatOf(path), path);
            out << "export " << name << ": " << timer.elapsed() << " ms (CPU "
                << int((cpuSeconds() - cpu) * 1000) << " ms); " << result.written << " written, "
                << result.leftOut << " left out, " << QFileInfo(path).size() / 1024 << " KiB; peak "
                << peakMegabytes() << " MB\n";
            out.flush();
        }
    } catch (const Error &e) {
        out << "error: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
