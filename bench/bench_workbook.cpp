// SPDX-License-Identifier: GPL-3.0-or-later
// Writes and reads 1,000,000 cells (half numbers, half texts) in each workbook format and prints the
// times and the peak memory. Usage: bench_workbook [CELLS] [FOLDER]
#include "controls/workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void fill(kv::WorkbookSheet &sheet, int cells, int columns)
{
    for (int i = 0; i < cells; ++i) {
        const int row = i / columns + 1, column = i % columns + 1;
        if (column % 2)
            sheet.setNumber(row, column, i * 0.001 + 1.0 / 3.0);
        else
            sheet.setText(row, column, u"text %1"_s.arg(i));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int cells = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir temporary;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();

    struct Case
    {
        const char *name;
        int type;
        const char *file;
        int columns;
    };
    // .xls holds 65,536 rows and 256 columns: 20 columns fit 1,000,000 cells in 50,000 rows.
    const Case cases[] = {{"xlsx", kv::FileTypeXlsx, "bench.xlsx", 10},
                          {"xls BIFF8", kv::FileTypeExcel97, "bench8.xls", 20},
                          {"xls BIFF5", kv::FileTypeExcel5, "bench5.xls", 100},
                          {"csv", kv::FileTypeCsv, "bench.csv", 10}};
    std::printf("%d cells; peak memory before: %ld MB\n", cells, peakMegabytes());
    for (const Case &c : cases) {
        const QString path = folder + u'/' + QString::fromLatin1(c.file);
        double writeSeconds = 0, readSeconds = 0;
        {
            kv::Workbook workbook;
            fill(workbook.sheetAt(1), cells, c.columns);
            QElapsedTimer timer;
            timer.start();
            workbook.writeWorkbook(path, c.type);
            writeSeconds = timer.nsecsElapsed() / 1e9;
        }
        {
            kv::Workbook workbook;
            int type = 0;
            QElapsedTimer timer;
            timer.start();
            workbook.readWorkbook(path, type);
            readSeconds = timer.nsecsElapsed() / 1e9;
            if (workbook.sheetAt(1).cellCount() != std::size_t(cells))
                std::printf("  read back %zu cells!\n", workbook.sheetAt(1).cellCount());
        }
        std::printf("%-10s write %6.2f s  read %6.2f s  file %6.1f MB  peak memory so far %ld MB\n", c.name,
                    writeSeconds, readSeconds, QFileInfo(path).size() / 1e6, peakMegabytes());
        std::fflush(stdout);
    }
    return 0;
}
