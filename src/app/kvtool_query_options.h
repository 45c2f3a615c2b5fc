// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/kvtool.h"
#include "data/installation.h"
#include "main/query_definition.h"

/// The usage text of the query options, for the verbs' usage lines.
#define KV_QUERY_OPTIONS_USAGE \
    "[--area V]... [--unit V]... [--lithology V]... [--material V]... [--system V]... [--approach V]... " \
    "[--interpretation V]... [--technique V]... [--method V]... [--group V]... [--province V]... " \
    "[--terrane V]... [--orogenic-period V]... [--chemical-type V]... [--reference V]... [--from AGE] " \
    "[--to AGE] [--age-units U] [--dc all|without|with] [--order 0..3] [--pref-level N|none] " \
    "[--isochron-only] [--query-file FILE] [--results LOC] [--working LOC]"

namespace kv {
class QueryCommand;
class TdmKVResults;
}

namespace kv::tool {

/// The options of `kvtool query` that define and run a query, shared by the verbs that work on one.
struct QueryOptions
{
    QueryDefinition definition;
    QString prefLevel; // a level number, "none", or empty for the start-up choice
    QString ageUnits;
    QString queryFile; // a hand-edited text to re-apply instead of the definition
    DatabaseLocations locations;


    /// Takes the options from the context's arguments; throws InputError for a bad value.
    static QueryOptions take(Context &c);

    /// Opens both databases for the data module and runs the query as the "Define Query" tab does.
    /// Prints the developer text; false when the query was refused.
    bool run(Context &c, TdmKVResults &dm, QueryCommand &command);
};

} // namespace kv::tool
