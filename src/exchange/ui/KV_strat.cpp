// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ui/KV_strat.h"

#include "controls/ui/workbook_view.h"
#include "controls/workbook.h"
#include "controls/workbook_format.h"
#include "core/guard.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmStrat::TfmStrat(Workbook &workbook, Interaction &ui, QWidget *parent)
    : QDialog(parent), m_workbook(workbook), m_ui(ui)
{
    setObjectName(u"fmStrat"_s);
    setWindowTitle(u"Generate Excel spreadsheet for producing a geochronology stratigraphic table"_s);
    setSizeGripEnabled(true);
    resize(900, 600);
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    bbClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), u"&Close"_s);
    bbClose->setObjectName(u"bbClose"_s);
    bbSave = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), u"&Save"_s);
    bbSave->setObjectName(u"bbSave"_s);
    bbSave->setToolTip(u"Save data to Excel spreadsheet"_s);
    buttons->addWidget(bbClose);
    buttons->addWidget(bbSave);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(bbClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbSave, &QPushButton::clicked, this, [this] { guarded(m_ui, [this] { bbSaveClick(); }); });

    SprdSheet = new WorkbookView(this);
    SprdSheet->setObjectName(u"SprdSheet"_s);
    SprdSheet->setWorkbook(&m_workbook);
    layout->addWidget(SprdSheet, 1);
    StatusBar1 = new QStatusBar(this);
    layout->addWidget(StatusBar1);
}

void TfmStrat::bbSaveClick()
{
    const auto choice =
        m_ui.saveFile(u"Save"_s, workbookDialogFilters(), QString(), u"South Africa Dates.xls"_s);
    if (!choice)
        return;
    const QString path = workbookSavePath(choice->path, choice->filterIndex + 1);
    m_workbook.writeWorkbook(path, workbookFileTypeForSave(path, choice->filterIndex + 1));
}

} // namespace kv
