// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/legacy_table.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <memory>
#include <optional>

namespace kv {

class Connection;
class Workbook;
class WorkbookSheet;

/// The sheet generator's numeric-column flags: one per field position 1..100 (index 0 is field 1). A
/// flagged field is written as a number when its value gives one; fields past the 100th always as text.
struct NumericColumnFlags
{
    static constexpr int Count = 100;
    std::array<bool, Count> flags{};

    /// As the Export command sets them before showing the window: every flag true.
    static NumericColumnFlags all();
    bool isSet(int position) const { return position >= 1 && position <= Count && flags[position - 1]; }
};

/// What an export put into the sheet.
struct SheetExportResult
{
    int fields = 0;
    int records = 0;
};

/// One cell of the generated sheet: a flagged field is written as a number when it gives one (a number,
/// a date as its day serial, a text that reads wholly as a number), else as text; an unflagged field as
/// text. A blank value, or bytes that are neither, leave the cell empty.
void writeSheetCell(WorkbookSheet &sheet, int row, int column, const QVariant &value, bool asNumber);

/// Export: row 1 the field names, then a row per record; the workbook gets this one sheet and row 1
/// becomes its active row.
SheetExportResult fillSheet(const LegacyTable &table, const NumericColumnFlags &flags, Workbook &workbook);

/// The tables of the connected results database, in the schema's order, that the Open Table command
/// lists; only these names are ever put into SQL.
QStringList exportableTables(Connection &connection);
/// The schema's table of that name (any case); InputError when the connection has no such table.
QString exportableTable(Connection &connection, const QString &name);
/// A table of the database read whole, its columns as the schema names and orders them.
LegacyTable readDatabaseTable(Connection &connection, const QString &name);
/// Export of a table of the database straight from its rows, as fillSheet does with a table file.
SheetExportResult fillSheetFromDatabase(Connection &connection, const QString &name,
                                        const NumericColumnFlags &flags, Workbook &workbook);

/// The sheet generator of File > Export > "Excel spreadsheet" ("Create spreadsheet"): a table opened
/// from a file or from the database, copied into the sheet by Export, saved by Save as. Its window
/// shows this state and calls these steps.
class SheetGenerator
{
public:
    SheetGenerator();
    ~SheetGenerator();

    /// Cleared when the generator is made; the Export command sets them all.
    NumericColumnFlags flags;
    /// The save dialog's folder: the first table's folder, then each save's.
    QString saveFolder;
    /// The save dialog's file name: the last table's name without its extension.
    QString saveFileName;
    /// The open dialog's folder: the last table's.
    QString tableFolder;

    /// Open Table with a .DB or .DBF file; FileError when it cannot be read (the open table stays).
    void openFile(const QString &path);
    /// Open Table with a table of the connected database (beyond the table files of the older system).
    void openDatabaseTable(Connection &connection, const QString &name);
    /// The open table, from Open Table until Export; null otherwise.
    const LegacyTable *table() const { return m_table ? &*m_table : nullptr; }
    /// The full name of the open table's file, or the database table's name.
    const QString &tableName() const { return m_tableName; }

    /// Export: fills the sheet from the open table and closes it.
    SheetExportResult fill();
    Workbook &workbook() { return *m_workbook; }

    /// Save as: writes the sheet with the file type the save dialog's entry gives (entries from 1), the
    /// default suffix added to a bare name; returns the path written.
    QString save(const QString &path, int filterEntry);

private:
    void opened(LegacyTable table, const QString &name, const QString &folder);

    std::optional<LegacyTable> m_table;
    QString m_tableName;
    std::unique_ptr<Workbook> m_workbook;
};

} // namespace kv
