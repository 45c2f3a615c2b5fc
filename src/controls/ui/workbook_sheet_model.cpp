// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ui/workbook_sheet_model.h"

#include "controls/cell_value.h"
#include "controls/workbook.h"

#include <QTimer>

using namespace Qt::StringLiterals;

namespace kv {

namespace {
// Empty rows and columns a sheet shows beyond its data, as a spreadsheet does.
constexpr int MinimumRows = 50;
constexpr int MinimumColumns = 26;
}

WorkbookSheetModel::WorkbookSheetModel(Workbook &workbook, int sheet, QObject *parent)
    : QAbstractTableModel(parent), m_workbook(workbook), m_sheet(sheet)
{
    m_rows = wantedRows();
    m_columns = wantedColumns();
    connect(&workbook, &Workbook::cellChanged, this, [this](int sheet, int, int) {
        if (sheet == m_sheet)
            scheduleRefresh();
    });
    connect(&workbook, &Workbook::maxRowChanged, this, [this](int sheet, int) {
        if (sheet == m_sheet)
            scheduleRefresh();
    });
}

int WorkbookSheetModel::wantedRows() const
{
    // A set extent shows exactly its rows (the importer narrows the view to the rows it takes).
    const int extent = m_workbook.rowExtent(m_sheet);
    return extent > 0 ? extent : std::max(m_workbook.sheetAt(m_sheet).lastRow(), MinimumRows);
}

int WorkbookSheetModel::wantedColumns() const
{
    return std::max(m_workbook.sheetAt(m_sheet).lastColumn(), MinimumColumns);
}

void WorkbookSheetModel::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, &WorkbookSheetModel::refresh);
}

void WorkbookSheetModel::refresh()
{
    m_refreshPending = false;
    if (m_sheet > m_workbook.numSheets())
        return;
    const int rows = wantedRows(), columns = wantedColumns();
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
    if (columns > m_columns) {
        beginInsertColumns({}, m_columns, columns - 1);
        m_columns = columns;
        endInsertColumns();
    } else if (columns < m_columns) {
        beginRemoveColumns({}, columns, m_columns - 1);
        m_columns = columns;
        endRemoveColumns();
    }
    if (m_rows > 0 && m_columns > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1));
}

int WorkbookSheetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int WorkbookSheetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant WorkbookSheetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || m_sheet > m_workbook.numSheets())
        return {};
    const WorkbookSheet &sheet = m_workbook.sheetAt(m_sheet);
    const int row = index.row() + 1, column = index.column() + 1;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return sheet.text(row, column);
    case Qt::TextAlignmentRole:
        // Numbers to the right, texts to the left, as in any spreadsheet.
        return QVariant::fromValue(Qt::AlignVCenter
                                   | (sheet.kind(row, column) == CellKind::Number ? Qt::AlignRight : Qt::AlignLeft));
    default: return {};
    }
}

bool WorkbookSheetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_workbook.enabled())
        return false;
    m_workbook.setSheet(m_sheet);
    m_workbook.setRow(index.row() + 1);
    m_workbook.setCol(index.column() + 1);
    const QString text = value.toString();
    double number = 0;
    if (parseNumberText(text, number))
        m_workbook.setNumber(number);
    else
        m_workbook.setText(text);
    return true;
}

QVariant WorkbookSheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    return orientation == Qt::Horizontal ? QVariant(columnName(section + 1)) : QVariant(section + 1);
}

Qt::ItemFlags WorkbookSheetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_workbook.enabled())
        f |= Qt::ItemIsEditable;
    return f;
}

QString WorkbookSheetModel::columnName(int column)
{
    QString name;
    for (; column > 0; column = (column - 1) / 26)
        name.prepend(QChar(u'A' + (column - 1) % 26));
    return name;
}

} // namespace kv
