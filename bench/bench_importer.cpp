// SPDX-License-Identifier: GPL-3.0-or-later
// Times the importer's readers as a user runs them: a workbook file opened, its last row found, its
// rows read, cleaned and applied. 100,000 sample localities; 10,000 raw-data rows (20 variables each)
// on an empty SmpData and again on one already holding a million rows.
//   bench_importer [--results LOCATION] [--rows N] [--raw-rows N] [--existing N]
// Without --results, a fresh SQLite database in a temporary folder; a given one gets the results
// tables when it has none, and must hold none of the rows the bench writes.
#include "controls/workbook.h"
#include "core/scripted_interaction.h"
#include "data/row_writer.h"
#include "importer/KVI_dmResults.h"
#include "importer/importer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace kv;

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

QString localitiesFile(const QString &dir, int rows)
{
    Workbook book;
    WorkbookSheet &sheet = book.sheetAt(1);
    const QStringList head{u"SampleNo"_s, u"Latitude"_s, u"Longitude"_s, u"Elevation"_s, u"LatitudePrecision"_s,
                           u"LongitudePrecision"_s, u"ElevationPrecision"_s};
    for (int c = 0; c < head.size(); ++c)
        sheet.setText(1, c + 1, head[c]);
    for (int r = 2; r <= rows + 1; ++r) {
        sheet.setText(r, 1, u"L%1"_s.arg(r));
        sheet.setNumber(r, 2, -30 + (r % 6000) / 100.0);
        sheet.setNumber(r, 3, 20 + (r % 3000) / 100.0);
        if (r % 7)
            sheet.setNumber(r, 4, r % 2500);
        sheet.setNumber(r, 5, 0.01);
        sheet.setNumber(r, 6, 0.01);
        sheet.setNumber(r, 7, 5);
    }
    // More rows than an Excel 97 sheet holds: .xlsx.
    const QString path = dir + u"/localities.xlsx"_s;
    book.writeWorkbook(path, FileTypeXlsx);
    return path;
}

QString rawFile(const QString &dir, int rows, const QString &prefix)
{
    Workbook book;
    book.setSheetName(1, u"RbSr"_s);
    WorkbookSheet &sheet = book.sheetAt(1);
    sheet.setText(1, 1, u"SampleNo"_s);
    sheet.setText(1, 2, u"Frac"_s);
    for (int c = 3; c <= 25; ++c)
        sheet.setText(1, c, u"V%1"_s.arg(c));
    for (int r = 2; r <= rows + 1; ++r) {
        sheet.setText(r, 1, prefix + QString::number(r));
        sheet.setText(r, 2, u"wr"_s);
        for (int c = 3; c <= 25; ++c)
            sheet.setNumber(r, c, r * 0.001 + c);
    }
    const QString path = dir + u"/"_s + prefix + u"raw.xls"_s;
    book.writeWorkbook(path, FileTypeExcel97);
    return path;
}

void run(QTextStream &out, importer::TdmKVResults &dm, const QString &label, const QString &file, SheetReader reader)
{
    Workbook book;
    ImporterSettings settings;
    Importer importer(dm, book, settings);
    ScriptedInteraction ui;
    QElapsedTimer timer;
    timer.start();
    importer.openWorkbookFile(file);
    const qint64 opened = timer.elapsed();
    importer.findLastRow(ui);
    const ImportOutcome outcome = importer.importCurrentSheet(reader, ui);
    const qint64 total = timer.elapsed();
    out << label << u": "_s << outcome.read << u" staged, "_s << outcome.apply.stored << u" stored, "_s
        << outcome.apply.refusedCount << u" refused; file "_s << opened << u" ms, read+clean+apply "_s
        << (total - opened) << u" ms, total "_s << total << u" ms, peak "_s << peakMegabytes() << u" MB"_s
        << Qt::endl;
    if (outcome.failed)
        out << u"  failed: "_s << outcome.failure << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const auto option = [&](const QString &name, const QString &fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    QTemporaryDir dir;
    const int rows = option(u"--rows"_s, u"100000"_s).toInt();
    const int rawRows = option(u"--raw-rows"_s, u"10000"_s).toInt();
    const int existing = option(u"--existing"_s, u"1000000"_s).toInt();
    QString location = option(u"--results"_s, QString());
    try {
        if (location.isEmpty())
            location = dir.filePath(u"results.sqlite"_s);
        {
            Connection make(u"make"_s);
            make.bind(location);
            make.open(true);
            if (!make.hasTable(u"SmpData"_s))
                make.createSchema(DatabaseKind::Results);
        }
        importer::TdmKVResults dm;
        dm.connectTo(location);
        out << u"Results database: "_s << dm.KVResults.describe() << Qt::endl;

        run(out, dm, u"Sample localities"_s, localitiesFile(dir.path(), rows), SheetReader::Localities);
        run(out, dm, u"Raw data, empty SmpData"_s, rawFile(dir.path(), rawRows, u"A"_s), SheetReader::RawData);

        QElapsedTimer fill;
        fill.start();
        {
            Transaction transaction(dm.KVResults);
            RowWriter writer(dm.KVResults, u"SmpData"_s,
                             {u"SampleNo"_s, u"Frac"_s, u"IsoSystem"_s, u"VariableID"_s, u"DataValue"_s,
                              u"NormalisingFactor"_s});
            for (int i = 0; i < existing; ++i)
                writer.add({u"E%1"_s.arg(i / 20), u"wr"_s, u"RbSr"_s, u"V%1"_s.arg(i % 20), double(i), 10000.0});
            writer.flush();
            transaction.commit();
        }
        QSqlQuery count = dm.KVResults.exec(u"select count(*) from SmpData"_s);
        count.next();
        out << u"Filled SmpData to "_s << count.value(0).toLongLong() << u" rows in "_s << fill.elapsed() << u" ms"_s
            << Qt::endl;
        run(out, dm, u"Raw data, SmpData already full"_s, rawFile(dir.path(), rawRows, u"B"_s), SheetReader::RawData);
    } catch (const Error &e) {
        out << u"error: "_s << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}
