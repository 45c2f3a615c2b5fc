// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the viewer's connections on a results database with many group descriptors:
// bench_define_connections [GROUPING_ROWS] [DISTINCT_DESCRIPTORS] [LOCATION]
// Without a location the results database is an SQLite file in a temporary folder; a postgresql://
// location must name an empty database.
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "main/connections.h"
#include "main/settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 ? args[1].toInt() : 200000;
    const int distinct = args.size() > 2 ? args[2].toInt() : 2000;
    QTemporaryDir dir;
    qputenv("KELVORA_CONFIG_DIR", (dir.path() + u"/config"_s).toUtf8());
    qputenv("KELVORA_DATA_DIR", (dir.path() + u"/data"_s).toUtf8());
    const QString results = args.size() > 3 ? args[3] : kv::defaultLocations().results;
    try {
        kv::createDatabases({results, kv::defaultLocations().working}, false);
        {
            kv::Connection c(u"fill"_s);
            c.bind(results);
            c.open();
            kv::Transaction t(c);
            QSqlQuery insert = c.prepare(u"insert into Grouping (RecordID, Grouping) values (?, ?)"_s);
            for (int i = 0; i < rows; ++i) {
                insert.bindValue(0, i + 1);
                insert.bindValue(1, u"Group %1"_s.arg(i % distinct));
                c.execPrepared(insert);
            }
            t.commit();
        }
        kv::ScriptedInteraction ui;
        kv::TdmKVResults dm(ui);
        kv::ViewerConnections connections(dm, ui);
        connections.bindInitial();
        connections.settings().LanPossible = connections.settings().LanImplementation = true;
        connections.settings().ResultsPath = results;
        connections.writeSettings();
        QElapsedTimer timer;
        timer.start();
        connections.defineConnections();
        const qint64 first = timer.restart();
        kv::rebuildGroupingList(dm);
        const qint64 rebuild = timer.elapsed();
        std::printf("%d grouping rows, %d descriptors: define connections %lld ms, rebuild of the list alone %lld ms\n",
                    rows, distinct, static_cast<long long>(first), static_cast<long long>(rebuild));
    } catch (const kv::Error &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
