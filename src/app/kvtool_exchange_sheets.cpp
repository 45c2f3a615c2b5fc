// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool import-sheet and kvtool strat: a sheet's rows imported as date records, and the stratigraphic
// table of a query's records.
#include "app/kvtool.h"
#include "app/kvtool_query_options.h"
#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "data/aliases.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "exchange/sheet_import.h"
#include "exchange/strat_table.h"
#include "main/query_command.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// "FIELD=LETTERS:T" as the mapping grid holds it.
kv::ImportField mappingOption(const QString &option)
{
    const qsizetype equals = option.indexOf(u'=');
    const qsizetype colon = option.lastIndexOf(u':');
    const QString type = colon > equals ? option.mid(colon + 1).trimmed().toUpper() : QString();
    if (equals <= 0 || colon < equals + 2 || (type != u"T"_s && type != u"N"_s && type != u"D"_s))
        throw kv::InputError(
            u"--map takes FIELD=LETTERS:T, :N or :D (text, number or date), not '%1'."_s.arg(option));
    return {option.left(equals).trimmed(), type, option.mid(equals + 1, colon - equals - 1).trimmed(), 0};
}

int importSheet(kv::tool::Context &c)
{
    kv::DatabaseLocations locations = kv::defaultLocations();
    locations.results = c.option(u"results"_s, locations.results);
    locations.working = c.option(u"working"_s, locations.working);
    const QString from = c.option(u"from"_s);
    const QString to = c.option(u"to"_s);
    const QString sheetOption = c.option(u"sheet"_s, u"1"_s);
    QList<kv::ImportField> mapping;
    for (const QString &option : c.options(u"map"_s))
        mapping << mappingOption(option);
    if (c.args.size() != 1)
        throw kv::InputError(u"Name the workbook to import."_s);
    const QString file = c.args.takeFirst();
    c.expectNoMoreArgs();

    kv::Workbook workbook;
    int fileType = kv::FileTypeExcel97;
    workbook.readWorkbook(file, fileType);
    bool ok = false;
    const int sheet = sheetOption.toInt(&ok);
    if (!ok || sheet < 1 || sheet > workbook.numSheets())
        throw kv::InputError(
            u"--sheet %1: the workbook has sheets 1 to %2."_s.arg(sheetOption).arg(workbook.numSheets()));

    kv::TdmKVResults dm(c.ui);
    dm.KVResults.bind(locations.results);
    kv::openExisting(dm.KVResults, kv::DatabaseKind::Results);
    dm.KVtmp.bind(locations.working);
    kv::openExisting(dm.KVtmp, kv::DatabaseKind::Working);
    // Without --map the mapping stored by the last import (the window's or this verb's) is used.
    if (!mapping.isEmpty())
        kv::storeImportMapping(*dm.ImportDet, mapping);

    kv::SheetImport command(dm, c.ui);
    const std::optional<kv::SheetImportResult> result = command.run(workbook.sheetAt(sheet), from, to);
    if (!result)
        return 1;
    for (const auto &[table, added] : result->lookupsAdded)
        c.out << "lookup rows added\t" << table << '\t' << added << '\n';
    c.out << "records imported\t" << result->records.stored << '\n';
    c.out << "records refused\t" << result->records.refusedCount << '\n';
    for (const kv::RefusedRow &row : result->records.refused)
        c.out << row.describe() << '\n';
    return result->cancelled ? 1 : 0;
}

int strat(kv::tool::Context &c)
{
    const bool resultsGiven = c.args.contains(u"--results"_s) ||
                              std::any_of(c.args.begin(), c.args.end(),
                                          [](const QString &a) { return a.startsWith(u"--results="_s); });
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    if (c.args.size() != 1)
        throw kv::InputError(u"Name the workbook to write."_s);
    const QString out = c.args.takeFirst();
    c.expectNoMoreArgs();

    kv::TdmKVResults dm(c.ui);
    kv::QueryCommand query(dm, c.ui);
    if (!options.run(c, dm, query))
        return 1;
    c.out << "# records = " << query.recordCountText() << '\n';

    c.ui.progress(u"Duplicating query"_s);
    const QStringList lines = kv::stratQueryLines(dm.Query1->sql());
    // The table is read through the KVLAN alias, as the window reads it; a database named with --results
    // is read for both.
    kv::Connection lan(u"KVLAN"_s);
    lan.bind(resultsGiven ? options.locations.results : kv::AliasRegistry::load().location(u"KVLAN"_s));
    kv::openExisting(lan, kv::DatabaseKind::Results);
    kv::Workbook workbook;
    const int written = kv::fillStratigraphicTable(lan, lines, workbook, c.ui);
    c.ui.progress(QString());
    workbook.writeWorkbook(out, kv::workbookFileTypeForName(out));
    c.out << "rows written\t" << written << '\n';
    return 0;
}

kv::tool::Verb importSheetVerb("import-sheet",
                               "FILE --from ROW --to ROW [--sheet N] [--map FIELD=LETTERS:T|N|D]... "
                               "[--results LOC] [--working LOC]",
                               &importSheet);
kv::tool::Verb stratVerb("strat", KV_QUERY_OPTIONS_USAGE " OUT", &strat);

} // namespace
