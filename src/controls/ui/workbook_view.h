// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/workbook.h"

#include <QPointer>
#include <QWidget>

class QTabWidget;
class QTableView;

namespace kv {

/// Shows a workbook: a tab per sheet, each a table of its cells. Follows the active sheet and cell and
/// the view scale; cells can be edited only while the workbook is enabled.
class WorkbookView : public QWidget
{
    Q_OBJECT

public:
    explicit WorkbookView(QWidget *parent = nullptr);

    void setWorkbook(Workbook *workbook);
    Workbook *workbook() const { return m_workbook; }

    /// The table of a sheet (from 1), for callers that need it.
    QTableView *tableOf(int sheet) const;
    QTabWidget *tabs() const { return m_tabs; }

private:
    void rebuild();
    void applyScale();
    void applyEnabled();
    void showActiveSheet();
    void showActiveCell(bool scroll);

    QPointer<Workbook> m_workbook;
    QTabWidget *m_tabs;
    int m_baseFontSize = 0;
    bool m_following = false;  // true while the view itself moves the active cell
};

} // namespace kv
