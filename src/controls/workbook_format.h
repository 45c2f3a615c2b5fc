// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook_sheet.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QIODevice;

namespace kv {

class Workbook;

using WorkbookSheets = std::vector<std::unique_ptr<WorkbookSheet>>;

/// One spreadsheet file format: its dialog filter, how to recognise its files, how to read and write
/// them. Readers and writers return false and leave a message in errorString().
class WorkbookFormat
{
public:
    virtual ~WorkbookFormat() = default;

    /// The file-type code (WorkbookFileType).
    virtual int fileType() const = 0;
    /// The dialog filter's description, e.g. "Excel 97/Excel 8".
    virtual QString description() const = 0;
    /// The dialog filter's patterns, e.g. {"*.XLS", "*.xls"}.
    virtual QStringList nameFilters() const = 0;
    QString dialogFilter() const;

    /// Whether a file starting with these bytes (the first 512 or fewer) is of this format.
    virtual bool supportsContent(const QString &path, const QByteArray &head) const = 0;

    /// Reads every sheet of a file. The code of the format actually found goes to fileType (an .xls
    /// reader reports 11 or 4).
    virtual bool read(const QString &path, WorkbookSheets &sheets, int &fileType) = 0;
    /// Writes the workbook to the open device of a save file; the caller commits it on success.
    virtual bool write(const Workbook &workbook, QIODevice &device) = 0;

    QString errorString() const { return m_error; }

protected:
    bool fail(const QString &message)
    {
        m_error = message;
        return false;
    }

private:
    QString m_error;
};

/// Every format, in the order of the dialog filters: Excel 97, Excel 5, Excel 2007-365, CSV.
std::vector<std::unique_ptr<WorkbookFormat>> workbookFormats();
/// The format that writes a code; null for an unknown code.
std::unique_ptr<WorkbookFormat> workbookFormatForType(int fileType);

/// The filters of every open and save dialog that goes with the spreadsheet, in Qt's form
/// ("Excel 97/Excel 8 (*.XLS *.xls)"), the two Excel entries first.
QStringList workbookDialogFilters();
/// The same filters joined with ";;" for QFileDialog.
QString workbookDialogFilterString();
/// The code a chosen filter gives: entry 1 gives 11, entry 2 gives 4, then .xlsx and .csv; anything
/// else 11. Entries count from 1.
int workbookFileTypeForFilter(int entry);
/// The same for the filter text a dialog returns.
int workbookFileTypeForFilter(const QString &filter);
/// The default suffix of a save dialog for a code: "XLS", "xlsx" or "csv".
QString workbookDefaultSuffix(int fileType);
/// The code for a file name's extension: .xlsx, .csv, else 11.
int workbookFileTypeForName(const QString &path);
/// The code a save dialog's answer writes: the name's extension decides (.xlsx, .csv, .xls in the
/// Excel version of the entry chosen); a name without one takes the entry's format.
int workbookFileTypeForSave(const QString &path, int entry);
/// The name a save writes to: the dialog's answer, with the default suffix of the entry chosen when
/// the name has none.
QString workbookSavePath(const QString &path, int entry);

} // namespace kv
