// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool export-table and kvtool migrate: a table (of the database, or a Paradox or dBase file) as a
// spreadsheet, and a folder of the older system's Paradox tables moved into a new database.
#include "app/kvtool.h"
#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "core/errors.h"
#include "data/connection.h"
#include "data/installation.h"
#include "exchange/legacy_migration.h"
#include "exchange/legacy_table.h"
#include "exchange/sheet_generator.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

int exportTable(kv::tool::Context &c)
{
    const QString results = c.option(u"results"_s, kv::defaultLocations().results);
    QStringList names;
    while (!c.args.isEmpty() && !c.args.first().startsWith(u"--"))
        names << c.args.takeFirst();
    c.expectNoMoreArgs();
    if (names.size() != 2)
        throw kv::InputError(u"Give the table (a name of the database, a .DB or a .DBF file) and the file to write."_s);
    const QString &source = names[0];
    const QString &out = names[1];

    kv::Workbook workbook;
    kv::SheetExportResult result;
    const kv::NumericColumnFlags flags = kv::NumericColumnFlags::all();
    if (kv::isLegacyTableFile(source)) {
        const kv::LegacyTable table = kv::readLegacyTable(source);
        c.out << "# " << table.format << ", code page " << table.codePage << '\n';
        result = kv::fillSheet(table, flags, workbook);
    } else {
        kv::Connection connection(u"KVResults"_s);
        connection.bind(results);
        kv::openExisting(connection, kv::DatabaseKind::Results);
        result = kv::fillSheetFromDatabase(connection, source, flags, workbook);
    }
    workbook.writeWorkbook(out, kv::workbookFileTypeForName(out));
    c.out << "records exported\t" << result.records << '\n'
          << "fields\t" << result.fields << '\n'
          << "written\t" << out << '\n';
    return 0;
}

int migrate(kv::tool::Context &c)
{
    const QString to = c.option(u"to"_s);
    QStringList folders;
    while (!c.args.isEmpty() && !c.args.first().startsWith(u"--"))
        folders << c.args.takeFirst();
    c.expectNoMoreArgs();
    if (folders.size() != 1 || to.isEmpty())
        throw kv::InputError(u"Give the folder of the legacy tables and the database to create with --to."_s);
    kv::Connection connection(u"KVResults"_s);
    connection.bind(to);
    const kv::MigrationReport report = kv::migrateLegacyFolder(folders.first(), connection);
    for (const QString &line : kv::migrationReportLines(report))
        c.out << line << '\n';
    return 0;
}

kv::tool::Verb exportTableVerb("export-table", "TABLE|FILE.DB|FILE.DBF OUT [--results LOC]", &exportTable);
kv::tool::Verb migrateVerb("migrate", "FOLDER --to LOCATION", &migrate);

} // namespace
