// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ui/workbook_view.h"

#include "controls/ui/workbook_sheet_model.h"
#include "controls/workbook.h"

#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace kv {

WorkbookView::WorkbookView(QWidget *parent) : QWidget(parent), m_tabs(new QTabWidget(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    m_tabs->setTabPosition(QTabWidget::South);
    m_baseFontSize = font().pointSize() > 0 ? font().pointSize() : 9;
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_workbook && index >= 0 && index < m_workbook->numSheets() && !m_following)
            m_workbook->setSheet(index + 1);
    });
}

void WorkbookView::setWorkbook(Workbook *workbook)
{
    if (m_workbook)
        disconnect(m_workbook, nullptr, this, nullptr);
    m_workbook = workbook;
    if (workbook) {
        connect(workbook, &Workbook::workbookReset, this, &WorkbookView::rebuild);
        connect(workbook, &Workbook::sheetsChanged, this, &WorkbookView::rebuild);
        connect(workbook, &Workbook::activeSheetChanged, this, &WorkbookView::showActiveSheet);
        connect(workbook, &Workbook::viewScaleChanged, this, &WorkbookView::applyScale);
        connect(workbook, &Workbook::enabledChanged, this, &WorkbookView::applyEnabled);
        connect(workbook, &Workbook::showActiveCellRequested, this, [this] { showActiveCell(true); });
        // A command may move the active cell a million times: the view follows once it is done.
        connect(workbook, &Workbook::activeCellChanged, this, [this] {
            if (!m_following)
                QTimer::singleShot(0, this, [this] { showActiveCell(false); });
        });
    }
    rebuild();
}

QTableView *WorkbookView::tableOf(int sheet) const
{
    return qobject_cast<QTableView *>(m_tabs->widget(sheet - 1));
}

void WorkbookView::rebuild()
{
    m_following = true;
    while (m_tabs->count() > 0) {
        QWidget *page = m_tabs->widget(0);
        m_tabs->removeTab(0);
        delete page;
    }
    if (m_workbook) {
        for (int s = 1; s <= m_workbook->numSheets(); ++s) {
            auto *table = new QTableView;
            table->setModel(new WorkbookSheetModel(*m_workbook, s, table));
            connect(table->selectionModel(), &QItemSelectionModel::currentChanged, this,
                    [this, s](const QModelIndex &current) {
                        if (!m_workbook || m_following || !current.isValid())
                            return;
                        m_following = true;
                        m_workbook->setSheet(s);
                        m_workbook->setRow(current.row() + 1);
                        m_workbook->setCol(current.column() + 1);
                        m_following = false;
                    });
            m_tabs->addTab(table, m_workbook->sheetName(s));
        }
        m_tabs->setCurrentIndex(m_workbook->sheet() - 1);
    }
    m_following = false;
    applyScale();
    applyEnabled();
    showActiveCell(false);
}

void WorkbookView::applyScale()
{
    if (!m_workbook)
        return;
    const double factor = m_workbook->viewScale() / 100.0;
    QFont scaled = font();
    scaled.setPointSizeF(std::max(1.0, m_baseFontSize * factor));
    for (int i = 0; i < m_tabs->count(); ++i) {
        auto *table = qobject_cast<QTableView *>(m_tabs->widget(i));
        table->setFont(scaled);
        table->verticalHeader()->setDefaultSectionSize(int(std::max(8.0, 22 * factor)));
        table->horizontalHeader()->setDefaultSectionSize(int(std::max(20.0, 80 * factor)));
    }
}

void WorkbookView::applyEnabled()
{
    if (!m_workbook)
        return;
    for (int i = 0; i < m_tabs->count(); ++i) {
        auto *table = qobject_cast<QTableView *>(m_tabs->widget(i));
        table->setEditTriggers(m_workbook->enabled() ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                                          | QAbstractItemView::AnyKeyPressed
                                                     : QAbstractItemView::NoEditTriggers);
    }
}

void WorkbookView::showActiveSheet()
{
    if (!m_workbook)
        return;
    m_following = true;
    m_tabs->setCurrentIndex(m_workbook->sheet() - 1);
    m_following = false;
    showActiveCell(false);
}

void WorkbookView::showActiveCell(bool scroll)
{
    if (!m_workbook)
        return;
    QTableView *table = tableOf(m_workbook->sheet());
    if (!table)
        return;
    const QModelIndex index = table->model()->index(m_workbook->row() - 1, m_workbook->col() - 1);
    if (!index.isValid())
        return;
    m_following = true;
    table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_following = false;
    if (scroll)
        table->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

} // namespace kv
