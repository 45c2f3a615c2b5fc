// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/workbook.h"

#include "controls/workbook_format.h"
#include "core/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace kv {

Workbook::Workbook(QObject *parent) : QObject(parent)
{
    clear();
}

Workbook::~Workbook() = default;

int Workbook::checkedSheet(int sheet) const
{
    if (sheet < 1 || sheet > numSheets())
        throw InputError(u"The workbook has no sheet %1 (it has %2)."_s.arg(sheet).arg(numSheets()));
    return sheet;
}

void Workbook::setSheet(int sheet)
{
    checkedSheet(sheet);
    if (sheet == m_sheet)
        return;
    m_sheet = sheet;
    emit activeSheetChanged(sheet);
}

void Workbook::setNumSheets(int count)
{
    if (count < 1 || count > 65535)
        throw InputError(u"A workbook holds 1 to 65535 sheets, not %1."_s.arg(count));
    if (count == numSheets())
        return;
    while (numSheets() > count) {
        m_sheets.pop_back();
        m_maxRows.pop_back();
    }
    while (numSheets() < count) {
        m_sheets.push_back(std::make_unique<WorkbookSheet>(u"Sheet%1"_s.arg(numSheets() + 1)));
        m_maxRows.push_back(0);
    }
    const bool moved = m_sheet > count;
    if (moved)
        m_sheet = count;
    emit sheetsChanged();
    if (moved)
        emit activeSheetChanged(m_sheet);
}

void Workbook::setRow(int row)
{
    if (row < 1 || row > MaxRows)
        throw InputError(u"Row %1 is outside the sheet (1 to %2)."_s.arg(row).arg(MaxRows));
    if (row == m_row)
        return;
    m_row = row;
    emit activeCellChanged(m_row, m_col);
}

void Workbook::setCol(int col)
{
    if (col < 1 || col > MaxColumns)
        throw InputError(u"Column %1 is outside the sheet (1 to %2)."_s.arg(col).arg(MaxColumns));
    if (col == m_col)
        return;
    m_col = col;
    emit activeCellChanged(m_row, m_col);
}

QString Workbook::text() const
{
    return m_sheets[m_sheet - 1]->text(m_row, m_col);
}

void Workbook::setText(const QString &text)
{
    m_sheets[m_sheet - 1]->setText(m_row, m_col, text);
    emit cellChanged(m_sheet, m_row, m_col);
}

double Workbook::number() const
{
    return m_sheets[m_sheet - 1]->number(m_row, m_col);
}

void Workbook::setNumber(double value)
{
    m_sheets[m_sheet - 1]->setNumber(m_row, m_col, value);
    emit cellChanged(m_sheet, m_row, m_col);
}

int Workbook::maxRow() const
{
    return maxRowOf(m_sheet);
}

int Workbook::maxRowOf(int sheet) const
{
    const int extent = m_maxRows[checkedSheet(sheet) - 1];
    return extent > 0 ? extent : m_sheets[sheet - 1]->lastRow();
}

void Workbook::setMaxRow(int row)
{
    if (row < 1 || row > MaxRows)
        throw InputError(u"Row %1 is outside the sheet (1 to %2)."_s.arg(row).arg(MaxRows));
    m_maxRows[m_sheet - 1] = row;
    emit maxRowChanged(m_sheet, row);
}

void Workbook::setViewScale(int percent)
{
    // The range a spreadsheet view accepts for its zoom.
    percent = std::clamp(percent, 10, 400);
    if (percent == m_viewScale)
        return;
    m_viewScale = percent;
    emit viewScaleChanged(percent);
}

void Workbook::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged(enabled);
}

QString Workbook::sheetName(int sheet) const
{
    return m_sheets[checkedSheet(sheet) - 1]->name();
}

void Workbook::setSheetName(int sheet, const QString &name)
{
    m_sheets[checkedSheet(sheet) - 1]->setName(name);
    emit sheetsChanged();
}

void Workbook::showActiveCell()
{
    emit showActiveCellRequested();
}

const WorkbookSheet &Workbook::sheetAt(int sheet) const
{
    return *m_sheets[checkedSheet(sheet) - 1];
}

WorkbookSheet &Workbook::sheetAt(int sheet)
{
    return *m_sheets[checkedSheet(sheet) - 1];
}

void Workbook::replaceSheets(std::vector<std::unique_ptr<WorkbookSheet>> sheets)
{
    if (sheets.empty())
        sheets.push_back(std::make_unique<WorkbookSheet>(u"Sheet1"_s));
    m_sheets = std::move(sheets);
    m_maxRows.assign(m_sheets.size(), 0);
    m_sheet = 1;
    m_row = 1;
    m_col = 1;
    emit workbookReset();
}

void Workbook::clear()
{
    std::vector<std::unique_ptr<WorkbookSheet>> sheets;
    sheets.push_back(std::make_unique<WorkbookSheet>(u"Sheet1"_s));
    replaceSheets(std::move(sheets));
}

void Workbook::readWorkbook(const QString &path, int &fileType)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir())
        throw FileError(u"Cannot read the workbook %1: it is a folder, not a file."_s.arg(shown));
    if (!info.isFile())
        throw FileError(u"Cannot read the workbook %1: the file does not exist."_s.arg(shown));
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(u"Cannot read the workbook %1: %2."_s.arg(shown, file.errorString()));
    const QByteArray head = file.read(512);
    file.close();

    for (auto &format : workbookFormats()) {
        if (!format->supportsContent(path, head))
            continue;
        WorkbookSheets sheets;
        int found = format->fileType();
        if (!format->read(path, sheets, found))
            throw FileError(u"Cannot read the workbook %1: %2"_s.arg(shown, format->errorString()));
        replaceSheets(std::move(sheets));
        fileType = found;
        return;
    }
    if (head.isEmpty())
        throw FileError(u"Cannot read the workbook %1: the file is empty."_s.arg(shown));
    throw FileError(u"Cannot read %1: it is not an Excel workbook (.xls, .xlsx) or a CSV file."_s.arg(shown));
}

void Workbook::writeWorkbook(const QString &path, int fileType) const
{
    const QString shown = QDir::toNativeSeparators(path);
    auto format = workbookFormatForType(fileType);
    if (!format)
        throw FileError(u"Cannot write %1: %2 is not a known file type."_s.arg(shown).arg(fileType));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(u"Cannot write the workbook %1: %2."_s.arg(shown, file.errorString()));
    if (!format->write(*this, file)) {
        file.cancelWriting();
        throw FileError(u"Cannot write the workbook %1: %2"_s.arg(shown, format->errorString()));
    }
    if (!file.commit())
        throw FileError(u"Cannot write the workbook %1: %2."_s.arg(shown, file.errorString()));
}

} // namespace kv
