// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "importer/apply_step.h"
#include "importer/import_settings.h"
#include "importer/sheet_readers.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace kv {

class Interaction;
class Workbook;

namespace importer {
class TdmKVResults;
}

/// What one reader run did, for the window and for `kvimport --read`.
struct ImportOutcome
{
    qint64 read = 0;    // rows read from the sheet into staging
    qint64 removed = 0; // rows the cleaning rules removed
    ApplyResult apply;
    bool failed = false; // the run as a whole failed: nothing was stored
    QString failure;     // then the reason
};

/// The importer's commands on its workbook and its data module: opening a workbook, switching sheets,
/// finding the last data row and running the four readers. The main window holds one and shows what
/// it does; `kvimport --read` drives the same object without a window.
class Importer
{
public:
    Importer(importer::TdmKVResults &dm, Workbook &workbook, ImporterSettings &settings);

    int firstDataRow() const { return kv::firstDataRow; }
    int lastDataRow() const { return m_lastDataRow; }
    /// The active sheet, from 1.
    int currentSheet() const { return m_currentSheet; }
    /// The row limit remembered for a sheet (its last data row + 1 once searched).
    int rowLimit(int sheet) const;
    const QString &workbookFolder() const { return m_folder; }
    const QString &workbookFileName() const { return m_fileName; }
    /// The names of sheets 1..number of sheets, for the sheet box.
    QStringList sheetNames() const;
    /// Whether "Read data" is offered: after "Raw data" found rows to read.
    bool readDataOffered() const { return m_readDataOffered; }
    void setReadDataOffered(bool offered) { m_readDataOffered = offered; }

    /// Called when a workbook was opened and when a last row was found, so a window shows them at once.
    std::function<void()> onWorkbookOpened;
    std::function<void()> onLastRowFound;

    /// OpenWorkbook: asks for a file in the import folder; false when the user cancels. Throws
    /// FileError when the file cannot be read (the workbook is unchanged then).
    bool openWorkbook(Interaction &ui);
    /// The same for a file already chosen; fileType is the filter's code (11 or 4), the content decides.
    void openWorkbookFile(const QString &path, int fileType = 11);

    /// sbFindLastRowClick: the last row of consecutive texts in column A from row 2, remembered
    /// (plus 1) as the current sheet's row limit. 0 when A2 is empty.
    int findLastRow(Interaction &ui);
    /// cbSheetNameChange: switches to a sheet (index from 0) and finds its last row.
    void switchSheet(int index, Interaction &ui);

    /// A whole reader from the menu: opens a workbook, finds its last row, and (but for raw data, which
    /// only offers "Read data") reads, cleans and applies. Nothing when the dialog is cancelled or there
    /// is no data row.
    std::optional<ImportOutcome> runReader(SheetReader reader, Interaction &ui);
    /// Reads the current sheet with a reader, cleans and applies the rows (bbReadDataClick for raw
    /// data). Failures of the whole run become the reader's warning; refused rows are counted and
    /// named in the message before "Completed".
    ImportOutcome importCurrentSheet(SheetReader reader, Interaction &ui);

private:
    importer::TdmKVResults &m_dm;
    Workbook &m_workbook;
    ImporterSettings &m_settings;
    int m_lastDataRow = 3;
    int m_currentSheet = 1;
    std::vector<int> m_rowLimits; // one per sheet of the workbook
    QString m_folder;
    QString m_fileName;
    bool m_readDataOffered = false;
};

} // namespace kv
