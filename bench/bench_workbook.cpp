// SPDX-License-Identifier: GPL-3.0-or-later
// Writes and reads 1,000,000 cells (half numbers, half texts) in each workbook format and prints the
// times and the peak memory. Usage: bench_workbook [CELLS] [FOLDER] [FORMAT]; give one FORMAT (xlsx,
// xls8, xls5, csv) to see its own peak memory. Where FreeXL is installed, the .xls files are read by it
// too, cell by cell as a program that takes FreeXL's values would, for comparison with our reader.
#include "controls/workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>

#ifdef KV_BENCH_FREEXL
#include <freexl.h>
#endif

using namespace Qt::StringLiterals;

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// CPU seconds of the process: steadier than wall time on a shared machine.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
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

#ifdef KV_BENCH_FREEXL
// Every cell of every sheet through FreeXL, its values and texts touched; the count of cells found.
long freexlCells(const QString &path)
{
    const void *handle = nullptr;
    if (freexl_open(QFile::encodeName(path).constData(), &handle) != FREEXL_OK || !handle)
        return -1;
    unsigned int sheets = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
    long found = 0;
    double sum = 0;
    for (unsigned short s = 0; s < sheets; ++s) {
        unsigned int rows = 0;
        unsigned short columns = 0;
        freexl_select_active_worksheet(handle, s);
        freexl_worksheet_dimensions(handle, &rows, &columns);
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue cell;
                if (freexl_get_cell_value(handle, r, c, &cell) != FREEXL_OK)
                    continue;
                if (cell.type == FREEXL_CELL_INT)
                    sum += cell.value.int_value;
                else if (cell.type == FREEXL_CELL_DOUBLE)
                    sum += cell.value.double_value;
                else if (cell.type == FREEXL_CELL_TEXT || cell.type == FREEXL_CELL_SST_TEXT)
                    sum += double(cell.value.text_value[0]);
                if (cell.type != FREEXL_CELL_NULL)
                    ++found;
            }
    }
    freexl_close(handle);
    return sum == -1 ? -1 : found;  // sum used, so the values are really read
}
#endif

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
                          {"xls8", kv::FileTypeExcel97, "bench8.xls", 20},
                          {"xls5", kv::FileTypeExcel5, "bench5.xls", 100},
                          {"csv", kv::FileTypeCsv, "bench.csv", 10}};
    const QString only = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    std::printf("%d cells; peak memory before: %ld MB\n", cells, peakMegabytes());
    for (const Case &c : cases) {
        if (!only.isEmpty() && only != QLatin1StringView(c.name))
            continue;
        const QString path = folder + u'/' + QString::fromLatin1(c.file);
        double writeSeconds = 0, readSeconds = 0, writeCpu = 0, readCpu = 0;
        {
            kv::Workbook workbook;
            fill(workbook.sheetAt(1), cells, c.columns);
            QElapsedTimer timer;
            timer.start();
            const double cpu = cpuSeconds();
            workbook.writeWorkbook(path, c.type);
            writeSeconds = timer.nsecsElapsed() / 1e9;
            writeCpu = cpuSeconds() - cpu;
        }
        {
            kv::Workbook workbook;
            int type = 0;
            QElapsedTimer timer;
            timer.start();
            const double cpu = cpuSeconds();
            workbook.readWorkbook(path, type);
            readSeconds = timer.nsecsElapsed() / 1e9;
            readCpu = cpuSeconds() - cpu;
            if (workbook.sheetAt(1).cellCount() != std::size_t(cells))
                std::printf("  read back %zu cells!\n", workbook.sheetAt(1).cellCount());
        }
        std::printf("%-5s write %5.2f s (cpu %5.2f)  read %5.2f s (cpu %5.2f)  file %5.1f MB  peak memory so far %ld MB\n",
                    c.name, writeSeconds, writeCpu, readSeconds, readCpu, QFileInfo(path).size() / 1e6, peakMegabytes());
#ifdef KV_BENCH_FREEXL
        if (c.type == kv::FileTypeExcel97 || c.type == kv::FileTypeExcel5) {
            QElapsedTimer timer;
            timer.start();
            const double cpu = cpuSeconds();
            const long found = freexlCells(path);
            std::printf("%-5s FreeXL alone: read %5.2f s (cpu %5.2f), %ld cells  peak memory so far %ld MB\n", c.name,
                        timer.nsecsElapsed() / 1e9, cpuSeconds() - cpu, found, peakMegabytes());
        }
#endif
        std::fflush(stdout);
    }
    return 0;
}
