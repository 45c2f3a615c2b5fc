// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook_sheet.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace kv {

/// File-type codes of ReadWorkbook and WriteWorkbook. 11 and 4 are the control's own; the others are
/// the numbers Excel gives the same formats (xlOpenXMLWorkbook, xlCSV).
enum WorkbookFileType : int {
    FileTypeExcel97 = 11,  // .xls, BIFF8
    FileTypeExcel5 = 4,    // .xls, BIFF5
    FileTypeXlsx = 51,     // .xlsx, Office Open XML
    FileTypeCsv = 6,       // .csv, UTF-8, one sheet
};

/// The spreadsheet control's model: a workbook of named sheets numbered from 1, an active sheet and
/// an active cell that Text and Number read and write, read from and written to Excel files.
class Workbook : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxRows = WorkbookSheet::MaxRows;
    static constexpr int MaxColumns = WorkbookSheet::MaxColumns;

    explicit Workbook(QObject *parent = nullptr);
    ~Workbook() override;

    /// The active sheet, from 1.
    int sheet() const { return m_sheet; }
    void setSheet(int sheet);
    int numSheets() const { return int(m_sheets.size()); }
    /// Adds or removes sheets at the end; new sheets are named "SheetN".
    void setNumSheets(int count);

    /// The active cell, both from 1.
    int row() const { return m_row; }
    void setRow(int row);
    int col() const { return m_col; }
    void setCol(int col);

    /// The active cell's text: a text cell's text, a number in general format, empty when empty.
    QString text() const;
    /// Stores a text cell at the active cell (an empty text empties the cell).
    void setText(const QString &text);
    /// The active cell's number: a number cell's value, the number a text reads as, else 0.
    double number() const;
    void setNumber(double value);

    /// Highest row of the active sheet: the row extent set with setMaxRow, else the last row in use.
    int maxRow() const;
    /// Sets the active sheet's row extent (what the view shows); cells below it are kept.
    void setMaxRow(int row);
    /// The row extent of any sheet, as maxRow gives it for the active one.
    int maxRowOf(int sheet) const;
    /// The row extent set with setMaxRow for a sheet, 0 when none is set.
    int rowExtent(int sheet) const { return m_maxRows[checkedSheet(sheet) - 1]; }

    int viewScale() const { return m_viewScale; }
    void setViewScale(int percent);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    /// Replaces the workbook with a file's. The format comes from the file's content; fileType gets
    /// the code of the format found. Throws FileError naming the file; the workbook is unchanged then.
    void readWorkbook(const QString &path, int &fileType);
    /// Writes every sheet to a file in the format of the code (a .csv holds the active sheet only).
    /// The file is replaced only when complete; throws FileError naming the file.
    void writeWorkbook(const QString &path, int fileType) const;

    QString sheetName(int sheet) const;
    void setSheetName(int sheet, const QString &name);

    /// Asks the view to scroll to the active cell.
    void showActiveCell();

    /// Direct access for codecs and views; sheet numbers from 1.
    const WorkbookSheet &sheetAt(int sheet) const;
    WorkbookSheet &sheetAt(int sheet);

    /// Takes the sheets a reader produced (at least one), making sheet 1 and cell A1 active.
    void replaceSheets(std::vector<std::unique_ptr<WorkbookSheet>> sheets);
    /// Back to one empty sheet "Sheet1".
    void clear();

signals:
    void workbookReset();
    void sheetsChanged();
    void activeSheetChanged(int sheet);
    void activeCellChanged(int row, int col);
    void cellChanged(int sheet, int row, int col);
    void maxRowChanged(int sheet, int row);
    void viewScaleChanged(int percent);
    void enabledChanged(bool enabled);
    void showActiveCellRequested();

private:
    int checkedSheet(int sheet) const;

    std::vector<std::unique_ptr<WorkbookSheet>> m_sheets;
    std::vector<int> m_maxRows;  // per sheet, 0 when not set
    int m_sheet = 1;
    int m_row = 1;
    int m_col = 1;
    int m_viewScale = 100;
    bool m_enabled = true;
};

} // namespace kv
