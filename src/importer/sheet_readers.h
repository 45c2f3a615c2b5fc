// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "importer/staging_table.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace kv {

class Interaction;
class WorkbookSheet;

/// The four readers of File > Import.
enum class SheetReader { Localities, RawData, Records, Units };

/// What sets one reader apart: its table, how many headings it reads, the fields a row must have,
/// and its texts.
struct SheetReaderInfo
{
    QString table;
    int headerCount;
    QStringList requiredFields;
    QStringList cleaningStatus; // status texts of the cleaning step, in turn
    QString failureMessage;     // the warning when the run fails as a whole
    QString batchName;          // the word `kvimport --read` takes
};

const SheetReaderInfo &sheetReaderInfo(SheetReader reader);
/// The reader a batch word names ("localities", "raw", "records", "units").
std::optional<SheetReader> sheetReaderNamed(const QString &word);

/// The raw-data columns that hold a variable, in increasing order, and the column holding each one's
/// normalising factor (0 when the factor is the fixed 10000).
struct RawDataColumn
{
    int column;
    int factorColumn;
};
const QList<RawDataColumn> &rawDataColumns();
inline constexpr double defaultNormalisingFactor = 10000;

/// The first data row of every sheet; row 1 holds the headings.
inline constexpr int firstDataRow = 2;

/// Reads rows firstDataRow..lastRow of a sheet into a new staging table: row 1's headings name the
/// fields. A heading that names no field and a text a field refuses are passed over, as typed input
/// that does not fit. sheetName is the isotope system of raw-data rows.
StagingTable readSheetRows(const WorkbookSheet &sheet, int lastRow, SheetReader reader,
                           const QString &sheetName);

/// The cleaning rules of a reader, with its status texts; returns the number of rows removed.
qsizetype cleanStagedRows(StagingTable &staging, SheetReader reader, Interaction &ui);

} // namespace kv
