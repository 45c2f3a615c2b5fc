// SPDX-License-Identifier: GPL-3.0-or-later
#include "graphs/ui/KV_grpht.h"

#include "controls/ui/chart_view.h"
#include "controls/ui/workbook_view.h"
#include "controls/workbook_format.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "graphs/graph_closure.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

TfmKVGraphT::TfmKVGraphT(ClosureGraph &graph, Interaction &ui, QWidget *parent)
    : QDialog(parent), m_graph(graph), m_ui(ui)
{
    setObjectName(u"fmKVGraphT"_s);
    setWindowTitle(u"Date vs Closure Temperature"_s);
    setWindowState(Qt::WindowMaximized);
    setSizeGripEnabled(true);
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    bbClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), u"&Close"_s);
    bbClose->setObjectName(u"bbClose"_s);
    bbSave = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), u"&Save"_s);
    bbSave->setObjectName(u"bbSave"_s);
    bbSave->setToolTip(u"Save data to Excel 5 spreadsheet"_s);
    bbSave->setEnabled(graph.saveEnabled);
    buttons->addWidget(bbSave);
    buttons->addWidget(bbClose);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(bbClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbSave, &QPushButton::clicked, this, [this] { guarded(m_ui, [this] { bbSaveClick(); }); });

    pc1 = new QTabWidget(this);
    pc1->setObjectName(u"pc1"_s);
    layout->addWidget(pc1, 1);
    const auto tab = [this](const QString &name, const QString &caption, QWidget *content) {
        auto *page = new QWidget;
        page->setObjectName(name);
        auto *box = new QVBoxLayout(page);
        box->setContentsMargins(2, 2, 2, 2);
        box->addWidget(content, 1);
        pc1->addTab(page, caption);
        return page;
    };
    VtChDT = new ChartView;
    VtChDT->setObjectName(u"VtChDT"_s);
    VtChDT->setInteraction(&ui);
    VtChDT->setGrid(graph.VtChDT);
    VtChDT->refresh();
    tsBT = tab(u"tsBT"_s, u"Date vs Closure T"_s, VtChDT);
    ssDI = new WorkbookView;
    ssDI->setObjectName(u"ssDI"_s);
    ssDI->setWorkbook(&graph.ssDI);
    // The listing is open to read: what Save writes can be seen before it is written.
    tsSpreadsheet = tab(u"tsSpreadsheet"_s, u"Spreadsheet"_s, ssDI);
    resize(1024, 768);
}

TfmKVGraphT::~TfmKVGraphT() = default;

void TfmKVGraphT::FormShow()
{
    pc1->setCurrentWidget(tsBT);
}

void TfmKVGraphT::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfmKVGraphT::bbSaveClick()
{
    const auto choice = m_ui.saveFile(u"Save"_s, workbookDialogFilters(), QString(), QString());
    if (!choice)
        return;
    const QString path = workbookSavePath(choice->path, choice->filterIndex + 1);
    m_graph.ssDI.writeWorkbook(path, workbookFileTypeForSave(path, choice->filterIndex + 1));
}

} // namespace kv
