// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QPointer>

namespace kv {

class Workbook;

/// One sheet of a workbook as a table model. Changes to the workbook come in bursts of thousands of
/// cells, so they are gathered and shown once control returns to the event loop.
class WorkbookSheetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    WorkbookSheetModel(Workbook &workbook, int sheet, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    int sheet() const { return m_sheet; }

    /// Column letters: 1 is "A", 27 is "AA".
    static QString columnName(int column);

private:
    void scheduleRefresh();
    void refresh();
    int wantedRows() const;
    int wantedColumns() const;

    Workbook &m_workbook;
    int m_sheet;
    int m_rows = 0;
    int m_columns = 0;
    bool m_refreshPending = false;
};

} // namespace kv
