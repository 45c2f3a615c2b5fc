// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool graph map and kvtool export gis: the map of the query's sample localities, and the localities
// written for GIS programs.
#include "app/kvtool.h"
#include "app/kvtool_query_options.h"
#include "controls/ui/chart_view.h"
#include "data/dmKV.h"
#include "exchange/gis_export.h"
#include "graphs/graph_map.h"
#include "graphs/plot_settings.h"
#include "graphs/plot_state.h"
#include "main/query_command.h"

#include <QApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace {

int graphMap(kv::tool::Context &c)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const QString images = c.option(u"images"_s);
    c.expectNoMoreArgs();

    kv::TdmKVResults dm(c.ui);
    kv::QueryCommand query(dm, c.ui);
    if (!options.run(c, dm, query))
        return 1;
    c.out << "# records = " << query.recordCountText() << '\n';

    kv::PlotState state;
    const kv::PlotGroupings &groupings = state.groupings;
    kv::LocalityMap map;
    kv::MapCommand command(dm, c.ui, state);
    command.run(options.definition, map);

    c.out << "rows transferred\t" << map.transferred << '\n';
    for (int k = 1; k <= kv::PlotGroupings::Groups; ++k)
        c.out << "interpretation " << k << '\t' << groupings.GroupTitle[k - 1] << '\t'
              << map.interpretationPoints[k - 1] << '\n';
    for (int b = 1; b <= kv::PlotGroupings::Bands; ++b)
        c.out << "date band " << b << '\t' << groupings.DateTitle[b - 1] << '\t' << map.bandPoints[b - 1]
              << '\n';
    c.out << "outline points\t" << map.outlinePoints << '\n';
    c.out.flush();

    if (!images.isEmpty()) {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            throw kv::Error(u"Charts can only be drawn when kvtool runs with its window system."_s);
        if (!QDir().mkpath(images))
            throw kv::FileError(u"Cannot create the folder %1."_s.arg(images));
        for (const auto &[name, grid] :
             {std::pair{u"map_interpretation"_s, &map.VtChM1}, std::pair{u"map_date_bands"_s, &map.VtChM2}}) {
            kv::ChartView view;
            view.resize(1000, 800);
            view.setGrid(*grid);
            view.refresh();
            view.saveChart(QDir(images).filePath(name + u".png"_s), 1000, 800);
        }
    }
    return 0;
}

int exportGis(kv::tool::Context &c)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const QString format = c.option(u"format"_s);
    if (c.args.size() != 1)
        throw kv::InputError(u"Name the file to write."_s);
    const QString out = c.args.takeFirst();
    c.expectNoMoreArgs();
    const kv::GisFormat chosen = kv::gisFormatOf(format.isEmpty() ? out : format);

    kv::TdmKVResults dm(c.ui);
    kv::QueryCommand query(dm, c.ui);
    if (!options.run(c, dm, query))
        return 1;
    c.out << "# records = " << query.recordCountText() << '\n';
    const kv::GisExportResult result = kv::exportGisLocalities(dm, chosen, out);
    c.out << kv::gisExportMessage(result, out) << '\n';
    return 0;
}

kv::tool::Verb graphMapVerb("graph map", KV_QUERY_OPTIONS_USAGE " [--images DIR]", &graphMap);
kv::tool::Verb exportGisVerb("export gis", KV_QUERY_OPTIONS_USAGE " [--format geojson|kml|csv] OUT",
                             &exportGis);

} // namespace
