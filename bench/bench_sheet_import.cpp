// SPDX-License-Identifier: GPL-3.0-or-later
// Times File > "&Import Excel spreadsheet" on 100,000 sheet rows (the workbook read, the lookups and
// records written in one transaction) and the stratigraphic table of a query over those records.
//   bench_sheet_import [--results LOCATION --working LOCATION] [--rows N]
// Without locations, fresh SQLite databases in a temporary folder; given ones are replaced.
#include "controls/workbook.h"
#include "core/scripted_interaction.h"
#include "data/dmKV.h"
#include "data/installation.h"
#include "exchange/sheet_import.h"
#include "exchange/strat_table.h"
#include "main/query_command.h"
#include "main/query_definition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

const QStringList fields{u"RecordID"_s,  u"CountryAbr"_s, u"UnitName"_s,  u"Lithology"_s,  u"MaterialAbr"_s,
                         u"IsotopeSystem"_s, u"ApproachAbr"_s, u"TechAbr"_s, u"InterpAbr"_s, u"MethodAbr"_s,
                         u"PrefLevel"_s, u"IAge"_s,       u"IAgePError"_s, u"IAgeMError"_s, u"DateString"_s,
                         u"Comment"_s};

QString sheetFile(const QString &dir, int rows)
{
    Workbook book;
    WorkbookSheet &s = book.sheetAt(1);
    for (int c = 0; c < fields.size(); ++c)
        s.setText(1, c + 1, fields[c]);
    for (int r = 2; r <= rows + 1; ++r) {
        s.setNumber(r, 1, r);
        s.setText(r, 2, u"C%1"_s.arg(r % 40));
        s.setText(r, 3, u"Unit %1"_s.arg(r % 3000));
        s.setText(r, 4, u"granite"_s);
        s.setText(r, 5, u"zr"_s);
        s.setText(r, 6, r % 3 ? u"UPb"_s : u"RbSr"_s);
        s.setText(r, 7, u"A"_s);
        s.setText(r, 8, u"T%1"_s.arg(r % 5));
        s.setText(r, 9, u"I%1"_s.arg(r % 7));
        s.setText(r, 10, u"M"_s);
        s.setNumber(r, 11, r % 4);
        s.setNumber(r, 12, 500000 + (r * 37) % 3000000);
        s.setNumber(r, 13, 1500 + r % 900);
        s.setNumber(r, 14, 1400 + r % 800);
        s.setNumber(r, 15, 40000 + r % 5000);
        s.setText(r, 16, u"Imported from a compilation, row %1"_s.arg(r));
    }
    const QString path = dir + u"/dates.xlsx"_s; // more rows than an Excel 97 sheet holds
    book.writeWorkbook(path, FileTypeXlsx);
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const auto option = [&](const QString &name, const QString &fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    QTemporaryDir dir;
    qputenv("KELVORA_CONFIG_DIR", dir.filePath(u"config"_s).toUtf8());
    qputenv("KELVORA_DATA_DIR", dir.path().toUtf8());
    const int rows = option(u"--rows"_s, u"100000"_s).toInt();
    const DatabaseLocations locations{option(u"--results"_s, dir.filePath(u"results"_s)),
                                      option(u"--working"_s, dir.filePath(u"working"_s))};
    QTextStream out(stdout);
    createDatabases(locations, true);

    ScriptedInteraction ui;
    TdmKVResults dm(ui);
    dm.KVResults.bind(locations.results);
    dm.KVtmp.bind(locations.working);
    openExisting(dm.KVResults, DatabaseKind::Results);
    openExisting(dm.KVtmp, DatabaseKind::Working);
    QList<ImportField> mapping;
    for (int c = 0; c < fields.size(); ++c) {
        const QString letter = QString(QChar(u'A' + c));
        const bool number = c == 0 || (c >= 10 && c <= 13);
        mapping.append({fields[c], c == 14 ? u"D"_s : number ? u"N"_s : u"T"_s, letter, 0});
    }
    storeImportMapping(*dm.ImportDet, mapping);

    QElapsedTimer timer;
    timer.start();
    const QString file = sheetFile(dir.path(), rows);
    out << "backend\t" << (dm.KVResults.backend() == Backend::PostgreSQL ? "postgresql" : "sqlite") << '\n';
    out << "sheet of " << rows << " rows written (.xlsx)\t" << timer.elapsed() << " ms\n";
    out.flush();

    timer.restart();
    Workbook book;
    int type = 0;
    book.readWorkbook(file, type);
    const qint64 readMs = timer.elapsed();
    timer.restart();
    const auto result = SheetImport(dm, ui).run(book.sheetAt(1), u"2"_s, QString::number(rows + 1));
    const qint64 importMs = timer.elapsed();
    out << "workbook read\t" << readMs << " ms\n";
    out << "import (lookups and " << (result ? result->records.stored : 0) << " records)\t" << importMs << " ms\n";
    out << "read and import\t" << readMs + importMs << " ms\n";
    out.flush();

    // The codes the sheet's records join that the import does not add.
    for (const QString &sql : {u"insert into Material (MaterialAbr, MaterialDescription) values ('zr', 'zircon')"_s,
                               u"insert into Approach (ApproachAbr) values ('A')"_s,
                               u"insert into Methods (MethodAbr) values ('M')"_s})
        dm.KVResults.exec(sql);

    timer.restart();
    QueryDefinition definition;
    definition.prefLevelChecked = false;
    QueryCommand query(dm, ui);
    if (!query.execute(definition)) {
        out << "query failed: " << query.lastError() << '\n';
        return 1;
    }
    const qint64 queryMs = timer.elapsed();
    timer.restart();
    Workbook strat;
    const int written = fillStratigraphicTable(dm.KVResults, stratQueryLines(dm.Query1->sql()), strat, ui);
    const qint64 stratMs = timer.elapsed();
    timer.restart();
    strat.writeWorkbook(dir.filePath(u"strat.xlsx"_s), FileTypeXlsx);
    const qint64 writeMs = timer.elapsed();
    out << "query (" << query.recordCountText() << " records)\t" << queryMs << " ms\n";
    out << "stratigraphic table (" << written << " rows)\t" << stratMs << " ms\n";
    out << "stratigraphic table written (.xlsx)\t" << writeMs << " ms\n";
    return 0;
}
