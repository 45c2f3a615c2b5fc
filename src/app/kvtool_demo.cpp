// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool verbs that fill new databases: the demo and a synthetic database for load tests.
#include "app/kvtool.h"
#include "data/installation.h"
#include "demo/demo_data.h"
#include "demo/synthetic_data.h"

#include <QElapsedTimer>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

kv::DatabaseLocations locationsFrom(kv::tool::Context &c)
{
    kv::DatabaseLocations locations = kv::defaultLocations();
    locations.results = c.option(u"results"_s, locations.results);
    locations.working = c.option(u"working"_s, locations.working);
    return locations;
}

void openBoth(const kv::DatabaseLocations &locations, kv::Connection &results, kv::Connection &working)
{
    results.bind(locations.results);
    kv::openExisting(results, kv::DatabaseKind::Results);
    working.bind(locations.working);
    kv::openExisting(working, kv::DatabaseKind::Working);
}

// A database left half filled by a failed load would pass for a finished one; SQLite files are removed.
void removeAfterFailure(const kv::DatabaseLocations &locations)
{
    for (const QString &location : {locations.results, locations.working})
        for (const QString &file : kv::DatabaseBackend::forLocation(location).databaseFiles(location))
            QFile::remove(file);
}

int demo(kv::tool::Context &c)
{
    const kv::DatabaseLocations locations = locationsFrom(c);
    const bool force = c.flag(u"force"_s);
    const bool ifMissing = c.flag(u"if-missing"_s);
    c.expectNoMoreArgs();
    if (ifMissing && !force && kv::databaseExists(locations.results, kv::DatabaseKind::Results) &&
        kv::databaseExists(locations.working, kv::DatabaseKind::Working))
        return 0;
    kv::createDatabases(locations, force);
    kv::DemoSummary summary;
    try {
        kv::Connection results(u"KVResults"_s), working(u"KVtmp"_s);
        openBoth(locations, results, working);
        kv::writeDemoData(results, working, &summary);
    } catch (...) {
        removeAfterFailure(locations);
        throw;
    }
    c.out << "results database: " << locations.results << '\n'
          << "working database: " << locations.working << '\n'
          << "U-Pb date records: " << summary.datedRecords << " (" << summary.skippedNoAge
          << " rows without an age left out)\n"
          << "Rb-Sr and Sm-Nd records: " << summary.isochronRecords << '\n'
          << "outline points: " << summary.outlinePoints << '\n';
    return 0;
}

int synth(kv::tool::Context &c)
{
    const kv::DatabaseLocations locations = locationsFrom(c);
    const bool force = c.flag(u"force"_s);
    const QString count = c.option(u"records"_s);
    const QString smNdText = c.option(u"smnd-samples"_s, u"0"_s);
    const bool isochrons = c.flag(u"isochrons"_s);
    c.expectNoMoreArgs();
    bool smNdOk = false;
    const int smNdSamples = smNdText.toInt(&smNdOk);
    if (!smNdOk)
        throw kv::InputError(u"--smnd-samples needs a whole number, not \"%1\"."_s.arg(smNdText));
    if (isochrons && smNdSamples < 1)
        throw kv::InputError(u"--isochrons goes with --smnd-samples N."_s);
    bool ok = false;
    const qint64 records = count.toLongLong(&ok);
    if (!ok || records < 0)
        throw kv::InputError(
            u"synth needs --records N with N a whole number of at least 0, not \"%1\"."_s.arg(count));
    QElapsedTimer timer;
    timer.start();
    kv::createDatabases(locations, force);
    kv::SyntheticSummary summary;
    try {
        kv::Connection results(u"KVResults"_s), working(u"KVtmp"_s);
        openBoth(locations, results, working);
        summary = kv::writeSyntheticData(results, records, smNdSamples, isochrons);
    } catch (...) {
        removeAfterFailure(locations);
        throw;
    }
    c.out << "results database: " << locations.results << '\n'
          << "working database: " << locations.working << '\n'
          << "records: " << summary.records << ", samples: " << summary.samples
          << ", sample data rows: " << summary.sampleData << ", detail rows: " << summary.detailRows << '\n'
          << "seconds: " << QString::number(timer.elapsed() / 1000.0, 'f', 1) << '\n';
    return 0;
}

kv::tool::Verb demoVerb("demo", "[--force] [--if-missing] [--results LOC] [--working LOC]", &demo);
kv::tool::Verb
    synthVerb("synth",
              "--records N [--smnd-samples N [--isochrons]] [--force] [--results LOC] [--working LOC]",
              &synth);

} // namespace
