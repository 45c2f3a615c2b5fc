// SPDX-License-Identifier: GPL-3.0-or-later
// Export of a table of the results database to .xlsx, as the sheet generator and kvtool export-table
// do it: IsoRgr30 with N records (100,000 by default) filled with typical values, read and put into the
// sheet, then written. Prints wall and CPU seconds per step and the peak memory.
// Usage: bench_sheet_export [RECORDS] [FOLDER]
#include "controls/workbook.h"
#include "data/connection.h"
#include "data/row_writer.h"
#include "data/schema.h"
#include "exchange/sheet_generator.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Every column of a record given, as a full results database holds them.
QVariant valueOf(const kv::ColumnDef &column, int i)
{
    switch (column.type) {
    case kv::ColumnType::Text: return u"%1-%2"_s.arg(column.name.left(3)).arg(i % 997).left(column.width);
    case kv::ColumnType::Int16: return i % 5;
    case kv::ColumnType::Int32:
    case kv::ColumnType::AutoInc: return column.name == u"RecordID" ? i + 1 : i % 100000;
    case kv::ColumnType::Float: return 1000.0 + i * 0.001;
    case kv::ColumnType::Date: return QDate(2000, 1, 1).addDays(i % 9000);
    case kv::ColumnType::Memo:
    case kv::ColumnType::FormattedMemo: return u"Comment on record %1"_s.arg(i);
    case kv::ColumnType::Graphic: return QVariant();
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir temp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temp.path();

    kv::Connection results(u"KVResults"_s);
    results.bind(folder + u"/kelvora.sqlite"_s);
    results.open(true);
    if (!results.hasTable(u"IsoRgr30"_s))
        results.createSchema(kv::DatabaseKind::Results);
    {
        const kv::TableDef *table = kv::Schema::table(u"IsoRgr30"_s);
        QStringList columns;
        for (const kv::ColumnDef &c : table->columns)
            columns << c.name;
        results.exec(u"delete from IsoRgr30"_s);
        kv::Transaction transaction(results);
        kv::RowWriter writer(results, table->name, columns);
        for (int i = 0; i < records; ++i) {
            QVariantList row;
            for (const kv::ColumnDef &c : table->columns)
                row << valueOf(c, i);
            writer.add(row);
        }
        writer.flush();
        transaction.commit();
    }

    // The export reads through a connection of its own, as `kvtool export-table` does: nothing of the
    // table is in its page cache yet.
    results.close();
    kv::Connection reader(u"KVExport"_s);
    reader.bind(folder + u"/kelvora.sqlite"_s);
    reader.open();
    QElapsedTimer wall;
    wall.start();
    double cpu = cpuSeconds();
    kv::Workbook workbook;
    const kv::SheetExportResult result =
        kv::fillSheetFromDatabase(reader, u"IsoRgr30"_s, kv::NumericColumnFlags::all(), workbook);
    const double fillWall = wall.elapsed() / 1000.0, fillCpu = cpuSeconds() - cpu;
    std::printf("read and fill\t%d records x %d fields\t%.2f s (cpu %.2f s)\n", result.records, result.fields,
                fillWall, fillCpu);

    const QString out = folder + u"/isorgr30.xlsx"_s;
    wall.restart();
    cpu = cpuSeconds();
    workbook.writeWorkbook(out, kv::FileTypeXlsx);
    const double writeWall = wall.elapsed() / 1000.0, writeCpu = cpuSeconds() - cpu;
    std::printf("write .xlsx\t%lld cells, %lld bytes\t%.2f s (cpu %.2f s)\n",
                static_cast<long long>(workbook.sheetAt(1).cellCount()), static_cast<long long>(QFileInfo(out).size()),
                writeWall, writeCpu);
    std::printf("export in all\t%.2f s (cpu %.2f s), peak %ld MB\n", fillWall + writeWall, fillCpu + writeCpu,
                peakMegabytes());
    return 0;
}
