// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool verbs that create databases.
#include "app/kvtool.h"
#include "data/installation.h"

using namespace Qt::StringLiterals;

namespace {

int init(kv::tool::Context &c)
{
    kv::DatabaseLocations locations = kv::defaultLocations();
    locations.results = c.option(u"results"_s, locations.results);
    locations.working = c.option(u"working"_s, locations.working);
    const bool force = c.flag(u"force"_s);
    c.expectNoMoreArgs();
    kv::createDatabases(locations, force);
    c.out << "results database: " << locations.results << '\n'
          << "working database: " << locations.working << '\n';
    return 0;
}

kv::tool::Verb initVerb("init", "[--results LOC] [--working LOC] [--force]", &init);

} // namespace
