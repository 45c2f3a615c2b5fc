// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's part in the query: the pages that define and show it, and the handlers that run it.
#include "controls/ui/data_aware.h"
#include "data/dmKV.h"
#include "main/query_command.h"
#include "main/ui/Dlg_Processing.h"
#include "main/ui/KV_main.h"
#include "main/ui/page_checks.h"
#include "main/ui/page_define_query.h"
#include "main/ui/page_developer_query.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// Other pages may share a tab (the "Developer" tab holds the record's part too): add below them.
void addToPage(QWidget *page, QWidget *widget, int stretch = 0)
{
    if (!page->layout())
        new QVBoxLayout(page);
    if (auto *box = qobject_cast<QBoxLayout *>(page->layout()))
        box->addWidget(widget, stretch);
    else
        page->layout()->addWidget(widget);
}

} // namespace

void TfmRes::buildQueryPages()
{
    pgDefineQuery = new PageDefineQuery(m_widgetUi, tsDefineQuery);
    addToPage(tsDefineQuery, pgDefineQuery);
    connect(pgDefineQuery, &PageDefineQuery::executeQuery, this, &TfmRes::QueryExecuteClick);

    pgChecks = new PageChecks(tsChecks);
    addToPage(tsChecks, pgChecks);

    pgDeveloperQuery = new PageDeveloperQuery(tsDeveloper);
    addToPage(tsDeveloper, pgDeveloperQuery, 1);
    connect(pgDeveloperQuery, &PageDeveloperQuery::reapplyQuery, this, &TfmRes::bbReapplyQueryClick);
}

void TfmRes::attachQueryPages()
{
    pgDefineQuery->attach(*m_dm);
}

void TfmRes::resetQueryDefinition()
{
    pgDefineQuery->resetDefinition();
}

QueryCommand &TfmRes::queryCommand()
{
    if (!m_query)
        m_query = std::make_unique<QueryCommand>(*m_dm, *m_ui);
    return *m_query;
}

void TfmRes::QueryExecuteClick()
{
    if (!m_dm)
        return;
    command([this] {
        QueryCommand &command = queryCommand();
        command.setInitialRatiosEnabled(GraphRatios->isEnabled());
        pgDefineQuery->readChoices();
        const bool ok = command.execute(pgDefineQuery->definition());
        // The command unchecks empty bounds and rewrites the dates it used.
        pgDefineQuery->showChoices();
        if (!ok && command.lastError().isEmpty())
            return; // the definition was refused before anything ran: the last result stands
        pgChecks->showTexts(command.checksQueryText(), command.checksCountText());
        pgDeveloperQuery->setText(command.developerText());
        GraphRatiosGrouped->setEnabled(ok && command.isGroupedEnabled());
        showQueryResult(ok);
    });
}

void TfmRes::bbReapplyQueryClick()
{
    if (!m_dm)
        return;
    command([this] {
        QueryCommand &command = queryCommand();
        const bool ok = command.reapply(pgDeveloperQuery->text());
        pgChecks->mmCountQuery->setPlainText(command.checksCountText());
        if (!ok)
            GraphRatiosGrouped->setEnabled(false);
        showQueryResult(ok);
    });
}

void TfmRes::showQueryResult(bool ok)
{
    bbApplyGroup->setEnabled(ok);
    if (!ok) {
        // The result set is closed: no count and no record stand for a query that did not run.
        eNumRecords->clear();
        return;
    }
    eNumRecords->setText(queryCommand().recordCountText());
    PageControl1->setCurrentWidget(tsFormView);
}

} // namespace kv
